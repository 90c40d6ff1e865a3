// Which parts a POI description includes.
#ifndef GPSCORE_POI_POIDESCRIPTIONCONFIGURATIONOBJECT_H_
#define GPSCORE_POI_POIDESCRIPTIONCONFIGURATIONOBJECT_H_

#include "GPSLib_classes.h"

class CPOIDescriptionConfigurationObject : public CPOIDescriptionConfigurationObjectBase {};

#endif // GPSCORE_POI_POIDESCRIPTIONCONFIGURATIONOBJECT_H_
