#include <cmath>
#include <cstdlib>
#include <cstring>
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

// What a way without a name is to a walker, from its tags (docs/walker-names.md). Sidewalks and
// crossings are told by their role; NameWalkways finds the footways that are either untagged.
int KindOf(const osmium::TagList& tags, const std::string& highway, int role) {
    if (role == format::kRoleSidewalk) return format::kKindSidewalk;
    if (role == format::kRoleCrossing) return format::kKindCrossing;
    if (Keyword(tags, "public_transport") == "platform" || Keyword(tags, "railway") == "platform")
        return format::kKindPlatform;
    if (Keyword(tags, "place") == "square") return format::kKindSquare;
    if (highway == "service") {
        const std::string service = Keyword(tags, "service");
        const std::pair<const char*, int> kinds[] = {{"driveway", format::kKindDriveway},
                                                     {"parking_aisle", format::kKindParkingAisle},
                                                     {"alley", format::kKindAlley},
                                                     {"drive-through", format::kKindDriveThrough},
                                                     {"drive_through", format::kKindDriveThrough}};
        for (const auto& [word, kind] : kinds)
            if (service == word) return kind;
        return format::kKindServiceRoad;
    }
    const std::pair<const char*, int> kinds[] = {{"steps", format::kKindSteps},
                                                 {"footway", format::kKindFootway},
                                                 {"path", format::kKindPath},
                                                 {"cycleway", format::kKindCycleway},
                                                 {"track", format::kKindTrack},
                                                 {"bridleway", format::kKindBridleway},
                                                 {"pedestrian", format::kKindPedestrian},
                                                 {"residential", format::kKindSideStreet},
                                                 {"living_street", format::kKindSideStreet},
                                                 {"unclassified", format::kKindMinorRoad},
                                                 {"tertiary", format::kKindMainRoad},
                                                 {"secondary", format::kKindMainRoad},
                                                 {"primary", format::kKindMainRoad},
                                                 {"trunk", format::kKindMainRoad},
                                                 {"motorway", format::kKindMotorway}};
    for (const auto& [word, kind] : kinds)
        if (highway == word) return kind;
    if (highway.size() > 5 && highway.compare(highway.size() - 5, 5, "_link") == 0)
        return format::kKindSlipRoad;
    return format::kKindNone;
}

// The sidewalks the road's tags give it (format::WalkFact): one on either side of the road
// itself wins over separately mapped ones, which win over none.
std::uint32_t SidewalkOf(const osmium::TagList& tags) {
    const std::string all = Keyword(tags, "sidewalk");
    const std::string sides[] = {Keyword(tags, "sidewalk:both"), Keyword(tags, "sidewalk:left"),
                                 Keyword(tags, "sidewalk:right")};
    auto any = [&](std::initializer_list<std::string_view> values) {
        if (IsOneOf(all, values)) return true;
        for (const std::string& side : sides)
            if (IsOneOf(side, values)) return true;
        return false;
    };
    if (any({"both", "left", "right", "yes"})) return format::kWalkSidewalk;
    if (any({"separate"})) return format::kWalkSeparate;
    const bool none = IsOneOf(all, {"no", "none"}) || IsOneOf(sides[0], {"no", "none"}) ||
                      (IsOneOf(sides[1], {"no", "none"}) && IsOneOf(sides[2], {"no", "none"}));
    return none ? std::uint32_t{format::kWalkNoSidewalk} : 0u;
}

} // namespace

void StreetHandler::way(const osmium::Way& way) {
    const osmium::TagList& tags = way.tags();
    if (tags.empty()) return;
    std::string highway = Keyword(tags, "highway");
    if (kHighways.count(highway) == 0 || Keyword(tags, "area") == "yes") return;
    WayRec w;
    if (!WayGeometry(way, &w.nodes, &w.points)) return;
    w.id = way.id();
    w.name = Tag(tags, "name");
    w.ref = Tag(tags, "ref");
    w.cls = highway;
    std::string footway = Keyword(tags, "footway"), path = Keyword(tags, "path"),
                cycleway = Keyword(tags, "cycleway");
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
    // Access: the most specific tag present decides (foot, else access; motorcar, else
    // motor_vehicle, else vehicle, else access).
    auto closed = [](const std::string& v) {
        return IsOneOf(v, {"no", "private", "agricultural", "forestry", "delivery", "emergency",
                           "use_sidepath", "discouraged"});
    };
    auto open = [](const std::string& v) {
        return IsOneOf(v, {"yes", "designated", "permissive", "destination", "customers"});
    };
    std::string access = Tag(tags, "access"), foot = Tag(tags, "foot");
    std::string footRule = foot.empty() ? access : foot;
    w.foot = !(closed(footRule) || IsOneOf(highway, {"motorway", "motorway_link", "busway"}) ||
               Tag(tags, "motorroad") == "yes") ||
             (!foot.empty() && open(foot));
    w.footTagged = !foot.empty() && open(foot);
    w.walk = SidewalkOf(tags);
    std::string carRule = Tag(tags, "motorcar");
    for (const char* key : {"motor_vehicle", "vehicle"})
        if (carRule.empty()) carRule = Tag(tags, key);
    if (carRule.empty()) carRule = access;
    bool carClass = !(pathLike || IsOneOf(highway, {"pedestrian", "crossing", "busway", "track"}));
    w.car = carRule.empty() ? carClass : (!closed(carRule) && (carClass || open(carRule)));
    w.toll = IsOneOf(Tag(tags, "toll"), {"yes", "true", "1"});
    w.kind = KindOf(tags, highway, w.role);
    ways.push_back(std::move(w));
}

} // namespace gpsmap::build

namespace gpsmap::build {

void RestrictionHandler::relation(const osmium::Relation& relation) {
    const osmium::TagList& tags = relation.tags();
    if (Tag(tags, "type") != "restriction") return;
    std::string kind = Tag(tags, "restriction");
    for (const char* key : {"restriction:motorcar", "restriction:motor_vehicle"})
        if (kind.empty()) kind = Tag(tags, key);
    bool only = kind.rfind("only_", 0) == 0;
    if (!only && kind.rfind("no_", 0) != 0) return;
    std::string except = Tag(tags, "except");
    if (except.find("motorcar") != std::string::npos) return;
    RestrictionRec r;
    r.only = only;
    const std::pair<const char*, int> turns[] = {
        {"left_turn", 1}, {"right_turn", 2}, {"straight_on", 3}, {"u_turn", 4}};
    for (const auto& [word, turn] : turns)
        if (kind.size() > std::strlen(word) &&
            kind.compare(kind.size() - std::strlen(word), std::string::npos, word) == 0)
            r.turn = turn;
    int from = 0, via = 0, to = 0;
    for (const osmium::RelationMember& m : relation.members()) {
        std::string_view role = m.role();
        if (role == "from" && m.type() == osmium::item_type::way)
            r.from = m.ref(), ++from;
        else if (role == "to" && m.type() == osmium::item_type::way)
            r.to = m.ref(), ++to;
        else if (role == "via")
            ++via, r.via = m.type() == osmium::item_type::node ? m.ref() : 0;
    }
    // One from, one via node, one to: via ways and broken relations are left out.
    if (from == 1 && via == 1 && to == 1 && r.via != 0) restrictions.push_back(r);
}

} // namespace gpsmap::build
