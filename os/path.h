#pragma once

#include <string>
#include <string_view>

namespace gpslib::os {

// Path text as the service builds it. The service joins names with "\\" and also accepts "/", so
// both count as separators here; NativePath turns the result into a path the system can open.
// These functions only look at the text: they never touch the file system.

// `path` with every "\\" turned into "/". Nothing else changes (no collapsing of "//", no "..").
std::string NativePath(std::string_view path);

// The service's join rule: `dir`, then "\\" unless `dir` is empty or already ends in "\\" or
// "/", then `name`.
std::string JoinPath(std::string_view dir, std::string_view name);

// True when the last character is "\\" or "/".
bool EndsWithSeparator(std::string_view path);

// Everything after the last separator ("" when the path ends in one).
std::string BaseName(std::string_view path);

// Everything before the last separator, without it; "" when there is none. A path whose only
// separator is its first character keeps it: DirName("/a") is "/".
std::string DirName(std::string_view path);

// The base name's extension, dot included, ASCII letters lower-cased: ".rmf" for "Town.RMF".
// "" when the base name has no dot after its first other character (".profile" and ".." have
// none).
std::string Extension(std::string_view path);

// The base name without its extension ("Town" for "maps\\Town.rmf").
std::string StemOf(std::string_view path);

} // namespace gpslib::os
