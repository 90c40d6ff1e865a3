// The graph stage: ways cut into edges at shared nodes, ways grouped into streets, and the
// intersections found and clustered (docs/maps.md, "Streets" and "Intersections").
#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <set>
#include <tuple>

#include "Stages.h"

namespace gpsmap::build {
namespace {

// ---- Union-find -------------------------------------------------------------------------------

struct UnionFind {
    explicit UnionFind(std::size_t n) : parent(n) { std::iota(parent.begin(), parent.end(), 0); }
    std::size_t Find(std::size_t x) {
        while (parent[x] != x)
            x = parent[x] = parent[parent[x]];
        return x;
    }
    void Union(std::size_t a, std::size_t b) {
        a = Find(a), b = Find(b);
        if (a != b) parent[std::max(a, b)] = std::min(a, b);
    }
    std::vector<std::size_t> parent;
};

} // namespace

// A node is in the graph when two ways share it, one way visits it twice, or a way ends there.
// The node references are counted by sorting them (8 bytes each) rather than in a hash map (some
// 40 bytes a node), which at a country's size is the difference between tens and hundreds of MiB
// held while the graph is built; the graph nodes are then found by binary search in their sorted
// ids.
void BuildGraph(Map& map) {
    std::vector<OsmId> refs;
    std::size_t total = 0;
    for (const WayRec& w : map.ways)
        total += w.nodes.size() + 4;
    refs.reserve(total);
    for (const WayRec& w : map.ways) {
        refs.insert(refs.end(), w.nodes.begin(), w.nodes.end());
        refs.insert(refs.end(), 2, w.nodes.front());
        refs.insert(refs.end(), 2, w.nodes.back());
    }
    std::sort(refs.begin(), refs.end());
    std::vector<OsmId> graphIds;
    for (std::size_t i = 0; i < refs.size();) {
        std::size_t j = i;
        while (j < refs.size() && refs[j] == refs[i])
            ++j;
        if (j - i >= 2) graphIds.push_back(refs[i]);
        i = j;
    }
    std::vector<OsmId>().swap(refs);
    map.nodes.assign(graphIds.size(), Point{});
    map.nodeIds = std::move(graphIds);
    const std::vector<OsmId>& ids = map.nodeIds;
    auto inGraph = [&](OsmId id) { return std::binary_search(ids.begin(), ids.end(), id); };
    // Counted first, so that the edges (a country has millions) are allocated once.
    std::size_t edgeCount = 0;
    for (const WayRec& w : map.ways)
        for (std::size_t i = 1; i < w.nodes.size(); ++i)
            edgeCount += inGraph(w.nodes[i]) ? 1 : 0;
    map.edges.reserve(edgeCount);
    for (std::size_t wi = 0; wi < map.ways.size(); ++wi) {
        const WayRec& w = map.ways[wi];
        Edge e;
        e.way = static_cast<int>(wi);
        for (std::size_t i = 0; i < w.nodes.size(); ++i) {
            auto it = std::lower_bound(ids.begin(), ids.end(), w.nodes[i]);
            const Point& p = w.points[i];
            if (!e.points.empty()) e.length += geo::Distance(e.points.back(), p);
            e.points.push_back(p);
            if (it == ids.end() || *it != w.nodes[i]) continue;
            const int node = static_cast<int>(it - ids.begin());
            map.nodes[static_cast<std::size_t>(node)] = p;
            if (e.points.size() == 1) {
                e.from = node;
                continue;
            }
            e.to = node;
            Edge done = std::move(e);
            e = Edge{};
            e.way = static_cast<int>(wi);
            e.from = done.to;
            e.points.push_back(p);
            done.minLat = done.maxLat = done.points[0].lat;
            done.minLon = done.maxLon = done.points[0].lon;
            for (const Point& q : done.points) {
                done.minLat = std::min(done.minLat, q.lat),
                done.maxLat = std::max(done.maxLat, q.lat);
                done.minLon = std::min(done.minLon, q.lon),
                done.maxLon = std::max(done.maxLon, q.lon);
            }
            map.minLat = std::min(map.minLat, done.minLat),
            map.maxLat = std::max(map.maxLat, done.maxLat);
            map.minLon = std::min(map.minLon, done.minLon),
            map.maxLon = std::max(map.maxLon, done.maxLon);
            map.edges.push_back(std::move(done));
        }
    }
}

// A restriction names ways and a node; the graph has edges. Each edge of the `from` way that
// touches the via node is paired with each such edge of the `to` way (a way passing through the
// node has two). Relations whose members are not in the graph are dropped.
void BuildRestrictions(Map& map, const std::vector<RestrictionRec>& restrictions) {
    std::vector<std::vector<int>> edgesOfWay(map.ways.size());
    for (std::size_t i = 0; i < map.edges.size(); ++i)
        edgesOfWay[static_cast<std::size_t>(map.edges[i].way)].push_back(static_cast<int>(i));
    auto wayIndex = [&](OsmId id) {
        auto it = std::lower_bound(map.ways.begin(), map.ways.end(), id,
                                   [](const WayRec& w, OsmId v) { return w.id < v; });
        return it != map.ways.end() && it->id == id ? static_cast<int>(it - map.ways.begin()) : -1;
    };
    for (const RestrictionRec& r : restrictions) {
        int from = wayIndex(r.from), to = wayIndex(r.to);
        auto node = std::lower_bound(map.nodeIds.begin(), map.nodeIds.end(), r.via);
        if (from < 0 || to < 0 || node == map.nodeIds.end() || *node != r.via) continue;
        int via = static_cast<int>(node - map.nodeIds.begin());
        auto touching = [&](int way) {
            std::vector<int> out;
            for (int e : edgesOfWay[static_cast<std::size_t>(way)]) {
                const Edge& edge = map.edges[static_cast<std::size_t>(e)];
                if (edge.from == via || edge.to == via) out.push_back(e);
            }
            return out;
        };
        std::vector<int> froms = touching(from), tos = touching(to);
        // A way that passes through the node touches it with two edges: the turn the relation
        // names tells which pair it means.
        bool ambiguous = froms.size() > 1 || tos.size() > 1;
        for (int a : froms)
            for (int b : tos) {
                if (ambiguous && r.turn != 0) {
                    const Edge& ea = map.edges[static_cast<std::size_t>(a)];
                    const Edge& eb = map.edges[static_cast<std::size_t>(b)];
                    std::size_t na = ea.points.size(), nb = eb.points.size();
                    double in = ea.to == via ? geo::Bearing(ea.points[na - 2], ea.points[na - 1])
                                             : geo::Bearing(ea.points[1], ea.points[0]);
                    double out = eb.from == via
                                     ? geo::Bearing(eb.points[0], eb.points[1])
                                     : geo::Bearing(eb.points[nb - 1], eb.points[nb - 2]);
                    double angle = std::fmod(out - in + 540.0, 360.0) - 180.0;
                    bool fits = r.turn == 1   ? angle < -20.0 && angle > -170.0
                                : r.turn == 2 ? angle > 20.0 && angle < 170.0
                                : r.turn == 3 ? std::fabs(angle) < 45.0
                                              : std::fabs(angle) > 150.0;
                    if (!fits) continue;
                }
                map.restrictions.push_back({a, via, b, r.only});
            }
    }
    std::sort(map.restrictions.begin(), map.restrictions.end(),
              [](const Restriction& a, const Restriction& b) {
                  return std::tie(a.via, a.from, a.to, a.only) <
                         std::tie(b.via, b.from, b.to, b.only);
              });
    map.restrictions.erase(std::unique(map.restrictions.begin(), map.restrictions.end(),
                                       [](const Restriction& a, const Restriction& b) {
                                           return a.via == b.via && a.from == b.from &&
                                                  a.to == b.to && a.only == b.only;
                                       }),
                           map.restrictions.end());
}

namespace {

std::string GroupKey(const WayRec& w) {
    if (w.role == format::kRoleSidewalk || w.role == format::kRoleCrossing) return {};
    if (!w.name.empty()) return "n:" + w.name;
    if (!w.ref.empty()) return "r:" + w.ref;
    return {};
}

} // namespace

// Streets: ways of one name (or reference) that touch, or whose extents come within 50 m (the
// halves of a dual carriageway); unnamed ways continue each other where only they meet, and the
// pieces of one roundabout are one street.
void BuildStreets(Map& map) {
    std::size_t n = map.ways.size();
    UnionFind uf(n);
    std::vector<std::vector<int>> wayEdgesAtNode(map.nodes.size());
    for (std::size_t i = 0; i < map.edges.size(); ++i) {
        wayEdgesAtNode[static_cast<std::size_t>(map.edges[i].from)].push_back(map.edges[i].way);
        wayEdgesAtNode[static_cast<std::size_t>(map.edges[i].to)].push_back(map.edges[i].way);
    }
    std::vector<std::string> keys(n);
    for (std::size_t i = 0; i < n; ++i)
        keys[i] = GroupKey(map.ways[i]);
    for (std::vector<int>& at : wayEdgesAtNode) {
        std::sort(at.begin(), at.end());
        at.erase(std::unique(at.begin(), at.end()), at.end());
        for (std::size_t a = 0; a < at.size(); ++a)
            for (std::size_t b = a + 1; b < at.size(); ++b) {
                const WayRec& wa = map.ways[static_cast<std::size_t>(at[a])];
                const WayRec& wb = map.ways[static_cast<std::size_t>(at[b])];
                const std::string& ka = keys[static_cast<std::size_t>(at[a])];
                const std::string& kb = keys[static_cast<std::size_t>(at[b])];
                bool same = !ka.empty() && ka == kb;
                bool roundabout = wa.roundabout && wb.roundabout && ka == kb;
                bool unnamedContinuation = ka.empty() && kb.empty() && at.size() == 2 &&
                                           wa.role == wb.role && wa.cls == wb.cls &&
                                           wa.role <= format::kRoleConnector;
                if (same || roundabout || unnamedContinuation)
                    uf.Union(static_cast<std::size_t>(at[a]), static_cast<std::size_t>(at[b]));
            }
    }
    // Components of one name whose extents come within 50 m.
    struct Box {
        double minLat = 90, maxLat = -90, minLon = 180, maxLon = -180;
    };
    // A way's edges hold all of its points (a way starts and ends at graph nodes), so their boxes
    // make the way's.
    std::map<std::size_t, Box> boxes;
    for (const Edge& e : map.edges) {
        const auto way = static_cast<std::size_t>(e.way);
        if (keys[way].empty()) continue;
        Box& b = boxes[uf.Find(way)];
        b.minLat = std::min(b.minLat, e.minLat), b.maxLat = std::max(b.maxLat, e.maxLat);
        b.minLon = std::min(b.minLon, e.minLon), b.maxLon = std::max(b.maxLon, e.maxLon);
    }
    std::map<std::string, std::vector<std::size_t>> rootsByKey;
    for (const auto& [root, box] : boxes)
        rootsByKey[keys[root]].push_back(root);
    for (const auto& [key, roots] : rootsByKey) {
        if (roots.size() < 2 || roots.size() > 400) continue;
        for (std::size_t a = 0; a < roots.size(); ++a)
            for (std::size_t b = a + 1; b < roots.size(); ++b) {
                const Box& x = boxes[roots[a]];
                const Box& y = boxes[roots[b]];
                double dLat = 50.0 / geo::kMetresPerDegree;
                double dLon = dLat / std::max(0.05, std::cos(geo::Radians(x.minLat)));
                if (x.minLat - dLat <= y.maxLat && y.minLat - dLat <= x.maxLat &&
                    x.minLon - dLon <= y.maxLon && y.minLon - dLon <= x.maxLon)
                    uf.Union(roots[a], roots[b]);
            }
    }
    std::map<std::size_t, int> streetOfRoot;
    map.wayStreet.assign(n, 0);
    std::size_t streets = 0;
    for (std::size_t i = 0; i < n; ++i)
        streets += uf.Find(i) == i ? 1 : 0;
    map.streets.reserve(streets);
    for (std::size_t i = 0; i < n; ++i) {
        std::size_t root = uf.Find(i);
        auto [it, added] = streetOfRoot.emplace(root, static_cast<int>(map.streets.size()));
        if (added) map.streets.push_back({map.ways[i].name, map.ways[i].ref, "", "", "", "", ""});
        map.wayStreet[i] = it->second;
    }
}

// Intersections: graph nodes where two streets meet or a street forks (streets only), then the
// close nodes of one junction clustered, never wider than a junction is (docs/maps.md,
// "Intersections and clustering").
namespace {

constexpr double kJoinEdge = 25.0;    // metres: the longest piece inside one junction
constexpr double kClusterSpan = 40.0; // metres: no two nodes of one junction farther apart
constexpr double kRingLength = 400.0; // metres: a longer ring is no single junction
constexpr double kRingReach = 30.0;   // metres: how far beyond its ring a roundabout reaches

struct Cluster {
    std::vector<std::size_t> nodes;
    bool ring = false;
    Point centre;      // a roundabout's: the middle of its ring
    double radius = 0; // a roundabout's: the farthest ring node from the centre
};

} // namespace

void BuildIntersections(Map& map) {
    std::size_t nodeCount = map.nodes.size();
    std::vector<std::set<int>> streetsAt(nodeCount), onewayStreetsAt(nodeCount);
    std::vector<int> ends(nodeCount, 0);
    for (const Edge& e : map.edges) {
        const WayRec& w = map.ways[static_cast<std::size_t>(e.way)];
        if (w.role != format::kRoleStreet) continue;
        int street = map.wayStreet[static_cast<std::size_t>(e.way)];
        for (int node : {e.from, e.to}) {
            auto u = static_cast<std::size_t>(node);
            streetsAt[u].insert(street);
            ++ends[u];
            if (w.oneway != 0 && !w.roundabout) onewayStreetsAt[u].insert(street);
        }
    }
    std::vector<bool> isIntersection(nodeCount, false);
    for (std::size_t i = 0; i < nodeCount; ++i)
        isIntersection[i] = streetsAt[i].size() >= 2 || ends[i] >= 3;

    UnionFind uf(nodeCount);
    std::map<std::size_t, Cluster> clusters; // by root; single nodes are left out
    auto clusterOf = [&](std::size_t root) -> Cluster {
        auto it = clusters.find(root);
        if (it != clusters.end()) return it->second;
        Cluster c;
        c.nodes = {root};
        return c;
    };

    // Roundabouts: the connected pieces of one ring, when it is small enough to be one junction.
    // By connection, not by name: two roundabouts of one street far apart are two junctions.
    UnionFind ringOf(nodeCount);
    for (const Edge& e : map.edges)
        if (map.ways[static_cast<std::size_t>(e.way)].roundabout)
            ringOf.Union(static_cast<std::size_t>(e.from), static_cast<std::size_t>(e.to));
    std::map<std::size_t, std::vector<const Edge*>> rings;
    for (const Edge& e : map.edges)
        if (map.ways[static_cast<std::size_t>(e.way)].roundabout)
            rings[ringOf.Find(static_cast<std::size_t>(e.from))].push_back(&e);
    for (const auto& [ring, edges] : rings) {
        double length = 0;
        Point centre;
        std::size_t points = 0;
        for (const Edge* e : edges) {
            length += e->length;
            for (std::size_t k = 0; k + 1 < e->points.size(); ++k, ++points)
                centre.lat += e->points[k].lat, centre.lon += e->points[k].lon;
        }
        if (length > kRingLength || points == 0) continue;
        centre = {centre.lat / static_cast<double>(points),
                  centre.lon / static_cast<double>(points)};
        std::set<std::size_t> nodes;
        for (const Edge* e : edges)
            for (int node : {e->from, e->to})
                nodes.insert(static_cast<std::size_t>(node));
        Cluster c;
        c.ring = true;
        c.centre = centre;
        for (std::size_t u : nodes) {
            isIntersection[u] = true;
            uf.Union(*nodes.begin(), u);
            c.nodes.push_back(u);
            c.radius = std::max(c.radius, geo::Distance(centre, map.nodes[u]));
        }
        clusters[uf.Find(*nodes.begin())] = std::move(c);
    }

    // Short pieces between two intersection nodes of one junction: a link road; or, on a one-way
    // piece or between two one-way streets, a piece whose two ends share another street (the
    // carriageways of a divided road and the cross street between them) or that splits its own
    // street into one-way halves. Two T-junctions of different streets on a one-way street share
    // nothing and stay apart.
    std::vector<std::size_t> candidates;
    for (std::size_t i = 0; i < map.edges.size(); ++i) {
        const Edge& e = map.edges[i];
        auto a = static_cast<std::size_t>(e.from), b = static_cast<std::size_t>(e.to);
        if (a == b || !isIntersection[a] || !isIntersection[b] || e.length > kJoinEdge) continue;
        const WayRec& w = map.ways[static_cast<std::size_t>(e.way)];
        if (w.role == format::kRoleSidewalk || w.role == format::kRoleCrossing || w.roundabout)
            continue;
        int street = map.wayStreet[static_cast<std::size_t>(e.way)];
        bool link = w.cls.find("_link") != std::string::npos;
        bool oneway = w.oneway != 0 || (!onewayStreetsAt[a].empty() && !onewayStreetsAt[b].empty());
        bool shared = false;
        for (int s : streetsAt[a])
            shared = shared || (s != street && streetsAt[b].count(s) > 0);
        auto split = [&](std::size_t u) {
            return w.oneway != 0 && streetsAt[u].size() == 1 && *streetsAt[u].begin() == street;
        };
        if (link || (oneway && (shared || split(a) || split(b)))) candidates.push_back(i);
    }
    // The shortest pieces first, each joining two clusters only while the result stays within
    // its bound: every node within kClusterSpan of every other, or within kRingReach of a
    // roundabout's ring; two roundabouts never join.
    std::stable_sort(candidates.begin(), candidates.end(), [&](std::size_t x, std::size_t y) {
        return map.edges[x].length < map.edges[y].length;
    });
    for (std::size_t i : candidates) {
        std::size_t ra = uf.Find(static_cast<std::size_t>(map.edges[i].from));
        std::size_t rb = uf.Find(static_cast<std::size_t>(map.edges[i].to));
        if (ra == rb) continue;
        Cluster a = clusterOf(ra), b = clusterOf(rb);
        if (a.ring && b.ring) continue;
        if (b.ring) std::swap(a, b);
        bool fits = true;
        for (std::size_t u : b.nodes) {
            if (a.ring) {
                fits = fits && geo::Distance(a.centre, map.nodes[u]) <= a.radius + kRingReach;
                continue;
            }
            for (std::size_t v : a.nodes)
                fits = fits && geo::Distance(map.nodes[u], map.nodes[v]) <= kClusterSpan;
        }
        if (!fits) continue;
        uf.Union(ra, rb);
        clusters.erase(ra), clusters.erase(rb);
        a.nodes.insert(a.nodes.end(), b.nodes.begin(), b.nodes.end());
        clusters[uf.Find(ra)] = std::move(a);
    }

    map.nodeIntersection.assign(nodeCount, -1);
    std::map<std::size_t, int> idOfRoot;
    std::vector<std::vector<std::size_t>> members;
    for (std::size_t i = 0; i < nodeCount; ++i) {
        if (!isIntersection[i]) continue;
        auto [it, added] = idOfRoot.emplace(uf.Find(i), static_cast<int>(members.size()));
        if (added) members.emplace_back();
        members[static_cast<std::size_t>(it->second)].push_back(i);
        map.nodeIntersection[i] = it->second;
    }
    for (const std::vector<std::size_t>& m : members) {
        // Where its streets meet: the middle of the nodes where two streets meet (a node that
        // only splits a street into its halves lies before the junction), a roundabout's ring.
        Intersection x;
        std::size_t count = 0;
        for (bool any : {false, true}) {
            for (std::size_t i : m)
                if (any || streetsAt[i].size() >= 2)
                    x.at.lat += map.nodes[i].lat, x.at.lon += map.nodes[i].lon, ++count;
            if (count > 0) break;
        }
        x.at.lat /= static_cast<double>(count);
        x.at.lon /= static_cast<double>(count);
        auto cluster = clusters.find(uf.Find(m.front()));
        bool ring = cluster != clusters.end() && cluster->second.ring;
        if (ring) x.at = cluster->second.centre;
        x.kind = ring ? 2 : m.size() > 1 ? 1 : 0;
        map.intersections.push_back(x);
    }
}

// A coarse grid over the edges, for tying addresses to their street.
void DropWayGeometry(Map& map) {
    for (WayRec& w : map.ways) {
        std::vector<OsmId>().swap(w.nodes);
        std::vector<Point>().swap(w.points);
    }
}

} // namespace gpsmap::build
