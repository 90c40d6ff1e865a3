// A route: an ordered list of waypoints (indices 1 to the count seen from outside), a direction
// of travel, a current waypoint and the configuration it was made with.
#ifndef GPSCORE_ROUTE_ROUTEOBJECT_H_
#define GPSCORE_ROUTE_ROUTEOBJECT_H_

#include <memory>
#include <string>
#include <vector>

#include "GPSLib_classes.h"
#include "route/RouteModel.h"

namespace gpscore {

// The route's waypoint `index` as a new object carrying its index and whether it begins or ends
// the route (S_FALSE and null for an invalid index).
HRESULT NewRouteWaypoint(const RouteModel& route, int index, IWaypointObject** ppWaypoint);

// The description of waypoint `index` met on an exploring step (its label, then the turn onto
// the street taken as the step's direction meets it), with `label` in place of the waypoint's
// own label when given (mode as for Wording::WaypointLabel).
std::u16string ExploredDescription(const RouteModel& route, int index, bool forward, int mode,
                                   const std::u16string* label);

// "Total route distance: ..." in the user's units.
std::u16string TotalDistanceDescription(const RouteModel& route);

// The client's route read into records and a type: the waypoints it answers, in order.
HRESULT ReadRoute(IRouteObject* route, std::vector<WaypointRecord>* records, RouteType* type);

} // namespace gpscore

// A view over a route model (route/RouteModel.h): the waypoints are the model's plain records;
// waypoint objects handed out are new copies carrying their index. Invalid indices answer
// S_FALSE (and no waypoint), never an error. GetRouteConfiguration hands out a new configuration
// object holding the model's configuration.
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

    HRESULT IsRouteReversed(VARIANT_BOOL* pbReversed) override;
    HRESULT NeedsToBeSaved(VARIANT_BOOL* pbNeedsSaving) override;

    // The model the object shows: its own until it is made a view of another (the facade's
    // object for the active route shows the builder's model).
    const std::shared_ptr<gpscore::RouteModel>& Model() const { return m_route; }
    void Show(std::shared_ptr<gpscore::RouteModel> model) { m_route = std::move(model); }

private:
    // The index a client's waypoint carries: S_OK when it names a waypoint of this route,
    // S_FALSE when it names none, E_POINTER for no waypoint.
    HRESULT IndexInRoute(IWaypointObject* pWaypoint, SHORT* index) const;
    // The waypoint object of `index`: S_FALSE and null when the index is not valid.
    HRESULT WaypointAt(int index, IWaypointObject** ppWaypoint) const {
        return gpscore::NewRouteWaypoint(*m_route, index, ppWaypoint);
    }
    // Adding a user waypoint makes a route a manual one, unless it records virtual movement.
    void BecomeManual();

    std::shared_ptr<gpscore::RouteModel> m_route;
};

#endif // GPSCORE_ROUTE_ROUTEOBJECT_H_
