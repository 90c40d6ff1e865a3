// The main of every benchmark program: says how the code was built before measuring it.
#include <benchmark/benchmark.h>

#include <cstdio>

int main(int argc, char** argv) {
#ifndef NDEBUG
    std::fprintf(stderr, "WARNING: assertions are on; build with BUILD_TYPE=Release to measure.\n");
#endif
    std::fprintf(stderr, "gpslib build type: %s\n", GPSLIB_BUILD_TYPE);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
