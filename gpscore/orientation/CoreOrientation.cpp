// The service's heading, position and destination questions: the mode dispatchers, which answer
// for the live receiver or for the virtual walker, and the one destination the user heads for.
#include <algorithm>
#include <cctype>

#include "core/Answers.h"
#include "core/GPSCore.h"
#include "core/SystemSettingsObject.h"
#include "core/Utility.h"
#include "orientation/DestinationObject.h"

using gpslib::Bstr;
using gpslib::ComPtr;
using gpslib::os::CriticalSectionLock;

using gpscore::IsValidPlace;
using gpscore::Text;

namespace {

constexpr int kNoDestination = 20062;
constexpr int kNoGPSPosition = 20745;
constexpr int kNoVirtualPosition = 20746;

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

// ---------------------------------------------------------------------------------------------
// Mode dispatchers. VirtualMode asks the walker, GPSMode the live fix; any other value asks the
// live fix, except the two distance descriptions, which ask the walker.

HRESULT CGPSCore::GetHeading(Mode eMode, HeadingType eHeadingType, BSTR* pbstrHeading) {
    CriticalSectionLock lock(m_csCore);
    if (pbstrHeading == nullptr) return E_POINTER;
    if (eMode == VirtualMode)
        return m_pVirtualObject ? m_pVirtualObject->GetHeading(eHeadingType, pbstrHeading) : E_FAIL;
    return m_pGPSObject ? m_pGPSObject->GetHeading(eHeadingType, pbstrHeading) : E_FAIL;
}

HRESULT CGPSCore::GetHeadingDegrees(Mode eMode, SHORT* pnHeadingDegrees) {
    CriticalSectionLock lock(m_csCore);
    if (pnHeadingDegrees == nullptr) return E_POINTER;
    if (eMode == VirtualMode)
        return m_pVirtualObject ? m_pVirtualObject->GetHeadingDegrees(pnHeadingDegrees) : E_FAIL;
    return m_pGPSObject ? m_pGPSObject->GetHeadingDegrees(pnHeadingDegrees) : E_FAIL;
}

HRESULT CGPSCore::IsHeadingValid(Mode eMode, VARIANT_BOOL* pbValid) {
    CriticalSectionLock lock(m_csCore);
    if (pbValid == nullptr) return E_POINTER;
    if (eMode == VirtualMode)
        return m_pVirtualObject ? m_pVirtualObject->IsHeadingValid(pbValid) : E_FAIL;
    return m_pGPSObject ? m_pGPSObject->IsHeadingValid(pbValid) : E_FAIL;
}

HRESULT CGPSCore::GetLocation(Mode eMode, ILocationObject** ppLocation) {
    CriticalSectionLock lock(m_csCore);
    if (ppLocation == nullptr) return E_POINTER;
    *ppLocation = nullptr;
    if (eMode == VirtualMode)
        return m_pVirtualObject ? m_pVirtualObject->GetLocation(ppLocation) : E_FAIL;
    return m_pGPSObject ? m_pGPSObject->GetLocation(ppLocation) : E_FAIL;
}

HRESULT CGPSCore::GetDistanceAndHeading(Mode eMode, ILocationObject* pTo, BSTR* pbstrDescription) {
    CriticalSectionLock lock(m_csCore);
    if (pTo == nullptr || pbstrDescription == nullptr) return E_POINTER;
    if (eMode != GPSMode)
        return m_pVirtualObject ? m_pVirtualObject->GetDistanceAndHeading(pTo, pbstrDescription)
                                : E_FAIL;
    if (!m_pGPSObject) return E_FAIL;
    SHORT heading = -1;
    m_pGPSObject->GetHeadingDegrees(&heading);
    return m_pGPSObject->GetDistanceAndHeading(heading, pTo, pbstrDescription);
}

HRESULT CGPSCore::GetDistanceAndHeadingAndName(Mode eMode, ILocationObject* pTo,
                                               IDescriptionConfigurationObject* pConfig,
                                               BSTR* pbstrDescription) {
    CriticalSectionLock lock(m_csCore);
    if (pTo == nullptr || pConfig == nullptr || pbstrDescription == nullptr) return E_POINTER;
    if (eMode != GPSMode)
        return m_pVirtualObject
                   ? m_pVirtualObject->GetDistanceAndHeadingAndName(pTo, pConfig, pbstrDescription)
                   : E_FAIL;
    if (!m_pGPSObject) return E_FAIL;
    SHORT heading = -1;
    m_pGPSObject->GetHeadingDegrees(&heading);
    return m_pGPSObject->GetDistanceAndHeadingAndName(heading, pTo, pConfig, pbstrDescription);
}

// ---------------------------------------------------------------------------------------------
// The destination.

HRESULT CGPSCore::SetDestination(ILocationObject* pLocation, SideOfStreet eSide) {
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
    AddPlaceToHistory(pLocation, u"");
    return S_OK;
}

HRESULT CGPSCore::DestinationGet(IDestinationObject** ppDestination) {
    CriticalSectionLock lock(m_csCore);
    if (ppDestination == nullptr) return E_POINTER;
    *ppDestination = nullptr;
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

HRESULT CGPSCore::DestinationSetByLocation(ILocationObject* pLocation) {
    CriticalSectionLock lock(m_csCore);
    if (pLocation == nullptr) return E_POINTER;
    return SetDestination(pLocation, SideUnknown);
}

HRESULT CGPSCore::DestinationSetByAddress(IAddressObject* pAddress) {
    CriticalSectionLock lock(m_csCore);
    if (pAddress == nullptr) return E_POINTER;
    ComPtr<ILocationObject> location;
    HRESULT hr = pAddress->GetLocation(location.Put());
    if (FAILED(hr)) return hr;
    ComPtr<IStreetObject> street;
    Bstr city;
    if (SUCCEEDED(pAddress->GetStreetObject(street.Put())) && street) street->GetCity(city.Put());
    if (city.Length() > 0) {
        Bstr name;
        location->GetName(name.Put());
        Bstr named(Text(name.Get()) + u", " + Text(city.Get()));
        location->SetName(named.Get());
    }
    return SetDestination(location.Get(), SideUnknown);
}

HRESULT CGPSCore::DestinationSetByPOI(IPOIObject* pPOI) {
    CriticalSectionLock lock(m_csCore);
    if (pPOI == nullptr) return E_POINTER;
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
    if (m_pUtility != nullptr) name = m_pUtility->ForDisplay(name);
    Bstr decorated{std::u16string_view(name)};
    location->SetName(decorated.Get());
    return SetDestination(location.Get(), SideUnknown);
}

HRESULT CGPSCore::DestinationClear() {
    CriticalSectionLock lock(m_csCore);
    m_pDestination.Reset();
    HRESULT hr =
        gpslib::CreateObject(CLSID_DestinationObject, IID_IDestinationObject, &m_pDestination);
    m_bArrivedNearDestination = false;
    return hr;
}

HRESULT CGPSCore::DestinationWhereIs(Mode eMode, IDescriptionConfigurationObject* pConfig,
                                     BSTR* pbstrDescription) {
    CriticalSectionLock lock(m_csCore);
    if (pbstrDescription == nullptr) return E_POINTER;
    *pbstrDescription = nullptr;
    auto answer = [&](int id) {
        *pbstrDescription = gpslib::AllocBstr(std::u16string_view(String(id)));
        return *pbstrDescription == nullptr ? E_OUTOFMEMORY : S_OK;
    };
    ComPtr<ILocationObject> target;
    if (m_pDestination) m_pDestination->GetLocation(target.Put());
    if (!IsValidPlace(target.Get())) return answer(kNoDestination);
    if (eMode == VirtualMode) {
        ComPtr<ILocationObject> here;
        if (m_pVirtualObject) m_pVirtualObject->GetLocation(here.Put());
        if (!IsValidPlace(here.Get())) return answer(kNoVirtualPosition);
        return m_pVirtualObject->GetDistanceAndHeadingAndName(target.Get(), pConfig,
                                                              pbstrDescription);
    }
    ComPtr<ILocationObject> here;
    if (m_pGPSObject) m_pGPSObject->GetLocation(here.Put());
    if (!IsValidPlace(here.Get())) return answer(kNoGPSPosition);
    SHORT heading = -1;
    m_pGPSObject->GetHeadingDegrees(&heading);
    return m_pGPSObject->GetDistanceAndHeadingAndName(heading, target.Get(), pConfig,
                                                      pbstrDescription);
}

// ---------------------------------------------------------------------------------------------
// Kept across runs in the system settings.

void CGPSCore::SaveDestination() {
    if (m_pUtility == nullptr) return;
    auto* settings = gpslib::ImplOf<CSystemSettingsObject>(m_pUtility->SystemSettings().Get());
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
    saved.destinationName = m_pUtility->ForStorage(Text(name.Get()));
    saved.destinationDescription = Text(description.Get());
    target->GetLatitude(&saved.destinationLatitude);
    target->GetLongitude(&saved.destinationLongitude);
}

void CGPSCore::RestoreDestination() {
    DestinationClear();
    if (m_pUtility == nullptr) return;
    auto* settings = gpslib::ImplOf<CSystemSettingsObject>(m_pUtility->SystemSettings().Get());
    if (settings == nullptr) return;
    const auto& saved = settings->Saved();
    if (saved.destinationLatitude == 0.0 && saved.destinationLongitude == 0.0) return;
    ComPtr<ILocationObject> location;
    if (FAILED(gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &location))) return;
    Bstr name{std::u16string_view(m_pUtility->ForDisplay(saved.destinationName))};
    Bstr description{std::u16string_view(saved.destinationDescription)};
    location->SetName(name.Get());
    location->SetDescription(description.Get());
    location->SetLatitude(saved.destinationLatitude);
    location->SetLongitude(saved.destinationLongitude);
    SetDestination(location.Get(), SideUnknown);
}
