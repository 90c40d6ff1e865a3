// What every benchmark program shares: telling a benchmark that cannot run for want of data
// (reported and skipped; `make bench` goes on) from one that failed (`make bench` fails).
#pragma once

#include <benchmark/benchmark.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
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

// A fresh folder `dir` (what was there removed) for a service on the compiled Liechtenstein
// extract: the extract's files in `mapDir` (those there are of .rmf, .pdb, .cpd) linked into
// dir/maps, and the settings folder `settings` with a Debug folder, so that the service logs as
// on a device, and the string module the benchmark speaks (StringModule of `english`).
inline void LiechtensteinServiceFolder(const std::string& dir, const std::string& settings,
                                       const std::string& mapDir, const std::string& english) {
    namespace fs = std::filesystem;
    fs::remove_all(dir);
    fs::create_directories(dir + "/maps");
    fs::create_directories(settings + "/Debug");
    for (const char* ext : {".rmf", ".pdb", ".cpd"})
        if (fs::exists(mapDir + "/Liechtenstein" + ext))
            fs::create_symlink(mapDir + "/Liechtenstein" + ext, dir + "/maps/Liechtenstein" + ext);
    fs::copy_file(StringModule(english), settings + "/GPSResources_EN.dll");
}

// Points the registry at the store `store` (GPSLIB_REGISTRY) and registers each of `modules`
// there with the registration tool `tool`: the first module that could not be registered, or
// null when all were.
inline const char* RegisterModules(const char* tool, const std::string& store,
                                   std::initializer_list<const char*> modules) {
    setenv("GPSLIB_REGISTRY", store.c_str(), 1);
    for (const char* module : modules) {
        const std::string command = std::string(tool) + " " + module + " > /dev/null";
        if (std::system(command.c_str()) != 0) return module;
    }
    return nullptr;
}

// RegisterModules once a process; a module that cannot be registered ends the program, whose
// benchmarks all need it.
inline void RegisterModulesOnce(const char* tool, const std::string& store,
                                std::initializer_list<const char*> modules) {
    static bool done = [&] {
        if (const char* failed = RegisterModules(tool, store, modules)) {
            std::fprintf(stderr, "cannot register %s\n", failed);
            std::exit(1);
        }
        return true;
    }();
    (void)done;
}

} // namespace gpslib::bench
