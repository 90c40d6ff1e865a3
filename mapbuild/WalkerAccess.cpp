// The roads each country closes to walkers when their tags say nothing of it: OpenStreetMap's
// per-country routing defaults (docs/routing.md names the source). Explicit tags win: an open
// foot=*, a sidewalk on the road or one mapped beside it.
#include <algorithm>
#include <string_view>

#include "Stages.h"

namespace gpsmap::build {
namespace {

struct CountryDefault {
    std::string_view country; // ISO 3166-1, upper case
    std::string_view classes[2];
};

// Where a trunk road is an expressway closed to walkers and cyclists (Kraftfahrstrasse,
// Autostrasse, autoweg). Liechtenstein has no row of its own and follows Switzerland's rules.
// Everywhere else a trunk is an ordinary main road; motorways are closed everywhere (the street
// handler).
constexpr CountryDefault kClosedToWalkers[] = {
    {"AT", {"trunk", "trunk_link"}}, {"BE", {"trunk", "trunk_link"}},
    {"CH", {"trunk", "trunk_link"}}, {"DE", {"trunk", "trunk_link"}},
    {"HK", {"trunk", "trunk_link"}}, {"LI", {"trunk", "trunk_link"}},
    {"NL", {"trunk", "trunk_link"}},
};

bool Closes(std::string_view country, const std::string& cls) {
    for (const CountryDefault& row : kClosedToWalkers)
        if (row.country == country)
            return std::find(std::begin(row.classes), std::end(row.classes), cls) !=
                   std::end(row.classes);
    return false;
}

bool AnyCountryCloses(const std::string& cls) {
    for (const CountryDefault& row : kClosedToWalkers)
        if (std::find(std::begin(row.classes), std::end(row.classes), cls) != std::end(row.classes))
            return true;
    return false;
}

} // namespace

void ApplyWalkerDefaults(Map& map, const std::string& extractCountry) {
    std::vector<bool> asked(map.ways.size(), false);
    for (const Edge& e : map.edges) {
        const auto i = static_cast<std::size_t>(e.way);
        WayRec& w = map.ways[i];
        if (asked[i] || !w.foot || w.footTagged || !AnyCountryCloses(w.cls) ||
            (w.walk & (format::kWalkSidewalk | format::kWalkSeparate)) != 0)
            continue;
        asked[i] = true; // the way's first edge decides its country
        const Point middle = e.points[e.points.size() / 2];
        const AreaRec* area = AreaAt(map, middle, format::kAreaCountry);
        const std::string& country =
            area != nullptr && !area->country.empty() ? area->country : extractCountry;
        if (Closes(country, w.cls)) w.foot = false;
    }
}

} // namespace gpsmap::build
