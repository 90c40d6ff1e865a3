// The map file's grid keys and coordinates.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "formats/MapFile.h"

namespace {

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

} // namespace
