#include <cctype>

#include "Handlers.h"

namespace gpsmap::build {

// Without the blanks a mapper typed before or after the value: "9493 " is the postal code 9493,
// and one street is not two streets for a trailing blank.
std::string Tag(const osmium::TagList& tags, const char* key) {
    const char* v = tags.get_value_by_key(key);
    if (v == nullptr) return std::string();
    std::string_view value(v);
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!value.empty() && blank(value.front()))
        value.remove_prefix(1);
    while (!value.empty() && blank(value.back()))
        value.remove_suffix(1);
    return std::string(value);
}

std::string Keyword(const osmium::TagList& tags, const char* key) {
    std::string value = Tag(tags, key);
    value = value.substr(0, value.find(';'));
    while (!value.empty() && value.back() == ' ')
        value.pop_back();
    for (char& c : value)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return value;
}

bool WayGeometry(const osmium::Way& way, std::vector<OsmId>* ids, std::vector<Point>* points) {
    ids->clear();
    points->clear();
    for (const osmium::NodeRef& ref : way.nodes()) {
        if (!ref.location().valid()) continue;
        if (!ids->empty() && ids->back() == ref.ref()) continue;
        ids->push_back(ref.ref());
        points->push_back({ref.location().lat(), ref.location().lon()});
    }
    return points->size() >= 2;
}

bool ClosedWayCentre(const osmium::Way& way, Point* centre) {
    if (way.tags().empty() || !Tag(way.tags(), "highway").empty()) return false;
    std::vector<OsmId> ids;
    std::vector<Point> points;
    if (!WayGeometry(way, &ids, &points) || ids.front() != ids.back() || points.size() < 4)
        return false;
    Point c;
    for (std::size_t i = 0; i + 1 < points.size(); ++i)
        c.lat += points[i].lat, c.lon += points[i].lon;
    c.lat /= static_cast<double>(points.size() - 1);
    c.lon /= static_cast<double>(points.size() - 1);
    *centre = c;
    return true;
}

void ObjectStats::osm_object(const osmium::OSMObject& object) {
    if (object.timestamp() > m_newest) m_newest = object.timestamp();
    if (++m_objects % 500000 == 0 && m_progress)
        m_progress("  " + std::to_string(m_objects) + " objects read");
}

} // namespace gpsmap::build
