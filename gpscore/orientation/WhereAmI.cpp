#include "orientation/WhereAmI.h"

#include <cmath>

#include "base/Descriptions.h"
#include "base/LocationObject.h"
#include "base/ServiceContext.h"
#include "base/Utility.h"
#include "formats/Geodesy.h"
#include "orientation/IntersectionObject.h"
#include "orientation/MapName.h"
#include "orientation/WhereAmIObject.h"
#include "poi/PersonalPlaces.h"
#include "resources/StringIds.h"

namespace gpscore {

using gpslib::Bstr;
using gpslib::ComPtr;

namespace {

// A position the maps can be asked about: not 0/0, finite, within the coordinate ranges.
bool Usable(double latitude, double longitude) {
    return (latitude != 0.0 || longitude != 0.0) && std::isfinite(latitude) &&
           std::isfinite(longitude) && latitude >= -90.0 && latitude <= 90.0 &&
           longitude >= -180.0 && longitude <= 180.0;
}

bool Usable(const Place& place) {
    return Usable(place.latitude, place.longitude);
}

// The order in which a street's branches are spoken: the first record (straight on), then the
// last down to the second (from the left round to the right).
std::vector<std::size_t> SpokenOrder(std::size_t n) {
    std::vector<std::size_t> order;
    if (n == 0) return order;
    order.push_back(0);
    for (std::size_t i = n - 1; i >= 1; --i)
        order.push_back(i);
    return order;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Settings and small helpers.

bool WhereAmI::DetailedNames() const {
    VARIANT_BOOL detailed = VARIANT_FALSE;
    if (auto settings = m_context.SystemSettings()) detailed = settings->streetNamesDetailed;
    return detailed != 0;
}

MapWords WhereAmI::StreetWords() const {
    MapWords words = MapWords::kStreetExpanded;
    if (DetailedNames()) words = words | MapWords::kStreetDetailed;
    return words;
}

MapWords WhereAmI::IntersectionWords(bool connectors) const {
    MapWords words = MapWords::kIntersectionExpanded;
    if (connectors) words = words | MapWords::kConnectors;
    if (DetailedNames()) words = words | MapWords::kStreetDetailed;
    return words;
}

bool WhereAmI::HasMaps() const {
    return m_context.Map().MapsLoaded() > 0;
}

std::u16string WhereAmI::Decorate(std::u16string_view text) const {
    if (m_context.m_pUtility == nullptr) return std::u16string(text);
    return Wording(m_context.m_pUtility).Decorate(text);
}

// ---------------------------------------------------------------------------------------------
// Intersections.

IntersectionAnswer WhereAmI::NoIntersection(std::u16string_view street, std::u16string_view text) {
    IntersectionAnswer answer;
    answer.currentStreet = street;
    answer.crossStreets = text;
    answer.description = text;
    answer.descriptionDetailed = text;
    return answer;
}

IntersectionAnswer WhereAmI::NearestIntersection(const Place& here, std::int16_t heading,
                                                 std::int16_t aheadHeading) const {
    m_context.Log("  GPSCore::UpdateNearestIntersectionDescriptions enter");
    if (!HasMaps()) {
        m_context.Log("  GPSCore::UpdateNearestIntersectionDescriptions exit: NoMaps");
        return {};
    }
    const MapQueries map = m_context.Map();
    const std::u16string current =
        Usable(here) ? map.StreetAt(here.latitude, here.longitude, heading, StreetWords())
                     : std::u16string();
    if (!current.empty()) {
        m_context.Log("  GPSCore::UpdateNearestIntersectionDescriptions result == _bstr_t(OK) && "
                      "currentGPSStreet)");
        m_context.Log(
            "  GPSCore::UpdateNearestIntersectionDescriptions about to call FindNextCrossStreets");
        // Every branch the engine returns is spoken, connectors included: the count of an
        // "N-way intersection" is the number of ways a walker can take from it.
        const auto branches = map.NextCrossStreets(here.latitude, here.longitude, current,
                                                   aheadHeading, IntersectionWords(true));
        m_context.Log(
            "  GPSCore::UpdateNearestIntersectionDescriptions returned from FindNextCrossStreets");
        if (branches && !branches->empty()) {
            const std::vector<CrossStreet>& records = *branches;
            m_context.Log("    GPSCore::UpdateNearestIntersectionDescriptions: "
                          "GetDetailedIntersectionDescription starting");
            IntersectionAnswer answer;
            answer.currentStreet = current;
            answer.description = IntersectionDescription(current, here, heading, records, false);
            answer.descriptionDetailed =
                IntersectionDescription(current, here, heading, records, true);
            answer.crossStreets = CrossStreetList(current, records);
            if (answer.crossStreets.empty()) answer.crossStreets = CrossStreetList(u"", records);
            answer.latitude = records.front().latitude;
            answer.longitude = records.front().longitude;
            m_context.Log("    GPSCore::UpdateNearestIntersectionDescriptions: "
                          "GetDetailedIntersectionDescription finished");
            m_context.Log("    GPSCore::UpdateNearestIntersectionDescriptions: Finished reached.");
            std::u16string name, details;
            if (m_places.AnnotationNear(answer.latitude, answer.longitude, &name, &details)) {
                answer.description = name;
                answer.descriptionDetailed += u". " + details;
            }
            m_context.Log("  GPSCore::UpdateNearestIntersectionDescriptions exit: streetsFound");
            return answer;
        }
        if (branches)
            m_context.Log("    GPSCore::UpdateNearestIntersectionDescriptions: nCrossStreets = 0");
        m_context.Log("    GPSCore::UpdateNearestIntersectionDescriptions: !streetsFound");
    } else {
        m_context.Log(
            "  GPSCore::UpdateNearestIntersectionDescriptions didn't pass result == _bstr_t(OK) "
            "&& currentGPSStreet)");
    }
    m_context.Log("    GPSCore::UpdateNearestIntersectionDescriptions: Finished reached.");
    m_context.Log("    GPSCore::UpdateNearestIntersectionDescriptions: no streetsFound");
    int text = ids::kNoIntersectionAhead;
    if (aheadHeading == -1) {
        m_context.Log("    GPSCore::UpdateNearestIntersectionDescriptions: no Heading");
        text = ids::kNoIntersectionNearby;
    }
    m_context.Log("    GPSCore::UpdateNearestIntersectionDescriptions exiting : "
                  "UpdateNoIntersectionFoundDescriptions");
    IntersectionAnswer answer = NoIntersection(current, m_context.String(text));
    m_context.Log("  GPSCore::UpdateNearestIntersectionDescriptions exit");
    return answer;
}

std::u16string WhereAmI::IntersectionDescription(std::u16string_view street, const Place& from,
                                                 std::int16_t heading,
                                                 const std::vector<CrossStreet>& records,
                                                 bool detailed) const {
    const std::size_t n = records.size();
    if (n == 0) return std::u16string(street);
    if (m_context.m_pUtility == nullptr) return std::u16string(street);
    const Utility& utility = *m_context.m_pUtility;
    Wording words(m_context.m_pUtility);
    if (n == 1)
        return m_context.String(ids::kDeadEnd) + u". " +
               CrossingText(street, heading, records, false);
    std::u16string text;
    const std::u16string decorated = words.Decorate(street);
    if (detailed) {
        if (n > 2)
            text +=
                utility.FormatString(ids::kWayIntersection, {static_cast<std::int64_t>(n)}) + u" ";
        text += heading != -1 ? utility.FormatString(ids::kFacingOn,
                                                     {words.CompassPointText(heading), decorated})
                              : utility.FormatString(ids::kOnStreet, {decorated});
        text += u". ";
    }
    // Far from the user the intersection's own distance and direction come first.
    const Units units = m_context.CurrentUnits();
    SHORT arrival = 0;
    if (auto settings = m_context.SystemSettings()) arrival = settings->ArrivalDistance(units);
    const std::int32_t d = geo::DistanceInUnits(
        {from.latitude, from.longitude}, {records.front().latitude, records.front().longitude},
        units == Metric ? geo::kUnitsMetric : geo::kUnitsImperial);
    if (d > 1.5 * arrival) {
        ComPtr<ILocationObject> at =
            NewLocation(records.front().latitude, records.front().longitude);
        ComPtr<ILocationObject> origin = NewLocation(from.latitude, from.longitude);
        Bstr phrase;
        if (at && origin) origin->GetDistanceAndHeading(heading, at.Get(), phrase.Put());
        text += utility.FormatString(ids::kIntersectionIs, {Text(phrase.Get())});
    }
    return text + CrossingText(street, heading, records, detailed);
}

std::u16string WhereAmI::CrossingText(std::u16string_view street, std::int16_t heading,
                                      const std::vector<CrossStreet>& records,
                                      bool withCurrent) const {
    const std::size_t n = records.size();
    if (m_context.m_pUtility == nullptr) return std::u16string(street);
    Wording words(m_context.m_pUtility);
    const std::u16string joiner = m_context.String(ids::kAndJoiner);
    const bool coarse = AnyReceiverCoarse();
    const std::vector<std::size_t> order = SpokenOrder(n);
    // One street with its directions, in the spoken order of its branches.
    auto streetWithDirections = [&](std::u16string_view name) {
        std::u16string text = words.Decorate(name) + u", ";
        bool first = true;
        for (std::size_t i : order) {
            if (records[i].name != name) continue;
            if (!first) text += joiner;
            first = false;
            const int bearing = records[i].bearing;
            text += heading != -1 ? words.RelativeDirectionText(static_cast<double>(heading),
                                                                bearing, false, coarse)
                                  : words.CompassPointText(bearing);
        }
        return text;
    };
    std::u16string text;
    std::vector<std::u16string_view> seen{street};
    if (withCurrent) {
        bool present = false;
        for (const CrossStreet& r : records)
            present = present || r.name == street;
        if (present) text = streetWithDirections(street);
    }
    for (std::size_t i : order) {
        const std::u16string& name = records[i].name;
        bool known = false;
        for (std::u16string_view s : seen)
            known = known || s == name;
        if (known) continue;
        seen.push_back(name);
        if (!text.empty()) text += joiner;
        text += streetWithDirections(name);
    }
    if (!text.empty()) return text;
    if (n < 3) return std::u16string(street);
    return m_context.m_pUtility->FormatString(ids::kWayIntersectionOf,
                                              {static_cast<std::int64_t>(n), street});
}

std::u16string WhereAmI::CrossStreetList(std::u16string_view street,
                                         const std::vector<CrossStreet>& records) const {
    if (records.size() == 1) return m_context.String(ids::kDeadEnd);
    const std::u16string joiner = m_context.String(ids::kAndJoiner);
    std::u16string text;
    std::vector<std::u16string_view> seen{street};
    for (const CrossStreet& r : records) {
        bool known = false;
        for (std::u16string_view s : seen)
            known = known || s == r.name;
        if (known || r.name.empty()) continue;
        seen.push_back(r.name);
        if (!text.empty()) text += joiner;
        text += Decorate(r.name);
    }
    return text;
}

IntersectionAnswer WhereAmI::Intersection(const Place& place, std::int16_t heading,
                                          bool ahead) const {
    // Only the position: the client's name and description are not the intersection's.
    const Place at = Usable(place) ? Place{place.latitude, place.longitude, {}, {}} : Place{};
    if (heading < -1 || heading > 359) heading = -1;
    if (ahead && heading == -1)
        return NoIntersection(u"", m_context.String(ids::kNoIntersectionAhead));
    return NearestIntersection(at, heading, ahead ? heading : std::int16_t{-1});
}

// ---------------------------------------------------------------------------------------------
// The city, areas, postal code and map of a detail record, decorated.
LocationDetail WhereAmI::DecoratedAreas(const LocationDetail& r) const {
    LocationDetail d = r;
    for (std::u16string* name : {&d.city, &d.borough, &d.area, &d.county, &d.country,
                                 &d.stateProvince, &d.zipPostalcode, &d.map})
        *name = Decorate(*name);
    return d;
}

// Where Am I.

WhereAmIAnswer WhereAmI::Describe(const Place& place, std::int16_t heading, Mode mode,
                                  SideOfStreet side) const {
    WhereAmIAnswer answer;
    if (heading < -1 || heading > 359) heading = -1;
    const bool valid = Usable(place);
    if (valid)
        answer.detail =
            m_context.Map().FirstDetail(place.latitude, place.longitude, MapWords::kAll, heading);
    if (answer.detail) {
        LocationDetail& r = *answer.detail;
        r = DecoratedAreas(r);
        r.streetNameDetailed = Decorate(r.streetNameDetailed);
        r.streetNameShort = Decorate(r.streetNameShort);
    }

    // The description. A known position the maps say nothing about (off every map, no map
    // loaded) is not an unknown one: the answer then stays empty.
    if (!valid) {
        answer.description = m_context.String(ids::kPositionUnknown);
        return answer;
    }
    if (!answer.detail) return answer;
    const LocationDetail& r = *answer.detail;
    const std::u16string& streetName = DetailedNames() ? r.streetNameDetailed : r.streetNameShort;
    if (streetName.empty()) {
        answer.description = m_context.String(ids::kPositionUnknown);
        return answer;
    }
    const Units units = m_context.CurrentUnits();
    SHORT arrival = 0;
    if (auto settings = m_context.SystemSettings()) arrival = settings->ArrivalDistance(units);
    const std::int32_t d =
        geo::DistanceInUnits({place.latitude, place.longitude}, {r.latitude, r.longitude},
                             units == Metric ? geo::kUnitsMetric : geo::kUnitsImperial);
    const bool near = d < arrival;
    std::u16string text;
    if (near && mode == GPSMode) text += m_context.String(ids::kCloseBy) + u" ";
    if (!r.houseNumber.empty() && r.houseNumber != u"0") text += r.houseNumber + u" ";
    text += streetName;
    if (!near) {
        ComPtr<ILocationObject> origin = NewLocation(place.latitude, place.longitude);
        ComPtr<ILocationObject> matched = NewLocation(r.latitude, r.longitude);
        Bstr phrase;
        if (origin) origin->GetDistanceAndHeading(heading, matched.Get(), phrase.Put());
        text += u", " + Text(phrase.Get());
    }
    if (mode == VirtualMode && side != SideUnknown) {
        VARIANT_BOOL tracking = VARIANT_FALSE;
        if (auto settings = m_context.SystemSettings())
            tracking = settings->virtualSideOfStreetTracking;
        if (tracking != 0)
            text +=
                u", " + m_context.String(side == LeftSide ? ids::kOnLeftSide : ids::kOnRightSide);
    }
    answer.description = text;
    return answer;
}

std::optional<LocationDetail> WhereAmI::CurrentMapCityPostal(const Place& place) const {
    if (!Usable(place)) return std::nullopt;
    auto detail =
        m_context.Map().FirstDetail(place.latitude, place.longitude, MapWords::kAreas, -1);
    if (!detail) return std::nullopt;
    return DecoratedAreas(*detail);
}

// ---------------------------------------------------------------------------------------------
// The small queries of lookaround and the first fix.

bool WhereAmI::GetStreetCityState(double latitude, double longitude, std::int16_t heading,
                                  std::u16string* street, std::u16string* city,
                                  std::u16string* state, std::u16string* houseNumber) const {
    m_context.Log("    GetStreetCityState");
    street->clear();
    city->clear();
    state->clear();
    houseNumber->clear();
    const auto details = Usable(latitude, longitude)
                             ? m_context.Map().Details(latitude, longitude,
                                                       MapWords::kStreetRaw | MapWords::kCity |
                                                           MapWords::kAddress | MapWords::kStateRaw,
                                                       heading, 1)
                             : std::nullopt;
    if (!details) {
        m_context.Log(" GPSCore::GetStreetCityState - Exit1 error");
        return false;
    }
    m_context.Log("    GetLocationsDetailsVector");
    if (details->empty()) {
        m_context.Log(" GPSCore::GetStreetCityState - Exit2 error");
        return false;
    }
    const LocationDetail& r = details->front();
    *street = r.streetNameShort;
    *city = r.city;
    *state = r.stateProvince;
    *houseNumber = r.houseNumber;
    return true;
}

bool WhereAmI::NearestPlaceNames(const Place& place, std::u16string* street, std::u16string* city,
                                 std::u16string* map) const {
    street->clear();
    city->clear();
    map->clear();
    if (!Usable(place)) return false;
    const auto detail = m_context.Map().FirstDetail(place.latitude, place.longitude,
                                                    MapWords::kStreetRaw | MapWords::kAreas, -1);
    if (!detail) return false;
    *street = detail->streetNameShort;
    *city = detail->city;
    *map = PlainMapName(detail->map);
    return !street->empty();
}

} // namespace gpscore
