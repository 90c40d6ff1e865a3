#include "route/RouteConfigurationObject.h"

GPSLIB_CLASS_FACTORY(RouteConfigurationObject, CRouteConfigurationObject)

// The same values as the field defaults of the class; a test compares a reset object with a
// new one, field by field.
HRESULT CRouteConfigurationObject::ResetToDefaults() {
    m_bstrSimulationFileToUse = gpslib::Bstr();
    m_eRouteType = RouteTypeUnknown;
    m_eWaypointMode = WaypointModeTurnsOnly;
    m_nInitialHeading = -1;
    m_eRouteFreewayPreference = RouteFreewayNormal;
    m_eRouteTurnPreferenceVehicle = RouteTurnVehicleFavorsRight;
    m_eRouteTurnPreferencePedestrian = RouteTurnPedestrianAutomatic;
    m_eRouteRoundaboutPreference = RouteRoundaboutNormal;
    m_eRouteTollRoadPreference = RouteTollRoadNormal;
    m_eRouteVehicleMode = RouteVehicleModeFastest;
    return S_OK;
}

namespace gpscore {

namespace {

// Reads one field of `from` and writes it into `to`.
template <class T>
HRESULT CopyField(IRouteConfigurationObject* from, IRouteConfigurationObject* to,
                  HRESULT (IRouteConfigurationObject::*get)(T*),
                  HRESULT (IRouteConfigurationObject::*set)(T)) {
    T value{};
    HRESULT hr = (from->*get)(&value);
    return FAILED(hr) ? hr : (to->*set)(value);
}

} // namespace

HRESULT CopyRouteConfiguration(IRouteConfigurationObject* from, IRouteConfigurationObject* to) {
    if (from == nullptr || to == nullptr) return E_POINTER;
    using I = IRouteConfigurationObject;
    gpslib::Bstr file;
    HRESULT hr = from->GetSimulationFileToUse(file.Put());
    if (SUCCEEDED(hr)) hr = to->SetSimulationFileToUse(file.Get());
    if (SUCCEEDED(hr)) hr = CopyField(from, to, &I::GetRouteType, &I::SetRouteType);
    if (SUCCEEDED(hr)) hr = CopyField(from, to, &I::GetWaypointMode, &I::SetWaypointMode);
    if (SUCCEEDED(hr)) hr = CopyField(from, to, &I::GetInitialHeading, &I::SetInitialHeading);
    if (SUCCEEDED(hr))
        hr = CopyField(from, to, &I::GetRouteFreewayPreference, &I::SetRouteFreewayPreference);
    if (SUCCEEDED(hr))
        hr = CopyField(from, to, &I::GetRouteTurnPreferencePedestrian,
                       &I::SetRouteTurnPreferencePedestrian);
    if (SUCCEEDED(hr))
        hr = CopyField(from, to, &I::GetRouteTurnPreferenceVehicle,
                       &I::SetRouteTurnPreferenceVehicle);
    if (SUCCEEDED(hr))
        hr =
            CopyField(from, to, &I::GetRouteRoundaboutPreference, &I::SetRouteRoundaboutPreference);
    if (SUCCEEDED(hr))
        hr = CopyField(from, to, &I::GetRouteTollRoadPreference, &I::SetRouteTollRoadPreference);
    if (SUCCEEDED(hr)) hr = CopyField(from, to, &I::GetRouteVehicleMode, &I::SetRouteVehicleMode);
    return hr;
}

} // namespace gpscore
