// The lookaround settings as a client reads and changes them. Each method takes the core lock,
// checks its pointers and asks the lookaround part; the watches themselves run in the poll.
#include "core/GPSCore.h"

using gpslib::os::CriticalSectionLock;

HRESULT CGPSCore::LookaroundGetSettings(ILookaroundSettingsObject** ppSettings) {
    CriticalSectionLock lock(m_csCore);
    if (ppSettings == nullptr) return E_POINTER;
    *ppSettings = nullptr;
    EnsureUtility();
    return m_lookaround.GetSettings(ppSettings);
}

HRESULT CGPSCore::LookaroundGetDefaultSettings(ILookaroundSettingsObject** ppDefaultSettings) {
    CriticalSectionLock lock(m_csCore);
    if (ppDefaultSettings == nullptr) return E_POINTER;
    *ppDefaultSettings = nullptr;
    EnsureUtility();
    return m_lookaround.GetDefaultSettings(ppDefaultSettings);
}

HRESULT CGPSCore::LookaroundSetSettings(ILookaroundSettingsObject* pSettings) {
    CriticalSectionLock lock(m_csCore);
    if (pSettings == nullptr) return E_POINTER;
    EnsureUtility();
    return m_lookaround.SetSettings(pSettings);
}
