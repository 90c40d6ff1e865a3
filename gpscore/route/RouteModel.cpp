#include "route/RouteModel.h"

#include <limits>
#include <utility>

#include "route/RouteGeometry.h"

namespace gpscore {

namespace {

// The count crosses the interface as a 16-bit number.
constexpr std::size_t kMaxWaypoints = std::numeric_limits<std::int16_t>::max();

} // namespace

bool RouteModel::Full() const {
    return waypoints.size() >= kMaxWaypoints;
}

bool RouteModel::Append(WaypointRecord record) {
    if (Full()) return false;
    waypoints.push_back(std::move(record));
    needsSaving = true;
    return true;
}

void RouteModel::Clear() {
    waypoints.clear();
    currentIndex = -1;
    needsSaving = true;
}

void RouteModel::SetType(RouteType type) {
    configuration.type = type;
    needsSaving = true;
}

bool RouteModel::Reverse() {
    const RouteType type = configuration.type;
    const bool allowed = type != RouteTypeUnknown && type != RouteTypeVehicle &&
                         type != RouteTypeVehicleFromSimulation;
    if (allowed) reversed = !reversed;
    return allowed;
}

int RouteModel::Next(WaypointMode mode, int from, bool backwards) const {
    if (from == -1) return backwards ? Count() : 1;
    if (!IsValidIndex(from)) return -1;
    const int step = backwards ? -1 : 1;
    for (int i = from + step; IsValidIndex(i); i += step) {
        // Any mode other than "all" (turns only, the system's mode) stops at turns only.
        if (mode == WaypointModeAll || At(i).turningPoint) return i;
    }
    return backwards ? 1 : Count();
}

int RouteModel::NextTurn() const {
    const int current = currentIndex;
    if (!IsValidIndex(current)) return -1;
    const int passed = reversed ? current : current - 1;
    if (IsValidIndex(passed) && !At(passed).crossStreet.empty()) {
        if (!reversed) return passed;
        if (IsValidIndex(current + 1)) return current + 1;
    }
    if (At(current).turningPoint) return current;
    return Next(WaypointModeTurnsOnly, current);
}

int RouteModel::NearestIndexTo(geo::Position position) const {
    return NearestIndex(waypoints, position);
}

int RouteModel::NextIndexNearest(WaypointMode mode, geo::Position position) const {
    const int next = NextIndexAhead(waypoints, position, reversed);
    if (next == -1 || mode == WaypointModeAll || At(next).turningPoint) return next;
    return Next(mode, next);
}

int RouteModel::ExploreIndex(WaypointMode mode, int from, bool forward) const {
    const int index = Next(mode, from, forward ? reversed : !reversed);
    return IsValidIndex(index) ? index : -1;
}

} // namespace gpscore
