// Routes in the sample town (data/sample/README.md), point by point: the walking and driving
// profiles, the one-way streets and the turn restriction, the waypoint modes, the initial
// heading, the held route and bad requests. Positions are on the town's grid: x and y in 1/1000
// degree east and north of 45 N 10 E.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "map_fixture.h"
#include "route_fixture.h"

namespace gpsmap::test {
namespace {

class SampleRoutes : public SampleTown {
protected:
    std::vector<Point> Walk(double x0, double y0, double x1, double y1, Preferences p = {}) {
        p.walking = true;
        return FindRoute(map.Get(), Lat(y0), Lon(x0), Lat(y1), Lon(x1), p);
    }
    std::vector<Point> Drive(double x0, double y0, double x1, double y1, Preferences p = {}) {
        p.walking = false;
        return FindRoute(map.Get(), Lat(y0), Lon(x0), Lat(y1), Lon(x1), p);
    }
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
    // From (x0, y0) to (x1, y1), facing `heading` (-1: none), with every intersection a waypoint
    // (mode 0) or the turns only (1).
    struct Trip {
        bool walking;
        double x0, y0, x1, y1;
        int heading = -1, waypointMode = 1;
    };
    struct Case {
        const char* what;
        Trip trip;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"walking takes First Avenue, as short as the way by Oak Avenue",
         {true, 0, 0, 6, 3},
         {"0.00,0.00 First Avenue | First Avenue | 0 | 0/180 | 0 | 0 | #0 | ",
          "0.00,3.00 T North Street and First Avenue | North Street | 0 | 90/180 | 0 | 333 | #1 | "
          "First Avenue",
          "6.00,3.00 End | North Street | 0 | 90/270 | 0 | 471 | #1 | "}},
        {"driving takes Main Street, the faster way",
         {false, 0, 0, 6, 3},
         {"0.00,0.00 First Avenue | First Avenue | 0 | 0/180 | 0 | 0 | #0 | ",
          "0.00,2.00 T Main Street and First Avenue | Main Street | 2 | 90/180 | 50 | 222 | #1 | "
          "First Avenue",
          "6.00,2.00 T Elm Street and Main Street | Elm Street | 0 | 0/270 | 0 | 471 | #2 | "
          "Main Street",
          "6.00,3.00 End | Elm Street | 0 | 0/180 | 0 | 111 | #2 | "}},
        {"Mill Lane is one-way eastward: drivers go round by Oak Avenue's southbound half",
         {false, 2, 1, 0, 1},
         {"2.00,1.00 Mill Lane | Mill Lane | 0 | 90/270 | 0 | 0 | #0 | ",
          "2.85,1.00 T Oak Avenue and Mill Lane | Oak Avenue | 2 | 180/270 | 48 | 67 | #1 | Mill "
          "Lane",
          "3.00,0.00 T South Street and Oak Avenue | South Street | 0 | 270/0 | 0 | 111 | #2 | "
          "Oak Avenue",
          "0.00,0.00 T First Avenue and South Street | First Avenue | 0 | 0/90 | 0 | 224 | #3 | "
          "South Street",
          "0.00,1.00 End | First Avenue | 0 | 0/180 | 0 | 111 | #3 | "}},
        {"walkers go straight back along it",
         {true, 2, 1, 0, 1},
         {"2.00,1.00 Mill Lane | Mill Lane | 0 | 270/90 | 0 | 0 | #0 | ",
          "0.00,1.00 End | Mill Lane | 0 | 270/90 | 0 | 157 | #0 | "}},
        {"onto an unnamed street: its point keeps the word alone, for the service to name",
         {true, 0, 0, 1.5, -0.5},
         {"0.00,0.00 South Street | South Street | 0 | 90/270 | 0 | 0 | #0 | ",
          "1.50,0.00 T Unnamed road | Unnamed road | 0 | 180/270 | 0 | 118 | #1 | South Street",
          "1.50,-0.50 End | Unnamed road | 0 | 180/0 | 0 | 56 | #1 | "}},
        {"through the roundabout: one turning point at its centre",
         {false, 5, 2, 9.5, 2},
         {"5.00,2.00 Main Street | Main Street | 2 | 90/270 | 50 | 0 | #0 | ",
          "8.00,2.00 T Harbour Road and Main Street | Harbour Road | 0 | 90/270 | 0 | 216 | #1 | "
          "Main Street",
          "9.50,2.00 End | Harbour Road | 0 | 90/270 | 0 | 159 | #1 | "}},
        // No left turn from Elm Street into North Street: drivers go round by Main Street and Oak
        // Avenue (498 m instead of 285 m); walkers turn at the corner.
        {"drivers keep the turn restriction",
         {false, 6, 1.5, 4.5, 3},
         {"6.00,1.50 Elm Street | Elm Street | 0 | 0/180 | 0 | 0 | #0 | ",
          "6.00,2.00 T Main Street and Elm Street | Main Street | 2 | 270/180 | 50 | 56 | "
          "#1 | Elm Street",
          "3.00,2.00 T Oak Avenue and Main Street | Oak Avenue | 2 | 0/90 | 48 | 224 | #2 "
          "| Main Street",
          "3.00,3.00 T North Street and Oak Avenue | North Street | 0 | 90/180 | 0 | 111 | "
          "#3 | Oak Avenue",
          "4.50,3.00 End | North Street | 0 | 90/270 | 0 | 106 | #3 | "}},
        {"walkers do not",
         {true, 6, 1.5, 4.5, 3},
         {"6.00,1.50 Elm Street | Elm Street | 0 | 0/180 | 0 | 0 | #0 | ",
          "6.00,3.00 T North Street and Elm Street | North Street | 0 | 270/180 | 0 | 167 "
          "| #1 | Elm Street",
          "4.50,3.00 End | North Street | 0 | 270/90 | 0 | 118 | #1 | "}},
        {"every intersection is a waypoint in mode all",
         {true, 0, 0, 6, 3, -1, 0},
         {"0.00,0.00 First Avenue | First Avenue | 0 | 0/180 | 0 | 0 | #0 | ",
          "0.00,1.00 First Avenue and Mill Lane | First Avenue | 0 | 0/180 | 0 | 111 | #0 | "
          "Mill Lane",
          "0.00,2.00 First Avenue and Main Street | First Avenue | 0 | 0/180 | 0 | 111 | #0 | "
          "Main Street",
          "0.00,3.00 T North Street and First Avenue | North Street | 0 | 90/180 | 0 | 111 | #1 "
          "| First Avenue",
          "1.50,3.00 North Street and Park Path | North Street | 0 | 90/270 | 0 | 118 | #1 | "
          "Park Path",
          "3.00,3.00 North Street and Oak Avenue | North Street | 0 | 90/270 | 0 | 106 | #1 | "
          "Oak Avenue",
          "6.00,3.00 End | North Street | 0 | 90/270 | 0 | 248 | #1 | "}},
        // On Main Street between First Avenue and Oak Avenue, bound for North Street at x = 4.5:
        // east by Oak Avenue is the way, unless the driver faces west (a U-turn at the start is
        // costly).
        {"east by Oak Avenue",
         {false, 2.5, 2, 4.5, 3},
         {"2.50,2.00 Main Street | Main Street | 2 | 90/270 | 50 | 0 | #0 | ",
          "3.00,2.00 T Oak Avenue and Main Street | Oak Avenue | 2 | 0/270 | 48 | 28 | #1 | "
          "Main Street",
          "3.00,3.00 T North Street and Oak Avenue | North Street | 0 | 90/180 | 0 | 135 | "
          "#2 | Oak Avenue",
          "4.50,3.00 End | North Street | 0 | 90/270 | 0 | 106 | #2 | "}},
        {"facing west, west by First Avenue",
         {false, 2.5, 2, 4.5, 3, 270},
         {"2.50,2.00 Main Street | Main Street | 2 | 270/90 | 50 | 0 | #0 | ",
          "0.00,2.00 T First Avenue and Main Street | First Avenue | 0 | 0/90 | 0 | 196 | "
          "#1 | Main Street",
          "0.00,3.00 T North Street and First Avenue | North Street | 0 | 90/180 | 0 | 111 "
          "| #2 | First Avenue",
          "4.50,3.00 End | North Street | 0 | 90/270 | 0 | 354 | #2 | "}},
    };
    for (const Case& c : cases) {
        const Trip& t = c.trip;
        Preferences p;
        p.heading = t.heading;
        p.waypointMode = t.waypointMode;
        std::vector<Point> route =
            t.walking ? Walk(t.x0, t.y0, t.x1, t.y1, p) : Drive(t.x0, t.y0, t.x1, t.y1, p);
        EXPECT_EQ(Grid(route), c.expected) << c.what << "\n" << Describe(route);
    }
    // The system mode is turns only, as is the default; facing east changes nothing.
    Preferences system, east;
    system.waypointMode = 2;
    EXPECT_EQ(Walk(0, 0, 6, 3, system).size(), 3u);
    east.heading = 80;
    EXPECT_EQ(Grid(Drive(2.5, 2, 4.5, 3, east)), Grid(Drive(2.5, 2, 4.5, 3)));
}

TEST_F(SampleRoutes, TheEndIsNamedAndASidewalkIsTheStreetBesideIt) {
    Preferences p;
    std::vector<Point> route = FindRoute(map.Get(), Lat(2.08), Lon(1), Lat(3.5), Lon(1.5), p,
                                         nullptr, "Park Bench", "by the fountain");
    ASSERT_GE(route.size(), 2u);
    // On the sidewalk: Main Street, its lanes and speed.
    EXPECT_EQ(route.front().street, "Main Street");
    EXPECT_EQ(route.front().lanes, 2);
    EXPECT_EQ(route.front().speed, 50);
    EXPECT_EQ(route.back().name, "Park Bench");
    EXPECT_EQ(route.back().description, "by the fountain");
    EXPECT_EQ(route.back().street, "Park Path");
    // The distances add up to the walk: the sidewalk west to First Avenue, First Avenue, North
    // Street, Park Path (quiet streets, rather than a marked crossing and the secondary Oak
    // Avenue without sidewalks, 23 m shorter).
    EXPECT_NEAR(Length(route), 450.6, 1.0) << Describe(route);
}

TEST_F(SampleRoutes, BadRequestsGetTheirAnswers) {
    struct Case {
        const char* what;
        double lat0, lon0, lat1, lon1;
        std::size_t points;
    };
    const double nan = std::nan("");
    const Case cases[] = {
        {"the same place twice: a route of no length", Lat(2), Lon(1), Lat(2), Lon(1), 2},
        {"start off every map", 10.0, 10.0, Lat(2), Lon(1), 0},
        {"end off every map", Lat(2), Lon(1), -33.0, 151.0, 0},
        {"not a number", nan, Lon(1), Lat(2), Lon(1), 0},
        {"off the globe", Lat(2), Lon(1), 91.0, 200.0, 0},
        {"no position", 0.0, 0.0, Lat(2), Lon(1), 0},
    };
    for (const Case& c : cases)
        for (bool walking : {true, false}) {
            Preferences p;
            p.walking = walking;
            HRESULT hr = E_FAIL;
            std::vector<Point> route = FindRoute(map.Get(), c.lat0, c.lon0, c.lat1, c.lon1, p, &hr);
            EXPECT_EQ(hr, S_OK) << c.what;
            EXPECT_EQ(route.size(), c.points) << c.what << (walking ? " walking" : " driving");
            if (c.points == 2) {
                EXPECT_EQ(Length(route), 0.0);
            }
        }
    gpslib::Bstr none;
    EXPECT_EQ(map->FindWalkingRoute(Lat(0), Lon(0), Lat(1), Lon(1), none.Get(), none.Get(),
                                    none.Get(), RouteFreewayNormal, RouteTurnVehicleFavorsRight,
                                    RouteTurnPedestrianAutomatic, RouteRoundaboutNormal,
                                    RouteTollRoadNormal, RouteVehicleModeFastest, nullptr),
              E_POINTER);
    // Without maps the engine cannot answer.
    map->UnloadMaps();
    HRESULT hr = S_OK;
    FindRoute(map.Get(), Lat(0), Lon(0), Lat(1), Lon(1), Preferences{}, &hr);
    EXPECT_EQ(hr, E_FAIL);
}

// A list of route points made by the client, as route loading makes it.
void MakeList(const std::vector<std::array<double, 3>>& points, VARIANT* list) {
    std::vector<gpslib::ComPtr<IRoutePoint>> made;
    std::vector<IUnknown*> items;
    for (const auto& [x, y, distance] : points) {
        gpslib::ComPtr<IRoutePoint> p;
        ASSERT_EQ(gpslib::CreateObject(CLSID_RoutePoint, IID_IRoutePoint, &p), S_OK);
        p->SetLatitude(Lat(y));
        p->SetLongitude(Lon(x));
        p->SetDistanceFromLastPoint(distance);
        made.push_back(p);
        items.push_back(p.Get());
    }
    ASSERT_EQ(gpslib::ReturnObjectList(list, items, IID_IRoutePoint), S_OK);
}

// Loaded lists: optimised when their points lie on the network and connect; a list of the wrong
// kind is refused.
TEST_F(SampleRoutes, ALoadedRouteIsOptimisedWhenItsPointsLieOnTheNetworkAndConnect) {
    auto load = [&](bool walking, VARIANT* list, VARIANT_BOOL* optimised) {
        auto call = walking ? &IGPSMap::LoadWalkingRoute : &IGPSMap::LoadDrivingRoute;
        return (map.Get()->*call)(list, RouteFreewayNormal, RouteTurnVehicleFavorsRight,
                                  RouteTurnPedestrianAutomatic, RouteRoundaboutNormal,
                                  RouteTollRoadNormal, RouteVehicleModeFastest, optimised);
    };
    struct Case {
        const char* what;
        bool walking;
        std::vector<std::array<double, 3>> points; // x, y, metres from the last point (0 none)
        bool optimised;
    };
    const Case cases[] = {
        {"corners along the streets", true, {{0, 0, 0}, {0, 3, 333}, {6, 3, 471}}, true},
        {"no distances given: connected is enough", false, {{0, 0, 0}, {6, 3, 0}}, true},
        {"a point 200 m off every street", true, {{0, 0, 0}, {9.5, -1.4, 0}}, false},
        {"a point off the map", true, {{0, 0, 0}, {60, 60, 0}}, false},
        {"a single point", true, {{0, 0, 0}}, false},
        {"no points", true, {}, false},
        {"walkers go back along Mill Lane", true, {{2, 1, 0}, {0, 1, 157}}, true},
        {"drivers cannot: their way round is more than half as long again",
         false,
         {{2, 1, 0}, {0, 1, 157}},
         false},
        // More points than a route file holds are not matched (each leg would be a search).
        {"5002 points", true, std::vector<std::array<double, 3>>(5002, {1, 2, 0}), false},
    };
    for (const Case& c : cases) {
        gpslib::Variant list;
        MakeList(c.points, &list);
        VARIANT_BOOL optimised = VARIANT_TRUE;
        EXPECT_EQ(load(c.walking, &list, &optimised), S_OK) << c.what;
        EXPECT_EQ(optimised != 0, c.optimised) << c.what;
        // The list is the caller's and stays as it was.
        EXPECT_EQ(list.vt, VT_ARRAY | VT_VARIANT) << c.what;
        EXPECT_EQ(ReadRoutePoints(&list).size(), c.points.size()) << c.what;
    }
    gpslib::ComPtr<ICrossStreetRecord> record;
    ASSERT_EQ(gpslib::CreateObject(CLSID_CrossStreetRecord, IID_ICrossStreetRecord, &record), S_OK);
    gpslib::Variant list, notAList;
    ASSERT_EQ(gpslib::ReturnObjectList(&list, {record.Get()}, IID_ICrossStreetRecord), S_OK);
    notAList.vt = VT_I4;
    VARIANT_BOOL optimised = VARIANT_TRUE;
    EXPECT_EQ(load(true, &list, &optimised), E_INVALIDARG);
    EXPECT_EQ(optimised, VARIANT_FALSE);
    EXPECT_EQ(load(true, &notAList, &optimised), E_INVALIDARG);
    EXPECT_EQ(load(true, &list, nullptr), E_POINTER);
    EXPECT_EQ(load(true, nullptr, &optimised), E_POINTER);
    // Clearing the held route always works, with or without a route.
    EXPECT_EQ(map->ClearRoute(), S_OK);
    EXPECT_EQ(map->ClearRoute(), S_OK);
}

} // namespace
} // namespace gpsmap::test
