// What lookaround announces while the user walks or drives.
#ifndef GPSCORE_ORIENTATION_LOOKAROUNDSETTINGSOBJECT_H_
#define GPSCORE_ORIENTATION_LOOKAROUNDSETTINGSOBJECT_H_

#include "GPSLib_classes.h"

class CLookaroundSettingsObject : public CLookaroundSettingsObjectBase {};

#endif // GPSCORE_ORIENTATION_LOOKAROUNDSETTINGSOBJECT_H_
