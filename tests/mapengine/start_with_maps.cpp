// The service and the map engine as a client sees them: both real modules registered (with the
// real gpsreg) in a temporary registry store, Start loading the sample town from the folder the
// settings name, or finding it on the map path when the settings name a folder without maps.
#include <gpslib/GPSLib.h>
#include <gpslib/support.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "temp_dir.h"

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;

class StartWithMaps : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static gpslib::test::TempDir store;
        std::string file = store.File("registry.reg");
        setenv("GPSLIB_REGISTRY", file.c_str(), 1);
        for (const char* module : {GPSCORE_MODULE, GPSMAP_MODULE}) {
            std::string command = std::string(GPSREG_TOOL) + " " + module + " > /dev/null";
            ASSERT_EQ(std::system(command.c_str()), 0) << command;
        }
    }
    void SetUp() override {
        settings = dir.path() + "/";
        std::ifstream in(GPSLIB_RESOURCE_MODULE, std::ios::binary);
        std::ofstream(settings + "GPSResources_EN.dll", std::ios::binary) << in.rdbuf();
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
        Bstr folder;
        s->GetMapPOIDirectory(folder.Put());
        return folder.Utf8();
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
    std::vector<std::u16string> names;
    ASSERT_EQ(gpslib::ReadStringList(&list, &names), S_OK);
    EXPECT_EQ(names, std::vector<std::u16string>{u"Sampleton"});
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
