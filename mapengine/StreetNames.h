// Street names as the engine speaks them.
#ifndef MAPENGINE_STREETNAMES_H_
#define MAPENGINE_STREETNAMES_H_

#include <array>
#include <string>

#include "Abbreviations.h"
#include "formats/MapFile.h"

namespace gpsmap {

struct Way;

// The words for a way without a name or reference, by what it is (format::WayKind, index 0
// unused): the string table's, English by default (docs/walker-names.md). `sidewalkOf` and
// `crossingOf` hold one "%s" for the street's name.
struct KindWords {
    std::string sidewalkOf = "%s sidewalk", crossingOf = "Crossing of %s";
    std::array<std::string, gpslib::formats::kWayKindCount> kinds = {
        "",           "Sidewalk",      "Crossing",        "Driveway",    "Parking aisle",
        "Alley",      "Drive-through", "Steps",           "Footway",     "Path",
        "Cycle path", "Track",         "Pedestrian area", "Square",      "Platform",
        "Bridleway",  "Slip road",     "Service road",    "Side street", "Minor road",
        "Main road",  "Motorway"};
};

// The name a way is spoken by: its name, else its reference; the name's abbreviations written out
// by the rules of `language` when `expanded` (a reference such as "St 2183" or "B 3" is never
// written out); "Name (ref)" when `detailed` and it has both. A way with neither is, with `kinds`,
// what it is ("Rue Grimaldi sidewalk", "Driveway"); without them (routes), or when the map says
// nothing of it, `unnamedPath` when it is a path, else `unnamedRoad`.
std::string WayDisplayName(const Way& w, bool expanded, bool detailed, NameLanguage language,
                           const std::string& unnamedRoad, const std::string& unnamedPath,
                           const KindWords* kinds = nullptr);

} // namespace gpsmap

#endif // MAPENGINE_STREETNAMES_H_
