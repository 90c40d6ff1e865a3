// Numbers placed between their neighbours on a drawn map whose bent streets pass an unnamed
// footway: the answer lies on the addressed street, never on the nearer path.
#include <gtest/gtest.h>

#include "drawn_map.h"

namespace gpsmap::test {
namespace {

std::string Number(const char* number, const char* street) {
    return std::string("<tag k='addr:housenumber' v='") + number + "'/><tag k='addr:street' v='" +
           street + "'/>";
}

TEST(AddressPosition, BetweenNeighboursOnTheAddressedStreet) {
    // x and y in 1/1000 degree east and north of 45 N 10 E. Crook Lane: one way bent at (2, 0).
    // Bend Road: two ways meeting at its bend (7, 0). Unnamed footways beside the chords between
    // the numbers.
    const char* road = "<tag k='highway' v='residential'/>";
    const std::string crook = std::string(road) + "<tag k='name' v='Crook Lane'/>",
                      bend = std::string(road) + "<tag k='name' v='Bend Road'/>";
    const std::string numbers[] = {Number("2", "Crook Lane"), Number("10", "Crook Lane"),
                                   Number("2", "Bend Road"), Number("10", "Bend Road")};
    const DrawnMap map({{crook.c_str(), {Grid(0, 0), Grid(2, 0), Grid(2, 2)}},
                        {bend.c_str(), {Grid(5, 0), Grid(7, 0)}},
                        {bend.c_str(), {Grid(7, 0), Grid(7, 2)}},
                        {"<tag k='highway' v='footway'/>", {Grid(1.0, 0.6), Grid(1.0, 1.2)}},
                        {"<tag k='highway' v='footway'/>", {Grid(6.0, 0.6), Grid(6.0, 1.2)}}},
                       kOrigin,
                       {{Grid(0.2, -0.1), numbers[0].c_str()},
                        {Grid(2.1, 1.8), numbers[1].c_str()},
                        {Grid(5.2, -0.1), numbers[2].c_str()},
                        {Grid(7.1, 1.8), numbers[3].c_str()}});
    ASSERT_TRUE(map.compiled);
    const Engine& engine = map.engine;
    struct Case {
        const char* street;
        const char* number;
        bool found;
        double x, y; // where the answer lies
    };
    const Case cases[] = {
        // Both neighbours on one edge: half way along the street between them, 29 m past the bend.
        {"Crook Lane", "6", true, 2.0, 0.263},
        {"Crook Lane", "4", true, 1.286, 0.0},
        // Neighbours on two edges: the nearest point of the street, not the footway 8 m away.
        {"Bend Road", "6", true, 7.0, 0.9},
        {"Crook Lane", "12", false, 0, 0}, // beyond every number of the street
        {"Crook Lane", "1", false, 0, 0},
    };
    for (const Case& c : cases) {
        auto at = engine.AddressPosition("Drawn", -1, c.street, "", "", c.number);
        ASSERT_EQ(at.has_value(), c.found) << c.street << " " << c.number;
        if (!at) continue;
        EXPECT_LT(gpslib::geo::Distance(*at, {45.0 + c.y / 1000.0, 10.0 + c.x / 1000.0}), 1.5)
            << c.street << " " << c.number << ": " << at->lat << "," << at->lon;
    }
}

} // namespace
} // namespace gpsmap::test
