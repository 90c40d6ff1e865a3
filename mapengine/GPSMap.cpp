// The map engine object (class GPSMap): the automation face of Engine. It parses keyword strings,
// writes names with the resource library's words, builds the record lists, and serialises every
// call with one lock (several cores of a process share the engine). docs/components.md is the
// contract of each method.
#include <gpslib/GPSLib.h>
#include <gpslib/GPSMapLib.h>
#include <gpslib/registry.h>
#include <gpslib/support.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "Engine.h"
#include "GPSMapLib_classes.h"
#include "PoiSearchCom.h"
#include "os/env.h"
#include "os/path.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"

namespace {

using gpslib::ComPtr;
using gpsmap::Branch;
using gpsmap::Details;
using gpsmap::Naming;
using gpsmap::Point;

// Which keywords a keyword string holds. Known keywords are found longest first and consumed,
// so "ADDRESS_CITY_POSTAL_MAP" is not also read as "ADDRESS" and "CITY".
struct Keywords {
    bool all = false, cityPostalMap = false, address = false, city = false, streetRaw = false,
         stateRaw = false, streetExpanded = false, streetDetailed = false,
         intersectionExpanded = false, includeConnectors = false;
    explicit Keywords(BSTR text) {
        std::string s = gpslib::ToUtf8(text);
        struct Known {
            const char* word;
            bool* flag;
        };
        const Known known[] = {{"ADDRESS_CITY_POSTAL_MAP", &cityPostalMap},
                               {"INTERSECTION EXPANDED", &intersectionExpanded},
                               {"INCLUDE CONNECTORS", &includeConnectors},
                               {"STREET NAME RAW", &streetRaw},
                               {"STREET EXPANDED", &streetExpanded},
                               {"STREET DETAILED", &streetDetailed},
                               {"STATE RAW", &stateRaw},
                               {"ADDRESS", &address},
                               {"CITY", &city},
                               {"ALL", &all}};
        for (const Known& k : known) {
            std::string word = k.word;
            for (std::size_t at; (at = s.find(word)) != std::string::npos;) {
                *k.flag = true;
                s.replace(at, word.size(), std::string(word.size(), '\x01'));
            }
        }
    }
};

bool ValidPosition(double lat, double lon) {
    return std::isfinite(lat) && std::isfinite(lon) && lat >= -90.0 && lat <= 90.0 &&
           lon >= -180.0 && lon <= 180.0;
}

int NormalHeading(SHORT heading) {
    return heading < 0 ? -1 : heading % 360;
}

gpsmap::RoutePreferences Preferences(RouteFreewayPreference freeway,
                                     RouteTurnPreferenceVehicle turnVehicle,
                                     RouteTurnPreferencePedestrian turnPedestrian,
                                     RouteRoundaboutPreference roundabout,
                                     RouteTollRoadPreference toll, RouteVehicleMode mode) {
    gpsmap::RoutePreferences p;
    p.freeway = static_cast<int>(freeway);
    p.turnVehicle = static_cast<int>(turnVehicle);
    p.turnPedestrian = static_cast<int>(turnPedestrian);
    p.roundabout = static_cast<int>(roundabout);
    p.toll = static_cast<int>(toll);
    p.vehicleMode = static_cast<int>(mode);
    return p;
}

SHORT ClampShort(long v) {
    return static_cast<SHORT>(std::clamp<long>(v, -32768, 32767));
}

// The points of a list the client hands in, read without changing the list (the caller frees
// it). E_INVALIDARG when it is no list or an element is not a RoutePoint.
HRESULT ReadRoutePoints(VARIANT* list, std::vector<gpsmap::RoutePointData>* out) {
    if (list == nullptr) return E_POINTER;
    if (list->vt == (VT_BYREF | VT_VARIANT) && list->pvarVal != nullptr) list = list->pvarVal;
    SAFEARRAY* psa = nullptr;
    if (list->vt == (VT_ARRAY | VT_VARIANT))
        psa = list->parray;
    else if (list->vt == (VT_BYREF | VT_ARRAY | VT_VARIANT) && list->pparray != nullptr)
        psa = *list->pparray;
    if (psa == nullptr || SafeArrayGetDim(psa) != 1) return E_INVALIDARG;
    LONG lower = 0, upper = -1;
    if (FAILED(SafeArrayGetLBound(psa, 1, &lower)) || FAILED(SafeArrayGetUBound(psa, 1, &upper)))
        return E_INVALIDARG;
    for (LONG i = lower; i <= upper; ++i) {
        gpslib::Variant element;
        if (FAILED(SafeArrayGetElement(psa, &i, &element))) return E_INVALIDARG;
        IUnknown* object = nullptr;
        if (element.vt == VT_DISPATCH) object = element.pdispVal;
        if (element.vt == VT_UNKNOWN) object = element.punkVal;
        ComPtr<IRoutePoint> point;
        if (object == nullptr || FAILED(object->QueryInterface(IID_IRoutePoint, point.PutVoid())) ||
            !point)
            return E_INVALIDARG;
        gpsmap::RoutePointData p;
        point->GetLatitude(&p.at.lat);
        point->GetLongitude(&p.at.lon);
        point->GetDistanceFromLastPoint(&p.distance);
        gpslib::Bstr name;
        point->GetName(name.Put());
        p.name = name.Utf8();
        out->push_back(std::move(p));
    }
    return S_OK;
}

HRESULT ReturnText(const std::string& text, BSTR* out) {
    *out = gpslib::AllocBstr(std::string_view(text));
    return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}

// The installed maps folders: first the one of the installation this module belongs to, found
// from the module's own folder (an installation moved to another prefix, or staged under
// DESTDIR), then the configured prefix's, then the usual prefixes'.
std::vector<std::string> InstalledMapFolders() {
    std::vector<std::string> folders;
    const std::string module = gpslib::ModulePathOf(reinterpret_cast<const void*>(&ReturnText));
    if (!module.empty())
        folders.push_back(gpslib::os::DirName(module) + "/" GPSLIB_DATA_DIR_FROM_MODULE "/maps");
    for (const char* prefix : {GPSLIB_DATA_DIR, "/usr/local/share/gpslib", "/usr/share/gpslib"}) {
        const std::string folder = std::string(prefix) + "/maps";
        if (std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    }
    return folders;
}

} // namespace

class CGPSMap : public CGPSMapBase {
public:
    CGPSMap() { m_engine.SetInstalledMapFolders(InstalledMapFolders()); }

    HRESULT GetMapDirectory(BSTR* pbstrMapDirectory) override {
        if (pbstrMapDirectory == nullptr) return E_POINTER;
        std::lock_guard<std::mutex> lock(m_lock);
        return ReturnText(m_engine.MapDirectory(), pbstrMapDirectory);
    }

    HRESULT Initalize(BSTR bstrMapDirectory, BSTR bstrSettingsDirectory,
                      VARIANT_BOOL bSearchOtherMapDirectories, BSTR* pbstrResult) override {
        if (pbstrResult == nullptr) return E_POINTER;
        std::lock_guard<std::mutex> lock(m_lock);
        std::string answer = m_engine.Initialize(gpslib::ToUtf8(bstrMapDirectory),
                                                 gpslib::ToUtf8(bstrSettingsDirectory),
                                                 bSearchOtherMapDirectories != 0);
        for (const std::string& line : m_engine.LoadLog())
            Log("Initalize: " + line);
        LoadMapPOIFiles();
        Log("Initalize: " + answer);
        ClearRouteState();
        return ReturnText(answer, pbstrResult);
    }

    HRESULT UnloadMaps() override {
        std::lock_guard<std::mutex> lock(m_lock);
        m_engine.Unload();
        m_pois.ClearMapFiles();
        m_pois.ClearFiles();
        ClearRouteState();
        return S_OK;
    }

    HRESULT GetStreetAtLocation(DOUBLE dLatitude, DOUBLE dLongitude, SHORT nHeading,
                                BSTR bstrKeywords, BSTR* pbstrStreetName,
                                BSTR* pbstrResult) override {
        if (pbstrStreetName == nullptr || pbstrResult == nullptr) return E_POINTER;
        *pbstrStreetName = nullptr;
        *pbstrResult = nullptr;
        auto lock = Lock();
        if (m_engine.MapCount() == 0) {
            ReturnText("", pbstrStreetName);
            ReturnText("NO MAP", pbstrResult);
            return E_FAIL;
        }
        Keywords k(bstrKeywords);
        Naming naming = NamingFor(k.streetExpanded, k.streetDetailed);
        Point p{dLatitude, dLongitude};
        std::string name, result = "NO MAP";
        if (ValidPosition(dLatitude, dLongitude) && m_engine.Covered(p)) {
            result = "NO STREET";
            if (auto m = m_engine.MatchStreet(p, NormalHeading(nHeading), naming)) {
                name = m_engine.StreetName(*m, naming);
                result = "OK";
            }
        }
        HRESULT hr = ReturnText(name, pbstrStreetName);
        return FAILED(hr) ? hr : ReturnText(result, pbstrResult);
    }

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

    HRESULT GetNumberOfMapsLoaded(SHORT* pnCount) override {
        return Count(pnCount, [&] { return m_engine.MapCount(); });
    }

    HRESULT FindMapsMatching(BSTR bstrSearch, VARIANT* pvarMapNames) override {
        if (pvarMapNames == nullptr) return E_POINTER;
        auto lock = Lock();
        std::vector<std::u16string> names;
        for (const std::string& n : m_engine.MapsMatching(gpslib::ToUtf8(bstrSearch)))
            names.push_back(gpslib::ToUtf16(n));
        return gpslib::ReturnStringList(pvarMapNames, names);
    }

    HRESULT FindNextCrossStreets(DOUBLE dLatitude, DOUBLE dLongitude, BSTR bstrCurrentStreet,
                                 SHORT nAheadHeading, BSTR bstrKeywords,
                                 VARIANT* pvarCrossStreets) override {
        if (pvarCrossStreets == nullptr) return E_POINTER;
        auto lock = Lock();
        if (m_engine.MapCount() == 0) return E_FAIL;
        Keywords k(bstrKeywords);
        std::vector<Branch> branches;
        if (ValidPosition(dLatitude, dLongitude))
            branches = m_engine.CrossStreets(
                {dLatitude, dLongitude}, gpslib::ToUtf8(bstrCurrentStreet),
                NormalHeading(nAheadHeading), NamingFor(k.intersectionExpanded, k.streetDetailed),
                k.includeConnectors);
        return ReturnBranches(branches, pvarCrossStreets);
    }

    HRESULT GetLocationsDetailsVector(DOUBLE dLatitude, DOUBLE dLongitude, BSTR bstrKeywords,
                                      SHORT nHeading, VARIANT* pvarDetails) override {
        if (pvarDetails == nullptr) return E_POINTER;
        auto lock = Lock();
        if (m_engine.MapCount() == 0) return E_FAIL;
        Keywords k(bstrKeywords);
        std::vector<Details> details;
        if (ValidPosition(dLatitude, dLongitude))
            details = m_engine.LocationDetails({dLatitude, dLongitude}, NormalHeading(nHeading),
                                               NamingFor(k.streetExpanded, k.streetDetailed));
        std::vector<ComPtr<ILocationDetailRecord>> records;
        for (const Details& d : details) {
            ComPtr<ILocationDetailRecord> r;
            HRESULT hr =
                gpslib::CreateObject(CLSID_LocationDetailRecord, IID_ILocationDetailRecord, &r);
            if (FAILED(hr)) return hr;
            Fill(r.Get(), d, k);
            records.push_back(r);
        }
        std::vector<IUnknown*> items;
        items.reserve(records.size());
        for (auto& r : records)
            items.push_back(r.Get());
        return gpslib::ReturnObjectList(pvarDetails, items, IID_ILocationDetailRecord);
    }

    HRESULT SetRouteInitialHeading(SHORT nHeading) override {
        std::lock_guard<std::mutex> lock(m_lock);
        m_nInitialHeading = nHeading;
        return S_OK;
    }

    HRESULT GetLoadedCountryMaps(SHORT* pnCount) override { return Level(pnCount, "country"); }
    HRESULT GetLoadedProvincialMaps(SHORT* pnCount) override {
        return Level(pnCount, "provincial");
    }
    HRESULT GetLoadedStateMaps(SHORT* pnCount) override { return Level(pnCount, "state"); }
    HRESULT GetLoadedRegionalMaps(SHORT* pnCount) override { return Level(pnCount, "regional"); }

    HRESULT SetMapMemoryAllocated(SHORT nKilobytes) override {
        if (nKilobytes < 1) return E_INVALIDARG;
        std::lock_guard<std::mutex> lock(m_lock);
        m_nMapMemoryKB = nKilobytes;
        return S_OK;
    }

    HRESULT SetDebugDirectory(BSTR bstrDebugDirectory) override {
        std::lock_guard<std::mutex> lock(m_lock);
        m_debugDirectory = gpslib::os::NativePath(gpslib::ToUtf8(bstrDebugDirectory));
        return S_OK;
    }

    HRESULT SetResourceLibrary(BSTR bstrLibraryPath, VARIANT_BOOL* pbLoaded) override {
        if (pbLoaded == nullptr) return E_POINTER;
        std::lock_guard<std::mutex> lock(m_lock);
        std::string path = gpslib::os::NativePath(gpslib::ToUtf8(bstrLibraryPath));
        auto table = std::make_unique<gpslib::resources::StringTable>();
        std::string error;
        bool loaded = !path.empty() && table->Load(*gpslib::os::Env::Default(), path, &error);
        if (loaded)
            m_strings = std::move(table);
        else
            Log("SetResourceLibrary: " + error);
        *pbLoaded = loaded ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }

    HRESULT SetPOIMemoryAllocatedRME(SHORT nKilobytes) override {
        std::lock_guard<std::mutex> lock(m_lock);
        if (nKilobytes >= 1) m_pois.SetCacheKilobytes(nKilobytes);
        return S_OK;
    }

    HRESULT ResetEngine() override {
        std::lock_guard<std::mutex> lock(m_lock);
        ClearRouteState();
        return S_OK;
    }

    HRESULT SetNumberMaxMaps(SHORT nMaxMaps) override {
        std::lock_guard<std::mutex> lock(m_lock);
        if (nMaxMaps >= 1) m_engine.SetMaxMaps(nMaxMaps);
        return S_OK;
    }

    HRESULT SetNumberMaxCommercialPOIFiles(SHORT nMaxFiles) override {
        std::lock_guard<std::mutex> lock(m_lock);
        if (nMaxFiles >= 1) m_pois.SetMaxFiles(nMaxFiles);
        return S_OK;
    }

    HRESULT FindAddressPosition(BSTR bstrMap, LONG nStreetKey, BSTR bstrStreet, BSTR bstrCity,
                                BSTR bstrPostalCode, BSTR bstrHouseNumber, DOUBLE* pdLatitude,
                                DOUBLE* pdLongitude, VARIANT_BOOL* pbFound) override {
        if (pdLatitude == nullptr || pdLongitude == nullptr || pbFound == nullptr) return E_POINTER;
        auto lock = Lock();
        *pdLatitude = *pdLongitude = 0.0;
        *pbFound = VARIANT_FALSE;
        auto at = m_engine.AddressPosition(gpslib::ToUtf8(bstrMap), nStreetKey,
                                           gpslib::ToUtf8(bstrStreet), gpslib::ToUtf8(bstrCity),
                                           gpslib::ToUtf8(bstrPostalCode),
                                           gpslib::ToUtf8(bstrHouseNumber));
        if (at) {
            *pdLatitude = at->lat;
            *pdLongitude = at->lon;
            *pbFound = VARIANT_TRUE;
        }
        return S_OK;
    }

    HRESULT FindCrossStreets(BSTR bstrMap, LONG nStreetKey, BSTR bstrStreet, BSTR bstrCity,
                             BSTR bstrPostalCode, VARIANT_BOOL bMatchZipPostalOnly,
                             VARIANT* pvarCrossStreets, SHORT* pnCount) override {
        if (pvarCrossStreets == nullptr || pnCount == nullptr) return E_POINTER;
        auto lock = Lock();
        *pnCount = 0;
        Naming naming = NamingFor(false, false);
        std::string street = gpslib::ToUtf8(bstrStreet);
        auto crossings = m_engine.StreetCrossings(
            gpslib::ToUtf8(bstrMap), nStreetKey, street, gpslib::ToUtf8(bstrCity),
            gpslib::ToUtf8(bstrPostalCode), bMatchZipPostalOnly != 0, naming);
        std::vector<ComPtr<IAddressObject>> objects;
        if (crossings) {
            for (const auto& c : *crossings) {
                ComPtr<IAddressObject> a;
                HRESULT hr = gpslib::CreateObject(CLSID_AddressObject, IID_IAddressObject, &a);
                if (FAILED(hr)) {
                    gpslib::ReturnObjectList(pvarCrossStreets, {}, IID_IAddressObject);
                    return hr;
                }
                gpslib::Bstr text(street + naming.joiner + c.crossStreet);
                gpslib::Bstr cross(c.crossStreet), city(c.city), postcode(c.postcode), map(c.map);
                a->SetAddress(text.Get());
                a->SetName(cross.Get());
                a->SetStreet(cross.Get());
                a->SetCity(city.Get());
                a->SetZipPostalcode(postcode.Get());
                a->SetMap(map.Get());
                a->SetLatitude(c.at.lat);
                a->SetLongitude(c.at.lon);
                objects.push_back(a);
            }
        }
        std::vector<IUnknown*> items;
        items.reserve(objects.size());
        for (auto& o : objects)
            items.push_back(o.Get());
        HRESULT hr = gpslib::ReturnObjectList(pvarCrossStreets, items, IID_IAddressObject);
        if (FAILED(hr)) return hr;
        *pnCount = static_cast<SHORT>(std::min<std::size_t>(items.size(), 32767));
        return crossings ? S_OK : S_FALSE;
    }

    HRESULT GetStreetBearingAtLocation(DOUBLE dLatitude, DOUBLE dLongitude, SHORT nHeading,
                                       SHORT* pnBearing) override {
        if (pnBearing == nullptr) return E_POINTER;
        auto lock = Lock();
        *pnBearing = -1;
        if (!ValidPosition(dLatitude, dLongitude)) return S_OK;
        int heading = NormalHeading(nHeading);
        if (auto m =
                m_engine.MatchStreet({dLatitude, dLongitude}, heading, NamingFor(false, false)))
            *pnBearing = static_cast<SHORT>(gpsmap::Engine::StreetBearing(*m, heading));
        return S_OK;
    }

    HRESULT SetRouteWaypointMode(WaypointMode eWaypointMode) override {
        std::lock_guard<std::mutex> lock(m_lock);
        m_eWaypointMode = eWaypointMode;
        return S_OK;
    }

    HRESULT ClearRoute() override {
        std::lock_guard<std::mutex> lock(m_lock);
        m_heldRoute.clear();
        return S_OK;
    }

    HRESULT DescribePosition(DOUBLE dLatitude, DOUBLE dLongitude, BSTR* pbstrDescription) override {
        if (pbstrDescription == nullptr) return E_POINTER;
        auto lock = Lock();
        std::string text;
        if (ValidPosition(dLatitude, dLongitude))
            text = m_engine.DescribePosition({dLatitude, dLongitude}, NamingFor(false, false));
        return ReturnText(text, pbstrDescription);
    }

    HRESULT MoveToNextIntersection(DOUBLE dLatitude, DOUBLE dLongitude, BSTR bstrStreet,
                                   SHORT nHeading, SideOfStreet eSideOfStreet, BSTR bstrKeywords,
                                   VARIANT* pvarCrossStreets) override {
        return Move(false, dLatitude, dLongitude, bstrStreet, nHeading, eSideOfStreet, bstrKeywords,
                    pvarCrossStreets);
    }

    HRESULT MoveAcrossStreet(DOUBLE dLatitude, DOUBLE dLongitude, BSTR bstrStreet, SHORT nHeading,
                             SideOfStreet eSideOfStreet, BSTR bstrKeywords,
                             VARIANT* pvarCrossStreets) override {
        return Move(true, dLatitude, dLongitude, bstrStreet, nHeading, eSideOfStreet, bstrKeywords,
                    pvarCrossStreets);
    }

    HRESULT SetUsingWinCE42(VARIANT_BOOL bUsingWinCE42) override {
        auto lock = Lock();
        m_bUsingWinCE42 = bUsingWinCE42 != 0;
        return S_OK;
    }

    // --- Points of interest: the POI file of every loaded map and the stand-alone files that
    // map loading offers (user.pdb among them), searched ring by ring.
    HRESULT FindPOIs(ILocationObject* pLocation, IPOISearchConfigurationObject* pConfiguration,
                     LONG nPOIFileIndex, IPOIResults* pCandidates, DOUBLE* pdSearchDistanceKm,
                     VARIANT_BOOL* pbFound) override {
        auto lock = Lock();
        return gpsdb::FindPOIs(&m_pois, pLocation, pConfiguration, nPOIFileIndex, pCandidates,
                               pdSearchDistanceKm, pbFound);
    }

    HRESULT AddPOIFile(BSTR bstrPOIFile, VARIANT* pvarCategoryNumbers,
                       VARIANT_BOOL bIsPOIFile) override {
        std::vector<LONG> numbers;
        if (pvarCategoryNumbers != nullptr &&
            FAILED(gpslib::ReadLongList(pvarCategoryNumbers, 1000, &numbers)))
            numbers.clear();
        std::lock_guard<std::mutex> lock(m_lock);
        const std::string path = gpslib::ToUtf8(bstrPOIFile);
        const bool added =
            m_pois.AddFile(path, std::vector<int>(numbers.begin(), numbers.end()), bIsPOIFile != 0);
        Log("AddPOIFile: " + path + (added ? " added" : " not added"));
        return added ? S_OK : S_FALSE;
    }

    HRESULT ClearPOIFiles() override {
        std::lock_guard<std::mutex> lock(m_lock);
        m_pois.ClearFiles();
        return S_OK;
    }

    HRESULT GetNumberOfCommercialPOIFilesLoaded(SHORT* pnCount) override {
        return Count(pnCount, [&] { return m_pois.CommercialFileCount(); });
    }

    HRESULT GetLoadedPOICategories(VARIANT* pvarCategoryNumbers, SHORT* pnCount) override {
        if (pvarCategoryNumbers == nullptr || pnCount == nullptr) return E_POINTER;
        std::lock_guard<std::mutex> lock(m_lock);
        const std::vector<int> categories = m_pois.Categories();
        *pnCount = static_cast<SHORT>(categories.size());
        VariantClear(pvarCategoryNumbers);
        return gpslib::ReturnLongList(pvarCategoryNumbers,
                                      std::vector<LONG>(categories.begin(), categories.end()));
    }

private:
    // Each map's POI file has the map's name with ".pdb"; a map without one has no POIs.
    void LoadMapPOIFiles() {
        m_pois.ClearMapFiles();
        for (const std::string& map : m_engine.MapPaths()) {
            std::string pdb = map.substr(0, map.size() - 4) + ".pdb";
            std::string error;
            if (!std::ifstream(pdb).good()) continue;
            if (!m_pois.AddMapFile(pdb, &error)) Log("Initalize: POI file refused: " + error);
        }
    }

    // REQUIRES for everything below: m_lock held.
    std::string Word(int id, const char* fallback) const {
        std::u16string text = m_strings ? m_strings->Get(id) : std::u16string();
        return text.empty() ? std::string(fallback) : gpslib::ToUtf8(std::u16string_view(text));
    }

    Naming NamingFor(bool expanded, bool detailed) const {
        Naming n;
        n.expanded = expanded;
        n.detailed = detailed;
        n.unnamedRoad = Word(gpslib::ids::kUnnamedRoad, "Unnamed road");
        n.unnamedPath = Word(gpslib::ids::kUnnamedPath, "Unnamed path");
        n.joiner = Word(gpslib::ids::kAndJoiner, " and ");
        return n;
    }

    void ClearRouteState() {
        m_nInitialHeading = -1;
        m_eWaypointMode = WaypointModeTurnsOnly;
        m_heldRoute.clear();
    }

    // Route names are written out ("STREET EXPANDED"), as the street answers that following a
    // route compares them with.
    gpsmap::RouteNaming RouteNamingFor(bool detailed) const {
        Naming n = NamingFor(true, detailed);
        gpsmap::RouteNaming r;
        r.expanded = true;
        r.detailed = detailed;
        r.unnamedRoad = n.unnamedRoad;
        r.unnamedPath = n.unnamedPath;
        r.joiner = n.joiner;
        return r;
    }

    HRESULT FindRoute(bool walking, Point start, Point end, BSTR name, BSTR description,
                      BSTR keywords, const gpsmap::RoutePreferences& preferences, VARIANT* list) {
        if (list == nullptr) return E_POINTER;
        auto lock = Lock();
        if (m_engine.MapCount() == 0) return E_FAIL;
        Keywords k(keywords);
        gpsmap::RouteRequest request;
        request.start = start;
        request.end = end;
        request.walking = walking;
        request.preferences = preferences;
        request.initialHeading = NormalHeading(m_nInitialHeading);
        request.turnsOnly = m_eWaypointMode != WaypointModeAll;
        request.endName = gpslib::ToUtf8(name);
        request.endDescription = gpslib::ToUtf8(description);
        gpsmap::Route route;
        bool found = m_engine.FindRoute(request, RouteNamingFor(k.streetDetailed), &route);
        const char* what = walking ? "FindWalkingRoute: " : "FindDrivingRoute: ";
        if (found) {
            char line[160];
            std::snprintf(line, sizeof line, "%zu points, %.0f m, %d states searched",
                          route.points.size(), route.length, route.visited);
            Log(what + std::string(line));
        } else {
            Log(what + std::string("no route"));
        }
        m_heldRoute = route.points;
        return ReturnRoutePoints(route.points, list);
    }

    // Each leg between two consecutive points of a loaded route is routed again; the route is
    // optimised when every point lies within 25 m of a usable street and every leg is no longer
    // than 1.5 times the distance the file gives for it (any length when it gives none).
    HRESULT LoadRoute(bool walking, VARIANT* list, const gpsmap::RoutePreferences& preferences,
                      VARIANT_BOOL* optimized) {
        if (optimized == nullptr) return E_POINTER;
        *optimized = VARIANT_FALSE;
        std::vector<gpsmap::RoutePointData> given;
        HRESULT hr = ReadRoutePoints(list, &given);
        if (FAILED(hr)) return hr;
        auto lock = Lock();
        m_heldRoute = given;
        // More legs than a route file of the system holds would keep the engine's lock for
        // minutes: such a list is not matched.
        constexpr std::size_t kMostLegs = 5000;
        if (m_engine.MapCount() == 0 || given.size() < 2 || given.size() > kMostLegs + 1)
            return S_OK;
        gpsmap::RouteNaming naming = RouteNamingFor(false);
        std::vector<gpsmap::RoutePointData> held;
        bool ok = true;
        int heading = NormalHeading(m_nInitialHeading);
        for (std::size_t i = 0; i + 1 < given.size() && ok; ++i) {
            gpsmap::RouteRequest request;
            request.start = given[i].at;
            request.end = given[i + 1].at;
            request.walking = walking;
            request.preferences = preferences;
            request.initialHeading = heading;
            request.turnsOnly = m_eWaypointMode != WaypointModeAll;
            request.endName = given[i + 1].name;
            gpsmap::Route leg;
            ok = m_engine.FindRoute(request, naming, &leg) &&
                 leg.points.front().featureIndex >= 0 && leg.points.back().featureIndex >= 0 &&
                 (given[i + 1].distance <= 0.0 || leg.length <= 1.5 * given[i + 1].distance + 1.0);
            if (!ok) break;
            heading = leg.points.back().orientationForward;
            held.insert(held.end(), leg.points.begin() + (held.empty() ? 0 : 1), leg.points.end());
        }
        Log(std::string(walking ? "LoadWalkingRoute: " : "LoadDrivingRoute: ") +
            std::to_string(given.size()) + (ok ? " points, optimised" : " points, not optimised"));
        if (ok) m_heldRoute = std::move(held);
        *optimized = ok ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }

    HRESULT ReturnRoutePoints(const std::vector<gpsmap::RoutePointData>& points, VARIANT* list) {
        std::vector<ComPtr<IRoutePoint>> records;
        for (const gpsmap::RoutePointData& p : points) {
            ComPtr<IRoutePoint> r;
            HRESULT hr = gpslib::CreateObject(CLSID_RoutePoint, IID_IRoutePoint, &r);
            if (FAILED(hr)) {
                gpslib::ReturnObjectList(list, {}, IID_IRoutePoint);
                return hr;
            }
            r->SetLatitude(p.at.lat);
            r->SetLongitude(p.at.lon);
            r->SetName(gpslib::Bstr(p.name).Get());
            r->SetDescription(gpslib::Bstr(p.description).Get());
            r->SetTurningPoint(p.turning ? VARIANT_TRUE : VARIANT_FALSE);
            r->SetStreetNameForward(gpslib::Bstr(p.streetForward).Get());
            r->SetNumberOfLanes(ClampShort(p.lanes));
            r->SetStreetOrientationForward(ClampShort(p.orientationForward));
            r->SetStreetOrientationReverse(ClampShort(p.orientationReverse));
            r->SetDistanceFromLastPoint(p.distance);
            r->SetFeatureIndex(ClampShort(p.featureIndex));
            r->SetCrossStreet(gpslib::Bstr(p.crossStreet).Get());
            r->SetStreetSpeed(ClampShort(p.speed));
            records.push_back(r);
        }
        std::vector<IUnknown*> items;
        items.reserve(records.size());
        for (auto& r : records)
            items.push_back(r.Get());
        return gpslib::ReturnObjectList(list, items, IID_IRoutePoint);
    }

    // Appends a line to gpsMapDebug.txt when the debug folder exists.
    void Log(const std::string& text) const {
        if (m_debugDirectory.empty()) return;
        gpslib::os::Env* env = gpslib::os::Env::Default();
        if (!env->IsDirectory(m_debugDirectory)) return;
        gpslib::os::SystemTime t = env->LocalTime();
        char prefix[64];
        std::snprintf(prefix, sizeof prefix, "<%02u %02u %4u %02u:%02u:%02u> ", t.month, t.day,
                      t.year, t.hour, t.minute, t.second);
        std::ofstream(m_debugDirectory + "/gpsMapDebug.txt", std::ios::app)
            << prefix << text << "\n";
    }

    // Takes the lock, first following the map files that changed while loaded: at once a map
    // whose file was cut short under it, and once a second the files' stamps (a stat a map).
    std::unique_lock<std::mutex> Lock() {
        std::unique_lock<std::mutex> lock(m_lock);
        const std::uint64_t now = gpslib::os::Env::Default()->NowMicros();
        const bool checkFiles = now >= m_nextMapFileCheck;
        if (checkFiles) m_nextMapFileCheck = now + kMapFileCheckMicros;
        for (const std::string& line : m_engine.RefreshChangedMaps(checkFiles))
            Log(line);
        return lock;
    }

    template <class F> HRESULT Count(SHORT* out, F f) {
        if (out == nullptr) return E_POINTER;
        auto lock = Lock();
        *out = static_cast<SHORT>(f());
        return S_OK;
    }
    HRESULT Level(SHORT* out, const char* level) {
        return Count(out, [&] { return m_engine.MapCountOfLevel(level); });
    }

    HRESULT ReturnBranches(const std::vector<Branch>& branches, VARIANT* list) {
        std::vector<ComPtr<ICrossStreetRecord>> records;
        for (const Branch& b : branches) {
            ComPtr<ICrossStreetRecord> r;
            HRESULT hr = gpslib::CreateObject(CLSID_CrossStreetRecord, IID_ICrossStreetRecord, &r);
            if (FAILED(hr)) return hr;
            gpslib::Bstr name(b.name);
            r->SetStreetName(name.Get());
            r->SetLatitude(b.at.lat);
            r->SetLongitude(b.at.lon);
            r->SetBearing(static_cast<SHORT>(b.bearing));
            r->SetKind(static_cast<SHORT>(b.kind));
            r->SetSkipped(b.skipped ? VARIANT_TRUE : VARIANT_FALSE);
            r->SetSideOfStreet(static_cast<SideOfStreet>(b.side));
            r->SetMustCrossStreet(b.mustCross ? VARIANT_TRUE : VARIANT_FALSE);
            records.push_back(r);
        }
        std::vector<IUnknown*> items;
        items.reserve(records.size());
        for (auto& r : records)
            items.push_back(r.Get());
        return gpslib::ReturnObjectList(list, items, IID_ICrossStreetRecord);
    }

    HRESULT Move(bool across, DOUBLE lat, DOUBLE lon, BSTR street, SHORT heading, SideOfStreet side,
                 BSTR keywords, VARIANT* list) {
        if (list == nullptr) return E_POINTER;
        auto lock = Lock();
        if (m_engine.MapCount() == 0) return E_FAIL;
        Keywords k(keywords);
        Naming naming = NamingFor(k.intersectionExpanded, k.streetDetailed);
        std::vector<Branch> branches;
        int s = side == LeftSide ? 1 : side == RightSide ? 2 : 0;
        if (ValidPosition(lat, lon)) {
            Point p{lat, lon};
            std::string name = gpslib::ToUtf8(street);
            branches =
                across
                    ? m_engine.MoveAcrossStreet(p, name, NormalHeading(heading), s, naming)
                    : m_engine.MoveToNextIntersection(p, name, NormalHeading(heading), s, naming);
        }
        return ReturnBranches(branches, list);
    }

    static void Fill(ILocationDetailRecord* r, const Details& d, const Keywords& k) {
        auto text = [](const std::string& s) { return gpslib::Bstr(s); };
        r->SetLatitude(d.at.lat);
        r->SetLongitude(d.at.lon);
        bool street = k.all || k.address || k.streetRaw;
        if (street)
            r->SetStreetNameShort(text(k.streetRaw && !k.all ? d.streetRaw : d.streetShort).Get());
        if (k.all || k.streetDetailed) r->SetStreetNameDetailed(text(d.streetDetailed).Get());
        if (k.all) {
            r->SetRoadClassification(text(d.classification).Get());
            r->SetSpeedLimitMetric(d.speedKmh);
            r->SetSpeedLimitNonMetric(d.speedMph);
            r->SetNumberLanes(static_cast<SHORT>(d.lanes));
        }
        if (k.all || k.address) {
            r->SetHouseNumber(text(d.houseNumber).Get());
            r->SetHouseNumberRight(d.houseRight);
            r->SetHouseNumberLeft(d.houseLeft);
            r->SetAddressRightFromAlphaNum(text(d.rightFromText).Get());
            r->SetAddressRightToAlphaNum(text(d.rightToText).Get());
            r->SetAddressLeftFromAlphaNum(text(d.leftFromText).Get());
            r->SetAddressLeftToAlphaNum(text(d.leftToText).Get());
            r->SetAddressRightFrom(d.rightFrom);
            r->SetAddressRightTo(d.rightTo);
            r->SetAddressLeftFrom(d.leftFrom);
            r->SetAddressLeftTo(d.leftTo);
        }
        if (k.all || k.city || k.cityPostalMap) r->SetCity(text(d.city).Get());
        if (k.all || k.stateRaw || k.cityPostalMap) r->SetStateProvince(text(d.state).Get());
        if (k.all || k.cityPostalMap) {
            r->SetBorough(text(d.borough).Get());
            r->SetArea(text(d.area).Get());
            r->SetCounty(text(d.county).Get());
            r->SetCountry(text(d.country).Get());
            r->SetZipPostalcode(text(d.postcode).Get());
            r->SetMap(text(d.map).Get());
        }
    }

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
    SHORT m_nMapMemoryKB = 0;
    bool m_bUsingWinCE42 = false;
};

class CCrossStreetRecord : public CCrossStreetRecordBase {};
class CLocationDetailRecord : public CLocationDetailRecordBase {};
class CRoutePoint : public CRoutePointBase {};

GPSLIB_CLASS_FACTORY(GPSMap, CGPSMap)
GPSLIB_CLASS_FACTORY(CrossStreetRecord, CCrossStreetRecord)
GPSLIB_CLASS_FACTORY(LocationDetailRecord, CLocationDetailRecord)
GPSLIB_CLASS_FACTORY(RoutePoint, CRoutePoint)
