// An address found by address search: its text, map, city, postal code, street and name, and
// its position.
#ifndef GPSCORE_ADDRESS_ADDRESSOBJECT_H_
#define GPSCORE_ADDRESS_ADDRESSOBJECT_H_

#include "GPSLib_classes.h"

// The texts are fields; the position is the inner location, which answers every location
// method unchanged.
class CAddressObject : public CAddressObjectBase {
public:
    // A new StreetObject with the address's map, city, postal code and street.
    HRESULT GetStreetObject(IStreetObject** ppStreet) override;
};

#endif // GPSCORE_ADDRESS_ADDRESSOBJECT_H_
