// The answers computed from a fix (units, the fix rule, the spoken accuracy) and the value objects
// answering through them, including the live record read while another thread writes it.
#include "gps/FixValues.h"

#include <gtest/gtest.h>

#include <limits>
#include <thread>

#include "description_fixture.h"
#include "gps/GPSObject.h"
#include "gps/GPSStatusObject.h"
#include "gps/GPSTimeObject.h"
#include "value.h"

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;

template <class I> ComPtr<I> Make(REFCLSID clsid, REFIID iid) {
    ComPtr<I> object;
    EXPECT_EQ(gpslib::CreateObject(clsid, iid, &object), S_OK);
    return object;
}

TEST(FixValues, UnitConversions) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    const struct {
        Units units;
        double mph;
        SHORT speed;
        double tenths;
        LONG feet, altitude;
        double meters;
        SHORT accuracy;
    } cases[] = {
        {Metric, 10.0, 16, 16.0, 1000, 305, 10.9, 10},
        {Imperial, 10.46, 10, 10.4, 1000, 1000, 10.0, 32},
        {Nautical, 1000.0, 869, 868.9, 1000, 1000, 10.0, 32},
        {BritishNautical, 1000.0, 868, 868.4, 1000, 1000, 10.0, 32},
        {BritishNautical, -1.0, 0, 0.0, -1, -1, -1.0, -1}, // unknown
        {Metric, -1.0, 0, 0.0, 0, 0, -1.0, -1},
        {Metric, 0.3, 0, 0.4, 2, 1, 0.5, 0},
        {Metric, 0.0, 0, 0.0, -100, -29, 0.0, 0}, // truncated towards zero
        // Whole values keep their low 16 bits; beyond 32 bits and not-a-number give 0.
        {Imperial, 70000.0, 4464, 70000.0, 1000, 1000, 20000.0, 80},
        {Imperial, 1e10, 0, 1e10, 1000, 1000, kNaN, 0},
        {Nautical, kNaN, 0, 0.0, 1000, 1000, 1e10, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "units " << c.units << ", " << c.mph << " mph");
        EXPECT_EQ(gpscore::WholeSpeed(c.mph, c.units), c.speed);
        EXPECT_DOUBLE_EQ(gpscore::SpeedTenths(c.mph, c.units), c.tenths);
        EXPECT_EQ(gpscore::AltitudeInUnits(c.feet, c.units), c.altitude);
        EXPECT_EQ(gpscore::AccuracyInUnits(c.meters, c.units), c.accuracy);
    }
    for (int q = GPSQualityNoGPS; q <= GPSQualityInertial; ++q)
        EXPECT_EQ(gpscore::HasFix(static_cast<GPSQuality>(q)), q >= GPSQualityPoor) << q;
}

class AccuracyWords : public DescriptionFixture {
protected:
    void TearDown() override {
        UseReceiver(nullptr);
        DescriptionFixture::TearDown();
    }
    // A serial receiver with this name; none for null.
    void UseReceiver(const char* name) {
        utility->ChangeReceiverSettings([name](gpscore::settings::Receiver& receiver) {
            receiver.receiverType = name != nullptr ? GPSTypeSerial : GPSTypeNone;
            receiver.receiverName = gpslib::ToUtf16(name ? name : "");
        });
    }
};

TEST_F(AccuracyWords, EveryBranch) {
    const struct {
        const char* receiver;
        Units units;
        GPSQuality quality;
        double meters;
        bool differential;
        SHORT satellites;
        const char* expected;
    } cases[] = {
        {nullptr, Imperial, GPSQualityGood, 5.0, false, 7, "No GPS receiver is selected."},
        {"", Imperial, GPSQualityNoGPS, 5.0, false, 7, "No connection to the GPS receiver."},
        {"My GPS", Metric, GPSQualityNoGPS, 5.0, false, 7, "No connection to GPS receiver My GPS."},
        {"", Imperial, GPSQualityGood, 10.0, false, 7, "Accurate to about 32 feet, 7 satellites."},
        {"", Metric, GPSQualityPoor, 10.9, true, 4,
         "Differential GPS. Accurate to about 10 metres, 4 satellites."},
        {"", Metric, GPSQualityInertial, 3.0, false, 0,
         "Accurate to about 3 metres, from the motion sensor, no satellites."},
        {"", Nautical, GPSQualityInertial, 3.0, true, 5,
         "Differential GPS. Accurate to about 9 feet, 5 satellites."},
        {"", Imperial, GPSQualityNoFix, 10.0, false, 3, "No position fix. 3 satellites in view."},
        {"", Metric, GPSQualityGood, -1.0, false, 6, "No position fix. 6 satellites in view."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        UseReceiver(c.receiver);
        Change([&](System& s) { s.units = c.units; });
        const gpscore::FixAccuracy fix{c.quality, c.meters, c.differential, c.satellites};
        EXPECT_EQ(gpslib::ToUtf8(gpscore::AccuracyDescription(fix)), c.expected);
    }
}

// The snapshot answers from what the core stored (its differential flag standing for the
// differential fix quality); a new live record has no connection yet.
TEST_F(AccuracyWords, ValueObjectsAnswerThroughTheSameRules) {
    UseReceiver("Trail");
    Change([&](System& s) { s.units = Metric; });
    auto status = Make<IGPSStatusObject>(CLSID_GPSStatusObject, IID_IGPSStatusObject);
    auto* impl = gpslib::ImplOf<CGPSStatusObject>(status.Get());
    ASSERT_NE(impl, nullptr);
    impl->SetFixQuality(GPSQualityEnhanced);
    impl->SetDifferential(1);
    impl->SetSatellites(9);
    impl->SetEstimatedAccuracyMeters(2.5);
    SHORT accuracy = 0;
    EXPECT_EQ(status->GetEstimatedAccuracy(&accuracy), S_OK);
    EXPECT_EQ(accuracy, 2);
    Bstr text;
    EXPECT_EQ(status->GetEstimatedAccuracyDescription(text.Put()), S_OK);
    EXPECT_EQ(text.Utf8(), "Differential GPS. Accurate to about 2 metres, 9 satellites.");

    auto record = Make<IGPSObject>(CLSID_GPSObject, IID_IGPSObject);
    EXPECT_EQ(record->GetEstimatedAccuracyDescription(text.Put()), S_OK);
    EXPECT_EQ(text.Utf8(), "No connection to GPS receiver Trail.");
}

// A writer moves the record under the data lock, always to a point whose latitude equals its
// longitude; a reader's copy must never mix two positions (a sanitizer build also reports a
// read that skips the lock).
TEST(GPSObject, LocationIsReadWhole) {
    auto record = Make<IGPSObject>(CLSID_GPSObject, IID_IGPSObject);
    CGPSObject* impl = gpslib::ImplOf<CGPSObject>(record.Get());
    ASSERT_NE(impl, nullptr);
    constexpr int kMoves = 2000;
    std::thread writer([impl] {
        for (int i = 1; i <= kMoves; ++i) {
            gpslib::os::CriticalSectionLock lock(impl->DataLock());
            impl->SetLatitude(i * 0.01);
            impl->SetLongitude(i * 0.01);
        }
    });
    int mixed = 0;
    for (int i = 0; i < kMoves; ++i) {
        ComPtr<ILocationObject> copy;
        ASSERT_EQ(record->GetLocation(copy.Put()), S_OK);
        mixed += gpslib::test::Value(copy.Get(), &ILocationObject::GetLatitude) !=
                 gpslib::test::Value(copy.Get(), &ILocationObject::GetLongitude);
    }
    writer.join();
    EXPECT_EQ(mixed, 0);
}

TEST(GPSTimeObject, ValidWhenAnyFieldIsSet) {
    for (int field = 0; field <= 6; ++field) { // 6: none set
        auto time = Make<IGPSTimeObject>(CLSID_GPSTimeObject, IID_IGPSTimeObject);
        SHORT v[6] = {};
        if (field < 6) v[field] = -1;
        gpslib::ImplOf<CGPSTimeObject>(time.Get())->SetTime(v[0], v[1], v[2], v[3], v[4], v[5]);
        VARIANT_BOOL valid = 7;
        EXPECT_EQ(time->IsValid(&valid), S_OK);
        EXPECT_EQ(valid, field < 6 ? 1 : 0) << field;
    }
}

} // namespace
