// Routes at the size of a country: the Liechtenstein extract tiled 35 times (about 5 million
// nodes) and joined into one network by a primary road between each tile and its neighbours,
// compiled by the built gpsmap-build (both cached in the bench build folder until the compiler is
// rebuilt). Through the engine's plain C++ face, each route searched as the engine does now
// (through the map's route hierarchy, the default preferences being asked, argument 1) and by
// the straight line alone (argument 0):
// a 0.3 km walk and drive in Vaduz, Ruggell to Balzers inside one tile, corner to corner across
// the country, the first route after loading, and both searches on random pairs (their costs
// must agree). Counters: states settled, km, and the resident memory with the country loaded.
//
// Targets (docs/routing.md): the short routes within 2x of the same on Liechtenstein alone (or
// under 1 ms), a one-tile route within 1.5x, corner to corner under 20 ms driving and 30 ms
// walking, the first route after loading under 20 ms, under 150 MiB resident.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "Router.h"
#include "bench_util.h"
#include "compiler_run.h"
#include "osm_tiles.h"

namespace {

namespace fs = std::filesystem;

const std::string kExtract = GPSLIB_OSM_DATA_DIR "/liechtenstein.osm.pbf";
const std::string kDir = GPSLIB_BENCH_DIR "/country";
constexpr int kTiles = 35;

// Ruggell (north) and Balzers (south) in the first tile; Vaduz's short walk.
constexpr gpsmap::Point kRuggell{47.2436, 9.5401}, kBalzers{47.0665, 9.5030};
constexpr gpsmap::Point kVaduzA{47.1395, 9.5222}, kVaduzB{47.1418, 9.5205};

struct Country {
    std::string map;  // the compiled file
    double east = 0;  // degrees from one tile's column to the next
    double north = 0; // degrees from one tile's row to the next
    int columns = 1;
    std::string problem; // why there is none
};

// The country, made once: the joined extract and its map, written again when the compiler is
// newer than the map.
const Country& TheCountry() {
    static const Country country = [] {
        Country c;
        fs::create_directories(kDir);
        const std::string pbf = kDir + "/liechtenstein-x35-joined.osm.pbf";
        // The grid's steps are the source's, whatever the count: one tile tells them cheaply.
        gpslib::testing::TiledExtract counts;
        std::string error;
        if (!gpslib::testing::WriteTiledExtract(kExtract, 1, kDir + "/one-tile.osm.pbf", &counts,
                                                &error) ||
            (!fs::exists(pbf) &&
             !gpslib::testing::WriteTiledExtract(kExtract, kTiles, pbf, nullptr, &error, true))) {
            c.problem = error;
            return c;
        }
        counts.columns = static_cast<int>(std::ceil(std::sqrt(double{kTiles})));
        c.east = counts.eastDegrees, c.north = counts.northDegrees, c.columns = counts.columns;
        c.map = kDir + "/maps/Liechtenstein-X35-Joined.rmf"; // the compiler names it so
        std::error_code ec;
        if (!fs::exists(c.map) ||
            fs::last_write_time(c.map, ec) < fs::last_write_time(GPSMAP_BUILD_TOOL, ec)) {
            gpslib::bench::Peaks peaks;
            if (!gpslib::bench::RunCompiler(pbf, kDir + "/maps", "auto", &peaks))
                c.problem = "gpsmap-build failed on " + pbf;
        }
        return c;
    }();
    return country;
}

// A point of the first tile moved into tile `t`.
gpsmap::Point InTile(const Country& c, gpsmap::Point p, int t) {
    const int row = t / c.columns, column = t % c.columns;
    return {p.lat + row * c.north, p.lon + column * c.east};
}

// The country's map opened once, or null (the benchmark then skips).
const gpsmap::MapData* Opened(benchmark::State& state) {
    if (!gpslib::bench::NeedFile(state, kExtract, "the Liechtenstein extract")) return nullptr;
    const Country& c = TheCountry();
    if (!c.problem.empty()) {
        state.SkipWithError(c.problem.c_str());
        return nullptr;
    }
    static std::unique_ptr<gpsmap::MapData> map = [&] {
        auto data = std::make_unique<gpsmap::MapData>();
        std::string error;
        if (!data->Open(c.map, &error)) data.reset();
        return data;
    }();
    if (map == nullptr) state.SkipWithError("the country's map does not open");
    return map.get();
}

std::uint64_t ResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stoull(line.substr(6)) * 1024;
    return 0;
}

gpsmap::RouteRequest Request(gpsmap::Point a, gpsmap::Point b, bool walking, bool guided) {
    gpsmap::RouteRequest request;
    request.start = a, request.end = b, request.walking = walking;
    request.plainSearch = !guided;
    return request;
}

// One route again and again; argument 0 the plain search, 1 the guided one.
void Route(benchmark::State& state, gpsmap::Point a, gpsmap::Point b, bool walking) {
    const gpsmap::MapData* map = Opened(state);
    if (map == nullptr) return;
    const gpsmap::RouteRequest request = Request(a, b, walking, state.range(0) == 1);
    gpsmap::RouteScratch scratch;
    gpsmap::Route route;
    bool found = false;
    for (auto _ : state)
        found = gpsmap::FindRoute(*map, request, gpsmap::RouteNaming{}, &scratch, &route);
    if (!found) state.SkipWithError("no route");
    state.counters["states"] = route.visited;
    state.counters["km"] = route.length / 1000.0;
    state.counters["resident_MiB"] = static_cast<double>(ResidentBytes()) / (1024.0 * 1024.0);
}

void BM_CountryShortWalkInVaduz(benchmark::State& state) {
    Route(state, kVaduzA, kVaduzB, true);
}
void BM_CountryShortDriveInVaduz(benchmark::State& state) {
    Route(state, kVaduzA, kVaduzB, false);
}
void BM_CountryOneTileDrive(benchmark::State& state) {
    Route(state, kRuggell, kBalzers, false);
}
void BM_CountryCornerToCornerDrive(benchmark::State& state) {
    Route(state, kRuggell, InTile(TheCountry(), kBalzers, kTiles - 1), false);
}
void BM_CountryCornerToCornerWalk(benchmark::State& state) {
    Route(state, kRuggell, InTile(TheCountry(), kBalzers, kTiles - 1), true);
}
BENCHMARK(BM_CountryShortWalkInVaduz)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CountryShortDriveInVaduz)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CountryOneTileDrive)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountryCornerToCornerDrive)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountryCornerToCornerWalk)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The map opened and one drive across a tile found with fresh search memory, as after a start.
void BM_CountryFirstRouteAfterLoading(benchmark::State& state) {
    if (Opened(state) == nullptr) return;
    const gpsmap::RouteRequest request = Request(kRuggell, kBalzers, false, state.range(0) == 1);
    bool found = false;
    for (auto _ : state) {
        gpsmap::MapData map;
        std::string error;
        gpsmap::RouteScratch scratch;
        gpsmap::Route route;
        found = map.Open(TheCountry().map, &error) &&
                gpsmap::FindRoute(map, request, gpsmap::RouteNaming{}, &scratch, &route);
    }
    if (!found) state.SkipWithError("no route");
}
BENCHMARK(BM_CountryFirstRouteAfterLoading)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Both searches on random pairs of the country's nodes, walking and driving: "mismatches" counts
// pairs whose costs differ (must be 0); "speedup" is the plain search's time over the fast one's.
void BM_CountryBothSearchesAgree(benchmark::State& state) {
    const gpsmap::MapData* map = Opened(state);
    if (map == nullptr) return;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> node(0, static_cast<int>(map->NodeCount()) - 1);
    gpsmap::RouteScratch scratch;
    double plain = 0, guided = 0;
    int mismatches = 0, pairs = 0;
    for (auto _ : state) {
        const gpsmap::Point a = map->NodeAt(node(random)), b = map->NodeAt(node(random));
        const bool walking = pairs % 2 == 0;
        gpsmap::Route exact, fast;
        auto t0 = std::chrono::steady_clock::now();
        const bool found = gpsmap::FindRoute(*map, Request(a, b, walking, false),
                                             gpsmap::RouteNaming{}, &scratch, &exact);
        auto t1 = std::chrono::steady_clock::now();
        const bool same = gpsmap::FindRoute(*map, Request(a, b, walking, true),
                                            gpsmap::RouteNaming{}, &scratch, &fast);
        auto t2 = std::chrono::steady_clock::now();
        plain += std::chrono::duration<double>(t1 - t0).count();
        guided += std::chrono::duration<double>(t2 - t1).count();
        if (found != same || (found && std::fabs(exact.cost - fast.cost) > 1e-6 * exact.cost))
            ++mismatches;
        ++pairs;
    }
    state.counters["pairs"] = pairs;
    state.counters["mismatches"] = mismatches;
    state.counters["speedup"] = guided > 0 ? plain / guided : 0;
    if (mismatches > 0) state.SkipWithError("the fast search found another cost");
}
BENCHMARK(BM_CountryBothSearchesAgree)->Iterations(1000)->Unit(benchmark::kMillisecond);

} // namespace
