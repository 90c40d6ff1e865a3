// Geometry along one edge of the street graph, shared by the engine's street and address queries.
#ifndef MAPENGINE_EDGEGEOMETRY_H_
#define MAPENGINE_EDGEGEOMETRY_H_

#include "MapData.h"

namespace gpsmap {

// The point `distance` metres along the edge from its first point (`fromStart`) or from its last;
// the far end when the edge is shorter.
inline Point AlongFrom(const Edge& e, bool fromStart, double distance) {
    double done = 0.0;
    std::size_t n = e.points.size();
    for (std::size_t k = 0; k + 1 < n; ++k) {
        const Point& a = fromStart ? e.points[k] : e.points[n - 1 - k];
        const Point& b = fromStart ? e.points[k + 1] : e.points[n - 2 - k];
        double seg = geo::Distance(a, b);
        if (done + seg >= distance && seg > 0) {
            double t = (distance - done) / seg;
            return {a.lat + t * (b.lat - a.lat), a.lon + t * (b.lon - a.lon)};
        }
        done += seg;
    }
    return fromStart ? e.points.back() : e.points.front();
}

} // namespace gpsmap

#endif // MAPENGINE_EDGEGEOMETRY_H_
