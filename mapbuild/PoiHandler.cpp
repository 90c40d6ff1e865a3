#include "Categories.h"
#include "Handlers.h"

namespace gpsmap::build {

void PoiHandler::node(const osmium::Node& node) {
    if (node.tags().empty() || !node.location().valid()) return;
    Add(node.tags(), node.id(), Point{node.location().lat(), node.location().lon()});
}

void PoiHandler::way(const osmium::Way& way) {
    Point centre;
    if (ClosedWayCentre(way, &centre)) Add(way.tags(), kWayKeyOffset + way.id(), centre);
}

void PoiHandler::Add(const osmium::TagList& tags, OsmId key, Point at) {
    Category c = Categorize([&](const char* k) { return tags.get_value_by_key(k); });
    if (c.category == 0) return;
    PoiRec p;
    p.sortKey = key;
    p.name = Tag(tags, "name");
    p.category = c.category;
    p.subcategory = c.subcategory;
    p.at = at;
    p.street = Tag(tags, "addr:street");
    p.houseNumber = Tag(tags, "addr:housenumber");
    p.city = Tag(tags, "addr:city");
    p.postcode = Tag(tags, "addr:postcode");
    p.phone = Tag(tags, "phone");
    if (p.phone.empty()) p.phone = Tag(tags, "contact:phone");
    p.website = Tag(tags, "website");
    if (p.website.empty()) p.website = Tag(tags, "contact:website");
    p.openingHours = Tag(tags, "opening_hours");
    p.wheelchair = Tag(tags, "wheelchair");
    pois.push_back(std::move(p));
}

} // namespace gpsmap::build
