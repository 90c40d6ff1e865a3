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
#include "route/RouteFollower.h"
#include "route/RouteGeometry.h"

namespace gpscore {

using gpslib::ComPtr;

namespace {

constexpr const char* kInternal = "  GPSCore::RouteCreateAutomaticInternal";

// A place that says it holds a position.
bool IsValid(const std::optional<Place>& place) {
    return place && place->HasPosition();
}

geo::Position PositionOf(const std::optional<Place>& place) {
    return IsValid(place) ? geo::Position{place->latitude, place->longitude} : geo::Position{};
}

// The place of waypoint `index` of a route.
Place PlaceOfWaypoint(const RouteModel& route, int index) {
    const WaypointRecord& w = route.At(index);
    return Place{w.latitude, w.longitude, w.name, w.description};
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

std::optional<Place> RouteBuilder::CurrentLocation(Mode mode, int* heading) const {
    *heading = -1;
    if (mode == VirtualMode) {
        *heading = m_parts.walker.Heading();
        return m_parts.walker.Where();
    }
    IGPSObject* gps = m_parts.receiver.Record();
    if (gps == nullptr) return std::nullopt;
    ComPtr<ILocationObject> location;
    SHORT degrees = -1;
    gps->GetLocation(location.Put());
    gps->GetHeadingDegrees(&degrees);
    *heading = degrees;
    return PlaceOf(location.Get());
}

double RouteBuilder::Speed(Mode mode) const {
    return mode == VirtualMode ? 0.0 : m_parts.receiver.State().SpeedMph();
}

WaypointMode RouteBuilder::SettingsWaypointMode(Mode mode) const {
    WaypointMode waypointMode = WaypointModeTurnsOnly;
    if (auto settings = m_parts.context.RouteSettings(mode == VirtualMode ? VirtualMode : GPSMode))
        waypointMode = settings->waypointMode;
    return waypointMode == WaypointModeSystem ? WaypointModeTurnsOnly : waypointMode;
}

void RouteBuilder::Release() {
    m_parts.context.Map().ClearRoute();
    m_parts.follower.SetRoute(nullptr);
    m_route.reset();
    m_bRouteOptimized = false;
    m_nRouteExplorationIndex = -1;
    m_bRecording = false;
}

void RouteBuilder::Close() {
    if (m_route) Release();
}

void RouteBuilder::Set(std::vector<WaypointRecord> records, RouteType type) {
    if (!m_route) m_route = std::make_shared<RouteModel>();
    m_route->Clear();
    m_route->SetType(type);
    for (WaypointRecord& record : records)
        m_route->Append(std::move(record));
    m_parts.follower.SetRoute(m_route);
    MakeRouteEndTheDestination();
}

bool RouteBuilder::Reverse() {
    if (!m_route || !m_route->Reverse()) return false;
    int heading = -1;
    const std::optional<Place> here = CurrentLocation(m_parts.context.m_eCurrentMode, &heading);
    if (here)
        m_route->currentIndex = static_cast<std::int16_t>(
            m_route->NextIndexNearest(WaypointModeSystem, PositionOf(here)));
    if (m_nRouteExplorationIndex != -1)
        if (const auto& walker = m_parts.walker.Shared())
            walker->Face((walker->heading + 180) % 360);
    MakeRouteEndTheDestination();
    return true;
}

std::optional<int> RouteBuilder::SetCurrentToNextWaypointNearestLocation(const Place& location) {
    if (!m_route) return std::nullopt;
    m_parts.follower.ClearApproach();
    WaypointMode mode = WaypointModeTurnsOnly;
    if (auto settings = m_parts.context.RouteSettings(GPSMode)) mode = settings->waypointMode;
    m_route->currentIndex =
        static_cast<std::int16_t>(m_route->NextIndexNearest(mode, PositionOf(location)));
    return m_route->currentIndex;
}

// The destination becomes the route's end, on the side of the street the route arrives on when
// it is known, else on the side the house numbers there tell.
void RouteBuilder::MakeRouteEndTheDestination() {
    m_parts.follower.Reset();
    if (!m_route || !m_route->IsValidIndex(m_route->EndIndex())) return;
    const Place at = PlaceOfWaypoint(*m_route, m_route->EndIndex());
    if (!at.HasPosition()) return;
    SideOfStreet side = m_route->At(m_route->EndIndex()).sideOfStreet;
    if (side == SideUnknown) {
        const geo::Position p{at.latitude, at.longitude};
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
    m_parts.destination.Set(at, side);
}

// ---------------------------------------------------------------------------------------------
// Making routes.

bool RouteBuilder::CreateAutomatic(Mode mode, const RouteConfiguration& configuration) {
    m_parts.context.Log("GPSCore::RouteCreateAutomatic entered");
    const std::optional<Place> destination = m_parts.destination.Where();
    if (mode == VirtualMode && m_route && IsValid(destination)) {
        int heading = -1;
        const std::optional<Place> here = CurrentLocation(VirtualMode, &heading);
        if (geo::IsSamePoint(PositionOf(here), PositionOf(destination))) {
            const auto& walker = m_parts.walker.Shared();
            if (walker && m_route->IsValidIndex(m_route->BeginningIndex())) {
                walker->place = PlaceOfWaypoint(*m_route, m_route->BeginningIndex());
                walker->Face(m_route->configuration.initialHeading);
            }
        }
    }
    const bool created = Dispatch(mode, configuration, destination);
    m_parts.context.Log("GPSCore::RouteCreateAutomatic exited");
    return created;
}

bool RouteBuilder::Dispatch(Mode mode, const RouteConfiguration& configuration,
                            const std::optional<Place>& destination) {
    if (mode == GPSMode && configuration.type == RouteTypeFromVirtualExploration) return false;
    int heading = -1;
    const std::optional<Place> start = CurrentLocation(mode, &heading);
    int initial = configuration.initialHeading;
    if (initial == -1) initial = heading;
    WaypointMode waypointMode = configuration.waypointMode;
    if (waypointMode == WaypointModeSystem) waypointMode = SettingsWaypointMode(mode);
    return CreateInternal(waypointMode, configuration, start, initial, destination);
}

bool RouteBuilder::Recalculate(Mode mode) {
    if (!m_route || m_route->Type() == RouteTypeFromVirtualExploration) return false;
    RouteConfiguration configuration = m_route->configuration;
    configuration.initialHeading = -1;
    if (!m_route->IsValidIndex(m_route->EndIndex())) return false;
    return Dispatch(mode, configuration, PlaceOfWaypoint(*m_route, m_route->EndIndex()));
}

bool RouteBuilder::RecalculateOriginal() {
    if (!m_route) return false;
    const RouteConfiguration configuration = m_route->configuration;
    WaypointMode waypointMode = configuration.waypointMode;
    if (waypointMode == WaypointModeSystem)
        waypointMode = SettingsWaypointMode(m_parts.context.m_eCurrentMode);
    const int beginning = m_route->BeginningIndex(), end = m_route->EndIndex();
    if (!m_route->IsValidIndex(beginning) || !m_route->IsValidIndex(end)) return false;
    return CreateInternal(waypointMode, configuration, PlaceOfWaypoint(*m_route, beginning),
                          configuration.initialHeading, PlaceOfWaypoint(*m_route, end));
}

bool RouteBuilder::CreateInternal(WaypointMode waypointMode,
                                  const RouteConfiguration& configuration,
                                  const std::optional<Place>& start, int initialHeading,
                                  const std::optional<Place>& destination) {
    ServiceContext& context = m_parts.context;
    context.Log(std::string(kInternal) + " entered");
    const RouteType type = configuration.type;
    if (type == RouteTypeCreateFromSimulation) return CreateFromSimulation(configuration);
    if (!IsValid(start)) {
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
        const int heading = m_parts.walker.Heading();
        records.back().streetOrientationForward = static_cast<std::int16_t>(heading);
        records.back().streetOrientationReverse = static_cast<SHORT>((heading + 180) % 360);
        Install(std::move(records), configuration, type, waypointMode, heading);
        m_bRecording = true;
        return true;
    }
    if (!IsValid(destination)) {
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
    const std::u16string endName = destination->name;
    const std::u16string endDescription = destination->description;
    VARIANT_BOOL detailed = 0;
    if (auto settings = context.SystemSettings()) detailed = settings->streetNamesDetailed;
    const MapWords words = detailed ? MapWords::kStreetDetailed : MapWords::kNone;
    map.SetRouteInitialHeading(static_cast<short>(initialHeading));
    map.SetRouteWaypointMode(waypointMode);
    const RoutePreferences& preferences = configuration.preferences;
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
    if (m_route->IsValidIndex(1)) m_route->currentIndex = 1;
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

void RouteBuilder::Install(std::vector<WaypointRecord> records, RouteConfiguration configuration,
                           RouteType type, WaypointMode waypointMode, int initialHeading) {
    Close();
    auto route = std::make_shared<RouteModel>();
    for (WaypointRecord& record : records)
        route->Append(std::move(record));
    configuration.waypointMode = waypointMode;
    configuration.initialHeading = static_cast<std::int16_t>(initialHeading);
    route->configuration = std::move(configuration);
    route->SetType(type);
    m_route = std::move(route);
    m_parts.follower.SetRoute(m_route);
}

bool RouteBuilder::IsUnnamed(const std::u16string& name) const {
    return name.empty() || name == m_parts.context.String(ids::kUnnamedRoad) ||
           name == m_parts.context.String(ids::kUnnamedPath);
}

// "Unnamed road near Main Street": the street's own unnamed word joined with the nearest
// named street the route knows there: the cross street of the waypoint, else the named street
// of a neighbouring waypoint, else a named street the map finds at the waypoint.
std::u16string RouteBuilder::ComposedName(int index) const {
    const auto& waypoints = m_route->waypoints;
    const WaypointRecord& w = waypoints[index - 1];
    std::u16string base = w.streetNameForward.empty() ? m_parts.context.String(ids::kUnnamedRoad)
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
    if (!m_route) return;
    for (int i = 1; i <= m_route->Count(); ++i) {
        const WaypointRecord& w = m_route->At(i);
        const bool nameUnnamed = IsUnnamed(w.name);
        const bool streetUnnamed = IsUnnamed(w.streetNameForward);
        if (!nameUnnamed && !streetUnnamed) continue;
        const std::u16string composed = ComposedName(i);
        WaypointRecord named = w;
        if (nameUnnamed) named.name = streetUnnamed ? composed : w.streetNameForward;
        if (streetUnnamed) named.streetNameForward = composed;
        m_route->waypoints[i - 1] = std::move(named);
        m_route->needsSaving = true;
    }
}

// A waypoint where the trace starts, where its heading turns by 55 degrees or more from the
// last waypoint's (the reference heading following gentle bends along one street), and where
// it ends.
bool RouteBuilder::CreateFromSimulation(const RouteConfiguration& configuration) {
    ServiceContext& context = m_parts.context;
    context.Log("  GPSCore::RouteCreateFromSimulation entered");
    const std::u16string& file = configuration.simulationFile;
    const std::string path = gpslib::os::NativePath(gpslib::ToUtf8(file));
    if (file.empty() || !context.Env().FileExists(path)) {
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
    if (m_route->IsValidIndex(1)) m_route->currentIndex = 1;
    MakeRouteEndTheDestination();
    m_nRouteExplorationIndex = -1;
    context.Log("  GPSCore::RouteCreateFromSimulation / RouteCreateAutomaticInternal exiting");
    return true;
}

// The walker turns at a waypoint: turning on the spot or setting off in a new direction (45
// degrees or more from the way it left) makes the last waypoint a turn onto the new heading.
void RouteBuilder::RecordVirtualMove(const std::optional<Place>& location, int heading) {
    if (!Recording() || !IsValid(location)) return;
    RouteModel& route = *m_route;
    const geo::Position p = PositionOf(location);
    const int count = route.Count();
    if (count > 0) {
        WaypointRecord& last = route.waypoints.back();
        const bool turned = heading != -1 && last.streetOrientationForward != -1 &&
                            !geo::HeadingsWithin(heading, last.streetOrientationForward, 45);
        if (turned) {
            last.turningPoint = true;
            last.streetOrientationForward = static_cast<std::int16_t>(heading);
            last.turnCompleteHeading = static_cast<std::int16_t>(heading);
            route.needsSaving = true;
        }
        if (geo::IsSamePoint({last.latitude, last.longitude}, p)) return;
    }
    WaypointRecord r;
    r.latitude = p.latitude;
    r.longitude = p.longitude;
    r.streetOrientationForward = static_cast<std::int16_t>(heading);
    r.streetOrientationReverse =
        heading == -1 ? SHORT{-1} : static_cast<SHORT>((heading + 180) % 360);
    if (count > 0) {
        const WaypointRecord& last = route.waypoints.back();
        r.distanceFromLastWaypoint =
            geo::Distance({last.latitude, last.longitude}, {p.latitude, p.longitude});
    }
    if (const MapQueries map = m_parts.context.Map(); map.HasEngine()) {
        r.streetNameForward = map.StreetAt(p.latitude, p.longitude, static_cast<short>(heading),
                                           MapWords::kStreetExpanded);
        r.name = r.streetNameForward;
    }
    route.Append(std::move(r));
}

// ---------------------------------------------------------------------------------------------
// Position answers and settings.

int RouteBuilder::PercentComplete(Mode mode) const {
    if (!m_route) return 0;
    int heading = -1;
    const std::optional<Place> here = CurrentLocation(mode, &heading);
    if (!here) return 0;
    auto utility = Utility::Instance();
    const bool metric = utility == nullptr || utility->CurrentUnits() == Metric;
    return gpscore::PercentComplete(m_route->waypoints, PositionOf(here), m_route->reversed, -1.0,
                                    metric);
}

} // namespace gpscore
