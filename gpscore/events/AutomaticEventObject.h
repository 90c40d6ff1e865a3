// One automatic event: its type, urgency, description and place.
#ifndef GPSCORE_EVENTS_AUTOMATICEVENTOBJECT_H_
#define GPSCORE_EVENTS_AUTOMATICEVENTOBJECT_H_

#include "GPSLib_classes.h"

class CAutomaticEventObject : public CAutomaticEventObjectBase {};

#endif // GPSCORE_EVENTS_AUTOMATICEVENTOBJECT_H_
