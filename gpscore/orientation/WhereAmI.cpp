#include "orientation/WhereAmI.h"

#include <cmath>

#include "base/Answers.h"
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

// A speed limit as a whole number; nothing sensible (NaN, out of range) reads as none.
SHORT WholeSpeed(double value) {
    if (!std::isfinite(value) || value < 0.0 || value > 1000.0) return 0;
    return static_cast<SHORT>(value);
}

// The position alone (0/0 for none).
Place PositionOf(ILocationObject* location) {
    Place p;
    if (location != nullptr) {
        location->GetLatitude(&p.latitude);
        location->GetLongitude(&p.longitude);
    }
    return p;
}

// A position the maps can be asked about: not 0/0, finite, within the coordinate ranges.
bool Usable(double latitude, double longitude) {
    return (latitude != 0.0 || longitude != 0.0) && std::isfinite(latitude) &&
           std::isfinite(longitude) && latitude >= -90.0 && latitude <= 90.0 &&
           longitude >= -180.0 && longitude <= 180.0;
}

bool UsablePlace(ILocationObject* location) {
    if (!IsValidPlace(location)) return false;
    const Place p = PositionOf(location);
    return Usable(p.latitude, p.longitude);
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
    if (auto settings = m_context.SystemSettings()) settings->GetStreetNamesDetailed(&detailed);
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

void WhereAmI::UpdateNoIntersectionFoundDescriptions(IIntersectionObject* intersection,
                                                     std::u16string_view text) {
    auto* impl = gpslib::ImplOf<CIntersectionObject>(intersection);
    if (impl == nullptr) return;
    if (auto empty = NewLocation(0.0, 0.0)) impl->ShareLocation(empty.Get());
    impl->SetCrossStreets(text);
    impl->SetIntersectionDescription(text);
    impl->SetIntersectionDescriptionDetailed(text);
}

void WhereAmI::UpdateNearestIntersectionDescriptions(IIntersectionObject* intersection,
                                                     SHORT heading, SHORT aheadHeading) {
    auto* impl = gpslib::ImplOf<CIntersectionObject>(intersection);
    if (impl == nullptr) return;
    m_context.Log("  GPSCore::UpdateNearestIntersectionDescriptions enter");
    if (!HasMaps()) {
        m_context.Log("  GPSCore::UpdateNearestIntersectionDescriptions exit: NoMaps");
        if (auto empty = NewLocation(0.0, 0.0)) impl->ShareLocation(empty.Get());
        return;
    }
    ComPtr<ILocationObject> here(impl->InnerLocation());
    const Place p = PositionOf(here.Get());

    bool streetsFound = false;
    const MapQueries map = m_context.Map();
    const std::u16string current =
        Usable(p.latitude, p.longitude)
            ? map.StreetAt(p.latitude, p.longitude, heading, StreetWords())
            : std::u16string();
    if (!current.empty()) {
        m_context.Log("  GPSCore::UpdateNearestIntersectionDescriptions result == _bstr_t(OK) && "
                      "currentGPSStreet)");
        impl->SetCurrentStreetName(current);
        m_context.Log(
            "  GPSCore::UpdateNearestIntersectionDescriptions about to call FindNextCrossStreets");
        // Every branch the engine returns is spoken, connectors included: the count of an
        // "N-way intersection" is the number of ways a walker can take from it.
        const auto branches = map.NextCrossStreets(p.latitude, p.longitude, current, aheadHeading,
                                                   IntersectionWords(true));
        m_context.Log(
            "  GPSCore::UpdateNearestIntersectionDescriptions returned from FindNextCrossStreets");
        if (branches) {
            const std::vector<CrossStreet>& records = *branches;
            if (records.empty()) {
                m_context.Log(
                    "    GPSCore::UpdateNearestIntersectionDescriptions: nCrossStreets = 0");
            } else {
                streetsFound = true;
                m_context.Log("    GPSCore::UpdateNearestIntersectionDescriptions: "
                              "GetDetailedIntersectionDescription starting");
                impl->SetIntersectionDescription(
                    IntersectionDescription(current, here.Get(), heading, records, false));
                impl->SetIntersectionDescriptionDetailed(
                    IntersectionDescription(current, here.Get(), heading, records, true));
                std::u16string crossing = CrossStreetList(current, records);
                if (crossing.empty()) crossing = CrossStreetList(u"", records);
                impl->SetCrossStreets(crossing);
                if (auto at = NewLocation(records.front().latitude, records.front().longitude))
                    impl->ShareLocation(at.Get());
                m_context.Log("    GPSCore::UpdateNearestIntersectionDescriptions: "
                              "GetDetailedIntersectionDescription finished");
            }
        }
        if (!streetsFound)
            m_context.Log("    GPSCore::UpdateNearestIntersectionDescriptions: !streetsFound");
    } else {
        m_context.Log(
            "  GPSCore::UpdateNearestIntersectionDescriptions didn't pass result == _bstr_t(OK) "
            "&& currentGPSStreet)");
    }

    m_context.Log("    GPSCore::UpdateNearestIntersectionDescriptions: Finished reached.");
    if (streetsFound) {
        ILocationObject* at = impl->InnerLocation();
        std::u16string name, details;
        if (m_places.AnnotationNear(at, &name, &details)) {
            Bstr detailed;
            impl->GetIntersectionDescriptionDetailed(detailed.Put());
            impl->SetIntersectionDescription(name);
            impl->SetIntersectionDescriptionDetailed(Text(detailed.Get()) + u". " + details);
        }
        m_context.Log("  GPSCore::UpdateNearestIntersectionDescriptions exit: streetsFound");
        return;
    }
    m_context.Log("    GPSCore::UpdateNearestIntersectionDescriptions: no streetsFound");
    int text = ids::kNoIntersectionAhead;
    if (aheadHeading == -1) {
        m_context.Log("    GPSCore::UpdateNearestIntersectionDescriptions: no Heading");
        text = ids::kNoIntersectionNearby;
    }
    m_context.Log("    GPSCore::UpdateNearestIntersectionDescriptions exiting : "
                  "UpdateNoIntersectionFoundDescriptions");
    UpdateNoIntersectionFoundDescriptions(intersection, m_context.String(text));
    m_context.Log("  GPSCore::UpdateNearestIntersectionDescriptions exit");
}

std::u16string WhereAmI::IntersectionDescription(std::u16string_view street, ILocationObject* here,
                                                 SHORT heading,
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
    const Place from = PositionOf(here);
    const Units units = m_context.CurrentUnits();
    SHORT arrival = 0;
    if (auto settings = m_context.SystemSettings()) settings->GetArrivalDistance(units, &arrival);
    const std::int32_t d = geo::DistanceInUnits(
        {from.latitude, from.longitude}, {records.front().latitude, records.front().longitude},
        units == Metric ? geo::kUnitsMetric : geo::kUnitsImperial);
    if (here != nullptr && d > 1.5 * arrival) {
        ComPtr<ILocationObject> at =
            NewLocation(records.front().latitude, records.front().longitude);
        ComPtr<ILocationObject> origin = NewLocation(from.latitude, from.longitude);
        Bstr phrase;
        if (at && origin) origin->GetDistanceAndHeading(heading, at.Get(), phrase.Put());
        text += utility.FormatString(ids::kIntersectionIs, {Text(phrase.Get())});
    }
    return text + CrossingText(street, heading, records, detailed);
}

std::u16string WhereAmI::CrossingText(std::u16string_view street, SHORT heading,
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

HRESULT WhereAmI::Intersection(ILocationObject* place, SHORT heading, bool ahead,
                               IIntersectionObject** result) {
    ComPtr<IIntersectionObject> intersection;
    HRESULT hr =
        gpslib::CreateObject(CLSID_IntersectionObject, IID_IIntersectionObject, &intersection);
    if (FAILED(hr)) return hr;
    auto* impl = gpslib::ImplOf<CIntersectionObject>(intersection.Get());
    if (impl == nullptr) return E_FAIL;
    if (UsablePlace(place)) {
        // Only the position: the client's name and description are not the intersection's.
        const Place p = PositionOf(place);
        if (auto at = NewLocation(p.latitude, p.longitude)) impl->ShareLocation(at.Get());
    }
    if (heading < -1 || heading > 359) heading = -1;
    if (ahead && heading == -1)
        UpdateNoIntersectionFoundDescriptions(intersection.Get(),
                                              m_context.String(ids::kNoIntersectionAhead));
    else
        UpdateNearestIntersectionDescriptions(intersection.Get(), heading, ahead ? heading : -1);
    *result = intersection.Detach();
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// The city, areas, postal code and map of a detail record, decorated, onto an answer.
void WhereAmI::SetAreas(const LocationDetail& r, CWhereAmIObject* impl) const {
    impl->SetCity(Decorate(r.city));
    impl->SetBorough(Decorate(r.borough));
    impl->SetArea(Decorate(r.area));
    impl->SetCounty(Decorate(r.county));
    impl->SetCountry(Decorate(r.country));
    impl->SetStateProvince(Decorate(r.stateProvince));
    impl->SetZipPostalcode(Decorate(r.zipPostalcode));
    impl->SetMap(Decorate(r.map));
}

// Where Am I.

HRESULT WhereAmI::Describe(ILocationObject* place, SHORT heading, Mode mode, SideOfStreet side,
                           IWhereAmIObject** result) {
    ComPtr<IWhereAmIObject> answer;
    HRESULT hr = gpslib::CreateObject(CLSID_WhereAmIObject, IID_IWhereAmIObject, &answer);
    if (FAILED(hr)) return hr;
    auto* impl = gpslib::ImplOf<CWhereAmIObject>(answer.Get());
    if (impl == nullptr) return E_FAIL;
    if (heading < -1 || heading > 359) heading = -1;
    const bool valid = UsablePlace(place);
    const Place p = PositionOf(place);
    const std::optional<LocationDetail> detail =
        valid ? m_context.Map().FirstDetail(p.latitude, p.longitude, MapWords::kAll, heading)
              : std::nullopt;
    const bool found = detail.has_value();
    if (found) {
        const LocationDetail& r = *detail;
        impl->SetSpeedLimitNonMetric(WholeSpeed(r.speedLimitNonMetric));
        impl->SetSpeedLimitMetric(WholeSpeed(r.speedLimitMetric));
        impl->SetNumberLanes(r.numberLanes);
        impl->SetStreetNameDetailed(Decorate(r.streetNameDetailed));
        impl->SetStreetNameShort(Decorate(r.streetNameShort));
        SetAreas(r, impl);
        impl->SetRoadClassification(r.roadClassification);
        impl->SetHouseNumber(r.houseNumber);
        impl->SetAddressRightFromAlphaNum(r.addressRightFromAlphaNum);
        impl->SetAddressRightToAlphaNum(r.addressRightToAlphaNum);
        impl->SetAddressLeftFromAlphaNum(r.addressLeftFromAlphaNum);
        impl->SetAddressLeftToAlphaNum(r.addressLeftToAlphaNum);
        impl->SetAddressRightFrom(r.addressRightFrom);
        impl->SetAddressRightTo(r.addressRightTo);
        impl->SetAddressLeftFrom(r.addressLeftFrom);
        impl->SetAddressLeftTo(r.addressLeftTo);
        if (auto at = NewLocation(r.latitude, r.longitude)) impl->ShareLocation(at.Get());
    }

    // The description. A known position the maps say nothing about (off every map, no map
    // loaded) is not an unknown one: the answer then stays empty.
    if (!valid) {
        impl->SetDescription(m_context.String(ids::kPositionUnknown));
        *result = answer.Detach();
        return S_OK;
    }
    if (!found) {
        *result = answer.Detach();
        return S_OK;
    }
    Bstr streetName, houseNumber;
    if (DetailedNames())
        impl->GetStreetNameDetailed(streetName.Put());
    else
        impl->GetStreetNameShort(streetName.Put());
    if (streetName.Length() == 0) {
        impl->SetDescription(m_context.String(ids::kPositionUnknown));
        *result = answer.Detach();
        return S_OK;
    }
    ILocationObject* matched = impl->InnerLocation();
    const Place m = PositionOf(matched);
    const Units units = m_context.CurrentUnits();
    SHORT arrival = 0;
    if (auto settings = m_context.SystemSettings()) settings->GetArrivalDistance(units, &arrival);
    const std::int32_t d =
        geo::DistanceInUnits({p.latitude, p.longitude}, {m.latitude, m.longitude},
                             units == Metric ? geo::kUnitsMetric : geo::kUnitsImperial);
    const bool near = d < arrival;
    std::u16string text;
    if (near && mode == GPSMode) text += m_context.String(ids::kCloseBy) + u" ";
    impl->GetHouseNumber(houseNumber.Put());
    if (houseNumber.Length() > 0 && houseNumber.View() != u"0")
        text += Text(houseNumber.Get()) + u" ";
    text += Text(streetName.Get());
    if (!near) {
        ComPtr<ILocationObject> origin = NewLocation(p.latitude, p.longitude);
        Bstr phrase;
        if (origin) origin->GetDistanceAndHeading(heading, matched, phrase.Put());
        text += u", " + Text(phrase.Get());
    }
    if (mode == VirtualMode && side != SideUnknown) {
        VARIANT_BOOL tracking = VARIANT_FALSE;
        if (auto settings = m_context.SystemSettings())
            settings->GetVirtualSideOfStreetTracking(&tracking);
        if (tracking != 0)
            text +=
                u", " + m_context.String(side == LeftSide ? ids::kOnLeftSide : ids::kOnRightSide);
    }
    impl->SetDescription(text);
    *result = answer.Detach();
    return S_OK;
}

HRESULT WhereAmI::CurrentMapCityPostal(ILocationObject* place, IWhereAmIObject** result) {
    ComPtr<IWhereAmIObject> answer;
    HRESULT hr = gpslib::CreateObject(CLSID_WhereAmIObject, IID_IWhereAmIObject, &answer);
    if (FAILED(hr)) return hr;
    auto* impl = gpslib::ImplOf<CWhereAmIObject>(answer.Get());
    if (impl == nullptr) return E_FAIL;
    const Place p = PositionOf(place);
    if (UsablePlace(place)) {
        if (auto detail =
                m_context.Map().FirstDetail(p.latitude, p.longitude, MapWords::kAreas, -1))
            SetAreas(*detail, impl);
    }
    *result = answer.Detach();
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// The small queries of lookaround and the first fix.

bool WhereAmI::GetStreetCityState(double latitude, double longitude, SHORT heading,
                                  std::u16string* street, std::u16string* city,
                                  std::u16string* state, std::u16string* houseNumber) {
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

bool WhereAmI::NearestPlaceNames(ILocationObject* place, std::u16string* street,
                                 std::u16string* city, std::u16string* map) const {
    street->clear();
    city->clear();
    map->clear();
    if (!UsablePlace(place)) return false;
    const Place p = PositionOf(place);
    const auto detail = m_context.Map().FirstDetail(p.latitude, p.longitude,
                                                    MapWords::kStreetRaw | MapWords::kAreas, -1);
    if (!detail) return false;
    *street = detail->streetNameShort;
    *city = detail->city;
    *map = PlainMapName(detail->map);
    return !street->empty();
}

} // namespace gpscore
