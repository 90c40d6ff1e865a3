// The position and heading a Mode answers for, shared by the facade's street and walker files.
#ifndef GPSCORE_CORE_MODEPLACE_H_
#define GPSCORE_CORE_MODEPLACE_H_

#include "GPSLib_classes.h"
#include "base/LocationObject.h"
#include "orientation/VirtualWalker.h"

namespace gpscore {

// The live fix, or the walker, whose heading counts only when it was not merely implied. False
// for a value outside the enumeration or before Start.
inline bool PlaceOfMode(Mode mode, IGPSObject* gps, const VirtualWalker& walker,
                        gpslib::ComPtr<ILocationObject>* place, SHORT* heading) {
    *heading = -1;
    if (mode == GPSMode) {
        if (gps == nullptr) return false;
        gps->GetLocation(place->Put());
        gps->GetHeadingDegrees(heading);
    } else if (mode == VirtualMode) {
        if (!walker.Active()) return false;
        *place = NewLocation(walker.Where());
        if (!walker.HeadingImplied()) *heading = walker.Heading();
    } else {
        return false;
    }
    if (*heading < -1 || *heading > 359) *heading = -1;
    return place->Get() != nullptr;
}

inline bool IsMode(Mode mode) {
    return mode == GPSMode || mode == VirtualMode;
}

} // namespace gpscore

#endif // GPSCORE_CORE_MODEPLACE_H_
