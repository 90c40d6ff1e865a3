#include "orientation/Lookaround.h"

#include <algorithm>
#include <cmath>

#include "base/Descriptions.h"
#include "base/EventQueue.h"
#include "base/LocationObject.h"
#include "base/LookaroundSettingsObject.h"
#include "base/ServiceContext.h"
#include "base/Utility.h"
#include "formats/WordFold.h"
#include "gps/GPSObject.h"
#include "gps/ReceiverLink.h"
#include "orientation/Crossings.h"
#include "orientation/MapName.h"
#include "orientation/WhereAmI.h"
#include "resources/StringIds.h"

namespace gpscore {

using gpslib::ComPtr;

namespace {

// The user has turned when the heading moved this far since the last intersection check.
constexpr int kTurnDegrees = 45;
// Above this speed (mph) the intersection is announced from farther away...
constexpr double kFastMph = 5.0;
// ...and from this speed on only its cross streets are spoken.
constexpr double kCrossStreetsOnlyMph = 15.0;

} // namespace

std::u16string ExpandStreetChangeTemplate(std::u16string_view pattern, std::u16string_view first,
                                          std::u16string_view second, std::u16string_view third) {
    std::u16string out;
    out.reserve(pattern.size() + first.size() + second.size() + third.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != u'$') {
            out += pattern[i];
            continue;
        }
        if (++i == pattern.size()) break;
        switch (pattern[i]) {
        case u'$':
            out += u'$';
            break;
        case u'T':
            out += first;
            break;
        case u'F':
            out += second;
            break;
        case u'H':
            out += third;
            break;
        default:
            break;
        }
    }
    return out;
}

bool SameIgnoringCase(std::u16string_view a, std::u16string_view b) {
    using gpslib::formats::FoldCodePoint;
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t x, char16_t y) { return FoldCodePoint(x) == FoldCodePoint(y); });
}

// Holds the busy flag for one check, whichever way the check ends.
class Lookaround::BusyScope {
public:
    explicit BusyScope(bool& busy) : m_busy(busy) { m_busy = true; }
    ~BusyScope() { m_busy = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& m_busy;
};

void Lookaround::Start() {
    m_bBusy = false;
    m_nStreetCountdown = m_nCityCountdown = m_nMapCountdown = 0;
    m_bstrLastStreetSeen.clear();
    m_bstrLastStreetAnnounced.clear();
    m_bstrLastCitySeen.clear();
    m_bstrLastCityAnnounced.clear();
    m_bstrLastMapSeen.clear();
    m_bstrLastMapAnnounced.clear();
    m_nLastCheckOdometer = m_nLastCheckThreshold = -1;
    m_nLastCheckHeading = -1;
    m_lastIntersectionAnnounced = {};
}

void Lookaround::Remember(const std::u16string& street, const std::u16string& city,
                          const std::u16string& map) {
    m_bstrLastStreetSeen = m_bstrLastStreetAnnounced = street;
    m_bstrLastCitySeen = m_bstrLastCityAnnounced = city;
    m_bstrLastMapSeen = m_bstrLastMapAnnounced = map;
}

// A street is checked four times per reporting interval, but never more often than every third
// poll; a city and a map change less often than a street, so their checks are rarer, though
// never rarer than once per interval when the interval is long.
SHORT Lookaround::StreetCheckPolls(SHORT interval) {
    return static_cast<SHORT>(std::max(interval / 4, 3));
}

SHORT Lookaround::CityCheckPolls(SHORT interval) {
    const int twice = 2 * interval;
    return static_cast<SHORT>(twice > 40 ? interval : twice);
}

SHORT Lookaround::MapCheckPolls(SHORT interval) {
    const int thrice = 3 * interval;
    return static_cast<SHORT>(thrice > 60 ? interval : thrice);
}

// ---------------------------------------------------------------------------------------------
// Street, city and map changes.

void Lookaround::CheckChanges() {
    if (m_bBusy) return;
    const std::optional<settings::Lookaround> settings = m_context.LookaroundSettings();
    const bool streets = settings && settings::On(settings->streetChanges);
    const bool cities = settings && settings::On(settings->cityChanges);
    const bool maps = settings && settings::On(settings->mapChanges);
    if (!streets && !cities && !maps) return;
    m_context.Log(" GPSCore::CheckLookaroundStreetCityMapChange - Enter");
    const SHORT interval = settings->reportingInterval;
    bool streetDue = false, cityDue = false, mapDue = false;
    if (streets && --m_nStreetCountdown < 1) {
        m_nStreetCountdown = StreetCheckPolls(interval);
        streetDue = true;
        m_context.Log("  GPSCore::CheckLookaroundStreetCityMapChange: Check Street");
    }
    if (cities && --m_nCityCountdown < 1) {
        m_nCityCountdown = CityCheckPolls(interval);
        cityDue = true;
        m_context.Log("  GPSCore::CheckLookaroundStreetCityMapChange: Check City");
    }
    if (maps && --m_nMapCountdown < 1) {
        m_nMapCountdown = MapCheckPolls(interval);
        mapDue = true;
        m_context.Log("  GPSCore::CheckLookaroundStreetCityMapChange: Check Map");
    }
    if (!streetDue && !cityDue && !mapDue) return;

    IGPSObject* gps = m_receiver.Record();
    if (gps == nullptr) return;
    SHORT heading = -1;
    gps->GetHeadingDegrees(&heading);
    if (heading == -1 && streetDue && !cityDue && !mapDue) {
        m_context.Log(" GPSCore::CheckLookaroundStreetCityMapChange - Exit (No heading for street "
                      "check)");
        return;
    }
    m_context.Log("    Get GPS Location");
    ComPtr<ILocationObject> here = FixLocation(m_receiver.Record());
    VARIANT_BOOL valid = 0;
    if (!here || FAILED(here->IsValid(&valid)) || valid == 0) {
        m_context.Log(" GPSCore::CheckLookaroundStreetCityMapChange - Exit (No GPS Location)");
        return;
    }
    DOUBLE latitude = 0, longitude = 0;
    here->GetLatitude(&latitude);
    here->GetLongitude(&longitude);

    BusyScope busy(m_bBusy);
    std::u16string street, city, state, houseNumber;
    if (!m_whereAmI.GetStreetCityState(latitude, longitude, heading, &street, &city, &state,
                                       &houseNumber)) {
        m_context.Log(" GPSCore::CheckLookaroundStreetCityMapChange - Exit error");
        return;
    }
    if (streetDue && heading != -1) AnnounceStreet(street, heading);
    if (cityDue) AnnounceCity(city);
    if (mapDue) {
        // The street query names no map; the place names (what the gained-fix event speaks) do.
        std::u16string placeStreet, placeCity, map;
        if (m_whereAmI.NearestPlaceNames(PlaceAt(here.Get()), &placeStreet, &placeCity, &map))
            AnnounceMap(PlainMapName(map));
    }
    m_context.Log(" GPSCore::CheckLookaroundStreetCityMapChange - Exit");
}

// A new street is announced only when two street checks in a row found it, so that a position
// that strays for a moment onto a side street or a crossing says nothing. Unnamed roads and
// paths are never announced, so leaving one for the street before says nothing either.
void Lookaround::AnnounceStreet(const std::u16string& street, SHORT heading) {
    if (!SameIgnoringCase(street, m_bstrLastStreetSeen)) {
        m_bstrLastStreetSeen = street;
        return;
    }
    if (SameIgnoringCase(street, m_bstrLastStreetAnnounced) ||
        SameIgnoringCase(street, m_context.String(ids::kUnnamedPath)) ||
        SameIgnoringCase(street, m_context.String(ids::kUnnamedRoad)))
        return;
    m_bstrLastStreetAnnounced = street;
    if (street.empty()) return;
    const Wording words(m_context.m_pUtility);
    const std::u16string text =
        ExpandStreetChangeTemplate(m_context.String(ids::kStreetChange), u"",
                                   words.Decorate(street), words.CompassPointText(heading));
    m_context.Log("      calling :LookaroundStreetChangeEvent");
    m_events.Raise(EventKind::kLookaroundStreetChange, text,
                   PlaceOf(FixLocation(m_receiver.Record()).Get()));
}

void Lookaround::AnnounceCity(const std::u16string& city) {
    if (SameIgnoringCase(city, m_bstrLastCitySeen) ||
        SameIgnoringCase(city, m_bstrLastCityAnnounced))
        return;
    m_bstrLastCitySeen = m_bstrLastCityAnnounced = city;
    if (city.empty()) return;
    const std::u16string text = m_context.m_pUtility->FormatString(
        ids::kCityChange, {Wording(m_context.m_pUtility).Decorate(city)});
    m_context.Log("      calling :LookaroundCityChangeEvent");
    m_events.Raise(EventKind::kLookaroundCityChange, text,
                   PlaceOf(FixLocation(m_receiver.Record()).Get()));
}

void Lookaround::AnnounceMap(const std::u16string& map) {
    if (SameIgnoringCase(map, m_bstrLastMapSeen) || SameIgnoringCase(map, m_bstrLastMapAnnounced))
        return;
    m_bstrLastMapSeen = m_bstrLastMapAnnounced = map;
    if (map.empty()) return;
    const std::u16string text = m_context.m_pUtility->FormatString(
        ids::kMapChange, {Wording(m_context.m_pUtility).Decorate(map)});
    m_context.Log("      calling :LookaroundMapChangeEvent");
    m_events.Raise(EventKind::kLookaroundMapChange, text,
                   PlaceOf(FixLocation(m_receiver.Record()).Get()));
}

// ---------------------------------------------------------------------------------------------
// The intersection ahead.

LONG Lookaround::AnnouncementDistance(double speedMph) const {
    const bool fast = speedMph > kFastMph;
    if (m_context.CurrentUnits() == Metric) return fast ? 450 : 65;
    return fast ? 1600 : 200;
}

// Checked on every poll, but the map is asked only when it matters: at once after a turn,
// otherwise once the user has gone the distance that the last check left to the announcement
// point (or, right after an announcement, past the intersection announced).
void Lookaround::CheckIntersection() {
    if (m_bBusy || m_context.m_eCurrentMode == VirtualMode) return;
    IGPSObject* gps = m_receiver.Record();
    if (gps == nullptr) return;
    ReceiverState& state = m_receiver.State();
    const double mph = state.SpeedMph();
    SHORT maxSpeed = 50;
    if (auto settings = m_context.LookaroundSettings()) maxSpeed = settings->intersectionMaxSpeed;
    // A speed no integer holds is too fast.
    if (!std::isfinite(mph) || mph >= 1e9 || static_cast<long long>(mph) > maxSpeed) return;
    SHORT heading = -1;
    gps->GetHeadingDegrees(&heading);

    if (m_nLastCheckOdometer != -1 && m_nLastCheckThreshold != -1) {
        const bool turned = heading != -1 && m_nLastCheckHeading != -1 &&
                            !geo::HeadingsWithin(heading, m_nLastCheckHeading, kTurnDegrees);
        const long long gone = static_cast<long long>(state.Odometer()) - m_nLastCheckOdometer;
        // A pedometer set back to 0 (by the client, or a change of units) leaves nothing to
        // measure from: check at once.
        if (!turned && gone >= 0 && gone <= m_nLastCheckThreshold) return;
    }

    BusyScope busy(m_bBusy);
    ComPtr<ILocationObject> here = FixLocation(m_receiver.Record());
    VARIANT_BOOL valid = 0;
    if (!here || FAILED(here->IsValid(&valid)) || valid == 0) return;
    const Place start = PlaceAt(here.Get());
    const IntersectionAnswer intersection =
        m_whereAmI.NearestIntersection({start.latitude, start.longitude, {}, {}}, heading, heading);
    if (!intersection.Found()) return;

    m_nLastCheckOdometer = state.Odometer();
    m_nLastCheckHeading = heading;
    ComPtr<ILocationObject> corner = NewLocation(intersection.latitude, intersection.longitude);
    LONG distance = -1;
    here->GetDistance(corner.Get(), &distance);
    const LONG announce = AnnouncementDistance(mph);
    if (announce < distance) {
        m_nLastCheckThreshold = distance - announce;
        return;
    }
    m_nLastCheckThreshold = distance;

    const geo::Position position{intersection.latitude, intersection.longitude};
    if (geo::IsSamePoint(position, m_lastIntersectionAnnounced)) return;
    m_lastIntersectionAnnounced = position;

    std::u16string text;
    if (intersection.crossStreets.empty())
        text = intersection.description;
    else if (mph >= kCrossStreetsOnlyMph)
        text = intersection.crossStreets;
    else
        text = m_context.m_pUtility->FormatString(
            ids::kApproachingIntersection,
            {Wording(m_context.m_pUtility).Decorate(intersection.currentStreet),
             std::u16string_view(intersection.description)});
    if (m_crossings.Announce()) {
        const std::u16string crossings = Crossings::Sentences(m_crossings.Near(
            position.latitude, position.longitude, Crossings::kJunctionMetres, start));
        if (!crossings.empty()) text += (text.empty() ? u"" : u" ") + crossings;
    }
    m_events.Raise(EventKind::kLookaroundIntersection, text,
                   Place{position.latitude, position.longitude, {}, {}});
}

// ---------------------------------------------------------------------------------------------
// Settings.

} // namespace gpscore
