// Walking routes a blind walker can walk: the country's defaults close its expressways, a road
// without a sidewalk loses to a footway, and a major road is crossed at signals when signals are
// near. Drawn maps for each rule, and the Paris extract's signalled crossings.
#include <gtest/gtest.h>

#include <set>

#include "MapData.h"
#include "Router.h"
#include "drawn_map.h"

namespace gpsmap::test {
namespace {

namespace format = gpslib::formats;

// The names of the ways a walking route from `from` to `to` takes, each once in order.
std::vector<std::string> Walked(const MapData& map, geo::Point from, geo::Point to, Route* route) {
    RouteRequest request;
    request.start = from, request.end = to;
    RouteScratch scratch;
    std::vector<std::string> names;
    if (!FindRoute(map, request, RouteNaming{}, &scratch, route)) return names;
    for (const RouteStep& step : route->steps) {
        const std::string name(map.Way(map.Edge(step.edge).way).name);
        if (names.empty() || names.back() != name) names.push_back(name);
    }
    return names;
}

// The point `metres` from p towards `bearing`.
geo::Point Moved(geo::Point p, double bearing, double metres) {
    const double r = geo::Radians(bearing);
    return {p.lat + metres * std::cos(r) / geo::kMetresPerDegree,
            p.lon + metres * std::sin(r) / (geo::kMetresPerDegree * std::cos(geo::Radians(p.lat)))};
}

// A country boundary around everything drawn.
std::string Country(const char* code) {
    return std::string("<tag k='boundary' v='administrative'/><tag k='admin_level' v='2'/>"
                       "<tag k='name' v='Land'/><tag k='ISO3166-1' v='") +
           code + "'/>";
}

// Main runs 400 m east between two stubs; the footway Detour leaves and rejoins it at its ends,
// `extra` of its length longer.
TEST(WalkingCosts, CountryDefaultsAndSidewalksChooseBetweenARoadAndAFootway) {
    struct Case {
        const char* country;
        const char* main; // Main's tags
        double extra;
        const char* via;
    } const cases[] = {
        {"DE", "<tag k='highway' v='trunk'/>", 0.75, "Detour"}, // closed by Germany's defaults
        {"US", "<tag k='highway' v='trunk'/>", 0.75, "Main"},   // an ordinary main road
        {"DE", "<tag k='highway' v='trunk'/><tag k='foot' v='yes'/>", 0.75, "Main"},
        {"DE", "<tag k='highway' v='trunk'/><tag k='sidewalk' v='both'/>", 0.75, "Main"},
        {"US", "<tag k='highway' v='primary'/>", 0.2, "Detour"}, // no sidewalk known
        {"US", "<tag k='highway' v='primary'/><tag k='sidewalk:left' v='yes'/>", 0.2, "Main"},
        {"US", "<tag k='highway' v='primary'/>", 0.75, "Main"},
        {"US", "<tag k='highway' v='primary'/><tag k='sidewalk' v='no'/>", 0.75, "Detour"},
        {"US", "<tag k='highway' v='residential'/>", 0.2, "Main"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.country) + " " + c.main);
        const std::string main = std::string(c.main) + "<tag k='name' v='Main'/>";
        const std::string country = Country(c.country);
        const double y = 400 * c.extra / 2;
        const DrawnMap drawn(
            {{"<tag k='highway' v='residential'/><tag k='name' v='West'/>", {{-20, 0}, {0, 0}}},
             {main.c_str(), {{0, 0}, {200, 0}, {400, 0}}},
             {"<tag k='highway' v='residential'/><tag k='name' v='East'/>", {{400, 0}, {420, 0}}},
             {"<tag k='highway' v='footway'/><tag k='name' v='Detour'/>",
              {{0, 0}, {0, y}, {400, y}, {400, 0}}},
             {country.c_str(),
              {{-900, -900}, {900, -900}, {900, 900}, {-900, 900}, {-900, -900}}}});
        ASSERT_TRUE(drawn.compiled);
        MapData map;
        std::string error;
        ASSERT_TRUE(map.Open(drawn.dir.File("Drawn.rmf"), &error)) << error;
        Route route;
        EXPECT_EQ(Walked(map, At(-20, 0), At(420, 0), &route),
                  (std::vector<std::string>{"West", c.via, "East"}));
    }
}

// Boulevard (primary, its sidewalks mapped beside it at y = ±8) is crossed by a crossing way at
// x = 0 and one at `signals`; the walk goes from the north sidewalk at x = -20 to the south one.
TEST(WalkingCosts, AMajorRoadIsCrossedAtSignalsWhenTheyAreNear) {
    struct Case {
        const char* plain; // the crossing at x = 0
        double signals;
        double via;
    } const cases[] = {
        {"uncontrolled", 80, 80},  // 160 m more to walk to the signals
        {"uncontrolled", 150, 0},  // 300 m more: too far
        {"unmarked", 120, 120},    // an unmarked crossing is worth a longer way round
        {"traffic_signals", 80, 0} // signals at both: the nearer
    };
    const char* sidewalk = "<tag k='highway' v='footway'/><tag k='footway' v='sidewalk'/>";
    const char* crossing = "<tag k='highway' v='footway'/><tag k='footway' v='crossing'/>";
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.plain) + " " + std::to_string(c.signals));
        const std::string plain =
            std::string("<tag k='highway' v='crossing'/><tag k='crossing' v='") + c.plain + "'/>";
        const DrawnMap drawn(
            {{"<tag k='highway' v='primary'/><tag k='name' v='Boulevard'/>"
              "<tag k='sidewalk' v='separate'/>",
              {{-200, 0}, {0, 0}, {c.signals, 0}, {200, 0}}},
             {sidewalk, {{-200, 8}, {0, 8}, {c.signals, 8}, {200, 8}}},
             {sidewalk, {{-200, -8}, {0, -8}, {c.signals, -8}, {200, -8}}},
             {crossing, {{0, 8}, {0, 0}, {0, -8}}},
             {crossing, {{c.signals, 8}, {c.signals, 0}, {c.signals, -8}}}},
            kOrigin,
            {{{0, 0}, plain.c_str()},
             {{c.signals, 0},
              "<tag k='highway' v='crossing'/><tag k='crossing' v='traffic_signals'/>"}});
        ASSERT_TRUE(drawn.compiled);
        MapData map;
        std::string error;
        ASSERT_TRUE(map.Open(drawn.dir.File("Drawn.rmf"), &error)) << error;
        Route route;
        Walked(map, At(-20, 10), At(-20, -10), &route);
        ASSERT_FALSE(route.steps.empty());
        std::set<long> crossedAt; // x of the road's nodes the walk passes
        for (const RouteStep& step : route.steps)
            for (const geo::Point& p : map.Edge(step.edge).points)
                if (std::fabs(p.lat - kOrigin.lat) < 1e-7)
                    crossedAt.insert(
                        std::lround(geo::Distance(kOrigin, p) * (p.lon < kOrigin.lon ? -1 : 1)));
        EXPECT_EQ(crossedAt, (std::set<long>{std::lround(c.via)}));
    }
}

// Between two points on the two sides of a straight major road in Paris, 40 m along it from a
// signalled crossing, the walk crosses that road at signals: at that crossing or another, never
// at one without (or under it).
TEST(WalkingCosts, ParisWalksCrossMajorRoadsAtSignals) {
    const CompiledExtract* paris = Paris();
    if (paris == nullptr) GTEST_SKIP() << "no Paris extract";
    ASSERT_TRUE(paris->loaded);
    const MapData& map = paris->map;
    auto major = [&](const format::CrossingRecord& c) {
        const std::string cls(map.Way(c.road).cls);
        return cls.rfind("primary", 0) == 0 || cls.rfind("secondary", 0) == 0 ||
               cls.rfind("trunk", 0) == 0;
    };
    int walks = 0, atSignals = 0;
    for (const format::CrossingRecord& s : map.Crossings()) {
        if (walks >= 12 || s.control != format::kControlSignals || s.node <= 0 || !major(s))
            continue;
        double road = -1; // the road's direction leaving the crossing
        for (int e : map.Node(s.node - 1).edges) {
            const Edge edge = map.Edge(e);
            if (edge.way == s.road)
                road = edge.from == s.node - 1 ? edge.leaving[0] : edge.leaving[1];
        }
        if (road < 0) continue;
        const geo::Point ahead = Moved({s.lat, s.lon}, road, 40);
        const std::string street(map.Way(s.road).name);
        // A straight road: 40 m on, the road is still there.
        std::vector<int> near;
        map.EdgesNear(ahead, 3, &near);
        bool straight = false;
        for (int e : near)
            for (std::size_t k = 0; k + 1 < map.Edge(e).points.size(); ++k)
                straight = straight ||
                           (map.Way(map.Edge(e).way).name == street &&
                            geo::Project(ahead, map.Edge(e).points[k], map.Edge(e).points[k + 1])
                                    .distance < 3);
        if (!straight) continue;
        Route route;
        SCOPED_TRACE(std::to_string(s.lat) + "," + std::to_string(s.lon));
        Walked(map, Moved(ahead, road + 90, 12), Moved(ahead, road - 90, 12), &route);
        ASSERT_FALSE(route.steps.empty());
        // Only ends placed on the network whose straight line crosses the road within 60 m.
        std::vector<geo::Point> ends;
        for (const RoutePointData& p : route.points)
            if (p.featureIndex >= 0) ends.push_back(p.at);
        auto xy = [&](geo::Point p) {
            return std::pair{(p.lon - s.lon) * std::cos(geo::Radians(s.lat)), p.lat - s.lat};
        };
        auto crosses = [&](geo::Point a, geo::Point b) {
            const auto [x1, y1] = xy(ends.front());
            const auto [x2, y2] = xy(ends.back());
            const auto [x3, y3] = xy(a);
            const auto [x4, y4] = xy(b);
            auto side = [](double ax, double ay, double bx, double by, double px, double py) {
                return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
            };
            return side(x1, y1, x2, y2, x3, y3) * side(x1, y1, x2, y2, x4, y4) < 0 &&
                   side(x3, y3, x4, y4, x1, y1) * side(x3, y3, x4, y4, x2, y2) < 0;
        };
        std::vector<int> roads;
        map.EdgesNear({s.lat, s.lon}, 60, &roads);
        bool across = false;
        for (int e : roads) {
            const Edge edge = map.Edge(e);
            if (map.Way(edge.way).name != street) continue;
            for (std::size_t k = 0; k + 1 < edge.points.size(); ++k)
                across = across || crosses(edge.points[k], edge.points[k + 1]);
        }
        if (!across) continue;
        ++walks;
        int signalled = 0;
        for (const format::CrossingRecord& c : map.Crossings()) {
            if (map.Way(c.road).name != street) continue;
            bool passed = false;
            for (const RouteStep& step : route.steps)
                for (const geo::Point& p : map.Edge(step.edge).points)
                    passed = passed || geo::Distance(p, {c.lat, c.lon}) < 0.5;
            if (!passed) continue;
            EXPECT_EQ(c.control, format::kControlSignals) << "at " << c.lat << "," << c.lon;
            signalled += c.control == format::kControlSignals;
        }
        // A walk under the road (a metro passage's steps) crosses at no crossing at all.
        atSignals += signalled > 0;
    }
    EXPECT_GE(walks, 3);
    EXPECT_GE(atSignals, walks - 1);
}

} // namespace
} // namespace gpsmap::test
