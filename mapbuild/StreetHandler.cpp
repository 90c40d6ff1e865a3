#include <cmath>
#include <cstdlib>
#include <set>

#include "Handlers.h"

namespace gpsmap::build {
namespace {

const std::set<std::string_view> kHighways = {
    "motorway",       "trunk",         "primary",       "secondary",  "tertiary",
    "unclassified",   "residential",   "living_street", "pedestrian", "service",
    "road",           "track",         "motorway_link", "trunk_link", "primary_link",
    "secondary_link", "tertiary_link", "footway",       "path",       "cycleway",
    "steps",          "bridleway",     "busway",        "crossing"};

// km/h from an OSM maxspeed value: "50", "30 mph", "50 km/h"; 0 for anything else.
double ParseSpeed(const std::string& text) {
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return 0.0;
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (!std::isfinite(v) || v <= 0 || v > 400) return 0.0;
    if (std::string_view(end).find("mph") != std::string_view::npos) v *= 1.609344;
    return v;
}

} // namespace

void StreetHandler::way(const osmium::Way& way) {
    const osmium::TagList& tags = way.tags();
    if (tags.empty()) return;
    std::string highway = Tag(tags, "highway");
    if (kHighways.count(highway) == 0 || Tag(tags, "area") == "yes") return;
    WayRec w;
    if (!WayGeometry(way, &w.nodes, &w.points)) return;
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
    else if (footway == "sidewalk" || (pathLike && (path == "sidewalk" || cycleway == "sidewalk")))
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
    ways.push_back(std::move(w));
}

} // namespace gpsmap::build
