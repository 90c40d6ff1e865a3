// Loading maps in the core: the steps and log lines of a load, the settings that follow the maps
// to the folder where the engine found them, the POI files offered on their own, loading and
// unloading on request, and the start-location table. The core runs in-process with a fake map
// engine and a fake POI database offered by class id.
#include <gpslib/GPSDatabaseLib.h>
#include <gpslib/GPSMapLib.h>
#include <gpslib/registry.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "GPSDatabaseLib_classes.h"
#include "GPSMapLib_classes.h"
#include "base/StartLocations.h"
#include "classes_offered.h"
#include "poi/PersonalPlaces.h"
#include "settings_folder.h"
#include "temp_dir.h"
#include "value.h"

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;

// What the fakes saw and how they answer.
struct Script {
    std::string initializeAnswer = "OK";
    std::string foundDirectory; // empty: the folder asked for
    std::string initializedWith;
    bool searchOthers = false;
    std::vector<std::string> offered;
    int unloads = 0;
    SHORT maps = 2;
};
Script g_script;

class CFakeEngine : public CGPSMapBase {
public:
    HRESULT ResetEngine() override { return S_OK; }
    HRESULT UnloadMaps() override { return ++g_script.unloads, S_OK; }
    HRESULT SetResourceLibrary(BSTR, VARIANT_BOOL* loaded) override {
        return *loaded = VARIANT_TRUE, S_OK;
    }
    HRESULT SetDebugDirectory(BSTR) override { return S_OK; }
    HRESULT ClearPOIFiles() override { return S_OK; }
    HRESULT GetNumberOfMapsLoaded(SHORT* count) override { return *count = g_script.maps, S_OK; }
    HRESULT Initalize(BSTR dir, BSTR, VARIANT_BOOL searchOthers, BSTR* result) override {
        m_dir = gpslib::ToUtf8(dir);
        g_script.initializedWith = m_dir;
        g_script.searchOthers = searchOthers != 0;
        *result = gpslib::AllocBstr(std::string_view(g_script.initializeAnswer));
        return S_OK;
    }
    HRESULT GetMapDirectory(BSTR* dir) override {
        const std::string& d = g_script.foundDirectory.empty() ? m_dir : g_script.foundDirectory;
        *dir = gpslib::AllocBstr(std::string_view(d));
        return S_OK;
    }
    HRESULT FindMapsMatching(BSTR search, VARIANT* list) override {
        return gpslib::ReturnStringList(list, {u"Found:" + std::u16string(gpslib::View(search))});
    }
    HRESULT AddPOIFile(BSTR file, VARIANT*, VARIANT_BOOL) override {
        g_script.offered.push_back(gpslib::ToUtf8(file));
        return S_OK;
    }

private:
    std::string m_dir;
};

class CFakePOIDatabase : public CPOIDatabaseBase {
public:
    HRESULT SetDebugDirectory(BSTR) override { return S_OK; }
    HRESULT SetCachePagesSQL(SHORT) override { return S_OK; }
    HRESULT SetMemoryAllocatedSQL(SHORT) override { return S_OK; }
    HRESULT CloseDatabase() override { return S_OK; }
    HRESULT OpenDatabases(BSTR, SHORT* count) override { return *count = 3, S_OK; }
    HRESULT OpenDatabase(BSTR, SHORT* count) override { return *count = 1, S_OK; }
    HRESULT SetActiveDatabase(BSTR, VARIANT_BOOL* active) override {
        return *active = VARIANT_TRUE, S_OK;
    }
    HRESULT GetPOIFileInfo(BSTR, VARIANT* list, VARIANT_BOOL* isPOIFile) override {
        *isPOIFile = VARIANT_TRUE;
        return gpslib::ReturnLongList(list, {1, 10});
    }
    HRESULT Clear() { return S_OK; }
};

} // namespace

GPSLIB_CLASS_FACTORY(GPSMap, CFakeEngine)
GPSLIB_CLASS_FACTORY(POIDatabase, CFakePOIDatabase)
// The other classes of the two libraries are not offered; the table needs their functions.
#define NOT_OFFERED(Coclass)                                                                       \
    HRESULT Create_##Coclass(REFIID, void**) {                                                     \
        return E_NOTIMPL;                                                                          \
    }
NOT_OFFERED(CrossStreetRecord)
NOT_OFFERED(LocationDetailRecord)
NOT_OFFERED(RoutePoint)
NOT_OFFERED(CrossingRecord)
NOT_OFFERED(StreetShapeRecord)
NOT_OFFERED(AddressDatabase)
NOT_OFFERED(POIResults)
NOT_OFFERED(POIRecord)
NOT_OFFERED(AddressRecord)
#undef NOT_OFFERED

namespace {

const gpslib::ClassEntry kFakeClasses[] = {{&CLSID_GPSMap, "GPSMap", Create_GPSMap},
                                           {&CLSID_POIDatabase, "POIDatabase", Create_POIDatabase}};
const gpslib::ModuleInfo kFakes{"Test", &LIBID_GPSMapLib, "", "",      1,
                                0,      kFakeClasses,     2,  nullptr, 0};
[[maybe_unused]] const ::testing::Environment* const kFakesOffered =
    gpslib::test::OfferForTheRun(kFakes);

class MapLoading : public ::testing::Test {
protected:
    void SetUp() override {
        g_script = {};
        settings = gpslib::test::PrepareSettingsFolder(dir);
        maps = dir.path() + "/maps";
        std::filesystem::create_directory(maps);
        ASSERT_EQ(gpslib::CreateObject(CLSID_GPSCore, IID_IGPSCore, &core), S_OK);
    }
    void TearDown() override {
        if (core) core->Stop();
    }
    void Start() {
        Bstr text(settings), result;
        ASSERT_EQ(core->Start(text.Get(), nullptr, result.Put()), S_OK);
    }
    // Points the core at `folder` through the system settings, which loads the maps again.
    void UseFolder(const std::string& folder) {
        ComPtr<ISystemSettingsObject> s;
        ASSERT_EQ(core->SystemGetSettings(s.Put()), S_OK);
        Bstr f(folder);
        s->SetMapPOIDirectory(f.Get());
        ASSERT_EQ(core->SystemSetSettings(s.Get()), S_OK);
    }
    // The log's lines from the last "LoadMapsAndPOIs: enter", without their time stamps.
    std::vector<std::string> LastLoad() {
        std::ifstream log(settings + "Debug/gpsDebug.txt");
        std::vector<std::string> lines;
        for (std::string line; std::getline(log, line);) {
            std::size_t close = line.find("> ");
            std::string text =
                line[0] == '<' && close != std::string::npos ? line.substr(close + 2) : line;
            if (text == "LoadMapsAndPOIs: enter") lines.clear();
            lines.push_back(text);
        }
        return lines;
    }
    gpslib::test::TempDir dir;
    std::string settings, maps;
    ComPtr<IGPSCore> core;
};

// A load, one the engine fails, and one whose maps the engine finds in another folder, which
// the settings then follow.
TEST_F(MapLoading, TheLogLinesOfALoadAndTheSettingsThatFollowTheMaps) {
    // A first run writes the settings files; the second logs into the settings folder.
    Start();
    core->Stop();
    Start();
    UseFolder(maps);
    const std::vector<std::string> expected = {"LoadMapsAndPOIs: enter",
                                               "  LoadMapsAndPOIs: maps loaded",
                                               "  LoadMapsAndPOIs::POI DBs Loaded = 3",
                                               "  LoadMapsAndPOIs::History DBs Loaded = 1",
                                               "  LoadMapsAndPOIs::Favorites DBs Loaded = 1",
                                               "  LoadMapsAndPOIs::Annotations DBs Loaded = 1",
                                               "LoadMapsAndPOIs: exit"};
    std::vector<std::string> lines = LastLoad();
    lines.resize(std::min(lines.size(), expected.size()));
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(g_script.initializedWith, maps);

    g_script.initializeAnswer = "NO MAPS FOUND: " + maps + "2";
    UseFolder(maps + "2");
    lines = LastLoad();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1],
              "  LoadMapsAndPOIs: m_pGPSMap->Initalize failed:NO MAPS FOUND: " + maps + "2");

    g_script.initializeAnswer = "OK";
    g_script.foundDirectory = "/usr/share/gpslib/maps";
    UseFolder(maps);
    lines = LastLoad();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.begin() + 5),
              (std::vector<std::string>{"  LoadMapsAndPOIs:Unable to find map   to desired folder",
                                        maps, "  LoadMapsAndPOIs:Using the following instead",
                                        "/usr/share/gpslib/maps"}));
    ComPtr<ISystemSettingsObject> s;
    ASSERT_EQ(core->SystemGetSettings(s.Put()), S_OK);
    EXPECT_EQ(gpslib::test::Text(s.Get(), &ISystemSettingsObject::GetMapPOIDirectory),
              "/usr/share/gpslib/maps");
    // The file is UTF-16 text: the folder's code units follow each other in it.
    const std::string text = gpslib::test::ReadWholeFile(settings + "GPSSystemSettings.inf");
    std::string wide;
    for (char c : std::string("/usr/share/gpslib/maps"))
        wide += std::string{c, '\0'};
    EXPECT_NE(text.find(wide), std::string::npos)
        << "the settings file names the folder where the maps are";
}

TEST_F(MapLoading, OnlyPOIFilesWithoutTheirMapAreOfferedOnTheirOwn) {
    for (const char* name : {"Town.rmf", "Town.pdb", "Other.pdb", "notes.txt"})
        std::ofstream(maps + "/" + name) << "x";
    Start();
    UseFolder(maps);
    ASSERT_EQ(g_script.offered.size(), 1u);
    EXPECT_EQ(g_script.offered[0], maps + "\\Other.pdb");
}

TEST_F(MapLoading, LoadingAndUnloadingOnRequest) {
    SHORT count = -1;
    EXPECT_EQ(core->SystemMapsPOIsLoad(nullptr), E_POINTER);
    EXPECT_EQ(core->SystemMapsPOIsLoad(&count), S_OK);
    EXPECT_EQ(count, 0) << "not started";
    EXPECT_EQ(core->SystemMapsPOIsUnLoad(), S_OK);
    EXPECT_EQ(g_script.unloads, 0);
    Start();
    EXPECT_EQ(core->SystemMapsPOIsLoad(&count), S_OK);
    EXPECT_EQ(count, 2);
    // The engine searches the other map folders as the settings say (a new folder loads again).
    EXPECT_TRUE(g_script.searchOthers);
    ComPtr<ISystemSettingsObject> s;
    ASSERT_EQ(core->SystemGetSettings(s.Put()), S_OK);
    s->SetSearchOtherMapDirectories(VARIANT_FALSE);
    s->SetMapPOIDirectory(Bstr(maps).Get());
    ASSERT_EQ(core->SystemSetSettings(s.Get()), S_OK);
    EXPECT_FALSE(g_script.searchOthers);
    int before = g_script.unloads;
    EXPECT_EQ(core->SystemMapsPOIsUnLoad(), S_OK);
    EXPECT_EQ(g_script.unloads, before + 1);
    Bstr search("Lie");
    gpslib::Variant list;
    ASSERT_EQ(core->FindAvailableMaps(search.Get(), &list), S_OK);
    std::vector<std::u16string> names;
    ASSERT_EQ(gpslib::ReadStringList(&list, &names), S_OK);
    EXPECT_EQ(names, std::vector<std::u16string>{u"Found:Lie"});
    EXPECT_EQ(gpslib::ToUtf8(std::u16string_view(gpscore::PersonalPlaces::HistoryFile(u"/m/"))),
              "/m/History.hdb");
    EXPECT_EQ(
        gpslib::ToUtf8(std::u16string_view(gpscore::PersonalPlaces::FavoritesFile(u"\\CF\\maps"))),
        "\\CF\\maps\\Favorites.fdb");
}

TEST(StartLocations, LookupByMapName) {
    struct Case {
        const char16_t* name;
        bool found;
        double lat, lon;
    };
    const Case cases[] = {
        {u"new york", true, 42.651724, -73.755091},        // blanks as underscores, any case
        {u"Northern Ireland", true, 54.600615, -5.856303}, // the first of two lines wins
        {u"Turkey", true, 39.87458825, 32.85599962},       // a blank after the longitude
        {u"bulgaria", true, 42.70031, 23.33311},           // a blank after the comma
        {u"Liechtenstein", true, 47.118476, 9.542976},
        {u"Atlantis", false, 0, 0},
        {u"", false, 0, 0},
    };
    for (const Case& c : cases) {
        auto at = gpscore::FindStartLocation(c.name);
        ASSERT_EQ(at.has_value(), c.found) << gpslib::ToUtf8(std::u16string_view(c.name));
        if (!at) continue;
        EXPECT_DOUBLE_EQ(at->latitude, c.lat);
        EXPECT_DOUBLE_EQ(at->longitude, c.lon);
    }
    // A line without a comma does not match; the next one of the name does.
    EXPECT_FALSE(gpscore::FindStartLocation(u"X", "X=12\r\n").has_value());
    auto second = gpscore::FindStartLocation(u"X", "X=12\r\nX=1.5,2.5\r\n");
    ASSERT_TRUE(second.has_value());
    EXPECT_DOUBLE_EQ(second->longitude, 2.5);
}

} // namespace
