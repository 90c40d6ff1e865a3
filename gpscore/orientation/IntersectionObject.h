// An intersection with its streets and the way each leaves it.
#ifndef GPSCORE_ORIENTATION_INTERSECTIONOBJECT_H_
#define GPSCORE_ORIENTATION_INTERSECTIONOBJECT_H_

#include <string_view>

#include "GPSLib_classes.h"
#include "orientation/InnerLocation.h"

// The four texts are plain storage that the core fills; the position is the inner location,
// which answers the location methods.
class CIntersectionObject : public CIntersectionObjectBase {
public:
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
    void SetIntersectionDescription(std::u16string_view text) {
        m_bstrIntersectionDescription = gpslib::Bstr(text);
    }
    void SetIntersectionDescriptionDetailed(std::u16string_view text) {
        m_bstrIntersectionDescriptionDetailed = gpslib::Bstr(text);
    }
    void SetCurrentStreetName(std::u16string_view text) {
        m_bstrCurrentStreetName = gpslib::Bstr(text);
    }
    void SetCrossStreets(std::u16string_view text) { m_bstrCrossStreets = gpslib::Bstr(text); }
    // The inner location (no reference added); null only when its creation failed.
    ILocationObject* InnerLocation() const { return m_location.Get(); }
    // Holds `pLocation` itself as the inner location, by reference.
    void ShareLocation(ILocationObject* pLocation) { m_location.Share(pLocation); }

private:
    gpscore::InnerLocation m_location;
};

#endif // GPSCORE_ORIENTATION_INTERSECTIONOBJECT_H_
