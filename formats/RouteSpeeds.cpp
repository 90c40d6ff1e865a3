#include "formats/RouteSpeeds.h"

#include <algorithm>
#include <cstdio>

#include "formats/MapFile.h"

namespace gpslib::formats::speeds {
namespace {

struct Speed {
    const char* cls;
    double kmh;
};
constexpr Speed kSpeeds[] = {
    {"motorway", 110},  {"trunk", 90},        {"primary", 70},        {"secondary", 60},
    {"tertiary", 50},   {"unclassified", 40}, {"residential", 30},    {"living_street", 10},
    {"service", 20},    {"road", 30},         {"track", 15},          {"motorway_link", 60},
    {"trunk_link", 50}, {"primary_link", 40}, {"secondary_link", 40}, {"tertiary_link", 30},
};
constexpr double kOtherClass = 20.0;

// A metre of road, as a multiple of a metre of footway, by what the walker has beside the
// carriageway: a sidewalk on the road itself, sidewalks mapped as ways of their own (the walker
// belongs on those), nothing known, none (sidewalk=no). Every other way walkers may use costs 1.
// A factor above 1.25 on trunk and primary roads keeps a walker off them wherever a way with a
// sidewalk or a footway at most 25 % longer exists.
struct RoadCost {
    const char* cls;
    bool major; // crossing it costs as its crossing's control says
    double sidewalk, separate, unknown, none;
};
constexpr RoadCost kRoadCosts[] = {
    {"trunk", true, 1.0, 2.0, 1.5, 2.0},     {"trunk_link", true, 1.0, 2.0, 1.5, 2.0},
    {"primary", true, 1.0, 2.0, 1.5, 2.0},   {"primary_link", true, 1.0, 2.0, 1.5, 2.0},
    {"secondary", true, 1.0, 1.5, 1.2, 1.5}, {"secondary_link", true, 1.0, 1.5, 1.2, 1.5},
    {"tertiary", false, 1.0, 1.2, 1.1, 1.3}, {"tertiary_link", false, 1.0, 1.2, 1.1, 1.3},
    {"steps", false, 1.2, 1.2, 1.2, 1.2},
};
constexpr double kSlowest = 5.0; // km/h: a lower maxspeed is read as this

} // namespace

bool IsFreeway(std::string_view cls) {
    return cls == "motorway" || cls == "motorway_link";
}

double ClassSpeed(std::string_view cls) {
    for (const Speed& s : kSpeeds)
        if (cls == s.cls) return s.kmh;
    return kOtherClass;
}

double FastestPerMetre(std::string_view cls, double maxspeed) {
    const double kmh = maxspeed > 0 ? maxspeed : ClassSpeed(cls);
    return 3.6 / std::max(kSlowest, kmh);
}

double WalkFactor(std::string_view cls, std::uint32_t walk, bool* major) {
    const RoadCost* row = nullptr;
    for (const RoadCost& r : kRoadCosts)
        if (cls == r.cls) row = &r;
    if (major != nullptr) *major = row != nullptr && row->major;
    if (row == nullptr) return 1.0;
    if ((walk & kWalkFacts) == 0) return row->sidewalk; // only steps cost more on an older map
    if ((walk & kWalkSidewalk) != 0) return row->sidewalk;
    if ((walk & kWalkSeparate) != 0) return row->separate;
    return (walk & kWalkNoSidewalk) != 0 ? row->none : row->unknown;
}

double BoundPerMetre(bool walking, std::string_view cls, double maxspeed, std::uint32_t walk) {
    return walking ? WalkFactor(cls, walk) / kWalk : FastestPerMetre(cls, maxspeed);
}

std::string BoundsPricesKey() {
    std::string key;
    char number[128];
    for (double v : {kWalk, kShortest, kPrefer, kOtherClass, kSlowest}) {
        std::snprintf(number, sizeof number, "%.9g;", v);
        key += number;
    }
    for (const Speed& s : kSpeeds) {
        std::snprintf(number, sizeof number, "=%.9g;", s.kmh);
        key += s.cls;
        key += number;
    }
    for (const RoadCost& r : kRoadCosts) {
        std::snprintf(number, sizeof number, "=%.9g/%.9g/%.9g/%.9g;", r.sidewalk, r.separate,
                      r.unknown, r.none);
        key += r.cls;
        key += number;
    }
    return key;
}

std::string RouteCostsKey() {
    std::string key = BoundsPricesKey();
    char number[32];
    for (double v : {kVehicleTurn, kAcrossTraffic, kFewestVehicle, kFewestPedestrian, kDeadEndUTurn,
                     kStartUTurnVehicle, kStartUTurnPedestrian, kShortestTurns, kParking,
                     kCrossing[0], kCrossing[1], kCrossing[2], kCrossing[3]}) {
        std::snprintf(number, sizeof number, "%.9g;", v);
        key += number;
    }
    return key + "rules=" + std::to_string(kCostRules);
}

} // namespace gpslib::formats::speeds
