#include <cmath>
#include <cstdlib>

#include "Handlers.h"
#include "Language.h"

namespace gpsmap::build {
namespace {

// Adds the ring with its bounds and its signed share of the area's size (degrees squared: only
// compared between areas, to pick the smallest).
void AddRing(AreaRec& rec, const osmium::NodeRefList& ring, bool outer) {
    geo::Ring r;
    r.outer = outer;
    double twice = 0;
    for (const osmium::NodeRef& ref : ring) {
        if (!ref.location().valid()) continue;
        Point p{ref.location().lat(), ref.location().lon()};
        if (!r.points.empty())
            twice += (r.points.back().lon * p.lat) - (p.lon * r.points.back().lat);
        r.points.push_back(p);
        rec.minLat = std::min(rec.minLat, p.lat), rec.maxLat = std::max(rec.maxLat, p.lat);
        rec.minLon = std::min(rec.minLon, p.lon), rec.maxLon = std::max(rec.maxLon, p.lon);
    }
    if (r.points.size() < 4) return;
    rec.size += (outer ? 1 : -1) * std::fabs(twice) / 2;
    rec.rings.push_back(std::move(r));
}

} // namespace

void AreaHandler::area(const osmium::Area& area) {
    const osmium::TagList& tags = area.tags();
    std::string boundary = Tag(tags, "boundary");
    AreaRec rec;
    rec.sortKey = area.id();
    if (boundary == "administrative") {
        rec.adminLevel = std::atoi(Tag(tags, "admin_level").c_str());
        int l = rec.adminLevel;
        rec.kind = l == 2                ? format::kAreaCountry
                   : (l == 3 || l == 4)  ? format::kAreaState
                   : (l == 5 || l == 6)  ? format::kAreaCounty
                   : (l == 7 || l == 8)  ? format::kAreaCity
                   : (l == 9 || l == 10) ? format::kAreaBorough
                                         : 0;
        rec.name = Tag(tags, "name");
        if (rec.kind == format::kAreaCountry) {
            std::string code = Tag(tags, "ISO3166-1:alpha2");
            rec.country = CountryCode(code.empty() ? Tag(tags, "ISO3166-1") : code);
        }
    } else if (boundary == "postal_code") {
        rec.kind = format::kAreaPostal;
        rec.name = Tag(tags, "postal_code");
        if (rec.name.empty()) rec.name = Tag(tags, "name");
    } else if (IsOneOf(Tag(tags, "place"), {"suburb", "neighbourhood", "quarter"})) {
        rec.kind = format::kAreaSuburb;
        rec.name = Tag(tags, "name");
    }
    if (rec.kind == 0 || rec.name.empty()) return;
    for (const osmium::OuterRing& outer : area.outer_rings()) {
        AddRing(rec, outer, true);
        for (const osmium::InnerRing& inner : area.inner_rings(outer))
            AddRing(rec, inner, false);
    }
    if (rec.rings.empty()) return;
    areas.push_back(std::move(rec));
}

} // namespace gpsmap::build
