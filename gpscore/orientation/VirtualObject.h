// The virtual walker's position, heading and street.
#ifndef GPSCORE_ORIENTATION_VIRTUALOBJECT_H_
#define GPSCORE_ORIENTATION_VIRTUALOBJECT_H_

#include <string_view>

#include "GPSLib_classes.h"
#include "orientation/InnerLocation.h"

// The walker's position, name and description live in the inner location, which answers the
// location methods; the direction questions pass the walker's own heading to it.
class CVirtualObject : public CVirtualObjectBase {
public:
    HRESULT SetHeading(SHORT nHeading) override;
    HRESULT GetName(BSTR* pbstrName) override;
    HRESULT SetName(BSTR bstrName) override;
    HRESULT GetDescription(BSTR* pbstrDescription) override;
    HRESULT SetLocation(ILocationObject* pLocation) override;
    HRESULT IsValid(VARIANT_BOOL* pbValid) override;
    HRESULT GetLocation(ILocationObject** ppLocation) override;
    HRESULT GetLatitude(DOUBLE* pdLatitude) override;
    HRESULT GetLongitude(DOUBLE* pdLongitude) override;
    HRESULT GetBearing(HeadingType eHeadingType, ILocationObject* pTo, BSTR* pbstrBearing) override;
    HRESULT GetDistance(ILocationObject* pTo, LONG* pnDistance) override;
    HRESULT GetBearingDegrees(ILocationObject* pTo, SHORT* pnBearing) override;
    HRESULT GetDistanceDescription(ILocationObject* pTo, BSTR* pbstrDistance) override;
    HRESULT GetRelativeHeading(ILocationObject* pTo, BSTR* pbstrRelativeHeading) override;
    HRESULT IsHeadingValid(VARIANT_BOOL* pbValid) override;
    HRESULT GetDistanceAndHeading(ILocationObject* pTo, BSTR* pbstrDescription) override;
    HRESULT GetDistanceAndHeadingAndName(ILocationObject* pTo,
                                         IDescriptionConfigurationObject* pConfig,
                                         BSTR* pbstrDescription) override;

    // Internal setters of the core.
    void SetCurrentStreetName(std::u16string_view name) {
        m_bstrCurrentStreetName = gpslib::Bstr(name);
    }
    // The inner location (no reference added); null only when its creation failed.
    ILocationObject* InnerLocation() const { return m_location.Get(); }

private:
    gpscore::InnerLocation m_location;
};

#endif // GPSCORE_ORIENTATION_VIRTUALOBJECT_H_
