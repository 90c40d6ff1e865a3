// Shared by the map tests: the engine offered in-process, created by class id, its maps loaded
// from a folder, and its answers read back as plain values.
#pragma once

#include <gpslib/GPSMapLib.h>
#include <gpslib/support.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace gpsmap::test {

struct CrossStreet {
    std::string name;
    int bearing = 0, kind = 0, side = 0;
    bool skipped = false, mustCross = false;
    double lat = 0, lon = 0;
};

struct Detail {
    std::string street, detailed, classification, houseNumber, city, postcode, state, country, map,
        rightFromText, rightToText, leftFromText, leftToText;
    int houseRight = 0, houseLeft = 0, rightFrom = 0, rightTo = 0, leftFrom = 0, leftTo = 0;
    double lat = 0, lon = 0, speedKmh = 0;
};

// A new engine (the in-process class), its maps loaded from `folder`; fails the test on error.
gpslib::ComPtr<IGPSMap> NewEngine(const std::string& folder, std::string* answer = nullptr);

// The street at a position: "RESULT:name".
std::string StreetAt(IGPSMap* map, double lat, double lon, int heading,
                     const char* keywords = "STREET EXPANDED");
std::vector<CrossStreet> ReadCrossStreets(VARIANT* list);
std::vector<CrossStreet> CrossStreets(IGPSMap* map, double lat, double lon,
                                      const std::string& street, int ahead,
                                      const char* keywords = "INTERSECTION EXPANDED");
std::vector<Detail> Details(IGPSMap* map, double lat, double lon, int heading,
                            const char* keywords = "ALL");
// "Name@bearing" for each record, joined by ", ".
std::string Names(const std::vector<CrossStreet>& records);

using gpslib::test::ReadWholeFile;

// A shared OpenStreetMap extract and the name of the map compiled from it.
struct Extract {
    const char* file;
    const char* map;
};
inline void PrintTo(const Extract& e, std::ostream* os) {
    *os << e.map;
}
// The four extracts compiled at build time, and a test name of each for INSTANTIATE_TEST_SUITE_P.
inline constexpr Extract kExtracts[] = {{"monaco.osm.gz", "Monaco"},
                                        {"andorra.osm.pbf", "Andorra"},
                                        {"liechtenstein.osm.pbf", "Liechtenstein"},
                                        {"baltimore.osm.pbf", "Baltimore"}};
inline std::string ExtractName(const ::testing::TestParamInfo<Extract>& info) {
    return info.param.map;
}

// Positions on the sample town's grid (data/sample/README.md): x and y in 1/1000 degree east and
// north of 45 N 10 E.
inline double Lat(double y) {
    return 45.0 + y / 1000.0;
}
inline double Lon(double x) {
    return 10.0 + x / 1000.0;
}

#ifdef GPSLIB_SAMPLE_MAP_DIR
// An engine with the sample town loaded.
class SampleTown : public ::testing::Test {
protected:
    void SetUp() override {
        std::string answer;
        map = NewEngine(GPSLIB_SAMPLE_MAP_DIR, &answer);
        ASSERT_EQ(answer, "OK");
    }
    gpslib::ComPtr<IGPSMap> map;
};
#endif

} // namespace gpsmap::test
