// What every benchmark program shares: telling a benchmark that cannot run for want of data
// (reported and skipped; `make bench` goes on) from one that failed (`make bench` fails).
#pragma once

#include <benchmark/benchmark.h>

#include <cctype>
#include <cstdlib>
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

// The string module a benchmark's service speaks: the English one `english` names, or with
// GPSLIB_BENCH_LANGUAGE=de (fr, es, it, pt-BR) that language's module beside it, so that every
// figure can be taken in another language too (docs/languages.md).
inline std::string StringModule(const std::string& english) {
    const char* language = std::getenv("GPSLIB_BENCH_LANGUAGE");
    if (language == nullptr || *language == '\0' || std::string_view(language) == "en")
        return english;
    std::string suffix;
    for (const char* c = language; *c != '\0'; ++c)
        suffix.push_back(*c == '-' ? '_' : static_cast<char>(std::toupper(*c)));
    return (std::filesystem::path(english).parent_path() / ("GPSResources_" + suffix + ".dll"))
        .string();
}

// The compiled Liechtenstein extract, which most service benchmarks run on.
inline bool NeedCompiledLiechtenstein(benchmark::State& state, const std::string& mapDir) {
    return NeedFile(state, mapDir + "/Liechtenstein.rmf",
                    "the compiled Liechtenstein extract; build the gpslib_osm_maps target with "
                    "../shared/data/osm/liechtenstein.osm.pbf present");
}

} // namespace gpslib::bench
