// The receiver as a client drives it: a pseudo-terminal as the serial receiver, every real
// capture through the port and through GPSExternalNmeaDataUpdate, an unplugged receiver, trace
// recording and playback with annotations, and the polling thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>
#include <vector>

#include "captures.h"
#include "fault_sweep.h"
#include "gps/Nmea.h"
#include "service_fixture.h"
#include "value.h"

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;
namespace nm = gpscore::nmea;

using gpslib::test::Fix;
using gpslib::test::PtyReceiver;
using gpslib::test::Value;
using ReceiverLink = gpslib::test::ServiceFixture;

TEST_F(ReceiverLink, ReadsAPseudoTerminalAndNoticesItUnplugged) {
    PtyReceiver receiver;
    ASSERT_TRUE(receiver.ok());
    EXPECT_FALSE(Configure(GPSTypeSerial, "/dev/pts/", 9999)); // No such device.
    ASSERT_TRUE(Configure(GPSTypeSerial, receiver.PortName(), receiver.Number()));
    EXPECT_FALSE(Poll());
    receiver.Send(Fix(7.038));
    EXPECT_TRUE(Poll());
    EXPECT_NEAR(Latitude(), 48.1173, 1e-9);
    EXPECT_EQ(Quality(), GPSQualityGood); // HDOP 0.9: 5.94 m.

    // Unplugged: six more polls keep the record, the seventh after the last sentence resets it
    // (the position stays).
    receiver.Unplug();
    for (int poll = 1; poll <= 6; ++poll) {
        EXPECT_FALSE(Poll());
        EXPECT_EQ(Quality(), GPSQualityGood) << "poll " << poll;
    }
    EXPECT_FALSE(Poll());
    EXPECT_EQ(Quality(), GPSQualityNoGPS);
    EXPECT_NEAR(Latitude(), 48.1173, 1e-9);
}

// Pushed text is taken one byte per UTF-16 unit (Windows-1252, '?' for what it cannot hold):
// characters around a sentence do not hurt it, characters inside one break its checksum.
TEST_F(ReceiverLink, PushedTextWithNonAsciiAndBrokenUtf16) {
    PtyReceiver receiver;
    ASSERT_TRUE(receiver.ok());
    ASSERT_TRUE(Configure(GPSTypeSerial, receiver.PortName(), receiver.Number()));
    auto wide = [](const std::string& ascii) { return gpslib::ToUtf16(ascii); };
    std::u16string inside = wide(Fix(7.5));
    inside[21] = u'\u00E9'; // A digit of the latitude.
    std::u16string pairInside = wide(Fix(7.6));
    pairInside.replace(21, 1, u"\U0001F600");
    const struct {
        const char* name;
        std::u16string pushed;
        double minutes; // The latitude's minutes afterwards.
    } cases[] = {
        {"ascii", wide(Fix(7.1)), 7.1},
        {"latin-1 and euro before", u"Gr\u00FC\u00DFe \u20AC\r\n" + wide(Fix(7.2)), 7.2},
        {"lone surrogates around", u"\xD800" + wide(Fix(7.3)) + u"\xDC00\xDBFF", 7.3},
        {"cjk after, past a run of eight", wide(Fix(7.4)) + u"\u4E2D\u6587\u6587\u6587", 7.4},
        {"latin-1 inside", inside, 7.4},
        {"surrogate pair inside", pairInside, 7.4},
        {"lone surrogate alone", u"\xDC00", 7.4},
        {"ascii again", wide(Fix(7.7)), 7.7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(core->GPSExternalNmeaDataUpdate(Bstr(std::u16string_view(c.pushed)).Get()), S_OK);
        EXPECT_NEAR(Latitude(), 48 + c.minutes / 60, 1e-9);
    }
}

// What the parser makes of the whole capture: the last accepted $GPRMC.
struct LastFix final : nm::Target {
    bool any = false;
    bool valid = false;
    nm::Rmc rmc;
    void OnChecksumError(std::string_view) override {}
    void OnValidSentence() override {}
    void OnRmcVoid() override { valid = false; }
    void OnRmc(const nm::Rmc& r) override {
        any = valid = true;
        rmc = r;
    }
    void OnGga(const nm::Gga&) override {}
    void OnGsa(const nm::Gsa&) override {}
};

TEST_F(ReceiverLink, EveryCaptureEndsAtItsLastFixThroughPortAndClient) {
    const auto files = gpslib::test::Captures();
    if (files.empty()) GTEST_SKIP() << "no captures";
    core->SystemSetTestMode(VARIANT_FALSE);
    int compared = 0;
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        const std::string wire = gpslib::test::Wire(file);
        LastFix expected;
        nm::Assembly assembly;
        nm::ProcessNmeaBuffer(wire.data(), wire.size(), assembly, expected);
        if (!expected.any) continue;
        for (bool throughPort : {true, false}) {
            SCOPED_TRACE(throughPort ? "serial port" : "GPSExternalNmeaDataUpdate");
            PtyReceiver receiver;
            ASSERT_TRUE(receiver.ok());
            ASSERT_TRUE(Configure(GPSTypeSerial, receiver.PortName(), receiver.Number()));
            // The port path takes at most five full reads per poll, so nothing is flushed.
            if (throughPort) {
                for (std::size_t at = 0; at < wire.size(); at += 995) {
                    receiver.Send(std::string_view(wire).substr(at, 995));
                    Poll();
                }
            } else {
                core->GPSExternalNmeaDataUpdate(Bstr(std::string_view(wire)).Get());
            }
            EXPECT_EQ(Value(gps.Get(), &IGPSObject::GetLatitude), expected.rmc.latitude);
            EXPECT_EQ(Value(gps.Get(), &IGPSObject::GetLongitude), expected.rmc.longitude);
            // A receiver that sent no checked sentence for seven polls was reset: only the
            // position stays.
            if (Quality() == GPSQualityNoGPS && throughPort) continue;
            DOUBLE speed = -1; // not 0, which a getter that writes nothing would pass
            gps->GetSpeedDouble(&speed);
            const double mph = expected.valid ? nm::SpeedMph(expected.rmc.speedKnots) : 0.0;
            EXPECT_NEAR(speed, std::trunc(mph * 10) * 0.1, 1e-9);
            EXPECT_EQ(Value(gps.Get(), &IGPSObject::GetInstantaneousHeadingDegrees),
                      static_cast<SHORT>(expected.rmc.courseDegrees));
            ComPtr<IGPSTimeObject> time;
            ASSERT_EQ(core->GPSGetTime(time.Put()), S_OK);
            if (Quality() > GPSQualityNoFix) {
                EXPECT_EQ(Value(time.Get(), &IGPSTimeObject::GetYear), expected.rmc.year);
                EXPECT_EQ(Value(time.Get(), &IGPSTimeObject::GetDay), expected.rmc.day);
                EXPECT_EQ(Value(time.Get(), &IGPSTimeObject::GetSeconds), expected.rmc.second);
            }
            ++compared;
        }
    }
    EXPECT_GT(compared, 40);
}

TEST_F(ReceiverLink, ATraceReplaysItsFixesAndAnnotations) {
    PtyReceiver receiver;
    ASSERT_TRUE(receiver.ok());
    ASSERT_TRUE(Configure(GPSTypeSerial, receiver.PortName(), receiver.Number()));
    const std::string trace = dir.File("walk");
    ASSERT_EQ(core->GPSStartRecording(Bstr(std::string_view(trace)).Get()), S_OK);
    std::vector<double> recorded;
    for (int i = 0; i < 8; ++i) {
        receiver.Send(Fix(7.0 + i * 0.01));
        ASSERT_TRUE(Poll());
        recorded.push_back(Latitude());
        if (i == 3) core->GPSInsertAnnotationIntoRecording(Bstr(u"Bus stop").Get());
    }
    core->GPSInsertAnnotationIntoRecording(Bstr(std::u16string(191, u'x')).Get()); // Too long.
    ASSERT_EQ(core->GPSStopRecording(), S_OK);

    // Played back a chunk at a time, each poll ending with the chunk that completes a fix:
    // the positions come back in order (two fixes in one chunk show only the later), the
    // annotation is reported once, and the end of the file ends playback.
    ASSERT_TRUE(Configure(GPSTypeSimulated, "COM", 1, trace + ".trc"));
    core->EnableHistoryOfAutomaticEvents(VARIANT_TRUE);
    std::vector<double> replayed;
    for (int poll = 0; poll < 50 && Poll(); ++poll)
        replayed.push_back(Latitude());
    ASSERT_FALSE(replayed.empty());
    EXPECT_EQ(replayed.back(), recorded.back());
    auto next = recorded.begin();
    for (double latitude : replayed) {
        next = std::find(next, recorded.end(), latitude);
        ASSERT_NE(next, recorded.end()) << latitude << " out of order or never recorded";
    }
    std::vector<std::u16string> annotations;
    for (const auto& event : History()) {
        EventType type = EventUnknown;
        Bstr text;
        event->GetEventType(&type);
        event->GetDescription(text.Put());
        if (type == EventSimulationAnnotation) annotations.emplace_back(text.View());
    }
    EXPECT_EQ(annotations, std::vector<std::u16string>{u"Bus stop"});
}

// Every write made while recording fails in turn. A failed trace append stops the recording
// with a log line and keeps what was written before it, whole; any other failed write (a log
// line) leaves the recording going.
TEST_F(ReceiverLink, AFailedTraceWriteStopsTheRecordingAndKeepsWhatWasWritten) {
    const std::vector<std::string> chunks = {Fix(7.0), Fix(7.01), Fix(7.02)};
    const std::string trace = dir.File("walk");
    const auto kept = [&] {
        std::ifstream in(trace + ".trc", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    HRESULT started = E_FAIL;
    std::vector<HRESULT> fed;
    std::set<std::size_t> stoppedAfter; // chunks kept by the recordings that stopped
    std::size_t stoppedRuns = 0;
    gpslib::test::SweepFaults(
        env,
        {.prepare =
             [&] {
                 core->GPSStopRecording();
                 std::filesystem::remove(trace + ".trc");
             },
         .run =
             [&] {
                 started = core->GPSStartRecording(Bstr(std::string_view(trace)).Get());
                 fed.clear();
                 for (const std::string& chunk : chunks)
                     fed.push_back(core->GPSExternalNmeaDataUpdate(Bstr(chunk).Get()));
             },
         .check =
             [&](const gpslib::test::Fault&) {
                 EXPECT_EQ(started, S_OK);
                 EXPECT_EQ(fed, std::vector<HRESULT>(chunks.size(), S_OK));
                 // A recording still going takes one more chunk; the file is read once closed.
                 const std::string more = Fix(7.03);
                 core->GPSExternalNmeaDataUpdate(Bstr(more).Get());
                 EXPECT_EQ(core->GPSStopRecording(), S_OK);
                 const std::string written = kept();
                 std::size_t whole = 0;
                 std::string prefix;
                 while (whole < chunks.size() && prefix.size() < written.size())
                     prefix += chunks[whole++];
                 if (whole == chunks.size() && written.size() > prefix.size()) {
                     EXPECT_EQ(written, prefix + more);
                 } else {
                     EXPECT_EQ(written, prefix) << "not whole appends";
                     stoppedAfter.insert(whole);
                     ++stoppedRuns;
                 }
             }},
        {gpslib::test::FakeEnv::Op::kWrite});
    EXPECT_EQ(stoppedAfter, (std::set<std::size_t>{0, 1, 2}));
    const std::string log = Log();
    std::size_t lines = 0;
    for (std::size_t at = log.find("GPSCore::Recording stopped"); at != std::string::npos;
         at = log.find("GPSCore::Recording stopped", at + 1))
        ++lines;
    EXPECT_EQ(lines, stoppedRuns);
}

// The polling thread reads the port by itself and is one however often it is turned on (the
// soak runs it beside client threads); turned off and on again, and refused once stopped.
TEST_F(ReceiverLink, PollingThreadReadsThePortAndStopsWithTheService) {
    PtyReceiver receiver;
    ASSERT_TRUE(receiver.ok());
    ASSERT_TRUE(Configure(GPSTypeSerial, receiver.PortName(), receiver.Number()));
    ASSERT_EQ(core->GPSTurnOnAutomaticPolling(), S_OK);
    ASSERT_EQ(core->GPSTurnOnAutomaticPolling(), S_OK); // Still one thread.
    for (int i = 0; i < 25 && Latitude() < 48.0; ++i) {
        receiver.Send(Fix(7.038));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_NEAR(Latitude(), 48.1173, 1e-9);
    // Stop ends the thread while it holds the core lock; a second start is refused until Start.
    EXPECT_EQ(core->GPSTurnOffAutomaticPolling(), S_OK);
    EXPECT_EQ(core->GPSTurnOnAutomaticPolling(), S_OK);
    EXPECT_EQ(core->Stop(), S_OK);
    EXPECT_EQ(core->GPSTurnOnAutomaticPolling(), S_FALSE);
}

TEST_F(ReceiverLink, ForcedLocationStaysOnlyWithoutAReceiver) {
    ComPtr<ILocationObject> place;
    ASSERT_EQ(gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &place), S_OK);
    place->SetLatitude(43.73);
    place->SetLongitude(7.42);
    // No receiver: nothing counts the forced fix down.
    ASSERT_EQ(core->GPSForceLocation(place.Get(), 45), S_OK);
    for (int poll = 0; poll < 20; ++poll)
        Poll();
    EXPECT_EQ(Quality(), GPSQualityPoor); // HDOP 50 until a receiver says otherwise.
    EXPECT_EQ(Value(gps.Get(), &IGPSObject::GetHeadingDegrees), 45);

    // A receiver that sends nothing: the forced fix is reset on the second poll.
    PtyReceiver receiver;
    ASSERT_TRUE(Configure(GPSTypeSerial, receiver.PortName(), receiver.Number()));
    ASSERT_EQ(core->GPSForceLocation(place.Get(), 45), S_OK);
    Poll();
    EXPECT_EQ(Quality(), GPSQualityPoor);
    Poll();
    EXPECT_EQ(Quality(), GPSQualityNoGPS);
    EXPECT_EQ(Latitude(), 43.73);
}

TEST_F(ReceiverLink, SettingsReopenTheLinkOnlyWhenTheReceiverChanges) {
    PtyReceiver receiver;
    ASSERT_TRUE(Configure(GPSTypeSerial, receiver.PortName(), receiver.Number()));
    ComPtr<IGPSSettingsObject> settings;
    ASSERT_EQ(core->GPSGetSettings(settings.Put()), S_OK);

    // Out-of-range averaging seconds become 5, in the caller's object too; a change of the
    // averaging alone leaves the link (and the caller's flag) as they were.
    settings->SetPedestrianHeadingAveragingSeconds(0);
    settings->SetHeadingAveragingMode(ManualHeadings);
    VARIANT_BOOL opened = 7;
    ASSERT_EQ(core->GPSSetSettings(settings.Get(), &opened), S_OK);
    EXPECT_EQ(opened, 7);
    EXPECT_EQ(Value(settings.Get(), &IGPSSettingsObject::GetPedestrianHeadingAveragingSeconds), 5);
    receiver.Send(Fix(7.038));
    EXPECT_TRUE(Poll()); // Still the same open port.

    // Stop saves the last position; the next Start seeds the record with it.
    core->Stop();
    Bstr result;
    ASSERT_EQ(core->Start(Bstr(dir.path() + "/").Get(), nullptr, result.Put()), S_OK);
    ASSERT_EQ(core->GPSGet(gps.Put()), S_OK);
    EXPECT_NEAR(Latitude(), 48.1173, 1e-9);
    ASSERT_EQ(core->GPSGetSettings(settings.Put()), S_OK);
    EXPECT_EQ(Value(settings.Get(), &IGPSSettingsObject::GetHeadingAveragingMode), ManualHeadings);
}

TEST_F(ReceiverLink, BluetoothReceiverIsFoundByItsPairingRecord) {
    PtyReceiver receiver;
    ASSERT_TRUE(receiver.ok());
    struct Case {
        const char* name;
        int active;
        bool opens;
    };
    for (const Case& c :
         {Case{"paired and active", 1, true}, Case{"paired, not active", 0, false}}) {
        SCOPED_TRACE(c.name);
        char reg[512];
        std::snprintf(
            reg, sizeof reg,
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Bluetooth\\device\\activesync\\gps]\n"
            "\"name\"=\"My GPS (SPP)\"\n\"port_name\"=\"COM5:\"\n\"active\"=dword:%08x\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\gpslib\\Ports]\n\"COM5:\"=\"/dev/pts/%d\"\n",
            c.active, receiver.Number());
        std::ofstream(dir.File("registry.reg")) << reg;
        ::setenv("GPSLIB_REGISTRY", dir.File("registry.reg").c_str(), 1);

        gpslib::Variant devices;
        ASSERT_EQ(core->GPSFindAvailableBluetoothDevices(&devices), S_OK);
        std::vector<IUnknown*> list;
        ASSERT_EQ(gpslib::ReadObjectList(&devices, IID_IBluetoothDeviceObject, 100, &list), S_OK);
        ASSERT_EQ(list.size(), 1u);
        auto device =
            ComPtr<IBluetoothDeviceObject>::Adopt(static_cast<IBluetoothDeviceObject*>(list[0]));
        EXPECT_EQ(gpslib::test::Text(device.Get(), &IBluetoothDeviceObject::GetName), "My GPS");

        ComPtr<IGPSSettingsObject> settings;
        core->GPSGetDefaultSettings(settings.Put());
        settings->SetUpBluetoothReceiver(device.Get());
        settings->SetGPSPortNumber(1); // Paired again since: the record's port wins.
        VARIANT_BOOL opened = VARIANT_FALSE;
        ASSERT_EQ(core->GPSSetSettings(settings.Get(), &opened), S_OK);
        EXPECT_EQ(opened == VARIANT_TRUE, c.opens);
        if (c.opens) {
            core->GPSGetSettings(settings.Put());
            EXPECT_EQ(Value(settings.Get(), &IGPSSettingsObject::GetGPSPortNumber), 5);
            receiver.Send(Fix(7.038));
            EXPECT_TRUE(Poll());
        }
        Configure(GPSTypeNone, "COM", 1);
    }
    ::unsetenv("GPSLIB_REGISTRY");
}

} // namespace
