#include "route/RouteSettingsObject.h"

GPSLIB_CLASS_FACTORY(RouteSettingsObject, CRouteSettingsObject)

namespace gpscore {

HRESULT CopyRouteSettings(IRouteSettingsObject* from, IRouteSettingsObject* to) {
    if (from == nullptr || to == nullptr) return E_POINTER;
    WaypointMode mode = WaypointModeTurnsOnly;
    VARIANT_BOOL autoIncrement = 0, sequential = 0, numbering = 0;
    SystemDescriptions descriptions = Full;
    HRESULT hr = from->GetWaypointMode(&mode);
    if (SUCCEEDED(hr)) hr = from->IsAutoIncrementWaypointsWhenReachedOn(&autoIncrement);
    if (SUCCEEDED(hr)) hr = from->IsForceSequentialRouteFollowingOn(&sequential);
    if (SUCCEEDED(hr)) hr = from->IsWaypointNumberingOn(&numbering);
    if (SUCCEEDED(hr)) hr = from->GetNumberingDescriptions(&descriptions);
    if (SUCCEEDED(hr)) hr = to->SetWaypointMode(mode);
    if (SUCCEEDED(hr)) hr = to->EnableAutoIncrementWaypointsWhenReached(autoIncrement);
    if (SUCCEEDED(hr)) hr = to->EnableForceSequentialRouteFollowing(sequential);
    if (SUCCEEDED(hr)) hr = to->EnableWaypointNumbering(numbering);
    if (SUCCEEDED(hr)) hr = to->SetNumberingDescriptions(descriptions);
    return hr;
}

} // namespace gpscore
