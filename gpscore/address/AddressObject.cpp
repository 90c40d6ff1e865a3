#include "address/AddressObject.h"

#include "base/LocationObject.h"

GPSLIB_CLASS_FACTORY(AddressObject, CAddressObject)

HRESULT CAddressObject::GetStreetObject(IStreetObject** ppStreet) {
    if (ppStreet == nullptr) return E_POINTER;
    *ppStreet = nullptr;
    gpslib::ComPtr<IStreetObject> street;
    HRESULT hr = gpslib::CreateObject(CLSID_StreetObject, IID_IStreetObject, &street);
    if (SUCCEEDED(hr)) hr = street->SetMap(m_bstrMap.Get());
    if (SUCCEEDED(hr)) hr = street->SetCity(m_bstrCity.Get());
    if (SUCCEEDED(hr)) hr = street->SetZipPostalcode(m_bstrZipPostalcode.Get());
    if (SUCCEEDED(hr)) hr = street->SetStreet(m_bstrStreet.Get());
    if (FAILED(hr)) return hr;
    *ppStreet = street.Detach();
    return S_OK;
}

namespace gpscore {

namespace {

std::u16string Read(IAddressObject* address,
                    HRESULT (STDMETHODCALLTYPE IAddressObject::*getter)(BSTR*)) {
    gpslib::Bstr text;
    (address->*getter)(text.Put());
    return Text(text.Get());
}

} // namespace

AddressPlace ReadAddress(IAddressObject* address) {
    AddressPlace place;
    if (address == nullptr) return place;
    place.address = Read(address, &IAddressObject::GetAddress);
    place.name = Read(address, &IAddressObject::GetName);
    place.street = Read(address, &IAddressObject::GetStreet);
    place.city = Read(address, &IAddressObject::GetCity);
    place.postalCode = Read(address, &IAddressObject::GetZipPostalcode);
    place.map = Read(address, &IAddressObject::GetMap);
    if (FAILED(address->GetLatitude(&place.latitude)) ||
        FAILED(address->GetLongitude(&place.longitude)))
        place.latitude = place.longitude = 0.0;
    return place;
}

HRESULT NewAddressObject(const AddressPlace& place, IAddressObject** result) {
    using gpslib::Bstr;
    const Bstr text(place.address), name(place.name), street(place.street), city(place.city),
        postal(place.postalCode), map(place.map);
    gpslib::ComPtr<ILocationObject> location;
    gpslib::ComPtr<IAddressObject> address;
    if (FAILED(gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &location)) ||
        FAILED(gpslib::CreateObject(CLSID_AddressObject, IID_IAddressObject, &address)))
        return S_FALSE;
    location->SetName(text.Get());
    location->SetLatitude(place.latitude);
    location->SetLongitude(place.longitude);
    HRESULT built = address->SetLocation(location.Get());
    if (SUCCEEDED(built)) built = address->SetAddress(text.Get());
    if (SUCCEEDED(built)) built = address->SetName(name.Get());
    if (SUCCEEDED(built)) built = address->SetStreet(street.Get());
    if (SUCCEEDED(built)) built = address->SetCity(city.Get());
    if (SUCCEEDED(built)) built = address->SetZipPostalcode(postal.Get());
    if (SUCCEEDED(built)) built = address->SetMap(map.Get());
    if (FAILED(built)) return S_FALSE;
    *result = address.Detach();
    return S_OK;
}

} // namespace gpscore
