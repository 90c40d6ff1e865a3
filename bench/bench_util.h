// What every benchmark program shares: telling a benchmark that cannot run for want of data
// (reported and skipped; `make bench` goes on) from one that failed (`make bench` fails).
#pragma once

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace gpslib::bench {

// The start of the message of a benchmark skipped for want of data; bench_main.cpp counts
// these apart from failures.
inline constexpr std::string_view kMissingDataPrefix = "missing data: ";

// Skips the benchmark, naming what it lacks and how to get it.
inline void SkipForMissingData(benchmark::State& state, std::string_view what) {
    const std::string message = std::string(kMissingDataPrefix) + std::string(what);
    state.SkipWithError(message.c_str());
}

// True when `path` exists; otherwise skips the benchmark, naming the file and `what` it is.
inline bool NeedFile(benchmark::State& state, const std::string& path, std::string_view what) {
    std::error_code error;
    if (std::filesystem::exists(path, error)) return true;
    SkipForMissingData(state, std::string(what) + " (" + path + " not found)");
    return false;
}

// The compiled Liechtenstein extract, which most service benchmarks run on.
inline bool NeedCompiledLiechtenstein(benchmark::State& state, const std::string& mapDir) {
    return NeedFile(state, mapDir + "/Liechtenstein.rmf",
                    "the compiled Liechtenstein extract; build the gpslib_osm_maps target with "
                    "../shared/data/osm/liechtenstein.osm.pbf present");
}

} // namespace gpslib::bench
