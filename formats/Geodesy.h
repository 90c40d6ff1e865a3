// Small plane and sphere geometry shared by the map compiler and the map engine: distances,
// bearings, projections onto segments, sides and rings.
#ifndef FORMATS_GEODESY_H_
#define FORMATS_GEODESY_H_

#include <cmath>
#include <vector>

namespace gpslib::geo {

struct Point {
    double lat = 0.0;
    double lon = 0.0;
};

constexpr double kPi = 3.14159265358979323846;
constexpr double kEarthRadius = 6371008.8; // metres, mean radius
constexpr double kMetresPerDegree = kEarthRadius * kPi / 180.0;

inline double Radians(double degrees) {
    return degrees * kPi / 180.0;
}

// Great-circle distance in metres (haversine).
inline double Distance(Point a, Point b) {
    double dLat = Radians(b.lat - a.lat), dLon = Radians(b.lon - a.lon);
    double h = std::sin(dLat / 2) * std::sin(dLat / 2) +
               std::cos(Radians(a.lat)) * std::cos(Radians(b.lat)) * std::sin(dLon / 2) *
                   std::sin(dLon / 2);
    return 2 * kEarthRadius * std::asin(std::sqrt(std::fmin(1.0, h)));
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

// Even-odd point-in-ring test in degrees (rings are small against the sphere here).
inline bool InRing(Point p, const std::vector<Point>& ring) {
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

#endif // FORMATS_GEODESY_H_
