#include "os/path.h"

#include <algorithm>

namespace gpslib::os {

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// Index of the last separator, or npos.
std::size_t LastSeparator(std::string_view path) {
    return path.find_last_of("\\/");
}

// Index of the extension's dot within `base`, or npos.
std::size_t ExtensionDot(std::string_view base) {
    // Leading dots mark hidden files (".profile", ".."), not extensions.
    const std::size_t first = base.find_first_not_of('.');
    const std::size_t dot = base.rfind('.');
    if (first == std::string_view::npos || dot == std::string_view::npos || dot < first) {
        return std::string_view::npos;
    }
    return dot;
}

} // namespace

std::string NativePath(std::string_view path) {
    std::string native(path);
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

std::string JoinPath(std::string_view dir, std::string_view name) {
    std::string joined(dir);
    if (!dir.empty() && !EndsWithSeparator(dir)) joined += '\\';
    joined += name;
    return joined;
}

bool EndsWithSeparator(std::string_view path) {
    return !path.empty() && IsSeparator(path.back());
}

std::string BaseName(std::string_view path) {
    const std::size_t sep = LastSeparator(path);
    return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

std::string DirName(std::string_view path) {
    const std::size_t sep = LastSeparator(path);
    if (sep == std::string_view::npos) return std::string();
    return std::string(path.substr(0, sep == 0 ? 1 : sep));
}

std::string Extension(std::string_view path) {
    const std::string base = BaseName(path);
    const std::size_t dot = ExtensionDot(base);
    if (dot == std::string::npos) return std::string();
    std::string ext = base.substr(dot);
    for (char& c : ext) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return ext;
}

std::string StemOf(std::string_view path) {
    const std::string base = BaseName(path);
    return base.substr(0, std::min(ExtensionDot(base), base.size()));
}

} // namespace gpslib::os
