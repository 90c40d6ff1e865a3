// The map engine object's maps, settings and log, the helpers its other files share, and the
// module's classes.
#include "GPSMap.h"

#include <gpslib/registry.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "os/env.h"
#include "os/path.h"
#include "resources/StringIds.h"

namespace gpsmap {

Keywords::Keywords(BSTR text) {
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

bool ValidPosition(double lat, double lon) {
    return std::isfinite(lat) && std::isfinite(lon) && lat >= -90.0 && lat <= 90.0 &&
           lon >= -180.0 && lon <= 180.0;
}

int NormalHeading(SHORT heading) {
    return heading < 0 ? -1 : heading % 360;
}

} // namespace gpsmap

namespace {

// The installed maps folders: first the one of the installation this module belongs to, found
// from the module's own folder (an installation moved to another prefix, or staged under
// DESTDIR), then the configured prefix's, then the usual prefixes'.
std::vector<std::string> InstalledMapFolders() {
    std::vector<std::string> folders;
    const std::string module =
        gpslib::ModulePathOf(reinterpret_cast<const void*>(&gpsmap::NormalHeading));
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

CGPSMap::CGPSMap() {
    m_engine.SetInstalledMapFolders(InstalledMapFolders());
}

HRESULT CGPSMap::GetMapDirectory(BSTR* pbstrMapDirectory) {
    if (pbstrMapDirectory == nullptr) return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    return gpslib::ReturnString(pbstrMapDirectory, m_engine.MapDirectory());
}

HRESULT CGPSMap::Initalize(BSTR bstrMapDirectory, BSTR bstrSettingsDirectory,
                           VARIANT_BOOL bSearchOtherMapDirectories, BSTR* pbstrResult) {
    if (pbstrResult == nullptr) return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    std::string answer =
        m_engine.Initialize(gpslib::ToUtf8(bstrMapDirectory), gpslib::ToUtf8(bstrSettingsDirectory),
                            bSearchOtherMapDirectories != 0);
    for (const std::string& line : m_engine.LoadLog())
        Log("Initalize: " + line);
    LoadMapPOIFiles();
    Log("Initalize: " + answer);
    ClearRouteState();
    return gpslib::ReturnString(pbstrResult, answer);
}

HRESULT CGPSMap::UnloadMaps() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_engine.Unload();
    m_pois.ClearMapFiles();
    m_pois.ClearFiles();
    ClearRouteState();
    return S_OK;
}

HRESULT CGPSMap::GetNumberOfMapsLoaded(SHORT* pnCount) {
    return Count(pnCount, [&] { return m_engine.MapCount(); });
}

HRESULT CGPSMap::FindMapsMatching(BSTR bstrSearch, VARIANT* pvarMapNames) {
    if (pvarMapNames == nullptr) return E_POINTER;
    auto lock = Lock();
    std::vector<std::u16string> names;
    for (const std::string& n : m_engine.MapsMatching(gpslib::ToUtf8(bstrSearch)))
        names.push_back(gpslib::ToUtf16(n));
    return gpslib::ReturnStringList(pvarMapNames, names);
}

HRESULT CGPSMap::GetLoadedCountryMaps(SHORT* pnCount) {
    return Level(pnCount, "country");
}

HRESULT CGPSMap::GetLoadedProvincialMaps(SHORT* pnCount) {
    return Level(pnCount, "provincial");
}

HRESULT CGPSMap::GetLoadedStateMaps(SHORT* pnCount) {
    return Level(pnCount, "state");
}

HRESULT CGPSMap::GetLoadedRegionalMaps(SHORT* pnCount) {
    return Level(pnCount, "regional");
}

HRESULT CGPSMap::SetMapMemoryAllocated(SHORT nKilobytes) {
    if (nKilobytes < 1) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(m_lock);
    m_nMapMemoryKB = nKilobytes;
    return S_OK;
}

HRESULT CGPSMap::SetDebugDirectory(BSTR bstrDebugDirectory) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_debugDirectory = gpslib::os::NativePath(gpslib::ToUtf8(bstrDebugDirectory));
    return S_OK;
}

HRESULT CGPSMap::SetResourceLibrary(BSTR bstrLibraryPath, VARIANT_BOOL* pbLoaded) {
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
    *pbLoaded = gpslib::VariantBool(loaded);
    return S_OK;
}

HRESULT CGPSMap::ResetEngine() {
    std::lock_guard<std::mutex> lock(m_lock);
    ClearRouteState();
    return S_OK;
}

HRESULT CGPSMap::SetNumberMaxMaps(SHORT nMaxMaps) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (nMaxMaps >= 1) m_engine.SetMaxMaps(nMaxMaps);
    return S_OK;
}

HRESULT CGPSMap::SetUsingWinCE42(VARIANT_BOOL bUsingWinCE42) {
    auto lock = Lock();
    m_bUsingWinCE42 = bUsingWinCE42 != 0;
    return S_OK;
}

std::unique_lock<std::mutex> CGPSMap::Lock() {
    std::unique_lock<std::mutex> lock(m_lock);
    const std::uint64_t now = gpslib::os::Env::Default()->NowMicros();
    const bool checkFiles = now >= m_nextMapFileCheck;
    if (checkFiles) m_nextMapFileCheck = now + kMapFileCheckMicros;
    for (const std::string& line : m_engine.RefreshChangedMaps(checkFiles))
        Log(line);
    return lock;
}

HRESULT CGPSMap::Level(SHORT* out, const char* level) {
    return Count(out, [&] { return m_engine.MapCountOfLevel(level); });
}

void CGPSMap::Log(const std::string& text) const {
    if (m_debugDirectory.empty()) return;
    gpslib::os::Env* env = gpslib::os::Env::Default();
    if (!env->IsDirectory(m_debugDirectory)) return;
    gpslib::os::SystemTime t = env->LocalTime();
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "<%02u %02u %4u %02u:%02u:%02u> ", t.month, t.day, t.year,
                  t.hour, t.minute, t.second);
    std::ofstream(m_debugDirectory + "/gpsMapDebug.txt", std::ios::app) << prefix << text << "\n";
}

std::string CGPSMap::Word(int id, const char* fallback) const {
    std::u16string text = m_strings ? m_strings->Get(id) : std::u16string();
    return text.empty() ? std::string(fallback) : gpslib::ToUtf8(std::u16string_view(text));
}

gpsmap::Naming CGPSMap::NamingFor(bool expanded, bool detailed) const {
    gpsmap::Naming n;
    n.expanded = expanded;
    n.detailed = detailed;
    n.unnamedRoad = Word(gpslib::ids::kUnnamedRoad, "Unnamed road");
    n.unnamedPath = Word(gpslib::ids::kUnnamedPath, "Unnamed path");
    n.joiner = Word(gpslib::ids::kAndJoiner, " and ");
    // The walker's words, by way kind (format::WayKind).
    namespace ids = gpslib::ids;
    namespace f = gpslib::formats;
    n.kinds.sidewalkOf = Word(ids::kSidewalkOf, "%s sidewalk");
    n.kinds.crossingOf = Word(ids::kCrossingOf, "Crossing of %s");
    const std::pair<int, int> words[] = {{f::kKindSidewalk, ids::kWaySidewalk},
                                         {f::kKindCrossing, ids::kWayCrossing},
                                         {f::kKindDriveway, ids::kWayDriveway},
                                         {f::kKindParkingAisle, ids::kWayParkingAisle},
                                         {f::kKindAlley, ids::kWayAlley},
                                         {f::kKindDriveThrough, ids::kWayDriveThrough},
                                         {f::kKindSteps, ids::kWaySteps},
                                         {f::kKindFootway, ids::kWayFootway},
                                         {f::kKindPath, ids::kWayPath},
                                         {f::kKindCycleway, ids::kWayCyclePath},
                                         {f::kKindTrack, ids::kWayTrack},
                                         {f::kKindPedestrian, ids::kWayPedestrianArea},
                                         {f::kKindSquare, ids::kWaySquare},
                                         {f::kKindPlatform, ids::kWayPlatform},
                                         {f::kKindBridleway, ids::kWayBridleway},
                                         {f::kKindSlipRoad, ids::kWaySlipRoad},
                                         {f::kKindServiceRoad, ids::kWayServiceRoad},
                                         {f::kKindSideStreet, ids::kWaySideStreet},
                                         {f::kKindMinorRoad, ids::kWayMinorRoad},
                                         {f::kKindMainRoad, ids::kWayMainRoad},
                                         {f::kKindMotorway, ids::kWayMotorway}};
    static_assert(std::size(words) == f::kWayKindCount - 1);
    for (const auto& [kind, id] : words) {
        std::string& word = n.kinds.kinds[static_cast<std::size_t>(kind)];
        word = Word(id, word.c_str());
    }
    return n;
}

class CCrossStreetRecord : public CCrossStreetRecordBase {};
class CLocationDetailRecord : public CLocationDetailRecordBase {};
class CRoutePoint : public CRoutePointBase {};
class CCrossingRecord : public CCrossingRecordBase {};
class CStreetShapeRecord : public CStreetShapeRecordBase {};

GPSLIB_CLASS_FACTORY(GPSMap, CGPSMap)
GPSLIB_CLASS_FACTORY(CrossStreetRecord, CCrossStreetRecord)
GPSLIB_CLASS_FACTORY(LocationDetailRecord, CLocationDetailRecord)
GPSLIB_CLASS_FACTORY(RoutePoint, CRoutePoint)
GPSLIB_CLASS_FACTORY(CrossingRecord, CCrossingRecord)
GPSLIB_CLASS_FACTORY(StreetShapeRecord, CStreetShapeRecord)
