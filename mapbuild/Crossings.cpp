#include "Crossings.h"

#include <algorithm>
#include <string>
#include <tuple>
#include <unordered_set>

#include "Handlers.h"

namespace gpsmap::build {
namespace {

// A crossing way longer than this is a path that happens to cross, not the crossing itself: its
// length is not the crossing's.
constexpr double kLongestCrossing = 50.0;

std::uint8_t Fact(const std::string& value, std::initializer_list<std::string_view> no = {"no"}) {
    if (value.empty()) return format::kFactUnknown;
    return IsOneOf(value, no) ? format::kFactNo : format::kFactYes;
}

// What the tags say; explicit crossing:signals and crossing:markings win over what crossing=* or
// crossing_ref=* imply, so that "crossing=traffic_signals" with "crossing:signals=no" is a crossing
// without signals (docs/crossings.md).
CrossingFacts FactsOf(const osmium::TagList& tags) {
    CrossingFacts f;
    const std::string crossing = Keyword(tags, "crossing");
    const std::string ref = Keyword(tags, "crossing_ref");
    std::uint8_t signals = Fact(Keyword(tags, "crossing:signals"));
    if (signals == format::kFactUnknown &&
        (crossing == "traffic_signals" ||
         IsOneOf(ref, {"pelican", "toucan", "puffin", "pegasus", "tiger"})))
        signals = format::kFactYes;
    std::uint8_t markings = Fact(Keyword(tags, "crossing:markings"));
    if (markings == format::kFactUnknown) {
        if (IsOneOf(crossing, {"marked", "zebra", "uncontrolled", "traffic_signals"}) ||
            ref == "zebra")
            markings = format::kFactYes;
        else if (crossing == "unmarked")
            markings = format::kFactNo;
    }
    f.control = signals == format::kFactYes    ? format::kControlSignals
                : markings == format::kFactYes ? format::kControlMarked
                : markings == format::kFactNo  ? format::kControlUnmarked
                                               : format::kControlUnknown;
    f.sound = Fact(Keyword(tags, "traffic_signals:sound"));
    f.vibration = Fact(Keyword(tags, "traffic_signals:vibration"));
    f.button = Fact(Keyword(tags, "button_operated"));
    f.tactile = Fact(Keyword(tags, "tactile_paving"), {"no", "incorrect"});
    f.island = Fact(Keyword(tags, "crossing:island"));
    if (Keyword(tags, "traffic_calming") == "island") f.island = format::kFactYes;
    return f;
}

// The node's facts, with the crossing way's filling each it does not say.
CrossingFacts Merged(CrossingFacts node, const CrossingFacts& way) {
    for (auto [n, w] : {std::tie(node.control, way.control), std::tie(node.sound, way.sound),
                        std::tie(node.vibration, way.vibration), std::tie(node.button, way.button),
                        std::tie(node.tactile, way.tactile), std::tie(node.island, way.island)})
        if (n == 0) n = w;
    return node;
}

double Length(const WayRec& w) {
    double length = 0;
    for (std::size_t i = 1; i < w.points.size(); ++i)
        length += geo::Distance(w.points[i - 1], w.points[i]);
    return length;
}

} // namespace

void CrossingHandler::node(const osmium::Node& node) {
    const osmium::TagList& tags = node.tags();
    if (tags.empty()) return;
    const std::string kerb = Keyword(tags, "kerb");
    if (!kerb.empty()) {
        const std::uint8_t k = kerb == "raised"                       ? format::kKerbRaised
                               : IsOneOf(kerb, {"lowered", "rolled"}) ? format::kKerbLowered
                               : IsOneOf(kerb, {"flush", "no"})       ? format::kKerbFlush
                                                                      : format::kKerbUnknown;
        if (k != format::kKerbUnknown) found.kerbs[node.id()] = k;
    }
    const std::string crossing = Keyword(tags, "crossing");
    if (Keyword(tags, "highway") == "crossing" || (!crossing.empty() && crossing != "no"))
        found.nodes[node.id()] = FactsOf(tags);
}

void CrossingHandler::way(const osmium::Way& way) {
    const osmium::TagList& tags = way.tags();
    const std::string crossing = Keyword(tags, "crossing");
    if (Keyword(tags, "footway") == "crossing" || Keyword(tags, "highway") == "crossing" ||
        Keyword(tags, "cycleway") == "crossing" || Keyword(tags, "path") == "crossing")
        found.ways[way.id()] = FactsOf(tags);
}

void BuildCrossings(Map& map, const CrossingTags& tags) {
    std::unordered_set<OsmId> candidates;
    for (const auto& [id, facts] : tags.nodes)
        candidates.insert(id);
    for (const WayRec& w : map.ways)
        if (w.role == format::kRoleCrossing) candidates.insert(w.nodes.begin(), w.nodes.end());
    // Each candidate node: the road through it (a named one before an unnamed one) and the
    // crossing way through it.
    struct At {
        Point p;
        int road = -1, way = -1;
        bool named = false;
    };
    std::unordered_map<OsmId, At> at;
    for (std::size_t i = 0; i < map.ways.size(); ++i) {
        const WayRec& w = map.ways[i];
        const bool road =
            w.car && (w.role == format::kRoleStreet || w.role == format::kRoleConnector);
        if (!road && w.role != format::kRoleCrossing) continue;
        for (std::size_t k = 0; k < w.nodes.size() && k < w.points.size(); ++k) {
            if (!candidates.count(w.nodes[k])) continue;
            At& a = at[w.nodes[k]];
            a.p = w.points[k];
            if (!road) {
                if (a.way < 0) a.way = static_cast<int>(i);
            } else if (a.road < 0 || (!a.named && !w.name.empty())) {
                a.road = static_cast<int>(i);
                a.named = !w.name.empty();
            }
        }
    }
    std::vector<std::pair<format::CrossingRecord, OsmId>> found;
    for (const auto& [id, a] : at) {
        if (a.road < 0) continue; // a crossing node on no road, or a crossing way's other nodes
        const auto node = tags.nodes.find(id);
        if (node == tags.nodes.end() && a.way < 0) continue;
        CrossingFacts facts = node != tags.nodes.end() ? node->second : CrossingFacts{};
        format::CrossingRecord r{};
        r.lat = a.p.lat, r.lon = a.p.lon;
        r.road = a.road;
        r.way = a.way;
        if (a.way >= 0) {
            const WayRec& w = map.ways[static_cast<std::size_t>(a.way)];
            if (auto way = tags.ways.find(w.id); way != tags.ways.end())
                facts = Merged(facts, way->second);
            const double length = Length(w);
            if (length <= kLongestCrossing) r.length = static_cast<float>(length);
            for (int end = 0; end < 2 && !w.nodes.empty(); ++end) {
                const auto kerb = tags.kerbs.find(end == 0 ? w.nodes.front() : w.nodes.back());
                if (kerb != tags.kerbs.end()) r.kerbs[end] = kerb->second;
            }
        }
        r.control = facts.control, r.sound = facts.sound, r.vibration = facts.vibration;
        r.button = facts.button, r.tactile = facts.tactile, r.island = facts.island;
        found.push_back({r, id});
    }
    // The same extract gives the same file, whatever the order the hash table kept.
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        const format::CrossingRecord &x = a.first, &y = b.first;
        return std::tie(x.lat, x.lon, x.road, x.way) < std::tie(y.lat, y.lon, y.road, y.way);
    });
    map.crossings.clear();
    map.crossingIds.clear();
    for (const auto& [r, id] : found) {
        map.crossings.push_back(r);
        map.crossingIds.push_back(id);
    }
}

void TieCrossingsToNodes(Map& map) {
    for (std::size_t i = 0; i < map.crossings.size() && i < map.crossingIds.size(); ++i) {
        const auto it =
            std::lower_bound(map.nodeIds.begin(), map.nodeIds.end(), map.crossingIds[i]);
        if (it != map.nodeIds.end() && *it == map.crossingIds[i])
            map.crossings[i].node = static_cast<std::int32_t>(it - map.nodeIds.begin()) + 1;
    }
}

} // namespace gpsmap::build
