// The place the user is heading for: a location and the side of the street.
#ifndef GPSCORE_ORIENTATION_DESTINATIONOBJECT_H_
#define GPSCORE_ORIENTATION_DESTINATIONOBJECT_H_

#include "GPSLib_classes.h"
#include "orientation/InnerLocation.h"

// Everything but the side of the street is answered by the inner location. The core shares the
// location a client names as the destination (so later changes to it are seen here) and copies
// it for the destination it hands out.
class CDestinationObject : public CDestinationObjectBase {
public:
    HRESULT SetDescription(BSTR bstrDescription) override;
    HRESULT GetName(BSTR* pbstrName) override;
    HRESULT SetName(BSTR bstrName) override;
    HRESULT GetDescription(BSTR* pbstrDescription) override;
    HRESULT SetLocation(ILocationObject* pLocation) override;
    HRESULT SetLatitude(DOUBLE dLatitude) override;
    HRESULT SetLongitude(DOUBLE dLongitude) override;
    HRESULT IsValid(VARIANT_BOOL* pbValid) override;
    HRESULT GetLocation(ILocationObject** ppLocation) override;
    HRESULT GetLatitude(DOUBLE* pdLatitude) override;
    HRESULT GetLongitude(DOUBLE* pdLongitude) override;
    HRESULT GetBearing(HeadingType eHeadingType, ILocationObject* pTo, BSTR* pbstrBearing) override;
    HRESULT GetRelativeHeading(SHORT nHeading, ILocationObject* pTo,
                               BSTR* pbstrRelativeHeading) override;
    HRESULT GetDistance(ILocationObject* pTo, LONG* pnDistance) override;
    HRESULT GetBearingDegrees(ILocationObject* pTo, SHORT* pnBearing) override;
    HRESULT GetDistanceDescription(ILocationObject* pTo, BSTR* pbstrDistance) override;
    HRESULT GetDistanceAndHeading(SHORT nHeading, ILocationObject* pTo,
                                  BSTR* pbstrDescription) override;
    HRESULT GetDistanceAndHeadingAndName(SHORT nHeading, ILocationObject* pTo,
                                         IDescriptionConfigurationObject* pConfig,
                                         BSTR* pbstrDescription) override;

    // Internal setters of the core.
    void SetSideOfStreet(SideOfStreet eSide) { m_eSideOfStreet = eSide; }
    // The inner location (no reference added); null only when its creation failed.
    ILocationObject* InnerLocation() const { return m_location.Get(); }
    // Holds `pLocation` itself as the inner location, by reference.
    void ShareLocation(ILocationObject* pLocation) { m_location.Share(pLocation); }

private:
    gpscore::InnerLocation m_location;
};

#endif // GPSCORE_ORIENTATION_DESTINATIONOBJECT_H_
