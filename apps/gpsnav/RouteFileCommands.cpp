// The route and files: route save, load and directions (a route file, or GPX by the extension
// ".gpx"; the directions as text), and route from, which makes a recorded trace or a GPX track
// a route to follow.
#include <filesystem>

#include "Answers.h"
#include "Session.h"
#include "Text.h"

namespace gpsnav {

using gpslib::Bstr;
using gpslib::ComPtr;

namespace {

std::string Absolute(const std::string& file) {
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(file, ec);
    return ec ? file : path.string();
}

bool IsFile(const std::string& file) {
    std::error_code ec;
    return std::filesystem::is_regular_file(file, ec);
}

std::string Waypoints(IRouteObject* route) {
    SHORT count = 0;
    if (route != nullptr) route->GetWaypointCount(&count);
    return std::to_string(count) + (count == 1 ? " waypoint" : " waypoints");
}

// A trace larger than this (days of walking) is not read into a route.
constexpr std::uintmax_t kMaxTraceBytes = 64u << 20;

constexpr char kNoRouteToSave[] = "No route to save: plan one with route walk, or load one.";

} // namespace

Answer Session::RouteSave(const std::vector<std::string>& args) {
    if (args.size() != 2 || args[1].empty()) return Usage("route");
    if (!ActiveRoute()) return Fact(kNoRouteToSave, Answer::Status::kFailed);
    VARIANT_BOOL saved = VARIANT_FALSE;
    HRESULT hr = m_core->RouteSave(Bstr(Absolute(args[1])).Get(), &saved);
    if (FAILED(hr)) return Failure("route", hr);
    if (!saved)
        return Fact("The route could not be saved to " + args[1] + ".", Answer::Status::kFailed);
    return Fact("Route saved to " + args[1] + ".");
}

Answer Session::RouteLoad(const std::vector<std::string>& args) {
    if (args.size() != 2 || args[1].empty()) return Usage("route");
    const std::string& file = args[1];
    if (!IsFile(file))
        return Fact("No such file: " + file + ". The route is unchanged.", Answer::Status::kFailed);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    HRESULT hr = m_core->RouteLoad(Bstr(Absolute(file)).Get(), &loaded);
    if (FAILED(hr)) return Failure("route", hr);
    if (!loaded)
        return Fact(file + " is not a route the service can read (a route file, or a GPX file "
                           "with a route). The route is unchanged.",
                    Answer::Status::kFailed);
    return Planned("Route loaded, " + Waypoints(ActiveRoute().Get()) + ".");
}

// Every waypoint or the turns only, as the service explores the route from its beginning:
// written to a text file, or listed.
Answer Session::RouteDirections(const std::vector<std::string>& args) {
    WaypointMode mode = WaypointModeTurnsOnly;
    bool numbered = true;
    std::string file;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string word = Lower(args[i]);
        if (word == "turns" || word == "all")
            mode = word == "all" ? WaypointModeAll : WaypointModeTurnsOnly;
        else if (word == "numbered" || word == "plain")
            numbered = word == "numbered";
        else if (file.empty() && !args[i].empty())
            file = args[i];
        else
            return Usage("route");
    }
    ComPtr<IRouteObject> route = ActiveRoute();
    if (!route)
        return Fact("No route: plan one with route walk, or load one.", Answer::Status::kFailed);
    if (!file.empty()) {
        // In and out: the service answers the name it wrote to.
        BSTR name = Bstr(Absolute(file)).Detach();
        VARIANT_BOOL saved = VARIANT_FALSE;
        HRESULT hr =
            m_core->RouteSaveDirections(mode, gpslib::VariantBool(numbered), &name, &saved);
        const Bstr written = Bstr::Adopt(name);
        if (FAILED(hr)) return Failure("route", hr);
        if (!saved)
            return Fact("The directions could not be written to " + written.Utf8() + ".",
                        Answer::Status::kFailed);
        return Fact("Directions written to " + written.Utf8() + ".");
    }
    Bstr total;
    route->TotalRouteDistanceDescription(total.Put());
    std::vector<std::string> steps;
    std::vector<long> ids;
    SHORT count = 0;
    route->GetWaypointCount(&count);
    SHORT from = -1;
    // With the crossings setting on, each step tells the crossings on the way to it: those the
    // route goes over up to the step's distance along it.
    const auto crossings = CrossingsOn() ? RouteCrossings() : decltype(RouteCrossings()){};
    std::vector<double> along{0.0}; // metres from the start to each waypoint, by index
    for (SHORT i = 1; i <= count && !crossings.empty(); ++i) {
        ComPtr<IWaypointObject> point;
        double metres = 0.0;
        if (SUCCEEDED(route->GetWaypoint(i, point.Put())) && point)
            point->GetDistanceFromLastWaypoint(&metres);
        along.push_back(along.back() + metres);
    }
    std::size_t told = 0;
    for (SHORT i = 0; i <= count && !s_interrupted; ++i) {
        ComPtr<IWaypointObject> waypoint;
        Bstr text;
        if (FAILED(route->ExploreRouteForward(CurrentMode(), mode, from, waypoint.Put(),
                                              text.Put())) ||
            !waypoint)
            break;
        SHORT index = -1;
        waypoint->GetIndex(&index);
        if (index < 1 || index == from) break;
        std::string step = text.Utf8();
        const double reached = static_cast<std::size_t>(index) < along.size()
                                   ? along[static_cast<std::size_t>(index)] + 1.0
                                   : 1e300;
        for (; told < crossings.size() && crossings[told].first <= reached; ++told)
            step += " " + crossings[told].second;
        steps.push_back(std::move(step));
        ids.push_back(index);
        from = index;
    }
    Answer a = ShowList(ListKind::kDirections, std::move(steps), "The route has no waypoints.",
                        std::move(ids), numbered);
    if (total.Length() > 0) a.texts.insert(a.texts.begin(), total.Utf8());
    return a;
}

// A recorded walk (a trace, or a GPX track) made into a route by the service; walk or drive
// says how to follow it when the service's guess from the speed is not wanted.
Answer Session::RouteFrom(const std::vector<std::string>& args) {
    if (args.size() < 2 || args.size() > 3 || args[1].empty()) return Usage("route");
    const std::string& file = args[1];
    std::optional<RouteType> type;
    if (args.size() == 3) {
        const std::string how = Lower(args[2]);
        if (how != "walk" && how != "drive") return Usage("route");
        type = how == "walk" ? RouteTypePedestrianFromSimulation : RouteTypeVehicleFromSimulation;
    }
    if (!IsFile(file))
        return Fact("No such file: " + file + ". The route is unchanged.", Answer::Status::kFailed);
    std::error_code ec;
    if (std::filesystem::file_size(file, ec) > kMaxTraceBytes && !ec)
        return Fact(file + " is too large to make a route from (more than 64 MiB).",
                    Answer::Status::kFailed);
    std::string said;
    if (!m_recording.empty() && Absolute(m_recording) == Absolute(file)) {
        // The walk is over: the trace is closed before it is read.
        m_core->GPSStopRecording();
        m_recording.clear();
        said = "Recording stopped. ";
    }
    std::string why;
    const std::string trace = TraceOf(file, "route-from.trc", "Making a route from", &why);
    if (trace.empty()) return Fact(said + why, Answer::Status::kFailed);
    // The service closes the active route before it reads the trace; a trace that makes no
    // route must not cost the traveller the route they had.
    ComPtr<IRouteObject> before = ActiveRoute();
    auto config = Create<IRouteConfigurationObject>(CLSID_RouteConfigurationObject,
                                                    IID_IRouteConfigurationObject);
    if (!config) return Failure("route", E_OUTOFMEMORY);
    config->SetRouteType(RouteTypeCreateFromSimulation);
    config->SetSimulationFileToUse(Bstr(Absolute(trace)).Get());
    VARIANT_BOOL created = VARIANT_FALSE;
    HRESULT hr = m_core->RouteCreateAutomatic(CurrentMode(), config.Get(), &created);
    if (FAILED(hr) || !created) {
        if (before && !ActiveRoute()) m_core->RouteSet(before.Get());
        if (FAILED(hr)) return Failure("route", hr);
        return Fact(said + file + " holds no position to make a route from." +
                        (before ? " The route is unchanged." : ""),
                    Answer::Status::kFailed);
    }
    ComPtr<IRouteObject> route = ActiveRoute();
    if (type && route) route->SetType(*type);
    return Planned(said + "Route made from " + file + ", " + Waypoints(route.Get()) + ".");
}

} // namespace gpsnav
