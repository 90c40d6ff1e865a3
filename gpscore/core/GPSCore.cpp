#include "core/GPSCore.h"

#include <cerrno>
#include <cstdio>
#include <mutex>

#include "base/LocationObject.h"
#include "base/ServiceEnv.h"
#include "base/SettingsFiles.h"
#include "base/SettingsObject.h"
#include "base/SystemSettingsObject.h"
#include "base/Utility.h"
#include "orientation/VirtualObject.h"
#include "os/codepage.h"
#include "os/env.h"
#include "os/path.h"
#include "resources/StringIds.h"

GPSLIB_CLASS_FACTORY(GPSCore, CGPSCore)

using gpscore::Utility;
using gpslib::Bstr;
using gpslib::ComPtr;
using gpslib::os::CriticalSectionLock;

using gpscore::ReturnText;
using gpscore::Text;

namespace {

// The map engine of the process: created by the first core, referenced once more by each core.
// Cores take this lock around the creation reference (each core's own lock does not exclude the
// others).
std::mutex g_engineMutex;
IGPSMap* g_pGPSMapEngine = nullptr;

namespace ids = gpslib::ids;

// A folder name compared without one trailing separator.
std::u16string WithoutTrailingSeparator(std::u16string folder) {
    if (!folder.empty() && (folder.back() == u'\\' || folder.back() == u'/')) folder.pop_back();
    return folder;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Construction and destruction.

CGPSCore::CGPSCore() {
    CriticalSectionLock lock(m_csCore);
    m_context.m_pEnv = gpscore::ServiceEnv(); // The platform of this service for its whole life.
    {
        std::lock_guard<std::mutex> guard(g_engineMutex);
        if (g_pGPSMapEngine == nullptr) {
            // Left null when the engine's module is not registered; every operation that needs
            // it then reports failure.
            gpslib::CreateObject(CLSID_GPSMap, IID_IGPSMap,
                                 reinterpret_cast<void**>(&g_pGPSMapEngine));
        }
        m_context.m_pGPSMap.Share(g_pGPSMapEngine); // This core's own reference.
    }
    if (m_context.m_pGPSMap) m_context.m_pGPSMap->ResetEngine();
    m_receiver.State().SetMapEngine(m_context.Map());
    m_receiver.SetListener(&m_poll);
    m_events.SetObserver(&m_poll);
    m_events.SetDelivery(&m_eventDelivery);
}

CGPSCore::~CGPSCore() {
    {
        CriticalSectionLock lock(m_csCore);
        if (m_polling.Armed()) {
            if (m_context.m_pUtility != nullptr)
                Log("****ERROR****Stop not called before destructor!");
            m_context.Env().DebugOutput("**Stop not called before destructor!**\n");
            CGPSCore::Stop(); // This class's own Stop: the object is being destroyed.
        }
        // A service that used the Utility without starting lets go of it here.
        Utility::ReleaseForService(m_context.m_pUtility);
        std::lock_guard<std::mutex> guard(g_engineMutex);
        m_receiver.State().SetMapEngine(gpscore::MapQueries(nullptr));
        if (m_context.m_pGPSMap) {
            // Only the creation reference left: this was the last core.
            if (m_context.m_pGPSMap.Detach()->Release() == 1) {
                std::exchange(g_pGPSMapEngine, nullptr)->Release();
                Utility::DestroyInstance();
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Helpers.

bool CGPSCore::SetResourcesInternal(const std::u16string& path) {
    if (m_context.m_pUtility == nullptr)
        m_context.m_pUtility = Utility::AcquireForService(m_context.m_pEnv);
    Utility* utility = m_context.m_pUtility.get();
    if (utility == nullptr) return false;
    std::string native = gpslib::ToUtf8(std::u16string_view(path));
    bool exists = m_context.Env().FileExists(gpslib::os::NativePath(native));
    bool loaded = utility->LoadResources(native);
    if (loaded) {
        if (m_context.m_pGPSMap) {
            // The module the service found, a plain name resolved: the engine reads the same.
            VARIANT_BOOL engineLoaded = VARIANT_FALSE;
            Bstr library(std::string_view(utility->ResourcesPath()));
            m_context.m_pGPSMap->SetResourceLibrary(library.Get(), &engineLoaded);
            loaded = engineLoaded != VARIANT_FALSE;
        }
        m_bstrResourceLibrary = path;
    } else {
        Log(" Last Error:" + std::to_string(errno) + ":");
    }
    char line[64];
    std::snprintf(line, sizeof line, ", Exists:%d, Loaded:%d.", exists ? 1 : 0, loaded ? 1 : 0);
    Log("SetResourcesInternal: " + native + line);
    Log(gpslib::ToUtf8(std::u16string_view(String(ids::kVersion))));
    return loaded;
}

void CGPSCore::EnsureUtility() {
    if (m_context.m_pUtility == nullptr) SetResourcesInternal(u"GPSResources_EN.dll");
}

HRESULT CGPSCore::EngineCount(HRESULT (IGPSMap::*query)(SHORT*), SHORT* pnCount) {
    if (pnCount == nullptr) return E_POINTER;
    CriticalSectionLock lock(m_csCore);
    *pnCount = 0;
    if (!m_context.m_pGPSMap) return E_FAIL;
    return (m_context.m_pGPSMap.Get()->*query)(pnCount);
}

// ---------------------------------------------------------------------------------------------
// Start and Stop.

HRESULT CGPSCore::Start(BSTR bstrSettingsDirectory, BSTR, BSTR* pbstrResult) {
    CriticalSectionLock lock(m_csCore);
    if (pbstrResult == nullptr) return E_POINTER;
    std::u16string directory = Text(bstrSettingsDirectory);
    std::u16string errorText;
    std::u16string outcome;

    bool resourcesLoaded = true;
    // The settings folder's module when it was there but could not be read.
    std::string unreadableModule;
    if (m_context.m_pUtility == nullptr) {
        // The settings directory and the file name are joined as they are, with no separator.
        const std::u16string module = directory + u"GPSResources_EN.dll";
        resourcesLoaded = SetResourcesInternal(module);
        if (m_context.m_pUtility == nullptr) {
            errorText = u"Utility::Instance FAILED TO INITIALIZE";
            return ReturnText(errorText, pbstrResult);
        }
        // A damaged module (a language module cut short, another file under its name) leaves
        // the service speaking the installed English table rather than saying nothing.
        const std::string native = gpslib::ToUtf8(std::u16string_view(module));
        if (!resourcesLoaded && m_context.Env().FileExists(gpslib::os::NativePath(native))) {
            unreadableModule = native;
            resourcesLoaded = SetResourcesInternal(u"GPSResources_EN.dll");
        }
    }
    Utility& utility = *m_context.m_pUtility;

    m_context.ReadSettingsFiles(directory);
    Log("GPSCore::Start entered");
    if (!unreadableModule.empty())
        Log("\tGPSCore::Warning The string module " + unreadableModule +
            " could not be read; speaking English from " + utility.ResourcesPath() + ".");
    Bstr debugDirectory(std::u16string_view(utility.DebugDirectory()));
    if (m_context.m_pGPSMap) m_context.m_pGPSMap->SetDebugDirectory(debugDirectory.Get());

    m_context.m_pAddressDatabase.Reset();
    if (SUCCEEDED(gpslib::CreateObject(CLSID_AddressDatabase, IID_IAddressDatabase,
                                       m_context.m_pAddressDatabase.PutVoid()))) {
        m_context.m_pAddressDatabase->SetDebugDirectory(debugDirectory.Get());
    } else {
        Log("\tGPSCore::Error AddressDatabase failed to be created, make sure GPSDatabase.dll is "
            "registered.");
        errorText = u"ADDRESS DATABASE FAILED TO INITIALIZE";
    }
    if (FAILED(gpslib::CreateObject(CLSID_POIDatabase, IID_IPOIDatabase,
                                    m_context.m_pHistoryDatabase.PutVoid()))) {
        Log("\tGPSCore::Error HistoryDatabase failed to be created, make sure GPSDatabase.dll is "
            "registered.");
        errorText = u"History DATABASE FAILED TO INITIALIZE";
    }
    gpslib::CreateObject(CLSID_POIResults, IID_IPOIResults, m_context.m_pPOIResultsA.PutVoid());
    gpslib::CreateObject(CLSID_POIResults, IID_IPOIResults, m_context.m_pPOIResultsB.PutVoid());
    if (SUCCEEDED(gpslib::CreateObject(CLSID_POIDatabase, IID_IPOIDatabase,
                                       m_context.m_pPOIDatabase.PutVoid()))) {
        m_context.m_pPOIDatabase->SetDebugDirectory(debugDirectory.Get());
        m_context.m_pPOIDatabase->SetCachePagesSQL(m_nPOICachePagesSQL);
        m_context.m_pPOIDatabase->SetMemoryAllocatedSQL(m_nPOIMemoryKBSQL);
    } else {
        Log("\tGPSCore::Error POIDatabase failed to be created, make sure GPSDatabase.dll is "
            "registered.");
        errorText = u"POI DATABASE FAILED TO INITIALIZE";
    }
    m_poiSearch.Start();
    m_context.m_eCurrentMode = GPSMode;
    if (!resourcesLoaded) {
        Log("\tGPSCore::Error No Resources Loaded.");
        errorText = u"NO STRING RESOURCES LOADED";
    }
    Log(gpslib::ToUtf8(std::u16string_view(String(ids::kVersion))));
    m_receiver.State().m_nPedestrianAveragingSeconds = 5;
    m_events.SetReportingLevel(UrgencyLow);
    m_poll.Restart(utility.LookaroundSettings().startDelay);

    outcome = m_maps.Load();
    m_context.m_eCurrentMode = GPSMode;
    m_receiver.ResetLink();
    m_poll.ForgetQuality();
    if (!m_receiver.Open(2) && outcome == u"OK") {
        const GPSType type = m_context.ReceiverType();
        outcome = String(type == GPSTypeBlueTooth ? ids::kBluetoothReceiverNotOpened
                                                  : ids::kReceiverNotOpened);
    }
    m_virtual.Create();
    m_walkerObject = gpscore::NewVirtualObject(m_virtual.Shared());
    m_virtual.Restore();
    m_destination.Restore();
    m_lookaround.Start();
    m_poiLookaround.Start();

    m_polling.Arm(m_context.Env());
    Log("GPSCore::Start exited");
    return ReturnText(errorText.empty() ? outcome : errorText, pbstrResult);
}

HRESULT CGPSCore::Stop() {
    CriticalSectionLock lock(m_csCore);
    if (m_context.m_pUtility == nullptr) return S_OK;
    Utility& utility = *m_context.m_pUtility;
    Log("GPSCore::Stop called");
    StopPolling();
    m_polling.Disarm();
    m_eventDelivery.Clear();
    if (m_context.m_pAddressDatabase) m_context.m_pAddressDatabase->Close();
    m_context.m_pAddressDatabase.Reset();
    m_addressSearch.Forget();
    if (m_context.m_pPOIDatabase) m_context.m_pPOIDatabase->CloseDatabase();
    m_context.m_pPOIDatabase.Reset();
    if (m_context.m_pHistoryDatabase) m_context.m_pHistoryDatabase->CloseDatabase();
    m_context.m_pHistoryDatabase.Reset();
    m_poiSearch.Stop();
    m_maps.Unload();
    m_bstrResourceLibrary.clear();

    if (m_context.ReceiverType() != GPSTypeNone) {
        DOUBLE latitude = 0.0, longitude = 0.0;
        if (IGPSObject* gps = GPS()) {
            gps->GetLatitude(&latitude);
            gps->GetLongitude(&longitude);
        }
        utility.ChangeReceiverSettings([&](gpscore::settings::Receiver& receiver) {
            receiver.lastLatitude = latitude;
            receiver.lastLongitude = longitude;
        });
        m_context.WriteReceiverSettingsFile();
    }
    m_virtual.Save();
    m_destination.Save();
    m_context.WriteSystemSettingsFile();
    gpscore::LogWrite(m_context.Env(), utility.DebugDirectory(), " ", false, false);

    m_receiver.Release();
    m_context.m_eCurrentMode = GPSMode;
    m_virtual.Release();
    m_walkerObject.Reset();
    m_destination.Release();
    m_lookaround.Stop();
    m_poiLookaround.Stop();
    // The last service to stop ends the shared Utility, as a single service always did.
    Utility::ReleaseForService(m_context.m_pUtility);
    return S_OK;
}

void CGPSCore::StopPolling() {
    if (!m_polling.Stop()) Log("GPSCore::Timer stopped from its own poll");
}

// ---------------------------------------------------------------------------------------------
// Small system queries.

HRESULT CGPSCore::SystemGetVersion(BSTR* pbstrVersion) {
    CriticalSectionLock lock(m_csCore);
    if (pbstrVersion == nullptr) return E_POINTER;
    EnsureUtility();
    return ReturnText(String(ids::kVersion), pbstrVersion);
}

HRESULT CGPSCore::SystemGetCopyright(BSTR* pbstrCopyright) {
    CriticalSectionLock lock(m_csCore);
    if (pbstrCopyright == nullptr) return E_POINTER;
    EnsureUtility();
    return ReturnText(String(ids::kCopyright), pbstrCopyright);
}

HRESULT CGPSCore::SystemGetCurrentMode(Mode* peMode) {
    CriticalSectionLock lock(m_csCore);
    if (peMode == nullptr) return E_POINTER;
    *peMode = m_context.m_eCurrentMode;
    return S_OK;
}

HRESULT CGPSCore::SystemSetCurrentMode(Mode eMode) {
    CriticalSectionLock lock(m_csCore);
    m_context.m_eCurrentMode = eMode; // Stored as given, even outside the two modes.
    return S_OK;
}

HRESULT CGPSCore::GetNumberOfMapsLoaded(SHORT* pnMapsLoaded) {
    return EngineCount(&IGPSMap::GetNumberOfMapsLoaded, pnMapsLoaded);
}
HRESULT CGPSCore::LoadedCountryMaps(SHORT* pnMaps) {
    return EngineCount(&IGPSMap::GetLoadedCountryMaps, pnMaps);
}
HRESULT CGPSCore::LoadedProvincialMaps(SHORT* pnMaps) {
    return EngineCount(&IGPSMap::GetLoadedProvincialMaps, pnMaps);
}
HRESULT CGPSCore::LoadedStateMaps(SHORT* pnMaps) {
    return EngineCount(&IGPSMap::GetLoadedStateMaps, pnMaps);
}
HRESULT CGPSCore::LoadedRegionalMaps(SHORT* pnMaps) {
    return EngineCount(&IGPSMap::GetLoadedRegionalMaps, pnMaps);
}

HRESULT CGPSCore::SystemSetResources(BSTR bstrLibraryPath, VARIANT_BOOL* pbLoaded) {
    CriticalSectionLock lock(m_csCore);
    if (pbLoaded == nullptr) return E_POINTER;
    *pbLoaded = gpslib::VariantBool(SetResourcesInternal(Text(bstrLibraryPath)));
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// System settings and limits.

HRESULT CGPSCore::SystemGetSettings(ISystemSettingsObject** ppSettings) {
    CriticalSectionLock lock(m_csCore);
    if (ppSettings == nullptr) return E_POINTER;
    *ppSettings = nullptr;
    EnsureUtility();
    ComPtr<ISystemSettingsObject> copy;
    HRESULT hr = gpslib::CreateObject(CLSID_SystemSettingsObject, IID_ISystemSettingsObject, &copy);
    if (FAILED(hr)) return hr;
    if (auto stored = m_context.SystemSettings()) gpscore::settings::ToObject(*stored, copy.Get());
    *ppSettings = copy.Detach();
    return S_OK;
}

HRESULT CGPSCore::SystemGetDefaultSettings(ISystemSettingsObject** ppDefaultSettings) {
    CriticalSectionLock lock(m_csCore);
    if (ppDefaultSettings == nullptr) return E_POINTER;
    *ppDefaultSettings = nullptr;
    ComPtr<ISystemSettingsObject> defaults;
    HRESULT hr =
        gpslib::CreateObject(CLSID_SystemSettingsObject, IID_ISystemSettingsObject, &defaults);
    if (FAILED(hr)) return hr;
    Bstr maps(u"\\CompactFlash\\maps");
    Bstr settings(u"\\CompactFlash\\settings");
    defaults->SetMapPOIDirectory(maps.Get());
    defaults->SetSettingsDirectory(settings.Get());
    *ppDefaultSettings = defaults.Detach();
    return S_OK;
}

HRESULT CGPSCore::SystemSetSettings(ISystemSettingsObject* pSettings) {
    CriticalSectionLock lock(m_csCore);
    if (pSettings == nullptr) return E_POINTER;
    if (m_context.m_pUtility == nullptr) {
        Bstr dir;
        pSettings->GetSettingsDirectory(dir.Put());
        SetResourcesInternal(Text(dir.Get()) + u"GPSResources_EN.dll");
        if (m_context.m_pUtility == nullptr) return E_FAIL;
    }
    gpscore::Utility& utility = *m_context.m_pUtility;
    const Units oldUnits = utility.CurrentUnits();
    m_context.Env().DebugOutput("Calling SetSystemSettings");

    // Every field the file keeps but the saved walker and destination, which stay the
    // service's own; the client's object is read first, since the change holds the lock.
    gpscore::settings::System given;
    gpscore::settings::FromObject(pSettings, given);
    const std::u16string newMaps = given.mapPOIDirectory;
    const Units units = given.units;
    std::u16string oldMaps;
    utility.ChangeSystemSettings([&](gpscore::settings::System& stored) {
        oldMaps = stored.mapPOIDirectory;
        given.saved = std::move(stored.saved);
        stored = std::move(given);
    });
    gpscore::ResetLogChecks();
    m_context.WriteSystemSettingsFile();

    VARIANT_BOOL checkForNew = 0;
    pSettings->ShouldCheckForNewMaps(&checkForNew);
    bool reload =
        WithoutTrailingSeparator(oldMaps) != WithoutTrailingSeparator(newMaps) || checkForNew != 0;
    Log("SystemSetSettings: entered");
    if (reload) {
        m_maps.Unload();
        m_maps.Load();
    }
    if (units != oldUnits) {
        m_receiver.State().PedometerReset();
        m_virtual.PedometerReset();
    }
    Log("SystemSetSettings: exiting");
    return S_OK;
}

HRESULT CGPSCore::SystemSetMapMemoryAllocated(SHORT nKilobytes) {
    CriticalSectionLock lock(m_csCore);
    return m_context.m_pGPSMap ? m_context.m_pGPSMap->SetMapMemoryAllocated(nKilobytes) : E_FAIL;
}

HRESULT CGPSCore::SystemSetTestMode(VARIANT_BOOL bTestMode) {
    CriticalSectionLock lock(m_csCore);
    m_receiver.State().m_bTestMode = bTestMode != 0;
    return S_OK;
}

HRESULT CGPSCore::SystemSetPOICachePagesAllocatedSQL(SHORT nCachePages) {
    CriticalSectionLock lock(m_csCore);
    m_nPOICachePagesSQL = nCachePages;
    if (m_context.m_pPOIDatabase) m_context.m_pPOIDatabase->SetCachePagesSQL(nCachePages);
    return S_OK;
}

HRESULT CGPSCore::SystemSetPOIMemoryAllocatedRME(SHORT nKilobytes) {
    CriticalSectionLock lock(m_csCore);
    if (m_context.m_pGPSMap) m_context.m_pGPSMap->SetPOIMemoryAllocatedRME(nKilobytes);
    return S_OK;
}

HRESULT CGPSCore::SystemSetPOIMemoryAllocatedSQL(SHORT nKilobytes) {
    CriticalSectionLock lock(m_csCore);
    m_nPOIMemoryKBSQL = nKilobytes;
    if (m_context.m_pPOIDatabase) m_context.m_pPOIDatabase->SetMemoryAllocatedSQL(nKilobytes);
    return S_OK;
}

HRESULT CGPSCore::SystemSetNumberMaxMaps(SHORT nMaxMaps) {
    CriticalSectionLock lock(m_csCore);
    if (m_context.m_pGPSMap) m_context.m_pGPSMap->SetNumberMaxMaps(nMaxMaps);
    return S_OK;
}

HRESULT CGPSCore::SystemSetNumberMaxCommercialPOIFiles(SHORT nMaxFiles) {
    CriticalSectionLock lock(m_csCore);
    if (m_context.m_pGPSMap) m_context.m_pGPSMap->SetNumberMaxCommercialPOIFiles(nMaxFiles);
    return S_OK;
}

HRESULT CGPSCore::SystemProprietaryFeatures(VARIANT_BOOL bEnabled) {
    m_bProprietaryFeatures = bEnabled != 0; // No other operation reads it; no lock needed.
    return S_OK;
}

HRESULT CGPSCore::SystemUsingWinCE42(VARIANT_BOOL bUsingWinCE42) {
    CriticalSectionLock lock(m_csCore);
    if (m_context.m_pGPSMap) m_context.m_pGPSMap->SetUsingWinCE42(bUsingWinCE42);
    m_bUsingWinCE42 = bUsingWinCE42 != 0;
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Talking lights and calibration: kept for clients, no behaviour.

HRESULT CGPSCore::TalkingLightsDatabaseLoad(BSTR, VARIANT_BOOL*) {
    return S_OK;
}
HRESULT CGPSCore::TalkingLightsDatabaseClose() {
    return S_OK;
}
HRESULT CGPSCore::TalkingLightsGetNumberOfActiveLights(SHORT*) {
    return S_OK;
}
HRESULT CGPSCore::TalkingLightsGetAllLightIds(VARIANT*) {
    return S_OK;
}
HRESULT CGPSCore::TalkingLightsGet(BSTR, ITalkingLightObject**) {
    return S_OK;
}
HRESULT CGPSCore::TalkingLightsAddOrUpdate(BSTR, ITalkingLightObject*) {
    return S_OK;
}
HRESULT CGPSCore::TalkingLightsDelete(BSTR) {
    return S_OK;
}
HRESULT CGPSCore::TalkingLightsGetNearest(ILocationObject*, ITalkingLightObject**) {
    return S_OK;
}
HRESULT CGPSCore::TalkingLightsGetMinAmplitudePercentage(SHORT*) {
    return S_OK;
}
HRESULT CGPSCore::TalkingLightsSetMinAmplitudePercentage(SHORT) {
    return S_OK;
}
HRESULT CGPSCore::TalkingLightsSyncGPSLocation(VARIANT_BOOL) {
    return S_OK;
}

HRESULT CGPSCore::TalkingLightsIsSyncingGPSLocation(VARIANT_BOOL* pbSyncing) {
    return pbSyncing == nullptr ? E_POINTER : S_OK;
}

HRESULT CGPSCore::GPSCalibrateInertialReceiver(VARIANT_BOOL* pbCalibrationStarted) {
    CriticalSectionLock lock(m_csCore);
    return pbCalibrationStarted == nullptr ? E_POINTER : S_OK;
}

HRESULT CGPSCore::SystemMapsPOIsUnLoad() {
    CriticalSectionLock lock(m_csCore);
    if (m_polling.Armed()) m_maps.Unload();
    return S_OK;
}

HRESULT CGPSCore::SystemMapsPOIsLoad(SHORT* pnMapsLoaded) {
    if (pnMapsLoaded == nullptr) return E_POINTER;
    CriticalSectionLock lock(m_csCore);
    *pnMapsLoaded = 0;
    if (!m_polling.Armed()) return S_OK;
    m_maps.Unload();
    Log("SystemMapsPOIsLoadInternal: Switching Maps and POIs");
    if (m_context.m_pGPSMap) {
        Bstr library(std::string_view(m_context.m_pUtility != nullptr
                                          ? m_context.m_pUtility->ResourcesPath()
                                          : gpslib::ToUtf8(m_bstrResourceLibrary)));
        VARIANT_BOOL loaded = VARIANT_FALSE;
        m_context.m_pGPSMap->SetResourceLibrary(library.Get(), &loaded);
    }
    m_maps.Load();
    if (m_context.m_pGPSMap) m_context.m_pGPSMap->GetNumberOfMapsLoaded(pnMapsLoaded);
    return S_OK;
}

HRESULT CGPSCore::FindAvailableMaps(BSTR bstrSearch, VARIANT* pvarMapNames) {
    if (pvarMapNames == nullptr) return E_POINTER;
    CriticalSectionLock lock(m_csCore);
    if (!m_context.m_pGPSMap) return E_FAIL;
    return m_context.m_pGPSMap->FindMapsMatching(bstrSearch, pvarMapNames);
}
