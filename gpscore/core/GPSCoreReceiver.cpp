// The receiver's methods as a client calls them: the fix, its settings, the pedometer, polling,
// traces and Bluetooth receivers. Each method takes the core lock, checks its pointers, writes
// its log lines and hands the work to the receiver link or the polling thread.
#include <optional>
#include <string>
#include <vector>

#include "base/Descriptions.h"
#include "base/LocationObject.h"
#include "base/SettingsFiles.h"
#include "base/SettingsObject.h"
#include "base/Utility.h"
#include "core/GPSCore.h"
#include "gps/Bluetooth.h"
#include "gps/BluetoothDeviceObject.h"
#include "gps/GPSStatusObject.h"
#include "gps/GPSTimeObject.h"

using gpslib::ComPtr;
using gpslib::os::CriticalSectionLock;

using gpscore::ReturnText;

namespace {

// A new snapshot of the fix for a client, filled by `fill` when it is this module's own class.
template <class C, class I, class Fill>
HRESULT NewSnapshot(REFCLSID clsid, REFIID iid, I** out, Fill fill) {
    gpslib::ComPtr<I> snapshot;
    HRESULT hr = gpslib::CreateObject(clsid, iid, &snapshot);
    if (FAILED(hr)) return hr;
    if (auto* impl = gpslib::ImplOf<C>(snapshot.Get())) fill(*impl);
    *out = snapshot.Detach();
    return S_OK;
}

} // namespace

HRESULT CGPSCore::GPSGet(IGPSObject** ppGPS) {
    CriticalSectionLock lock(m_csCore);
    if (ppGPS == nullptr) return E_POINTER;
    *ppGPS = nullptr;
    if (GPS() == nullptr) return E_FAIL;
    return GPS()->QueryInterface(IID_IGPSObject, reinterpret_cast<void**>(ppGPS));
}

HRESULT CGPSCore::GPSGetTime(IGPSTimeObject** ppTime) {
    CriticalSectionLock lock(m_csCore);
    if (ppTime == nullptr) return E_POINTER;
    *ppTime = nullptr;
    // Empty while there is no usable fix.
    const gpscore::ReceiverState& state = m_receiver.State();
    return NewSnapshot<CGPSTimeObject>(
        CLSID_GPSTimeObject, IID_IGPSTimeObject, ppTime, [&](CGPSTimeObject& time) {
            if (state.m_eReceiverType != GPSTypeNone && state.HasUsableFix()) state.CopyTime(time);
        });
}

HRESULT CGPSCore::GPSGetStatus(IGPSStatusObject** ppStatus) {
    CriticalSectionLock lock(m_csCore);
    if (ppStatus == nullptr) return E_POINTER;
    *ppStatus = nullptr;
    gpscore::ReceiverState& state = m_receiver.State();
    return NewSnapshot<CGPSStatusObject>(
        CLSID_GPSStatusObject, IID_IGPSStatusObject, ppStatus,
        [&](CGPSStatusObject& status) { state.FillStatus(status); });
}

HRESULT CGPSCore::GPSForceLocation(ILocationObject* pLocation, SHORT nHeading) {
    CriticalSectionLock lock(m_csCore);
    if (pLocation == nullptr) return E_POINTER;
    if (m_receiver.State().Record() == nullptr) return E_FAIL;
    DOUBLE latitude = 0.0, longitude = 0.0;
    pLocation->GetLatitude(&latitude);
    pLocation->GetLongitude(&longitude);
    m_receiver.State().ForceLocation(latitude, longitude, nHeading);
    // The poll follows with the data lock released: the core lock already keeps other polls
    // out, and taking the poll lock inside the data lock would invert the order of the two.
    Poll(false);
    return S_OK;
}

HRESULT CGPSCore::GPSSetHeading(SHORT nHeadingDegrees) {
    CriticalSectionLock lock(m_csCore);
    m_receiver.State().SetHeading(nHeadingDegrees);
    return S_OK;
}

HRESULT CGPSCore::GPSExternalNmeaDataUpdate(BSTR bstrNmeaData) {
    CriticalSectionLock lock(m_csCore);
    m_receiver.PushNmea(gpslib::View(bstrNmeaData));
    return S_OK;
}

HRESULT CGPSCore::GPSSetMinSpeedForHeadingAveraging(DOUBLE dMinSpeedKnots) {
    CriticalSectionLock lock(m_csCore);
    m_receiver.State().m_dMinSpeedForHeadingAveraging = dMinSpeedKnots;
    return S_OK;
}

HRESULT CGPSCore::GPSGetMinSpeedForHeadingAveraging(DOUBLE* pdMinSpeedKnots) {
    CriticalSectionLock lock(m_csCore);
    if (pdMinSpeedKnots == nullptr) return E_POINTER;
    *pdMinSpeedKnots = m_receiver.State().m_dMinSpeedForHeadingAveraging;
    return S_OK;
}

HRESULT CGPSCore::PedometerReset(Mode eMode) {
    CriticalSectionLock lock(m_csCore);
    if (eMode == GPSMode)
        m_receiver.State().PedometerReset();
    else if (eMode == VirtualMode)
        m_virtual.PedometerReset();
    return S_OK;
}

HRESULT CGPSCore::PedometerGet(Mode eMode, BSTR* pbstrDistance) {
    CriticalSectionLock lock(m_csCore);
    if (pbstrDistance == nullptr) return E_POINTER;
    LONG total = m_virtual.PedometerTotal();
    if (eMode == GPSMode) {
        m_receiver.State().UpdatePedometer(true);
        total = m_receiver.State().m_nPedometerTotalGPS;
    }
    return ReturnText(gpscore::Wording(m_context.m_pUtility).DistanceText(total, false),
                      pbstrDistance);
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
    if (auto held = m_context.ReceiverSettings()) gpscore::settings::ToObject(*held, copy.Get());
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
    if (m_context.m_pUtility == nullptr) return E_FAIL;
    std::optional<bool> opened;
    gpscore::settings::Receiver given;
    gpscore::settings::FromObject(pSettings, given);
    const SHORT seconds = given.pedestrianAveragingSeconds;
    m_receiver.ApplySettings(given, &opened);
    if (given.pedestrianAveragingSeconds != seconds)
        pSettings->SetPedestrianHeadingAveragingSeconds(given.pedestrianAveragingSeconds);
    if (opened) *pbPortOpened = gpslib::VariantBool(*opened);
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Polling.

HRESULT CGPSCore::GPSTurnOnAutomaticPolling() {
    CriticalSectionLock lock(m_csCore);
    if (!m_polling.Armed()) return S_FALSE;
    if (!m_polling.Running()) {
        const bool started = m_polling.Start(m_context.Env(), m_csCore, [this] {
            m_csCore.AssertHeld(); // The polling thread runs each poll holding the core lock.
            Poll(true);
        });
        Log(started ? "GPSCore::Timer Created" : "ERROR GPSCore::Timer failed to be Created");
    } else {
        Log("GPSCore::Timer Created");
    }
    return S_OK;
}

HRESULT CGPSCore::GPSTurnOffAutomaticPolling() {
    CriticalSectionLock lock(m_csCore);
    StopPolling();
    return S_OK;
}

HRESULT CGPSCore::GPSForcePoll(VARIANT_BOOL* pbDataRead) {
    CriticalSectionLock lock(m_csCore);
    Log("GPSCore::GPSForcePoll enter");
    if (pbDataRead == nullptr) return E_POINTER;
    *pbDataRead = VARIANT_FALSE;
    if (Poll(true)) *pbDataRead = VARIANT_TRUE;
    Log("GPSCore::GPSForcePoll exit");
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Traces.

HRESULT CGPSCore::GPSStartRecording(BSTR bstrTraceFile) {
    CriticalSectionLock lock(m_csCore);
    switch (m_receiver.StartRecording(gpslib::View(bstrTraceFile), m_polling.Armed())) {
    case gpscore::ReceiverLink::Recording::kAccepted:
        return S_OK;
    case gpscore::ReceiverLink::Recording::kBadName:
        return E_INVALIDARG;
    case gpscore::ReceiverLink::Recording::kNotOpened:
        break;
    }
    return E_FAIL;
}

HRESULT CGPSCore::GPSStopRecording() {
    CriticalSectionLock lock(m_csCore);
    m_receiver.StopRecording();
    return S_OK;
}

HRESULT CGPSCore::GPSInsertAnnotationIntoRecording(BSTR bstrAnnotation) {
    CriticalSectionLock lock(m_csCore);
    m_receiver.InsertAnnotation(gpslib::View(bstrAnnotation));
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Bluetooth.

HRESULT CGPSCore::GPSFindAvailableBluetoothDevices(VARIANT* pvarDevices) {
    CriticalSectionLock lock(m_csCore);
    if (pvarDevices == nullptr) return E_POINTER;
    VariantClear(pvarDevices);
    gpslib::RegistryStore registry;
    gpslib::LoadRegistry(&registry);
    const gpscore::ServiceContext* context = &m_context; // The lambda runs under this lock.
    const auto devices = gpscore::FindBluetoothDevices(
        registry, [context](const std::string& line) { context->Log(line); });
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
