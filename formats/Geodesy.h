// The one geodesy of gpslib: a sphere of 3437.90496760259 nautical miles (6367 km), the radius of
// every distance the service speaks. The service's functions below keep their exact arithmetic,
// because their results are spoken and compared bit for bit; the engine's and the compiler's
// helpers in metres (distances, bearings, local planes, projections onto segments, rings) are
// built on the same sphere, so that every module agrees on what lies inside a radius.
#ifndef FORMATS_GEODESY_H_
#define FORMATS_GEODESY_H_

#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

namespace gpslib::geo {

constexpr double kPi = 3.14159265358979323846;
constexpr double kEarthRadiusNm = 3437.90496760259;
constexpr double kMetresPerNm = 1852.0;
constexpr double kEarthRadius = kEarthRadiusNm * kMetresPerNm; // metres
constexpr double kMetresPerDegree = kEarthRadius * kPi / 180.0;

// The unit factors of the service's spoken and stored distances, kept to the digits its answers
// have always been computed with (a foot here is a hair short of 0.3048 m).
constexpr double kFeetPerMetre = 3.2808399;
constexpr double kStoredMetresPerFoot = 0.304799999536704;
constexpr double kKilometresPerMile = 1.609344;
constexpr double kFeetPerNm = 6076.11549;

// ---- The service's distances and directions ---------------------------------------------------

// Signed decimal degrees, north and east positive; 0.0/0.0 means no position.
struct Position {
    double latitude = 0.0;
    double longitude = 0.0;
};

// The type library's Units values; this layer sits below the type library, so they come as
// numbers. Distances are whole metres for Metric and whole feet for every other unit.
constexpr int kUnitsMetric = 0;
constexpr int kUnitsImperial = 1;

// A position is valid when latitude != 0 or longitude != 0 (exact comparison).
bool IsValid(const Position& p);

// The haversine angle between two points, radians in and out. Not clamped: rounding may push
// the haversine a hair above 1 for antipodal points, which gives NaN.
inline double CentralAngle(double lat1, double lon1, double lat2, double lon2) {
    const double a = (lat1 - lat2) / 2.0;
    const double b = (lon1 - lon2) / 2.0;
    const double sa = std::sin(a);
    const double sb = std::sin(b);
    const double s = sb * sb * std::cos(lat2) * std::cos(lat1) + sa * sa;
    return 2.0 * std::asin(std::sqrt(s));
}

// Haversine great-circle distance on the sphere; radians in, nautical miles out.
double DistanceNauticalMiles(double lat1, double lon1, double lat2, double lon2);

// Initial great-circle course, radians in (d is the angular distance); the result uses the
// west-positive convention and lies in [0, 2*pi].
double CourseRadians(double lat1, double lon1, double lat2, double lon2, double d);

// Compass bearing from `from` to `to` in whole degrees (0..360, truncated), or -1 when the
// points coincide. From the north pole 180, from the south pole 0.
int BearingDegrees(const Position& from, const Position& to);

// Distance truncated to whole metres for kUnitsMetric, whole feet for every other unit.
std::int32_t DistanceInUnits(const Position& from, const Position& to, int units);

// A length in metres as whole metres (kUnitsMetric) or whole feet (every other unit), truncated;
// 0 for a negative length or one that is not a number.
std::int32_t MetresInUnits(double metres, int units);
// The other way: a length in metres (kUnitsMetric) or feet, in metres.
double UnitsInMetres(double value, int units);

// True when both coordinates agree after scaling by 1e10 and truncating.
bool IsSamePoint(const Position& from, const Position& to);

// Angle of `bearing` seen from `heading`, clockwise, 0..359 for inputs in 0..360.
int RelativeAngle(int heading, int bearing);

// Clock hour 1..12 of the relative angle (12 straight ahead); 0 means no direction.
int ClockHour(int heading, int bearing);

// True when the two headings differ by less than `tolerance`, also across north.
bool HeadingsWithin(int a, int b, int tolerance);

// Stored distance settings are kept as 16-bit feet: read back in feet for kUnitsImperial and
// in metres for every other unit; written from the same units.
std::int16_t StoredFeetToUnits(std::int16_t feet, int units);
std::int16_t UnitsToStoredFeet(std::int16_t value, int units);

// ---- Metres: the map engine and the compiler --------------------------------------------------

struct Point {
    double lat = 0.0;
    double lon = 0.0;
};

inline double Radians(double degrees) {
    return degrees * kPi / 180.0;
}

// Great-circle distance in metres: the service's haversine. Antipodal points (and coordinates
// that are not numbers) give half the circumference rather than NaN.
inline double Distance(Point a, Point b) {
    double angle = CentralAngle(Radians(a.lat), Radians(a.lon), Radians(b.lat), Radians(b.lon));
    return (std::isnan(angle) ? kPi : angle) * kEarthRadius;
}

// Initial bearing from a to b, degrees in [0, 360).
inline double Bearing(Point a, Point b) {
    double phi1 = Radians(a.lat), phi2 = Radians(b.lat), dLon = Radians(b.lon - a.lon);
    double y = std::sin(dLon) * std::cos(phi2);
    double x = std::cos(phi1) * std::sin(phi2) - std::sin(phi1) * std::cos(phi2) * std::cos(dLon);
    double degrees = std::atan2(y, x) * 180.0 / kPi;
    if (!std::isfinite(degrees)) return 0.0;
    degrees = std::fmod(degrees + 360.0, 360.0);
    return degrees >= 360.0 ? 0.0 : degrees;
}

// Whole degrees 0-359.
inline int WholeDegrees(double degrees) {
    if (!std::isfinite(degrees)) return 0;
    int d = static_cast<int>(std::lround(degrees)) % 360;
    return d < 0 ? d + 360 : d;
}

// Smallest angle between two bearings, 0-180.
inline double AngleBetween(double a, double b) {
    double d = std::fmod(std::fabs(a - b), 360.0);
    return d > 180.0 ? 360.0 - d : d;
}

// A local plane around a reference latitude, in metres: x east, y north. Good to well under a
// metre over the few hundred metres the queries look at; longitudes are unwrapped around the
// reference so the antimeridian does not tear the plane.
struct Plane {
    explicit Plane(Point origin)
        : origin(origin), kx(kMetresPerDegree * std::cos(Radians(origin.lat))) {}
    double X(Point p) const {
        double dLon = p.lon - origin.lon;
        if (dLon > 180.0) dLon -= 360.0;
        if (dLon < -180.0) dLon += 360.0;
        return dLon * kx;
    }
    double Y(Point p) const { return (p.lat - origin.lat) * kMetresPerDegree; }
    Point origin;
    double kx;
};

// Where p falls on segment a-b: the fraction t in [0, 1] of the closest point, its distance in
// metres and which side of a->b p lies on (positive: left).
struct Projection {
    double t = 0.0;
    double distance = 0.0;
    double cross = 0.0;
    Point point;
};

inline Projection Project(Point p, Point a, Point b) {
    Plane plane(p);
    double ax = plane.X(a), ay = plane.Y(a), bx = plane.X(b), by = plane.Y(b);
    double dx = bx - ax, dy = by - ay;
    double len2 = dx * dx + dy * dy;
    Projection r;
    r.t = len2 > 0.0 ? std::fmin(1.0, std::fmax(0.0, (-ax * dx - ay * dy) / len2)) : 0.0;
    double cx = ax + r.t * dx, cy = ay + r.t * dy;
    r.distance = std::sqrt(cx * cx + cy * cy);
    r.cross = dx * (0.0 - ay) - dy * (0.0 - ax);
    r.point = {a.lat + r.t * (b.lat - a.lat), a.lon + r.t * (b.lon - a.lon)};
    return r;
}

// Even-odd point-in-ring test in degrees (rings are small against the sphere here), over a
// vector or a ring lying in a mapped map file.
inline bool InRing(Point p, std::span<const Point> ring) {
    bool inside = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const Point& a = ring[i];
        const Point& b = ring[j];
        if ((a.lat > p.lat) != (b.lat > p.lat)) {
            double lon = a.lon + (p.lat - a.lat) / (b.lat - a.lat) * (b.lon - a.lon);
            if (p.lon < lon) inside = !inside;
        }
    }
    return inside;
}

// A ring of an area; inner rings are holes.
struct Ring {
    bool outer = true;
    std::vector<Point> points;
};

// Inside the area: inside an odd number of its rings (outer and inner alike).
inline bool InRings(Point p, const std::vector<Ring>& rings) {
    bool inside = false;
    for (const Ring& r : rings)
        if (r.points.size() >= 3 && InRing(p, r.points)) inside = !inside;
    return inside;
}

} // namespace gpslib::geo

// The service knows these as gpscore::geo.
namespace gpscore {
namespace geo = gpslib::geo;
}

#endif // FORMATS_GEODESY_H_
