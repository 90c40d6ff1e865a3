// The navigation service: the one object through which a client uses the system.
#ifndef GPSCORE_CORE_GPSCORE_H_
#define GPSCORE_CORE_GPSCORE_H_

#include <gpslib/GPSDatabaseLib.h>
#include <gpslib/GPSMapLib.h>

#include <atomic>
#include <string>

#include "GPSLib_classes.h"
#include "address/AddressSearch.h"
#include "base/EventQueue.h"
#include "base/ServiceContext.h"
#include "core/EventDelivery.h"
#include "events/PollCycle.h"
#include "events/PollingThread.h"
#include "gps/ReceiverLink.h"
#include "maps/MapLoader.h"
#include "orientation/Crossings.h"
#include "orientation/Destination.h"
#include "orientation/Lookaround.h"
#include "orientation/VirtualWalker.h"
#include "orientation/WhereAmI.h"
#include "os/sync.h"
#include "os/thread_annotations.h"
#include "poi/POILookaround.h"
#include "poi/POIObject.h"
#include "poi/POISearch.h"
#include "poi/PersonalPlaces.h"
#include "route/RouteBuilder.h"
#include "route/RouteFollower.h"

// The service as its client sees it: a facade over one part object per subsystem. Each public
// method takes the core lock, checks its pointers, writes the log lines clients and support
// rely on, and hands the work to the part that owns it. The map engine is one object per
// process, referenced once more by every service.
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

    // Maps and the files beside them (the MapLoader).
    HRESULT SystemMapsPOIsLoad(SHORT* pnMapsLoaded) override;
    HRESULT SystemMapsPOIsUnLoad() override;
    HRESULT FindAvailableMaps(BSTR bstrSearch, VARIANT* pvarMapNames) override;

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

    // Heading and position for either mode, and the destination (the Destination, the walker and
    // the fix).
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

    // The receiver: its state, link, polling, traces and Bluetooth (the ReceiverLink).
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

    // Automatic events (the EventQueue).
    HRESULT RegisterUIAutoEventCallback(IDispatch* pAutoEventSink) override;
    HRESULT EngageUIAutoLookaroundEvents(VARIANT_BOOL bEngaged) override;
    HRESULT LookaroundGetUrgencyReportingLevel(UrgencyLevel* peUrgencyLevel) override;
    HRESULT LookaroundSetUrgencyReportingLevel(UrgencyLevel eUrgencyLevel) override;
    HRESULT EnableHistoryOfAutomaticEvents(VARIANT_BOOL bEnable) override;
    HRESULT GetLastAutomaticEvent(IAutomaticEventObject** ppEvent) override;
    HRESULT GetLastTenAutomaticEvents(VARIANT* pvarEvents) override;

    // Where Am I, intersections and the virtual walker (WhereAmI, VirtualWalker;
    // GPSCoreStreets.cpp).
    HRESULT WhereAmI(Mode eMode, IWhereAmIObject** ppWhereAmI) override;
    HRESULT WhereAmIAtLocation(ILocationObject* pLocation, SHORT nHeading,
                               IWhereAmIObject** ppWhereAmI) override;
    HRESULT GetNearestIntersection(Mode eMode, IIntersectionObject** ppIntersection) override;
    HRESULT GetNearestIntersectionLocation(ILocationObject* pLocation,
                                           IIntersectionObject** ppIntersection) override;
    HRESULT GetNextIntersectionAhead(Mode eMode, IIntersectionObject** ppIntersection) override;
    HRESULT AddressGetCurrentMapCityPostal(Mode eMode, IWhereAmIObject** ppWhereAmI) override;
    HRESULT VirtualGet(IVirtualObject** ppVirtual) override;
    HRESULT VirtualSet(ILocationObject* pLocation, SHORT nInitialHeading) override;
    HRESULT VirtualSetByPOI(IPOIObject* pPOI) override;
    HRESULT VirtualSetByAddress(IAddressObject* pAddress) override;
    HRESULT VirtualSetToMap(BSTR bstrMapName) override;
    HRESULT VirtualSetHeading(SHORT nHeading) override;
    HRESULT VirtualSetImpliedHeading(SHORT nHeading) override;
    HRESULT VirtualForward(BSTR* pbstrMessage) override;
    HRESULT VirtualBackup(BSTR* pbstrMessage) override;
    HRESULT VirtualTurnLeft(BSTR* pbstrMessage) override;
    HRESULT VirtualTurnRight(BSTR* pbstrMessage) override;
    HRESULT VirtualCrossStreet(BSTR* pbstrMessage) override;
    HRESULT VirtualGetOnStreetMessage(BSTR* pbstrMessage) override;

    // Lookaround settings and watches (Lookaround; GPSCoreLookaround.cpp).
    HRESULT LookaroundGetSettings(ILookaroundSettingsObject** ppSettings) override;
    HRESULT LookaroundGetDefaultSettings(ILookaroundSettingsObject** ppDefaultSettings) override;
    HRESULT LookaroundSetSettings(ILookaroundSettingsObject* pSettings) override;

    // Points of interest and their watch (POISearch, POILookaround; GPSCorePOI.cpp).
    HRESULT POIsFind(Mode eMode, IPOISearchConfigurationObject* pConfig, IPOIObject** ppPOI,
                     LONG* plFound) override;
    HRESULT POIsFindByLocation(ILocationObject* pLocation, IPOISearchConfigurationObject* pConfig,
                               IPOIObject** ppPOI, LONG* plFound) override;
    HRESULT POIsFindNearest(Mode eMode, IPOIObject** ppPOI, LONG* plFound) override;
    HRESULT POIsFindNearestByLocation(ILocationObject* pLocation, IPOIObject** ppPOI,
                                      LONG* plFound) override;
    HRESULT POIsGetNumberFoundFromPreviousSearch(LONG* plFound) override;
    HRESULT POIGet(LONG lIndex, IPOIObject** ppPOI) override;
    HRESULT POIGetLastSearchDistanceDescription(BSTR* pbstrDistance) override;
    HRESULT POIGetLastSearchExceededMaxDistance(VARIANT_BOOL* pbExceeded) override;
    HRESULT POIGetLastSearchDescriptions(Mode eMode, IPOIDescriptionConfigurationObject* pConfig,
                                         VARIANT* pvarDescriptions, LONG* plCount) override;
    HRESULT POIGetNumberOfCommercialFilesLoaded(SHORT* pnFilesLoaded) override;
    HRESULT POIGetCategories(VARIANT* pvarCategories) override;
    HRESULT POIGetSubCategories(SHORT nCategory, VARIANT* pvarSubCategories) override;
    HRESULT POIGetAllCategories(VARIANT* pvarCategories,
                                VARIANT_BOOL bIncludeUserPrivateOnly) override;
    HRESULT POIGetAllSubCategories(SHORT nCategory, VARIANT_BOOL bIncludeUserPrivateOnly,
                                   VARIANT* pvarSubCategories) override;
    HRESULT POIsGetNumberOfUser(SHORT* pnUserPOIs) override;
    HRESULT POICreate(Mode eMode, POICreationType eCreationType, IPOIObject** ppPOI) override;
    HRESULT POICreateUser(ILocationObject* pLocation, IPOIObject** ppPOI) override;
    HRESULT POIAdd(IPOIObject** ppPOI) override;
    HRESULT POIUpdate(IPOIObject* pPOI, VARIANT_BOOL* pbUpdated) override;
    HRESULT POIDelete(IPOIObject* pPOI, VARIANT_BOOL* pbDeleted) override;
    HRESULT POIGetUser(LONG lIndex, IPOIObject** ppPOI) override;
    HRESULT POIGetUserNext(LONG lPreviousIndex, IPOIObject** ppPOI) override;
    HRESULT POIGetAllUserNamesAndKeys(VARIANT* pvarNames, VARIANT* pvarKeys,
                                      SHORT* pnCount) override;
    HRESULT POIGetUserNextFreeKey(LONG* plKey) override;
    HRESULT POIAddTag(SHORT nSubCategory, BSTR bstrTag) override;
    HRESULT POIGetTags(SHORT nSubCategory, VARIANT* pvarTags) override;
    HRESULT POIGetMediaFile(IPOIObject* pPOI, BSTR bstrMediaFileName, BSTR bstrNewFilePath,
                            VARIANT_BOOL* pbExtracted) override;
    HRESULT POIVaccuumUserDatabase(BSTR* pbstrResult) override;
    HRESULT POIGetLastLookaroundFound(IPOIObject** ppPOI) override;

    // Favorites, history and annotations (PersonalPlaces; GPSCorePlaces.cpp).
    HRESULT HistoryGetList(Mode eMode, VARIANT* pvarDescriptions, SHORT* pnCount) override;
    HRESULT HistoryGetItem(SHORT nIndex, ILocationObject** ppLocation) override;
    HRESULT FavoritesGetList(Mode eMode, VARIANT* pvarDescriptions, SHORT* pnCount) override;
    HRESULT FavoritesGetItem(SHORT nIndex, IPOIObject** ppPOI) override;
    HRESULT FavoritesAddLocation(ILocationObject* pLocation, VARIANT_BOOL* pbAdded) override;
    HRESULT FavoritesAddAddress(IAddressObject* pAddress, VARIANT_BOOL* pbAdded) override;
    HRESULT FavoritesAddPOI(IPOIObject* pPOI, VARIANT_BOOL* pbAdded) override;
    HRESULT FavoritesGetCount(SHORT* pnCount) override;
    HRESULT AnnotationsGetList(Mode eMode, VARIANT* pvarDescriptions) override;
    HRESULT AnnotationsGetItem(Mode eMode, SHORT nIndex, IPOIObject** ppPOI,
                               BSTR* pbstrDescription) override;
    HRESULT AnnotationsAdd(IPOIObject* pPOI, VARIANT_BOOL* pbAdded) override;
    HRESULT AnnotationsGetCount(SHORT* pnCount) override;
    HRESULT AnnotationsIsNear(Mode eMode, VARIANT_BOOL* pbNear) override;

    // Routes: creation, files and following (RouteBuilder, RouteFollower; GPSCoreRoutes.cpp).
    HRESULT RouteGetSettings(Mode eMode, IRouteSettingsObject** ppSettings) override;
    HRESULT RouteGetDefaultSettings(Mode eMode, IRouteSettingsObject** ppDefaultSettings) override;
    HRESULT RouteSetSettings(Mode eMode, IRouteSettingsObject* pSettings) override;
    HRESULT RouteSet(IRouteObject* pRoute) override;
    HRESULT RouteGet(IRouteObject** ppRoute) override;
    HRESULT RouteClose() override;
    HRESULT RouteReverse(VARIANT_BOOL* pbReversed) override;
    HRESULT RouteCreateAutomatic(Mode eMode, IRouteConfigurationObject* pConfig,
                                 VARIANT_BOOL* pbCreated) override;
    HRESULT RouteRecalculate(Mode eMode, VARIANT_BOOL* pbCreated) override;
    HRESULT RouteRecalculateOriginal(VARIANT_BOOL* pbCreated) override;
    HRESULT RouteFollow(BSTR* pbstrAnnouncement, VARIANT_BOOL* pbRequested) override;
    HRESULT RouteActive(VARIANT_BOOL* pbActive) override;
    HRESULT RouteIsOptimized(VARIANT_BOOL* pbOptimized) override;
    HRESULT RouteSetCurrentToNextWaypointNearestLocation(ILocationObject* pLocation,
                                                         IWaypointObject** ppWaypoint) override;
    HRESULT RouteGetWaypointDescription(IWaypointObject* pWaypoint,
                                        IWaypointConfigurationObject* pConfig,
                                        BSTR* pbstrDescription) override;
    HRESULT RoutePercentComplete(Mode eMode, SHORT* pnPercent) override;
    HRESULT RouteGetETA(Mode eMode, IWaypointObject* pWaypoint, BSTR* pbstrETA) override;
    HRESULT RouteSave(BSTR bstrFileName, VARIANT_BOOL* pbSaved) override;
    HRESULT RouteLoad(BSTR bstrFileName, VARIANT_BOOL* pbLoaded) override;
    HRESULT RouteSaveDirections(WaypointMode eWaypointMode, VARIANT_BOOL bIncludeWaypointNumbers,
                                BSTR* pbstrFileName, VARIANT_BOOL* pbSaved) override;
    HRESULT RouteVirtualExploreForward(WaypointMode eWaypointMode, IWaypointObject** ppWaypoint,
                                       BSTR* pbstrDescription) override;
    HRESULT RouteVirtualExploreBackward(WaypointMode eWaypointMode, IWaypointObject** ppWaypoint,
                                        BSTR* pbstrDescription) override;
    HRESULT RouteVirtualExploreSet(SHORT nIndex, IWaypointObject** ppWaypoint,
                                   BSTR* pbstrDescription) override;
    HRESULT RouteVirtualExploreSetEnd(IWaypointObject** ppWaypoint,
                                      BSTR* pbstrDescription) override;
    HRESULT RouteVirtualExploreSetStart(IWaypointObject** ppWaypoint,
                                        BSTR* pbstrDescription) override;

    // The walker's answers beside IGPSCore: IGPSPedestrian (Crossings; GPSCorePedestrian.cpp).
    HRESULT GetIntersectionCrossings(Mode eMode, VARIANT* pvarCrossings, LONG* plCount) override;
    HRESULT GetCrossingsNearLocation(ILocationObject* pLocation, LONG nRadius,
                                     VARIANT* pvarCrossings, LONG* plCount) override;
    HRESULT GetNextCrossingAhead(Mode eMode, ICrossingObject** ppCrossing) override;
    HRESULT GetIntersectionCrossingsDescription(Mode eMode, BSTR* pbstrDescription) override;
    HRESULT SetAnnounceCrossings(VARIANT_BOOL bAnnounce) override;
    HRESULT GetAnnounceCrossings(VARIANT_BOOL* pbAnnounce) override;
    HRESULT GetRouteCrossings(VARIANT* pvarCrossings, LONG* plCount) override;

    // Address search (AddressSearch; GPSCoreAddress.cpp).
    HRESULT AddressFindMapsForCitySearch(BSTR bstrMapSearchName, VARIANT* pvarMapNames,
                                         SHORT* pnMapsFound) override;
    HRESULT AddressFindMapsForPostalSearch(BSTR bstrMapSearchName, VARIANT* pvarMapNames,
                                           SHORT* pnMapsFound) override;
    HRESULT AddressFindCity(BSTR bstrMapName, IAddressSearchConfigurationObject* pConfig,
                            VARIANT* pvarCities, SHORT* pnCitiesFound) override;
    HRESULT AddressFindPostal(BSTR bstrMapName, IAddressSearchConfigurationObject* pConfig,
                              VARIANT* pvarPostalCodes, SHORT* pnPostalCodesFound) override;
    HRESULT AddressFindStreet(IAddressSearchConfigurationObject* pConfig, VARIANT* pvarStreets,
                              SHORT* pnStreetsFound) override;
    HRESULT AddressFindStreetAddress(IAddressSearchConfigurationObject* pConfig,
                                     VARIANT* pvarAddresses, SHORT* pnAddressesFound) override;
    HRESULT AddressGet(IAddressSearchConfigurationObject* pConfig, IAddressObject** ppAddress,
                       VARIANT_BOOL* pbSuccessful) override;
    HRESULT AddressGetCrossStreets(IAddressSearchConfigurationObject* pConfig,
                                   VARIANT_BOOL bMatchZipPostalOnly, VARIANT* pvarCrossStreets,
                                   SHORT* pnCrossStreetsFound) override;

private:
    // Loads the resource module at `path` into the Utility (obtained if the service has none)
    // and hands the path to the map engine; true when both took it (or, with no engine, when
    // the module loaded).
    bool SetResourcesInternal(const std::u16string& path) REQUIRES(m_csCore);
    // Resource loading with an empty settings directory, for the queries that work before Start.
    void EnsureUtility() REQUIRES(m_csCore);
    void Log(const std::string& text) const REQUIRES(m_csCore) { m_context.Log(text); }
    std::u16string String(int id) const REQUIRES(m_csCore) { return m_context.String(id); }
    // One heartbeat, on the polling thread or the caller's.
    bool Poll(bool readReceiver) REQUIRES(m_csCore) { return m_poll.Run(readReceiver); }
    void StopPolling() REQUIRES(m_csCore);
    // One of the engine's 16-bit counts; E_FAIL (count 0) without an engine.
    HRESULT EngineCount(HRESULT (IGPSMap::*query)(SHORT*), SHORT* pnCount) EXCLUDES(m_csCore);
    // The live fix and the virtual walker; null before Start.
    IGPSObject* GPS() const REQUIRES(m_csCore) { return m_receiver.Record(); }
    IVirtualObject* Walker() const REQUIRES(m_csCore) { return m_walkerObject.Get(); }
    gpscore::ModePlaces Places() const REQUIRES(m_csCore) { return {GPS(), Walker()}; }
    // A POI search with the client's configuration at `location`, the POI seen from `here`.
    HRESULT FindPOIs(const gpscore::Place& location, IPOISearchConfigurationObject* pConfig,
                     const gpscore::Standpoint& here, IPOIObject** ppPOI, LONG* plFound)
        REQUIRES(m_csCore);

    // The core lock: every public method holds it for its whole body (the talking-light methods
    // and SystemProprietaryFeatures excepted), and so does each poll. Recursive because an event
    // sink called during a poll may call back into the service on the same thread.
    mutable gpslib::os::CriticalSection m_csCore;

    // What the parts share, then one part per subsystem. Each part assumes the core lock.
    gpscore::ServiceContext m_context GUARDED_BY(m_csCore);
    gpscore::EventQueue m_events GUARDED_BY(m_csCore){m_context};
    gpscore::EventDelivery m_eventDelivery GUARDED_BY(m_csCore){m_context};
    gpscore::PersonalPlaces m_places GUARDED_BY(m_csCore){m_context};
    gpscore::Destination m_destination GUARDED_BY(m_csCore){m_context, m_places};
    gpscore::WhereAmI m_whereAmI GUARDED_BY(m_csCore){m_context, m_places};
    gpscore::VirtualWalker m_virtual GUARDED_BY(m_csCore){m_context, m_places, m_whereAmI};
    // The walker object clients get and the mode questions ask: a view over the walker's state,
    // made by Start and released by Stop.
    gpslib::ComPtr<IVirtualObject> m_walkerObject GUARDED_BY(m_csCore);
    gpscore::Crossings m_crossings GUARDED_BY(m_csCore){m_context, m_whereAmI};
    gpscore::Lookaround m_lookaround GUARDED_BY(m_csCore){m_context, m_events, m_receiver,
                                                          m_whereAmI, m_crossings};
    gpscore::POISearch m_poiSearch GUARDED_BY(m_csCore){m_context};
    gpscore::LastPOIObject m_lastLookaroundPOI GUARDED_BY(m_csCore);
    gpscore::POILookaround m_poiLookaround GUARDED_BY(m_csCore){m_context, m_events,
                                                                m_lastLookaroundPOI};
    gpscore::RouteBuilder m_routeBuilder GUARDED_BY(m_csCore){
        {m_context, m_events, m_routeFollower, m_destination, m_receiver, m_virtual}};
    gpscore::RouteFollower m_routeFollower GUARDED_BY(m_csCore){m_context, m_events, m_receiver,
                                                                m_virtual};
    // The route object clients get: a view over the builder's active route model, made anew
    // when a new route is installed (GPSCoreRoutes.cpp).
    gpslib::ComPtr<IRouteObject> m_routeView GUARDED_BY(m_csCore);
    IRouteObject* RouteView() REQUIRES(m_csCore);
    // The waypoint an exploring step answers for the index it reached (-1: none).
    void ExploredWaypoint(int index, IWaypointObject** ppWaypoint) REQUIRES(m_csCore);
    gpscore::AddressSearch m_addressSearch GUARDED_BY(m_csCore){m_context};
    gpscore::MapLoader m_maps GUARDED_BY(m_csCore){m_context};
    gpscore::ReceiverLink m_receiver GUARDED_BY(m_csCore){m_context};
    gpscore::PollCycle m_poll GUARDED_BY(m_csCore){{m_context, m_receiver, m_events, m_destination,
                                                    m_virtual, m_whereAmI, m_lookaround,
                                                    m_poiLookaround, m_routeFollower, m_places}};
    gpscore::PollingThread m_polling GUARDED_BY(m_csCore);

    std::atomic<bool> m_bProprietaryFeatures{true}; // Read by nothing; written without the lock.
    bool m_bUsingWinCE42 GUARDED_BY(m_csCore) = false;
    SHORT m_nPOICachePagesSQL GUARDED_BY(m_csCore) = 10;
    SHORT m_nPOIMemoryKBSQL GUARDED_BY(m_csCore) = 1000;
    std::u16string m_bstrResourceLibrary GUARDED_BY(m_csCore);
};

#endif // GPSCORE_CORE_GPSCORE_H_
