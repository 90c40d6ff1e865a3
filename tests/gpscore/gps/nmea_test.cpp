// NMEA input: stream cutting, checksum, field readers and the three sentence parsers, on hand-made
// edge cases and on real receiver captures (compared with the decoding stored beside them).
#include "gps/Nmea.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "captures.h"
#include "formats/NmeaSentence.h"

namespace {

namespace nm = gpscore::nmea;

// Writes every call as text, so that a whole exchange compares as one string.
class Recorder final : public nm::Target {
public:
    std::string log;
    std::vector<nm::Rmc> rmcs;
    std::vector<nm::Gga> ggas;
    int rmcAccepted = 0; // OnRmc and OnRmcVoid

    void OnChecksumError(std::string_view line) override {
        log += "csum[" + std::string(line) + "]|";
    }
    void OnValidSentence() override { log += "valid|"; }
    void OnRmcVoid() override {
        ++rmcAccepted;
        log += "rmc-void|";
    }
    void OnRmc(const nm::Rmc& r) override {
        ++rmcAccepted;
        rmcs.push_back(r);
        Add("rmc %02d:%02d:%02d %.6f %.6f %.3f %.3f %d.%d.%d|", r.hour, r.minute, r.second,
            r.latitude, r.longitude, r.speedKnots, r.courseDegrees, r.day, r.month, r.year);
    }
    void OnGga(const nm::Gga& g) override {
        ggas.push_back(g);
        Add("gga %d %d %.3f %.3f|", g.quality, g.satellites, g.hdop, g.altitudeMetres);
    }
    void OnGsa(const nm::Gsa& g) override {
        Add("gsa %d %.3f %.3f %.3f|", g.fixType, g.pdop, g.hdop, g.vdop);
    }

private:
    template <class... A> void Add(const char* format, A... args) {
        char text[160];
        std::snprintf(text, sizeof text, format, args...);
        log += text;
    }
};

const std::string kRmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";
const std::string kRmcLog = "valid|rmc 12:35:19 48.117300 11.516667 22.400 84.400 23.3.2094|";
const std::string kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
const std::string kGgaLog = "valid|gga 1 8 0.900 545.400|";
const std::string kGsa = "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39";
const std::string kGll = "$GPGLL,4916.45,N,12311.12,W,225444,A*31";

struct StreamCase {
    const char* name;
    std::vector<std::string> chunks; // fed in order, with one Assembly
    std::string expected;            // the Recorder's log
    bool rmc = false;                // ProcessNmeaBuffer's result for the last chunk
};

// One signed sentence, "$" + body + "*HH\r\n".
using gpslib::nmea::Sentence;

std::vector<StreamCase> StreamCases() {
    const std::string x(300, 'x'), rmc = kRmc + "\r\n", gga = kGga + "\r\n";
    std::string lower = rmc, withNul = rmc;
    lower.replace(lower.size() - 4, 2, "6a");
    withNul[10] = '\0';
    const std::string sw =
        Sentence("GPRMC,095304.802,A,2712.6520,S,07726.4523,W,0.00,133.96,080407");
    const std::string swLog = "valid|rmc 09:53:04 -27.210867 -77.440872 0.000 133.960 8.4.2007|";
    const std::string zeroRmc = "valid|rmc 12:35:00 0.000000 0.000000 0.000 0.000 0.0.2000|";
    return {
        {"RmcExample", {rmc}, kRmcLog, true},
        {"RmcStatusVoid", {Sentence("GPRMC,123519,V,4807.038,N")}, "valid|rmc-void|", true},
        {"LineFeedWithoutCarriageReturn", {kRmc + "\n"}, "csum[" + kRmc + "]|"},
        {"LowerCaseChecksum", {lower}, kRmcLog, true},
        {"SatellitesInViewAliveOnly", {Sentence("GPGSV,3,1,10,03,41,050,46")}, "valid|"},
        {"OtherTalkerIgnored", {Sentence("GNRMC,125106,A,3854.5087,N")}, "valid|"},
        {"Gga", {gga}, kGgaLog},
        {"GgaNegativeAltitude",
         {Sentence("GPGGA,0,,,,,2,12,1.5,-12.5")},
         "valid|gga 2 12 1.500 -12.500|"},
        {"Gsa", {kGsa + "\r\n"}, "valid|gsa 3 2.500 1.300 2.100|"},
        {"SouthWest", {sw}, swLog, true},
        {"SplitMid", {rmc.substr(0, 20), rmc.substr(20, 49), rmc.substr(69)}, kRmcLog, true},
        {"SplitChunkWithoutRmc", {rmc + "$GPGGA,1", gga.substr(8)}, kRmcLog + kGgaLog},
        {"LRestartsTheLine", {kGll + "\r\n"}, "csum[" + kGll.substr(5) + "\r]|"},
        {"Noise", {std::string("\x00\xff\x80junk\r\n", 9) + rmc}, kRmcLog, true},
        {"OverLongDroppedThenResumes", {"$GP" + x, x + "\r\n" + rmc}, kRmcLog, true},
        // Lines of exactly the buffer size (256, carriage return included) and one more.
        {"Line256Accepted", {Sentence("GPTXT," + std::string(245, 'a'))}, "valid|"},
        {"Line257Dropped", {Sentence("GPTXT," + std::string(246, 'a'))}, ""},
        {"NulEndsTheLine", {withNul}, "csum[$GPRMC,123]|"},
        {"TruncatedRmc", {Sentence("GPRMC,1235")}, zeroRmc, true},
        {"TruncatedGsa", {Sentence("GPGSA,A")}, "valid|gsa 0 0.000 0.000 0.000|"},
    };
}

class NmeaStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(NmeaStream, CutsChecksAndParses) {
    const StreamCase& c = GetParam();
    nm::Assembly assembly;
    Recorder target;
    bool last = false;
    for (const std::string& chunk : c.chunks) {
        // An exact-size heap copy, so that any read past the chunk is caught by the sanitizer.
        std::vector<char> bytes(chunk.begin(), chunk.end());
        last = nm::ProcessNmeaBuffer(bytes.data(), bytes.size(), assembly, target);
    }
    EXPECT_EQ(target.log, c.expected);
    EXPECT_EQ(last, c.rmc);
    EXPECT_LE(assembly.index, assembly.line.size());
}

INSTANTIATE_TEST_SUITE_P(Cases, NmeaStream, ::testing::ValuesIn(StreamCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NmeaConversions, SpeedAndAltitude) {
    EXPECT_NEAR(nm::SpeedMph(22.4), 25.7775, 1e-4);
    const struct {
        double metres;
        std::int32_t feet;
    } rows[] = {{545.4, 1788}, {-12.5, 0}, {0.3, 0}, {0.31, 1}, {1e12, 2147483647}, {NAN, 0}};
    for (const auto& row : rows)
        EXPECT_EQ(nm::AltitudeFeet(row.metres), row.feet) << row.metres;
}

// Reader: 'i' integer (width, skip), 'd' real, 'a' latitude, 'o' longitude.
TEST(NmeaFieldReaders, ValueAndCursor) {
    const struct {
        char reader;
        int width;
        bool skip;
        std::string text;
        double value;
        std::size_t consumed; // where the cursor ends
    } rows[] = {
        {'i', 2, false, "123519.00,A", 12, 2},
        {'i', 2, false, "-5,", -5, 2},
        {'i', 2, false, ",08", 0, 0},
        {'i', 1, true, ",08", 0, 1},
        {'i', 2, true, "123,4", 12, 4},
        {'d', 0, false, "022.4,084.4", 22.4, 6},
        {'d', 0, false, "3.0*3A\r", 3.0, 4},
        {'d', 0, false, "abc,", 0.0, 4},
        {'d', 0, false, "1e999,", 0.0, 6},
        {'a', 0, false, "4807.038,N,01131", 48.1173, 11},
        {'a', 0, false, ",,01131", 0.0, 2},
        {'o', 0, false, "07726.4523,W", -77.44087166666667, 12},
    };
    for (const auto& row : rows) {
        std::vector<char> bytes(row.text.begin(), row.text.end());
        const char* cursor = bytes.data();
        const char* end = cursor + bytes.size();
        const double value = row.reader == 'i'   ? nm::ReadNmeaInt(cursor, end, row.width, row.skip)
                             : row.reader == 'd' ? nm::ReadNmeaDouble(cursor, end)
                             : row.reader == 'a' ? nm::ReadNmeaLatitude(cursor, end)
                                                 : nm::ReadNmeaLongitude(cursor, end);
        EXPECT_NEAR(value, row.value, 1e-9) << row.text;
        EXPECT_EQ(static_cast<std::size_t>(cursor - bytes.data()), row.consumed) << row.text;
    }
}

// ---- Real captures ----

using gpslib::test::Captures;
using gpslib::test::Lines;
using gpslib::test::Wire;
const std::filesystem::path& kDataDir = gpslib::test::kCaptureDir;

Recorder Feed(const std::string& wire) {
    Recorder target;
    nm::Assembly assembly;
    nm::ProcessNmeaBuffer(wire.data(), wire.size(), assembly, target);
    return target;
}

// A number after `"key":` in a JSON line, or NaN.
double JsonNumber(const std::string& line, const std::string& key) {
    const std::size_t at = line.find("\"" + key + "\":");
    return at == std::string::npos ? NAN : std::strtod(line.c_str() + at + key.size() + 3, nullptr);
}

// `"time":"YYYY-MM-DDTHH:MM:SS` as "YY-MM-DD HH:MM:SS", or empty.
std::string JsonTime(const std::string& line) {
    const std::size_t at = line.find("\"time\":\"");
    if (at == std::string::npos || line.size() < at + 8 + 19) return {};
    return line.substr(at + 10, 8) + " " + line.substr(at + 19, 8);
}

bool Has(const std::string& line, const char* text) {
    return line.find(text) != std::string::npos;
}

// Every capture fed in random chunks gives what it gives fed whole, and its positions and
// satellites in use agree with the .chk decoding: the TPV right after each $GPRMC line keyed by
// its time, and the first SKY report after each $GPGGA line, before the next sentence.
TEST(NmeaCaptures, RandomChunksAndStoredDecodingAgree) {
    const auto files = Captures();
    if (files.empty()) GTEST_SKIP() << "no captures at " << kDataDir;
    std::mt19937 rng(20261205);
    std::uniform_int_distribution<std::size_t> chunkSize(1, 300);
    std::size_t totalRmc = 0;
    int rmcCompared = 0, ggaCompared = 0, capturesCompared = 0;
    for (const auto& file : files) {
        const std::string wire = Wire(file);
        const Recorder whole = Feed(wire);
        Recorder chunked;
        nm::Assembly assembly;
        int chunksWithRmc = 0;
        for (std::size_t at = 0; at < wire.size();) {
            const std::size_t n = std::min(chunkSize(rng), wire.size() - at);
            std::vector<char> bytes(wire.begin() + at, wire.begin() + at + n);
            if (nm::ProcessNmeaBuffer(bytes.data(), n, assembly, chunked)) ++chunksWithRmc;
            at += n;
        }
        EXPECT_EQ(chunked.log, whole.log) << file;
        // A chunk reports true only when it completed an accepted $GPRMC.
        EXPECT_LE(chunksWithRmc, chunked.rmcAccepted) << file;
        EXPECT_EQ(chunksWithRmc > 0, chunked.rmcAccepted > 0) << file;
        totalRmc += whole.rmcs.size();

        auto chkPath = file;
        chkPath += ".chk";
        if (!std::filesystem::exists(chkPath)) continue;
        const auto chk = Lines(chkPath);
        std::map<std::string, std::pair<double, double>> positions;
        for (std::size_t i = 0; i + 1 < chk.size(); ++i) {
            const std::string& line = chk[i];
            const std::string& next = chk[i + 1];
            if (line.starts_with("$GPRMC") && Has(next, "\"TPV\"") && Has(next, "\"lat\"") &&
                !JsonTime(next).empty())
                positions[JsonTime(next)] = {JsonNumber(next, "lat"), JsonNumber(next, "lon")};
            if (!line.starts_with("$GPGGA")) continue;
            std::size_t j = i + 1;
            while (j < chk.size() && !chk[j].starts_with("$") &&
                   !(Has(chk[j], "\"SKY\"") && Has(chk[j], "\"uSat\"")))
                ++j;
            const Recorder gga = Feed(line + "\r\n");
            if (j == chk.size() || chk[j].starts_with("$") || gga.ggas.size() != 1) continue;
            ++ggaCompared;
            EXPECT_EQ(gga.ggas[0].satellites, static_cast<int>(JsonNumber(chk[j], "uSat")))
                << file << ": " << line;
        }
        int fileRmc = 0;
        for (const nm::Rmc& r : whole.rmcs) {
            char key[32];
            std::snprintf(key, sizeof key, "%02d-%02d-%02d %02d:%02d:%02d", r.year % 100, r.month,
                          r.day, r.hour, r.minute, r.second);
            const auto found = positions.find(key);
            if (found == positions.end()) continue;
            ++fileRmc;
            EXPECT_NEAR(found->second.first, r.latitude, 1e-6) << file << " at " << key;
            EXPECT_NEAR(found->second.second, r.longitude, 1e-6) << file << " at " << key;
        }
        rmcCompared += fileRmc;
        capturesCompared += fileRmc > 0;
    }
    EXPECT_GT(totalRmc, 300u);
    EXPECT_GE(capturesCompared, 5);
    EXPECT_GE(rmcCompared, 200);
    EXPECT_GE(ggaCompared, 200);
}

} // namespace
