// What a drawing of the map reads: the loaded maps' bounds and the shapes of the ways in a box,
// found through the maps' grids of edges.
#include <algorithm>
#include <cmath>

#include "Engine.h"
#include "MapData.h"

namespace gpsmap {
namespace {

bool Meets(const Box& a, const Box& b) {
    return a.south <= b.north && b.south <= a.north && a.west <= b.east && b.west <= a.east;
}

Box BoxOf(std::span<const Point> points) {
    Box b{points[0].lat, points[0].lon, points[0].lat, points[0].lon};
    for (const Point& p : points) {
        b.south = std::min(b.south, p.lat), b.north = std::max(b.north, p.lat);
        b.west = std::min(b.west, p.lon), b.east = std::max(b.east, p.lon);
    }
    return b;
}

} // namespace

std::vector<Engine::MapBox> Engine::MapBoxes() const {
    std::vector<MapBox> boxes;
    for (const auto& map : m_maps)
        boxes.push_back({map->Name(), map->Bounds()});
    return boxes;
}

std::vector<Engine::StreetShape> Engine::StreetsInBox(const Box& box, std::size_t limit,
                                                      const Naming& naming, bool* complete) const {
    struct Found {
        double distance;
        StreetShape shape;
    };
    std::vector<Found> found;
    const Point centre{(box.south + box.north) / 2, (box.west + box.east) / 2};
    std::vector<int> edges;
    for (const auto& map : m_maps) {
        if (!Meets(map->Bounds(), box)) continue;
        map->EdgesInBox(box, &edges);
        std::erase_if(edges, [&](int i) {
            const Edge e = map->Edge(i);
            return e.points.data() == kNowhere || !Meets(BoxOf(e.points), box);
        });
        // Edges are stored way after way in drawing order: a run of numbers of one way whose
        // ends meet is one stretch of it.
        for (std::size_t i = 0; i < edges.size();) {
            const Edge first = map->Edge(edges[i]);
            const Way way = map->Way(first.way);
            StreetShape s{WayName(*map, first.way, naming),
                          std::string(way.cls),
                          way.foot,
                          way.car,
                          {first.points.begin(), first.points.end()}};
            int last = first.to;
            for (++i; i < edges.size() && edges[i] == edges[i - 1] + 1; ++i) {
                const Edge next = map->Edge(edges[i]);
                if (next.way != first.way || next.from != last) break;
                s.points.insert(s.points.end(), next.points.begin() + 1, next.points.end());
                last = next.to;
            }
            double distance = 1e300;
            for (const Point& p : s.points)
                distance = std::min(distance, geo::Distance(centre, p));
            found.push_back({distance, std::move(s)});
        }
    }
    *complete = found.size() <= limit;
    const std::size_t kept = std::min(limit, found.size());
    std::partial_sort(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(kept), found.end(),
                      [](const Found& a, const Found& b) { return a.distance < b.distance; });
    std::vector<StreetShape> shapes;
    shapes.reserve(kept);
    for (std::size_t i = 0; i < kept; ++i)
        shapes.push_back(std::move(found[i].shape));
    return shapes;
}

} // namespace gpsmap
