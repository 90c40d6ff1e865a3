// The answers computed from a fix's raw values: speed, altitude and accuracy in the user's units,
// the fix and differential rules, and the spoken accuracy. The live GPS object and the status
// snapshot both answer through these, so the two always agree.
#ifndef GPSCORE_GPS_FIXVALUES_H_
#define GPSCORE_GPS_FIXVALUES_H_

#include <gpslib/GPSLib_enums.h>

#include <cstdint>
#include <string>

namespace gpscore {

// The GGA quality digit of a differential fix.
constexpr std::int32_t kGgaDifferential = 2;

// The units of the process-wide Utility's system settings; Imperial without them.
Units DisplayUnits();

// A speed of `speedMph` in km/h (Metric), knots (Nautical, BritishNautical) or mph (Imperial);
// 0 for a stopped or unknown speed (0 or below, or not a number).
double SpeedInUnits(double speedMph, Units units);
// The speed rounded to a whole number (the low 16 bits, as the interface's short carries it).
std::int16_t WholeSpeed(double speedMph, Units units);
// The speed cut to tenths.
double SpeedTenths(double speedMph, Units units);

// Metres (rounded) for Metric, else feet; -1 (unknown) and 0 stay as they are.
std::int32_t AltitudeInUnits(std::int32_t altitudeFeet, Units units);

// Whole metres for Metric, else whole feet (the low 16 bits); -1 while the accuracy is unknown.
std::int16_t AccuracyInUnits(double accuracyMeters, Units units);

// A fix counts from the poorest quality up; no receiver and no fix do not.
inline bool HasFix(GPSQuality quality) {
    return quality > GPSQualityNoFix;
}

// What the accuracy sentence is built from.
struct FixAccuracy {
    GPSQuality quality = GPSQualityNoGPS;
    double meters = -1.0; // -1.0 while unknown
    bool differential = false;
    std::int16_t satellites = 0;
};

// The spoken accuracy, from the string resources: no receiver selected; no connection (naming
// the receiver when it has a name); the accuracy with the satellite count (or, for an inertial
// fix without satellites, the motion sensor); or no fix with the satellites in view. Reads the
// Utility's units and receiver settings on each call.
std::u16string AccuracyDescription(const FixAccuracy& fix);

} // namespace gpscore

#endif // GPSCORE_GPS_FIXVALUES_H_
