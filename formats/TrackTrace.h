// A recorded track as the receiver would have sent it: one fix per second along the track, each
// as the $GPRMC and $GPGGA sentences of a receiver (with checksums and CR LF), speed and course
// computed from the fix to the next. The result is a trace file the service plays back as a
// simulated receiver, so that a walk recorded with another tool can be replayed.
#ifndef FORMATS_TRACKTRACE_H_
#define FORMATS_TRACKTRACE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "formats/Gpx.h"

namespace gpslib::tracktrace {

struct Options {
    // The pace along a track whose points carry no times (metres per second; walking).
    double speedMetresPerSecond = 1.4;
    // The receiver's rate: seconds between two fixes.
    double intervalSeconds = 1.0;
    // The time of the first fix when the track carries none (2024-01-01 00:00 UTC).
    std::int64_t startMicros = 1'704'067'200'000'000;
};

// One fix of the receiver.
struct Fix {
    double latitude = 0.0;
    double longitude = 0.0;
    double elevation = 0.0; // Metres.
    std::int64_t time = 0;  // Microseconds since 1970, UTC.
    double speedKnots = 0.0;
    double course = 0.0; // Degrees true, 0-360.
};

// The fixes a receiver would have given travelling along `points`: one every interval, placed
// by the points' times when every point has one (and they never go back), otherwise at the
// constant speed from the start time. Fewer than two points give at most one fix. Returns false
// with a message for options that make no sense (speed or interval not positive or not finite).
bool Resample(const std::vector<gpx::Point>& points, const Options& options,
              std::vector<Fix>* fixes, std::string* error);

// "$GPRMC,…*hh\r\n" and "$GPGGA,…*hh\r\n" for one fix.
std::string RmcSentence(const Fix& fix);
std::string GgaSentence(const Fix& fix);

// The trace: both sentences of every fix, in order.
std::string TraceText(const std::vector<Fix>& fixes);

// The points of a document to travel along: every segment of every track in order, else the
// first route's points, else the waypoints.
std::vector<gpx::Point> TravelledPoints(const gpx::Document& doc);

} // namespace gpslib::tracktrace

#endif // FORMATS_TRACKTRACE_H_
