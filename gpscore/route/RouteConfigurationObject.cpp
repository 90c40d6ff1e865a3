#include "route/RouteConfigurationObject.h"

GPSLIB_CLASS_FACTORY(RouteConfigurationObject, CRouteConfigurationObject)

// The plain configuration's defaults are the class's field defaults; a test compares a reset
// object with a new one, field by field.
HRESULT CRouteConfigurationObject::ResetToDefaults() {
    return gpscore::WriteRouteConfiguration(gpscore::RouteConfiguration{}, this);
}

namespace gpscore {

void ReadRouteConfiguration(IRouteConfigurationObject* from, RouteConfiguration* out) {
    if (from == nullptr) return;
    gpslib::Bstr file;
    if (SUCCEEDED(from->GetSimulationFileToUse(file.Put())))
        out->simulationFile = std::u16string(file.View());
    RoutePreferences& p = out->preferences;
    from->GetRouteType(&out->type);
    from->GetWaypointMode(&out->waypointMode);
    from->GetInitialHeading(&out->initialHeading);
    from->GetRouteFreewayPreference(&p.freeway);
    from->GetRouteTurnPreferencePedestrian(&p.pedestrianTurn);
    from->GetRouteTurnPreferenceVehicle(&p.vehicleTurn);
    from->GetRouteRoundaboutPreference(&p.roundabout);
    from->GetRouteTollRoadPreference(&p.toll);
    from->GetRouteVehicleMode(&p.vehicleMode);
}

HRESULT WriteRouteConfiguration(const RouteConfiguration& from, IRouteConfigurationObject* to) {
    if (to == nullptr) return E_POINTER;
    const RoutePreferences& p = from.preferences;
    HRESULT hr = to->SetSimulationFileToUse(gpslib::Bstr(from.simulationFile).Get());
    if (SUCCEEDED(hr)) hr = to->SetRouteType(from.type);
    if (SUCCEEDED(hr)) hr = to->SetWaypointMode(from.waypointMode);
    if (SUCCEEDED(hr)) hr = to->SetInitialHeading(from.initialHeading);
    if (SUCCEEDED(hr)) hr = to->SetRouteFreewayPreference(p.freeway);
    if (SUCCEEDED(hr)) hr = to->SetRouteTurnPreferencePedestrian(p.pedestrianTurn);
    if (SUCCEEDED(hr)) hr = to->SetRouteTurnPreferenceVehicle(p.vehicleTurn);
    if (SUCCEEDED(hr)) hr = to->SetRouteRoundaboutPreference(p.roundabout);
    if (SUCCEEDED(hr)) hr = to->SetRouteTollRoadPreference(p.toll);
    if (SUCCEEDED(hr)) hr = to->SetRouteVehicleMode(p.vehicleMode);
    return hr;
}

} // namespace gpscore
