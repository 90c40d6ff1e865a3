// The filters and limits of a POI search.
#ifndef GPSCORE_POI_POISEARCHCONFIGURATIONOBJECT_H_
#define GPSCORE_POI_POISEARCHCONFIGURATIONOBJECT_H_

#include "GPSLib_classes.h"

class CPOISearchConfigurationObject : public CPOISearchConfigurationObjectBase {};

#endif // GPSCORE_POI_POISEARCHCONFIGURATIONOBJECT_H_
