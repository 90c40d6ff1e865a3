#include "Handlers.h"

namespace gpsmap::build {

void PlaceHandler::node(const osmium::Node& node) {
    const osmium::TagList& tags = node.tags();
    if (tags.empty() || !node.location().valid()) return;
    std::string place = Tag(tags, "place");
    std::string name = Tag(tags, "name");
    if (!place.empty() && !name.empty() &&
        IsOneOf(place, {"city", "town", "village", "hamlet", "suburb", "neighbourhood", "quarter",
                        "borough"}))
        places.push_back({node.id(), place, name, {node.location().lat(), node.location().lon()}});
}

} // namespace gpsmap::build
