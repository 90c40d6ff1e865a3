#include "route/RouteGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace gpscore {

namespace {

// The route files' own foot (RouteGeometry.h), not the stored one.
constexpr double kMetresPerFoot = 0.3048;

double NauticalMiles(const WaypointRecord& a, const WaypointRecord& b) {
    return geo::DistanceNauticalMiles(geo::Radians(a.latitude), geo::Radians(a.longitude),
                                      geo::Radians(b.latitude), geo::Radians(b.longitude));
}

double Metres(geo::Position p, const WaypointRecord& w) {
    return geo::Distance({p.latitude, p.longitude}, {w.latitude, w.longitude});
}

bool Valid(const Waypoints& waypoints, int index) {
    return index >= 1 && static_cast<std::size_t>(index) <= waypoints.size();
}

int EndIndex(const Waypoints& waypoints, bool reversed) {
    return reversed ? 1 : static_cast<int>(waypoints.size());
}

} // namespace

double TotalDistance(const Waypoints& waypoints, int first, int last, double extraMetres,
                     bool metric) {
    const int count = static_cast<int>(waypoints.size());
    if (first == -1 && last == -1) {
        first = 1;
        last = count;
    }
    const int lo = std::max(1, std::min(first, last));
    const int hi = std::min(count, std::max(first, last));
    const double extra = extraMetres == -1.0 ? 0.0 : extraMetres;
    // Whether the route stores its distances is a property of the whole route: a stretch of
    // length 0 on a route that stores them is 0, not a straight-line guess.
    bool stored = false;
    for (const WaypointRecord& w : waypoints)
        stored = stored || w.distanceFromLastWaypoint != 0.0;
    if (stored) {
        double metres = extra;
        for (int i = lo + 1; i <= hi; ++i)
            metres += waypoints[i - 1].distanceFromLastWaypoint;
        return metric ? metres : metres * geo::kFeetPerMetre;
    }
    // No stored distances: straight from waypoint to waypoint.
    if (hi <= lo) return metric ? extra : extra * geo::kFeetPerMetre;
    double nm = 0.0;
    for (int i = lo + 1; i <= hi; ++i)
        nm += NauticalMiles(waypoints[i - 2], waypoints[i - 1]);
    const double feet = nm * geo::kFeetPerNm;
    return metric ? (feet + 1.0) * kMetresPerFoot + extra : feet + extra * geo::kFeetPerMetre;
}

int NearestIndex(const Waypoints& waypoints, geo::Position position) {
    if (!geo::IsValid(position)) return -1;
    int best = -1;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < waypoints.size(); ++i) {
        const double d = Metres(position, waypoints[i]);
        if (d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i) + 1;
        }
    }
    return best;
}

// The stretch nearest the position wins (the first of equals, so that a traveller on a route
// that doubles back is placed on the earlier pass). Before the beginning means projected onto the
// first stretch at its very start while not standing there.
int NextIndexAhead(const Waypoints& waypoints, geo::Position position, bool reversed) {
    if (!geo::IsValid(position) || waypoints.empty()) return -1;
    const int count = static_cast<int>(waypoints.size());
    if (count == 1) return 1;
    const int step = reversed ? -1 : 1;
    const int begin = reversed ? count : 1;
    const geo::Point p{position.latitude, position.longitude};
    int best = -1;
    double bestDistance = std::numeric_limits<double>::infinity();
    bool beforeBeginning = false;
    for (int from = begin; Valid(waypoints, from + step); from += step) {
        const WaypointRecord& a = waypoints[from - 1];
        const WaypointRecord& b = waypoints[from + step - 1];
        const geo::Projection r =
            geo::Project(p, {a.latitude, a.longitude}, {b.latitude, b.longitude});
        if (r.distance < bestDistance) {
            bestDistance = r.distance;
            best = from + step;
            beforeBeginning = from == begin && r.t <= 0.0 && r.distance > 1.0;
        }
    }
    return beforeBeginning ? begin : best;
}

double DistanceAlongRouteTo(const Waypoints& waypoints, geo::Position position, bool reversed,
                            int target, double distanceToNextMetres, bool metric) {
    if (!Valid(waypoints, target)) return -1.0;
    const int next = NextIndexAhead(waypoints, position, reversed);
    if (next == -1) return -1.0;
    if (StepsAhead(target, next, reversed) < 0) {
        const double metres = Metres(position, waypoints[target - 1]);
        return metric ? metres : metres * geo::kFeetPerMetre;
    }
    const double toNext =
        distanceToNextMetres >= 0.0 ? distanceToNextMetres : Metres(position, waypoints[next - 1]);
    return TotalDistance(waypoints, next, target, toNext, metric);
}

double RemainingDistance(const Waypoints& waypoints, geo::Position position, bool reversed,
                         double distanceToNextMetres, bool metric) {
    if (waypoints.empty()) return -1.0;
    return DistanceAlongRouteTo(waypoints, position, reversed, EndIndex(waypoints, reversed),
                                distanceToNextMetres, metric);
}

int PercentComplete(const Waypoints& waypoints, geo::Position position, bool reversed,
                    double distanceToNextMetres, bool metric) {
    const double whole = TotalDistance(waypoints, -1, -1, -1.0, metric);
    const long total = std::isfinite(whole) && whole < 2e9 ? static_cast<long>(whole) : 0;
    if (total <= 0) return 0;
    const double remaining =
        RemainingDistance(waypoints, position, reversed, distanceToNextMetres, metric);
    if (!(remaining >= 0.0)) return 0;
    const double done =
        static_cast<double>(total) - std::min(remaining, static_cast<double>(total));
    return static_cast<int>(std::floor(done / static_cast<double>(total) * 100.0));
}

} // namespace gpscore
