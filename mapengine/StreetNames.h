// Street names as the engine speaks them.
#ifndef MAPENGINE_STREETNAMES_H_
#define MAPENGINE_STREETNAMES_H_

#include <string>

namespace gpsmap {

struct Way;

// Abbreviations of street names written out, word by word ("N Main St" -> "North Main Street";
// "St" first is "Saint").
std::string ExpandAbbreviations(const std::string& name);

// The name a way is spoken by, in street answers and routes alike: its name, else its reference;
// abbreviations written out when `expanded`; "Name (ref)" when `detailed` and it has both. A way
// with neither is `unnamedPath` when it is a path, else `unnamedRoad`.
std::string WayDisplayName(const Way& w, bool expanded, bool detailed,
                           const std::string& unnamedRoad, const std::string& unnamedPath);

} // namespace gpsmap

#endif // MAPENGINE_STREETNAMES_H_
