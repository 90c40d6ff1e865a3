#include "orientation/TalkingLightObject.h"

GPSLIB_CLASS_FACTORY(TalkingLightObject, CTalkingLightObject)
