// The cost of one poll that reads a full serial chunk: a receiver on a pseudo-terminal has 199
// bytes of NMEA waiting (an RMC and a GGA sentence, and part of the next), and GPSForcePoll reads,
// parses and applies them, then runs the event checks (here with a destination to watch).
// Writing the chunk is not timed. Besides the mean, the run reports the median and the 99th
// percentile of single polls.
//
// Figures are kept in docs/performance.md.
#include <benchmark/benchmark.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "GPSLib_classes.h"
#include "formats/NmeaSentence.h"
#include "os/env.h"

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;

using gpslib::nmea::Sentence;

// The receiver's stream cut into the 199-byte chunks the link reads.
std::vector<std::string> Chunks() {
    std::string wire;
    for (int i = 0; i < 400; ++i) {
        char body[128];
        std::snprintf(body, sizeof body,
                      "GPRMC,1235%02d,A,4807.%03d,N,01131.000,E,002.0,084.4,230394,,", i % 60, i);
        wire += Sentence(body) +
                Sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
    }
    std::vector<std::string> chunks;
    for (std::size_t at = 0; at + 199 <= wire.size(); at += 199)
        chunks.push_back(wire.substr(at, 199));
    return chunks;
}

void PollWithChunks(benchmark::State& state, bool destination) {
    std::vector<DWORD> cookies;
    gpslib::RegisterModuleInProcess(kGPSLibModule, &gpslib::module::g_lockCount, &cookies);
    int master = -1, slave = -1;
    char name[64] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    const std::string dir = std::filesystem::temp_directory_path() / "gpslib-receiver-bench/";
    std::filesystem::create_directories(dir);
    ComPtr<IGPSCore> core;
    gpslib::CreateObject(CLSID_GPSCore, IID_IGPSCore, &core);
    Bstr result;
    core->Start(Bstr(std::string_view(dir)).Get(), nullptr, result.Put());
    ComPtr<IGPSSettingsObject> settings;
    core->GPSGetDefaultSettings(settings.Put());
    settings->SetGPSReceiverType(GPSTypeSerial);
    settings->SetGPSPortName(Bstr(u"/dev/pts/").Get());
    settings->SetGPSPortNumber(static_cast<SHORT>(std::atoi(name + 9)));
    VARIANT_BOOL opened = VARIANT_FALSE;
    core->GPSSetSettings(settings.Get(), &opened);
    if (opened != VARIANT_TRUE) {
        state.SkipWithError("receiver not opened");
        return;
    }
    if (destination) {
        // Far enough that no arrival is announced: every poll measures the distance check.
        ComPtr<ILocationObject> place;
        gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &place);
        place->SetLatitude(48.2);
        place->SetLongitude(11.6);
        core->DestinationSetByLocation(place.Get());
    }
    const std::vector<std::string> chunks = Chunks();
    std::size_t next = 0;
    std::vector<double> micros;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string& chunk = chunks[next++ % chunks.size()];
        if (::write(master, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size()))
            state.SkipWithError("write failed");
        for (int waiting = 0; waiting < static_cast<int>(chunk.size());)
            ::ioctl(slave, FIONREAD, &waiting);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        VARIANT_BOOL read = VARIANT_FALSE;
        core->GPSForcePoll(&read);
        benchmark::DoNotOptimize(read);
        micros.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
    }
    if (!micros.empty()) {
        std::sort(micros.begin(), micros.end());
        state.counters["p50_us"] = micros[micros.size() / 2];
        state.counters["p99_us"] = micros[micros.size() * 99 / 100];
    }
    core->Stop();
    core.Reset();
    ::close(master);
    ::close(slave);
    std::filesystem::remove_all(dir);
    for (DWORD cookie : cookies)
        CoRevokeClassObject(cookie);
}
void BM_PollReadingAFullChunk(benchmark::State& state) {
    PollWithChunks(state, false);
}
BENCHMARK(BM_PollReadingAFullChunk);

// The poll cycle as it runs once a second: a receiver chunk and an active destination.
void BM_PollCycleWithDestination(benchmark::State& state) {
    PollWithChunks(state, true);
}
BENCHMARK(BM_PollCycleWithDestination);

} // namespace
