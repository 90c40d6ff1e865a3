// POI search: the found list and the candidate list, the search that continues further out when
// called again, the direction and text filters, and the descriptions of the last search; the
// POI categories, and the user's own POIs in "user.pdb" beside the maps.
#ifndef GPSCORE_POI_POISEARCH_H_
#define GPSCORE_POI_POISEARCH_H_

#include <string>

#include "GPSLib_classes.h"
#include "poi/POIObject.h"

namespace gpscore {

struct ServiceContext;

// REQUIRES for every method: the service's core lock held.
class POISearch {
public:
    explicit POISearch(ServiceContext& context) : m_context(context) {}

    // Start makes the search location; Stop empties the result lists and lets it go.
    void Start();
    void Stop();

    // The farthest a search goes, in kilometres (10,000 miles).
    static constexpr double kMaxSearchDistanceKm = 16093.44;

    // --- Search
    // Runs one search call (a new one, or the continuation of the previous one) and answers the
    // found-list count; 0 when it ended without adding (time limit, maximum distance, a single
    // map search that found nothing, no database).
    LONG FindDBPOIsInternal(ILocationObject* location, IPOISearchConfigurationObject* config);
    // The search with `config` at `location`; the POI is the first one this call added (built
    // for `mode`), else an empty POI.
    HRESULT FindByLocation(ILocationObject* location, IPOISearchConfigurationObject* config,
                           Mode mode, const ModePlaces& places, IPOIObject** ppPOI, LONG* found);
    // The five nearest, afresh, in one map search at the engine's own starting distance.
    HRESULT FindNearestByLocation(ILocationObject* location, const ModePlaces& places,
                                  IPOIObject** ppPOI, LONG* found);
    LONG FoundCount() const;
    // The found-list entry `index` as a POI for `mode`; an empty POI outside the list.
    HRESULT Get(LONG index, Mode mode, const ModePlaces& places, IPOIObject** ppPOI);
    // The radius the last search reached, spoken in the user's units.
    std::u16string LastSearchDistanceDescription() const;
    bool LastSearchExceededMaxDistance() const { return m_dSearchDistance == kMaxSearchDistanceKm; }
    // One description per found POI, in found order.
    HRESULT LastSearchDescriptions(Mode mode, IPOIDescriptionConfigurationObject* config,
                                   const ModePlaces& places, VARIANT* descriptions, LONG* count);

    // --- Categories
    // The header entry, then the categories (of the loaded POI files, or all of them) in
    // display order.
    HRESULT Categories(bool all, bool includeUserPrivate, VARIANT* list);
    // The header entry, then the subcategories of `category` (1..18).
    HRESULT SubCategories(SHORT category, bool all, bool includeUserPrivate, VARIANT* list);
    SHORT CommercialFilesLoaded() const;

    // --- The user's own POIs
    std::u16string UserFile() const;
    SHORT UserCount() const;
    // A new unsaved POI at the mode's position, with the address found there.
    HRESULT Create(Mode mode, POICreationType type, const ModePlaces& places, IPOIObject** ppPOI);
    HRESULT CreateUser(ILocationObject* location, IPOIObject** ppPOI);
    // Adds the POI to the user file; its key is set on success (left 0 when refused).
    bool Add(IPOIObject* poi);
    bool Update(IPOIObject* poi);
    bool Delete(IPOIObject* poi);
    HRESULT GetUser(LONG index, const ModePlaces& places, IPOIObject** ppPOI);
    HRESULT AllUserNamesAndKeys(VARIANT* names, VARIANT* keys, SHORT* count);
    LONG UserNextFreeKey() const;
    void AddTag(SHORT subCategory, BSTR tag);
    HRESULT Tags(SHORT subCategory, VARIANT* list);
    bool ExtractMediaFile(IPOIObject* poi, BSTR mediaFileName, BSTR target);
    std::u16string VacuumUserDatabase();

private:
    // The file and the database object a user-editable POI lives in; false for commercial POIs.
    bool OwningFile(IPOIObject* poi, IPOIDatabase** database, std::u16string* file) const;
    // Elapsed whole seconds since `start` microseconds of the service's clock.
    double SecondsSince(std::uint64_t start) const;
    void ResetCandidates();

    ServiceContext& m_context;
    // The location of POI searches.
    gpslib::ComPtr<ILocationObject> m_pPOISearchLocation;

    LONG m_nFoundIndex = 0;
    double m_dSearchDistance = 0.0; // kilometres
    LONG m_nSearchCursor = 0;
    LONG m_nSkippedCount = 0;
    // The key of the previous search: main text, category, subcategory, main field.
    std::u16string m_bstrPreviousSearch;
    SHORT m_nPreviousCategory = -1;
    SHORT m_nPreviousSubCategory = -1;
    LONG m_nPreviousField = -1;
};

} // namespace gpscore

#endif // GPSCORE_POI_POISEARCH_H_
