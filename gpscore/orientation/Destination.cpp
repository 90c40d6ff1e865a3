#include "orientation/Destination.h"

#include <algorithm>
#include <cctype>

#include "address/AddressObject.h"
#include "base/Answers.h"
#include "base/LocationObject.h"
#include "base/ServiceContext.h"
#include "base/SystemSettingsObject.h"
#include "base/Utility.h"
#include "orientation/DestinationObject.h"
#include "poi/PersonalPlaces.h"
#include "resources/StringIds.h"

namespace gpscore {

using gpslib::Bstr;
using gpslib::ComPtr;

namespace {

std::u16string Lower(std::u16string text) {
    for (char16_t& c : text) {
        if (c < 0x80) c = static_cast<char16_t>(std::tolower(static_cast<int>(c)));
    }
    return text;
}

// Whether `name` holds `part`, ignoring letter case; an empty name holds nothing.
bool Contains(const std::u16string& name, const std::u16string& part) {
    return !name.empty() && Lower(name).find(Lower(part)) != std::u16string::npos;
}

} // namespace

Destination::Destination(ServiceContext& context, PersonalPlaces& places)
    : m_context(context), m_places(places) {
    gpslib::CreateObject(CLSID_DestinationObject, IID_IDestinationObject, &m_pDestination);
}

HRESULT Destination::Set(ILocationObject* pLocation, SideOfStreet eSide) {
    HRESULT hr = Replace(pLocation, eSide);
    if (SUCCEEDED(hr)) m_places.AddToHistory(PlaceOf(pLocation), u"");
    return hr;
}

HRESULT Destination::Replace(ILocationObject* pLocation, SideOfStreet eSide) {
    ComPtr<IDestinationObject> destination;
    HRESULT hr =
        gpslib::CreateObject(CLSID_DestinationObject, IID_IDestinationObject, &destination);
    if (FAILED(hr)) return hr;
    auto* impl = gpslib::ImplOf<CDestinationObject>(destination.Get());
    if (impl == nullptr) return E_FAIL;
    impl->ShareLocation(pLocation); // Held by reference: later changes to it are seen.
    impl->SetSideOfStreet(eSide);
    m_pDestination = destination;
    m_bArrivedNearDestination = false;
    return S_OK;
}

HRESULT Destination::Get(IDestinationObject** ppDestination) const {
    ComPtr<IDestinationObject> copy;
    HRESULT hr = gpslib::CreateObject(CLSID_DestinationObject, IID_IDestinationObject, &copy);
    if (FAILED(hr)) return hr;
    if (m_pDestination) {
        ComPtr<ILocationObject> location;
        SideOfStreet side = SideUnknown;
        m_pDestination->GetSideOfStreet(&side);
        if (SUCCEEDED(m_pDestination->GetLocation(location.Put())))
            copy->SetLocation(location.Get());
        if (auto* impl = gpslib::ImplOf<CDestinationObject>(copy.Get()))
            impl->SetSideOfStreet(side);
    }
    *ppDestination = copy.Detach();
    return S_OK;
}

HRESULT Destination::SetByAddress(IAddressObject* pAddress) {
    // An address without a position is no place to head for: the destination stays as it was.
    const AddressPlace place = ReadAddress(pAddress);
    if (!place.HasPosition()) return S_FALSE;
    ComPtr<ILocationObject> location;
    HRESULT hr = pAddress->GetLocation(location.Put());
    if (FAILED(hr)) return hr;
    if (!location) return E_FAIL;
    // The city of the address's street; the name the location has, else the address text
    // (cross streets and addresses a client fills carry no name on their position).
    ComPtr<IStreetObject> street;
    Bstr city, name;
    if (SUCCEEDED(pAddress->GetStreetObject(street.Put())) && street) street->GetCity(city.Put());
    location->GetName(name.Put());
    AddressPlace named = place;
    named.city = Text(city.Get());
    Bstr spoken{std::u16string_view(named.SpokenName(Text(name.Get())))};
    location->SetName(spoken.Get());
    return Set(location.Get(), SideUnknown);
}

HRESULT Destination::SetByPOI(IPOIObject* pPOI) {
    ComPtr<ILocationObject> location;
    HRESULT hr = pPOI->GetLocation(location.Put());
    if (FAILED(hr)) return hr;
    Bstr nameText, number, street, city;
    pPOI->GetName(nameText.Put());
    pPOI->GetAddressNumber(number.Put());
    pPOI->GetStreet(street.Put());
    pPOI->GetCity(city.Put());
    std::u16string name = Text(nameText.Get());
    // The parts of the address that the name does not say already.
    std::u16string collected;
    if (street.Length() > 0 && !Contains(name, Text(street.Get()))) {
        if (number.Length() > 0) collected += Text(number.Get()) + u" ";
        collected += Text(street.Get());
    }
    if (city.Length() > 0 && !Contains(name, Text(city.Get())))
        collected += (collected.empty() ? u"" : u", ") + Text(city.Get());
    if (!collected.empty()) name += u", " + collected;
    if (m_context.m_pUtility != nullptr) name = m_context.m_pUtility->ForDisplay(name);
    Bstr decorated{std::u16string_view(name)};
    location->SetName(decorated.Get());
    return Set(location.Get(), SideUnknown);
}

HRESULT Destination::Clear() {
    m_pDestination.Reset();
    HRESULT hr =
        gpslib::CreateObject(CLSID_DestinationObject, IID_IDestinationObject, &m_pDestination);
    m_bArrivedNearDestination = false;
    return hr;
}

HRESULT Destination::WhereIs(Mode eMode, IDescriptionConfigurationObject* pConfig,
                             IVirtualObject* walker, IGPSObject* gps,
                             BSTR* pbstrDescription) const {
    *pbstrDescription = nullptr;
    auto answer = [&](int id) {
        *pbstrDescription = gpslib::AllocBstr(std::u16string_view(m_context.String(id)));
        return *pbstrDescription == nullptr ? E_OUTOFMEMORY : S_OK;
    };
    ComPtr<ILocationObject> target;
    if (m_pDestination) m_pDestination->GetLocation(target.Put());
    if (!IsValidPlace(target.Get())) return answer(ids::kNoDestination);
    if (eMode == VirtualMode) {
        ComPtr<ILocationObject> here;
        if (walker != nullptr) walker->GetLocation(here.Put());
        if (!IsValidPlace(here.Get())) return answer(ids::kNoVirtualPosition);
        return walker->GetDistanceAndHeadingAndName(target.Get(), pConfig, pbstrDescription);
    }
    ComPtr<ILocationObject> here;
    if (gps != nullptr) gps->GetLocation(here.Put());
    if (!IsValidPlace(here.Get())) return answer(ids::kNoGpsPosition);
    SHORT heading = -1;
    gps->GetHeadingDegrees(&heading);
    return gps->GetDistanceAndHeadingAndName(heading, target.Get(), pConfig, pbstrDescription);
}

// ---------------------------------------------------------------------------------------------
// Kept across runs in the system settings.

void Destination::Save() {
    if (m_context.m_pUtility == nullptr) return;
    ComPtr<ISystemSettingsObject> stored = m_context.SystemSettings();
    auto* settings = gpslib::ImplOf<CSystemSettingsObject>(stored.Get());
    if (settings == nullptr) return;
    auto& saved = settings->Saved();
    saved.destinationName.clear();
    saved.destinationDescription.clear();
    saved.destinationLatitude = saved.destinationLongitude = 0.0;
    ComPtr<ILocationObject> target;
    if (!m_pDestination || FAILED(m_pDestination->GetLocation(target.Put()))) return;
    Bstr name, description;
    target->GetName(name.Put());
    target->GetDescription(description.Put());
    // Spelling marks are for the speaking client; the stored name is plain.
    saved.destinationName = m_context.m_pUtility->ForStorage(Text(name.Get()));
    saved.destinationDescription = Text(description.Get());
    target->GetLatitude(&saved.destinationLatitude);
    target->GetLongitude(&saved.destinationLongitude);
}

void Destination::Restore() {
    Clear();
    if (m_context.m_pUtility == nullptr) return;
    ComPtr<ISystemSettingsObject> stored = m_context.SystemSettings();
    auto* settings = gpslib::ImplOf<CSystemSettingsObject>(stored.Get());
    if (settings == nullptr) return;
    const auto& saved = settings->Saved();
    if (saved.destinationLatitude == 0.0 && saved.destinationLongitude == 0.0) return;
    ComPtr<ILocationObject> location;
    if (FAILED(gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &location))) return;
    Bstr name{std::u16string_view(m_context.m_pUtility->ForDisplay(saved.destinationName))};
    Bstr description{std::u16string_view(saved.destinationDescription)};
    location->SetName(name.Get());
    location->SetDescription(description.Get());
    location->SetLatitude(saved.destinationLatitude);
    location->SetLongitude(saved.destinationLongitude);
    Replace(location.Get(), SideUnknown);
}

ComPtr<ILocationObject> Destination::Location() const {
    ComPtr<ILocationObject> location;
    if (m_pDestination) m_pDestination->GetLocation(location.Put());
    return location;
}

} // namespace gpscore
