// A crossing as a client gets it: its description and each fact as a property; the position is
// the inner location, which answers the location methods.
#ifndef GPSCORE_ORIENTATION_CROSSINGOBJECT_H_
#define GPSCORE_ORIENTATION_CROSSINGOBJECT_H_

#include "GPSLib_classes.h"
#include "orientation/Crossings.h"

class CCrossingObject : public CCrossingObjectBase {
public:
    // The core's setter: every field from the answer, lengths in `units`.
    void Fill(const gpscore::CrossingAnswer& answer, Units units);
};

namespace gpscore {

HRESULT NewCrossingObject(const CrossingAnswer& answer, Units units, ICrossingObject** result);

} // namespace gpscore

#endif // GPSCORE_ORIENTATION_CROSSINGOBJECT_H_
