// The map file (".rmf"): one binary file per map region, written by gpsmap-build and mapped into
// memory by the map engine, which uses its records where they lie. This header is the format's
// one owner: the layout, the version, the codes stored in its records. docs/formats.md describes
// the same sections for readers of the file.
#ifndef FORMATS_MAPFILE_H_
#define FORMATS_MAPFILE_H_

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "formats/Geodesy.h"

namespace gpslib::formats {

// The file starts with "GPMF", the format version and a byte-order mark, then the section
// directory. A reader refuses another magic, a version it does not know and a file written with
// the other byte order. Version 2 was the last SQLite map; version 3 is laid out to be mapped
// into memory and used where it lies; version 4 adds what each way is to a walker (the way
// names section). A version 3 map is still read, as it was (its ways named as before).
//
// From version 4 on, sections are added without a new version: a reader skips the sections it
// does not know and reads a later section that a file lacks as empty. A new version is for a
// changed record or a changed meaning.
constexpr char kMapMagic[4] = {'G', 'P', 'M', 'F'};
constexpr std::uint32_t kMapFormatVersion = 4;
constexpr std::uint32_t kMapOldestVersion = 3;
constexpr std::uint32_t kMapByteOrderMark = 0x01020304;
// Maps of versions 1 and 2 were SQLite databases; their first bytes say so.
constexpr std::string_view kSqliteHeader{"SQLite format 3\0", 16};
// The meta section's "format" value.
constexpr std::string_view kMapFormatName = "gpslib-map";

// Keys of the meta section. The bounds are decimal degrees with seven decimals; the source is the
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
// The language of the region's names ("de", "fr"…); missing in maps compiled before it was kept.
constexpr const char* kMetaLanguage = "language";
// The key of the prices the route bounds were measured with (speeds::BoundsPricesKey); missing
// when the map has none.
constexpr const char* kMetaRouteBounds = "route_bounds";
// The key of the costs the route hierarchy was built with (speeds::RouteCostsKey); missing when
// the map has none.
constexpr const char* kMetaRouteHierarchy = "route_hierarchy";
// The attribution every file compiled from OpenStreetMap carries.
constexpr const char* kOsmAttribution = "\xC2\xA9 OpenStreetMap contributors, ODbL";

// WayRecord::role: what a piece of the highway network is to a walker asking "which street am I
// on".
enum Role : int {
    kRoleStreet = 0,    // a street or a named path: reported, makes intersections
    kRoleConnector = 1, // link roads, unnamed service roads and unnamed paths: reported only as
                        // connector branches, never makes an intersection on its own
    kRoleSidewalk = 2,  // footway=sidewalk (and path/cycleway tagged so): never reported
    kRoleCrossing = 3,  // footway=crossing, highway=crossing ways: never reported
};

// WayNameRecord::kind: what a way without a name or reference is to a walker, so that it is
// spoken as that (docs/walker-names.md). Rows of kinds 1 and 2 name the street in `of`.
enum WayKind : int {
    kKindNone = 0,     // nothing to go on: "Unnamed road" or "Unnamed path"
    kKindSidewalk = 1, // footway=sidewalk, or a footway or path running beside a named street
    kKindCrossing = 2, // footway=crossing, or a short footway over a road at a crossing node
    kKindDriveway = 3, // service=driveway
    kKindParkingAisle = 4,
    kKindAlley = 5,
    kKindDriveThrough = 6,
    kKindSteps = 7,
    kKindFootway = 8,
    kKindPath = 9,
    kKindCycleway = 10,
    kKindTrack = 11,
    kKindPedestrian = 12, // highway=pedestrian
    kKindSquare = 13,     // place=square, or a pedestrian way drawn as an area
    kKindPlatform = 14,   // public_transport=platform, railway=platform, highway=platform
    kKindBridleway = 15,
    kKindSlipRoad = 16,    // the _link roads
    kKindServiceRoad = 17, // highway=service of no other kind
    kKindSideStreet = 18,  // residential, living_street
    kKindMinorRoad = 19,   // unclassified
    kKindMainRoad = 20,    // tertiary, secondary, primary, trunk
    kKindMotorway = 21,
    kWayKindCount = 22,
};

// AreaRecord::kind
enum AreaKind : int {
    kAreaCountry = 1, // admin_level 2
    kAreaState = 2,   // admin_level 3-4
    kAreaCounty = 3,  // admin_level 5-6
    kAreaCity = 4,    // admin_level 7-8
    kAreaBorough = 5, // admin_level 9-10
    kAreaSuburb = 6,  // place=suburb/neighbourhood/quarter areas
    kAreaPostal = 7,  // boundary=postal_code
};

// AddressRecord::side and the engine's sides: relative to the drawing direction of the edge.
enum Side : int { kSideUnknown = 0, kSideLeft = 1, kSideRight = 2 };

// AddressRecord::source
enum AddressSource : int { kFromPoint = 0, kFromBuilding = 1, kFromInterpolation = 2 };

// ---- The file layout -------------------------------------------------------------------------
//
// Every number is little-endian; every record has a fixed size with no hidden padding, so that
// the reader takes a section as a typed span over the mapping. Sections start 8-byte aligned.
// Rows are numbered densely from 0 in each section; references between sections are those row
// numbers (or, for texts, an offset and a length in the string pool). docs/formats.md lists the
// sections and their order.

struct MapFileHeader {
    char magic[4];
    std::uint32_t version;
    std::uint32_t byteOrder;
    std::uint32_t sectionCount;
    std::uint64_t fileSize;
    std::uint64_t reserved;
};
static_assert(sizeof(MapFileHeader) == 32);

struct MapSection {
    std::uint32_t id;
    std::uint32_t recordSize;
    std::uint64_t offset; // from the start of the file
    std::uint64_t length; // bytes
    std::uint64_t count;  // records
};
static_assert(sizeof(MapSection) == 32);

enum SectionId : std::uint32_t {
    kSectionStrings = 1,            // char: the string pool
    kSectionMeta = 2,               // MetaRecord
    kSectionStreets = 3,            // StreetRecord
    kSectionWays = 4,               // WayRecord
    kSectionNodes = 5,              // NodeRecord
    kSectionNodeEdges = 6,          // int32: the edges at each node, node after node
    kSectionEdges = 7,              // EdgeRecord
    kSectionPoints = 8,             // geo::Point: edge lines and area rings
    kSectionIntersections = 9,      // IntersectionRecord
    kSectionIntersectionNodes = 10, // int32: the nodes of each intersection
    kSectionStreetCells = 11,       // CellRecord: grid over street and connector edges
    kSectionStreetCellItems = 12,   // int32: edge numbers
    kSectionWalkwayCells = 13,      // CellRecord: grid over sidewalk and crossing edges
    kSectionWalkwayCellItems = 14,  // int32
    kSectionCrossingCells = 15,     // CellRecord: grid over intersections
    kSectionCrossingCellItems = 16, // int32
    kSectionAreas = 17,             // AreaRecord
    kSectionRings = 18,             // RingRecord
    kSectionPlaces = 19,            // PlaceRecord
    kSectionRestrictions = 20,      // RestrictionRecord, by via node
    kSectionAddresses = 21,         // AddressRecord, by (edge, number of the house)
    kSectionAddressesByStreet = 22, // int32: rows of kSectionAddresses by (street, row)
    kSectionStreetEdges = 23,       // int32: the edges of each street, street after street
    kSectionWayNames = 24,          // WayNameRecord, one per way (version 4)
    kSectionCrossings = 25,         // CrossingRecord, by latitude (version 4, added later)
    kSectionLandmarks = 26,         // LandmarkRecord: the walking ones, then the driving ones
    kSectionLandmarkCosts = 27,     // uint32: per node, its route bounds (RouteBounds below)
    kSectionHierarchyStates = 28,   // HierarchyStateRecord: the route hierarchy (below)
    kSectionHierarchyArcs = 29,     // HierarchyArcRecord
};
constexpr std::uint32_t kSectionCount = 29;
// The sections every version 4 map has: 1 to 24; a later section missing reads as empty.
constexpr std::uint32_t kSectionCountVersion4 = 24;
// The sections a version 3 map has: 1 to 23.
constexpr std::uint32_t kSectionCountVersion3 = 23;
// More entries than this in a directory is a broken file, not a later one.
constexpr std::uint32_t kMaxSections = 256;

// A text in the string pool.
struct TextRef {
    std::uint32_t offset;
    std::uint32_t length;
};

struct MetaRecord {
    TextRef key, value;
};

struct StreetRecord {
    TextRef name, ref, city, postcode, state;
    std::uint32_t edgeCount, reserved;
    std::uint64_t edgeBegin; // in kSectionStreetEdges
};
static_assert(sizeof(StreetRecord) == 56);

struct WayRecord {
    std::int32_t street;
    TextRef name, ref, cls;
    std::int32_t role, oneway, lanes;
    double maxspeed;
    std::uint8_t roundabout, foot, car, toll;
    std::uint32_t walk; // WalkFact bits; 0 in maps compiled before they were kept
};
static_assert(sizeof(WayRecord) == 56);

// WayRecord::walk: what a road offers a walker beside its carriageway (docs/routing.md). A map
// compiled before these were kept has 0 (no kWalkFacts), and its walking routes cost as before.
enum WalkFact : std::uint32_t {
    kWalkFacts = 1,      // the compiler wrote the bits below
    kWalkSidewalk = 2,   // a sidewalk on the road itself: sidewalk=both|left|right|yes
    kWalkSeparate = 4,   // sidewalks mapped as ways of their own (sidewalk=separate, or found
                         // running beside the road)
    kWalkNoSidewalk = 8, // sidewalk=no|none, and nothing mapped beside it
};

// What a way is to a walker (WayKind), and the street it belongs to as a sidewalk or a crossing
// (-1 none); the same row as the way's.
struct WayNameRecord {
    std::int32_t kind, of;
};
static_assert(sizeof(WayNameRecord) == 8);

// What a crossing's tags say of one of its features: 0 nothing, else no or yes.
enum CrossingFact : std::uint8_t { kFactUnknown = 0, kFactNo = 1, kFactYes = 2 };
// How traffic is stopped for the walker (CrossingRecord::control).
enum CrossingControl : std::uint8_t {
    kControlUnknown = 0,
    kControlUnmarked = 1, // no markings, no signals
    kControlMarked = 2,   // markings (a zebra) without signals
    kControlSignals = 3,  // traffic signals
};
// The kerb at one end of a crossing.
enum CrossingKerb : std::uint8_t {
    kKerbUnknown = 0,
    kKerbRaised = 1,
    kKerbLowered = 2,
    kKerbFlush = 3,
};

// A place where a walker crosses a road: a crossing node on the road, or the node where a
// crossing way meets it (docs/crossings.md).
struct CrossingRecord {
    double lat, lon;
    std::int32_t road;    // the way crossed (a row of kSectionWays)
    std::int32_t way;     // the crossing way through it, -1 none
    float length;         // metres from kerb to kerb (the crossing way's length); 0 unknown
    std::uint8_t control; // CrossingControl
    std::uint8_t sound, vibration, button, tactile, island; // CrossingFact
    std::uint8_t kerbs[2];                                  // CrossingKerb at either end
    std::int32_t node; // the graph node where it meets the road (a row of kSectionNodes) plus
                       // one; 0 unknown (not a node of the graph, or a map compiled before)
};
static_assert(sizeof(CrossingRecord) == 40);

struct NodeRecord {
    double lat, lon;
    std::int32_t intersection; // -1: none
    std::uint32_t edgeCount;
    std::uint64_t edgeBegin; // in kSectionNodeEdges
};
static_assert(sizeof(NodeRecord) == 32);

struct EdgeRecord {
    std::int32_t way, from, to;
    std::uint32_t pointCount;
    std::uint64_t pointBegin; // in kSectionPoints
    double length;            // metres
    // The direction in which the edge leaves its first node ([0]) and its last node ([1]).
    float leaving[2];
};
static_assert(sizeof(EdgeRecord) == 40);

struct IntersectionRecord {
    double lat, lon;
    std::int32_t kind;
    std::uint32_t nodeCount;
    std::uint64_t nodeBegin; // in kSectionIntersectionNodes
};
static_assert(sizeof(IntersectionRecord) == 32);

// A grid cell of kGridCell degrees: its key (see GridKey) and its items, sorted by key.
struct CellRecord {
    std::int64_t key;
    std::uint32_t itemBegin, itemCount;
};
static_assert(sizeof(CellRecord) == 16);

struct AreaRecord {
    std::int32_t kind, adminLevel;
    TextRef name;
    double size;
    double minLat, maxLat, minLon, maxLon;
    std::uint32_t ringBegin, ringCount; // in kSectionRings
};
static_assert(sizeof(AreaRecord) == 64);

struct RingRecord {
    std::uint32_t outer;
    std::uint32_t pointCount;
    std::uint64_t pointBegin; // in kSectionPoints
};
static_assert(sizeof(RingRecord) == 16);

struct PlaceRecord {
    TextRef kind, name;
    double lat, lon;
};
static_assert(sizeof(PlaceRecord) == 32);

// A turn restriction: from one edge into another at their node, forbidden (`only` 0) or the only
// turn allowed from `from` (`only` 1).
struct RestrictionRecord {
    std::int32_t from, via, to, only;
};
static_assert(sizeof(RestrictionRecord) == 16);

struct AddressRecord {
    std::int32_t street, edge, side, value; // value: the number the house number starts with
    double offset;                          // metres along the edge
    double lat, lon;
    TextRef number, postcode, city;
    std::int32_t source, reserved;
};
static_assert(sizeof(AddressRecord) == 72);

// Route bounds: the cheapest cost, in hundredths of a second, between every node and a few
// landmark nodes chosen far apart, measured per profile with the prices of a walk and of the
// fastest drive (speeds::BoundPerMetre; each edge rounded down to whole hundredths), turn costs
// and restrictions left out. So for any route from node v to node w that those prices (or dearer
// ones) cost, cost(v, w) is at least from[L][w] - from[L][v] and to[L][v] - to[L][w] for every
// landmark L: the search's guide towards its end (docs/routing.md). kSectionLandmarkCosts holds,
// node after node, the walking landmarks' costs (walking is the same both ways: one per
// landmark), then, node after node, the driving landmarks' costs from the landmark and then to
// it (two per landmark).
struct LandmarkRecord {
    std::int32_t node;    // a row of kSectionNodes
    std::int32_t profile; // 0 walking, 1 driving
};
static_assert(sizeof(LandmarkRecord) == 8);
// A node the landmark cannot reach, or not reach from.
constexpr std::uint32_t kNoBound = 0xFFFFFFFFu;
constexpr double kBoundUnit = 0.01; // seconds

// The route hierarchy: a contraction hierarchy over the search's states (the edges taken in one
// direction: state 2 * edge + 0 along the drawing, + 1 against it), built per profile for the
// default preferences with every cost the search pays, turns and crossings included
// (docs/routing.md, "Long routes"). Each state has its upward arcs (to states contracted after
// it) and its downward arcs (from states contracted after it). kSectionHierarchyStates holds, per
// profile (walking, then driving), one row per state and one more: a state's upward arcs are
// arcs[row.up, row.down) and its downward arcs arcs[row.down, next row.up).
struct HierarchyStateRecord {
    std::uint32_t up, down; // rows of kSectionHierarchyArcs
};
static_assert(sizeof(HierarchyStateRecord) == 8);
// An arc from a state to `other` (upward) or from `other` to the state (downward), of `cost`
// seconds; a shortcut over two arcs through `middle` (a state contracted before both ends:
// other-to-middle among the middle's downward arcs, middle-to-other among its upward arcs), or
// -1 for a step between neighbouring states.
struct HierarchyArcRecord {
    std::int32_t other, middle;
    double cost;
};
static_assert(sizeof(HierarchyArcRecord) == 16);

// Grid cells are kGridCell degrees square, numbered from 0/0; the key packs the row (high 32
// bits) and the column (low 32 bits), both two's complement.
constexpr double kGridCell = 0.002;
inline std::int64_t GridKey(std::int64_t y, std::int64_t x) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(y) << 32) ^
                                     (static_cast<std::uint64_t>(x) & 0xFFFFFFFFu));
}
// An edge spanning more cells than this is left out of the grid (no street is that long).
constexpr std::int64_t kMaxCellsPerEdge = 100000;

// Coordinates are stored as read from OSM: whole units of 1e-7 degree, held as doubles.
inline double OnGrid(double degrees) {
    return static_cast<double>(static_cast<std::int32_t>(std::lround(degrees * 1e7))) / 1e7;
}

} // namespace gpslib::formats

#endif // FORMATS_MAPFILE_H_
