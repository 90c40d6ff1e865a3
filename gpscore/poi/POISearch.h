// POI search: the found list and the candidate list, the search that continues further out when
// called again, the direction and text filters, and the descriptions of the last search; the
// POI categories, and the user's own POIs in "user.pdb" beside the maps.
#ifndef GPSCORE_POI_POISEARCH_H_
#define GPSCORE_POI_POISEARCH_H_

#include <gpslib/GPSLib_enums.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Place.h"
#include "poi/POIBuilder.h"

namespace gpscore {

struct ServiceContext;

// A POI search as the client's search configuration holds it (read and written back in
// poi/POISearchConfigurationObject.h). A search of the user category sets the user-POI
// visibility from the subcategory, and a short text not searched as a whole word is searched by
// its start: those changes are the client's to see.
struct POIQuery {
    std::u16string text; // the main search text: the first filled field of the search POI
    POIFields field = POI_FIELD_NAME;
    std::int16_t category = 0, subCategory = 0;
    bool newSearch = true;
    bool userPrivateOnly = false, userPublicOnly = false, includeUserPrivate = false;
    bool startsWith = false, wholeWord = false;
    std::int32_t maxResults = 25;
    std::int16_t maxSeconds = 10;   // 0: a single map search
    double distanceStarting = -1.0; // the first ring, in kilometres or miles; -1 none
    Directions direction = DirectionAll;
    std::int16_t heading = -1;
};

// What the descriptions of the last search include (the client's description configuration).
struct POIDescriptionQuery {
    bool dynamic = false, address = false, category = false, distance = false, tags = false;
};

// A category or subcategory as the lists show it; `nameId` 0 is the number's own name.
struct POICategoryEntry {
    std::int16_t category = 0, subCategory = 0;
    std::int32_t nameId = 0;
};

// REQUIRES for every method: the service's core lock held.
class POISearch {
public:
    explicit POISearch(ServiceContext& context) : m_context(context) {}

    // Start resets the search; Stop empties the result lists and lets them go.
    void Start();
    void Stop();

    // The farthest a search goes, in kilometres (10,000 miles).
    static constexpr double kMaxSearchDistanceKm = 16093.44;

    // --- Search
    // Runs one search call (a new one, or the continuation of the previous one) at `location`
    // and answers the found-list count; 0 when it ended without adding (time limit, maximum
    // distance, a single map search that found nothing, no database).
    std::int32_t FindDBPOIsInternal(const Place& location, POIQuery& query);
    // The search with `query` at `location`: the first POI this call added, seen from `here`
    // (none: nothing added), and the found-list count.
    std::optional<POIData> FindByLocation(const Place& location, POIQuery& query,
                                          const Standpoint& here, std::int32_t* found);
    // The five nearest, afresh, in one map search at the engine's own starting distance.
    std::optional<POIData> FindNearestByLocation(const Place& location, const Standpoint& here,
                                                 std::int32_t* found);
    std::int32_t FoundCount() const;
    // The found-list entry `index` seen from `here`; none outside the list or for a record
    // that is gone.
    std::optional<POIData> Get(std::int32_t index, const Standpoint& here) const;
    // The radius the last search reached, spoken in the user's units.
    std::u16string LastSearchDistanceDescription() const;
    bool LastSearchExceededMaxDistance() const { return m_dSearchDistance == kMaxSearchDistanceKm; }
    // One description per found POI, in found order.
    std::vector<std::u16string> LastSearchDescriptions(const Standpoint& here,
                                                       const POIDescriptionQuery& what) const;

    // --- Categories
    // The header entry, then the categories (of the loaded POI files, or all of them) in
    // display order.
    std::vector<POICategoryEntry> Categories(bool all, bool includeUserPrivate) const;
    // The header entry, then the subcategories of `category` (1..18); nothing for another.
    std::vector<POICategoryEntry> SubCategories(std::int16_t category, bool all,
                                                bool includeUserPrivate) const;
    std::int16_t CommercialFilesLoaded() const;

    // --- The user's own POIs
    std::u16string UserFile() const;
    // The map folder and the POI author of the system settings.
    std::u16string MapFolder() const;
    std::u16string Author() const;
    std::int16_t UserCount() const;
    // A new unsaved POI at the position of `here`, with the address found there; none (an
    // empty POI) without a POI database.
    std::optional<POIData> Create(POICreationType type, const Standpoint& here) const;
    // A new user POI at `location`, added to the user file.
    POIData CreateUser(const Place& location);
    // Adds the POI to the user file. The POI is completed as stored (user category unless it
    // names another, author, the stored media name) and gets its key and file on success.
    bool Add(POIData& poi);
    bool Update(const POIData& poi);
    bool Delete(const POIData& poi);
    // The user file's entry `index` seen from `here`; none outside the file.
    std::optional<POIData> GetUser(std::int32_t index, const Standpoint& here) const;
    // The names and keys of the user file, in key order; false when it cannot be read.
    bool AllUserNamesAndKeys(std::vector<std::u16string>* names,
                             std::vector<std::int32_t>* keys) const;
    std::int32_t UserNextFreeKey() const;
    void AddTag(std::int16_t subCategory, std::u16string_view tag);
    std::vector<std::u16string> Tags(std::int16_t subCategory) const;
    // Writes the POI's media file (`mediaFileName`, else its own) to `target`.
    bool ExtractMediaFile(const POIData& poi, std::u16string_view mediaFileName,
                          std::u16string_view target) const;
    std::u16string VacuumUserDatabase();

private:
    // The store a user-editable POI lives in: the user file, or a personal store; none for
    // commercial POIs and for a store that is not open.
    struct Owner {
        bool personal = false;
        std::u16string file;
    };
    std::optional<Owner> OwningFile(const std::u16string& pdbFile) const;
    // Elapsed whole seconds since `start` microseconds of the service's clock.
    double SecondsSince(std::uint64_t start) const;
    void ResetCandidates();

    ServiceContext& m_context;

    std::int32_t m_nFoundIndex = 0;
    double m_dSearchDistance = 0.0; // kilometres
    std::int32_t m_nSearchCursor = 0;
    std::int32_t m_nSkippedCount = 0;
    // The key of the previous search: main text, category, subcategory, main field.
    std::u16string m_bstrPreviousSearch;
    std::int16_t m_nPreviousCategory = -1;
    std::int16_t m_nPreviousSubCategory = -1;
    std::int32_t m_nPreviousField = -1;
};

} // namespace gpscore

#endif // GPSCORE_POI_POISEARCH_H_
