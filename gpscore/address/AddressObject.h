// An address found by address search: its text, map, city, postal code, street and name, and
// its position.
#ifndef GPSCORE_ADDRESS_ADDRESSOBJECT_H_
#define GPSCORE_ADDRESS_ADDRESSOBJECT_H_

#include "GPSLib_classes.h"
#include "orientation/InnerLocation.h"

// The texts are fields; the position is the inner location, which answers every location
// method unchanged.
class CAddressObject : public CAddressObjectBase {
public:
    HRESULT SetLocation(ILocationObject* pLocation) override {
        return m_location.SetLocation(pLocation);
    }
    HRESULT SetLatitude(DOUBLE dLatitude) override { return m_location.SetLatitude(dLatitude); }
    HRESULT SetLongitude(DOUBLE dLongitude) override { return m_location.SetLongitude(dLongitude); }
    HRESULT IsValid(VARIANT_BOOL* pbValid) override { return m_location.IsValid(pbValid); }
    HRESULT GetLocation(ILocationObject** ppLocation) override {
        return m_location.GetLocation(ppLocation);
    }
    HRESULT GetLatitude(DOUBLE* pdLatitude) override { return m_location.GetLatitude(pdLatitude); }
    HRESULT GetLongitude(DOUBLE* pdLongitude) override {
        return m_location.GetLongitude(pdLongitude);
    }

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

    // A new StreetObject with the address's map, city, postal code and street.
    HRESULT GetStreetObject(IStreetObject** ppStreet) override;

private:
    gpscore::InnerLocation m_location;
};

#endif // GPSCORE_ADDRESS_ADDRESSOBJECT_H_
