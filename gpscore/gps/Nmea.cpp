#include "gps/Nmea.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "formats/NmeaSentence.h"

namespace gpscore::nmea {

namespace {

constexpr double kMinutesToDegrees = 0.016666666666666666;
constexpr double kKnotsToMph = 1.15077945;
constexpr double kMetresToFeet = 3.28;

unsigned HexValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
    return 0;
}

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Moves the cursor past the next ',' (to the end when there is none).
void SkipPastComma(const char*& cursor, const char* end) {
    while (cursor < end && *cursor != ',')
        ++cursor;
    if (cursor < end) ++cursor;
}

void SkipCommas(const char*& cursor, const char* end, int count) {
    for (int i = 0; i < count; ++i)
        SkipPastComma(cursor, end);
}

// Leading decimal integer of [first, last): optional blanks and sign, then digits; saturates.
int ParseLeadingInt(const char* first, const char* last) {
    while (first < last && IsSpace(*first))
        ++first;
    bool negative = false;
    if (first < last && (*first == '+' || *first == '-')) negative = *first++ == '-';
    long long value = 0;
    constexpr long long kLimit = std::numeric_limits<int>::max();
    for (; first < last && *first >= '0' && *first <= '9'; ++first) {
        value = value * 10 + (*first - '0');
        if (value > kLimit) value = kLimit;
    }
    return static_cast<int>(negative ? -value : value);
}

// Leading decimal number of [first, last), independent of the C locale.
double ParseLeadingDouble(const char* first, const char* last) {
    while (first < last && IsSpace(*first))
        ++first;
    if (first < last && *first == '+') {
        ++first;
        if (first < last && (*first == '+' || *first == '-')) return 0.0;
    }
    double value = 0.0;
    const auto result = std::from_chars(first, last, value, std::chars_format::general);
    // No number, or one beyond the range of a double: both read as 0.0.
    return result.ec == std::errc() ? value : 0.0;
}

double ReadCoordinate(const char*& cursor, const char* end, int degreeChars, char negative) {
    const int degrees = ReadNmeaInt(cursor, end, degreeChars, false);
    const double minutes = ReadNmeaDouble(cursor, end);
    double value = degrees + minutes * kMinutesToDegrees;
    if (cursor < end && *cursor == negative) value = -value;
    SkipPastComma(cursor, end);
    return value;
}

} // namespace

unsigned TransmittedChecksum(std::string_view line) {
    const std::size_t n = line.size();
    const unsigned high = n >= 3 ? HexValue(line[n - 3]) : 0;
    const unsigned low = n >= 2 ? HexValue(line[n - 2]) : 0;
    return high * 16 + low;
}

unsigned ComputedChecksum(std::string_view line) {
    if (line.empty()) return 0;
    const std::string_view body = line.substr(1);
    return gpslib::nmea::Checksum(body.substr(0, body.find('*')));
}

int ReadNmeaInt(const char*& cursor, const char* end, int maxChars, bool skipToComma) {
    const char* first = cursor;
    const char* p = cursor;
    for (int n = 0; n < maxChars && p < end && *p != ',' && *p != '.' && *p != '*'; ++n)
        ++p;
    const int value = ParseLeadingInt(first, p);
    cursor = p;
    if (skipToComma) SkipPastComma(cursor, end);
    return value;
}

double ReadNmeaDouble(const char*& cursor, const char* end) {
    const char* first = cursor;
    const char* p = cursor;
    while (p < end && *p != ',' && *p != '*')
        ++p;
    const double value = ParseLeadingDouble(first, p);
    cursor = p < end ? p + 1 : p;
    return value;
}

double ReadNmeaLatitude(const char*& cursor, const char* end) {
    return ReadCoordinate(cursor, end, 2, 'S');
}

double ReadNmeaLongitude(const char*& cursor, const char* end) {
    return ReadCoordinate(cursor, end, 3, 'W');
}

void ParseRmc(std::string_view line, Target& target) {
    const char* cursor = line.data();
    const char* const end = cursor + line.size();
    SkipPastComma(cursor, end);
    Rmc rmc;
    rmc.hour = ReadNmeaInt(cursor, end, 2, false);
    rmc.minute = ReadNmeaInt(cursor, end, 2, false);
    rmc.second = ReadNmeaInt(cursor, end, 2, false);
    SkipPastComma(cursor, end);
    if (cursor < end && *cursor == 'V') {
        target.OnRmcVoid();
        return;
    }
    SkipPastComma(cursor, end);
    rmc.latitude = ReadNmeaLatitude(cursor, end);
    rmc.longitude = ReadNmeaLongitude(cursor, end);
    rmc.speedKnots = ReadNmeaDouble(cursor, end);
    rmc.courseDegrees = ReadNmeaDouble(cursor, end);
    rmc.day = ReadNmeaInt(cursor, end, 2, false);
    rmc.month = ReadNmeaInt(cursor, end, 2, false);
    rmc.year = 2000 + ReadNmeaInt(cursor, end, 2, false);
    target.OnRmc(rmc);
}

void ParseGga(std::string_view line, Target& target) {
    const char* cursor = line.data();
    const char* const end = cursor + line.size();
    SkipCommas(cursor, end, 6);
    Gga gga;
    gga.quality = ReadNmeaInt(cursor, end, 1, true);
    gga.satellites = ReadNmeaInt(cursor, end, 2, true);
    gga.hdop = ReadNmeaDouble(cursor, end);
    gga.altitudeMetres = ReadNmeaDouble(cursor, end);
    target.OnGga(gga);
}

void ParseGsa(std::string_view line, Target& target) {
    const char* cursor = line.data();
    const char* const end = cursor + line.size();
    SkipCommas(cursor, end, 2);
    Gsa gsa;
    gsa.fixType = ReadNmeaInt(cursor, end, 1, true);
    SkipCommas(cursor, end, 12);
    gsa.pdop = ReadNmeaDouble(cursor, end);
    gsa.hdop = ReadNmeaDouble(cursor, end);
    gsa.vdop = ReadNmeaDouble(cursor, end);
    target.OnGsa(gsa);
}

bool ProcessNmeaSentence(std::string_view line, Target& target) {
    if (((TransmittedChecksum(line) ^ ComputedChecksum(line)) & 0xFF) != 0) {
        target.OnChecksumError(line);
        return false;
    }
    target.OnValidSentence();
    const std::string_view id = line.substr(0, 6);
    if (id == "$GPRMC") {
        ParseRmc(line, target);
        return true;
    }
    if (id == "$GPGGA") {
        ParseGga(line, target);
    } else if (id == "$GPGSA") {
        ParseGsa(line, target);
    }
    return false;
}

bool ProcessNmeaBuffer(const char* data, std::size_t length, Assembly& state, Target& target) {
    const std::size_t capacity = state.line.size();
    char* const buffer = state.line.data();
    // An index from outside beyond the buffer counts as a full buffer.
    if (state.index > capacity) state.index = capacity;
    bool rmcAccepted = false;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = data[i];
        if (c == '\n' && state.inSentence) {
            state.inSentence = false;
            // The line is text: it ends at a NUL byte, should one have arrived.
            const void* nul = std::memchr(buffer, '\0', state.index);
            const std::size_t size =
                nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - buffer)
                    : state.index;
            state.index = 0;
            if (ProcessNmeaSentence(std::string_view(buffer, size), target)) rmcAccepted = true;
        } else if (c == '$' || c == 'L') {
            state.index = 0;
            state.inSentence = true;
        }
        if (state.index >= capacity) {
            // Over-long: the partial sentence is dropped.
            state.inSentence = false;
            state.index = 0;
        }
        buffer[state.index++] = c;
    }
    return rmcAccepted;
}

double SpeedMph(double knots) {
    return knots * kKnotsToMph;
}

std::int32_t AltitudeFeet(double metres) {
    const double feet = std::trunc(metres * kMetresToFeet);
    if (!(feet > 0.0)) return 0;
    if (feet >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(feet);
}

} // namespace gpscore::nmea
