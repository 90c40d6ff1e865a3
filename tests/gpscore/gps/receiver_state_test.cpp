// The receiver state over scripted fixes: fix quality and accuracy, heading averaging in every
// mode (the track-point method and the street snapping of big-city averaging included), the
// pedometer and the reset of a silent receiver.
#include "gps/ReceiverState.h"

#include <gtest/gtest.h>

#include <memory>

#include <vector>

#include "base/Descriptions.h"
#include "gps/GPSObject.h"

// The map library's class bases are compiled in for the fake street engine.
#include "GPSMapLib_classes.h"
#include "empty_map_records.h"
#include "value.h"

namespace {

using gpslib::ComPtr;
using gpslib::test::Value;

constexpr double kMetreInDegrees = 1.0 / 111195.0; // Of latitude, on the service's sphere.

// Every street is "Main St", running at 100 degrees.
class CStraightStreets : public CGPSMapBase {
public:
    HRESULT GetStreetAtLocation(DOUBLE, DOUBLE, SHORT, BSTR, BSTR* name, BSTR* result) override {
        *name = gpslib::AllocBstr(u"Main St");
        *result = gpslib::AllocBstr(u"OK");
        return S_OK;
    }
    HRESULT GetStreetBearingAtLocation(DOUBLE, DOUBLE, SHORT, SHORT* bearing) override {
        *bearing = 100;
        return S_OK;
    }
};

} // namespace

GPSLIB_CLASS_FACTORY(GPSMap, CStraightStreets)

namespace {

class ReceiverStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(gpslib::CreateObject(CLSID_GPSObject, IID_IGPSObject, &object), S_OK);
        record = gpslib::ImplOf<CGPSObject>(object.Get());
        ASSERT_NE(record, nullptr);
        state = std::make_unique<gpscore::ReceiverState>();
        state->SetRecord(record);
        state->m_nStartupSentences = 0;
    }
    void Gga(int quality, int satellites, double hdop) {
        state->OnValidSentence();
        state->OnGga({quality, satellites, hdop, 10.0});
    }
    void Rmc(double latitude, double longitude, double knots, double course) {
        state->OnValidSentence();
        gpscore::nmea::Rmc rmc;
        rmc.latitude = latitude;
        rmc.longitude = longitude;
        rmc.speedKnots = knots;
        rmc.courseDegrees = course;
        state->OnRmc(rmc);
    }
    SHORT Heading() { return Value(object.Get(), &IGPSObject::GetHeadingDegrees); }
    SHORT Instantaneous() {
        return Value(object.Get(), &IGPSObject::GetInstantaneousHeadingDegrees);
    }
    GPSQuality Quality() { return Value(object.Get(), &IGPSObject::GetFixQuality); }
    // Walks `steps` fixes at `knots`, one metre apart along `north` and `east` per fix; returns
    // the heading after each fix.
    std::vector<SHORT> Walk(int steps, double knots, double course, double north, double east) {
        std::vector<SHORT> headings;
        for (int i = 1; i <= steps; ++i) {
            Rmc(43.7 + i * north * kMetreInDegrees, 7.4 + i * east * kMetreInDegrees * 1.4, knots,
                course);
            headings.push_back(Heading());
        }
        return headings;
    }

    ComPtr<IGPSObject> object;
    CGPSObject* record = nullptr;
    std::unique_ptr<gpscore::ReceiverState> state;
};

TEST_F(ReceiverStateTest, FixQualityFollowsCountersValidityAndDilution) {
    struct Case {
        const char* name;
        SHORT alive;
        SHORT startup;
        bool testMode;
        bool valid;
        int gga;
        int satellites;
        double hdop;
        GPSQuality quality;
        SHORT accuracyFeet; // -1: unknown
        bool coarse;
    };
    const Case cases[] = {
        // Accuracies in feet: 6.6 m is 21 ft, 4.0 m 13 ft, 19.8 m 64 ft, 20.46 m 67 ft.
        {"silent receiver", 0, 0, false, true, 1, 8, 1.0, GPSQualityNoGPS, -1, false},
        {"start-up sentence", 7, 1, false, true, 1, 8, 1.0, GPSQualityNoGPS, -1, false},
        {"start-up in test mode", 7, 1, true, true, 1, 8, 1.0, GPSQualityGood, 21, false},
        {"no fix", 7, 0, false, false, 1, 8, 1.0, GPSQualityNoFix, -1, false},
        {"plain hdop 1", 7, 0, false, true, 1, 8, 1.0, GPSQualityGood, 21, false},
        {"differential hdop 1", 7, 0, false, true, 2, 8, 1.0, GPSQualityEnhanced, 13, false},
        {"fair", 7, 0, false, true, 1, 8, 3.0, GPSQualityFair, 64, false},
        {"poor", 7, 0, false, true, 1, 8, 3.1, GPSQualityPoor, 67, false},
        {"inertial with satellites", 7, 0, false, true, 7, 6, 1.0, GPSQualityInertial, 21, false},
        {"inertial without", 7, 0, false, true, 7, 0, 1.0, GPSQualityInertial, 21, true},
        {"inertial implausible count", 7, 0, false, true, 7, 11, 1.0, GPSQualityInertial, 21, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        if (c.valid)
            state->OnRmc({});
        else
            state->OnRmcVoid();
        state->OnGga({c.gga, c.satellites, c.hdop, 0.0});
        state->m_nNmeaAliveCount = c.alive;
        state->m_nStartupSentences = c.startup;
        state->m_bTestMode = c.testMode;
        state->UpdateFixQuality();
        EXPECT_EQ(Quality(), c.quality);
        SHORT feet = 0, satellites = 0;
        object->GetEstimatedAccuracy(&feet);
        object->GetNumberOfSatellites(&satellites);
        EXPECT_EQ(feet, c.accuracyFeet);
        EXPECT_EQ(state->InertialNoSatellites(), c.coarse);
        EXPECT_EQ(satellites, c.coarse ? 0 : c.satellites);
    }
}

TEST_F(ReceiverStateTest, TheFiveSampleMeanWrapsAcrossNorth) {
    for (int h : {0, 10, 5, 355})
        state->AddHeadingSample(h);
    EXPECT_EQ(Heading(), -1); // Four samples are not enough.
    // History 350, 355, 5, 10, 0 (newest first): 365 + 370 + 360 + 350 + 355 = 1800.
    state->AddHeadingSample(350);
    EXPECT_EQ(Heading(), 0);
}

TEST_F(ReceiverStateTest, HeadingInEachMode) {
    struct Fix {
        double knots;
        double course;
    };
    struct Case {
        GPSType type;
        HeadingAveraging averaging;
        SHORT seconds;
        int gga;
        std::vector<Fix> fixes;
        SHORT heading;
        SHORT instantaneous;
    };
    const GPSType serial = GPSTypeSerial, north = GPSTypeNorthernHeadingsWhenStopped;
    const HeadingAveraging automatic = AutomaticHeadings, instant = InstantaneousHeadings;
    const std::vector<Fix> moving(5, {3, 90});
    std::vector<Fix> movingThenStill = moving;
    movingThenStill.back() = {3, 0}; // Course 0 and slow fixes are ignored.
    movingThenStill.insert(movingThenStill.end(), {{1.9, 200}, {3, 90}});
    const Case cases[] = {
        {serial, instant, 5, 1, {{1.0, 90}, {1.0, 200.9}}, 200, 200}, // Follows the course.
        {serial, instant, 5, 1, {{1.0, 90}, {0.5, 180}}, 90, 180},    // Below the minimum speed.
        {serial, automatic, 5, 1, std::vector<Fix>(4, {10, 90}), -1, 90}, // Fast: four give none.
        {serial, automatic, 5, 1, {{10, 80}, {10, 90}, {10, 90}, {10, 100}, {10, 110}}, 94, 110},
        {serial, ManualHeadings, 1, 1, std::vector<Fix>(5, {1, 45}), 45, 45}, // One second.
        {GPSTypeInertial, automatic, 5, 7, {{0.1, 123}}, 123, 123},           // The course at once.
        {north, automatic, 5, 1, moving, 90, -1}, // Northern headings, moving.
        {north, automatic, 5, 1, movingThenStill, 90, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "row " << &c - cases);
        SetUp();
        state->m_eReceiverType = c.type;
        state->m_eHeadingAveraging = c.averaging;
        state->m_nPedestrianAveragingSeconds = c.seconds;
        Gga(c.gga, 8, 1.0);
        for (const Fix& f : c.fixes)
            Rmc(43.7, 7.4, f.knots, f.course);
        EXPECT_EQ(Heading(), c.heading);
        EXPECT_EQ(Instantaneous(), c.instantaneous);
    }
}

TEST_F(ReceiverStateTest, WalkingPaceTakesBearingsFromTrackPoints) {
    // At 1 knot the window is 5 fixes: the first pair of bearings comes at fix 10, then one pair
    // every 5 fixes, so the five-sample mean is first complete at fix 20. The reported course
    // (200) is ignored: the walker goes north.
    Gga(1, 8, 1.0);
    std::vector<SHORT> headings = Walk(20, 1.0, 200, 1.0, 0.0);
    for (int i = 0; i < 19; ++i)
        EXPECT_EQ(headings[i], -1) << "fix " << i + 1;
    EXPECT_EQ(headings[19], 0);

    // Legs that disagree by 25 degrees or more give the bearing across both, twice: 4 m north
    // then 5 m east gives about 51 degrees twice, then east legs (89 or 90) follow.
    SetUp();
    Gga(1, 8, 1.0);
    Walk(5, 1.0, 0, 1.0, 0.0);
    for (int i = 1; i <= 15; ++i)
        Rmc(43.7 + 5 * kMetreInDegrees, 7.4 + i * kMetreInDegrees * 1.4, 1.0, 0);
    EXPECT_GE(Heading(), 78);
    EXPECT_LE(Heading(), 84);
}

TEST_F(ReceiverStateTest, BigCityHeadingsSnapToTheStreet) {
    // Window 2 at walking pace; the fourth street check (fix 10) finds the walker still on
    // Main St and snaps to its bearing, turned round to the side of the course (270 is more
    // than 90 degrees from 100).
    ComPtr<IGPSMap> streets = ComPtr<IGPSMap>::Adopt(new CStraightStreets);
    for (IGPSMap* engine : {static_cast<IGPSMap*>(nullptr), streets.Get()}) {
        SCOPED_TRACE(engine != nullptr ? "with maps" : "without maps");
        SetUp();
        state->SetMapEngine(gpscore::MapQueries(engine));
        state->m_eHeadingAveraging = BigCityHeadings;
        Gga(1, 8, 1.0);
        std::vector<SHORT> headings = Walk(10, 1.0, 270, 1.0, 0.0);
        EXPECT_EQ(headings[8], 0); // Walked north.
        EXPECT_EQ(headings[9], engine != nullptr ? 280 : 0);
    }
}

TEST_F(ReceiverStateTest, PedometerSamplesEverySixthPollWhileMoving) {
    Gga(1, 8, 1.0);
    const double step = 10.0 * kMetreInDegrees;
    for (int poll = 0; poll < 13; ++poll) {
        Rmc(43.7 + poll * step, 7.4, 2.0, 0);
        state->UpdatePedometer(false);
    }
    // Samples at polls 0, 6 and 12: 120 m walked, in feet (the default units).
    EXPECT_NEAR(state->m_nPedometerTotalGPS, 394, 2);
    // A forced sample ignores the countdown; standing still adds nothing and keeps the anchor.
    Rmc(43.7 + 14 * step, 7.4, 2.0, 0);
    state->UpdatePedometer(true);
    EXPECT_NEAR(state->m_nPedometerTotalGPS, 459, 2);
    Rmc(43.7 + 20 * step, 7.4, 0.0, 0);
    state->UpdatePedometer(true);
    EXPECT_NEAR(state->m_nPedometerTotalGPS, 459, 2);
    state->PedometerReset();
    EXPECT_EQ(state->m_nPedometerTotalGPS, 0);
}

TEST_F(ReceiverStateTest, ResetClearsTheRecordButKeepsThePosition) {
    Gga(2, 9, 0.8);
    state->OnGsa({3, 1.5, 0.8, 1.2});
    Rmc(43.7, 7.4, 10, 90);
    state->ResetGPSData();
    IGPSObject* o = object.Get();
    EXPECT_DOUBLE_EQ(Value(o, &IGPSObject::GetLatitude), 43.7);
    EXPECT_EQ(Quality(), GPSQualityNoGPS);
    EXPECT_EQ(Heading(), -1);
    EXPECT_EQ(Instantaneous(), -1);
    EXPECT_EQ(Value(o, &IGPSObject::GetAltitude), -1);
    EXPECT_EQ(Value(o, &IGPSObject::GetHDOP) + Value(o, &IGPSObject::GetVDOP), 100.0);
    // Read into non-zero values, so that a getter that writes nothing cannot pass.
    DOUBLE speed = 1;
    SHORT satellites = 1;
    VARIANT_BOOL differential = 1;
    o->GetSpeedDouble(&speed);
    o->GetNumberOfSatellites(&satellites);
    o->IsDifferentialEnabled(&differential);
    EXPECT_EQ(speed, 0.0);
    EXPECT_EQ(satellites, 0);
    EXPECT_EQ(differential, 0);
    // The history is empty again: four fast fixes give no heading.
    for (int i = 0; i < 4; ++i)
        Rmc(43.7, 7.4, 10, 90);
    EXPECT_EQ(Heading(), -1);
}

} // namespace
