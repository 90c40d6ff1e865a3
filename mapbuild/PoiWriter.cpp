#include <algorithm>
#include <cstdint>
#include <numeric>
#include <set>
#include <vector>

#include "Stages.h"
#include "Writers.h"
#include "formats/PoiSchema.h"

namespace gpsmap::build {
namespace {

// The distance along a Hilbert curve of 2^16 x 2^16 cells over `box` of the cell holding p:
// points near each other on the ground are mostly near each other on the curve.
std::uint64_t HilbertKey(Point p, double minLat, double minLon, double spanLat, double spanLon) {
    constexpr std::uint32_t kSide = 1u << 16;
    auto cell = [&](double v, double lo, double span) {
        double f = span > 0 ? (v - lo) / span : 0.0;
        return static_cast<std::uint32_t>(std::clamp(f, 0.0, 1.0) * (kSide - 1));
    };
    std::uint32_t x = cell(p.lon, minLon, spanLon), y = cell(p.lat, minLat, spanLat);
    std::uint64_t d = 0;
    for (std::uint32_t s = kSide / 2; s > 0; s /= 2) {
        std::uint32_t rx = (x & s) ? 1 : 0, ry = (y & s) ? 1 : 0;
        d += std::uint64_t{s} * s * ((3 * rx) ^ ry);
        if (ry == 0) { // Rotate the quadrant so that the curve runs on through it.
            if (rx == 1) {
                x = kSide - 1 - x;
                y = kSide - 1 - y;
            }
            std::swap(x, y);
        }
    }
    return d;
}

// The POI keys (index + 1) in Hilbert order, ties by key.
std::vector<std::size_t> SpatialOrder(const std::vector<PoiRec>& pois) {
    double minLat = 90, maxLat = -90, minLon = 180, maxLon = -180;
    for (const PoiRec& p : pois) {
        minLat = std::min(minLat, p.at.lat), maxLat = std::max(maxLat, p.at.lat);
        minLon = std::min(minLon, p.at.lon), maxLon = std::max(maxLon, p.at.lon);
    }
    std::vector<std::pair<std::uint64_t, std::size_t>> keyed;
    keyed.reserve(pois.size());
    for (std::size_t i = 0; i < pois.size(); ++i)
        keyed.push_back(
            {HilbertKey(pois[i].at, minLat, minLon, maxLat - minLat, maxLon - minLon), i + 1});
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::size_t> order;
    order.reserve(keyed.size());
    for (const auto& [hilbert, key] : keyed)
        order.push_back(key);
    return order;
}

} // namespace

// The fields the extract has no source for (date, third-party id, tags, fax, e-mail, the flags
// and offsets) stay empty. The spatial index is filled after the rows, in the order of a Hilbert
// curve so that each of its pages covers one small area, and the word index is built from the
// rows in one pass: the schema's triggers, which would index row by row, are put back only when
// the file is finished (OutputDb).
bool WritePoiFile(const Map& map, const MapInfo& info, const std::string& path,
                  std::string* error) {
    const std::string& name = info.name;
    OutputDb db;
    if (!db.Create(path, format::kPoiApplicationId, format::kPoiFormatVersion, format::kPoiSchema,
                   error))
        return false;
    std::set<int> categories;
    for (const PoiRec& p : map.pois)
        categories.insert(p.category);
    std::string list;
    for (int c : categories) {
        list += (list.empty() ? "" : ",") + std::to_string(c);
        if (!db.Insert("INSERT INTO categories VALUES(?)", error, c)) return false;
    }
    const std::pair<const char*, std::string> meta[] = {
        {"format", std::string(format::kPoiFormatName)},
        {"version", std::to_string(format::kPoiFormatVersion)},
        {"map", name},
        {"categories", list},
        {"attribution", format::kOsmAttribution}};
    for (const auto& [key, value] : meta)
        if (!db.Insert("INSERT INTO meta VALUES(?,?)", error, key, value)) return false;
    for (std::size_t i = 0; i < map.pois.size(); ++i) {
        const PoiRec& p = map.pois[i];
        std::string city = p.city.empty() ? CityAt(map, p.at) : p.city;
        std::string postcode = p.postcode;
        if (postcode.empty())
            if (const AreaRec* a = AreaAt(map, p.at, format::kAreaPostal)) postcode = a->name;
        const AreaRec* state = AreaAt(map, p.at, format::kAreaState);
        const AreaRec* country = AreaAt(map, p.at, format::kAreaCountry);
        std::size_t key = i + 1;
        if (!db.Insert("INSERT INTO pois VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,NULL,?,"
                       "'','','','','',0,0,0,0)",
                       error, key, p.name, p.category, p.subcategory, p.at.lat, p.at.lon, p.street,
                       p.houseNumber, city, postcode, state ? state->name : std::string(),
                       country ? country->name : std::string(), p.phone, p.website, p.openingHours,
                       p.wheelchair, "", "", 0, ""))
            return false;
    }
    for (std::size_t key : SpatialOrder(map.pois)) {
        const Point at = map.pois[key - 1].at;
        if (!db.Insert("INSERT INTO poi_index VALUES(?,?,?,?,?)", error, key, at.lat, at.lat,
                       at.lon, at.lon))
            return false;
    }
    if (!db.Insert("INSERT INTO poi_text(poi_text) VALUES('rebuild')", error)) return false;
    return db.Finish(error);
}

} // namespace gpsmap::build
