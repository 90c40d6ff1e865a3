#include "PoiSearchCom.h"

#include <gpslib/support.h>

namespace gpsdb {

PoiQuery QueryFrom(ILocationObject* location, IPOISearchConfigurationObject* c) {
    PoiQuery q;
    location->GetLatitude(&q.latitude);
    location->GetLongitude(&q.longitude);
    SHORT category = 0, subcategory = 0, heading = -1;
    c->GetCategoryNumber(&category);
    c->GetSubCategoryNumber(&subcategory);
    c->GetCurrentHeadingDegrees(&heading);
    Directions direction = DirectionAll;
    c->GetSearchDirection(&direction);
    VARIANT_BOOL privateOnly = 0, publicOnly = 0, includePrivate = 0;
    c->GetUserPrivateOnly(&privateOnly);
    c->GetUserPublicOnly(&publicOnly);
    c->IncludeUserPrivateAsWell(&includePrivate);
    LONG max = 25;
    c->GetMaxSearchResults(&max);
    c->GetDistanceStarting(&q.distanceStartingKm);
    q.category = category;
    q.subcategory = subcategory;
    q.heading = heading;
    q.direction = static_cast<int>(direction);
    q.privateOnly = privateOnly != 0;
    q.publicOnly = publicOnly != 0;
    q.includePrivate = includePrivate != 0;
    q.maxResults = max > 0 ? max : 25;
    return q;
}

HRESULT FindPOIs(PoiSearch* search, ILocationObject* location,
                 IPOISearchConfigurationObject* configuration, LONG poiFileIndex,
                 IPOIResults* candidates, DOUBLE* searchDistanceKm, VARIANT_BOOL* found) {
    if (searchDistanceKm == nullptr || found == nullptr) return E_POINTER;
    *found = VARIANT_FALSE;
    if (search == nullptr || location == nullptr || configuration == nullptr ||
        candidates == nullptr)
        return S_OK;
    PoiQuery query = QueryFrom(location, configuration);
    query.fileIndex = poiFileIndex;
    std::vector<PoiHit> hits;
    double distance = *searchDistanceKm;
    bool any = search->FindPOIs(query, &distance, &hits);
    *searchDistanceKm = distance;
    for (const PoiHit& hit : hits) {
        gpslib::Bstr name(hit.name);
        candidates->Add(name.Get(), static_cast<LONG>(hit.key));
    }
    *found = gpslib::VariantBool(any);
    return S_OK;
}

} // namespace gpsdb
