#include "MapData.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "formats/RouteSpeeds.h"

namespace gpsmap {
namespace {

bool ValidPoint(double lat, double lon) {
    return std::isfinite(lat) && std::isfinite(lon) && lat >= -90 && lat <= 90 && lon >= -180 &&
           lon <= 180;
}

} // namespace

MapData::MapData() = default;
MapData::~MapData() = default;

bool MapData::Open(const std::string& path, std::string* error) {
    static std::atomic<std::uint64_t> opened{0};
    m_serial = ++opened;
    gpslib::os::Status s = gpslib::os::MappedFile::Open(path, &m_file);
    if (!s.ok()) return *error = s.ToString(), false;
    if (Load(error)) return true;
    m_file.reset(); // the spans are not used again: a MapData that failed to open is dropped
    return false;
}

bool MapData::Load(std::string* error) {
    const unsigned char* base = m_file->data();
    const std::size_t size = m_file->size();
    const std::string compileAgain = " than this engine reads (" +
                                     std::to_string(format::kMapOldestVersion) +
                                     "): compile the map again with gpsmap-build";
    if (size >= format::kSqliteHeader.size() &&
        std::memcmp(base, format::kSqliteHeader.data(), format::kSqliteHeader.size()) == 0)
        return *error = "a map of an older format (SQLite)" + compileAgain, false;
    if (size < sizeof(format::MapFileHeader) || std::memcmp(base, format::kMapMagic, 4) != 0)
        return *error = "not a map file", false;
    format::MapFileHeader header;
    std::memcpy(&header, base, sizeof header);
    if (header.byteOrder != format::kMapByteOrderMark)
        return *error = "a map file written with the other byte order", false;
    if (header.version < format::kMapOldestVersion)
        return *error = "map format version " + std::to_string(header.version) + " is older" +
                        compileAgain,
               false;
    if (header.version > format::kMapFormatVersion)
        return *error =
                   "map format version " + std::to_string(header.version) + " is not read here",
               false;
    if (header.fileSize != size)
        return *error = "the map file is truncated (" + std::to_string(size) + " of " +
                        std::to_string(header.fileSize) + " bytes)",
               false;
    // Version 3 has exactly its 23 sections; later files at least the first 24 of version 4, and
    // maybe sections added since: those this reader knows are read (missing, they are empty),
    // later ones skipped.
    const bool version3 = header.version == 3;
    if ((version3 ? header.sectionCount != format::kSectionCountVersion3
                  : header.sectionCount < format::kSectionCountVersion4 ||
                        header.sectionCount > format::kMaxSections) ||
        (size - sizeof header) / sizeof(format::MapSection) < header.sectionCount)
        return *error = "bad section directory", false;

    // Each section: inside the file, aligned, a whole number of records of the expected size.
    const auto* directory = base + sizeof header;
    std::span<const unsigned char> sections[format::kSectionCount + 1];
    std::uint64_t counts[format::kSectionCount + 1] = {};
    bool seen[format::kMaxSections + 1] = {};
    const std::uint32_t known = version3 ? format::kSectionCountVersion3 : format::kSectionCount;
    for (std::uint32_t i = 0; i < header.sectionCount; ++i) {
        format::MapSection sec;
        std::memcpy(&sec, directory + i * sizeof sec, sizeof sec);
        if (sec.id == 0 || sec.id > (version3 ? known : format::kMaxSections) || seen[sec.id] ||
            sec.offset % 8 != 0 || sec.offset > size || sec.length > size - sec.offset ||
            sec.recordSize == 0 || sec.length / sec.recordSize != sec.count ||
            sec.length % sec.recordSize != 0)
            return *error = "bad section " + std::to_string(i), false;
        seen[sec.id] = true;
        if (sec.id > known) continue; // added by a later compiler
        sections[sec.id] = {base + sec.offset, static_cast<std::size_t>(sec.length)};
        counts[sec.id] = sec.count;
        static_assert(sizeof(std::size_t) >= 8, "map files are read on 64-bit systems");
    }
    bool sizesOk = true;
    auto take = [&]<class T>(format::SectionId id, std::span<const T>* out) {
        if (sections[id].size() != counts[id] * sizeof(T)) sizesOk = false;
        if (counts[id] > static_cast<std::uint64_t>(INT32_MAX)) sizesOk = false;
        if (!sizesOk) return;
        *out = {reinterpret_cast<const T*>(sections[id].data()),
                static_cast<std::size_t>(counts[id])};
    };
    std::span<const char> strings;
    take(format::kSectionStrings, &strings);
    m_strings = {strings.data(), strings.size()};
    take(format::kSectionMeta, &m_meta);
    take(format::kSectionStreets, &m_streets);
    take(format::kSectionWays, &m_ways);
    take(format::kSectionNodes, &m_nodes);
    take(format::kSectionNodeEdges, &m_nodeEdges);
    take(format::kSectionEdges, &m_edges);
    take(format::kSectionPoints, &m_points);
    take(format::kSectionIntersections, &m_intersections);
    take(format::kSectionIntersectionNodes, &m_intersectionNodes);
    take(format::kSectionStreetCells, &m_streetCells);
    take(format::kSectionStreetCellItems, &m_streetItems);
    take(format::kSectionWalkwayCells, &m_walkwayCells);
    take(format::kSectionWalkwayCellItems, &m_walkwayItems);
    take(format::kSectionCrossingCells, &m_crossingCells);
    take(format::kSectionCrossingCellItems, &m_crossingItems);
    take(format::kSectionAreas, &m_areas);
    take(format::kSectionRings, &m_rings);
    take(format::kSectionPlaces, &m_places);
    take(format::kSectionRestrictions, &m_restrictions);
    take(format::kSectionAddresses, &m_addresses);
    take(format::kSectionAddressesByStreet, &m_addressesByStreet);
    take(format::kSectionStreetEdges, &m_streetEdges);
    take(format::kSectionWayNames, &m_wayNames);
    take(format::kSectionCrossings, &m_crossings);
    std::span<const format::LandmarkRecord> landmarks;
    take(format::kSectionLandmarks, &landmarks);
    take(format::kSectionLandmarkCosts, &m_landmarkCosts);
    take(format::kSectionHierarchyStates, &m_hierarchyStates);
    take(format::kSectionHierarchyArcs, &m_hierarchyArcs);
    // One row per way, or none (a version 3 map): anything else names no way.
    if (m_wayNames.size() != m_ways.size()) m_wayNames = {};
    if (!sizesOk) return *error = "bad section size", false;
    // Edges need a way and a node to stand on, even when broken.
    if (!m_edges.empty() && (m_ways.empty() || m_nodes.empty()))
        return *error = "edges without ways or nodes", false;

    m_name = std::string(Meta(format::kMetaName));
    m_level = std::string(Meta(format::kMetaLevel));
    m_language = LanguageFromCode(Meta(format::kMetaLanguage));
    auto number = [&](const char* key) { return std::atof(std::string(Meta(key)).c_str()); };
    m_minLat = number(format::kMetaMinLat);
    m_maxLat = number(format::kMetaMaxLat);
    m_minLon = number(format::kMetaMinLon);
    m_maxLon = number(format::kMetaMaxLon);
    if (!ValidPoint(m_minLat, m_minLon) || !ValidPoint(m_maxLat, m_maxLon) || m_minLat > m_maxLat ||
        m_minLon > m_maxLon)
        return *error = "bad bounds", false;
    UseRouteBounds(landmarks);
    UseRouteHierarchy();
    return true;
}

void MapData::UseRouteHierarchy() {
    // Both profiles, a row per state and one more each, built with this engine's costs; the rows
    // are checked as they are read, so opening costs nothing more.
    static const std::string costs = gpslib::formats::speeds::RouteCostsKey();
    const std::size_t rows = 2 * m_edges.size() + 1;
    if (m_hierarchyStates.size() != 2 * rows || Meta(format::kMetaRouteHierarchy) != costs) {
        m_hierarchyStates = {};
        m_hierarchyArcs = {};
        return;
    }
    m_hierarchyProfiles = 2;
}

std::span<const format::HierarchyArcRecord> MapData::HierarchyArcs(bool walking, int state,
                                                                   bool up) const {
    const std::size_t rows = 2 * m_edges.size() + 1;
    if (!HasHierarchy(walking) || state < 0 || static_cast<std::size_t>(state) + 1 >= rows)
        return {};
    const format::HierarchyStateRecord* row =
        m_hierarchyStates.data() + (walking ? 0 : rows) + static_cast<std::size_t>(state);
    const std::size_t begin = up ? row[0].up : row[0].down, end = up ? row[0].down : row[1].up;
    if (begin > end || end > m_hierarchyArcs.size()) return {};
    return m_hierarchyArcs.subspan(begin, end - begin);
}

void MapData::UseRouteBounds(std::span<const format::LandmarkRecord> landmarks) {
    // The walking landmarks first, then the driving ones; a node's costs for each; measured with
    // this engine's prices. Anything else leaves the searches to their straight-line guide.
    static const std::string prices = gpslib::formats::speeds::BoundsPricesKey();
    std::size_t walk = 0, drive = 0;
    bool ordered = true;
    for (const format::LandmarkRecord& l : landmarks) {
        if (l.profile == 0 && drive == 0)
            ++walk;
        else if (l.profile == 1)
            ++drive;
        else
            ordered = false;
    }
    const std::size_t n = m_nodes.size();
    const std::size_t perNode = walk + 2 * drive; // each driving landmark has costs both ways
    if (!ordered || perNode == 0 || Meta(format::kMetaRouteBounds) != prices ||
        m_landmarkCosts.size() / perNode != n || m_landmarkCosts.size() % perNode != 0) {
        m_landmarkCosts = {};
        return;
    }
    m_walkLandmarks = static_cast<int>(walk);
    m_driveLandmarks = static_cast<int>(drive);
    m_driveCosts = m_landmarkCosts.data() + n * walk;
}

std::string_view MapData::Text(format::TextRef t) const {
    if (t.offset > m_strings.size() || t.length > m_strings.size() - t.offset) return {};
    return m_strings.substr(t.offset, t.length);
}

std::string_view MapData::Meta(std::string_view key) const {
    for (const format::MetaRecord& m : m_meta)
        if (Text(m.key) == key) return Text(m.value);
    return {};
}

bool MapData::Covers(Point p, double margin) const {
    double dLat = margin / geo::kMetresPerDegree;
    double dLon = dLat / std::max(0.01, std::cos(geo::Radians(p.lat)));
    return p.lat >= m_minLat - dLat && p.lat <= m_maxLat + dLat && p.lon >= m_minLon - dLon &&
           p.lon <= m_maxLon + dLon;
}

gpsmap::Way MapData::Way(int i) const {
    gpsmap::Way w;
    w.street = -1;
    if (i < 0 || static_cast<std::size_t>(i) >= m_ways.size()) return w;
    const format::WayRecord& r = m_ways[static_cast<std::size_t>(i)];
    w.street =
        r.street >= 0 && static_cast<std::size_t>(r.street) < m_streets.size() ? r.street : -1;
    w.name = Text(r.name), w.ref = Text(r.ref), w.cls = Text(r.cls);
    w.role = r.role, w.oneway = r.oneway, w.lanes = r.lanes;
    w.maxspeed = std::isfinite(r.maxspeed) ? r.maxspeed : 0.0;
    w.roundabout = r.roundabout != 0, w.foot = r.foot != 0, w.car = r.car != 0;
    w.toll = r.toll != 0;
    w.walk = r.walk;
    if (!m_wayNames.empty()) {
        const format::WayNameRecord& n = m_wayNames[static_cast<std::size_t>(i)];
        w.kind = n.kind > 0 && n.kind < format::kWayKindCount ? n.kind : 0;
        if ((w.kind == format::kKindSidewalk || w.kind == format::kKindCrossing) && n.of >= 0 &&
            static_cast<std::size_t>(n.of) < m_streets.size()) {
            const format::StreetRecord& of = m_streets[static_cast<std::size_t>(n.of)];
            w.ofName = Text(of.name), w.ofRef = Text(of.ref);
        }
    }
    return w;
}

StreetRow MapData::Street(int i) const {
    if (i < 0 || static_cast<std::size_t>(i) >= m_streets.size()) return {};
    const format::StreetRecord& r = m_streets[static_cast<std::size_t>(i)];
    return {Text(r.name), Text(r.ref), Text(r.city), Text(r.postcode), Text(r.state)};
}

IdList MapData::StreetEdges(int street) const {
    if (street < 0 || static_cast<std::size_t>(street) >= m_streets.size()) return {};
    const format::StreetRecord& r = m_streets[static_cast<std::size_t>(street)];
    if (!Within(r.edgeBegin, r.edgeCount, m_streetEdges)) return {};
    return IdList(m_streetEdges.subspan(static_cast<std::size_t>(r.edgeBegin), r.edgeCount),
                  static_cast<std::int32_t>(m_edges.size()));
}

IntersectionRow MapData::Intersection(int i) const {
    IntersectionRow x;
    if (i < 0 || static_cast<std::size_t>(i) >= m_intersections.size()) return x;
    const format::IntersectionRecord& r = m_intersections[static_cast<std::size_t>(i)];
    x.at = {r.lat, r.lon};
    x.kind = r.kind;
    if (Within(r.nodeBegin, r.nodeCount, m_intersectionNodes))
        x.nodes =
            IdList(m_intersectionNodes.subspan(static_cast<std::size_t>(r.nodeBegin), r.nodeCount),
                   static_cast<std::int32_t>(m_nodes.size()));
    return x;
}

gpsmap::Area MapData::Area(int i) const {
    if (i < 0 || static_cast<std::size_t>(i) >= m_areas.size()) return {};
    const format::AreaRecord& r = m_areas[static_cast<std::size_t>(i)];
    return {r.kind, r.adminLevel, Text(r.name), r.size, r.minLat, r.maxLat, r.minLon, r.maxLon};
}

gpsmap::Place MapData::Place(int i) const {
    if (i < 0 || static_cast<std::size_t>(i) >= m_places.size()) return {};
    const format::PlaceRecord& r = m_places[static_cast<std::size_t>(i)];
    return {Text(r.kind), Text(r.name), {r.lat, r.lon}};
}

std::span<const Restriction> MapData::RestrictionsAt(int node) const {
    auto [lo, hi] = std::equal_range(
        m_restrictions.begin(), m_restrictions.end(), node, [](const auto& a, const auto& b) {
            if constexpr (std::is_same_v<std::decay_t<decltype(a)>, int>)
                return a < b.via;
            else
                return a.via < b;
        });
    return {lo, hi};
}

bool MapData::Meets(const Restriction& r) const {
    gpsmap::Edge from = Edge(r.from), to = Edge(r.to);
    auto ok = [&](int edge, const gpsmap::Edge& e) {
        return edge >= 0 && static_cast<std::size_t>(edge) < m_edges.size() &&
               e.points.data() != kNowhere && (e.from == r.via || e.to == r.via);
    };
    return ok(r.from, from) && ok(r.to, to);
}

namespace {

// The grid cells that meet the box [south, north] x [west, east], as runs of consecutive keys:
// one run per grid row, or two where the row crosses the prime meridian (a key's column is its
// low 32 bits, unsigned, so the columns west of it sort after those east). Calls f(first key,
// number of cells).
template <class F> void ForBoxCellRuns(double south, double west, double north, double east, F f) {
    // Not numbers, inverted or far out of the world: no cells, and no integer conversion out of
    // range.
    if (!(south <= north && west <= east && south >= -1000 && north <= 1000 && west >= -1000 &&
          east <= 1000))
        return;
    double cell = format::kGridCell;
    auto y0 = static_cast<std::int64_t>(std::floor(south / cell));
    auto y1 = static_cast<std::int64_t>(std::floor(north / cell));
    auto x0 = static_cast<std::int64_t>(std::floor(west / cell));
    auto x1 = static_cast<std::int64_t>(std::floor(east / cell));
    if ((y1 - y0 + 1) * (x1 - x0 + 1) > 10000) return; // only near the poles; no streets there
    for (std::int64_t y = y0; y <= y1; ++y) {
        if (x0 < 0) f(format::GridKey(y, x0), std::min<std::int64_t>(x1, -1) - x0 + 1);
        if (x1 >= 0) {
            const std::int64_t from = std::max<std::int64_t>(x0, 0);
            f(format::GridKey(y, from), x1 - from + 1);
        }
    }
}

// The grid cells within `radius` of p.
template <class F> void ForCellRuns(Point p, double radius, F f) {
    double dLat = radius / geo::kMetresPerDegree;
    double dLon = dLat / std::max(0.01, std::cos(geo::Radians(p.lat)));
    if (!(std::abs(p.lat) <= 90) || !(std::abs(p.lon) <= 360) || !(dLat >= 0) || !(dLon < 360))
        return;
    ForBoxCellRuns(p.lat - dLat, p.lon - dLon, p.lat + dLat, p.lon + dLon, f);
}

} // namespace

void MapData::Cells(std::span<const format::CellRecord> cells, std::span<const std::int32_t> items,
                    std::int64_t first, std::int64_t count, std::vector<int>* out) const {
    // One search per run; a file's cells are sorted by key and unique, so at most `count` follow.
    const std::int64_t last = first + count - 1;
    auto it =
        std::lower_bound(cells.begin(), cells.end(), first,
                         [](const format::CellRecord& c, std::int64_t k) { return c.key < k; });
    for (; it != cells.end() && count-- > 0 && it->key <= last; ++it) {
        if (!Within(it->itemBegin, it->itemCount, items)) continue;
        for (std::int32_t i : items.subspan(it->itemBegin, it->itemCount))
            out->push_back(i);
    }
}

void MapData::EdgeCellsNear(Point p, double radius, bool walkways, std::vector<int>* out) const {
    out->clear();
    ForCellRuns(p, radius, [&](std::int64_t first, std::int64_t count) {
        Cells(m_streetCells, m_streetItems, first, count, out);
        if (walkways) Cells(m_walkwayCells, m_walkwayItems, first, count, out);
    });
    KeepEdgeRows(out);
}

void MapData::KeepEdgeRows(std::vector<int>* edges) const {
    std::sort(edges->begin(), edges->end());
    edges->erase(std::unique(edges->begin(), edges->end()), edges->end());
    std::erase_if(*edges,
                  [&](int i) { return i < 0 || static_cast<std::size_t>(i) >= m_edges.size(); });
}

void MapData::EdgesInBox(const Box& box, std::vector<int>* out) const {
    out->clear();
    ForBoxCellRuns(box.south, box.west, box.north, box.east,
                   [&](std::int64_t first, std::int64_t count) {
                       Cells(m_streetCells, m_streetItems, first, count, out);
                       Cells(m_walkwayCells, m_walkwayItems, first, count, out);
                   });
    KeepEdgeRows(out);
}

void MapData::AllEdgesNear(Point p, double radius, std::vector<int>* out) const {
    EdgeCellsNear(p, radius, true, out);
}

void MapData::EdgesNear(Point p, double radius, std::vector<int>* out) const {
    EdgeCellsNear(p, radius, false, out);
}

void MapData::IntersectionsNear(Point p, double radius, std::vector<int>* out) const {
    out->clear();
    std::vector<int> cell;
    ForCellRuns(p, radius, [&](std::int64_t first, std::int64_t count) {
        cell.clear();
        Cells(m_crossingCells, m_crossingItems, first, count, &cell);
        for (int i : cell)
            if (i >= 0 && static_cast<std::size_t>(i) < m_intersections.size() &&
                geo::Distance(p, Intersection(i).at) <= radius)
                out->push_back(i);
    });
    std::sort(out->begin(), out->end());
}

bool MapData::AddressRowAt(std::size_t row, AddressRow* out) const {
    const format::AddressRecord& r = m_addresses[row];
    if (r.edge < 0 || static_cast<std::size_t>(r.edge) >= m_edges.size() ||
        !ValidPoint(r.lat, r.lon) || !std::isfinite(r.offset))
        return false;
    out->street = r.street, out->edge = r.edge, out->side = r.side, out->offset = r.offset;
    out->number = std::string(Text(r.number));
    out->value = r.value;
    out->at = {r.lat, r.lon};
    out->postcode = std::string(Text(r.postcode));
    out->city = std::string(Text(r.city));
    return true;
}

std::vector<AddressRow> MapData::AddressesOnEdges(const std::vector<int>& keys) const {
    std::vector<AddressRow> rows;
    for (int key : keys) {
        auto lo =
            std::lower_bound(m_addresses.begin(), m_addresses.end(), key,
                             [](const format::AddressRecord& a, int k) { return a.edge < k; });
        for (auto it = lo; it != m_addresses.end() && it->edge == key; ++it) {
            AddressRow a;
            if (AddressRowAt(static_cast<std::size_t>(it - m_addresses.begin()), &a))
                rows.push_back(std::move(a));
        }
    }
    return rows;
}

std::vector<AddressRow> MapData::AddressesOfStreet(int street) const {
    std::vector<AddressRow> rows;
    auto streetOf = [&](std::int32_t row) {
        return row >= 0 && static_cast<std::size_t>(row) < m_addresses.size()
                   ? m_addresses[static_cast<std::size_t>(row)].street
                   : -1;
    };
    auto lo = std::lower_bound(m_addressesByStreet.begin(), m_addressesByStreet.end(), street,
                               [&](std::int32_t row, int s) { return streetOf(row) < s; });
    for (auto it = lo; it != m_addressesByStreet.end() && streetOf(*it) == street; ++it) {
        AddressRow a;
        if (AddressRowAt(static_cast<std::size_t>(*it), &a)) rows.push_back(std::move(a));
    }
    return rows;
}

bool MapData::InRings(Point p, const format::AreaRecord& a) const {
    if (!Within(a.ringBegin, a.ringCount, m_rings)) return false;
    bool inside = false;
    for (const format::RingRecord& r : m_rings.subspan(a.ringBegin, a.ringCount)) {
        std::span<const Point> ring = Points(r.pointBegin, r.pointCount);
        if (ring.size() >= 3 && geo::InRing(p, ring)) inside = !inside;
    }
    return inside;
}

std::optional<gpsmap::Area> MapData::AreaAt(Point p, int kind) const {
    const format::AreaRecord* best = nullptr;
    int bestIndex = -1;
    for (std::size_t i = 0; i < m_areas.size(); ++i) {
        const format::AreaRecord& a = m_areas[i];
        if (a.kind != kind || p.lat < a.minLat || p.lat > a.maxLat || p.lon < a.minLon ||
            p.lon > a.maxLon)
            continue;
        if ((best == nullptr || a.size < best->size) && InRings(p, a))
            best = &a, bestIndex = static_cast<int>(i);
    }
    if (best == nullptr) return std::nullopt;
    return Area(bestIndex);
}

std::optional<gpsmap::Place> MapData::NearestPlace(Point p, double radius) const {
    int best = -1;
    double bestDistance = radius;
    for (std::size_t i = 0; i < m_places.size(); ++i) {
        gpsmap::Place place = Place(static_cast<int>(i));
        if (place.kind != "city" && place.kind != "town" && place.kind != "village" &&
            place.kind != "hamlet")
            continue;
        double d = geo::Distance(p, place.at);
        if (d <= bestDistance) best = static_cast<int>(i), bestDistance = d;
    }
    if (best < 0) return std::nullopt;
    return Place(best);
}

} // namespace gpsmap
