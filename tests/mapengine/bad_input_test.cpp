// Bad maps are refused with a logged reason while the others load; every query answers at the
// poles, at 0/0, on the antimeridian and at non-numbers; several maps answer each for its area.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

#include "map_fixture.h"
#include "temp_dir.h"

namespace gpsmap::test {
namespace {

namespace fs = std::filesystem;

const fs::path kSample = fs::path(GPSLIB_SAMPLE_MAP_DIR) / "Sampleton.rmf";

TEST(BadMaps, AreRefusedWhileTheOthersLoad) {
    gpslib::test::TempDir dir;
    fs::path maps = fs::path(dir.path()) / "maps", debug = fs::path(dir.path()) / "Debug";
    fs::create_directories(maps);
    fs::create_directories(debug);
    std::string good = ReadWholeFile(kSample);
    std::string wrongVersion = good;
    wrongVersion[63] = 9; // the user_version field of the SQLite header
    std::string oldVersion = good;
    oldVersion[63] = 1; // a map compiled before the routing data
    std::ofstream(maps / "A_Truncated.rmf", std::ios::binary) << good.substr(0, good.size() / 3);
    std::ofstream(maps / "B_Foreign.RMF", std::ios::binary) << "<osm version='0.6'></osm>\n";
    std::ofstream(maps / "C_Version.rmf", std::ios::binary) << wrongVersion;
    std::ofstream(maps / "C_Old.rmf", std::ios::binary) << oldVersion;
    std::ofstream(maps / "D_Empty.rmf", std::ios::binary) << "";
    // A turn restriction whose edges do not meet at its node.
    fs::copy_file(kSample, maps / "C_Restriction.rmf");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((maps / "C_Restriction.rmf").string().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE restrictions SET via_node = via_node + 1", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_changes(db), 1);
    sqlite3_close(db);
    // The sort order puts the bad files first: the good one must still load after them.
    gpslib::ComPtr<IGPSMap> map;
    ASSERT_EQ(gpslib::CreateObject(CLSID_GPSMap, IID_IGPSMap, &map), S_OK);
    gpslib::Bstr debugDir(debug.string()), none, result;
    map->SetDebugDirectory(debugDir.Get());
    gpslib::Bstr folder(maps.string());
    ASSERT_EQ(map->Initalize(folder.Get(), none.Get(), VARIANT_FALSE, result.Put()), S_OK);
    EXPECT_EQ(result.Utf8(), "NO MAPS LOADED: " + (maps / "A_Truncated.rmf").string() +
                                 ": database disk image is malformed");
    SHORT count = -1;
    map->GetNumberOfMapsLoaded(&count);
    EXPECT_EQ(count, 0);

    fs::copy_file(kSample, maps / "E_Good.rmf");
    ASSERT_EQ(map->Initalize(folder.Get(), none.Get(), VARIANT_FALSE, result.Put()), S_OK);
    EXPECT_EQ(result.Utf8(), "OK");
    map->GetNumberOfMapsLoaded(&count);
    EXPECT_EQ(count, 1);
    std::string log = ReadWholeFile(debug / "gpsMapDebug.txt");
    for (const char* name :
         {"A_Truncated", "B_Foreign", "C_Version", "C_Old", "C_Restriction", "D_Empty"})
        EXPECT_NE(log.find(std::string("refused ") + (maps / name).string()), std::string::npos)
            << name;
    EXPECT_NE(log.find("map format version 9 is not read here"), std::string::npos);
    EXPECT_NE(log.find("map format version 1 is older than this engine reads (2): compile the "
                       "map again with gpsmap-build"),
              std::string::npos);
    // Every name found is offered, loaded or not.
    gpslib::Bstr all("*");
    gpslib::Variant names;
    ASSERT_EQ(map->FindMapsMatching(all.Get(), &names), S_OK);
    std::vector<std::u16string> found;
    ASSERT_EQ(gpslib::ReadStringList(&names, &found), S_OK);
    EXPECT_EQ(found.size(), 7u);

    // A folder without maps, and no other folders to try.
    gpslib::Bstr empty(debug.string());
    ASSERT_EQ(map->Initalize(empty.Get(), none.Get(), VARIANT_FALSE, result.Put()), S_OK);
    EXPECT_EQ(result.Utf8(), "NO MAPS FOUND: " + debug.string());
    gpslib::Bstr k, street;
    EXPECT_EQ(map->GetStreetAtLocation(45.002, 10.001, -1, k.Get(), street.Put(), result.Put()),
              E_FAIL);
    EXPECT_EQ(result.Utf8(), "NO MAP");
}

TEST(BadPositions, EveryQueryAnswers) {
    auto map = NewEngine(GPSLIB_SAMPLE_MAP_DIR);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double lat, lon;
        const char* street;
    };
    const Case cases[] = {
        {0.0, 0.0, "NO MAP:"},      {90.0, 0.0, "NO MAP:"},
        {-90.0, 180.0, "NO MAP:"},  {45.0, 180.0, "NO MAP:"},
        {45.0, -180.0, "NO MAP:"},  {89.9999, 10.0, "NO MAP:"},
        {nan, 10.0, "NO MAP:"},     {45.0, inf, "NO MAP:"},
        {1e300, -1e300, "NO MAP:"}, {45.002, 10.001, "OK:Main Street"},
    };
    gpslib::Bstr k("STREET EXPANDEDSTREET DETAILED"), all("ALL"), street("Main Street");
    for (const Case& c : cases) {
        for (SHORT heading : {SHORT(-1), SHORT(0), SHORT(359), SHORT(720), SHORT(-400)}) {
            EXPECT_EQ(StreetAt(map.Get(), c.lat, c.lon, heading, "STREET EXPANDED"), c.street)
                << c.lat << "," << c.lon;
            gpslib::Variant a, b, d, m, x;
            EXPECT_EQ(map->FindNextCrossStreets(c.lat, c.lon, street.Get(), heading, k.Get(), &a),
                      S_OK);
            EXPECT_EQ(map->GetLocationsDetailsVector(c.lat, c.lon, all.Get(), heading, &d), S_OK);
            EXPECT_EQ(map->MoveToNextIntersection(c.lat, c.lon, street.Get(), heading, LeftSide,
                                                  k.Get(), &m),
                      S_OK);
            EXPECT_EQ(
                map->MoveAcrossStreet(c.lat, c.lon, nullptr, heading, SideUnknown, nullptr, &x),
                S_OK);
            SHORT bearing = 0;
            EXPECT_EQ(map->GetStreetBearingAtLocation(c.lat, c.lon, heading, &bearing), S_OK);
            gpslib::Bstr text;
            EXPECT_EQ(map->DescribePosition(c.lat, c.lon, text.Put()), S_OK);
        }
    }
    // Null out pointers are refused before anything else.
    EXPECT_EQ(map->GetLocationsDetailsVector(45.002, 10.001, all.Get(), -1, nullptr), E_POINTER);
    EXPECT_EQ(map->FindMapsMatching(nullptr, nullptr), E_POINTER);
}

TEST(SeveralMaps, EachPositionIsAnsweredByItsMap) {
    fs::path monaco = fs::path(GPSLIB_OSM_MAP_DIR) / "Monaco.rmf";
    if (!fs::exists(monaco)) GTEST_SKIP() << "no compiled Monaco extract";
    gpslib::test::TempDir dir;
    fs::copy_file(kSample, fs::path(dir.path()) / "Sampleton.rmf");
    fs::copy_file(monaco, fs::path(dir.path()) / "Monaco.rmf");
    std::string answer;
    auto map = NewEngine(dir.path(), &answer);
    ASSERT_EQ(answer, "OK");
    SHORT count = 0;
    map->GetNumberOfMapsLoaded(&count);
    EXPECT_EQ(count, 2);
    struct Case {
        double lat, lon;
        const char* map;
    };
    for (const Case& c : {Case{45.002, 10.001, "Sampleton"}, Case{43.7384, 7.4246, "Monaco"}}) {
        auto details = Details(map.Get(), c.lat, c.lon, -1, "ADDRESS_CITY_POSTAL_MAP");
        ASSERT_FALSE(details.empty()) << c.map;
        EXPECT_EQ(details[0].map, c.map);
    }
}

} // namespace
} // namespace gpsmap::test
