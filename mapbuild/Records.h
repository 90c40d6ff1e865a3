// What the compiler keeps of an extract (the handlers' output) and the map it builds from that
// (the stages' output, the writers' input). Plain data, no libosmium types.
#ifndef MAPBUILD_RECORDS_H_
#define MAPBUILD_RECORDS_H_

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "formats/MapFile.h"

namespace gpsmap::build {

namespace geo = gpslib::geo;
namespace format = gpslib::formats;
using geo::Point;

// An OSM id: 64-bit, never mixed with the dense row numbers of the files.
using OsmId = std::int64_t;

// Closed ways share the POI and address sort keys with nodes; this offset keeps them apart and
// after every node.
constexpr OsmId kWayKeyOffset = OsmId{1} << 40;

// ---- What the handlers collect ----------------------------------------------------------------

struct WayRec {
    OsmId id = 0;
    std::string name, ref, cls;
    int role = format::kRoleStreet;
    int oneway = 0, lanes = 0;
    double maxspeed = 0.0;
    bool roundabout = false, foot = true, car = true, toll = false;
    bool footTagged = false; // foot=yes|designated|permissive|destination: no default closes it
    std::uint32_t walk = 0;  // format::WalkFact bits (kWalkFacts added when written)
    // What it is to a walker (format::WayKind, from its tags; sidewalks and crossings found by
    // NameWalkways), and the street it belongs to as a sidewalk or crossing (-1 none).
    int kind = format::kKindNone, of = -1;
    std::vector<OsmId> nodes;
    std::vector<Point> points;
};

// A turn restriction relation with a node as its via member: from one way into another at the
// node, forbidden (`only` false) or the only way on (`only` true).
struct RestrictionRec {
    OsmId from = 0, via = 0, to = 0;
    bool only = false;
    int turn = 0; // the turn its kind names: 0 none, 1 left, 2 right, 3 straight on, 4 U-turn
};

struct AddressRec {
    OsmId sortKey = 0; // the object's id, nodes before ways
    std::string number, street, postcode, city, state;
    Point at;
    int source = format::kFromPoint;
};

struct InterpolationRec {
    OsmId id = 0;
    std::string step; // odd, even, all or a number
    std::string street;
    std::vector<OsmId> nodes;
    std::vector<Point> points;
};

// A numbered node, for the interpolation lines that end on it.
struct AddressNode {
    std::string number, street, postcode, city, state;
};

struct PoiRec {
    OsmId sortKey = 0;
    std::string name;
    int category = 0, subcategory = 0;
    Point at;
    std::string street, houseNumber, city, postcode, phone, website, openingHours, wheelchair;
};

struct PlaceRec {
    OsmId id = 0;
    std::string kind, name;
    Point at;
};

struct AreaRec {
    OsmId sortKey = 0;
    int kind = 0, adminLevel = 0;
    std::string name;
    std::string country; // a country's ISO 3166-1 code, upper case; empty for other areas
    std::vector<geo::Ring> rings;
    double minLat = 90, maxLat = -90, minLon = 180, maxLon = -180, size = 0;
};

// What a crossing node or a crossing way says of the crossing (format::CrossingRecord's fields,
// 0 for what it does not say).
struct CrossingFacts {
    std::uint8_t control = 0, sound = 0, vibration = 0, button = 0, tactile = 0, island = 0;
};
struct CrossingTags {
    std::unordered_map<OsmId, CrossingFacts> nodes; // crossing nodes
    std::unordered_map<OsmId, CrossingFacts> ways;  // crossing ways
    std::unordered_map<OsmId, std::uint8_t> kerbs;  // kerb nodes: format::CrossingKerb
};

// What the extract's objects say of their language beside the country boundaries: the countries
// of their addresses, the languages whose name:xx repeats a street's name, and the words of the
// streets' names.
struct LanguageHints {
    std::map<std::string, long> addressCountries; // "LI" -> objects with addr:country=LI
    std::map<std::string, long> nameLanguages;    // "de" -> streets whose name:de is their name
    // "ca" -> streets whose name begins or ends with a word of the kind of street only that
    // language has ("Carrer", "Avinguda").
    std::map<std::string, long> streetWordLanguages;
};

// Everything the passes over the extract collected, each list sorted by OSM id after reading.
struct Extract {
    std::vector<WayRec> ways;
    std::vector<AddressRec> addresses;
    std::vector<InterpolationRec> interpolations;
    std::unordered_map<OsmId, AddressNode> addressNodes;
    std::vector<PoiRec> pois;
    std::vector<PlaceRec> places;
    std::vector<AreaRec> areas;
    std::vector<RestrictionRec> restrictions;
    LanguageHints languageHints;
    CrossingTags crossingTags;
    std::vector<OsmId> crossingNodes; // highway=crossing and crossing=* nodes, ascending
    std::string timestamp;            // the newest object's, ISO 8601; empty when none carries one
};

// ---- The built map ----------------------------------------------------------------------------

struct Edge {
    int way = 0, from = 0, to = 0;
    double length = 0;
    std::vector<Point> points;
    double minLat = 0, maxLat = 0, minLon = 0, maxLon = 0;
};

struct Intersection {
    Point at;
    int kind = 0;
};

// A turn restriction between two edges at a node (rows of the restrictions table).
struct Restriction {
    int from = 0, via = 0, to = 0;
    bool only = false;
};

struct Address {
    int street = 0, edge = 0, side = 0, source = 0;
    double offset = 0;
    std::string number, postcode, city, state;
    Point at;
};

struct Street {
    std::string name, ref, city, postcode, state;
    // For a street without a city (postal code) of its own: the one the address search lists it
    // under, the one the house numbers around it name most often (a city: else the map's name).
    std::string searchCity, searchPostcode;
};

// Cells of 0.1 degree over the areas' boxes and the cities, towns, villages and hamlets, so that
// the lookups of a position's areas and city (AreaAt, CityAt) read the few near it rather than
// all of a country's. Built by IndexAreasAndPlaces; empty until then, and the lookups then read
// everything.
struct PlaceGrid {
    bool built = false;
    std::unordered_map<std::int64_t, std::vector<int>> areas, places; // indexes, ascending
    std::vector<int> wideAreas; // areas over too many cells to list in each
};

// Every vector's index is the row number written to the files.
struct Map {
    std::vector<WayRec> ways;   // sorted by OSM id
    std::vector<int> wayStreet; // street id per way
    std::vector<Street> streets;
    std::vector<Point> nodes;
    std::vector<OsmId> nodeIds; // the OSM id of each node, ascending
    std::vector<int> nodeIntersection;
    std::vector<Edge> edges;
    std::vector<Intersection> intersections;
    std::vector<Restriction> restrictions;
    std::vector<Address> addresses;
    std::vector<AreaRec> areas;
    std::vector<PlaceRec> places;
    std::vector<PoiRec> pois;
    std::vector<OsmId> crossingNodes;              // as read, ascending
    std::vector<format::CrossingRecord> crossings; // by latitude (BuildCrossings)
    std::vector<OsmId> crossingIds;                // the OSM node of each crossing
    // The route bounds (MeasureRouteBounds): the landmarks, and the costs as the map file holds
    // them.
    std::vector<format::LandmarkRecord> landmarks;
    std::vector<std::uint32_t> landmarkCosts;
    // The map file gets a route hierarchy, built over the written file (AddRouteHierarchy).
    bool routeHierarchy = false;
    double minLat = 90, maxLat = -90, minLon = 180, maxLon = -180;
    PlaceGrid placeGrid; // over `areas` and `places`
};

// ---- Small helpers shared by the stages -------------------------------------------------------

inline bool IsOneOf(std::string_view v, std::initializer_list<std::string_view> set) {
    return std::find(set.begin(), set.end(), v) != set.end();
}

// The number a house number starts with ("12a" -> 12); 0 when it starts with no digit.
int LeadingNumber(const std::string& text);

} // namespace gpsmap::build

#endif // MAPBUILD_RECORDS_H_
