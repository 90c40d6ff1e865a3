// The running service for tests that drive it as a client does: a started GPSCore with its
// classes offered in-process, a receiver on a pseudo-terminal, NMEA sentences to feed it.
#pragma once

#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "GPSLib_classes.h"
#include "base/ServiceEnv.h"
#include "base/SettingsFiles.h"
#include "fake_env.h"
#include "formats/NmeaSentence.h"
#include "settings_folder.h"
#include "temp_dir.h"
#include "value.h"

namespace gpslib::test {

// A receiver on a pseudo-terminal: the test writes to the master side, the service opens the
// slave as "/dev/pts/" + number. The test keeps a slave descriptor of its own to see how many
// bytes wait for the service.
class PtyReceiver {
public:
    PtyReceiver() {
        char name[64] = {};
        if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) return;
        m_number = std::atoi(name + std::strlen("/dev/pts/"));
    }
    ~PtyReceiver() {
        Unplug();
        if (m_slave >= 0) ::close(m_slave);
    }
    bool ok() const { return m_master >= 0; }
    const char* PortName() const { return "/dev/pts/"; }
    SHORT Number() const { return static_cast<SHORT>(m_number); }

    // Writes the bytes and waits (up to a second) until the service can read all of them.
    void Send(std::string_view bytes) {
        ASSERT_EQ(::write(m_master, bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
        for (int i = 0; i < 1000 && Waiting() < static_cast<int>(bytes.size()); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    int Waiting() const {
        int n = 0;
        ::ioctl(m_slave, FIONREAD, &n);
        return n;
    }
    void Unplug() {
        if (m_master >= 0) ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    int m_number = -1;
};

// "$" + body + "*HH\r\n".
using gpslib::nmea::Sentence;

// A fix at latitude 48 degrees + `minutes` north, 11.5 east, 2 knots, course 84.4.
inline std::string Fix(double minutes) {
    char body[128];
    std::snprintf(body, sizeof body, "GPRMC,123519,A,48%06.3f,N,01130.000,E,002.0,084.4,230394,,",
                  minutes);
    return Sentence(body) + Sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,,,,");
}

// The events a service stored, newest first (a list of more than `most` reads as none).
inline std::vector<ComPtr<IAutomaticEventObject>> StoredEvents(IGPSCore* core,
                                                               std::size_t most = 10) {
    Variant list;
    std::vector<IUnknown*> items;
    core->GetLastTenAutomaticEvents(&list);
    ReadObjectList(&list, IID_IAutomaticEventObject, most, &items);
    std::vector<ComPtr<IAutomaticEventObject>> events;
    for (IUnknown* item : items)
        events.push_back(
            ComPtr<IAutomaticEventObject>::Adopt(static_cast<IAutomaticEventObject*>(item)));
    return events;
}

// A started service in a settings folder of its own, with its log, driven as a client drives it.
class ServiceFixture : public ::testing::Test {
protected:
    // The link's pauses after closing a port (1 s) and before retrying one (2 s) pass on a fake
    // clock; ports and files are real.
    void SetUp() override {
        gpscore::SetServiceEnvForTesting(&env);
        // The polling thread keeps real seconds, as a client sees it.
        env.UseRealTimedWaits(true);
        ASSERT_EQ(gpslib::CreateObject(CLSID_GPSCore, IID_IGPSCore, &core), S_OK);
        // Started twice, so that the second run logs into the settings folder.
        const std::string settings = PrepareSettingsFolder(dir);
        for (int run = 0; run < 2; ++run) {
            if (run > 0) core->Stop();
            Bstr result;
            ASSERT_EQ(core->Start(Bstr(settings).Get(), nullptr, result.Put()), S_OK);
        }
        ASSERT_EQ(core->GPSGet(gps.Put()), S_OK);
    }
    void TearDown() override {
        if (core) core->Stop();
        gpscore::SetServiceEnvForTesting(nullptr);
    }

    // Before SetUp: the settings files name the map folder `maps` and metric units (unless
    // `maps` is ""), and lookaround waits `lookaroundDelay` polls (unless it is negative).
    void WriteSettings(const std::string& maps, int lookaroundDelay = -1) {
        auto& files = *gpslib::os::Env::Default();
        const std::u16string folder = ToUtf16(dir.path() + "/");
        if (!maps.empty()) {
            gpscore::settings::System system;
            system.mapPOIDirectory = ToUtf16(maps);
            system.units = Metric;
            gpscore::settings::WriteSystemSettings(files, folder, system);
        }
        if (lookaroundDelay < 0) return;
        gpscore::settings::Lookaround settings;
        settings.startDelay = static_cast<SHORT>(lookaroundDelay);
        gpscore::settings::WriteLookaroundSettings(files, folder, settings);
    }

    // Configures the receiver; true when the link opened.
    bool Configure(GPSType type, const char* port, SHORT number, const std::string& file = "",
                   HeadingAveraging heading = HeadingAveraging(-1)) {
        ComPtr<IGPSSettingsObject> settings;
        core->GPSGetDefaultSettings(settings.Put());
        settings->SetGPSReceiverType(type);
        settings->SetGPSPortName(Bstr(std::string_view(port)).Get());
        settings->SetGPSPortNumber(number);
        settings->SetSimulatedGPSFile(Bstr(std::string_view(file)).Get());
        if (heading >= 0) settings->SetHeadingAveragingMode(heading);
        VARIANT_BOOL opened = VARIANT_FALSE;
        EXPECT_EQ(core->GPSSetSettings(settings.Get(), &opened), S_OK);
        return opened == VARIANT_TRUE;
    }
    bool Poll() {
        VARIANT_BOOL read = VARIANT_FALSE;
        EXPECT_EQ(core->GPSForcePoll(&read), S_OK);
        return read == VARIANT_TRUE;
    }
    double Latitude() { return Value(gps.Get(), &IGPSObject::GetLatitude); }
    GPSQuality Quality() { return Value(gps.Get(), &IGPSObject::GetFixQuality); }
    std::vector<ComPtr<IAutomaticEventObject>> History() { return StoredEvents(core.Get()); }
    std::string Log() { return ReadWholeFile(dir.File("Debug/gpsDebug.txt")); }

    gpslib::test::FakeEnv env;
    gpslib::test::TempDir dir;
    ComPtr<IGPSCore> core;
    ComPtr<IGPSObject> gps;
};

} // namespace gpslib::test
