// Each route preference changes the route as it says, on a small map drawn here for the
// purpose: side by side, one corridor per preference, each with a direct way that the
// preference is about and a way round. Compiled by gpsmap-build once for the suite. Positions
// are x and y in 1/1000 degree east and north of 46 N 11 E.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "map_fixture.h"
#include "route_fixture.h"
#include "temp_dir.h"

namespace gpsmap::test {
namespace {

double Lat(double y) {
    return 46.0 + y / 1000.0;
}
double Lon(double x) {
    return 11.0 + x / 1000.0;
}

// An OSM file drawn way by way; nodes at the same place are one node.
class Drawing {
public:
    void Way(std::vector<std::pair<double, double>> points,
             std::vector<std::pair<const char*, const char*>> tags) {
        std::ostringstream w;
        w << "  <way id=\"" << m_nextWay++ << "\" version=\"1\">\n";
        for (auto [x, y] : points)
            w << "    <nd ref=\"" << Node(x, y) << "\"/>\n";
        for (auto [k, v] : tags)
            w << "    <tag k=\"" << k << "\" v=\"" << v << "\"/>\n";
        w << "  </way>\n";
        m_ways += w.str();
    }
    std::string Text() const {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<osm version=\"0.6\">\n" + m_nodes +
               m_ways + "</osm>\n";
    }

private:
    long Node(double x, double y) {
        for (const auto& [at, id] : m_ids)
            if (at.first == x && at.second == y) return id;
        long id = 1000 + static_cast<long>(m_ids.size());
        m_ids.push_back({{x, y}, id});
        char line[160];
        std::snprintf(line, sizeof line,
                      "  <node id=\"%ld\" version=\"1\" lat=\"%.7f\" lon=\"%.7f\"/>\n", id, Lat(y),
                      Lon(x));
        m_nodes += line;
        return id;
    }
    std::vector<std::pair<std::pair<double, double>, long>> m_ids;
    std::string m_nodes, m_ways;
    long m_nextWay = 1;
};

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
std::string DrawPrefville() {
    Drawing d;
    using T = std::vector<std::pair<const char*, const char*>>;
    const T residential50 = {{"highway", "residential"}, {"maxspeed", "50"}};
    d.Way({{0, 0}, {10, 0}},
          {{"highway", "motorway"}, {"name", "Fast Motorway"}, {"maxspeed", "100"}});
    d.Way({{0, 0}, {0, 2}, {10, 2}, {10, 0}},
          {{"highway", "residential"}, {"name", "Round Road"}, {"maxspeed", "50"}});
    d.Way({{0, 10}, {10, 10}},
          {{"highway", "motorway"}, {"name", "Slow Motorway"}, {"maxspeed", "30"}});
    d.Way({{0, 10}, {0, 12}, {10, 12}, {10, 10}},
          {{"highway", "residential"}, {"name", "Long Road"}, {"maxspeed", "50"}});
    d.Way({{0, 20}, {10, 20}},
          {{"highway", "residential"}, {"name", "Toll Road"}, {"maxspeed", "50"}, {"toll", "yes"}});
    d.Way({{0, 20}, {0, 22}, {10, 22}, {10, 20}},
          {{"highway", "residential"}, {"name", "Free Road"}, {"maxspeed", "50"}});
    d.Way({{0, 30}, {4.7, 30}}, {{"highway", "residential"}, {"name", "West Road"}});
    d.Way({{4.7, 30}, {5, 29.8}, {5.3, 30}, {5, 30.2}, {4.7, 30}},
          {{"highway", "residential"}, {"junction", "roundabout"}});
    d.Way({{5.3, 30}, {10, 30}}, {{"highway", "residential"}, {"name", "East Road"}});
    d.Way({{0, 30}, {0, 30.5}, {10, 30.5}, {10, 30}},
          {{"highway", "residential"}, {"name", "Ring Bypass"}});
    d.Way({{0, 40}, {0, 42}, {0, 43}}, {{"highway", "residential"}, {"name", "West Side"}});
    d.Way({{0, 42}, {2.87, 42}}, {{"highway", "residential"}, {"name", "North Side"}});
    d.Way({{0, 40}, {2.87, 40}, {3.87, 40}}, {{"highway", "residential"}, {"name", "South Side"}});
    d.Way({{2.87, 40}, {2.87, 42}}, {{"highway", "residential"}, {"name", "East Side"}});
    d.Way({{0, 60}, {0, 61.5}, {0, 62}}, {{"highway", "residential"}, {"name", "Step One"}});
    d.Way({{0, 61.5}, {3, 61.5}, {3.2, 61.5}}, {{"highway", "residential"}, {"name", "Step Two"}});
    d.Way({{3, 61.5}, {3, 63}}, {{"highway", "residential"}, {"name", "Step Three"}});
    d.Way({{0, 60}, {3.4, 60}, {3.4, 63}, {3, 63}}, {{"highway", "residential"}, {"name", "Bend"}});
    d.Way({{0, 80}, {10, 80}},
          {{"highway", "residential"}, {"name", "Slow Street"}, {"maxspeed", "20"}});
    d.Way({{0, 80}, {0, 82}, {10, 82}, {10, 80}},
          {{"highway", "primary"}, {"name", "Fast Road"}, {"maxspeed", "90"}});
    d.Way({{0, 90}, {5, 90}}, residential50);
    d.Way({{5, 90}, {8, 90}}, {{"highway", "footway"}, {"name", "Garden Walk"}});
    d.Way({{30, 45}, {30, 46}}, {{"highway", "footway"}, {"name", "Island Path"}});
    return d.Text();
}

class PreferenceCorridors : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<gpslib::test::TempDir>();
        std::string osm = s_dir->File("prefville.osm");
        std::ofstream(osm) << DrawPrefville();
        std::filesystem::create_directories(s_dir->File("maps"));
        std::string command = std::string(GPSMAP_BUILD_TOOL) + " --quiet --name Prefville -o " +
                              s_dir->File("maps") + " " + osm;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    static void TearDownTestSuite() { s_dir.reset(); }
    void SetUp() override {
        std::string answer;
        map = NewEngine(s_dir->File("maps"), &answer);
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
    static inline std::unique_ptr<gpslib::test::TempDir> s_dir;
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
