// The receiver side of the core: the GPS methods of IGPSCore, the link to the serial port or the
// playback file, the polling thread and trace recording.
#include <cstdio>
#include <string>

#include "core/Answers.h"
#include "core/GPSCore.h"
#include "core/ServiceEnv.h"
#include "core/SettingsFiles.h"
#include "core/Utility.h"
#include "gps/Bluetooth.h"
#include "gps/BluetoothDeviceObject.h"
#include "gps/GPSObject.h"
#include "gps/GPSStatusObject.h"
#include "gps/GPSTimeObject.h"
#include "gps/SerialDevice.h"
#include "orientation/Descriptions.h"
#include "os/codepage.h"

using gpslib::Bstr;
using gpslib::ComPtr;
using gpslib::os::CriticalSectionLock;

using gpscore::ReturnText;
using gpscore::Text;

namespace {

constexpr std::size_t kReadChunk = 199; // One read: the 200-byte read buffer less its terminator.
constexpr int kReadsPerPoll = 6;
constexpr std::int64_t kCloseSettleMicros = 1'000'000;
constexpr std::int64_t kPortRetryMicros = 2'000'000;
constexpr int kPollIntervalMs = 1000;
// While a client holds the core lock, the polling thread retries this often (and watches the
// stop event meanwhile) instead of blocking on the lock.
constexpr int kLockRetryMs = 5;

GPSType ReceiverType(IGPSSettingsObject* settings) {
    GPSType type = GPSTypeNone;
    if (settings != nullptr) settings->GetGPSReceiverType(&type);
    return type;
}

std::u16string SettingText(IGPSSettingsObject* settings,
                           HRESULT (IGPSSettingsObject::*get)(BSTR*)) {
    Bstr text;
    if (settings != nullptr) (settings->*get)(text.Put());
    return Text(text.Get());
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The fix record and the receiver state.

HRESULT CGPSCore::GPSGet(IGPSObject** ppGPS) {
    CriticalSectionLock lock(m_csCore);
    if (ppGPS == nullptr) return E_POINTER;
    *ppGPS = nullptr;
    if (!m_pGPSObject) return E_FAIL;
    return m_pGPSObject->QueryInterface(IID_IGPSObject, reinterpret_cast<void**>(ppGPS));
}

HRESULT CGPSCore::GPSGetTime(IGPSTimeObject** ppTime) {
    CriticalSectionLock lock(m_csCore);
    if (ppTime == nullptr) return E_POINTER;
    *ppTime = nullptr;
    ComPtr<IGPSTimeObject> time;
    HRESULT hr = gpslib::CreateObject(CLSID_GPSTimeObject, IID_IGPSTimeObject, &time);
    if (FAILED(hr)) return hr;
    auto* impl = gpslib::ImplOf<CGPSTimeObject>(time.Get());
    if (impl != nullptr && m_receiver.m_eReceiverType != GPSTypeNone && m_receiver.HasUsableFix())
        m_receiver.CopyTime(*impl);
    *ppTime = time.Detach();
    return S_OK;
}

HRESULT CGPSCore::GPSGetStatus(IGPSStatusObject** ppStatus) {
    CriticalSectionLock lock(m_csCore);
    if (ppStatus == nullptr) return E_POINTER;
    *ppStatus = nullptr;
    ComPtr<IGPSStatusObject> status;
    HRESULT hr = gpslib::CreateObject(CLSID_GPSStatusObject, IID_IGPSStatusObject, &status);
    if (FAILED(hr)) return hr;
    if (auto* impl = gpslib::ImplOf<CGPSStatusObject>(status.Get())) m_receiver.FillStatus(*impl);
    *ppStatus = status.Detach();
    return S_OK;
}

HRESULT CGPSCore::GPSForceLocation(ILocationObject* pLocation, SHORT nHeading) {
    CriticalSectionLock lock(m_csCore);
    if (pLocation == nullptr) return E_POINTER;
    if (m_receiver.Record() == nullptr) return E_FAIL;
    DOUBLE latitude = 0.0, longitude = 0.0;
    pLocation->GetLatitude(&latitude);
    pLocation->GetLongitude(&longitude);
    m_receiver.ForceLocation(latitude, longitude, nHeading);
    // The poll follows with the data lock released: the core lock already keeps other polls
    // out, and taking the poll lock inside the data lock would invert the order of the two.
    PollCycle(false);
    return S_OK;
}

HRESULT CGPSCore::GPSSetHeading(SHORT nHeadingDegrees) {
    CriticalSectionLock lock(m_csCore);
    m_receiver.SetHeading(nHeadingDegrees);
    return S_OK;
}

HRESULT CGPSCore::GPSExternalNmeaDataUpdate(BSTR bstrNmeaData) {
    CriticalSectionLock lock(m_csCore);
    // One byte per character, as the receiver would have sent them.
    const std::string bytes = gpslib::os::Utf16ToCp1252(gpslib::View(bstrNmeaData));
    AppendToTrace(bytes);
    // Each call assembles its own lines (a sentence is never completed by the next call), but
    // shares the serial port's in-sentence flag.
    gpscore::nmea::Assembly assembly;
    assembly.inSentence = m_serialAssembly.inSentence;
    gpscore::nmea::ProcessNmeaBuffer(bytes.data(), bytes.size(), assembly, m_receiver);
    m_serialAssembly.inSentence = assembly.inSentence;
    return S_OK;
}

HRESULT CGPSCore::GPSSetMinSpeedForHeadingAveraging(DOUBLE dMinSpeedKnots) {
    CriticalSectionLock lock(m_csCore);
    m_receiver.m_dMinSpeedForHeadingAveraging = dMinSpeedKnots;
    return S_OK;
}

HRESULT CGPSCore::GPSGetMinSpeedForHeadingAveraging(DOUBLE* pdMinSpeedKnots) {
    CriticalSectionLock lock(m_csCore);
    if (pdMinSpeedKnots == nullptr) return E_POINTER;
    *pdMinSpeedKnots = m_receiver.m_dMinSpeedForHeadingAveraging;
    return S_OK;
}

HRESULT CGPSCore::PedometerReset(Mode eMode) {
    CriticalSectionLock lock(m_csCore);
    if (eMode == GPSMode)
        m_receiver.PedometerReset();
    else if (eMode == VirtualMode)
        m_nPedometerTotalVirtual = 0;
    return S_OK;
}

HRESULT CGPSCore::PedometerGet(Mode eMode, BSTR* pbstrDistance) {
    CriticalSectionLock lock(m_csCore);
    if (pbstrDistance == nullptr) return E_POINTER;
    LONG total = m_nPedometerTotalVirtual;
    if (eMode == GPSMode) {
        m_receiver.UpdatePedometer(true);
        total = m_receiver.m_nPedometerTotalGPS;
    }
    return ReturnText(gpscore::DistanceText(total, false), pbstrDistance);
}

// ---------------------------------------------------------------------------------------------
// Receiver settings.

HRESULT CGPSCore::GPSGetSettings(IGPSSettingsObject** ppSettings) {
    CriticalSectionLock lock(m_csCore);
    if (ppSettings == nullptr) return E_POINTER;
    *ppSettings = nullptr;
    EnsureUtility();
    // A copy: the stored settings change only through GPSSetSettings, which compares them with
    // the new ones to decide whether the link must be reopened.
    ComPtr<IGPSSettingsObject> copy;
    HRESULT hr = gpslib::CreateObject(CLSID_GPSSettingsObject, IID_IGPSSettingsObject, &copy);
    if (FAILED(hr)) return hr;
    if (m_pUtility != nullptr)
        gpscore::settings::CopyReceiverSettings(m_pUtility->ReceiverSettings().Get(), copy.Get());
    *ppSettings = copy.Detach();
    return S_OK;
}

HRESULT CGPSCore::GPSGetDefaultSettings(IGPSSettingsObject** ppDefaultSettings) {
    CriticalSectionLock lock(m_csCore);
    if (ppDefaultSettings == nullptr) return E_POINTER;
    *ppDefaultSettings = nullptr;
    return gpslib::CreateObject(CLSID_GPSSettingsObject, IID_IGPSSettingsObject,
                                reinterpret_cast<void**>(ppDefaultSettings));
}

HRESULT CGPSCore::GPSSetSettings(IGPSSettingsObject* pSettings, VARIANT_BOOL* pbPortOpened) {
    CriticalSectionLock lock(m_csCore);
    if (pSettings == nullptr || pbPortOpened == nullptr) return E_POINTER;
    EnsureUtility();
    if (m_pUtility == nullptr) return E_FAIL;
    ComPtr<IGPSSettingsObject>& stored = m_pUtility->ReceiverSettings();
    if (!stored) gpslib::CreateObject(CLSID_GPSSettingsObject, IID_IGPSSettingsObject, &stored);
    if (!stored) return E_FAIL;

    SHORT seconds = 5;
    pSettings->GetPedestrianHeadingAveragingSeconds(&seconds);
    if (seconds < 1 || seconds > 300) {
        seconds = 5;
        pSettings->SetPedestrianHeadingAveragingSeconds(seconds);
    }
    if (seconds != m_receiver.m_nPedestrianAveragingSeconds) m_receiver.ResetAveragingCounters();
    HeadingAveraging averaging = AutomaticHeadings;
    pSettings->GetHeadingAveragingMode(&averaging);
    const GPSType type = ReceiverType(pSettings);
    m_receiver.m_nPedestrianAveragingSeconds = seconds;
    m_receiver.m_eHeadingAveraging = averaging;
    m_receiver.m_eReceiverType = type;

    SHORT storedSeconds = 5;
    HeadingAveraging storedAveraging = AutomaticHeadings;
    stored->GetPedestrianHeadingAveragingSeconds(&storedSeconds);
    stored->GetHeadingAveragingMode(&storedAveraging);
    const bool identityChanged =
        type != ReceiverType(stored.Get()) ||
        SettingText(pSettings, &IGPSSettingsObject::GetGPSReceiverName) !=
            SettingText(stored.Get(), &IGPSSettingsObject::GetGPSReceiverName) ||
        SettingText(pSettings, &IGPSSettingsObject::GetSimulatedGPSFile) !=
            SettingText(stored.Get(), &IGPSSettingsObject::GetSimulatedGPSFile);
    const bool onlyAveragingChanged =
        (seconds != storedSeconds || averaging != storedAveraging) && !identityChanged;
    gpscore::settings::CopyReceiverSettings(pSettings, stored.Get());
    WriteReceiverSettingsFile();

    if (!onlyAveragingChanged) *pbPortOpened = OpenReceiver(0) ? VARIANT_TRUE : VARIANT_FALSE;
    if (identityChanged) m_receiver.PedometerReset();
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// The link.

bool CGPSCore::OpenReceiver(SHORT startupSentences) {
    if (!m_pGPSObject) gpslib::CreateObject(CLSID_GPSObject, IID_IGPSObject, &m_pGPSObject);
    m_receiver.SetRecord(gpslib::ImplOf<CGPSObject>(m_pGPSObject.Get()));
    m_receiver.ResetGPSData();
    IGPSSettingsObject* settings =
        m_pUtility != nullptr ? m_pUtility->ReceiverSettings().Get() : nullptr;
    if (ReceiverType(settings) == GPSTypeNone) {
        CloseReceiver();
        return true;
    }
    const bool opened = OpenLink(startupSentences);
    DOUBLE latitude = 0.0, longitude = 0.0;
    settings->GetGPSLastLatitude(&latitude);
    settings->GetGPSLastLongitude(&longitude);
    if (CGPSObject* record = m_receiver.Record()) {
        CriticalSectionLock data(record->DataLock());
        record->SetLatitude(latitude);
        record->SetLongitude(longitude);
    }
    return opened;
}

bool CGPSCore::OpenLink(SHORT startupSentences) {
    IGPSSettingsObject* settings = m_pUtility->ReceiverSettings().Get();
    const GPSType type = ReceiverType(settings);
    gpslib::os::Env* env = gpscore::ServiceEnv();
    SHORT portNumber = 1;
    LONG baudRate = 4800;
    settings->GetGPSPortNumber(&portNumber);
    settings->GetGPSBaudRate(&baudRate);
    const std::u16string portName = SettingText(settings, &IGPSSettingsObject::GetGPSPortName);

    if (type == GPSTypeBlueTooth) {
        // The pairing may have moved the receiver to another port since it was configured.
        const std::u16string name = SettingText(settings, &IGPSSettingsObject::GetGPSReceiverName);
        gpslib::RegistryStore registry;
        gpslib::LoadRegistry(&registry);
        const gpscore::BluetoothDevice* found = nullptr;
        const auto devices =
            gpscore::FindBluetoothDevices(registry, [this](const std::string& line) { Log(line); });
        for (const auto& device : devices) {
            if (device.name == name) {
                found = &device;
                break;
            }
        }
        if (found == nullptr || found->active == 0) return false;
        if (found->portNumber != portNumber) {
            portNumber = found->portNumber;
            settings->SetGPSPortNumber(portNumber);
            WriteReceiverSettingsFile();
        }
    }
    if (type == GPSTypeTalkingLights)
        return OpenPort(m_hTalkingLightsPort, portName, portNumber, baudRate);

    if (m_hSerialPort) {
        m_hSerialPort.reset();
        env->SleepForMicroseconds(kCloseSettleMicros);
    }
    if (m_hPlaybackFile) {
        m_hPlaybackFile.reset();
        env->SleepForMicroseconds(kCloseSettleMicros);
    }
    m_receiver.m_nStartupSentences = startupSentences;
    m_receiver.m_nNmeaAliveCount = 0;
    m_serialAssembly = {};
    m_playbackAssembly = {};
    m_annotationScanner.Clear();
    m_ePreviousQuality = GPSQualityNoGPS;
    m_nConnectionCountdown = 4;
    m_nFixCountdown = 0;
    m_bFirstFix = false;

    if (type == GPSTypeSimulated) {
        const std::string path = gpslib::ToUtf8(
            std::u16string_view(SettingText(settings, &IGPSSettingsObject::GetSimulatedGPSFile)));
        if (path.empty() || env->IsDirectory(path)) {
            Log("GPSCore::OpenLink simulation file is not a file: " + path);
            return false;
        }
        gpslib::os::Status status = env->NewSequentialFile(path, &m_hPlaybackFile);
        if (!status.ok()) Log("GPSCore::OpenLink " + status.ToString());
        return status.ok();
    }
    if (OpenPort(m_hSerialPort, portName, portNumber, baudRate)) return true;
    env->SleepForMicroseconds(kPortRetryMicros);
    return OpenPort(m_hSerialPort, portName, portNumber, baudRate);
}

bool CGPSCore::OpenPort(std::unique_ptr<gpslib::os::SerialPort>& port, std::u16string_view portName,
                        SHORT portNumber, LONG baudRate) {
    if (port) return true;
    const std::string deviceName =
        gpslib::ToUtf8(gpscore::FormatText(u"%s%d:", {portName, std::int64_t{portNumber}}));
    gpslib::RegistryStore registry;
    gpslib::LoadRegistry(&registry);
    const std::string path = gpscore::SerialDevicePath(deviceName, registry);
    if (path.empty()) {
        Log("GPSCore::OpenPort no device for " + deviceName);
        return false;
    }
    gpslib::os::Status status = gpscore::ServiceEnv()->NewSerialPort(path, baudRate, &port);
    if (!status.ok()) {
        Log("GPSCore::OpenPort " + deviceName + " " + status.ToString());
        port.reset();
        return false;
    }
    return true;
}

void CGPSCore::CloseReceiver() {
    m_hSerialPort.reset();
    m_hTalkingLightsPort.reset();
    m_hPlaybackFile.reset();
    m_serialAssembly = {};
    m_playbackAssembly = {};
}

void CGPSCore::ResetLinkState() {
    CloseReceiver();
    CloseTrace();
    m_receiver.m_nStartupSentences = 2;
    m_receiver.m_nNmeaAliveCount = 0;
    m_ePreviousQuality = GPSQualityNoGPS;
}

bool CGPSCore::ReadReceiver() {
    if (!ReceiverConfigured()) return false;
    bool read = false;
    if (m_hSerialPort) read = ReadSource(Source::kSerialPort) || read;
    if (m_hPlaybackFile) read = ReadSource(Source::kPlaybackFile) || read;
    if (m_receiver.m_nNmeaAliveCount > 0)
        --m_receiver.m_nNmeaAliveCount;
    else
        m_receiver.ResetGPSData();
    return read;
}

bool CGPSCore::ReadSource(Source source) {
    const bool playback = source == Source::kPlaybackFile;
    gpscore::nmea::Assembly& assembly = playback ? m_playbackAssembly : m_serialAssembly;
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
            Log(std::string("GPSCore::ReadSource closed the ") +
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
        if (gpscore::nmea::ProcessNmeaBuffer(chunk.data(), chunk.size(), assembly, m_receiver))
            rmcAccepted = true;
        if (playback) {
            if (auto annotation = m_annotationScanner.Scan(chunk))
                SimulationAnnotationReached(gpslib::os::Cp1252ToUtf16(*annotation));
        }
        AppendToTrace(chunk);
    }
    if (!playback && reads == kReadsPerPoll) {
        m_pUtility->TraceAndLog("Max attempts to read COMM port.  FlushFileBuffers");
        if (gpslib::os::Status purged = m_hSerialPort->Purge(); !purged.ok())
            Log("GPSCore::ReadSource " + purged.ToString());
        assembly.index = 0;
        assembly.line.fill('\0');
    }
    if (playback && lastReadEmpty) m_hPlaybackFile.reset(); // The end: playback is not restarted.
    return anyData;
}

// ---------------------------------------------------------------------------------------------
// Polling.

// Waits out each second on the stop event; never blocks on the core lock, so that Stop and
// GPSTurnOffAutomaticPolling can end the thread while they hold it.
void CGPSCore::PollingThread(gpslib::os::Event* stopEvent, unsigned generation) {
    using Wait = gpslib::os::Event::WaitResult;
    while (stopEvent->Wait(kPollIntervalMs) == Wait::kTimedOut) {
        while (!m_csCore.TryEnter()) {
            if (stopEvent->Wait(kLockRetryMs) == Wait::kSignalled) return;
        }
        // Stopped from inside a poll of its own (an event sink calling back): it could not be
        // joined then, so it notices here and ends.
        const bool wanted = generation == m_nPollingGeneration;
        if (wanted) PollCycle(true);
        m_csCore.Leave();
        if (!wanted) return;
    }
}

void CGPSCore::StopPollingThread() {
    if (!m_hPollingThread) return;
    ++m_nPollingGeneration;
    // The thread polls only while it holds the core lock, which this thread holds now: it is
    // between polls, waiting on the stop event, and ends as soon as it is signalled.
    if (m_hStopEvent) m_hStopEvent->Set();
    if (gpslib::os::Status joined = m_hPollingThread->Join(); !joined.ok()) {
        // The polling thread itself is stopping polling; it ends after this poll.
        Log("GPSCore::Timer stopped from its own poll");
        m_hPollingThread.reset();
        return; // The stop event stays signalled until the next thread starts.
    }
    m_hPollingThread.reset();
    if (m_hStopEvent) m_hStopEvent->Reset();
}

HRESULT CGPSCore::GPSTurnOnAutomaticPolling() {
    CriticalSectionLock lock(m_csCore);
    if (!m_hStopEvent) return S_FALSE;
    if (!m_hPollingThread) {
        gpslib::os::Event* stopEvent = m_hStopEvent.get();
        stopEvent->Reset();
        const unsigned generation = m_nPollingGeneration;
        m_hPollingThread = gpslib::os::Env::Default()->StartThread(
            [this, stopEvent, generation] { PollingThread(stopEvent, generation); });
        Log(m_hPollingThread ? "GPSCore::Timer Created"
                             : "ERROR GPSCore::Timer failed to be Created");
    } else {
        Log("GPSCore::Timer Created");
    }
    return S_OK;
}

HRESULT CGPSCore::GPSTurnOffAutomaticPolling() {
    CriticalSectionLock lock(m_csCore);
    StopPollingThread();
    return S_OK;
}

HRESULT CGPSCore::GPSForcePoll(VARIANT_BOOL* pbDataRead) {
    CriticalSectionLock lock(m_csCore);
    Log("GPSCore::GPSForcePoll enter");
    if (pbDataRead == nullptr) return E_POINTER;
    *pbDataRead = VARIANT_FALSE;
    if (PollCycle(true)) *pbDataRead = VARIANT_TRUE;
    Log("GPSCore::GPSForcePoll exit");
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Traces.

HRESULT CGPSCore::GPSStartRecording(BSTR bstrTraceFile) {
    CriticalSectionLock lock(m_csCore);
    const std::u16string name = gpscore::TraceFileName(gpslib::View(bstrTraceFile));
    if (!gpscore::TraceFileNameFits(name)) return E_INVALIDARG;
    m_bstrRecordingFile = name;
    if (!m_hStopEvent) return S_OK;
    CloseTrace();
    const std::string path = gpslib::ToUtf8(std::u16string_view(name));
    gpslib::os::Status status = gpscore::ServiceEnv()->NewAppendableFile(path, &m_hTraceFile);
    if (!status.ok()) {
        Log("GPSCore::GPSStartRecording " + status.ToString());
        m_hTraceFile.reset();
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CGPSCore::GPSStopRecording() {
    CriticalSectionLock lock(m_csCore);
    CloseTrace();
    return S_OK;
}

HRESULT CGPSCore::GPSInsertAnnotationIntoRecording(BSTR bstrAnnotation) {
    CriticalSectionLock lock(m_csCore);
    const std::u16string_view text = gpslib::View(bstrAnnotation);
    if (m_hTraceFile && text.size() <= gpscore::kMaxAnnotationCharacters)
        AppendToTrace(gpscore::AnnotationBlock(gpslib::os::Utf16ToCp1252(text)));
    return S_OK;
}

void CGPSCore::AppendToTrace(std::string_view bytes) {
    if (!m_hTraceFile) return;
    gpslib::os::Status status = m_hTraceFile->Append(bytes);
    if (!status.ok()) {
        // A full disk: the recording stops rather than keep a trace with holes in it.
        Log("GPSCore::Recording stopped: " + status.ToString());
        m_hTraceFile.reset();
    }
}

void CGPSCore::CloseTrace() {
    if (!m_hTraceFile) return;
    gpslib::os::Status status = m_hTraceFile->Close();
    if (!status.ok()) Log("GPSCore::Recording not closed cleanly: " + status.ToString());
    m_hTraceFile.reset();
}

// ---------------------------------------------------------------------------------------------
// Bluetooth.

HRESULT CGPSCore::GPSFindAvailableBluetoothDevices(VARIANT* pvarDevices) {
    CriticalSectionLock lock(m_csCore);
    if (pvarDevices == nullptr) return E_POINTER;
    VariantClear(pvarDevices);
    gpslib::RegistryStore registry;
    gpslib::LoadRegistry(&registry);
    const auto devices =
        gpscore::FindBluetoothDevices(registry, [this](const std::string& line) { Log(line); });
    std::vector<ComPtr<IBluetoothDeviceObject>> objects;
    std::vector<IUnknown*> items;
    for (const auto& device : devices) {
        ComPtr<IBluetoothDeviceObject> object;
        if (FAILED(gpslib::CreateObject(CLSID_BluetoothDeviceObject, IID_IBluetoothDeviceObject,
                                        &object)))
            continue;
        if (auto* impl = gpslib::ImplOf<CBluetoothDeviceObject>(object.Get())) {
            impl->SetName(device.name);
            impl->SetPortName(device.portName);
            impl->SetPortNumber(device.portNumber);
            impl->SetActive(device.active);
        }
        items.push_back(object.Get());
        objects.push_back(std::move(object));
    }
    return gpslib::ReturnObjectList(pvarDevices, items, IID_IDispatch);
}
