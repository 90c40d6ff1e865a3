#include "route/RouteFollower.h"

namespace gpscore {

// No route can be followed until routes can be made.
void RouteFollower::Step() {}

} // namespace gpscore
