// The map file's route bounds: a few landmark nodes per profile, chosen far apart, and every
// node's cheapest cost to and from each (formats/MapFile.h, "Route bounds"; docs/routing.md).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <queue>
#include <vector>

#include "Stages.h"
#include "formats/RouteSpeeds.h"

namespace gpsmap::build {
namespace {

namespace speeds = gpslib::formats::speeds;

constexpr int kLandmarks = 8; // per profile
constexpr std::uint32_t kNone = format::kNoBound;

// The profile's arcs, node after node (compressed rows): head and cost in hundredths of a second.
struct Arcs {
    std::vector<std::uint32_t> begin; // per node, and one past the last
    std::vector<std::uint32_t> head, cost;
};

// An edge's cheapest cost, rounded down so that it never exceeds what a search pays for it.
std::uint32_t Cheapest(const Map& map, const Edge& e, bool walking) {
    const WayRec& w = map.ways[static_cast<std::size_t>(e.way)];
    const double seconds =
        e.length * speeds::BoundPerMetre(walking, w.cls, w.maxspeed, w.walk | format::kWalkFacts);
    const double units = std::floor(seconds * (1.0 - 1e-9) / format::kBoundUnit);
    return static_cast<std::uint32_t>(std::clamp(units, 0.0, 1e9));
}

// The arcs the profile may travel, forward (or, `reversed`, each turned around).
Arcs ProfileArcs(const Map& map, bool walking, bool reversed) {
    struct Arc {
        std::uint32_t tail, head, cost;
    };
    std::vector<Arc> arcs;
    for (const Edge& e : map.edges) {
        const WayRec& w = map.ways[static_cast<std::size_t>(e.way)];
        if (walking ? !w.foot : !w.car) continue;
        const std::uint32_t cost = Cheapest(map, e, walking);
        const auto from = static_cast<std::uint32_t>(e.from), to = static_cast<std::uint32_t>(e.to);
        const int oneway = walking ? 0 : std::clamp(w.oneway, -1, 1);
        if (oneway != -1) arcs.push_back(reversed ? Arc{to, from, cost} : Arc{from, to, cost});
        if (oneway != 1) arcs.push_back(reversed ? Arc{from, to, cost} : Arc{to, from, cost});
    }
    Arcs out;
    out.begin.assign(map.nodes.size() + 1, 0);
    for (const Arc& a : arcs)
        ++out.begin[a.tail + 1];
    for (std::size_t i = 1; i < out.begin.size(); ++i)
        out.begin[i] += out.begin[i - 1];
    out.head.resize(arcs.size());
    out.cost.resize(arcs.size());
    std::vector<std::uint32_t> next(out.begin.begin(), out.begin.end() - 1);
    for (const Arc& a : arcs) {
        const std::uint32_t slot = next[a.tail]++;
        out.head[slot] = a.head, out.cost[slot] = a.cost;
    }
    return out;
}

// The cheapest cost from `source` to every node (kNone where it cannot go).
void Measure(const Arcs& arcs, std::uint32_t source, std::vector<std::uint32_t>* cost) {
    cost->assign(arcs.begin.size() - 1, kNone);
    using Entry = std::pair<std::uint64_t, std::uint32_t>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue;
    (*cost)[source] = 0;
    queue.push({0, source});
    while (!queue.empty()) {
        auto [d, u] = queue.top();
        queue.pop();
        if (d != (*cost)[u]) continue;
        for (std::uint32_t i = arcs.begin[u]; i < arcs.begin[u + 1]; ++i) {
            const std::uint64_t dv = d + arcs.cost[i];
            std::uint32_t& known = (*cost)[arcs.head[i]];
            if (dv < known) known = static_cast<std::uint32_t>(dv), queue.push({dv, arcs.head[i]});
        }
    }
}

// The node of the most edges' component (edges taken both ways) that the profile may use.
std::uint32_t InLargestComponent(const Arcs& arcs) {
    const std::size_t n = arcs.begin.size() - 1;
    std::vector<std::uint32_t> root(n);
    for (std::uint32_t v = 0; v < n; ++v)
        root[v] = v;
    auto find = [&](std::uint32_t v) {
        while (root[v] != v)
            v = root[v] = root[root[v]];
        return v;
    };
    for (std::uint32_t u = 0; u < n; ++u)
        for (std::uint32_t i = arcs.begin[u]; i < arcs.begin[u + 1]; ++i)
            root[find(u)] = find(arcs.head[i]);
    std::vector<std::uint32_t> size(n, 0);
    for (std::uint32_t u = 0; u < n; ++u)
        size[find(u)] += arcs.begin[u + 1] - arcs.begin[u];
    return find(
        static_cast<std::uint32_t>(std::max_element(size.begin(), size.end()) - size.begin()));
}

// One profile's landmarks, each the node farthest from those already chosen (the first the
// farthest from a node of the largest component), and the costs to and from them.
void MeasureProfile(const Map& map, bool walking, std::vector<format::LandmarkRecord>* landmarks,
                    std::vector<std::vector<std::uint32_t>>* columns) {
    const Arcs forward = ProfileArcs(map, walking, false);
    if (forward.head.empty()) return;
    const Arcs backward = walking ? Arcs{} : ProfileArcs(map, walking, true);
    std::vector<std::uint32_t> nearest;
    Measure(forward, InLargestComponent(forward), &nearest);
    std::vector<std::vector<std::uint32_t>> fromColumns, toColumns;
    for (int k = 0; k < kLandmarks; ++k) {
        // The farthest node still reached; none farther than 0 means every node is a landmark.
        std::uint32_t best = kNone, bestCost = 0;
        for (std::uint32_t v = 0; v < nearest.size(); ++v)
            if (nearest[v] != kNone && nearest[v] > bestCost) best = v, bestCost = nearest[v];
        if (best == kNone) break;
        std::vector<std::uint32_t> from, to;
        Measure(forward, best, &from);
        if (!walking) Measure(backward, best, &to);
        landmarks->push_back({static_cast<std::int32_t>(best), walking ? 0 : 1});
        for (std::size_t v = 0; v < nearest.size(); ++v)
            nearest[v] = k == 0 ? from[v] : std::min(nearest[v], from[v]);
        fromColumns.push_back(std::move(from));
        if (!walking) toColumns.push_back(std::move(to));
    }
    for (auto& c : fromColumns)
        columns->push_back(std::move(c));
    for (auto& c : toColumns)
        columns->push_back(std::move(c));
}

} // namespace

void MeasureRouteBounds(Map& map) {
    map.landmarks.clear();
    map.landmarkCosts.clear();
    const std::size_t n = map.nodes.size();
    for (bool walking : {true, false}) {
        std::vector<std::vector<std::uint32_t>> columns;
        MeasureProfile(map, walking, &map.landmarks, &columns);
        // Node after node, the profile's columns side by side.
        const std::size_t at = map.landmarkCosts.size();
        map.landmarkCosts.resize(at + n * columns.size());
        for (std::size_t v = 0; v < n; ++v)
            for (std::size_t c = 0; c < columns.size(); ++c)
                map.landmarkCosts[at + v * columns.size() + c] = columns[c][v];
    }
}

} // namespace gpsmap::build
