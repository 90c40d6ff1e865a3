// Virtual route exploration: the virtual walker stepped along the active route waypoint by
// waypoint, to rehearse it before setting out. A cursor (the exploration index) remembers where
// the exploration stands; each step makes the waypoint reached the route's current one, places
// the walker on it facing the way the route goes on, and answers its description.
#include "base/ServiceContext.h"
#include "base/Utility.h"
#include "orientation/VirtualWalker.h"
#include "resources/StringIds.h"
#include "route/RouteBuilder.h"
#include "route/RouteObject.h"

namespace gpscore {

int RouteBuilder::EndIndex() const {
    return m_route ? m_route->EndIndex() : -1;
}

std::optional<int> RouteBuilder::ExploreSet(int index, std::u16string* text) {
    if (!m_route) {
        m_parts.context.Log("GPSCore::RouteVirtualExploreSet ERROR IsRouteOpen");
        return std::nullopt;
    }
    const int n = m_route->Count();
    const bool r = m_route->reversed;
    // Where the exploration must stand for one step forward to land on `index`.
    int at = -1;
    if (index > 1) {
        if (index - 1 >= n)
            at = r ? -1 : n;
        else
            at = r ? (index + 1 > n ? -1 : index + 1) : index - 1;
    } else {
        at = r && index == 1 ? 2 : -1;
    }
    m_nRouteExplorationIndex = at;
    if (at == -1) m_route->currentIndex = -1;
    return Explore(true, WaypointModeAll, text);
}

int RouteBuilder::ExploreStep(bool forward, WaypointMode waypointMode, std::u16string* text) {
    if (!m_route) {
        m_parts.context.Log("GPSCore::RouteVirtuallyExploreInternal !IsRouteOpen");
        if (m_parts.context.m_pUtility)
            *text = m_parts.context.m_pUtility->GetString(ids::kNoRoute);
        return -1;
    }
    return Explore(forward, waypointMode, text);
}

int RouteBuilder::Explore(bool forward, WaypointMode waypointMode, std::u16string* text) {
    if (waypointMode == WaypointModeSystem) waypointMode = SettingsWaypointMode(VirtualMode);
    if (waypointMode != WaypointModeAll) waypointMode = WaypointModeTurnsOnly;
    int from = m_nRouteExplorationIndex;
    // A step from a waypoint that no longer exists (the route changed) starts again.
    if (from != -1 && !m_route->IsValidIndex(from)) from = -1;
    const int index = m_route->ExploreIndex(waypointMode, from, forward);
    if (index == -1) return -1; // A route without waypoints: nothing to step to.
    m_nRouteExplorationIndex = index;
    m_route->currentIndex = static_cast<std::int16_t>(index);
    *text = ExploredDescription(*m_route, index, forward, 2, nullptr);
    if (index == EndIndex() && m_parts.context.m_pUtility) {
        if (!text->empty()) *text += u' ';
        *text += m_parts.context.m_pUtility->GetString(ids::kArrivedAtDestination);
    }
    // The walker stands on the waypoint, facing the way the route leaves it (the way back when
    // stepping against the direction of travel).
    const WaypointRecord& record = m_route->At(index);
    int heading =
        m_route->reversed ? record.streetOrientationReverse : record.streetOrientationForward;
    if (heading != -1 && !forward) heading = (heading + 180) % 360;
    m_parts.walker.PlaceOnRoute(Place{record.latitude, record.longitude, record.name, {}},
                                static_cast<SHORT>(heading));
    return index;
}

} // namespace gpscore
