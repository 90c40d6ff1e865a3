#include "route/WaypointRecord.h"

#include <tuple>
#include <utility>

namespace gpscore {

namespace {

// The fields a waypoint shares with a point of an engine route, as pairs of members (the
// record's, the point's), named once for the copies both ways.
template <class Each> void SharedFields(Each each) {
    using W = WaypointRecord;
    using P = RoutePoint;
    static constexpr auto kFields =
        std::tuple{std::pair{&W::latitude, &P::latitude},
                   std::pair{&W::longitude, &P::longitude},
                   std::pair{&W::name, &P::name},
                   std::pair{&W::description, &P::description},
                   std::pair{&W::turningPoint, &P::turningPoint},
                   std::pair{&W::streetNameForward, &P::streetNameForward},
                   std::pair{&W::numberOfLanes, &P::numberOfLanes},
                   std::pair{&W::streetOrientationForward, &P::streetOrientationForward},
                   std::pair{&W::streetOrientationReverse, &P::streetOrientationReverse},
                   std::pair{&W::distanceFromLastWaypoint, &P::distanceFromLastPoint},
                   std::pair{&W::featureIndex, &P::featureIndex},
                   std::pair{&W::crossStreet, &P::crossStreet},
                   std::pair{&W::streetSpeed, &P::streetSpeed}};
    std::apply([&](auto... field) { (each(field.first, field.second), ...); }, kFields);
}

} // namespace

WaypointRecord WaypointFromRoutePoint(const RoutePoint& p) {
    WaypointRecord r;
    SharedFields([&](auto record, auto point) { r.*record = p.*point; });
    return r;
}

RoutePoint RoutePointFromWaypoint(const WaypointRecord& r) {
    RoutePoint p;
    SharedFields([&](auto record, auto point) { p.*point = r.*record; });
    return p;
}

} // namespace gpscore
