#include "orientation/WhereAmI.h"

namespace gpscore {

// Until the street answers are built no place is known.
bool WhereAmI::NearestPlaceNames(ILocationObject*, std::u16string*, std::u16string*,
                                 std::u16string*) const {
    return false;
}

} // namespace gpscore
