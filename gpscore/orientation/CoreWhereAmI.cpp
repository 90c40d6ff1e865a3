// Where Am I: the place under a position, from the maps.
#include "core/GPSCore.h"

// Without maps no place is known.
bool CGPSCore::NearestPlaceNames(ILocationObject*, std::u16string*, std::u16string*,
                                 std::u16string*) {
    return false;
}
