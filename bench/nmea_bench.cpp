// NMEA input benchmark: cutting, checksum and parsing of a real receiver capture held in memory,
// fed in serial-port-sized chunks. Reported as sentences per second.
//
// Target on the reference machine: at least one million sentences per second on one core.
// Figures are kept in docs/performance.md.
#include "gps/Nmea.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "bench_util.h"

namespace {

namespace nm = gpscore::nmea;

// A capture with a steady mix of RMC, GGA, GSA, GSV and VTG sentences.
constexpr const char* kCapture = GPSLIB_NMEA_DATA_DIR "/haicom-305N.log";

// As the wire carries it: comment lines removed, one CR LF after every line.
std::string LoadWire(std::size_t& sentences) {
    std::ifstream in(kCapture, std::ios::binary);
    std::string wire;
    sentences = 0;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back(); // stored with CR or not
        if (!line.empty() && line[0] == '#') continue;
        if (!line.empty() && line[0] == '$') ++sentences;
        wire += line + "\r\n";
    }
    return wire;
}

// Does what a receiver state would at least do: keep the values.
class Sink final : public nm::Target {
public:
    double sum = 0;
    void OnChecksumError(std::string_view line) override {
        sum += static_cast<double>(line.size());
    }
    void OnValidSentence() override { sum += 1; }
    void OnRmcVoid() override { sum += 2; }
    void OnRmc(const nm::Rmc& r) override { sum += r.latitude + r.longitude + r.speedKnots; }
    void OnGga(const nm::Gga& g) override { sum += g.satellites + g.hdop + g.altitudeMetres; }
    void OnGsa(const nm::Gsa& g) override { sum += g.pdop + g.hdop + g.vdop; }
};

void BM_ParseNmea(benchmark::State& state) {
    std::size_t sentences = 0;
    const std::string wire = LoadWire(sentences);
    if (sentences == 0) {
        gpslib::bench::SkipForMissingData(state, std::string("the NMEA capture ") + kCapture);
        return;
    }
    constexpr std::size_t kChunk = 256; // one serial read
    nm::Assembly assembly;
    Sink sink;
    for (auto _ : state) {
        for (std::size_t at = 0; at < wire.size(); at += kChunk) {
            const std::size_t n = std::min(kChunk, wire.size() - at);
            benchmark::DoNotOptimize(nm::ProcessNmeaBuffer(wire.data() + at, n, assembly, sink));
        }
    }
    benchmark::DoNotOptimize(sink.sum);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * sentences));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * wire.size()));
    state.counters["sentences"] = static_cast<double>(sentences);
}
BENCHMARK(BM_ParseNmea)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
