#include "orientation/DestinationObject.h"

#include "base/LocationObject.h"

GPSLIB_CLASS_FACTORY(DestinationObject, CDestinationObject)

HRESULT gpscore::NewDestinationObject(const std::optional<Place>& place, SideOfStreet side,
                                      IDestinationObject** destination) {
    gpslib::ComPtr<IDestinationObject> copy;
    HRESULT hr = gpslib::CreateObject(CLSID_DestinationObject, IID_IDestinationObject, &copy);
    if (FAILED(hr)) return hr;
    if (auto location = NewLocation(place)) copy->SetLocation(location.Get());
    if (auto* impl = gpslib::ImplOf<CDestinationObject>(copy.Get())) impl->SetSideOfStreet(side);
    *destination = copy.Detach();
    return S_OK;
}
