// Route files of 1,000 waypoints: writing the text of a route and reading it back (parse and
// checks of every field), the work RouteSave and RouteLoad do besides the file itself.
//
// Targets on the reference machine: each under 10 ms median (a save or a load is a single user
// action). Figures are kept in docs/performance.md.
#include <benchmark/benchmark.h>

#include <string>

#include "formats/RouteFile.h"

namespace {

namespace rf = gpslib::routefile;

rf::Route ThousandWaypoints() {
    rf::Route route;
    route.configuration.routeType = 1;
    for (int i = 0; i < 1000; ++i) {
        rf::Waypoint w;
        w.name = "Main Street and Cross Street " + std::to_string(i);
        w.latitude = 47.0 + i * 1e-4;
        w.longitude = 9.5 + i * 1e-4;
        w.turningPoint = i % 3 == 0;
        w.description = i % 10 == 0 ? "Caf\xc3\xa9 & Bar <corner>" : "";
        w.streetName = "Main Street";
        w.lanes = 2;
        w.orientationForward = (i * 7) % 360;
        w.orientationReverse = (i * 7 + 180) % 360;
        w.speed = 50;
        w.distance = 12.345678901;
        w.featureIndex = static_cast<int>(i % 32000);
        w.crossStreet = "Cross Street";
        route.waypoints.push_back(w);
    }
    return route;
}

void BM_RouteFileWrite1000(benchmark::State& state) {
    const rf::Route route = ThousandWaypoints();
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text = rf::Write(route, "owner", "version");
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_RouteFileWrite1000)->Unit(benchmark::kMillisecond);

void BM_RouteFileRead1000(benchmark::State& state) {
    const std::string text = rf::Write(ThousandWaypoints(), "owner", "version");
    for (auto _ : state) {
        rf::Route route;
        std::string error;
        if (!rf::Read(text, &route, &error)) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(route);
    }
}
BENCHMARK(BM_RouteFileRead1000)->Unit(benchmark::kMillisecond);

} // namespace
