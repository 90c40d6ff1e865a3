#include "route_fixture.h"

#include <cstdio>
#include <sstream>

#include "value.h"

namespace gpsmap::test {

using gpslib::test::Text;
using gpslib::test::Value;

std::vector<Point> ReadRoutePoints(VARIANT* list) {
    std::vector<Point> out;
    std::vector<IUnknown*> items;
    if (FAILED(gpslib::ReadObjectList(list, IID_IRoutePoint, 100000, &items))) return out;
    for (IUnknown* item : items) {
        gpslib::ComPtr<IRoutePoint> r;
        item->QueryInterface(IID_IRoutePoint, r.PutVoid());
        item->Release();
        if (!r) continue;
        using R = IRoutePoint;
        IRoutePoint* q = r.Get();
        out.push_back({Value(q, &R::GetLatitude), Value(q, &R::GetLongitude),
                       Value(q, &R::GetDistanceFromLastPoint), Text(q, &R::GetName),
                       Text(q, &R::GetDescription), Text(q, &R::GetStreetNameForward),
                       Text(q, &R::GetCrossStreet), Value(q, &R::IsTurningPoint) != 0,
                       Value(q, &R::GetNumberOfLanes), Value(q, &R::GetStreetOrientationForward),
                       Value(q, &R::GetStreetOrientationReverse), Value(q, &R::GetFeatureIndex),
                       Value(q, &R::GetStreetSpeed)});
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
