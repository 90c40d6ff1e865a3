// The map compiler at the size of a country: synthetic extracts of about 1, 2.5, 5 and 10 million
// nodes (the Liechtenstein extract tiled 7, 18, 35 and 70 times, with new ids and shifted
// coordinates; cached in the bench build folder), each compiled by the built gpsmap-build as a
// child process with either node index. Counters: nodes per second, the child's peak resident
// memory (its ru_maxrss, through wait4) in all and per node, and the peak of its anonymous
// memory (sampled), which leaves out the pages of a mapped node index file. The 10-million-node
// runs take minutes and run only with GPSLIB_BENCH_TEN_MILLION=1.
//
// And the POI file's indexes: the same POIs written with the schema's triggers indexing each row
// (as the compiler did before) and bulk-loaded as the compiler does now.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "Extract.h"
#include "Writers.h"
#include "bench_util.h"
#include "compiler_run.h"
#include "formats/PoiSchema.h"
#include "formats/Sqlite.h"
#include "osm_tiles.h"

namespace {

using gpslib::bench::Peaks;
using gpslib::bench::RunCompiler;

const std::string kExtract = GPSLIB_OSM_DATA_DIR "/liechtenstein.osm.pbf";
const std::string kBenchDir = GPSLIB_BENCH_DIR;

// The tiled extract of `tiles` copies, written once and kept; its node count.
bool TiledExtract(benchmark::State& state, int tiles, std::string* path, std::uint64_t* nodes) {
    if (!gpslib::bench::NeedFile(state, kExtract, "the Liechtenstein extract")) return false;
    std::filesystem::create_directories(kBenchDir + "/tiles");
    *path = kBenchDir + "/tiles/liechtenstein-x" + std::to_string(tiles) + ".osm.pbf";
    // The counts of a tiling are the source's times the tiles; one tile is cheap to write.
    static std::map<int, std::uint64_t> known;
    if (known.count(tiles) == 0 || !std::filesystem::exists(*path)) {
        gpslib::testing::TiledExtract counts;
        std::string error;
        const std::string one = kBenchDir + "/tiles/liechtenstein-x1.osm.pbf";
        if (!gpslib::testing::WriteTiledExtract(kExtract, 1, one, &counts, &error) ||
            (!std::filesystem::exists(*path) &&
             !gpslib::testing::WriteTiledExtract(kExtract, tiles, *path, nullptr, &error))) {
            state.SkipWithError(error.c_str());
            return false;
        }
        known[tiles] = counts.nodes * static_cast<std::uint64_t>(tiles);
    }
    *nodes = known[tiles];
    return true;
}

void BM_CompileCountry(benchmark::State& state, const char* index) {
    const int tiles = static_cast<int>(state.range(0));
    if (tiles >= 70 && std::getenv("GPSLIB_BENCH_TEN_MILLION") == nullptr) {
        gpslib::bench::SkipForMissingData(state, "set GPSLIB_BENCH_TEN_MILLION=1 to run the "
                                                 "10-million-node compile (minutes)");
        return;
    }
    std::string input;
    std::uint64_t nodes = 0;
    Peaks peaks;
    if (!TiledExtract(state, tiles, &input, &nodes)) return;
    double seconds = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        if (!RunCompiler(input, kBenchDir + "/compiled-country", index, &peaks)) {
            state.SkipWithError("gpsmap-build failed");
            return;
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
    }
    state.counters["nodes"] = static_cast<double>(nodes);
    state.counters["nodes_per_s"] = static_cast<double>(nodes) / seconds;
    const double mib = 1024.0 * 1024.0, n = static_cast<double>(nodes);
    state.counters["peak_MiB"] = static_cast<double>(peaks.resident) / mib;
    state.counters["peak_B_per_node"] = static_cast<double>(peaks.resident) / n;
    state.counters["anon_MiB"] = static_cast<double>(peaks.anonymous) / mib;
    state.counters["anon_B_per_node"] = static_cast<double>(peaks.anonymous) / n;
}
void CountrySizes(benchmark::internal::Benchmark* b) {
    for (int tiles : {7, 18, 35, 70})
        b->Arg(tiles);
    b->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
}
BENCHMARK_CAPTURE(BM_CompileCountry, memory, "memory")->Apply(CountrySizes);
BENCHMARK_CAPTURE(BM_CompileCountry, disk, "disk")->Apply(CountrySizes);

// The POIs of the Liechtenstein extract, repeated `copies` times a tenth of a degree apart.
const gpsmap::build::Map& Pois(int copies) {
    static std::map<int, gpsmap::build::Map> maps;
    gpsmap::build::Map& map = maps[copies];
    if (!map.pois.empty()) return map;
    static gpsmap::build::Extract extract;
    std::string error;
    if (extract.pois.empty()) gpsmap::build::ReadExtract(kExtract, "", nullptr, &extract, &error);
    for (int c = 0; c < copies; ++c)
        for (gpsmap::build::PoiRec p : extract.pois) {
            const int row = c / 10; // copies laid out ten to a row
            p.at.lat -= 0.3 * row;
            p.at.lon += 0.3 * (c % 10);
            map.pois.push_back(p);
        }
    return map;
}

// The rows as the compiler writes them, indexed by the schema's triggers one by one.
bool WriteWithTriggers(const gpsmap::build::Map& map, const std::string& path) {
    std::string error;
    std::filesystem::remove(path);
    auto db = gpslib::sqlite::Database::Open(path, gpslib::sqlite::Database::Mode::Create, &error);
    if (!db || !db->Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN;") ||
        !db->Exec(gpslib::formats::kPoiSchema))
        return false;
    for (std::size_t i = 0; i < map.pois.size(); ++i) {
        const gpsmap::build::PoiRec& p = map.pois[i];
        gpslib::sqlite::Statement* s =
            db->Prepare("INSERT INTO pois VALUES(?,?,?,?,?,?,?,?,?,?,'','',?,?,?,?,'','',0,NULL,"
                        "'','','','','','',0,0,0,0)");
        if (s == nullptr) return false;
        s->Bind(1, static_cast<std::int64_t>(i + 1)).BindText(2, p.name);
        s->Bind(3, std::int64_t{p.category}).Bind(4, std::int64_t{p.subcategory});
        s->Bind(5, p.at.lat).Bind(6, p.at.lon).BindText(7, p.street).BindText(8, p.houseNumber);
        s->BindText(9, p.city).BindText(10, p.postcode);
        s->BindText(11, p.phone).BindText(12, p.website).BindText(13, p.openingHours);
        s->BindText(14, p.wheelchair);
        if (!s->Run()) return false;
    }
    return db->Exec("COMMIT;") && db->Close();
}

void BM_PoiFile(benchmark::State& state, bool bulk) {
    if (!gpslib::bench::NeedFile(state, kExtract, "the Liechtenstein extract")) return;
    const gpsmap::build::Map& map = Pois(static_cast<int>(state.range(0)));
    const std::string path = kBenchDir + "/pois.pdb";
    gpsmap::build::MapInfo info{"Bench", "regional", "bench", "", "en"};
    for (auto _ : state) {
        std::string error;
        std::filesystem::remove(path);
        bool ok = bulk ? gpsmap::build::WritePoiFile(map, info, path, &error)
                       : WriteWithTriggers(map, path);
        if (!ok) {
            state.SkipWithError(("writing the POI file failed " + error).c_str());
            return;
        }
    }
    state.counters["pois"] = static_cast<double>(map.pois.size());
    state.counters["pois_per_s"] = benchmark::Counter(
        static_cast<double>(map.pois.size()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK_CAPTURE(BM_PoiFile, triggers, false)
    ->Arg(10)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_PoiFile, bulk, true)
    ->Arg(10)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace
