// Route behaviour chosen by the user (waypoint mode, auto-increment, sequential following,
// numbering); the system keeps one per mode in its route settings file.
#ifndef GPSCORE_ROUTE_ROUTESETTINGSOBJECT_H_
#define GPSCORE_ROUTE_ROUTESETTINGSOBJECT_H_

#include "GPSLib_classes.h"

class CRouteSettingsObject : public CRouteSettingsObjectBase {};

namespace gpscore {

// Every field from one settings object to another; E_POINTER for a missing one.
HRESULT CopyRouteSettings(IRouteSettingsObject* from, IRouteSettingsObject* to);

} // namespace gpscore

#endif // GPSCORE_ROUTE_ROUTESETTINGSOBJECT_H_
