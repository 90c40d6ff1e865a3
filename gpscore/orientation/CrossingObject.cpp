#include "orientation/CrossingObject.h"

#include "base/LocationObject.h"
#include "formats/Geodesy.h"

GPSLIB_CLASS_FACTORY(CrossingObject, CCrossingObject)

void CCrossingObject::Fill(const gpscore::CrossingAnswer& answer, Units units) {
    const gpscore::MapCrossing& c = answer.crossing;
    m_bstrDescription = gpslib::Bstr(answer.description);
    m_bstrStreetName = gpslib::Bstr(c.street);
    m_eControl = c.control;
    m_eAudibleSignal = c.sound;
    m_eVibratingSignal = c.vibration;
    m_ePushButton = c.button;
    m_eTactilePaving = c.tactile;
    m_eTrafficIsland = c.island;
    m_eKerbAtStart = c.kerbs[0];
    m_eKerbAtEnd = c.kerbs[1];
    m_nLength = gpslib::geo::MetresInUnits(c.length, units);
    m_nDistanceFromPosition = gpslib::geo::MetresInUnits(c.distance, units);
}

HRESULT gpscore::NewCrossingObject(const CrossingAnswer& answer, Units units,
                                   ICrossingObject** result) {
    gpslib::ComPtr<ICrossingObject> object;
    HRESULT hr = gpslib::CreateObject(CLSID_CrossingObject, IID_ICrossingObject, &object);
    if (FAILED(hr)) return hr;
    auto* impl = gpslib::ImplOf<CCrossingObject>(object.Get());
    if (impl == nullptr) return E_FAIL;
    if (auto at = NewLocation(answer.crossing.latitude, answer.crossing.longitude))
        impl->ShareLocation(at.Get());
    impl->Fill(answer, units);
    *result = object.Detach();
    return S_OK;
}
