// The lookaround settings as a client reads and changes them: objects copied from the record the
// Utility holds, which the watches read in the poll. Each method takes the core lock and checks
// its pointers; a change replaces the held record whole and is written to the settings file.
#include "base/LookaroundSettingsObject.h"
#include "base/SettingsFiles.h"
#include "base/SettingsObject.h"
#include "base/Utility.h"
#include "core/GPSCore.h"
#include "resources/StringIds.h"

using gpslib::ComPtr;
using gpslib::os::CriticalSectionLock;

namespace {

HRESULT NewSettings(ComPtr<ILookaroundSettingsObject>* settings) {
    return gpslib::CreateObject(CLSID_LookaroundSettingsObject, IID_ILookaroundSettingsObject,
                                settings);
}

} // namespace

HRESULT CGPSCore::LookaroundGetSettings(ILookaroundSettingsObject** ppSettings) {
    CriticalSectionLock lock(m_csCore);
    if (ppSettings == nullptr) return E_POINTER;
    *ppSettings = nullptr;
    EnsureUtility();
    ComPtr<ILookaroundSettingsObject> copy;
    HRESULT hr = NewSettings(&copy);
    if (FAILED(hr)) return hr;
    // A copy: the held settings change only through LookaroundSetSettings, which also writes
    // the file.
    if (auto held = m_context.LookaroundSettings()) gpscore::settings::ToObject(*held, copy.Get());
    *ppSettings = copy.Detach();
    return S_OK;
}

HRESULT CGPSCore::LookaroundGetDefaultSettings(ILookaroundSettingsObject** ppDefaultSettings) {
    CriticalSectionLock lock(m_csCore);
    if (ppDefaultSettings == nullptr) return E_POINTER;
    *ppDefaultSettings = nullptr;
    EnsureUtility();
    ComPtr<ILookaroundSettingsObject> defaults;
    HRESULT hr = NewSettings(&defaults);
    if (FAILED(hr)) return hr;
    if (auto* impl = gpslib::ImplOf<CLookaroundSettingsObject>(defaults.Get())) {
        impl->SetCategoryNameToScanFor(m_context.String(gpslib::ids::kAllCategories));
        impl->SetSubCategoryNameToScanFor(m_context.String(gpslib::ids::kAllSubcategories));
    }
    *ppDefaultSettings = defaults.Detach();
    return S_OK;
}

HRESULT CGPSCore::LookaroundSetSettings(ILookaroundSettingsObject* pSettings) {
    CriticalSectionLock lock(m_csCore);
    if (pSettings == nullptr) return E_POINTER;
    EnsureUtility();
    gpscore::Utility* utility = m_context.m_pUtility.get();
    if (utility == nullptr) return E_FAIL;
    // A new record replaces the held one whole; the names come only from an object of this
    // module's class.
    gpscore::settings::Lookaround record;
    gpscore::settings::FromObject(pSettings, record);
    utility->SetLookaroundSettings(record);
    gpscore::settings::WriteLookaroundSettings(m_context.Env(), utility->SettingsDirectory(),
                                               record);
    return S_OK;
}
