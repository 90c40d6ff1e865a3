// POI search: the found list and the candidate list, the search that continues further out when
// called again, the direction and text filters, and the descriptions of the last search. The
// home of POIsFind…, POIsGetNumberFoundFromPreviousSearch, POIGetLastSearch…, POIGet, POIAdd,
// POIUpdate, POIDelete, the user-POI and category methods. Nothing of it is built yet; the
// facade answers those methods "not implemented" until it is.
#ifndef GPSCORE_POI_POISEARCH_H_
#define GPSCORE_POI_POISEARCH_H_

#include "GPSLib_classes.h"

namespace gpscore {

struct ServiceContext;

// REQUIRES for every method: the service's core lock held.
class POISearch {
public:
    explicit POISearch(ServiceContext& context) : m_context(context) {}

    // Start makes the search location; Stop empties the result lists and lets it go.
    void Start();
    void Stop();

private:
    ServiceContext& m_context;
    // The location of POI searches.
    gpslib::ComPtr<ILocationObject> m_pPOISearchLocation;
};

} // namespace gpscore

#endif // GPSCORE_POI_POISEARCH_H_
