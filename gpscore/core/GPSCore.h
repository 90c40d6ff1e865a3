// The navigation service: the one object through which a client uses the system.
#ifndef GPSCORE_CORE_GPSCORE_H_
#define GPSCORE_CORE_GPSCORE_H_

#include <gpslib/GPSDatabaseLib.h>
#include <gpslib/GPSMapLib.h>

#include <deque>
#include <memory>
#include <string>

#include "GPSLib_classes.h"
#include "events/EventKinds.h"
#include "gps/Nmea.h"
#include "gps/ReceiverState.h"
#include "gps/Trace.h"
#include "os/env.h"
#include "os/sync.h"

namespace gpscore {
class Utility;
}

// Every public method holds m_csCore for its whole body (the talking-light methods and
// SystemProprietaryFeatures excepted). The map engine is one object per process, referenced
// once more by every core.
class CGPSCore : public CGPSCoreBase {
public:
    CGPSCore();
    ~CGPSCore() override;

    // Lifecycle and system.
    HRESULT Start(BSTR bstrSettingsDirectory, BSTR bstrUnused, BSTR* pbstrResult) override;
    HRESULT Stop() override;
    HRESULT SystemGetVersion(BSTR* pbstrVersion) override;
    HRESULT SystemGetCopyright(BSTR* pbstrCopyright) override;
    HRESULT SystemGetCurrentMode(Mode* peMode) override;
    HRESULT SystemSetCurrentMode(Mode eMode) override;
    HRESULT GetNumberOfMapsLoaded(SHORT* pnMapsLoaded) override;
    HRESULT LoadedCountryMaps(SHORT* pnMaps) override;
    HRESULT LoadedProvincialMaps(SHORT* pnMaps) override;
    HRESULT LoadedStateMaps(SHORT* pnMaps) override;
    HRESULT LoadedRegionalMaps(SHORT* pnMaps) override;
    HRESULT SystemSetResources(BSTR bstrLibraryPath, VARIANT_BOOL* pbLoaded) override;

    // Maps and the files beside them (core/MapLoading.cpp).
    HRESULT SystemMapsPOIsLoad(SHORT* pnMapsLoaded) override;
    HRESULT SystemMapsPOIsUnLoad() override;
    HRESULT FindAvailableMaps(BSTR bstrSearch, VARIANT* pvarMapNames) override;
    // The personal stores beside the maps: the folder, "\\" unless it ends in a separator,
    // then "History.hdb", "Favorites.fdb" or "Annotations.adb".
    static std::u16string HistoryFile(const std::u16string& directory);
    static std::u16string FavoritesFile(const std::u16string& directory);
    static std::u16string AnnotationsFile(const std::u16string& directory);

    // System settings and limits.
    HRESULT SystemGetSettings(ISystemSettingsObject** ppSettings) override;
    HRESULT SystemSetSettings(ISystemSettingsObject* pSettings) override;
    HRESULT SystemGetDefaultSettings(ISystemSettingsObject** ppDefaultSettings) override;
    HRESULT SystemSetMapMemoryAllocated(SHORT nKilobytes) override;
    HRESULT SystemSetTestMode(VARIANT_BOOL bTestMode) override;
    HRESULT SystemSetPOICachePagesAllocatedSQL(SHORT nCachePages) override;
    HRESULT SystemSetPOIMemoryAllocatedRME(SHORT nKilobytes) override;
    HRESULT SystemSetPOIMemoryAllocatedSQL(SHORT nKilobytes) override;
    HRESULT SystemSetNumberMaxMaps(SHORT nMaxMaps) override;
    HRESULT SystemSetNumberMaxCommercialPOIFiles(SHORT nMaxFiles) override;
    HRESULT SystemProprietaryFeatures(VARIANT_BOOL bEnabled) override;
    HRESULT SystemUsingWinCE42(VARIANT_BOOL bUsingWinCE42) override;

    // Heading and position for either mode, and the destination (orientation/CoreOrientation.cpp).
    HRESULT GetHeading(Mode eMode, HeadingType eHeadingType, BSTR* pbstrHeading) override;
    HRESULT GetHeadingDegrees(Mode eMode, SHORT* pnHeadingDegrees) override;
    HRESULT IsHeadingValid(Mode eMode, VARIANT_BOOL* pbValid) override;
    HRESULT GetLocation(Mode eMode, ILocationObject** ppLocation) override;
    HRESULT GetDistanceAndHeading(Mode eMode, ILocationObject* pTo,
                                  BSTR* pbstrDescription) override;
    HRESULT GetDistanceAndHeadingAndName(Mode eMode, ILocationObject* pTo,
                                         IDescriptionConfigurationObject* pConfig,
                                         BSTR* pbstrDescription) override;
    HRESULT DestinationGet(IDestinationObject** ppDestination) override;
    HRESULT DestinationSetByLocation(ILocationObject* pLocation) override;
    HRESULT DestinationSetByAddress(IAddressObject* pAddress) override;
    HRESULT DestinationSetByPOI(IPOIObject* pPOI) override;
    HRESULT DestinationClear() override;
    HRESULT DestinationWhereIs(Mode eMode, IDescriptionConfigurationObject* pConfig,
                               BSTR* pbstrDescription) override;

    // Kept for clients written against receivers and light databases that this service does not
    // drive: they answer success and write nothing.
    HRESULT TalkingLightsDatabaseLoad(BSTR bstrDatabaseFile, VARIANT_BOOL* pbLoaded) override;
    HRESULT TalkingLightsDatabaseClose() override;
    HRESULT TalkingLightsGetNumberOfActiveLights(SHORT* pnActiveLights) override;
    HRESULT TalkingLightsGetAllLightIds(VARIANT* pvarLightIds) override;
    HRESULT TalkingLightsGet(BSTR bstrLightId, ITalkingLightObject** ppLight) override;
    HRESULT TalkingLightsAddOrUpdate(BSTR bstrLightId, ITalkingLightObject* pLight) override;
    HRESULT TalkingLightsDelete(BSTR bstrLightId) override;
    HRESULT TalkingLightsGetNearest(ILocationObject* pLocation,
                                    ITalkingLightObject** ppLight) override;
    HRESULT TalkingLightsGetMinAmplitudePercentage(SHORT* pnPercentage) override;
    HRESULT TalkingLightsSetMinAmplitudePercentage(SHORT nPercentage) override;
    HRESULT TalkingLightsSyncGPSLocation(VARIANT_BOOL bSync) override;
    HRESULT TalkingLightsIsSyncingGPSLocation(VARIANT_BOOL* pbSyncing) override;
    HRESULT GPSCalibrateInertialReceiver(VARIANT_BOOL* pbCalibrationStarted) override;

    // The receiver: its state, link, polling, traces and Bluetooth (gps/CoreReceiver.cpp).
    HRESULT GPSGet(IGPSObject** ppGPS) override;
    HRESULT GPSGetTime(IGPSTimeObject** ppTime) override;
    HRESULT GPSGetStatus(IGPSStatusObject** ppStatus) override;
    HRESULT GPSForceLocation(ILocationObject* pLocation, SHORT nHeading) override;
    HRESULT GPSSetHeading(SHORT nHeadingDegrees) override;
    HRESULT GPSExternalNmeaDataUpdate(BSTR bstrNmeaData) override;
    HRESULT GPSSetMinSpeedForHeadingAveraging(DOUBLE dMinSpeedKnots) override;
    HRESULT GPSGetMinSpeedForHeadingAveraging(DOUBLE* pdMinSpeedKnots) override;
    HRESULT PedometerReset(Mode eMode) override;
    HRESULT PedometerGet(Mode eMode, BSTR* pbstrDistance) override;
    HRESULT GPSGetSettings(IGPSSettingsObject** ppSettings) override;
    HRESULT GPSGetDefaultSettings(IGPSSettingsObject** ppDefaultSettings) override;
    HRESULT GPSSetSettings(IGPSSettingsObject* pSettings, VARIANT_BOOL* pbPortOpened) override;
    HRESULT GPSTurnOnAutomaticPolling() override;
    HRESULT GPSTurnOffAutomaticPolling() override;
    HRESULT GPSForcePoll(VARIANT_BOOL* pbDataRead) override;
    HRESULT GPSStartRecording(BSTR bstrTraceFile) override;
    HRESULT GPSStopRecording() override;
    HRESULT GPSInsertAnnotationIntoRecording(BSTR bstrAnnotation) override;
    HRESULT GPSFindAvailableBluetoothDevices(VARIANT* pvarDevices) override;

    // Automatic events (events/CoreEvents.cpp).
    HRESULT RegisterUIAutoEventCallback(IDispatch* pAutoEventSink) override;
    HRESULT EngageUIAutoLookaroundEvents(VARIANT_BOOL bEngaged) override;
    HRESULT LookaroundGetUrgencyReportingLevel(UrgencyLevel* peUrgencyLevel) override;
    HRESULT LookaroundSetUrgencyReportingLevel(UrgencyLevel eUrgencyLevel) override;
    HRESULT EnableHistoryOfAutomaticEvents(VARIANT_BOOL bEnable) override;
    HRESULT GetLastAutomaticEvent(IAutomaticEventObject** ppEvent) override;
    HRESULT GetLastTenAutomaticEvents(VARIANT* pvarEvents) override;

private:
    // Reaches the virtual walker for tests of the mode rules, until the walker's own methods exist.
    friend class GPSCoreTestPeer;

    // REQUIRES for everything below: m_csCore held.

    // Loads the resource module at `path` into the Utility (obtained if the core has none) and
    // hands the path to the map engine; true when both took it (or, with no engine, when the
    // module loaded).
    bool SetResourcesInternal(const std::u16string& path);
    // Resource loading with an empty settings directory, for the queries that work before Start.
    void EnsureUtility();
    void Log(const std::string& text) const;
    std::u16string String(int id) const;

    // The steps of Start and Stop that the other subsystems own.
    void ReadSettingsFiles(std::u16string_view directory);
    std::u16string LoadMapsAndPOIs();
    void UnloadMapsAndPOIs();
    // Offers the engine every POI file of `directory` that has no map of its base name beside it;
    // answers how many there were.
    int LoadStandAlonePOIFiles(const std::u16string& directory);
    // The receiver link (gps/CoreReceiver.cpp).
    bool OpenReceiver(SHORT startupSentences);
    bool OpenLink(SHORT startupSentences);
    bool OpenPort(std::unique_ptr<gpslib::os::SerialPort>& port, std::u16string_view portName,
                  SHORT portNumber, LONG baudRate);
    void ResetLinkState();
    void CloseReceiver();
    // Reads what the port and the playback file hold; true when any bytes came.
    bool ReadReceiver();
    enum class Source { kSerialPort, kPlaybackFile };
    bool ReadSource(Source source);
    void PollingThread(gpslib::os::Event* stopEvent, unsigned generation);
    void StopPollingThread();
    // Where a played-back annotation goes: the capture of route creation, or an event.
    // Appends to the trace being recorded; a write that fails ends the recording.
    void AppendToTrace(std::string_view bytes);
    void CloseTrace();
    void SimulationAnnotationReached(std::u16string_view text);
    // One heartbeat of the service: reads the receiver when asked, then updates the state and
    // looks for events (events/PollCycle.cpp). True when bytes were read.
    bool PollCycle(bool readReceiver);
    bool ReceiverConfigured() const;
    void CheckConnectionAndFix();
    // The distance within which the user has arrived somewhere: the system setting divided by
    // `divisor`, widened with the speed in GPSMode; `fast` is set from 41 mph up.
    LONG ArrivalDistance(int divisor, bool* fast = nullptr);
    // Both places valid and `from` within ArrivalDistance(3) of `to`; *distance is -1 when not
    // both are valid.
    bool IsWithinArrivalDistance(ILocationObject* from, ILocationObject* to, LONG* distance);
    void CheckDestinationArrival();
    void CheckVirtualArrival();
    // The current place and heading of the mode: the walker's in VirtualMode, else the fix's.
    gpslib::ComPtr<ILocationObject> CurrentLocation(SHORT* heading);

    // Events (events/CoreEvents.cpp). Each builder logs its kind, applies the reporting level
    // and hands a new event to AddEvent; true when an event was made.
    bool RaiseEvent(gpscore::EventKind kind, std::u16string_view description,
                    ILocationObject* location, UrgencyLevel urgency = UrgencyLow);
    void AddEvent(IAutomaticEventObject* event);
    bool ArrivedNearDestinationEvent(ILocationObject* from, SHORT heading);
    bool ArrivedNearVirtualEvent();
    bool GPSConnectionGainedEvent();
    bool GPSConnectionLostEvent();
    bool GPSGainedFixEvent();
    bool GPSLostFixEvent();
    // The live fix's position, for the events that carry it.
    gpslib::ComPtr<ILocationObject> GPSLocation();
    std::u16string ReceiverName();

    // The steps the poll cycle hands to other subsystems.
    // Lookaround (orientation/CoreLookaround.cpp): street, city and map changes; the
    // intersection ahead; points of interest near.
    void LookaroundCheckChanges();
    void LookaroundCheckIntersection();
    void LookaroundCheckPOIs();
    // Route following (route/CoreRouteFollowing.cpp): one step of the followed route.
    void RouteFollowingStep();
    // The street, city and map at a place, from the maps (orientation/CoreWhereAmI.cpp);
    // false when no place is found.
    bool NearestPlaceNames(ILocationObject* place, std::u16string* street, std::u16string* city,
                           std::u16string* map);
    // Adds a place to the user's history of places (poi/CorePlaces.cpp); an empty name keeps
    // the place's own.
    void AddPlaceToHistory(ILocationObject* place, std::u16string_view name);
    void ResetWorkingState();
    void WriteSystemSettingsFile();
    void WriteReceiverSettingsFile();
    // The destination: the given location held by reference, with its side of the street. Clears
    // the arrival detection and adds the place to the history of places.
    HRESULT SetDestination(ILocationObject* pLocation, SideOfStreet eSide);
    // The destination kept in the system settings at Stop, and restored from them at Start.
    void SaveDestination();
    void RestoreDestination();
    // One of the engine's 16-bit counts; E_FAIL (count 0) without an engine.
    HRESULT EngineCount(HRESULT (IGPSMap::*query)(SHORT*), SHORT* pnCount);

    gpslib::os::CriticalSection m_csCore; // The core lock.
    gpslib::os::CriticalSection m_csAux;  // The poll lock, taken inside m_csCore.
    // The stop event; its existence is the core's "started" test.
    std::unique_ptr<gpslib::os::Event> m_hStopEvent;
    std::unique_ptr<gpslib::os::Thread> m_hPollingThread;
    // Counts the polling threads stopped; a thread still running with an older number ends.
    unsigned m_nPollingGeneration = 0;

    gpscore::Utility* m_pUtility = nullptr;
    gpslib::ComPtr<IGPSMap> m_pGPSMap;
    gpslib::ComPtr<IAddressDatabase> m_pAddressDatabase;
    gpslib::ComPtr<IPOIDatabase> m_pHistoryDatabase;
    gpslib::ComPtr<IPOIDatabase> m_pPOIDatabase;
    gpslib::ComPtr<IPOIResults> m_pPOIResultsA;
    gpslib::ComPtr<IPOIResults> m_pPOIResultsB;
    gpslib::ComPtr<IGPSAutoEventSink> m_pAutoEvent;
    // The live GPS fix record and the virtual walker: created by Start, released by Stop.
    gpslib::ComPtr<IGPSObject> m_pGPSObject;
    gpslib::ComPtr<IVirtualObject> m_pVirtualObject;
    // Where the user is heading (an empty DestinationObject when none), and whether the poll
    // cycle has announced arriving near it.
    gpslib::ComPtr<IDestinationObject> m_pDestination;
    bool m_bArrivedNearDestination = false;
    // The location of POI searches, and the one passed with lookaround POI events.
    gpslib::ComPtr<ILocationObject> m_pPOISearchLocation;
    gpslib::ComPtr<ILocationObject> m_pLookaroundLocation;

    // The receiver: fix-record semantics, link handles and their line assembly, the trace.
    gpscore::ReceiverState m_receiver;
    std::unique_ptr<gpslib::os::SerialPort> m_hSerialPort;
    std::unique_ptr<gpslib::os::SerialPort> m_hTalkingLightsPort;
    std::unique_ptr<gpslib::os::SequentialFile> m_hPlaybackFile;
    std::unique_ptr<gpslib::os::WritableFile> m_hTraceFile;
    gpscore::nmea::Assembly m_serialAssembly;
    gpscore::nmea::Assembly m_playbackAssembly;
    std::u16string m_bstrRecordingFile;
    gpscore::AnnotationScanner m_annotationScanner;
    // Set while a route is made from a simulation file: annotations are kept, not announced.
    bool m_bAnnotationCapture = false;
    std::u16string m_bstrAnnotationCapture;
    // The connection and fix watch of the poll cycle, restarted whenever the link is.
    GPSQuality m_ePreviousQuality = GPSQualityNoGPS;
    SHORT m_nConnectionCountdown = 4;
    SHORT m_nFixCountdown = 0;

    // Automatic events: the client's reporting level, whether events are made at all, the
    // history of the last ten (newest first), and what the poll cycle remembers between polls.
    UrgencyLevel m_eUrgencyLevelLookaround = UrgencyLow;
    bool m_bEventsEngaged = true;
    bool m_bHistoryOfEvents = false;
    std::deque<gpslib::ComPtr<IAutomaticEventObject>> m_lastTenEvents;
    bool m_bArrivedNearVirtual = false;
    bool m_bFirstFix = false;
    // Set while route creation or lookaround change detection runs: no events are looked for.
    bool m_bSuspended = false;
    SHORT m_nStartDelay = 0;
    SHORT m_nIntersectionCountdown = 0;
    SHORT m_nPOICountdown = 0;
    bool m_bFollowingRoute = false;
    bool m_bRouteStartPending = false;
    // The last street, city and map announced, which lookaround compares against.
    std::u16string m_bstrLastStreet;
    std::u16string m_bstrLastCity;
    std::u16string m_bstrLastMap;

    Mode m_eCurrentMode = GPSMode;
    bool m_bProprietaryFeatures = true;
    bool m_bUsingWinCE42 = false;
    SHORT m_nPOICachePagesSQL = 10;
    SHORT m_nPOIMemoryKBSQL = 1000;
    std::u16string m_bstrResourceLibrary;
    // The walked distance of the virtual pedometer (the GPS one is the receiver's); a change of
    // units clears both.
    LONG m_nPedometerTotalVirtual = 0;
    // Cleared by Start while it restores the virtual position.
    bool m_bRestoringVirtual = true;
};

#endif // GPSCORE_CORE_GPSCORE_H_
