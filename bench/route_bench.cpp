// Route benchmarks through the service as a client uses it, on the compiled Liechtenstein
// extract: the whole RouteCreateAutomatic across the country (Balzers in the south to Ruggell in
// the north), walking and driving, and one poll while that walking route is followed (the
// traveller placed with GPSForceLocation, which polls once, moving along the route).
//
// Targets on the reference machine: one poll with a route followed under 1 ms median. Figures
// are kept in docs/performance.md.
#include <benchmark/benchmark.h>
#include <gpslib/GPSLib.h>
#include <gpslib/support.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_util.h"

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;

constexpr double kBalzersLat = 47.0667, kBalzersLon = 9.5028;
constexpr double kRuggellLat = 47.2380, kRuggellLon = 9.5280;
const std::string kMaps = GPSLIB_OSM_MAP_DIR;

// The service started once for the run, with Liechtenstein alone in its map folder.
IGPSCore* Service(benchmark::State& state) {
    if (!gpslib::bench::NeedCompiledLiechtenstein(state, GPSLIB_OSM_MAP_DIR)) return nullptr;
    static ComPtr<IGPSCore> core = []() -> ComPtr<IGPSCore> {
        if (!std::ifstream(kMaps + "/Liechtenstein.rmf").good()) return {};
        const std::string dir = std::string(GPSLIB_BENCH_DIR) + "/route_bench_data";
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir + "/maps");
        for (const char* file : {"Liechtenstein.rmf", "Liechtenstein.pdb", "Liechtenstein.cpd"})
            std::filesystem::copy_file(kMaps + "/" + file, dir + "/maps/" + file);
        std::ifstream in(GPSLIB_RESOURCE_MODULE, std::ios::binary);
        std::ofstream(dir + "/GPSResources_EN.dll", std::ios::binary) << in.rdbuf();
        setenv("GPSLIB_MAP_PATH", (dir + "/maps").c_str(), 1);
        if (gpslib::bench::RegisterModules(GPSREG_TOOL, dir + "/registry.reg",
                                           {GPSCORE_MODULE, GPSMAP_MODULE, GPSDB_MODULE}))
            return {};
        ComPtr<IGPSCore> service;
        if (FAILED(gpslib::CreateObject(CLSID_GPSCore, IID_IGPSCore, &service))) return {};
        Bstr result;
        service->Start(Bstr(dir + "/").Get(), nullptr, result.Put());
        VARIANT_BOOL read = 0;
        for (int i = 0; i < 20; ++i) // the start delay
            service->GPSForcePoll(&read);
        return service;
    }();
    if (!core) state.SkipWithError("the service did not start");
    return core.Get();
}

ComPtr<ILocationObject> Place(double latitude, double longitude) {
    ComPtr<ILocationObject> place;
    gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &place);
    place->SetLatitude(latitude);
    place->SetLongitude(longitude);
    return place;
}

bool CreateAcross(IGPSCore* core, RouteType type, bool setDestination = true) {
    if (setDestination) core->DestinationSetByLocation(Place(kRuggellLat, kRuggellLon).Get());
    core->GPSForceLocation(Place(kBalzersLat, kBalzersLon).Get(), -1);
    ComPtr<IRouteConfigurationObject> configuration;
    gpslib::CreateObject(CLSID_RouteConfigurationObject, IID_IRouteConfigurationObject,
                         &configuration);
    configuration->SetRouteType(type);
    VARIANT_BOOL created = 0;
    core->RouteCreateAutomatic(GPSMode, configuration.Get(), &created);
    return created != 0;
}

void BM_RouteCreateAutomaticAcrossLiechtenstein(benchmark::State& state) {
    IGPSCore* core = Service(state);
    if (core == nullptr) return;
    const RouteType type = state.range(0) != 0 ? RouteTypeVehicle : RouteTypePedestrian;
    SHORT waypoints = 0;
    // The destination is set once: the request is what a traveller repeats.
    core->DestinationSetByLocation(Place(kRuggellLat, kRuggellLon).Get());
    for (auto _ : state) {
        if (!CreateAcross(core, type, false)) {
            state.SkipWithError("no route");
            return;
        }
    }
    ComPtr<IRouteObject> route;
    core->RouteGet(route.Put());
    route->GetWaypointCount(&waypoints);
    state.counters["waypoints"] = waypoints;
}
BENCHMARK(BM_RouteCreateAutomaticAcrossLiechtenstein)
    ->ArgName("driving")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The positions of a walk along the route: its waypoints and points between them, 10 m apart.
std::vector<std::pair<double, double>> WalkAlong(IRouteObject* route) {
    std::vector<std::pair<double, double>> walk;
    SHORT count = 0;
    route->GetWaypointCount(&count);
    double lastLat = 0, lastLon = 0;
    for (SHORT i = 1; i <= count; ++i) {
        ComPtr<IWaypointObject> w;
        route->GetWaypoint(i, w.Put());
        double lat = 0, lon = 0;
        w->GetLatitude(&lat);
        w->GetLongitude(&lon);
        if (i > 1) {
            const double metres = std::hypot((lat - lastLat) * 111000.0, (lon - lastLon) * 76000.0);
            const int steps = std::max(1, static_cast<int>(metres / 10.0));
            for (int s = 1; s <= steps; ++s)
                walk.emplace_back(lastLat + (lat - lastLat) * s / steps,
                                  lastLon + (lon - lastLon) * s / steps);
        }
        lastLat = lat;
        lastLon = lon;
    }
    return walk;
}

void BM_PollWhileFollowingARoute(benchmark::State& state) {
    IGPSCore* core = Service(state);
    if (core == nullptr) return;
    if (!CreateAcross(core, RouteTypePedestrian)) {
        state.SkipWithError("no route");
        return;
    }
    ComPtr<IRouteObject> route;
    core->RouteGet(route.Put());
    const auto walk = WalkAlong(route.Get());
    Bstr announcement;
    VARIANT_BOOL requested = 0;
    core->RouteFollow(announcement.Put(), &requested);
    std::vector<ComPtr<ILocationObject>> places;
    places.reserve(walk.size());
    for (const auto& [lat, lon] : walk)
        places.push_back(Place(lat, lon));
    std::size_t i = 0;
    for (auto _ : state) {
        core->GPSForceLocation(places[i].Get(), -1);
        if (++i == places.size()) {
            // Back to the start: the route is followed afresh.
            state.PauseTiming();
            i = 0;
            CreateAcross(core, RouteTypePedestrian);
            core->RouteFollow(announcement.Put(), &requested);
            state.ResumeTiming();
        }
    }
    state.counters["positions"] = static_cast<double>(places.size());
}
BENCHMARK(BM_PollWhileFollowingARoute)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace
