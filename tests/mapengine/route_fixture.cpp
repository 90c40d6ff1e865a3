#include "route_fixture.h"

#include <cstdio>
#include <sstream>

namespace gpsmap::test {

std::vector<Point> ReadRoutePoints(VARIANT* list) {
    std::vector<Point> out;
    std::vector<IUnknown*> items;
    if (FAILED(gpslib::ReadObjectList(list, IID_IRoutePoint, 100000, &items))) return out;
    for (IUnknown* item : items) {
        gpslib::ComPtr<IRoutePoint> r;
        item->QueryInterface(IID_IRoutePoint, r.PutVoid());
        item->Release();
        if (!r) continue;
        Point p;
        gpslib::Bstr name, description, street, cross;
        VARIANT_BOOL turning = VARIANT_FALSE;
        SHORT lanes = 0, forward = 0, reverse = 0, feature = 0, speed = 0;
        r->GetLatitude(&p.lat);
        r->GetLongitude(&p.lon);
        r->GetName(name.Put());
        r->GetDescription(description.Put());
        r->IsTurningPoint(&turning);
        r->GetStreetNameForward(street.Put());
        r->GetNumberOfLanes(&lanes);
        r->GetStreetOrientationForward(&forward);
        r->GetStreetOrientationReverse(&reverse);
        r->GetDistanceFromLastPoint(&p.distance);
        r->GetFeatureIndex(&feature);
        r->GetCrossStreet(cross.Put());
        r->GetStreetSpeed(&speed);
        p.name = name.Utf8(), p.description = description.Utf8();
        p.street = street.Utf8(), p.cross = cross.Utf8();
        p.turning = turning != 0;
        p.lanes = lanes, p.forward = forward, p.reverse = reverse, p.feature = feature;
        p.speed = speed;
        out.push_back(p);
    }
    return out;
}

std::vector<Point> FindRoute(IGPSMap* map, double lat0, double lon0, double lat1, double lon1,
                             const Preferences& p, HRESULT* status, const char* endName,
                             const char* endDescription) {
    map->SetRouteInitialHeading(static_cast<SHORT>(p.heading));
    map->SetRouteWaypointMode(static_cast<WaypointMode>(p.waypointMode));
    gpslib::Bstr name{std::string_view(endName)}, description{std::string_view(endDescription)},
        keywords{std::string_view(p.keywords)};
    gpslib::Variant list;
    auto freeway = static_cast<RouteFreewayPreference>(p.freeway);
    auto vehicle = static_cast<RouteTurnPreferenceVehicle>(p.turnVehicle);
    auto pedestrian = static_cast<RouteTurnPreferencePedestrian>(p.turnPedestrian);
    auto roundabout = static_cast<RouteRoundaboutPreference>(p.roundabout);
    auto toll = static_cast<RouteTollRoadPreference>(p.toll);
    auto mode = static_cast<RouteVehicleMode>(p.vehicleMode);
    HRESULT hr = p.walking
                     ? map->FindWalkingRoute(lat0, lon0, lat1, lon1, name.Get(), description.Get(),
                                             keywords.Get(), freeway, vehicle, pedestrian,
                                             roundabout, toll, mode, &list)
                     : map->FindDrivingRoute(lat0, lon0, lat1, lon1, name.Get(), description.Get(),
                                             keywords.Get(), freeway, vehicle, pedestrian,
                                             roundabout, toll, mode, &list);
    if (status != nullptr) *status = hr;
    if (FAILED(hr)) return {};
    return ReadRoutePoints(&list);
}

std::string Describe(const std::vector<Point>& points) {
    std::ostringstream out;
    for (const Point& p : points) {
        char line[512];
        std::snprintf(line, sizeof line,
                      "%.5f,%.5f %s%s | %s | lanes %d %d/%d km/h %d | %.1f m | #%d | x %s | %s\n",
                      p.lat, p.lon, p.turning ? "TURN " : "", p.name.c_str(), p.street.c_str(),
                      p.lanes, p.forward, p.reverse, p.speed, p.distance, p.feature,
                      p.cross.c_str(), p.description.c_str());
        out << line;
    }
    return out.str();
}

double Length(const std::vector<Point>& points) {
    double total = 0;
    for (const Point& p : points)
        total += p.distance;
    return total;
}

} // namespace gpsmap::test
