#include "StreetNames.h"

#include "MapData.h"
#include "os/codepage.h"

namespace gpsmap {
namespace {

bool IsPathClass(std::string_view cls) {
    return cls == "footway" || cls == "path" || cls == "cycleway" || cls == "steps" ||
           cls == "bridleway";
}

} // namespace

std::string WayDisplayName(const Way& w, bool expanded, bool detailed, NameLanguage language,
                           const std::string& unnamedRoad, const std::string& unnamedPath) {
    if (w.name.empty() && w.ref.empty()) return IsPathClass(w.cls) ? unnamedPath : unnamedRoad;
    if (w.name.empty()) return std::string(w.ref);
    std::string name(w.name);
    if (expanded) name = ExpandAbbreviations(name, language);
    if (detailed && !w.name.empty() && !w.ref.empty()) name += " (" + std::string(w.ref) + ")";
    return name;
}

} // namespace gpsmap
