// How a route was made and with which preferences; a route owns one and hands out copies.
#ifndef GPSCORE_ROUTE_ROUTECONFIGURATIONOBJECT_H_
#define GPSCORE_ROUTE_ROUTECONFIGURATIONOBJECT_H_

#include "GPSLib_classes.h"

class CRouteConfigurationObject : public CRouteConfigurationObjectBase {
public:
    // Back to the values of a new object (loading a route starts from them).
    HRESULT ResetToDefaults() override;
};

namespace gpscore {

// Copies every field of one configuration into another through their interfaces; on failure
// `to` may be partly written.
HRESULT CopyRouteConfiguration(IRouteConfigurationObject* from, IRouteConfigurationObject* to);

} // namespace gpscore

#endif // GPSCORE_ROUTE_ROUTECONFIGURATIONOBJECT_H_
