// The commands about routes and walks: route, follow, explore, record and replay.
#include "Answers.h"
#include "Session.h"
#include "Text.h"

namespace gpsnav {

using gpslib::Bstr;
using gpslib::ComPtr;

Answer Session::Route(const std::vector<std::string>& args) {
    if (args.empty()) return Usage("route");
    const std::string what = Lower(args[0]);
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
        ComPtr<IRouteObject> route;
        if (SUCCEEDED(m_core->RouteGet(route.Put())) && route)
            route->TotalRouteDistanceDescription(text.Put());
        return Texts({text.Utf8().empty() ? "Route planned." : text.Utf8()});
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
    if (what == "close") {
        hr = m_core->RouteClose();
        return FAILED(hr) ? Failure("route", hr) : Fact("Route closed.");
    }
    return Usage("route");
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
        return FAILED(hr) ? Failure("record", hr) : Fact("Recording stopped.");
    }
    if (what == "note") {
        std::string text;
        for (std::size_t i = 1; i < args.size(); ++i)
            text += (text.empty() ? "" : " ") + args[i];
        if (text.empty()) return Usage("record");
        hr = m_core->GPSInsertAnnotationIntoRecording(Bstr(text).Get());
        return FAILED(hr) ? Failure("record", hr) : Fact("Note recorded.");
    }
    hr = m_core->GPSStartRecording(Bstr(args[0]).Get());
    if (FAILED(hr)) return Fact("Cannot record into " + args[0] + ".", Answer::Status::kFailed);
    return Fact("Recording into " + args[0] + ".");
}

Answer Session::Replay(const std::vector<std::string>& args) {
    if (args.size() != 1) return Usage("replay");
    std::string text;
    const bool ok = UseReceiver(args[0], &text);
    return Fact(text, ok ? Answer::Status::kOk : Answer::Status::kFailed);
}

} // namespace gpsnav
