// What gpsmap-build keeps for routing: who may use each way and in which direction, tolls, and
// the turn restrictions turned into pairs of edges at their node. A small extract is drawn here,
// compiled, and its map file read back through the engine's loader.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "MapData.h"
#include "temp_dir.h"

namespace gpsmap::test {
namespace {

struct TagWay {
    const char* name;
    std::vector<std::pair<const char*, const char*>> tags;
    bool foot, car;
    int oneway;
    bool toll;
    unsigned walk = gpslib::formats::kWalkFacts; // what a walker has beside the road
};

// Each way alone, one row apart.
const TagWay kAccess[] = {
    {"Plain", {{"highway", "residential"}}, true, true, 0, false},
    {"Foot", {{"highway", "footway"}}, true, false, 0, false},
    {"Motorway", {{"highway", "motorway"}}, false, true, 1, false},
    {"Private", {{"highway", "residential"}, {"access", "private"}}, false, false, 0, false},
    {"NoButFoot",
     {{"highway", "residential"}, {"access", "no"}, {"foot", "yes"}},
     true,
     false,
     0,
     false},
    {"Track", {{"highway", "track"}}, true, false, 0, false},
    {"OpenTrack", {{"highway", "track"}, {"motor_vehicle", "yes"}}, true, true, 0, false},
    {"NoMotor", {{"highway", "residential"}, {"motor_vehicle", "no"}}, true, false, 0, false},
    {"Destination", {{"highway", "residential"}, {"access", "destination"}}, true, true, 0, false},
    {"Motorroad", {{"highway", "trunk"}, {"motorroad", "yes"}}, false, true, 0, false},
    {"Against", {{"highway", "residential"}, {"oneway", "-1"}}, true, true, -1, false},
    {"Ring", {{"highway", "residential"}, {"junction", "roundabout"}}, true, true, 1, false},
    {"Toll", {{"highway", "primary"}, {"toll", "yes"}}, true, true, 0, true},
    {"NoFoot", {{"highway", "primary"}, {"foot", "no"}}, false, true, 0, false},
    {"Bus", {{"highway", "busway"}}, false, false, 0, false},
    // No country boundary, no country's defaults: a trunk road is open.
    {"Trunk", {{"highway", "trunk"}}, true, true, 0, false},
    {"Sidewalks", {{"highway", "secondary"}, {"sidewalk", "both"}}, true, true, 0, false, 3},
    {"Separate",
     {{"highway", "secondary"}, {"sidewalk:right", "separate"}},
     true,
     true,
     0,
     false,
     5},
    {"NoSidewalk", {{"highway", "secondary"}, {"sidewalk", "No"}}, true, true, 0, false, 9},
};

std::string Node(long id, double x, double y) {
    std::ostringstream out;
    out.precision(10);
    out << "<node id='" << id << "' lat='" << 47.0 + y / 1000 << "' lon='" << 9.0 + x / 1000
        << "'/>\n";
    return out.str();
}

std::string Way(long id, std::vector<long> nodes,
                std::vector<std::pair<const char*, const char*>> tags) {
    std::ostringstream out;
    out << "<way id='" << id << "'>";
    for (long n : nodes)
        out << "<nd ref='" << n << "'/>";
    for (auto [k, v] : tags)
        out << "<tag k='" << k << "' v='" << v << "'/>";
    out << "</way>\n";
    return out.str();
}

std::string Relation(long id, long from, const char* viaType, long via, long to,
                     std::vector<std::pair<const char*, const char*>> tags) {
    std::ostringstream out;
    out << "<relation id='" << id << "'><member type='way' ref='" << from << "' role='from'/>"
        << "<member type='" << viaType << "' ref='" << via << "' role='via'/>"
        << "<member type='way' ref='" << to << "' role='to'/>";
    for (auto [k, v] : tags)
        out << "<tag k='" << k << "' v='" << v << "'/>";
    out << "</relation>\n";
    return out.str();
}

// A crossing at node 1 (x 0): West (way 1, ends there), East (2, starts there), North (3),
// South (4, ends there); a T at node 11 (x 5) where Side (6) ends on Main (5), which passes
// through. Then the ways of kAccess, from way 100 on.
std::string Extract() {
    std::string osm = "<?xml version='1.0'?>\n<osm version='0.6'>\n";
    osm += Node(1, 0, 0) + Node(2, -1, 0) + Node(3, 1, 0) + Node(4, 0, 1) + Node(5, 0, -1);
    osm += Node(10, 4, 0) + Node(11, 5, 0) + Node(12, 6, 0) + Node(13, 5, 1);
    for (std::size_t i = 0; i < std::size(kAccess); ++i) {
        osm += Node(static_cast<long>(100 + 2 * i), 0, 10 + static_cast<double>(i));
        osm += Node(static_cast<long>(101 + 2 * i), 1, 10 + static_cast<double>(i));
    }
    auto road = [](const char* name) {
        return std::vector<std::pair<const char*, const char*>>{{"highway", "residential"},
                                                                {"name", name}};
    };
    osm += Way(1, {2, 1}, road("West")) + Way(2, {1, 3}, road("East")) +
           Way(3, {1, 4}, road("North")) + Way(4, {5, 1}, road("South"));
    osm += Way(5, {10, 11, 12}, road("Main")) + Way(6, {13, 11}, road("Side"));
    for (std::size_t i = 0; i < std::size(kAccess); ++i) {
        auto tags = kAccess[i].tags;
        tags.push_back({"name", kAccess[i].name});
        osm += Way(static_cast<long>(100 + i),
                   {static_cast<long>(100 + 2 * i), static_cast<long>(101 + 2 * i)}, tags);
    }
    const std::pair<const char*, const char*> type = {"type", "restriction"};
    osm += Relation(201, 1, "node", 1, 3, {type, {"restriction", "no_left_turn"}});
    osm += Relation(202, 4, "node", 1, 3, {type, {"restriction", "only_straight_on"}});
    osm += Relation(203, 1, "node", 1, 4,
                    {type, {"restriction", "no_right_turn"}, {"except", "motorcar"}});
    osm += Relation(204, 2, "node", 1, 2, {type, {"restriction:motorcar", "no_u_turn"}});
    osm += Relation(205, 1, "way", 2, 3, {type, {"restriction", "no_left_turn"}});
    osm += Relation(206, 1, "node", 1, 2, {type, {"restriction", "give_way"}});
    osm += Relation(207, 6, "node", 11, 5, {type, {"restriction", "no_left_turn"}});
    osm += Relation(208, 1, "node", 1, 4, {{"type", "multipolygon"}, {"restriction", "no_entry"}});
    return osm + "</osm>\n";
}

class RoutingData : public ::testing::Test {
protected:
    void SetUp() override {
        std::string osm = dir.File("routing.osm");
        std::ofstream(osm) << Extract();
        std::string command =
            std::string(GPSMAP_BUILD_TOOL) + " --quiet --name Routing -o " + dir.path() + " " + osm;
        ASSERT_EQ(std::system(command.c_str()), 0);
        std::string error;
        ASSERT_TRUE(map.Open(dir.File("Routing.rmf"), &error)) << error;
    }
    // "Way>Way" by the ways' names, for each restriction at the node nearest (x, y).
    std::vector<std::string> RestrictionsAt(double x, double y) {
        std::vector<std::string> out;
        for (std::size_t n = 0; n < map.NodeCount(); ++n) {
            const Point& p = map.Node(static_cast<int>(n)).at;
            if (std::fabs(p.lat - (47.0 + y / 1000)) > 1e-6 ||
                std::fabs(p.lon - (9.0 + x / 1000)) > 1e-6)
                continue;
            for (const Restriction& r : map.RestrictionsAt(static_cast<int>(n))) {
                const Edge& from = map.Edge(r.from);
                const Edge& to = map.Edge(r.to);
                std::string toName(map.Way(to.way).name);
                // Name the half of a way that passes through by the end it leads to.
                if (toName == "Main") toName += to.points.back().lon > p.lon ? " east" : " west";
                out.push_back(std::string(map.Way(from.way).name) + ">" + toName +
                              (r.only ? " only" : ""));
            }
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    gpslib::test::TempDir dir;
    MapData map;
};

TEST_F(RoutingData, WhoMayUseEachWayAndWhichWay) {
    for (const TagWay& t : kAccess) {
        std::optional<gpsmap::Way> found;
        for (std::size_t i = 0; i < map.WayCount(); ++i)
            if (gpsmap::Way w = map.Way(static_cast<int>(i)); w.name == t.name) found = w;
        ASSERT_TRUE(found.has_value()) << t.name;
        EXPECT_EQ(found->foot, t.foot) << t.name;
        EXPECT_EQ(found->car, t.car) << t.name;
        EXPECT_EQ(found->oneway, t.oneway) << t.name;
        EXPECT_EQ(found->toll, t.toll) << t.name;
        EXPECT_EQ(found->walk, t.walk) << t.name;
    }
}

TEST_F(RoutingData, TurnRestrictionsBecomeEdgePairsAtTheirNode) {
    // Kept: no left turn, only straight on, the drivers' no U-turn. Left out: one that excepts
    // cars, one via a way, one of no known kind, a relation of another type.
    EXPECT_EQ(RestrictionsAt(0, 0),
              (std::vector<std::string>{"East>East", "South>North only", "West>North"}));
    // Main passes through the T: the left turn out of Side (heading south) is the eastern half.
    EXPECT_EQ(RestrictionsAt(5, 0), (std::vector<std::string>{"Side>Main east"}));
}

} // namespace
} // namespace gpsmap::test
