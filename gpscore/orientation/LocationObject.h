// A position with a name and a description; the position value of the whole surface.
#ifndef GPSCORE_ORIENTATION_LOCATIONOBJECT_H_
#define GPSCORE_ORIENTATION_LOCATIONOBJECT_H_

#include "GPSLib_classes.h"

// Latitude and longitude are signed decimal degrees (north and east positive); 0.0/0.0 means no
// position. The hemisphere and degree/minute/second views are computed from them on each call.
class CLocationObject : public CLocationObjectBase {
public:
    HRESULT GetLatitudeHemisphere(LatitudeHemisphere* peHemisphere) override;
    HRESULT SetLatitudeHemisphere(LatitudeHemisphere eHemisphere) override;
    HRESULT GetLongitudeHemisphere(LongitudeHemisphere* peHemisphere) override;
    HRESULT SetLongitudeHemisphere(LongitudeHemisphere eHemisphere) override;
    HRESULT GetLatitudeDegrees(SHORT* pnDegrees) override;
    HRESULT GetLatitudeMinutes(SHORT* pnMinutes) override;
    HRESULT GetLatitudeSeconds(DOUBLE* pdSeconds) override;
    HRESULT SetLatitudeDegreesMinutesSeconds(SHORT nDegrees, SHORT nMinutes,
                                             DOUBLE dSeconds) override;
    HRESULT GetLongitudeDegrees(SHORT* pnDegrees) override;
    HRESULT GetLongitudeMinutes(SHORT* pnMinutes) override;
    HRESULT GetLongitudeSeconds(DOUBLE* pdSeconds) override;
    HRESULT SetLongitudeDegreesMinutesSeconds(SHORT nDegrees, SHORT nMinutes,
                                              DOUBLE dSeconds) override;
    HRESULT SetLocation(ILocationObject* pLocation) override;
    HRESULT IsValid(VARIANT_BOOL* pbValid) override;
    HRESULT GetLocation(ILocationObject** ppLocation) override;
};

#endif // GPSCORE_ORIENTATION_LOCATIONOBJECT_H_
