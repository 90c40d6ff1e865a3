// Which parts a distance-and-heading description includes.
#ifndef GPSCORE_ORIENTATION_DESCRIPTIONCONFIGURATIONOBJECT_H_
#define GPSCORE_ORIENTATION_DESCRIPTIONCONFIGURATIONOBJECT_H_

#include "GPSLib_classes.h"

class CDescriptionConfigurationObject : public CDescriptionConfigurationObjectBase {};

#endif // GPSCORE_ORIENTATION_DESCRIPTIONCONFIGURATIONOBJECT_H_
