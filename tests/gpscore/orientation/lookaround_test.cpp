// Lookaround as a client hears it: a started service with the real map engine, a receiver fed
// one fix per poll (the sentences the track converter writes), and a sink that notes the poll of
// every event. The sample town, with a neighbouring town drawn east of it as a second map
// (tests/support/neighbourton.osm), gives exact answers: street, city and map changes at the polls
// their countdowns and the two-checks rule give; the corner ahead announced once, in time, and only
// when it should be. The real ride through Andorra checks the same promises against the OSM extract
// itself.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "GPSLib_classes.h"
#include "base/LookaroundSettingsObject.h"
#include "base/SettingsFiles.h"
#include "formats/Geodesy.h"
#include "formats/Gpx.h"
#include "formats/TrackTrace.h"
#include "orientation/Lookaround.h"
#include "recording_sink.h"
#include "registered_modules.h"
#include "service_fixture.h"
#include "value.h"

namespace {

namespace fs = std::filesystem;
namespace geo = gpslib::geo;
using gpslib::Bstr;
using gpslib::ComPtr;
using gpslib::test::RecordingSink;
using gpslib::test::Text;
using gpslib::test::Value;
using gpslib::tracktrace::Fix;

// The real map engine module, registered by the real gpsreg in a store of this run's own.
class EngineRegistered final : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(gpslib::test::RegisterModules({GPSMAP_MODULE})); }
};
[[maybe_unused]] const ::testing::Environment* const kEngine =
    ::testing::AddGlobalTestEnvironment(new EngineRegistered);

// The sample town's grid: x and y in 1/1000 degree east and north of 45 N 10 E.
double Lon(double x) {
    return 10.0 + x / 1000.0;
}
double Lat(double y) {
    return 45.0 + y / 1000.0;
}
// Metres per grid unit east-west at 45 N.
constexpr double kMetresPerX = 78.7;

// A folder holding the compiled maps named, shared by the run.
std::string MapFolder(const std::string& which) {
    static gpslib::test::TempDir root;
    const std::string folder = root.File(which);
    if (fs::exists(folder)) return folder;
    if (which == "towns") {
        gpslib::test::MapFolder(folder, GPSLIB_SAMPLE_MAP_DIR, {"Sampleton"}, true);
        // Neighbourton east of it (drawn in the file): Bay Street continues Harbour Road, Dock
        // Lane crosses it at x 12 with a crossing over each street.
        const std::string osm = GPSLIB_SOURCE_DIR "/tests/support/neighbourton.osm";
        const std::string command = std::string(GPSMAP_BUILD_TOOL) +
                                    " --quiet --name Neighbourton --output " + folder + " " + osm;
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
    } else {
        gpslib::test::MapFolder(folder, GPSLIB_OSM_MAP_DIR, {which});
    }
    return folder;
}

// The lookaround events, as (type, poll).
using Heard = std::vector<std::pair<EventType, int>>;

bool IsLookaround(EventType type) {
    return type == EventLookaroundStreetChanges || type == EventLookaroundCityChanges ||
           type == EventLookaroundMapChanges || type == EventLookaroundIntersections;
}

std::string Utf8(const std::u16string& text) {
    return gpslib::ToUtf8(std::u16string_view(text));
}

class LookaroundWalk : public gpslib::test::ServiceFixture {
protected:
    // The maps of `folder`, metric units, lookaround with no start delay.
    void Start(const std::string& folder) {
        if (core) {
            core->Stop();
            core.Reset();
            gps.Reset();
            gpscore::SetServiceEnvForTesting(nullptr);
        }
        polls = 0;
        driven.clear();
        WriteSettings(folder, 0);
        ServiceFixture::SetUp();
        SHORT maps = 0;
        core->GetNumberOfMapsLoaded(&maps);
        ASSERT_GT(maps, 0) << "no map in " << folder;
        sink = new RecordingSink;
        ASSERT_EQ(core->RegisterUIAutoEventCallback(sink), S_OK);
        sink->Release(); // The service holds it now.
        // A receiver that sends nothing itself; the fixes are pushed, one per poll. Its heading is
        // the course of each fix, as a receiver in a moving vehicle gives it.
        ASSERT_TRUE(receiver.ok());
        ASSERT_TRUE(Configure(GPSTypeSerial, receiver.PortName(), receiver.Number(), "",
                              InstantaneousHeadings));
    }
    void SetUp() override {}

    // Changes the held settings as a client does.
    template <class F> void Settings(F change) {
        ComPtr<ILookaroundSettingsObject> s;
        ASSERT_EQ(core->LookaroundGetSettings(s.Put()), S_OK);
        change(s.Get());
        ASSERT_EQ(core->LookaroundSetSettings(s.Get()), S_OK);
    }

    // One poll with one fix.
    void Drive(const Fix& fix) {
        const std::string sentences =
            gpslib::tracktrace::RmcSentence(fix) + gpslib::tracktrace::GgaSentence(fix);
        ASSERT_EQ(core->GPSExternalNmeaDataUpdate(Bstr(sentences).Get()), S_OK);
        sink->poll = ++polls;
        Poll();
        driven.push_back(fix);
    }
    // A fix on the grid, heading east at `metresPerSecond`.
    static Fix East(double x, double y, double metresPerSecond) {
        Fix f;
        f.latitude = Lat(y);
        f.longitude = Lon(x);
        f.course = 90.0;
        f.speedKnots = metresPerSecond * 3600.0 / 1852.0;
        f.time = 1'704'067'200'000'000;
        return f;
    }

    Heard LookaroundHeard() {
        Heard heard;
        for (const auto& s : sink->Seen_())
            if (IsLookaround(s.type)) heard.emplace_back(s.type, s.poll);
        return heard;
    }
    std::vector<RecordingSink::Seen> Seen(EventType type) {
        std::vector<RecordingSink::Seen> seen;
        for (const auto& s : sink->Seen_())
            if (s.type == type) seen.push_back(s);
        return seen;
    }
    int FirstFixPoll() {
        auto fixes = Seen(EventGPSGainedFix);
        return fixes.empty() ? -1 : fixes.front().poll;
    }

    gpslib::test::PtyReceiver receiver;
    RecordingSink* sink = nullptr;
    int polls = 0;
    std::vector<Fix> driven; // The fix of each poll, from poll 1.
};

// ---------------------------------------------------------------------------------------------
// Street, city and map changes.

struct ChangesCase {
    const char* what;
    SHORT interval;
    bool streets, cities, maps;
    // The polls between checks of each kind, for this interval.
    int streetEvery, cityEvery, mapEvery;
    // The client's sink polls from inside every event: that poll must not check again.
    bool sinkPolls = false;
};

// Driving east along Harbour Road into Neighbourton at 7.9 m per poll: street, city and map
// all change between polls 9 and 10. Once on Bay Street a fix strays for one poll onto Dock
// Lane, 55 m north, at a street check: the lane was found by one check only, so it is not
// announced, and Bay Street is not announced again after it. Further on the street goes on as
// "BAY STREET", which is no new street.
TEST_F(LookaroundWalk, StreetCityAndMapChangesComeAtTheirChecks) {
    const ChangesCase cases[] = {
        {"every kind, shortest interval", 5, true, true, true, 3, 10, 15},
        {"default interval", 12, true, true, true, 3, 24, 36},
        {"long interval: city and map once per interval", 40, true, true, true, 10, 40, 40},
        {"streets off", 5, false, true, true, 0, 10, 15},
        {"cities and maps off", 5, true, false, false, 3, 0, 0},
        {"a sink that polls from its callback", 5, true, true, true, 3, 10, 15, true},
    };
    for (const ChangesCase& c : cases) {
        SCOPED_TRACE(c.what);
        Start(MapFolder("towns"));
        Settings([&](ILookaroundSettingsObject* s) {
            s->SetLookaroundReportingInterval(c.interval);
            s->EnableStreetChanges(c.streets ? VARIANT_TRUE : VARIANT_FALSE);
            s->EnableCityChanges(c.cities ? VARIANT_TRUE : VARIANT_FALSE);
            s->EnableMapChanges(c.maps ? VARIANT_TRUE : VARIANT_FALSE);
            s->EnableIntersections(VARIANT_FALSE);
        });
        const double step = 0.1; // 7.9 m per poll
        auto x = [&](int poll) { return 8.65 + step * (poll - 1); };
        const int kPolls = 64;
        // The first fix is the first poll with lookaround; every kind is checked then and at
        // every period after it.
        Drive(East(x(1), 2.0, step * kMetresPerX));
        const int first = FirstFixPoll() > 0 ? FirstFixPoll() : 1;
        if (c.sinkPolls) { // From now on every event is lookaround's.
            sink->callBack = core.Get();
            sink->pollFromCallback = true;
        }
        auto nextCheck = [&](int every, int from) {
            return first + every * std::max(0, (from - first + every - 1) / every);
        };
        const int change = 10; // x 9.55, the first fix past x 9.5
        const int streetSeen = c.streets ? nextCheck(c.streetEvery, change) : 0;
        // The stray fix: the first street check at x 11 or more after the announcement.
        const int stray = c.streets ? nextCheck(c.streetEvery, std::max(25, streetSeen + 1)) : 30;
        for (int poll = 2; poll <= kPolls; ++poll)
            Drive(East(x(poll), poll == stray ? 2.5 : 2.0, step * kMetresPerX));

        Heard expected;
        if (c.cities)
            expected.emplace_back(EventLookaroundCityChanges, nextCheck(c.cityEvery, change));
        if (c.maps) expected.emplace_back(EventLookaroundMapChanges, nextCheck(c.mapEvery, change));
        if (c.streets)
            expected.emplace_back(EventLookaroundStreetChanges, streetSeen + c.streetEvery);
        Heard heard = LookaroundHeard();
        std::sort(expected.begin(), expected.end(),
                  [](auto& a, auto& b) { return a.second < b.second; });
        EXPECT_EQ(heard, expected) << "first fix at poll " << first;
        for (const auto& s : Seen(EventLookaroundStreetChanges))
            EXPECT_NE(Utf8(s.text).find("Bay Street"), std::string::npos) << Utf8(s.text);
        for (const auto& s : Seen(EventLookaroundCityChanges))
            EXPECT_NE(Utf8(s.text).find("Neighbourton"), std::string::npos) << Utf8(s.text);
        for (const auto& s : Seen(EventLookaroundMapChanges))
            EXPECT_NE(Utf8(s.text).find("Neighbourton"), std::string::npos) << Utf8(s.text);
    }
}

// ---------------------------------------------------------------------------------------------
// The intersection ahead.

struct CornerCase {
    const char* what;
    double metresPerSecond;
    SHORT maxSpeed;         // IntersectionMaxSpeedForReporting
    bool virtualMode;       // the service answers for the virtual walker
    bool announced;         // whether Dock Lane is announced
    double announceMetres;  // the announcement distance
    bool sinkPolls = false; // the client's sink polls from inside every event
    bool crossings = false; // the walker's interface asks for the crossings too
};

// What the Dock Lane corner's announcement adds when the crossings are asked for.
constexpr const char* kDockCrossings =
    " Crossing of Bay Street, 11 metres, traffic signals with audible signal, tactile paving. "
    "Crossing of Dock Lane, unmarked, no signals.";

// Walking (or cycling) east along Bay Street from 94 m before Dock Lane to 24 m past it.
TEST_F(LookaroundWalk, TheCornerAheadIsAnnouncedOnceInTime) {
    const CornerCase cases[] = {
        {"walking", 1.4, 50, false, true, 65},
        {"cycling, above 5 mph", 4.0, 50, false, true, 450},
        {"walking faster than the reporting speed", 1.4, 2, false, false, 0},
        {"walking while the service answers for the walker", 1.4, 50, true, false, 0},
        {"walking, a sink that polls from its callback", 1.4, 50, false, true, 65, true},
        {"walking, crossings asked for", 1.4, 50, false, true, 65, false, true},
    };
    for (const CornerCase& c : cases) {
        SCOPED_TRACE(c.what);
        Start(MapFolder("towns"));
        Settings([&](ILookaroundSettingsObject* s) {
            s->EnableStreetChanges(VARIANT_FALSE);
            s->EnableCityChanges(VARIANT_FALSE);
            s->EnableMapChanges(VARIANT_FALSE);
            s->SetIntersectionMaxSpeedForReporting(c.maxSpeed);
        });
        if (c.crossings) {
            ComPtr<IGPSPedestrian> walker;
            ASSERT_EQ(core->QueryInterface(IID_IGPSPedestrian, walker.PutVoid()), S_OK);
            ASSERT_EQ(walker->SetAnnounceCrossings(VARIANT_TRUE), S_OK);
        }
        if (c.virtualMode) {
            ComPtr<ILocationObject> place;
            gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &place);
            place->SetLatitude(Lat(2.0));
            place->SetLongitude(Lon(11.0));
            ASSERT_EQ(core->VirtualSet(place.Get(), 90), S_OK);
            ASSERT_EQ(core->SystemSetCurrentMode(VirtualMode), S_OK);
        }
        const double step = c.metresPerSecond / kMetresPerX;
        for (double x = 10.8; x <= 12.3; x += step) {
            Drive(East(x, 2.0, c.metresPerSecond));
            if (c.sinkPolls && polls == 1) { // After the first fix, only lookaround speaks.
                sink->callBack = core.Get();
                sink->pollFromCallback = true;
            }
        }
        const auto corners = Seen(EventLookaroundIntersections);

        if (!c.announced) {
            EXPECT_TRUE(corners.empty()) << Utf8(corners.front().text);
            continue;
        }
        // Each corner once; at 450 m the case change of Bay Street further on is one too.
        const geo::Point dock{Lat(2.0), Lon(12.0)};
        std::vector<RecordingSink::Seen> atDock;
        for (std::size_t i = 0; i < corners.size(); ++i) {
            const geo::Point at{corners[i].latitude, corners[i].longitude};
            if (geo::Distance(at, dock) < 5.0) atDock.push_back(corners[i]);
            for (std::size_t j = 0; j < i; ++j)
                EXPECT_GT(geo::Distance(at, {corners[j].latitude, corners[j].longitude}), 5.0)
                    << "announced twice: " << Utf8(corners[i].text);
        }
        ASSERT_EQ(atDock.size(), 1u) << "Dock Lane announced once";
        const auto& corner = atDock.front();
        EXPECT_NE(Utf8(corner.text).find("Dock Lane"), std::string::npos) << Utf8(corner.text);
        // The crossings close the announcement only when asked for; otherwise it is unchanged.
        const std::string text = Utf8(corner.text);
        const std::string tail(kDockCrossings);
        const bool told = text.size() > tail.size() && text.ends_with(tail);
        EXPECT_EQ(told, c.crossings) << text;
        EXPECT_EQ(text.find("Crossing") == std::string::npos, !c.crossings) << text;
        const Fix& at = driven[static_cast<std::size_t>(corner.poll - 1)];
        EXPECT_LT(at.longitude, dock.lon) << "before the corner";
        const double left = geo::Distance({at.latitude, at.longitude}, dock);
        EXPECT_LE(left, c.announceMetres);
        // No sooner than the announcement distance allows, and no later than the poll after the
        // user came within it (or at once, when the walk starts within it); each pedometer
        // sample counts whole metres, which may hold the check back by a few metres.
        const double start = geo::Distance({driven[0].latitude, driven[0].longitude}, dock);
        EXPECT_GE(left, std::min(c.announceMetres, start) - c.metresPerSecond - 3.0)
            << "announced " << left << " m before the corner";
    }
}

// The walker's interface, beside IGPSCore on the same object: the crossings of the Dock Lane
// corner for the virtual walker on Bay Street facing it, each with its facts, the next one ahead,
// those near a place, and the answers to bad arguments. (Null pointers and late binding: the
// classes test.)
TEST_F(LookaroundWalk, TheWalkersInterfaceTellsTheCrossingsOfACorner) {
    Start(MapFolder("towns"));
    ComPtr<IGPSPedestrian> walker;
    ASSERT_EQ(core->QueryInterface(IID_IGPSPedestrian, walker.PutVoid()), S_OK);
    ComPtr<ILocationObject> place;
    gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &place);
    place->SetLatitude(Lat(2.0));
    place->SetLongitude(Lon(11.6)); // 31 m west of the corner
    ASSERT_EQ(core->VirtualSet(place.Get(), 90), S_OK);

    gpslib::Variant list;
    LONG count = 0;
    ASSERT_EQ(walker->GetIntersectionCrossings(VirtualMode, &list, &count), S_OK);
    std::vector<IUnknown*> items;
    ASSERT_EQ(gpslib::ReadObjectList(&list, IID_ICrossingObject, 10, &items), S_OK);
    ASSERT_EQ(count, 2);
    ASSERT_EQ(items.size(), 2u);
    std::vector<ComPtr<ICrossingObject>> crossings;
    for (IUnknown* item : items)
        crossings.push_back(ComPtr<ICrossingObject>::Adopt(static_cast<ICrossingObject*>(item)));
    struct Expected {
        const char* street;
        CrossingControl control;
        CrossingFeature sound, tactile;
        LONG metres; // from the walker
    } const expected[] = {
        {"Bay Street", CrossingTrafficSignals, CrossingFeaturePresent, CrossingFeaturePresent, 15},
        {"Dock Lane", CrossingUnmarked, CrossingFeatureUnknown, CrossingFeatureUnknown, 32},
    };
    for (std::size_t i = 0; i < 2; ++i) {
        using C = ICrossingObject;
        ICrossingObject* c = crossings[i].Get();
        EXPECT_EQ(Text(c, &C::GetStreetName), expected[i].street);
        EXPECT_EQ(Value(c, &C::GetControl), expected[i].control);
        EXPECT_EQ(Value(c, &C::GetAudibleSignal), expected[i].sound);
        EXPECT_EQ(Value(c, &C::GetTactilePaving), expected[i].tactile);
        EXPECT_EQ(Value(c, &C::GetKerbAtStart), CrossingKerbUnknown);
        EXPECT_NEAR(Value(c, &C::GetDistanceFromPosition), expected[i].metres, 1);
        LONG fromPlace = -1;
        c->GetDistance(place.Get(), &fromPlace);
        EXPECT_NEAR(fromPlace, expected[i].metres, 1);
    }
    Bstr sentence;
    ASSERT_EQ(walker->GetIntersectionCrossingsDescription(VirtualMode, sentence.Put()), S_OK);
    EXPECT_EQ(" " + sentence.Utf8(), kDockCrossings);

    // Ahead of the walker facing the corner: Bay Street's; facing away, none.
    ComPtr<ICrossingObject> ahead;
    ASSERT_EQ(walker->GetNextCrossingAhead(VirtualMode, ahead.Put()), S_OK);
    EXPECT_EQ(Text(ahead.Get(), &ICrossingObject::GetDescription),
              "Crossing of Bay Street, 11 metres, traffic signals with audible signal, tactile "
              "paving");
    ASSERT_EQ(core->VirtualSet(place.Get(), 270), S_OK);
    ahead.Reset();
    EXPECT_EQ(walker->GetNextCrossingAhead(VirtualMode, ahead.Put()), S_FALSE);
    EXPECT_FALSE(ahead);

    // Near a place: 20 m of the walker holds Bay Street's crossing only.
    gpslib::Variant near;
    ASSERT_EQ(walker->GetCrossingsNearLocation(place.Get(), 20, &near, &count), S_OK);
    EXPECT_EQ(count, 1);

    // Bad arguments.
    VARIANT_BOOL on = VARIANT_TRUE;
    EXPECT_EQ(walker->GetAnnounceCrossings(&on), S_OK);
    EXPECT_EQ(on, VARIANT_FALSE) << "off by default";
    EXPECT_EQ(walker->GetIntersectionCrossings(static_cast<Mode>(7), &near, &count), E_INVALIDARG);
    EXPECT_EQ(walker->GetCrossingsNearLocation(place.Get(), 0, &near, &count), E_INVALIDARG);
}

// ---------------------------------------------------------------------------------------------
// The settings methods.

// What a Set holds is in the file the next Start reads; the defaults name the category to scan
// for in the user's language. (Copies in and out: the lifecycle test; the ranges: the settings
// objects' test.)
TEST_F(LookaroundWalk, SettingsAreWrittenAndTheDefaultsNameACategory) {
    Start(MapFolder("towns"));
    Settings([](ILookaroundSettingsObject* s) { s->SetLookaroundReportingInterval(40); });
    gpscore::settings::Lookaround fromFile;
    gpscore::settings::ReadLookaroundSettings(
        *gpslib::os::Env::Default(), gpslib::ToUtf16(dir.path() + "/"), fromFile, u"", u"");
    EXPECT_EQ(fromFile.reportingInterval, 40);
    ComPtr<ILookaroundSettingsObject> defaults;
    ASSERT_EQ(core->LookaroundGetDefaultSettings(defaults.Put()), S_OK);
    auto* impl = gpslib::ImplOf<CLookaroundSettingsObject>(defaults.Get());
    ASSERT_NE(impl, nullptr);
    EXPECT_FALSE(impl->CategoryNameToScanFor().empty());
}

// ---------------------------------------------------------------------------------------------
// Small rules.

TEST(LookaroundRules, StreetTemplateCodesAndLetterCase) {
    struct Case {
        const char16_t* pattern;
        const char16_t* expected;
    };
    const Case cases[] = {
        {u"$TNow on $F, heading $H.", u"Now on <<Elm>>, heading north."},
        {u"$$5 $F$", u"$5 <<Elm>>"},
        {u"$D$N$Z$F", u"<<Elm>>"},
        {u"", u""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(gpscore::ExpandStreetChangeTemplate(c.pattern, u"", u"<<Elm>>", u"north"),
                  c.expected);
    struct Same {
        const char16_t *a, *b;
        bool same;
    };
    const Same names[] = {
        {u"Bay Street", u"BAY STREET", true},
        {u"Carrer Major", u"carrer major", true},
        {u"ÀVINGUDA", u"àvinguda", true},
        {u"ŁÓDŹ", u"łódź", true},
        {u"УЛИЦА", u"улица", true},
        // Accents fold as in searches: one street spelt with and without them is one street.
        {u"Rue de la Pâix", u"RUE DE LA PAIX", true},
        {u"Bay Street", u"Bay Streets", false},
        {u"Main Street", u"Main Stre3t", false},
        {u"", u"", true},
    };
    for (const Same& n : names)
        EXPECT_EQ(gpscore::SameIgnoringCase(n.a, n.b), n.same) << Utf8(n.a) << " / " << Utf8(n.b);
}

} // namespace
