// The service's life from the registered module: Start's results, the log of a Start/Stop cycle,
// what Stop saves, the destination, and the one map engine (a fake offered by class id here)
// that all cores of a process share.
#include <gpslib/GPSMapLib.h>
#include <gpslib/registry.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

#include "classes_offered.h"
#include "prefix_match.h"
#include "registered_module.h"
#include "settings_folder.h"
#include "temp_dir.h"
#include "value.h"

// The generated class bases of the map library are compiled into this test for the fake engine;
// they count their objects here.
std::atomic<long> gpslib::module::g_lockCount{0};
#include "GPSMapLib_classes.h"
#include "empty_map_records.h"

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;
using gpslib::test::ReadByName;
using gpslib::test::ReadFields;

// What the fake engine saw, across its lifetime.
struct EngineRecord {
    int created = 0;
    int destroyed = 0;
    int resets = 0;
    int unloads = 0;
};
EngineRecord g_engine;

class CFakeEngine : public CGPSMapBase {
public:
    CFakeEngine() { ++g_engine.created; }
    ~CFakeEngine() override { ++g_engine.destroyed; }
    HRESULT ResetEngine() override { return ++g_engine.resets, S_OK; }
    HRESULT UnloadMaps() override { return ++g_engine.unloads, S_OK; }
    HRESULT SetResourceLibrary(BSTR, VARIANT_BOOL* loaded) override {
        *loaded = VARIANT_TRUE;
        return S_OK;
    }
    HRESULT GetNumberOfMapsLoaded(SHORT* count) override { return *count = 0, S_OK; }
    HRESULT SetDebugDirectory(BSTR) override { return S_OK; }
};

} // namespace

GPSLIB_CLASS_FACTORY(GPSMap, CFakeEngine)

namespace {

// A settings directory with the string module copied in and a Debug folder for the log.
class Lifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        gpslib::test::RegisteredCoreStore();
        settings = gpslib::test::PrepareSettingsFolder(dir);
    }
    ComPtr<IGPSCore> NewCore() { return gpslib::test::New<IGPSCore>(CLSID_GPSCore, IID_IGPSCore); }
    // A first run without settings files keeps the default debug directory (nothing is logged
    // in the settings folder); its Stop writes the system settings, and later runs log there.
    void FirstRun() {
        ComPtr<IGPSCore> core = NewCore();
        Start(core.Get(), settings);
        ASSERT_EQ(core->Stop(), S_OK);
        ASSERT_FALSE(std::filesystem::exists(settings + "Debug/gpsDebug.txt"));
    }
    std::string Start(IGPSCore* core, const std::string& directory) {
        Bstr result;
        Bstr dirText(directory);
        EXPECT_EQ(core->Start(dirText.Get(), nullptr, result.Put()), S_OK);
        return result.Utf8();
    }
    // The log's lines with their "<MM DD YYYY hh:mm:ss> " prefix taken off (checked on the way).
    std::vector<std::string> LogLines() {
        std::ifstream log(settings + "Debug/gpsDebug.txt");
        std::vector<std::string> lines;
        for (std::string line; std::getline(log, line);) {
            std::string rest;
            if (gpslib::test::MatchesPrefix(line, "<99 99 9999 99:99:99> ", &rest))
                line = rest;
            else
                EXPECT_EQ(line, " ") << "only the separator line has no date";
            lines.push_back(line);
        }
        return lines;
    }
    gpslib::test::TempDir dir;
    std::string settings;
};

TEST_F(Lifecycle, StartReportsTheLastFailure) {
    ComPtr<IGPSCore> core = NewCore();
    // Only the service is registered: the three database failures, the POI one last.
    EXPECT_EQ(Start(core.Get(), settings), "POI DATABASE FAILED TO INITIALIZE");
    EXPECT_EQ(core->Stop(), S_OK);
    EXPECT_EQ(core->Stop(), S_OK);
    // No string module in that folder: that failure wins, whatever else failed.
    gpslib::test::TempDir bare;
    EXPECT_EQ(Start(core.Get(), bare.path() + "/"), "NO STRING RESOURCES LOADED");
    EXPECT_EQ(core->Stop(), S_OK);
}

TEST_F(Lifecycle, StartAndStopWriteTheirLogLines) {
    FirstRun();
    ComPtr<IGPSCore> core = NewCore();
    Start(core.Get(), settings);
    Bstr version;
    ASSERT_EQ(core->SystemGetVersion(version.Put()), S_OK);
    ASSERT_EQ(core->Stop(), S_OK);
    const std::string database = " failed to be created, make sure GPSDatabase.dll is registered.";
    std::vector<std::string> expected = {
        "GPSCore::Start entered",
        "\tGPSCore::Error AddressDatabase" + database,
        "\tGPSCore::Error HistoryDatabase" + database,
        "\tGPSCore::Error POIDatabase" + database,
        version.Utf8(),
        "LoadMapsAndPOIs: enter", // then no engine: nothing to load
        "GPSCore::Start exited",
        "GPSCore::Stop called",
        " ",
    };
    std::vector<std::string> lines = LogLines();
    // The resource load before the settings were read logged to the default debug directory;
    // everything after is here, in order.
    std::size_t first = 0;
    while (first < lines.size() && lines[first] != expected[0])
        ++first;
    ASSERT_LT(first, lines.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<long>(first), lines.end()),
              expected);
}

TEST_F(Lifecycle, AForgottenStopIsWarnedAboutAndStillSaves) {
    FirstRun();
    {
        ComPtr<IGPSCore> core = NewCore();
        Start(core.Get(), settings);
        std::filesystem::remove(settings + "GPSSystemSettings.inf"); // Stop writes it again.
    }
    std::vector<std::string> lines = LogLines();
    EXPECT_NE(
        std::find(lines.begin(), lines.end(), "****ERROR****Stop not called before destructor!"),
        lines.end());
    EXPECT_TRUE(std::filesystem::exists(settings + "GPSSystemSettings.inf"));
}

TEST_F(Lifecycle, VersionAndSettingsWorkBeforeStart) {
    ComPtr<IGPSCore> core = NewCore();
    Bstr version, copyright;
    EXPECT_EQ(core->SystemGetVersion(version.Put()), S_OK);
    EXPECT_EQ(core->SystemGetCopyright(copyright.Put()), S_OK);
    EXPECT_FALSE(version.Utf8().empty()) << "the module is found beside the service";
    EXPECT_FALSE(copyright.Utf8().empty());
    ComPtr<ISystemSettingsObject> settingsObject;
    ASSERT_EQ(core->SystemGetSettings(settingsObject.Put()), S_OK);
    EXPECT_EQ(ReadByName(settingsObject.Get(), "GetMapPOIDirectory"), "\"\\CompactFlash\\maps\"");
    Mode mode = VirtualMode;
    EXPECT_EQ(core->SystemSetCurrentMode(static_cast<Mode>(7)), S_OK);
    EXPECT_EQ(core->SystemGetCurrentMode(&mode), S_OK);
    EXPECT_EQ(mode, 7) << "stored unchecked";
}

TEST_F(Lifecycle, ResourcesThatAreNotAModuleAreRefused) {
    FirstRun();
    ComPtr<IGPSCore> core = NewCore();
    Start(core.Get(), settings);
    std::ofstream(settings + "notes.txt") << "not a string module";
    VARIANT_BOOL loaded = VARIANT_TRUE;
    Bstr path(settings + "notes.txt");
    EXPECT_EQ(core->SystemSetResources(path.Get(), &loaded), S_OK);
    EXPECT_EQ(loaded, VARIANT_FALSE);
    Bstr good(settings + "GPSResources_EN.dll");
    EXPECT_EQ(core->SystemSetResources(good.Get(), &loaded), S_OK);
    EXPECT_EQ(loaded, VARIANT_TRUE);
    core->Stop();
    std::vector<std::string> lines = LogLines();
    auto has = [&](const std::string& prefix) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    };
    EXPECT_TRUE(has(" Last Error:"));
    EXPECT_TRUE(has("SetResourcesInternal: " + settings + "notes.txt, Exists:1, Loaded:0."));
    EXPECT_TRUE(
        has("SetResourcesInternal: " + settings + "GPSResources_EN.dll, Exists:1, Loaded:1."));
}

// Offers the fake engine by class id for the life of the object.
const gpslib::ClassEntry kEngine[] = {{&CLSID_GPSMap, "GPSMap", Create_GPSMap}};
const gpslib::ModuleInfo kFakeEngine{"Test", &LIBID_GPSMapLib, "", "",      1,
                                     0,      kEngine,          1,  nullptr, 0};
struct FakeEngineOffered {
    FakeEngineOffered() { g_engine = {}; }
    gpslib::test::ClassesOffered offered{kFakeEngine};
};

TEST_F(Lifecycle, NewSettingsReloadTheMapsOnlyWhenTheFolderChanges) {
    FakeEngineOffered engine;
    ComPtr<IGPSCore> core = NewCore();
    Start(core.Get(), settings);
    struct Case {
        const char* folder;
        bool forceCheck;
        int reloads;
    };
    const Case cases[] = {
        {"\\CompactFlash\\maps", false, 0},   // Unchanged.
        {"\\CompactFlash\\maps\\", false, 0}, // One trailing separator does not count.
        {"/data/maps", false, 1},             // Another folder.
        {"/data/maps", true, 1},              // The same, but asked to look again.
    };
    for (const Case& c : cases) {
        ComPtr<ISystemSettingsObject> mine;
        ASSERT_EQ(core->SystemGetSettings(mine.Put()), S_OK);
        Bstr folder{std::string_view(c.folder)};
        mine->SetMapPOIDirectory(folder.Get());
        mine->SetForceNewMapPOIFolder(c.forceCheck ? VARIANT_TRUE : VARIANT_FALSE);
        int before = g_engine.unloads;
        ASSERT_EQ(core->SystemSetSettings(mine.Get()), S_OK);
        EXPECT_EQ(g_engine.unloads - before, c.reloads) << c.folder << " " << c.forceCheck;
    }
    EXPECT_EQ(core->SystemSetSettings(nullptr), E_POINTER);
    core->Stop();
}

TEST_F(Lifecycle, AllCoresShareOneEngine) {
    auto engine = std::make_unique<FakeEngineOffered>();
    {
        ComPtr<IGPSCore> first = NewCore();
        ComPtr<IGPSCore> second = NewCore();
        EXPECT_EQ(g_engine.created, 1);
        EXPECT_EQ(g_engine.resets, 2) << "every core resets the engine once";
        SHORT maps = -1;
        EXPECT_EQ(first->GetNumberOfMapsLoaded(&maps), S_OK);
        EXPECT_EQ(maps, 0);
        first.Reset();
        EXPECT_EQ(g_engine.destroyed, 0) << "the second core still holds it";
    }
    EXPECT_EQ(g_engine.destroyed, 1) << "the last core releases the creation reference too";
    engine.reset();

    // Without an engine the counts report failure and zero.
    ComPtr<IGPSCore> alone = NewCore();
    SHORT maps = -1;
    EXPECT_EQ(alone->LoadedStateMaps(&maps), E_FAIL);
    EXPECT_EQ(maps, 0);
}

std::string WhereIs(IGPSCore* core, Mode mode) {
    Bstr text;
    EXPECT_EQ(core->DestinationWhereIs(mode, nullptr, text.Put()), S_OK);
    return text.Utf8();
}

std::string DestinationName(IGPSCore* core) {
    ComPtr<IDestinationObject> destination;
    EXPECT_EQ(core->DestinationGet(destination.Put()), S_OK);
    return gpslib::test::Text(destination.Get(), &IDestinationObject::GetName);
}

TEST_F(Lifecycle, TheDestinationIsSharedSetFourWaysAndCleared) {
    ComPtr<IGPSCore> core = NewCore();
    Start(core.Get(), settings);
    const std::string none = WhereIs(core.Get(), GPSMode);
    EXPECT_FALSE(none.empty());
    EXPECT_EQ(WhereIs(core.Get(), VirtualMode), none);

    // By location: held by reference, handed out as a copy.
    auto place = gpslib::test::NewLocation(43.7384, 7.4246, "Casino");
    ASSERT_EQ(core->DestinationSetByLocation(place.Get()), S_OK);
    Bstr renamed(std::string_view("Opera"));
    place->SetName(renamed.Get());
    EXPECT_EQ(DestinationName(core.Get()), "Opera");
    ComPtr<IDestinationObject> copy;
    ASSERT_EQ(core->DestinationGet(copy.Put()), S_OK);
    place->SetName(Bstr(std::string_view("Later")).Get());
    EXPECT_EQ(gpslib::test::Text(copy.Get(), &IDestinationObject::GetName), "Opera");
    // With a destination but no position of either kind, each mode says what it lacks.
    EXPECT_NE(WhereIs(core.Get(), GPSMode), none);
    EXPECT_NE(WhereIs(core.Get(), VirtualMode), none);
    EXPECT_NE(WhereIs(core.Get(), GPSMode), WhereIs(core.Get(), VirtualMode));

    // By address: the city joins the name.
    auto address = gpslib::test::New<IAddressObject>(CLSID_AddressObject, IID_IAddressObject);
    address->SetLocation(gpslib::test::NewLocation(43.73, 7.42, "12 Rue Grimaldi").Get());
    address->SetCity(Bstr(std::string_view("Monaco")).Get());
    ASSERT_EQ(core->DestinationSetByAddress(address.Get()), S_OK);
    EXPECT_EQ(DestinationName(core.Get()), "12 Rue Grimaldi, Monaco");

    // By POI: the street and city are added unless the name says them already (any case).
    struct Case {
        const char *name, *number, *street, *city, *expected;
    };
    const Case cases[] = {
        {"Bakery", "5", "Elm Street", "Springfield", "Bakery, 5 Elm Street, Springfield"},
        {"Elm Street Bakery", "5", "elm street", "Springfield", "Elm Street Bakery, Springfield"},
        {"Bakery of SPRINGFIELD", "", "Elm Street", "springfield",
         "Bakery of SPRINGFIELD, Elm Street"},
        {"Bakery", "", "", "", "Bakery"},
        {"", "5", "Elm Street", "", ", 5 Elm Street"}, // An empty name holds nothing.
    };
    for (const Case& c : cases) {
        auto poi = gpslib::test::New<IPOIObject>(CLSID_POIObject, IID_IPOIObject);
        poi->SetLatitude(43.74);
        poi->SetLongitude(7.43);
        poi->SetName(Bstr(std::string_view(c.name)).Get());
        poi->SetAddressNumber(Bstr(std::string_view(c.number)).Get());
        poi->SetStreet(Bstr(std::string_view(c.street)).Get());
        poi->SetCity(Bstr(std::string_view(c.city)).Get());
        ASSERT_EQ(core->DestinationSetByPOI(poi.Get()), S_OK);
        EXPECT_EQ(DestinationName(core.Get()), c.expected) << c.name;
    }

    ASSERT_EQ(core->DestinationClear(), S_OK);
    EXPECT_EQ(WhereIs(core.Get(), GPSMode), none);
    core->Stop();
}

// One kind of settings: the object a Get hands out is a copy (changing it changes nothing held),
// and a Set takes a copy (the values the object had then, not its later changes).
template <class I, class V>
void ExpectCopiedBothWays(const std::function<HRESULT(I**)>& get,
                          const std::function<HRESULT(I*)>& set, HRESULT (I::*read)(V*),
                          HRESULT (I::*write)(V), V first, V second) {
    auto held = [&] {
        ComPtr<I> object;
        V value{};
        EXPECT_EQ(get(object.Put()), S_OK);
        if (object) (object.Get()->*read)(&value);
        return value;
    };
    const V before = held();
    ComPtr<I> mine;
    ASSERT_EQ(get(mine.Put()), S_OK);
    (mine.Get()->*write)(first);
    EXPECT_EQ(held(), before) << "a Get hands out a copy";
    ASSERT_EQ(set(mine.Get()), S_OK);
    (mine.Get()->*write)(second);
    EXPECT_EQ(held(), first) << "a Set takes a copy";
}

TEST_F(Lifecycle, EveryKindOfSettingsIsCopiedInAndOut) {
    ComPtr<IGPSCore> core = NewCore();
    Start(core.Get(), settings);
    IGPSCore* c = core.Get();
    {
        SCOPED_TRACE("system");
        ExpectCopiedBothWays<ISystemSettingsObject, RelativeHeadingType>(
            [c](ISystemSettingsObject** o) { return c->SystemGetSettings(o); },
            [c](ISystemSettingsObject* o) { return c->SystemSetSettings(o); },
            &ISystemSettingsObject::GetHeadingMode, &ISystemSettingsObject::SetHeadingMode,
            ClockFace, LeftRightDegreesCompass);
    }
    {
        SCOPED_TRACE("receiver");
        VARIANT_BOOL opened = VARIANT_FALSE;
        ExpectCopiedBothWays<IGPSSettingsObject, SHORT>(
            [c](IGPSSettingsObject** o) { return c->GPSGetSettings(o); },
            [c, &opened](IGPSSettingsObject* o) { return c->GPSSetSettings(o, &opened); },
            &IGPSSettingsObject::GetPedestrianHeadingAveragingSeconds,
            &IGPSSettingsObject::SetPedestrianHeadingAveragingSeconds, SHORT{7}, SHORT{9});
    }
    {
        SCOPED_TRACE("lookaround");
        ExpectCopiedBothWays<ILookaroundSettingsObject, SHORT>(
            [c](ILookaroundSettingsObject** o) { return c->LookaroundGetSettings(o); },
            [c](ILookaroundSettingsObject* o) { return c->LookaroundSetSettings(o); },
            &ILookaroundSettingsObject::GetStartDelayForLookaroundEvents,
            &ILookaroundSettingsObject::SetStartDelayForLookaroundEvents, SHORT{3}, SHORT{4});
    }
    for (Mode mode : {GPSMode, VirtualMode}) {
        SCOPED_TRACE(mode == GPSMode ? "route, GPS mode" : "route, virtual mode");
        const WaypointMode first = mode == GPSMode ? WaypointModeAll : WaypointModeSystem;
        ExpectCopiedBothWays<IRouteSettingsObject, WaypointMode>(
            [c, mode](IRouteSettingsObject** o) { return c->RouteGetSettings(mode, o); },
            [c, mode](IRouteSettingsObject* o) { return c->RouteSetSettings(mode, o); },
            &IRouteSettingsObject::GetWaypointMode, &IRouteSettingsObject::SetWaypointMode, first,
            WaypointModeTurnsOnly);
    }
    // That each mode keeps its own route settings is checked with route following.
    core->Stop();
}

TEST_F(Lifecycle, SettingsAndTheDestinationSurviveARestart) {
    ComPtr<IGPSCore> core = NewCore();
    Start(core.Get(), settings);
    ComPtr<ISystemSettingsObject> mine;
    ASSERT_EQ(core->SystemGetSettings(mine.Put()), S_OK);
    mine->SetUnits(Metric);
    mine->SetPOIAuthor(Bstr(std::string_view("Ana")).Get());
    mine->SetArrivalDistance(Imperial, 80);
    ASSERT_EQ(core->SystemSetSettings(mine.Get()), S_OK);
    ASSERT_EQ(core->DestinationSetByLocation(
                  gpslib::test::NewLocation(47.14, 9.52, "Vaduz Castle").Get()),
              S_OK);
    ASSERT_EQ(core->Stop(), S_OK);

    ComPtr<IGPSCore> next = NewCore();
    Start(next.Get(), settings);
    ComPtr<ISystemSettingsObject> read;
    ASSERT_EQ(next->SystemGetSettings(read.Put()), S_OK);
    const std::string expected = "GetUnits=" + std::to_string(Metric) + " GetPOIAuthor=\"Ana\"";
    EXPECT_EQ(ReadFields(read.Get(), expected), expected);
    SHORT feet = 0;
    read->GetArrivalDistance(Imperial, &feet);
    EXPECT_EQ(feet, 80);
    EXPECT_EQ(DestinationName(next.Get()), "Vaduz Castle");
    ComPtr<ILocationObject> here;
    EXPECT_EQ(next->GetLocation(GPSMode, here.Put()), S_OK);
    next->Stop();
}

} // namespace
