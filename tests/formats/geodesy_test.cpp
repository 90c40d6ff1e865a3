// Geodesy and units: the edge cases by table, an ellipsoidal geodesic as an independent oracle
// for distance and bearing, and every (heading, bearing) pair for the relative angle and clock.
#include "formats/Geodesy.h"

#include <gpslib/GPSLib.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#ifdef GPSLIB_HAVE_GEOGRAPHICLIB
#include <GeographicLib/Geodesic.hpp>
#endif

namespace {

using gpscore::geo::Position;

// The geodesy sits below the type library and takes its units as numbers.
static_assert(gpslib::geo::kUnitsMetric == Metric && gpslib::geo::kUnitsImperial == Imperial);

constexpr double kRad = 3.14159265358979323846 / 180.0;

// Expected distances were worked out separately from the listed constants.
constexpr int kAny = -2; // a tiny non-zero distance: the bearing is noise

struct PointCase {
    const char* name;
    Position from;
    Position to;
    int bearing;
    std::int32_t metres;
    std::int32_t feet;
    bool same;
};

const PointCase kPointCases[] = {
    {"identical", {47.5, -122.3}, {47.5, -122.3}, -1, 0, 0, true},
    {"within 1e-10 degree", {47.5, -122.3}, {47.5 + 5e-11, -122.3 - 5e-11}, kAny, 0, 0, true},
    {"2e-10 degree apart", {47.5, -122.3}, {47.5 + 2e-10, -122.3}, 0, 0, 0, false},
    {"east on the equator", {0.0, 10.0}, {0.0, 11.0}, 90, 111125, 364583, false},
    {"north", {0.0, 10.0}, {1.0, 10.0}, 0, 111125, 364583, false},
    {"west", {0.0, 10.0}, {0.0, 9.0}, 270, 111125, 364583, false},
    // The bearing's arc-minute radius makes the angular distance a little long, so the course
    // falls just short of 180 and truncates.
    {"south", {0.0, 10.0}, {-1.0, 10.0}, 179, 111125, 364583, false},
    {"from the north pole", {90.0, 0.0}, {10.0, 50.0}, 180, 8890009, 29166696, false},
    {"from the south pole", {-90.0, 30.0}, {10.0, 50.0}, 0, 11112511, 36458370, false},
    {"one arc minute east", {0.0, 0.0}, {0.0, 1.0 / 60.0}, 90, 1852, 6076, false},
    // Straight over the pole with a westward longitude step: the course is exactly 0.
    {"over the pole westward", {80.0, 90.0}, {80.0, -90.0}, 360, 2222502, 7291674, false},
    {"across the antimeridian", {-17.0, 179.9}, {-17.0, -179.9}, 90, 21253, 69730, false},
};

void PrintTo(const PointCase& c, std::ostream* os) {
    *os << c.name;
}

class GeodesyPoints : public testing::TestWithParam<PointCase> {};

TEST_P(GeodesyPoints, BearingDistanceAndSamePoint) {
    const PointCase& c = GetParam();
    if (c.bearing != kAny) {
        EXPECT_EQ(gpscore::geo::BearingDegrees(c.from, c.to), c.bearing);
    }
    EXPECT_EQ(gpscore::geo::DistanceInUnits(c.from, c.to, Metric), c.metres);
    EXPECT_EQ(gpscore::geo::DistanceInUnits(c.from, c.to, Imperial), c.feet);
    EXPECT_EQ(gpscore::geo::DistanceInUnits(c.from, c.to, Nautical), c.feet);
    EXPECT_EQ(gpscore::geo::DistanceInUnits(c.from, c.to, BritishNautical), c.feet);
    EXPECT_EQ(gpscore::geo::IsSamePoint(c.from, c.to), c.same);
    EXPECT_EQ(gpscore::geo::IsSamePoint(c.to, c.from), c.same);
}

INSTANTIATE_TEST_SUITE_P(Table, GeodesyPoints, testing::ValuesIn(kPointCases));

TEST(GeodesyDistance, ArcMinuteAndDegreeInNauticalMiles) {
    EXPECT_NEAR(gpscore::geo::DistanceNauticalMiles(0.0, 0.0, 0.0, kRad / 60.0), 1.000046, 5e-7);
    EXPECT_NEAR(gpscore::geo::DistanceNauticalMiles(0.0, 0.0, 0.0, kRad), 60.00276, 5e-6);
    EXPECT_EQ(gpscore::geo::DistanceNauticalMiles(0.3, -1.2, 0.3, -1.2), 0.0);
    // The engine's metres: antipodes, and coordinates that are not numbers, give half the
    // circumference, never NaN.
    EXPECT_NEAR(gpslib::geo::Distance({0, 0}, {0, 180}),
                gpslib::geo::kPi * gpslib::geo::kEarthRadius, 1e-3);
    EXPECT_EQ(gpslib::geo::Distance({std::nan(""), 0}, {0, 0}),
              gpslib::geo::kPi * gpslib::geo::kEarthRadius);
}

TEST(GeodesyDistance, PoleStartsIgnoreTheTargetLongitude) {
    for (double lon = -180.0; lon <= 180.0; lon += 15.0) {
        EXPECT_EQ(gpscore::geo::BearingDegrees({90.0, lon}, {-30.0, -lon / 2.0}), 180) << lon;
        EXPECT_EQ(gpscore::geo::BearingDegrees({-90.0, lon}, {30.0, lon / 3.0}), 0) << lon;
    }
}

TEST(GeodesyValid, OnlyExactZeroZeroIsNoPosition) {
    const std::pair<Position, bool> cases[] = {
        {{0.0, 0.0}, false},   {{-0.0, 0.0}, false},   {{0.0, 1e-300}, true},
        {{1e-300, 0.0}, true}, {{-33.9, 151.2}, true},
    };
    for (const auto& [p, valid] : cases)
        EXPECT_EQ(gpscore::geo::IsValid(p), valid) << p.latitude << "," << p.longitude;
}

// Written differently: walk clockwise from the heading one degree at a time, and take the hour
// as the nearest multiple of 30 degrees with the halfway angle going to the earlier hour.
TEST(GeodesyClock, AllHeadingsAndBearings) {
    for (int heading = 0; heading < 360; ++heading) {
        for (int bearing = 0; bearing <= 360; ++bearing) {
            int steps = 0;
            for (int dir = heading; dir != bearing % 360; dir = (dir + 1) % 360)
                ++steps;
            int hour = static_cast<int>(std::ceil((steps - 15) / 30.0));
            if (hour == 0 || hour == 12) hour = 12;
            ASSERT_EQ(gpscore::geo::RelativeAngle(heading, bearing), steps)
                << heading << " " << bearing;
            ASSERT_EQ(gpscore::geo::ClockHour(heading, bearing), hour) << heading << " " << bearing;
        }
    }
    // A heading past a full turn is no heading.
    EXPECT_EQ(gpscore::geo::RelativeAngle(361, 0), -1);
    EXPECT_EQ(gpscore::geo::ClockHour(361, 0), 0);
}

TEST(GeodesyHeadings, WithinTolerance) {
    const struct {
        int a, b, tolerance;
        bool within;
    } cases[] = {
        {355, 5, 15, true},   {5, 355, 15, true},  {10, 30, 20, false}, {10, 30, 21, true},
        {0, 359, 2, true},    {0, 359, 1, false},  {90, 90, 1, true},   {90, 90, 0, false},
        {180, 0, 180, false}, {180, 0, 181, true}, {0, 360, 1, true},   {100, 200, 90, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(gpscore::geo::HeadingsWithin(c.a, c.b, c.tolerance), c.within)
            << c.a << " " << c.b << " " << c.tolerance;
}

// Stored feet read in units, and units written as feet (rounded each way on its own).
TEST(GeodesyStored, FeetReadInUnitsAndUnitsWrittenAsFeet) {
    struct StoredCase {
        Units units;
        SHORT feet, shown;
    };
    const StoredCase read[] = {
        {Metric, 100, 30},    {Nautical, 100, 30},   {BritishNautical, 100, 30},
        {Imperial, 100, 100}, {Metric, 0, 0},        {Metric, 5, 2},
        {Metric, 4, 1},       {Metric, 32767, 9987},
    };
    for (const StoredCase& c : read)
        EXPECT_EQ(gpscore::geo::StoredFeetToUnits(c.feet, c.units), c.shown)
            << c.units << " " << c.feet;
    const StoredCase written[] = {
        {Metric, 98, 30}, {Nautical, 98, 30}, {BritishNautical, 98, 30}, {Imperial, 30, 30},
        {Metric, 0, 0},   {Metric, 3, 1},     {Metric, 9843, 3000},
    };
    for (const StoredCase& c : written)
        EXPECT_EQ(gpscore::geo::UnitsToStoredFeet(c.shown, c.units), c.feet)
            << c.units << " " << c.shown;
}

#ifdef GPSLIB_HAVE_GEOGRAPHICLIB

// Random pairs: anywhere on the globe, near the poles, across the antimeridian and close
// together (the everyday walking case).
std::vector<std::pair<Position, Position>> RandomPairs() {
    std::mt19937_64 rng(5172026);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_real_distribution<double> lon(-180.0, 180.0);
    auto anywhere = [&] { return Position{std::asin(2.0 * unit(rng) - 1.0) / kRad, lon(rng)}; };
    std::vector<std::pair<Position, Position>> pairs;
    for (int i = 0; i < 2000; ++i)
        pairs.emplace_back(anywhere(), anywhere());
    for (int i = 0; i < 1000; ++i) {
        double pole_lat = (i % 2 == 0 ? 1.0 : -1.0) * (89.0 + 0.999 * unit(rng));
        Position near_pole{pole_lat, lon(rng)};
        if (i % 4 < 2)
            pairs.emplace_back(near_pole, anywhere());
        else
            pairs.emplace_back(anywhere(), near_pole);
    }
    for (int i = 0; i < 1000; ++i) {
        double lat = 160.0 * unit(rng) - 80.0;
        Position west{lat, 180.0 - 2.0 * unit(rng)};
        Position east{lat + 2.0 * unit(rng) - 1.0, -180.0 + 2.0 * unit(rng)};
        if (i % 2 == 0)
            pairs.emplace_back(west, east);
        else
            pairs.emplace_back(east, west);
    }
    for (int i = 0; i < 2000; ++i) {
        Position from = anywhere();
        if (std::abs(from.latitude) > 89.0) continue;
        double scale = std::pow(10.0, -4.0 + 3.0 * unit(rng)); // about 10 m to 10 km
        Position to{from.latitude + scale * (2.0 * unit(rng) - 1.0),
                    from.longitude + scale * (2.0 * unit(rng) - 1.0)};
        pairs.emplace_back(from, to);
    }
    return pairs;
}

double AngleDifference(double a, double b) {
    double d = std::fmod(std::abs(a - b), 360.0);
    return d > 180.0 ? 360.0 - d : d;
}

// Distance: a sphere of 6367 km stands in for radii of curvature between 6335 km (meridian at
// the equator) and 6400 km (at the poles), so the length may be off by up to 0.52%; 0.55%
// relative plus 1 m (the integer truncation) bounds it.
//
// Bearing: the truncation to whole degrees costs up to 1 degree, and the sphere's azimuth
// departs from the ellipsoid's by up to about 0.4 degree for ordinary pairs. Two places make
// azimuths sensitive: within a short distance of a pole a small sideways offset turns the
// direction a lot, and near the antipode the ellipsoid's geodesics (which fan out over a
// region about 70 km across) leave in quite different directions from the sphere's. Both grow
// like an offset over a distance, so the allowance adds 25 km / (distance to the pole) and
// 150 km / (distance to the antipode), in radians; pairs within 1 km of either are skipped.
TEST(GeodesyOracle, AgreesWithEllipsoidalGeodesic) {
    const GeographicLib::Geodesic& wgs84 = GeographicLib::Geodesic::WGS84();
    const double half_circumference_km = 3.14159265358979323846 * 6367.0;
    int compared = 0;
    double worst_distance = 0.0;
    double worst_bearing_excess = -1e9;
    for (const auto& [from, to] : RandomPairs()) {
        double s12 = 0.0, azi1 = 0.0, azi2 = 0.0;
        wgs84.Inverse(from.latitude, from.longitude, to.latitude, to.longitude, s12, azi1, azi2);
        const double metres =
            gpscore::geo::DistanceNauticalMiles(from.latitude * kRad, from.longitude * kRad,
                                                to.latitude * kRad, to.longitude * kRad) *
            1852.0;
        const double allowed = 0.0055 * s12 + 1.0;
        EXPECT_NEAR(metres, s12, allowed) << from.latitude << "," << from.longitude << " -> "
                                          << to.latitude << "," << to.longitude;
        EXPECT_NEAR(gpscore::geo::DistanceInUnits(from, to, Metric), s12, allowed);
        EXPECT_NEAR(gpscore::geo::DistanceInUnits(from, to, Imperial), s12 / 0.3048,
                    allowed / 0.3048);
        worst_distance = std::max(worst_distance, std::abs(metres - s12) / (s12 + 1.0));

        const double pole_km = std::min((90.0 - std::abs(from.latitude)) * 111.0,
                                        (90.0 - std::abs(to.latitude)) * 111.0);
        const double antipode_km = half_circumference_km - metres / 1000.0;
        if (pole_km < 1.0 || antipode_km < 1.0 || s12 < 1.0) continue;
        const double tolerance = 1.0 + 0.5 + (25.0 / pole_km + 150.0 / antipode_km) / kRad;
        const int bearing = gpscore::geo::BearingDegrees(from, to);
        ASSERT_GE(bearing, 0);
        ASSERT_LE(bearing, 360);
        // The bearing is truncated: compare the middle of its whole degree.
        const double difference = AngleDifference(bearing + 0.5, azi1);
        EXPECT_LE(difference, tolerance)
            << from.latitude << "," << from.longitude << " -> " << to.latitude << ","
            << to.longitude << " azimuth " << azi1;
        worst_bearing_excess = std::max(worst_bearing_excess, difference - tolerance);
        ++compared;
    }
    EXPECT_GT(compared, 5000);
    RecordProperty("worst_relative_distance", std::to_string(worst_distance));
    RecordProperty("worst_bearing_excess", std::to_string(worst_bearing_excess));
}

#else

TEST(GeodesyOracle, AgreesWithEllipsoidalGeodesic) {
    GTEST_SKIP() << "GeographicLib is not installed";
}

#endif

} // namespace
