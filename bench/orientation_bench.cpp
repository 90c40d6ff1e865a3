// Orientation benchmarks: the distance in the user's units and the bearing between two
// positions, the pair of numbers under every spoken "40 feet at 2 o'clock".
//
// Target on the reference machine: under 0.5 us per pair (median). Figures are kept in
// docs/performance.md.
#include "orientation/Geodesy.h"

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

} // namespace

int main(int argc, char** argv) {
#ifndef NDEBUG
    std::fprintf(stderr, "WARNING: assertions are on; build with BUILD_TYPE=Release to measure.\n");
#endif
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
