// The walker's names of the ways without one: which footways are a street's sidewalk, and which
// street a crossing crosses (docs/walker-names.md). Roles do not change here, so the streets, the
// intersections stay as they were; what a way is spoken as changes, and the roads a sidewalk runs
// beside are marked for the walking costs (docs/routing.md).
#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "Stages.h"

namespace gpsmap::build {
namespace {

constexpr double kBeside = 12.0;         // metres: a sidewalk runs this close to its street
constexpr double kParallel = 30.0;       // degrees: and at most this far from its direction
constexpr double kMostOf = 0.6;          // an untagged footway beside streets for this share
constexpr double kPiece = 5.0;           // metres: the pieces a footway is measured by
constexpr double kCrossingLength = 40.0; // metres: a longer footway is a path with a crossing
constexpr double kCell = 0.0002;         // degrees: the cells of the road index (22 m north)

bool PathClass(const std::string& cls) {
    return IsOneOf(cls, {"footway", "path", "cycleway", "steps", "bridleway"});
}

// A road a sidewalk runs beside or a crossing crosses: a street or connector of a road class.
bool Road(const WayRec& w) {
    return w.role <= format::kRoleConnector && !PathClass(w.cls);
}

bool Unnamed(const WayRec& w) {
    return w.name.empty() && w.ref.empty();
}

// The segments of the named roads, filed in every cell of kCell degrees that their box widened
// by kBeside touches.
class RoadIndex {
public:
    struct Segment {
        Point a, b;
        double bearing;
        int street, way;
    };
    explicit RoadIndex(const Map& map) {
        for (const Edge& e : map.edges) {
            const WayRec& w = map.ways[static_cast<std::size_t>(e.way)];
            const int street = map.wayStreet[static_cast<std::size_t>(e.way)];
            const Street& s = map.streets[static_cast<std::size_t>(street)];
            if (!Road(w) || (s.name.empty() && s.ref.empty())) continue;
            for (std::size_t k = 0; k + 1 < e.points.size(); ++k) {
                const Point a = e.points[k], b = e.points[k + 1];
                const double dLat = kBeside / geo::kMetresPerDegree;
                const double dLon = dLat / std::max(0.05, std::cos(geo::Radians(a.lat)));
                const auto y0 = Row(std::min(a.lat, b.lat) - dLat),
                           y1 = Row(std::max(a.lat, b.lat) + dLat);
                const auto x0 = Row(std::min(a.lon, b.lon) - dLon),
                           x1 = Row(std::max(a.lon, b.lon) + dLon);
                if ((y1 - y0 + 1) * (x1 - x0 + 1) > 2500) continue; // no road piece is that long
                const int index = static_cast<int>(m_segments.size());
                m_segments.push_back({a, b, geo::Bearing(a, b), street, e.way});
                for (std::int64_t y = y0; y <= y1; ++y)
                    for (std::int64_t x = x0; x <= x1; ++x)
                        m_cells[format::GridKey(y, x)].push_back(index);
            }
        }
    }
    // The nearest road segment within kBeside of p running within kParallel of `bearing`
    // (either way); null when none.
    const Segment* Beside(Point p, double bearing, double* distance) const {
        auto cell = m_cells.find(format::GridKey(Row(p.lat), Row(p.lon)));
        if (cell == m_cells.end()) return nullptr;
        const Segment* best = nullptr;
        double bestDistance = kBeside;
        for (int i : cell->second) {
            const Segment& s = m_segments[static_cast<std::size_t>(i)];
            const double turn = geo::AngleBetween(s.bearing, bearing);
            if (std::min(turn, 180.0 - turn) > kParallel) continue;
            const double d = geo::Project(p, s.a, s.b).distance;
            if (d <= bestDistance &&
                (best == nullptr || d < bestDistance || s.street < best->street))
                best = &s, bestDistance = d;
        }
        *distance = bestDistance;
        return best;
    }

private:
    static std::int64_t Row(double degrees) {
        return static_cast<std::int64_t>(std::floor(degrees / kCell));
    }
    std::vector<Segment> m_segments;
    std::unordered_map<std::int64_t, std::vector<int>> m_cells;
};

// The street a footway runs beside for the longest part of its length (a tie: the nearer, then
// the lower street number), the share of its length that runs beside any named road, and the
// ways of the roads it runs beside.
struct Beside {
    int street = -1;
    double share = 0.0;
    std::vector<int> roads;
};

Beside StreetBeside(const Map& map, const RoadIndex& roads, std::size_t firstEdge,
                    std::size_t endEdge) {
    struct Along {
        double length = 0, distance = 0;
    };
    std::unordered_map<int, Along> along;
    std::vector<int> roadWays;
    double total = 0, covered = 0;
    for (std::size_t ei = firstEdge; ei < endEdge; ++ei) {
        const std::vector<Point>& line = map.edges[ei].points;
        for (std::size_t k = 0; k + 1 < line.size(); ++k) {
            const Point a = line[k], b = line[k + 1];
            const double length = geo::Distance(a, b);
            if (!(length > 0.01)) continue;
            const double bearing = geo::Bearing(a, b);
            const int pieces = static_cast<int>(std::min(1000.0, std::ceil(length / kPiece)));
            const double piece = length / pieces;
            for (int i = 0; i < pieces; ++i) {
                const double t = (i + 0.5) / pieces;
                const Point m{a.lat + t * (b.lat - a.lat), a.lon + t * (b.lon - a.lon)};
                double d = 0;
                const RoadIndex::Segment* s = roads.Beside(m, bearing, &d);
                total += piece;
                if (s == nullptr) continue;
                covered += piece;
                if (roadWays.empty() || roadWays.back() != s->way) roadWays.push_back(s->way);
                Along& x = along[s->street];
                x.length += piece, x.distance += piece * d;
            }
        }
    }
    Beside out;
    double bestLength = 0, bestDistance = 0;
    for (const auto& [street, x] : along) {
        const double mean = x.distance / x.length;
        const bool longer = x.length > bestLength + 0.5;
        const bool tie = std::fabs(x.length - bestLength) <= 0.5;
        if (out.street < 0 || longer ||
            (tie && (mean < bestDistance || (mean == bestDistance && street < out.street))))
            out.street = street, bestLength = x.length, bestDistance = mean;
    }
    out.share = total > 0 ? covered / total : 0.0;
    out.roads = std::move(roadWays);
    return out;
}

} // namespace

void NameWalkways(Map& map) {
    const std::size_t wayCount = map.ways.size();
    // The edges of a way are consecutive: BuildGraph cuts the ways in order.
    std::vector<std::size_t> firstEdge(wayCount + 1, map.edges.size());
    for (std::size_t i = map.edges.size(); i-- > 0;)
        firstEdge[static_cast<std::size_t>(map.edges[i].way)] = i;
    for (std::size_t w = wayCount; w-- > 0;)
        firstEdge[w] = std::min(firstEdge[w], firstEdge[w + 1]);
    auto named = [&](int street) {
        const Street& s = map.streets[static_cast<std::size_t>(street)];
        return !s.name.empty() || !s.ref.empty();
    };

    // Sidewalks: tagged ones take the street they follow longest; an untagged footway or path is
    // one when it runs beside named roads for most of its length.
    const RoadIndex roads(map);
    for (std::size_t w = 0; w < wayCount; ++w) {
        WayRec& way = map.ways[w];
        const bool tagged = way.kind == format::kKindSidewalk;
        const bool untagged =
            Unnamed(way) && IsOneOf(way.cls, {"footway", "path", "cycleway", "bridleway"}) &&
            way.role != format::kRoleCrossing && way.kind != format::kKindPlatform;
        if (!tagged && !untagged) continue;
        const Beside beside = StreetBeside(map, roads, firstEdge[w], firstEdge[w + 1]);
        if (tagged) {
            way.of = beside.street;
        } else if (beside.street >= 0 && beside.share >= kMostOf) {
            way.kind = format::kKindSidewalk;
            way.of = beside.street;
        } else {
            continue;
        }
        // The roads it runs beside have a sidewalk of their own, unless their tags put one on
        // the road itself (docs/routing.md).
        for (int road : beside.roads) {
            std::uint32_t& walk = map.ways[static_cast<std::size_t>(road)].walk;
            if ((walk & format::kWalkSidewalk) == 0) walk = format::kWalkSeparate;
        }
    }

    // Crossings: a crossing way, or a short unnamed footway through a crossing node, crosses the
    // road it shares a node with nearest its middle (a named road before an unnamed one).
    const std::vector<OsmId>& crossingIds = map.crossingNodes;
    auto crossingNode = [&](int node) {
        return std::binary_search(crossingIds.begin(), crossingIds.end(),
                                  map.nodeIds[static_cast<std::size_t>(node)]);
    };
    struct Candidate {
        std::size_t way;
        std::vector<std::pair<int, double>> nodes; // graph node, metres from the way's middle
    };
    std::vector<Candidate> candidates;
    for (std::size_t w = 0; w < wayCount; ++w) {
        const WayRec& way = map.ways[w];
        const bool tagged = way.kind == format::kKindCrossing;
        const bool footway = way.kind == format::kKindFootway || way.kind == format::kKindPath ||
                             way.kind == format::kKindCycleway;
        if (!tagged && !(Unnamed(way) && footway)) continue;
        Candidate c{w, {}};
        double length = 0;
        bool throughCrossing = false;
        for (std::size_t ei = firstEdge[w]; ei < firstEdge[w + 1]; ++ei) {
            const Edge& e = map.edges[ei];
            if (ei == firstEdge[w]) c.nodes.push_back({e.from, 0.0});
            length += e.length;
            c.nodes.push_back({e.to, length});
            throughCrossing = throughCrossing || crossingNode(e.from) || crossingNode(e.to);
        }
        if (!tagged && (!throughCrossing || length > kCrossingLength)) continue;
        for (auto& [node, at] : c.nodes)
            at = std::fabs(at - length / 2);
        candidates.push_back(std::move(c));
    }
    // The roads at the candidates' nodes, in one pass over the edges.
    std::vector<int> wanted;
    for (const Candidate& c : candidates)
        for (const auto& [node, at] : c.nodes)
            wanted.push_back(node);
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    std::unordered_map<int, std::vector<int>> roadsAt; // node -> streets of roads there
    for (const Edge& e : map.edges) {
        if (!Road(map.ways[static_cast<std::size_t>(e.way)])) continue;
        for (int node : {e.from, e.to})
            if (std::binary_search(wanted.begin(), wanted.end(), node))
                roadsAt[node].push_back(map.wayStreet[static_cast<std::size_t>(e.way)]);
    }
    for (const Candidate& c : candidates) {
        WayRec& way = map.ways[c.way];
        int best = -1;
        double bestAt = 0;
        bool bestNamed = false;
        for (const auto& [node, at] : c.nodes) {
            auto it = roadsAt.find(node);
            if (it == roadsAt.end()) continue;
            for (int street : it->second) {
                const bool isNamed = named(street);
                if (best < 0 || (isNamed && !bestNamed) ||
                    (isNamed == bestNamed && (at < bestAt || (at == bestAt && street < best))))
                    best = street, bestAt = at, bestNamed = isNamed;
            }
        }
        if (way.kind != format::kKindCrossing && best < 0) continue; // crosses no road
        way.kind = format::kKindCrossing;
        way.of = best >= 0 && bestNamed ? best : -1;
    }
    // A sidewalk or crossing of an unnamed street is spoken as a sidewalk or crossing alone.
    for (WayRec& way : map.ways)
        if (way.of >= 0 && !named(way.of)) way.of = -1;
}

} // namespace gpsmap::build
