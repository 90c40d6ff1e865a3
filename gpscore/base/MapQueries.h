// The service's one way to the map engine. The engine speaks keyword strings, variants and safe
// arrays of record objects; the parts ask in plain words and get plain structs back, so that no
// part decodes an engine answer of its own and every engine call is found in one file.
#ifndef GPSCORE_BASE_MAPQUERIES_H_
#define GPSCORE_BASE_MAPQUERIES_H_

#include <gpslib/GPSLib_enums.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct IGPSMap;
struct VARIANT;

namespace gpscore {

// What an engine answer should fill in; combined with |. Each is one keyword of the engine.
enum class MapWords : unsigned {
    kNone = 0,
    kAll = 1u << 0,                  // every field of a detail record
    kAddress = 1u << 1,              // the house number and the address ranges
    kCity = 1u << 2,                 // the city
    kAreas = 1u << 3,                // city, areas, postal code and map
    kStreetRaw = 1u << 4,            // the street name as the map writes it
    kStateRaw = 1u << 5,             // the state or province as the map writes it
    kStreetExpanded = 1u << 6,       // street names with their abbreviations written out
    kStreetDetailed = 1u << 7,       // street names with their road type
    kIntersectionExpanded = 1u << 8, // cross-street names written out
    kConnectors = 1u << 9,           // the unnamed connector branches of an intersection
};
constexpr MapWords operator|(MapWords a, MapWords b) {
    return static_cast<MapWords>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
constexpr bool Has(MapWords set, MapWords word) {
    return (static_cast<unsigned>(set) & static_cast<unsigned>(word)) != 0;
}

// One branch leaving an intersection, as the map engine answers it.
struct CrossStreet {
    std::u16string name;
    double latitude = 0.0;
    double longitude = 0.0;
    short bearing = -1;
    short kind = 0; // 0 a street, 1 a connector, 2 no way on.
    bool skipped = false;
    SideOfStreet side = SideUnknown;
    bool mustCross = false;
};

// The engine keeps at most this many branches or detail records per answer; more are dropped.
constexpr std::size_t kMaxCrossStreets = 150;

// What the maps say of a position: the matched point on the street and its street, address and
// area fields (empty or 0 when unknown or not asked for).
struct LocationDetail {
    double latitude = 0.0;
    double longitude = 0.0;
    std::u16string streetNameShort, streetNameDetailed, roadClassification, houseNumber;
    std::int32_t houseNumberRight = 0, houseNumberLeft = 0;
    std::u16string addressRightFromAlphaNum, addressRightToAlphaNum, addressLeftFromAlphaNum,
        addressLeftToAlphaNum;
    std::int32_t addressRightFrom = 0, addressRightTo = 0, addressLeftFrom = 0, addressLeftTo = 0;
    std::u16string city, borough, area, county, stateProvince, country, zipPostalcode, map;
    double speedLimitNonMetric = 0.0, speedLimitMetric = 0.0;
    short numberLanes = 0;
};

// One point of an engine route.
struct RoutePoint {
    double latitude = 0.0;
    double longitude = 0.0;
    std::u16string name, description;
    bool turningPoint = false;
    std::u16string streetNameForward;
    short numberOfLanes = 0;
    short streetOrientationForward = -1;
    short streetOrientationReverse = -1;
    double distanceFromLastPoint = 0.0;
    short featureIndex = 0;
    std::u16string crossStreet;
    short streetSpeed = 0;
};

// One place where a walker crosses a road, as the map engine answers it (docs/crossings.md).
struct MapCrossing {
    double latitude = 0.0;
    double longitude = 0.0;
    std::u16string street; // the road crossed
    double distance = 0.0; // metres from the place asked about
    short bearing = -1;    // from that place; -1 when it is the place itself
    double length = 0.0;   // kerb to kerb, metres; 0 when unknown
    CrossingControl control = CrossingControlUnknown;
    CrossingFeature sound = CrossingFeatureUnknown;
    CrossingFeature vibration = CrossingFeatureUnknown;
    CrossingFeature button = CrossingFeatureUnknown;
    CrossingFeature tactile = CrossingFeatureUnknown;
    CrossingFeature island = CrossingFeatureUnknown;
    CrossingKerb kerbs[2] = {CrossingKerbUnknown, CrossingKerbUnknown};
};

// The engine keeps at most this many crossings per answer; more are dropped.
constexpr std::size_t kMaxCrossings = 150;

// The preferences a route is found or matched with.
struct RoutePreferences {
    RouteFreewayPreference freeway = RouteFreewayNormal;
    RouteTurnPreferenceVehicle vehicleTurn = RouteTurnVehicleFavorsRight;
    RouteTurnPreferencePedestrian pedestrianTurn = RouteTurnPedestrianAutomatic;
    RouteRoundaboutPreference roundabout = RouteRoundaboutNormal;
    RouteTollRoadPreference toll = RouteTollRoadNormal;
    RouteVehicleMode vehicleMode = RouteVehicleModeFastest;
};

// Why an engine route came back empty, for the log.
enum class RouteProblem { kNone, kNotFound, kTooShort, kBadPoint };

// A found route, or why there is none; `badPoint` is the index of a point that was not a route
// point and `badPointKind` 1 for a non-object, 2 for an object of another kind.
struct EngineRoute {
    std::vector<RoutePoint> points;
    RouteProblem problem = RouteProblem::kNone;
    long badPoint = 0, lastIndex = 0;
    int badPointKind = 0;
};

// One ring of a POI search as the engine takes it: where, which categories (0: all), the
// direction relative to the heading, the user-POI visibility and the first ring's radius.
struct MapPOISearch {
    double latitude = 0.0;
    double longitude = 0.0;
    std::int16_t category = 0, subCategory = 0;
    Directions direction = DirectionAll;
    std::int16_t heading = -1;
    bool privateOnly = false, publicOnly = false, includePrivate = false;
    std::int32_t maxResults = 25;
    double distanceStartingKm = -1.0; // the first ring's radius when above 0
};

// A POI the engine found: the name and key of its record.
struct MapPOI {
    std::u16string name;
    std::int32_t key = 0;
};

// A view of the service's engine: cheap to make, valid while the engine it was made from lives.
// Every query answers "nothing" (empty, -1, 0, false) when there is no engine.
class MapQueries {
public:
    explicit MapQueries(IGPSMap* engine) : m_pGPSMap(engine) {}

    bool HasEngine() const { return m_pGPSMap != nullptr; }

    // --- Loading
    // Loads the maps of a folder; the engine's answer ("OK" when maps loaded). `found` is the
    // folder the maps were found in.
    std::u16string Initialize(std::u16string_view mapFolder, std::u16string_view settingsFolder,
                              bool searchOtherFolders, std::u16string* found) const;
    void Unload() const;
    void AddPOIFile(std::u16string_view file, const std::vector<std::int32_t>& categories,
                    bool isPOIFile) const;
    void ClearPOIFiles() const;
    int MapsLoaded() const;
    int CommercialPOIFilesLoaded() const;
    // The POI categories of the loaded POI files.
    std::vector<std::int32_t> LoadedPOICategories() const;

    // --- Streets
    // The street at a position, preferring one along the heading; empty when none.
    std::u16string StreetAt(double latitude, double longitude, short heading, MapWords words) const;
    // The bearing of the street at a position, turned toward the heading; -1 when none.
    short StreetBearing(double latitude, double longitude, short heading) const;
    // The branches of the nearest intersection of the street (aheadHeading -1) or of the next one
    // along aheadHeading; nothing when the engine found none or its answer was unreadable.
    std::optional<std::vector<CrossStreet>> NextCrossStreets(double latitude, double longitude,
                                                             std::u16string_view street,
                                                             short aheadHeading,
                                                             MapWords words) const;
    // The walker's steps: to the next intersection along the heading, or across the street.
    // Nothing when the engine failed; an empty list when it found no way.
    std::optional<std::vector<CrossStreet>>
    MoveToNextIntersection(double latitude, double longitude, std::u16string_view street,
                           short heading, SideOfStreet side, MapWords words) const;
    std::optional<std::vector<CrossStreet>> MoveAcrossStreet(double latitude, double longitude,
                                                             std::u16string_view street,
                                                             short heading, SideOfStreet side,
                                                             MapWords words) const;

    // --- Crossings: none from an engine that does not know them
    // The crossings within `radius` metres of a position, nearest first.
    std::vector<MapCrossing> CrossingsNear(double latitude, double longitude, double radius,
                                           MapWords words) const;
    // The nearest crossing ahead along `heading`, within `range` metres.
    std::optional<MapCrossing> NextCrossingAhead(double latitude, double longitude, short heading,
                                                 double range, MapWords words) const;
    // The crossings the engine's route goes over, in its order; distances along it.
    std::vector<MapCrossing> RouteCrossings() const;

    // --- Positions
    // The details at a position, best match first (at most `most`); nothing when the engine did
    // not answer with a list.
    std::optional<std::vector<LocationDetail>> Details(double latitude, double longitude,
                                                       MapWords words, short heading,
                                                       std::size_t most = kMaxCrossStreets) const;
    // The best detail record at a position, if any.
    std::optional<LocationDetail> FirstDetail(double latitude, double longitude, MapWords words,
                                              short heading) const;
    // A short text of where a position is ("Main Street, Springfield"); empty when unknown.
    std::u16string DescribePosition(double latitude, double longitude) const;

    // --- Addresses
    std::vector<std::u16string> MapsMatching(std::u16string_view search) const;
    // The position of a house number (or of the street) of an address record; nothing when the
    // engine cannot place it.
    struct Address {
        std::u16string map, street, city, postalCode, houseNumber;
        std::int32_t streetKey = 0;
    };
    std::optional<std::pair<double, double>> AddressPosition(const Address& address) const;
    // The streets crossing an address's street, as the list of address objects the client gets
    // (written into `list` as the engine made it); the engine's status.
    std::int32_t AddressCrossStreets(const Address& address, bool matchPostalOnly, VARIANT* list,
                                     short* count) const;

    // --- POIs
    // One ring of the POI search: the candidates found are appended to `candidates`, the
    // distance reached (starting from `distanceKm`) written into `distanceKm`; whether any was
    // found, nothing when the engine failed.
    std::optional<bool> FindPOIs(const MapPOISearch& search, std::vector<MapPOI>* candidates,
                                 double* distanceKm) const;

    // --- Routes
    EngineRoute FindRoute(bool walking, double fromLatitude, double fromLongitude,
                          double toLatitude, double toLongitude, std::u16string_view endName,
                          std::u16string_view endDescription, MapWords words,
                          const RoutePreferences& preferences) const;
    // Hands a route made elsewhere (a route file) to the engine to follow; true when the engine
    // matched it onto its network.
    bool LoadRoute(bool walking, const std::vector<RoutePoint>& points,
                   const RoutePreferences& preferences) const;
    void SetRouteInitialHeading(short heading) const;
    void SetRouteWaypointMode(WaypointMode mode) const;
    void ClearRoute() const;

private:
    IGPSMap* m_pGPSMap;
};

} // namespace gpscore

#endif // GPSCORE_BASE_MAPQUERIES_H_
