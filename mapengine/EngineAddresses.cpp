// The engine's answers about what lies at a position and where an address lies: the details of the
// streets, house numbers and areas at a position, a position described by its intersection, the
// position of a house number, and the intersections along a street.
#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "EdgeGeometry.h"
#include "Engine.h"
#include "formats/HouseNumber.h"
#include "os/codepage.h"

namespace gpsmap {
namespace {

using gpslib::os::AsciiLower;

// The street of an address record: by key when it names this street, else by name (and city or
// postal code when given).
int FindStreet(const MapData& map, long key, const std::string& street, const std::string& city,
               const std::string& postcode) {
    if (key >= 0 && static_cast<std::size_t>(key) < map.StreetCount() &&
        (street.empty() ||
         AsciiLower(map.Street(static_cast<int>(key)).name) == AsciiLower(street)))
        return static_cast<int>(key);
    int fallback = -1;
    for (std::size_t i = 0; i < map.StreetCount(); ++i) {
        const StreetRow& s = map.Street(static_cast<int>(i));
        if (street.empty() || AsciiLower(s.name) != AsciiLower(street)) continue;
        if ((!city.empty() && s.city == city) || (!postcode.empty() && s.postcode == postcode))
            return static_cast<int>(i);
        if (fallback < 0) fallback = static_cast<int>(i);
    }
    return fallback;
}

Point PointAt(const Edge& e, double offset) {
    return AlongFrom(e, true, std::max(0.0, offset));
}

} // namespace

void Engine::FillAreas(const MapData& map, Point p, Details* d) const {
    auto name = [&](int kind) {
        std::optional<Area> a = map.AreaAt(p, kind);
        return a ? std::string(a->name) : std::string();
    };
    d->city = name(format::kAreaCity);
    if (d->city.empty())
        if (std::optional<Place> place = map.NearestPlace(p, 8000.0))
            d->city = std::string(place->name);
    d->borough = name(format::kAreaBorough);
    d->area = name(format::kAreaSuburb);
    d->county = name(format::kAreaCounty);
    d->state = name(format::kAreaState);
    d->country = name(format::kAreaCountry);
    d->postcode = name(format::kAreaPostal);
    d->map = map.Name();
}

std::vector<Details> Engine::LocationDetails(Point p, int heading, const Naming& naming) const {
    std::vector<Match> matches = MatchStreets(p, heading, 5);
    if (matches.empty()) {
        for (const auto& map : m_maps)
            if (map->Covers(p, 100.0)) {
                Details d;
                d.at = p;
                FillAreas(*map, p, &d);
                return {d};
            }
        return {};
    }
    std::vector<Details> out;
    for (const Match& m : matches) {
        const MapData& map = *m.map;
        const Edge& edge = map.Edge(m.edge);
        const Way& way = map.Way(edge.way);
        const StreetRow& street = map.Street(way.street);
        Details d;
        d.at = m.point;
        d.onStreet = true;
        d.streetShort = StreetName(m, naming);
        Naming detailed = naming;
        detailed.detailed = true;
        d.streetDetailed = StreetName(m, detailed);
        // The raw name is the map's own: a way without one keeps the unnamed words, so that
        // lookaround, which never announces those, stays quiet on driveways and sidewalks.
        Naming raw = naming;
        raw.expanded = raw.detailed = raw.speakKinds = false;
        d.streetRaw = way.name.empty() ? StreetName(m, raw) : way.name;
        d.classification = way.cls;
        std::replace(d.classification.begin(), d.classification.end(), '_', ' ');
        d.speedKmh = std::round(way.maxspeed);
        d.speedMph = std::round(way.maxspeed / 1.609344);
        d.lanes = way.lanes;
        FillAreas(map, p, &d);
        if (d.postcode.empty()) d.postcode = street.postcode;
        if (d.city.empty()) d.city = street.city;
        if (d.state.empty()) d.state = street.state;

        // The street stretch between its two intersections, edge by edge, with each edge's
        // direction relative to the matched edge.
        std::vector<std::pair<int, bool>> stretch = {{m.edge, true}};
        for (bool forward : {true, false}) {
            int node = forward ? edge.to : edge.from;
            int current = m.edge;
            for (int steps = 0; steps < 200; ++steps) {
                const Node& n = map.Node(node);
                if (n.intersection >= 0) break;
                int next = -1;
                for (int c : n.edges) {
                    if (c == current) continue;
                    const Way& cw = map.Way(map.Edge(c).way);
                    if (cw.street == way.street) next = c;
                }
                if (next < 0) break;
                const Edge& ne = map.Edge(next);
                // Walking away from the matched edge: its drawing sense agrees with the matched
                // edge's when we leave through its first point going forward.
                bool nextForward = ne.from == node;
                bool agrees = forward ? nextForward : !nextForward;
                stretch.push_back({next, agrees});
                current = next;
                node = nextForward ? ne.to : ne.from;
            }
        }
        std::vector<int> edgeIds;
        std::map<int, bool> sense;
        for (const auto& [id, agrees] : stretch) {
            edgeIds.push_back(id);
            sense[id] = agrees;
        }
        std::vector<AddressRow> rows = map.AddressesOnEdges(edgeIds);
        // Sides relative to the heading: flipped when the heading runs against the drawing.
        bool flip = heading >= 0 && geo::AngleBetween(m.bearing, heading) > 90.0;
        struct Range {
            const AddressRow* low = nullptr;
            const AddressRow* high = nullptr;
        } ranges[3];
        const AddressRow* nearest[3] = {nullptr, nullptr, nullptr};
        double nearestDistance[3] = {60.0, 60.0, 60.0};
        for (const AddressRow& a : rows) {
            int side = a.side;
            if (!sense[a.edge]) side = side == 1 ? 2 : side == 2 ? 1 : 0;
            if (side != 1 && side != 2) continue;
            if (flip) side = side == 1 ? 2 : 1;
            Range& r = ranges[side];
            if (a.value > 0) {
                if (r.low == nullptr || a.value < r.low->value) r.low = &a;
                if (r.high == nullptr || a.value > r.high->value) r.high = &a;
            }
            double dist = geo::Distance(m.point, a.at);
            // The house in front of the matched point: its projection onto the street, near.
            if (a.edge == m.edge) dist = std::fabs(a.offset - m.along);
            if (dist < nearestDistance[side]) nearestDistance[side] = dist, nearest[side] = &a;
        }
        if (ranges[2].low) {
            d.rightFromText = ranges[2].low->number, d.rightFrom = ranges[2].low->value;
            d.rightToText = ranges[2].high->number, d.rightTo = ranges[2].high->value;
        }
        if (ranges[1].low) {
            d.leftFromText = ranges[1].low->number, d.leftFrom = ranges[1].low->value;
            d.leftToText = ranges[1].high->number, d.leftTo = ranges[1].high->value;
        }
        if (nearest[2]) d.houseRight = nearest[2]->value;
        if (nearest[1]) d.houseLeft = nearest[1]->value;
        int positionSide = m.left ? 1 : 2;
        if (flip) positionSide = positionSide == 1 ? 2 : 1;
        if (nearest[positionSide]) d.houseNumber = nearest[positionSide]->number;
        out.push_back(std::move(d));
    }
    return out;
}

std::string Engine::DescribePosition(Point p, const Naming& naming) const {
    for (const auto& map : m_maps) {
        if (!map->Covers(p, 100.0)) continue;
        std::vector<int> near;
        int best = -1;
        double bestDistance = 1e18;
        for (double radius : {200.0, 1000.0, 5000.0}) {
            map->IntersectionsNear(p, radius, &near);
            for (int x : near) {
                double d = geo::Distance(p, map->Intersection(x).at);
                if (d < bestDistance) bestDistance = d, best = x;
            }
            if (best >= 0) break;
        }
        Details d;
        FillAreas(*map, p, &d);
        std::string text;
        if (best >= 0) {
            std::vector<std::string> names;
            for (const Branch& b : Branches(*map, best, -1, 0, naming, false))
                if (b.kind != 1 && std::find(names.begin(), names.end(), b.name) == names.end())
                    names.push_back(b.name);
            std::sort(names.begin(), names.end());
            for (std::size_t i = 0; i < names.size(); ++i)
                text += (i ? naming.joiner : "") + names[i];
        }
        if (!d.city.empty()) text += (text.empty() ? "" : ", ") + d.city;
        if (!d.postcode.empty()) text += (text.empty() ? "" : ", ") + d.postcode;
        return text;
    }
    return {};
}

std::optional<Point> Engine::AddressPosition(const std::string& mapName, long streetKey,
                                             const std::string& street, const std::string& city,
                                             const std::string& postcode,
                                             const std::string& number) const {
    const MapData* map = FindMap(mapName, {});
    if (map == nullptr) return std::nullopt;
    int s = FindStreet(*map, streetKey, street, city, postcode);
    if (s < 0) return std::nullopt;
    if (number.empty() || number == "-1") {
        // The middle of the street: the middle of its middle edge.
        std::vector<int> own;
        for (int i : map->StreetEdges(s))
            if (map->Way(map->Edge(i).way).street == s) own.push_back(i);
        if (own.empty()) return std::nullopt;
        const Edge& e = map->Edge(own[own.size() / 2]);
        return PointAt(e, e.length / 2);
    }
    std::vector<AddressRow> rows = map->AddressesOfStreet(s);
    const format::HouseNumber wanted = format::ParseHouseNumber(number);
    // The building itself; else a building of that number (the one without a part, else the
    // first part), since "36" asks for the buildings of number 36 and "36 к3" is at least there.
    const AddressRow* same = nullptr;
    std::string samePart;
    for (const AddressRow& a : rows) {
        format::HouseNumber h = format::ParseHouseNumber(a.number);
        if (h.value == wanted.value && h.part == wanted.part)
            return PointAt(map->Edge(a.edge), a.offset);
        if (wanted.value > 0 && h.value == wanted.value && (!same || h.part < samePart))
            same = &a, samePart = h.part;
    }
    if (same) return PointAt(map->Edge(same->edge), same->offset);
    // Between the two nearest numbers of the same parity that enclose it.
    long value = wanted.value;
    if (value <= 0) return std::nullopt;
    const AddressRow* low = nullptr;
    const AddressRow* high = nullptr;
    for (const AddressRow& a : rows) {
        if (a.value <= 0 || a.value % 2 != value % 2) continue;
        if (a.value < value && (!low || a.value > low->value)) low = &a;
        if (a.value > value && (!high || a.value < high->value)) high = &a;
    }
    if (!low || !high) return std::nullopt;
    double t = static_cast<double>(value - low->value) / (high->value - low->value);
    if (low->edge == high->edge) // along the street itself, bends included
        return PointAt(map->Edge(low->edge), low->offset + t * (high->offset - low->offset));
    Point pl = PointAt(map->Edge(low->edge), low->offset);
    Point ph = PointAt(map->Edge(high->edge), high->offset);
    Point guess{pl.lat + t * (ph.lat - pl.lat), pl.lon + t * (ph.lon - pl.lon)};
    // Back onto the addressed street (a nearer path or another street is not the address).
    Point best = guess;
    double bestDistance = 1e18;
    for (int ei : map->StreetEdges(s)) {
        const Edge e = map->Edge(ei);
        if (map->Way(e.way).street != s) continue;
        for (std::size_t i = 0; i + 1 < e.points.size(); ++i) {
            geo::Projection pr = geo::Project(guess, e.points[i], e.points[i + 1]);
            if (pr.distance < bestDistance) {
                bestDistance = pr.distance;
                best = pr.point;
            }
        }
    }
    return best;
}

std::optional<std::vector<Engine::Crossing>>
Engine::StreetCrossings(const std::string& mapName, long streetKey, const std::string& street,
                        const std::string& city, const std::string& postcode, bool matchPostcode,
                        const Naming& naming) const {
    const MapData* map = FindMap(mapName, {});
    if (map == nullptr) return std::nullopt;
    int s = FindStreet(*map, streetKey, street, city, postcode);
    if (s < 0) return std::nullopt;
    std::set<int> xs;
    Point first{1000, 1000};
    for (int ei : map->StreetEdges(s)) {
        const Edge e = map->Edge(ei);
        if (map->Way(e.way).street != s) continue;
        for (int node : {e.from, e.to}) {
            int x = map->Node(node).intersection;
            if (x >= 0) xs.insert(x);
        }
        // One end of the street: the westernmost (then southernmost) point.
        for (const Point& p : {e.points.front(), e.points.back()})
            if (p.lon < first.lon || (p.lon == first.lon && p.lat < first.lat)) first = p;
    }
    std::vector<std::pair<double, Crossing>> found;
    for (int x : xs) {
        const IntersectionRow& row = map->Intersection(x);
        Details d;
        FillAreas(*map, row.at, &d);
        if (d.postcode.empty()) d.postcode = map->Street(s).postcode;
        if (matchPostcode && d.postcode != postcode) continue;
        std::set<std::string> names;
        for (const Branch& b : Branches(*map, x, -1, 0, naming, false))
            if (b.street != s && b.kind != 1) names.insert(b.name);
        for (const std::string& name : names)
            found.push_back(
                {geo::Distance(first, row.at), {name, d.city, d.postcode, map->Name(), row.at}});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Crossing> out;
    out.reserve(found.size());
    for (auto& f : found)
        out.push_back(std::move(f.second));
    return out;
}

} // namespace gpsmap
