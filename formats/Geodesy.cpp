#include "formats/Geodesy.h"

#include <cmath>
#include <cstdlib>

namespace gpslib::geo {

namespace {

// The distance uses a 6367 km sphere; the bearing converts nautical miles to radians at one
// arc minute per mile. The two radii differ slightly and both are kept as they are, because
// the bearing's rounding (due south gives 179) depends on that difference.
constexpr double kDegToRad = 0.017453292519943295;
constexpr double kRadToDeg = 57.29577951308232;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kRadiansPerNm = 0.0002908882086657216;
constexpr double kPoleThreshold = 1e-12;
constexpr double kSamePointScale = 1e10;

double DistanceNmDegrees(const Position& from, const Position& to) {
    return DistanceNauticalMiles(from.latitude * kDegToRad, from.longitude * kDegToRad,
                                 to.latitude * kDegToRad, to.longitude * kDegToRad);
}

} // namespace

bool IsValid(const Position& p) {
    return p.latitude != 0.0 || p.longitude != 0.0;
}

double DistanceNauticalMiles(double lat1, double lon1, double lat2, double lon2) {
    return CentralAngle(lat1, lon1, lat2, lon2) * kEarthRadiusNm;
}

double CourseRadians(double lat1, double lon1, double lat2, double lon2, double d) {
    if (d == 0.0) return 0.0;
    if (std::cos(lat1) < kPoleThreshold) return lat1 > 0.0 ? kPi : kTwoPi;
    double r = (std::sin(lat2) - std::sin(lat1) * std::cos(d)) / (std::sin(d) * std::cos(lat1));
    if (r < -1.0) r = -1.0;
    if (r > 1.0) r = 1.0;
    if (std::sin(lon2 - lon1) < 0.0) return std::acos(r);
    return kTwoPi - std::acos(r);
}

int BearingDegrees(const Position& from, const Position& to) {
    const double d = DistanceNmDegrees(from, to) * kRadiansPerNm;
    if (d == 0.0) return -1;
    const double course = CourseRadians(from.latitude * kDegToRad, from.longitude * kDegToRad,
                                        to.latitude * kDegToRad, to.longitude * kDegToRad, d);
    // The course is west-positive; its complement to 2*pi is the compass bearing.
    return static_cast<int>((kTwoPi - course) * kRadToDeg);
}

std::int32_t DistanceInUnits(const Position& from, const Position& to, int units) {
    const double nm = DistanceNmDegrees(from, to);
    return static_cast<std::int32_t>(nm * (units == kUnitsMetric ? kMetresPerNm : kFeetPerNm));
}

std::int32_t MetresInUnits(double metres, int units) {
    const double value = units == kUnitsMetric ? metres : metres * kFeetPerMetre;
    if (!(value > 0)) return 0;
    return value >= 2e9 ? std::int32_t{2000000000} : static_cast<std::int32_t>(value);
}

double UnitsInMetres(double value, int units) {
    return units == kUnitsMetric ? value : value / kFeetPerMetre;
}

bool IsSamePoint(const Position& from, const Position& to) {
    auto scaled = [](double degrees) {
        return static_cast<std::int64_t>(degrees * kSamePointScale);
    };
    return scaled(from.latitude) == scaled(to.latitude) &&
           scaled(from.longitude) == scaled(to.longitude);
}

int RelativeAngle(int heading, int bearing) {
    return (bearing - heading + 360) % 360;
}

int ClockHour(int heading, int bearing) {
    const int r = RelativeAngle(heading, bearing);
    if (r < 0) return 0;
    if (r >= 346 || r <= 15) return 12;
    // 30-degree sectors centred on each hour: 16..45 is 1, ..., 316..345 is 11.
    return (r - 16) / 30 + 1;
}

bool HeadingsWithin(int a, int b, int tolerance) {
    const int diff = std::abs(a - b);
    return diff < tolerance || tolerance > std::abs(360 - diff);
}

std::int16_t StoredFeetToUnits(std::int16_t feet, int units) {
    if (units == kUnitsImperial) return feet;
    return static_cast<std::int16_t>(std::trunc(feet * kStoredMetresPerFoot + 0.5));
}

std::int16_t UnitsToStoredFeet(std::int16_t value, int units) {
    if (units == kUnitsImperial) return value;
    // Large metre values overflow 16 bits; they wrap as the stored field always has.
    const double feet = std::trunc(value * kFeetPerMetre + 0.5);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::int64_t>(feet)));
}

} // namespace gpslib::geo
