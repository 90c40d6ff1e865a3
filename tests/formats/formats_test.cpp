// The map file's grid keys and coordinates, and the
// engine's metres and the service's nautical miles come from one sphere.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "formats/Geodesy.h"
#include "formats/MapFile.h"

namespace {

namespace geo = gpslib::geo;
namespace format = gpslib::formats;

TEST(MapFileGrid, CellKeysAreDistinctAcrossTheSignsAndCoordinatesStayOnTheOsmGrid) {
    // Neighbouring cells on both sides of 0/0 and at the ends of the globe.
    const std::int64_t rows[] = {-45001, -1, 0, 1, 45000}, cols[] = {-90001, -1, 0, 1, 90000};
    std::set<std::int64_t> keys;
    for (std::int64_t y : rows)
        for (std::int64_t x : cols)
            EXPECT_TRUE(keys.insert(format::GridKey(y, x)).second) << y << "," << x;
    const struct {
        double in, out;
    } grid[] = {{47.12345678, 47.1234568}, {-0.00000004, 0.0}, {-179.99999996, -180.0}, {9.5, 9.5}};
    for (const auto& g : grid)
        EXPECT_DOUBLE_EQ(format::OnGrid(g.in), g.out) << g.in;
}

TEST(Geodesy, MetresAndNauticalMilesAreOneSphere) {
    constexpr double kRad = geo::kPi / 180.0;
    const struct {
        geo::Point a, b;
    } cases[] = {{{0, 0}, {0, 1}},
                 {{43.7384, 7.4246}, {43.7311, 7.4197}},
                 {{39.29, -76.61}, {39.30, -76.60}},
                 {{89.9, 0}, {-89.9, 180}},
                 {{0, -179.9999}, {0, 179.9999}}};
    for (const auto& c : cases) {
        double nm = geo::DistanceNauticalMiles(c.a.lat * kRad, c.a.lon * kRad, c.b.lat * kRad,
                                               c.b.lon * kRad);
        EXPECT_NEAR(geo::Distance(c.a, c.b), nm * geo::kMetresPerNm, 1e-6)
            << c.a.lat << "," << c.a.lon;
    }
    EXPECT_NEAR(geo::kEarthRadius, 6367000.0, 0.01);
    // Antipodes, and coordinates that are not numbers, give half the circumference, never NaN.
    EXPECT_NEAR(geo::Distance({0, 0}, {0, 180}), geo::kPi * geo::kEarthRadius, 1e-3);
    EXPECT_EQ(geo::Distance({std::nan(""), 0}, {0, 0}), geo::kPi * geo::kEarthRadius);
}

} // namespace
