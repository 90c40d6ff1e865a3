// The active route as the service keeps it: the waypoint records in order (indices 1 to the
// count), the current index, the direction of travel, the file it was loaded from or saved to,
// whether it needs saving, and the configuration it was made with. Route creation, the files,
// exploration and following work on it directly; the route object a client holds is a view over
// the same model, so that a change the client makes through the object is the model's.
#ifndef GPSCORE_ROUTE_ROUTEMODEL_H_
#define GPSCORE_ROUTE_ROUTEMODEL_H_

#include <cstdint>
#include <string>
#include <vector>

#include <gpslib/GPSLib_enums.h>

#include "base/MapQueries.h"
#include "formats/Geodesy.h"
#include "route/WaypointRecord.h"

namespace gpscore {

// How a route was made and with which preferences (the route configuration's fields, with the
// same defaults).
struct RouteConfiguration {
    std::u16string simulationFile;
    RouteType type = RouteTypeUnknown;
    WaypointMode waypointMode = WaypointModeTurnsOnly;
    std::int16_t initialHeading = -1;
    RoutePreferences preferences;
};

struct RouteModel {
    std::vector<WaypointRecord> waypoints;
    // -1 for none; may be left invalid (a loaded route starts at 1, even empty).
    std::int16_t currentIndex = -1;
    bool reversed = false;
    std::u16string fileName;
    // Set by every change of the list and by SetType; cleared only by saving to a file.
    bool needsSaving = false;
    RouteConfiguration configuration;

    int Count() const { return static_cast<int>(waypoints.size()); }
    bool IsValidIndex(int index) const { return index >= 1 && index <= Count(); }
    const WaypointRecord& At(int index) const { return waypoints[index - 1]; }
    // The current index when it names a waypoint, else -1.
    int Current() const { return IsValidIndex(currentIndex) ? currentIndex : -1; }
    // The beginning and the end in the direction of travel (invalid on an empty route).
    int BeginningIndex() const { return reversed ? Count() : 1; }
    int EndIndex() const { return reversed ? 1 : Count(); }
    RouteType Type() const { return configuration.type; }

    // The list holds the most a 16-bit count can tell.
    bool Full() const;
    // Appends a record; false when the list already holds the most a 16-bit count can tell.
    bool Append(WaypointRecord record);
    // Empties the list; the current waypoint becomes -1.
    void Clear();
    void SetType(RouteType type);
    // A driving route cannot simply be travelled backwards (one-way streets, turn restrictions),
    // and a route of unknown type is not known to be walkable either way: whether it turned.
    bool Reverse();

    // next(mode, from, reversed): where a step along the route from `from` (-1: from before its
    // beginning) lands: the next waypoint, or for any mode other than "all" the next turn; at the
    // last one the route's end. -1 from an invalid index.
    int Next(WaypointMode mode, int from, bool backwards) const;
    int Next(WaypointMode mode, int from) const { return Next(mode, from, reversed); }
    // A cross street stored on the waypoint passed last marks a turn announced there; otherwise
    // the next turn is the current waypoint when it turns, else the next turning point ahead.
    int NextTurn() const;
    // The index of the waypoint ahead of a position for a waypoint mode (turns only: the next
    // turn or the end), and the waypoint nearest it; -1 for none.
    int NextIndexNearest(WaypointMode mode, geo::Position position) const;
    int NearestIndexTo(geo::Position position) const;
    // Exploring: where a step from `from` lands, along or against the direction of travel; -1
    // for nowhere.
    int ExploreIndex(WaypointMode mode, int from, bool forward) const;
};

} // namespace gpscore

#endif // GPSCORE_ROUTE_ROUTEMODEL_H_
