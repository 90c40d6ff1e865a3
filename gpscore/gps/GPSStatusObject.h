// A snapshot of the receiver's fix quality and accuracy.
#ifndef GPSCORE_GPS_GPSSTATUSOBJECT_H_
#define GPSCORE_GPS_GPSSTATUSOBJECT_H_

#include "GPSLib_classes.h"

// Plain storage filled by the core when a client asks for the receiver status. The accuracy
// and its description follow the same rules as the live GPS object's, over the snapshot (the
// differential flag standing for the differential fix quality).
class CGPSStatusObject : public CGPSStatusObjectBase {
public:
    HRESULT GetEstimatedAccuracy(SHORT* pnAccuracy) override;
    HRESULT GetEstimatedAccuracyDescription(BSTR* pbstrDescription) override;

    // Internal setters of the core.
    void SetFixQuality(GPSQuality quality) { m_eFixQuality = quality; }
    void SetDifferential(VARIANT_BOOL differential) { m_bDifferential = differential; }
    void SetHasFix(VARIANT_BOOL hasFix) { m_bHasFix = hasFix; }
    void SetSatellites(SHORT satellites) { m_nSatellites = satellites; }
    void SetVDOP(DOUBLE vdop) { m_dVDOP = vdop; }
    void SetHDOP(DOUBLE hdop) { m_dHDOP = hdop; }
    // -1.0 while unknown.
    void SetEstimatedAccuracyMeters(DOUBLE meters) { m_dEstimatedAccuracyMeters = meters; }
};

#endif // GPSCORE_GPS_GPSSTATUSOBJECT_H_
