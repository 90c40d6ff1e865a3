// Numbers placed between their neighbours on a drawn map whose bent streets pass an unnamed
// footway: the answer lies on the addressed street, never on the nearer path.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "Engine.h"
#include "formats/Geodesy.h"
#include "temp_dir.h"

namespace gpsmap::test {
namespace {

// x and y in 1/1000 degree east and north of 45 N 10 E.
std::string Node(int id, double x, double y, const std::string& tags = "") {
    std::ostringstream out;
    out.precision(10);
    out << "<node id='" << id << "' version='1' timestamp='2026-01-01T00:00:00Z' lat='"
        << 45.0 + y / 1000.0 << "' lon='" << 10.0 + x / 1000.0 << "'>" << tags << "</node>\n";
    return out.str();
}

std::string Way(int id, std::initializer_list<int> nodes, const std::string& tags) {
    std::string out =
        "<way id='" + std::to_string(id) + "' version='1' timestamp='2026-01-01T00:00:00Z'>";
    for (int n : nodes)
        out += "<nd ref='" + std::to_string(n) + "'/>";
    return out + tags + "</way>\n";
}

std::string Number(const char* number, const char* street) {
    return std::string("<tag k='addr:housenumber' v='") + number + "'/><tag k='addr:street' v='" +
           street + "'/>";
}

TEST(AddressPosition, BetweenNeighboursOnTheAddressedStreet) {
    gpslib::test::TempDir dir;
    const std::string road = "<tag k='highway' v='residential'/>";
    std::string osm = "<?xml version='1.0'?><osm version='0.6'>\n";
    // Crook Lane: one way bent at (2, 0). Bend Road: two ways meeting at its bend (7, 0).
    osm += Node(1, 0, 0) + Node(2, 2, 0) + Node(3, 2, 2);
    osm += Node(4, 5, 0) + Node(5, 7, 0) + Node(6, 7, 2);
    // Unnamed footways beside the chords between the numbers.
    osm += Node(7, 1.0, 0.6) + Node(8, 1.0, 1.2) + Node(9, 6.0, 0.6) + Node(10, 6.0, 1.2);
    osm += Node(11, 0.2, -0.1, Number("2", "Crook Lane")) +
           Node(12, 2.1, 1.8, Number("10", "Crook Lane")) +
           Node(13, 5.2, -0.1, Number("2", "Bend Road")) +
           Node(14, 7.1, 1.8, Number("10", "Bend Road"));
    osm += Way(101, {1, 2, 3}, road + "<tag k='name' v='Crook Lane'/>");
    osm += Way(102, {4, 5}, road + "<tag k='name' v='Bend Road'/>");
    osm += Way(103, {5, 6}, road + "<tag k='name' v='Bend Road'/>");
    osm += Way(104, {7, 8}, "<tag k='highway' v='footway'/>");
    osm += Way(105, {9, 10}, "<tag k='highway' v='footway'/>");
    osm += "</osm>\n";
    std::ofstream(dir.File("bends.osm")) << osm;
    ASSERT_EQ(std::system((std::string(GPSMAP_BUILD_TOOL) + " -q --name Bends -o " + dir.path() +
                           " " + dir.File("bends.osm"))
                              .c_str()),
              0);
    Engine engine;
    ASSERT_EQ(engine.Initialize(dir.path(), "", false), "OK");

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
        auto at = engine.AddressPosition("Bends", -1, c.street, "", "", c.number);
        ASSERT_EQ(at.has_value(), c.found) << c.street << " " << c.number;
        if (!at) continue;
        EXPECT_LT(gpslib::geo::Distance(*at, {45.0 + c.y / 1000.0, 10.0 + c.x / 1000.0}), 1.5)
            << c.street << " " << c.number << ": " << at->lat << "," << at->lon;
    }
}

} // namespace
} // namespace gpsmap::test
