#include "orientation/VirtualObject.h"

#include "base/Descriptions.h"
#include "base/LocationObject.h"
#include "base/Utility.h"

gpslib::ComPtr<ILocationObject> CVirtualObject::Here() const {
    return gpscore::NewLocation(m_state->place);
}

HRESULT CVirtualObject::GetCurrentStreetName(BSTR* pbstrStreetName) {
    if (pbstrStreetName == nullptr) return E_POINTER;
    return gpscore::ReturnText(m_state->street, pbstrStreetName);
}

HRESULT CVirtualObject::SetHeading(SHORT nHeading) {
    m_state->Face(nHeading);
    return S_OK;
}

HRESULT CVirtualObject::GetHeading(HeadingType eHeadingType, BSTR* pbstrHeading) {
    if (pbstrHeading == nullptr) return E_POINTER;
    return gpscore::ReturnText(
        gpscore::Wording(gpscore::Utility::Instance()).HeadingText(m_state->heading, eHeadingType),
        pbstrHeading);
}

HRESULT CVirtualObject::GetHeadingDegrees(SHORT* pnHeading) {
    if (pnHeading == nullptr) return E_POINTER;
    *pnHeading = m_state->heading;
    return S_OK;
}

HRESULT CVirtualObject::IsHeadingValid(VARIANT_BOOL* pbValid) {
    if (pbValid == nullptr) return E_POINTER;
    *pbValid = m_state->heading != -1 ? 1 : 0;
    return S_OK;
}

HRESULT CVirtualObject::GetSideOfStreet(SideOfStreet* peSide) {
    if (peSide == nullptr) return E_POINTER;
    *peSide = m_state->side;
    return S_OK;
}

HRESULT CVirtualObject::SetSideOfStreet(SideOfStreet eSide) {
    m_state->side = eSide;
    return S_OK;
}

// The flag as the client stored it while the walker still agrees with it.
HRESULT CVirtualObject::MustCrossStreet(VARIANT_BOOL* pbMustCross) {
    if (pbMustCross == nullptr) return E_POINTER;
    const bool stored = m_bMustCrossStreet != VARIANT_FALSE;
    *pbMustCross = stored == m_state->mustCross ? m_bMustCrossStreet
                   : m_state->mustCross         ? VARIANT_TRUE
                                                : VARIANT_FALSE;
    return S_OK;
}

HRESULT CVirtualObject::SetMustCrossStreet(VARIANT_BOOL bMustCross) {
    m_bMustCrossStreet = bMustCross;
    m_state->mustCross = bMustCross != VARIANT_FALSE;
    return S_OK;
}

HRESULT CVirtualObject::GetName(BSTR* pbstrName) {
    if (pbstrName == nullptr) return E_POINTER;
    return gpscore::ReturnText(m_state->place.name, pbstrName);
}

HRESULT CVirtualObject::SetName(BSTR bstrName) {
    m_state->place.name = gpslib::View(bstrName);
    return S_OK;
}

HRESULT CVirtualObject::GetDescription(BSTR* pbstrDescription) {
    if (pbstrDescription == nullptr) return E_POINTER;
    return gpscore::ReturnText(m_state->place.description, pbstrDescription);
}

HRESULT CVirtualObject::SetLocation(ILocationObject* pLocation) {
    gpslib::ComPtr<ILocationObject> here = Here();
    if (!here) return E_FAIL;
    HRESULT hr = here->SetLocation(pLocation);
    if (SUCCEEDED(hr)) m_state->place = gpscore::PlaceAt(here.Get());
    return hr;
}

HRESULT CVirtualObject::IsValid(VARIANT_BOOL* pbValid) {
    if (pbValid == nullptr) return E_POINTER;
    *pbValid = m_state->place.HasPosition() ? 1 : 0;
    return S_OK;
}

HRESULT CVirtualObject::GetLocation(ILocationObject** ppLocation) {
    if (ppLocation == nullptr) return E_POINTER;
    *ppLocation = Here().Detach();
    return *ppLocation == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT CVirtualObject::GetLatitude(DOUBLE* pdLatitude) {
    if (pdLatitude == nullptr) return E_POINTER;
    *pdLatitude = m_state->place.latitude;
    return S_OK;
}

HRESULT CVirtualObject::GetLongitude(DOUBLE* pdLongitude) {
    if (pdLongitude == nullptr) return E_POINTER;
    *pdLongitude = m_state->place.longitude;
    return S_OK;
}

HRESULT CVirtualObject::GetBearing(HeadingType eHeadingType, ILocationObject* pTo,
                                   BSTR* pbstrBearing) {
    return Ask(pbstrBearing, &ILocationObject::GetBearing, eHeadingType, pTo, pbstrBearing);
}

HRESULT CVirtualObject::GetDistance(ILocationObject* pTo, LONG* pnDistance) {
    return Ask(pnDistance, &ILocationObject::GetDistance, pTo, pnDistance);
}

HRESULT CVirtualObject::GetBearingDegrees(ILocationObject* pTo, SHORT* pnBearing) {
    return Ask(pnBearing, &ILocationObject::GetBearingDegrees, pTo, pnBearing);
}

HRESULT CVirtualObject::GetDistanceDescription(ILocationObject* pTo, BSTR* pbstrDistance) {
    return Ask(pbstrDistance, &ILocationObject::GetDistanceDescription, pTo, pbstrDistance);
}

HRESULT CVirtualObject::GetRelativeHeading(ILocationObject* pTo, BSTR* pbstrRelativeHeading) {
    return Ask(pbstrRelativeHeading, &ILocationObject::GetRelativeHeading, m_state->heading, pTo,
               pbstrRelativeHeading);
}

HRESULT CVirtualObject::GetDistanceAndHeading(ILocationObject* pTo, BSTR* pbstrDescription) {
    return Ask(pbstrDescription, &ILocationObject::GetDistanceAndHeading, m_state->heading, pTo,
               pbstrDescription);
}

HRESULT CVirtualObject::GetDistanceAndHeadingAndName(ILocationObject* pTo,
                                                     IDescriptionConfigurationObject* pConfig,
                                                     BSTR* pbstrDescription) {
    return Ask(pbstrDescription, &ILocationObject::GetDistanceAndHeadingAndName, m_state->heading,
               pTo, pConfig, pbstrDescription);
}

GPSLIB_CLASS_FACTORY(VirtualObject, CVirtualObject)

gpslib::ComPtr<IVirtualObject> gpscore::NewVirtualObject(std::shared_ptr<WalkerState> state) {
    gpslib::ComPtr<IVirtualObject> walker;
    if (FAILED(gpslib::CreateObject(CLSID_VirtualObject, IID_IVirtualObject, &walker))) return {};
    auto* impl = gpslib::ImplOf<CVirtualObject>(walker.Get());
    if (impl != nullptr && state) impl->Share(std::move(state));
    return walker;
}
