// Large synthetic OSM extracts made from a small real one: the extract repeated as tiles of a
// grid, each tile with its own ids and its coordinates shifted beside the others, so that the
// compiler sees a region as big as a country with the texture of real data.
#pragma once

#include <cstdint>
#include <string>

namespace gpslib::testing {

struct TiledExtract {
    std::uint64_t nodes = 0, ways = 0, relations = 0; // in all tiles together
    int columns = 1;                                  // of the grid
    double eastDegrees = 0, northDegrees = 0;         // from one column, one row to the next
    int joins = 0;                                    // roads added between neighbouring tiles
};

// Writes `tiles` copies of the extract at `source` into `destination` (.osm.pbf; replaced).
// Tile t adds t * stride to every id and every reference (stride: the first power of ten above
// the largest id of any kind) and sits in column t % w, row t / w of a grid w = ceil(sqrt(tiles))
// tiles wide, stepping east (west near the date line) by the extract's width and towards the
// equator by its height, each plus a gap of at least 0.1 degree, so that nothing of one tile is
// near another. The objects stay sorted by kind, then id. False with
// *error when the source cannot be read, the destination written, or the grid would leave the
// valid latitudes and longitudes.
//
// `joined`: the tiles make one network, a country rather than islands: each tile is tied to its
// east and its next row's neighbour by a primary road between the outermost junctions of the
// source's main roads (the east one to the west one, the one towards the next row to the one
// away from it).
bool WriteTiledExtract(const std::string& source, int tiles, const std::string& destination,
                       TiledExtract* counts, std::string* error, bool joined = false);

} // namespace gpslib::testing
