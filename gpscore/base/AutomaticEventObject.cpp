#include "base/AutomaticEventObject.h"

// Every call hands out a new copy of the event's location, so clients cannot change the event.
HRESULT CAutomaticEventObject::GetLocation(ILocationObject** ppLocation) {
    if (ppLocation == nullptr) return E_POINTER;
    *ppLocation = nullptr;
    if (!m_pLocation) {
        HRESULT hr = gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &m_pLocation);
        if (FAILED(hr)) return hr;
    }
    return m_pLocation->GetLocation(ppLocation);
}

HRESULT CAutomaticEventObject::SetLocationCopy(ILocationObject* pLocation) {
    m_pLocation.Reset();
    if (pLocation == nullptr) return S_OK;
    gpslib::ComPtr<ILocationObject> copy;
    HRESULT hr = gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &copy);
    if (SUCCEEDED(hr)) hr = copy->SetLocation(pLocation);
    if (FAILED(hr)) return hr;
    m_pLocation = copy;
    return S_OK;
}

GPSLIB_CLASS_FACTORY(AutomaticEventObject, CAutomaticEventObject)
