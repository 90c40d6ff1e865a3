// One poll with every lookaround check due, on the compiled Liechtenstein map: the street, city
// and map under the user and the next intersection ahead, the poll cycle run as GPSForcePoll runs
// it, on the service's parts wired as the service wires them. Before each timed poll (untimed) a
// fix at one of a few places in the country is pushed and the lookaround part is set back as
// Start sets it, so that every check is due; the real map engine module answers, registered in a
// store of the benchmark's own. Besides the mean, the run reports the median and the 99th
// percentile of single polls, in wall time and in the polling thread's processor time.
//
// Figures are kept in docs/performance.md.
#include <benchmark/benchmark.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bench_util.h"

#include "GPSLib_classes.h"
#include "base/SettingsFiles.h"
#include "formats/TrackTrace.h"
#include "os/env.h"
#include "parts_fixture.h"

namespace {

namespace fs = std::filesystem;
using gpslib::Bstr;
using gpslib::ComPtr;

// Streets of Vaduz, Schaan and Triesen, walked east or north.
struct Place {
    double lat, lon, course;
};
const Place kPlaces[] = {
    {47.13955, 9.52205, 10},  {47.14070, 9.52010, 100}, {47.16500, 9.50900, 20},
    {47.17200, 9.50700, 30},  {47.10700, 9.52800, 350}, {47.14420, 9.51790, 60},
    {47.12900, 9.52480, 200}, {47.15300, 9.51300, 300},
};

void BM_PollWithLookaroundDue(benchmark::State& state) {
    if (!gpslib::bench::NeedCompiledLiechtenstein(state, GPSLIB_OSM_MAP_DIR)) return;
    const std::string root = std::string(GPSLIB_BENCH_DIR) + "/lookaround_bench_service";
    gpslib::bench::LiechtensteinServiceFolder(root, root + "/settings", GPSLIB_OSM_MAP_DIR,
                                              GPSLIB_RESOURCE_MODULE);
    if (gpslib::bench::RegisterModules(GPSREG_TOOL, root + "/registry.reg", {GPSMAP_MODULE})) {
        state.SkipWithError("the map engine could not be registered");
        return;
    }
    std::vector<DWORD> cookies;
    gpslib::RegisterModuleInProcess(kGPSLibModule, &gpslib::module::g_lockCount, &cookies);

    auto& env = *gpslib::os::Env::Default();
    const std::u16string settingsDir = gpslib::ToUtf16(root + "/settings/");
    {
        gpscore::settings::System system;
        system.mapPOIDirectory = gpslib::ToUtf16(root + "/maps");
        system.units = Metric;
        gpscore::settings::WriteSystemSettings(env, settingsDir, system);
        gpscore::settings::Lookaround lookaround;
        lookaround.startDelay = 0;
        gpscore::settings::WriteLookaroundSettings(env, settingsDir, lookaround);
    }
    int master = -1, slave = -1;
    char name[64] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    gpslib::test::ServiceParts parts;
    const std::string started = parts.Start(root + "/settings/", root + "/maps");
    if (!started.empty()) {
        state.SkipWithError(started.c_str());
        return;
    }
    SHORT maps = 0;
    parts.context.m_pGPSMap->GetNumberOfMapsLoaded(&maps);
    gpscore::settings::Receiver settings;
    settings.receiverType = GPSTypeSerial;
    settings.portName = u"/dev/pts/";
    settings.portNumber = static_cast<SHORT>(std::atoi(name + 9));
    settings.headingAveraging = InstantaneousHeadings;
    std::optional<bool> opened;
    parts.receiver.ApplySettings(settings, &opened);
    if (maps < 1 || opened != true) {
        state.SkipWithError("no map or no receiver");
        return;
    }
    std::vector<std::u16string> fixes;
    for (const Place& p : kPlaces) {
        gpslib::tracktrace::Fix fix;
        fix.latitude = p.lat;
        fix.longitude = p.lon;
        fix.course = p.course;
        fix.speedKnots = 2.7;
        fix.time = 1'704'067'200'000'000;
        fixes.push_back(gpslib::ToUtf16(gpslib::tracktrace::RmcSentence(fix) +
                                        gpslib::tracktrace::GgaSentence(fix)));
    }
    // A poll as GPSForcePoll runs it: the cycle between its two log lines.
    auto forcePoll = [&parts] {
        parts.context.Log("GPSCore::GPSForcePoll enter");
        const bool read = parts.poll.Run(true);
        parts.context.Log("GPSCore::GPSForcePoll exit");
        return read;
    };
    // The first polls bring the receiver to a fix.
    for (int i = 0; i < 4; ++i) {
        parts.receiver.PushNmea(fixes[0]);
        forcePoll();
    }
    std::size_t next = 0;
    std::vector<double> micros, cpuMicros;
    auto cpuNow = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
    };
    for (auto _ : state) {
        state.PauseTiming();
        parts.receiver.PushNmea(fixes[next++ % fixes.size()]);
        parts.lookaround.Start();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = cpuNow();
        const bool read = forcePoll();
        benchmark::DoNotOptimize(read);
        cpuMicros.push_back(cpuNow() - cpuStart);
        micros.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
    }
    // Wall time includes the waits of a loaded machine (the scheduler, the log file's disk);
    // the thread's processor time is the poll's own work.
    for (auto* times : {&micros, &cpuMicros}) {
        if (times->empty()) continue;
        std::sort(times->begin(), times->end());
        const std::string kind = times == &micros ? "" : "_cpu";
        state.counters["p50" + kind + "_us"] = (*times)[times->size() / 2];
        state.counters["p99" + kind + "_us"] = (*times)[times->size() * 99 / 100];
    }
    parts.Stop();
    ::close(master);
    ::close(slave);
    for (DWORD cookie : cookies)
        CoRevokeClassObject(cookie);
    fs::remove_all(root);
}
BENCHMARK(BM_PollWithLookaroundDue);

} // namespace
