// The profiles' prices of the ways: what a metre of each way costs the walking or the driving
// profile under the route preferences that change it (docs/routing.md, "Costs").
#include <algorithm>
#include <limits>

#include "Router.h"
#include "formats/RouteSpeeds.h"

namespace gpsmap {

namespace speeds = gpslib::formats::speeds;

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
                c = factor / speeds::kWalk;
            } else {
                if (!w.car) continue;
                c = p.vehicleMode == 1 ? 1.0 / speeds::kShortest
                                       : speeds::FastestPerMetre(w.cls, w.maxspeed);
                if (speeds::IsFreeway(w.cls)) {
                    if (p.freeway == 1) continue;
                    if (p.freeway == 2) c *= speeds::kPrefer;
                    if (p.freeway == 3) c *= speeds::kAvoid;
                }
                if (w.roundabout) {
                    if (p.roundabout == 1) continue;
                    if (p.roundabout == 2) c *= speeds::kAvoid;
                }
                if (w.toll) {
                    if (p.toll == 1) continue;
                    if (p.toll == 2) c *= speeds::kAvoid;
                }
            }
            cost[i] = c;
            out->minPerMetre = std::min(out->minPerMetre, c);
        }
    }
    out->walk.Finish(map);
}

} // namespace gpsmap
