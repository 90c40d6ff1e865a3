// Lookaround: what the service watches around a walking user between their questions. The poll
// cycle decides when each watch runs; each one raises its events through RaiseEvent.
#include "core/GPSCore.h"

// The street, city and map under the user, compared with the last ones announced. Needs maps.
void CGPSCore::LookaroundCheckChanges() {}

// The intersection the user is approaching. Needs maps.
void CGPSCore::LookaroundCheckIntersection() {}

// Points of interest near the user. Needs the POI search.
void CGPSCore::LookaroundCheckPOIs() {}
