// Shared by the map tests: the engine offered in-process, created by class id, its maps loaded
// from a folder, and its answers read back as plain values.
#pragma once

#include <gpslib/GPSMapLib.h>
#include <gpslib/support.h>

#include <string>
#include <vector>

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

// The whole file as bytes ("" when it cannot be read).
std::string Slurp(const std::string& path);

} // namespace gpsmap::test
