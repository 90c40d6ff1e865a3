// NMEA input: stream cutting, checksum, field readers and the three sentence parsers, on hand-made
// edge cases and on real receiver captures (compared with gpsd's decoding of the same bytes).
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

namespace {

namespace nm = gpscore::nmea;

// Writes every call as text, so that a whole exchange compares as one string.
class Recorder final : public nm::Target {
public:
    std::string log;
    std::vector<nm::Rmc> rmcs;
    std::vector<nm::Gga> ggas;
    int valid = 0;
    int errors = 0;
    int rmcAccepted = 0; // OnRmc and OnRmcVoid

    void OnChecksumError(std::string_view line) override {
        ++errors;
        log += "csum[" + std::string(line) + "]|";
    }
    void OnValidSentence() override {
        ++valid;
        log += "valid|";
    }
    void OnRmcVoid() override {
        ++rmcAccepted;
        log += "rmc-void|";
    }
    void OnRmc(const nm::Rmc& r) override {
        ++rmcAccepted;
        rmcs.push_back(r);
        char text[160];
        std::snprintf(text, sizeof text, "rmc %02d:%02d:%02d %.6f %.6f %.3f %.3f %d.%d.%d|", r.hour,
                      r.minute, r.second, r.latitude, r.longitude, r.speedKnots, r.courseDegrees,
                      r.day, r.month, r.year);
        log += text;
    }
    void OnGga(const nm::Gga& g) override {
        ggas.push_back(g);
        char text[96];
        std::snprintf(text, sizeof text, "gga %d %d %.3f %.3f|", g.quality, g.satellites, g.hdop,
                      g.altitudeMetres);
        log += text;
    }
    void OnGsa(const nm::Gsa& g) override {
        char text[96];
        std::snprintf(text, sizeof text, "gsa %d %.3f %.3f %.3f|", g.fixType, g.pdop, g.hdop,
                      g.vdop);
        log += text;
    }
};

// "$" + body + "*HH" with the body's checksum (no line end).
std::string Signed(const std::string& body) {
    unsigned sum = 0;
    for (unsigned char c : body)
        sum ^= c;
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X", sum);
    return "$" + body + tail;
}

const std::string kRmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";
const std::string kRmcLog = "valid|rmc 12:35:19 48.117300 11.516667 22.400 84.400 23.3.2094|";
const std::string kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
const std::string kGsa = "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39";
const std::string kGll = "$GPGLL,4916.45,N,12311.12,W,225444,A*31";

struct StreamCase {
    const char* name;
    std::vector<std::string> chunks; // fed in order, with one Assembly
    std::string expected;            // the Recorder's log
    bool lastChunkReturns;           // ProcessNmeaBuffer's result for the last chunk
};

std::vector<StreamCase> StreamCases() {
    const std::string over(300, 'x');
    // Lines of exactly the buffer size (256, carriage return included) and one more.
    const std::string fits = Signed("GPTXT," + std::string(256 - 11, 'a'));
    const std::string tooLong = Signed("GPTXT," + std::string(257 - 11, 'a'));
    const std::string rmcV = Signed("GPRMC,123519,V,4807.038,N,01131.000,E,022.4,084.4,230394,,");
    std::string lower = kRmc;
    lower.replace(lower.size() - 2, 2, "6a");
    std::string withNul = kRmc;
    withNul[10] = '\0';
    return {
        {"RmcExample", {kRmc + "\r\n"}, kRmcLog, true},
        {"RmcStatusVoid", {rmcV + "\r\n"}, "valid|rmc-void|", true},
        {"LineFeedWithoutCarriageReturnFails", {kRmc + "\n"}, "csum[" + kRmc + "]|", false},
        {"LowerCaseChecksumDigits", {lower + "\r\n"}, kRmcLog, true},
        {"WrongChecksum",
         {kGga.substr(0, kGga.size() - 1) + "8\r\n"},
         "csum[" + kGga.substr(0, kGga.size() - 1) + "8\r]|",
         false},
        {"SatellitesInViewRefreshesOnly",
         {"$GPGSV,3,1,10,03,41,050,46,07,60,317,49,08,34,315,45,11,35,148,45*71\r\n"},
         "valid|",
         false},
        {"OtherTalkerIgnored",
         {Signed("GNRMC,125106,A,3854.5087,N,07726.4523,W,0.0,0.0,241011,10.5,W,A") + "\r\n"},
         "valid|",
         false},
        {"Gga", {kGga + "\r\n"}, "valid|gga 1 8 0.900 545.400|", false},
        {"GgaNegativeAltitude",
         {Signed("GPGGA,000000,,,,,2,12,1.5,-12.5,M,,,,") + "\r\n"},
         "valid|gga 2 12 1.500 -12.500|",
         false},
        {"Gsa", {kGsa + "\r\n"}, "valid|gsa 3 2.500 1.300 2.100|", false},
        {"SouthWest",
         {Signed("GPRMC,095304.802,A,2712.6520,S,07726.4523,W,0.00,133.96,080407,,,A") + "\r\n"},
         "valid|rmc 09:53:04 -27.210867 -77.440872 0.000 133.960 8.4.2007|",
         true},
        {"EmptyFieldsReadAsZero",
         {Signed("GPRMC,,,,,,,,,,,,") + "\r\n"},
         "valid|rmc 00:00:00 0.000000 0.000000 0.000 0.000 0.0.2000|",
         true},
        {"SplitMidSentence", {kRmc.substr(0, 20), kRmc.substr(20) + "\r", "\n"}, kRmcLog, true},
        {"SplitChunkWithoutRmcReturnsFalse",
         {kRmc + "\r\n$GPGGA,1", kGga.substr(8) + "\r\n"},
         kRmcLog + "valid|gga 1 8 0.900 545.400|",
         false},
        {"TwoSentencesOneChunk",
         {kGga + "\r\n" + kRmc + "\r\n"},
         "valid|gga 1 8 0.900 545.400|" + kRmcLog,
         true},
        {"LRestartsTheLine", {kGll + "\r\n"}, "csum[L,4916.45,N,12311.12,W,225444,A*31\r]|", false},
        {"LInsideRmcSpoilsIt",
         {"$GPRMC,12L519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n"},
         "csum[L519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r]|",
         false},
        {"NoiseBeforeSentence",
         {std::string("\x00\xff\x01\x80garbage\r\n", 14) + kRmc + "\r\n"},
         kRmcLog,
         true},
        {"NoLineStartNoSentence", {"GPRMC,123519,A\r\n\r\n"}, "", false},
        {"OverLongDroppedThenResumes", {"$GP" + over + "\r\n" + kRmc + "\r\n"}, kRmcLog, true},
        {"OverLongDroppedAcrossChunks",
         {"$GP" + over.substr(0, 200), over + "\r\n", kRmc + "\r\n"},
         kRmcLog,
         true},
        {"LineOfBufferSizeAccepted", {fits + "\r\n"}, "valid|", false},
        {"LineOneOverBufferSizeDropped", {tooLong + "\r\n"}, "", false},
        {"NulEndsTheLine", {withNul + "\r\n"}, "csum[$GPRMC,123]|", false},
        {"BareDollar", {"$\r\n"}, "csum[$\r]|", false},
        {"EmptyBodyZeroChecksum", {"$*00\r\n"}, "valid|", false},
        {"TruncatedRmc",
         {Signed("GPRMC,1235") + "\r\n"},
         "valid|rmc 12:35:00 0.000000 0.000000 0.000 0.000 0.0.2000|",
         true},
        {"TruncatedGsa", {Signed("GPGSA,A") + "\r\n"}, "valid|gsa 0 0.000 0.000 0.000|", false},
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
    EXPECT_EQ(last, c.lastChunkReturns);
    EXPECT_LE(assembly.index, assembly.line.size());
}

INSTANTIATE_TEST_SUITE_P(Cases, NmeaStream, ::testing::ValuesIn(StreamCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NmeaSentence, ReturnsTrueOnlyForAcceptedRmc) {
    const struct {
        std::string line;
        bool expected;
    } rows[] = {
        {kRmc + "\r", true}, {kGga + "\r", false}, {kGsa + "\r", false},
        {kRmc, false}, // no carriage return: the checksum is read one place early
        {"", false},         {"$", false},
    };
    for (const auto& row : rows) {
        Recorder target;
        std::vector<char> bytes(row.line.begin(), row.line.end());
        EXPECT_EQ(nm::ProcessNmeaSentence(std::string_view(bytes.data(), bytes.size()), target),
                  row.expected)
            << row.line;
    }
}

TEST(NmeaConversions, SpeedAndAltitude) {
    EXPECT_NEAR(nm::SpeedMph(22.4), 25.7775, 1e-4);
    EXPECT_DOUBLE_EQ(nm::SpeedMph(0.0), 0.0);
    const struct {
        double metres;
        std::int32_t feet;
    } rows[] = {
        {545.4, 1788}, {-12.5, 0}, {0.0, 0}, {0.3, 0}, {0.31, 1}, {1e12, 2147483647}, {NAN, 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(nm::AltitudeFeet(row.metres), row.feet) << row.metres;
}

enum class Reader { Int2, Int3, Int1Skip, Int2Skip, Int5Skip, Double, Latitude, Longitude };

struct ReaderCase {
    Reader reader;
    std::string text;
    double value;
    std::size_t consumed; // where the cursor ends
};

TEST(NmeaFieldReaders, ValueAndCursor) {
    const ReaderCase rows[] = {
        {Reader::Int2, "123519.00,A", 12, 2},
        {Reader::Int3, "1.5,", 1, 1},
        {Reader::Int3, "12", 12, 2},
        {Reader::Int2, "-5,", -5, 2},
        {Reader::Int2, ",08", 0, 0},
        {Reader::Int1Skip, ",08", 0, 1},
        {Reader::Int2Skip, "08,0.9", 8, 3},
        {Reader::Int2Skip, "123,4", 12, 4},
        {Reader::Int5Skip, "12*3A", 12, 5},
        {Reader::Int2, "ab,", 0, 2},
        {Reader::Double, "022.4,084.4", 22.4, 6},
        {Reader::Double, "3.0*3A\r", 3.0, 4},
        {Reader::Double, ",x", 0.0, 1},
        {Reader::Double, "1.5", 1.5, 3},
        {Reader::Double, "abc,", 0.0, 4},
        {Reader::Double, "-33.9,M", -33.9, 6},
        {Reader::Double, " +2.5,", 2.5, 6},
        {Reader::Double, "1e3,", 1000.0, 4},
        {Reader::Double, "1e999,", 0.0, 6},
        {Reader::Latitude, "4807.038,N,01131", 48.1173, 11},
        {Reader::Latitude, "4807.038,S,", -48.1173, 11},
        {Reader::Latitude, ",,01131", 0.0, 2},
        {Reader::Latitude, "4807.038", 48.1173, 8},
        {Reader::Longitude, "01131.000,E,022.4", 11.516666666666667, 12},
        {Reader::Longitude, "07726.4523,W,", -77.44087166666667, 13},
        {Reader::Longitude, "07726.4523,W", -77.44087166666667, 12},
    };
    for (const auto& row : rows) {
        std::vector<char> bytes(row.text.begin(), row.text.end());
        const char* cursor = bytes.data();
        const char* end = cursor + bytes.size();
        double value = 0;
        switch (row.reader) {
        case Reader::Int2:
            value = nm::ReadNmeaInt(cursor, end, 2, false);
            break;
        case Reader::Int3:
            value = nm::ReadNmeaInt(cursor, end, 3, false);
            break;
        case Reader::Int1Skip:
            value = nm::ReadNmeaInt(cursor, end, 1, true);
            break;
        case Reader::Int2Skip:
            value = nm::ReadNmeaInt(cursor, end, 2, true);
            break;
        case Reader::Int5Skip:
            value = nm::ReadNmeaInt(cursor, end, 5, true);
            break;
        case Reader::Double:
            value = nm::ReadNmeaDouble(cursor, end);
            break;
        case Reader::Latitude:
            value = nm::ReadNmeaLatitude(cursor, end);
            break;
        case Reader::Longitude:
            value = nm::ReadNmeaLongitude(cursor, end);
            break;
        }
        EXPECT_NEAR(value, row.value, 1e-9) << row.text;
        EXPECT_EQ(static_cast<std::size_t>(cursor - bytes.data()), row.consumed) << row.text;
    }
}

// ---- Real captures ----

#ifdef GPSLIB_NMEA_DATA_DIR
const std::filesystem::path kDataDir = GPSLIB_NMEA_DATA_DIR;
#else
const std::filesystem::path kDataDir;
#endif

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        // Some captures were stored with their carriage returns: one line end either way.
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The capture as a receiver sends it: comment lines removed, one CR LF after every line.
std::string Wire(const std::string& text) {
    std::string wire;
    for (const std::string& line : Lines(text)) {
        if (!line.empty() && line[0] == '#') continue;
        wire += line + "\r\n";
    }
    return wire;
}

std::vector<std::filesystem::path> Captures() {
    std::vector<std::filesystem::path> files;
    if (kDataDir.empty() || !std::filesystem::is_directory(kDataDir)) return files;
    for (const auto& entry : std::filesystem::directory_iterator(kDataDir))
        if (entry.path().extension() == ".log") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// A number after `"key":` in a JSON line, or NaN.
double JsonNumber(const std::string& line, const std::string& key) {
    const std::size_t at = line.find("\"" + key + "\":");
    if (at == std::string::npos) return NAN;
    return std::strtod(line.c_str() + at + key.size() + 3, nullptr);
}

// `"time":"YYYY-MM-DDTHH:MM:SS` as "YY-MM-DD HH:MM:SS", or empty.
std::string JsonTime(const std::string& line) {
    const std::size_t at = line.find("\"time\":\"");
    if (at == std::string::npos || line.size() < at + 8 + 19) return {};
    const std::string t = line.substr(at + 8, 19);
    return t.substr(2, 8) + " " + t.substr(11, 8);
}

std::string RmcKey(const nm::Rmc& r) {
    char key[32];
    std::snprintf(key, sizeof key, "%02d-%02d-%02d %02d:%02d:%02d", r.year % 100, r.month, r.day,
                  r.hour, r.minute, r.second);
    return key;
}

TEST(NmeaCaptures, EveryCaptureInRandomChunksMatchesWholeFeed) {
    const auto files = Captures();
    if (files.empty()) GTEST_SKIP() << "no captures at " << kDataDir;
    std::mt19937 rng(20261205);
    std::uniform_int_distribution<std::size_t> chunkSize(1, 300);
    int totalRmc = 0;
    for (const auto& file : files) {
        const std::string wire = Wire(ReadFile(file));
        Recorder whole;
        nm::Assembly a1;
        nm::ProcessNmeaBuffer(wire.data(), wire.size(), a1, whole);

        Recorder chunked;
        nm::Assembly a2;
        int chunksWithRmc = 0;
        for (std::size_t at = 0; at < wire.size();) {
            const std::size_t n = std::min(chunkSize(rng), wire.size() - at);
            std::vector<char> bytes(wire.begin() + at, wire.begin() + at + n);
            if (nm::ProcessNmeaBuffer(bytes.data(), n, a2, chunked)) ++chunksWithRmc;
            at += n;
        }
        EXPECT_EQ(chunked.log, whole.log) << file;
        // A chunk reports true only when it completed an accepted $GPRMC.
        EXPECT_LE(chunksWithRmc, chunked.rmcAccepted) << file;
        EXPECT_EQ(chunksWithRmc > 0, chunked.rmcAccepted > 0) << file;
        totalRmc += static_cast<int>(whole.rmcs.size());
    }
    EXPECT_GT(totalRmc, 300);
}

// gpsd's decoding: the TPV right after each $GPRMC line (status A) keyed by its time, and the
// satellites in use of the SKY report right after each $GPGGA line.
TEST(NmeaCaptures, AgreeWithGpsdDecoding) {
    const auto files = Captures();
    if (files.empty()) GTEST_SKIP() << "no captures at " << kDataDir;
    int rmcCompared = 0, rmcAgreed = 0, ggaCompared = 0, ggaAgreed = 0, capturesCompared = 0;
    for (const auto& file : files) {
        auto chkPath = file;
        chkPath += ".chk";
        if (!std::filesystem::exists(chkPath)) continue;
        const auto chk = Lines(ReadFile(chkPath));
        std::map<std::string, std::pair<double, double>> positions;
        int fileRmc = 0;
        for (std::size_t i = 0; i + 1 < chk.size(); ++i) {
            const std::string& line = chk[i];
            const std::string& next = chk[i + 1];
            if (line.rfind("$GPRMC", 0) == 0 && next.find("\"TPV\"") != std::string::npos &&
                next.find("\"lat\"") != std::string::npos && !JsonTime(next).empty()) {
                positions[JsonTime(next)] = {JsonNumber(next, "lat"), JsonNumber(next, "lon")};
            }
            if (line.rfind("$GPGGA", 0) != 0) continue;
            // The first SKY report with satellites in use before the next sentence.
            std::size_t j = i + 1;
            while (j < chk.size() && chk[j].rfind("$", 0) != 0 &&
                   (chk[j].find("\"SKY\"") == std::string::npos ||
                    chk[j].find("\"uSat\"") == std::string::npos))
                ++j;
            if (j == chk.size() || chk[j].rfind("$", 0) == 0) continue;
            Recorder gga;
            const std::string wire = line + "\r\n";
            nm::Assembly assembly;
            nm::ProcessNmeaBuffer(wire.data(), wire.size(), assembly, gga);
            if (gga.ggas.size() != 1) continue;
            ++ggaCompared;
            if (gga.ggas[0].satellites == static_cast<int>(JsonNumber(chk[j], "uSat")))
                ++ggaAgreed;
            else
                ADD_FAILURE() << file << ": " << line << " vs " << chk[j];
        }
        Recorder target;
        const std::string wire = Wire(ReadFile(file));
        nm::Assembly assembly;
        nm::ProcessNmeaBuffer(wire.data(), wire.size(), assembly, target);
        for (const nm::Rmc& r : target.rmcs) {
            const auto found = positions.find(RmcKey(r));
            if (found == positions.end()) continue;
            ++rmcCompared;
            ++fileRmc;
            if (std::fabs(found->second.first - r.latitude) < 1e-6 &&
                std::fabs(found->second.second - r.longitude) < 1e-6)
                ++rmcAgreed;
            else
                ADD_FAILURE() << file << " at " << RmcKey(r);
        }
        if (fileRmc > 0) ++capturesCompared;
    }
    std::printf("RMC agreed %d/%d over %d captures, GGA satellites agreed %d/%d\n", rmcAgreed,
                rmcCompared, capturesCompared, ggaAgreed, ggaCompared);
    EXPECT_GE(capturesCompared, 5);
    EXPECT_GE(rmcCompared, 200);
    EXPECT_GE(ggaCompared, 200);
    EXPECT_EQ(rmcAgreed, rmcCompared);
    EXPECT_EQ(ggaAgreed, ggaCompared);
}

} // namespace
