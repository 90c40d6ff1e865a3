// The stages between reading and writing, in the order Compile runs them. Each fills its part of
// the Map from what earlier stages left there.
#ifndef MAPBUILD_STAGES_H_
#define MAPBUILD_STAGES_H_

#include <string>

#include "Records.h"

namespace gpsmap::build {

// Cuts the ways at the nodes that two ways share (or one way visits twice) and at their ends.
void BuildGraph(Map& map);
// Frees the ways' node ids and points, which the edges hold from here on: at a country's size
// they are tens of MiB that no later stage reads (REQUIRES: BuildGraph).
void DropWayGeometry(Map& map);
// Turns the restriction relations into edge pairs at their nodes (REQUIRES: BuildGraph).
void BuildRestrictions(Map& map, const std::vector<RestrictionRec>& restrictions);
// Groups the ways into streets (REQUIRES: BuildGraph).
void BuildStreets(Map& map);
// Tells which footways are a street's sidewalk and which street each crossing crosses, for the
// ways' spoken names, and marks the roads a sidewalk runs beside (format::kWalkSeparate); changes
// no role (REQUIRES: BuildStreets, map.crossingNodes).
void NameWalkways(Map& map);
// Closes to walkers the roads that their country's defaults close, unless their tags open them
// or a sidewalk is mapped on or beside them: each way's country is the boundary holding its
// first edge's middle, else `extractCountry` (REQUIRES: NameWalkways, the areas indexed).
void ApplyWalkerDefaults(Map& map, const std::string& extractCountry);
// Finds the intersections and clusters the nodes of one junction (REQUIRES: BuildStreets).
void BuildIntersections(Map& map);
// Ties house numbers and interpolation lines to their streets (REQUIRES: BuildStreets).
void BuildAddresses(Map& map, const Extract& extract);
// Gives each street its city, postal code and state, and addresses those they lack; a street
// without a city is listed for the address search under `mapName` (REQUIRES: BuildAddresses).
void PlaceStreets(Map& map, const std::string& mapName);

// Chooses each profile's landmarks and measures every node's route bounds: its cheapest cost to
// and from each landmark (REQUIRES: ApplyWalkerDefaults; the ways' access final).
void MeasureRouteBounds(Map& map);

// Indexes the areas and places for AreaAt and CityAt, which answer the same with it, only
// faster. REQUIRES: map.areas and map.places final.
void IndexAreasAndPlaces(Map& map);
// The smallest area of a kind that holds p, or null.
const AreaRec* AreaAt(const Map& map, Point p, int kind);
// The city at p: its city boundary, else the nearest city, town, village or hamlet within 8 km.
std::string CityAt(const Map& map, Point p);

} // namespace gpsmap::build

#endif // MAPBUILD_STAGES_H_
