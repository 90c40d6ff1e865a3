// The crossings a walker meets: the hard cases on a drawn map (contradicting tags, a crossing on
// no road, kerbs, capitals and lists), and the Paris extract's crossings exactly as it tags them.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "drawn_map.h"
#include "osm_read.h"

namespace gpsmap::test {
namespace {

namespace format = gpslib::formats;

std::string Road(const char* name) {
    return std::string("<tag k='highway' v='residential'/><tag k='name' v='") + name + "'/>";
}

// Main Street runs east along y = 0, Park Lane north along x = 100; the crossings are drawn over
// Main Street at x = 20, 40, 60 and 80, and one stands on a footway off every road.
TEST(Crossings, WhatEachCrossingSays) {
    const char* crossingWay = "<tag k='highway' v='footway'/><tag k='footway' v='crossing'/>";
    const DrawnMap map(
        {{Road("Main Street").c_str(), {{0, 0}, {20, 0}, {40, 0}, {60, 0}, {80, 0}, {100, 0}}},
         {Road("Park Lane").c_str(), {{100, -50}, {100, 0}, {100, 50}}},
         // A crossing way whose own tags add what its node leaves unsaid, with kerbs at its ends.
         {"<tag k='highway' v='footway'/><tag k='footway' v='crossing'/>"
          "<tag k='tactile_paving' v='yes'/><tag k='crossing:island' v='yes'/>",
          {{20, -6}, {20, 0}, {20, 6}}},
         // A crossing way alone, meeting the road at an untagged node.
         {crossingWay, {{60, -6}, {60, 0}, {60, 6}}},
         {"<tag k='highway' v='footway'/>", {{0, 30}, {30, 30}}}},
        kOrigin,
        {{{20, 0},
          "<tag k='highway' v='crossing'/><tag k='crossing' v='traffic_signals'/>"
          "<tag k='traffic_signals:sound' v='yes'/><tag k='button_operated' v='YES'/>"},
         {{20, -6}, "<tag k='kerb' v='lowered'/>"},
         {{20, 6}, "<tag k='kerb' v='raised'/>"},
         // Signals said to be none on a traffic-signals crossing: no signals, still marked.
         {{40, 0},
          "<tag k='highway' v='crossing'/><tag k='crossing' v='traffic_signals'/>"
          "<tag k='crossing:signals' v='no'/><tag k='tactile_paving' v='incorrect'/>"},
         {{80, 0}, "<tag k='crossing' v='Unmarked;zebra'/><tag k='traffic_calming' v='island'/>"},
         {{30, 30}, "<tag k='highway' v='crossing'/><tag k='crossing' v='zebra'/>"}});
    ASSERT_TRUE(map.compiled);
    const auto found = map.engine.CrossingsNear(At(50, 0), 60.0, Naming{});
    struct Expected {
        double x;
        int control, sound, button, tactile, island, kerb0, kerb1;
        float length;
    } const expected[] = {
        {20, format::kControlSignals, format::kFactYes, format::kFactYes, format::kFactYes,
         format::kFactYes, format::kKerbLowered, format::kKerbRaised, 12.0f},
        {40, format::kControlMarked, 0, 0, format::kFactNo, 0, 0, 0, 0.0f},
        {60, format::kControlUnknown, 0, 0, 0, 0, 0, 0, 12.0f},
        {80, format::kControlUnmarked, 0, 0, 0, format::kFactYes, 0, 0, 0.0f},
    };
    ASSERT_EQ(found.size(), std::size(expected)); // not the one on the footway
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.x);
        auto c = std::find_if(found.begin(), found.end(),
                              [&](const auto& c) { return geo::Distance(c.at, At(e.x, 0)) < 0.5; });
        ASSERT_NE(c, found.end());
        EXPECT_EQ(c->street, "Main Street");
        EXPECT_EQ(c->facts.control, e.control);
        EXPECT_EQ(c->facts.sound, e.sound);
        EXPECT_EQ(c->facts.button, e.button);
        EXPECT_EQ(c->facts.tactile, e.tactile);
        EXPECT_EQ(c->facts.island, e.island);
        EXPECT_EQ(c->facts.kerbs[0], e.kerb0);
        EXPECT_EQ(c->facts.kerbs[1], e.kerb1);
        EXPECT_NEAR(c->facts.length, e.length, 0.2);
    }
    // Nearest first; the one ahead of a walker at x = 30 facing east is at 40, facing west at 20.
    EXPECT_LT(found.front().distance, 11.0);
    const auto east = map.engine.NextCrossingAhead(At(30, 0), 90, 100.0, Naming{});
    const auto west = map.engine.NextCrossingAhead(At(30, 0), 270, 100.0, Naming{});
    ASSERT_TRUE(east && west);
    EXPECT_LT(geo::Distance(east->at, At(40, 0)), 0.5);
    EXPECT_LT(geo::Distance(west->at, At(20, 0)), 0.5);
    EXPECT_FALSE(map.engine.NextCrossingAhead(At(30, 0), 0, 100.0, Naming{}));
    // Positions and ranges that are no place get nothing.
    for (geo::Point p : {geo::Point{std::nan(""), 10.0}, geo::Point{95.0, 10.0}, geo::Point{}})
        EXPECT_TRUE(map.engine.CrossingsNear(p, 60.0, Naming{}).empty());
    EXPECT_TRUE(map.engine.CrossingsNear(At(50, 0), -1.0, Naming{}).empty());
    EXPECT_FALSE(map.engine.NextCrossingAhead(At(30, 0), 400, 100.0, Naming{}));
}

// A route uses a crossing when it goes over the road at it, not when it walks along the road
// through it: over the crossing way at x = 20, the signals; along Main Street, none.
TEST(Crossings, TheOnesARouteGoesOver) {
    const DrawnMap map(
        {{Road("Main Street").c_str(), {{0, 0}, {20, 0}, {40, 0}, {100, 0}}},
         {"<tag k='highway' v='footway'/>", {{20, -40}, {20, -6}}},
         {"<tag k='highway' v='footway'/><tag k='footway' v='crossing'/>",
          {{20, -6}, {20, 0}, {20, 6}}},
         {"<tag k='highway' v='footway'/>", {{20, 6}, {20, 40}}}},
        kOrigin,
        {{{20, 0}, "<tag k='highway' v='crossing'/><tag k='crossing' v='traffic_signals'/>"}});
    ASSERT_TRUE(map.compiled);
    struct Case {
        std::pair<double, double> from, to;
        std::size_t crossings;
    } const cases[] = {{{20, -35}, {20, 35}, 1}, {{20, 35}, {20, -35}, 1}, {{2, 0}, {95, 0}, 0}};
    for (const Case& c : cases) {
        RouteRequest request;
        request.start = At(c.from.first, c.from.second);
        request.end = At(c.to.first, c.to.second);
        Route route;
        ASSERT_TRUE(map.engine.FindRoute(request, RouteNaming{}, &route));
        const auto used = map.engine.CrossingsOnRoute(route, Naming{});
        ASSERT_EQ(used.size(), c.crossings) << c.from.first << "," << c.from.second;
        if (used.empty()) continue;
        EXPECT_EQ(used[0].street, "Main Street");
        EXPECT_EQ(used[0].facts.control, format::kControlSignals);
        EXPECT_NEAR(used[0].distance, 35.0, 2.0); // metres along the route to it
    }
    EXPECT_TRUE(map.engine.CrossingsOnRoute(Route{}, Naming{}).empty());
}

// The Paris extract tags hundreds of crossings: each one on a road is found where the extract
// puts it, with its signals and tactile paving as the node tags them.
TEST(Crossings, TheParisExtractsCrossingsAsItTagsThem) {
    const CompiledExtract* paris = Paris();
    if (paris == nullptr) GTEST_SKIP() << "no Paris extract";
    ASSERT_TRUE(paris->loaded);

    // From the extract: the crossing nodes that lie on a road drivers may use.
    struct Reader : osmium::handler::Handler {
        struct Node {
            geo::Point at;
            std::string crossing, sound, tactile;
        };
        std::map<osmium::object_id_type, Node> crossings;
        std::set<osmium::object_id_type> onRoad;
        void node(const osmium::Node& n) {
            const char* crossing = n.tags()["crossing"];
            if (std::string(n.tags().get_value_by_key("highway", "")) != "crossing" && !crossing)
                return;
            crossings[n.id()] = {{n.location().lat(), n.location().lon()},
                                 crossing ? crossing : "",
                                 n.tags().get_value_by_key("traffic_signals:sound", ""),
                                 n.tags().get_value_by_key("tactile_paving", "")};
        }
        void way(const osmium::Way& w) {
            static const std::set<std::string> kRoads = {
                "primary",       "secondary", "tertiary", "unclassified", "residential",
                "living_street", "service",   "trunk",    "primary_link", "secondary_link"};
            if (!kRoads.count(w.tags().get_value_by_key("highway", "")) ||
                std::string(w.tags().get_value_by_key("access", "")) == "no" ||
                std::string(w.tags().get_value_by_key("motor_vehicle", "")) == "no")
                return;
            for (const osmium::NodeRef& r : w.nodes())
                onRoad.insert(r.ref());
        }
    } reader;
    gpslib::testing::ReadNodesAndWays(paris->osm, reader);

    int audible = 0, checked = 0;
    for (const auto& [id, node] : reader.crossings) {
        if (!reader.onRoad.count(id)) continue;
        const auto near = paris->engine.CrossingsNear(node.at, 0.5, Naming{});
        ASSERT_EQ(near.size(), 1u) << "node " << id;
        const auto& facts = near.front().facts;
        if (node.sound == "yes") {
            ++audible;
            EXPECT_EQ(facts.sound, format::kFactYes) << "node " << id;
        }
        // What the node says is what the crossing says.
        const int signals = node.crossing == "traffic_signals" ? format::kControlSignals : -1;
        const int tactile = node.tactile == "yes"  ? format::kFactYes
                            : node.tactile == "no" ? format::kFactNo
                                                   : -1;
        EXPECT_TRUE(signals < 0 || facts.control == signals) << "node " << id;
        EXPECT_TRUE(tactile < 0 || facts.tactile == tactile) << "node " << id;
        EXPECT_FALSE(near.front().street.empty()) << "node " << id;
        ++checked;
    }
    EXPECT_GE(audible, 20); // every audible crossing of the extract on a road of it
    EXPECT_GT(checked, 400);
}

} // namespace
} // namespace gpsmap::test
