#include "MapData.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace gpsmap {
namespace {

std::string Text(sqlite3_stmt* s, int column) {
    const unsigned char* t = sqlite3_column_text(s, column);
    return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
}

// Runs `sql` and calls row(stmt) for each row; false with *error on any failure.
template <class Row> bool Query(sqlite3* db, const char* sql, std::string* error, Row row) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        *error = sqlite3_errmsg(db);
        return false;
    }
    int rc;
    bool ok = true;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        if (!row(stmt)) {
            ok = false;
            break;
        }
    if (ok && rc != SQLITE_DONE) {
        *error = sqlite3_errmsg(db);
        ok = false;
    } else if (!ok && error->empty()) {
        *error = "inconsistent table";
    }
    sqlite3_finalize(stmt);
    return ok;
}

// The direction in which an edge leaves its first (or last) point, toward the point 10 m along
// it (or its other end when shorter).
double LeavingBearing(const Edge& e, bool fromStart) {
    std::size_t n = e.points.size();
    const Point& origin = fromStart ? e.points.front() : e.points.back();
    double done = 0.0;
    for (std::size_t k = 1; k < n; ++k) {
        const Point& p = fromStart ? e.points[k] : e.points[n - 1 - k];
        const Point& q = fromStart ? e.points[k - 1] : e.points[n - k];
        done += geo::Distance(q, p);
        if (done >= 10.0 || k + 1 == n) return geo::Bearing(origin, p);
    }
    return 0.0;
}

bool ValidPoint(double lat, double lon) {
    return std::isfinite(lat) && std::isfinite(lon) && lat >= -90 && lat <= 90 && lon >= -180 &&
           lon <= 180;
}

} // namespace

MapData::~MapData() {
    if (m_db) sqlite3_close(m_db);
}

bool MapData::Open(const std::string& path, std::string* error) {
    // Immutable: the engine never writes a map, and no lock or journal is looked for.
    std::string uri = "file:";
    for (char c : path) {
        if (c == '?' || c == '#' || c == '%') {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", static_cast<unsigned char>(c));
            uri += buf;
        } else {
            uri.push_back(c);
        }
    }
    uri += "?immutable=1";
    // No connection mutex: the loader owns the connection until Open returns, and afterwards
    // only the address statement uses it, under the engine's lock. In serialised mode every
    // column read of the load took and released that mutex (about a seventh of the load).
    if (sqlite3_open_v2(uri.c_str(), &m_db,
                        SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        *error = m_db ? sqlite3_errmsg(m_db) : "cannot open";
        return false;
    }
    bool ok = Load(error);
    if (!ok) {
        ways.clear(), streets.clear(), nodes.clear(), edges.clear(), intersections.clear();
        areas.clear(), places.clear(), restrictions.clear();
    }
    return ok;
}

bool MapData::Load(std::string* error) {
    int appId = 0, version = 0;
    if (!Query(m_db, "PRAGMA application_id", error, [&](sqlite3_stmt* s) {
            appId = sqlite3_column_int(s, 0);
            return true;
        }))
        return false;
    if (appId != format::kMapApplicationId) return *error = "not a map file", false;
    if (!Query(m_db, "PRAGMA user_version", error, [&](sqlite3_stmt* s) {
            version = sqlite3_column_int(s, 0);
            return true;
        }))
        return false;
    if (version < format::kMapFormatVersion)
        return *error = "map format version " + std::to_string(version) +
                        " is older than this engine reads (" +
                        std::to_string(format::kMapFormatVersion) +
                        "): compile the map again with gpsmap-build",
               false;
    if (version != format::kMapFormatVersion)
        return *error = "map format version " + std::to_string(version) + " is not read here",
               false;
    std::unordered_map<std::string, std::string> meta;
    if (!Query(m_db, "SELECT key, value FROM meta", error, [&](sqlite3_stmt* s) {
            meta[Text(s, 0)] = Text(s, 1);
            return true;
        }))
        return false;
    m_name = meta[format::kMetaName];
    m_level = meta[format::kMetaLevel];
    m_minLat = std::atof(meta[format::kMetaMinLat].c_str());
    m_maxLat = std::atof(meta[format::kMetaMaxLat].c_str());
    m_minLon = std::atof(meta[format::kMetaMinLon].c_str());
    m_maxLon = std::atof(meta[format::kMetaMaxLon].c_str());
    if (!ValidPoint(m_minLat, m_minLon) || !ValidPoint(m_maxLat, m_maxLon) || m_minLat > m_maxLat ||
        m_minLon > m_maxLon)
        return *error = "bad bounds", false;

    // Rows must be numbered densely from 0, as the compiler writes them.
    auto dense = [](sqlite3_stmt* s, std::size_t size) {
        return sqlite3_column_int64(s, 0) == static_cast<sqlite3_int64>(size);
    };
    if (!Query(m_db, "SELECT id, name, ref, city, postcode, state FROM streets ORDER BY id", error,
               [&](sqlite3_stmt* s) {
                   if (!dense(s, streets.size())) return false;
                   streets.push_back({Text(s, 1), Text(s, 2), Text(s, 3), Text(s, 4), Text(s, 5)});
                   return true;
               }))
        return false;
    if (!Query(m_db,
               "SELECT id, street, name, ref, class, role, oneway, lanes, maxspeed, roundabout, "
               "foot, car, toll FROM ways ORDER BY id",
               error, [&](sqlite3_stmt* s) {
                   if (!dense(s, ways.size())) return false;
                   Way w;
                   w.street = sqlite3_column_int(s, 1);
                   w.name = Text(s, 2), w.ref = Text(s, 3), w.cls = Text(s, 4);
                   w.role = sqlite3_column_int(s, 5);
                   w.oneway = sqlite3_column_int(s, 6);
                   w.lanes = sqlite3_column_int(s, 7);
                   w.maxspeed = sqlite3_column_double(s, 8);
                   w.roundabout = sqlite3_column_int(s, 9) != 0;
                   w.foot = sqlite3_column_int(s, 10) != 0;
                   w.car = sqlite3_column_int(s, 11) != 0;
                   w.toll = sqlite3_column_int(s, 12) != 0;
                   if (w.street < 0 || static_cast<std::size_t>(w.street) >= streets.size() ||
                       w.role < 0 || w.role > format::kRoleCrossing)
                       return false;
                   ways.push_back(std::move(w));
                   return true;
               }))
        return false;
    if (!Query(m_db, "SELECT id, lat, lon, intersection FROM nodes ORDER BY id", error,
               [&](sqlite3_stmt* s) {
                   if (!dense(s, nodes.size())) return false;
                   Node n;
                   n.at = {sqlite3_column_double(s, 1), sqlite3_column_double(s, 2)};
                   n.intersection = sqlite3_column_int(s, 3);
                   if (!ValidPoint(n.at.lat, n.at.lon) || n.intersection < -1) return false;
                   nodes.push_back(std::move(n));
                   return true;
               }))
        return false;
    if (!Query(m_db, "SELECT id, way, from_node, to_node, length, geometry FROM edges ORDER BY id",
               error, [&](sqlite3_stmt* s) {
                   if (!dense(s, edges.size())) return false;
                   Edge e;
                   e.way = sqlite3_column_int(s, 1);
                   e.from = sqlite3_column_int(s, 2);
                   e.to = sqlite3_column_int(s, 3);
                   e.length = sqlite3_column_double(s, 4);
                   const void* blob = sqlite3_column_blob(s, 5);
                   auto size = static_cast<std::size_t>(sqlite3_column_bytes(s, 5));
                   if (e.way < 0 || static_cast<std::size_t>(e.way) >= ways.size() || e.from < 0 ||
                       static_cast<std::size_t>(e.from) >= nodes.size() || e.to < 0 ||
                       static_cast<std::size_t>(e.to) >= nodes.size() || !std::isfinite(e.length) ||
                       e.length < 0 || blob == nullptr ||
                       !format::DecodeLine(blob, size, &e.points) || e.points.size() < 2)
                       return false;
                   edges.push_back(std::move(e));
                   return true;
               }))
        return false;
    if (!Query(m_db, "SELECT id, lat, lon, kind FROM intersections ORDER BY id", error,
               [&](sqlite3_stmt* s) {
                   if (!dense(s, intersections.size())) return false;
                   IntersectionRow x;
                   x.at = {sqlite3_column_double(s, 1), sqlite3_column_double(s, 2)};
                   x.kind = sqlite3_column_int(s, 3);
                   if (!ValidPoint(x.at.lat, x.at.lon)) return false;
                   intersections.push_back(std::move(x));
                   return true;
               }))
        return false;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        int x = nodes[i].intersection;
        if (x >= static_cast<int>(intersections.size())) return *error = "bad node", false;
        if (x >= 0) intersections[static_cast<std::size_t>(x)].nodes.push_back(static_cast<int>(i));
    }
    for (std::size_t i = 0; i < edges.size(); ++i) {
        nodes[static_cast<std::size_t>(edges[i].from)].edges.push_back(static_cast<int>(i));
        if (edges[i].to != edges[i].from)
            nodes[static_cast<std::size_t>(edges[i].to)].edges.push_back(static_cast<int>(i));
    }
    if (!Query(m_db, "SELECT kind, admin_level, name, area, geometry FROM areas ORDER BY id", error,
               [&](sqlite3_stmt* s) {
                   Area a;
                   a.kind = sqlite3_column_int(s, 0);
                   a.adminLevel = sqlite3_column_int(s, 1);
                   a.name = Text(s, 2);
                   a.size = sqlite3_column_double(s, 3);
                   const void* blob = sqlite3_column_blob(s, 4);
                   auto size = static_cast<std::size_t>(sqlite3_column_bytes(s, 4));
                   if (blob == nullptr || !format::DecodeRings(blob, size, &a.rings)) return false;
                   a.minLat = a.minLon = 1000, a.maxLat = a.maxLon = -1000;
                   for (const geo::Ring& r : a.rings)
                       for (const Point& p : r.points) {
                           a.minLat = std::min(a.minLat, p.lat),
                           a.maxLat = std::max(a.maxLat, p.lat);
                           a.minLon = std::min(a.minLon, p.lon),
                           a.maxLon = std::max(a.maxLon, p.lon);
                       }
                   areas.push_back(std::move(a));
                   return true;
               }))
        return false;
    if (!Query(m_db, "SELECT kind, name, lat, lon FROM places ORDER BY id", error,
               [&](sqlite3_stmt* s) {
                   Place p{Text(s, 0),
                           Text(s, 1),
                           {sqlite3_column_double(s, 2), sqlite3_column_double(s, 3)}};
                   if (!ValidPoint(p.at.lat, p.at.lon)) return false;
                   places.push_back(std::move(p));
                   return true;
               }))
        return false;
    // A restriction must join its two edges at its node.
    if (!Query(m_db, "SELECT from_edge, via_node, to_edge, only FROM restrictions ORDER BY id",
               error, [&](sqlite3_stmt* s) {
                   Restriction r;
                   r.from = sqlite3_column_int(s, 0);
                   int via = sqlite3_column_int(s, 1);
                   r.to = sqlite3_column_int(s, 2);
                   r.only = sqlite3_column_int(s, 3) != 0;
                   auto touches = [&](int edge) {
                       if (edge < 0 || static_cast<std::size_t>(edge) >= edges.size()) return false;
                       const Edge& e = edges[static_cast<std::size_t>(edge)];
                       return e.from == via || e.to == via;
                   };
                   if (!touches(r.from) || !touches(r.to)) return false;
                   restrictions[via].push_back(r);
                   return true;
               }))
        return false;
    for (Edge& e : edges) {
        e.leaving[0] = static_cast<float>(LeavingBearing(e, true));
        e.leaving[1] = static_cast<float>(LeavingBearing(e, false));
    }
    // A query must not fail later on a table the loader did not read.
    if (!Query(m_db, "SELECT count(*) FROM addresses", error, [](sqlite3_stmt*) { return true; }))
        return false;

    for (std::size_t i = 0; i < edges.size(); ++i) {
        const Edge& e = edges[i];
        double minLat = 90, maxLat = -90, minLon = 180, maxLon = -180;
        for (const Point& p : e.points) {
            minLat = std::min(minLat, p.lat), maxLat = std::max(maxLat, p.lat);
            minLon = std::min(minLon, p.lon), maxLon = std::max(maxLon, p.lon);
        }
        auto y0 = static_cast<std::int64_t>(std::floor(minLat / kCell));
        auto y1 = static_cast<std::int64_t>(std::floor(maxLat / kCell));
        auto x0 = static_cast<std::int64_t>(std::floor(minLon / kCell));
        auto x1 = static_cast<std::int64_t>(std::floor(maxLon / kCell));
        // An edge spanning thousands of cells is a broken file, not a street.
        if ((y1 - y0 + 1) * (x1 - x0 + 1) > 100000) return *error = "bad edge", false;
        for (std::int64_t y = y0; y <= y1; ++y)
            for (std::int64_t x = x0; x <= x1; ++x)
                (ways[static_cast<std::size_t>(e.way)].role > format::kRoleConnector
                     ? m_walkwayGrid
                     : m_edgeGrid)[Key(y, x)]
                    .push_back(static_cast<int>(i));
    }
    for (std::size_t i = 0; i < intersections.size(); ++i) {
        const Point& p = intersections[i].at;
        m_intersectionGrid[Key(static_cast<std::int64_t>(std::floor(p.lat / kCell)),
                               static_cast<std::int64_t>(std::floor(p.lon / kCell)))]
            .push_back(static_cast<int>(i));
    }
    return true;
}

bool MapData::Covers(Point p, double margin) const {
    double dLat = margin / geo::kMetresPerDegree;
    double dLon = dLat / std::max(0.01, std::cos(geo::Radians(p.lat)));
    return p.lat >= m_minLat - dLat && p.lat <= m_maxLat + dLat && p.lon >= m_minLon - dLon &&
           p.lon <= m_maxLon + dLon;
}

namespace {

template <class F> void ForCells(Point p, double radius, double cell, F f) {
    double dLat = radius / geo::kMetresPerDegree;
    double dLon = dLat / std::max(0.01, std::cos(geo::Radians(p.lat)));
    auto y0 = static_cast<std::int64_t>(std::floor((p.lat - dLat) / cell));
    auto y1 = static_cast<std::int64_t>(std::floor((p.lat + dLat) / cell));
    auto x0 = static_cast<std::int64_t>(std::floor((p.lon - dLon) / cell));
    auto x1 = static_cast<std::int64_t>(std::floor((p.lon + dLon) / cell));
    if ((y1 - y0 + 1) * (x1 - x0 + 1) > 10000) return; // only near the poles; no streets there
    for (std::int64_t y = y0; y <= y1; ++y)
        for (std::int64_t x = x0; x <= x1; ++x)
            f(y, x);
}

} // namespace

void MapData::AllEdgesNear(Point p, double radius, std::vector<int>* out) const {
    out->clear();
    ForCells(p, radius, kCell, [&](std::int64_t y, std::int64_t x) {
        for (const auto* grid : {&m_edgeGrid, &m_walkwayGrid}) {
            auto it = grid->find(Key(y, x));
            if (it != grid->end()) out->insert(out->end(), it->second.begin(), it->second.end());
        }
    });
    std::sort(out->begin(), out->end());
    out->erase(std::unique(out->begin(), out->end()), out->end());
}

void MapData::EdgesNear(Point p, double radius, std::vector<int>* out) const {
    out->clear();
    ForCells(p, radius, kCell, [&](std::int64_t y, std::int64_t x) {
        auto it = m_edgeGrid.find(Key(y, x));
        if (it != m_edgeGrid.end()) out->insert(out->end(), it->second.begin(), it->second.end());
    });
    std::sort(out->begin(), out->end());
    out->erase(std::unique(out->begin(), out->end()), out->end());
}

void MapData::IntersectionsNear(Point p, double radius, std::vector<int>* out) const {
    out->clear();
    ForCells(p, radius, kCell, [&](std::int64_t y, std::int64_t x) {
        auto it = m_intersectionGrid.find(Key(y, x));
        if (it == m_intersectionGrid.end()) return;
        for (int i : it->second)
            if (geo::Distance(p, intersections[static_cast<std::size_t>(i)].at) <= radius)
                out->push_back(i);
    });
    std::sort(out->begin(), out->end());
}

std::vector<AddressRow> MapData::Addresses(const char* sql, const std::vector<int>& keys) const {
    std::vector<AddressRow> rows;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) != SQLITE_OK) return rows;
    for (int key : keys) {
        sqlite3_reset(stmt);
        sqlite3_bind_int(stmt, 1, key);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            AddressRow a;
            a.street = sqlite3_column_int(stmt, 0);
            a.edge = sqlite3_column_int(stmt, 1);
            a.offset = sqlite3_column_double(stmt, 2);
            a.side = sqlite3_column_int(stmt, 3);
            a.number = Text(stmt, 4);
            a.value = sqlite3_column_int(stmt, 5);
            a.at = {sqlite3_column_double(stmt, 6), sqlite3_column_double(stmt, 7)};
            a.postcode = Text(stmt, 8);
            a.city = Text(stmt, 9);
            if (a.edge < 0 || static_cast<std::size_t>(a.edge) >= edges.size() ||
                !ValidPoint(a.at.lat, a.at.lon))
                continue;
            rows.push_back(std::move(a));
        }
    }
    sqlite3_finalize(stmt);
    return rows;
}

std::vector<AddressRow> MapData::AddressesOnEdges(const std::vector<int>& keys) const {
    return Addresses("SELECT street, edge, offset, side, number, value, lat, lon, postcode, city "
                     "FROM addresses WHERE edge = ?1 ORDER BY id",
                     keys);
}

std::vector<AddressRow> MapData::AddressesOfStreet(int street) const {
    return Addresses("SELECT street, edge, offset, side, number, value, lat, lon, postcode, city "
                     "FROM addresses WHERE street = ?1 ORDER BY id",
                     {street});
}

const Area* MapData::AreaAt(Point p, int kind) const {
    const Area* best = nullptr;
    for (const Area& a : areas) {
        if (a.kind != kind || p.lat < a.minLat || p.lat > a.maxLat || p.lon < a.minLon ||
            p.lon > a.maxLon)
            continue;
        if ((best == nullptr || a.size < best->size) && geo::InRings(p, a.rings)) best = &a;
    }
    return best;
}

const Place* MapData::NearestPlace(Point p, double radius) const {
    const Place* best = nullptr;
    double bestDistance = radius;
    for (const Place& place : places) {
        if (place.kind != "city" && place.kind != "town" && place.kind != "village" &&
            place.kind != "hamlet")
            continue;
        double d = geo::Distance(p, place.at);
        if (d <= bestDistance) best = &place, bestDistance = d;
    }
    return best;
}

} // namespace gpsmap
