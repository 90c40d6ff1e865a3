// The service's active route: made by the map engine's walking and driving routing, from a
// recorded trace, or handed in by the client; closed, reversed and recalculated; its position
// answers (percent done, arrival time, waypoint descriptions) and the route settings of each
// mode. Route files and the virtual exploration of a route build on it.
#ifndef GPSCORE_ROUTE_ROUTEBUILDER_H_
#define GPSCORE_ROUTE_ROUTEBUILDER_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Place.h"
#include "route/RouteModel.h"

namespace gpslib::routefile {
struct Configuration;
}

namespace gpscore {

struct ServiceContext;
class Destination;
class EventQueue;
class ReceiverLink;
class RouteFollower;
class VirtualWalker;

// REQUIRES for every method: the service's core lock held.
class RouteBuilder {
public:
    // The parts it works with; they outlive it.
    struct Parts {
        ServiceContext& context;
        EventQueue& events;
        RouteFollower& follower;
        Destination& destination;
        ReceiverLink& receiver;
        VirtualWalker& walker;
    };
    explicit RouteBuilder(const Parts& parts) : m_parts(parts) {}
    RouteBuilder(const RouteBuilder&) = delete;
    RouteBuilder& operator=(const RouteBuilder&) = delete;

    // The active route itself (null for none): the model the facade's route object shows.
    const std::shared_ptr<RouteModel>& Route() const { return m_route; }
    bool Optimized() const { return m_bRouteOptimized; }
    // Where virtual route exploration stands; -1 when it is not positioned.
    int ExplorationIndex() const { return m_nRouteExplorationIndex; }

    // RouteSet: the waypoints and type of the client's route copied into the active one.
    void Set(std::vector<WaypointRecord> records, RouteType type);
    // RouteClose: the engine's route dropped, following reset, the route released.
    void Close();
    // RouteReverse: whether the route now runs the other way.
    bool Reverse();

    // RouteCreateAutomatic: a route from the mode's position to the destination, made as the
    // configuration says; true when one was installed.
    bool CreateAutomatic(Mode mode, const RouteConfiguration& configuration);
    // RouteRecalculate: from the mode's position to the active route's end, same preferences.
    bool Recalculate(Mode mode);
    // RouteRecalculateOriginal: again from the route's own beginning to its end.
    bool RecalculateOriginal();
    // RouteSetCurrentToNextWaypointNearestLocation: the new current index (-1 for none), or
    // none without a route.
    std::optional<int> SetCurrentToNextWaypointNearestLocation(const Place& location);

    // RoutePercentComplete for the mode's position; without a route the route's own answer for
    // no route (0).
    int PercentComplete(Mode mode) const;

    // A route being recorded from the virtual walker's movements (RouteTypeFromVirtualExploration).
    bool Recording() const { return m_bRecording && m_route; }
    // While recording: the walker moved to `location`, now facing `heading`; a waypoint is added
    // there, and the last waypoint becomes a turn when the heading turned 45 degrees or more.
    void RecordVirtualMove(const std::optional<Place>& location, int heading);

    // The mode's position and heading (none when there is none).
    std::optional<Place> CurrentLocation(Mode mode, int* heading) const;
    // The speed the mode's arrival times assume, in miles per hour (0 in VirtualMode).
    double Speed(Mode mode) const;

    // Route files (RouteFiles.cpp). RouteSave: the active route written to `fileName` (empty:
    // the file it was loaded from or last saved to); a name ending ".gpx" writes GPX 1.1.
    // RouteLoad: the file's route (a route file, or the first route of a GPX file) made the
    // active one; a file that cannot be read leaves the active route as it was.
    bool Save(std::u16string_view fileName);
    bool Load(std::u16string_view fileName);
    // RouteSaveDirections: the route's directions as text, one sentence per line, in the file
    // named from `fileName` (the name used is handed back).
    bool SaveDirections(WaypointMode waypointMode, bool numbers, std::u16string* fileName);

    // Virtual route exploration (RouteExploration.cpp): the walker stepped onto the next or the
    // previous waypoint, or positioned so that the step lands on waypoint `index`. Each answers
    // the index of the waypoint reached (-1 for none: no route, or nothing to step to) and its
    // description.
    int ExploreStep(bool forward, WaypointMode waypointMode, std::u16string* text);
    // None (nothing changed) without an active route.
    std::optional<int> ExploreSet(int index, std::u16string* text);
    // The index RouteVirtualExploreSetEnd lands on: the route's end (1 when reversed).
    int EndIndex() const;

private:
    bool Dispatch(Mode mode, const RouteConfiguration& configuration,
                  const std::optional<Place>& destination);
    bool CreateInternal(WaypointMode waypointMode, const RouteConfiguration& configuration,
                        const std::optional<Place>& start, int initialHeading,
                        const std::optional<Place>& destination);
    bool CreateFromSimulation(const RouteConfiguration& configuration);
    // The engine's answer as waypoint records; false (with its log line) when it is no route.
    bool ReadRoutePoints(const EngineRoute& route, const std::u16string& endName,
                         const std::u16string& endDescription, std::vector<WaypointRecord>* out,
                         bool* optimized);
    // A new active route of the records, its configuration `configuration` with the type,
    // waypoint mode and initial heading given.
    void Install(std::vector<WaypointRecord> records, RouteConfiguration configuration,
                 RouteType type, WaypointMode waypointMode, int initialHeading);
    void NameUnnamedStreets();
    bool IsUnnamed(const std::u16string& name) const;
    std::u16string ComposedName(int index) const;
    void MakeRouteEndTheDestination();
    void Release();
    // A route read from a file made the active one.
    bool InstallLoaded(std::vector<WaypointRecord> records,
                       const gpslib::routefile::Configuration& configuration,
                       std::u16string_view fileName);
    bool HandLoadedRouteToEngine(const RouteModel& route,
                                 const gpslib::routefile::Configuration& configuration);
    bool SaveGpx(const std::string& path);
    // The exploration step itself, without the route check.
    int Explore(bool forward, WaypointMode waypointMode, std::u16string* text);
    WaypointMode SettingsWaypointMode(Mode mode) const;

    Parts m_parts;
    std::shared_ptr<RouteModel> m_route;
    bool m_bRouteOptimized = false;
    bool m_bRouteCreationInProgress = false;
    int m_nRouteExplorationIndex = -1;
    bool m_bRecording = false;
};

} // namespace gpscore

#endif // GPSCORE_ROUTE_ROUTEBUILDER_H_
