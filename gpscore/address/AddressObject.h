// An address found by address search: its text, map, city, postal code, street and name, and
// its position.
#ifndef GPSCORE_ADDRESS_ADDRESSOBJECT_H_
#define GPSCORE_ADDRESS_ADDRESSOBJECT_H_

#include "GPSLib_classes.h"
#include "address/AddressSearch.h"

// The texts are fields; the position is the inner location, which answers every location
// method unchanged.
class CAddressObject : public CAddressObjectBase {
public:
    // A new StreetObject with the address's map, city, postal code and street.
    HRESULT GetStreetObject(IStreetObject** ppStreet) override;
};

namespace gpscore {

// Reads every text and the position of `address` (null: an empty place).
AddressPlace ReadAddress(IAddressObject* address);
// A new address object holding `place`, its inner location named by the address text; S_FALSE
// (and no object) when the runtime cannot make or fill one.
HRESULT NewAddressObject(const AddressPlace& place, IAddressObject** result);

} // namespace gpscore

#endif // GPSCORE_ADDRESS_ADDRESSOBJECT_H_
