// NMEA 0183 input: cuts a byte stream into sentences, checks each checksum and parses the three
// sentences the service uses ($GPRMC, $GPGGA, $GPGSA). What follows an accepted sentence (the
// fix record, alive count, quality and heading) belongs to the receiver state, reached through
// `Target`. No locks, no allocation, no I/O: every read is bounded by the line it belongs to.
#ifndef GPSCORE_GPS_NMEA_H_
#define GPSCORE_GPS_NMEA_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace gpscore::nmea {

// Line assembly state of one input source (serial port, playback file), kept between chunks.
struct Assembly {
    std::array<char, 256> line{};
    std::size_t index = 0;
    bool inSentence = false;
};

// $GPRMC with a status other than V. Latitude and longitude are signed degrees (north and east
// positive); year is 2000 + the two transmitted digits.
struct Rmc {
    int hour = 0;
    int minute = 0;
    int second = 0;
    double latitude = 0.0;
    double longitude = 0.0;
    double speedKnots = 0.0;
    double courseDegrees = 0.0;
    int day = 0;
    int month = 0;
    int year = 0;
};

// $GPGGA: the fix-quality digit, satellites in use, HDOP and the altitude in metres as read.
struct Gga {
    int quality = 0;
    int satellites = 0;
    double hdop = 0.0;
    double altitudeMetres = 0.0;
};

// $GPGSA: the mode digit (1 no fix, 2 two-dimensional, 3 three-dimensional) and the DOPs.
struct Gsa {
    int fixType = 0;
    double pdop = 0.0;
    double hdop = 0.0;
    double vdop = 0.0;
};

// What the receiver state does with the sentences. Called on the caller's thread, in stream
// order. OnValidSentence comes first for every sentence with a correct checksum (whatever its
// type); then at most one of OnRmcVoid, OnRmc, OnGga, OnGsa. Each OnRmcVoid or OnRmc is one
// accepted $GPRMC.
class Target {
public:
    virtual ~Target() = default;
    // The line (from '$' or 'L' up to the line feed, exclusive) failed its checksum.
    virtual void OnChecksumError(std::string_view line) = 0;
    virtual void OnValidSentence() = 0;
    // $GPRMC with status V: position, date and time are not read.
    virtual void OnRmcVoid() = 0;
    virtual void OnRmc(const Rmc& rmc) = 0;
    virtual void OnGga(const Gga& gga) = 0;
    virtual void OnGsa(const Gsa& gsa) = 0;
};

// Feeds a chunk of received bytes. Returns true when at least one $GPRMC in the chunk was
// accepted (status V included).
bool ProcessNmeaBuffer(const char* data, std::size_t length, Assembly& state, Target& target);

// Checks one line (its last character is the carriage return) and dispatches it. Returns true
// only for an accepted $GPRMC.
bool ProcessNmeaSentence(std::string_view line, Target& target);

// The checksum transmitted at the third- and second-last characters (0 for a missing or
// non-hex digit), and the XOR of the bytes after the first up to the first '*'.
unsigned TransmittedChecksum(std::string_view line);
unsigned ComputedChecksum(std::string_view line);

// Field readers; each advances `cursor` and never moves it past `end`.
// At most maxChars characters, stopping before ',', '.' or '*', read as a decimal integer
// (empty gives 0). With skipToComma the cursor then moves past the next ','.
int ReadNmeaInt(const char*& cursor, const char* end, int maxChars, bool skipToComma);
// Characters up to ',' or '*' read as a decimal number (empty gives 0.0); the cursor moves one
// past the stop character.
double ReadNmeaDouble(const char*& cursor, const char* end);
// ddmm.mmm then the hemisphere; S (W) negates. The cursor ends past the hemisphere's ','.
double ReadNmeaLatitude(const char*& cursor, const char* end);
double ReadNmeaLongitude(const char*& cursor, const char* end);

// The sentence parsers, called after the checksum has been checked.
void ParseRmc(std::string_view line, Target& target);
void ParseGga(std::string_view line, Target& target);
void ParseGsa(std::string_view line, Target& target);

// Knots to statute miles per hour.
double SpeedMph(double knots);
// Metres × 3.28 truncated toward zero; a negative (or not-a-number) altitude gives 0 and a value
// beyond 32 bits saturates.
std::int32_t AltitudeFeet(double metres);

} // namespace gpscore::nmea

#endif // GPSCORE_GPS_NMEA_H_
