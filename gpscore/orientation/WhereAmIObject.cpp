#include "orientation/WhereAmIObject.h"

#include "orientation/MapName.h"

HRESULT CWhereAmIObject::GetMapNameOnly(BSTR* pbstrMapName) {
    if (pbstrMapName == nullptr) return E_POINTER;
    *pbstrMapName = gpslib::AllocBstr(std::u16string_view(gpscore::PlainMapName(m_bstrMap.View())));
    return *pbstrMapName == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT CWhereAmIObject::IsValid(VARIANT_BOOL* pbValid) {
    return m_location.IsValid(pbValid);
}
HRESULT CWhereAmIObject::GetLocation(ILocationObject** ppLocation) {
    return m_location.GetLocation(ppLocation);
}
HRESULT CWhereAmIObject::GetLatitude(DOUBLE* pdLatitude) {
    return m_location.GetLatitude(pdLatitude);
}
HRESULT CWhereAmIObject::GetLongitude(DOUBLE* pdLongitude) {
    return m_location.GetLongitude(pdLongitude);
}
HRESULT CWhereAmIObject::GetBearing(HeadingType eHeadingType, ILocationObject* pTo,
                                    BSTR* pbstrBearing) {
    return m_location.GetBearing(eHeadingType, pTo, pbstrBearing);
}
HRESULT CWhereAmIObject::GetRelativeHeading(SHORT nHeading, ILocationObject* pTo,
                                            BSTR* pbstrRelativeHeading) {
    return m_location.GetRelativeHeading(nHeading, pTo, pbstrRelativeHeading);
}
HRESULT CWhereAmIObject::GetDistance(ILocationObject* pTo, LONG* pnDistance) {
    return m_location.GetDistance(pTo, pnDistance);
}
HRESULT CWhereAmIObject::GetBearingDegrees(ILocationObject* pTo, SHORT* pnBearing) {
    return m_location.GetBearingDegrees(pTo, pnBearing);
}
HRESULT CWhereAmIObject::GetDistanceDescription(ILocationObject* pTo, BSTR* pbstrDistance) {
    return m_location.GetDistanceDescription(pTo, pbstrDistance);
}
HRESULT CWhereAmIObject::GetDistanceAndHeading(SHORT nHeading, ILocationObject* pTo,
                                               BSTR* pbstrDescription) {
    return m_location.GetDistanceAndHeading(nHeading, pTo, pbstrDescription);
}
HRESULT CWhereAmIObject::GetDistanceAndHeadingAndName(SHORT nHeading, ILocationObject* pTo,
                                                      IDescriptionConfigurationObject* pConfig,
                                                      BSTR* pbstrDescription) {
    return m_location.GetDistanceAndHeadingAndName(nHeading, pTo, pConfig, pbstrDescription);
}

GPSLIB_CLASS_FACTORY(WhereAmIObject, CWhereAmIObject)
