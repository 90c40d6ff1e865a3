#include "orientation/LookaroundSettingsObject.h"

GPSLIB_CLASS_FACTORY(LookaroundSettingsObject, CLookaroundSettingsObject)
