// Address search benchmarks on the compiled Baltimore extract, through the registered service,
// map engine and database component as a client calls them: one step each of a search for
// "1200 Fleet Street, Baltimore" (the streets of the city beginning with a text, or of the whole
// map holding one; the house number on the chosen street; the address with its position), and
// the cross streets of the street.
//
// Target on the reference machine: every step under 5 ms median. Figures are kept in
// docs/performance.md.
#include <benchmark/benchmark.h>
#include <gpslib/GPSLib.h>
#include <gpslib/support.h>
#include <stdlib.h>

#include <algorithm>
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

const std::string kMaps = GPSLIB_OSM_MAP_DIR;

// The service started on a folder holding Baltimore alone, with the city chosen.
struct Search {
    ComPtr<IGPSCore> core;
    ComPtr<IAddressSearchConfigurationObject> config;
    LONG city = -1, street = -1;
    std::string error;

    Search() {
        const std::filesystem::path dir = std::filesystem::path(GPSLIB_BENCH_DIR) / "address-bench";
        const std::filesystem::path maps = dir / "maps";
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(maps);
        for (const char* ext : {".rmf", ".pdb", ".cpd"})
            std::filesystem::create_symlink(kMaps + "/Baltimore" + ext,
                                            maps / (std::string("Baltimore") + ext));
        std::ifstream in(GPSLIB_RESOURCE_MODULE, std::ios::binary);
        std::ofstream(dir / "GPSResources_EN.dll", std::ios::binary) << in.rdbuf();
        if (gpslib::bench::RegisterModules(GPSREG_TOOL, (dir / "registry.reg").string(),
                                           {GPSCORE_MODULE, GPSMAP_MODULE, GPSDB_MODULE}))
            error = "cannot register modules";
        setenv("GPSLIB_MAP_PATH", maps.c_str(), 1);
        Bstr settings(dir.string() + "/"), result;
        if (!error.empty() || FAILED(gpslib::CreateObject(CLSID_GPSCore, IID_IGPSCore, &core)) ||
            FAILED(core->Start(settings.Get(), nullptr, result.Put())) ||
            FAILED(gpslib::CreateObject(CLSID_AddressSearchConfigurationObject,
                                        IID_IAddressSearchConfigurationObject, &config))) {
            error = "cannot start the service";
            return;
        }
        gpslib::Variant list;
        SHORT n = 0;
        core->AddressFindMapsForCitySearch(Bstr("baltimore").Get(), &list, &n);
        city = IndexOf(Step(&IGPSCore::AddressFindCity, "Baltimore"), "Baltimore");
        config->SetLastSearchIndex(city);
        street = IndexOf(Step(nullptr, "fleet"), "Fleet Street");
        Bstr chosen;
        config->GetSearchName(chosen.Put());
        if (street < 0 && chosen.Utf8() == "Fleet Street") street = 0; // the only match
        if (city < 0 || street < 0) error = "Fleet Street, Baltimore not found";
    }
    ~Search() {
        if (core) core->Stop();
    }
    static LONG IndexOf(const std::vector<std::u16string>& list, const char* name) {
        auto at = std::find(list.begin(), list.end(), gpslib::ToUtf16(name));
        return at == list.end() ? -1 : static_cast<LONG>(at - list.begin());
    }
    // A city search (`step` given) or a street search of `text`; the list.
    std::vector<std::u16string>
    Step(HRESULT (STDMETHODCALLTYPE IGPSCore::*step)(BSTR, IAddressSearchConfigurationObject*,
                                                     VARIANT*, SHORT*),
         const char* text) {
        config->SetSearchName(Bstr(text).Get());
        gpslib::Variant list;
        SHORT n = 0;
        if (step != nullptr)
            (core.Get()->*step)(Bstr("Baltimore").Get(), config.Get(), &list, &n);
        else
            core->AddressFindStreet(config.Get(), &list, &n);
        std::vector<std::u16string> out;
        gpslib::ReadStringList(&list, &out);
        return out;
    }
    // The number step for 1200 on Fleet Street (the street step done); how many it found.
    SHORT FindNumber() {
        config->SetLastSearchIndex(street);
        config->SetStreetAddressNumber(Bstr("1200").Get());
        gpslib::Variant list;
        SHORT n = 0;
        core->AddressFindStreetAddress(config.Get(), &list, &n);
        return n;
    }
};

Search& TheSearch(benchmark::State& state) {
    static Search search;
    if (!gpslib::bench::NeedFile(state, kMaps + "/Baltimore.rmf",
                                 "the compiled Baltimore extract; build the gpslib_osm_maps "
                                 "target with ../shared/data/osm/baltimore.osm.pbf present"))
        return search;
    if (!search.error.empty()) state.SkipWithError(search.error.c_str());
    return search;
}

void BM_AddressFindStreet(benchmark::State& state) {
    Search& s = TheSearch(state);
    if (!s.error.empty()) return;
    for (auto _ : state) {
        s.config->SetLastSearchIndex(s.city);
        benchmark::DoNotOptimize(s.Step(nullptr, "f"));
    }
}
BENCHMARK(BM_AddressFindStreet)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly();

// The heaviest street step: every street of the map (no city chosen), matched anywhere.
void BM_AddressFindStreetWholeMap(benchmark::State& state) {
    Search& s = TheSearch(state);
    if (!s.error.empty()) return;
    s.config->SetStartsWith(VARIANT_FALSE);
    for (auto _ : state) {
        s.config->SetLastSearchIndex(-1);
        benchmark::DoNotOptimize(s.Step(nullptr, "st"));
    }
    s.config->SetStartsWith(VARIANT_TRUE);
}
BENCHMARK(BM_AddressFindStreetWholeMap)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly();

void BM_AddressFindStreetAddress(benchmark::State& state) {
    Search& s = TheSearch(state);
    if (!s.error.empty()) return;
    s.config->SetLastSearchIndex(s.city);
    s.Step(nullptr, "fleet");
    for (auto _ : state)
        benchmark::DoNotOptimize(s.FindNumber());
}
BENCHMARK(BM_AddressFindStreetAddress)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly();

void BM_AddressGet(benchmark::State& state) {
    Search& s = TheSearch(state);
    if (!s.error.empty()) return;
    s.config->SetLastSearchIndex(s.city);
    s.Step(nullptr, "fleet");
    if (s.FindNumber() == 0) {
        state.SkipWithError("1200 Fleet Street not found");
        return;
    }
    for (auto _ : state) {
        s.config->SetLastSearchIndex(0);
        ComPtr<IAddressObject> address;
        VARIANT_BOOL ok = 0;
        s.core->AddressGet(s.config.Get(), address.Put(), &ok);
        benchmark::DoNotOptimize(ok);
    }
}
BENCHMARK(BM_AddressGet)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly();

void BM_AddressGetCrossStreets(benchmark::State& state) {
    Search& s = TheSearch(state);
    if (!s.error.empty()) return;
    s.config->SetLastSearchIndex(s.city);
    s.Step(nullptr, "fleet");
    s.config->SetStreetAddressNumber(Bstr("").Get());
    for (auto _ : state) {
        s.config->SetLastSearchIndex(s.street);
        gpslib::Variant list;
        SHORT n = 0;
        s.core->AddressGetCrossStreets(s.config.Get(), VARIANT_FALSE, &list, &n);
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_AddressGetCrossStreets)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly();

} // namespace
