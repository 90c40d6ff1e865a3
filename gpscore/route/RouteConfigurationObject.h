// How a route was made and with which preferences; a route hands out new ones holding its
// model's configuration (route/RouteModel.h).
#ifndef GPSCORE_ROUTE_ROUTECONFIGURATIONOBJECT_H_
#define GPSCORE_ROUTE_ROUTECONFIGURATIONOBJECT_H_

#include "GPSLib_classes.h"
#include "route/RouteModel.h"

class CRouteConfigurationObject : public CRouteConfigurationObjectBase {
public:
    // Back to the values of a new object (loading a route starts from them).
    HRESULT ResetToDefaults() override;
};

namespace gpscore {

// The configuration an object holds; a field it cannot answer keeps the value `out` had.
void ReadRouteConfiguration(IRouteConfigurationObject* from, RouteConfiguration* out);
// Every field written into the object; on failure `to` may be partly written.
HRESULT WriteRouteConfiguration(const RouteConfiguration& from, IRouteConfigurationObject* to);

} // namespace gpscore

#endif // GPSCORE_ROUTE_ROUTECONFIGURATIONOBJECT_H_
