#include "events/AutomaticEventObject.h"

GPSLIB_CLASS_FACTORY(AutomaticEventObject, CAutomaticEventObject)
