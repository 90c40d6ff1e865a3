#include "Handlers.h"

namespace gpsmap::build {

void AddressHandler::node(const osmium::Node& node) {
    const osmium::TagList& tags = node.tags();
    if (tags.empty() || !node.location().valid()) return;
    std::string number = Tag(tags, "addr:housenumber");
    if (number.empty()) return;
    AddressNode a{number, Tag(tags, "addr:street"), Tag(tags, "addr:postcode"),
                  Tag(tags, "addr:city"), Tag(tags, "addr:state")};
    addresses.push_back({node.id(), a.number, a.street, a.postcode, a.city, a.state,
                         Point{node.location().lat(), node.location().lon()}, format::kFromPoint});
    numberedNodes.emplace(node.id(), std::move(a));
}

void AddressHandler::way(const osmium::Way& way) {
    const osmium::TagList& tags = way.tags();
    if (tags.empty()) return;
    std::string interpolation = Tag(tags, "addr:interpolation");
    if (!interpolation.empty()) {
        InterpolationRec line{way.id(), interpolation, Tag(tags, "addr:street"), {}, {}};
        if (WayGeometry(way, &line.nodes, &line.points)) interpolations.push_back(std::move(line));
    }
    std::string number = Tag(tags, "addr:housenumber");
    Point centre;
    if (!number.empty() && ClosedWayCentre(way, &centre))
        addresses.push_back({kWayKeyOffset + way.id(), number, Tag(tags, "addr:street"),
                             Tag(tags, "addr:postcode"), Tag(tags, "addr:city"),
                             Tag(tags, "addr:state"), centre, format::kFromBuilding});
}

} // namespace gpsmap::build
