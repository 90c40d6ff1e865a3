#include "StreetNames.h"

#include "MapData.h"
#include "os/codepage.h"

namespace gpsmap {
namespace {

bool IsPathClass(std::string_view cls) {
    return cls == "footway" || cls == "path" || cls == "cycleway" || cls == "steps" ||
           cls == "bridleway";
}

// `format` with its "%s" replaced by `name`; a text without one (a damaged string table) is
// followed by the name.
std::string Fill(const std::string& format, const std::string& name) {
    std::size_t at = format.find("%s");
    return at == std::string::npos ? format + " " + name
                                   : format.substr(0, at) + name + format.substr(at + 2);
}

} // namespace

std::string WayDisplayName(const Way& w, bool expanded, bool detailed, NameLanguage language,
                           const std::string& unnamedRoad, const std::string& unnamedPath,
                           const KindWords* kinds) {
    if (w.name.empty() && w.ref.empty() && kinds != nullptr && w.kind > 0 &&
        w.kind < gpslib::formats::kWayKindCount) {
        std::string of(w.ofName.empty() ? w.ofRef : w.ofName);
        bool sidewalk = w.kind == gpslib::formats::kKindSidewalk;
        if (!of.empty() && (sidewalk || w.kind == gpslib::formats::kKindCrossing))
            return Fill(sidewalk ? kinds->sidewalkOf : kinds->crossingOf,
                        expanded && !w.ofName.empty() ? ExpandAbbreviations(of, language) : of);
        const std::string& word = kinds->kinds[static_cast<std::size_t>(w.kind)];
        if (!word.empty()) return word;
    }
    if (w.name.empty() && w.ref.empty()) return IsPathClass(w.cls) ? unnamedPath : unnamedRoad;
    if (w.name.empty()) return std::string(w.ref);
    std::string name(w.name);
    if (expanded) name = ExpandAbbreviations(name, language);
    if (detailed && !w.name.empty() && !w.ref.empty()) name += " (" + std::string(w.ref) + ")";
    return name;
}

} // namespace gpsmap
