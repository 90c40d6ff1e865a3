// Fuzz target: reading route files. Any bytes are either refused with a message (and an empty
// route) or read; a route read is written and read back to the same route, and writing that
// again gives the same text, so nothing read is lost or changed by a save.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/RouteFile.h"

namespace {

namespace rf = gpslib::routefile;

bool Same(const rf::Route& a, const rf::Route& b) {
    const rf::Configuration& x = a.configuration;
    const rf::Configuration& y = b.configuration;
    if (x.routeType != y.routeType || x.waypointMode != y.waypointMode ||
        x.initialHeading != y.initialHeading || x.freewayPreference != y.freewayPreference ||
        x.vehicleTurnPreference != y.vehicleTurnPreference ||
        x.pedestrianTurnPreference != y.pedestrianTurnPreference ||
        x.roundaboutPreference != y.roundaboutPreference ||
        x.tollRoadPreference != y.tollRoadPreference || x.vehicleMode != y.vehicleMode ||
        a.waypoints.size() != b.waypoints.size())
        return false;
    for (std::size_t i = 0; i < a.waypoints.size(); ++i) {
        const rf::Waypoint& p = a.waypoints[i];
        const rf::Waypoint& q = b.waypoints[i];
        // Numbers go through nine decimals; texts lose only what XML cannot hold.
        if (p.turningPoint != q.turningPoint || p.lanes != q.lanes || p.pointType != q.pointType ||
            p.orientationForward != q.orientationForward ||
            p.orientationReverse != q.orientationReverse || p.speed != q.speed ||
            p.featureIndex != q.featureIndex || p.sideOfStreet != q.sideOfStreet ||
            std::abs(p.latitude - q.latitude) > 1e-9 ||
            std::abs(p.longitude - q.longitude) > 1e-9 || std::abs(p.distance - q.distance) > 1e-6)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    rf::Route route;
    std::string error;
    if (!rf::Read(text, &route, &error)) {
        if (error.empty() || !route.waypoints.empty()) std::abort();
        return 0;
    }
    const std::string written = rf::Write(route, "owner", "version");
    rf::Route again;
    if (!rf::Read(written, &again, &error) || !Same(route, again)) std::abort();
    // Text read back from a file of our own is written unchanged.
    rf::Route third;
    const std::string rewritten = rf::Write(again, "owner", "version");
    if (!rf::Read(rewritten, &third, &error) || rf::Write(third, "owner", "version") != rewritten)
        std::abort();
    return 0;
}
