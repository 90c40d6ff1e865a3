// The route hierarchy: a contraction hierarchy over the route search's states (the edges taken in
// one direction), built once per profile for its default preferences, with every cost the search
// pays (ways, turns, crossings, restrictions), and kept in the map file (formats/MapFile.h). A
// search through it goes only upwards from both ends, so a route across a country settles a few
// hundred states instead of a few hundred thousand, and finds a route of exactly the search's
// cost (docs/routing.md, "Long routes").
#ifndef MAPENGINE_ROUTEHIERARCHY_H_
#define MAPENGINE_ROUTEHIERARCHY_H_

#include <vector>

#include "MapData.h"
#include "Router.h"

namespace gpsmap {

// The preferences a map's hierarchy serves: a walk as the profile's default, and the fastest drive
// with the default turn, freeway, roundabout and toll preferences. Other preferences change what
// a step costs; their routes are searched without it.
bool HierarchyServes(const RouteRequest& request);

// The hierarchy of one profile as the map file holds it.
struct BuiltHierarchy {
    std::vector<format::HierarchyStateRecord> states; // one per state and one more
    std::vector<format::HierarchyArcRecord> arcs;
};

// Contracts every state of `map` for the walking or the driving profile. The order is chosen by
// what contracting a state adds (shortcuts) and removes (arcs), so that the hierarchy stays sparse.
BuiltHierarchy BuildRouteHierarchy(const MapData& map, bool walking);

// A state a search through the hierarchy starts from (or ends at), and the cost already paid to
// reach it (or still to pay after it).
struct HierarchyEnd {
    int state = 0;
    double cost = 0.0;
};

enum class HierarchyAnswer {
    kFound,
    kNone,   // no state of the targets can be reached from the sources
    kBroken, // no hierarchy, or one that proves broken (an arc to no state, a shortcut that
             // does not unpack): the caller searches without it
};

// The cheapest way from one of `sources` to one of `targets` over the map's hierarchy: the states
// from the source to the target, unpacked, and the cost; `settled` counts the states settled.
HierarchyAnswer SearchHierarchy(const MapData& map, bool walking,
                                const std::vector<HierarchyEnd>& sources,
                                const std::vector<HierarchyEnd>& targets, RouteScratch* scratch,
                                std::vector<int>* path, double* cost, int* settled);

} // namespace gpsmap

#endif // MAPENGINE_ROUTEHIERARCHY_H_
