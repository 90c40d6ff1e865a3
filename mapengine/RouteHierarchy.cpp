// The search through the route hierarchy: two searches that go only upwards, one from the start's
// states over the upward arcs, one from the end's over the downward arcs, meeting at the state
// the cheapest route passes that was contracted last; then the shortcuts on that way unpacked.
#include <algorithm>
#include <functional>
#include <limits>
#include <queue>

#include "RouteHierarchy.h"

namespace gpsmap {
namespace {

constexpr double kUnreached = std::numeric_limits<double>::infinity();

class HierarchySearch {
public:
    HierarchySearch(const MapData& map, bool walking, RouteScratch* scratch)
        : m_map(map), m_walking(walking), m_s(*scratch),
          m_states(2 * static_cast<int>(map.EdgeCount())) {}

    HierarchyAnswer Run(const std::vector<HierarchyEnd>& sources,
                        const std::vector<HierarchyEnd>& targets, std::vector<int>* path,
                        double* cost, int* settled) {
        m_s.forward.Fit(static_cast<std::size_t>(m_states));
        m_s.backward.Fit(static_cast<std::size_t>(m_states));
        if (++m_s.stamp == 0) {
            m_s.forward.Forget();
            m_s.backward.Forget();
            m_s.stamp = 1;
        }
        m_stamp = m_s.stamp;
        Queue queues[2];
        for (int side = 0; side < 2; ++side)
            for (const HierarchyEnd& end : side == 0 ? sources : targets)
                if (end.state >= 0 && end.state < m_states)
                    Reach(side, end.state, end.cost, -1, &queues[side]);
        int& count = *settled = 0;
        while (true) {
            // Past the best route found, a side has nothing more to find.
            for (int side = 0; side < 2; ++side) {
                Queue& q = queues[side];
                while (!q.empty()) {
                    const SearchSide::Slot* slot = Known(side, q.top().second);
                    if (q.top().first < m_best && slot->done != m_stamp &&
                        slot->cost >= q.top().first)
                        break;
                    q.pop();
                }
            }
            if (queues[0].empty() && queues[1].empty()) break;
            const int side = queues[1].empty() || (!queues[0].empty() &&
                                                   queues[0].top().first <= queues[1].top().first)
                                 ? 0
                                 : 1;
            Queue& q = queues[side];
            const auto [d, u] = q.top();
            q.pop();
            SearchSide::Slot& slot = Side(side).At(u);
            slot.done = m_stamp;
            ++count;
            if (Stalled(side, u, d)) continue;
            // Forward along the upward arcs; backward along the downward ones, each an arc from
            // `other` into u.
            for (const format::HierarchyArcRecord& a :
                 m_map.HierarchyArcs(m_walking, u, side == 0)) {
                // A cost below zero (or not a number) could make the search go round for ever.
                if (a.other < 0 || a.other >= m_states || !(a.cost >= 0))
                    return HierarchyAnswer::kBroken;
                Reach(side, a.other, d + a.cost, u, &q);
            }
        }
        if (m_meet < 0) return HierarchyAnswer::kNone;
        *cost = m_best;
        return Unpack(path) ? HierarchyAnswer::kFound : HierarchyAnswer::kBroken;
    }

private:
    using Entry = std::pair<double, int>;
    using Queue = std::priority_queue<Entry, std::vector<Entry>, std::greater<>>;

    SearchSide& Side(int side) { return side == 0 ? m_s.forward : m_s.backward; }
    const SearchSide::Slot* Known(int side, int v) {
        const SearchSide::Slot* slot = Side(side).Find(v);
        return slot != nullptr && slot->seen == m_stamp ? slot : nullptr;
    }
    void Reach(int side, int v, double cost, int parent, Queue* q) {
        const SearchSide::Slot* known = Known(side, v);
        if (known != nullptr && known->cost <= cost) return;
        SearchSide::Slot& slot = Side(side).At(v);
        slot.cost = cost, slot.parent = parent, slot.seen = m_stamp, slot.done = 0;
        q->push({cost, v});
        if (const SearchSide::Slot* other = Known(1 - side, v))
            if (cost + other->cost < m_best) m_best = cost + other->cost, m_meet = v;
    }

    // A state reached more cheaply from above than by the way it was settled lies on no
    // cheapest route through the hierarchy: the search does not go on from it.
    bool Stalled(int side, int u, double d) {
        for (const format::HierarchyArcRecord& a : m_map.HierarchyArcs(m_walking, u, side != 0)) {
            if (a.other < 0 || a.other >= m_states) continue;
            const SearchSide::Slot* above = Known(side, a.other);
            if (above != nullptr && above->cost + a.cost < d) return true;
        }
        return false;
    }

    // The arc of `owner` (upward, or downward) with `other`, the cheapest; null when none.
    const format::HierarchyArcRecord* ArcOf(int owner, int other, bool up) const {
        const format::HierarchyArcRecord* best = nullptr;
        for (const format::HierarchyArcRecord& a : m_map.HierarchyArcs(m_walking, owner, up))
            if (a.other == other && (best == nullptr || a.cost < best->cost)) best = &a;
        return best;
    }

    // The states from a source to a target: the forward chain up to the meeting state, the
    // backward chain down from it, each shortcut replaced by the two arcs it stands for.
    bool Unpack(std::vector<int>* path) {
        std::vector<int> chain;
        for (int v = m_meet; v >= 0; v = m_s.forward.Find(v)->parent)
            chain.push_back(v);
        std::reverse(chain.begin(), chain.end());
        const std::size_t up = chain.size();
        for (int v = m_s.backward.Find(m_meet)->parent; v >= 0; v = m_s.backward.Find(v)->parent)
            chain.push_back(v);
        path->assign(1, chain.front());
        // A shortcut's two arcs each span fewer states; a broken file could make them loop, so
        // the unpacking stops at more states than a route can have.
        const std::size_t budget = static_cast<std::size_t>(m_states) + 2;
        for (std::size_t i = 0; i + 1 < chain.size(); ++i) {
            // Going up, the arc is the lower state's upward one; coming down, the lower state's
            // downward one.
            const format::HierarchyArcRecord* arc = i + 1 < up
                                                        ? ArcOf(chain[i], chain[i + 1], true)
                                                        : ArcOf(chain[i + 1], chain[i], false);
            if (arc == nullptr) return false;
            std::vector<std::pair<int, int>> stack{{chain[i], chain[i + 1]}};
            std::vector<int> middles{arc->middle};
            while (!stack.empty()) {
                auto [from, to] = stack.back();
                const int middle = middles.back();
                stack.pop_back(), middles.pop_back();
                if (middle < 0) {
                    path->push_back(to);
                    if (path->size() > budget) return false;
                    continue;
                }
                if (middle >= m_states) return false;
                const format::HierarchyArcRecord* first = ArcOf(middle, from, false);
                const format::HierarchyArcRecord* second = ArcOf(middle, to, true);
                if (first == nullptr || second == nullptr || stack.size() > budget) return false;
                stack.push_back({middle, to}), middles.push_back(second->middle);
                stack.push_back({from, middle}), middles.push_back(first->middle);
            }
        }
        return true;
    }

    const MapData& m_map;
    const bool m_walking;
    RouteScratch& m_s;
    const int m_states;
    unsigned m_stamp = 0;
    double m_best = kUnreached;
    int m_meet = -1;
};

} // namespace

HierarchyAnswer SearchHierarchy(const MapData& map, bool walking,
                                const std::vector<HierarchyEnd>& sources,
                                const std::vector<HierarchyEnd>& targets, RouteScratch* scratch,
                                std::vector<int>* path, double* cost, int* settled) {
    *settled = 0;
    if (!map.HasHierarchy(walking)) return HierarchyAnswer::kBroken;
    HierarchySearch search(map, walking, scratch);
    return search.Run(sources, targets, path, cost, settled);
}

} // namespace gpsmap
