// The map engine object's routes: a route found between two positions, a client's list of points
// matched leg by leg onto the streets, the route settings, and the held route.
#include <algorithm>
#include <cstdio>

#include "GPSMap.h"

using gpslib::ComPtr;
using gpsmap::Keywords;
using gpsmap::NormalHeading;
using gpsmap::Point;

namespace {

SHORT ClampShort(long v) {
    return static_cast<SHORT>(std::clamp<long>(v, -32768, 32767));
}

// The points of a list the client hands in, read without changing the list (the caller frees
// it). E_INVALIDARG when it is no list or an element is not a RoutePoint.
HRESULT ReadRoutePoints(VARIANT* list, std::vector<gpsmap::RoutePointData>* out) {
    if (list == nullptr) return E_POINTER;
    if (list->vt == (VT_BYREF | VT_VARIANT) && list->pvarVal != nullptr) list = list->pvarVal;
    SAFEARRAY* psa = nullptr;
    if (list->vt == (VT_ARRAY | VT_VARIANT))
        psa = list->parray;
    else if (list->vt == (VT_BYREF | VT_ARRAY | VT_VARIANT) && list->pparray != nullptr)
        psa = *list->pparray;
    if (psa == nullptr || SafeArrayGetDim(psa) != 1) return E_INVALIDARG;
    LONG lower = 0, upper = -1;
    if (FAILED(SafeArrayGetLBound(psa, 1, &lower)) || FAILED(SafeArrayGetUBound(psa, 1, &upper)))
        return E_INVALIDARG;
    for (LONG i = lower; i <= upper; ++i) {
        gpslib::Variant element;
        if (FAILED(SafeArrayGetElement(psa, &i, &element))) return E_INVALIDARG;
        IUnknown* object = nullptr;
        if (element.vt == VT_DISPATCH) object = element.pdispVal;
        if (element.vt == VT_UNKNOWN) object = element.punkVal;
        ComPtr<IRoutePoint> point;
        if (object == nullptr || FAILED(object->QueryInterface(IID_IRoutePoint, point.PutVoid())) ||
            !point)
            return E_INVALIDARG;
        gpsmap::RoutePointData p;
        point->GetLatitude(&p.at.lat);
        point->GetLongitude(&p.at.lon);
        point->GetDistanceFromLastPoint(&p.distance);
        gpslib::Bstr name;
        point->GetName(name.Put());
        p.name = name.Utf8();
        out->push_back(std::move(p));
    }
    return S_OK;
}

} // namespace

gpsmap::RoutePreferences CGPSMap::Preferences(RouteFreewayPreference freeway,
                                              RouteTurnPreferenceVehicle turnVehicle,
                                              RouteTurnPreferencePedestrian turnPedestrian,
                                              RouteRoundaboutPreference roundabout,
                                              RouteTollRoadPreference toll, RouteVehicleMode mode) {
    gpsmap::RoutePreferences p;
    p.freeway = static_cast<int>(freeway);
    p.turnVehicle = static_cast<int>(turnVehicle);
    p.turnPedestrian = static_cast<int>(turnPedestrian);
    p.roundabout = static_cast<int>(roundabout);
    p.toll = static_cast<int>(toll);
    p.vehicleMode = static_cast<int>(mode);
    return p;
}

HRESULT CGPSMap::SetRouteInitialHeading(SHORT nHeading) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_nInitialHeading = nHeading;
    return S_OK;
}

HRESULT CGPSMap::SetRouteWaypointMode(WaypointMode eWaypointMode) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_eWaypointMode = eWaypointMode;
    return S_OK;
}

HRESULT CGPSMap::ClearRoute() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_heldRoute.clear();
    m_heldCrossings.clear();
    return S_OK;
}

void CGPSMap::ClearRouteState() {
    m_nInitialHeading = -1;
    m_eWaypointMode = WaypointModeTurnsOnly;
    m_heldRoute.clear();
    m_heldCrossings.clear();
}

gpsmap::RouteNaming CGPSMap::RouteNamingFor(bool detailed) const {
    gpsmap::Naming n = NamingFor(true, detailed);
    gpsmap::RouteNaming r;
    r.expanded = true;
    r.detailed = detailed;
    r.unnamedRoad = n.unnamedRoad;
    r.unnamedPath = n.unnamedPath;
    r.joiner = n.joiner;
    return r;
}

HRESULT CGPSMap::FindRoute(bool walking, Point start, Point end, BSTR name, BSTR description,
                           BSTR keywords, const gpsmap::RoutePreferences& preferences,
                           VARIANT* list) {
    if (list == nullptr) return E_POINTER;
    auto lock = Lock();
    if (m_engine.MapCount() == 0) return E_FAIL;
    Keywords k(keywords);
    gpsmap::RouteRequest request;
    request.start = start;
    request.end = end;
    request.walking = walking;
    request.preferences = preferences;
    request.initialHeading = NormalHeading(m_nInitialHeading);
    request.turnsOnly = m_eWaypointMode != WaypointModeAll;
    request.endName = gpslib::ToUtf8(name);
    request.endDescription = gpslib::ToUtf8(description);
    gpsmap::Route route;
    bool found = m_engine.FindRoute(request, RouteNamingFor(k.streetDetailed), &route);
    const char* what = walking ? "FindWalkingRoute: " : "FindDrivingRoute: ";
    if (found) {
        char line[160];
        std::snprintf(line, sizeof line, "%zu points, %.0f m, %d states searched",
                      route.points.size(), route.length, route.visited);
        Log(what + std::string(line));
    } else {
        Log(what + std::string("no route"));
    }
    m_heldRoute = route.points;
    m_heldCrossings = m_engine.CrossingsOnRoute(route, NamingFor(true, k.streetDetailed));
    return ReturnRoutePoints(route.points, list);
}

// Each leg between two consecutive points of a loaded route is routed again; the route is
// optimised when every point lies within 25 m of a usable street and every leg is no longer
// than 1.5 times the distance the file gives for it (any length when it gives none).
HRESULT CGPSMap::LoadRoute(bool walking, VARIANT* list, const gpsmap::RoutePreferences& preferences,
                           VARIANT_BOOL* optimized) {
    if (optimized == nullptr) return E_POINTER;
    *optimized = VARIANT_FALSE;
    std::vector<gpsmap::RoutePointData> given;
    HRESULT hr = ReadRoutePoints(list, &given);
    if (FAILED(hr)) return hr;
    auto lock = Lock();
    m_heldRoute = given;
    m_heldCrossings.clear();
    // More legs than a route file of the system holds would keep the engine's lock for
    // minutes: such a list is not matched.
    constexpr std::size_t kMostLegs = 5000;
    if (m_engine.MapCount() == 0 || given.size() < 2 || given.size() > kMostLegs + 1) return S_OK;
    gpsmap::RouteNaming naming = RouteNamingFor(false);
    std::vector<gpsmap::RoutePointData> held;
    std::vector<gpsmap::Engine::PedestrianCrossing> crossings;
    double along = 0.0;
    bool ok = true;
    int heading = NormalHeading(m_nInitialHeading);
    for (std::size_t i = 0; i + 1 < given.size() && ok; ++i) {
        gpsmap::RouteRequest request;
        request.start = given[i].at;
        request.end = given[i + 1].at;
        request.walking = walking;
        request.preferences = preferences;
        request.initialHeading = heading;
        request.turnsOnly = m_eWaypointMode != WaypointModeAll;
        request.endName = given[i + 1].name;
        gpsmap::Route leg;
        ok = m_engine.FindRoute(request, naming, &leg) && leg.points.front().featureIndex >= 0 &&
             leg.points.back().featureIndex >= 0 &&
             (given[i + 1].distance <= 0.0 || leg.length <= 1.5 * given[i + 1].distance + 1.0);
        if (!ok) break;
        heading = leg.points.back().orientationForward;
        for (auto& c : m_engine.CrossingsOnRoute(leg, NamingFor(true, false))) {
            c.distance += along;
            crossings.push_back(std::move(c));
        }
        along += leg.length;
        held.insert(held.end(), leg.points.begin() + (held.empty() ? 0 : 1), leg.points.end());
    }
    Log(std::string(walking ? "LoadWalkingRoute: " : "LoadDrivingRoute: ") +
        std::to_string(given.size()) + (ok ? " points, optimised" : " points, not optimised"));
    if (ok) {
        m_heldRoute = std::move(held);
        m_heldCrossings = std::move(crossings);
    }
    *optimized = gpslib::VariantBool(ok);
    return S_OK;
}

HRESULT CGPSMap::ReturnRoutePoints(const std::vector<gpsmap::RoutePointData>& points,
                                   VARIANT* list) {
    std::vector<ComPtr<IRoutePoint>> records;
    for (const gpsmap::RoutePointData& p : points) {
        ComPtr<IRoutePoint> r;
        HRESULT hr = gpslib::CreateObject(CLSID_RoutePoint, IID_IRoutePoint, &r);
        if (FAILED(hr)) {
            gpslib::ReturnObjectList(list, {}, IID_IRoutePoint);
            return hr;
        }
        r->SetLatitude(p.at.lat);
        r->SetLongitude(p.at.lon);
        r->SetName(gpslib::Bstr(p.name).Get());
        r->SetDescription(gpslib::Bstr(p.description).Get());
        r->SetTurningPoint(gpslib::VariantBool(p.turning));
        r->SetStreetNameForward(gpslib::Bstr(p.streetForward).Get());
        r->SetNumberOfLanes(ClampShort(p.lanes));
        r->SetStreetOrientationForward(ClampShort(p.orientationForward));
        r->SetStreetOrientationReverse(ClampShort(p.orientationReverse));
        r->SetDistanceFromLastPoint(p.distance);
        r->SetFeatureIndex(ClampShort(p.featureIndex));
        r->SetCrossStreet(gpslib::Bstr(p.crossStreet).Get());
        r->SetStreetSpeed(ClampShort(p.speed));
        records.push_back(r);
    }
    return gpsmap::ReturnRecords(list, records, IID_IRoutePoint);
}
