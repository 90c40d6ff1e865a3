// Shared by the route tests: a route asked of the engine through its interface and its points
// read back as plain values.
#pragma once

#include <gpslib/GPSMapLib.h>
#include <gpslib/support.h>

#include <string>
#include <vector>

namespace gpsmap::test {

// The request: profile, the six preferences, the engine's heading and waypoint mode.
struct Preferences {
    bool walking = true;
    int freeway = 0, turnVehicle = 2, turnPedestrian = 0, roundabout = 0, toll = 0, vehicleMode = 0;
    int heading = -1;
    int waypointMode = 1; // turns only
    const char* keywords = "";
};

// Every field of a RoutePoint.
struct Point {
    double lat = 0, lon = 0, distance = 0;
    std::string name, description, street, cross;
    bool turning = false;
    int lanes = 0, forward = 0, reverse = 0, feature = 0, speed = 0;
};

std::vector<Point> ReadRoutePoints(VARIANT* list);
// Sets the heading and waypoint mode, then asks for the route; an empty list when none.
std::vector<Point> FindRoute(IGPSMap* map, double lat0, double lon0, double lat1, double lon1,
                             const Preferences& p, HRESULT* status = nullptr,
                             const char* endName = "End", const char* endDescription = "");
// One line per point, for messages.
std::string Describe(const std::vector<Point>& points);
// The sum of the distances between the points.
double Length(const std::vector<Point>& points);

} // namespace gpsmap::test
