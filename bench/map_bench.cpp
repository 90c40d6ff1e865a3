// The map compiler and the map engine on the compiled Liechtenstein extract (the largest of the
// shared extracts): compile time and peak memory, loading, and the three street queries of the
// orientation words over a thousand positions near its streets.
#include <benchmark/benchmark.h>
#include <gpslib/GPSMapLib.h>
#include <gpslib/registry.h>
#include <gpslib/support.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench_util.h"

#include "Engine.h"
#include "GPSMapLib_classes.h"

namespace {

const std::string kExtract = GPSLIB_OSM_DATA_DIR "/liechtenstein.osm.pbf";
const std::string kMaps = GPSLIB_OSM_MAP_DIR;

// Liechtenstein alone in a folder, so that exactly one map loads.
const std::string& MapFolder() {
    static const std::string folder = [] {
        std::filesystem::path dir = std::filesystem::path(GPSLIB_BENCH_DIR) / "liechtenstein-map";
        std::filesystem::create_directories(dir);
        std::filesystem::copy_file(kMaps + "/Liechtenstein.rmf", dir / "Liechtenstein.rmf",
                                   std::filesystem::copy_options::overwrite_existing);
        return dir.string();
    }();
    return folder;
}

gpslib::ComPtr<IGPSMap> Engine() {
    static std::vector<DWORD> cookies;
    if (cookies.empty())
        gpslib::RegisterModuleInProcess(kGPSMapLibModule, &gpslib::module::g_lockCount, &cookies);
    gpslib::ComPtr<IGPSMap> map;
    gpslib::CreateObject(CLSID_GPSMap, IID_IGPSMap, &map);
    return map;
}

// A thousand positions within 30 m of the map's graph nodes, from a fixed seed.
const std::vector<std::pair<double, double>>& Positions() {
    static const std::vector<std::pair<double, double>> positions = [] {
        std::vector<std::pair<double, double>> nodes, out;
        gpsmap::MapData data;
        std::string error;
        if (data.Open(kMaps + "/Liechtenstein.rmf", &error))
            for (std::size_t n = 0; n < data.NodeCount(); ++n) {
                gpsmap::Point at = data.Node(static_cast<int>(n)).at;
                nodes.push_back({at.lat, at.lon});
            }
        std::mt19937 random(42);
        std::uniform_real_distribution<double> jitter(-0.0003, 0.0003);
        for (int i = 0; i < 1000 && !nodes.empty(); ++i) {
            auto [lat, lon] = nodes[random() % nodes.size()];
            out.push_back({lat + jitter(random), lon + jitter(random)});
        }
        return out;
    }();
    return positions;
}

void BM_CompileLiechtenstein(benchmark::State& state) {
    if (!gpslib::bench::NeedFile(state, kExtract, "the Liechtenstein extract")) return;
    std::string out = std::string(GPSLIB_BENCH_DIR) + "/compiled";
    std::filesystem::create_directories(out);
    std::string command = std::string(GPSMAP_BUILD_TOOL) + " --quiet -o " + out + " " + kExtract;
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("gpsmap-build failed");
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    state.counters["peak_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_CompileLiechtenstein)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LoadMap(benchmark::State& state) {
    if (!gpslib::bench::NeedCompiledLiechtenstein(state, GPSLIB_OSM_MAP_DIR)) return;
    auto map = Engine();
    gpslib::Bstr folder(MapFolder()), none;
    for (auto _ : state) {
        gpslib::Bstr result;
        map->Initalize(folder.Get(), none.Get(), VARIANT_FALSE, result.Put());
        if (result.Utf8() != "OK") state.SkipWithError("the map did not load");
    }
}
BENCHMARK(BM_LoadMap)->Unit(benchmark::kMillisecond);

// One query per iteration, cycling over the positions.
template <class Query> void RunQueries(benchmark::State& state, Query query) {
    if (!gpslib::bench::NeedCompiledLiechtenstein(state, GPSLIB_OSM_MAP_DIR)) return;
    auto map = Engine();
    gpslib::Bstr folder(MapFolder()), none, result;
    map->Initalize(folder.Get(), none.Get(), VARIANT_FALSE, result.Put());
    const auto& positions = Positions();
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& [lat, lon] = positions[i++ % positions.size()];
        query(map.Get(), lat, lon, static_cast<SHORT>((i * 37) % 360));
    }
}

void BM_GetStreetAtLocation(benchmark::State& state) {
    gpslib::Bstr k("STREET EXPANDED");
    RunQueries(state, [&](IGPSMap* map, double lat, double lon, SHORT heading) {
        gpslib::Bstr name, result;
        map->GetStreetAtLocation(lat, lon, heading, k.Get(), name.Put(), result.Put());
    });
}
BENCHMARK(BM_GetStreetAtLocation)->Unit(benchmark::kMicrosecond);

void BM_FindNextCrossStreets(benchmark::State& state) {
    gpslib::Bstr k1("STREET EXPANDED"), k2("INTERSECTION EXPANDEDINCLUDE CONNECTORS");
    RunQueries(state, [&](IGPSMap* map, double lat, double lon, SHORT heading) {
        gpslib::Bstr name, result;
        map->GetStreetAtLocation(lat, lon, heading, k1.Get(), name.Put(), result.Put());
        gpslib::Variant list;
        map->FindNextCrossStreets(lat, lon, name.Get(), heading, k2.Get(), &list);
    });
}
BENCHMARK(BM_FindNextCrossStreets)->Unit(benchmark::kMicrosecond);

void BM_GetLocationsDetailsVector(benchmark::State& state) {
    gpslib::Bstr k("ALL");
    RunQueries(state, [&](IGPSMap* map, double lat, double lon, SHORT heading) {
        gpslib::Variant list;
        map->GetLocationsDetailsVector(lat, lon, k.Get(), heading, &list);
    });
}
BENCHMARK(BM_GetLocationsDetailsVector)->Unit(benchmark::kMicrosecond);

// Across Liechtenstein, from Ruggell in the north to Balzers in the south (about 25 km as the
// crow flies), through the engine's interface. "states" is how many directed edges the search
// settles (read once through the engine's plain C++ face on the same file).
void RouteAcross(benchmark::State& state, bool walking) {
    if (!gpslib::bench::NeedCompiledLiechtenstein(state, GPSLIB_OSM_MAP_DIR)) return;
    auto map = Engine();
    gpslib::Bstr folder(MapFolder()), none, result, name("Balzers");
    map->Initalize(folder.Get(), none.Get(), VARIANT_FALSE, result.Put());
    const double lat0 = 47.2436, lon0 = 9.5401, lat1 = 47.0665, lon1 = 9.5030;
    std::size_t points = 0;
    for (auto _ : state) {
        gpslib::Variant list;
        HRESULT hr =
            walking
                ? map->FindWalkingRoute(lat0, lon0, lat1, lon1, name.Get(), none.Get(), none.Get(),
                                        RouteFreewayNormal, RouteTurnVehicleFavorsRight,
                                        RouteTurnPedestrianAutomatic, RouteRoundaboutNormal,
                                        RouteTollRoadNormal, RouteVehicleModeFastest, &list)
                : map->FindDrivingRoute(lat0, lon0, lat1, lon1, name.Get(), none.Get(), none.Get(),
                                        RouteFreewayNormal, RouteTurnVehicleFavorsRight,
                                        RouteTurnPedestrianAutomatic, RouteRoundaboutNormal,
                                        RouteTollRoadNormal, RouteVehicleModeFastest, &list);
        points = hr == S_OK && list.parray != nullptr ? list.parray->rgsabound[0].cElements : 0;
    }
    if (points < 2) state.SkipWithError("no route");
    gpsmap::Engine engine;
    engine.Initialize(MapFolder(), "", false);
    gpsmap::RouteRequest request;
    request.start = {lat0, lon0};
    request.end = {lat1, lon1};
    request.walking = walking;
    gpsmap::Route route;
    engine.FindRoute(request, gpsmap::RouteNaming{}, &route);
    state.counters["states"] = route.visited;
    state.counters["km"] = route.length / 1000.0;
    state.counters["points"] = static_cast<double>(points);
}
void BM_WalkingRouteAcrossLiechtenstein(benchmark::State& state) {
    RouteAcross(state, true);
}
void BM_DrivingRouteAcrossLiechtenstein(benchmark::State& state) {
    RouteAcross(state, false);
}
BENCHMARK(BM_WalkingRouteAcrossLiechtenstein)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrivingRouteAcrossLiechtenstein)->Unit(benchmark::kMillisecond);

// A 0.3 km walk in Vaduz, again and again, through the engine's plain C++ face: what a route
// recomputed on the walk's way costs. Its time should not grow with the map (the ways' prices
// are worked out by the first search and kept).
void BM_ShortWalkInVaduz(benchmark::State& state) {
    if (!gpslib::bench::NeedCompiledLiechtenstein(state, GPSLIB_OSM_MAP_DIR)) return;
    gpsmap::Engine engine;
    engine.Initialize(MapFolder(), "", false);
    gpsmap::RouteRequest request;
    request.start = {47.1395, 9.5222};
    request.end = {47.1418, 9.5205};
    gpsmap::Route route;
    for (auto _ : state)
        benchmark::DoNotOptimize(engine.FindRoute(request, gpsmap::RouteNaming{}, &route));
    state.counters["states"] = route.visited;
    state.counters["km"] = route.length / 1000.0;
}
BENCHMARK(BM_ShortWalkInVaduz)->Unit(benchmark::kMicrosecond);

} // namespace

// The crossings of a junction (those within 25 m of it) at the thousand positions, through the
// engine itself: the service's crossing questions ask it so.
void BM_CrossingsOfAJunction(benchmark::State& state) {
    gpsmap::Engine engine;
    engine.Initialize(MapFolder(), "", false);
    const gpsmap::Naming naming;
    std::size_t i = 0, found = 0;
    for (auto _ : state) {
        const auto& [lat, lon] = Positions()[i++ % Positions().size()];
        found += engine.CrossingsNear({lat, lon}, 25.0, naming).size();
    }
    state.counters["found"] =
        benchmark::Counter(static_cast<double>(found), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_CrossingsOfAJunction)->Unit(benchmark::kMicrosecond);
