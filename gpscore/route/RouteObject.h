// A route: an ordered list of waypoints (indices 1 to the count seen from outside), a direction
// of travel, a current waypoint and the configuration it was made with.
#ifndef GPSCORE_ROUTE_ROUTEOBJECT_H_
#define GPSCORE_ROUTE_ROUTEOBJECT_H_

#include <string_view>
#include <vector>

#include "GPSLib_classes.h"
#include "route/WaypointRecord.h"

// The waypoints are plain records owned by the route; waypoint objects handed out are new
// copies carrying their index. Invalid indices answer S_FALSE (and no waypoint), never an
// error. The configuration is an owned RouteConfigurationObject; when it could not be created,
// every method that needs it answers E_FAIL.
class CRouteObject : public CRouteObjectBase {
public:
    CRouteObject();

    HRESULT GetRouteConfiguration(IRouteConfigurationObject** ppConfiguration) override;
    HRESULT AddUserWaypointToEndOfRoute(IWaypointUserObject* pUserWaypoint,
                                        IWaypointObject** ppWaypoint) override;
    HRESULT GetRouteBeginning(IWaypointObject** ppWaypoint) override;
    HRESULT GetRouteEnd(IWaypointObject** ppWaypoint) override;
    HRESULT GetWaypoint(SHORT nIndex, IWaypointObject** ppWaypoint) override;
    HRESULT GetWaypointCount(SHORT* pnCount) override;
    HRESULT UpdateWaypointInRoute(IWaypointObject* pWaypoint) override;
    HRESULT ReverseRoute(VARIANT_BOOL* pbReversed) override;
    HRESULT DeleteWaypoint(IWaypointObject* pWaypoint) override;
    HRESULT InsertUserWaypointBefore(IWaypointUserObject* pUserWaypoint, SHORT nIndex,
                                     IWaypointObject** ppWaypoint) override;
    HRESULT SetCurrentWaypoint(IWaypointObject* pWaypoint) override;
    HRESULT GetCurrentWaypoint(IWaypointObject** ppWaypoint) override;
    HRESULT GetNextWaypoint(WaypointMode eWaypointMode, IWaypointObject** ppWaypoint) override;
    HRESULT SetNextWaypointAlongRoute(WaypointMode eWaypointMode,
                                      IWaypointObject** ppWaypoint) override;
    HRESULT SetPreviousWaypointAlongRoute(WaypointMode eWaypointMode,
                                          IWaypointObject** ppWaypoint) override;
    HRESULT GetNextTurn(IWaypointObject** ppWaypoint) override;
    // One step of exploring the route from `nFromIndex` (-1: from before its beginning), along
    // or against the direction of travel: the waypoint reached and its description (its label,
    // then the turn onto the street taken as the step's direction meets it). S_FALSE, no
    // waypoint and no text when the route has no waypoint to step to.
    HRESULT ExploreRouteForward(Mode eMode, WaypointMode eWaypointMode, SHORT nFromIndex,
                                IWaypointObject** ppWaypoint, BSTR* pbstrDescription) override;
    HRESULT ExploreRouteBackward(Mode eMode, WaypointMode eWaypointMode, SHORT nFromIndex,
                                 IWaypointObject** ppWaypoint, BSTR* pbstrDescription) override;
    HRESULT GetCurrentWaypointIndex(SHORT* pnIndex) override;
    HRESULT AddWaypointToEndOfRoute(IWaypointObject* pWaypoint) override;
    HRESULT SetType(RouteType eRouteType) override;

    // The route's numbers for a position (the rules are in route/RouteGeometry.h). Distances
    // are metres or feet by the user's units; speeds miles per hour; a known distance to the
    // next waypoint is metres, -1.0 for none.
    HRESULT TotalRouteDistance(LONG* pnDistance) override;
    HRESULT TotalRouteDistanceDescription(BSTR* pbstrDescription) override;
    HRESULT SetCurrentWaypointToNearest(ILocationObject* pLocation,
                                        IWaypointObject** ppWaypoint) override;
    HRESULT DistanceToBeginningOfRouteDescription(ILocationObject* pLocation,
                                                  BSTR* pbstrDescription) override;
    HRESULT SetCurrentToNextWaypointNearestLocation(WaypointMode eWaypointMode,
                                                    ILocationObject* pLocation,
                                                    IWaypointObject** ppWaypoint) override;
    HRESULT DistanceToEndOfRouteDescription(ILocationObject* pLocation,
                                            BSTR* pbstrDescription) override;
    HRESULT PercentComplete(ILocationObject* pLocation, SHORT* pnPercent) override;
    HRESULT PercentCompleteAccurate(ILocationObject* pLocation, DOUBLE dDistanceToNext,
                                    SHORT* pnPercent) override;
    HRESULT GetETA(ILocationObject* pLocation, IWaypointObject* pWaypoint, DOUBLE dSpeed,
                   BSTR* pbstrETA) override;
    HRESULT GetETAAccurate(ILocationObject* pLocation, IWaypointObject* pWaypoint,
                           DOUBLE dDistanceToNext, DOUBLE dSpeed, BSTR* pbstrETA) override;
    HRESULT GetNearestWaypoint(ILocationObject* pLocation, IWaypointObject** ppWaypoint) override;
    HRESULT GetNextWaypointNearestLocation(WaypointMode eWaypointMode, ILocationObject* pLocation,
                                           IWaypointObject** ppWaypoint) override;
    HRESULT GetDirectNextWaypointNearestLocation(ILocationObject* pLocation,
                                                 IWaypointObject** ppWaypoint) override;
    HRESULT GetWaypointDescription(ILocationObject* pLocation, IWaypointObject* pWaypoint,
                                   IWaypointConfigurationObject* pConfiguration,
                                   BSTR* pbstrDescription) override;

    // For the system: route creation, RouteSet and the route files fill and read the route
    // through these.
    const std::vector<gpscore::WaypointRecord>& Waypoints() const { return m_waypoints; }
    // Appends a record; E_FAIL when the list already holds the most a 16-bit count can tell.
    HRESULT AppendWaypoint(gpscore::WaypointRecord record);
    // Empties the list; the current waypoint becomes -1.
    void ClearWaypoints();
    // Sets the current index as given, valid or not (a loaded route starts at 1, even empty).
    void SetCurrentIndex(SHORT index) { m_nCurrentIndex = index; }
    // The owned configuration itself, not a copy; null when it could not be created.
    IRouteConfigurationObject* Configuration() const { return m_pConfiguration.Get(); }
    bool Reversed() const { return m_bReversed != 0; }
    RouteType Type() const;
    // The index of the waypoint ahead of a position for a waypoint mode (turns only: the next
    // turn or the end), -1 for none.
    int NextIndexNearest(WaypointMode mode, double latitude, double longitude) const;
    int NearestIndexTo(double latitude, double longitude) const;
    // next(mode, from, reversed) of the route's rules.
    int Next(WaypointMode mode, int from, bool reversed) const {
        return NextIndex(mode, from, reversed);
    }
    // The route's waypoint `index` as a new object (S_FALSE and null for an invalid index).
    HRESULT Waypoint(int index, IWaypointObject** ppWaypoint) const {
        return WaypointAt(index, ppWaypoint);
    }
    // The route file it was loaded from or last saved to; empty for none.
    std::u16string_view FileName() const { return m_bstrFileName.View(); }
    void SetFileName(std::u16string_view fileName);
    // Exploring: where a step from `from` lands (-1 for nowhere), and the description of
    // waypoint `index` met on such a step, with `label` in place of the waypoint's own label
    // when given (mode as for Wording::WaypointLabel).
    int ExploreIndex(WaypointMode mode, int from, bool forward) const;
    std::u16string ExploredDescription(int index, bool forward, int mode,
                                       const std::u16string* label) const;
    // Saving is the only thing that clears the needs-saving flag.
    void MarkSaved() { m_bNeedsSaving = 0; }

private:
    bool IsValidIndex(int index) const;
    // The index a client's waypoint carries: S_OK when it names a waypoint of this route,
    // S_FALSE when it names none, E_POINTER for no waypoint.
    HRESULT IndexInRoute(IWaypointObject* pWaypoint, SHORT* index) const;
    // next(mode, from, reversed): where a step along the route from `from` lands.
    int NextIndex(WaypointMode mode, int from, bool reversed) const;
    // The waypoint object of `index`: S_FALSE and null when the index is not valid.
    HRESULT WaypointAt(int index, IWaypointObject** ppWaypoint) const;
    // A change of the list: records that the route needs saving.
    void Changed() { m_bNeedsSaving = 1; }
    // Adding a user waypoint makes a route a manual one, unless it records virtual movement.
    HRESULT BecomeManual();

    std::vector<gpscore::WaypointRecord> m_waypoints;
    gpslib::ComPtr<IRouteConfigurationObject> m_pConfiguration;
};

#endif // GPSCORE_ROUTE_ROUTEOBJECT_H_
