// The walking profile's costs beyond the length walked: a road's price by what lies beside its
// carriageway, and crossing a major road by how its crossing is controlled. The numbers are one
// table (WalkCosts.cpp) that docs/routing.md explains.
#ifndef MAPENGINE_WALKCOSTS_H_
#define MAPENGINE_WALKCOSTS_H_

#include <utility>
#include <vector>

#include "MapData.h"

namespace gpsmap {

class WalkCosts {
public:
    // Reads what the map says of its roads' sidewalks and of its crossings. A map compiled before
    // these were kept leaves the costs off: every factor 1, no crossing costs.
    // Then Road for every way of the map, then Finish, before AtNode.
    void Prepare(const MapData& map);
    // What a metre of way `i` costs, as a multiple of a metre of footway (1 or more).
    double Road(int i, const Way& w);
    // Reads the crossings of the major roads.
    void Finish(const MapData& map);
    // Seconds added where a walk goes on from way `from` into way `to` (the same one, or another)
    // at `node` (three or more edges): crossing a major road there, or stepping onto or off the
    // carriageway of one whose sidewalks are mapped as ways of their own. `back` is the
    // direction back along the way arrived on, `leave` the direction leaving; both in degrees.
    double AtNode(const MapData& map, int node, const Node& n, int from, int to, double back,
                  double leave) const;

private:
    double CrossingAt(int node) const; // a mapped crossing's seconds; negative when none
    bool m_active = false;
    std::vector<unsigned char> m_ways;               // per way: the bits of WalkCosts.cpp
    std::vector<std::pair<int, double>> m_crossings; // node, seconds; by node
};

} // namespace gpsmap

#endif // MAPENGINE_WALKCOSTS_H_
