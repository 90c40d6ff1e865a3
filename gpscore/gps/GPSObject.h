// The live GPS fix record: position, heading, speed and fix data.
#ifndef GPSCORE_GPS_GPSOBJECT_H_
#define GPSCORE_GPS_GPSOBJECT_H_

#include "GPSLib_classes.h"
#include "orientation/InnerLocation.h"

// The position lives in an inner LocationObject. Beside the interface, six operations reach
// that location unchanged: the parsers set the position through the last two, the core reads the
// name and description through the others.
class CGPSObject : public CGPSObjectBase {
public:
    virtual HRESULT GetName(BSTR* pbstrName) { return m_location.GetName(pbstrName); }
    virtual HRESULT SetName(BSTR bstrName) { return m_location.SetName(bstrName); }
    virtual HRESULT GetDescription(BSTR* pbstrDescription) {
        return m_location.GetDescription(pbstrDescription);
    }
    virtual HRESULT SetLocation(ILocationObject* pLocation) {
        return m_location.SetLocation(pLocation);
    }
    virtual HRESULT SetLongitude(DOUBLE dLongitude) { return m_location.SetLongitude(dLongitude); }
    virtual HRESULT SetLatitude(DOUBLE dLatitude) { return m_location.SetLatitude(dLatitude); }

    // The inner location (no reference added); null only when its creation failed.
    ILocationObject* InnerLocation() const { return m_location.Get(); }

private:
    gpscore::InnerLocation m_location;
};

#endif // GPSCORE_GPS_GPSOBJECT_H_
