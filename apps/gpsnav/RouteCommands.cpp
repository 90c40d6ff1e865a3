// The commands about routes and walks: route (but its files, RouteFileCommands.cpp), follow,
// explore, record and replay.
#include "Answers.h"
#include "Session.h"
#include "Text.h"

namespace gpsnav {

using gpslib::Bstr;
using gpslib::ComPtr;

ComPtr<IRouteObject> Session::ActiveRoute() {
    ComPtr<IRouteObject> route;
    if (m_core->RouteGet(route.Put()) != S_OK) route.Reset();
    return route;
}

// The route just installed: `what` happened, then its length as the service says it.
Answer Session::Planned(const std::string& what) {
    Bstr text;
    if (ComPtr<IRouteObject> route = ActiveRoute())
        route->TotalRouteDistanceDescription(text.Put());
    if (text.Length() == 0) return Texts({what.empty() ? "Route planned." : what});
    return Texts({what.empty() ? text.Utf8() : what + " " + text.Utf8()});
}

Answer Session::Route(const std::vector<std::string>& args) {
    if (args.empty()) return Usage("route");
    const std::string what = Lower(args[0]);
    if (what == "save") return RouteSave(args);
    if (what == "load") return RouteLoad(args);
    if (what == "directions") return RouteDirections(args);
    if (what == "from") return RouteFrom(args);
    if (args.size() != 1) return Usage("route");
    Bstr text;
    HRESULT hr;
    if (what == "walk" || what == "drive") {
        auto config = Create<IRouteConfigurationObject>(CLSID_RouteConfigurationObject,
                                                        IID_IRouteConfigurationObject);
        config->SetRouteType(what == "walk" ? RouteTypePedestrian : RouteTypeVehicle);
        VARIANT_BOOL created = VARIANT_FALSE;
        hr = m_core->RouteCreateAutomatic(CurrentMode(), config.Get(), &created);
        if (FAILED(hr)) return Failure("route", hr);
        if (!created) return Fact("No route found to the destination.", Answer::Status::kFailed);
        return Planned("");
    }
    if (what == "next" || what == "back") {
        ComPtr<IWaypointObject> waypoint;
        hr = what == "next" ? m_core->RouteVirtualExploreForward(WaypointModeTurnsOnly,
                                                                 waypoint.Put(), text.Put())
                            : m_core->RouteVirtualExploreBackward(WaypointModeTurnsOnly,
                                                                  waypoint.Put(), text.Put());
        if (FAILED(hr)) return Failure("route", hr);
        return Texts({Utf8(text)});
    }
    if (what == "first" || what == "last" || ParseNumber(what, 0, 1000000)) return RouteGo(what);
    if (what == "status") return RouteStatus();
    if (what == "reverse") return RouteReverse();
    if (what == "recalc") return RouteRecalc();
    if (what == "close") {
        hr = m_core->RouteClose();
        return FAILED(hr) ? Failure("route", hr) : Fact("Route closed.");
    }
    return Usage("route");
}

namespace {

Answer NoRoute() {
    return Fact("No route: plan one with route walk, or load one with route load FILE.",
                Answer::Status::kFailed);
}

} // namespace

// The walker to the route's beginning, its end or waypoint N, with the service's description.
Answer Session::RouteGo(const std::string& where) {
    ComPtr<IRouteObject> route = ActiveRoute();
    if (!route) return NoRoute();
    ComPtr<IWaypointObject> waypoint;
    Bstr text;
    HRESULT hr;
    if (where == "first") {
        hr = m_core->RouteVirtualExploreSetStart(waypoint.Put(), text.Put());
    } else if (where == "last") {
        hr = m_core->RouteVirtualExploreSetEnd(waypoint.Put(), text.Put());
    } else {
        SHORT count = 0;
        route->GetWaypointCount(&count);
        auto n = ParseNumber(where, 1, count);
        if (!n)
            return Fact("No waypoint " + where + ": the route has " + std::to_string(count) +
                            (count == 1 ? " waypoint." : " waypoints."),
                        Answer::Status::kFailed);
        hr = m_core->RouteVirtualExploreSet(static_cast<SHORT>(*n), waypoint.Put(), text.Put());
    }
    if (FAILED(hr)) return Failure("route", hr);
    return Texts({Utf8(text)});
}

// Where the traveller is on the route: the part done, the way left, the arrival time and the
// waypoint ahead.
Answer Session::RouteStatus() {
    ComPtr<IRouteObject> route = ActiveRoute();
    if (!route) return NoRoute();
    const Mode mode = CurrentMode();
    ComPtr<ILocationObject> here = Here();
    SHORT percent = 0;
    HRESULT hr = m_core->RoutePercentComplete(mode, &percent);
    if (FAILED(hr)) return Failure("route", hr);
    Bstr left, eta, next;
    route->DistanceToEndOfRouteDescription(here.Get(), left.Put());
    ComPtr<IWaypointObject> end, ahead;
    if (route->GetRouteEnd(end.Put()) == S_OK) m_core->RouteGetETA(mode, end.Get(), eta.Put());
    if (route->GetNextWaypointNearestLocation(WaypointModeAll, here.Get(), ahead.Put()) == S_OK &&
        ahead) {
        auto config = Create<IWaypointConfigurationObject>(CLSID_WaypointConfigurationObject,
                                                           IID_IWaypointConfigurationObject);
        SHORT heading = -1;
        m_core->GetHeadingDegrees(mode, &heading);
        config->SetMode(mode);
        config->SetHeading(heading);
        config->SetIncludeDistance(VARIANT_TRUE);
        config->SetIncludeHeading(VARIANT_TRUE);
        config->SetIncludeTurningInstructions(VARIANT_TRUE);
        m_core->RouteGetWaypointDescription(ahead.Get(), config.Get(), next.Put());
    }
    std::string text = std::to_string(percent) + "% of the route done.";
    if (left.Length() > 0) text += " " + left.Utf8();
    if (eta.Length() > 0) text += " Arrival in " + eta.Utf8() + ".";
    if (next.Length() > 0) text += " Next: " + next.Utf8();
    return Texts({text});
}

Answer Session::RouteReverse() {
    if (!ActiveRoute()) return NoRoute();
    VARIANT_BOOL reversed = VARIANT_FALSE;
    HRESULT hr = m_core->RouteReverse(&reversed);
    if (FAILED(hr)) return Failure("route", hr);
    if (!reversed)
        return Fact("This route keeps its direction: a driving route cannot be reversed.",
                    Answer::Status::kFailed);
    return Fact("Route reversed.");
}

Answer Session::RouteRecalc() {
    if (!ActiveRoute()) return NoRoute();
    VARIANT_BOOL created = VARIANT_FALSE;
    HRESULT hr = m_core->RouteRecalculate(CurrentMode(), &created);
    if (FAILED(hr)) return Failure("route", hr);
    if (!created)
        return Fact("No route found from here to the end of the route; the route is unchanged.",
                    Answer::Status::kFailed);
    return Planned("Route recalculated from here.");
}

Answer Session::Follow() {
    Bstr announcement;
    VARIANT_BOOL requested = VARIANT_FALSE;
    HRESULT hr = m_core->RouteFollow(announcement.Put(), &requested);
    if (FAILED(hr)) return Failure("follow", hr);
    m_followAnswer = requested ? Utf8(announcement) : std::string();
    return Texts({Utf8(announcement)});
}

Answer Session::Explore(const std::vector<std::string>& args) {
    Bstr text;
    HRESULT hr;
    const std::string what = args.empty() ? "" : Lower(args[0]);
    if (what.empty())
        hr = m_core->VirtualGetOnStreetMessage(text.Put());
    else if (what == "forward" || what == "f")
        hr = m_core->VirtualForward(text.Put());
    else if (what == "back" || what == "b")
        hr = m_core->VirtualBackup(text.Put());
    else if (what == "left" || what == "l")
        hr = m_core->VirtualTurnLeft(text.Put());
    else if (what == "right" || what == "r")
        hr = m_core->VirtualTurnRight(text.Put());
    else if (what == "cross" || what == "c")
        hr = m_core->VirtualCrossStreet(text.Put());
    else
        return Usage("explore");
    if (FAILED(hr)) return Failure("explore", hr);
    return Texts({Utf8(text)});
}

Answer Session::Record(const std::vector<std::string>& args) {
    if (args.empty()) return Usage("record");
    const std::string what = Lower(args[0]);
    HRESULT hr;
    if (what == "stop") {
        hr = m_core->GPSStopRecording();
        m_recording.clear();
        return FAILED(hr) ? Failure("record", hr) : Fact("Recording stopped.");
    }
    if (what == "note") {
        const std::string text = Join(args, 1);
        if (text.empty()) return Usage("record");
        hr = m_core->GPSInsertAnnotationIntoRecording(Bstr(text).Get());
        return FAILED(hr) ? Failure("record", hr) : Fact("Note recorded.");
    }
    hr = m_core->GPSStartRecording(Bstr(args[0]).Get());
    if (FAILED(hr)) return Fact("Cannot record into " + args[0] + ".", Answer::Status::kFailed);
    m_recording = args[0];
    return Fact("Recording into " + args[0] + ".");
}

Answer Session::Replay(const std::vector<std::string>& args) {
    if (args.size() != 1) return Usage("replay");
    std::string text;
    const bool ok = UseReceiver(args[0], &text);
    return Fact(text, ok ? Answer::Status::kOk : Answer::Status::kFailed);
}

} // namespace gpsnav
