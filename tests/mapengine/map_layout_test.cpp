// What the compiler computes for the engine agrees with the rows it is computed from, on the
// sample town and the compiled extracts: the grids, the edges at each node and of each street, the
// nodes of each intersection, the leaving bearings and both orders of the house numbers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "MapData.h"

namespace gpsmap::test {
namespace {

namespace fs = std::filesystem;

class MapLayout : public ::testing::TestWithParam<std::string> {};

TEST_P(MapLayout, DerivedIndicesAgreeWithTheRows) {
    if (!fs::exists(GetParam())) GTEST_SKIP() << GetParam() << " not compiled";
    MapData map;
    std::string error;
    ASSERT_TRUE(map.Open(GetParam(), &error)) << error;
    ASSERT_GT(map.EdgeCount(), 0u);
    const int edges = static_cast<int>(map.EdgeCount());
    std::map<int, std::set<int>> atNode;      // node -> edges ending there, from the edge rows
    std::map<int, std::vector<int>> ofStreet; // street -> its edges, in edge order
    std::vector<int> near;
    int checkedBearings = 0;
    for (int i = 0; i < edges; ++i) {
        Edge e = map.Edge(i);
        ASSERT_NE(e.points.data(), kNowhere) << "edge " << i;
        atNode[e.from].insert(i);
        atNode[e.to].insert(i);
        ofStreet[map.Way(e.way).street].push_back(i);
        // The grid of its role finds it at each of its points.
        bool walkway = map.Way(e.way).role > format::kRoleConnector;
        for (const Point& p : {e.points.front(), e.points[e.points.size() / 2], e.points.back()}) {
            if (walkway)
                map.AllEdgesNear(p, 1.0, &near);
            else
                map.EdgesNear(p, 1.0, &near);
            ASSERT_TRUE(std::binary_search(near.begin(), near.end(), i)) << "edge " << i;
        }
        // Leaving bearings: toward the next point when the first piece is 10 m or longer.
        if (geo::Distance(e.points[0], e.points[1]) >= 10.0 && checkedBearings++ < 1000) {
            EXPECT_NEAR(geo::AngleBetween(e.leaving[0], geo::Bearing(e.points[0], e.points[1])),
                        0.0, 0.01)
                << "edge " << i;
        }
    }
    for (std::size_t s = 0; s < map.StreetCount(); ++s) {
        IdList listed = map.StreetEdges(static_cast<int>(s));
        EXPECT_EQ(std::vector<int>(listed.begin(), listed.end()), ofStreet[static_cast<int>(s)])
            << "street " << s;
    }
    std::map<int, std::set<int>> ofIntersection;
    for (std::size_t n = 0; n < map.NodeCount(); ++n) {
        Node node = map.Node(static_cast<int>(n));
        std::set<int> listed(node.edges.begin(), node.edges.end());
        EXPECT_EQ(listed.size(), node.edges.size()) << "node " << n;
        EXPECT_EQ(listed, atNode[static_cast<int>(n)]) << "node " << n;
        if (node.intersection >= 0) ofIntersection[node.intersection].insert(static_cast<int>(n));
    }
    for (std::size_t x = 0; x < map.IntersectionCount(); ++x) {
        IntersectionRow row = map.Intersection(static_cast<int>(x));
        EXPECT_EQ(std::set<int>(row.nodes.begin(), row.nodes.end()),
                  ofIntersection[static_cast<int>(x)])
            << "intersection " << x;
        map.IntersectionsNear(row.at, 1.0, &near);
        EXPECT_TRUE(std::binary_search(near.begin(), near.end(), static_cast<int>(x)));
    }
    // Every house number is found by its edge and by its street, once each.
    std::vector<int> all(static_cast<std::size_t>(edges));
    for (int i = 0; i < edges; ++i)
        all[static_cast<std::size_t>(i)] = i;
    std::map<int, std::vector<std::string>> byStreet;
    for (const AddressRow& a : map.AddressesOnEdges(all))
        byStreet[a.street].push_back(std::to_string(a.edge) + " " + a.number);
    for (auto& [street, rows] : byStreet) {
        std::vector<std::string> found;
        for (const AddressRow& a : map.AddressesOfStreet(street))
            found.push_back(std::to_string(a.edge) + " " + a.number);
        std::sort(rows.begin(), rows.end());
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, rows) << "street " << street;
    }
}

INSTANTIATE_TEST_SUITE_P(Maps, MapLayout,
                         ::testing::Values(std::string(GPSLIB_SAMPLE_MAP_DIR) + "/Sampleton.rmf",
                                           std::string(GPSLIB_OSM_MAP_DIR) + "/Monaco.rmf",
                                           std::string(GPSLIB_OSM_MAP_DIR) + "/Liechtenstein.rmf"));

} // namespace
} // namespace gpsmap::test
