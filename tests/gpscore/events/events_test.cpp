// Automatic events as a client receives them: a sink object registered with the service, a
// receiver fed with GPSExternalNmeaDataUpdate (or a pseudo-terminal), GPSForcePoll as the clock.
// The connection and fix state machine, the reporting levels, the history of ten, arrival with
// its speed-scaled distance and the start delay. (Sinks that call back in, and the polling
// thread beside client threads, are the soak's: tests/gpscore/core/soak_test.cpp.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "base/EventKinds.h"
#include "base/SettingsFiles.h"
#include "recording_sink.h"
#include "service_fixture.h"

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;
using gpslib::test::PtyReceiver;
using gpslib::test::RecordingSink;
using gpslib::test::Sentence;

// An RMC at 48.1173 N 11.5167 E (plus `north` metres), valid or not, at `knots`.
std::string Rmc(bool valid, double knots = 0.0, double north = 0.0) {
    char body[160];
    const double minutes = 7.038 + north / 1852.0;
    std::snprintf(body, sizeof body, "GPRMC,123519,%c,48%06.3f,N,01131.000,E,%.3f,084.4,230394,,",
                  valid ? 'A' : 'V', minutes, knots);
    return Sentence(body) + Sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,,,,");
}

// A place `north` metres north of the fix.
ComPtr<ILocationObject> NorthOfTheFix(double north) {
    ComPtr<ILocationObject> place;
    gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &place);
    place->SetLatitude(48.1173 + north / 1852.0 / 60.0);
    place->SetLongitude(11.0 + 31.0 / 60.0);
    return place;
}

class Events : public gpslib::test::ServiceFixture {
protected:
    // Lookaround waits `startDelay` polls after Start before it (and arrival) speaks.
    void SetUp() override {
        WriteSettings("", startDelay);
        ServiceFixture::SetUp();
        sink = new RecordingSink;
        ASSERT_EQ(core->RegisterUIAutoEventCallback(sink), S_OK);
        // A receiver that is configured but sends nothing by itself: the test pushes the data.
        ASSERT_TRUE(receiver.ok());
        ASSERT_TRUE(Configure(GPSTypeSerial, receiver.PortName(), receiver.Number()));
    }
    void TearDown() override {
        ServiceFixture::TearDown();
        if (sink != nullptr) sink->Release();
    }

    void Feed(const std::string& nmea) {
        core->GPSExternalNmeaDataUpdate(Bstr(std::string_view(nmea)).Get());
    }
    // One poll, numbered for the sink.
    void Tick() {
        ++sink->poll;
        Poll();
    }
    void SetArrivalDistanceFeet(SHORT feet) {
        ComPtr<ISystemSettingsObject> settings;
        core->SystemGetSettings(settings.Put());
        settings->SetArrivalDistance(Imperial, feet);
        core->SystemSetSettings(settings.Get());
    }
    // A destination `north` metres north of the fix position.
    void SetDestinationNorth(double north) {
        ComPtr<ILocationObject> place = NorthOfTheFix(north);
        place->SetName(Bstr(u"Home").Get());
        core->DestinationSetByLocation(place.Get());
    }
    int Count(EventType type) {
        const std::vector<EventType> types = sink->Types();
        return static_cast<int>(std::count(types.begin(), types.end(), type));
    }
    // Each event heard, as (type, poll).
    std::vector<std::pair<EventType, int>> Heard() {
        std::vector<std::pair<EventType, int>> heard;
        for (const auto& s : sink->Seen_())
            heard.emplace_back(s.type, s.poll);
        return heard;
    }
    // A new service for the next case, its arrival distance 30 ft.
    void Restart() {
        TearDown();
        SetUp();
        SetArrivalDistanceFeet(30);
    }

    PtyReceiver receiver;
    RecordingSink* sink = nullptr;
    SHORT startDelay = 0;
};

TEST_F(Events, ConnectionAndFixStateMachine) {
    // Each script character is one poll: F a fix arrives before it, N data without a fix,
    // - nothing.
    struct Case {
        const char* name;
        std::string script;
        std::vector<std::pair<EventType, int>> events; // type and poll
    };
    const std::vector<Case> cases = {
        {"first data with a fix", "F", {{EventGPSConnectionGained, 1}, {EventGPSGainedFix, 1}}},
        {"first data without a fix", "N", {{EventGPSConnectionGained, 1}, {EventGPSLostFix, 1}}},
        // Reset on the seventh poll after the last sentence, then four polls to the event.
        {"silence after a fix",
         "F------------",
         {{EventGPSConnectionGained, 1}, {EventGPSGainedFix, 1}, {EventGPSConnectionLost, 12}}},
        {"fix lost for five polls",
         "FNNNNNF",
         {{EventGPSConnectionGained, 1}, {EventGPSGainedFix, 1}}},
        {"fix lost for seven polls",
         "FNNNNNNNN",
         {{EventGPSConnectionGained, 1}, {EventGPSGainedFix, 1}, {EventGPSLostFix, 9}}},
        {"a silent port", "------", {{EventGPSConnectionLost, 4}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Restart();
        for (char step : c.script) {
            if (step != '-') Feed(Rmc(step == 'F'));
            Tick();
        }
        EXPECT_EQ(Heard(), c.events);
    }
}

// Which kind stops at which level is the kinds' table itself; what holds for every kind is that
// the lowest level drops nothing and a higher level only ever drops more.
TEST(EventFilter, AHigherLevelOnlyDropsMore) {
    using gpscore::EventKind;
    for (std::size_t k = 0; k < std::size(gpscore::kEventKinds); ++k) {
        const auto kind = static_cast<EventKind>(k);
        EXPECT_TRUE(gpscore::Delivered(kind, UrgencyLow)) << gpscore::InfoOf(kind).logWord;
        for (int level = UrgencyNormal; level <= UrgencyCritical; ++level) {
            if (gpscore::Delivered(kind, static_cast<UrgencyLevel>(level))) {
                EXPECT_TRUE(gpscore::Delivered(kind, static_cast<UrgencyLevel>(level - 1)))
                    << gpscore::InfoOf(kind).logWord << " at " << level;
            }
        }
    }
    // A route start is filtered by the urgency it is made with.
    for (int given = UrgencyLow; given <= UrgencyCritical; ++given)
        for (int level = UrgencyLow; level <= UrgencyCritical; ++level)
            EXPECT_EQ(gpscore::Delivered(EventKind::kRouteStartFollowing,
                                         static_cast<UrgencyLevel>(level),
                                         static_cast<UrgencyLevel>(given)),
                      level <= given);
}

TEST_F(Events, ReportingLevelThroughTheService) {
    // At UrgencyHigh the receiver's events are dropped, an arrival at the destination is not.
    core->LookaroundSetUrgencyReportingLevel(UrgencyHigh);
    SetDestinationNorth(5);
    Feed(Rmc(true));
    Tick();
    EXPECT_EQ(sink->Types(), std::vector<EventType>{EventArrivedNearDestination});
    UrgencyLevel level = UrgencyLow;
    core->LookaroundGetUrgencyReportingLevel(&level);
    EXPECT_EQ(level, UrgencyHigh);
}

TEST_F(Events, HistoryKeepsTheLastTenNewestFirst) {
    ComPtr<IAutomaticEventObject> none;
    EXPECT_EQ(core->GetLastAutomaticEvent(none.Put()), S_OK);
    EXPECT_FALSE(none);
    core->EnableHistoryOfAutomaticEvents(VARIANT_TRUE);
    Feed(Rmc(true));
    Tick(); // Connection gained and fix gained: events 1 and 2.
    // Each new destination re-arms the arrival: ten arrivals, events 3 to 12.
    for (int i = 0; i < 10; ++i) {
        SetDestinationNorth(1 + i);
        Feed(Rmc(true));
        Tick();
    }
    const auto history = History();
    ASSERT_EQ(history.size(), 10u);
    for (const auto& event : history) {
        EventType type = EventUnknown;
        event->GetEventType(&type);
        EXPECT_EQ(type, EventArrivedNearDestination);
    }
    // The newest names the last destination, 10 m away.
    ComPtr<IAutomaticEventObject> last;
    ASSERT_EQ(core->GetLastAutomaticEvent(last.Put()), S_OK);
    EXPECT_EQ(last.Get(), history.front().Get());
    ComPtr<ILocationObject> place;
    last->GetLocation(place.Put());
    DOUBLE latitude = 0;
    place->GetLatitude(&latitude);
    EXPECT_NEAR(latitude, 48.1173 + 10 / 1852.0 / 60.0, 1e-9);
    // Disabling keeps what is stored; Stop empties it.
    core->EnableHistoryOfAutomaticEvents(VARIANT_FALSE);
    EXPECT_EQ(History().size(), 10u);
    core->Stop();
    EXPECT_EQ(History().size(), 0u);
}

TEST_F(Events, ArrivalDistanceGrowsWithSpeed) {
    // Walking (3 mph) the test uses 30 ft; at 30 mph 120 ft; at 60 mph 240 ft.
    struct Case {
        double mph;
        double feet;
    };
    for (const Case& c : {Case{3, 30}, Case{30, 120}, Case{60, 240}}) {
        for (double factor : {0.9, 1.1}) {
            SCOPED_TRACE(std::to_string(c.mph) + " mph at " + std::to_string(factor));
            Restart();
            SetDestinationNorth(c.feet * factor * 0.3048);
            Feed(Rmc(true, c.mph / 1.15077945));
            Tick();
            EXPECT_EQ(Count(EventArrivedNearDestination), factor < 1 ? 1 : 0);
        }
    }
}

TEST_F(Events, VirtualModeArrivesWithinAThirdAndSkipsTheVirtualCheck) {
    // Arrival distance 30 ft: a third of it (10 ft, 3 m) in VirtualMode, whatever the speed.
    struct Case {
        const char* name;
        Mode mode;
        double walkerNorth;      // metres north of the fix
        double destinationNorth; // metres north of the fix; -1 none
        int destinationEvents, virtualEvents;
    };
    const Case cases[] = {
        {"virtual: destination 2.5 m from the walker", VirtualMode, 100, 102.5, 1, 0},
        {"virtual: destination 3.5 m from the walker", VirtualMode, 100, 103.5, 0, 0},
        {"virtual: the walker on the fix is no event", VirtualMode, 0, -1, 0, 0},
        {"gps: the walker on the fix", GPSMode, 0, -1, 0, 1},
        {"gps: the walker 50 m away (beyond 120 ft at 30 mph)", GPSMode, 50, -1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Restart();
        ASSERT_EQ(core->VirtualSet(NorthOfTheFix(c.walkerNorth).Get(), -1), S_OK);
        if (c.destinationNorth >= 0) SetDestinationNorth(c.destinationNorth);
        core->SystemSetCurrentMode(c.mode);
        for (int i = 0; i < 3; ++i) {
            Feed(Rmc(true, 30 / 1.15077945)); // Driving speed would widen GPSMode's distance.
            Tick();
        }
        EXPECT_EQ(Count(EventArrivedNearDestination), c.destinationEvents);
        EXPECT_EQ(Count(EventArrivedNearVirtualLocation), c.virtualEvents);
    }
}

TEST_F(Events, OneArrivalUntilTheUserHasLeft) {
    SetArrivalDistanceFeet(30); // 9 m at walking pace.
    SetDestinationNorth(0);
    // Standing there: one event. Leaving to 20 m (within three arrival distances) and coming
    // back: nothing new. Leaving to 40 m and coming back: a second event.
    for (double north : {0.0, 0.0, 20.0, 0.0, 40.0, 0.0}) {
        Feed(Rmc(true, 1.0, north));
        Tick();
    }
    EXPECT_EQ(Count(EventArrivedNearDestination), 2);
    for (const auto& s : sink->Seen_())
        if (s.type == EventArrivedNearDestination) {
            EXPECT_NE(s.text.find(u"Home"), s.text.npos);
        }
}

TEST_F(Events, StartDelayAndDisengagedEvents) {
    // Disengaged: nothing is made, but the pedometer still counts.
    core->EngageUIAutoLookaroundEvents(VARIANT_FALSE);
    SetDestinationNorth(0);
    for (int i = 0; i < 8; ++i) {
        Feed(Rmc(true, 2.0, i * 10.0));
        Tick();
    }
    EXPECT_TRUE(sink->Types().empty());
    Bstr walked;
    core->PedometerGet(GPSMode, walked.Put());
    EXPECT_NE(walked.View(), u"");
    Bstr none;
    core->PedometerReset(GPSMode);
    core->PedometerGet(GPSMode, none.Put());
    EXPECT_NE(std::u16string(walked.View()), std::u16string(none.View()));

    // Engaged, with a start delay of 5: the connection events come at once, the arrival only
    // on the sixth poll.
    TearDown();
    startDelay = 5;
    SetUp();
    SetDestinationNorth(0);
    for (int i = 0; i < 7; ++i) {
        Feed(Rmc(true));
        Tick();
    }
    EXPECT_EQ(Heard(), (std::vector<std::pair<EventType, int>>{{EventGPSConnectionGained, 1},
                                                               {EventGPSGainedFix, 1},
                                                               {EventArrivedNearDestination, 6}}));
}

} // namespace
