#include "orientation/IntersectionObject.h"

#include "base/LocationObject.h"

GPSLIB_CLASS_FACTORY(IntersectionObject, CIntersectionObject)

HRESULT gpscore::NewIntersectionObject(const IntersectionAnswer& answer,
                                       IIntersectionObject** result) {
    gpslib::ComPtr<IIntersectionObject> object;
    HRESULT hr = gpslib::CreateObject(CLSID_IntersectionObject, IID_IIntersectionObject, &object);
    if (FAILED(hr)) return hr;
    auto* impl = gpslib::ImplOf<CIntersectionObject>(object.Get());
    if (impl == nullptr) return E_FAIL;
    if (auto at = NewLocation(answer.latitude, answer.longitude)) impl->ShareLocation(at.Get());
    // Only the texts the answer has: an object left without one reads as empty, as before.
    if (!answer.currentStreet.empty()) impl->SetCurrentStreetName(answer.currentStreet);
    if (!answer.crossStreets.empty()) impl->SetCrossStreets(answer.crossStreets);
    if (!answer.description.empty()) impl->SetIntersectionDescription(answer.description);
    if (!answer.descriptionDetailed.empty())
        impl->SetIntersectionDescriptionDetailed(answer.descriptionDetailed);
    *result = object.Detach();
    return S_OK;
}
