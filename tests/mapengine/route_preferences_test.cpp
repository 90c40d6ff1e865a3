// Each route preference changes the route as it says, on a small map drawn here for the
// purpose: side by side, one corridor per preference, each with a direct way that the
// preference is about and a way round. Compiled once for the suite. Positions are x and y in
// 1/1000 degree east and north of 46 N 11 E.
#include <gtest/gtest.h>

#include <memory>

#include "drawn_map.h"
#include "map_fixture.h"
#include "route_fixture.h"

namespace gpsmap::test {
namespace {

constexpr geo::Point kPrefville{46.0, 11.0};

double Lat(double y) {
    return kPrefville.lat + y / 1000.0;
}
double Lon(double x) {
    return kPrefville.lon + x / 1000.0;
}

// A way on the 1/1000-degree grid.
DrawnWay Way(std::vector<std::pair<double, double>> grid, const char* tags) {
    for (auto& p : grid)
        p = Grid(p.first, p.second, kPrefville);
    return {tags, std::move(grid)};
}

#define ROAD(highway, rest) "<tag k='highway' v='" highway "'/>" rest
#define NAME(name) "<tag k='name' v='" name "'/>"
#define SPEED(kmh) "<tag k='maxspeed' v='" kmh "'/>"

// The corridors (docs/routing.md has the costs that decide each one):
//   y = 0   freeway: a motorway straight on (100 km/h) or round by y = 2 (50 km/h)
//   y = 10  preferred freeway: a slow motorway (30 km/h) or round by y = 12 (50 km/h)
//   y = 20  toll: a toll road straight on or round by y = 22
//   y = 30  roundabout: through a small roundabout at x = 5 or round by y = 30.5
//   y = 40  turn side: a square with a right turn one way and a left turn the other
//   y = 60  fewest turns: a staircase with two turns or a longer bend with none
//   y = 80  fastest or shortest: a slow street straight on or a fast road round by y = 82
//   y = 90  mixed pedestrian: a street that ends, then a footway to the destination
//   x = 30  an island: a footway reached by nothing
std::vector<DrawnWay> Prefville() {
    return {
        Way({{0, 0}, {10, 0}}, ROAD("motorway", NAME("Fast Motorway") SPEED("100"))),
        Way({{0, 0}, {0, 2}, {10, 2}, {10, 0}},
            ROAD("residential", NAME("Round Road") SPEED("50"))),
        Way({{0, 10}, {10, 10}}, ROAD("motorway", NAME("Slow Motorway") SPEED("30"))),
        Way({{0, 10}, {0, 12}, {10, 12}, {10, 10}},
            ROAD("residential", NAME("Long Road") SPEED("50"))),
        Way({{0, 20}, {10, 20}},
            ROAD("residential", NAME("Toll Road") SPEED("50") "<tag k='toll' v='yes'/>")),
        Way({{0, 20}, {0, 22}, {10, 22}, {10, 20}},
            ROAD("residential", NAME("Free Road") SPEED("50"))),
        Way({{0, 30}, {4.7, 30}}, ROAD("residential", NAME("West Road"))),
        Way({{4.7, 30}, {5, 29.8}, {5.3, 30}, {5, 30.2}, {4.7, 30}},
            ROAD("residential", "<tag k='junction' v='roundabout'/>")),
        Way({{5.3, 30}, {10, 30}}, ROAD("residential", NAME("East Road"))),
        Way({{0, 30}, {0, 30.5}, {10, 30.5}, {10, 30}}, ROAD("residential", NAME("Ring Bypass"))),
        Way({{0, 40}, {0, 42}, {0, 43}}, ROAD("residential", NAME("West Side"))),
        Way({{0, 42}, {2.87, 42}}, ROAD("residential", NAME("North Side"))),
        Way({{0, 40}, {2.87, 40}, {3.87, 40}}, ROAD("residential", NAME("South Side"))),
        Way({{2.87, 40}, {2.87, 42}}, ROAD("residential", NAME("East Side"))),
        Way({{0, 60}, {0, 61.5}, {0, 62}}, ROAD("residential", NAME("Step One"))),
        Way({{0, 61.5}, {3, 61.5}, {3.2, 61.5}}, ROAD("residential", NAME("Step Two"))),
        Way({{3, 61.5}, {3, 63}}, ROAD("residential", NAME("Step Three"))),
        Way({{0, 60}, {3.4, 60}, {3.4, 63}, {3, 63}}, ROAD("residential", NAME("Bend"))),
        Way({{0, 80}, {10, 80}}, ROAD("residential", NAME("Slow Street") SPEED("20"))),
        Way({{0, 80}, {0, 82}, {10, 82}, {10, 80}}, ROAD("primary", NAME("Fast Road") SPEED("90"))),
        Way({{0, 90}, {5, 90}}, ROAD("residential", SPEED("50"))),
        Way({{5, 90}, {8, 90}}, ROAD("footway", NAME("Garden Walk"))),
        Way({{30, 45}, {30, 46}}, ROAD("footway", NAME("Island Path"))),
    };
}

class PreferenceCorridors : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_drawn = std::make_unique<DrawnMap>(Prefville(), kPrefville);
        ASSERT_TRUE(s_drawn->compiled);
    }
    static void TearDownTestSuite() { s_drawn.reset(); }
    void SetUp() override {
        std::string answer;
        map = NewEngine(s_drawn->dir.path(), &answer);
        ASSERT_EQ(answer, "OK");
    }
    // The streets the route takes, in order, as the points name them; "!" marks a point not
    // placed by the routing.
    std::string Streets(double x0, double y0, double x1, double y1, const Preferences& p) {
        std::vector<Point> route = FindRoute(map.Get(), Lat(y0), Lon(x0), Lat(y1), Lon(x1), p);
        std::string out;
        for (std::size_t i = 0; i + 1 < route.size(); ++i) {
            if (!out.empty()) out += ", ";
            out += (route[i].feature < 0 ? "!" : "") + route[i].street;
        }
        if (!route.empty() && route.back().feature < 0) out += ", !end";
        return out.empty() ? "no route" : out;
    }
    static inline std::unique_ptr<DrawnMap> s_drawn;
    gpslib::ComPtr<IGPSMap> map;
};

TEST_F(PreferenceCorridors, EachChangesTheRouteAsItSays) {
    Preferences car;
    car.walking = false;
    auto with = [](Preferences p, auto change) {
        change(p);
        return p;
    };
    Preferences walker;
    struct Case {
        const char* what;
        double x0, y0, x1, y1;
        Preferences p;
        const char* expected;
    };
    const Case cases[] = {
        {"freeway normal: the motorway", 0, 0, 10, 0, car, "Fast Motorway"},
        {"freeway none: round", 0, 0, 10, 0, with(car, [](auto& p) { p.freeway = 1; }),
         "Round Road"},
        {"freeway avoided: five times as costly, round", 0, 0, 10, 0,
         with(car, [](auto& p) { p.freeway = 3; }), "Round Road"},
        {"a slow motorway is not taken", 0, 10, 10, 10, car, "Long Road"},
        {"a preferred one costs half: taken", 0, 10, 10, 10,
         with(car, [](auto& p) { p.freeway = 2; }), "Slow Motorway"},
        {"walkers never take a motorway", 0, 0, 10, 0, with(walker, [](auto& p) { p.freeway = 2; }),
         "Round Road"},
        {"toll normal", 0, 20, 10, 20, car, "Toll Road"},
        {"toll none", 0, 20, 10, 20, with(car, [](auto& p) { p.toll = 1; }), "Free Road"},
        {"toll avoided", 0, 20, 10, 20, with(car, [](auto& p) { p.toll = 2; }), "Free Road"},
        {"walkers ignore the toll preference", 0, 20, 10, 20,
         with(walker, [](auto& p) { p.toll = 1; }), "Toll Road"},
        {"roundabout normal: through it", 0, 30, 10, 30, car, "West Road, East Road"},
        {"roundabout none", 0, 30, 10, 30, with(car, [](auto& p) { p.roundabout = 1; }),
         "Ring Bypass"},
        {"roundabout avoided", 0, 30, 10, 30, with(car, [](auto& p) { p.roundabout = 2; }),
         "Ring Bypass"},
        {"walkers ignore the roundabout preference", 0, 30, 10, 30,
         with(walker, [](auto& p) { p.roundabout = 1; }), "West Road, East Road"},
        {"favours right: the right turn", 0, 40, 2.87, 42, car, "West Side, North Side"},
        {"favours left: the left turn", 0, 40, 2.87, 42,
         with(car, [](auto& p) { p.turnVehicle = 3; }), "South Side, East Side"},
        {"walkers, automatic: the shorter staircase", 0, 60, 3, 63, walker,
         "Step One, Step Two, Step Three"},
        {"walkers, fewest turns: the bend", 0, 60, 3, 63,
         with(walker, [](auto& p) { p.turnPedestrian = 1; }), "Bend"},
        {"shortest drive: the staircase", 0, 60, 3, 63,
         with(car, [](auto& p) { p.vehicleMode = 1; }), "Step One, Step Two, Step Three"},
        {"shortest drive, fewest turns: the bend", 0, 60, 3, 63,
         with(car, [](auto& p) { p.vehicleMode = 1, p.turnVehicle = 1; }), "Bend"},
        {"fastest: the fast road round", 0, 80, 10, 80, car, "Fast Road"},
        {"shortest: the slow street", 0, 80, 10, 80, with(car, [](auto& p) { p.vehicleMode = 1; }),
         "Slow Street"},
        {"driving stops where the street ends; the rest is no route's", 0, 90, 8, 90, car,
         "Unnamed road, Unnamed road, !end"},
        {"mixed pedestrian: the footway to the door", 0, 90, 8, 90,
         with(car, [](auto& p) { p.vehicleMode = 2; }), "Unnamed road, Garden Walk"},
        {"a walker on a motorway starts from the nearest street a walker may use", 5, 0, 10, 0,
         walker, "!Round Road, Round Road"},
        {"an island: no route", 0, 90, 30, 45.5, walker, "no route"},
        {"far from every street: no route", 20, 45, 0, 0, walker, "no route"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Streets(c.x0, c.y0, c.x1, c.y1, c.p), c.expected) << c.what;
}

} // namespace
} // namespace gpsmap::test
