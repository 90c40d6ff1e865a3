// The live GPS fix record: position, heading, speed and fix data.
#ifndef GPSCORE_GPS_GPSOBJECT_H_
#define GPSCORE_GPS_GPSOBJECT_H_

#include "GPSLib_classes.h"
#include "os/sync.h"

namespace gpscore {
class ReceiverState;
}

// The position lives in the inner LocationObject, which answers the location methods (once the
// polling thread writes the fix, every read of it takes the object's data lock). Beside
// the interface, six operations reach that location unchanged: the parsers set the position
// through the last two, the core reads the name and description through the others.
class CGPSObject : public CGPSObjectBase {
public:
    // The data lock: every read and write of the fix record holds it. Taken after the core lock
    // and the poll lock, never before them.
    gpslib::os::CriticalSection& DataLock() { return m_csData; }

    // The spoken form of the averaged heading, in degrees or as a compass point.
    HRESULT GetHeading(HeadingType eHeadingType, BSTR* pbstrHeading) override;

    virtual HRESULT GetName(BSTR* pbstrName) { return Inner(&ILocationObject::GetName, pbstrName); }
    virtual HRESULT SetName(BSTR bstrName) { return Inner(&ILocationObject::SetName, bstrName); }
    virtual HRESULT GetDescription(BSTR* pbstrDescription) {
        return Inner(&ILocationObject::GetDescription, pbstrDescription);
    }
    virtual HRESULT SetLocation(ILocationObject* pLocation) {
        return Inner(&ILocationObject::SetLocation, pLocation);
    }
    virtual HRESULT SetLongitude(DOUBLE dLongitude) {
        return Inner(&ILocationObject::SetLongitude, dLongitude);
    }
    virtual HRESULT SetLatitude(DOUBLE dLatitude) {
        return Inner(&ILocationObject::SetLatitude, dLatitude);
    }

private:
    // The receiver state writes the record's fields, always under the data lock.
    friend class gpscore::ReceiverState;

    template <class Arg> HRESULT Inner(HRESULT (ILocationObject::*op)(Arg), Arg arg) {
        return m_pLocation ? (m_pLocation.Get()->*op)(arg) : E_FAIL;
    }

    gpslib::os::CriticalSection m_csData;
};

#endif // GPSCORE_GPS_GPSOBJECT_H_
