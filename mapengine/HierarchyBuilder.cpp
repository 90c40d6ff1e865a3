// Builds the route hierarchy of a profile: contracts the search's states one by one, the state
// whose contraction adds the fewest shortcuts first, adding a shortcut between two neighbours of
// the state only where no other way between them (a witness) is as cheap. The witness searches
// are most of the work, and their time goes into reading the arc lists of the states they reach.
//
// The map is first cut in two across its longer extent where the fewest edges cross: the states
// of each side whose neighbours all lie on that side are contracted on two threads at once, each
// side's searches kept to its side, and the few states along the cut last. A contraction on one
// side then touches nothing of the other, so the threads share no state, and the hierarchy is the
// same whichever thread runs first.
#include <algorithm>
#include <cmath>
#include <queue>
#include <thread>

#include "RouteHierarchy.h"
#include "RouteStates.h"

namespace gpsmap {
namespace {

// A witness search gives up after settling this many states and then keeps the shortcut: a
// shortcut too many costs a little space, never a wrong route. The estimate of a state's
// priority looks less far than its contraction.
constexpr int kEstimateSettled = 10;
constexpr int kContractSettled = 100;

struct Arc {
    int other, middle;
    double cost;
};

class Contractor {
public:
    // `side[x]`: the side of the cut state x leaves from (0 or 1).
    Contractor(int states, std::vector<unsigned char> side)
        : m_out(static_cast<std::size_t>(states)), m_in(static_cast<std::size_t>(states)),
          m_done(static_cast<std::size_t>(states), 0),
          m_neighbours(static_cast<std::size_t>(states), 0),
          m_level(static_cast<std::size_t>(states), 0),
          m_changed(static_cast<std::size_t>(states), 0),
          m_priority(static_cast<std::size_t>(states), 0), m_side(std::move(side)),
          m_mark(static_cast<std::size_t>(states)) {}

    // A step from u to v, or a cheaper one than the arc already there.
    void Add(int u, int v, double cost, int middle) {
        // Each list is kept cheapest first, so that a search stops reading it at its limit.
        auto put = [&](std::vector<Arc>& arcs, int other) {
            for (auto it = arcs.begin(); it != arcs.end(); ++it)
                if (it->other == other) {
                    if (!(cost < it->cost)) return;
                    arcs.erase(it);
                    break;
                }
            Arc arc{other, middle, cost};
            arcs.insert(
                std::upper_bound(arcs.begin(), arcs.end(), arc,
                                 [](const Arc& a, const Arc& b) { return a.cost < b.cost; }),
                arc);
        };
        put(m_out[static_cast<std::size_t>(u)], v);
        put(m_in[static_cast<std::size_t>(v)], u);
    }

    BuiltHierarchy Run() {
        const int n = static_cast<int>(m_out.size());
        // A state with a neighbour across the cut waits for the last round; the others are
        // contracted side by side. Contracting a state joins its neighbours only, so no arc
        // across the cut appears meanwhile.
        std::vector<int> inner[2], rest;
        for (int x = 0; x < n; ++x) {
            const int side = Side(x);
            auto across = [&](const Arc& a) { return Side(a.other) != side; };
            const auto& out = m_out[static_cast<std::size_t>(x)];
            const auto& in = m_in[static_cast<std::size_t>(x)];
            const bool cut = std::any_of(out.begin(), out.end(), across) ||
                             std::any_of(in.begin(), in.end(), across);
            (cut ? rest : inner[static_cast<std::size_t>(side)]).push_back(x);
        }
        {
            Search first(0), second(1);
            std::thread other([&] { Contract(inner[1], &second); });
            Contract(inner[0], &first);
            other.join();
        }
        std::fill(m_mark.begin(), m_mark.end(), Mark{});
        Search anywhere(kAnySide);
        Contract(rest, &anywhere);

        // x's arcs at its contraction lead to states contracted later: its upward and downward
        // arcs.
        BuiltHierarchy out;
        out.states.reserve(static_cast<std::size_t>(n) + 1);
        for (int x = 0; x < n; ++x) {
            format::HierarchyStateRecord row{};
            row.up = static_cast<std::uint32_t>(out.arcs.size());
            for (const Arc& a : m_out[static_cast<std::size_t>(x)])
                out.arcs.push_back({a.other, a.middle, a.cost});
            row.down = static_cast<std::uint32_t>(out.arcs.size());
            for (const Arc& a : m_in[static_cast<std::size_t>(x)])
                out.arcs.push_back({a.other, a.middle, a.cost});
            out.states.push_back(row);
        }
        out.states.push_back({static_cast<std::uint32_t>(out.arcs.size()),
                              static_cast<std::uint32_t>(out.arcs.size())});
        return out;
    }

private:
    static constexpr int kAnySide = -1;

    // What one thread's searches keep: they reach only states of `side` (every state for
    // kAnySide), and mark them with the thread's own stamps.
    struct Search {
        explicit Search(int s) : side(s) {}
        const int side;
        unsigned stamp = 0;
        std::vector<std::pair<double, int>> heap;
        std::vector<std::pair<int, double>> targets; // and what reaching each through x costs
        std::vector<std::pair<int, Arc>> shortcuts;
    };

    int Side(int x) const { return m_side[static_cast<std::size_t>(x)]; }

    // Contracts `states` one by one, the state whose contraction adds the fewest shortcuts
    // first.
    void Contract(const std::vector<int>& states, Search* s) {
        using Entry = std::pair<int, int>; // priority, state
        std::vector<Entry> initial;
        initial.reserve(states.size());
        for (int x : states)
            initial.push_back({m_priority[static_cast<std::size_t>(x)] = Priority(x, s), x});
        std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue(std::greater<>(),
                                                                             std::move(initial));
        std::vector<int> touched;
        while (!queue.empty()) {
            auto [p, x] = queue.top();
            queue.pop();
            const std::size_t ix = static_cast<std::size_t>(x);
            if (m_done[ix] || p != m_priority[ix]) continue;
            // The estimate may have grown since a neighbour went: contract only while it is
            // still the least.
            if (m_changed[ix]) {
                m_changed[ix] = 0;
                const int now = Priority(x, s);
                if (!queue.empty() && now > queue.top().first) {
                    queue.push({m_priority[ix] = now, x});
                    continue;
                }
            }
            s->shortcuts.clear();
            Shortcuts(x, kContractSettled, s);
            m_done[ix] = 1;
            for (const auto& [u, arc] : s->shortcuts)
                Add(u, arc.other, arc.cost, arc.middle);
            // The neighbours lose their arcs to x.
            touched.clear();
            for (const Arc& a : m_out[ix])
                touched.push_back(Drop(m_in[static_cast<std::size_t>(a.other)], x, a.other));
            for (const Arc& a : m_in[ix])
                touched.push_back(Drop(m_out[static_cast<std::size_t>(a.other)], x, a.other));
            std::sort(touched.begin(), touched.end());
            touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
            // Their estimates are worked out again only when they come up (above): doing it
            // for every neighbour of every state halves the build for a tenth more shortcuts.
            for (int v : touched) {
                ++m_neighbours[static_cast<std::size_t>(v)];
                m_changed[static_cast<std::size_t>(v)] = 1;
                m_level[static_cast<std::size_t>(v)] =
                    std::max(m_level[static_cast<std::size_t>(v)], m_level[ix] + 1);
            }
        }
    }

    // Removes the arc to x from a neighbour's list; the neighbour.
    static int Drop(std::vector<Arc>& arcs, int x, int owner) {
        arcs.erase(
            std::remove_if(arcs.begin(), arcs.end(), [x](const Arc& a) { return a.other == x; }),
            arcs.end());
        return owner;
    }

    // What contracting x adds less what it removes, how many of its neighbours were contracted
    // already and how deep they lie: so that the contraction spreads evenly over the map and the
    // hierarchy stays shallow.
    int Priority(int x, Search* s) {
        const std::size_t ix = static_cast<std::size_t>(x);
        s->shortcuts.clear();
        Shortcuts(x, kEstimateSettled, s);
        const int added = static_cast<int>(s->shortcuts.size());
        const int removed = static_cast<int>(m_out[ix].size() + m_in[ix].size());
        return 2 * (added - removed) + m_neighbours[ix] + m_level[ix];
    }

    // The shortcuts contracting x needs, into s->shortcuts: u -> x -> v where no way from u to v
    // avoiding x is as cheap.
    void Shortcuts(int x, int settleLimit, Search* s) {
        const std::size_t ix = static_cast<std::size_t>(x);
        for (const Arc& in : m_in[ix]) {
            const int u = in.other;
            s->targets.clear();
            for (const Arc& a : m_out[ix])
                if (a.other != u) s->targets.push_back({a.other, in.cost + a.cost});
            if (s->targets.empty()) continue;
            Witness(u, x, settleLimit, s);
            for (const auto& [v, via] : s->targets)
                if (via >= 0) s->shortcuts.push_back({u, Arc{v, x, via}});
        }
    }

    // Searches from u over the states not yet contracted, x left out, until every target is
    // reached at most at its cost through x (a witness: that cost is then stored negated, less
    // one), or no target left can be, or `settleLimit` states are settled. The lists of the
    // states left hold no contracted state (each is dropped as it goes), and each list is
    // cheapest first: the search reads a list only up to the dearest target still open.
    void Witness(int u, int x, int settleLimit, Search* s) {
        if (++s->stamp == 0) {
            for (std::size_t v = 0; v < m_mark.size(); ++v)
                if (s->side == kAnySide || m_side[v] == s->side) m_mark[v] = Mark{};
            s->stamp = 1;
        }
        const unsigned stamp = s->stamp;
        auto& targets = s->targets;
        double limit = 0.0;
        for (std::size_t i = 0; i < targets.size(); ++i) {
            Mark& m = m_mark[static_cast<std::size_t>(targets[i].first)];
            m.target = stamp, m.slot = static_cast<unsigned>(i);
            limit = std::max(limit, targets[i].second);
        }
        std::size_t left = targets.size();
        using Entry = std::pair<double, int>;
        std::vector<Entry>& heap = s->heap;
        heap.clear();
        auto reach = [&](int v, double d) {
            Mark& m = m_mark[static_cast<std::size_t>(v)];
            if (m.seen == stamp && m.dist <= d) return;
            m.seen = stamp;
            m.dist = d;
            if (m.target == stamp) {
                double& via = targets[m.slot].second;
                if (via >= 0 && d <= via) {
                    via = -1.0 - via; // witnessed
                    --left;
                    limit = 0.0;
                    for (const auto& t : targets)
                        limit = std::max(limit, t.second);
                }
            }
            heap.push_back({d, v});
            std::push_heap(heap.begin(), heap.end(), std::greater<Entry>());
        };
        reach(u, 0.0);
        int settled = 0;
        while (!heap.empty() && settled < settleLimit && left > 0) {
            std::pop_heap(heap.begin(), heap.end(), std::greater<Entry>());
            auto [d, v] = heap.back();
            heap.pop_back();
            if (d > m_mark[static_cast<std::size_t>(v)].dist) continue;
            if (d > limit) break;
            ++settled;
            for (const Arc& a : m_out[static_cast<std::size_t>(v)]) {
                if (d + a.cost > limit) break;
                if (a.other != x && (s->side == kAnySide || Side(a.other) == s->side))
                    reach(a.other, d + a.cost);
                if (left == 0) break;
            }
        }
    }

    std::vector<std::vector<Arc>> m_out, m_in;
    std::vector<char> m_done;
    std::vector<int> m_neighbours; // contracted neighbours
    std::vector<int> m_level;      // one more than the highest contracted neighbour's
    std::vector<char> m_changed;   // a neighbour contracted since the state's estimate
    std::vector<int> m_priority;   // the estimate the state is queued with
    const std::vector<unsigned char> m_side;
    // Per state, stamped by witness search: its cost when reached, whether it is a target.
    struct Mark {
        double dist = 0.0;
        unsigned seen = 0, target = 0, slot = 0; // slot: the target's place in the search's list
    };
    std::vector<Mark> m_mark;
};

// The side of a cut across the map that each state leaves from. The cut runs across the map's
// longer extent, between the 35th and 65th percentiles of its nodes, where the fewest edges cross
// it (in a country, along a river or a border; the two sides' work then stays within a third
// of each other's).
std::vector<unsigned char> Sides(const MapData& map, const RouteStates& states, int n) {
    const std::size_t nodes = map.NodeCount();
    std::vector<double> lat(nodes), lon(nodes);
    for (std::size_t i = 0; i < nodes; ++i) {
        const Point at = map.Node(static_cast<int>(i)).at;
        lat[i] = at.lat, lon[i] = at.lon;
    }
    std::vector<unsigned char> side(static_cast<std::size_t>(n), 0);
    if (nodes == 0) return side;
    auto sorted = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v;
    };
    const std::vector<double> byLat = sorted(lat), byLon = sorted(lon);
    // A degree of longitude is this many degrees of latitude long at the middle of the map.
    const double lonDegree = std::cos(geo::Radians(byLat[nodes / 2]));
    const bool acrossLon =
        (byLon.back() - byLon.front()) * lonDegree > byLat.back() - byLat.front();
    const std::vector<double>& at = acrossLon ? lon : lat;
    const std::vector<double>& order = acrossLon ? byLon : byLat;
    // An edge crosses a cut between its ends' positions: +1 where it starts, -1 where it ends.
    std::vector<std::pair<double, int>> ends;
    for (int e = 0; e < static_cast<int>(map.EdgeCount()); ++e) {
        const Edge edge = map.Edge(e);
        double a = at[static_cast<std::size_t>(edge.from)],
               b = at[static_cast<std::size_t>(edge.to)];
        if (a > b) std::swap(a, b);
        if (a < b) ends.push_back({a, 1}), ends.push_back({b, -1});
    }
    std::sort(ends.begin(), ends.end());
    const double low = order[nodes * 35 / 100], high = order[nodes * 65 / 100];
    double cut = order[nodes / 2];
    int crossing = 0, fewest = -1;
    for (std::size_t i = 0; i < ends.size(); ++i) {
        crossing += ends[i].second;
        if (i + 1 == ends.size() || ends[i + 1].first == ends[i].first) continue;
        // A cut just past ends[i] crosses `crossing` edges.
        if (ends[i].first < low || ends[i].first > high) continue;
        if (fewest < 0 || crossing < fewest)
            fewest = crossing, cut = (ends[i].first + ends[i + 1].first) / 2;
    }
    for (int x = 0; x < n; ++x)
        side[static_cast<std::size_t>(x)] =
            at[static_cast<std::size_t>(states.Tail(x))] > cut ? 1 : 0;
    return side;
}

} // namespace

bool HierarchyServes(const RouteRequest& request) {
    const RoutePreferences& p = request.preferences;
    const RoutePreferences defaults;
    if (request.walking) return p.turnPedestrian == defaults.turnPedestrian;
    return p.vehicleMode == 0 && p.freeway == defaults.freeway &&
           p.turnVehicle == defaults.turnVehicle && p.roundabout == defaults.roundabout &&
           p.toll == defaults.toll;
}

BuiltHierarchy BuildRouteHierarchy(const MapData& map, bool walking) {
    RouteRequest request;
    request.walking = walking;
    RouteScratch scratch;
    RouteStates states(map, request, &scratch);
    const int n = 2 * static_cast<int>(map.EdgeCount());
    Contractor contractor(n, Sides(map, states, n));
    if (states.Usable()) {
        for (int u = 0; u < n; ++u) {
            if (states.PerMetre(states.EdgeOf(u), states.DirOf(u), 0) < 0) continue;
            states.ForNext(u, [&](int v) {
                const double turn = states.Turn(u, v);
                if (turn >= 0) contractor.Add(u, v, turn + states.Cost(v), -1);
            });
        }
    }
    return contractor.Run();
}

} // namespace gpsmap
