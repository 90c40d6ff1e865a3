// Routes over the shared OpenStreetMap extracts, both profiles, checked against the extract
// itself read here with libosmium: every route is connected, runs along ways its profile may
// use (each segment's tags looked up in the extract, with the country's defaults for walkers),
// never drives a one-way street the wrong way, and is within a few percent of the shortest path a
// plain Dijkstra over the extract finds (a walk within a fifth: it prefers sidewalks and signals).
// Skipped when the extracts are not there.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <queue>
#include <random>
#include <set>
#include <unordered_map>

#include "MapData.h"
#include "Router.h"
#include "formats/Geodesy.h"
#include "map_fixture.h"
#include "osm_read.h"

namespace gpsmap::test {
namespace {

namespace geo = gpslib::geo;

// Each extract's country, and whether its routing defaults close trunk roads to walkers (the
// OpenStreetMap wiki's per-country table; Liechtenstein follows Switzerland's).
bool TrunkClosedToWalkers(const std::string& map) {
    const std::map<std::string, bool> closed = {
        {"Monaco", false}, {"Andorra", false}, {"Liechtenstein", true}, {"Baltimore", false}};
    return closed.at(map);
}

// The rules of each profile, written here from the tags and nothing else.
bool Among(const std::string& v, std::initializer_list<const char*> set) {
    for (const char* s : set)
        if (v == s) return true;
    return false;
}

struct Rules {
    bool foot = false, car = false;
    int oneway = 0; // for drivers: 1 along the way's node order, -1 against it
};

Rules RulesOf(const osmium::TagList& tags, bool trunkClosed) {
    Rules r;
    std::string h = tags.get_value_by_key("highway", "");
    auto tag = [&](const char* key) { return std::string(tags.get_value_by_key(key, "")); };
    if (h.empty() || tag("area") == "yes") return r;
    bool road = Among(h, {"motorway", "trunk", "primary", "secondary", "tertiary", "unclassified",
                          "residential", "living_street", "service", "road", "motorway_link",
                          "trunk_link", "primary_link", "secondary_link", "tertiary_link"});
    bool path = Among(h, {"footway", "path", "pedestrian", "steps", "cycleway", "bridleway",
                          "crossing", "track"});
    if (!road && !path) return r;
    std::string access = tag("access"), foot = tag("foot");
    bool closedAccess = Among(access, {"no", "private"});
    r.foot = (Among(foot, {"yes", "designated", "permissive"}) ||
              (!closedAccess && !Among(foot, {"no", "private", "use_sidepath"}))) &&
             !Among(h, {"motorway", "motorway_link"}) &&
             !(Among(h, {"motorway", "motorway_link"}) && foot.empty());
    // The country's defaults, unless a sidewalk is tagged (one mapped beside it is not looked for
    // here, so such a road counts as closed).
    bool sidewalk = false;
    for (const char* key : {"sidewalk", "sidewalk:both", "sidewalk:left", "sidewalk:right"})
        sidewalk = sidewalk || !Among(tag(key), {"", "no", "none"});
    if (trunkClosed && Among(h, {"trunk", "trunk_link"}) && foot.empty() && !sidewalk)
        r.foot = false;
    std::string motor = tag("motorcar");
    if (motor.empty()) motor = tag("motor_vehicle");
    if (motor.empty()) motor = tag("vehicle");
    bool open = Among(motor, {"yes", "designated", "permissive", "destination"});
    r.car = (road || (h == "track" && open)) && !Among(motor, {"no", "private"}) &&
            (!closedAccess || open);
    std::string oneway = tag("oneway"), junction = tag("junction");
    if (Among(oneway, {"yes", "1", "true"}) ||
        (oneway.empty() && (junction == "roundabout" || h == "motorway")))
        r.oneway = 1;
    if (Among(oneway, {"-1", "reverse"})) r.oneway = -1;
    return r;
}

using Key = std::uint64_t;
Key KeyOf(const osmium::Location& l) {
    return (static_cast<Key>(static_cast<std::uint32_t>(l.y())) << 32) |
           static_cast<std::uint32_t>(l.x());
}
Key KeyOf(const geo::Point& p) {
    return (static_cast<Key>(static_cast<std::uint32_t>(std::lround(p.lat * 1e7))) << 32) |
           static_cast<std::uint32_t>(std::lround(p.lon * 1e7));
}

// The extract as a plain graph of its nodes, and the rules of every segment in the order the
// way draws it.
struct Network {
    std::unordered_map<Key, int> nodeOf;
    std::vector<geo::Point> points;
    struct Arc {
        int to;
        double length;
    };
    std::vector<std::vector<Arc>> foot, car;
    std::map<std::pair<Key, Key>, std::vector<Rules>> segments;
    // Turn restrictions whose two ways end at their node: the next node along the `from` way and
    // along the `to` way, by the via node.
    struct Restriction {
        Key from = 0, to = 0;
        bool only = false;
    };
    std::multimap<Key, Restriction> restrictions;

    int Node(const osmium::Location& l) {
        auto [it, added] = nodeOf.emplace(KeyOf(l), static_cast<int>(points.size()));
        if (added) {
            points.push_back({l.lat(), l.lon()});
            foot.emplace_back();
            car.emplace_back();
        }
        return it->second;
    }
};

class NetworkReader : public osmium::handler::Handler {
public:
    NetworkReader(Network* net, bool trunkClosed) : m_net(net), m_trunkClosed(trunkClosed) {}
    void relation(const osmium::Relation& r) {
        std::string kind = r.tags().get_value_by_key("restriction", "");
        if (std::string(r.tags().get_value_by_key("type", "")) != "restriction" ||
            !std::string(r.tags().get_value_by_key("except", "")).empty() ||
            (kind.rfind("no_", 0) != 0 && kind.rfind("only_", 0) != 0))
            return;
        Wanted w;
        w.only = kind.rfind("only_", 0) == 0;
        int count = 0;
        for (const osmium::RelationMember& m : r.members()) {
            std::string role = m.role();
            ++count;
            if (role == "from" && m.type() == osmium::item_type::way) w.from = m.ref();
            if (role == "to" && m.type() == osmium::item_type::way) w.to = m.ref();
            if (role == "via" && m.type() == osmium::item_type::node) w.via = m.ref();
        }
        if (count == 3 && w.from && w.to && w.via) m_wanted.push_back(w);
    }
    // The ways of the wanted restrictions, read in the same pass as the ways.
    void Index() {
        for (const Wanted& w : m_wanted)
            m_wayUse[w.from], m_wayUse[w.to];
    }
    void Finish() {
        for (const Wanted& w : m_wanted) {
            auto from = m_wayUse.find(w.from), to = m_wayUse.find(w.to);
            if (from == m_wayUse.end() || to == m_wayUse.end()) continue;
            Key fromNext = 0, toNext = 0, via = 0;
            if (!EndNeighbour(from->second, w.via, &via, &fromNext) ||
                !EndNeighbour(to->second, w.via, &via, &toNext))
                continue;
            m_net->restrictions.insert({via, {fromNext, toNext, w.only}});
        }
    }
    void way(const osmium::Way& w) {
        auto use = m_wayUse.find(w.id());
        if (use != m_wayUse.end())
            for (const osmium::NodeRef& ref : w.nodes())
                use->second.push_back(
                    {ref.ref(), ref.location().valid() ? KeyOf(ref.location()) : 0});
        Rules r = RulesOf(w.tags(), m_trunkClosed);
        if (!r.foot && !r.car) return;
        const osmium::NodeRef* previous = nullptr;
        for (const osmium::NodeRef& ref : w.nodes()) {
            if (!ref.location().valid()) return;
            if (previous != nullptr && KeyOf(previous->location()) != KeyOf(ref.location())) {
                int a = m_net->Node(previous->location()), b = m_net->Node(ref.location());
                double length = geo::Distance(m_net->points[static_cast<std::size_t>(a)],
                                              m_net->points[static_cast<std::size_t>(b)]);
                auto ua = static_cast<std::size_t>(a), ub = static_cast<std::size_t>(b);
                if (r.foot) {
                    m_net->foot[ua].push_back({b, length});
                    m_net->foot[ub].push_back({a, length});
                }
                if (r.car && r.oneway >= 0) m_net->car[ua].push_back({b, length});
                if (r.car && r.oneway <= 0) m_net->car[ub].push_back({a, length});
                m_net->segments[{KeyOf(previous->location()), KeyOf(ref.location())}].push_back(r);
            }
            previous = &ref;
        }
    }

private:
    struct Wanted {
        osmium::object_id_type from = 0, via = 0, to = 0;
        bool only = false;
    };
    using Nodes = std::vector<std::pair<osmium::object_id_type, Key>>;
    // The node next to `via` when the way starts or ends there.
    static bool EndNeighbour(const Nodes& nodes, osmium::object_id_type via, Key* at, Key* next) {
        if (nodes.size() < 2) return false;
        if (nodes.front().first == via) {
            *at = nodes.front().second, *next = nodes[1].second;
            return *at != 0 && *next != 0;
        }
        if (nodes.back().first == via) {
            *at = nodes.back().second, *next = nodes[nodes.size() - 2].second;
            return *at != 0 && *next != 0;
        }
        return false;
    }
    Network* m_net;
    bool m_trunkClosed;
    std::vector<Wanted> m_wanted;
    std::unordered_map<osmium::object_id_type, Nodes> m_wayUse;
};

// Metres of the shortest path, infinity when none.
double Dijkstra(const std::vector<std::vector<Network::Arc>>& arcs, int from, int to) {
    std::vector<double> dist(arcs.size(), std::numeric_limits<double>::infinity());
    using Entry = std::pair<double, int>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue;
    dist[static_cast<std::size_t>(from)] = 0;
    queue.push({0, from});
    while (!queue.empty()) {
        auto [d, u] = queue.top();
        queue.pop();
        if (u == to) return d;
        if (d > dist[static_cast<std::size_t>(u)]) continue;
        for (const Network::Arc& a : arcs[static_cast<std::size_t>(u)]) {
            double nd = d + a.length;
            if (nd < dist[static_cast<std::size_t>(a.to)]) {
                dist[static_cast<std::size_t>(a.to)] = nd;
                queue.push({nd, a.to});
            }
        }
    }
    return std::numeric_limits<double>::infinity();
}

class RealRoutes : public ::testing::TestWithParam<Extract> {
protected:
    void SetUp() override {
        std::string rmf = std::string(GPSLIB_OSM_MAP_DIR) + "/" + GetParam().map + ".rmf";
        std::string pbf = std::string(GPSLIB_OSM_DATA_DIR) + "/" + GetParam().file;
        if (!std::filesystem::exists(rmf) || !std::filesystem::exists(pbf))
            GTEST_SKIP() << "no extract " << pbf;
        std::string error;
        ASSERT_TRUE(map.Open(rmf, &error)) << error;
        NetworkReader reader{&net, TrunkClosedToWalkers(GetParam().map)};
        {
            osmium::io::Reader relations{pbf, osmium::osm_entity_bits::relation};
            osmium::apply(relations, reader);
            relations.close();
        }
        reader.Index();
        gpslib::testing::ReadNodesAndWays(pbf, reader);
        reader.Finish();
    }
    // No forbidden turn from the edge `in` into the edge `out` where they meet.
    void ExpectAllowedTurn(const std::vector<geo::Point>& in, const std::vector<geo::Point>& out) {
        if (in.size() < 2 || out.size() < 2) return;
        Key via = KeyOf(in.back()), from = KeyOf(in[in.size() - 2]), to = KeyOf(out[1]);
        bool only = false, listed = false;
        auto [first, last] = net.restrictions.equal_range(via);
        for (auto it = first; it != last; ++it) {
            const Network::Restriction& r = it->second;
            if (r.from != from) continue;
            ++turnsChecked;
            if (r.only) only = true, listed = listed || r.to == to;
            if (!r.only) {
                EXPECT_NE(r.to, to)
                    << "a forbidden turn at " << in.back().lat << "," << in.back().lon;
            }
        }
        if (only) {
            EXPECT_TRUE(listed) << "not the only turn allowed at " << in.back().lat << ","
                                << in.back().lon;
        }
    }
    MapData map;
    Network net;
    int turnsChecked = 0;
};

TEST_P(RealRoutes, ConnectedAlongAllowedWaysAndAsShortAsAPlainDijkstra) {
    // Pairs of nodes that drivers may reach (so that both profiles can be asked), from a fixed
    // seed, at least 1 km apart.
    std::vector<int> drivable;
    for (std::size_t i = 0; i < net.car.size(); ++i)
        if (net.car[i].size() >= 2) drivable.push_back(static_cast<int>(i));
    ASSERT_FALSE(drivable.empty());
    std::mt19937 random(7);
    RouteScratch scratch;
    int compared[2] = {0, 0};
    for (int attempt = 0; attempt < 40 && (compared[0] < 6 || compared[1] < 6); ++attempt) {
        int a = drivable[random() % drivable.size()], b = drivable[random() % drivable.size()];
        geo::Point pa = net.points[static_cast<std::size_t>(a)],
                   pb = net.points[static_cast<std::size_t>(b)];
        if (geo::Distance(pa, pb) < 1000.0) continue;
        for (int walking = 0; walking < 2; ++walking) {
            const auto& arcs = walking ? net.foot : net.car;
            double truth = Dijkstra(arcs, a, b);
            if (!std::isfinite(truth) || compared[walking] >= 6) continue;
            RouteRequest request;
            request.start = pa;
            request.end = pb;
            request.walking = walking != 0;
            request.preferences.vehicleMode = 1; // shortest
            Route route;
            SCOPED_TRACE(std::string(walking ? "walking " : "driving ") + std::to_string(pa.lat) +
                         "," + std::to_string(pa.lon) + " to " + std::to_string(pb.lat) + "," +
                         std::to_string(pb.lon));
            ASSERT_TRUE(FindRoute(map, request, RouteNaming{}, &scratch, &route));
            ++compared[walking];
            // Connected: each step starts where the one before ended.
            double steps = 0.0;
            geo::Point last = route.steps.front().forward
                                  ? map.Edge(route.steps[0].edge).points.front()
                                  : map.Edge(route.steps[0].edge).points.back();
            std::vector<geo::Point> previous;
            for (std::size_t i = 0; i < route.steps.size(); ++i) {
                const RouteStep& s = route.steps[i];
                const Edge& e = map.Edge(s.edge);
                steps += std::fabs(s.to - s.from);
                std::vector<geo::Point> pts(e.points.begin(), e.points.end());
                if (!s.forward) std::reverse(pts.begin(), pts.end());
                if (i > 0) {
                    EXPECT_LT(geo::Distance(last, pts.front()), 0.5) << "step " << i;
                    if (!walking) ExpectAllowedTurn(previous, pts);
                }
                previous = pts;
                last = pts.back();
                // Along allowed ways, in an allowed direction: every segment of the edge.
                for (std::size_t k = 0; k + 1 < pts.size(); ++k) {
                    Key from = KeyOf(pts[k]), to = KeyOf(pts[k + 1]);
                    bool allowed = false, known = false;
                    for (int reverse = 0; reverse < 2; ++reverse) {
                        auto it = net.segments.find(reverse ? std::make_pair(to, from)
                                                            : std::make_pair(from, to));
                        if (it == net.segments.end()) continue;
                        for (const Rules& r : it->second) {
                            known = true;
                            int against = reverse ? 1 : -1; // the oneway that forbids this sense
                            allowed = allowed || (walking ? r.foot : r.car && r.oneway != against);
                        }
                    }
                    if (known) {
                        EXPECT_TRUE(allowed) << "step " << i << " segment " << k << " at "
                                             << pts[k].lat << "," << pts[k].lon;
                    }
                }
            }
            // Start and end lie on nodes: the route's length is the steps'.
            EXPECT_NEAR(route.length, steps, 1.0);
            EXPECT_GE(route.length, truth - 1.0);
            // A walk gives up some length for sidewalks and signalled crossings
            // (docs/routing.md): on these extracts at most about an eighth.
            EXPECT_LE(route.length, truth * (walking ? 1.2 : 1.05)) << "shortest " << truth;
        }
    }
    EXPECT_GE(compared[0], 3);
    EXPECT_GE(compared[1], 3);
    // The compiler kept the extract's restrictions.
    EXPECT_EQ(map.RestrictionCount() == 0, net.restrictions.empty());
}

geo::Point PointOf(Key k) {
    return {static_cast<std::int32_t>(k >> 32) / 1e7,
            static_cast<std::int32_t>(k & 0xFFFFFFFFu) / 1e7};
}

geo::Point Middle(geo::Point a, geo::Point b) {
    return {(a.lat + b.lat) / 2, (a.lon + b.lon) / 2};
}

TEST_P(RealRoutes, DriversNeverTakeARestrictedTurn) {
    // From the middle of the last piece of each restriction's `from` way to the middle of the
    // first piece of its `to` way: the way through the restriction's node is the obvious one.
    RouteScratch scratch;
    int routes = 0;
    for (const auto& [via, r] : net.restrictions) {
        if (routes >= 40) break;
        RouteRequest request;
        request.start = Middle(PointOf(r.from), PointOf(via));
        request.end = Middle(PointOf(via), PointOf(r.to));
        request.walking = false;
        Route route;
        if (!FindRoute(map, request, RouteNaming{}, &scratch, &route)) continue;
        ++routes;
        std::vector<geo::Point> previous;
        for (const RouteStep& step : route.steps) {
            std::span<const geo::Point> line = map.Edge(step.edge).points;
            std::vector<geo::Point> pts(line.begin(), line.end());
            if (!step.forward) std::reverse(pts.begin(), pts.end());
            ExpectAllowedTurn(previous, pts);
            previous = pts;
        }
    }
    if (!net.restrictions.empty()) {
        EXPECT_GT(routes, 0);
        EXPECT_GT(turnsChecked, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Extracts, RealRoutes, ::testing::ValuesIn(kExtracts), ExtractName);

} // namespace
} // namespace gpsmap::test
