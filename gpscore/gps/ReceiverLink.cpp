#include "gps/ReceiverLink.h"

#include <cstdio>
#include <string>

#include "base/LocationObject.h"
#include "base/ServiceContext.h"
#include "base/SettingsFiles.h"
#include "base/Utility.h"
#include "gps/Bluetooth.h"
#include "gps/GPSObject.h"
#include "gps/Gpsd.h"
#include "gps/SerialDevice.h"
#include "os/codepage.h"

namespace gpscore {

using gpslib::ComPtr;
using gpslib::os::CriticalSectionLock;

namespace {

constexpr std::size_t kReadChunk = 199; // One read: the 200-byte read buffer less its terminator.
constexpr int kReadsPerPoll = 6;
constexpr std::int64_t kCloseSettleMicros = 1'000'000;
constexpr std::int64_t kPortRetryMicros = 2'000'000;

} // namespace

ReceiverLink::ReceiverLink(ServiceContext& context) : m_context(context) {
    m_receiver.SetLog([&context](std::string_view text) {
        if (context.m_pUtility != nullptr) context.m_pUtility->TraceAndLog(text);
    });
}

void ReceiverLink::ReleaseRecord::operator()(IGPSObject* record) const {
    record->Release();
}

void ReceiverLink::PushNmea(std::u16string_view text) {
    gpslib::os::AssignUtf16AsCp1252(text, &m_pushBytes);
    const std::string& bytes = m_pushBytes;
    AppendToTrace(bytes);
    // Each call assembles its own lines (a sentence is never completed by the next call), but
    // shares the serial port's in-sentence flag.
    nmea::Assembly assembly;
    assembly.inSentence = m_serialAssembly.inSentence;
    nmea::ProcessNmeaBuffer(bytes.data(), bytes.size(), assembly, m_receiver);
    m_serialAssembly.inSentence = assembly.inSentence;
}

// ---------------------------------------------------------------------------------------------
// Settings.

void ReceiverLink::ApplySettings(settings::Receiver& given, std::optional<bool>* portOpened) {
    const settings::Receiver stored = m_context.m_pUtility->ReceiverSettings();
    if (given.pedestrianAveragingSeconds < 1 || given.pedestrianAveragingSeconds > 300)
        given.pedestrianAveragingSeconds = 5;
    const SHORT seconds = given.pedestrianAveragingSeconds;
    if (seconds != m_receiver.m_nPedestrianAveragingSeconds) m_receiver.ResetAveragingCounters();
    const HeadingAveraging averaging = given.headingAveraging;
    const GPSType type = given.receiverType;
    m_receiver.m_nPedestrianAveragingSeconds = seconds;
    m_receiver.m_eHeadingAveraging = averaging;
    m_receiver.m_eReceiverType = type;

    const bool identityChanged = type != stored.receiverType ||
                                 given.receiverName != stored.receiverName ||
                                 given.simulatedFile != stored.simulatedFile;
    const bool onlyAveragingChanged =
        (seconds != stored.pedestrianAveragingSeconds || averaging != stored.headingAveraging) &&
        !identityChanged;
    m_context.m_pUtility->SetReceiverSettings(given);
    m_context.WriteReceiverSettingsFile();

    if (!onlyAveragingChanged) *portOpened = Open(0);
    if (identityChanged) m_receiver.PedometerReset();
}

// ---------------------------------------------------------------------------------------------
// The link.

bool ReceiverLink::Open(std::int16_t startupSentences) {
    if (!m_pGPSObject) {
        ComPtr<IGPSObject> record;
        gpslib::CreateObject(CLSID_GPSObject, IID_IGPSObject, &record);
        m_pGPSObject.reset(record.Detach());
    }
    m_receiver.SetRecord(gpslib::ImplOf<CGPSObject>(m_pGPSObject.get()));
    m_receiver.ResetGPSData();
    const std::optional<settings::Receiver> settings = m_context.ReceiverSettings();
    if (!settings || settings->receiverType == GPSTypeNone) {
        Close();
        return true;
    }
    const bool opened = OpenLink(startupSentences);
    const DOUBLE latitude = settings->lastLatitude, longitude = settings->lastLongitude;
    if (CGPSObject* record = m_receiver.Record()) {
        CriticalSectionLock data(record->DataLock());
        record->SetLatitude(latitude);
        record->SetLongitude(longitude);
    }
    return opened;
}

bool ReceiverLink::OpenLink(std::int16_t startupSentences) {
    const settings::Receiver settings = m_context.ReceiverSettings().value_or(settings::Receiver{});
    const GPSType type = settings.receiverType;
    gpslib::os::Env& env = m_context.Env();
    SHORT portNumber = settings.portNumber;
    const LONG baudRate = settings.baudRate;
    const std::u16string& portName = settings.portName;

    if (type == GPSTypeBlueTooth) {
        // The pairing may have moved the receiver to another port since it was configured.
        const std::u16string& name = settings.receiverName;
        gpslib::RegistryStore registry;
        gpslib::LoadRegistry(&registry);
        const BluetoothDevice* found = nullptr;
        const auto devices = FindBluetoothDevices(
            registry, [this](const std::string& line) { m_context.Log(line); });
        for (const auto& device : devices) {
            if (device.name == name) {
                found = &device;
                break;
            }
        }
        if (found == nullptr || found->active == 0) return false;
        if (found->portNumber != portNumber) {
            portNumber = found->portNumber;
            m_context.m_pUtility->ChangeReceiverSettings(
                [portNumber](settings::Receiver& r) { r.portNumber = portNumber; });
            m_context.WriteReceiverSettingsFile();
        }
    }
    if (type == GPSTypeTalkingLights)
        return OpenPort(m_hTalkingLightsPort, portName, portNumber, baudRate);

    if (m_hSerialPort) {
        m_hSerialPort.reset();
        env.SleepForMicroseconds(kCloseSettleMicros);
    }
    if (m_hPlaybackFile) {
        m_hPlaybackFile.reset();
        env.SleepForMicroseconds(kCloseSettleMicros);
    }
    m_receiver.m_nStartupSentences = startupSentences;
    m_receiver.m_nNmeaAliveCount = 0;
    m_serialAssembly = {};
    m_playbackAssembly = {};
    m_annotationScanner.Clear();
    if (m_pListener != nullptr) m_pListener->OnLinkRestarted();

    if (type == GPSTypeSimulated) {
        const std::string path = gpslib::ToUtf8(std::u16string_view(settings.simulatedFile));
        if (path.empty() || env.IsDirectory(path)) {
            m_context.Log("GPSCore::OpenLink simulation file is not a file: " + path);
            return false;
        }
        gpslib::os::Status status = env.NewSequentialFile(path, &m_hPlaybackFile);
        if (!status.ok()) m_context.Log("GPSCore::OpenLink " + status.ToString());
        return status.ok();
    }
    if (OpenPort(m_hSerialPort, portName, portNumber, baudRate)) return true;
    env.SleepForMicroseconds(kPortRetryMicros);
    return OpenPort(m_hSerialPort, portName, portNumber, baudRate);
}

bool ReceiverLink::OpenPort(std::unique_ptr<gpslib::os::SerialPort>& port,
                            std::u16string_view portName, std::int16_t portNumber,
                            std::int32_t baudRate) {
    if (port) return true;
    const std::string deviceName =
        gpslib::ToUtf8(FormatText(u"%s%d:", {portName, std::int64_t{portNumber}}));
    // A receiver shared by gpsd is named directly or through a port alias.
    std::optional<GpsdAddress> gpsd = ParseGpsdDevice(deviceName);
    std::string path;
    if (!gpsd) {
        gpslib::RegistryStore registry;
        gpslib::LoadRegistry(&registry);
        path = SerialDevicePath(deviceName, registry);
        gpsd = ParseGpsdDevice(path);
    }
    if (path.empty() && !gpsd) {
        m_context.Log("GPSCore::OpenPort no device for " + deviceName);
        return false;
    }
    gpslib::os::Status status = gpsd ? GpsdPort::Open(m_context.Env(), *gpsd, &port)
                                     : m_context.Env().NewSerialPort(path, baudRate, &port);
    if (!status.ok()) {
        m_context.Log("GPSCore::OpenPort " + deviceName + " " + status.ToString());
        port.reset();
        return false;
    }
    return true;
}

void ReceiverLink::Close() {
    m_hSerialPort.reset();
    m_hTalkingLightsPort.reset();
    m_hPlaybackFile.reset();
    m_serialAssembly = {};
    m_playbackAssembly = {};
}

void ReceiverLink::ResetLink() {
    Close();
    StopRecording();
    m_receiver.m_nStartupSentences = 2;
    m_receiver.m_nNmeaAliveCount = 0;
}

void ReceiverLink::Release() {
    StopRecording(); // The recording stops with the service.
    m_receiver.ResetGPSData();
    Close();
    m_receiver.SetRecord(nullptr);
    m_pGPSObject.reset();
}

bool ReceiverLink::Configured() const {
    return m_context.ReceiverType() != GPSTypeNone;
}

bool ReceiverLink::Read() {
    if (!Configured()) return false;
    bool read = false;
    if (m_hSerialPort) read = ReadSource(Source::kSerialPort) || read;
    if (m_hPlaybackFile) read = ReadSource(Source::kPlaybackFile) || read;
    if (m_receiver.m_nNmeaAliveCount > 0)
        --m_receiver.m_nNmeaAliveCount;
    else
        m_receiver.ResetGPSData();
    return read;
}

bool ReceiverLink::ReadSource(Source source) {
    const bool playback = source == Source::kPlaybackFile;
    nmea::Assembly& assembly = playback ? m_playbackAssembly : m_serialAssembly;
    bool anyData = false;
    bool rmcAccepted = false;
    bool lastReadEmpty = false;
    int reads = 0;
    std::string chunk;
    for (int attempt = 0; attempt < kReadsPerPoll; ++attempt) {
        // Playback is paced at about one fix per poll.
        if (playback && rmcAccepted) return true;
        gpslib::os::Status status = playback ? m_hPlaybackFile->Read(kReadChunk, &chunk)
                                             : m_hSerialPort->Read(kReadChunk, &chunk);
        if (!status.ok()) {
            // An unplugged receiver or an unreadable file: the source is closed, and the alive
            // count then reports the receiver lost.
            m_context.Log(std::string("GPSCore::ReadSource closed the ") +
                          (playback ? "simulation file: " : "port: ") + status.ToString());
            if (playback)
                m_hPlaybackFile.reset();
            else
                m_hSerialPort.reset();
            return anyData;
        }
        if (chunk.empty()) {
            lastReadEmpty = true;
            break;
        }
        ++reads;
        anyData = true;
        if (nmea::ProcessNmeaBuffer(chunk.data(), chunk.size(), assembly, m_receiver))
            rmcAccepted = true;
        if (playback) {
            if (auto annotation = m_annotationScanner.Scan(chunk)) {
                if (m_pListener != nullptr)
                    m_pListener->OnAnnotation(gpslib::os::Cp1252ToUtf16(*annotation));
            }
        }
        AppendToTrace(chunk);
    }
    if (!playback && reads == kReadsPerPoll) {
        m_context.m_pUtility->TraceAndLog("Max attempts to read COMM port.  FlushFileBuffers");
        if (gpslib::os::Status purged = m_hSerialPort->Purge(); !purged.ok())
            m_context.Log("GPSCore::ReadSource " + purged.ToString());
        assembly.index = 0;
        assembly.line.fill('\0');
    }
    if (playback && lastReadEmpty) m_hPlaybackFile.reset(); // The end: playback is not restarted.
    return anyData;
}

// ---------------------------------------------------------------------------------------------
// Traces.

ReceiverLink::Recording ReceiverLink::StartRecording(std::u16string_view file, bool running) {
    const std::u16string name = TraceFileName(file);
    if (!TraceFileNameFits(name)) return Recording::kBadName;
    m_bstrRecordingFile = name;
    if (!running) return Recording::kAccepted;
    StopRecording();
    const std::string path = gpslib::ToUtf8(std::u16string_view(name));
    gpslib::os::Status status = m_context.Env().NewAppendableFile(path, &m_hTraceFile);
    if (!status.ok()) {
        m_context.Log("GPSCore::GPSStartRecording " + status.ToString());
        m_hTraceFile.reset();
        return Recording::kNotOpened;
    }
    return Recording::kAccepted;
}

void ReceiverLink::InsertAnnotation(std::u16string_view text) {
    if (m_hTraceFile && text.size() <= kMaxAnnotationCharacters)
        AppendToTrace(AnnotationBlock(gpslib::os::Utf16ToCp1252(text)));
}

void ReceiverLink::AppendToTrace(std::string_view bytes) {
    if (!m_hTraceFile) return;
    // Handed to the system at once: a client killed in the middle of a walk keeps the whole
    // trace up to its last chunk (a buffer would hold back up to 64 KiB, minutes of a walk).
    gpslib::os::Status status = m_hTraceFile->Append(bytes);
    if (status.ok()) status = m_hTraceFile->Flush();
    if (!status.ok()) {
        // A full disk: the recording stops rather than keep a trace with holes in it.
        m_context.Log("GPSCore::Recording stopped: " + status.ToString());
        m_hTraceFile.reset();
    }
}

void ReceiverLink::StopRecording() {
    if (!m_hTraceFile) return;
    gpslib::os::Status status = m_hTraceFile->Close();
    if (!status.ok()) m_context.Log("GPSCore::Recording not closed cleanly: " + status.ToString());
    m_hTraceFile.reset();
}

} // namespace gpscore
