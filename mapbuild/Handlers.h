// The libosmium handlers of the compiler, one per concern. Each keeps what it needs of the
// objects it is handed and nothing else; the read stage (Extract.cpp) chains them in its passes.
#ifndef MAPBUILD_HANDLERS_H_
#define MAPBUILD_HANDLERS_H_

#include <cstddef>
#include <osmium/handler.hpp>
#include <osmium/osm.hpp>
#include <string>
#include <unordered_map>
#include <vector>

#include "Compiler.h"
#include "Records.h"

namespace gpsmap::build {

// A tag's value; empty when the object does not have it.
std::string Tag(const osmium::TagList& tags, const char* key);

// The way's nodes with a location, repeated nodes dropped. False when fewer than two remain.
bool WayGeometry(const osmium::Way& way, std::vector<OsmId>* ids, std::vector<Point>* points);

// The centre of a closed way that is no highway (a building or another area), where its address
// or POI is placed. False for every other way.
bool ClosedWayCentre(const osmium::Way& way, Point* centre);

// The newest timestamp of every object read (the files carry it, so the same extract always
// gives the same files) and a progress line every 500000 objects.
class ObjectStats : public osmium::handler::Handler {
public:
    explicit ObjectStats(Progress progress) : m_progress(std::move(progress)) {}
    void osm_object(const osmium::OSMObject& object);
    osmium::Timestamp newest() const { return m_newest; }

private:
    Progress m_progress;
    osmium::Timestamp m_newest;
    std::size_t m_objects = 0;
};

// A tag's value as a keyword: lower case, and of a `;` list the first value ("Sidewalk;crossing"
// is "sidewalk").
std::string Keyword(const osmium::TagList& tags, const char* key);

// Highway ways of the road and path classes, with their role, direction, access and what they
// are to a walker. (The crossing nodes are the crossing handler's: Crossings.h.)
class StreetHandler : public osmium::handler::Handler {
public:
    void way(const osmium::Way& way);
    std::vector<WayRec> ways;
};

// Turn restrictions for drivers (type=restriction relations, no_* and only_*, via a node).
class RestrictionHandler : public osmium::handler::Handler {
public:
    void relation(const osmium::Relation& relation);
    std::vector<RestrictionRec> restrictions;
};

// House numbers: numbered nodes, numbered buildings (at their centre) and interpolation lines.
class AddressHandler : public osmium::handler::Handler {
public:
    void node(const osmium::Node& node);
    void way(const osmium::Way& way);
    std::vector<AddressRec> addresses;
    std::vector<InterpolationRec> interpolations;
    std::unordered_map<OsmId, AddressNode> numberedNodes;
};

// Points of interest on nodes and closed ways, in the system's categories.
class PoiHandler : public osmium::handler::Handler {
public:
    void node(const osmium::Node& node);
    void way(const osmium::Way& way);
    std::vector<PoiRec> pois;

private:
    void Add(const osmium::TagList& tags, OsmId key, Point at);
};

// Named place nodes: the city of a position where no boundary says.
class PlaceHandler : public osmium::handler::Handler {
public:
    void node(const osmium::Node& node);
    std::vector<PlaceRec> places;
};

// Administrative boundaries, postal areas and suburbs, from the areas the assembler builds.
class AreaHandler : public osmium::handler::Handler {
public:
    void area(const osmium::Area& area);
    std::vector<AreaRec> areas;
};

} // namespace gpsmap::build

#endif // MAPBUILD_HANDLERS_H_
