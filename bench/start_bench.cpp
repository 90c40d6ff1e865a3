// Start of the service with the compiled Liechtenstein map, its POI file and the database
// component (the service, map engine and database modules registered in the benchmark's own
// store): the time of one Start, Stop untimed between them. The first Start of the process (the
// modules loaded, the store read) is reported apart as first_start_ms.
//
// Target on the reference machine: Start under 10 ms. Figures are kept in docs/performance.md.
#include <benchmark/benchmark.h>
#include <gpslib/GPSLib.h>
#include <gpslib/support.h>
#include <stdlib.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "bench_util.h"

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;

const std::string kMaps = GPSLIB_OSM_MAP_DIR;

void BM_StartWithLiechtenstein(benchmark::State& state) {
    if (!gpslib::bench::NeedCompiledLiechtenstein(state, kMaps)) return;
    const std::string dir = std::string(GPSLIB_BENCH_DIR) + "/start_bench_service";
    gpslib::bench::LiechtensteinServiceFolder(dir, dir, kMaps, GPSLIB_RESOURCE_MODULE);
    setenv("GPSLIB_MAP_PATH", (dir + "/maps").c_str(), 1);
    if (gpslib::bench::RegisterModules(GPSREG_TOOL, dir + "/registry.reg",
                                       {GPSCORE_MODULE, GPSMAP_MODULE, GPSDB_MODULE})) {
        state.SkipWithError("cannot register the modules");
        return;
    }
    ComPtr<IGPSCore> core;
    if (FAILED(gpslib::CreateObject(CLSID_GPSCore, IID_IGPSCore, &core))) {
        state.SkipWithError("cannot create the service");
        return;
    }
    const Bstr settings(dir + "/");
    double firstMs = -1;
    for (auto _ : state) {
        const auto begin = std::chrono::steady_clock::now();
        Bstr result;
        core->Start(settings.Get(), nullptr, result.Put());
        if (firstMs < 0)
            firstMs =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin)
                    .count();
        state.PauseTiming();
        SHORT maps = 0;
        core->GetNumberOfMapsLoaded(&maps);
        core->Stop();
        if (result.Utf8() != "OK" || maps != 1) {
            state.SkipWithError(
                ("Start answered \"" + result.Utf8() + "\" with " + std::to_string(maps) + " maps")
                    .c_str());
            break;
        }
        state.ResumeTiming();
    }
    state.counters["first_start_ms"] = firstMs;
}
BENCHMARK(BM_StartWithLiechtenstein)->Unit(benchmark::kMillisecond);

} // namespace
