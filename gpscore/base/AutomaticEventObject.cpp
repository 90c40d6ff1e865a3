#include "base/AutomaticEventObject.h"

#include "base/LocationObject.h"

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

void CAutomaticEventObject::SetPlace(const std::optional<gpscore::Place>& place) {
    m_pLocation.Reset();
    if (place) m_pLocation = gpscore::NewLocation(*place);
}

GPSLIB_CLASS_FACTORY(AutomaticEventObject, CAutomaticEventObject)
