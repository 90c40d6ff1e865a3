#include "address/AddressObject.h"

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
