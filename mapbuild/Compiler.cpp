// The compiler runs libosmium over the extract twice (relations for the area assembler, then
// everything), collects what it keeps into plain vectors, builds the street graph, the street
// groups, the intersections and the address assignment, and writes the three SQLite files.
// docs/maps.md explains the choices; mapengine/MapFormat.h owns the map file's schema.
#include "Compiler.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <numeric>
#include <optional>
#include <osmium/area/assembler.hpp>
#include <osmium/area/multipolygon_manager.hpp>
#include <osmium/handler.hpp>
#include <osmium/handler/node_locations_for_ways.hpp>
#include <osmium/index/map/flex_mem.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/relations/relations_manager.hpp>
#include <osmium/visitor.hpp>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Categories.h"
#include "database/PoiSchema.h"
#include "mapengine/Geo.h"
#include "mapengine/MapFormat.h"

namespace gpsmap::build {
namespace {

using geo::Point;
using OsmId = osmium::object_id_type;

// ---- What is collected ------------------------------------------------------------------------

struct WayRec {
    OsmId id = 0;
    std::string name, ref, cls;
    int role = format::kRoleStreet;
    int oneway = 0, lanes = 0;
    double maxspeed = 0.0;
    bool roundabout = false, foot = true, car = true;
    std::vector<OsmId> nodes;
    std::vector<Point> points;
};

struct AddressRec {
    OsmId sortKey = 0; // the object's id, nodes before ways
    std::string number, street, postcode, city, state;
    Point at;
    int source = format::kFromPoint;
};

struct InterpolationRec {
    OsmId id = 0;
    std::string step; // odd, even, all or a number
    std::string street;
    std::vector<OsmId> nodes;
    std::vector<Point> points;
};

struct AddressNode {
    std::string number, street, postcode, city, state;
};

struct PoiRec {
    OsmId sortKey = 0;
    std::string name;
    int category = 0, subcategory = 0;
    Point at;
    std::string street, houseNumber, city, postcode, phone, website, openingHours, wheelchair;
};

struct PlaceRec {
    OsmId id = 0;
    std::string kind, name;
    Point at;
};

struct AreaRec {
    OsmId sortKey = 0;
    int kind = 0, adminLevel = 0;
    std::string name;
    std::vector<geo::Ring> rings;
    double minLat = 90, maxLat = -90, minLon = 180, maxLon = -180, size = 0;
};

std::string Tag(const osmium::TagList& tags, const char* key) {
    const char* v = tags.get_value_by_key(key);
    return v ? std::string(v) : std::string();
}

bool IsOneOf(std::string_view v, std::initializer_list<std::string_view> set) {
    return std::find(set.begin(), set.end(), v) != set.end();
}

// km/h from an OSM maxspeed value: "50", "30 mph", "50 km/h"; 0 for anything else.
double ParseSpeed(const std::string& text) {
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return 0.0;
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (!std::isfinite(v) || v <= 0 || v > 400) return 0.0;
    if (std::string_view(end).find("mph") != std::string_view::npos) v *= 1.609344;
    return v;
}

int LeadingNumber(const std::string& text) {
    long v = 0;
    std::size_t i = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && v < 100000000)
        v = v * 10 + (text[i++] - '0');
    return static_cast<int>(v);
}

const std::set<std::string_view> kHighways = {
    "motorway",       "trunk",         "primary",       "secondary",  "tertiary",
    "unclassified",   "residential",   "living_street", "pedestrian", "service",
    "road",           "track",         "motorway_link", "trunk_link", "primary_link",
    "secondary_link", "tertiary_link", "footway",       "path",       "cycleway",
    "steps",          "bridleway",     "busway",        "crossing"};

class Collector : public osmium::handler::Handler {
public:
    std::vector<WayRec> ways;
    std::vector<AddressRec> addresses;
    std::vector<InterpolationRec> interpolations;
    std::unordered_map<OsmId, AddressNode> addressNodes;
    std::vector<PoiRec> pois;
    std::vector<PlaceRec> places;
    std::vector<AreaRec> areas;
    osmium::Timestamp newest;
    std::size_t objects = 0;
    Progress progress;

    void osm_object(const osmium::OSMObject& object) {
        if (object.timestamp() > newest) newest = object.timestamp();
        if (++objects % 500000 == 0 && progress)
            progress("  " + std::to_string(objects) + " objects read");
    }

    void node(const osmium::Node& node) {
        const osmium::TagList& tags = node.tags();
        if (tags.empty() || !node.location().valid()) return;
        Point at{node.location().lat(), node.location().lon()};
        std::string number = Tag(tags, "addr:housenumber");
        if (!number.empty()) {
            AddressNode a{number, Tag(tags, "addr:street"), Tag(tags, "addr:postcode"),
                          Tag(tags, "addr:city"), Tag(tags, "addr:state")};
            addresses.push_back({node.id(), a.number, a.street, a.postcode, a.city, a.state, at,
                                 format::kFromPoint});
            addressNodes.emplace(node.id(), std::move(a));
        }
        std::string place = Tag(tags, "place");
        std::string name = Tag(tags, "name");
        if (!place.empty() && !name.empty() &&
            IsOneOf(place, {"city", "town", "village", "hamlet", "suburb", "neighbourhood",
                            "quarter", "borough"}))
            places.push_back({node.id(), place, name, at});
        AddPoi(tags, node.id(), at);
    }

    void way(const osmium::Way& way) {
        const osmium::TagList& tags = way.tags();
        if (tags.empty()) return;
        std::vector<OsmId> ids;
        std::vector<Point> points;
        for (const osmium::NodeRef& ref : way.nodes()) {
            if (!ref.location().valid()) continue;
            if (!ids.empty() && ids.back() == ref.ref()) continue;
            ids.push_back(ref.ref());
            points.push_back({ref.location().lat(), ref.location().lon()});
        }
        if (points.size() < 2) return;
        std::string highway = Tag(tags, "highway");
        std::string area = Tag(tags, "area");
        if (kHighways.count(highway) != 0 && area != "yes") AddHighway(way, highway, ids, points);
        std::string interpolation = Tag(tags, "addr:interpolation");
        if (!interpolation.empty())
            interpolations.push_back(
                {way.id(), interpolation, Tag(tags, "addr:street"), ids, points});
        if (ids.front() == ids.back() && points.size() >= 4 && highway.empty()) {
            // A closed way: a building or another area with an address or a POI, at its centre.
            Point c;
            for (std::size_t i = 0; i + 1 < points.size(); ++i)
                c.lat += points[i].lat, c.lon += points[i].lon;
            c.lat /= static_cast<double>(points.size() - 1);
            c.lon /= static_cast<double>(points.size() - 1);
            std::string number = Tag(tags, "addr:housenumber");
            OsmId key = (OsmId{1} << 40) + way.id();
            if (!number.empty())
                addresses.push_back({key, number, Tag(tags, "addr:street"),
                                     Tag(tags, "addr:postcode"), Tag(tags, "addr:city"),
                                     Tag(tags, "addr:state"), c, format::kFromBuilding});
            AddPoi(tags, key, c);
        }
    }

    void area(const osmium::Area& area) {
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

private:
    static void AddRing(AreaRec& rec, const osmium::NodeRefList& ring, bool outer) {
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

    void AddHighway(const osmium::Way& way, const std::string& highway, std::vector<OsmId> ids,
                    std::vector<Point> points) {
        const osmium::TagList& tags = way.tags();
        WayRec w;
        w.id = way.id();
        w.name = Tag(tags, "name");
        w.ref = Tag(tags, "ref");
        w.cls = highway;
        std::string footway = Tag(tags, "footway"), path = Tag(tags, "path"),
                    cycleway = Tag(tags, "cycleway");
        bool pathLike = IsOneOf(highway, {"footway", "path", "cycleway", "steps", "bridleway"});
        if (highway == "crossing" || footway == "crossing" ||
            (pathLike && (path == "crossing" || cycleway == "crossing")))
            w.role = format::kRoleCrossing;
        else if (footway == "sidewalk" ||
                 (pathLike && (path == "sidewalk" || cycleway == "sidewalk")))
            w.role = format::kRoleSidewalk;
        else if ((highway.size() > 5 && highway.compare(highway.size() - 5, 5, "_link") == 0) ||
                 (w.name.empty() && (pathLike || highway == "service" || highway == "track")))
            w.role = format::kRoleConnector; // Link roads, and unnamed service roads and paths.
        std::string junction = Tag(tags, "junction");
        w.roundabout = junction == "roundabout" || junction == "circular";
        std::string oneway = Tag(tags, "oneway");
        if (oneway == "yes" || oneway == "1" || oneway == "true" ||
            (oneway.empty() && (w.roundabout || highway == "motorway")))
            w.oneway = 1; // Roundabouts and motorways are one-way unless tagged otherwise.
        else if (oneway == "-1" || oneway == "reverse")
            w.oneway = -1;
        w.lanes = std::clamp(std::atoi(Tag(tags, "lanes").c_str()), 0, 20);
        w.maxspeed = ParseSpeed(Tag(tags, "maxspeed"));
        std::string access = Tag(tags, "access"), foot = Tag(tags, "foot");
        bool accessNo = IsOneOf(access, {"no", "private"});
        w.foot = !(IsOneOf(foot, {"no", "private", "use_sidepath"}) || highway == "motorway" ||
                   highway == "motorway_link" ||
                   (accessNo && !IsOneOf(foot, {"yes", "designated", "permissive"})));
        std::string motor = Tag(tags, "motor_vehicle"), motorcar = Tag(tags, "motorcar");
        w.car = !(pathLike || IsOneOf(highway, {"pedestrian", "crossing", "busway"}) || accessNo ||
                  IsOneOf(motor, {"no", "private"}) || IsOneOf(motorcar, {"no", "private"}));
        w.nodes = std::move(ids);
        w.points = std::move(points);
        ways.push_back(std::move(w));
    }

    void AddPoi(const osmium::TagList& tags, OsmId key, Point at) {
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
};

// ---- Union-find -------------------------------------------------------------------------------

struct UnionFind {
    explicit UnionFind(std::size_t n) : parent(n) { std::iota(parent.begin(), parent.end(), 0); }
    std::size_t Find(std::size_t x) {
        while (parent[x] != x)
            x = parent[x] = parent[parent[x]];
        return x;
    }
    void Union(std::size_t a, std::size_t b) {
        a = Find(a), b = Find(b);
        if (a != b) parent[std::max(a, b)] = std::min(a, b);
    }
    std::vector<std::size_t> parent;
};

// ---- The built map ----------------------------------------------------------------------------

struct Edge {
    int way = 0, from = 0, to = 0;
    double length = 0;
    std::vector<Point> points;
    double minLat = 0, maxLat = 0, minLon = 0, maxLon = 0;
};

struct Intersection {
    Point at;
    int kind = 0;
};

struct Address {
    int street = 0, edge = 0, side = 0, source = 0;
    double offset = 0;
    std::string number, postcode, city, state;
    Point at;
};

struct Street {
    std::string name, ref, city, postcode, state;
};

struct Map {
    std::vector<WayRec> ways;   // sorted by OSM id
    std::vector<int> wayStreet; // street id per way
    std::vector<Street> streets;
    std::vector<Point> nodes;
    std::vector<int> nodeIntersection;
    std::vector<Edge> edges;
    std::vector<Intersection> intersections;
    std::vector<Address> addresses;
    std::vector<AreaRec> areas;
    std::vector<PlaceRec> places;
    std::vector<PoiRec> pois;
    double minLat = 90, maxLat = -90, minLon = 180, maxLon = -180;
};

// Cuts the ways at the nodes that two ways share (or one way visits twice) and at their ends.
void BuildGraph(Map& map) {
    std::unordered_map<OsmId, int> uses;
    for (const WayRec& w : map.ways) {
        for (OsmId id : w.nodes)
            ++uses[id];
        uses[w.nodes.front()] += 2;
        uses[w.nodes.back()] += 2;
    }
    std::vector<OsmId> graphIds;
    for (const auto& [id, count] : uses)
        if (count >= 2) graphIds.push_back(id);
    std::sort(graphIds.begin(), graphIds.end());
    std::unordered_map<OsmId, int> index;
    index.reserve(graphIds.size());
    for (std::size_t i = 0; i < graphIds.size(); ++i)
        index.emplace(graphIds[i], static_cast<int>(i));
    map.nodes.assign(graphIds.size(), Point{});
    for (std::size_t wi = 0; wi < map.ways.size(); ++wi) {
        const WayRec& w = map.ways[wi];
        Edge e;
        e.way = static_cast<int>(wi);
        for (std::size_t i = 0; i < w.nodes.size(); ++i) {
            auto it = index.find(w.nodes[i]);
            const Point& p = w.points[i];
            if (!e.points.empty()) e.length += geo::Distance(e.points.back(), p);
            e.points.push_back(p);
            if (it == index.end()) continue;
            map.nodes[static_cast<std::size_t>(it->second)] = p;
            if (e.points.size() == 1) {
                e.from = it->second;
                continue;
            }
            e.to = it->second;
            Edge done = std::move(e);
            e = Edge{};
            e.way = static_cast<int>(wi);
            e.from = done.to;
            e.points.push_back(p);
            done.minLat = done.maxLat = done.points[0].lat;
            done.minLon = done.maxLon = done.points[0].lon;
            for (const Point& q : done.points) {
                done.minLat = std::min(done.minLat, q.lat),
                done.maxLat = std::max(done.maxLat, q.lat);
                done.minLon = std::min(done.minLon, q.lon),
                done.maxLon = std::max(done.maxLon, q.lon);
            }
            map.minLat = std::min(map.minLat, done.minLat),
            map.maxLat = std::max(map.maxLat, done.maxLat);
            map.minLon = std::min(map.minLon, done.minLon),
            map.maxLon = std::max(map.maxLon, done.maxLon);
            map.edges.push_back(std::move(done));
        }
    }
}

std::string GroupKey(const WayRec& w) {
    if (w.role == format::kRoleSidewalk || w.role == format::kRoleCrossing) return {};
    if (!w.name.empty()) return "n:" + w.name;
    if (!w.ref.empty()) return "r:" + w.ref;
    return {};
}

// Streets: ways of one name (or reference) that touch, or whose extents come within 50 m (the
// halves of a dual carriageway); unnamed ways continue each other where only they meet, and the
// pieces of one roundabout are one street.
void BuildStreets(Map& map) {
    std::size_t n = map.ways.size();
    UnionFind uf(n);
    std::vector<std::vector<int>> wayEdgesAtNode(map.nodes.size());
    for (std::size_t i = 0; i < map.edges.size(); ++i) {
        wayEdgesAtNode[static_cast<std::size_t>(map.edges[i].from)].push_back(map.edges[i].way);
        wayEdgesAtNode[static_cast<std::size_t>(map.edges[i].to)].push_back(map.edges[i].way);
    }
    std::vector<std::string> keys(n);
    for (std::size_t i = 0; i < n; ++i)
        keys[i] = GroupKey(map.ways[i]);
    for (std::vector<int>& at : wayEdgesAtNode) {
        std::sort(at.begin(), at.end());
        at.erase(std::unique(at.begin(), at.end()), at.end());
        for (std::size_t a = 0; a < at.size(); ++a)
            for (std::size_t b = a + 1; b < at.size(); ++b) {
                const WayRec& wa = map.ways[static_cast<std::size_t>(at[a])];
                const WayRec& wb = map.ways[static_cast<std::size_t>(at[b])];
                const std::string& ka = keys[static_cast<std::size_t>(at[a])];
                const std::string& kb = keys[static_cast<std::size_t>(at[b])];
                bool same = !ka.empty() && ka == kb;
                bool roundabout = wa.roundabout && wb.roundabout && ka == kb;
                bool unnamedContinuation = ka.empty() && kb.empty() && at.size() == 2 &&
                                           wa.role == wb.role && wa.cls == wb.cls &&
                                           wa.role <= format::kRoleConnector;
                if (same || roundabout || unnamedContinuation)
                    uf.Union(static_cast<std::size_t>(at[a]), static_cast<std::size_t>(at[b]));
            }
    }
    // Components of one name whose extents come within 50 m.
    struct Box {
        double minLat = 90, maxLat = -90, minLon = 180, maxLon = -180;
    };
    std::map<std::size_t, Box> boxes;
    for (std::size_t i = 0; i < n; ++i) {
        if (keys[i].empty()) continue;
        Box& b = boxes[uf.Find(i)];
        for (const Point& p : map.ways[i].points) {
            b.minLat = std::min(b.minLat, p.lat), b.maxLat = std::max(b.maxLat, p.lat);
            b.minLon = std::min(b.minLon, p.lon), b.maxLon = std::max(b.maxLon, p.lon);
        }
    }
    std::map<std::string, std::vector<std::size_t>> rootsByKey;
    for (const auto& [root, box] : boxes)
        rootsByKey[keys[root]].push_back(root);
    for (const auto& [key, roots] : rootsByKey) {
        if (roots.size() < 2 || roots.size() > 400) continue;
        for (std::size_t a = 0; a < roots.size(); ++a)
            for (std::size_t b = a + 1; b < roots.size(); ++b) {
                const Box& x = boxes[roots[a]];
                const Box& y = boxes[roots[b]];
                double dLat = 50.0 / geo::kMetresPerDegree;
                double dLon = dLat / std::max(0.05, std::cos(geo::Radians(x.minLat)));
                if (x.minLat - dLat <= y.maxLat && y.minLat - dLat <= x.maxLat &&
                    x.minLon - dLon <= y.maxLon && y.minLon - dLon <= x.maxLon)
                    uf.Union(roots[a], roots[b]);
            }
    }
    std::map<std::size_t, int> streetOfRoot;
    map.wayStreet.assign(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
        std::size_t root = uf.Find(i);
        auto [it, added] = streetOfRoot.emplace(root, static_cast<int>(map.streets.size()));
        if (added) map.streets.push_back({map.ways[i].name, map.ways[i].ref, "", "", ""});
        map.wayStreet[i] = it->second;
    }
}

// Intersections: graph nodes where two streets meet or a street forks (streets only), then the
// close nodes of one junction clustered: the nodes of a small roundabout, and nodes joined by a
// short one-way or link edge, or by a short edge between two one-way streets (the crossings of a
// dual carriageway).
void BuildIntersections(Map& map) {
    std::size_t nodeCount = map.nodes.size();
    std::vector<std::set<int>> streetsAt(nodeCount);
    std::vector<int> ends(nodeCount, 0);
    std::vector<bool> touchesOneway(nodeCount, false);
    for (const Edge& e : map.edges) {
        const WayRec& w = map.ways[static_cast<std::size_t>(e.way)];
        if (w.role != format::kRoleStreet) continue;
        for (int node : {e.from, e.to}) {
            auto u = static_cast<std::size_t>(node);
            streetsAt[u].insert(map.wayStreet[static_cast<std::size_t>(e.way)]);
            ++ends[u];
            if (w.oneway != 0 && !w.roundabout) touchesOneway[u] = true;
        }
    }
    std::vector<bool> isIntersection(nodeCount, false);
    for (std::size_t i = 0; i < nodeCount; ++i)
        isIntersection[i] = streetsAt[i].size() >= 2 || ends[i] >= 3;

    UnionFind uf(nodeCount);
    for (const Edge& e : map.edges) {
        auto a = static_cast<std::size_t>(e.from), b = static_cast<std::size_t>(e.to);
        if (!isIntersection[a] || !isIntersection[b] || e.length > 25.0) continue;
        const WayRec& w = map.ways[static_cast<std::size_t>(e.way)];
        if (w.role == format::kRoleSidewalk || w.role == format::kRoleCrossing) continue;
        bool link = w.cls.find("_link") != std::string::npos;
        if ((w.oneway != 0 && !w.roundabout) || link || (touchesOneway[a] && touchesOneway[b]))
            uf.Union(a, b);
    }
    // Roundabouts: the street pieces of one ring, when it is small enough to be one junction.
    std::map<int, std::vector<const Edge*>> rings;
    for (const Edge& e : map.edges)
        if (map.ways[static_cast<std::size_t>(e.way)].roundabout)
            rings[map.wayStreet[static_cast<std::size_t>(e.way)]].push_back(&e);
    std::vector<bool> onRoundabout(nodeCount, false);
    std::map<std::size_t, Point> ringCentre; // by a node of the ring
    for (const auto& [street, edges] : rings) {
        double length = 0;
        Point centre;
        std::size_t points = 0;
        for (const Edge* e : edges) {
            length += e->length;
            for (std::size_t k = 0; k + 1 < e->points.size(); ++k, ++points)
                centre.lat += e->points[k].lat, centre.lon += e->points[k].lon;
        }
        if (length > 400.0 || points == 0) continue;
        std::size_t first = static_cast<std::size_t>(edges.front()->from);
        ringCentre[first] = {centre.lat / static_cast<double>(points),
                             centre.lon / static_cast<double>(points)};
        for (const Edge* e : edges)
            for (int node : {e->from, e->to}) {
                auto u = static_cast<std::size_t>(node);
                onRoundabout[u] = true;
                isIntersection[u] = true;
                uf.Union(first, u);
            }
    }
    map.nodeIntersection.assign(nodeCount, -1);
    std::map<std::size_t, int> idOfRoot;
    std::vector<std::vector<std::size_t>> members;
    for (std::size_t i = 0; i < nodeCount; ++i) {
        if (!isIntersection[i]) continue;
        auto [it, added] = idOfRoot.emplace(uf.Find(i), static_cast<int>(members.size()));
        if (added) members.emplace_back();
        members[static_cast<std::size_t>(it->second)].push_back(i);
        map.nodeIntersection[i] = it->second;
    }
    for (const std::vector<std::size_t>& m : members) {
        Intersection x;
        for (std::size_t i : m)
            x.at.lat += map.nodes[i].lat, x.at.lon += map.nodes[i].lon;
        x.at.lat /= static_cast<double>(m.size());
        x.at.lon /= static_cast<double>(m.size());
        x.kind = onRoundabout[m.front()] ? 2 : m.size() > 1 ? 1 : 0;
        // A roundabout's centre is the middle of its ring, not of the nodes where streets join.
        for (std::size_t i : m)
            if (auto it = ringCentre.find(i); it != ringCentre.end()) x.at = it->second;
        map.intersections.push_back(x);
    }
}

// A coarse grid over the edges, for tying addresses to their street.
class EdgeGrid {
public:
    static constexpr double kCell = 0.004; // degrees, about 450 m of latitude
    explicit EdgeGrid(const Map& map) {
        for (std::size_t i = 0; i < map.edges.size(); ++i) {
            const Edge& e = map.edges[i];
            int role = map.ways[static_cast<std::size_t>(e.way)].role;
            if (role == format::kRoleSidewalk || role == format::kRoleCrossing) continue;
            for (long y = Cell(e.minLat); y <= Cell(e.maxLat); ++y)
                for (long x = Cell(e.minLon); x <= Cell(e.maxLon); ++x)
                    m_cells[Key(y, x)].push_back(static_cast<int>(i));
        }
    }
    // Edges within one cell of p.
    template <class F> void Near(Point p, F f) const {
        std::unordered_set<int> seen;
        for (long y = Cell(p.lat) - 1; y <= Cell(p.lat) + 1; ++y)
            for (long x = Cell(p.lon) - 1; x <= Cell(p.lon) + 1; ++x) {
                auto it = m_cells.find(Key(y, x));
                if (it == m_cells.end()) continue;
                for (int e : it->second)
                    if (seen.insert(e).second) f(e);
            }
    }

private:
    static long Cell(double v) { return static_cast<long>(std::floor(v / kCell)); }
    static long long Key(long y, long x) {
        return static_cast<long long>((static_cast<unsigned long long>(y) << 32) ^
                                      (static_cast<unsigned long long>(x) & 0xFFFFFFFFu));
    }
    std::unordered_map<long long, std::vector<int>> m_cells;
};

struct Nearest {
    int edge = -1;
    double distance = 1e18, offset = 0, cross = 0;
};

Nearest NearestEdge(const Map& map, const EdgeGrid& grid, Point p, const std::string& street) {
    Nearest best;
    grid.Near(p, [&](int ei) {
        const Edge& e = map.edges[static_cast<std::size_t>(ei)];
        const WayRec& w = map.ways[static_cast<std::size_t>(e.way)];
        if (w.name != street && w.ref != street) return;
        double along = 0;
        for (std::size_t i = 0; i + 1 < e.points.size(); ++i) {
            geo::Projection pr = geo::Project(p, e.points[i], e.points[i + 1]);
            double seg = geo::Distance(e.points[i], e.points[i + 1]);
            if (pr.distance < best.distance) {
                best = {ei, pr.distance, along + pr.t * seg, pr.cross};
            }
            along += seg;
        }
    });
    return best;
}

void AddAddress(Map& map, const EdgeGrid& grid, const std::string& number,
                const std::string& street, const std::string& postcode, const std::string& city,
                const std::string& state, Point at, int source) {
    if (street.empty() || number.empty()) return;
    Nearest n = NearestEdge(map, grid, at, street);
    if (n.edge < 0 || n.distance > 250.0) return;
    Address a;
    a.street =
        map.wayStreet[static_cast<std::size_t>(map.edges[static_cast<std::size_t>(n.edge)].way)];
    a.edge = n.edge;
    a.offset = n.offset;
    a.side = n.cross > 0 ? format::kSideLeft : format::kSideRight;
    a.number = number;
    a.postcode = postcode;
    a.city = city;
    a.state = state;
    a.at = at;
    a.source = source;
    map.addresses.push_back(std::move(a));
}

void BuildAddresses(Map& map, Collector& c) {
    EdgeGrid grid(map);
    std::sort(c.addresses.begin(), c.addresses.end(),
              [](const AddressRec& a, const AddressRec& b) { return a.sortKey < b.sortKey; });
    for (const AddressRec& a : c.addresses)
        AddAddress(map, grid, a.number, a.street, a.postcode, a.city, a.state, a.at, a.source);
    // Interpolation lines: the numbers between two numbered nodes, spread evenly along the line.
    std::sort(c.interpolations.begin(), c.interpolations.end(),
              [](const InterpolationRec& a, const InterpolationRec& b) { return a.id < b.id; });
    for (const InterpolationRec& line : c.interpolations) {
        int step = line.step == "odd" || line.step == "even" ? 2
                   : line.step == "all"                      ? 1
                                                             : std::atoi(line.step.c_str());
        if (step <= 0) continue;
        std::vector<double> along(line.points.size(), 0.0);
        for (std::size_t i = 1; i < line.points.size(); ++i)
            along[i] = along[i - 1] + geo::Distance(line.points[i - 1], line.points[i]);
        std::optional<std::size_t> previous;
        for (std::size_t i = 0; i < line.nodes.size(); ++i) {
            auto it = c.addressNodes.find(line.nodes[i]);
            if (it == c.addressNodes.end()) continue;
            if (previous) {
                const AddressNode& a = c.addressNodes[line.nodes[*previous]];
                const AddressNode& b = it->second;
                int from = LeadingNumber(a.number), to = LeadingNumber(b.number);
                std::string street = !line.street.empty() ? line.street : a.street;
                double d0 = along[*previous], d1 = along[i];
                int count = std::abs(to - from) / step;
                if (from > 0 && to > 0 && count > 1 && count < 1000 && d1 > d0) {
                    int dir = to > from ? 1 : -1;
                    for (int k = 1; k < count; ++k) {
                        int number = from + dir * k * step;
                        double target = d0 + (d1 - d0) * k / count;
                        std::size_t s = *previous;
                        while (s + 1 < i && along[s + 1] < target)
                            ++s;
                        double segment = along[s + 1] - along[s];
                        double t = segment > 0 ? (target - along[s]) / segment : 0;
                        Point p{
                            line.points[s].lat + t * (line.points[s + 1].lat - line.points[s].lat),
                            line.points[s].lon + t * (line.points[s + 1].lon - line.points[s].lon)};
                        AddAddress(map, grid, std::to_string(number), street,
                                   a.postcode.empty() ? b.postcode : a.postcode, a.city, a.state, p,
                                   format::kFromInterpolation);
                    }
                }
            }
            previous = i;
        }
    }
}

// The smallest area of a kind that holds p, or null.
const AreaRec* AreaAt(const Map& map, Point p, int kind) {
    const AreaRec* best = nullptr;
    for (const AreaRec& a : map.areas) {
        if (a.kind != kind || p.lat < a.minLat || p.lat > a.maxLat || p.lon < a.minLon ||
            p.lon > a.maxLon)
            continue;
        if ((best == nullptr || a.size < best->size) && geo::InRings(p, a.rings)) best = &a;
    }
    return best;
}

std::string CityAt(const Map& map, Point p) {
    if (const AreaRec* a = AreaAt(map, p, format::kAreaCity)) return a->name;
    const PlaceRec* best = nullptr;
    double bestDistance = 8000.0;
    for (const PlaceRec& place : map.places) {
        if (!IsOneOf(place.kind, {"city", "town", "village", "hamlet"})) continue;
        double d = geo::Distance(p, place.at);
        if (d < bestDistance) best = &place, bestDistance = d;
    }
    return best ? best->name : std::string();
}

// The value written most often (the first in text order among equals); empty when none.
std::string MostCommon(const std::map<std::string, int>* counts) {
    if (counts == nullptr || counts->empty()) return {};
    return std::max_element(counts->begin(), counts->end(),
                            [](const auto& a, const auto& b) { return a.second < b.second; })
        ->first;
}

// Each street's city, postal code and state: the areas at the middle of its first edge, else
// what its house numbers say most often (extracts cut from a larger region often lack the
// boundaries); an address's missing city and postal code from its street.
void PlaceStreets(Map& map) {
    std::vector<bool> done(map.streets.size(), false);
    std::map<int, std::map<std::string, int>> postcodes, cities, states;
    for (const Address& a : map.addresses) {
        if (!a.postcode.empty()) ++postcodes[a.street][a.postcode];
        if (!a.city.empty()) ++cities[a.street][a.city];
        if (!a.state.empty()) ++states[a.street][a.state];
    }
    auto of = [](const std::map<int, std::map<std::string, int>>& all, std::size_t s) {
        auto it = all.find(static_cast<int>(s));
        return it == all.end() ? nullptr : &it->second;
    };
    for (const Edge& e : map.edges) {
        auto s = static_cast<std::size_t>(map.wayStreet[static_cast<std::size_t>(e.way)]);
        if (done[s]) continue;
        done[s] = true;
        Point mid = e.points[e.points.size() / 2];
        Street& street = map.streets[s];
        const AreaRec* city = AreaAt(map, mid, format::kAreaCity);
        street.city = city ? city->name : MostCommon(of(cities, s));
        if (street.city.empty()) street.city = CityAt(map, mid);
        const AreaRec* postal = AreaAt(map, mid, format::kAreaPostal);
        street.postcode = postal ? postal->name : MostCommon(of(postcodes, s));
        const AreaRec* state = AreaAt(map, mid, format::kAreaState);
        street.state = state ? state->name : MostCommon(of(states, s));
    }
    for (Address& a : map.addresses) {
        const Street& street = map.streets[static_cast<std::size_t>(a.street)];
        if (a.city.empty()) a.city = street.city;
        if (a.postcode.empty()) a.postcode = street.postcode;
    }
}

// ---- Writing ----------------------------------------------------------------------------------

class Db {
public:
    bool Open(const std::string& path, std::string* error) {
        std::remove(path.c_str());
        if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK)
            return Fail(error);
        return Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN;", error);
    }
    ~Db() {
        for (auto& [sql, stmt] : m_statements)
            sqlite3_finalize(stmt);
        if (m_db) sqlite3_close(m_db);
    }
    bool Exec(std::string_view sql, std::string* error) {
        if (sqlite3_exec(m_db, std::string(sql).c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            return Fail(error);
        return true;
    }
    // Binds the values in order and steps the statement once.
    template <class... Args> bool Insert(const char* sql, std::string* error, const Args&... args) {
        sqlite3_stmt*& stmt = m_statements[sql];
        if (stmt == nullptr && sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) != SQLITE_OK)
            return Fail(error);
        sqlite3_reset(stmt);
        int i = 0;
        (Bind(stmt, ++i, args), ...);
        if (sqlite3_step(stmt) != SQLITE_DONE) return Fail(error);
        return true;
    }
    bool Close(std::string* error) {
        if (!Exec("COMMIT;", error)) return false;
        for (auto& [sql, stmt] : m_statements)
            sqlite3_finalize(stmt);
        m_statements.clear();
        int rc = sqlite3_close(m_db);
        m_db = nullptr;
        if (rc != SQLITE_OK) return *error = "cannot close the output file", false;
        return true;
    }

private:
    static void Bind(sqlite3_stmt* s, int i, int v) { sqlite3_bind_int(s, i, v); }
    static void Bind(sqlite3_stmt* s, int i, std::size_t v) {
        sqlite3_bind_int64(s, i, static_cast<sqlite3_int64>(v));
    }
    static void Bind(sqlite3_stmt* s, int i, double v) { sqlite3_bind_double(s, i, v); }
    static void Bind(sqlite3_stmt* s, int i, const std::string& v) {
        sqlite3_bind_text(s, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    static void Bind(sqlite3_stmt* s, int i, const char* v) {
        sqlite3_bind_text(s, i, v, -1, SQLITE_TRANSIENT);
    }
    struct Blob {
        const std::string& bytes;
    };
    bool Fail(std::string* error) {
        *error = m_db ? sqlite3_errmsg(m_db) : "cannot open the output file";
        return false;
    }

public:
    static void Bind(sqlite3_stmt* s, int i, const Blob& v) {
        sqlite3_bind_blob(s, i, v.bytes.data(), static_cast<int>(v.bytes.size()), SQLITE_TRANSIENT);
    }
    static Blob AsBlob(const std::string& bytes) { return Blob{bytes}; }

private:
    sqlite3* m_db = nullptr;
    std::map<std::string, sqlite3_stmt*> m_statements;
};

std::string Fmt(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.7f", v);
    return buf;
}

bool WriteMap(const Map& map, const Options& o, const std::string& name,
              const std::string& timestamp, const std::string& path, std::string* error) {
    Db db;
    if (!db.Open(path, error)) return false;
    std::string pragmas = "PRAGMA application_id=" + std::to_string(format::kApplicationId) +
                          "; PRAGMA user_version=" + std::to_string(format::kVersion) + ";";
    if (!db.Exec(pragmas, error) || !db.Exec(format::kSchema, error)) return false;
    const std::pair<const char*, std::string> meta[] = {
        {"format", "gpslib-map"},
        {"version", std::to_string(format::kVersion)},
        {"name", name},
        {"level", o.level},
        {"min_lat", Fmt(map.minLat)},
        {"min_lon", Fmt(map.minLon)},
        {"max_lat", Fmt(map.maxLat)},
        {"max_lon", Fmt(map.maxLon)},
        {"source", std::filesystem::path(o.input).filename().string()},
        {"timestamp", timestamp},
        {"attribution", "\xC2\xA9 OpenStreetMap contributors, ODbL"}};
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
        if (!db.Insert("INSERT INTO ways VALUES(?,?,?,?,?,?,?,?,?,?,?,?)", error, i,
                       map.wayStreet[i], w.name, w.ref, w.cls, w.role, w.oneway, w.lanes,
                       w.maxspeed, w.roundabout ? 1 : 0, w.foot ? 1 : 0, w.car ? 1 : 0))
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
            geo::PutPoint(blob, p);
        if (!db.Insert("INSERT INTO edges VALUES(?,?,?,?,?,?)", error, i, e.way, e.from, e.to,
                       e.length, Db::AsBlob(blob)) ||
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
                       a.name, a.size, Db::AsBlob(geo::EncodeRings(a.rings))) ||
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
    return db.Close(error);
}

const AreaRec* SmallestAt(const Map& map, Point p, int kind) {
    return AreaAt(map, p, kind);
}

bool WritePois(const Map& map, const std::string& name, const std::string& path,
               std::string* error) {
    Db db;
    if (!db.Open(path, error)) return false;
    std::string pragmas = "PRAGMA application_id=" + std::to_string(gpsdb::kPoiApplicationId) +
                          "; PRAGMA user_version=" + std::to_string(gpsdb::kPoiFormatVersion) + ";";
    if (!db.Exec(pragmas, error) || !db.Exec(gpsdb::kPoiSchema, error)) return false;
    std::set<int> categories;
    for (const PoiRec& p : map.pois)
        categories.insert(p.category);
    std::string list;
    for (int c : categories) {
        list += (list.empty() ? "" : ",") + std::to_string(c);
        if (!db.Insert("INSERT INTO categories VALUES(?)", error, c)) return false;
    }
    const std::pair<const char*, std::string> meta[] = {
        {"format", "gpslib-poi"},
        {"version", std::to_string(gpsdb::kPoiFormatVersion)},
        {"map", name},
        {"categories", list},
        {"attribution", "\xC2\xA9 OpenStreetMap contributors, ODbL"}};
    for (const auto& [key, value] : meta)
        if (!db.Insert("INSERT INTO meta VALUES(?,?)", error, key, value)) return false;
    for (std::size_t i = 0; i < map.pois.size(); ++i) {
        const PoiRec& p = map.pois[i];
        std::string city = p.city.empty() ? CityAt(map, p.at) : p.city;
        std::string postcode = p.postcode;
        if (postcode.empty())
            if (const AreaRec* a = SmallestAt(map, p.at, format::kAreaPostal)) postcode = a->name;
        const AreaRec* state = SmallestAt(map, p.at, format::kAreaState);
        const AreaRec* country = SmallestAt(map, p.at, format::kAreaCountry);
        std::size_t key = i + 1;
        // The schema's triggers fill the spatial and word indexes.
        if (!db.Insert("INSERT INTO pois VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,NULL,?,"
                       "'','','','','',0,0,0,0)",
                       error, key, p.name, p.category, p.subcategory, p.at.lat, p.at.lon, p.street,
                       p.houseNumber, city, postcode, state ? state->name : std::string(),
                       country ? country->name : std::string(), p.phone, p.website, p.openingHours,
                       p.wheelchair, "", "", 0, ""))
            return false;
    }
    return db.Close(error);
}

// The city/postal (address) database of the map (docs/formats.md, "Address database").
constexpr std::string_view kAddressSchema = R"SQL(
CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE cities(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);
CREATE TABLE postcodes(id INTEGER PRIMARY KEY, code TEXT NOT NULL UNIQUE);
CREATE TABLE streets(key INTEGER PRIMARY KEY, name TEXT NOT NULL, ref TEXT NOT NULL);
CREATE TABLE street_places(street_key INTEGER NOT NULL, city TEXT NOT NULL, postcode TEXT NOT NULL,
                           PRIMARY KEY(street_key, city, postcode)) WITHOUT ROWID;
CREATE TABLE addresses(id INTEGER PRIMARY KEY, street_key INTEGER NOT NULL, number TEXT NOT NULL,
                       value INTEGER NOT NULL, city TEXT NOT NULL, postcode TEXT NOT NULL,
                       lat REAL NOT NULL, lon REAL NOT NULL);
CREATE INDEX cities_by_name ON cities(name COLLATE NOCASE);
CREATE INDEX streets_by_name ON streets(name COLLATE NOCASE);
CREATE INDEX street_places_by_city ON street_places(city, street_key);
CREATE INDEX street_places_by_postcode ON street_places(postcode, street_key);
CREATE INDEX addresses_by_street ON addresses(street_key, value);
)SQL";
constexpr std::int32_t kAddressApplicationId = 0x47504144; // "GPAD"
constexpr int kAddressVersion = 1;

bool WriteAddressDatabase(const Map& map, const std::string& name, const std::string& path,
                          std::string* error) {
    Db db;
    if (!db.Open(path, error)) return false;
    std::string pragmas = "PRAGMA application_id=" + std::to_string(kAddressApplicationId) +
                          "; PRAGMA user_version=" + std::to_string(kAddressVersion) + ";";
    if (!db.Exec(pragmas, error) || !db.Exec(kAddressSchema, error)) return false;
    const std::pair<const char*, std::string> meta[] = {
        {"format", "gpslib-address"}, {"version", std::to_string(kAddressVersion)}, {"map", name}};
    for (const auto& [key, value] : meta)
        if (!db.Insert("INSERT INTO meta VALUES(?,?)", error, key, value)) return false;
    std::set<std::string> cities, postcodes;
    std::set<std::tuple<std::size_t, std::string, std::string>> places;
    for (std::size_t i = 0; i < map.streets.size(); ++i) {
        const Street& s = map.streets[i];
        if (s.name.empty()) continue;
        places.insert({i, s.city, s.postcode});
    }
    for (const Address& a : map.addresses)
        places.insert({static_cast<std::size_t>(a.street), a.city, a.postcode});
    for (const auto& [key, city, postcode] : places) {
        if (!city.empty()) cities.insert(city);
        if (!postcode.empty()) postcodes.insert(postcode);
    }
    for (const std::string& c : cities)
        if (!db.Insert("INSERT INTO cities(name) VALUES(?)", error, c)) return false;
    for (const std::string& c : postcodes)
        if (!db.Insert("INSERT INTO postcodes(code) VALUES(?)", error, c)) return false;
    for (std::size_t i = 0; i < map.streets.size(); ++i) {
        const Street& s = map.streets[i];
        if (s.name.empty()) continue;
        if (!db.Insert("INSERT INTO streets VALUES(?,?,?)", error, i, s.name, s.ref)) return false;
    }
    for (const auto& [key, city, postcode] : places)
        if (!map.streets[key].name.empty() &&
            !db.Insert("INSERT INTO street_places VALUES(?,?,?)", error, key, city, postcode))
            return false;
    for (std::size_t i = 0; i < map.addresses.size(); ++i) {
        const Address& a = map.addresses[i];
        if (!db.Insert("INSERT INTO addresses VALUES(?,?,?,?,?,?,?,?)", error, i, a.street,
                       a.number, LeadingNumber(a.number), a.city, a.postcode, a.at.lat, a.at.lon))
            return false;
    }
    return db.Close(error);
}

} // namespace

std::string MapNameFor(const std::string& inputPath) {
    std::string base = std::filesystem::path(inputPath).filename().string();
    base = base.substr(0, base.find('.'));
    bool wordStart = true;
    for (char& ch : base) {
        if (ch == ' ' || ch == '_' || ch == '-') {
            if (ch == ' ') ch = '_';
            wordStart = true;
            continue;
        }
        if (wordStart) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        wordStart = false;
    }
    return base.empty() ? std::string("Map") : base;
}

bool Compile(const Options& options, const Progress& progress, Counts* counts, std::string* error) {
    auto say = [&](const std::string& text) {
        if (progress) progress(text);
    };
    if (!IsOneOf(options.level, {"country", "provincial", "state", "regional"})) {
        *error = "unknown level \"" + options.level + "\" (country, provincial, state, regional)";
        return false;
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(options.input, ec)) {
        *error = options.input + ": no such file";
        return false;
    }
    if (!std::filesystem::is_directory(options.outputDirectory, ec)) {
        *error = options.outputDirectory + ": no such folder";
        return false;
    }
    std::string name = options.name.empty() ? MapNameFor(options.input) : options.name;
    std::replace(name.begin(), name.end(), ' ', '_');
    if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos) {
        *error = "the map name may not hold a folder separator";
        return false;
    }

    Map map;
    Collector collector;
    collector.progress = progress;
    try {
        osmium::io::File input{options.input};
        osmium::area::Assembler::config_type assemblerConfig;
        osmium::TagsFilter filter{false};
        filter.add_rule(true, "boundary", "administrative");
        filter.add_rule(true, "boundary", "postal_code");
        filter.add_rule(true, "place", "suburb");
        filter.add_rule(true, "place", "neighbourhood");
        filter.add_rule(true, "place", "quarter");
        osmium::area::MultipolygonManager<osmium::area::Assembler> areas{assemblerConfig, filter};
        say("reading relations");
        osmium::relations::read_relations(input, areas);
        using Index =
            osmium::index::map::FlexMem<osmium::unsigned_object_id_type, osmium::Location>;
        Index index;
        osmium::handler::NodeLocationsForWays<Index> locations{index};
        locations.ignore_errors();
        say("reading nodes and ways");
        osmium::io::Reader reader{input, osmium::io::read_meta::yes};
        osmium::apply(reader, locations, collector,
                      areas.handler([&collector](osmium::memory::Buffer&& buffer) {
                          osmium::apply(buffer, collector);
                      }));
        reader.close();
    } catch (const std::exception& e) {
        *error = options.input + ": not a readable OSM file (" + e.what() + ")";
        return false;
    }
    if (collector.ways.empty()) {
        *error = options.input + ": no streets in this extract";
        return false;
    }
    say("building the street graph");
    std::sort(collector.ways.begin(), collector.ways.end(),
              [](const WayRec& a, const WayRec& b) { return a.id < b.id; });
    map.ways = std::move(collector.ways);
    std::sort(collector.areas.begin(), collector.areas.end(),
              [](const AreaRec& a, const AreaRec& b) { return a.sortKey < b.sortKey; });
    map.areas = std::move(collector.areas);
    std::sort(collector.places.begin(), collector.places.end(),
              [](const PlaceRec& a, const PlaceRec& b) { return a.id < b.id; });
    map.places = std::move(collector.places);
    std::sort(collector.pois.begin(), collector.pois.end(),
              [](const PoiRec& a, const PoiRec& b) { return a.sortKey < b.sortKey; });
    map.pois = std::move(collector.pois);
    BuildGraph(map);
    BuildStreets(map);
    BuildIntersections(map);
    say("tying house numbers to their streets");
    BuildAddresses(map, collector);
    PlaceStreets(map);

    std::string timestamp = collector.newest.valid() ? collector.newest.to_iso() : "";
    std::filesystem::path dir(options.outputDirectory);
    const std::pair<std::string, int> outputs[] = {{".rmf", 0}, {".pdb", 1}, {".cpd", 2}};
    std::vector<std::string> written;
    for (const auto& [extension, which] : outputs) {
        std::string final = (dir / (name + extension)).string();
        std::string temporary = final + ".tmp";
        say("writing " + final);
        bool ok = which == 0   ? WriteMap(map, options, name, timestamp, temporary, error)
                  : which == 1 ? WritePois(map, name, temporary, error)
                               : WriteAddressDatabase(map, name, temporary, error);
        if (!ok) {
            *error = temporary + ": " + *error;
            std::filesystem::remove(temporary, ec);
            for (const std::string& w : written)
                std::filesystem::remove(w, ec);
            return false;
        }
        written.push_back(temporary);
    }
    for (const std::string& w : written) {
        std::filesystem::rename(w, w.substr(0, w.size() - 4), ec);
        if (ec) {
            *error = w + ": " + ec.message();
            return false;
        }
    }
    if (counts != nullptr) {
        counts->streets = map.streets.size();
        counts->ways = map.ways.size();
        counts->edges = map.edges.size();
        counts->intersections = map.intersections.size();
        counts->addresses = map.addresses.size();
        counts->areas = map.areas.size();
        counts->pois = map.pois.size();
    }
    return true;
}

} // namespace gpsmap::build
