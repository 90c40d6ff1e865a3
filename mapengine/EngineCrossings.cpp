// The crossings near a position and the next one ahead of a walker, from the crossings the
// compiler kept in each map (by latitude, so that a band of rows is read, not the whole list).
#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "Engine.h"
#include "MapData.h"

namespace gpsmap {
namespace {

namespace geo = gpslib::geo;

// Half the angle either side of a walker's heading within which a crossing counts as ahead.
constexpr double kAheadDegrees = 45.0;

bool Usable(Point p) {
    return std::isfinite(p.lat) && std::isfinite(p.lon) && std::fabs(p.lat) < 89.0 &&
           std::fabs(p.lon) <= 180.0 && (p.lat != 0.0 || p.lon != 0.0);
}

} // namespace

std::vector<Engine::PedestrianCrossing> Engine::CrossingsNear(Point p, double radius,
                                                              const Naming& naming) const {
    std::vector<PedestrianCrossing> found;
    if (!Usable(p) || !(radius >= 0.0) || radius > 100000.0) return found;
    const double band = radius / geo::kMetresPerDegree;
    for (const auto& map : m_maps) {
        if (!map->Covers(p, radius)) continue;
        const auto crossings = map->Crossings();
        auto from = std::lower_bound(
            crossings.begin(), crossings.end(), p.lat - band,
            [](const gpslib::formats::CrossingRecord& c, double lat) { return c.lat < lat; });
        for (auto c = from; c != crossings.end() && c->lat <= p.lat + band; ++c) {
            const Point at{c->lat, c->lon};
            const double distance = geo::Distance(p, at);
            if (distance > radius) continue;
            PedestrianCrossing x;
            x.at = at;
            x.distance = distance;
            x.bearing =
                distance > 0.5 ? static_cast<int>(std::lround(geo::Bearing(p, at))) % 360 : -1;
            if (c->road >= 0 && static_cast<std::size_t>(c->road) < map->WayCount())
                x.street = WayName(*map, c->road, naming);
            x.facts = *c;
            found.push_back(std::move(x));
        }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.distance < b.distance; });
    return found;
}

std::optional<Engine::PedestrianCrossing>
Engine::NextCrossingAhead(Point p, int heading, double range, const Naming& naming) const {
    if (heading < 0 || heading > 359) return std::nullopt;
    for (PedestrianCrossing& c : CrossingsNear(p, range, naming)) {
        if (c.bearing < 0) continue; // where the walker stands is not ahead
        const double off = std::fabs(std::remainder(c.bearing - heading, 360.0));
        if (off <= kAheadDegrees) return std::move(c);
    }
    return std::nullopt;
}

std::vector<Engine::PedestrianCrossing> Engine::CrossingsOnRoute(const Route& route,
                                                                 const Naming& naming) const {
    std::vector<PedestrianCrossing> used;
    const MapData* map = route.map;
    if (map == nullptr || route.steps.size() < 2) return used;
    std::unordered_map<int, const gpslib::formats::CrossingRecord*> byNode;
    for (const auto& c : map->Crossings())
        if (c.node > 0) byNode.emplace(c.node - 1, &c);
    if (byNode.empty()) return used;
    double along = 0.0;
    for (std::size_t i = 0; i + 1 < route.steps.size(); ++i) {
        const RouteStep& step = route.steps[i];
        const RouteStep& next = route.steps[i + 1];
        const Edge in = map->Edge(step.edge), out = map->Edge(next.edge);
        along += std::fabs(step.to - step.from);
        // The node between the two steps: where this one leaves its edge and the next one
        // enters its own.
        const int node = step.forward ? in.to : in.from;
        if (node != (next.forward ? out.from : out.to)) continue;
        auto found = byNode.find(node);
        if (found == byNode.end()) continue;
        const auto& c = *found->second;
        if (c.road == in.way || c.road == out.way) continue; // along the road, not over it
        PedestrianCrossing x;
        x.at = {c.lat, c.lon};
        x.distance = along;
        if (c.road >= 0 && static_cast<std::size_t>(c.road) < map->WayCount())
            x.street = WayName(*map, c.road, naming);
        x.facts = c;
        used.push_back(std::move(x));
    }
    return used;
}

} // namespace gpsmap
