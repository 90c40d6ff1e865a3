// Junctions on small drawn maps: which nodes make one junction, and which junction a walker
// hears of next, round a loop too; and streets found across the prime meridian, where the grid's
// keys wrap. Each map is drawn in metres east and north of an origin (45 N 10 E unless given)
// and compiled here.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "drawn_map.h"

namespace gpsmap::test {
namespace {

namespace geo = gpslib::geo;

struct Walker {
    const char* what;
    double x, y;
    const char* street;
    int heading;
    const char* expected; // "east,north" of the junction in whole metres, or "none"
};

void Check(const DrawnMap& map, const std::vector<Walker>& walkers) {
    ASSERT_TRUE(map.compiled);
    for (const Walker& w : walkers)
        EXPECT_EQ(map.Ahead(w.x, w.y, w.street, w.heading), w.expected) << w.what;
}

constexpr const char* kOneWay =
    "<tag k='highway' v='residential'/><tag k='oneway' v='yes'/><tag k='name' v='Valley Street'/>";

TEST(Junctions, TwoTJunctionsOnAOneWayPieceStayTwo) {
    // North Lane and South Lane meet a one-way street 24 m apart.
    DrawnMap map({
        {kOneWay, {{0, 0}, {90, 0}}},
        {kOneWay, {{90, 0}, {114, 0}}},
        {kOneWay, {{114, 0}, {250, 0}}},
        {"<tag k='highway' v='residential'/><tag k='name' v='North Lane'/>", {{90, 0}, {90, 150}}},
        {"<tag k='highway' v='residential'/><tag k='name' v='South Lane'/>",
         {{114, 0}, {114, -150}}},
    });
    Check(map, {
                   {"before both", 40, 0, "Valley Street", 90, "90,0"},
                   {"between them", 102, 0, "Valley Street", 90, "114,0"},
                   {"back from beyond", 180, 0, "Valley Street", 270, "114,0"},
                   {"up to Valley Street", 90, 60, "North Lane", 180, "90,0"},
                   {"up from the south", 114, -60, "South Lane", 0, "114,0"},
               });
}

TEST(Junctions, AWalkerJustBeforeACrossingHearsOfIt) {
    // Oak Avenue is divided (one-way halves 16 m apart); Main Street crosses it, and 500 m on
    // Fork Road leaves Main Street.
    const char* main = "<tag k='highway' v='tertiary'/><tag k='name' v='Main Street'/>";
    const char* oak =
        "<tag k='highway' v='secondary'/><tag k='oneway' v='yes'/><tag k='name' v='Oak Avenue'/>";
    DrawnMap map({
        {main, {{-300, 0}, {-8, 0}}},
        {main, {{-8, 0}, {8, 0}}},
        {main, {{8, 0}, {500, 0}, {700, 0}}},
        {"<tag k='highway' v='residential'/><tag k='name' v='Fork Road'/>", {{500, 0}, {560, 200}}},
        {oak, {{-8, 300}, {-8, 0}, {-8, -300}}},
        {oak, {{8, -300}, {8, 0}, {8, 300}}},
    });
    Check(map, {
                   {"20 m before, from the west", -20, 0, "Main Street", 90, "0,0"},
                   {"24 m before, from the west", -24, 0, "Main Street", 90, "0,0"},
                   {"27 m before, from the west", -27, 0, "Main Street", 90, "0,0"},
                   {"20 m before, from the east", 20, 0, "Main Street", 270, "0,0"},
                   {"27 m before, from the east", 27, 0, "Main Street", 270, "0,0"},
                   {"on Oak Avenue, 25 m before", 8, -25, "Oak Avenue", 0, "0,0"},
                   {"standing between the halves", 0, 0, "Main Street", 90, "500,0"},
                   {"standing at a node of it", -9, 0, "Main Street", 90, "500,0"},
                   {"past it", 30, 0, "Main Street", 90, "500,0"},
               });
}

TEST(Junctions, AOneWayLoopFindsItsOwnJunction) {
    // Cul Street ends in a one-way turning loop whose two ends meet it 10 m apart.
    const char* cul = "<tag k='highway' v='residential'/><tag k='name' v='Cul Street'/>";
    DrawnMap map({
        {cul, {{0, 0}, {100, 0}}},
        {"<tag k='highway' v='residential'/><tag k='oneway' v='yes'/><tag k='name' v='Cul "
         "Street'/>",
         {{100, 0}, {110, 0}}},
        {"<tag k='highway' v='residential'/><tag k='oneway' v='yes'/><tag k='name' v='Loop "
         "Lane'/>",
         {{110, 0}, {140, 30}, {140, 90}, {100, 90}, {100, 0}}},
    });
    Check(map, {
                   {"27 m before the loop's end", 100, 27, "Loop Lane", 180, "105,0"},
                   {"20 m before the loop's end", 100, 20, "Loop Lane", 180, "105,0"},
                   {"along the loop", 140, 60, "Loop Lane", 0, "105,0"},
                   {"toward the loop", 40, 0, "Cul Street", 90, "105,0"},
               });
}

TEST(Junctions, ARingIsWalkedRoundToItsJunctionAndAClosedPathHasNone) {
    // Ring Road, a closed square, meets Stem Street at its south-west corner; Park Path, a
    // closed footway far off, meets nothing.
    DrawnMap map({
        {"<tag k='highway' v='residential'/><tag k='name' v='Ring Road'/>",
         {{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}}},
        {"<tag k='highway' v='residential'/><tag k='name' v='Stem Street'/>", {{0, 0}, {-100, 0}}},
        {"<tag k='highway' v='footway'/><tag k='name' v='Park Path'/>",
         {{1000, 0}, {1100, 0}, {1100, 100}, {1000, 100}, {1000, 0}}},
    });
    Check(map, {
                   {"round the ring the long way", 50, 0, "Ring Road", 90, "0,0"},
                   {"back the short way", 50, 0, "Ring Road", 270, "0,0"},
                   {"just past the junction, on round", 0, 40, "Ring Road", 0, "0,0"},
                   {"on the closed path", 1050, 0, "Park Path", 90, "none"},
                   {"on the closed path, the other way", 1050, 100, "Park Path", 90, "none"},
               });
}

TEST(DrawnGrid, StreetsAreFoundAcrossThePrimeMeridian) {
    // At Greenwich each pair of streets leaves a gap around longitude 0; the walker stands on the
    // other side of it from the nearer street (the grid's columns west of the meridian sort
    // after those east of it).
    auto road = [](const char* name) {
        return std::string("<tag k='highway' v='residential'/><tag k='name' v='") + name + "'/>";
    };
    const std::string west = road("West Road"), east = road("East Road"),
                      northWest = road("North West Road"), northEast = road("North East Road");
    DrawnMap map(
        {
            {west.c_str(), {{-300, 0}, {-20, 0}}},
            {east.c_str(), {{30, 0}, {300, 0}}},
            {northWest.c_str(), {{-300, 200}, {-30, 200}}},
            {northEast.c_str(), {{20, 200}, {300, 200}}},
        },
        {51.4779, 0.0});
    ASSERT_TRUE(map.compiled);
    struct Case {
        double x, y;
        const char* expected;
    } cases[] = {
        {2, 0, "West Road"},          // east of the meridian, the street west of it
        {-2, 200, "North East Road"}, // west of the meridian, the street east of it
        {-150, 0, "West Road"},
        {150, 200, "North East Road"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(map.StreetAt(c.x, c.y), c.expected) << c.x << "," << c.y;
}

} // namespace
} // namespace gpsmap::test
