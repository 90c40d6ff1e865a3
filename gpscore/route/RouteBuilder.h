// Route creation: the active route of the service, made by the map engine's walking and driving
// routing, from a simulation trace, or loaded from a route file. The home of RouteSet, RouteGet,
// RouteClose, RouteReverse, RouteCreateAutomatic, RouteRecalculate(Original), RouteIsOptimized,
// RouteSave, RouteLoad, RouteSaveDirections, RouteGetWaypointDescription, the route settings
// methods and the virtual route exploration (RouteVirtualExplore…). Nothing of it is built yet;
// the facade answers those methods "not implemented" until it is.
#ifndef GPSCORE_ROUTE_ROUTEBUILDER_H_
#define GPSCORE_ROUTE_ROUTEBUILDER_H_

namespace gpscore {

struct ServiceContext;
class EventQueue;

class RouteBuilder {
public:
    RouteBuilder(ServiceContext& context, EventQueue& events)
        : m_context(context), m_events(events) {}

private:
    [[maybe_unused]] ServiceContext& m_context;
    // Route creation from a simulation file captures its annotations through the queue.
    [[maybe_unused]] EventQueue& m_events;
};

} // namespace gpscore

#endif // GPSCORE_ROUTE_ROUTEBUILDER_H_
