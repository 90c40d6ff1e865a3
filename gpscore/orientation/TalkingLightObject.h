// A talking traffic light (kept for clients; no behaviour).
#ifndef GPSCORE_ORIENTATION_TALKINGLIGHTOBJECT_H_
#define GPSCORE_ORIENTATION_TALKINGLIGHTOBJECT_H_

#include "GPSLib_classes.h"

class CTalkingLightObject : public CTalkingLightObjectBase {};

#endif // GPSCORE_ORIENTATION_TALKINGLIGHTOBJECT_H_
