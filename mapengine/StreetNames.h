// Street names as the engine speaks them.
#ifndef MAPENGINE_STREETNAMES_H_
#define MAPENGINE_STREETNAMES_H_

#include <string>

#include "Abbreviations.h"

namespace gpsmap {

struct Way;

// The name a way is spoken by, in street answers and routes alike: its name, else its reference;
// the name's abbreviations written out by the rules of `language` when `expanded` (a reference
// such as "St 2183" or "B 3" is never expanded); "Name (ref)" when `detailed` and it has both.
// A way with neither is `unnamedPath` when it is a path, else `unnamedRoad`.
std::string WayDisplayName(const Way& w, bool expanded, bool detailed, NameLanguage language,
                           const std::string& unnamedRoad, const std::string& unnamedPath);

} // namespace gpsmap

#endif // MAPENGINE_STREETNAMES_H_
