#include "LandmarkGuide.h"

#include <algorithm>
#include <limits>

namespace gpsmap {
namespace {

constexpr std::int64_t kNone = -1; // a landmark that bounds nothing for this search

} // namespace

void LandmarkGuide::Prepare(const MapData& map, bool walking, bool use,
                            const std::vector<int>& exits, const std::vector<int>& entries,
                            bool direct) {
    m_map = &map;
    m_walking = walking;
    m_landmarks = use ? std::min(map.Landmarks(walking), kMax) : 0;
    if (m_landmarks == 0) return;
    // A route reaches the end through one of its entries: the cheapest of them from L, the
    // dearest to L. It leaves the start through an exit: the dearest from L, the cheapest to L.
    const int to = walking ? 0 : m_landmarks;
    for (int l = 0; l < m_landmarks; ++l) {
        m_toEnd.from[l] = Extreme(entries, l, true);
        m_toEnd.to[l] = Extreme(entries, to + l, false);
        m_fromStart.from[l] = Extreme(exits, l, false);
        m_fromStart.to[l] = Extreme(exits, to + l, true);
    }
    const double unbounded = direct ? 0.0 : std::numeric_limits<double>::infinity();
    m_fromStartToEnd = entries.empty() ? 0.0 : unbounded;
    for (int y : entries)
        m_fromStartToEnd = std::min(m_fromStartToEnd, FromStart(y));
}

// Towards the end: from[L] - cost(L, node) and cost(node, L) - to[L]; from the start:
// cost(L, node) - from[L] and to[L] - cost(node, L); the largest, and at least 0.
double LandmarkGuide::Bound(int node, const End& end, bool toEnd) const {
    const std::uint32_t* row = m_map->RouteBounds(m_walking, node);
    const std::uint32_t* back = m_walking ? row : row + m_landmarks;
    std::int64_t best = 0;
    for (int l = 0; l < m_landmarks; ++l) {
        if (row[l] != format::kNoBound && end.from[l] != kNone) {
            const std::int64_t d = end.from[l] - row[l];
            best = std::max(best, toEnd ? d : -d);
        }
        if (back[l] != format::kNoBound && end.to[l] != kNone) {
            const std::int64_t d = std::int64_t{back[l]} - end.to[l];
            best = std::max(best, toEnd ? d : -d);
        }
    }
    return static_cast<double>(best) * format::kBoundUnit;
}

// The cheapest or the dearest of the nodes' costs in one column of their route bounds; kNone
// when the bound it makes says nothing: no node reached, for the cheapest (an unreached node is
// infinitely dear), any node unreached, for the dearest.
std::int64_t LandmarkGuide::Extreme(const std::vector<int>& nodes, int column,
                                    bool cheapest) const {
    std::int64_t out = kNone;
    for (int v : nodes) {
        const std::uint32_t c = m_map->RouteBounds(m_walking, v)[column];
        if (c == format::kNoBound) {
            if (!cheapest) return kNone;
            continue;
        }
        out = out == kNone ? c
              : cheapest   ? std::min<std::int64_t>(out, c)
                           : std::max<std::int64_t>(out, c);
    }
    return out;
}

} // namespace gpsmap
