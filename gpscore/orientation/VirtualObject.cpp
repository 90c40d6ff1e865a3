#include "orientation/VirtualObject.h"

// -1 means no heading; any other value is taken without its sign, modulo a full turn (so -90
// becomes 90, not 270).
HRESULT CVirtualObject::SetHeading(SHORT nHeading) {
    int magnitude = nHeading < 0 ? -static_cast<int>(nHeading) : nHeading;
    m_nHeading = nHeading == -1 ? SHORT{-1} : static_cast<SHORT>(magnitude % 360);
    return S_OK;
}

HRESULT CVirtualObject::IsHeadingValid(VARIANT_BOOL* pbValid) {
    if (pbValid == nullptr) return E_POINTER;
    *pbValid = m_nHeading != -1 ? 1 : 0;
    return S_OK;
}

HRESULT CVirtualObject::GetName(BSTR* pbstrName) {
    return m_location.GetName(pbstrName);
}
HRESULT CVirtualObject::SetName(BSTR bstrName) {
    return m_location.SetName(bstrName);
}
HRESULT CVirtualObject::GetDescription(BSTR* pbstrDescription) {
    return m_location.GetDescription(pbstrDescription);
}
HRESULT CVirtualObject::SetLocation(ILocationObject* pLocation) {
    return m_location.SetLocation(pLocation);
}
HRESULT CVirtualObject::IsValid(VARIANT_BOOL* pbValid) {
    return m_location.IsValid(pbValid);
}
HRESULT CVirtualObject::GetLocation(ILocationObject** ppLocation) {
    return m_location.GetLocation(ppLocation);
}
HRESULT CVirtualObject::GetLatitude(DOUBLE* pdLatitude) {
    return m_location.GetLatitude(pdLatitude);
}
HRESULT CVirtualObject::GetLongitude(DOUBLE* pdLongitude) {
    return m_location.GetLongitude(pdLongitude);
}
HRESULT CVirtualObject::GetBearing(HeadingType eHeadingType, ILocationObject* pTo,
                                   BSTR* pbstrBearing) {
    return m_location.GetBearing(eHeadingType, pTo, pbstrBearing);
}
HRESULT CVirtualObject::GetDistance(ILocationObject* pTo, LONG* pnDistance) {
    return m_location.GetDistance(pTo, pnDistance);
}
HRESULT CVirtualObject::GetBearingDegrees(ILocationObject* pTo, SHORT* pnBearing) {
    return m_location.GetBearingDegrees(pTo, pnBearing);
}
HRESULT CVirtualObject::GetDistanceDescription(ILocationObject* pTo, BSTR* pbstrDistance) {
    return m_location.GetDistanceDescription(pTo, pbstrDistance);
}
HRESULT CVirtualObject::GetRelativeHeading(ILocationObject* pTo, BSTR* pbstrRelativeHeading) {
    return m_location.GetRelativeHeading(m_nHeading, pTo, pbstrRelativeHeading);
}
HRESULT CVirtualObject::GetDistanceAndHeading(ILocationObject* pTo, BSTR* pbstrDescription) {
    return m_location.GetDistanceAndHeading(m_nHeading, pTo, pbstrDescription);
}
HRESULT CVirtualObject::GetDistanceAndHeadingAndName(ILocationObject* pTo,
                                                     IDescriptionConfigurationObject* pConfig,
                                                     BSTR* pbstrDescription) {
    return m_location.GetDistanceAndHeadingAndName(m_nHeading, pTo, pConfig, pbstrDescription);
}

GPSLIB_CLASS_FACTORY(VirtualObject, CVirtualObject)
