// The profiles' prices of the ways: what a metre of each way costs the walking or the driving
// profile under the route preferences that change it (docs/routing.md, "Costs").
#include <algorithm>
#include <limits>
#include <string_view>

#include "Router.h"

namespace gpsmap {
namespace {

constexpr double kWalkSpeed = 1.4;            // metres per second
constexpr double kShortestSpeed = 50.0 / 3.6; // metres per second: "shortest" costs length only
constexpr double kAvoid = 5.0;                // "avoid if possible": five times as costly
constexpr double kPrefer = 0.5;               // preferred freeways: half the cost

bool IsFreeway(std::string_view cls) {
    return cls == "motorway" || cls == "motorway_link";
}

// km/h where a way has no maxspeed.
double ClassSpeed(std::string_view cls) {
    struct Speed {
        const char* cls;
        double kmh;
    };
    static const Speed kSpeeds[] = {
        {"motorway", 110},  {"trunk", 90},        {"primary", 70},        {"secondary", 60},
        {"tertiary", 50},   {"unclassified", 40}, {"residential", 30},    {"living_street", 10},
        {"service", 20},    {"road", 30},         {"track", 15},          {"motorway_link", 60},
        {"trunk_link", 50}, {"primary_link", 40}, {"secondary_link", 40}, {"tertiary_link", 30},
    };
    for (const Speed& s : kSpeeds)
        if (cls == s.cls) return s.kmh;
    return 20.0;
}

} // namespace

void WorkOutPrices(const MapData& map, const RouteRequest& request, int layers, ProfileCosts* out) {
    const RoutePreferences& p = request.preferences;
    out->minPerMetre = std::numeric_limits<double>::infinity();
    out->walk = WalkCosts{};
    out->oneway.assign(map.WayCount(), 0);
    out->walk.Prepare(map);
    for (int layer = 0; layer < layers; ++layer) {
        const bool car = !request.walking && layer == 0;
        std::vector<double>& cost = out->perMetre[layer];
        cost.assign(map.WayCount(), -1.0);
        for (std::size_t i = 0; i < map.WayCount(); ++i) {
            const Way& w = map.Way(static_cast<int>(i));
            out->oneway[i] = static_cast<signed char>(std::clamp(w.oneway, -1, 1));
            double c;
            if (!car) {
                const double factor = out->walk.Road(static_cast<int>(i), w);
                if (!w.foot) continue;
                c = factor / kWalkSpeed;
            } else {
                if (!w.car) continue;
                double kmh = w.maxspeed > 0 ? w.maxspeed : ClassSpeed(w.cls);
                c = p.vehicleMode == 1 ? 1.0 / kShortestSpeed : 3.6 / std::max(5.0, kmh);
                if (IsFreeway(w.cls)) {
                    if (p.freeway == 1) continue;
                    if (p.freeway == 2) c *= kPrefer;
                    if (p.freeway == 3) c *= kAvoid;
                }
                if (w.roundabout) {
                    if (p.roundabout == 1) continue;
                    if (p.roundabout == 2) c *= kAvoid;
                }
                if (w.toll) {
                    if (p.toll == 1) continue;
                    if (p.toll == 2) c *= kAvoid;
                }
            }
            cost[i] = c;
            out->minPerMetre = std::min(out->minPerMetre, c);
        }
    }
    out->walk.Finish(map);
}

} // namespace gpsmap
