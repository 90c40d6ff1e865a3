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

using gpslib::ComPtr;

SHORT RouteBuilder::EndIndex() const {
    auto* route = gpslib::ImplOf<CRouteObject>(m_pRoute.Get());
    if (route == nullptr) return -1;
    return route->Reversed() ? SHORT{1} : static_cast<SHORT>(route->Waypoints().size());
}

bool RouteBuilder::ExploreSet(SHORT index, IWaypointObject** waypoint, std::u16string* text) {
    auto* route = gpslib::ImplOf<CRouteObject>(m_pRoute.Get());
    if (route == nullptr) {
        m_parts.context.Log("GPSCore::RouteVirtualExploreSet ERROR IsRouteOpen");
        return false;
    }
    const int n = static_cast<int>(route->Waypoints().size());
    const bool r = route->Reversed();
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
    m_nRouteExplorationIndex = static_cast<SHORT>(at);
    if (at == -1) route->SetCurrentIndex(-1);
    Explore(true, WaypointModeAll, waypoint, text);
    return true;
}

void RouteBuilder::ExploreStep(bool forward, WaypointMode waypointMode, IWaypointObject** waypoint,
                               std::u16string* text) {
    if (!m_pRoute) {
        m_parts.context.Log("GPSCore::RouteVirtuallyExploreInternal !IsRouteOpen");
        if (m_parts.context.m_pUtility)
            *text = m_parts.context.m_pUtility->GetString(ids::kNoRoute);
        gpslib::CreateObject(CLSID_WaypointObject, IID_IWaypointObject,
                             reinterpret_cast<void**>(waypoint));
        return;
    }
    Explore(forward, waypointMode, waypoint, text);
}

void RouteBuilder::Explore(bool forward, WaypointMode waypointMode, IWaypointObject** waypoint,
                           std::u16string* text) {
    auto* route = gpslib::ImplOf<CRouteObject>(m_pRoute.Get());
    if (route == nullptr) return;
    if (waypointMode == WaypointModeSystem) waypointMode = SettingsWaypointMode(VirtualMode);
    if (waypointMode != WaypointModeAll) waypointMode = WaypointModeTurnsOnly;
    int from = m_nRouteExplorationIndex;
    // A step from a waypoint that no longer exists (the route changed) starts again.
    if (from != -1 && (from < 1 || from > static_cast<int>(route->Waypoints().size()))) from = -1;
    const int index = route->ExploreIndex(waypointMode, from, forward);
    if (index == -1) {
        // A route without waypoints: nothing to step to.
        gpslib::CreateObject(CLSID_WaypointObject, IID_IWaypointObject,
                             reinterpret_cast<void**>(waypoint));
        return;
    }
    m_nRouteExplorationIndex = static_cast<SHORT>(index);
    route->SetCurrentIndex(static_cast<SHORT>(index));
    route->Waypoint(index, waypoint);
    *text = route->ExploredDescription(index, forward, 2, nullptr);
    if (index == EndIndex() && m_parts.context.m_pUtility) {
        if (!text->empty()) *text += u' ';
        *text += m_parts.context.m_pUtility->GetString(ids::kArrivedAtDestination);
    }
    // The walker stands on the waypoint, facing the way the route leaves it (the way back when
    // stepping against the direction of travel).
    const WaypointRecord& record = route->Waypoints()[static_cast<std::size_t>(index - 1)];
    SHORT heading =
        route->Reversed() ? record.streetOrientationReverse : record.streetOrientationForward;
    if (heading != -1 && !forward) heading = static_cast<SHORT>((heading + 180) % 360);
    m_parts.walker.PlaceOnRoute(Place{record.latitude, record.longitude, record.name, {}}, heading);
}

} // namespace gpscore
