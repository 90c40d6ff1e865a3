// The place the user is heading for: a location and the side of the street.
#ifndef GPSCORE_ORIENTATION_DESTINATIONOBJECT_H_
#define GPSCORE_ORIENTATION_DESTINATIONOBJECT_H_

#include <optional>

#include "GPSLib_classes.h"
#include "base/Place.h"

// Everything but the side of the street is answered by the inner location.
class CDestinationObject : public CDestinationObjectBase {
public:
    // Internal setter of the core.
    void SetSideOfStreet(SideOfStreet eSide) { m_eSideOfStreet = eSide; }
};

namespace gpscore {

// A new destination object holding a copy of `place` (an empty one for none) and the side of
// the street.
HRESULT NewDestinationObject(const std::optional<Place>& place, SideOfStreet side,
                             IDestinationObject** destination);

} // namespace gpscore

#endif // GPSCORE_ORIENTATION_DESTINATIONOBJECT_H_
