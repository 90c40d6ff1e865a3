#include "StreetNames.h"

#include <map>

#include "MapData.h"
#include "os/codepage.h"

namespace gpsmap {
namespace {

bool IsPathClass(std::string_view cls) {
    return cls == "footway" || cls == "path" || cls == "cycleway" || cls == "steps" ||
           cls == "bridleway";
}

} // namespace

std::string ExpandAbbreviations(const std::string& name) {
    static const std::map<std::string, std::string> kWords = {
        {"st", "Street"},    {"ave", "Avenue"},     {"av", "Avenue"},    {"rd", "Road"},
        {"dr", "Drive"},     {"blvd", "Boulevard"}, {"ln", "Lane"},      {"ct", "Court"},
        {"pl", "Place"},     {"sq", "Square"},      {"hwy", "Highway"},  {"pkwy", "Parkway"},
        {"ter", "Terrace"},  {"cir", "Circle"},     {"n", "North"},      {"s", "South"},
        {"e", "East"},       {"w", "West"},         {"ne", "Northeast"}, {"nw", "Northwest"},
        {"se", "Southeast"}, {"sw", "Southwest"},   {"mt", "Mount"},     {"ft", "Fort"},
        {"str", "Strasse"}};
    std::string out;
    std::size_t i = 0;
    bool first = true;
    while (i < name.size()) {
        std::size_t j = name.find(' ', i);
        if (j == std::string::npos) j = name.size();
        std::string word = name.substr(i, j - i);
        std::string key = gpslib::os::AsciiLower(word);
        if (!key.empty() && key.back() == '.') key.pop_back();
        auto it = kWords.find(key);
        bool last = j >= name.size();
        if (key == "st" && first && !last)
            word = "Saint";
        else if (it != kWords.end() && (key.size() > 1 || first || last) && !(first && last))
            word = it->second;
        out += word;
        if (j < name.size()) out.push_back(' ');
        i = j + 1;
        first = false;
    }
    return out;
}

// `format` with its "%s" replaced by `name`; a text without one (a damaged string table) is
// followed by the name.
std::string Fill(const std::string& format, const std::string& name) {
    std::size_t at = format.find("%s");
    return at == std::string::npos ? format + " " + name
                                   : format.substr(0, at) + name + format.substr(at + 2);
}

std::string WayDisplayName(const Way& w, bool expanded, bool detailed,
                           const std::string& unnamedRoad, const std::string& unnamedPath,
                           const KindWords* kinds) {
    std::string name(w.name.empty() ? w.ref : w.name);
    if (name.empty() && kinds != nullptr && w.kind > 0 && w.kind < gpslib::formats::kWayKindCount) {
        std::string of(w.ofName.empty() ? w.ofRef : w.ofName);
        bool sidewalk = w.kind == gpslib::formats::kKindSidewalk;
        if (!of.empty() && (sidewalk || w.kind == gpslib::formats::kKindCrossing))
            return Fill(sidewalk ? kinds->sidewalkOf : kinds->crossingOf,
                        expanded ? ExpandAbbreviations(of) : of);
        const std::string& word = kinds->kinds[static_cast<std::size_t>(w.kind)];
        if (!word.empty()) return word;
    }
    if (name.empty()) return IsPathClass(w.cls) ? unnamedPath : unnamedRoad;
    if (expanded) name = ExpandAbbreviations(name);
    if (detailed && !w.name.empty() && !w.ref.empty()) name += " (" + std::string(w.ref) + ")";
    return name;
}

} // namespace gpsmap
