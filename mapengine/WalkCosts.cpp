#include "WalkCosts.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "formats/RouteSpeeds.h"

namespace gpsmap {
namespace {

namespace speeds = gpslib::formats::speeds;

using speeds::kCrossing; // seconds, by the crossing's control

constexpr unsigned char kMajor = 1, kSeparate = 2;

} // namespace

void WalkCosts::Prepare(const MapData& map) {
    m_active = map.WayCount() > 0 && (map.Way(0).walk & format::kWalkFacts) != 0;
    m_ways.assign(m_active ? map.WayCount() : 0, 0);
    m_crossings.clear();
}

double WalkCosts::Road(int i, const Way& w) {
    // The factor of what lies beside the road (formats/RouteSpeeds.h, the one table).
    bool major = false;
    const double factor = speeds::WalkFactor(w.cls, m_active ? w.walk : 0, &major);
    if (!m_active) return factor;
    const std::uint32_t walk = w.walk;
    const bool separate =
        (walk & format::kWalkSidewalk) == 0 && (walk & format::kWalkSeparate) != 0;
    m_ways[static_cast<std::size_t>(i)] = static_cast<unsigned char>(
        (major && w.role <= format::kRoleConnector ? kMajor : 0) | (separate ? kSeparate : 0));
    return factor;
}

void WalkCosts::Finish(const MapData& map) {
    if (!m_active) return;
    for (const format::CrossingRecord& c : map.Crossings()) {
        if (c.node <= 0 || static_cast<std::size_t>(c.node) > map.NodeCount() || c.road < 0 ||
            static_cast<std::size_t>(c.road) >= m_ways.size() ||
            (m_ways[static_cast<std::size_t>(c.road)] & kMajor) == 0)
            continue;
        m_crossings.push_back({c.node - 1, kCrossing[c.control < 4 ? c.control : 0]});
    }
    std::sort(m_crossings.begin(), m_crossings.end());
}

double WalkCosts::CrossingAt(int node) const {
    auto it = std::lower_bound(m_crossings.begin(), m_crossings.end(), std::make_pair(node, -1.0));
    return it != m_crossings.end() && it->first == node ? it->second : -1.0;
}

double WalkCosts::AtNode(const MapData& map, int node, const Node& n, int from, int to, double back,
                         double leave) const {
    if (!m_active || from < 0 || to < 0) return 0.0;
    const unsigned char a = m_ways[static_cast<std::size_t>(from)];
    const unsigned char b = m_ways[static_cast<std::size_t>(to)];
    const double mapped = CrossingAt(node);
    const double here = mapped >= 0 ? mapped : kCrossing[format::kControlUnknown];
    if ((a & kMajor) && (b & kMajor)) return 0.0; // along major roads
    if ((a & kMajor) || (b & kMajor)) return ((a | b) & kSeparate) ? here / 2 : 0.0;
    if (mapped >= 0) return mapped;
    // No crossing mapped here: a major road through the node crossed from one side to the other.
    double bearings[2];
    int majors = 0;
    for (int e : n.edges) {
        const int way = map.EdgeWay(e);
        if (way < 0 || (m_ways[static_cast<std::size_t>(way)] & kMajor) == 0) continue;
        if (majors == 2) return here; // a junction of major roads
        const Edge edge = map.Edge(e);
        bearings[majors++] = edge.from == node ? edge.leaving[0] : edge.leaving[1];
    }
    if (majors < 2) return 0.0;
    auto within = [&](double x) {
        return std::fmod(x - bearings[0] + 720.0, 360.0) <
               std::fmod(bearings[1] - bearings[0] + 720.0, 360.0);
    };
    return within(back) != within(leave) ? here : 0.0;
}

} // namespace gpsmap
