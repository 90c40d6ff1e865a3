#include "poi/POILookaround.h"

#include "base/Answers.h"
#include "base/EventQueue.h"
#include "base/LocationObject.h"
#include "base/ServiceContext.h"
#include "poi/POIObject.h"
#include "poi/POISearch.h"

namespace gpscore {

using gpslib::Bstr;
using gpslib::ComPtr;

namespace {

constexpr LONG kLookaroundResults = 10;
// The watch's radius: 1000 metres, or a mile in feet.
constexpr LONG kRadiusMetres = 1000;
constexpr LONG kRadiusFeet = 5280;
constexpr double kKilometresPerMetre = 0.001;
constexpr double kMilesPerFoot = 0.000189393939;
constexpr double kKilometresPerMile = 1.609344;

bool Enabled(ILookaroundSettingsObject* settings,
             HRESULT (ILookaroundSettingsObject::*query)(VARIANT_BOOL*)) {
    VARIANT_BOOL on = VARIANT_FALSE;
    return settings != nullptr && SUCCEEDED((settings->*query)(&on)) && on != VARIANT_FALSE;
}

// The same POI: the same record of the same file.
bool SamePOI(IPOIObject* a, IPOIObject* b) {
    if (a == nullptr || b == nullptr) return false;
    LONG ka = 0, kb = 0;
    a->GetKey(&ka);
    b->GetKey(&kb);
    return ka == kb && Field(a, &IPOIObject::GetName) == Field(b, &IPOIObject::GetName) &&
           SamePath(Field(a, &IPOIObject::GetPDBFile), Field(b, &IPOIObject::GetPDBFile));
}

} // namespace

void POILookaround::Start() {
    gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &m_pLookaroundLocation);
    m_pLastLookaroundPOI.Reset();
}

HRESULT POILookaround::LastFound(IPOIObject** ppPOI) const {
    ComPtr<IPOIObject> poi = m_pLastLookaroundPOI ? m_pLastLookaroundPOI : NewPOI();
    *ppPOI = poi.Detach();
    return *ppPOI != nullptr ? S_OK : E_OUTOFMEMORY;
}

ComPtr<IPOIObject> POILookaround::FindDBPOIsLookaround(ILocationObject* location,
                                                       IPOISearchConfigurationObject* config) {
    const MapQueries map = m_context.Map();
    if (!m_context.m_pPOIDatabase || !map.HasEngine()) return {};
    m_context.Log("GPSCore::FindDBPOIsLookaround - Enter");
    ComPtr<IPOIResults> candidates;
    if (FAILED(gpslib::CreateObject(CLSID_POIResults, IID_IPOIResults, &candidates))) return {};
    m_context.Log("  calling m_pGPSMap->FindPOIs");
    DOUBLE distance = 0.0;
    const bool found = map.FindPOIs(location, config, candidates.Get(), &distance).value_or(false);
    LONG count = 0;
    candidates->GetCount(&count);
    // The nearest candidate that is still a live record.
    for (LONG i = 0; found && i < count; ++i) {
        Bstr name;
        LONG key = 0;
        candidates->GetItem(i, name.Put(), &key);
        VARIANT_BOOL accepted = VARIANT_FALSE;
        m_context.m_pPOIDatabase->DbPOIIsAccepted(name.Get(), key, &accepted);
        if (accepted == VARIANT_FALSE) continue;
        ModePlaces none;
        ComPtr<IPOIObject> poi = BuildPOI(m_context, m_context.m_pPOIDatabase.Get(), name.Get(),
                                          key, 0, m_context.m_eCurrentMode, none);
        m_context.Log("GPSCore::FindDBPOIsLookaround - Exit with POI");
        return poi;
    }
    m_context.Log("GPSCore::FindDBPOIsLookaround - Exit NULL");
    return {};
}

void POILookaround::Check(ILocationObject* here, SHORT heading, LONG searchDistance) {
    if (!IsValidPlace(here)) return;
    ComPtr<ILookaroundSettingsObject> settings = m_context.LookaroundSettings();
    if (!settings) return;
    ComPtr<IPOISearchConfigurationObject> config;
    if (FAILED(gpslib::CreateObject(CLSID_POISearchConfigurationObject,
                                    IID_IPOISearchConfigurationObject, &config)))
        return;
    config->SetMaxSearchResults(kLookaroundResults);
    config->SetMaxSearchTime(0);
    const Units units = m_context.CurrentUnits();
    Directions direction = DirectionAll;
    settings->GetPOISearchDirection(&direction);
    if (direction != DirectionAll)
        config->SetDistanceStarting(units == Metric ? searchDistance * kKilometresPerMetre
                                                    : searchDistance * kMilesPerFoot);
    ComPtr<IPOICategoryObject> category;
    ComPtr<IPOISubCategoryObject> subCategory;
    SHORT categoryNumber = 0, subCategoryNumber = 0;
    if (SUCCEEDED(settings->GetCommercialCategoryToScanFor(category.Put())) && category)
        category->GetCategoryNumber(&categoryNumber);
    if (SUCCEEDED(settings->GetCommercialSubCategoryToScanFor(subCategory.Put())) && subCategory)
        subCategory->GetSubCategoryNumber(&subCategoryNumber);
    config->SetCategoryNumber(categoryNumber);
    config->SetSubCategoryNumber(subCategoryNumber);
    config->SetSearchDirection(direction);
    config->SetCurrentHeadingDegrees(heading);
    if (!Enabled(settings.Get(), &ILookaroundSettingsObject::IsCommercialPOIsEnabled))
        config->SetUserPrivateOnly(VARIANT_TRUE);
    if (Enabled(settings.Get(), &ILookaroundSettingsObject::IsUserPrivatePOIsEnabled))
        config->SetIncludeUserPrivateAsWell(VARIANT_TRUE);

    // The radius is given as a client gives it (miles outside metric units); the engine
    // searches in kilometres.
    if (direction != DirectionAll && units != Metric) {
        DOUBLE miles = 0;
        config->GetDistanceStarting(&miles);
        config->SetDistanceStarting(miles * kKilometresPerMile);
    }

    ComPtr<IPOIObject> poi = FindDBPOIsLookaround(here, config.Get());
    if (!poi || SamePOI(poi.Get(), m_pLastLookaroundPOI.Get())) return;
    ComPtr<ILocationObject> there;
    poi->GetLocation(there.Put());
    LONG distance = -1;
    here->GetDistance(there.Get(), &distance);
    if (distance < 0 || distance > (units == Metric ? kRadiusMetres : kRadiusFeet)) return;
    m_pLastLookaroundPOI = poi;

    std::u16string text = Field(poi.Get(), &IPOIObject::GetName);
    if (Enabled(settings.Get(), &ILookaroundSettingsObject::GetPOIIncludeTags)) {
        const std::u16string tags = Field(poi.Get(), &IPOIObject::GetTags);
        if (!tags.empty()) text += u", " + tags;
    }
    if (Enabled(settings.Get(), &ILookaroundSettingsObject::GetPOIIncludeDistanceDirection)) {
        Bstr words;
        here->GetDistanceAndHeading(heading, there.Get(), words.Put());
        if (words.Length() > 0) text += u", " + std::u16string(words.View());
    }
    VARIANT_BOOL media = VARIANT_FALSE;
    poi->HasMediaFile(&media);
    m_events.Raise(media != VARIANT_FALSE ? EventKind::kLookaroundMediaPOI
                                          : EventKind::kLookaroundPOI,
                   text, PlaceOf(there.Get()));
}

} // namespace gpscore
