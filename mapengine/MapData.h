// One loaded map file: the street graph, its grids, areas, places and house numbers, read in place
// from the mapped file.
#ifndef MAPENGINE_MAPDATA_H_
#define MAPENGINE_MAPDATA_H_

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Abbreviations.h"
#include "formats/MapFile.h"
#include "os/mapped_file.h"

namespace gpsmap {

namespace geo = gpslib::geo;
namespace format = gpslib::formats;
using geo::Point;

// The views below are small values read from the mapped file on demand; their texts and spans
// point into the mapping and live as long as the MapData.

struct Way {
    int street = 0;
    std::string_view name, ref, cls;
    int role = 0, oneway = 0, lanes = 0;
    double maxspeed = 0.0;
    bool roundabout = false, foot = true, car = true, toll = false;
    // What the way is to a walker (format::WayKind; 0 on a version 3 map), and for a sidewalk or
    // a crossing the name and reference of its street.
    int kind = 0;
    std::string_view ofName, ofRef;
    std::uint32_t walk = 0; // format::WalkFact bits; 0 on a map compiled before they were kept
};

struct StreetRow {
    std::string_view name, ref, city, postcode, state;
};

// A list of row numbers from the file; iterating skips the ones outside [0, limit), and an
// element read by index outside that range reads as -1.
class IdList {
public:
    IdList() = default;
    IdList(std::span<const std::int32_t> ids, std::int32_t limit) : m_ids(ids), m_limit(limit) {}
    std::size_t size() const { return m_ids.size(); }
    bool empty() const { return m_ids.empty(); }
    int operator[](std::size_t i) const { return Ok(m_ids[i]) ? m_ids[i] : -1; }

    class iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = int;
        using difference_type = std::ptrdiff_t;
        using pointer = const std::int32_t*;
        using reference = int;
        iterator(const std::int32_t* at, const std::int32_t* end, std::int32_t limit)
            : m_at(at), m_end(end), m_limit(limit) {
            Skip();
        }
        int operator*() const { return *m_at; }
        iterator& operator++() {
            ++m_at;
            Skip();
            return *this;
        }
        iterator operator++(int) {
            iterator before = *this;
            ++*this;
            return before;
        }
        bool operator!=(const iterator& o) const { return m_at != o.m_at; }
        bool operator==(const iterator& o) const { return m_at == o.m_at; }

    private:
        void Skip() {
            while (m_at != m_end && (*m_at < 0 || *m_at >= m_limit))
                ++m_at;
        }
        const std::int32_t* m_at;
        const std::int32_t* m_end;
        std::int32_t m_limit;
    };
    iterator begin() const { return {m_ids.data(), m_ids.data() + m_ids.size(), m_limit}; }
    iterator end() const {
        return {m_ids.data() + m_ids.size(), m_ids.data() + m_ids.size(), m_limit};
    }

private:
    bool Ok(std::int32_t id) const { return id >= 0 && id < m_limit; }
    std::span<const std::int32_t> m_ids;
    std::int32_t m_limit = 0;
};

struct Edge {
    int way = 0, from = 0, to = 0;
    double length = 0.0;
    std::span<const Point> points; // always two or more
    // The direction in which the edge leaves its first node ([0], drawing order) and its last
    // node ([1], against the drawing), over its first metres.
    float leaving[2] = {0.0f, 0.0f};
};

using Restriction = format::RestrictionRecord;

struct Node {
    Point at;
    int intersection = -1;
    IdList edges; // every edge that starts or ends here
};

struct IntersectionRow {
    Point at;
    int kind = 0;
    IdList nodes;
};

struct Area {
    int kind = 0, adminLevel = 0;
    std::string_view name;
    double size = 0.0;
    double minLat = 0, maxLat = 0, minLon = 0, maxLon = 0;
};

// A box in degrees: latitudes south to north, longitudes west to east.
struct Box {
    double south = 0, west = 0, north = 0, east = 0;
};

struct Place {
    std::string_view kind, name;
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

// One map file, mapped into memory and used where it lies: Open checks the header and the
// section directory only, and every row number read from the file is checked where it is used (a
// row out of range reads as an empty record or is skipped). Read-only after Open, so several
// threads may query one MapData at once.
// What a broken edge reads as: a line of no length at 0/0, far from every street.
inline constexpr Point kNowhere[2] = {{0.0, 0.0}, {0.0, 0.0}};

// True when [begin, begin + count) lies inside `all`.
template <class T> bool Within(std::uint64_t begin, std::uint64_t count, std::span<const T> all) {
    return begin <= all.size() && count <= all.size() - begin;
}

class MapData {
public:
    MapData();
    MapData(const MapData&) = delete;
    MapData& operator=(const MapData&) = delete;
    ~MapData();

    // Maps and checks the file; false with *error saying why (the file is then unusable).
    bool Open(const std::string& path, std::string* error);
    // Different for every map opened in the process, so that what is worked out for one map is
    // never taken for another that happens to live at the same address later.
    std::uint64_t Serial() const { return m_serial; }
    // True once the file was cut short under the mapping (copied over in place): every record
    // reads as zeros from then on, and the map should be opened again.
    bool Lost() const { return m_file != nullptr && m_file->Lost(); }
    // The file's stamp when it was opened.
    gpslib::os::FileStamp Stamp() const {
        return m_file ? m_file->Stamp() : gpslib::os::FileStamp{};
    }

    const std::string& Name() const { return m_name; }
    const std::string& Level() const { return m_level; }
    // The language the map's names are written in, which their abbreviations are expanded by
    // (English for a map that does not say).
    NameLanguage Language() const { return m_language; }
    // A text of the meta section ("" when absent).
    std::string_view Meta(std::string_view key) const;
    // True when p lies inside the map's bounds widened by `margin` metres.
    bool Covers(Point p, double margin) const;
    // The map's bounds as its file states them (the box of its streets).
    Box Bounds() const { return {m_minLat, m_minLon, m_maxLat, m_maxLon}; }

    std::size_t WayCount() const { return m_ways.size(); }
    std::size_t StreetCount() const { return m_streets.size(); }
    std::size_t NodeCount() const { return m_nodes.size(); }
    std::size_t EdgeCount() const { return m_edges.size(); }
    std::size_t IntersectionCount() const { return m_intersections.size(); }
    std::size_t AreaCount() const { return m_areas.size(); }
    std::size_t PlaceCount() const { return m_places.size(); }
    std::size_t RestrictionCount() const { return m_restrictions.size(); }
    // The crossings, by latitude (none on a map compiled before they were kept).
    std::span<const format::CrossingRecord> Crossings() const { return m_crossings; }
    // The route bounds of a profile (formats/MapFile.h): how many landmarks it has (0 on a map
    // compiled before they were kept, or measured with other prices than this engine's), and a
    // node's costs from the walking landmarks, or from and then to the driving ones.
    int Landmarks(bool walking) const { return walking ? m_walkLandmarks : m_driveLandmarks; }
    const std::uint32_t* RouteBounds(bool walking, int node) const {
        const std::size_t row = static_cast<std::size_t>(node);
        return walking ? m_landmarkCosts.data() + row * static_cast<std::size_t>(m_walkLandmarks)
                       : m_driveCosts + row * 2 * static_cast<std::size_t>(m_driveLandmarks);
    }

    // The route hierarchy of a profile (formats/MapFile.h): whether the map has one built with this
    // engine's costs, and a state's upward and downward arcs (empty for a state out of range or
    // rows that do not fit the arcs).
    bool HasHierarchy(bool walking) const { return m_hierarchyProfiles > (walking ? 0 : 1); }
    std::span<const format::HierarchyArcRecord> HierarchyArcs(bool walking, int state,
                                                              bool up) const;

    // Rows by number. An edge whose record is broken reads as a two-point line at 0/0 on the
    // first node and way; the others read as empty records.
    gpsmap::Way Way(int i) const;
    StreetRow Street(int i) const;
    // The edges of a street, in edge order (empty for a row out of range).
    IdList StreetEdges(int street) const;
    gpsmap::Node Node(int i) const;
    // A node's position alone (0/0 for a row out of range).
    Point NodeAt(int i) const {
        if (i < 0 || static_cast<std::size_t>(i) >= m_nodes.size()) return {};
        const format::NodeRecord& r = m_nodes[static_cast<std::size_t>(i)];
        return {r.lat, r.lon};
    }
    gpsmap::Edge Edge(int i) const;
    // The way of an edge alone (-1 for a row out of range or a broken way number).
    int EdgeWay(int i) const {
        if (i < 0 || static_cast<std::size_t>(i) >= m_edges.size()) return -1;
        const std::int32_t way = m_edges[static_cast<std::size_t>(i)].way;
        return way >= 0 && static_cast<std::size_t>(way) < m_ways.size() ? way : -1;
    }
    IntersectionRow Intersection(int i) const;
    gpsmap::Area Area(int i) const;
    gpsmap::Place Place(int i) const;

    // The turn restrictions at a node; the caller skips those whose edges do not both touch it
    // (Meets).
    std::span<const Restriction> RestrictionsAt(int node) const;
    bool Meets(const Restriction& r) const;

    // Edges (street and connector roles only) whose boxes come within `radius` metres of p.
    void EdgesNear(Point p, double radius, std::vector<int>* out) const;
    // Edges of every role (sidewalks and crossings too) whose boxes come within `radius` metres.
    void AllEdgesNear(Point p, double radius, std::vector<int>* out) const;
    // Edges of every role whose grid cells meet the box: sorted, each once (the caller checks
    // their points against the box).
    void EdgesInBox(const Box& box, std::vector<int>* out) const;
    // Intersections within `radius` metres of p.
    void IntersectionsNear(Point p, double radius, std::vector<int>* out) const;

    // House numbers tied to any of `edges`, edge after edge, each edge's in their map order.
    std::vector<AddressRow> AddressesOnEdges(const std::vector<int>& edges) const;
    // House numbers of a street in their map order.
    std::vector<AddressRow> AddressesOfStreet(int street) const;

    // The smallest area of each kind that holds p (index by format::AreaKind), nullopt when none.
    std::optional<gpsmap::Area> AreaAt(Point p, int kind) const;
    // The nearest city, town, village or hamlet within `radius` metres.
    std::optional<gpsmap::Place> NearestPlace(Point p, double radius) const;

private:
    std::uint64_t m_serial = 0;
    bool Load(std::string* error);
    void UseRouteBounds(std::span<const format::LandmarkRecord> landmarks);
    void UseRouteHierarchy();
    std::string_view Text(format::TextRef t) const;
    bool InRings(Point p, const format::AreaRecord& a) const;
    std::span<const Point> Points(std::uint64_t begin, std::uint64_t count) const {
        if (!Within(begin, count, m_points)) return {};
        return m_points.subspan(static_cast<std::size_t>(begin), static_cast<std::size_t>(count));
    }
    // Appends the items of the cells keyed first .. first + count - 1 (one row's run).
    void Cells(std::span<const format::CellRecord> cells, std::span<const std::int32_t> items,
               std::int64_t first, std::int64_t count, std::vector<int>* out) const;
    // The edges of the street cells (and with `walkways` of the walkway cells) near p: sorted,
    // each once, each a row of the file.
    void EdgeCellsNear(Point p, double radius, bool walkways, std::vector<int>* out) const;
    // Sorts the edge numbers, drops repeats and rows out of range.
    void KeepEdgeRows(std::vector<int>* edges) const;
    bool AddressRowAt(std::size_t row, AddressRow* out) const;

    std::unique_ptr<gpslib::os::MappedFile> m_file;
    std::string m_name, m_level;
    NameLanguage m_language = NameLanguage::kEnglish;
    double m_minLat = 0, m_maxLat = 0, m_minLon = 0, m_maxLon = 0;
    std::string_view m_strings;
    std::span<const format::MetaRecord> m_meta;
    std::span<const format::StreetRecord> m_streets;
    std::span<const format::WayRecord> m_ways;
    std::span<const format::WayNameRecord> m_wayNames;   // empty on a version 3 map
    std::span<const format::CrossingRecord> m_crossings; // by latitude; empty on older maps
    std::span<const std::uint32_t> m_landmarkCosts;      // empty when not usable
    const std::uint32_t* m_driveCosts = nullptr;         // the driving part of m_landmarkCosts
    int m_walkLandmarks = 0, m_driveLandmarks = 0;
    std::span<const format::HierarchyStateRecord> m_hierarchyStates;
    std::span<const format::HierarchyArcRecord> m_hierarchyArcs;
    int m_hierarchyProfiles = 0; // 2 (walking, driving) when usable, else 0
    std::span<const format::NodeRecord> m_nodes;
    std::span<const std::int32_t> m_nodeEdges;
    std::span<const format::EdgeRecord> m_edges;
    std::span<const Point> m_points;
    std::span<const format::IntersectionRecord> m_intersections;
    std::span<const std::int32_t> m_intersectionNodes;
    std::span<const format::CellRecord> m_streetCells, m_walkwayCells, m_crossingCells;
    std::span<const std::int32_t> m_streetItems, m_walkwayItems, m_crossingItems;
    std::span<const format::AreaRecord> m_areas;
    std::span<const format::RingRecord> m_rings;
    std::span<const format::PlaceRecord> m_places;
    std::span<const Restriction> m_restrictions;
    std::span<const format::AddressRecord> m_addresses;
    std::span<const std::int32_t> m_addressesByStreet;
    std::span<const std::int32_t> m_streetEdges;
};

// The two views the searches read most, here so that the compiler drops what a caller does not
// use.
inline gpsmap::Node MapData::Node(int i) const {
    gpsmap::Node n;
    if (i < 0 || static_cast<std::size_t>(i) >= m_nodes.size()) return n;
    const format::NodeRecord& r = m_nodes[static_cast<std::size_t>(i)];
    n.at = {r.lat, r.lon};
    if (r.intersection >= 0 && static_cast<std::size_t>(r.intersection) < m_intersections.size())
        n.intersection = r.intersection;
    if (Within(r.edgeBegin, r.edgeCount, m_nodeEdges))
        n.edges = IdList(m_nodeEdges.subspan(static_cast<std::size_t>(r.edgeBegin), r.edgeCount),
                         static_cast<std::int32_t>(m_edges.size()));
    return n;
}

inline gpsmap::Edge MapData::Edge(int i) const {
    gpsmap::Edge e;
    e.points = kNowhere;
    if (i < 0 || static_cast<std::size_t>(i) >= m_edges.size()) return e;
    const format::EdgeRecord& r = m_edges[static_cast<std::size_t>(i)];
    auto node = [&](std::int32_t n) {
        return n >= 0 && static_cast<std::size_t>(n) < m_nodes.size();
    };
    std::span<const Point> points = Points(r.pointBegin, r.pointCount);
    if (r.way < 0 || static_cast<std::size_t>(r.way) >= m_ways.size() || !node(r.from) ||
        !node(r.to) || points.size() < 2 || !std::isfinite(r.length) || r.length < 0)
        return e;
    e.way = r.way, e.from = r.from, e.to = r.to, e.length = r.length, e.points = points;
    e.leaving[0] = r.leaving[0], e.leaving[1] = r.leaving[1];
    return e;
}

} // namespace gpsmap

#endif // MAPENGINE_MAPDATA_H_
