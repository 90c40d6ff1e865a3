// The sample town (data/sample/sampleton.osm, described in data/sample/README.md), answer by
// answer. Positions are on the town's grid: x and y in 1/1000 degree east and north of 45 N 10 E.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "Engine.h"
#include "map_fixture.h"
#include "value.h"

namespace gpsmap::test {
namespace {

TEST_F(SampleTown, TheStreetAtKnownPoints) {
    struct Case {
        double x, y;
        int heading;
        const char* expected;
    };
    const Case cases[] = {
        {1.0, 2.0, -1, "OK:Main Street"},
        {1.0, 2.08, -1, "OK:Main Street"}, // on the sidewalk: the street beside it
        {1.5, 1.95, -1, "OK:Main Street"}, // on the crossing
        {2.85, 1.5, -1, "OK:Oak Avenue"},  // one half of the dual carriageway
        {3.0, 1.5, -1, "OK:Oak Avenue"},   // between the halves
        {3.15, 0.5, 180, "OK:Oak Avenue"}, // the other half, against its one-way direction
        {4.5, 1.7, -1, "OK:Service road"}, // an unnamed service road
        {6.2, 3.25, -1, "OK:Footway"},     // an unnamed footway
        {1.5, -0.5, -1, "OK:Side street"}, // an unnamed street
        {1.5, 3.5, -1, "OK:Park Path"},    // a named footway
        {8.0, 2.9, -1, "OK:Station Road"},
        {0.02, 2.0, 0, "OK:First Avenue"}, // at a corner, the heading decides
        {0.02, 2.0, 90, "OK:Main Street"},
        {0.02, 2.0, -1, "OK:Main Street"}, // without a heading, the nearest
        {9.5, -1.4, -1, "NO STREET:"},     // on the map, 275 m from any street
    };
    for (const Case& c : cases)
        EXPECT_EQ(StreetAt(map.Get(), Lat(c.y), Lon(c.x), c.heading), c.expected)
            << c.x << "," << c.y << " heading " << c.heading;
}

TEST_F(SampleTown, CrossStreetsOfEachKindOfIntersection) {
    struct Case {
        const char* what;
        double x, y;
        const char* street;
        int ahead;
        const char* keywords;
        const char* expected;
        double atX, atY;
    };
    const Case cases[] = {
        {"nearest, a plain crossing", 1.0, 2.0, "Main Street", -1, "INTERSECTION EXPANDED",
         "First Avenue@0, Main Street@90, First Avenue@180", 0.0, 2.0},
        {"ahead east: the dual carriageway is one street", 1.0, 2.0, "Main Street", 90,
         "INTERSECTION EXPANDED", "Main Street@90, Oak Avenue@180, Main Street@270, Oak Avenue@0",
         3.0, 2.0},
        {"ahead west", 1.0, 2.0, "Main Street", 270, "INTERSECTION EXPANDED",
         "First Avenue@0, Main Street@90, First Avenue@180", 0.0, 2.0},
        {"a T junction on one half of the dual carriageway", 1.5, 1.0, "Mill Lane", 90, "",
         "Oak Avenue@180, Mill Lane@270, Oak Avenue@0", 2.85, 1.0},
        {"the roundabout is one intersection", 7.0, 2.0, "Main Street", 90, "",
         "Harbour Road@90, Main Street@270, Station Road@0", 8.0, 2.0},
        {"a name change at a corner", 4.5, -1.0, "Cedar Road", 180, "",
         "Pine Road@90, Cedar Road@0", 4.5, -1.5},
        {"a dead end", 1.0, 0.0, "South Street", 90, "",
         "South Street@90, Side street@180, South Street@270", 1.5, 0.0},
        {"connectors only when asked", 6.0, 2.5, "Elm Street", 0, "INCLUDE CONNECTORS",
         "Footway@29, Elm Street@180, North Street@270", 6.0, 3.0},
        {"no connectors without the keyword", 6.0, 2.5, "Elm Street", 0, "",
         "North Street@270, Elm Street@180", 6.0, 3.0},
        {"the crossing and the sidewalks are no streets", 1.2, 2.0, "Main Street", 90, "",
         "Main Street@90, Oak Avenue@180, Main Street@270, Oak Avenue@0", 3.0, 2.0},
    };
    for (const Case& c : cases) {
        auto records = CrossStreets(map.Get(), Lat(c.y), Lon(c.x), c.street, c.ahead, c.keywords);
        EXPECT_EQ(Names(records), c.expected) << c.what;
        for (const CrossStreet& r : records) {
            EXPECT_NEAR(r.lat, Lat(c.atY), 0.00003) << c.what;
            EXPECT_NEAR(r.lon, Lon(c.atX), 0.00003) << c.what;
        }
    }
}

TEST_F(SampleTown, BranchKindsSidesAndCrossings) {
    // Arriving north along Oak Avenue on its right-hand side at North Street.
    auto records = CrossStreets(map.Get(), Lat(2.5), Lon(3.15), "Oak Avenue", 0);
    // Oak Avenue ends there; both halves lead back south as one branch.
    ASSERT_EQ(Names(records), "North Street@90, Oak Avenue@180, North Street@270");
    struct Expect {
        int side;
        bool mustCross;
    };
    const Expect expected[] = {{RightSide, false}, {LeftSide, false}, {RightSide, true}};
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].side, expected[i].side) << records[i].name << i;
        EXPECT_EQ(records[i].mustCross, expected[i].mustCross) << records[i].name << i;
        EXPECT_EQ(records[i].kind, 0) << records[i].name << i;
    }
    auto dead = CrossStreets(map.Get(), Lat(0.0), Lon(1.0), "South Street", 90);
    ASSERT_EQ(dead.size(), 3u);
    EXPECT_EQ(dead[1].kind, 2) << "the unnamed street ends";
    auto connector =
        CrossStreets(map.Get(), Lat(2.5), Lon(6.0), "Elm Street", 0, "INCLUDE CONNECTORS");
    ASSERT_EQ(connector.size(), 3u);
    EXPECT_EQ(connector[0].kind, 1);
    EXPECT_TRUE(connector[0].skipped);
    EXPECT_FALSE(connector[1].skipped);
}

TEST_F(SampleTown, HouseNumbersAndSidesAlongMainStreet) {
    struct Case {
        double x, y;
        int heading;
        const char* number;
        int right, left;
    };
    // Odd numbers on the north side (points), even on the south side (an interpolation line
    // from 2 to 10); both every 0.55 grid units from x = 0.3.
    const Case cases[] = {
        {0.85, 2.03, 90, "3", 4, 3}, {0.85, 1.97, 90, "4", 4, 3}, {0.85, 2.03, 270, "3", 3, 4},
        {1.4, 1.97, 270, "6", 5, 6}, {1.95, 2.03, -1, "7", 8, 7}, {2.5, 1.97, 90, "10", 10, 9},
    };
    for (const Case& c : cases) {
        auto details = Details(map.Get(), Lat(c.y), Lon(c.x), c.heading);
        ASSERT_FALSE(details.empty());
        const Detail& d = details[0];
        EXPECT_EQ(d.street, "Main Street");
        EXPECT_EQ(d.houseNumber, c.number) << c.x << "," << c.y;
        EXPECT_EQ(d.houseRight, c.right) << c.x << "," << c.y << " heading " << c.heading;
        EXPECT_EQ(d.houseLeft, c.left) << c.x << "," << c.y << " heading " << c.heading;
    }
    auto east = Details(map.Get(), Lat(2.0), Lon(1.0), 90)[0];
    EXPECT_EQ(std::to_string(east.rightFrom) + "-" + std::to_string(east.rightTo), "2-10");
    EXPECT_EQ(std::to_string(east.leftFrom) + "-" + std::to_string(east.leftTo), "1-9");
    EXPECT_EQ(east.leftToText, "9");
    auto west = Details(map.Get(), Lat(2.0), Lon(1.0), 270)[0];
    EXPECT_EQ(std::to_string(west.rightFrom) + "-" + std::to_string(west.rightTo), "1-9");
    // A building's number, on the east (right-hand, northward) side of Elm Street.
    auto elm = Details(map.Get(), Lat(1.1), Lon(6.02), 0)[0];
    EXPECT_EQ(elm.street, "Elm Street");
    EXPECT_EQ(elm.houseNumber, "12");
    EXPECT_EQ(elm.houseRight, 12);
}

TEST_F(SampleTown, AreasAndTheMap) {
    auto details = Details(map.Get(), Lat(2.0), Lon(1.0), -1);
    ASSERT_FALSE(details.empty());
    const Detail& d = details[0];
    EXPECT_EQ(d.city, "Sampleton");
    EXPECT_EQ(d.postcode, "12345");
    EXPECT_EQ(d.state, "Example State");
    EXPECT_EQ(d.country, "Exampleland");
    EXPECT_EQ(d.map, "Sampleton");
    EXPECT_EQ(d.classification, "tertiary");
    EXPECT_EQ(d.speedKmh, 50.0);
    // Only what the keywords ask for.
    auto city = Details(map.Get(), Lat(2.0), Lon(1.0), -1, "CITY")[0];
    EXPECT_EQ(city.city, "Sampleton");
    EXPECT_EQ(city.street, "");
    EXPECT_EQ(city.map, "");
    auto cpm = Details(map.Get(), Lat(2.0), Lon(1.0), -1, "ADDRESS_CITY_POSTAL_MAP")[0];
    EXPECT_EQ(cpm.map + "/" + cpm.postcode + "/" + cpm.city, "Sampleton/12345/Sampleton");
    EXPECT_EQ(cpm.houseNumber, "") << "ADDRESS is not read inside ADDRESS_CITY_POSTAL_MAP";
    // Off every street, the areas and the map still answer.
    auto off = Details(map.Get(), Lat(-1.4), Lon(9.5), -1);
    ASSERT_EQ(off.size(), 1u);
    EXPECT_EQ(off[0].street, "");
    EXPECT_EQ(off[0].map, "Sampleton");
}

TEST_F(SampleTown, MovingToTheNextIntersectionAndAcrossTheStreet) {
    gpslib::Bstr street("Main Street"), oak("Oak Avenue"), k("INTERSECTION EXPANDED");
    gpslib::Variant list;
    ASSERT_EQ(map->MoveToNextIntersection(Lat(2.0), Lon(1.0), street.Get(), 90, RightSide, k.Get(),
                                          &list),
              S_OK);
    auto first = ReadCrossStreets(&list);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(Names(first), "Main Street@90, Oak Avenue@180, Main Street@270, Oak Avenue@0");
    // From the junction's centre, on along Oak Avenue to North Street.
    gpslib::Variant next;
    ASSERT_EQ(map->MoveToNextIntersection(first[0].lat, first[0].lon, oak.Get(), 0, RightSide,
                                          k.Get(), &next),
              S_OK);
    auto second = ReadCrossStreets(&next);
    ASSERT_FALSE(second.empty());
    EXPECT_NEAR(second[0].lat, Lat(3.0), 0.00003);
    EXPECT_EQ(Names(second), "North Street@90, Oak Avenue@180, North Street@270");

    gpslib::Variant across;
    ASSERT_EQ(
        map->MoveAcrossStreet(Lat(1.97), Lon(1.0), street.Get(), 90, RightSide, k.Get(), &across),
        S_OK);
    auto crossed = ReadCrossStreets(&across);
    ASSERT_EQ(Names(crossed), "Main Street@90, Main Street@270");
    EXPECT_EQ(crossed[0].side, LeftSide) << "walking on east, now on the north side";
    EXPECT_EQ(crossed[1].side, RightSide);
    EXPECT_NEAR(crossed[0].lat, Lat(2.0), 0.000005);
}

TEST_F(SampleTown, DescriptionsAndMapNames) {
    gpslib::Bstr text;
    ASSERT_EQ(map->DescribePosition(Lat(2.0), Lon(1.0), text.Put()), S_OK);
    EXPECT_EQ(text.Utf8(), "First Avenue and Main Street, Sampleton, 12345");
    ASSERT_EQ(map->DescribePosition(0.0, 0.0, text.Put()), S_OK);
    EXPECT_EQ(text.Utf8(), "");

    struct Search {
        const char* text;
        int count;
    };
    for (const Search& s : {Search{"", 1}, Search{"*", 1}, Search{"SAMP", 1}, Search{"ton", 0}}) {
        gpslib::Bstr search{std::string_view(s.text)};
        gpslib::Variant names;
        ASSERT_EQ(map->FindMapsMatching(search.Get(), &names), S_OK);
        std::vector<std::u16string> found;
        ASSERT_EQ(gpslib::ReadStringList(&names, &found), S_OK);
        EXPECT_EQ(static_cast<int>(found.size()), s.count) << s.text;
    }
}

// Addresses found on their street: Main Street's plain numbers (odd on the north side, even on
// the south side's interpolation line, "7a" a point of its own) and Elm Street's numbers with
// building (к), structure (с), letter, slash and "bis" parts between Main Street and North
// Street. The number alone finds the first building of that number, the full text (however
// spaced or cased) the part.
TEST_F(SampleTown, AddressPositions) {
    // Each row: a street, the spellings of one address on it, and where they are found (0, 0:
    // nowhere).
    const struct {
        const char* street;
        std::vector<const char*> numbers;
        double x, y;
    } cases[] = {
        {"Main Street", {"5", "6"}, 1.4, 2.0},
        {"Main Street", {"4"}, 0.85, 2.0},
        {"Main Street", {"7a"}, 1.95, 2.0},
        {"Main Street", {"11"}, 0, 0},
        {"Elm Street", {"14 к2", "14к2", "14 К2"}, 6.0, 2.45},
        {"Elm Street", {"14", "14 к3", "13", "13 с2"}, 6.0, 2.3},
        {"Elm Street", {"16", "16A", "16 a"}, 6.0, 2.6},
        {"Elm Street", {"18", "18/2"}, 6.0, 2.75},
        {"Elm Street", {"15", "15 BIS", "15bis"}, 6.0, 2.5},
        {"Elm Street", {"17", "17к1с1", "17 к1 с1", "17 корпус 1 строение 1"}, 6.0, 2.7},
        {"Elm Street", {"20", "11", "к2"}, 0, 0},
    };
    // The map's name in any case.
    gpslib::Bstr mapName("sampleton"), none;
    for (const auto& c : cases) {
        for (const char* text : c.numbers) {
            gpslib::Bstr street{std::string_view(c.street)}, number{std::string_view(text)};
            double lat = 0, lon = 0;
            VARIANT_BOOL found = 0;
            ASSERT_EQ(map->FindAddressPosition(mapName.Get(), -1, street.Get(), none.Get(),
                                               none.Get(), number.Get(), &lat, &lon, &found),
                      S_OK);
            EXPECT_EQ(found != 0, c.y != 0) << c.street << " " << text;
            if (c.y == 0) continue;
            EXPECT_NEAR(lat, Lat(c.y), 0.00001) << text;
            EXPECT_NEAR(lon, Lon(c.x), 0.00002) << text;
        }
    }
    // The buildings' own numbers, as written, beside the street.
    auto d = Details(map.Get(), Lat(2.45), Lon(6.02), 0)[0];
    EXPECT_EQ(d.houseNumber, "14 к2");
    EXPECT_EQ(d.houseRight, 14);
    EXPECT_EQ(d.rightToText, "18/2");
}

// The folder asked for, or else the first folder of the map path that holds maps; each map's POI
// file is loaded with it. The folder the maps came from is the engine's answer.
TEST(MapFolders, TheFolderAskedForOrTheMapPath) {
    const std::string sample = GPSLIB_SAMPLE_MAP_DIR, extracts = GPSLIB_OSM_MAP_DIR;
    gpslib::test::TempDir empty;
    setenv("GPSLIB_MAP_PATH", ("/nonexistent:" + sample).c_str(), 1);
    struct Case {
        std::string folder;
        bool searchOthers;
        SHORT maps, poiFiles;
        std::string found;
    } const cases[] = {
        {empty.path(), true, 1, 1, sample},
        {empty.path(), false, 0, 0, ""},
        {sample, false, 1, 1, sample},
        {extracts, false, 4, 4, extracts},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        if (c.folder == extracts && !std::filesystem::exists(extracts + "/Monaco.rmf")) continue;
        gpslib::ComPtr<IGPSMap> map;
        ASSERT_EQ(gpslib::CreateObject(CLSID_GPSMap, IID_IGPSMap, &map), S_OK);
        gpslib::Bstr answer, found;
        ASSERT_EQ(map->Initalize(gpslib::Bstr(c.folder).Get(), gpslib::Bstr("").Get(),
                                 c.searchOthers ? VARIANT_TRUE : VARIANT_FALSE, answer.Put()),
                  S_OK);
        EXPECT_EQ(answer.Utf8(), c.maps > 0 ? "OK" : "NO MAPS FOUND: " + c.folder);
        EXPECT_EQ(gpslib::test::Value(map.Get(), &IGPSMap::GetNumberOfMapsLoaded), c.maps);
        EXPECT_EQ(gpslib::test::Value(map.Get(), &IGPSMap::GetNumberOfCommercialPOIFilesLoaded),
                  c.poiFiles);
        ASSERT_EQ(map->GetMapDirectory(found.Put()), S_OK);
        EXPECT_EQ(found.Utf8(), c.found);
    }
    unsetenv("GPSLIB_MAP_PATH");
    // The sample town's POI file brings its categories.
    gpslib::Variant categories;
    SHORT count = 0;
    ASSERT_EQ(NewEngine(sample)->GetLoadedPOICategories(&categories, &count), S_OK);
    EXPECT_GE(count, 10);
}

// The cross streets of a street named by the address database, along it from its west end.
TEST(SampleTownStreets, CrossStreetsAlongAStreet) {
    Engine engine;
    ASSERT_EQ(engine.Initialize(GPSLIB_SAMPLE_MAP_DIR, "", false), "OK");
    Naming naming;
    struct Case {
        const char* street;
        const char* postcode;
        bool matchPostcode;
        const char* expected; // "-" when the street is not found
    };
    const Case cases[] = {
        {"main street", "12345", true,
         "First Avenue, Oak Avenue, Elm Street, Harbour Road, Station Road"},
        {"Main Street", "99999", true, ""},
        {"Cedar Road", "", false, "Pine Road, South Street"}, // north-south: from the south end
        {"Nowhere Lane", "", false, "-"},
    };
    for (const Case& c : cases) {
        auto crossings = engine.StreetCrossings("Sampleton", -1, c.street, "", c.postcode,
                                                c.matchPostcode, naming);
        std::string names = crossings ? "" : "-";
        if (crossings)
            for (const Engine::Crossing& x : *crossings)
                names += (names.empty() ? "" : ", ") + x.crossStreet;
        EXPECT_EQ(names, c.expected) << c.street;
    }
}

} // namespace
} // namespace gpsmap::test
