// The crossings of the extract: where a walker crosses a road, with what OpenStreetMap says of
// each (signals, audible and vibrating signals, buttons, tactile paving, kerbs, an island, its
// length), kept in the map file for the engine's crossing questions (docs/crossings.md).
#ifndef MAPBUILD_CROSSINGS_H_
#define MAPBUILD_CROSSINGS_H_

#include <osmium/handler.hpp>
#include <osmium/osm.hpp>
#include <unordered_map>

#include "Records.h"

namespace gpsmap::build {

// Collects the crossing tags of nodes and crossing ways, and the kerb tags of nodes.
class CrossingHandler : public osmium::handler::Handler {
public:
    void node(const osmium::Node& node);
    void way(const osmium::Way& way);
    CrossingTags found;
};

// The crossings: each crossing node on a road, and each node where a crossing way meets a road,
// with the node's tags, the crossing way's filling what the node does not say. A crossing node on
// no road is left out. REQUIRES: the ways' node ids and points (before DropWayGeometry).
void BuildCrossings(Map& map, const CrossingTags& tags);
// Gives each crossing the graph node where it meets its road, for the walking costs (a crossing
// node inside a road's edge stays 0). REQUIRES: BuildCrossings, BuildGraph.
void TieCrossingsToNodes(Map& map);

} // namespace gpsmap::build

#endif // MAPBUILD_CROSSINGS_H_
