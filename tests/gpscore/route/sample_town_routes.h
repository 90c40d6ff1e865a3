// The sample town (data/sample/README.md) as a client of routes sees it: the service, the map
// engine and the database component registered in a temporary store, Start finding a copy of the
// town on the map path, the traveller placed with GPSForceLocation (one poll each). Positions
// are on the town's grid: x and y in 1/1000 degree east and north of 45 N 10 E.
#ifndef TESTS_GPSCORE_ROUTE_SAMPLE_TOWN_ROUTES_H_
#define TESTS_GPSCORE_ROUTE_SAMPLE_TOWN_ROUTES_H_

#include <gpslib/GPSLib.h>
#include <gpslib/support.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "registered_modules.h"
#include "settings_folder.h"
#include "temp_dir.h"
#include "value.h"

namespace gpslib::test::routes {

using gpslib::Bstr;
using gpslib::ComPtr;

inline double Lat(double y) {
    return 45.0 + y / 1000.0;
}
inline double Lon(double x) {
    return 10.0 + x / 1000.0;
}

inline ComPtr<ILocationObject> Location(double latitude, double longitude) {
    ComPtr<ILocationObject> place;
    gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &place);
    place->SetLatitude(latitude);
    place->SetLongitude(longitude);
    return place;
}
inline ComPtr<ILocationObject> Place(double x, double y, const char* name = "") {
    ComPtr<ILocationObject> place = Location(Lat(y), Lon(x));
    place->SetName(Bstr(std::string_view(name)).Get());
    return place;
}

// One line per waypoint of the route, in order, made by `line`.
template <class Line> std::vector<std::string> WaypointLines(IRouteObject* route, Line line) {
    std::vector<std::string> out;
    const SHORT count = gpslib::test::Value(route, &IRouteObject::GetWaypointCount);
    for (SHORT i = 1; i <= count; ++i) {
        ComPtr<IWaypointObject> w;
        route->GetWaypoint(i, w.Put());
        out.push_back(line(w.Get()));
    }
    return out;
}

// Each waypoint as "x,y T name | street | forward/reverse | after-turn | metres | cross".
inline std::vector<std::string> Grid(IRouteObject* route) {
    return WaypointLines(route, [](IWaypointObject* w) {
        using gpslib::test::Value;
        using W = IWaypointObject;
        Bstr name, street, cross;
        w->GetWaypointName(name.Put());
        w->GetStreetNameForward(street.Put());
        w->GetCrossStreet(cross.Put());
        char line[400];
        std::snprintf(
            line, sizeof line, "%.2f,%.2f %s%s | %s | %d/%d | %d | %.0f | %s",
            (Value(w, &W::GetLongitude) - 10.0) * 1000.0,
            (Value(w, &W::GetLatitude) - 45.0) * 1000.0, Value(w, &W::IsTurningPoint) ? "T " : "",
            name.Utf8().c_str(), street.Utf8().c_str(), Value(w, &W::GetStreetOrientationForward),
            Value(w, &W::GetStreetOrientationReverse), Value(w, &W::GetTurnCompleteHeadingDegrees),
            Value(w, &W::GetDistanceFromLastWaypoint), cross.Utf8().c_str());
        return std::string(line);
    });
}

// A new route configuration for routes of `type`.
inline ComPtr<IRouteConfigurationObject> Configured(RouteType type) {
    ComPtr<IRouteConfigurationObject> configuration;
    gpslib::CreateObject(CLSID_RouteConfigurationObject, IID_IRouteConfigurationObject,
                         &configuration);
    configuration->SetRouteType(type);
    return configuration;
}

// Asks `core` for a route of `type` (in `mode`) from where the traveller is to the destination;
// whether one was made.
inline bool CreateRoute(IGPSCore* core, RouteType type, Mode mode = GPSMode) {
    VARIANT_BOOL created = 0;
    EXPECT_EQ(core->RouteCreateAutomatic(mode, Configured(type).Get(), &created), S_OK);
    return created == VARIANT_TRUE;
}

// The three modules registered in a store of the run's own, once.
inline void RegisterModules() {
    ASSERT_TRUE(gpslib::test::RegisterModules({GPSCORE_MODULE, GPSMAP_MODULE, GPSDB_MODULE}));
}

class SampleTownRoutes : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterModules(); }
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(StartOn(GPSLIB_SAMPLE_MAP_DIR, "Sampleton", [](auto* system) {
            system->SetUnits(Imperial);
            system->SetArrivalDistance(Imperial, 30);
        }));
        SHORT regional = 0;
        core->LoadedRegionalMaps(&regional);
        EXPECT_EQ(regional, 1);
    }
    // Starts the service on a copy of map `name` of folder `from` (the history of places is
    // written beside it), found on the map path; the system settings changed by `change` (which
    // also names the log's folder); the polls of the start delay passed.
    template <class F> void StartOn(const std::string& from, const std::string& name, F change) {
        const std::string settings = gpslib::test::PrepareSettingsFolder(dir);
        const std::string maps = gpslib::test::MapFolder(dir.File("maps"), from, {name}, true);
        setenv("GPSLIB_MAP_PATH", maps.c_str(), 1);
        ASSERT_EQ(gpslib::CreateObject(CLSID_GPSCore, IID_IGPSCore, &core), S_OK);
        Bstr result;
        ASSERT_EQ(core->Start(Bstr(settings).Get(), nullptr, result.Put()), S_OK);
        // Every component started; the settings name the folder the engine found the map in.
        EXPECT_EQ(result.Utf8(), "OK");
        SHORT loaded = 0;
        core->GetNumberOfMapsLoaded(&loaded);
        ASSERT_EQ(loaded, 1) << result.Utf8();
        ComPtr<ISystemSettingsObject> system;
        core->SystemGetSettings(system.Put());
        EXPECT_EQ(gpslib::test::Text(system.Get(), &ISystemSettingsObject::GetMapPOIDirectory),
                  maps);
        change(system.Get());
        core->SystemSetSettings(system.Get());
        VARIANT_BOOL read = 0;
        for (int i = 0; i < 20; ++i)
            core->GPSForcePoll(&read);
        core->EnableHistoryOfAutomaticEvents(VARIANT_TRUE);
    }
    void TearDown() override {
        if (core) core->Stop();
        unsetenv("GPSLIB_MAP_PATH");
    }

    // A route of `type` from (x0, y0), facing `heading`, to the destination (x1, y1).
    bool Create(RouteType type, double x0, double y0, double x1, double y1, SHORT heading = -1) {
        core->DestinationSetByLocation(Place(x1, y1, "Home").Get());
        core->GPSForceLocation(Place(x0, y0).Get(), heading);
        return CreateRoute(core.Get(), type);
    }
    ComPtr<IRouteObject> Route() {
        ComPtr<IRouteObject> route;
        core->RouteGet(route.Put());
        return route;
    }
    // Event types raised since `before` (oldest first).
    std::vector<EventType> Since(IAutomaticEventObject* before) {
        texts.clear();
        gpslib::Variant list;
        std::vector<IUnknown*> items;
        core->GetLastTenAutomaticEvents(&list);
        gpslib::ReadObjectList(&list, IID_IAutomaticEventObject, 10, &items);
        std::vector<EventType> types;
        bool done = false;
        for (IUnknown* item : items) {
            auto* event = static_cast<IAutomaticEventObject*>(item);
            done = done || event == before;
            EventType type = EventUnknown;
            event->GetEventType(&type);
            Bstr text;
            event->GetDescription(text.Put());
            if (!done) texts.insert(texts.begin(), text.Utf8());
            if (!done) types.insert(types.begin(), type);
            item->Release();
        }
        return types;
    }
    std::string Log() { return gpslib::test::ReadWholeFile(dir.path() + "/Debug/gpsDebug.txt"); }

    gpslib::test::TempDir dir;
    ComPtr<IGPSCore> core;
    std::vector<std::string> texts; // of the events Since() found
};

} // namespace gpslib::test::routes

#endif // TESTS_GPSCORE_ROUTE_SAMPLE_TOWN_ROUTES_H_
