// NMEA pushed by a client: the public GPSExternalNmeaDataUpdate path of a started service (the
// service module registered in the benchmark's own store), fed the shared captures as a client
// forwards what it reads, in calls of whole lines of up to 512 characters. The same bytes go
// through the system's `gpsdecode` (package gpsd-clients) in its decode mode, timed in processor
// time of the child, and the run reports sentences per second of both and their ratio.
//
// Target on the reference machine: the push path at least five times the sentences per second of
// gpsdecode. Figures are kept in docs/performance.md.
#include <benchmark/benchmark.h>
#include <gpslib/GPSLib.h>
#include <gpslib/support.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_util.h"

namespace {

namespace fs = std::filesystem;
using gpslib::Bstr;
using gpslib::ComPtr;

constexpr const char* kGpsdecode = "/usr/bin/gpsdecode";
constexpr std::size_t kChunk = 512;

// Every shared capture as the wire carries it (comment lines removed, CR LF after each line),
// one after the other, and the number of sentences in it.
struct Captures {
    std::string wire;
    std::size_t sentences = 0;
};

const Captures& AllCaptures() {
    static const Captures captures = [] {
        Captures c;
        std::error_code error;
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(GPSLIB_NMEA_DATA_DIR, error))
            if (entry.path().extension() == ".log") files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            std::ifstream in(file, std::ios::binary);
            for (std::string line; std::getline(in, line);) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                if (line.empty() || line[0] == '#') continue;
                if (line[0] == '$' || line[0] == '!') ++c.sentences;
                c.wire += line + "\r\n";
            }
        }
        return c;
    }();
    return captures;
}

// The capture cut at line ends into pieces of at most kChunk characters, as client strings.
std::vector<Bstr> Chunks(const std::string& wire) {
    std::vector<Bstr> chunks;
    std::size_t start = 0;
    while (start < wire.size()) {
        std::size_t end = start;
        for (std::size_t next = wire.find('\n', end); next != std::string::npos;
             next = wire.find('\n', end)) {
            if (next + 1 - start > kChunk && end > start) break;
            end = next + 1;
        }
        if (end == start) end = wire.size();
        // Read as UTF-8, as a client would make its string (the captures are nearly all ASCII).
        chunks.emplace_back(std::string_view(wire).substr(start, end - start));
        start = end;
    }
    return chunks;
}

// A started service without maps, in a folder of its own.
ComPtr<IGPSCore> StartedService(std::string* error) {
    const std::string dir = std::string(GPSLIB_BENCH_DIR) + "/push_bench_service";
    fs::remove_all(dir);
    fs::create_directories(dir + "/maps");
    setenv("GPSLIB_MAP_PATH", (dir + "/maps").c_str(), 1);
    ComPtr<IGPSCore> core;
    if (gpslib::bench::RegisterModules(GPSREG_TOOL, dir + "/registry.reg", {GPSCORE_MODULE})) {
        *error = "cannot register the service module";
    } else if (FAILED(gpslib::CreateObject(CLSID_GPSCore, IID_IGPSCore, &core))) {
        *error = "cannot create the service";
    } else {
        Bstr result;
        core->Start(Bstr(dir + "/").Get(), nullptr, result.Put());
    }
    return core;
}

// Sentences per second of gpsdecode over `wire` repeated `times`, in the child's processor time;
// 0 when it could not run.
double GpsdecodeRate(const std::string& wire, std::size_t sentences, int times) {
    const std::string input = std::string(GPSLIB_BENCH_DIR) + "/push_bench_input.nmea";
    {
        std::ofstream out(input, std::ios::binary);
        for (int i = 0; i < times; ++i)
            out << wire;
    }
    rusage before{}, after{};
    getrusage(RUSAGE_CHILDREN, &before);
    const std::string command = std::string(kGpsdecode) + " -d < " + input + " > /dev/null 2>&1";
    const int status = std::system(command.c_str());
    getrusage(RUSAGE_CHILDREN, &after);
    fs::remove(input);
    if (status != 0) return 0;
    auto seconds = [](const rusage& r) {
        return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
               static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
    };
    const double cpu = seconds(after) - seconds(before);
    return cpu > 0 ? static_cast<double>(sentences) * times / cpu : 0;
}

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void BM_PushNmeaVersusGpsdecode(benchmark::State& state) {
    const Captures& captures = AllCaptures();
    if (captures.sentences == 0) {
        gpslib::bench::SkipForMissingData(state, std::string("the NMEA captures in ") +
                                                     GPSLIB_NMEA_DATA_DIR);
        return;
    }
    std::string error;
    ComPtr<IGPSCore> core = StartedService(&error);
    if (!core) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::vector<Bstr> chunks = Chunks(captures.wire);
    const double cpuBefore = ThreadCpuSeconds();
    for (auto _ : state) {
        for (const Bstr& chunk : chunks)
            core->GPSExternalNmeaDataUpdate(chunk.Get());
    }
    const double cpu = ThreadCpuSeconds() - cpuBefore;
    core->Stop();
    const double passes = static_cast<double>(state.iterations());
    state.counters["sentences_per_s"] = benchmark::Counter(
        passes * static_cast<double>(captures.sentences), benchmark::Counter::kIsRate);
    state.counters["sentences"] = static_cast<double>(captures.sentences);
    if (access(kGpsdecode, X_OK) != 0) {
        std::fprintf(stderr,
                     "push_bench: SKIPPED the comparison: %s not installed (package "
                     "gpsd-clients)\n",
                     kGpsdecode);
        state.SetLabel("gpsdecode not installed: no comparison");
        return;
    }
    const double theirs = GpsdecodeRate(captures.wire, captures.sentences, 20);
    if (theirs <= 0) {
        state.SkipWithError("gpsdecode failed on the captures");
        return;
    }
    state.counters["gpsdecode_per_s"] = theirs;
    if (cpu > 0)
        state.counters["ratio"] = passes * static_cast<double>(captures.sentences) / cpu / theirs;
}
BENCHMARK(BM_PushNmeaVersusGpsdecode)->Unit(benchmark::kMillisecond);

} // namespace
