// A snapshot of one waypoint of a route and its index there; changing it changes the route
// only through the route's UpdateWaypointInRoute.
#ifndef GPSCORE_ROUTE_WAYPOINTOBJECT_H_
#define GPSCORE_ROUTE_WAYPOINTOBJECT_H_

#include <memory>
#include <string>

#include "GPSLib_classes.h"
#include "route/WaypointRecord.h"

// The position, name and description live in the inner location; the waypoint name is that
// location's name.
class CWaypointObject : public CWaypointObjectBase {
public:
    HRESULT GetWaypointName(BSTR* pbstrName) override { return GetName(pbstrName); }
    HRESULT SetWaypointName(BSTR bstrName) override { return SetName(bstrName); }
    // The turn to make here, seen from the heading given (or, for -1, from the street the
    // waypoint is reached by); empty unless the waypoint is a turn with a known heading after it.
    HRESULT GetTurningInfo(SHORT nCurrentHeading, BSTR* pbstrTurningInfo) override;
};

namespace gpscore {

class Utility;

// The record of a waypoint object's fields (its index aside).
HRESULT ReadWaypoint(IWaypointObject* waypoint, WaypointRecord* record);

// The record of a waypoint placed by hand, marked as a user point: its location, name,
// description and street, with the street orientations and turning point worked out from its
// turn and heading. It carries no routing data: no lanes, distance, feature, cross street, side
// or turn complete heading.
HRESULT ReadUserWaypoint(IWaypointUserObject* userWaypoint, WaypointRecord* record);

// A new waypoint object (made by class id) holding the record and its route index.
HRESULT NewWaypointObject(const WaypointRecord& record, SHORT index, bool beginning, bool end,
                          IWaypointObject** waypoint);

// A waypoint as exploring the route and arriving near a turn speak it: its label, then the turn
// onto the street taken from there. `heading` as for TurningInfoText; `mode` picks the numbering
// settings (see Wording::WaypointLabel).
std::u16string WaypointTurnDescription(const std::shared_ptr<const Utility>& utility,
                                       IWaypointObject* waypoint, SHORT heading, int mode);
// The same with the label given ("Waypoint 3, Corner", or none).
std::u16string WaypointTurnDescription(const std::shared_ptr<const Utility>& utility,
                                       IWaypointObject* waypoint, SHORT heading,
                                       std::u16string label);

} // namespace gpscore

#endif // GPSCORE_ROUTE_WAYPOINTOBJECT_H_
