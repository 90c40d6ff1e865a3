// The map file's geometry blobs survive a round trip and refuse every malformed length, and the
// engine's metres and the service's nautical miles come from one sphere.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "formats/Geodesy.h"
#include "formats/MapFile.h"

namespace {

namespace geo = gpslib::geo;
namespace format = gpslib::formats;

TEST(MapFileBlobs, RingsRoundTripAndMalformedBlobsAreRefused) {
    std::vector<geo::Ring> rings = {{true, {{47.1, 9.5}, {47.2, 9.5}, {47.2, 9.6}, {47.1, 9.5}}},
                                    {false, {{-33.9, -151.2}, {-33.8, 151.2}}}};
    std::string blob = format::EncodeRings(rings);
    std::vector<geo::Ring> back;
    ASSERT_TRUE(format::DecodeRings(blob.data(), blob.size(), &back));
    ASSERT_EQ(back.size(), rings.size());
    for (std::size_t i = 0; i < rings.size(); ++i) {
        EXPECT_EQ(back[i].outer, rings[i].outer);
        ASSERT_EQ(back[i].points.size(), rings[i].points.size());
        for (std::size_t k = 0; k < rings[i].points.size(); ++k) {
            EXPECT_NEAR(back[i].points[k].lat, rings[i].points[k].lat, 1e-7);
            EXPECT_NEAR(back[i].points[k].lon, rings[i].points[k].lon, 1e-7);
        }
    }
    // Every truncation, one byte too many, a count past the end, a point off the globe.
    std::string offGlobe;
    format::PutU32(offGlobe, 1);
    offGlobe.push_back(1);
    format::PutU32(offGlobe, 1);
    format::PutI32(offGlobe, 910000000);
    format::PutI32(offGlobe, 0);
    std::string countPastEnd = blob;
    countPastEnd[5] = '\x7f';
    std::vector<std::string> bad = {blob + "x", countPastEnd, offGlobe, std::string(3, '\0')};
    for (std::size_t n = 0; n < blob.size(); ++n)
        bad.push_back(blob.substr(0, n));
    for (const std::string& b : bad) {
        back.clear();
        EXPECT_FALSE(format::DecodeRings(b.data(), b.size(), &back)) << b.size() << " bytes";
    }
    std::vector<geo::Point> line;
    EXPECT_FALSE(format::DecodeLine(blob.data(), 12, &line));
    EXPECT_TRUE(line.empty());
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
