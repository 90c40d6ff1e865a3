// Routing over one loaded map: the walking and driving profiles, the route preferences, a search
// over the map's edges taken as directed states (so that turn costs and turn restrictions count):
// through the map's route hierarchy for the default preferences, else a bidirectional A* guided
// by its route bounds; and the path cut into route points. docs/routing.md explains the costs.
//
// Thread safety: a Router is used by one call at a time; the map it reads is shared read-only.
#ifndef MAPENGINE_ROUTER_H_
#define MAPENGINE_ROUTER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "MapData.h"
#include "WalkCosts.h"

namespace gpsmap {

// The six preferences of a route configuration, as the type library numbers them.
struct RoutePreferences {
    int freeway = 0;        // 0 normal, 1 none, 2 preferred, 3 avoid if possible
    int turnVehicle = 2;    // 1 fewest, 2 favors right, 3 favors left
    int turnPedestrian = 0; // 0 automatic, 1 fewest
    int roundabout = 0;     // 0 normal, 1 none, 2 avoid if possible
    int toll = 0;           // 0 normal, 1 none, 2 avoid if possible
    int vehicleMode = 0;    // 0 fastest, 1 shortest, 2 mixed pedestrian
};

struct RouteRequest {
    Point start, end;
    bool walking = true;
    RoutePreferences preferences;
    int initialHeading = -1; // degrees the traveller faces at the start; -1 none
    bool turnsOnly = true;   // points at the turns only, else at every intersection too
    // Guided by the straight line alone, never through the map's route hierarchy or by its route
    // bounds: the search as it was before maps kept them, which finds routes of the same cost,
    // only slower.
    bool plainSearch = false;
    std::string endName, endDescription;
};

// One point of the answer: the fields of the engine's RoutePoint record.
struct RoutePointData {
    Point at;
    std::string name, description, streetForward, crossStreet;
    bool turning = false;
    int lanes = 0, orientationForward = 0, orientationReverse = 0, speed = 0;
    int featureIndex = -1;
    double distance = 0.0; // metres along the route from the previous point
};

// One piece of the path: an edge (or the part of it between the offsets `from` and `to`, metres
// along its drawing order) travelled forward (from < to) or backward.
struct RouteStep {
    int edge = 0;
    bool forward = true;
    bool walked = false; // the walking part of a driving route (mixed pedestrian)
    double from = 0.0, to = 0.0;
};

struct Route {
    const MapData* map = nullptr;
    std::vector<RouteStep> steps;
    std::vector<RoutePointData> points;
    double length = 0.0; // metres along the network, approaches to it included
    double cost = 0.0;   // the search's cost (seconds of the profile)
    int visited = 0;     // states the search settled
};

// Names the route's streets the way the engine's street answers do.
struct RouteNaming {
    std::string unnamedRoad = "Unnamed road", unnamedPath = "Unnamed path", joiner = " and ";
    bool expanded = false, detailed = false;
};

// Scratch memory of the search, kept between calls so that a route does not allocate per state.
// A profile's price of every way of one map under one set of the preferences that change it:
// worked out by the first search that needs it and kept for the next (a walk's route recomputed
// asks the same again), so that a search costs what it touches, not what the map holds.
struct ProfileCosts {
    std::uint64_t map = 0; // MapData::Serial; 0 none
    int key = -1;          // the profile and the preferences that change the prices
    std::vector<double> perMetre[2];
    std::vector<signed char> oneway;
    WalkCosts walk;
    double minPerMetre = 0.0;
    std::uint64_t used = 0;
};

// The search's memory of one direction, a slot per state, in pages allocated when the search
// first reaches one of their states and kept for the next searches: a search costs the pages it
// touches, not the map's size.
class SearchSide {
public:
    struct Slot {
        double cost = 0.0;
        int parent = -1;
        unsigned seen = 0, done = 0; // the search's stamp when reached, and when settled
    };
    // Room for `states` states (no page is allocated).
    void Fit(std::size_t states) {
        if (m_pages.size() * kPage < states) m_pages.resize(states / kPage + 1);
    }
    Slot& At(int v) {
        auto& page = m_pages[static_cast<std::size_t>(v) / kPage];
        if (!page) page = std::make_unique<Slot[]>(kPage);
        return page[static_cast<std::size_t>(v) % kPage];
    }
    // Null for a state whose page was never reached.
    const Slot* Find(int v) const {
        const auto& page = m_pages[static_cast<std::size_t>(v) / kPage];
        return page ? &page[static_cast<std::size_t>(v) % kPage] : nullptr;
    }
    // Every stamp back to 0, for when the stamps wrap.
    void Forget() {
        for (auto& page : m_pages)
            if (page)
                for (std::size_t i = 0; i < kPage; ++i)
                    page[i].seen = page[i].done = 0;
    }

private:
    static constexpr std::size_t kPage = 1024;
    std::vector<std::unique_ptr<Slot[]>> m_pages;
};

// Works out the prices of every way of `map` for the request's profile and preferences, in
// `layers` layers (RoutePrices.cpp).
void WorkOutPrices(const MapData& map, const RouteRequest& request, int layers, ProfileCosts* out);

struct RouteScratch {
    SearchSide forward, backward;
    unsigned stamp = 0;
    // The prices last worked out, the least recently used replaced.
    ProfileCosts profiles[4];
    std::uint64_t uses = 0;
};

// Finds a route on `map`; false when none (no usable street near either end, or no connection).
bool FindRoute(const MapData& map, const RouteRequest& request, const RouteNaming& naming,
               RouteScratch* scratch, Route* out);

} // namespace gpsmap

#endif // MAPENGINE_ROUTER_H_
