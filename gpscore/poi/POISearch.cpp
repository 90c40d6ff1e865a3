#include "poi/POISearch.h"

#include <cstdint>
#include <vector>

#include "base/Answers.h"
#include "base/Descriptions.h"
#include "base/ServiceContext.h"
#include "base/Utility.h"
#include "os/env.h"
#include "os/path.h"
#include "poi/POICategoryObject.h"
#include "poi/POISubCategoryObject.h"
#include "poi/PersonalPlaces.h"
#include "resources/StringIds.h"

namespace gpscore {

using gpslib::Bstr;
using gpslib::ComPtr;

namespace {

constexpr double kKilometresPerMile = 1.609344;
constexpr double kFeetPerMetre = 3.2808399;
constexpr LONG kNearestResults = 5;
constexpr LONG kCandidatesPerRing = 500;

// The distance starting of a configuration, converted to kilometres for the call and written
// back as it was on every way out.
class StartingDistance {
public:
    StartingDistance(IPOISearchConfigurationObject* config, Units units) : m_pConfig(config) {
        config->GetDistanceStarting(&m_dOriginal);
        if (m_dOriginal != -1.0 && units == Imperial)
            config->SetDistanceStarting(m_dOriginal * kKilometresPerMile);
    }
    ~StartingDistance() { m_pConfig->SetDistanceStarting(m_dOriginal); }
    StartingDistance(const StartingDistance&) = delete;
    StartingDistance& operator=(const StartingDistance&) = delete;

private:
    IPOISearchConfigurationObject* m_pConfig;
    DOUBLE m_dOriginal = -1.0;
};

bool Contains(std::u16string_view text, std::u16string_view part) {
    return !part.empty() && text.find(part) != std::u16string_view::npos;
}

std::u16string Joined(const std::u16string& head, const std::vector<std::u16string>& parts) {
    std::u16string text = head;
    for (const std::u16string& part : parts)
        if (!part.empty()) text += u", " + part;
    return text;
}

// One ring of the map search, its candidates appended to `candidates`.
std::optional<bool> FindRing(const MapQueries& map, ILocationObject* location,
                             IPOISearchConfigurationObject* config, IPOIResults* candidates,
                             double* distance) {
    MapPOISearch search;
    VARIANT_BOOL privateOnly = 0, publicOnly = 0, includePrivate = 0;
    LONG max = 25;
    location->GetLatitude(&search.latitude);
    location->GetLongitude(&search.longitude);
    config->GetCategoryNumber(&search.category);
    config->GetSubCategoryNumber(&search.subCategory);
    config->GetCurrentHeadingDegrees(&search.heading);
    config->GetSearchDirection(&search.direction);
    config->GetUserPrivateOnly(&privateOnly);
    config->GetUserPublicOnly(&publicOnly);
    config->IncludeUserPrivateAsWell(&includePrivate);
    config->GetMaxSearchResults(&max);
    config->GetDistanceStarting(&search.distanceStartingKm);
    search.privateOnly = Flag(privateOnly);
    search.publicOnly = Flag(publicOnly);
    search.includePrivate = Flag(includePrivate);
    search.maxResults = max;
    std::vector<MapPOI> found;
    const std::optional<bool> ring = map.FindPOIs(search, &found, distance);
    for (const MapPOI& poi : found)
        candidates->Add(Bstr(poi.name).Get(), poi.key);
    return ring;
}

} // namespace

void POISearch::Start() {
    gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &m_pPOISearchLocation);
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
    m_pPOISearchLocation.Reset();
}

double POISearch::SecondsSince(std::uint64_t start) const {
    return static_cast<double>(m_context.Env().NowMicros() - start) / 1e6;
}

void POISearch::ResetCandidates() {
    m_nSearchCursor = 0;
    m_nSkippedCount = 0;
    if (m_context.m_pPOIResultsB) m_context.m_pPOIResultsB->Clear();
}

LONG POISearch::FindDBPOIsInternal(ILocationObject* location,
                                   IPOISearchConfigurationObject* config) {
    IPOIDatabase* database = m_context.m_pPOIDatabase.Get();
    IPOIResults* found = m_context.m_pPOIResultsA.Get();
    IPOIResults* candidates = m_context.m_pPOIResultsB.Get();
    const MapQueries map = m_context.Map();
    if (database == nullptr || found == nullptr || candidates == nullptr || !map.HasEngine() ||
        location == nullptr || config == nullptr)
        return 0;
    m_context.Log("GPSCore::FindDBPOIsInternal - Enter");

    Bstr text;
    POIFields field = POI_FIELD_NAME;
    SHORT category = 0, subCategory = 0;
    VARIANT_BOOL newSearchFlag = VARIANT_FALSE;
    config->GetMainSearchString(text.Put());
    config->GetMainSearchField(&field);
    config->GetCategoryNumber(&category);
    config->GetSubCategoryNumber(&subCategory);
    config->IsNewSearch(&newSearchFlag);
    const std::u16string searchText(text.View());
    bool databaseSearch = !searchText.empty();
    StartingDistance starting(config, m_context.CurrentUnits());

    // The user-POI category chooses the visibility through its subcategory.
    if (category == kUserCategory) {
        config->SetUserPublicOnly(subCategory != kUserPrivateSubCategory ? VARIANT_TRUE
                                                                         : VARIANT_FALSE);
        config->SetUserPrivateOnly(subCategory != kUserPublicSubCategory ? VARIANT_TRUE
                                                                         : VARIANT_FALSE);
    }
    VARIANT_BOOL privateOnly = VARIANT_FALSE, publicOnly = VARIANT_FALSE;
    config->GetUserPrivateOnly(&privateOnly);
    config->GetUserPublicOnly(&publicOnly);
    if (Flag(privateOnly) || Flag(publicOnly)) databaseSearch = true;

    bool changed = searchText != m_bstrPreviousSearch || category != m_nPreviousCategory ||
                   subCategory != m_nPreviousSubCategory ||
                   static_cast<LONG>(field) != m_nPreviousField;
    if (changed) m_dSearchDistance = 0.0;
    LONG candidateCount = 0;
    candidates->GetCount(&candidateCount);
    bool mapSearch =
        changed || candidateCount == 0 || candidateCount - m_nSkippedCount <= m_nSearchCursor;
    if (Flag(newSearchFlag)) {
        mapSearch = true;
        changed = true;
        m_dSearchDistance = 0.0;
    }
    if (changed) {
        found->Clear();
        m_nFoundIndex = 0;
    }

    SHORT maxSeconds = 0;
    config->GetMaxSearchTime(&maxSeconds);
    const bool expanded = maxSeconds != 0;
    const double limit = expanded ? maxSeconds : 1.0;
    const std::uint64_t start = m_context.Env().NowMicros();
    LONG foundAtStart = 0;
    found->GetCount(&foundAtStart);

    auto leaveEmpty = [&](const char* reason) -> LONG {
        m_context.Log(reason);
        m_context.Log("GPSCore::FindDBPOIsInternal - Freeing memory");
        m_context.Log("GPSCore::FindDBPOIsInternal - Exiting With 0");
        return 0;
    };

    bool firstPass = true;
    for (;;) {
        bool fresh = false;
        if (mapSearch) {
            if (firstPass) {
                ResetCandidates();
                if (m_pPOISearchLocation) {
                    DOUBLE latitude = 0, longitude = 0;
                    location->GetLatitude(&latitude);
                    location->GetLongitude(&longitude);
                    m_pPOISearchLocation->SetLatitude(latitude);
                    m_pPOISearchLocation->SetLongitude(longitude);
                }
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
            DOUBLE distance = m_dSearchDistance;
            // A text search takes its candidates a few hundred at a time: the database keeps
            // only the matches, at most the results asked for, so a ring cut at that many
            // candidates would make a search over a whole map take a ring per handful of POIs.
            LONG results = 0;
            config->GetMaxSearchResults(&results);
            if (databaseSearch && results < kCandidatesPerRing)
                config->SetMaxSearchResults(kCandidatesPerRing);
            const std::optional<bool> ring = FindRing(map, location, config, candidates, &distance);
            if (!ring) distance = kMaxSearchDistanceKm;
            const bool any = ring.value_or(false);
            config->SetMaxSearchResults(results);
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
            VARIANT_BOOL wholeWord = VARIANT_FALSE;
            config->GetWholeWord(&wholeWord);
            if (!Flag(wholeWord) && !searchText.empty() && searchText.size() <= 2)
                config->SetStartsWithSearch(VARIANT_TRUE);
            m_context.Log("GPSCore:: calling m_pPOIDatabase->DbPOIFind");
            ComPtr<IPOIResults> matches;
            VARIANT_BOOL any = VARIANT_FALSE;
            if (FAILED(
                    database->DbPOIFind(candidates, config, &m_nSearchCursor, matches.Put(), &any)))
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

HRESULT POISearch::FindByLocation(ILocationObject* location, IPOISearchConfigurationObject* config,
                                  Mode mode, const ModePlaces& places, IPOIObject** ppPOI,
                                  LONG* count) {
    m_context.Log(" GPSCore::POIsFindByLocation_Internal - Enter");
    *count = FindDBPOIsInternal(location, config);
    if (*count == 0) {
        m_context.Log(" GPSCore::POIsFindByLocation_Internal - Exit (empty)");
        *ppPOI = NewPOI().Detach();
        return *ppPOI != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    m_context.Log(" GPSCore::POIsFindByLocation_Internal - Exit (with data)");
    return Get(m_nFoundIndex, mode, places, ppPOI);
}

HRESULT POISearch::FindNearestByLocation(ILocationObject* location, const ModePlaces& places,
                                         IPOIObject** ppPOI, LONG* count) {
    m_context.Log(" GPSCore::POIsFindNearestByLocation - Enter");
    ComPtr<IPOISearchConfigurationObject> config;
    HRESULT hr = gpslib::CreateObject(CLSID_POISearchConfigurationObject,
                                      IID_IPOISearchConfigurationObject, &config);
    if (FAILED(hr)) return hr;
    config->SetMaxSearchResults(kNearestResults);
    config->SetMaxSearchTime(0);
    *count = FindDBPOIsInternal(location, config.Get());
    m_context.Log(" GPSCore::POIsFindNearestByLocation - returned from FindDBPOIsInternal");
    if (*count > 0) {
        m_context.Log(" GPSCore::POIsFindNearestByLocation - exiting with data calling POIGet");
        return Get(m_nFoundIndex, m_context.m_eCurrentMode, places, ppPOI);
    }
    m_context.Log(" GPSCore::POIsFindNearestByLocation - exiting with empty");
    *ppPOI = NewPOI().Detach();
    return *ppPOI != nullptr ? S_OK : E_OUTOFMEMORY;
}

LONG POISearch::FoundCount() const {
    LONG n = 0;
    if (m_context.m_pPOIResultsA) m_context.m_pPOIResultsA->GetCount(&n);
    return n;
}

HRESULT POISearch::Get(LONG index, Mode mode, const ModePlaces& places, IPOIObject** ppPOI) {
    ComPtr<IPOIObject> poi;
    if (index >= 0 && index < FoundCount()) {
        Bstr name;
        LONG key = 0;
        m_context.m_pPOIResultsA->GetItem(index, name.Put(), &key);
        poi = BuildPOI(m_context, m_context.m_pPOIDatabase.Get(), name.Get(), key, index, mode,
                       places);
    } else {
        poi = NewPOI();
    }
    *ppPOI = poi.Detach();
    return *ppPOI != nullptr ? S_OK : E_OUTOFMEMORY;
}

std::u16string POISearch::LastSearchDistanceDescription() const {
    double units = m_dSearchDistance * 1000.0;
    if (m_context.CurrentUnits() != Metric) units *= kFeetPerMetre;
    const std::int32_t whole = units >= 2e9 ? 2000000000 : static_cast<std::int32_t>(units);
    return Wording(m_context.m_pUtility).DistanceText(whole, false);
}

HRESULT POISearch::LastSearchDescriptions(Mode mode, IPOIDescriptionConfigurationObject* config,
                                          const ModePlaces& places, VARIANT* descriptions,
                                          LONG* count) {
    VARIANT_BOOL dynamic = VARIANT_FALSE, withAddress = VARIANT_FALSE, withCategory = VARIANT_FALSE,
                 withDistance = VARIANT_FALSE, withTags = VARIANT_FALSE;
    if (config != nullptr) {
        config->GetDescriptionDynamic(&dynamic);
        config->GetNonDynamicIncludeAddress(&withAddress);
        config->GetNonDynamicIncludeCategoryAndSubCategory(&withCategory);
        config->GetNonDynamicIncludeDistance(&withDistance);
        config->GetIncludeTags(&withTags);
    }
    const bool isDynamic = Flag(dynamic);
    const bool address = isDynamic || Flag(withAddress);
    const bool categories = isDynamic || Flag(withCategory);
    const bool distance = isDynamic || Flag(withDistance);
    const bool side = isDynamic;
    const bool tags = Flag(withTags);

    ComPtr<ISystemSettingsObject> settings = m_context.SystemSettings();
    RelativeHeadingType headingMode = ClockFace;
    SHORT threshold = 0;
    const Units units = m_context.CurrentUnits();
    if (settings) {
        settings->GetHeadingMode(&headingMode);
        settings->GetArrivedNearThreshold(units, &threshold);
    }
    const bool direction =
        distance && places.HeadingValid(mode) && headingMode != LeftRightDegreesCompass;
    ComPtr<ILocationObject> here = places.Location(mode);
    Wording words(m_context.m_pUtility);

    // The city the user is in, for the dynamic form to leave out.
    std::u16string currentCity;
    if (isDynamic && IsValidPlace(here.Get())) {
        DOUBLE latitude = 0, longitude = 0;
        here->GetLatitude(&latitude);
        here->GetLongitude(&longitude);
        if (auto detail = m_context.Map().FirstDetail(latitude, longitude, MapWords::kCity, -1))
            currentCity = detail->city;
    }

    const LONG n = FoundCount();
    std::vector<std::u16string> texts;
    texts.reserve(static_cast<std::size_t>(n));
    for (LONG i = 0; i < n; ++i) {
        ComPtr<IPOIObject> poi;
        Get(i, mode, places, poi.Put());
        VARIANT_BOOL valid = VARIANT_FALSE;
        if (poi) poi->IsValid(&valid);
        if (!Flag(valid)) {
            texts.emplace_back();
            continue;
        }
        std::u16string name = Field(poi.Get(), &IPOIObject::GetName);
        SHORT category = 0, subCategory = 0;
        poi->GetCategoryNumber(&category);
        poi->GetSubCategoryNumber(&subCategory);
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
            street = Field(poi.Get(), &IPOIObject::GetStreet);
            city = Field(poi.Get(), &IPOIObject::GetCity);
        }
        ComPtr<ILocationObject> there;
        poi->GetLocation(there.Put());
        if (distance && there) {
            distanceText = places.DistanceAndHeading(mode, there.Get());
            if (direction && IsValidPlace(here.Get())) {
                LONG away = -1;
                here->GetDistance(there.Get(), &away);
                SHORT bearing = -1;
                here->GetBearingDegrees(there.Get(), &bearing);
                if (away > threshold && bearing >= 0)
                    directionText = words.CompassPointText(bearing);
            }
        }
        if (tags) tagText = Field(poi.Get(), &IPOIObject::GetTags);
        if (side) {
            SideOfStreet s = SideUnknown;
            poi->GetSideOfStreet(&s);
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
        VARIANT_BOOL media = VARIANT_FALSE;
        poi->HasMediaFile(&media);
        if (Flag(media)) text += u" (" + m_context.String(ids::kHasRecording) + u")";
        texts.push_back(std::move(text));
    }
    *count = n;
    return gpslib::ReturnStringList(descriptions, texts);
}

} // namespace gpscore
