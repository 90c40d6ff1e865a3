// The map engine's FindPOIs on the runtime's objects: reads the location and the search
// configuration, runs one ring of PoiSearch::FindPOIs, appends the hits to the candidate list.
#ifndef DATABASE_POISEARCHCOM_H_
#define DATABASE_POISEARCHCOM_H_

#include <gpslib/GPSDatabaseLib.h>

#include "PoiSearch.h"

namespace gpsdb {

// E_POINTER for a null distance or flag; with a null location, configuration or list nothing is
// searched and the answer is "not found".
HRESULT FindPOIs(PoiSearch* search, ILocationObject* location,
                 IPOISearchConfigurationObject* configuration, LONG poiFileIndex,
                 IPOIResults* candidates, DOUBLE* searchDistanceKm, VARIANT_BOOL* found);

// What the configuration asks for, in the library's terms.
PoiQuery QueryFrom(ILocationObject* location, IPOISearchConfigurationObject* configuration);

} // namespace gpsdb

#endif // DATABASE_POISEARCHCOM_H_
