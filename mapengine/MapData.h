// One loaded map file: its street graph in memory, with a grid over the edges, and its areas;
// house numbers are read from the file when asked for. Read-only after Open, so several threads
// may query one MapData at once except for the address statement, which the engine's lock
// guards.
#ifndef MAPENGINE_MAPDATA_H_
#define MAPENGINE_MAPDATA_H_

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "formats/MapFile.h"

struct sqlite3;
struct sqlite3_stmt;

namespace gpsmap {

namespace geo = gpslib::geo;
namespace format = gpslib::formats;
using geo::Point;

struct Way {
    int street = 0;
    std::string name, ref, cls;
    int role = 0, oneway = 0, lanes = 0;
    double maxspeed = 0.0;
    bool roundabout = false, foot = true, car = true, toll = false;
};

struct StreetRow {
    std::string name, ref, city, postcode, state;
};

struct Edge {
    int way = 0, from = 0, to = 0;
    double length = 0.0;
    std::vector<Point> points;
    // The direction in which the edge leaves its first node ([0], drawing order) and its last
    // node ([1], against the drawing), over its first metres; set when the map is loaded.
    float leaving[2] = {0.0f, 0.0f};
};

// A turn restriction at a node: from one edge into another is forbidden (`only` false) or the
// only turn allowed from `from` (`only` true). For drivers.
struct Restriction {
    int from = 0, to = 0;
    bool only = false;
};

struct Node {
    Point at;
    int intersection = -1;
    std::vector<int> edges; // every edge that starts or ends here
};

struct IntersectionRow {
    Point at;
    int kind = 0;
    std::vector<int> nodes;
};

struct Area {
    int kind = 0, adminLevel = 0;
    std::string name;
    double size = 0.0;
    double minLat = 0, maxLat = 0, minLon = 0, maxLon = 0;
    std::vector<geo::Ring> rings;
};

struct Place {
    std::string kind, name;
    Point at;
};

struct AddressRow {
    int street = 0, edge = 0, side = 0;
    double offset = 0.0;
    std::string number;
    int value = 0;
    Point at;
    std::string postcode, city;
};

class MapData {
public:
    MapData() = default;
    MapData(const MapData&) = delete;
    MapData& operator=(const MapData&) = delete;
    ~MapData();

    // Opens and checks the file; false with *error saying why (the file is then unusable).
    bool Open(const std::string& path, std::string* error);

    const std::string& Name() const { return m_name; }
    const std::string& Level() const { return m_level; }
    // True when p lies inside the map's bounds widened by `margin` metres.
    bool Covers(Point p, double margin) const;

    // Edges (street and connector roles only) whose boxes come within `radius` metres of p.
    void EdgesNear(Point p, double radius, std::vector<int>* out) const;
    // Edges of every role (sidewalks and crossings too) whose boxes come within `radius` metres.
    void AllEdgesNear(Point p, double radius, std::vector<int>* out) const;
    // Intersections within `radius` metres of p.
    void IntersectionsNear(Point p, double radius, std::vector<int>* out) const;

    // House numbers tied to any of `edges`.
    std::vector<AddressRow> AddressesOnEdges(const std::vector<int>& edges) const;
    std::vector<AddressRow> AddressesOfStreet(int street) const;

    // The smallest area of each kind that holds p (index by format::AreaKind), null when none.
    const Area* AreaAt(Point p, int kind) const;
    // The nearest city, town, village or hamlet within `radius` metres.
    const Place* NearestPlace(Point p, double radius) const;

    std::vector<Way> ways;
    std::vector<StreetRow> streets;
    std::vector<Node> nodes;
    std::vector<Edge> edges;
    std::vector<IntersectionRow> intersections;
    std::vector<Area> areas;
    std::vector<Place> places;
    // Turn restrictions by the node they are at.
    std::unordered_map<int, std::vector<Restriction>> restrictions;

private:
    bool Load(std::string* error);
    std::vector<AddressRow> Addresses(const char* sql, const std::vector<int>& keys) const;

    static constexpr double kCell = 0.002; // degrees
    // Grid cell key; the shift is done unsigned, as cell numbers are negative west and south.
    static std::int64_t Key(std::int64_t y, std::int64_t x) {
        return static_cast<std::int64_t>((static_cast<std::uint64_t>(y) << 32) ^
                                         (static_cast<std::uint64_t>(x) & 0xFFFFFFFFu));
    }

    sqlite3* m_db = nullptr;
    std::string m_name, m_level;
    double m_minLat = 0, m_maxLat = 0, m_minLon = 0, m_maxLon = 0;
    std::unordered_map<std::int64_t, std::vector<int>> m_edgeGrid;    // streets and connectors
    std::unordered_map<std::int64_t, std::vector<int>> m_walkwayGrid; // sidewalks and crossings
    std::unordered_map<std::int64_t, std::vector<int>> m_intersectionGrid;
};

} // namespace gpsmap

#endif // MAPENGINE_MAPDATA_H_
