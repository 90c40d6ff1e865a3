// Builds the route hierarchy of a profile: contracts the search's states one by one, the state
// whose contraction adds the fewest shortcuts first, adding a shortcut between two neighbours of
// the state only where no other way between them (a witness) is as cheap. The witness searches
// are most of the work, and their time goes into reading the arc lists of the states they reach.
#include <algorithm>
#include <queue>

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
    explicit Contractor(int states)
        : m_out(static_cast<std::size_t>(states)), m_in(static_cast<std::size_t>(states)),
          m_done(static_cast<std::size_t>(states), 0),
          m_neighbours(static_cast<std::size_t>(states), 0),
          m_level(static_cast<std::size_t>(states), 0),
          m_changed(static_cast<std::size_t>(states), 0), m_mark(static_cast<std::size_t>(states)) {
    }

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
        using Entry = std::pair<int, int>; // priority, state
        std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue;
        std::vector<int> priority(static_cast<std::size_t>(n));
        for (int x = 0; x < n; ++x)
            queue.push({priority[static_cast<std::size_t>(x)] = Priority(x), x});
        std::vector<std::pair<int, Arc>> shortcuts;
        while (!queue.empty()) {
            auto [p, x] = queue.top();
            queue.pop();
            const std::size_t ix = static_cast<std::size_t>(x);
            if (m_done[ix] || p != priority[ix]) continue;
            // The estimate may have grown since a neighbour went: contract only while it is
            // still the least.
            if (m_changed[ix]) {
                m_changed[ix] = 0;
                const int now = Priority(x);
                if (!queue.empty() && now > queue.top().first) {
                    queue.push({priority[ix] = now, x});
                    continue;
                }
            }
            shortcuts.clear();
            Shortcuts(x, kContractSettled, &shortcuts);
            m_done[ix] = 1;
            for (const auto& [u, arc] : shortcuts)
                Add(u, arc.other, arc.cost, arc.middle);
            // The neighbours lose their arcs to x.
            std::vector<int> touched;
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
    int Priority(int x) {
        const std::size_t ix = static_cast<std::size_t>(x);
        m_estimate.clear();
        Shortcuts(x, kEstimateSettled, &m_estimate);
        const int added = static_cast<int>(m_estimate.size());
        const int removed = static_cast<int>(m_out[ix].size() + m_in[ix].size());
        return 2 * (added - removed) + m_neighbours[ix] + m_level[ix];
    }

    // The shortcuts contracting x needs: u -> x -> v where no way from u to v avoiding x is as
    // cheap.
    void Shortcuts(int x, int settleLimit, std::vector<std::pair<int, Arc>>* out) {
        const std::size_t ix = static_cast<std::size_t>(x);
        for (const Arc& in : m_in[ix]) {
            const int u = in.other;
            double limit = 0.0;
            m_targets.clear();
            for (const Arc& a : m_out[ix])
                if (a.other != u)
                    limit = std::max(limit, in.cost + a.cost), m_targets.push_back(a.other);
            if (m_targets.empty()) continue;
            Witness(u, x, limit, settleLimit);
            for (const Arc& a : m_out[ix]) {
                if (a.other == u) continue;
                const double via = in.cost + a.cost;
                const Mark& m = m_mark[static_cast<std::size_t>(a.other)];
                if (m.seen == m_stamp && m.dist <= via) continue;
                out->push_back({u, Arc{a.other, x, via}});
            }
        }
    }

    // Cheapest costs from u over the states not yet contracted, x left out, up to `limit`. The
    // lists of the states left hold no contracted state (each is dropped as it goes), and each
    // list is cheapest first: the search reads a list only up to its limit.
    void Witness(int u, int x, double limit, int settleLimit) {
        if (++m_stamp == 0) {
            std::fill(m_mark.begin(), m_mark.end(), Mark{});
            m_stamp = 1;
        }
        using Entry = std::pair<double, int>;
        m_heap.clear();
        auto reach = [&](int v, double d) {
            Mark& m = m_mark[static_cast<std::size_t>(v)];
            if (m.seen == m_stamp && m.dist <= d) return;
            m.seen = m_stamp;
            m.dist = d;
            m_heap.push_back({d, v});
            std::push_heap(m_heap.begin(), m_heap.end(), std::greater<Entry>());
        };
        for (int t : m_targets)
            m_mark[static_cast<std::size_t>(t)].target = m_stamp;
        reach(u, 0.0);
        int settled = 0;
        // Done when every target is settled: a target's cost is then final.
        std::size_t left = m_targets.size();
        while (!m_heap.empty() && settled < settleLimit && left > 0) {
            std::pop_heap(m_heap.begin(), m_heap.end(), std::greater<Entry>());
            auto [d, v] = m_heap.back();
            m_heap.pop_back();
            const Mark& m = m_mark[static_cast<std::size_t>(v)];
            if (d > m.dist) continue;
            if (d > limit) break;
            ++settled;
            if (m.target == m_stamp) --left;
            for (const Arc& a : m_out[static_cast<std::size_t>(v)]) {
                if (d + a.cost > limit) break;
                if (a.other != x) reach(a.other, d + a.cost);
            }
        }
    }

    std::vector<std::vector<Arc>> m_out, m_in;
    std::vector<char> m_done;
    std::vector<int> m_neighbours; // contracted neighbours
    std::vector<int> m_level;      // one more than the highest contracted neighbour's
    std::vector<char> m_changed;   // a neighbour contracted since the state's estimate
    // Per state, stamped by witness search: its cost when reached, whether it is a target.
    struct Mark {
        double dist = 0.0;
        unsigned seen = 0, target = 0;
    };
    std::vector<Mark> m_mark;
    unsigned m_stamp = 0;
    std::vector<std::pair<double, int>> m_heap;
    std::vector<int> m_targets; // of the witness search under way
    std::vector<std::pair<int, Arc>> m_estimate;
};

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
    Contractor contractor(n);
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
