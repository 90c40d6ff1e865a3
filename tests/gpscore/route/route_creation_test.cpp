// Routes made and followed in the sample town (data/sample/README.md) as a client does it: the
// service, the map engine and the database component registered in a temporary store, Start
// finding a copy of the town on the map path, the traveller placed with GPSForceLocation (one
// poll each). Positions are on the town's grid: x and y in 1/1000 degree east and north of
// 45 N 10 E.
#include <gpslib/GPSLib.h>
#include <gpslib/support.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "formats/NmeaSentence.h"
#include "route/sample_town_routes.h"
#include "temp_dir.h"
#include "value.h"

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;
using namespace gpslib::test::routes;
using gpslib::test::Value;

TEST_F(SampleTownRoutes, WalkingAndDrivingRoutesWithEveryWaypointField) {
    ASSERT_TRUE(Create(RouteTypePedestrian, 0, 0, 6, 3, 0));
    auto route = Route();
    EXPECT_EQ(Grid(route.Get()),
              (std::vector<std::string>{
                  "0.00,0.00 First Avenue | First Avenue | 0/180 | -1 | 0 | ",
                  "0.00,3.00 T North Street and First Avenue | North Street | 90/180 | 90 | 333 | "
                  "First Avenue",
                  "6.00,3.00 Home | North Street | 90/270 | -1 | 471 | "}));
    EXPECT_EQ(Value(route.Get(), &IRouteObject::GetCurrentWaypointIndex), 1);
    EXPECT_EQ(Value(core.Get(), &IGPSCore::RouteIsOptimized), VARIANT_TRUE);
    EXPECT_EQ(Value(route.Get(), &IRouteObject::TotalRouteDistance), 2640); // 804.7 m
    ComPtr<IRouteConfigurationObject> configuration;
    route->GetRouteConfiguration(configuration.Put());
    SHORT heading = -1; // the traveller's heading, the configuration giving none
    configuration->GetInitialHeading(&heading);
    EXPECT_EQ(heading, 0);

    // Driving asks the engine for its own profile (its route, by Main Street: the engine's test)
    // and replaces the walking route.
    ASSERT_TRUE(Create(RouteTypeVehicle, 0, 0, 6, 3));
    const std::vector<std::string> driving = Grid(Route().Get());
    ASSERT_EQ(driving.size(), 4u);
    EXPECT_EQ(driving[2], "6.00,2.00 T Elm Street and Main Street | Elm Street | 0/270 | 0 | 471 | "
                          "Main Street");
    const std::string log = Log();
    EXPECT_NE(log.find("  GPSCore::RouteCreateAutomaticInternal FindDrivingRoute"),
              std::string::npos);
    EXPECT_NE(log.find("  GPSCore::RouteCreateAutomaticInternal Route Updated"), std::string::npos);
}

TEST_F(SampleTownRoutes, AnUnnamedStreetIsNamedByTheStreetItLeaves) {
    // The dead-end residential street south of South Street at x = 1.5 has no name.
    ASSERT_TRUE(Create(RouteTypePedestrian, 0, 0, 1.5, -0.8));
    const std::vector<std::string> grid = Grid(Route().Get());
    ASSERT_EQ(grid.size(), 3u);
    EXPECT_NE(grid[1].find("| Unnamed road near South Street |"), std::string::npos) << grid[1];
}

TEST_F(SampleTownRoutes, RequestsThatMakeNoRouteLeaveTheOldOne) {
    ASSERT_TRUE(Create(RouteTypePedestrian, 0, 0, 6, 3));
    struct Case {
        const char* what;
        RouteType type;
        double x0, y0, x1, y1;
        const char* logged;
    } cases[] = {
        {"destination outside every map", RouteTypePedestrian, 0, 0, 300, 300,
         "Route Not Found (2)"},
        {"start outside every map", RouteTypeVehicle, -300, 0, 6, 3, "Route Not Found (2)"},
        {"no kind of route", RouteTypeUnknown, 0, 0, 6, 3, "exiting RouteTypeUnknown"},
        {"a manual route", RouteTypeManual, 0, 0, 6, 3, "exiting RouteTypeManual"},
        {"a recording in GPS mode", RouteTypeFromVirtualExploration, 0, 0, 6, 3, ""},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(Create(c.type, c.x0, c.y0, c.x1, c.y1)) << c.what;
        EXPECT_NE(Log().find(c.logged), std::string::npos) << c.what;
        EXPECT_EQ(Value(Route().Get(), &IRouteObject::GetWaypointCount), 3) << c.what;
    }
    // The same point twice: the engine's route of two points there, followed by arrival.
    EXPECT_TRUE(Create(RouteTypePedestrian, 6, 3, 6, 3));
    EXPECT_EQ(Value(Route().Get(), &IRouteObject::GetWaypointCount), 2);
    core->DestinationClear();
    VARIANT_BOOL created = VARIANT_TRUE;
    EXPECT_EQ(core->RouteCreateAutomatic(GPSMode, Configured(RouteTypePedestrian).Get(), &created),
              S_OK);
    EXPECT_EQ(created, VARIANT_FALSE);
    EXPECT_NE(Log().find("exiting destination invalid"), std::string::npos);
    EXPECT_EQ(core->RouteCreateAutomatic(GPSMode, nullptr, &created), E_POINTER);
}

TEST_F(SampleTownRoutes, RecalculatingStartsFromWhereTheTravellerIs) {
    ASSERT_TRUE(Create(RouteTypePedestrian, 0, 0, 6, 3));
    core->GPSForceLocation(Place(0, 1.5).Get(), 0);
    VARIANT_BOOL created = 0;
    EXPECT_EQ(core->RouteRecalculate(GPSMode, &created), S_OK);
    EXPECT_EQ(created, VARIANT_TRUE);
    std::vector<std::string> grid = Grid(Route().Get());
    ASSERT_EQ(grid.size(), 3u);
    EXPECT_EQ(grid[0].substr(0, 9), "0.00,1.50");
    EXPECT_EQ(core->RouteRecalculateOriginal(&created), S_OK);
    EXPECT_EQ(created, VARIANT_TRUE);
    grid = Grid(Route().Get());
    ASSERT_EQ(grid.size(), 3u);
    EXPECT_EQ(grid[0].substr(0, 9), "0.00,1.50"); // the route's own beginning
    core->RouteClose();
    EXPECT_EQ(core->RouteRecalculate(GPSMode, &created), S_OK);
    EXPECT_EQ(created, VARIANT_FALSE);
}

// An engine's route is followed as a drawn one is (leaving it, turning early: the following
// test): walked in 10 m steps up First Avenue and east along North Street to its end (6, 3),
// north or south by 0.09, east by 0.127.
TEST_F(SampleTownRoutes, AWalkAlongTheRouteHearsEachStep) {
    ASSERT_TRUE(Create(RouteTypePedestrian, 0, 0, 6, 3, 0));
    Bstr announcement;
    VARIANT_BOOL requested = 0;
    ASSERT_EQ(core->RouteFollow(announcement.Put(), &requested), S_OK);
    ComPtr<IAutomaticEventObject> before;
    core->GetLastAutomaticEvent(before.Put());
    for (double y = 0; y <= 3; y += 0.09)
        core->GPSForceLocation(Place(0, y).Get(), 0);
    for (double x = 0; x <= 6; x += 0.127)
        core->GPSForceLocation(Place(x, 3).Get(), 90);
    EXPECT_EQ(Since(before.Get()),
              (std::vector<EventType>{EventRouteStartFollowing, EventRouteApproachingTurn,
                                      EventRouteArrivedNearTurn, EventRouteContinueStraight,
                                      EventArrivedNearDestination}))
        << ::testing::PrintToString(texts);
}

TEST_F(SampleTownRoutes, ARouteFromARecordedWalk) {
    // North along First Avenue, then east along North Street, one fix a second at 2 knots.
    std::string trace;
    auto fix = [&](double x, double y, int course) {
        const double lat = Lat(y), lon = Lon(x);
        char body[160];
        std::snprintf(body, sizeof body,
                      "GPRMC,120000,A,%02d%07.4f,N,%03d%07.4f,E,2.0,%03d.0,010124,,",
                      static_cast<int>(lat), (lat - static_cast<int>(lat)) * 60.0,
                      static_cast<int>(lon), (lon - static_cast<int>(lon)) * 60.0, course);
        trace += gpslib::nmea::Sentence(body);
    };
    for (double y = 0.0; y < 3.0; y += 0.05)
        fix(0, y, 0);
    for (double x = 0.0; x <= 2.0; x += 0.07)
        fix(x, 3, 90);
    const std::string file = dir.path() + "/walk.trc";
    std::ofstream(file) << trace;
    auto configuration = Configured(RouteTypeCreateFromSimulation);
    configuration->SetSimulationFileToUse(Bstr(file).Get());
    VARIANT_BOOL created = 0;
    ASSERT_EQ(core->RouteCreateAutomatic(GPSMode, configuration.Get(), &created), S_OK);
    ASSERT_EQ(created, VARIANT_TRUE) << Log();
    auto route = Route();
    const std::vector<std::string> grid = Grid(route.Get());
    ASSERT_EQ(grid.size(), 3u);
    EXPECT_NE(grid[0].find("First Avenue"), std::string::npos) << grid[0];
    EXPECT_NE(grid[1].find("T North Street"), std::string::npos) << grid[1];
    ComPtr<IRouteConfigurationObject> made;
    route->GetRouteConfiguration(made.Put());
    WaypointMode mode = WaypointModeTurnsOnly; // not WaypointModeAll, which is 0
    made->GetWaypointMode(&mode);
    EXPECT_EQ(Value(made.Get(), &IRouteConfigurationObject::GetRouteType),
              RouteTypePedestrianFromSimulation);
    EXPECT_EQ(mode, WaypointModeAll);
    // Recalculated from further along, it is still a walk.
    core->GPSForceLocation(Place(1, 3).Get(), 90);
    ASSERT_EQ(core->RouteRecalculate(GPSMode, &created), S_OK);
    EXPECT_EQ(created, VARIANT_TRUE);
    const std::string log = Log();
    EXPECT_GT(log.rfind("FindWalkingRoute"), log.rfind("RouteCreateFromSimulation Route Set"));
    EXPECT_EQ(log.find("FindDrivingRoute"), std::string::npos);
    // A file that is not there makes nothing.
    configuration->SetSimulationFileToUse(Bstr(dir.path() + "/none.trc").Get());
    ASSERT_EQ(core->RouteCreateAutomatic(GPSMode, configuration.Get(), &created), S_OK);
    EXPECT_EQ(created, VARIANT_FALSE);
    EXPECT_NE(Log().find("      Simulation file doesn't exist"), std::string::npos);
}

// Across the compiled extracts, walking and driving: the route is made, and a traveller moving
// from waypoint to waypoint in 10 m steps is guided to the end without being told of leaving the
// route, going the wrong way or skipping a waypoint. Andorra's roads climb in hairpins.
struct Crossing {
    const char* map;
    double fromLat, fromLon, toLat, toLon;
};

class RealRoutes : public SampleTownRoutes, public ::testing::WithParamInterface<Crossing> {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(std::string(GPSLIB_OSM_MAP_DIR) + "/" + GetParam().map +
                                     ".rmf"))
            GTEST_SKIP();
        StartOn(GPSLIB_OSM_MAP_DIR, GetParam().map, [](auto*) {});
    }
};

INSTANTIATE_TEST_SUITE_P(Extracts, RealRoutes,
                         ::testing::Values(Crossing{"Liechtenstein", 47.0667, 9.5028, 47.2380,
                                                    9.5280},
                                           Crossing{"Andorra", 42.5063, 1.5218, 42.5346, 1.5801},
                                           Crossing{"Monaco", 43.7278, 7.4155, 43.7490, 7.4393}),
                         [](const auto& info) { return std::string(info.param.map); });

TEST_P(RealRoutes, FollowedWithoutFalseWarnings) {
    const Crossing& c = GetParam();
    for (RouteType type : {RouteTypePedestrian, RouteTypeVehicle}) {
        SCOPED_TRACE(type);
        core->DestinationSetByLocation(Location(c.toLat, c.toLon).Get());
        core->GPSForceLocation(Location(c.fromLat, c.fromLon).Get(), -1);
        ASSERT_TRUE(CreateRoute(core.Get(), type));
        ComPtr<IRouteObject> route;
        ASSERT_EQ(core->RouteGet(route.Put()), S_OK);
        Bstr announcement;
        VARIANT_BOOL requested = 0;
        core->RouteFollow(announcement.Put(), &requested);
        // The log so far is not counted.
        const std::size_t logBefore = Log().size();
        const SHORT count = Value(route.Get(), &IRouteObject::GetWaypointCount);
        double lastLat = 0, lastLon = 0;
        int turns = 0;
        for (SHORT i = 1; i <= count; ++i) {
            ComPtr<IWaypointObject> w;
            route->GetWaypoint(i, w.Put());
            turns += Value(w.Get(), &IWaypointObject::IsTurningPoint) != 0;
            const double lat = Value(w.Get(), &IWaypointObject::GetLatitude);
            const double lon = Value(w.Get(), &IWaypointObject::GetLongitude);
            const double metres =
                i == 1 ? 0.0 : std::hypot((lat - lastLat) * 111195.0, (lon - lastLon) * 75700.0);
            const int steps = std::max(1, static_cast<int>(metres / 10.0));
            const SHORT heading = static_cast<SHORT>(
                std::lround(std::atan2((lon - lastLon) * 75700.0, (lat - lastLat) * 111195.0) *
                                180.0 / 3.14159265358979323846 +
                            360.0) %
                360);
            for (int s = 1; s <= steps; ++s)
                core->GPSForceLocation(
                    Location(i == 1 ? lat : lastLat + (lat - lastLat) * s / steps,
                             i == 1 ? lon : lastLon + (lon - lastLon) * s / steps)
                        .Get(),
                    i == 1 ? SHORT{-1} : heading);
            lastLat = lat;
            lastLon = lon;
        }
        const std::string log = Log().substr(logBefore);
        auto times = [&](const std::string& word) {
            int n = 0;
            for (std::size_t at = log.find(word); at != std::string::npos;
                 at = log.find(word, at + 1))
                ++n;
            return n;
        };
        EXPECT_EQ(times("**AddEvent**  RouteStartFollowingEvent"), 1);
        EXPECT_EQ(times("**AddEvent**  RouteArrivedNearDestinationEvent"), 1);
        EXPECT_EQ(times("**AddEvent**  RouteOffRouteEvent"), 0);
        EXPECT_EQ(times("**AddEvent**  RouteWrongDirectionEvent"), 0);
        EXPECT_EQ(times("**AddEvent**  RouteSkippedPointsEvent"), 0);
        // Every turn is announced, however close the turns follow each other.
        EXPECT_EQ(times("**AddEvent**  RouteArrivedNearTurnEvent"), turns);
    }
}

} // namespace
