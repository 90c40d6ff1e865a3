// Route files and directions: the active route saved to and loaded from its XML file (or GPX
// 1.1, by the file's extension), and its turn-by-turn directions written as plain text. The file
// formats themselves are in formats/RouteFile.h and formats/Gpx.h; this part turns routes into
// them and back.
#include <cmath>
#include <cstdio>
#include <tuple>
#include <type_traits>
#include <utility>

#include "base/LocationObject.h"
#include "base/ServiceContext.h"
#include "base/Utility.h"
#include "formats/Geodesy.h"
#include "formats/Gpx.h"
#include "formats/RouteFile.h"
#include "orientation/Destination.h"
#include "orientation/VirtualWalker.h"
#include "os/codepage.h"
#include "os/env.h"
#include "os/path.h"
#include "resources/StringIds.h"
#include "route/RouteBuilder.h"
#include "route/RouteFollower.h"
#include "route/RouteObject.h"
#include "route/RouteTexts.h"
#include "route/WaypointObject.h"

namespace gpscore {

using gpslib::ComPtr;
using gpslib::os::Utf16ToUtf8;
using gpslib::os::Utf8ToUtf16;

namespace {

constexpr const char* kOwnership =
    "Route saved by the gpslib navigation service. Edit with care: every element is read back.";

// A turn in a GPX route drawn elsewhere: the course changes by this much or more.
constexpr int kGpxTurnDegrees = 45;

bool EndsWithNoCase(std::u16string_view text, std::u16string_view end) {
    if (text.size() < end.size()) return false;
    text = text.substr(text.size() - end.size());
    for (std::size_t i = 0; i < end.size(); ++i) {
        char16_t c = text[i];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != end[i]) return false;
    }
    return true;
}

bool IsGpx(std::u16string_view name) {
    return EndsWithNoCase(name, u".gpx");
}

std::string PathOf(std::u16string_view name) {
    return gpslib::os::NativePath(Utf16ToUtf8(name));
}

// A text as the files keep it: in its stored form, UTF-8.
std::string Stored(const Utility* utility, const std::u16string& text) {
    return Utf16ToUtf8(utility != nullptr ? utility->ForStorage(text) : text);
}

// `to` made from `from`: texts as the file keeps them and back, numbers and enumerations cast
// to the receiving field's type.
template <class To, class From> void Assign(To& to, const From& from, const Utility* utility) {
    if constexpr (std::is_same_v<From, std::u16string>)
        to = Stored(utility, from);
    else if constexpr (std::is_same_v<From, std::string>)
        to = Utf8ToUtf16(from);
    else
        to = static_cast<To>(from);
}

// Copies each pair of fields (ours, the file's) from the side that is const to the other, so
// that one list of pairs serves saving and loading.
template <class Pairs> void CopyFields(const Pairs& pairs, const Utility* utility = nullptr) {
    auto copy = [utility](auto& ours, auto& file) {
        if constexpr (std::is_const_v<std::remove_reference_t<decltype(ours)>>)
            Assign(file, ours, utility);
        else
            Assign(ours, file, utility);
    };
    std::apply([&](const auto&... pair) { (copy(std::get<0>(pair), std::get<1>(pair)), ...); },
               pairs);
}

// The route's configuration and the route file's, field by field.
template <class Ours, class File> auto ConfigurationFields(Ours& c, File& f) {
    auto& p = c.preferences;
    return std::make_tuple(
        std::tie(c.type, f.routeType), std::tie(c.waypointMode, f.waypointMode),
        std::tie(c.initialHeading, f.initialHeading), std::tie(p.freeway, f.freewayPreference),
        std::tie(p.vehicleTurn, f.vehicleTurnPreference),
        std::tie(p.pedestrianTurn, f.pedestrianTurnPreference),
        std::tie(p.roundabout, f.roundaboutPreference), std::tie(p.toll, f.tollRoadPreference),
        std::tie(p.vehicleMode, f.vehicleMode));
}

// A waypoint and the route file's, field by field (the kind of point aside: the file numbers
// it).
template <class Ours, class File> auto WaypointFields(Ours& r, File& w) {
    return std::make_tuple(
        std::tie(r.name, w.name), std::tie(r.latitude, w.latitude),
        std::tie(r.longitude, w.longitude), std::tie(r.turningPoint, w.turningPoint),
        std::tie(r.description, w.description), std::tie(r.streetNameForward, w.streetName),
        std::tie(r.numberOfLanes, w.lanes),
        std::tie(r.streetOrientationForward, w.orientationForward),
        std::tie(r.streetOrientationReverse, w.orientationReverse),
        std::tie(r.streetSpeed, w.speed), std::tie(r.distanceFromLastWaypoint, w.distance),
        std::tie(r.featureIndex, w.featureIndex), std::tie(r.crossStreet, w.crossStreet),
        std::tie(r.sideOfStreet, w.sideOfStreet));
}

// The route's configuration as the route file stores it, and back.
gpslib::routefile::Configuration ToFile(const RouteConfiguration& c) {
    gpslib::routefile::Configuration f;
    CopyFields(ConfigurationFields(c, f));
    return f;
}

RouteConfiguration FromFile(const gpslib::routefile::Configuration& f) {
    RouteConfiguration c;
    CopyFields(ConfigurationFields(c, f));
    return c;
}

gpslib::routefile::Route ToFile(const RouteModel& route, const Utility* utility) {
    gpslib::routefile::Route file;
    file.configuration = ToFile(route.configuration);
    file.waypoints.reserve(route.waypoints.size());
    for (const WaypointRecord& r : route.waypoints) {
        gpslib::routefile::Waypoint w;
        CopyFields(WaypointFields(r, w), utility);
        w.pointType = r.userPoint ? 1 : 0;
        file.waypoints.push_back(std::move(w));
    }
    return file;
}

std::vector<WaypointRecord> FromFile(const gpslib::routefile::Route& file) {
    std::vector<WaypointRecord> records;
    records.reserve(file.waypoints.size());
    for (const gpslib::routefile::Waypoint& w : file.waypoints) {
        WaypointRecord r;
        CopyFields(WaypointFields(r, w));
        r.userPoint = w.pointType == 1;
        // The file keeps no heading after the turn: a routed (or recorded) turn leads along the
        // street taken; a turn placed by hand has none, as when it was made.
        r.turnCompleteHeading =
            r.turningPoint && !r.userPoint ? r.streetOrientationForward : SHORT{-1};
        records.push_back(std::move(r));
    }
    return records;
}

// A GPX route drawn with another tool: its points in order, each left along the course to the
// next one; a point where the course changes by kGpxTurnDegrees or more is a turn.
std::vector<WaypointRecord> FromGpx(const gpslib::gpx::Route& gpx) {
    std::vector<WaypointRecord> records;
    const std::size_t n = gpx.points.size();
    records.reserve(n);
    auto course = [&gpx](std::size_t from, std::size_t to) {
        return static_cast<SHORT>(
            geo::WholeDegrees(geo::Bearing({gpx.points[from].latitude, gpx.points[from].longitude},
                                           {gpx.points[to].latitude, gpx.points[to].longitude})));
    };
    for (std::size_t i = 0; i < n; ++i) {
        const gpslib::gpx::Point& p = gpx.points[i];
        WaypointRecord r;
        r.latitude = p.latitude;
        r.longitude = p.longitude;
        r.name = Utf8ToUtf16(p.name);
        r.description = Utf8ToUtf16(p.description);
        const SHORT in = i > 0 ? course(i - 1, i) : SHORT{-1};
        const SHORT out = i + 1 < n ? course(i, i + 1) : in;
        r.streetOrientationForward = out;
        r.streetOrientationReverse = i > 0       ? course(i, i - 1)
                                     : out == -1 ? SHORT{-1}
                                                 : static_cast<SHORT>((out + 180) % 360);
        if (i > 0)
            r.distanceFromLastWaypoint =
                geo::Distance({gpx.points[i - 1].latitude, gpx.points[i - 1].longitude},
                              {p.latitude, p.longitude});
        r.turningPoint = i > 0 && i + 1 < n && in != -1 && out != -1 &&
                         !geo::HeadingsWithin(in, out, kGpxTurnDegrees);
        r.turnCompleteHeading = r.turningPoint ? out : SHORT{-1};
        records.push_back(std::move(r));
    }
    return records;
}

std::u16string RouteTypeText(const ServiceContext& context, int type) {
    switch (type) {
    case RouteTypePedestrian:
        return context.String(ids::kWalkingRoute);
    case RouteTypeVehicle:
        return context.String(ids::kDrivingRoute);
    case RouteTypeManual:
        return context.String(ids::kManualRoute);
    case RouteTypePedestrianFromSimulation:
        return context.String(ids::kWalkingRouteFromRecording);
    case RouteTypeVehicleFromSimulation:
        return context.String(ids::kDrivingRouteFromRecording);
    case RouteTypeFromVirtualExploration:
        return context.String(ids::kRouteFromVirtualExploration);
    default:
        return context.String(ids::kOtherRoute);
    }
}

// The preference lines of the directions' header.
std::vector<std::u16string> PreferenceLines(const ServiceContext& context,
                                            const gpslib::routefile::Configuration& c) {
    const bool vehicle =
        c.routeType == RouteTypeVehicle || c.routeType == RouteTypeVehicleFromSimulation;
    const bool pedestrian =
        c.routeType == RouteTypePedestrian || c.routeType == RouteTypePedestrianFromSimulation;
    std::vector<std::u16string> lines;
    auto add = [&](int id) { lines.push_back(context.String(id)); };
    if (vehicle) {
        if (c.vehicleMode == RouteVehicleModeShortest)
            add(ids::kShortestRoute);
        else if (c.vehicleMode != RouteVehicleModeMixedPedestrian)
            add(ids::kFastestRoute);
        add(c.vehicleTurnPreference == RouteTurnVehicleFewest       ? ids::kVehicleFewestTurns
            : c.vehicleTurnPreference == RouteTurnVehicleFavorsLeft ? ids::kPrefersLeftTurns
                                                                    : ids::kPrefersRightTurns);
        add(c.freewayPreference == RouteFreewayNone              ? ids::kNoMotorways
            : c.freewayPreference == RouteFreewayPreferred       ? ids::kPrefersMotorways
            : c.freewayPreference == RouteFreewayAvoidIfPossible ? ids::kAvoidsMotorways
                                                                 : ids::kMotorwaysAllowed);
        add(c.tollRoadPreference == RouteTollRoadNone              ? ids::kNoTollRoads
            : c.tollRoadPreference == RouteTollRoadAvoidIfPossible ? ids::kAvoidsTollRoads
                                                                   : ids::kTollRoadsAllowed);
    }
    if (pedestrian)
        add(c.pedestrianTurnPreference == RouteTurnPedestrianFewest
                ? ids::kPedestrianFewestTurns
                : ids::kPedestrianAutomaticTurns);
    if (vehicle || pedestrian)
        add(c.roundaboutPreference == RouteRoundaboutNone              ? ids::kNoRoundabouts
            : c.roundaboutPreference == RouteRoundaboutAvoidIfPossible ? ids::kAvoidsRoundabouts
                                                                       : ids::kRoundaboutsAllowed);
    return lines;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Saving.

bool RouteBuilder::Save(std::u16string_view fileName) {
    ServiceContext& context = m_parts.context;
    const std::shared_ptr<RouteModel> route = m_route;
    if (route == nullptr) {
        context.Log("  GPSCore::RouteSave no route to save");
        return false;
    }
    if (Recording()) {
        // The walker's place ends the recorded route, which becomes the destination.
        RecordVirtualMove(m_parts.walker.Where(), m_parts.walker.Heading());
        MakeRouteEndTheDestination();
        m_bRecording = false;
    }
    const std::u16string name(fileName.empty() ? std::u16string_view(route->fileName) : fileName);
    if (name.empty()) {
        context.Log("  GPSCore::RouteSave no file name");
        return false;
    }
    const std::string path = PathOf(name);
    if (IsGpx(name)) {
        if (!SaveGpx(path)) return false;
    } else {
        const std::string text =
            gpslib::routefile::Write(ToFile(*route, context.m_pUtility.get()), kOwnership,
                                     Utf16ToUtf8(context.String(ids::kVersion)));
        const gpslib::os::Status s = context.Env().WriteFileAtomic(path, text);
        if (!s.ok()) {
            context.Log("  GPSCore::RouteSave unable to write the file: " + s.ToString());
            return false;
        }
    }
    route->fileName = name;
    route->needsSaving = false;
    return true;
}

// A GPX route: each point named by its name (else its street) and described by the turn made
// there onto the street taken, or the street followed.
bool RouteBuilder::SaveGpx(const std::string& path) {
    ServiceContext& context = m_parts.context;
    if (!m_route) return false;
    const Utility* utility = context.m_pUtility.get();
    gpslib::gpx::Document doc;
    doc.creator = "gpslib";
    gpslib::gpx::Route gpx;
    gpx.name = gpslib::os::StemOf(path);
    const auto& records = m_route->waypoints;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const WaypointRecord& r = records[i];
        gpslib::gpx::Point p;
        p.latitude = r.latitude;
        p.longitude = r.longitude;
        p.name = Stored(utility, r.name.empty() ? r.streetNameForward : r.name);
        std::u16string turn;
        if (context.m_pUtility != nullptr) {
            ComPtr<IWaypointObject> w;
            if (NewWaypointObject(r, static_cast<SHORT>(i + 1), false, false, w.Put()) == S_OK)
                turn = WaypointTurnDescription(context.m_pUtility, w.Get(), -1, u"");
        }
        p.description = Stored(utility, turn.empty() ? r.streetNameForward : turn);
        gpx.points.push_back(std::move(p));
    }
    doc.routes.push_back(std::move(gpx));
    const gpslib::os::Status s = context.Env().WriteFileAtomic(path, gpslib::gpx::Write(doc));
    if (!s.ok()) {
        context.Log("  GPSCore::RouteSave unable to write the file: " + s.ToString());
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Loading.

bool RouteBuilder::Load(std::u16string_view fileName) {
    ServiceContext& context = m_parts.context;
    if (fileName.empty()) {
        context.Log("  GPSCore::RouteLoad no file name");
        return false;
    }
    const std::string path = PathOf(fileName);
    gpslib::os::Env& env = context.Env();
    std::uint64_t size = 0;
    if (!env.GetFileSize(path, &size).ok() || env.IsDirectory(path)) {
        context.Log("  GPSCore::RouteLoad unable to open the file " + path);
        return false;
    }
    const bool gpx = IsGpx(fileName);
    if (size > (gpx ? gpslib::gpx::kMaxFileBytes : gpslib::routefile::kMaxFileBytes)) {
        context.Log("  GPSCore::RouteLoad the file is too large: " + path);
        return false;
    }
    std::string data;
    if (!env.ReadFile(path, &data).ok()) {
        context.Log("  GPSCore::RouteLoad unable to read the file " + path);
        return false;
    }
    std::string error;
    gpslib::routefile::Route file;
    std::vector<WaypointRecord> records;
    if (gpx) {
        gpslib::gpx::Document doc;
        if (!gpslib::gpx::Read(data, &doc, &error)) {
            context.Log("  GPSCore::RouteLoad " + path + ": " + error);
            return false;
        }
        if (doc.routes.empty()) {
            context.Log("  GPSCore::RouteLoad " + path + ": no route in the file");
            return false;
        }
        if (doc.routes.front().points.size() > gpslib::routefile::kMaxWaypoints) {
            context.Log("  GPSCore::RouteLoad " + path + ": too many route points");
            return false;
        }
        records = FromGpx(doc.routes.front());
        file.configuration.routeType = RouteTypeManual;
    } else {
        if (!gpslib::routefile::Read(data, &file, &error)) {
            context.Log("  GPSCore::RouteLoad " + path + ": " + error);
            return false;
        }
        records = FromFile(file);
    }
    return InstallLoaded(std::move(records), file.configuration, fileName);
}

bool RouteBuilder::InstallLoaded(std::vector<WaypointRecord> records,
                                 const gpslib::routefile::Configuration& c,
                                 std::u16string_view fileName) {
    auto route = std::make_shared<RouteModel>();
    Close();
    m_parts.context.Map().ClearRoute();
    for (WaypointRecord& record : records)
        route->Append(std::move(record));
    route->configuration = FromFile(c);
    route->fileName = fileName;
    route->currentIndex = 1;
    route->needsSaving = false;

    bool optimized = false;
    switch (c.routeType) {
    case RouteTypePedestrian:
    case RouteTypeVehicle:
        optimized = HandLoadedRouteToEngine(*route, c);
        break;
    case RouteTypeManual:
    case RouteTypePedestrianFromSimulation:
    case RouteTypeVehicleFromSimulation:
    case RouteTypeFromVirtualExploration:
        optimized = true;
        break;
    default:
        break;
    }
    m_route = std::move(route);
    m_bRouteOptimized = optimized;
    m_nRouteExplorationIndex = -1;
    m_parts.follower.SetRoute(m_route);
    MakeRouteEndTheDestination();
    return true;
}

// The engine matches the loaded route onto its network (walking for a walking route, driving
// otherwise), so that it can follow it; its answer says whether the route is optimised.
bool RouteBuilder::HandLoadedRouteToEngine(const RouteModel& route,
                                           const gpslib::routefile::Configuration& c) {
    const MapQueries map = m_parts.context.Map();
    if (!map.HasEngine()) return false;
    std::vector<RoutePoint> points;
    for (const WaypointRecord& r : route.waypoints)
        points.push_back(RoutePointFromWaypoint(r));
    map.SetRouteInitialHeading(static_cast<SHORT>(c.initialHeading));
    return map.LoadRoute(c.routeType == RouteTypePedestrian, points,
                         route.configuration.preferences);
}

// ---------------------------------------------------------------------------------------------
// Directions.

bool RouteBuilder::SaveDirections(WaypointMode waypointMode, bool numbers,
                                  std::u16string* fileName) {
    ServiceContext& context = m_parts.context;
    const RouteModel* route = m_route.get();
    // Without a name the file would land wherever the process happens to run.
    if (route == nullptr || fileName->empty()) return false;
    if (waypointMode == WaypointModeSystem)
        waypointMode = SettingsWaypointMode(context.m_eCurrentMode);
    if (waypointMode != WaypointModeAll) waypointMode = WaypointModeTurnsOnly;

    // The name given without its extension (a dot in a folder's name is no extension).
    std::u16string name = *fileName;
    const std::size_t dot = name.rfind(u'.');
    const std::size_t slash = name.find_last_of(u"/\\");
    if (dot != std::u16string::npos && (slash == std::u16string::npos || dot > slash))
        name.erase(dot);
    name += u"_";
    name += context.String(waypointMode == WaypointModeTurnsOnly ? ids::kDirectionsTurnsOnly
                                                                 : ids::kDirectionsAllWaypoints);
    name += context.String(ids::kDirectionsExtension);
    *fileName = name;

    // Paragraphs: the header, then one per waypoint reached, then the closing one.
    struct Line {
        std::u16string text;
        bool paragraphEnd;
    };
    std::vector<Line> lines;
    const gpslib::routefile::Configuration c = ToFile(route->configuration);
    lines.push_back({RouteTypeText(context, c.routeType), false});
    for (std::u16string& preference : PreferenceLines(context, c))
        lines.push_back({std::move(preference), false});
    lines.back().paragraphEnd = true;
    lines.push_back({TotalDistanceDescription(*route), true});

    const auto& records = route->waypoints;
    const int end = EndIndex();
    const int mode = context.m_eCurrentMode == GPSMode ? 1 : 2;
    int at = -1;
    // Each step lands further along; the end stops the walk (and any route is walked once).
    for (std::size_t steps = 0; steps <= records.size(); ++steps) {
        const int index = route->ExploreIndex(waypointMode, at, true);
        if (index == -1 || index == at) break;
        at = index;
        const WaypointRecord& r = records[static_cast<std::size_t>(index - 1)];
        std::u16string label = context.m_pUtility ? context.m_pUtility->ForDisplay(r.name) : r.name;
        if (numbers) {
            std::u16string number = context.m_pUtility
                                        ? context.m_pUtility->FormatString(ids::kWaypointLabelFull,
                                                                           {std::int64_t{index}})
                                        : std::u16string();
            if (!label.empty()) {
                number += u", ";
                number += label;
            }
            label = std::move(number);
        }
        std::u16string text = ExploredDescription(*route, index, true, mode, &label);
        if (index == end) {
            if (!text.empty()) text += u' ';
            text += context.String(ids::kArrivedAtDestination);
        }
        if (!r.description.empty()) {
            while (!text.empty() && (text.back() == u'.' || text.back() == u' '))
                text.pop_back();
            text += u". " + r.description;
        }
        lines.push_back({std::move(text), true});
        if (index == end) break;
    }

    std::u16string closing;
    if (Recording()) {
        closing = context.String(ids::kStillRecording);
    } else {
        if (auto destination = m_parts.destination.Where()) closing = destination->description;
    }
    if (!closing.empty()) lines.push_back({std::move(closing), true});

    std::string out;
    for (const Line& line : lines) {
        std::u16string text =
            context.m_pUtility ? context.m_pUtility->ForStorage(line.text) : line.text;
        if (text.empty()) continue;
        if (text.back() != u'.') text += u'.';
        out += gpslib::os::Utf16ToCp1252(text);
        out += "\r\n";
        if (line.paragraphEnd) out += "\r\n";
    }
    const gpslib::os::Status s = context.Env().WriteFileAtomic(PathOf(name), out);
    if (!s.ok()) {
        context.Log(" ERROR:RouteSaveDirectionsInternal, unable to create File");
        char code[48];
        std::snprintf(code, sizeof code, " GetLastError = %d", s.errnum());
        context.Log(code);
        return false;
    }
    return true;
}

} // namespace gpscore
