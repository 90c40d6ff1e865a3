#include "orientation/DestinationObject.h"

HRESULT CDestinationObject::SetDescription(BSTR bstrDescription) {
    return m_location.SetDescription(bstrDescription);
}
HRESULT CDestinationObject::GetName(BSTR* pbstrName) {
    return m_location.GetName(pbstrName);
}
HRESULT CDestinationObject::SetName(BSTR bstrName) {
    return m_location.SetName(bstrName);
}
HRESULT CDestinationObject::GetDescription(BSTR* pbstrDescription) {
    return m_location.GetDescription(pbstrDescription);
}
HRESULT CDestinationObject::SetLocation(ILocationObject* pLocation) {
    return m_location.SetLocation(pLocation);
}
HRESULT CDestinationObject::SetLatitude(DOUBLE dLatitude) {
    return m_location.SetLatitude(dLatitude);
}
HRESULT CDestinationObject::SetLongitude(DOUBLE dLongitude) {
    return m_location.SetLongitude(dLongitude);
}
HRESULT CDestinationObject::IsValid(VARIANT_BOOL* pbValid) {
    return m_location.IsValid(pbValid);
}
HRESULT CDestinationObject::GetLocation(ILocationObject** ppLocation) {
    return m_location.GetLocation(ppLocation);
}
HRESULT CDestinationObject::GetLatitude(DOUBLE* pdLatitude) {
    return m_location.GetLatitude(pdLatitude);
}
HRESULT CDestinationObject::GetLongitude(DOUBLE* pdLongitude) {
    return m_location.GetLongitude(pdLongitude);
}
HRESULT CDestinationObject::GetBearing(HeadingType eHeadingType, ILocationObject* pTo,
                                       BSTR* pbstrBearing) {
    return m_location.GetBearing(eHeadingType, pTo, pbstrBearing);
}
HRESULT CDestinationObject::GetRelativeHeading(SHORT nHeading, ILocationObject* pTo,
                                               BSTR* pbstrRelativeHeading) {
    return m_location.GetRelativeHeading(nHeading, pTo, pbstrRelativeHeading);
}
HRESULT CDestinationObject::GetDistance(ILocationObject* pTo, LONG* pnDistance) {
    return m_location.GetDistance(pTo, pnDistance);
}
HRESULT CDestinationObject::GetBearingDegrees(ILocationObject* pTo, SHORT* pnBearing) {
    return m_location.GetBearingDegrees(pTo, pnBearing);
}
HRESULT CDestinationObject::GetDistanceDescription(ILocationObject* pTo, BSTR* pbstrDistance) {
    return m_location.GetDistanceDescription(pTo, pbstrDistance);
}
HRESULT CDestinationObject::GetDistanceAndHeading(SHORT nHeading, ILocationObject* pTo,
                                                  BSTR* pbstrDescription) {
    return m_location.GetDistanceAndHeading(nHeading, pTo, pbstrDescription);
}
HRESULT CDestinationObject::GetDistanceAndHeadingAndName(SHORT nHeading, ILocationObject* pTo,
                                                         IDescriptionConfigurationObject* pConfig,
                                                         BSTR* pbstrDescription) {
    return m_location.GetDistanceAndHeadingAndName(nHeading, pTo, pConfig, pbstrDescription);
}

GPSLIB_CLASS_FACTORY(DestinationObject, CDestinationObject)
