// A point of interest: name, category, address, contact data and position.
#ifndef GPSCORE_POI_POIOBJECT_H_
#define GPSCORE_POI_POIOBJECT_H_

#include "GPSLib_classes.h"
#include "orientation/InnerLocation.h"

// The POI's own name and description are fields; its position, with a name and description of
// its own, is the inner location. The category and subcategory are the two number fields: the
// category objects handed out are new ones made for those numbers, and the ones handed in are
// read for their numbers, so that the numbers and the objects can never disagree.
class CPOIObject : public CPOIObjectBase {
public:
    HRESULT GetCategory(IPOICategoryObject** ppCategory) override;
    HRESULT SetCategory(IPOICategoryObject* pCategory) override;
    HRESULT GetSubCategory(IPOISubCategoryObject** ppSubCategory) override;
    HRESULT SetSubCategory(IPOISubCategoryObject* pSubCategory) override;

    HRESULT SetLocation(ILocationObject* pLocation) override {
        return m_location.SetLocation(pLocation);
    }
    HRESULT GetLocation(ILocationObject** ppLocation) override {
        return m_location.GetLocation(ppLocation);
    }
    HRESULT GetLatitude(DOUBLE* pdLatitude) override { return m_location.GetLatitude(pdLatitude); }
    HRESULT GetLongitude(DOUBLE* pdLongitude) override {
        return m_location.GetLongitude(pdLongitude);
    }
    HRESULT SetLatitude(DOUBLE dLatitude) override { return m_location.SetLatitude(dLatitude); }
    HRESULT SetLongitude(DOUBLE dLongitude) override { return m_location.SetLongitude(dLongitude); }
    HRESULT IsValid(VARIANT_BOOL* pbValid) override { return m_location.IsValid(pbValid); }
    HRESULT HasMediaFile(VARIANT_BOOL* pbHasMediaFile) override;

    HRESULT GetBearing(HeadingType eHeadingType, ILocationObject* pTo,
                       BSTR* pbstrBearing) override {
        return m_location.GetBearing(eHeadingType, pTo, pbstrBearing);
    }
    HRESULT GetRelativeHeading(SHORT nHeading, ILocationObject* pTo,
                               BSTR* pbstrRelativeHeading) override {
        return m_location.GetRelativeHeading(nHeading, pTo, pbstrRelativeHeading);
    }
    HRESULT GetDistance(ILocationObject* pTo, LONG* pnDistance) override {
        return m_location.GetDistance(pTo, pnDistance);
    }
    HRESULT GetBearingDegrees(ILocationObject* pTo, SHORT* pnBearing) override {
        return m_location.GetBearingDegrees(pTo, pnBearing);
    }
    HRESULT GetDistanceDescription(ILocationObject* pTo, BSTR* pbstrDistance) override {
        return m_location.GetDistanceDescription(pTo, pbstrDistance);
    }
    HRESULT GetDistanceAndHeading(SHORT nHeading, ILocationObject* pTo,
                                  BSTR* pbstrDescription) override {
        return m_location.GetDistanceAndHeading(nHeading, pTo, pbstrDescription);
    }
    HRESULT GetDistanceAndHeadingAndName(SHORT nHeading, ILocationObject* pTo,
                                         IDescriptionConfigurationObject* pConfig,
                                         BSTR* pbstrDescription) override {
        return m_location.GetDistanceAndHeadingAndName(nHeading, pTo, pConfig, pbstrDescription);
    }

private:
    gpscore::InnerLocation m_location;
};

#endif // GPSCORE_POI_POIOBJECT_H_
