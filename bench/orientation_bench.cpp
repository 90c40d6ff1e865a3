// Orientation benchmarks: the distance in the user's units and the bearing between two
// positions, the pair of numbers under every spoken "40 feet at 2 o'clock".
//
// Target on the reference machine: under 0.5 us per pair (median). Figures are kept in
// docs/performance.md.
#include "GPSLib_classes.h"
#include "base/Utility.h"
#include "bench_util.h"
#include "formats/Geodesy.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

namespace {

using gpscore::geo::Position;

// A fixed set of pairs: a nearby target (tens to hundreds of metres) from starts spread over
// the inhabited latitudes, as a walking user asks about them.
std::vector<std::pair<Position, Position>> MakePairs() {
    std::mt19937_64 rng(20260101);
    std::uniform_real_distribution<double> lat(-60.0, 70.0);
    std::uniform_real_distribution<double> lon(-180.0, 180.0);
    std::uniform_real_distribution<double> offset(-0.005, 0.005);
    std::vector<std::pair<Position, Position>> pairs;
    for (int i = 0; i < 1024; ++i) {
        Position from{lat(rng), lon(rng)};
        Position to{from.latitude + offset(rng), from.longitude + offset(rng)};
        pairs.emplace_back(from, to);
    }
    return pairs;
}

void BM_DistanceAndBearing(benchmark::State& state) {
    const auto pairs = MakePairs();
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& [from, to] = pairs[i];
        std::int32_t distance = gpscore::geo::DistanceInUnits(from, to, Imperial);
        int bearing = gpscore::geo::BearingDegrees(from, to);
        benchmark::DoNotOptimize(distance);
        benchmark::DoNotOptimize(bearing);
        i = (i + 1) % pairs.size();
    }
}
BENCHMARK(BM_DistanceAndBearing)->Repetitions(5)->ReportAggregatesOnly(true);

// One spoken "name, distance, direction" sentence: a place described from the user's position
// and heading through the location object, with every part switched on.
void BM_DistanceAndHeadingAndName(benchmark::State& state) {
    static std::vector<DWORD> cookies;
    if (cookies.empty())
        gpslib::RegisterModuleInProcess(kGPSLibModule, &gpslib::module::g_lockCount, &cookies);
    auto utility = gpscore::Utility::Instance();
    if (utility == nullptr ||
        !utility->LoadResources(gpslib::bench::StringModule(GPSLIB_RESOURCE_MODULE))) {
        state.SkipWithError("no string resources");
        return;
    }
    gpslib::ComPtr<ILocationObject> here, there;
    gpslib::ComPtr<IDescriptionConfigurationObject> config;
    gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &here);
    gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &there);
    gpslib::CreateObject(CLSID_DescriptionConfigurationObject, IID_IDescriptionConfigurationObject,
                         &config);
    here->SetLatitude(43.7384);
    here->SetLongitude(7.4246);
    there->SetLatitude(43.7391);
    there->SetLongitude(7.4259);
    gpslib::Bstr name(std::string_view("Place du Casino"));
    there->SetName(name.Get());
    config->SetIncludeDescriptionDetails(VARIANT_TRUE);
    config->SetIncludeCompassDirection(VARIANT_TRUE);
    for (auto _ : state) {
        BSTR text = nullptr;
        here->GetDistanceAndHeadingAndName(90, there.Get(), config.Get(), &text);
        benchmark::DoNotOptimize(text);
        SysFreeString(text);
    }
}
BENCHMARK(BM_DistanceAndHeadingAndName)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
