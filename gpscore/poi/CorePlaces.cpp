// The user's personal places: the history of places, favorites and annotations.
#include "core/GPSCore.h"

// The history store belongs to the database component; without it nothing is recorded.
void CGPSCore::AddPlaceToHistory(ILocationObject*, std::u16string_view) {}
