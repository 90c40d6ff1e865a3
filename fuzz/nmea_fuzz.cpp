// Fuzz target: the NMEA stream cutter, checksum and parsers. Any bytes, fed whole or split at
// any point with one assembly state, must give the same calls (never a crash or a read outside
// the input); every line handed on fits the line buffer, and a line reported true is a $GPRMC.
#include "gps/Nmea.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

namespace nm = gpscore::nmea;

class Recorder final : public nm::Target {
public:
    explicit Recorder(std::size_t longestLine) : longestLine_(longestLine) {}
    std::string log;
    void OnChecksumError(std::string_view line) override {
        if (line.size() > longestLine_) std::abort();
        log += 'E';
        log.append(line);
    }
    void OnValidSentence() override { log += 'V'; }
    void OnRmcVoid() override { log += 'v'; }
    void OnRmc(const nm::Rmc& r) override {
        log += 'R';
        log += std::to_string(r.hour * 10000 + r.minute * 100 + r.second);
    }
    void OnGga(const nm::Gga& g) override {
        log += 'G';
        log += std::to_string(g.satellites);
        (void)nm::AltitudeFeet(g.altitudeMetres);
    }
    void OnGsa(const nm::Gsa& g) override {
        log += 'S';
        log += std::to_string(g.fixType);
    }

private:
    std::size_t longestLine_;
};

// Lines from the cutter fit the assembly buffer.
constexpr std::size_t kBuffer = nm::Assembly{}.line.size();

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Exact-size copies, so that a read past either part is caught.
    const std::vector<char> bytes(data, data + size);
    Recorder whole(kBuffer);
    nm::Assembly a1;
    nm::ProcessNmeaBuffer(bytes.data(), bytes.size(), a1, whole);

    const std::size_t split = size == 0 ? 0 : data[0] % (size + 1);
    const auto middle = bytes.begin() + static_cast<std::ptrdiff_t>(split);
    const std::vector<char> head(bytes.begin(), middle);
    const std::vector<char> tail(middle, bytes.end());
    Recorder parts(kBuffer);
    nm::Assembly a2;
    nm::ProcessNmeaBuffer(head.data(), head.size(), a2, parts);
    nm::ProcessNmeaBuffer(tail.data(), tail.size(), a2, parts);
    if (parts.log != whole.log || a1.index != a2.index || a1.inSentence != a2.inSentence)
        std::abort();

    // The bytes as one line, straight to the sentence check.
    Recorder line(size);
    if (nm::ProcessNmeaSentence(std::string_view(bytes.data(), bytes.size()), line) &&
        std::string_view(bytes.data(), bytes.size()).substr(0, 6) != "$GPRMC")
        std::abort();
    return 0;
}
