#include "route/RouteBuilder.h"
#include "route/WaypointObject.h"

#include <cstdlib>
#include <utility>

#include "base/Descriptions.h"
#include "base/LocationObject.h"
#include "base/ServiceContext.h"
#include "base/SettingsFiles.h"
#include "base/Utility.h"
#include "formats/Geodesy.h"
#include "gps/Nmea.h"
#include "gps/ReceiverLink.h"
#include "orientation/Destination.h"
#include "orientation/VirtualWalker.h"
#include "os/env.h"
#include "os/path.h"
#include "resources/StringIds.h"
#include "route/RouteConfigurationObject.h"
#include "route/RouteFollower.h"
#include "route/RouteObject.h"
#include "route/RouteSettingsObject.h"

namespace gpscore {

using gpslib::Bstr;
using gpslib::ComPtr;

namespace {

constexpr const char* kInternal = "  GPSCore::RouteCreateAutomaticInternal";

template <class T>
T Read(IRouteConfigurationObject* c, HRESULT (IRouteConfigurationObject::*get)(T*), T fallback) {
    T value = fallback;
    if (c != nullptr) (c->*get)(&value);
    return value;
}

std::u16string TextOf(const Bstr& b) {
    return std::u16string(b.View());
}

ComPtr<ILocationObject> NewPlace(double latitude, double longitude, std::u16string_view name,
                                 std::u16string_view description) {
    ComPtr<ILocationObject> place;
    if (FAILED(gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &place))) return {};
    place->SetLatitude(latitude);
    place->SetLongitude(longitude);
    place->SetName(Bstr(name).Get());
    place->SetDescription(Bstr(description).Get());
    return place;
}

geo::Position PositionOf(ILocationObject* location) {
    geo::Position p;
    if (!IsValidPlace(location)) return p;
    location->GetLatitude(&p.latitude);
    location->GetLongitude(&p.longitude);
    return p;
}

// The positions and courses of a recorded trace, in order.
class TraceReader final : public nmea::Target {
public:
    struct Fix {
        double latitude, longitude, course, knots;
    };
    void OnChecksumError(std::string_view) override {}
    void OnValidSentence() override {}
    void OnRmcVoid() override {}
    void OnRmc(const nmea::Rmc& rmc) override {
        if (rmc.latitude == 0.0 && rmc.longitude == 0.0) return;
        fixes.push_back({rmc.latitude, rmc.longitude, rmc.courseDegrees, rmc.speedKnots});
    }
    void OnGga(const nmea::Gga&) override {}
    void OnGsa(const nmea::Gsa&) override {}
    std::vector<Fix> fixes;
};

} // namespace

// ---------------------------------------------------------------------------------------------
// The active route.

ComPtr<ILocationObject> RouteBuilder::CurrentLocation(Mode mode, SHORT* heading) const {
    ComPtr<ILocationObject> location;
    *heading = -1;
    if (mode == VirtualMode) {
        location = NewLocation(m_parts.walker.Where());
        *heading = m_parts.walker.Heading();
    } else if (IGPSObject* gps = m_parts.receiver.Record()) {
        gps->GetLocation(location.Put());
        gps->GetHeadingDegrees(heading);
    }
    return location;
}

WaypointMode RouteBuilder::SettingsWaypointMode(Mode mode) const {
    WaypointMode waypointMode = WaypointModeTurnsOnly;
    if (m_parts.context.m_pUtility != nullptr)
        if (auto settings = m_parts.context.m_pUtility->RouteSettings(
                mode == VirtualMode ? VirtualMode : GPSMode))
            settings->GetWaypointMode(&waypointMode);
    return waypointMode == WaypointModeSystem ? WaypointModeTurnsOnly : waypointMode;
}

void RouteBuilder::Release() {
    m_parts.context.Map().ClearRoute();
    m_parts.follower.SetRoute(nullptr);
    m_pRoute.Reset();
    m_bRouteOptimized = false;
    m_nRouteExplorationIndex = -1;
    m_bRecording = false;
}

void RouteBuilder::Close() {
    if (m_pRoute) Release();
}

HRESULT RouteBuilder::Set(IRouteObject* given) {
    auto* source = gpslib::ImplOf<CRouteObject>(given);
    SHORT count = 0;
    HRESULT hr = given->GetWaypointCount(&count);
    if (FAILED(hr)) return hr;
    // Read first: the client may hand back the active route itself.
    std::vector<WaypointRecord> records;
    for (SHORT i = 1; i <= count; ++i) {
        ComPtr<IWaypointObject> w;
        if (given->GetWaypoint(i, w.Put()) != S_OK) continue;
        WaypointRecord record;
        if (SUCCEEDED(ReadWaypoint(w.Get(), &record))) records.push_back(std::move(record));
    }
    RouteType type = source != nullptr ? source->Type() : RouteTypeUnknown;
    if (source == nullptr) {
        ComPtr<IRouteConfigurationObject> configuration;
        if (SUCCEEDED(given->GetRouteConfiguration(configuration.Put())) && configuration)
            configuration->GetRouteType(&type);
    }
    if (!m_pRoute) {
        hr = gpslib::CreateObject(CLSID_RouteObject, IID_IRouteObject, &m_pRoute);
        if (FAILED(hr)) return hr;
    }
    auto* route = gpslib::ImplOf<CRouteObject>(m_pRoute.Get());
    if (route == nullptr) return E_FAIL;
    route->ClearWaypoints();
    route->SetType(type);
    for (WaypointRecord& record : records)
        route->AppendWaypoint(std::move(record));
    m_parts.follower.SetRoute(m_pRoute.Get());
    MakeRouteEndTheDestination();
    return S_OK;
}

bool RouteBuilder::Reverse() {
    if (!m_pRoute) return false;
    VARIANT_BOOL reversed = 0;
    m_pRoute->ReverseRoute(&reversed);
    if (reversed == 0) return false;
    const Mode mode = m_parts.context.m_eCurrentMode;
    SHORT heading = -1;
    ComPtr<ILocationObject> here = CurrentLocation(mode, &heading);
    ComPtr<IWaypointObject> current;
    if (here)
        m_pRoute->SetCurrentToNextWaypointNearestLocation(WaypointModeSystem, here.Get(),
                                                          current.Put());
    if (m_nRouteExplorationIndex != -1)
        if (const auto& walker = m_parts.walker.Shared())
            walker->Face((walker->heading + 180) % 360);
    MakeRouteEndTheDestination();
    return true;
}

HRESULT RouteBuilder::SetCurrentToNextWaypointNearestLocation(ILocationObject* location,
                                                              IWaypointObject** waypoint) {
    if (!m_pRoute) return S_FALSE;
    m_parts.follower.ClearApproach();
    WaypointMode mode = WaypointModeTurnsOnly;
    if (m_parts.context.m_pUtility != nullptr)
        if (auto settings = m_parts.context.m_pUtility->RouteSettings(GPSMode))
            settings->GetWaypointMode(&mode);
    return m_pRoute->SetCurrentToNextWaypointNearestLocation(mode, location, waypoint);
}

// The destination becomes the route's end, on the side of the street the route arrives on when
// it is known, else on the side the house numbers there tell.
void RouteBuilder::MakeRouteEndTheDestination() {
    m_parts.follower.Reset();
    ComPtr<IWaypointObject> end;
    if (!m_pRoute || m_pRoute->GetRouteEnd(end.Put()) != S_OK) return;
    ComPtr<ILocationObject> at;
    end->GetLocation(at.Put());
    if (!IsValidPlace(at.Get())) return;
    SideOfStreet side = SideUnknown;
    end->GetSideOfStreet(&side);
    if (side == SideUnknown) {
        const geo::Position p = PositionOf(at.Get());
        if (auto detail = m_parts.context.Map().FirstDetail(p.latitude, p.longitude,
                                                            MapWords::kAddress, -1)) {
            const long house =
                std::strtol(gpslib::ToUtf8(detail->houseNumber).c_str(), nullptr, 10);
            const long right = detail->houseNumberRight, left = detail->houseNumberLeft;
            if (house > 0 && right > 0 && house % 2 == right % 2)
                side = RightSide;
            else if (house > 0 && left > 0 && house % 2 == left % 2)
                side = LeftSide;
        }
    }
    m_parts.destination.Set(PlaceAt(at.Get()), side);
}

// ---------------------------------------------------------------------------------------------
// Making routes.

bool RouteBuilder::CreateAutomatic(Mode mode, IRouteConfigurationObject* configuration) {
    m_parts.context.Log("GPSCore::RouteCreateAutomatic entered");
    ComPtr<ILocationObject> destination = NewLocation(m_parts.destination.Where());
    if (mode == VirtualMode && m_pRoute && IsValidPlace(destination.Get())) {
        SHORT heading = -1;
        ComPtr<ILocationObject> here = CurrentLocation(VirtualMode, &heading);
        if (geo::IsSamePoint(PositionOf(here.Get()), PositionOf(destination.Get()))) {
            ComPtr<IWaypointObject> beginning;
            const auto& walker = m_parts.walker.Shared();
            if (walker && m_pRoute->GetRouteBeginning(beginning.Put()) == S_OK) {
                ComPtr<ILocationObject> at;
                beginning->GetLocation(at.Put());
                if (auto place = PlaceOf(at.Get())) walker->place = *place;
                auto* route = gpslib::ImplOf<CRouteObject>(m_pRoute.Get());
                walker->Face(Read(route != nullptr ? route->Configuration() : nullptr,
                                  &IRouteConfigurationObject::GetInitialHeading, SHORT{-1}));
            }
        }
    }
    const bool created = Dispatch(mode, configuration, destination.Get());
    m_parts.context.Log("GPSCore::RouteCreateAutomatic exited");
    return created;
}

bool RouteBuilder::Dispatch(Mode mode, IRouteConfigurationObject* configuration,
                            ILocationObject* destination) {
    const RouteType type =
        Read(configuration, &IRouteConfigurationObject::GetRouteType, RouteTypeUnknown);
    if (mode == GPSMode && type == RouteTypeFromVirtualExploration) return false;
    SHORT heading = -1;
    ComPtr<ILocationObject> start = CurrentLocation(mode, &heading);
    SHORT initial = Read(configuration, &IRouteConfigurationObject::GetInitialHeading, SHORT{-1});
    if (initial == -1) initial = heading;
    WaypointMode waypointMode =
        Read(configuration, &IRouteConfigurationObject::GetWaypointMode, WaypointModeTurnsOnly);
    if (waypointMode == WaypointModeSystem) waypointMode = SettingsWaypointMode(mode);
    return CreateInternal(waypointMode, configuration, start.Get(), initial, destination);
}

bool RouteBuilder::Recalculate(Mode mode) {
    auto* route = gpslib::ImplOf<CRouteObject>(m_pRoute.Get());
    if (route == nullptr || route->Type() == RouteTypeFromVirtualExploration) return false;
    ComPtr<IRouteConfigurationObject> configuration;
    if (FAILED(m_pRoute->GetRouteConfiguration(configuration.Put()))) return false;
    configuration->SetInitialHeading(-1);
    ComPtr<IWaypointObject> end;
    if (m_pRoute->GetRouteEnd(end.Put()) != S_OK) return false;
    ComPtr<ILocationObject> destination;
    end->GetLocation(destination.Put());
    return Dispatch(mode, configuration.Get(), destination.Get());
}

bool RouteBuilder::RecalculateOriginal() {
    auto* route = gpslib::ImplOf<CRouteObject>(m_pRoute.Get());
    if (route == nullptr) return false;
    ComPtr<IRouteConfigurationObject> configuration;
    if (FAILED(m_pRoute->GetRouteConfiguration(configuration.Put()))) return false;
    const SHORT heading =
        Read(configuration.Get(), &IRouteConfigurationObject::GetInitialHeading, SHORT{-1});
    WaypointMode waypointMode = Read(
        configuration.Get(), &IRouteConfigurationObject::GetWaypointMode, WaypointModeTurnsOnly);
    if (waypointMode == WaypointModeSystem)
        waypointMode = SettingsWaypointMode(m_parts.context.m_eCurrentMode);
    ComPtr<IWaypointObject> beginning, end;
    if (m_pRoute->GetRouteBeginning(beginning.Put()) != S_OK ||
        m_pRoute->GetRouteEnd(end.Put()) != S_OK)
        return false;
    ComPtr<ILocationObject> from, to;
    beginning->GetLocation(from.Put());
    end->GetLocation(to.Put());
    return CreateInternal(waypointMode, configuration.Get(), from.Get(), heading, to.Get());
}

bool RouteBuilder::CreateInternal(WaypointMode waypointMode,
                                  IRouteConfigurationObject* configuration, ILocationObject* start,
                                  SHORT initialHeading, ILocationObject* destination) {
    ServiceContext& context = m_parts.context;
    context.Log(std::string(kInternal) + " entered");
    const RouteType type =
        Read(configuration, &IRouteConfigurationObject::GetRouteType, RouteTypeUnknown);
    if (type == RouteTypeCreateFromSimulation) return CreateFromSimulation(configuration);
    if (!IsValidPlace(start)) {
        context.Log("  ****WARNING****GPSCore::RouteCreateAutomaticInternal exiting start "
                    "location invalid");
        return false;
    }
    if (type == RouteTypeFromVirtualExploration) {
        // Recording virtual movement: the route grows as the walker moves.
        Close();
        context.Map().ClearRoute();
        WaypointRecord first;
        const geo::Position p = PositionOf(start);
        first.latitude = p.latitude;
        first.longitude = p.longitude;
        std::vector<WaypointRecord> records;
        records.push_back(std::move(first));
        const SHORT heading = m_parts.walker.Heading();
        records.back().streetOrientationForward = heading;
        records.back().streetOrientationReverse = static_cast<SHORT>((heading + 180) % 360);
        Install(std::move(records), configuration, type, waypointMode, heading);
        m_bRecording = true;
        return true;
    }
    if (!IsValidPlace(destination)) {
        context.Log("  ****WARNING****GPSCore::RouteCreateAutomaticInternal exiting destination "
                    "invalid");
        return false;
    }
    if (type == RouteTypeUnknown) {
        context.Log(
            "  ****WARNING****GPSCore::RouteCreateAutomaticInternal exiting RouteTypeUnknown");
        return false;
    }
    if (type == RouteTypeManual) {
        context.Log(
            "  ****WARNING****GPSCore::RouteCreateAutomaticInternal exiting RouteTypeManual");
        return false;
    }
    const MapQueries map = context.Map();
    if (!map.HasEngine()) {
        context.Log("  ****WARNING****GPSCore::RouteCreateAutomaticInternal Route Not Found (1)");
        return false;
    }
    m_bRouteCreationInProgress = true;
    const geo::Position from = PositionOf(start);
    const geo::Position to = PositionOf(destination);
    const std::u16string endName = NameOf(destination);
    const std::u16string endDescription = DescriptionOf(destination);
    VARIANT_BOOL detailed = 0;
    if (auto settings = context.SystemSettings()) settings->GetStreetNamesDetailed(&detailed);
    const MapWords words = detailed ? MapWords::kStreetDetailed : MapWords::kNone;
    map.SetRouteInitialHeading(initialHeading);
    map.SetRouteWaypointMode(waypointMode);
    using C = IRouteConfigurationObject;
    RoutePreferences preferences;
    preferences.freeway = Read(configuration, &C::GetRouteFreewayPreference, RouteFreewayNormal);
    preferences.vehicleTurn =
        Read(configuration, &C::GetRouteTurnPreferenceVehicle, RouteTurnVehicleFavorsRight);
    preferences.pedestrianTurn =
        Read(configuration, &C::GetRouteTurnPreferencePedestrian, RouteTurnPedestrianAutomatic);
    preferences.roundabout =
        Read(configuration, &C::GetRouteRoundaboutPreference, RouteRoundaboutNormal);
    preferences.toll = Read(configuration, &C::GetRouteTollRoadPreference, RouteTollRoadNormal);
    preferences.vehicleMode = Read(configuration, &C::GetRouteVehicleMode, RouteVehicleModeFastest);
    // A walk recorded from a trace is recalculated as a walk.
    const bool walking = type == RouteTypePedestrian || type == RouteTypePedestrianFromSimulation;
    context.Log(std::string(kInternal) + (walking ? " FindWalkingRoute" : " FindDrivingRoute"));
    const EngineRoute route =
        map.FindRoute(walking, from.latitude, from.longitude, to.latitude, to.longitude, endName,
                      endDescription, words, preferences);
    std::vector<WaypointRecord> records;
    bool optimized = false;
    const bool found = ReadRoutePoints(route, endName, endDescription, &records, &optimized);
    if (!found) {
        m_bRouteCreationInProgress = false;
        return false;
    }
    context.Log(std::string(kInternal) + " Route Created");
    Install(std::move(records), configuration, type, waypointMode, initialHeading);
    m_bRouteOptimized = optimized;
    context.Log(std::string(kInternal) + " Route Set");
    NameUnnamedStreets();
    context.Log(std::string(kInternal) + " Route Updated");
    ComPtr<IWaypointObject> first;
    if (m_pRoute->GetWaypoint(1, first.Put()) == S_OK) m_pRoute->SetCurrentWaypoint(first.Get());
    MakeRouteEndTheDestination();
    m_nRouteExplorationIndex = -1;
    m_bRouteCreationInProgress = false;
    context.Log(std::string(kInternal) + " exiting");
    return true;
}

bool RouteBuilder::ReadRoutePoints(const EngineRoute& route, const std::u16string& endName,
                                   const std::u16string& endDescription,
                                   std::vector<WaypointRecord>* out, bool* optimized) {
    ServiceContext& context = m_parts.context;
    switch (route.problem) {
    case RouteProblem::kNone:
        break;
    case RouteProblem::kNotFound:
        context.Log("  ****WARNING****GPSCore::RouteCreateAutomaticInternal Route Not Found (1)");
        return false;
    case RouteProblem::kTooShort:
        context.Log("  ****WARNING****GPSCore::RouteCreateAutomaticInternal Route Not Found (2)");
        return false;
    case RouteProblem::kBadPoint: {
        context.Log(std::string(kInternal) + " Route Found");
        char line[160];
        std::snprintf(line, sizeof line,
                      "  ****ERROR****GPSCore::RouteCreateAutomaticInternal Error along Route "
                      "(%d): %ld of %ld",
                      route.badPointKind, route.badPoint, route.lastIndex);
        context.Log(line);
        return false;
    }
    }
    context.Log(std::string(kInternal) + " Route Found");
    for (std::size_t i = 0; i < route.points.size(); ++i) {
        WaypointRecord r = WaypointFromRoutePoint(route.points[i]);
        const bool last = i + 1 == route.points.size();
        if (last) r.name = endName;
        if (last && !endDescription.empty()) r.description = endDescription;
        // After a turn the traveller heads along the street taken.
        r.turnCompleteHeading = r.turningPoint ? r.streetOrientationForward : SHORT{-1};
        if (r.featureIndex != -1) *optimized = true;
        out->push_back(std::move(r));
    }
    return true;
}

void RouteBuilder::Install(std::vector<WaypointRecord> records,
                           IRouteConfigurationObject* configuration, RouteType type,
                           WaypointMode waypointMode, SHORT initialHeading) {
    Close();
    ComPtr<IRouteObject> route;
    if (FAILED(gpslib::CreateObject(CLSID_RouteObject, IID_IRouteObject, &route))) return;
    auto* impl = gpslib::ImplOf<CRouteObject>(route.Get());
    if (impl == nullptr) return;
    for (WaypointRecord& record : records)
        impl->AppendWaypoint(std::move(record));
    if (IRouteConfigurationObject* own = impl->Configuration()) {
        if (configuration != nullptr) CopyRouteConfiguration(configuration, own);
        own->SetRouteType(type);
        own->SetWaypointMode(waypointMode);
        own->SetInitialHeading(initialHeading);
    }
    route->SetType(type);
    m_pRoute = route;
    m_parts.follower.SetRoute(m_pRoute.Get());
}

bool RouteBuilder::IsUnnamed(const std::u16string& name) const {
    return name.empty() || name == m_parts.context.String(ids::kUnnamedRoad) ||
           name == m_parts.context.String(ids::kUnnamedPath);
}

// "Unnamed road near Main Street": the street's own unnamed word joined with the nearest
// named street the route knows there: the cross street of the waypoint, else the named street
// of a neighbouring waypoint, else a named street the map finds at the waypoint.
std::u16string RouteBuilder::ComposedName(int index) const {
    const auto& waypoints = gpslib::ImplOf<CRouteObject>(m_pRoute.Get())->Waypoints();
    const WaypointRecord& w = waypoints[index - 1];
    const std::u16string base = w.streetNameForward.empty()
                                    ? m_parts.context.String(ids::kUnnamedRoad)
                                    : w.streetNameForward;
    std::u16string near;
    if (!IsUnnamed(w.crossStreet)) near = w.crossStreet;
    for (int d = 1; near.empty() && d < 3; ++d)
        for (int j : {index - d, index + d})
            if (near.empty() && j >= 1 && j <= static_cast<int>(waypoints.size()) &&
                !IsUnnamed(waypoints[j - 1].streetNameForward) &&
                waypoints[j - 1].streetNameForward.find(m_parts.context.String(ids::kNearJoiner)) ==
                    std::u16string::npos)
                near = waypoints[j - 1].streetNameForward;
    if (near.empty()) {
        const auto details =
            m_parts.context.Map().Details(w.latitude, w.longitude, MapWords::kStreetRaw, -1, 5);
        for (const LocationDetail& detail : details.value_or(std::vector<LocationDetail>{}))
            if (near.empty() && !IsUnnamed(detail.streetNameShort)) near = detail.streetNameShort;
    }
    if (near.empty()) return base;
    return base + m_parts.context.String(ids::kNearJoiner) + near;
}

void RouteBuilder::NameUnnamedStreets() {
    auto* route = gpslib::ImplOf<CRouteObject>(m_pRoute.Get());
    if (route == nullptr) return;
    const int count = static_cast<int>(route->Waypoints().size());
    for (int i = 1; i <= count; ++i) {
        const WaypointRecord& w = route->Waypoints()[i - 1];
        const bool nameUnnamed = IsUnnamed(w.name);
        const bool streetUnnamed = IsUnnamed(w.streetNameForward);
        if (!nameUnnamed && !streetUnnamed) continue;
        ComPtr<IWaypointObject> waypoint;
        if (route->Waypoint(i, waypoint.Put()) != S_OK) continue;
        const std::u16string composed = ComposedName(i);
        if (nameUnnamed)
            waypoint->SetWaypointName(
                Bstr(streetUnnamed ? composed : std::u16string(w.streetNameForward)).Get());
        if (streetUnnamed) waypoint->SetStreetNameForward(Bstr(composed).Get());
        m_pRoute->UpdateWaypointInRoute(waypoint.Get());
    }
}

// A waypoint where the trace starts, where its heading turns by 55 degrees or more from the
// last waypoint's (the reference heading following gentle bends along one street), and where
// it ends.
bool RouteBuilder::CreateFromSimulation(IRouteConfigurationObject* configuration) {
    ServiceContext& context = m_parts.context;
    context.Log("  GPSCore::RouteCreateFromSimulation entered");
    Bstr file;
    if (configuration != nullptr) configuration->GetSimulationFileToUse(file.Put());
    const std::string path = gpslib::os::NativePath(file.Utf8());
    if (file.View().empty() || !context.Env().FileExists(path)) {
        context.Log("      Simulation file doesn't exist");
        return false;
    }
    std::string data;
    if (!context.Env().ReadFile(path, &data).ok()) {
        context.Log("      Simulation doesn't open");
        return false;
    }
    Close();
    context.Map().ClearRoute();
    TraceReader trace;
    nmea::Assembly assembly;
    nmea::ProcessNmeaBuffer(data.data(), data.size(), assembly, trace);

    std::vector<WaypointRecord> records;
    double fastest = 0.0;
    int reference = -1;
    std::u16string referenceStreet;
    const std::size_t n = trace.fixes.size();
    for (std::size_t i = 0; i < n; ++i) {
        const TraceReader::Fix& f = trace.fixes[i];
        fastest = std::max(fastest, f.knots);
        const int course = geo::WholeDegrees(f.course);
        const std::u16string street = context.Map().StreetAt(
            f.latitude, f.longitude, static_cast<SHORT>(course), MapWords::kStreetExpanded);
        const bool first = i == 0, last = i + 1 == n;
        const bool turned = reference != -1 && !geo::HeadingsWithin(course, reference, 55);
        if (!first && !last && !turned) {
            // Along one street the reference follows gentle bends.
            if (street == referenceStreet && geo::HeadingsWithin(course, reference, 20))
                reference = course;
            continue;
        }
        WaypointRecord r;
        r.latitude = f.latitude;
        r.longitude = f.longitude;
        r.streetNameForward = street;
        r.name = street;
        r.turningPoint = turned && !last;
        r.streetOrientationForward = static_cast<SHORT>(course);
        r.streetOrientationReverse =
            static_cast<SHORT>((reference == -1 ? course + 180 : reference + 180) % 360);
        r.turnCompleteHeading = r.turningPoint ? r.streetOrientationForward : SHORT{-1};
        if (!records.empty()) {
            const WaypointRecord& p = records.back();
            r.distanceFromLastWaypoint =
                geo::Distance({p.latitude, p.longitude}, {r.latitude, r.longitude});
        }
        records.push_back(std::move(r));
        reference = course;
        referenceStreet = street;
    }
    if (records.empty()) {
        context.Log("  GPSCore::RouteCreateFromSimulation / RouteCreateAutomaticInternal exiting");
        return false;
    }
    // Faster than a brisk run (about 8 knots) is a drive.
    const RouteType type =
        fastest > 8.0 ? RouteTypeVehicleFromSimulation : RouteTypePedestrianFromSimulation;
    Install(std::move(records), configuration, type, WaypointModeAll, -1);
    context.Log("  GPSCore::RouteCreateFromSimulation Route Set");
    NameUnnamedStreets();
    ComPtr<IWaypointObject> first;
    if (m_pRoute->GetWaypoint(1, first.Put()) == S_OK) m_pRoute->SetCurrentWaypoint(first.Get());
    MakeRouteEndTheDestination();
    m_nRouteExplorationIndex = -1;
    context.Log("  GPSCore::RouteCreateFromSimulation / RouteCreateAutomaticInternal exiting");
    return true;
}

// The walker turns at a waypoint: turning on the spot or setting off in a new direction (45
// degrees or more from the way it left) makes the last waypoint a turn onto the new heading.
void RouteBuilder::RecordVirtualMove(ILocationObject* location, SHORT heading) {
    auto* route = gpslib::ImplOf<CRouteObject>(m_pRoute.Get());
    if (!Recording() || route == nullptr || !IsValidPlace(location)) return;
    const geo::Position p = PositionOf(location);
    const int count = static_cast<int>(route->Waypoints().size());
    if (count > 0) {
        const WaypointRecord& last = route->Waypoints().back();
        const bool turned = heading != -1 && last.streetOrientationForward != -1 &&
                            !geo::HeadingsWithin(heading, last.streetOrientationForward, 45);
        if (turned) {
            ComPtr<IWaypointObject> waypoint;
            if (route->Waypoint(count, waypoint.Put()) == S_OK) {
                waypoint->SetIsTurningPoint(VARIANT_TRUE);
                waypoint->SetStreetOrientationForward(heading);
                waypoint->SetTurnCompleteHeadingDegrees(heading);
                m_pRoute->UpdateWaypointInRoute(waypoint.Get());
            }
        }
        if (geo::IsSamePoint({last.latitude, last.longitude}, p)) return;
    }
    WaypointRecord r;
    r.latitude = p.latitude;
    r.longitude = p.longitude;
    r.streetOrientationForward = heading;
    r.streetOrientationReverse =
        heading == -1 ? SHORT{-1} : static_cast<SHORT>((heading + 180) % 360);
    if (count > 0) {
        const WaypointRecord& last = route->Waypoints().back();
        r.distanceFromLastWaypoint =
            geo::Distance({last.latitude, last.longitude}, {p.latitude, p.longitude});
    }
    if (const MapQueries map = m_parts.context.Map(); map.HasEngine()) {
        r.streetNameForward =
            map.StreetAt(p.latitude, p.longitude, heading, MapWords::kStreetExpanded);
        r.name = r.streetNameForward;
    }
    route->AppendWaypoint(std::move(r));
}

// ---------------------------------------------------------------------------------------------
// Position answers and settings.

SHORT RouteBuilder::PercentComplete(Mode mode) const {
    if (!m_pRoute) return 0;
    SHORT heading = -1, percent = 0;
    ComPtr<ILocationObject> here = CurrentLocation(mode, &heading);
    if (here) m_pRoute->PercentComplete(here.Get(), &percent);
    return percent;
}

std::u16string RouteBuilder::ETA(Mode mode, IWaypointObject* waypoint) const {
    if (!m_pRoute) return m_parts.context.String(ids::kNoRoute);
    SHORT heading = -1;
    ComPtr<ILocationObject> here = CurrentLocation(mode, &heading);
    if (!here) here = NewPlace(0.0, 0.0, u"", u"");
    const double speed = mode == VirtualMode ? 0.0 : m_parts.receiver.State().SpeedMph();
    Bstr eta;
    m_pRoute->GetETA(here.Get(), waypoint, speed, eta.Put());
    return TextOf(eta);
}

std::u16string
RouteBuilder::WaypointDescription(IWaypointObject* waypoint,
                                  IWaypointConfigurationObject* configuration) const {
    if (!m_pRoute) return m_parts.context.String(ids::kNoRoute);
    Mode mode = GPSMode;
    configuration->GetMode(&mode);
    SHORT heading = -1;
    ComPtr<ILocationObject> here = CurrentLocation(mode, &heading);
    Bstr text;
    m_pRoute->GetWaypointDescription(here.Get(), waypoint, configuration, text.Put());
    return TextOf(text);
}

HRESULT RouteBuilder::GetSettings(Mode mode, IRouteSettingsObject** settings) const {
    ComPtr<IRouteSettingsObject> copy;
    HRESULT hr = gpslib::CreateObject(CLSID_RouteSettingsObject, IID_IRouteSettingsObject, &copy);
    if (FAILED(hr)) return hr;
    if (m_parts.context.m_pUtility != nullptr)
        CopyRouteSettings(
            m_parts.context.m_pUtility->RouteSettings(mode == VirtualMode ? VirtualMode : GPSMode)
                .Get(),
            copy.Get());
    *settings = copy.Detach();
    return S_OK;
}

HRESULT RouteBuilder::SetSettings(Mode mode, IRouteSettingsObject* settings) {
    Utility* utility = m_parts.context.m_pUtility.get();
    if (utility == nullptr) return E_FAIL;
    ComPtr<IRouteSettingsObject> copy;
    HRESULT hr = gpslib::CreateObject(CLSID_RouteSettingsObject, IID_IRouteSettingsObject, &copy);
    if (FAILED(hr)) return hr;
    hr = CopyRouteSettings(settings, copy.Get());
    if (FAILED(hr)) return hr;
    utility->SetRouteSettings(mode == VirtualMode ? VirtualMode : GPSMode, copy);
    settings::WriteRouteSettings(m_parts.context.Env(), utility->SettingsDirectory(),
                                 utility->RouteSettings(GPSMode).Get(),
                                 utility->RouteSettings(VirtualMode).Get());
    return S_OK;
}

} // namespace gpscore
