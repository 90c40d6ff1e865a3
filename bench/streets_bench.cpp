// The street questions through the service on the compiled Liechtenstein extract: Where Am I and
// the next intersection ahead for the live position, as a client asks them (service and map
// engine registered modules, the position forced with a heading before each question).
//
// Target on the reference machine: each under 200 µs median. Figures are kept in
// docs/performance.md.
#include <benchmark/benchmark.h>
#include <gpslib/GPSLib.h>
#include <gpslib/support.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench_util.h"

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;

const std::string kMapFile = std::string(GPSLIB_OSM_MAP_DIR) + "/Liechtenstein.rmf";

// A started service whose only map is Liechtenstein, and positions around Vaduz's centre.
class Service {
public:
    static Service& Get() {
        static Service service;
        return service;
    }
    bool ok() const { return m_ok; }
    IGPSCore* core() const { return m_core.Get(); }
    // The next of a thousand positions within about 400 m of the centre, with a heading.
    void Next(ILocationObject* place, SHORT* heading) {
        const auto& p = m_points[m_next++ % m_points.size()];
        place->SetLatitude(p.latitude);
        place->SetLongitude(p.longitude);
        *heading = p.heading;
    }

private:
    struct Point {
        double latitude, longitude;
        SHORT heading;
    };
    Service() {
        namespace fs = std::filesystem;
        if (!std::ifstream(kMapFile).good()) return;
        const std::string dir = std::string(GPSLIB_BENCH_DIR) + "/streets_bench_files";
        fs::remove_all(dir);
        fs::create_directories(dir + "/maps");
        fs::create_directories(dir + "/Debug");
        fs::copy_file(kMapFile, dir + "/maps/Liechtenstein.rmf");
        fs::copy_file(gpslib::bench::StringModule(GPSLIB_RESOURCE_MODULE),
                      dir + "/GPSResources_EN.dll");
        setenv("GPSLIB_MAP_PATH", (dir + "/maps").c_str(), 1);
        if (gpslib::bench::RegisterModules(GPSREG_TOOL, dir + "/registry.reg",
                                           {GPSCORE_MODULE, GPSMAP_MODULE}))
            return;
        if (FAILED(CoCreateInstance(CLSID_GPSCore, nullptr, CLSCTX_INPROC_SERVER, IID_IGPSCore,
                                    m_core.PutVoid())))
            return;
        Bstr result;
        if (FAILED(m_core->Start(Bstr(dir + "/").Get(), nullptr, result.Put()))) return;
        SHORT maps = 0;
        m_core->GetNumberOfMapsLoaded(&maps);
        std::mt19937 random(42);
        std::uniform_real_distribution<double> offset(-0.004, 0.004);
        std::uniform_int_distribution<int> heading(0, 359);
        for (int i = 0; i < 1000; ++i)
            m_points.push_back({47.1410 + offset(random), 9.5209 + offset(random),
                                static_cast<SHORT>(heading(random))});
        m_ok = maps > 0;
    }
    ~Service() {
        if (m_core) m_core->Stop();
    }
    ComPtr<IGPSCore> m_core;
    std::vector<Point> m_points;
    std::size_t m_next = 0;
    bool m_ok = false;
};

template <class Ask> void Run(benchmark::State& state, Ask ask) {
    if (!gpslib::bench::NeedCompiledLiechtenstein(state, GPSLIB_OSM_MAP_DIR)) return;
    Service& service = Service::Get();
    if (!service.ok()) {
        state.SkipWithError("the service did not start");
        return;
    }
    ComPtr<ILocationObject> place;
    CoCreateInstance(CLSID_LocationObject, nullptr, CLSCTX_INPROC_SERVER, IID_ILocationObject,
                     place.PutVoid());
    for (auto _ : state) {
        SHORT heading = -1;
        service.Next(place.Get(), &heading);
        service.core()->GPSForceLocation(place.Get(), heading);
        ask(service.core());
    }
}

void BM_WhereAmI(benchmark::State& state) {
    Run(state, [](IGPSCore* core) {
        ComPtr<IWhereAmIObject> answer;
        core->WhereAmI(GPSMode, answer.Put());
        benchmark::DoNotOptimize(answer.Get());
    });
}
BENCHMARK(BM_WhereAmI)->Unit(benchmark::kMicrosecond)->Repetitions(3)->ReportAggregatesOnly(true);

void BM_GetNextIntersectionAhead(benchmark::State& state) {
    Run(state, [](IGPSCore* core) {
        ComPtr<IIntersectionObject> answer;
        core->GetNextIntersectionAhead(GPSMode, answer.Put());
        benchmark::DoNotOptimize(answer.Get());
    });
}
BENCHMARK(BM_GetNextIntersectionAhead)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

} // namespace
