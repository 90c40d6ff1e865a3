// Two services in one process: each with its own settings folder and receiver, sharing the
// process's Utility. Polled from two threads, one stopped while the other keeps going; and each
// speaking the directions of its own receiver.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <string>
#include <thread>

#include "GPSLib_classes.h"
#include "base/Utility.h"
#include "service_fixture.h"
#include "settings_folder.h"
#include "temp_dir.h"

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;
using gpslib::test::Sentence;

constexpr int kAhead = 20186;
constexpr int kAheadRight = 20188;

// A started service in a settings folder of its own.
struct Service {
    gpslib::test::TempDir dir;
    ComPtr<IGPSCore> core;

    void Start() {
        ASSERT_EQ(gpslib::CreateObject(CLSID_GPSCore, IID_IGPSCore, &core), S_OK);
        Bstr result;
        const std::string settings = gpslib::test::PrepareSettingsFolder(dir);
        ASSERT_EQ(core->Start(Bstr(settings).Get(), nullptr, result.Put()), S_OK);
        // Receiver sentences count at once, without the start-up ones a real receiver sends.
        ASSERT_EQ(core->SystemSetTestMode(VARIANT_TRUE), S_OK);
    }
    // One fix from a receiver with the given GGA quality digit and satellite count, then a poll.
    void Fix(int quality, int satellites) {
        char gga[128];
        std::snprintf(gga, sizeof gga,
                      "GPGGA,123519,4807.038,N,01131.000,E,%d,%02d,0.9,545.4,M,,,,", quality,
                      satellites);
        const std::string bytes =
            Sentence(gga) + Sentence("GPRMC,123519,A,4807.038,N,01131.000,E,000.0,000.0,230394,,");
        ASSERT_EQ(core->GPSExternalNmeaDataUpdate(Bstr(bytes).Get()), S_OK);
        VARIANT_BOOL read = VARIANT_FALSE;
        ASSERT_EQ(core->GPSForcePoll(&read), S_OK);
    }
    // The direction of a place 45 degrees to the right of a user heading north.
    std::u16string DirectionToNorthEast() {
        core->GPSSetHeading(0);
        ComPtr<IGPSObject> gps;
        EXPECT_EQ(core->GPSGet(gps.Put()), S_OK);
        ComPtr<ILocationObject> target;
        gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &target);
        const double latitude = 48.1173;
        target->SetLatitude(latitude + 0.001);
        target->SetLongitude(11.516667 + 0.001 / std::cos(latitude * M_PI / 180.0));
        Bstr text;
        EXPECT_EQ(gps->GetRelativeHeading(0, target.Get(), text.Put()), S_OK);
        return std::u16string(text.View());
    }
};

std::u16string Word(int id) {
    return gpscore::Utility::Current()->GetString(id);
}

TEST(TwoServices, EachSpeaksTheDirectionsOfItsOwnReceiver) {
    Service inertial, satellite;
    inertial.Start();
    satellite.Start();
    // An inertial receiver that counts no satellites gives four directions only.
    inertial.Fix(7, 0);
    satellite.Fix(1, 8);
    ASSERT_FALSE(Word(kAhead).empty());
    EXPECT_EQ(inertial.DirectionToNorthEast(), Word(kAhead));
    EXPECT_EQ(satellite.DirectionToNorthEast(), Word(kAheadRight));
    // Once the inertial receiver counts satellites again, its directions are fine again.
    inertial.Fix(7, 6);
    EXPECT_EQ(inertial.DirectionToNorthEast(), Word(kAheadRight));
    inertial.core->Stop();
    satellite.core->Stop();
}

TEST(TwoServices, OneStopsWhileTheOtherKeepsPolling) {
    Service first, second;
    first.Start();
    second.Start();
    std::atomic<bool> stopFirst{false};
    std::atomic<bool> done{false};
    // Each thread feeds and polls its own service and asks it for spoken texts and settings,
    // which come from the shared Utility. The first thread stops its service in the middle.
    auto drive = [](Service& service, int quality, const std::atomic<bool>& until) {
        while (!until) {
            service.Fix(quality, 8);
            Bstr distance, version;
            service.core->PedometerGet(GPSMode, distance.Put());
            service.core->SystemGetVersion(version.Put());
            ComPtr<ISystemSettingsObject> settings;
            service.core->SystemGetSettings(settings.Put());
        }
    };
    std::thread a([&] {
        drive(first, 1, stopFirst);
        EXPECT_EQ(first.core->Stop(), S_OK);
    });
    std::thread b([&] { drive(second, 2, done); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    stopFirst = true;
    a.join();
    // The second service keeps its texts and settings after the first one's Stop.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Bstr version;
    ASSERT_EQ(second.core->SystemGetVersion(version.Put()), S_OK);
    EXPECT_NE(version.View(), u"");
    EXPECT_NE(gpscore::Utility::Current(), nullptr);
    done = true;
    b.join();
    // The last service to stop ends the shared Utility, as one service alone always did.
    ASSERT_EQ(second.core->Stop(), S_OK);
    EXPECT_EQ(gpscore::Utility::Current(), nullptr);
}

} // namespace
