// The state of a step-by-step address search that the client passes to each search call: the
// text typed so far, the entry chosen last, matching by beginning, the house number, what the
// last list holds, the range indicator and the list limit.
#ifndef GPSCORE_ADDRESS_ADDRESSSEARCHCONFIGURATIONOBJECT_H_
#define GPSCORE_ADDRESS_ADDRESSSEARCHCONFIGURATIONOBJECT_H_

#include "GPSLib_classes.h"

class CAddressSearchConfigurationObject : public CAddressSearchConfigurationObjectBase {};

#endif // GPSCORE_ADDRESS_ADDRESSSEARCHCONFIGURATIONOBJECT_H_
