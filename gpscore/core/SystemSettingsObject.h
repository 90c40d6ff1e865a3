// The user's global preferences: units, heading style, arrival distances, folders.
#ifndef GPSCORE_CORE_SYSTEMSETTINGSOBJECT_H_
#define GPSCORE_CORE_SYSTEMSETTINGSOBJECT_H_

#include "GPSLib_classes.h"

class CSystemSettingsObject : public CSystemSettingsObjectBase {};

#endif // GPSCORE_CORE_SYSTEMSETTINGSOBJECT_H_
