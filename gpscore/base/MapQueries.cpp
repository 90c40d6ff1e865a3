#include "base/MapQueries.h"

#include <gpslib/GPSDatabaseLib.h>
#include <gpslib/GPSMapLib.h>

#include <utility>

#include "GPSLib_classes.h"
#include "base/LocationObject.h"

namespace gpscore {

using gpslib::Bstr;
using gpslib::ComPtr;

namespace {

// The engine's keyword string for a set of words. The engine finds each keyword anywhere in the
// string, so their order does not matter.
Bstr KeywordsOf(MapWords words) {
    static constexpr std::pair<MapWords, std::u16string_view> kKeywords[] = {
        {MapWords::kAll, u"ALL"},
        {MapWords::kAddress, u"ADDRESS"},
        {MapWords::kCity, u"CITY"},
        {MapWords::kAreas, u"ADDRESS_CITY_POSTAL_MAP"},
        {MapWords::kStreetRaw, u"STREET NAME RAW"},
        {MapWords::kStateRaw, u"STATE RAW"},
        {MapWords::kStreetExpanded, u"STREET EXPANDED"},
        {MapWords::kStreetDetailed, u"STREET DETAILED"},
        {MapWords::kIntersectionExpanded, u"INTERSECTION EXPANDED"},
        {MapWords::kConnectors, u"INCLUDE CONNECTORS"},
    };
    std::u16string text;
    for (const auto& [word, keyword] : kKeywords)
        if (Has(words, word)) text += keyword;
    return Bstr(std::u16string_view(text));
}

std::u16string TextOf(const Bstr& b) {
    return std::u16string(b.View());
}

// Reads (and empties) the engine's list of cross-street records; nothing when it is unreadable.
std::optional<std::vector<CrossStreet>> ReadCrossStreets(VARIANT* list) {
    std::vector<IUnknown*> items;
    if (FAILED(gpslib::ReadObjectList(list, IID_ICrossStreetRecord, kMaxCrossStreets, &items)))
        return std::nullopt;
    std::vector<CrossStreet> records;
    for (IUnknown* item : items) {
        auto record = ComPtr<ICrossStreetRecord>::Adopt(static_cast<ICrossStreetRecord*>(item));
        CrossStreet street;
        Bstr name;
        record->GetStreetName(name.Put());
        street.name = TextOf(name);
        record->GetLatitude(&street.latitude);
        record->GetLongitude(&street.longitude);
        record->GetBearing(&street.bearing);
        record->GetKind(&street.kind);
        VARIANT_BOOL flag = VARIANT_FALSE;
        record->IsSkipped(&flag);
        street.skipped = flag != 0;
        record->GetSideOfStreet(&street.side);
        flag = VARIANT_FALSE;
        record->MustCrossStreet(&flag);
        street.mustCross = flag != 0;
        if (street.bearing < -1 || street.bearing > 359) street.bearing = -1;
        records.push_back(std::move(street));
    }
    return records;
}

// Reads (and empties) the engine's list of crossing records; none when it is unreadable.
std::vector<MapCrossing> ReadCrossings(VARIANT* list) {
    std::vector<IUnknown*> items;
    if (FAILED(gpslib::ReadObjectList(list, IID_ICrossingRecord, kMaxCrossings, &items))) return {};
    std::vector<MapCrossing> crossings;
    for (IUnknown* item : items) {
        auto r = ComPtr<ICrossingRecord>::Adopt(static_cast<ICrossingRecord*>(item));
        MapCrossing c;
        Bstr street;
        r->GetLatitude(&c.latitude);
        r->GetLongitude(&c.longitude);
        r->GetStreetName(street.Put());
        c.street = TextOf(street);
        r->GetDistance(&c.distance);
        r->GetBearing(&c.bearing);
        r->GetLength(&c.length);
        r->GetControl(&c.control);
        r->GetAudibleSignal(&c.sound);
        r->GetVibratingSignal(&c.vibration);
        r->GetPushButton(&c.button);
        r->GetTactilePaving(&c.tactile);
        r->GetTrafficIsland(&c.island);
        r->GetKerbAtStart(&c.kerbs[0]);
        r->GetKerbAtEnd(&c.kerbs[1]);
        if (c.bearing < -1 || c.bearing > 359) c.bearing = -1;
        crossings.push_back(std::move(c));
    }
    return crossings;
}

// The engine's crossings interface; null for an engine without one.
ComPtr<IGPSMapCrossings> CrossingsOf(IGPSMap* engine) {
    ComPtr<IGPSMapCrossings> crossings;
    if (engine != nullptr) engine->QueryInterface(IID_IGPSMapCrossings, crossings.PutVoid());
    return crossings;
}

// The text and number fields of a detail record, one row each.
using Record = ILocationDetailRecord;
struct TextField {
    HRESULT (Record::*get)(BSTR*);
    std::u16string LocationDetail::*field;
};
constexpr TextField kTextFields[] = {
    {&Record::GetStreetNameShort, &LocationDetail::streetNameShort},
    {&Record::GetStreetNameDetailed, &LocationDetail::streetNameDetailed},
    {&Record::GetRoadClassification, &LocationDetail::roadClassification},
    {&Record::GetHouseNumber, &LocationDetail::houseNumber},
    {&Record::GetAddressRightFromAlphaNum, &LocationDetail::addressRightFromAlphaNum},
    {&Record::GetAddressRightToAlphaNum, &LocationDetail::addressRightToAlphaNum},
    {&Record::GetAddressLeftFromAlphaNum, &LocationDetail::addressLeftFromAlphaNum},
    {&Record::GetAddressLeftToAlphaNum, &LocationDetail::addressLeftToAlphaNum},
    {&Record::GetCity, &LocationDetail::city},
    {&Record::GetBorough, &LocationDetail::borough},
    {&Record::GetArea, &LocationDetail::area},
    {&Record::GetCounty, &LocationDetail::county},
    {&Record::GetStateProvince, &LocationDetail::stateProvince},
    {&Record::GetCountry, &LocationDetail::country},
    {&Record::GetZipPostalcode, &LocationDetail::zipPostalcode},
    {&Record::GetMap, &LocationDetail::map},
};
struct NumberField {
    HRESULT (Record::*get)(LONG*);
    std::int32_t LocationDetail::*field;
};
constexpr NumberField kNumberFields[] = {
    {&Record::GetHouseNumberRight, &LocationDetail::houseNumberRight},
    {&Record::GetHouseNumberLeft, &LocationDetail::houseNumberLeft},
    {&Record::GetAddressRightFrom, &LocationDetail::addressRightFrom},
    {&Record::GetAddressRightTo, &LocationDetail::addressRightTo},
    {&Record::GetAddressLeftFrom, &LocationDetail::addressLeftFrom},
    {&Record::GetAddressLeftTo, &LocationDetail::addressLeftTo},
};

LocationDetail DetailOf(Record* r) {
    LocationDetail d;
    r->GetLatitude(&d.latitude);
    r->GetLongitude(&d.longitude);
    for (const TextField& f : kTextFields) {
        Bstr value;
        (r->*f.get)(value.Put());
        d.*f.field = TextOf(value);
    }
    for (const NumberField& f : kNumberFields)
        (r->*f.get)(&(d.*f.field));
    r->GetSpeedLimitNonMetric(&d.speedLimitNonMetric);
    r->GetSpeedLimitMetric(&d.speedLimitMetric);
    r->GetNumberLanes(&d.numberLanes);
    return d;
}

RoutePoint PointOf(IRoutePoint* p) {
    RoutePoint r;
    Bstr name, description, street, cross;
    VARIANT_BOOL turning = 0;
    p->GetLatitude(&r.latitude);
    p->GetLongitude(&r.longitude);
    p->GetName(name.Put());
    p->GetDescription(description.Put());
    p->IsTurningPoint(&turning);
    p->GetStreetNameForward(street.Put());
    p->GetNumberOfLanes(&r.numberOfLanes);
    p->GetStreetOrientationForward(&r.streetOrientationForward);
    p->GetStreetOrientationReverse(&r.streetOrientationReverse);
    p->GetDistanceFromLastPoint(&r.distanceFromLastPoint);
    p->GetFeatureIndex(&r.featureIndex);
    p->GetCrossStreet(cross.Put());
    p->GetStreetSpeed(&r.streetSpeed);
    r.name = TextOf(name);
    r.description = TextOf(description);
    r.turningPoint = turning != 0;
    r.streetNameForward = TextOf(street);
    r.crossStreet = TextOf(cross);
    return r;
}

ComPtr<IRoutePoint> NewPoint(const RoutePoint& r) {
    ComPtr<IRoutePoint> p;
    if (FAILED(gpslib::CreateObject(CLSID_RoutePoint, IID_IRoutePoint, &p))) return {};
    p->SetLatitude(r.latitude);
    p->SetLongitude(r.longitude);
    p->SetName(Bstr(r.name).Get());
    p->SetDescription(Bstr(r.description).Get());
    p->SetTurningPoint(gpslib::VariantBool(r.turningPoint));
    p->SetStreetNameForward(Bstr(r.streetNameForward).Get());
    p->SetNumberOfLanes(r.numberOfLanes);
    p->SetStreetOrientationForward(r.streetOrientationForward);
    p->SetStreetOrientationReverse(r.streetOrientationReverse);
    p->SetDistanceFromLastPoint(r.distanceFromLastPoint);
    p->SetFeatureIndex(r.featureIndex);
    p->SetCrossStreet(Bstr(r.crossStreet).Get());
    p->SetStreetSpeed(r.streetSpeed);
    return p;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Loading.

std::u16string MapQueries::Initialize(std::u16string_view mapFolder,
                                      std::u16string_view settingsFolder, bool searchOtherFolders,
                                      std::u16string* found) const {
    found->clear();
    if (m_pGPSMap == nullptr) return {};
    Bstr answer;
    m_pGPSMap->Initalize(Bstr(mapFolder).Get(), Bstr(settingsFolder).Get(),
                         gpslib::VariantBool(searchOtherFolders), answer.Put());
    Bstr folder;
    m_pGPSMap->GetMapDirectory(folder.Put());
    *found = TextOf(folder);
    return TextOf(answer);
}

void MapQueries::Unload() const {
    if (m_pGPSMap != nullptr) m_pGPSMap->UnloadMaps();
}

void MapQueries::AddPOIFile(std::u16string_view file, const std::vector<std::int32_t>& categories,
                            bool isPOIFile) const {
    if (m_pGPSMap == nullptr) return;
    gpslib::Variant list;
    if (FAILED(gpslib::ReturnLongList(&list, categories))) return;
    m_pGPSMap->AddPOIFile(Bstr(file).Get(), &list, gpslib::VariantBool(isPOIFile));
}

void MapQueries::ClearPOIFiles() const {
    if (m_pGPSMap != nullptr) m_pGPSMap->ClearPOIFiles();
}

int MapQueries::MapsLoaded() const {
    SHORT maps = 0;
    if (m_pGPSMap == nullptr || FAILED(m_pGPSMap->GetNumberOfMapsLoaded(&maps))) return 0;
    return maps;
}

int MapQueries::CommercialPOIFilesLoaded() const {
    SHORT n = 0;
    if (m_pGPSMap != nullptr) m_pGPSMap->GetNumberOfCommercialPOIFilesLoaded(&n);
    return n;
}

std::vector<std::int32_t> MapQueries::LoadedPOICategories() const {
    std::vector<LONG> loaded;
    if (m_pGPSMap == nullptr) return loaded;
    gpslib::Variant numbers;
    SHORT n = 0;
    if (FAILED(m_pGPSMap->GetLoadedPOICategories(&numbers, &n)) ||
        FAILED(gpslib::ReadLongList(&numbers, 1000, &loaded)))
        loaded.clear();
    return loaded;
}

// ---------------------------------------------------------------------------------------------
// Streets.

std::u16string MapQueries::StreetAt(double latitude, double longitude, short heading,
                                    MapWords words) const {
    if (m_pGPSMap == nullptr) return {};
    Bstr street, result;
    if (FAILED(m_pGPSMap->GetStreetAtLocation(latitude, longitude, heading, KeywordsOf(words).Get(),
                                              street.Put(), result.Put())) ||
        result.View() != u"OK")
        return {};
    return TextOf(street);
}

short MapQueries::StreetBearing(double latitude, double longitude, short heading) const {
    SHORT bearing = -1;
    if (m_pGPSMap == nullptr ||
        FAILED(m_pGPSMap->GetStreetBearingAtLocation(latitude, longitude, heading, &bearing)))
        return -1;
    return bearing;
}

std::optional<std::vector<CrossStreet>>
MapQueries::NextCrossStreets(double latitude, double longitude, std::u16string_view street,
                             short aheadHeading, MapWords words) const {
    if (m_pGPSMap == nullptr) return std::nullopt;
    gpslib::Variant list;
    if (m_pGPSMap->FindNextCrossStreets(latitude, longitude, Bstr(street).Get(), aheadHeading,
                                        KeywordsOf(words).Get(), &list) != S_OK)
        return std::nullopt;
    return ReadCrossStreets(&list);
}

std::optional<std::vector<CrossStreet>>
MapQueries::MoveToNextIntersection(double latitude, double longitude, std::u16string_view street,
                                   short heading, SideOfStreet side, MapWords words) const {
    if (m_pGPSMap == nullptr) return std::nullopt;
    gpslib::Variant list;
    if (FAILED(m_pGPSMap->MoveToNextIntersection(latitude, longitude, Bstr(street).Get(), heading,
                                                 side, KeywordsOf(words).Get(), &list)))
        return std::nullopt;
    return ReadCrossStreets(&list).value_or(std::vector<CrossStreet>{});
}

std::optional<std::vector<CrossStreet>>
MapQueries::MoveAcrossStreet(double latitude, double longitude, std::u16string_view street,
                             short heading, SideOfStreet side, MapWords words) const {
    if (m_pGPSMap == nullptr) return std::nullopt;
    gpslib::Variant list;
    if (FAILED(m_pGPSMap->MoveAcrossStreet(latitude, longitude, Bstr(street).Get(), heading, side,
                                           KeywordsOf(words).Get(), &list)))
        return std::nullopt;
    return ReadCrossStreets(&list).value_or(std::vector<CrossStreet>{});
}

// ---------------------------------------------------------------------------------------------
// Crossings.

std::vector<MapCrossing> MapQueries::CrossingsNear(double latitude, double longitude, double radius,
                                                   MapWords words) const {
    ComPtr<IGPSMapCrossings> engine = CrossingsOf(m_pGPSMap);
    gpslib::Variant list;
    if (!engine || FAILED(engine->GetCrossingsNear(latitude, longitude, radius,
                                                   KeywordsOf(words).Get(), &list)))
        return {};
    return ReadCrossings(&list);
}

std::optional<MapCrossing> MapQueries::NextCrossingAhead(double latitude, double longitude,
                                                         short heading, double range,
                                                         MapWords words) const {
    ComPtr<IGPSMapCrossings> engine = CrossingsOf(m_pGPSMap);
    gpslib::Variant list;
    if (!engine || FAILED(engine->GetNextCrossingAhead(latitude, longitude, heading, range,
                                                       KeywordsOf(words).Get(), &list)))
        return std::nullopt;
    std::vector<MapCrossing> found = ReadCrossings(&list);
    if (found.empty()) return std::nullopt;
    return std::move(found.front());
}

std::vector<MapCrossing> MapQueries::RouteCrossings() const {
    ComPtr<IGPSMapCrossings> engine = CrossingsOf(m_pGPSMap);
    gpslib::Variant list;
    if (!engine || FAILED(engine->GetRouteCrossings(&list))) return {};
    return ReadCrossings(&list);
}

// ---------------------------------------------------------------------------------------------
// Positions.

std::optional<std::vector<LocationDetail>> MapQueries::Details(double latitude, double longitude,
                                                               MapWords words, short heading,
                                                               std::size_t most) const {
    if (m_pGPSMap == nullptr) return std::nullopt;
    gpslib::Variant list;
    if (m_pGPSMap->GetLocationsDetailsVector(latitude, longitude, KeywordsOf(words).Get(), heading,
                                             &list) != S_OK)
        return std::nullopt;
    std::vector<IUnknown*> items;
    if (FAILED(gpslib::ReadObjectList(&list, IID_ILocationDetailRecord, most, &items)))
        return std::nullopt;
    std::vector<LocationDetail> details;
    for (IUnknown* item : items) {
        auto record = ComPtr<Record>::Adopt(static_cast<Record*>(item));
        details.push_back(DetailOf(record.Get()));
    }
    return details;
}

std::optional<LocationDetail> MapQueries::FirstDetail(double latitude, double longitude,
                                                      MapWords words, short heading) const {
    auto details = Details(latitude, longitude, words, heading, 1);
    if (!details || details->empty()) return std::nullopt;
    return std::move(details->front());
}

std::u16string MapQueries::DescribePosition(double latitude, double longitude) const {
    Bstr description;
    if (m_pGPSMap == nullptr ||
        FAILED(m_pGPSMap->DescribePosition(latitude, longitude, description.Put())))
        return {};
    return TextOf(description);
}

// ---------------------------------------------------------------------------------------------
// Addresses.

std::vector<std::u16string> MapQueries::MapsMatching(std::u16string_view search) const {
    std::vector<std::u16string> names;
    if (m_pGPSMap == nullptr) return names;
    gpslib::Variant found;
    if (FAILED(m_pGPSMap->FindMapsMatching(Bstr(search).Get(), &found)) ||
        FAILED(gpslib::ReadStringList(&found, &names)))
        names.clear();
    return names;
}

std::optional<std::pair<double, double>> MapQueries::AddressPosition(const Address& a) const {
    if (m_pGPSMap == nullptr) return std::nullopt;
    double latitude = 0.0, longitude = 0.0;
    VARIANT_BOOL placed = VARIANT_FALSE;
    if (FAILED(m_pGPSMap->FindAddressPosition(
            Bstr(a.map).Get(), a.streetKey, Bstr(a.street).Get(), Bstr(a.city).Get(),
            Bstr(a.postalCode).Get(), Bstr(a.houseNumber).Get(), &latitude, &longitude, &placed)) ||
        placed == VARIANT_FALSE || (latitude == 0.0 && longitude == 0.0))
        return std::nullopt;
    return std::make_pair(latitude, longitude);
}

std::int32_t MapQueries::AddressCrossStreets(const Address& a, bool matchPostalOnly, VARIANT* list,
                                             short* count) const {
    if (m_pGPSMap == nullptr) return E_FAIL;
    return m_pGPSMap->FindCrossStreets(Bstr(a.map).Get(), a.streetKey, Bstr(a.street).Get(),
                                       Bstr(a.city).Get(), Bstr(a.postalCode).Get(),
                                       gpslib::VariantBool(matchPostalOnly), list, count);
}

// ---------------------------------------------------------------------------------------------
// POIs.

std::optional<bool> MapQueries::FindPOIs(const MapPOISearch& search,
                                         std::vector<MapPOI>* candidates,
                                         double* distanceKm) const {
    if (m_pGPSMap == nullptr) return std::nullopt;
    // The engine takes the search as a location, a search configuration and a results list.
    ComPtr<ILocationObject> location = NewLocation(search.latitude, search.longitude);
    ComPtr<IPOISearchConfigurationObject> config;
    ComPtr<IPOIResults> results;
    if (!location ||
        FAILED(gpslib::CreateObject(CLSID_POISearchConfigurationObject,
                                    IID_IPOISearchConfigurationObject, &config)) ||
        FAILED(gpslib::CreateObject(CLSID_POIResults, IID_IPOIResults, &results)))
        return std::nullopt;
    config->SetCategoryNumber(search.category);
    config->SetSubCategoryNumber(search.subCategory);
    config->SetSearchDirection(search.direction);
    config->SetCurrentHeadingDegrees(search.heading);
    config->SetUserPrivateOnly(gpslib::VariantBool(search.privateOnly));
    config->SetUserPublicOnly(gpslib::VariantBool(search.publicOnly));
    config->SetIncludeUserPrivateAsWell(gpslib::VariantBool(search.includePrivate));
    config->SetMaxSearchResults(search.maxResults);
    config->SetDistanceStarting(search.distanceStartingKm);
    VARIANT_BOOL found = VARIANT_FALSE;
    if (FAILED(m_pGPSMap->FindPOIs(location.Get(), config.Get(), -1, results.Get(), distanceKm,
                                   &found)))
        return std::nullopt;
    LONG count = 0;
    results->GetCount(&count);
    for (LONG i = 0; i < count; ++i) {
        Bstr name;
        LONG key = 0;
        results->GetItem(i, name.Put(), &key);
        candidates->push_back({TextOf(name), key});
    }
    return found != VARIANT_FALSE;
}

// ---------------------------------------------------------------------------------------------
// Routes.

EngineRoute MapQueries::FindRoute(bool walking, double fromLatitude, double fromLongitude,
                                  double toLatitude, double toLongitude,
                                  std::u16string_view endName, std::u16string_view endDescription,
                                  MapWords words, const RoutePreferences& p) const {
    EngineRoute route;
    route.problem = RouteProblem::kNotFound;
    if (m_pGPSMap == nullptr) return route;
    gpslib::Variant points;
    const Bstr name(endName), description(endDescription);
    const Bstr keywords = KeywordsOf(words);
    auto find = walking ? &IGPSMap::FindWalkingRoute : &IGPSMap::FindDrivingRoute;
    HRESULT hr =
        (m_pGPSMap->*find)(fromLatitude, fromLongitude, toLatitude, toLongitude, name.Get(),
                           description.Get(), keywords.Get(), p.freeway, p.vehicleTurn,
                           p.pedestrianTurn, p.roundabout, p.toll, p.vehicleMode, &points);
    if (FAILED(hr) || points.vt != (VT_ARRAY | VT_VARIANT)) return route;
    SAFEARRAY* array = points.parray;
    LONG lower = 0, upper = -1;
    if (array == nullptr || FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
        FAILED(SafeArrayGetUBound(array, 1, &upper)) || upper <= lower) {
        route.problem = RouteProblem::kTooShort;
        return route;
    }
    route.lastIndex = upper;
    for (LONG i = lower; i <= upper; ++i) {
        gpslib::Variant element;
        ComPtr<IRoutePoint> point;
        const bool isObject = SUCCEEDED(SafeArrayGetElement(array, &i, &element)) &&
                              element.vt == VT_DISPATCH && element.pdispVal != nullptr;
        if (isObject) element.pdispVal->QueryInterface(IID_IRoutePoint, point.PutVoid());
        if (!point) {
            route.points.clear();
            route.problem = RouteProblem::kBadPoint;
            route.badPoint = i;
            route.badPointKind = isObject ? 2 : 1;
            return route;
        }
        route.points.push_back(PointOf(point.Get()));
    }
    route.problem = RouteProblem::kNone;
    return route;
}

bool MapQueries::LoadRoute(bool walking, const std::vector<RoutePoint>& points,
                           const RoutePreferences& p) const {
    if (m_pGPSMap == nullptr) return false;
    std::vector<ComPtr<IRoutePoint>> objects;
    std::vector<IUnknown*> items;
    for (const RoutePoint& r : points) {
        ComPtr<IRoutePoint> point = NewPoint(r);
        if (!point) return false;
        items.push_back(point.Get());
        objects.push_back(std::move(point));
    }
    gpslib::Variant list;
    if (FAILED(gpslib::ReturnObjectList(&list, items, IID_IRoutePoint))) return false;
    VARIANT_BOOL optimized = VARIANT_FALSE;
    auto load = walking ? &IGPSMap::LoadWalkingRoute : &IGPSMap::LoadDrivingRoute;
    HRESULT hr = (m_pGPSMap->*load)(&list, p.freeway, p.vehicleTurn, p.pedestrianTurn, p.roundabout,
                                    p.toll, p.vehicleMode, &optimized);
    return SUCCEEDED(hr) && optimized != 0;
}

void MapQueries::SetRouteInitialHeading(short heading) const {
    if (m_pGPSMap != nullptr) m_pGPSMap->SetRouteInitialHeading(heading);
}

void MapQueries::SetRouteWaypointMode(WaypointMode mode) const {
    if (m_pGPSMap != nullptr) m_pGPSMap->SetRouteWaypointMode(mode);
}

void MapQueries::ClearRoute() const {
    if (m_pGPSMap != nullptr) m_pGPSMap->ClearRoute();
}

} // namespace gpscore
