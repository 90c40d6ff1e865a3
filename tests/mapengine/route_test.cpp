// Routes in the sample town (data/sample/README.md), point by point: the walking and driving
// profiles, the one-way streets and the turn restriction, the waypoint modes, the initial
// heading, the held route and bad requests. Positions are on the town's grid: x and y in 1/1000
// degree east and north of 45 N 10 E.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>

#include "map_fixture.h"
#include "route_fixture.h"

namespace gpsmap::test {
namespace {

double Lat(double y) {
    return 45.0 + y / 1000.0;
}
double Lon(double x) {
    return 10.0 + x / 1000.0;
}

class SampleRoutes : public ::testing::Test {
protected:
    void SetUp() override {
        std::string answer;
        map = NewEngine(GPSLIB_SAMPLE_MAP_DIR, &answer);
        ASSERT_EQ(answer, "OK");
    }
    std::vector<Point> Walk(double x0, double y0, double x1, double y1, Preferences p = {}) {
        p.walking = true;
        return FindRoute(map.Get(), Lat(y0), Lon(x0), Lat(y1), Lon(x1), p);
    }
    std::vector<Point> Drive(double x0, double y0, double x1, double y1, Preferences p = {}) {
        p.walking = false;
        return FindRoute(map.Get(), Lat(y0), Lon(x0), Lat(y1), Lon(x1), p);
    }
    gpslib::ComPtr<IGPSMap> map;
};

// Each point as "x,y T name | street | lanes | forward/reverse | km/h | metres | #feature | cross"
// on the town's grid ("T" for a turning point).
std::vector<std::string> Grid(const std::vector<Point>& points) {
    std::vector<std::string> out;
    for (const Point& p : points) {
        char line[400];
        std::snprintf(line, sizeof line, "%.2f,%.2f %s%s | %s | %d | %d/%d | %d | %.0f | #%d | %s",
                      (p.lon - 10.0) * 1000.0, (p.lat - 45.0) * 1000.0, p.turning ? "T " : "",
                      p.name.c_str(), p.street.c_str(), p.lanes, p.forward, p.reverse, p.speed,
                      p.distance, p.feature, p.cross.c_str());
        out.push_back(line);
    }
    return out;
}

TEST_F(SampleRoutes, WalkingAndDrivingBetweenCornersWithEveryField) {
    struct Case {
        const char* what;
        bool walking;
        double x0, y0, x1, y1;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"walking takes First Avenue, as short as the way by Oak Avenue",
         true,
         0,
         0,
         6,
         3,
         {"0.00,0.00 First Avenue | First Avenue | 0 | 0/180 | 0 | 0 | #0 | ",
          "0.00,3.00 T North Street and First Avenue | North Street | 0 | 90/180 | 0 | 333 | #1 | "
          "First Avenue",
          "6.00,3.00 End | North Street | 0 | 90/270 | 0 | 471 | #1 | "}},
        {"driving takes the faster Oak Avenue, its northbound half, clustered at x = 3",
         false,
         0,
         0,
         6,
         3,
         {"0.00,0.00 South Street | South Street | 0 | 90/270 | 0 | 0 | #0 | ",
          "3.00,0.00 T Oak Avenue and South Street | Oak Avenue | 2 | 0/270 | 48 | 224 | #1 | "
          "South Street",
          "3.00,3.00 T North Street and Oak Avenue | North Street | 0 | 90/180 | 0 | 357 | #2 | "
          "Oak Avenue",
          "6.00,3.00 End | North Street | 0 | 90/270 | 0 | 224 | #2 | "}},
        {"through the roundabout: one turning point at its centre",
         false,
         5,
         2,
         9.5,
         2,
         {"5.00,2.00 Main Street | Main Street | 2 | 90/270 | 50 | 0 | #0 | ",
          "8.00,2.00 T Harbour Road and Main Street | Harbour Road | 0 | 90/270 | 0 | 216 | #1 | "
          "Main Street",
          "9.50,2.00 End | Harbour Road | 0 | 90/270 | 0 | 159 | #1 | "}},
    };
    for (const Case& c : cases) {
        std::vector<Point> route =
            c.walking ? Walk(c.x0, c.y0, c.x1, c.y1) : Drive(c.x0, c.y0, c.x1, c.y1);
        EXPECT_EQ(Grid(route), c.expected) << c.what << "\n" << Describe(route);
    }
}

TEST_F(SampleRoutes, DriversKeepTheTurnRestrictionWalkersDoNot) {
    // No left turn from Elm Street into North Street: drivers go round by Main Street and Oak
    // Avenue (498 m instead of 285 m); walkers turn at the corner.
    std::vector<Point> drive = Drive(6, 1.5, 4.5, 3);
    EXPECT_EQ(Grid(drive),
              (std::vector<std::string>{
                  "6.00,1.50 Elm Street | Elm Street | 0 | 0/180 | 0 | 0 | #0 | ",
                  "6.00,2.00 T Main Street and Elm Street | Main Street | 2 | 270/180 | 50 | 56 | "
                  "#1 | Elm Street",
                  "3.00,2.00 T Oak Avenue and Main Street | Oak Avenue | 2 | 0/90 | 48 | 224 | #2 "
                  "| Main Street",
                  "3.00,3.00 T North Street and Oak Avenue | North Street | 0 | 90/180 | 0 | 111 | "
                  "#3 | Oak Avenue",
                  "4.50,3.00 End | North Street | 0 | 90/270 | 0 | 106 | #3 | "}))
        << Describe(drive);
    std::vector<Point> walk = Walk(6, 1.5, 4.5, 3);
    EXPECT_EQ(Grid(walk),
              (std::vector<std::string>{
                  "6.00,1.50 Elm Street | Elm Street | 0 | 0/180 | 0 | 0 | #0 | ",
                  "6.00,3.00 T North Street and Elm Street | North Street | 0 | 270/180 | 0 | 167 "
                  "| #1 | Elm Street",
                  "4.50,3.00 End | North Street | 0 | 270/90 | 0 | 118 | #1 | "}))
        << Describe(walk);
}

} // namespace
} // namespace gpsmap::test
