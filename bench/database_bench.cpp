// Database component benchmarks on the compiled Liechtenstein extract: the 25 nearest POIs
// through the map engine's ring search (FindPOIs, widened as the core widens it), a name search
// over the candidates (DbPOIFind), and adding 1000 history entries (each add a durable commit).
//
// Targets on the reference machine: FindPOIs and DbPOIFind under 1 ms median. Figures are kept
// in docs/performance.md.
#include <benchmark/benchmark.h>
#include <gpslib/GPSDatabaseLib.h>
#include <gpslib/GPSLib.h>
#include <gpslib/support.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench_util.h"

#include "PoiSearch.h"

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;

constexpr double kVaduzLat = 47.1410, kVaduzLon = 9.5209;
const std::string kPoiFile = std::string(GPSLIB_OSM_MAP_DIR) + "/Liechtenstein.pdb";

bool HaveData(benchmark::State& state) {
    return gpslib::bench::NeedCompiledLiechtenstein(state, GPSLIB_OSM_MAP_DIR) &&
           gpslib::bench::NeedFile(state, kPoiFile, "the compiled Liechtenstein POI file");
}

void RegisterOnce() {
    gpslib::bench::RegisterModulesOnce(
        GPSREG_TOOL, std::string(GPSLIB_BENCH_DIR) + "/database_bench_registry.reg",
        {GPSCORE_MODULE, GPSDB_MODULE});
}

// The core's loop for the nearest POIs: rings until 25 candidates or the limit.
std::size_t Nearest(gpsdb::PoiSearch* search, std::size_t wanted,
                    std::vector<gpsdb::PoiHit>* hits) {
    gpsdb::PoiQuery q;
    q.latitude = kVaduzLat;
    q.longitude = kVaduzLon;
    q.maxResults = static_cast<long>(wanted);
    double distance = 0.0;
    hits->clear();
    while (hits->size() < wanted && distance < gpsdb::kMaxSearchDistanceKm)
        search->FindPOIs(q, &distance, hits);
    return hits->size();
}

void BM_FindPOIs25Nearest(benchmark::State& state) {
    if (!HaveData(state)) return;
    gpsdb::PoiSearch search;
    std::string error;
    if (!search.AddMapFile(kPoiFile, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::vector<gpsdb::PoiHit> hits;
    for (auto _ : state)
        benchmark::DoNotOptimize(Nearest(&search, 25, &hits));
}
BENCHMARK(BM_FindPOIs25Nearest)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_DbPOIFindByName(benchmark::State& state) {
    if (!HaveData(state)) return;
    RegisterOnce();
    gpsdb::PoiSearch search;
    std::string error;
    search.AddMapFile(kPoiFile, &error);
    std::vector<gpsdb::PoiHit> hits;
    Nearest(&search, 200, &hits);
    ComPtr<IPOIDatabase> db;
    ComPtr<IPOIResults> candidates;
    ComPtr<IPOISearchConfigurationObject> config;
    ComPtr<IPOIObject> poi;
    if (FAILED(gpslib::CreateObject(CLSID_POIDatabase, IID_IPOIDatabase, &db)) ||
        FAILED(gpslib::CreateObject(CLSID_POIResults, IID_IPOIResults, &candidates)) ||
        FAILED(gpslib::CreateObject(CLSID_POISearchConfigurationObject,
                                    IID_IPOISearchConfigurationObject, &config)) ||
        FAILED(gpslib::CreateObject(CLSID_POIObject, IID_IPOIObject, &poi))) {
        state.SkipWithError("cannot create the objects");
        return;
    }
    SHORT opened = 0;
    db->OpenDatabase(Bstr(kPoiFile).Get(), &opened);
    for (const gpsdb::PoiHit& h : hits)
        candidates->Add(Bstr(h.name).Get(), static_cast<LONG>(h.key));
    poi->SetName(Bstr("rest").Get());
    config->SetPOISearchObject(poi.Get());
    config->SetStartsWithSearch(VARIANT_TRUE);
    for (auto _ : state) {
        LONG cursor = 0;
        ComPtr<IPOIResults> results;
        VARIANT_BOOL found = 0;
        db->DbPOIFind(candidates.Get(), config.Get(), &cursor, results.Put(), &found);
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_DbPOIFindByName)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_Add1000HistoryEntries(benchmark::State& state) {
    RegisterOnce();
    char pattern[] = "/tmp/gpsdb-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string file = std::string(pattern) + "/History.hdb";
    ComPtr<IPOIDatabase> db;
    ComPtr<IPOIRecord> record;
    gpslib::CreateObject(CLSID_POIDatabase, IID_IPOIDatabase, &db);
    gpslib::CreateObject(CLSID_POIRecord, IID_IPOIRecord, &record);
    SHORT opened = 0;
    db->OpenDatabase(Bstr(file).Get(), &opened);
    record->SetName(Bstr("Aeulestrasse 12, Vaduz").Get());
    record->SetCategoryNumber(16);
    record->SetLatitude(kVaduzLat);
    record->SetLongitude(kVaduzLon);
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) {
            LONG key = 0;
            VARIANT_BOOL added = 0;
            db->DbPOIAdd(Bstr(file).Get(), record.Get(), nullptr, &key, &added);
            if (!added) state.SkipWithError("add refused");
        }
    }
    db->CloseDatabase();
    for (const char* suffix : {"", "-wal", "-shm"})
        std::remove((file + suffix).c_str());
    rmdir(pattern);
}
BENCHMARK(BM_Add1000HistoryEntries)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
