#include "orientation/IntersectionObject.h"

HRESULT CIntersectionObject::IsValid(VARIANT_BOOL* pbValid) {
    return m_location.IsValid(pbValid);
}
HRESULT CIntersectionObject::GetLocation(ILocationObject** ppLocation) {
    return m_location.GetLocation(ppLocation);
}
HRESULT CIntersectionObject::GetLatitude(DOUBLE* pdLatitude) {
    return m_location.GetLatitude(pdLatitude);
}
HRESULT CIntersectionObject::GetLongitude(DOUBLE* pdLongitude) {
    return m_location.GetLongitude(pdLongitude);
}
HRESULT CIntersectionObject::GetBearing(HeadingType eHeadingType, ILocationObject* pTo,
                                        BSTR* pbstrBearing) {
    return m_location.GetBearing(eHeadingType, pTo, pbstrBearing);
}
HRESULT CIntersectionObject::GetRelativeHeading(SHORT nHeading, ILocationObject* pTo,
                                                BSTR* pbstrRelativeHeading) {
    return m_location.GetRelativeHeading(nHeading, pTo, pbstrRelativeHeading);
}
HRESULT CIntersectionObject::GetDistance(ILocationObject* pTo, LONG* pnDistance) {
    return m_location.GetDistance(pTo, pnDistance);
}
HRESULT CIntersectionObject::GetBearingDegrees(ILocationObject* pTo, SHORT* pnBearing) {
    return m_location.GetBearingDegrees(pTo, pnBearing);
}
HRESULT CIntersectionObject::GetDistanceDescription(ILocationObject* pTo, BSTR* pbstrDistance) {
    return m_location.GetDistanceDescription(pTo, pbstrDistance);
}
HRESULT CIntersectionObject::GetDistanceAndHeading(SHORT nHeading, ILocationObject* pTo,
                                                   BSTR* pbstrDescription) {
    return m_location.GetDistanceAndHeading(nHeading, pTo, pbstrDescription);
}
HRESULT CIntersectionObject::GetDistanceAndHeadingAndName(SHORT nHeading, ILocationObject* pTo,
                                                          IDescriptionConfigurationObject* pConfig,
                                                          BSTR* pbstrDescription) {
    return m_location.GetDistanceAndHeadingAndName(nHeading, pTo, pConfig, pbstrDescription);
}

GPSLIB_CLASS_FACTORY(IntersectionObject, CIntersectionObject)
