// The map file (".rmf"): one SQLite database per map region, written by gpsmap-build and read by
// the map engine. This header is the format's one owner: the schema, the version, the codes
// stored in its columns and the packed geometry blobs. docs/formats.md describes the same tables
// for readers of the file.
#ifndef FORMATS_MAPFILE_H_
#define FORMATS_MAPFILE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/Geodesy.h"

namespace gpslib::formats {

// PRAGMA application_id ("GPMF") and PRAGMA user_version of every map file. A reader refuses a
// file with another application id and a version it does not know. Version 2 added what routing
// needs: ways.toll and the restrictions table.
constexpr std::int32_t kMapApplicationId = 0x47504D46;
constexpr std::int32_t kMapFormatVersion = 2;
// The meta table's "format" value.
constexpr std::string_view kMapFormatName = "gpslib-map";

// Keys of the meta table. The bounds are decimal degrees with seven decimals; the source is the
// extract's file name and the timestamp its newest object's (ISO 8601).
constexpr const char* kMetaFormat = "format";
constexpr const char* kMetaVersion = "version";
constexpr const char* kMetaName = "name";
constexpr const char* kMetaLevel = "level";
constexpr const char* kMetaMinLat = "min_lat";
constexpr const char* kMetaMinLon = "min_lon";
constexpr const char* kMetaMaxLat = "max_lat";
constexpr const char* kMetaMaxLon = "max_lon";
constexpr const char* kMetaSource = "source";
constexpr const char* kMetaTimestamp = "timestamp";
constexpr const char* kMetaAttribution = "attribution";
// The attribution every file compiled from OpenStreetMap carries.
constexpr const char* kOsmAttribution = "\xC2\xA9 OpenStreetMap contributors, ODbL";

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
constexpr std::string_view kMapSchema = R"SQL(
CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE streets(id INTEGER PRIMARY KEY, name TEXT NOT NULL, ref TEXT NOT NULL,
                     city TEXT NOT NULL, postcode TEXT NOT NULL, state TEXT NOT NULL);
CREATE TABLE ways(id INTEGER PRIMARY KEY, street INTEGER NOT NULL, name TEXT NOT NULL,
                  ref TEXT NOT NULL, class TEXT NOT NULL, role INTEGER NOT NULL,
                  oneway INTEGER NOT NULL, lanes INTEGER NOT NULL, maxspeed REAL NOT NULL,
                  roundabout INTEGER NOT NULL, foot INTEGER NOT NULL, car INTEGER NOT NULL,
                  toll INTEGER NOT NULL);
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
CREATE TABLE restrictions(id INTEGER PRIMARY KEY, from_edge INTEGER NOT NULL,
                          via_node INTEGER NOT NULL, to_edge INTEGER NOT NULL,
                          only INTEGER NOT NULL);
CREATE TABLE places(id INTEGER PRIMARY KEY, kind TEXT NOT NULL, name TEXT NOT NULL,
                    lat REAL NOT NULL, lon REAL NOT NULL);
)SQL";

// ---- Geometry blobs ---------------------------------------------------------------------------

using geo::Point;
using geo::Ring;

inline void PutI32(std::string& out, std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}
inline void PutU32(std::string& out, std::uint32_t v) {
    PutI32(out, static_cast<std::int32_t>(v));
}
inline std::uint32_t GetU32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

inline std::int32_t Fixed(double degrees) {
    return static_cast<std::int32_t>(std::lround(degrees * kCoordinateScale));
}

inline void PutPoint(std::string& out, Point p) {
    PutI32(out, Fixed(p.lat));
    PutI32(out, Fixed(p.lon));
}

// A line: the points back to back. False (and nothing appended) when the size is not a whole
// number of points or a point is off the globe.
inline bool DecodeLine(const void* data, std::size_t size, std::vector<Point>* out) {
    if (size % 8 != 0) return false;
    const auto* p = static_cast<const unsigned char*>(data);
    std::size_t n = size / 8;
    std::vector<Point> points;
    points.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        double lat = static_cast<std::int32_t>(GetU32(p + 8 * i)) / kCoordinateScale;
        double lon = static_cast<std::int32_t>(GetU32(p + 8 * i + 4)) / kCoordinateScale;
        if (lat < -90.0 || lat > 90.0 || lon < -180.0 || lon > 180.0) return false;
        points.push_back({lat, lon});
    }
    out->insert(out->end(), points.begin(), points.end());
    return true;
}

inline std::string EncodeRings(const std::vector<Ring>& rings) {
    std::string out;
    PutU32(out, static_cast<std::uint32_t>(rings.size()));
    for (const Ring& r : rings) {
        out.push_back(r.outer ? 1 : 0);
        PutU32(out, static_cast<std::uint32_t>(r.points.size()));
        for (const Point& p : r.points)
            PutPoint(out, p);
    }
    return out;
}

// False for a blob that does not hold exactly what its counts say.
inline bool DecodeRings(const void* data, std::size_t size, std::vector<Ring>* out) {
    const auto* p = static_cast<const unsigned char*>(data);
    if (size < 4) return false;
    std::uint32_t count = GetU32(p);
    std::size_t at = 4;
    std::vector<Ring> rings;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (size - at < 5) return false;
        Ring ring;
        ring.outer = p[at] != 0;
        std::uint32_t n = GetU32(p + at + 1);
        at += 5;
        if (n > (size - at) / 8) return false;
        if (!DecodeLine(p + at, std::size_t{n} * 8, &ring.points)) return false;
        at += std::size_t{n} * 8;
        rings.push_back(std::move(ring));
    }
    if (at != size) return false;
    *out = std::move(rings);
    return true;
}

} // namespace gpslib::formats

#endif // FORMATS_MAPFILE_H_
