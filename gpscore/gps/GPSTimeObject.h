// A snapshot of the receiver's UTC time.
#ifndef GPSCORE_GPS_GPSTIMEOBJECT_H_
#define GPSCORE_GPS_GPSTIMEOBJECT_H_

#include "GPSLib_classes.h"

// All six fields are 0 until the receiver has delivered a time.
class CGPSTimeObject : public CGPSTimeObjectBase {
public:
    HRESULT IsValid(VARIANT_BOOL* pbValid) override;

    // Internal setter of the core.
    void SetTime(SHORT year, SHORT month, SHORT day, SHORT hour, SHORT minutes, SHORT seconds) {
        m_nYear = year;
        m_nMonth = month;
        m_nDay = day;
        m_nHour = hour;
        m_nMinutes = minutes;
        m_nSeconds = seconds;
    }
};

#endif // GPSCORE_GPS_GPSTIMEOBJECT_H_
