// The address stage: house numbers tied to the nearest edge of their street, interpolation lines
// stepped out, and each street's city, postal code and state (docs/maps.md, "House numbers").
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "Stages.h"
#include "Text.h"
#include "formats/HouseNumber.h"

namespace gpsmap::build {
namespace {

class EdgeGrid {
public:
    static constexpr double kCell = 0.004; // degrees, about 450 m of latitude
    explicit EdgeGrid(const Map& map) {
        for (std::size_t i = 0; i < map.edges.size(); ++i) {
            const Edge& e = map.edges[i];
            int role = map.ways[static_cast<std::size_t>(e.way)].role;
            if (role == format::kRoleSidewalk || role == format::kRoleCrossing) continue;
            for (long y = Cell(e.minLat); y <= Cell(e.maxLat); ++y)
                for (long x = Cell(e.minLon); x <= Cell(e.maxLon); ++x)
                    m_cells[Key(y, x)].push_back(static_cast<int>(i));
        }
    }
    // Edges within one cell of p.
    template <class F> void Near(Point p, F f) const {
        std::unordered_set<int> seen;
        for (long y = Cell(p.lat) - 1; y <= Cell(p.lat) + 1; ++y)
            for (long x = Cell(p.lon) - 1; x <= Cell(p.lon) + 1; ++x) {
                auto it = m_cells.find(Key(y, x));
                if (it == m_cells.end()) continue;
                for (int e : it->second)
                    if (seen.insert(e).second) f(e);
            }
    }

private:
    static long Cell(double v) { return static_cast<long>(std::floor(v / kCell)); }
    static long long Key(long y, long x) {
        return static_cast<long long>((static_cast<unsigned long long>(y) << 32) ^
                                      (static_cast<unsigned long long>(x) & 0xFFFFFFFFu));
    }
    std::unordered_map<long long, std::vector<int>> m_cells;
};

struct Nearest {
    int edge = -1;
    double distance = 1e18, offset = 0, cross = 0;
};

// The name of a street as a comparison key for house numbers whose `addr:street` is written
// otherwise than the way's name: case, accents, blanks and signs ignored, "ä", "ö", "ü" as "ae",
// "oe", "ue" (as German writes them without the dots), "ß" as "ss", and the abbreviation
// "str." as "strasse". So "Zollstr.", "Bendererstrasse" and "Aeulestrasse" name the ways
// "Zollstrasse", "Benderer Strasse" and "Äulestrasse".
std::string LooseStreetKey(std::string_view name) {
    static constexpr gpsdb::Respelling kUmlauts[] = {
        {"\xC3\xA4", "ae"}, {"\xC3\xB6", "oe"}, {"\xC3\xBC", "ue"},
        {"\xC3\x84", "ae"}, {"\xC3\x96", "oe"}, {"\xC3\x9C", "ue"},
    };
    std::string folded = gpsdb::FoldName(gpsdb::Respell(name, kUmlauts));
    for (std::size_t at = folded.find("str."); at != std::string::npos;
         at = folded.find("str.", at + 1))
        folded.replace(at, 4, "strasse");
    std::string key;
    for (char c : folded)
        if (static_cast<unsigned char>(c) >= 0x80 || std::isalnum(static_cast<unsigned char>(c)))
            key.push_back(c);
    return key;
}

// The nearest edge of a way named `street` (or with that ref); with `looseKeys` (one per way),
// of a way whose loose key is `street`'s.
Nearest NearestEdge(const Map& map, const EdgeGrid& grid, Point p, const std::string& street,
                    const std::vector<std::string>* looseKeys = nullptr) {
    Nearest best;
    const std::string looseStreet = looseKeys ? LooseStreetKey(street) : std::string();
    if (looseKeys && looseStreet.empty()) return best;
    grid.Near(p, [&](int ei) {
        const Edge& e = map.edges[static_cast<std::size_t>(ei)];
        const WayRec& w = map.ways[static_cast<std::size_t>(e.way)];
        if (looseKeys ? (*looseKeys)[static_cast<std::size_t>(e.way)] != looseStreet
                      : w.name != street && w.ref != street)
            return;
        double along = 0;
        for (std::size_t i = 0; i + 1 < e.points.size(); ++i) {
            geo::Projection pr = geo::Project(p, e.points[i], e.points[i + 1]);
            double seg = geo::Distance(e.points[i], e.points[i + 1]);
            if (pr.distance < best.distance) {
                best = {ei, pr.distance, along + pr.t * seg, pr.cross};
            }
            along += seg;
        }
    });
    return best;
}

// The ways' loose name keys, made on first use.
struct LooseKeys {
    const Map& map;
    std::vector<std::string> keys;
    const std::vector<std::string>* Get() {
        if (keys.empty() && !map.ways.empty())
            for (const WayRec& w : map.ways)
                keys.push_back(w.name.empty() ? std::string() : LooseStreetKey(w.name));
        return &keys;
    }
};

void AddAddress(Map& map, const EdgeGrid& grid, LooseKeys& loose, const std::string& number,
                const std::string& street, const std::string& postcode, const std::string& city,
                const std::string& state, Point at, int source) {
    if (street.empty() || number.empty()) return;
    Nearest n = NearestEdge(map, grid, at, street);
    // A street named as written wins; else one whose name is written otherwise.
    if (n.edge < 0 || n.distance > 250.0) n = NearestEdge(map, grid, at, street, loose.Get());
    if (n.edge < 0 || n.distance > 250.0) return;
    Address a;
    a.street =
        map.wayStreet[static_cast<std::size_t>(map.edges[static_cast<std::size_t>(n.edge)].way)];
    a.edge = n.edge;
    a.offset = n.offset;
    a.side = n.cross > 0 ? format::kSideLeft : format::kSideRight;
    a.number = number;
    a.postcode = postcode;
    a.city = city;
    a.state = state;
    a.at = at;
    a.source = source;
    map.addresses.push_back(std::move(a));
}

} // namespace

void BuildAddresses(Map& map, const Extract& c) {
    EdgeGrid grid(map);
    LooseKeys loose{map, {}};
    for (const AddressRec& a : c.addresses)
        AddAddress(map, grid, loose, a.number, a.street, a.postcode, a.city, a.state, a.at,
                   a.source);
    // Interpolation lines: the numbers between two numbered nodes, spread evenly along the line.
    for (const InterpolationRec& line : c.interpolations) {
        int step = line.step == "odd" || line.step == "even" ? 2
                   : line.step == "all"                      ? 1
                                                             : std::atoi(line.step.c_str());
        if (step <= 0) continue;
        std::vector<double> along(line.points.size(), 0.0);
        for (std::size_t i = 1; i < line.points.size(); ++i)
            along[i] = along[i - 1] + geo::Distance(line.points[i - 1], line.points[i]);
        std::optional<std::size_t> previous;
        for (std::size_t i = 0; i < line.nodes.size(); ++i) {
            auto it = c.addressNodes.find(line.nodes[i]);
            if (it == c.addressNodes.end()) continue;
            if (previous) {
                const AddressNode& a = c.addressNodes.at(line.nodes[*previous]);
                const AddressNode& b = it->second;
                int from = LeadingNumber(a.number), to = LeadingNumber(b.number);
                std::string street = !line.street.empty() ? line.street : a.street;
                double d0 = along[*previous], d1 = along[i];
                int count = std::abs(to - from) / step;
                if (from > 0 && to > 0 && count > 1 && count < 1000 && d1 > d0) {
                    int dir = to > from ? 1 : -1;
                    for (int k = 1; k < count; ++k) {
                        int number = from + dir * k * step;
                        double target = d0 + (d1 - d0) * k / count;
                        std::size_t s = *previous;
                        while (s + 1 < i && along[s + 1] < target)
                            ++s;
                        double segment = along[s + 1] - along[s];
                        double t = segment > 0 ? (target - along[s]) / segment : 0;
                        Point p{
                            line.points[s].lat + t * (line.points[s + 1].lat - line.points[s].lat),
                            line.points[s].lon + t * (line.points[s + 1].lon - line.points[s].lon)};
                        AddAddress(map, grid, loose, std::to_string(number), street,
                                   a.postcode.empty() ? b.postcode : a.postcode, a.city, a.state, p,
                                   format::kFromInterpolation);
                    }
                }
            }
            previous = i;
        }
    }
}

namespace {

constexpr double kCellDegrees = 0.1;
// An area over more cells than this is checked for every position instead (a country).
constexpr std::int64_t kMostCellsPerArea = 4096;
// How far CityAt looks for a place, and that distance in degrees of latitude with a margin.
constexpr double kCityReachMeters = 8000.0;
constexpr double kCityReachDegrees = 0.08;

std::int64_t CellOf(double degrees) {
    return static_cast<std::int64_t>(std::floor(degrees / kCellDegrees));
}
std::int64_t CellKey(std::int64_t row, std::int64_t column) {
    return (row + 1000) * 10000 + (column + 5000);
}

bool IsSettlement(const PlaceRec& place) {
    return IsOneOf(place.kind, {"city", "town", "village", "hamlet"});
}

// The indexes listed in the cells of rows [r0, r1] and columns [c0, c1], ascending, each once.
std::vector<int> Gather(const std::unordered_map<std::int64_t, std::vector<int>>& cells,
                        std::int64_t r0, std::int64_t r1, std::int64_t c0, std::int64_t c1) {
    std::vector<int> out;
    for (std::int64_t r = r0; r <= r1; ++r)
        for (std::int64_t c = c0; c <= c1; ++c)
            if (auto it = cells.find(CellKey(r, c)); it != cells.end())
                out.insert(out.end(), it->second.begin(), it->second.end());
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

} // namespace

void IndexAreasAndPlaces(Map& map) {
    PlaceGrid& grid = map.placeGrid;
    grid = PlaceGrid{};
    for (std::size_t i = 0; i < map.areas.size(); ++i) {
        const AreaRec& a = map.areas[i];
        if (a.minLat > a.maxLat || a.minLon > a.maxLon) continue; // no rings: never holds p
        std::int64_t r0 = CellOf(a.minLat), r1 = CellOf(a.maxLat), c0 = CellOf(a.minLon),
                     c1 = CellOf(a.maxLon);
        if ((r1 - r0 + 1) * (c1 - c0 + 1) > kMostCellsPerArea) {
            grid.wideAreas.push_back(static_cast<int>(i));
            continue;
        }
        for (std::int64_t r = r0; r <= r1; ++r)
            for (std::int64_t c = c0; c <= c1; ++c)
                grid.areas[CellKey(r, c)].push_back(static_cast<int>(i));
    }
    for (std::size_t i = 0; i < map.places.size(); ++i)
        if (IsSettlement(map.places[i]))
            grid.places[CellKey(CellOf(map.places[i].at.lat), CellOf(map.places[i].at.lon))]
                .push_back(static_cast<int>(i));
    grid.built = true;
}

// The smallest area of a kind that holds p, or null; of equal ones the first.
const AreaRec* AreaAt(const Map& map, Point p, int kind) {
    const AreaRec* best = nullptr;
    auto consider = [&](const AreaRec& a) {
        if (a.kind != kind || p.lat < a.minLat || p.lat > a.maxLat || p.lon < a.minLon ||
            p.lon > a.maxLon)
            return;
        if ((best == nullptr || a.size < best->size || (a.size == best->size && &a < best)) &&
            geo::InRings(p, a.rings))
            best = &a;
    };
    if (!map.placeGrid.built) {
        for (const AreaRec& a : map.areas)
            consider(a);
        return best;
    }
    const std::int64_t row = CellOf(p.lat), column = CellOf(p.lon);
    if (auto it = map.placeGrid.areas.find(CellKey(row, column)); it != map.placeGrid.areas.end())
        for (int i : it->second)
            consider(map.areas[static_cast<std::size_t>(i)]);
    for (int i : map.placeGrid.wideAreas)
        consider(map.areas[static_cast<std::size_t>(i)]);
    return best;
}

std::string CityAt(const Map& map, Point p) {
    if (const AreaRec* a = AreaAt(map, p, format::kAreaCity)) return a->name;
    const PlaceRec* best = nullptr;
    double bestDistance = kCityReachMeters;
    auto consider = [&](const PlaceRec& place) {
        double d = geo::Distance(p, place.at);
        if (d < bestDistance) best = &place, bestDistance = d;
    };
    // Near the poles a degree of longitude is too short for the cells to help.
    const double cosLat = std::cos(p.lat * 3.14159265358979323846 / 180.0);
    if (!map.placeGrid.built || cosLat < 0.05) {
        for (const PlaceRec& place : map.places)
            if (IsSettlement(place)) consider(place);
    } else {
        const double dLon = kCityReachDegrees / cosLat;
        for (int i :
             Gather(map.placeGrid.places, CellOf(p.lat - kCityReachDegrees),
                    CellOf(p.lat + kCityReachDegrees), CellOf(p.lon - dLon), CellOf(p.lon + dLon)))
            consider(map.places[static_cast<std::size_t>(i)]);
    }
    return best ? best->name : std::string();
}

namespace {

// The value written most often (the first in text order among equals); empty when none.
std::string MostCommon(const std::map<std::string, int>* counts) {
    if (counts == nullptr || counts->empty()) return {};
    return std::max_element(counts->begin(), counts->end(),
                            [](const auto& a, const auto& b) { return a.second < b.second; })
        ->first;
}

} // namespace

// Each street's city, postal code and state: the areas at the middle of its first edge, else
// what its house numbers say most often (extracts cut from a larger region often lack the
// boundaries); an address's missing city and postal code from its street.
void PlaceStreets(Map& map, const std::string& mapName) {
    std::vector<bool> done(map.streets.size(), false);
    std::map<int, std::map<std::string, int>> postcodes, cities, states;
    for (const Address& a : map.addresses) {
        if (!a.postcode.empty()) ++postcodes[a.street][a.postcode];
        if (!a.city.empty()) ++cities[a.street][a.city];
        if (!a.state.empty()) ++states[a.street][a.state];
    }
    auto of = [](const std::map<int, std::map<std::string, int>>& all, std::size_t s) {
        auto it = all.find(static_cast<int>(s));
        return it == all.end() ? nullptr : &it->second;
    };
    std::vector<Point> middles(map.streets.size());
    for (const Edge& e : map.edges) {
        auto s = static_cast<std::size_t>(map.wayStreet[static_cast<std::size_t>(e.way)]);
        if (done[s]) continue;
        done[s] = true;
        Point mid = e.points[e.points.size() / 2];
        middles[s] = mid;
        Street& street = map.streets[s];
        const AreaRec* city = AreaAt(map, mid, format::kAreaCity);
        street.city = city ? city->name : MostCommon(of(cities, s));
        if (street.city.empty()) street.city = CityAt(map, mid);
        const AreaRec* postal = AreaAt(map, mid, format::kAreaPostal);
        street.postcode = postal ? postal->name : MostCommon(of(postcodes, s));
        const AreaRec* state = AreaAt(map, mid, format::kAreaState);
        street.state = state ? state->name : MostCommon(of(states, s));
    }
    for (Address& a : map.addresses) {
        const Street& street = map.streets[static_cast<std::size_t>(a.street)];
        if (a.city.empty()) a.city = street.city;
        if (a.postcode.empty()) a.postcode = street.postcode;
    }
    // A street with neither a city area, nor numbers naming one, nor a place nearby (an extract
    // cut from a city without its boundary) is searched under the city the house numbers within
    // 1 km of it name most often, so that "Baltimore" lists the streets of Baltimore; likewise
    // for its postal code.
    // A street with no city even so (an extract cut by a box may name none) is searched under
    // the map's name, so that the city search reaches every street.
    constexpr double kCell = 0.01, kRadius = 1000.0;
    auto cell = [](double v) { return static_cast<long>(std::floor(v / kCell)); };
    std::map<std::pair<long, long>, std::vector<const Address*>> grid;
    for (const Address& a : map.addresses)
        grid[{cell(a.at.lat), cell(a.at.lon)}].push_back(&a);
    for (std::size_t s = 0; s < map.streets.size(); ++s) {
        Street& street = map.streets[s];
        if (!done[s] || street.name.empty() || (!street.city.empty() && !street.postcode.empty()))
            continue;
        std::map<std::string, int> cities, codes;
        const Point mid = middles[s];
        for (long y = cell(mid.lat) - 1; y <= cell(mid.lat) + 1; ++y)
            for (long x = cell(mid.lon) - 1; x <= cell(mid.lon) + 1; ++x) {
                auto it = grid.find({y, x});
                if (it == grid.end()) continue;
                for (const Address* a : it->second) {
                    if (geo::Distance(mid, a->at) > kRadius) continue;
                    if (!a->city.empty()) ++cities[a->city];
                    if (!a->postcode.empty()) ++codes[a->postcode];
                }
            }
        if (street.city.empty()) street.searchCity = MostCommon(&cities);
        if (street.city.empty() && street.searchCity.empty()) street.searchCity = mapName;
        if (street.postcode.empty()) street.searchPostcode = MostCommon(&codes);
    }
}

int LeadingNumber(const std::string& text) {
    return static_cast<int>(format::ParseHouseNumber(text).value);
}

} // namespace gpsmap::build
