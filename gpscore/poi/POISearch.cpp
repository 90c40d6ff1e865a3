#include "poi/POISearch.h"

#include <cstdint>
#include <vector>

#include "base/Descriptions.h"
#include "base/LocationObject.h"
#include "base/ServiceContext.h"
#include "base/Utility.h"
#include "formats/Geodesy.h"
#include "os/env.h"
#include "os/path.h"
#include "poi/POIObject.h"
#include "poi/POISearchConfigurationObject.h"
#include "poi/PersonalPlaces.h"
#include "resources/StringIds.h"

namespace gpscore {

using gpslib::Bstr;
using gpslib::ComPtr;

namespace {

constexpr std::int32_t kNearestResults = 5;
constexpr std::int32_t kCandidatesPerRing = 500;

bool Contains(std::u16string_view text, std::u16string_view part) {
    return !part.empty() && text.find(part) != std::u16string_view::npos;
}

std::u16string Joined(const std::u16string& head, const std::vector<std::u16string>& parts) {
    std::u16string text = head;
    for (const std::u16string& part : parts)
        if (!part.empty()) text += u", " + part;
    return text;
}

} // namespace

void POISearch::Start() {
    m_nFoundIndex = 0;
    m_dSearchDistance = 0.0;
    m_nSearchCursor = 0;
    m_nSkippedCount = 0;
    m_bstrPreviousSearch.clear();
    m_nPreviousCategory = m_nPreviousSubCategory = -1;
    m_nPreviousField = -1;
}

void POISearch::Stop() {
    for (auto* results : {&m_context.m_pPOIResultsA, &m_context.m_pPOIResultsB}) {
        if (*results) (*results)->Clear();
        results->Reset();
    }
}

double POISearch::SecondsSince(std::uint64_t start) const {
    return static_cast<double>(m_context.Env().NowMicros() - start) / 1e6;
}

void POISearch::ResetCandidates() {
    m_nSearchCursor = 0;
    m_nSkippedCount = 0;
    if (m_context.m_pPOIResultsB) m_context.m_pPOIResultsB->Clear();
}

std::int32_t POISearch::FindDBPOIsInternal(const Place& location, POIQuery& query) {
    IPOIDatabase* database = m_context.m_pPOIDatabase.Get();
    IPOIResults* found = m_context.m_pPOIResultsA.Get();
    IPOIResults* candidates = m_context.m_pPOIResultsB.Get();
    const MapQueries map = m_context.Map();
    if (database == nullptr || found == nullptr || candidates == nullptr || !map.HasEngine())
        return 0;
    m_context.Log("GPSCore::FindDBPOIsInternal - Enter");

    const std::u16string& searchText = query.text;
    const POIFields field = query.field;
    const std::int16_t category = query.category, subCategory = query.subCategory;
    bool databaseSearch = !searchText.empty();

    // The user-POI category chooses the visibility through its subcategory.
    if (category == kUserCategory) {
        query.userPublicOnly = subCategory != kUserPrivateSubCategory;
        query.userPrivateOnly = subCategory != kUserPublicSubCategory;
    }
    if (query.userPrivateOnly || query.userPublicOnly) databaseSearch = true;

    // The map search's ring: the starting distance converted to kilometres.
    MapPOISearch ring;
    ring.latitude = location.latitude;
    ring.longitude = location.longitude;
    ring.category = category;
    ring.subCategory = subCategory;
    ring.direction = query.direction;
    ring.heading = query.heading;
    ring.privateOnly = query.userPrivateOnly;
    ring.publicOnly = query.userPublicOnly;
    ring.includePrivate = query.includeUserPrivate;
    ring.distanceStartingKm = query.distanceStarting;
    if (query.distanceStarting != -1.0 && m_context.CurrentUnits() == Imperial)
        ring.distanceStartingKm = query.distanceStarting * geo::kKilometresPerMile;
    // A text search takes its candidates a few hundred at a time: the database keeps only the
    // matches, at most the results asked for, so a ring cut at that many candidates would make
    // a search over a whole map take a ring per handful of POIs.
    ring.maxResults = databaseSearch && query.maxResults < kCandidatesPerRing ? kCandidatesPerRing
                                                                              : query.maxResults;

    bool changed = searchText != m_bstrPreviousSearch || category != m_nPreviousCategory ||
                   subCategory != m_nPreviousSubCategory ||
                   static_cast<std::int32_t>(field) != m_nPreviousField;
    if (changed) m_dSearchDistance = 0.0;
    LONG candidateCount = 0;
    candidates->GetCount(&candidateCount);
    bool mapSearch =
        changed || candidateCount == 0 || candidateCount - m_nSkippedCount <= m_nSearchCursor;
    if (query.newSearch) {
        mapSearch = true;
        changed = true;
        m_dSearchDistance = 0.0;
    }
    if (changed) {
        found->Clear();
        m_nFoundIndex = 0;
    }

    const bool expanded = query.maxSeconds != 0;
    const double limit = expanded ? query.maxSeconds : 1.0;
    const std::uint64_t start = m_context.Env().NowMicros();
    LONG foundAtStart = 0;
    found->GetCount(&foundAtStart);

    auto leaveEmpty = [&](const char* reason) -> LONG {
        m_context.Log(reason);
        m_context.Log("GPSCore::FindDBPOIsInternal - Freeing memory");
        m_context.Log("GPSCore::FindDBPOIsInternal - Exiting With 0");
        return 0;
    };

    ComPtr<IPOISearchConfigurationObject> config;
    bool firstPass = true;
    for (;;) {
        bool fresh = false;
        if (mapSearch) {
            if (firstPass) {
                ResetCandidates();
                m_bstrPreviousSearch = searchText;
                m_nPreviousCategory = category;
                m_nPreviousSubCategory = subCategory;
                m_nPreviousField = field;
                firstPass = false;
            }
            if (SecondsSince(start) > limit) {
                ResetCandidates();
                return leaveEmpty(" GPSCore::FindDBPOIsInternal - Exit Time limit exceeded "
                                  "(m_pGPSMap)");
            }
            m_context.Log(" GPSCore:: calling m_pGPSMap->FindPOIs");
            double distance = m_dSearchDistance;
            std::vector<MapPOI> ringFound;
            const std::optional<bool> answer = map.FindPOIs(ring, &ringFound, &distance);
            for (const MapPOI& poi : ringFound)
                candidates->Add(Bstr(poi.name).Get(), poi.key);
            if (!answer) distance = kMaxSearchDistanceKm;
            const bool any = answer.value_or(false);
            m_dSearchDistance = distance;
            if (!any) {
                if (!expanded)
                    return leaveEmpty(" GPSCore::FindDBPOIsInternal - Exit No Expanded Search");
                if (m_dSearchDistance >= kMaxSearchDistanceKm) {
                    m_dSearchDistance = kMaxSearchDistanceKm;
                    return leaveEmpty(
                        " GPSCore::FindDBPOIsInternal - Exit MaxSearch Distance exceeded");
                }
                continue;
            }
            fresh = true;
        }
        if (databaseSearch) {
            if (!query.wholeWord && !searchText.empty() && searchText.size() <= 2)
                query.startsWith = true;
            m_context.Log("GPSCore:: calling m_pPOIDatabase->DbPOIFind");
            ComPtr<IPOIResults> matches;
            VARIANT_BOOL any = VARIANT_FALSE;
            // The database reads the text search from a configuration object, made once a call.
            if (!config) config = NewPOISearchConfiguration(query);
            if (!config || FAILED(database->DbPOIFind(candidates, config.Get(), &m_nSearchCursor,
                                                      matches.Put(), &any)))
                any = VARIANT_FALSE;
            m_context.Log("GPSCore:: returned m_pPOIDatabase->DbPOIFind");
            if (Flag(any) && matches) {
                ++m_nSearchCursor;
                LONG n = 0;
                matches->GetCount(&n);
                for (LONG i = 0; i < n; ++i) {
                    Bstr name;
                    LONG key = 0;
                    matches->GetItem(i, name.Put(), &key);
                    found->Add(name.Get(), key);
                }
                break;
            }
            if (SecondsSince(start) > limit) {
                candidates->GetCount(&candidateCount);
                if (m_nSearchCursor >= candidateCount - m_nSkippedCount) ResetCandidates();
                return leaveEmpty(" GPSCore::FindDBPOIsInternal - Exit Time limit exceeded "
                                  "(m_pPOIDatabase)");
            }
            mapSearch = true;
            continue;
        }
        if (fresh) {
            candidates->GetCount(&candidateCount);
            // Only the candidates this pass appended are new; the others were judged before.
            const LONG first = m_nSearchCursor + m_nSkippedCount;
            for (LONG i = first < candidateCount ? first : candidateCount; i < candidateCount;
                 ++i) {
                Bstr name;
                LONG key = 0;
                candidates->GetItem(i, name.Put(), &key);
                VARIANT_BOOL accepted = VARIANT_FALSE;
                database->DbPOIIsAccepted(name.Get(), key, &accepted);
                if (Flag(accepted))
                    found->Add(name.Get(), key);
                else
                    ++m_nSkippedCount;
            }
        }
        found->GetCount(&m_nSearchCursor);
        break;
    }
    m_nFoundIndex = foundAtStart;
    m_context.Log("GPSCore::FindDBPOIsInternal - Exiting With Found Index");
    LONG total = 0;
    found->GetCount(&total);
    return total;
}

std::optional<POIData> POISearch::FindByLocation(const Place& location, POIQuery& query,
                                                 const Standpoint& here, std::int32_t* count) {
    m_context.Log(" GPSCore::POIsFindByLocation_Internal - Enter");
    *count = FindDBPOIsInternal(location, query);
    if (*count == 0) {
        m_context.Log(" GPSCore::POIsFindByLocation_Internal - Exit (empty)");
        return std::nullopt;
    }
    m_context.Log(" GPSCore::POIsFindByLocation_Internal - Exit (with data)");
    return Get(m_nFoundIndex, here);
}

std::optional<POIData> POISearch::FindNearestByLocation(const Place& location,
                                                        const Standpoint& here,
                                                        std::int32_t* count) {
    m_context.Log(" GPSCore::POIsFindNearestByLocation - Enter");
    POIQuery query;
    query.maxResults = kNearestResults;
    query.maxSeconds = 0;
    *count = FindDBPOIsInternal(location, query);
    m_context.Log(" GPSCore::POIsFindNearestByLocation - returned from FindDBPOIsInternal");
    if (*count > 0) {
        m_context.Log(" GPSCore::POIsFindNearestByLocation - exiting with data calling POIGet");
        return Get(m_nFoundIndex, here);
    }
    m_context.Log(" GPSCore::POIsFindNearestByLocation - exiting with empty");
    return std::nullopt;
}

std::int32_t POISearch::FoundCount() const {
    LONG n = 0;
    if (m_context.m_pPOIResultsA) m_context.m_pPOIResultsA->GetCount(&n);
    return n;
}

std::optional<POIData> POISearch::Get(std::int32_t index, const Standpoint& here) const {
    if (index < 0 || index >= FoundCount()) return std::nullopt;
    Bstr name;
    LONG key = 0;
    m_context.m_pPOIResultsA->GetItem(index, name.Put(), &key);
    return ShowRecord(m_context, m_context.m_pPOIDatabase.Get(), name.Get(), key, index, here);
}

std::u16string POISearch::LastSearchDistanceDescription() const {
    double units = m_dSearchDistance * 1000.0;
    if (m_context.CurrentUnits() != Metric) units *= geo::kFeetPerMetre;
    const std::int32_t whole = units >= 2e9 ? 2000000000 : static_cast<std::int32_t>(units);
    return Wording(m_context.m_pUtility).DistanceText(whole, false);
}

std::vector<std::u16string>
POISearch::LastSearchDescriptions(const Standpoint& here, const POIDescriptionQuery& what) const {
    const bool isDynamic = what.dynamic;
    const bool address = isDynamic || what.address;
    const bool categories = isDynamic || what.category;
    const bool distance = isDynamic || what.distance;
    const bool side = isDynamic;
    const bool tags = what.tags;

    const auto settings = m_context.SystemSettings();
    RelativeHeadingType headingMode = ClockFace;
    SHORT threshold = 0;
    const Units units = m_context.CurrentUnits();
    if (settings) {
        headingMode = settings->headingMode;
        threshold = settings->ArrivedNearThreshold(units);
    }
    const bool direction = distance && here.headingValid && headingMode != LeftRightDegreesCompass;
    Wording words(m_context.m_pUtility);

    // The city the user is in, for the dynamic form to leave out.
    std::u16string currentCity;
    if (isDynamic && here.Valid()) {
        if (auto detail = m_context.Map().FirstDetail(here.place->latitude, here.place->longitude,
                                                      MapWords::kCity, -1))
            currentCity = detail->city;
    }

    const std::int32_t n = FoundCount();
    std::vector<std::u16string> texts;
    texts.reserve(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) {
        const std::optional<POIData> poi = Get(i, here);
        if (!poi || (poi->latitude == 0.0 && poi->longitude == 0.0)) {
            texts.emplace_back();
            continue;
        }
        std::u16string name = poi->name;
        const std::int16_t category = poi->category, subCategory = poi->subCategory;
        // A POI without a name is called by what it is ("Bench").
        if (name.empty())
            name = m_context.String(subCategory != 0 ? SubCategoryNameId(category, subCategory)
                                                     : CategoryNameId(category));
        std::u16string categoryName, subCategoryName, street, city, distanceText, directionText,
            sideText, tagText;
        if (categories) {
            categoryName = m_context.String(CategoryNameId(category));
            if (subCategory != 0)
                subCategoryName = m_context.String(SubCategoryNameId(category, subCategory));
        }
        if (address) {
            street = poi->street;
            city = poi->city;
        }
        const Place there{poi->latitude, poi->longitude, {}, {}};
        if (distance) {
            distanceText = here.DistanceAndHeading(there);
            if (direction && here.Valid()) {
                const geo::Position from{here.place->latitude, here.place->longitude};
                const geo::Position to{there.latitude, there.longitude};
                const std::int32_t away = geo::DistanceInUnits(from, to, units);
                const int bearing = geo::IsSamePoint(from, to) ? -1 : geo::BearingDegrees(from, to);
                if (away > threshold && bearing >= 0)
                    directionText = words.CompassPointText(static_cast<SHORT>(bearing));
            }
        }
        if (tags) tagText = poi->tags;
        if (side) {
            const SideOfStreet s = poi->sideOfStreet.value_or(SideUnknown);
            if (s == LeftSide) sideText = m_context.String(ids::kOnLeftSide);
            if (s == RightSide) sideText = m_context.String(ids::kOnRightSide);
        }
        if (isDynamic) {
            if (!subCategoryName.empty() &&
                (subCategory == m_nPreviousSubCategory || Contains(name, subCategoryName)))
                subCategoryName.clear();
            if (!categoryName.empty() && (category == m_nPreviousCategory ||
                                          Contains(name, categoryName) || !subCategoryName.empty()))
                categoryName.clear();
            if (!city.empty() && Contains(currentCity, city)) city.clear();
        }
        std::u16string text = Joined(name, {tagText, categoryName, subCategoryName, street});
        if (!city.empty() && !Contains(text, city)) text += u", " + city;
        text = Joined(text, {distanceText, directionText, sideText});
        if (!poi->mediaFile.empty()) text += u" (" + m_context.String(ids::kHasRecording) + u")";
        texts.push_back(std::move(text));
    }
    return texts;
}

} // namespace gpscore
