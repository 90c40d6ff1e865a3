// Builds the route hierarchy of a profile: contracts the search's states one by one, the state
// whose contraction adds the fewest shortcuts first, adding a shortcut between two neighbours of
// the state only where no other way between them (a witness) is as cheap. The witness searches
// are most of the work, and their time goes into reading the arc lists of the states they reach;
// a state with many neighbours shares its searches with a second thread, whose finds are taken in
// the order one thread would have found them, so that the hierarchy is the same either way.
#include <algorithm>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
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

// A state with at least this many neighbours arriving shares its witness searches with the
// second thread: below it, handing the work over costs more than it saves.
constexpr std::size_t kSplitAt = 8;

struct Arc {
    int other, middle;
    double cost;
};
using Shortcut = std::pair<int, Arc>; // from a state, an arc over the contracted one

// What a thread's witness searches write: per state, its cost and whether it is a target,
// stamped by search (one record: one cache line to read); the heap and the targets.
struct WitnessMarks {
    struct Mark {
        double dist = 0.0;
        unsigned seen = 0, target = 0;
    };
    explicit WitnessMarks(std::size_t states) : marks(states) {}
    Mark& At(int v) { return marks[static_cast<std::size_t>(v)]; }
    void NewSearch() {
        if (++stamp != 0) return;
        std::fill(marks.begin(), marks.end(), Mark{});
        stamp = 1;
    }
    std::vector<Mark> marks;
    unsigned stamp = 0;
    std::vector<std::pair<double, int>> heap;
    std::vector<int> targets;
};

// A thread that runs one job at a time for the contractor and says when it is done.
class SecondThread {
public:
    SecondThread() : m_thread([this] { Loop(); }) {}
    ~SecondThread() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }
    void Run(std::function<void()> job) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_job = std::move(job);
        }
        m_wake.notify_one();
    }
    void Wait() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_done.wait(lock, [this] { return !m_job; });
    }

private:
    void Loop() {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (true) {
            m_wake.wait(lock, [this] { return m_quit || m_job; });
            if (m_quit) return;
            lock.unlock();
            m_job();
            lock.lock();
            m_job = nullptr;
            m_done.notify_one();
        }
    }
    std::mutex m_mutex;
    std::condition_variable m_wake, m_done;
    std::function<void()> m_job;
    bool m_quit = false;
    std::thread m_thread;
};

class Contractor {
public:
    explicit Contractor(int states)
        : m_out(static_cast<std::size_t>(states)), m_in(static_cast<std::size_t>(states)),
          m_done(static_cast<std::size_t>(states), 0),
          m_neighbours(static_cast<std::size_t>(states), 0),
          m_level(static_cast<std::size_t>(states), 0),
          m_changed(static_cast<std::size_t>(states), 0), m_marks(static_cast<std::size_t>(states)),
          m_secondMarks(std::thread::hardware_concurrency() > 1 ? static_cast<std::size_t>(states)
                                                                : 0) {
        if (std::thread::hardware_concurrency() > 1) m_second = std::make_unique<SecondThread>();
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
        std::vector<Shortcut> shortcuts;
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
    void Shortcuts(int x, int settleLimit, std::vector<Shortcut>* out) {
        const std::size_t ins = m_in[static_cast<std::size_t>(x)].size();
        // Many neighbours: the second half of the searches on the second thread, its finds
        // after the first half's, as one thread would have found them.
        if (m_second != nullptr && ins >= kSplitAt) {
            m_secondFound.clear();
            m_second->Run(
                [&] { ShortcutsOf(x, ins / 2, ins, settleLimit, m_secondMarks, &m_secondFound); });
            ShortcutsOf(x, 0, ins / 2, settleLimit, m_marks, out);
            m_second->Wait();
            out->insert(out->end(), m_secondFound.begin(), m_secondFound.end());
            return;
        }
        ShortcutsOf(x, 0, ins, settleLimit, m_marks, out);
    }

    // The shortcuts over x from its in-neighbours [first, last).
    void ShortcutsOf(int x, std::size_t first, std::size_t last, int settleLimit, WitnessMarks& w,
                     std::vector<Shortcut>* out) const {
        const std::size_t ix = static_cast<std::size_t>(x);
        for (std::size_t i = first; i < last; ++i) {
            const Arc& in = m_in[ix][i];
            const int u = in.other;
            double limit = 0.0;
            w.targets.clear();
            for (const Arc& a : m_out[ix])
                if (a.other != u)
                    limit = std::max(limit, in.cost + a.cost), w.targets.push_back(a.other);
            if (w.targets.empty()) continue;
            Witness(u, x, limit, settleLimit, w);
            for (const Arc& a : m_out[ix]) {
                if (a.other == u) continue;
                const double via = in.cost + a.cost;
                const WitnessMarks::Mark& m = w.At(a.other);
                if (m.seen == w.stamp && m.dist <= via) continue;
                out->push_back({u, Arc{a.other, x, via}});
            }
        }
    }

    // Cheapest costs from u over the states not yet contracted, x left out, up to `limit`. The
    // lists of the states left hold no contracted state (each is dropped as it goes), and each
    // list is cheapest first: the search reads a list only up to its limit.
    void Witness(int u, int x, double limit, int settleLimit, WitnessMarks& w) const {
        w.NewSearch();
        using Entry = std::pair<double, int>;
        w.heap.clear();
        auto reach = [&](int v, double d) {
            WitnessMarks::Mark& m = w.At(v);
            if (m.seen == w.stamp && m.dist <= d) return;
            m.seen = w.stamp, m.dist = d;
            w.heap.push_back({d, v});
            std::push_heap(w.heap.begin(), w.heap.end(), std::greater<Entry>());
        };
        for (int t : w.targets)
            w.At(t).target = w.stamp;
        reach(u, 0.0);
        int settled = 0;
        // Done when every target is settled: a target's cost is then final.
        std::size_t left = w.targets.size();
        while (!w.heap.empty() && settled < settleLimit && left > 0) {
            std::pop_heap(w.heap.begin(), w.heap.end(), std::greater<Entry>());
            auto [d, v] = w.heap.back();
            w.heap.pop_back();
            const WitnessMarks::Mark& m = w.At(v);
            if (d > m.dist) continue;
            if (d > limit) break;
            ++settled;
            if (m.target == w.stamp) --left;
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
    WitnessMarks m_marks, m_secondMarks;
    std::unique_ptr<SecondThread> m_second; // none on one core
    std::vector<Shortcut> m_secondFound;
    std::vector<Shortcut> m_estimate;
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
