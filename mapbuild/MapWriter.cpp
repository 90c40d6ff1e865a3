#include <cstdio>

#include "Writers.h"

namespace gpsmap::build {
namespace {

std::string Fmt(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.7f", v);
    return buf;
}

} // namespace

bool WriteMapFile(const Map& map, const MapInfo& info, const std::string& path,
                  std::string* error) {
    OutputDb db;
    if (!db.Create(path, format::kMapApplicationId, format::kMapFormatVersion, format::kMapSchema,
                   error))
        return false;
    const std::pair<const char*, std::string> meta[] = {
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
        {format::kMetaAttribution, format::kOsmAttribution}};
    for (const auto& [key, value] : meta)
        if (!db.Insert("INSERT INTO meta VALUES(?,?)", error, key, value)) return false;
    for (std::size_t i = 0; i < map.streets.size(); ++i) {
        const Street& s = map.streets[i];
        if (!db.Insert("INSERT INTO streets VALUES(?,?,?,?,?,?)", error, i, s.name, s.ref, s.city,
                       s.postcode, s.state))
            return false;
    }
    for (std::size_t i = 0; i < map.ways.size(); ++i) {
        const WayRec& w = map.ways[i];
        if (!db.Insert("INSERT INTO ways VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?)", error, i,
                       map.wayStreet[i], w.name, w.ref, w.cls, w.role, w.oneway, w.lanes,
                       w.maxspeed, w.roundabout ? 1 : 0, w.foot ? 1 : 0, w.car ? 1 : 0,
                       w.toll ? 1 : 0))
            return false;
    }
    for (std::size_t i = 0; i < map.nodes.size(); ++i)
        if (!db.Insert("INSERT INTO nodes VALUES(?,?,?,?)", error, i, map.nodes[i].lat,
                       map.nodes[i].lon, map.nodeIntersection[i]))
            return false;
    for (std::size_t i = 0; i < map.edges.size(); ++i) {
        const Edge& e = map.edges[i];
        std::string blob;
        for (const Point& p : e.points)
            format::PutPoint(blob, p);
        if (!db.Insert("INSERT INTO edges VALUES(?,?,?,?,?,?)", error, i, e.way, e.from, e.to,
                       e.length, OutputDb::Blob{blob}) ||
            !db.Insert("INSERT INTO edge_index VALUES(?,?,?,?,?)", error, i, e.minLat, e.maxLat,
                       e.minLon, e.maxLon))
            return false;
    }
    for (std::size_t i = 0; i < map.intersections.size(); ++i) {
        const Intersection& x = map.intersections[i];
        if (!db.Insert("INSERT INTO intersections VALUES(?,?,?,?)", error, i, x.at.lat, x.at.lon,
                       x.kind) ||
            !db.Insert("INSERT INTO intersection_index VALUES(?,?,?,?,?)", error, i, x.at.lat,
                       x.at.lat, x.at.lon, x.at.lon))
            return false;
    }
    for (std::size_t i = 0; i < map.restrictions.size(); ++i) {
        const Restriction& r = map.restrictions[i];
        if (!db.Insert("INSERT INTO restrictions VALUES(?,?,?,?,?)", error, i, r.from, r.via, r.to,
                       r.only ? 1 : 0))
            return false;
    }
    for (std::size_t i = 0; i < map.addresses.size(); ++i) {
        const Address& a = map.addresses[i];
        if (!db.Insert("INSERT INTO addresses VALUES(?,?,?,?,?,?,?,?,?,?,?,?)", error, i, a.street,
                       a.edge, a.offset, a.side, a.number, LeadingNumber(a.number), a.at.lat,
                       a.at.lon, a.postcode, a.city, a.source))
            return false;
    }
    for (std::size_t i = 0; i < map.areas.size(); ++i) {
        const AreaRec& a = map.areas[i];
        if (!db.Insert("INSERT INTO areas VALUES(?,?,?,?,?,?)", error, i, a.kind, a.adminLevel,
                       a.name, a.size, OutputDb::Blob{format::EncodeRings(a.rings)}) ||
            !db.Insert("INSERT INTO area_index VALUES(?,?,?,?,?)", error, i, a.minLat, a.maxLat,
                       a.minLon, a.maxLon))
            return false;
    }
    for (std::size_t i = 0; i < map.places.size(); ++i) {
        const PlaceRec& p = map.places[i];
        if (!db.Insert("INSERT INTO places VALUES(?,?,?,?,?)", error, i, p.kind, p.name, p.at.lat,
                       p.at.lon))
            return false;
    }
    return db.Finish(error);
}

} // namespace gpsmap::build
