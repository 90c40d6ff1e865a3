// The grid over areas and places only makes the lookups of a position's areas and city faster:
// on real extracts, at every POI, house number and place and on a lattice over the whole extract
// (cell edges included), it must give what reading every area and place gives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Extract.h"
#include "Stages.h"
#include "shared_data.h"

namespace gpsmap::test {
namespace {

using build::Point;

TEST(PlaceGrid, AnswersAsReadingEverything) {
    int found = 0, named = 0, asked = 0;
    const char* extracts[] = {"liechtenstein.osm.pbf", "baltimore.osm.pbf", "monaco.osm.gz"};
    for (const char* file : extracts)
        GPSLIB_SKIP_WITHOUT_SHARED_DATA(std::string(GPSLIB_OSM_DATA_DIR) + "/" + file);
    for (const char* file : extracts) {
        SCOPED_TRACE(file);
        build::Extract extract;
        std::string error;
        ASSERT_TRUE(build::ReadExtract(std::string(GPSLIB_OSM_DATA_DIR) + "/" + file, "", nullptr,
                                       &extract, &error))
            << error;
        build::Map plain, indexed;
        plain.areas = indexed.areas = extract.areas;
        plain.places = indexed.places = extract.places;
        build::IndexAreasAndPlaces(indexed);

        std::vector<Point> at;
        double minLat = 90, maxLat = -90, minLon = 180, maxLon = -180;
        auto add = [&](Point p) {
            at.push_back(p);
            minLat = std::min(minLat, p.lat), maxLat = std::max(maxLat, p.lat);
            minLon = std::min(minLon, p.lon), maxLon = std::max(maxLon, p.lon);
        };
        for (const auto& p : extract.pois)
            add(p.at);
        for (const auto& a : extract.addresses)
            add(a.at);
        for (const auto& p : extract.places)
            add(p.at), add({p.at.lat + 0.05, p.at.lon - 0.07}), add({p.at.lat - 0.06, p.at.lon});
        for (int i = 0; i <= 40; ++i)
            for (int j = 0; j <= 40; ++j)
                at.push_back({minLat - 0.1 + (maxLat - minLat + 0.2) * i / 40,
                              minLon - 0.1 + (maxLon - minLon + 0.2) * j / 40});
        for (double lat = std::floor(minLat * 10) / 10; lat <= maxLat; lat += 0.1)
            at.push_back({lat, (minLon + maxLon) / 2}); // on the cells' edges

        const int kinds[] = {build::format::kAreaCity, build::format::kAreaPostal,
                             build::format::kAreaState, build::format::kAreaCountry};
        auto indexOf = [](const build::Map& map, const build::AreaRec* a) {
            return a == nullptr ? -1 : static_cast<int>(a - map.areas.data());
        };
        asked += static_cast<int>(at.size());
        for (Point p : at) {
            for (int kind : kinds) {
                const int expected = indexOf(plain, build::AreaAt(plain, p, kind));
                EXPECT_EQ(indexOf(indexed, build::AreaAt(indexed, p, kind)), expected)
                    << "kind " << kind << " at " << p.lat << "," << p.lon;
                found += expected >= 0;
            }
            const std::string city = build::CityAt(plain, p);
            EXPECT_EQ(build::CityAt(indexed, p), city) << p.lat << "," << p.lon;
            named += !city.empty();
        }
    }
    // Both kinds of answer were asked for, not only the empty one.
    EXPECT_GT(found, 0);
    EXPECT_GT(named, 0);
    EXPECT_LT(named, asked);
}

} // namespace
} // namespace gpsmap::test
