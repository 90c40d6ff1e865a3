#include "poi/POILookaround.h"

#include "base/EventQueue.h"
#include "base/LocationObject.h"
#include "base/LookaroundSettingsObject.h"
#include "base/ServiceContext.h"
#include "formats/Geodesy.h"
#include "poi/POIObject.h"

namespace gpscore {

using gpslib::Bstr;

namespace {

constexpr LONG kLookaroundResults = 10;
// The watch's radius: 1000 metres, or a mile in feet.
constexpr LONG kRadiusMetres = 1000;
constexpr LONG kRadiusFeet = 5280;
constexpr double kKilometresPerMetre = 0.001;
constexpr double kMilesPerFoot = 0.000189393939;

// The same POI: the same record of the same file.
bool SamePOI(const POIData& a, const POIData& b) {
    return a.key == b.key && a.name == b.name && SamePath(a.pdbFile, b.pdbFile);
}

} // namespace

std::optional<POIData> POILookaround::FindDBPOIsLookaround(const MapPOISearch& search) {
    const MapQueries map = m_context.Map();
    if (!m_context.m_pPOIDatabase || !map.HasEngine()) return std::nullopt;
    m_context.Log("GPSCore::FindDBPOIsLookaround - Enter");
    m_context.Log("  calling m_pGPSMap->FindPOIs");
    double distance = 0.0;
    std::vector<MapPOI> candidates;
    const bool found = map.FindPOIs(search, &candidates, &distance).value_or(false);
    // The nearest candidate that is still a live record.
    for (std::size_t i = 0; found && i < candidates.size(); ++i) {
        const Bstr name(candidates[i].name);
        VARIANT_BOOL accepted = VARIANT_FALSE;
        m_context.m_pPOIDatabase->DbPOIIsAccepted(name.Get(), candidates[i].key, &accepted);
        if (accepted == VARIANT_FALSE) continue;
        std::optional<POIData> poi = ShowRecord(m_context, m_context.m_pPOIDatabase.Get(),
                                                name.Get(), candidates[i].key, 0, Standpoint{});
        m_context.Log("GPSCore::FindDBPOIsLookaround - Exit with POI");
        return poi;
    }
    m_context.Log("GPSCore::FindDBPOIsLookaround - Exit NULL");
    return std::nullopt;
}

void POILookaround::Check(const Standpoint& here, std::int32_t searchDistance) {
    if (!here.Valid()) return;
    const std::optional<settings::Lookaround> settings = m_context.LookaroundSettings();
    if (!settings) return;
    MapPOISearch search;
    search.latitude = here.place->latitude;
    search.longitude = here.place->longitude;
    search.maxResults = kLookaroundResults;
    const Units units = m_context.CurrentUnits();
    const Directions direction = settings->poiSearchDirection;
    // The radius in one direction is the arrival distance; the engine searches in kilometres.
    if (direction != DirectionAll)
        search.distanceStartingKm = units == Metric
                                        ? searchDistance * kKilometresPerMetre
                                        : searchDistance * kMilesPerFoot * geo::kKilometresPerMile;
    search.category = settings->categoryNumber;
    search.subCategory = settings->subCategoryNumber;
    search.direction = direction;
    search.heading = here.heading;
    search.privateOnly = !settings::On(settings->commercialPOIs);
    search.includePrivate = settings::On(settings->userPrivatePOIs);

    const std::optional<POIData> poi = FindDBPOIsLookaround(search);
    if (!poi) return;
    if (const std::optional<POIData> last = m_last.Get(); last && SamePOI(*poi, *last)) return;
    const Place there{poi->latitude, poi->longitude, {}, {}};
    const bool placed = there.latitude != 0.0 || there.longitude != 0.0;
    const std::int32_t distance =
        placed ? geo::DistanceInUnits({here.place->latitude, here.place->longitude},
                                      {there.latitude, there.longitude}, units)
               : -1;
    if (distance < 0 || distance > (units == Metric ? kRadiusMetres : kRadiusFeet)) return;
    m_last.Set(poi);

    std::u16string text = poi->name;
    if (settings::On(settings->poiIncludeTags) && !poi->tags.empty()) text += u", " + poi->tags;
    if (settings::On(settings->poiIncludeDistanceDirection)) {
        const std::u16string words = here.DistanceAndHeading(there);
        if (!words.empty()) text += u", " + words;
    }
    m_events.Raise(poi->mediaFile.empty() ? EventKind::kLookaroundPOI
                                          : EventKind::kLookaroundMediaPOI,
                   text, there);
}

} // namespace gpscore
