// The state of a step-by-step address search that the client passes to each search call: the
// text typed so far, the entry chosen last, matching by beginning, the house number, what the
// last list holds, the range indicator and the list limit.
#ifndef GPSCORE_ADDRESS_ADDRESSSEARCHCONFIGURATIONOBJECT_H_
#define GPSCORE_ADDRESS_ADDRESSSEARCHCONFIGURATIONOBJECT_H_

#include "GPSLib_classes.h"
#include "address/AddressSearch.h"

class CAddressSearchConfigurationObject : public CAddressSearchConfigurationObjectBase {};

namespace gpscore {

// What the configuration holds, each field as its getter answers it.
AddressQuery ReadAddressQuery(IAddressSearchConfigurationObject* config);
// Sets the fields of `query` that differ from `was` (every field without `was`).
void WriteAddressQuery(const AddressQuery& query, IAddressSearchConfigurationObject* config,
                       const AddressQuery* was = nullptr);
// A new configuration holding `query` (null only when the runtime cannot make one).
gpslib::ComPtr<IAddressSearchConfigurationObject>
NewAddressSearchConfiguration(const AddressQuery& query);

} // namespace gpscore

#endif // GPSCORE_ADDRESS_ADDRESSSEARCHCONFIGURATIONOBJECT_H_
