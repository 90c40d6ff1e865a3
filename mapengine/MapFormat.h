// The map file (".rmf"): one SQLite database per map region, written by gpsmap-build and read by
// the map engine. This header is the format's one owner: the schema, the version and the codes
// stored in its columns. docs/formats.md describes the same tables for readers of the file.
#ifndef MAPENGINE_MAPFORMAT_H_
#define MAPENGINE_MAPFORMAT_H_

#include <cstdint>
#include <string_view>

namespace gpsmap::format {

// PRAGMA application_id ("GPMF") and PRAGMA user_version of every map file. A reader refuses a
// file with another application id and a version it does not know.
constexpr std::int32_t kApplicationId = 0x47504D46;
constexpr std::int32_t kVersion = 1;

// Coordinates inside geometry blobs are little-endian int32 pairs (latitude, longitude) in units
// of 1e-7 degree, as OSM stores them.
constexpr double kCoordinateScale = 1e7;

// ways.role: what a piece of the highway network is to a walker asking "which street am I on".
enum Role : int {
    kRoleStreet = 0,    // a street or a named path: reported, makes intersections
    kRoleConnector = 1, // link roads, unnamed service roads and unnamed paths: reported only as
                        // connector branches, never makes an intersection on its own
    kRoleSidewalk = 2,  // footway=sidewalk (and path/cycleway tagged so): never reported
    kRoleCrossing = 3,  // footway=crossing, highway=crossing ways: never reported
};

// areas.kind
enum AreaKind : int {
    kAreaCountry = 1, // admin_level 2
    kAreaState = 2,   // admin_level 3-4
    kAreaCounty = 3,  // admin_level 5-6
    kAreaCity = 4,    // admin_level 7-8
    kAreaBorough = 5, // admin_level 9-10
    kAreaSuburb = 6,  // place=suburb/neighbourhood/quarter areas
    kAreaPostal = 7,  // boundary=postal_code
};

// addresses.side and the engine's sides: relative to the drawing direction of the edge.
enum Side : int { kSideUnknown = 0, kSideLeft = 1, kSideRight = 2 };

// addresses.source
enum AddressSource : int { kFromPoint = 0, kFromBuilding = 1, kFromInterpolation = 2 };

// The schema, executed by the compiler in one transaction before the rows are written.
constexpr std::string_view kSchema = R"SQL(
CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE streets(id INTEGER PRIMARY KEY, name TEXT NOT NULL, ref TEXT NOT NULL,
                     city TEXT NOT NULL, postcode TEXT NOT NULL, state TEXT NOT NULL);
CREATE TABLE ways(id INTEGER PRIMARY KEY, street INTEGER NOT NULL, name TEXT NOT NULL,
                  ref TEXT NOT NULL, class TEXT NOT NULL, role INTEGER NOT NULL,
                  oneway INTEGER NOT NULL, lanes INTEGER NOT NULL, maxspeed REAL NOT NULL,
                  roundabout INTEGER NOT NULL, foot INTEGER NOT NULL, car INTEGER NOT NULL);
CREATE TABLE nodes(id INTEGER PRIMARY KEY, lat REAL NOT NULL, lon REAL NOT NULL,
                   intersection INTEGER NOT NULL);
CREATE TABLE edges(id INTEGER PRIMARY KEY, way INTEGER NOT NULL, from_node INTEGER NOT NULL,
                   to_node INTEGER NOT NULL, length REAL NOT NULL, geometry BLOB NOT NULL);
CREATE VIRTUAL TABLE edge_index USING rtree(id, min_lat, max_lat, min_lon, max_lon);
CREATE TABLE intersections(id INTEGER PRIMARY KEY, lat REAL NOT NULL, lon REAL NOT NULL,
                           kind INTEGER NOT NULL);
CREATE VIRTUAL TABLE intersection_index USING rtree(id, min_lat, max_lat, min_lon, max_lon);
CREATE TABLE addresses(id INTEGER PRIMARY KEY, street INTEGER NOT NULL, edge INTEGER NOT NULL,
                       offset REAL NOT NULL, side INTEGER NOT NULL, number TEXT NOT NULL,
                       value INTEGER NOT NULL, lat REAL NOT NULL, lon REAL NOT NULL,
                       postcode TEXT NOT NULL, city TEXT NOT NULL, source INTEGER NOT NULL);
CREATE INDEX addresses_by_edge ON addresses(edge);
CREATE INDEX addresses_by_street ON addresses(street, value);
CREATE TABLE areas(id INTEGER PRIMARY KEY, kind INTEGER NOT NULL, admin_level INTEGER NOT NULL,
                   name TEXT NOT NULL, area REAL NOT NULL, geometry BLOB NOT NULL);
CREATE VIRTUAL TABLE area_index USING rtree(id, min_lat, max_lat, min_lon, max_lon);
CREATE TABLE places(id INTEGER PRIMARY KEY, kind TEXT NOT NULL, name TEXT NOT NULL,
                    lat REAL NOT NULL, lon REAL NOT NULL);
)SQL";

} // namespace gpsmap::format

#endif // MAPENGINE_MAPFORMAT_H_
