// The numeric core under every spoken distance and direction: great-circle distance, initial
// bearing, distances in the user's units, the same-point test, relative angle, clock hour, the
// tolerance test between headings and the stored-settings distance conversions. All pure.
#ifndef GPSCORE_ORIENTATION_GEODESY_H_
#define GPSCORE_ORIENTATION_GEODESY_H_

#include <gpslib/GPSLib.h>

#include <cstdint>

namespace gpscore::geo {

// Signed decimal degrees, north and east positive; 0.0/0.0 means no position.
struct Position {
    double latitude = 0.0;
    double longitude = 0.0;
};

// A position is valid when latitude != 0 or longitude != 0 (exact comparison).
bool IsValid(const Position& p);

// Haversine great-circle distance on a sphere of 6367 km; radians in, nautical miles out.
double DistanceNauticalMiles(double lat1, double lon1, double lat2, double lon2);

// Initial great-circle course, radians in (d is the angular distance); the result uses the
// west-positive convention and lies in [0, 2*pi].
double CourseRadians(double lat1, double lon1, double lat2, double lon2, double d);

// Compass bearing from `from` to `to` in whole degrees (0..360, truncated), or -1 when the
// points coincide. From the north pole 180, from the south pole 0.
int BearingDegrees(const Position& from, const Position& to);

// Distance truncated to whole metres for Metric, whole feet for every other unit.
std::int32_t DistanceInUnits(const Position& from, const Position& to, Units units);

// True when both coordinates agree after scaling by 1e10 and truncating.
bool IsSamePoint(const Position& from, const Position& to);

// Angle of `bearing` seen from `heading`, clockwise, 0..359 for inputs in 0..360.
int RelativeAngle(int heading, int bearing);

// Clock hour 1..12 of the relative angle (12 straight ahead); 0 means no direction.
int ClockHour(int heading, int bearing);

// True when the two headings differ by less than `tolerance`, also across north.
bool HeadingsWithin(int a, int b, int tolerance);

// Stored distance settings are kept as 16-bit feet: read back in feet for Imperial and in
// metres for every other unit; written from the same units.
SHORT StoredFeetToUnits(SHORT feet, Units units);
SHORT UnitsToStoredFeet(SHORT value, Units units);

} // namespace gpscore::geo

#endif // GPSCORE_ORIENTATION_GEODESY_H_
