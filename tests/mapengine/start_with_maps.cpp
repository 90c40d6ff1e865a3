// The service, the map engine and the database component as a client sees them: the real modules
// registered (with the real gpsreg) in a temporary registry store, Start loading the sample town
// from the folder the settings name, or finding it on the map path when the settings name a
// folder without maps, and the engine loading the map's points of interest.
#include <gpslib/GPSDatabaseLib.h>
#include <gpslib/GPSLib.h>
#include <gpslib/GPSMapLib.h>
#include <gpslib/support.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "registered_modules.h"
#include "settings_folder.h"
#include "value.h"

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;

class StartWithMaps : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(gpslib::test::RegisterModules({GPSCORE_MODULE, GPSMAP_MODULE, GPSDB_MODULE}));
    }
    void SetUp() override {
        settings = gpslib::test::PrepareSettingsFolder(dir);
        ASSERT_EQ(gpslib::CreateObject(CLSID_GPSCore, IID_IGPSCore, &core), S_OK);
    }
    void TearDown() override {
        if (core) core->Stop();
        unsetenv("GPSLIB_MAP_PATH");
    }
    std::string Start() {
        Bstr text(settings), result;
        EXPECT_EQ(core->Start(text.Get(), nullptr, result.Put()), S_OK);
        return result.Utf8();
    }
    std::string MapFolder() {
        ComPtr<ISystemSettingsObject> s;
        EXPECT_EQ(core->SystemGetSettings(s.Put()), S_OK);
        return gpslib::test::Text(s.Get(), &ISystemSettingsObject::GetMapPOIDirectory);
    }
    gpslib::test::TempDir dir;
    std::string settings;
    ComPtr<IGPSCore> core;
};

TEST_F(StartWithMaps, TheSampleTownIsFoundOnTheMapPath) {
    // The settings name "\CompactFlash\maps", which holds nothing here.
    setenv("GPSLIB_MAP_PATH", "/nonexistent:" GPSLIB_SAMPLE_MAP_DIR, 1);
    Start();
    SHORT maps = 0;
    ASSERT_EQ(core->GetNumberOfMapsLoaded(&maps), S_OK);
    EXPECT_EQ(maps, 1);
    EXPECT_EQ(MapFolder(), GPSLIB_SAMPLE_MAP_DIR) << "the settings follow the maps";
    ASSERT_EQ(core->LoadedRegionalMaps(&maps), S_OK);
    EXPECT_EQ(maps, 1);
    Bstr all("*");
    gpslib::Variant list;
    ASSERT_EQ(core->FindAvailableMaps(all.Get(), &list), S_OK);
    EXPECT_EQ(gpslib::test::Strings(&list), std::vector<std::string>{"Sampleton"});
}

TEST_F(StartWithMaps, EveryComponentOpensAndTheMapsPOIsAreLoaded) {
    setenv("GPSLIB_MAP_PATH", GPSLIB_SAMPLE_MAP_DIR, 1);
    EXPECT_EQ(Start(), "OK"); // No component failed to start.

    // The engine loads each map's POI file with the map.
    ComPtr<IGPSMap> engine;
    ASSERT_EQ(gpslib::CreateObject(CLSID_GPSMap, IID_IGPSMap, &engine), S_OK);
    Bstr answer;
    ASSERT_EQ(engine->Initalize(Bstr(GPSLIB_SAMPLE_MAP_DIR).Get(), Bstr("").Get(), VARIANT_FALSE,
                                answer.Put()),
              S_OK);
    SHORT files = 0;
    ASSERT_EQ(engine->GetNumberOfCommercialPOIFilesLoaded(&files), S_OK);
    EXPECT_EQ(files, 1);
    gpslib::Variant categories;
    SHORT count = 0;
    ASSERT_EQ(engine->GetLoadedPOICategories(&categories, &count), S_OK);
    EXPECT_GE(count, 10);
    // (Its search, ring by ring: tests/gpscore/poi/.)
}

TEST_F(StartWithMaps, AFolderOfExtractsLoadsEveryMapAndAFolderWithoutMapsNone) {
    std::string extracts = GPSLIB_OSM_MAP_DIR;
    if (!std::filesystem::exists(extracts + "/Liechtenstein.rmf")) GTEST_SKIP();
    Start();
    struct Case {
        std::string folder;
        SHORT maps;
    };
    const Case cases[] = {{extracts, 4}, {dir.path() + "/empty", 0}, {GPSLIB_SAMPLE_MAP_DIR, 1}};
    std::filesystem::create_directory(dir.path() + "/empty");
    for (const Case& c : cases) {
        ComPtr<ISystemSettingsObject> s;
        ASSERT_EQ(core->SystemGetSettings(s.Put()), S_OK);
        Bstr folder(c.folder);
        s->SetMapPOIDirectory(folder.Get());
        s->SetSearchOtherMapDirectories(VARIANT_FALSE);
        ASSERT_EQ(core->SystemSetSettings(s.Get()), S_OK);
        SHORT maps = -1;
        EXPECT_EQ(core->SystemMapsPOIsLoad(&maps), S_OK);
        EXPECT_EQ(maps, c.maps) << c.folder;
    }
}

} // namespace
