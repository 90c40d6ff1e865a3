// The map engine object (class GPSMap): the automation face of Engine. It parses keyword strings,
// writes names with the resource library's words, builds the record lists, and serialises every
// call with one lock (several cores of a process share the engine). docs/components.md is the
// contract of each method. The methods live by subject: the maps, the engine's settings and its
// log in GPSMap.cpp, the street answers in GPSMapStreets.cpp, the crossings in GPSMapCrossings.cpp,
// the drawing's answers in GPSMapDrawing.cpp, the routes in GPSMapRoutes.cpp and the points of
// interest in GPSMapPOIs.cpp.
#ifndef MAPENGINE_GPSMAP_H_
#define MAPENGINE_GPSMAP_H_

#include <gpslib/GPSLib.h>
#include <gpslib/GPSMapLib.h>
#include <gpslib/support.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Engine.h"
#include "GPSMapLib_classes.h"
#include "PoiSearch.h"
#include "resources/StringTable.h"

namespace gpsmap {

// Which keywords a keyword string holds. Known keywords are found longest first and consumed,
// so "ADDRESS_CITY_POSTAL_MAP" is not also read as "ADDRESS" and "CITY".
struct Keywords {
    bool all = false, cityPostalMap = false, address = false, city = false, streetRaw = false,
         stateRaw = false, streetExpanded = false, streetDetailed = false,
         intersectionExpanded = false, includeConnectors = false;
    explicit Keywords(BSTR text);
};

bool ValidPosition(double lat, double lon);
// A client's heading in whole degrees below 360; -1 (none) for a negative one.
int NormalHeading(SHORT heading);

// The records as the client's list of `iid` objects.
template <class T>
HRESULT ReturnRecords(VARIANT* list, const std::vector<gpslib::ComPtr<T>>& records, REFIID iid) {
    std::vector<IUnknown*> items;
    items.reserve(records.size());
    for (const gpslib::ComPtr<T>& r : records)
        items.push_back(r.Get());
    return gpslib::ReturnObjectList(list, items, iid);
}

// One `T` record an item, made by class id and filled by fill(record, item), as the client's list
// of `iid` objects; a record that cannot be made ends the list with that failure.
template <class T, class Item, class Fill>
HRESULT ReturnNewRecords(VARIANT* list, const std::vector<Item>& items, REFCLSID clsid, REFIID iid,
                         Fill fill) {
    std::vector<gpslib::ComPtr<T>> records;
    for (const Item& item : items) {
        gpslib::ComPtr<T> r;
        HRESULT hr = gpslib::CreateObject(clsid, iid, &r);
        if (FAILED(hr)) return hr;
        fill(r.Get(), item);
        records.push_back(r);
    }
    return ReturnRecords(list, records, iid);
}

} // namespace gpsmap

class CGPSMap : public CGPSMapBase {
public:
    CGPSMap();

    // ---- Maps and the engine's settings (GPSMap.cpp) -------------------------------------------
    HRESULT GetMapDirectory(BSTR* pbstrMapDirectory) override;
    HRESULT Initalize(BSTR bstrMapDirectory, BSTR bstrSettingsDirectory,
                      VARIANT_BOOL bSearchOtherMapDirectories, BSTR* pbstrResult) override;
    HRESULT UnloadMaps() override;
    HRESULT GetNumberOfMapsLoaded(SHORT* pnCount) override;
    HRESULT FindMapsMatching(BSTR bstrSearch, VARIANT* pvarMapNames) override;
    HRESULT GetLoadedCountryMaps(SHORT* pnCount) override;
    HRESULT GetLoadedProvincialMaps(SHORT* pnCount) override;
    HRESULT GetLoadedStateMaps(SHORT* pnCount) override;
    HRESULT GetLoadedRegionalMaps(SHORT* pnCount) override;
    HRESULT SetMapMemoryAllocated(SHORT nKilobytes) override;
    HRESULT SetDebugDirectory(BSTR bstrDebugDirectory) override;
    HRESULT SetResourceLibrary(BSTR bstrLibraryPath, VARIANT_BOOL* pbLoaded) override;
    HRESULT ResetEngine() override;
    HRESULT SetNumberMaxMaps(SHORT nMaxMaps) override;
    HRESULT SetUsingWinCE42(VARIANT_BOOL bUsingWinCE42) override;

    // ---- Streets (GPSMapStreets.cpp) -----------------------------------------------------------
    HRESULT GetStreetAtLocation(DOUBLE dLatitude, DOUBLE dLongitude, SHORT nHeading,
                                BSTR bstrKeywords, BSTR* pbstrStreetName,
                                BSTR* pbstrResult) override;
    HRESULT FindNextCrossStreets(DOUBLE dLatitude, DOUBLE dLongitude, BSTR bstrCurrentStreet,
                                 SHORT nAheadHeading, BSTR bstrKeywords,
                                 VARIANT* pvarCrossStreets) override;
    HRESULT GetLocationsDetailsVector(DOUBLE dLatitude, DOUBLE dLongitude, BSTR bstrKeywords,
                                      SHORT nHeading, VARIANT* pvarDetails) override;
    HRESULT FindAddressPosition(BSTR bstrMap, LONG nStreetKey, BSTR bstrStreet, BSTR bstrCity,
                                BSTR bstrPostalCode, BSTR bstrHouseNumber, DOUBLE* pdLatitude,
                                DOUBLE* pdLongitude, VARIANT_BOOL* pbFound) override;
    HRESULT FindCrossStreets(BSTR bstrMap, LONG nStreetKey, BSTR bstrStreet, BSTR bstrCity,
                             BSTR bstrPostalCode, VARIANT_BOOL bMatchZipPostalOnly,
                             VARIANT* pvarCrossStreets, SHORT* pnCount) override;
    HRESULT GetStreetBearingAtLocation(DOUBLE dLatitude, DOUBLE dLongitude, SHORT nHeading,
                                       SHORT* pnBearing) override;
    HRESULT DescribePosition(DOUBLE dLatitude, DOUBLE dLongitude, BSTR* pbstrDescription) override;
    HRESULT MoveToNextIntersection(DOUBLE dLatitude, DOUBLE dLongitude, BSTR bstrStreet,
                                   SHORT nHeading, SideOfStreet eSideOfStreet, BSTR bstrKeywords,
                                   VARIANT* pvarCrossStreets) override;
    HRESULT MoveAcrossStreet(DOUBLE dLatitude, DOUBLE dLongitude, BSTR bstrStreet, SHORT nHeading,
                             SideOfStreet eSideOfStreet, BSTR bstrKeywords,
                             VARIANT* pvarCrossStreets) override;

    // ---- Crossings (GPSMapCrossings.cpp), IGPSMapCrossings --------------------------------------
    HRESULT GetCrossingsNear(DOUBLE dLatitude, DOUBLE dLongitude, DOUBLE dRadius, BSTR bstrKeywords,
                             VARIANT* pvarCrossings) override;
    HRESULT GetNextCrossingAhead(DOUBLE dLatitude, DOUBLE dLongitude, SHORT nHeading, DOUBLE dRange,
                                 BSTR bstrKeywords, VARIANT* pvarCrossings) override;
    HRESULT GetRouteCrossings(VARIANT* pvarCrossings) override;

    // ---- Drawing (GPSMapDrawing.cpp), IGPSMapDrawing -------------------------------------------
    HRESULT GetMapBounds(SHORT nMap, DOUBLE* pdSouth, DOUBLE* pdWest, DOUBLE* pdNorth,
                         DOUBLE* pdEast, BSTR* pbstrMapName) override;
    HRESULT GetLoadedMapsBounds(DOUBLE* pdSouth, DOUBLE* pdWest, DOUBLE* pdNorth, DOUBLE* pdEast,
                                SHORT* pnMaps) override;
    HRESULT GetStreetsInBox(DOUBLE dSouth, DOUBLE dWest, DOUBLE dNorth, DOUBLE dEast,
                            LONG nMaxStreets, BSTR bstrKeywords, VARIANT* pvarStreets,
                            VARIANT* pvarPoints, VARIANT_BOOL* pbComplete) override;

    // ---- Routes (GPSMapRoutes.cpp) -------------------------------------------------------------
    // The walking and driving methods differ only in the profile: each hands its arguments to
    // FindRoute or LoadRoute.
    HRESULT FindWalkingRoute(DOUBLE dStartLatitude, DOUBLE dStartLongitude, DOUBLE dEndLatitude,
                             DOUBLE dEndLongitude, BSTR bstrEndName, BSTR bstrEndDescription,
                             BSTR bstrKeywords, RouteFreewayPreference eFreewayPreference,
                             RouteTurnPreferenceVehicle eVehicleTurnPreference,
                             RouteTurnPreferencePedestrian ePedestrianTurnPreference,
                             RouteRoundaboutPreference eRoundaboutPreference,
                             RouteTollRoadPreference eTollRoadPreference,
                             RouteVehicleMode eVehicleMode, VARIANT* pvarRoutePoints) override {
        return FindRoute(true, {dStartLatitude, dStartLongitude}, {dEndLatitude, dEndLongitude},
                         bstrEndName, bstrEndDescription, bstrKeywords,
                         Preferences(eFreewayPreference, eVehicleTurnPreference,
                                     ePedestrianTurnPreference, eRoundaboutPreference,
                                     eTollRoadPreference, eVehicleMode),
                         pvarRoutePoints);
    }
    HRESULT FindDrivingRoute(DOUBLE dStartLatitude, DOUBLE dStartLongitude, DOUBLE dEndLatitude,
                             DOUBLE dEndLongitude, BSTR bstrEndName, BSTR bstrEndDescription,
                             BSTR bstrKeywords, RouteFreewayPreference eFreewayPreference,
                             RouteTurnPreferenceVehicle eVehicleTurnPreference,
                             RouteTurnPreferencePedestrian ePedestrianTurnPreference,
                             RouteRoundaboutPreference eRoundaboutPreference,
                             RouteTollRoadPreference eTollRoadPreference,
                             RouteVehicleMode eVehicleMode, VARIANT* pvarRoutePoints) override {
        return FindRoute(false, {dStartLatitude, dStartLongitude}, {dEndLatitude, dEndLongitude},
                         bstrEndName, bstrEndDescription, bstrKeywords,
                         Preferences(eFreewayPreference, eVehicleTurnPreference,
                                     ePedestrianTurnPreference, eRoundaboutPreference,
                                     eTollRoadPreference, eVehicleMode),
                         pvarRoutePoints);
    }
    HRESULT LoadWalkingRoute(VARIANT* pvarRoutePoints, RouteFreewayPreference eFreewayPreference,
                             RouteTurnPreferenceVehicle eVehicleTurnPreference,
                             RouteTurnPreferencePedestrian ePedestrianTurnPreference,
                             RouteRoundaboutPreference eRoundaboutPreference,
                             RouteTollRoadPreference eTollRoadPreference,
                             RouteVehicleMode eVehicleMode, VARIANT_BOOL* pbOptimized) override {
        return LoadRoute(true, pvarRoutePoints,
                         Preferences(eFreewayPreference, eVehicleTurnPreference,
                                     ePedestrianTurnPreference, eRoundaboutPreference,
                                     eTollRoadPreference, eVehicleMode),
                         pbOptimized);
    }
    HRESULT LoadDrivingRoute(VARIANT* pvarRoutePoints, RouteFreewayPreference eFreewayPreference,
                             RouteTurnPreferenceVehicle eVehicleTurnPreference,
                             RouteTurnPreferencePedestrian ePedestrianTurnPreference,
                             RouteRoundaboutPreference eRoundaboutPreference,
                             RouteTollRoadPreference eTollRoadPreference,
                             RouteVehicleMode eVehicleMode, VARIANT_BOOL* pbOptimized) override {
        return LoadRoute(false, pvarRoutePoints,
                         Preferences(eFreewayPreference, eVehicleTurnPreference,
                                     ePedestrianTurnPreference, eRoundaboutPreference,
                                     eTollRoadPreference, eVehicleMode),
                         pbOptimized);
    }
    HRESULT SetRouteInitialHeading(SHORT nHeading) override;
    HRESULT SetRouteWaypointMode(WaypointMode eWaypointMode) override;
    HRESULT ClearRoute() override;

    // ---- Points of interest (GPSMapPOIs.cpp) ---------------------------------------------------
    HRESULT SetPOIMemoryAllocatedRME(SHORT nKilobytes) override;
    HRESULT SetNumberMaxCommercialPOIFiles(SHORT nMaxFiles) override;
    HRESULT FindPOIs(ILocationObject* pLocation, IPOISearchConfigurationObject* pConfiguration,
                     LONG nPOIFileIndex, IPOIResults* pCandidates, DOUBLE* pdSearchDistanceKm,
                     VARIANT_BOOL* pbFound) override;
    HRESULT AddPOIFile(BSTR bstrPOIFile, VARIANT* pvarCategoryNumbers,
                       VARIANT_BOOL bIsPOIFile) override;
    HRESULT ClearPOIFiles() override;
    HRESULT GetNumberOfCommercialPOIFilesLoaded(SHORT* pnCount) override;
    HRESULT GetLoadedPOICategories(VARIANT* pvarCategoryNumbers, SHORT* pnCount) override;

private:
    static gpsmap::RoutePreferences
    Preferences(RouteFreewayPreference freeway, RouteTurnPreferenceVehicle turnVehicle,
                RouteTurnPreferencePedestrian turnPedestrian, RouteRoundaboutPreference roundabout,
                RouteTollRoadPreference toll, RouteVehicleMode mode);

    // Takes the lock, first following the map files that changed while loaded: at once a map
    // whose file was cut short under it, and once a second the files' stamps (a stat a map).
    std::unique_lock<std::mutex> Lock();
    template <class F> HRESULT Count(SHORT* out, F f) {
        if (out == nullptr) return E_POINTER;
        auto lock = Lock();
        *out = static_cast<SHORT>(f());
        return S_OK;
    }
    HRESULT Level(SHORT* out, const char* level);
    HRESULT FindRoute(bool walking, gpsmap::Point start, gpsmap::Point end, BSTR name,
                      BSTR description, BSTR keywords, const gpsmap::RoutePreferences& preferences,
                      VARIANT* list);
    HRESULT LoadRoute(bool walking, VARIANT* list, const gpsmap::RoutePreferences& preferences,
                      VARIANT_BOOL* optimized);
    HRESULT Move(bool across, DOUBLE lat, DOUBLE lon, BSTR street, SHORT heading, SideOfStreet side,
                 BSTR keywords, VARIANT* list);

    // REQUIRES for everything below: m_lock held.
    // Appends a line to gpsMapDebug.txt when the debug folder exists.
    void Log(const std::string& text) const;
    std::string Word(int id, const char* fallback) const;
    gpsmap::Naming NamingFor(bool expanded, bool detailed) const;
    // Each map's POI file has the map's name with ".pdb"; a map without one has no POIs.
    void LoadMapPOIFiles();
    void ClearRouteState();
    // Route names are written out ("STREET EXPANDED"), as the street answers that following a
    // route compares them with.
    gpsmap::RouteNaming RouteNamingFor(bool detailed) const;
    HRESULT ReturnRoutePoints(const std::vector<gpsmap::RoutePointData>& points, VARIANT* list);
    HRESULT ReturnBranches(const std::vector<gpsmap::Branch>& branches, VARIANT* list);

    std::mutex m_lock;
    static constexpr std::uint64_t kMapFileCheckMicros = 1000000;
    std::uint64_t m_nextMapFileCheck = 0;
    gpsmap::Engine m_engine;
    gpsdb::PoiSearch m_pois;
    std::unique_ptr<gpslib::resources::StringTable> m_strings;
    std::string m_debugDirectory;
    SHORT m_nInitialHeading = -1;
    WaypointMode m_eWaypointMode = WaypointModeTurnsOnly;
    // The held route: the last route computed or loaded, until ClearRoute.
    std::vector<gpsmap::RoutePointData> m_heldRoute;
    // The crossings the held route goes over, distances along it.
    std::vector<gpsmap::Engine::PedestrianCrossing> m_heldCrossings;
    SHORT m_nMapMemoryKB = 0;
    bool m_bUsingWinCE42 = false;
};

#endif // MAPENGINE_GPSMAP_H_
