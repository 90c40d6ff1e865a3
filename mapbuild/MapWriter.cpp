// Writes the map file: every index the engine needs (the grids, the edges at each node, the
// leaving bearings, the orders of the house numbers) is computed here, so that the engine maps the
// file and uses it as it lies. The image is streamed to the file section after section; only the
// small sections and the grids are held in memory first.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <numeric>
#include <string_view>
#include <unordered_map>

#include "Writers.h"
#include "formats/RouteSpeeds.h"
#include "os/env.h"

namespace gpsmap::build {
namespace {

using gpslib::os::Status;

std::string Fmt(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.7f", v);
    return buf;
}

// The string pool: each distinct text once, in order of first use.
class Pool {
public:
    format::TextRef Add(std::string_view text) {
        auto [it, added] = m_seen.try_emplace(std::string(text), format::TextRef{});
        if (added) {
            it->second = {static_cast<std::uint32_t>(m_bytes.size()),
                          static_cast<std::uint32_t>(text.size())};
            m_bytes.append(text);
        }
        return it->second;
    }
    const std::string& Bytes() const { return m_bytes; }

private:
    std::unordered_map<std::string, format::TextRef> m_seen;
    std::string m_bytes;
};

// A grid: cells sorted by key, each with its items in ascending order.
struct Grid {
    std::vector<format::CellRecord> cells;
    std::vector<std::int32_t> items;
};

Grid MakeGrid(std::vector<std::pair<std::int64_t, std::int32_t>>& keyed) {
    std::sort(keyed.begin(), keyed.end());
    Grid g;
    g.items.reserve(keyed.size());
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        if (g.cells.empty() || g.cells.back().key != keyed[i].first)
            g.cells.push_back({keyed[i].first, static_cast<std::uint32_t>(i), 0});
        ++g.cells.back().itemCount;
        g.items.push_back(keyed[i].second);
    }
    keyed.clear();
    keyed.shrink_to_fit();
    return g;
}

std::int64_t CellOf(double degrees) {
    return static_cast<std::int64_t>(std::floor(degrees / format::kGridCell));
}

// The direction in which a line leaves its first (or last) point, toward the point 10 m along it
// (or its other end when shorter).
double LeavingBearing(const std::vector<Point>& points, bool fromStart) {
    std::size_t n = points.size();
    const Point& origin = fromStart ? points.front() : points.back();
    double done = 0.0;
    for (std::size_t k = 1; k < n; ++k) {
        const Point& p = fromStart ? points[k] : points[n - 1 - k];
        const Point& q = fromStart ? points[k - 1] : points[n - k];
        done += geo::Distance(q, p);
        if (done >= 10.0 || k + 1 == n) return geo::Bearing(origin, p);
    }
    return 0.0;
}

std::vector<Point> OnGrid(const std::vector<Point>& points) {
    std::vector<Point> out(points.size());
    for (std::size_t i = 0; i < points.size(); ++i)
        out[i] = {format::OnGrid(points[i].lat), format::OnGrid(points[i].lon)};
    return out;
}

// Appends records to the file through a buffer, remembering the first failure.
class Out {
public:
    explicit Out(gpslib::os::WritableFile* file) : m_file(file) {}
    void Bytes(const void* data, std::size_t size) {
        if (size == 0) return;
        m_buffer.append(static_cast<const char*>(data), size);
        m_written += size;
        if (m_buffer.size() >= (1u << 20)) Drain();
    }
    template <class T> void Record(const T& r) { Bytes(&r, sizeof r); }
    template <class T> void Records(const std::vector<T>& v) {
        Bytes(v.data(), v.size() * sizeof(T));
    }
    void Align() {
        static const char zeros[8] = {};
        Bytes(zeros, (8 - m_written % 8) % 8);
    }
    std::uint64_t Written() const { return m_written; }
    Status Finish() {
        Drain();
        if (m_status.ok()) m_status = m_file->Close();
        return m_status;
    }

private:
    void Drain() {
        if (m_status.ok() && !m_buffer.empty()) m_status = m_file->Append(m_buffer);
        m_buffer.clear();
    }
    gpslib::os::WritableFile* m_file;
    std::string m_buffer;
    std::uint64_t m_written = 0;
    Status m_status;
};

} // namespace

bool WriteMapFile(const Map& map, const MapInfo& info, const std::string& path,
                  std::string* error) {
    Pool pool;
    std::vector<format::MetaRecord> meta;
    const std::pair<const char*, std::string> metaTexts[] = {
        {format::kMetaFormat, std::string(format::kMapFormatName)},
        {format::kMetaVersion, std::to_string(format::kMapFormatVersion)},
        {format::kMetaName, info.name},
        {format::kMetaLevel, info.level},
        {format::kMetaMinLat, Fmt(map.minLat)},
        {format::kMetaMinLon, Fmt(map.minLon)},
        {format::kMetaMaxLat, Fmt(map.maxLat)},
        {format::kMetaMaxLon, Fmt(map.maxLon)},
        {format::kMetaSource, info.source},
        {format::kMetaTimestamp, info.timestamp},
        {format::kMetaAttribution, format::kOsmAttribution},
        {format::kMetaLanguage, info.language}};
    for (const auto& [key, value] : metaTexts)
        meta.push_back({pool.Add(key), pool.Add(value)});
    if (!map.landmarks.empty())
        meta.push_back({pool.Add(format::kMetaRouteBounds),
                        pool.Add(gpslib::formats::speeds::BoundsPricesKey())});
    if (map.routeHierarchy)
        meta.push_back({pool.Add(format::kMetaRouteHierarchy),
                        pool.Add(gpslib::formats::speeds::RouteCostsKey())});

    // The edges of each street, in edge order.
    std::vector<std::uint64_t> streetBegin(map.streets.size() + 1, 0);
    auto streetOf = [&](const Edge& e) { return map.wayStreet[static_cast<std::size_t>(e.way)]; };
    for (const Edge& e : map.edges)
        ++streetBegin[static_cast<std::size_t>(streetOf(e)) + 1];
    std::partial_sum(streetBegin.begin(), streetBegin.end(), streetBegin.begin());
    std::vector<std::int32_t> streetEdges(streetBegin.back());
    {
        std::vector<std::uint64_t> at(streetBegin.begin(), streetBegin.end() - 1);
        for (std::size_t i = 0; i < map.edges.size(); ++i)
            streetEdges[at[static_cast<std::size_t>(streetOf(map.edges[i]))]++] =
                static_cast<std::int32_t>(i);
    }
    std::vector<format::StreetRecord> streets;
    streets.reserve(map.streets.size());
    for (std::size_t i = 0; i < map.streets.size(); ++i) {
        const Street& s = map.streets[i];
        format::StreetRecord r{};
        r.name = pool.Add(s.name), r.ref = pool.Add(s.ref), r.city = pool.Add(s.city);
        r.postcode = pool.Add(s.postcode), r.state = pool.Add(s.state);
        r.edgeBegin = streetBegin[i];
        r.edgeCount = static_cast<std::uint32_t>(streetBegin[i + 1] - streetBegin[i]);
        streets.push_back(r);
    }
    std::vector<format::WayRecord> ways;
    std::vector<format::WayNameRecord> wayNames;
    ways.reserve(map.ways.size());
    wayNames.reserve(map.ways.size());
    for (std::size_t i = 0; i < map.ways.size(); ++i) {
        const WayRec& w = map.ways[i];
        format::WayRecord r{};
        r.street = map.wayStreet[i];
        r.name = pool.Add(w.name), r.ref = pool.Add(w.ref), r.cls = pool.Add(w.cls);
        r.role = w.role, r.oneway = w.oneway, r.lanes = w.lanes;
        r.maxspeed = w.maxspeed;
        r.roundabout = w.roundabout, r.foot = w.foot, r.car = w.car, r.toll = w.toll;
        r.walk = w.walk | format::kWalkFacts;
        ways.push_back(r);
        wayNames.push_back({w.kind, w.of});
    }

    // The edges at each node, in edge order (an edge closing on itself listed once).
    const std::size_t nodeCount = map.nodes.size();
    std::vector<std::uint64_t> nodeBegin(nodeCount + 1, 0);
    for (const Edge& e : map.edges) {
        ++nodeBegin[static_cast<std::size_t>(e.from) + 1];
        if (e.to != e.from) ++nodeBegin[static_cast<std::size_t>(e.to) + 1];
    }
    std::partial_sum(nodeBegin.begin(), nodeBegin.end(), nodeBegin.begin());
    std::vector<std::int32_t> nodeEdges(nodeBegin[nodeCount]);
    {
        std::vector<std::uint64_t> at(nodeBegin.begin(), nodeBegin.end() - 1);
        for (std::size_t i = 0; i < map.edges.size(); ++i) {
            const Edge& e = map.edges[i];
            nodeEdges[at[static_cast<std::size_t>(e.from)]++] = static_cast<std::int32_t>(i);
            if (e.to != e.from)
                nodeEdges[at[static_cast<std::size_t>(e.to)]++] = static_cast<std::int32_t>(i);
        }
    }
    // The nodes of each intersection, in node order.
    std::vector<std::uint64_t> crossingBegin(map.intersections.size() + 1, 0);
    for (int x : map.nodeIntersection)
        if (x >= 0) ++crossingBegin[static_cast<std::size_t>(x) + 1];
    std::partial_sum(crossingBegin.begin(), crossingBegin.end(), crossingBegin.begin());
    std::vector<std::int32_t> crossingNodes(crossingBegin.back());
    {
        std::vector<std::uint64_t> at(crossingBegin.begin(), crossingBegin.end() - 1);
        for (std::size_t i = 0; i < nodeCount; ++i)
            if (int x = map.nodeIntersection[i]; x >= 0)
                crossingNodes[at[static_cast<std::size_t>(x)]++] = static_cast<std::int32_t>(i);
    }

    // The grids, from the coordinates as stored.
    std::vector<std::pair<std::int64_t, std::int32_t>> streetKeys, walkwayKeys, crossingKeys;
    std::uint64_t edgePoints = 0;
    for (std::size_t i = 0; i < map.edges.size(); ++i) {
        const Edge& e = map.edges[i];
        edgePoints += e.points.size();
        double minLat = 90, maxLat = -90, minLon = 180, maxLon = -180;
        for (const Point& raw : e.points) {
            Point p{format::OnGrid(raw.lat), format::OnGrid(raw.lon)};
            minLat = std::min(minLat, p.lat), maxLat = std::max(maxLat, p.lat);
            minLon = std::min(minLon, p.lon), maxLon = std::max(maxLon, p.lon);
        }
        std::int64_t y0 = CellOf(minLat), y1 = CellOf(maxLat), x0 = CellOf(minLon),
                     x1 = CellOf(maxLon);
        if ((y1 - y0 + 1) * (x1 - x0 + 1) > format::kMaxCellsPerEdge) continue;
        auto& keys = map.ways[static_cast<std::size_t>(e.way)].role > format::kRoleConnector
                         ? walkwayKeys
                         : streetKeys;
        for (std::int64_t y = y0; y <= y1; ++y)
            for (std::int64_t x = x0; x <= x1; ++x)
                keys.emplace_back(format::GridKey(y, x), static_cast<std::int32_t>(i));
    }
    for (std::size_t i = 0; i < map.intersections.size(); ++i) {
        const Point& p = map.intersections[i].at;
        crossingKeys.emplace_back(format::GridKey(CellOf(p.lat), CellOf(p.lon)),
                                  static_cast<std::int32_t>(i));
    }
    Grid streetGrid = MakeGrid(streetKeys), walkwayGrid = MakeGrid(walkwayKeys),
         crossingGrid = MakeGrid(crossingKeys);

    // Areas: their rings' points follow the edges' points.
    std::vector<format::AreaRecord> areas;
    std::vector<format::RingRecord> rings;
    std::vector<Point> areaPoints;
    for (const AreaRec& a : map.areas) {
        format::AreaRecord r{};
        r.kind = a.kind, r.adminLevel = a.adminLevel, r.name = pool.Add(a.name), r.size = a.size;
        r.minLat = r.minLon = 1000, r.maxLat = r.maxLon = -1000;
        r.ringBegin = static_cast<std::uint32_t>(rings.size());
        r.ringCount = static_cast<std::uint32_t>(a.rings.size());
        for (const geo::Ring& ring : a.rings) {
            rings.push_back({ring.outer ? 1u : 0u, static_cast<std::uint32_t>(ring.points.size()),
                             edgePoints + areaPoints.size()});
            for (const Point& raw : ring.points) {
                Point p{format::OnGrid(raw.lat), format::OnGrid(raw.lon)};
                r.minLat = std::min(r.minLat, p.lat), r.maxLat = std::max(r.maxLat, p.lat);
                r.minLon = std::min(r.minLon, p.lon), r.maxLon = std::max(r.maxLon, p.lon);
                areaPoints.push_back(p);
            }
        }
        areas.push_back(r);
    }
    std::vector<format::PlaceRecord> places;
    for (const PlaceRec& p : map.places)
        places.push_back({pool.Add(p.kind), pool.Add(p.name), p.at.lat, p.at.lon});
    std::vector<format::RestrictionRecord> restrictions;
    for (const Restriction& r : map.restrictions)
        restrictions.push_back({r.from, r.via, r.to, r.only ? 1 : 0});
    std::stable_sort(restrictions.begin(), restrictions.end(),
                     [](const auto& a, const auto& b) { return a.via < b.via; });

    // House numbers by edge (then by their order in the map), and by street.
    std::vector<std::size_t> byEdge(map.addresses.size());
    std::iota(byEdge.begin(), byEdge.end(), std::size_t{0});
    std::stable_sort(byEdge.begin(), byEdge.end(), [&](std::size_t a, std::size_t b) {
        return map.addresses[a].edge < map.addresses[b].edge;
    });
    std::vector<format::AddressRecord> addresses;
    addresses.reserve(map.addresses.size());
    for (std::size_t i : byEdge) {
        const Address& a = map.addresses[i];
        format::AddressRecord r{};
        r.street = a.street, r.edge = a.edge, r.side = a.side, r.value = LeadingNumber(a.number);
        r.offset = a.offset, r.lat = a.at.lat, r.lon = a.at.lon;
        r.number = pool.Add(a.number), r.postcode = pool.Add(a.postcode), r.city = pool.Add(a.city);
        r.source = a.source;
        addresses.push_back(r);
    }
    // Rows of the edge order, by street and then by the house's order in the map.
    std::vector<std::int32_t> byStreet(addresses.size());
    std::iota(byStreet.begin(), byStreet.end(), 0);
    std::stable_sort(byStreet.begin(), byStreet.end(), [&](std::int32_t a, std::int32_t b) {
        std::size_t ia = byEdge[static_cast<std::size_t>(a)],
                    ib = byEdge[static_cast<std::size_t>(b)];
        const Address &x = map.addresses[ia], &y = map.addresses[ib];
        return x.street != y.street ? x.street < y.street : ia < ib;
    });

    // The directory: every section's place follows from the counts.
    struct Planned {
        format::SectionId id;
        std::uint32_t recordSize;
        std::uint64_t count;
    };
    const Planned planned[] = {
        {format::kSectionStrings, 1, pool.Bytes().size()},
        {format::kSectionMeta, sizeof(format::MetaRecord), meta.size()},
        {format::kSectionStreets, sizeof(format::StreetRecord), streets.size()},
        {format::kSectionWays, sizeof(format::WayRecord), ways.size()},
        {format::kSectionNodes, sizeof(format::NodeRecord), nodeCount},
        {format::kSectionNodeEdges, 4, nodeEdges.size()},
        {format::kSectionEdges, sizeof(format::EdgeRecord), map.edges.size()},
        {format::kSectionPoints, sizeof(Point), edgePoints + areaPoints.size()},
        {format::kSectionIntersections, sizeof(format::IntersectionRecord),
         map.intersections.size()},
        {format::kSectionIntersectionNodes, 4, crossingNodes.size()},
        {format::kSectionStreetCells, sizeof(format::CellRecord), streetGrid.cells.size()},
        {format::kSectionStreetCellItems, 4, streetGrid.items.size()},
        {format::kSectionWalkwayCells, sizeof(format::CellRecord), walkwayGrid.cells.size()},
        {format::kSectionWalkwayCellItems, 4, walkwayGrid.items.size()},
        {format::kSectionCrossingCells, sizeof(format::CellRecord), crossingGrid.cells.size()},
        {format::kSectionCrossingCellItems, 4, crossingGrid.items.size()},
        {format::kSectionAreas, sizeof(format::AreaRecord), areas.size()},
        {format::kSectionRings, sizeof(format::RingRecord), rings.size()},
        {format::kSectionPlaces, sizeof(format::PlaceRecord), places.size()},
        {format::kSectionRestrictions, sizeof(format::RestrictionRecord), restrictions.size()},
        {format::kSectionAddresses, sizeof(format::AddressRecord), addresses.size()},
        {format::kSectionAddressesByStreet, 4, byStreet.size()},
        {format::kSectionStreetEdges, 4, streetEdges.size()},
        {format::kSectionWayNames, sizeof(format::WayNameRecord), wayNames.size()},
        {format::kSectionCrossings, sizeof(format::CrossingRecord), map.crossings.size()},
        {format::kSectionLandmarks, sizeof(format::LandmarkRecord), map.landmarks.size()},
        {format::kSectionLandmarkCosts, 4, map.landmarkCosts.size()},
        // Empty here, at the end of the file: the route hierarchy is built over the file written
        // and appended to it (AddRouteHierarchy).
        {format::kSectionHierarchyStates, sizeof(format::HierarchyStateRecord), 0},
        {format::kSectionHierarchyArcs, sizeof(format::HierarchyArcRecord), 0},
    };
    static_assert(std::size(planned) == format::kSectionCount);
    std::vector<format::MapSection> directory;
    std::uint64_t at =
        sizeof(format::MapFileHeader) + sizeof(format::MapSection) * std::size(planned);
    for (const Planned& p : planned) {
        std::uint64_t length = p.count * p.recordSize;
        directory.push_back({p.id, p.recordSize, at, length, p.count});
        at = (at + length + 7) / 8 * 8;
    }
    format::MapFileHeader header{};
    std::memcpy(header.magic, format::kMapMagic, 4);
    header.version = format::kMapFormatVersion;
    header.byteOrder = format::kMapByteOrderMark;
    header.sectionCount = format::kSectionCount;
    header.fileSize = at;

    std::unique_ptr<gpslib::os::WritableFile> file;
    Status s = gpslib::os::Env::Default()->NewWritableFile(path, &file);
    if (!s.ok()) return *error = s.ToString(), false;
    Out out(file.get());
    out.Record(header);
    out.Records(directory);
    // Each section starts where the directory says: the plan and the writing follow one order.
    bool inPlace = true;
    auto section = [&](std::size_t index) {
        out.Align();
        inPlace = inPlace && out.Written() == directory[index].offset;
    };
    std::size_t n = 0;
    section(n++), out.Bytes(pool.Bytes().data(), pool.Bytes().size());
    section(n++), out.Records(meta);
    section(n++), out.Records(streets);
    section(n++), out.Records(ways);
    section(n++);
    for (std::size_t i = 0; i < nodeCount; ++i) {
        format::NodeRecord r{};
        r.lat = map.nodes[i].lat, r.lon = map.nodes[i].lon;
        r.intersection = map.nodeIntersection[i];
        r.edgeBegin = nodeBegin[i];
        r.edgeCount = static_cast<std::uint32_t>(nodeBegin[i + 1] - nodeBegin[i]);
        out.Record(r);
    }
    section(n++), out.Records(nodeEdges);
    section(n++);
    std::uint64_t pointAt = 0;
    for (const Edge& e : map.edges) {
        std::vector<Point> points = OnGrid(e.points);
        format::EdgeRecord r{};
        r.way = e.way, r.from = e.from, r.to = e.to;
        r.pointCount = static_cast<std::uint32_t>(points.size());
        r.pointBegin = pointAt;
        r.length = e.length;
        if (!points.empty()) {
            r.leaving[0] = static_cast<float>(LeavingBearing(points, true));
            r.leaving[1] = static_cast<float>(LeavingBearing(points, false));
        }
        pointAt += points.size();
        out.Record(r);
    }
    section(n++);
    for (const Edge& e : map.edges)
        out.Records(OnGrid(e.points));
    out.Records(areaPoints);
    section(n++);
    for (std::size_t i = 0; i < map.intersections.size(); ++i) {
        const Intersection& x = map.intersections[i];
        format::IntersectionRecord r{};
        r.lat = x.at.lat, r.lon = x.at.lon, r.kind = x.kind;
        r.nodeBegin = crossingBegin[i];
        r.nodeCount = static_cast<std::uint32_t>(crossingBegin[i + 1] - crossingBegin[i]);
        out.Record(r);
    }
    section(n++), out.Records(crossingNodes);
    for (const Grid* g : {&streetGrid, &walkwayGrid, &crossingGrid}) {
        section(n++), out.Records(g->cells);
        section(n++), out.Records(g->items);
    }
    section(n++), out.Records(areas);
    section(n++), out.Records(rings);
    section(n++), out.Records(places);
    section(n++), out.Records(restrictions);
    section(n++), out.Records(addresses);
    section(n++), out.Records(byStreet);
    section(n++), out.Records(streetEdges);
    section(n++), out.Records(wayNames);
    section(n++), out.Records(map.crossings);
    section(n++), out.Records(map.landmarks);
    section(n++), out.Records(map.landmarkCosts);
    section(n++), section(n++); // the route hierarchy's, empty
    out.Align();
    s = out.Finish();
    if (!s.ok()) return *error = s.ToString(), false;
    if (!inPlace || out.Written() != header.fileSize)
        return *error = "the sections were not written where the directory says", false;
    return true;
}

} // namespace gpsmap::build
