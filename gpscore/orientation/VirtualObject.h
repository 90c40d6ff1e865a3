// The virtual walker's position, heading and street.
#ifndef GPSCORE_ORIENTATION_VIRTUALOBJECT_H_
#define GPSCORE_ORIENTATION_VIRTUALOBJECT_H_

#include <string_view>

#include "GPSLib_classes.h"

// The walker's position, name and description live in the inner location, which answers the
// location methods; the direction questions pass the walker's own heading to it.
class CVirtualObject : public CVirtualObjectBase {
public:
    HRESULT SetHeading(SHORT nHeading) override;
    // The spoken form of the walker's heading, in degrees or as a compass point.
    HRESULT GetHeading(HeadingType eHeadingType, BSTR* pbstrHeading) override;
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
};

#endif // GPSCORE_ORIENTATION_VIRTUALOBJECT_H_
