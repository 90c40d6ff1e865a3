// The place the user is heading for: a location and the side of the street.
#ifndef GPSCORE_ORIENTATION_DESTINATIONOBJECT_H_
#define GPSCORE_ORIENTATION_DESTINATIONOBJECT_H_

#include "GPSLib_classes.h"

// Everything but the side of the street is answered by the inner location. The core shares the
// location a client names as the destination (ShareLocation: later changes to it are seen here)
// and copies it for the destination it hands out.
class CDestinationObject : public CDestinationObjectBase {
public:
    // Internal setter of the core.
    void SetSideOfStreet(SideOfStreet eSide) { m_eSideOfStreet = eSide; }
};

#endif // GPSCORE_ORIENTATION_DESTINATIONOBJECT_H_
