#include "gps/GPSTimeObject.h"

HRESULT CGPSTimeObject::IsValid(VARIANT_BOOL* pbValid) {
    if (pbValid == nullptr) return E_POINTER;
    bool any = m_nYear != 0 || m_nMonth != 0 || m_nDay != 0 || m_nHour != 0 || m_nMinutes != 0 ||
               m_nSeconds != 0;
    *pbValid = any ? 1 : 0;
    return S_OK;
}

GPSLIB_CLASS_FACTORY(GPSTimeObject, CGPSTimeObject)
