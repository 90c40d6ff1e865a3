// POI search and personal places through the service, with the real map engine and database
// component registered, on the compiled Liechtenstein extract: the 25 nearest POIs around Vaduz
// (rings until 25 are found), a name search carried over the whole map (until the search reaches
// its maximum distance), and adding 1000 favorites (each add a durable commit).
//
// Targets on the reference machine: the 25 nearest under 2 ms median, the whole-map name search
// under 5 ms. Figures are kept in docs/performance.md.
#include <benchmark/benchmark.h>
#include <gpslib/GPSLib.h>
#include <gpslib/support.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench_util.h"

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;

constexpr double kVaduzLat = 47.1410, kVaduzLon = 9.5215;
const std::string kMap = std::string(GPSLIB_OSM_MAP_DIR) + "/Liechtenstein";

// A started service over a folder of its own that links the compiled map.
class Service {
public:
    Service() {
        gpslib::bench::RegisterModulesOnce(
            GPSREG_TOOL, std::string(GPSLIB_BENCH_DIR) + "/poi_bench_registry.reg",
            {GPSCORE_MODULE, GPSMAP_MODULE, GPSDB_MODULE});
        namespace fs = std::filesystem;
        m_folder = std::string(GPSLIB_BENCH_DIR) + "/poi_bench_service";
        fs::remove_all(m_folder);
        fs::create_directories(m_folder + "/maps");
        for (const char* ext : {".rmf", ".pdb", ".cpd"})
            fs::create_symlink(kMap + ext, m_folder + "/maps/Liechtenstein" + ext);
        fs::copy_file(gpslib::bench::StringModule(GPSLIB_RESOURCE_MODULE),
                      m_folder + "/GPSResources_EN.dll");
        setenv("GPSLIB_MAP_PATH", (m_folder + "/maps").c_str(), 1);
        if (FAILED(gpslib::CreateObject(CLSID_GPSCore, IID_IGPSCore, &core))) return;
        Bstr settings(m_folder + "/"), result;
        core->Start(settings.Get(), nullptr, result.Put());
        ok = result.Utf8() == "OK";
        gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &here);
        here->SetLatitude(kVaduzLat);
        here->SetLongitude(kVaduzLon);
    }
    ~Service() {
        if (core) core->Stop();
        std::filesystem::remove_all(m_folder);
    }
    ComPtr<IPOISearchConfigurationObject> Search(const char* name) {
        ComPtr<IPOISearchConfigurationObject> search;
        gpslib::CreateObject(CLSID_POISearchConfigurationObject, IID_IPOISearchConfigurationObject,
                             &search);
        ComPtr<IPOIObject> what;
        search->GetPOISearchObject(what.Put());
        what->SetName(Bstr(std::string_view(name)).Get());
        return search;
    }

    ComPtr<IGPSCore> core;
    ComPtr<ILocationObject> here;
    bool ok = false;

private:
    std::string m_folder;
};

bool HaveData(benchmark::State& state) {
    return gpslib::bench::NeedCompiledLiechtenstein(state, GPSLIB_OSM_MAP_DIR);
}

void BM_POIsFind25Nearest(benchmark::State& state) {
    if (!HaveData(state)) return;
    Service service;
    if (!service.ok) return state.SkipWithError("the service did not start with the map");
    auto search = service.Search("");
    search->SetMaxSearchResults(25);
    LONG found = 0;
    for (auto _ : state) {
        search->SetNewSearch(VARIANT_TRUE);
        ComPtr<IPOIObject> poi;
        service.core->POIsFindByLocation(service.here.Get(), search.Get(), poi.Put(), &found);
        search->SetNewSearch(VARIANT_FALSE);
        while (found > 0 && found < 25)
            service.core->POIsFindByLocation(service.here.Get(), search.Get(), poi.Put(), &found);
    }
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_POIsFind25Nearest)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// A word searched for over the whole map: the search goes on ring after ring until it has
// covered the whole map. The database's word index narrows both words to the few candidates whose
// records are compared.
void BM_POIsFindWordOverTheWholeMap(benchmark::State& state, const char* word) {
    if (!HaveData(state)) return;
    Service service;
    if (!service.ok) return state.SkipWithError("the service did not start with the map");
    auto search = service.Search(word);
    search->SetWholeWord(VARIANT_TRUE);
    LONG total = 0;
    for (auto _ : state) {
        search->SetNewSearch(VARIANT_TRUE);
        ComPtr<IPOIObject> poi;
        LONG found = 0;
        service.core->POIsFindByLocation(service.here.Get(), search.Get(), poi.Put(), &found);
        search->SetNewSearch(VARIANT_FALSE);
        for (int calls = 0; found > 0 && calls < 100; ++calls) {
            total = found;
            service.core->POIsFindByLocation(service.here.Get(), search.Get(), poi.Put(), &found);
        }
    }
    VARIANT_BOOL exceeded = 0;
    service.core->POIGetLastSearchExceededMaxDistance(&exceeded);
    state.counters["found"] = static_cast<double>(total);
    state.counters["covered"] = exceeded != 0 ? 1 : 0;
}
BENCHMARK_CAPTURE(BM_POIsFindWordOverTheWholeMap, Museum, "Museum")
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_POIsFindWordOverTheWholeMap, Apotheke, "Apotheke")
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_Add1000Favorites(benchmark::State& state) {
    if (!HaveData(state)) return;
    Service service;
    if (!service.ok) return state.SkipWithError("the service did not start with the map");
    ComPtr<ILocationObject> place;
    gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &place);
    int n = 0;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i, ++n) {
            place->SetLatitude(kVaduzLat + n * 1e-6);
            place->SetLongitude(kVaduzLon);
            place->SetName(Bstr("Favorite " + std::to_string(n)).Get());
            VARIANT_BOOL added = 0;
            service.core->FavoritesAddLocation(place.Get(), &added);
            if (added == 0) return state.SkipWithError("an add failed");
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(n));
}
BENCHMARK(BM_Add1000Favorites)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
