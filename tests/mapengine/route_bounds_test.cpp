// The search through the map's route hierarchy (the default preferences) and the one guided by its
// route bounds (the others) against the plain one, on the compiled shared extracts: over random
// pairs of places (on nodes, beside streets, on other islands of the network) and every kind of
// preference, both find a route or neither, at the same cost; the fast ones settle fewer states.
// A map whose bounds and hierarchy were made with other prices, a broken hierarchy, and a mixed
// route are searched as before. Skipped when the extracts are not there.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>

#include "MapData.h"
#include "Router.h"
#include "formats/MapFile.h"

namespace gpsmap::test {
namespace {

namespace format = gpslib::formats;

std::string MapFile(const std::string& name) {
    return std::string(GPSLIB_OSM_MAP_DIR) + "/" + name + ".rmf";
}

// The preferences a pair is asked with, in turn: each changes the prices, the turns or the start.
struct Ask {
    bool walking;
    RoutePreferences preferences;
    int heading;
};
const Ask kAsks[] = {
    {true, {}, -1},
    {true, {.turnPedestrian = 1}, 90},
    {false, {}, -1},
    {true, {}, 200},
    {false, {}, 45},
    {false, {.vehicleMode = 1}, -1},
    {false, {.freeway = 2, .turnVehicle = 1}, 180},
    {false, {.freeway = 1, .roundabout = 2, .toll = 1}, -1},
    {false, {.freeway = 3, .turnVehicle = 3, .roundabout = 1, .toll = 2}, 270},
};

// The pairs: from nodes, from a few metres beside them, and from farther off every street.
Point Place(const MapData& map, std::mt19937& random, int kind) {
    std::uniform_int_distribution<int> node(0, static_cast<int>(map.NodeCount()) - 1);
    std::uniform_real_distribution<double> jitter(-0.0004, 0.0004);
    Point p = map.NodeAt(node(random));
    if (kind == 1) p = {p.lat + jitter(random) / 10, p.lon + jitter(random) / 10};
    if (kind == 2) p = {p.lat + jitter(random), p.lon + jitter(random)};
    return p;
}

class RouteBounds : public ::testing::TestWithParam<const char*> {};

TEST_P(RouteBounds, TheGuidedSearchFindsTheCostOfThePlainOne) {
    MapData map;
    std::string error;
    if (!std::filesystem::exists(MapFile(GetParam()))) GTEST_SKIP() << "no compiled extract";
    ASSERT_TRUE(map.Open(MapFile(GetParam()), &error)) << error;
    ASSERT_GT(map.Landmarks(true), 0);
    ASSERT_GT(map.Landmarks(false), 0);
    ASSERT_TRUE(map.HasHierarchy(true));
    ASSERT_TRUE(map.HasHierarchy(false));
    std::mt19937 random(11);
    RouteScratch scratch;
    long settled[2] = {0, 0};
    int found = 0, pairs = 0;
    for (; pairs < 750; ++pairs) {
        const Ask& ask = kAsks[pairs % std::size(kAsks)];
        RouteRequest request;
        request.start = Place(map, random, pairs % 3);
        request.end = Place(map, random, (pairs / 3) % 3);
        request.walking = ask.walking;
        request.preferences = ask.preferences;
        request.initialHeading = ask.heading;
        Route plain, guided;
        request.plainSearch = true;
        const bool a = FindRoute(map, request, RouteNaming{}, &scratch, &plain);
        request.plainSearch = false;
        const bool b = FindRoute(map, request, RouteNaming{}, &scratch, &guided);
        SCOPED_TRACE(testing::Message()
                     << "pair " << pairs << " from " << request.start.lat << ","
                     << request.start.lon << " to " << request.end.lat << "," << request.end.lon);
        ASSERT_EQ(a, b);
        if (!a) continue;
        ++found;
        ASSERT_NEAR(guided.cost, plain.cost, 1e-6 * plain.cost + 1e-9);
        settled[0] += plain.visited, settled[1] += guided.visited;
    }
    EXPECT_GT(found, pairs / 2);
    EXPECT_LT(settled[1], settled[0]);
}

INSTANTIATE_TEST_SUITE_P(Extracts, RouteBounds,
                         ::testing::Values("Monaco", "Andorra", "Liechtenstein", "Baltimore"));

// A copy of the Liechtenstein map with `change` applied to its bytes.
std::string ChangedCopy(const std::string& name, const std::function<void(std::string&)>& change) {
    std::ifstream in(MapFile("Liechtenstein"), std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    change(bytes);
    const std::string copy = testing::TempDir() + "/" + name + ".rmf";
    std::ofstream(copy, std::ios::binary) << bytes;
    return copy;
}

// The bounds and the hierarchy are used only with the prices they were made with, a hierarchy
// that proves broken not at all, and neither for the two layers of a mixed route: those searches
// are the plain one, at its cost.
TEST(RouteBoundsUse, OtherPricesABrokenHierarchyOrAMixedRouteAreSearchedPlainly) {
    if (!std::filesystem::exists(MapFile("Liechtenstein"))) GTEST_SKIP() << "no compiled extract";
    // Another speed for motorways in the keys the map recorded, as an older engine would have.
    const std::string otherPrices = ChangedCopy("other-prices", [](std::string& bytes) {
        for (std::size_t at = bytes.find("motorway=110"); at != std::string::npos;
             at = bytes.find("motorway=110", at))
            bytes[at + 9] = '9';
    });
    // Hierarchies that prove broken: every shortcut through the first state, whose arcs lead
    // nowhere near; arcs of negative cost, which could make a search go round for ever.
    auto damage = [](const char* name, void (*change)(format::HierarchyArcRecord&)) {
        return ChangedCopy(name, [change](std::string& bytes) {
            format::MapFileHeader header;
            std::memcpy(&header, bytes.data(), sizeof header);
            for (std::uint32_t i = 0; i < header.sectionCount; ++i) {
                format::MapSection section;
                std::memcpy(&section, bytes.data() + sizeof header + i * sizeof section,
                            sizeof section);
                for (std::uint64_t k = 0;
                     section.id == format::kSectionHierarchyArcs && k < section.count; ++k) {
                    format::HierarchyArcRecord arc;
                    char* at = bytes.data() + section.offset + k * sizeof arc;
                    std::memcpy(&arc, at, sizeof arc);
                    change(arc);
                    std::memcpy(at, &arc, sizeof arc);
                }
            }
        });
    };
    const std::string broken[] = {
        damage("loops", [](format::HierarchyArcRecord& a) { a.middle = a.middle >= 0 ? 0 : -1; }),
        damage("negative", [](format::HierarchyArcRecord& a) { a.cost = -a.cost - 1; }),
    };
    MapData other, same;
    std::string error;
    ASSERT_TRUE(other.Open(otherPrices, &error)) << error;
    ASSERT_TRUE(same.Open(MapFile("Liechtenstein"), &error)) << error;
    EXPECT_EQ(other.Landmarks(true), 0);
    EXPECT_EQ(other.Landmarks(false), 0);
    EXPECT_FALSE(other.HasHierarchy(false));

    RouteScratch scratch;
    RouteRequest request;
    request.start = {47.2436, 9.5401};
    request.end = {47.0665, 9.5030};
    request.walking = false;
    Route fast, unguided, plain;
    ASSERT_TRUE(FindRoute(same, request, RouteNaming{}, &scratch, &fast));
    ASSERT_TRUE(FindRoute(other, request, RouteNaming{}, &scratch, &unguided));
    for (const std::string& copy : broken) {
        MapData damaged;
        ASSERT_TRUE(damaged.Open(copy, &error)) << error;
        Route repaired;
        ASSERT_TRUE(FindRoute(damaged, request, RouteNaming{}, &scratch, &repaired)) << copy;
        EXPECT_NEAR(repaired.cost, fast.cost, 1e-6 * fast.cost) << copy;
        EXPECT_EQ(repaired.points.size(), fast.points.size()) << copy;
    }
    request.plainSearch = true;
    ASSERT_TRUE(FindRoute(same, request, RouteNaming{}, &scratch, &plain));
    EXPECT_EQ(unguided.visited, plain.visited);
    EXPECT_LT(fast.visited * 10, plain.visited);
    EXPECT_NEAR(fast.cost, plain.cost, 1e-6 * plain.cost);

    request.preferences.vehicleMode = 2; // drive, then walk the last stretch
    Route mixedPlain, mixedGuided;
    ASSERT_TRUE(FindRoute(same, request, RouteNaming{}, &scratch, &mixedPlain));
    request.plainSearch = false;
    ASSERT_TRUE(FindRoute(same, request, RouteNaming{}, &scratch, &mixedGuided));
    EXPECT_EQ(mixedGuided.visited, mixedPlain.visited);
}

} // namespace
} // namespace gpsmap::test
