// The service's routes as a client asks for them: making one (by the map engine's routing, from a
// recorded trace, or handed in), closing, reversing and recalculating it, following it, its
// position answers, and the route settings of each mode. Each method takes the core lock, checks
// its pointers and asks the RouteBuilder or the RouteFollower.
#include "base/LocationObject.h"
#include "core/GPSCore.h"

using gpscore::ReturnText;
using gpslib::ComPtr;
using gpslib::os::CriticalSectionLock;

namespace {

VARIANT_BOOL Flag(bool on) {
    return on ? VARIANT_TRUE : VARIANT_FALSE;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Route settings.

HRESULT CGPSCore::RouteGetSettings(Mode eMode, IRouteSettingsObject** ppSettings) {
    CriticalSectionLock lock(m_csCore);
    if (ppSettings == nullptr) return E_POINTER;
    *ppSettings = nullptr;
    EnsureUtility();
    return m_routeBuilder.GetSettings(eMode, ppSettings);
}

HRESULT CGPSCore::RouteGetDefaultSettings(Mode, IRouteSettingsObject** ppDefaultSettings) {
    CriticalSectionLock lock(m_csCore);
    if (ppDefaultSettings == nullptr) return E_POINTER;
    *ppDefaultSettings = nullptr;
    return gpslib::CreateObject(CLSID_RouteSettingsObject, IID_IRouteSettingsObject,
                                reinterpret_cast<void**>(ppDefaultSettings));
}

HRESULT CGPSCore::RouteSetSettings(Mode eMode, IRouteSettingsObject* pSettings) {
    CriticalSectionLock lock(m_csCore);
    if (pSettings == nullptr) return E_POINTER;
    EnsureUtility();
    return m_routeBuilder.SetSettings(eMode, pSettings);
}

// ---------------------------------------------------------------------------------------------
// The active route.

HRESULT CGPSCore::RouteSet(IRouteObject* pRoute) {
    CriticalSectionLock lock(m_csCore);
    if (pRoute == nullptr) return E_POINTER;
    return m_routeBuilder.Set(pRoute);
}

HRESULT CGPSCore::RouteGet(IRouteObject** ppRoute) {
    CriticalSectionLock lock(m_csCore);
    if (ppRoute == nullptr) return E_POINTER;
    *ppRoute = nullptr;
    IRouteObject* route = m_routeBuilder.Route();
    if (route == nullptr) return S_FALSE;
    route->AddRef();
    *ppRoute = route;
    return S_OK;
}

HRESULT CGPSCore::RouteClose() {
    CriticalSectionLock lock(m_csCore);
    m_routeBuilder.Close();
    return S_OK;
}

HRESULT CGPSCore::RouteActive(VARIANT_BOOL* pbActive) {
    CriticalSectionLock lock(m_csCore);
    if (pbActive == nullptr) return E_POINTER;
    *pbActive = Flag(m_routeBuilder.Route() != nullptr);
    return S_OK;
}

HRESULT CGPSCore::RouteIsOptimized(VARIANT_BOOL* pbOptimized) {
    CriticalSectionLock lock(m_csCore);
    if (pbOptimized == nullptr) return E_POINTER;
    *pbOptimized = Flag(m_routeBuilder.Optimized());
    return S_OK;
}

HRESULT CGPSCore::RouteReverse(VARIANT_BOOL* pbReversed) {
    CriticalSectionLock lock(m_csCore);
    if (pbReversed == nullptr) return E_POINTER;
    *pbReversed = Flag(m_routeBuilder.Reverse());
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Making routes.

HRESULT CGPSCore::RouteCreateAutomatic(Mode eMode, IRouteConfigurationObject* pConfig,
                                       VARIANT_BOOL* pbCreated) {
    CriticalSectionLock lock(m_csCore);
    if (pConfig == nullptr || pbCreated == nullptr) return E_POINTER;
    EnsureUtility();
    *pbCreated = Flag(m_routeBuilder.CreateAutomatic(eMode, pConfig));
    return S_OK;
}

HRESULT CGPSCore::RouteRecalculate(Mode eMode, VARIANT_BOOL* pbCreated) {
    CriticalSectionLock lock(m_csCore);
    if (pbCreated == nullptr) return E_POINTER;
    *pbCreated = Flag(m_routeBuilder.Recalculate(eMode));
    return S_OK;
}

HRESULT CGPSCore::RouteRecalculateOriginal(VARIANT_BOOL* pbCreated) {
    CriticalSectionLock lock(m_csCore);
    if (pbCreated == nullptr) return E_POINTER;
    *pbCreated = Flag(m_routeBuilder.RecalculateOriginal());
    return S_OK;
}

HRESULT CGPSCore::RouteSetCurrentToNextWaypointNearestLocation(ILocationObject* pLocation,
                                                               IWaypointObject** ppWaypoint) {
    CriticalSectionLock lock(m_csCore);
    if (ppWaypoint == nullptr) return E_POINTER;
    *ppWaypoint = nullptr;
    if (pLocation == nullptr) return E_POINTER;
    return m_routeBuilder.SetCurrentToNextWaypointNearestLocation(pLocation, ppWaypoint);
}

// ---------------------------------------------------------------------------------------------
// Following and the position answers.

HRESULT CGPSCore::RouteFollow(BSTR* pbstrAnnouncement, VARIANT_BOOL* pbRequested) {
    CriticalSectionLock lock(m_csCore);
    if (pbstrAnnouncement == nullptr || pbRequested == nullptr) return E_POINTER;
    EnsureUtility();
    std::u16string announcement;
    *pbRequested = Flag(m_routeFollower.Request(&announcement));
    return ReturnText(announcement, pbstrAnnouncement);
}

HRESULT CGPSCore::RoutePercentComplete(Mode eMode, SHORT* pnPercent) {
    CriticalSectionLock lock(m_csCore);
    if (pnPercent == nullptr) return E_POINTER;
    *pnPercent = m_routeBuilder.PercentComplete(eMode);
    return S_OK;
}

HRESULT CGPSCore::RouteGetETA(Mode eMode, IWaypointObject* pWaypoint, BSTR* pbstrETA) {
    CriticalSectionLock lock(m_csCore);
    if (pWaypoint == nullptr || pbstrETA == nullptr) return E_POINTER;
    EnsureUtility();
    return ReturnText(m_routeBuilder.ETA(eMode, pWaypoint), pbstrETA);
}

HRESULT CGPSCore::RouteGetWaypointDescription(IWaypointObject* pWaypoint,
                                              IWaypointConfigurationObject* pConfig,
                                              BSTR* pbstrDescription) {
    CriticalSectionLock lock(m_csCore);
    if (pWaypoint == nullptr || pConfig == nullptr || pbstrDescription == nullptr) return E_POINTER;
    EnsureUtility();
    return ReturnText(m_routeBuilder.WaypointDescription(pWaypoint, pConfig), pbstrDescription);
}

// ---------------------------------------------------------------------------------------------
// Route files and directions.

HRESULT CGPSCore::RouteSave(BSTR bstrFileName, VARIANT_BOOL* pbSaved) {
    CriticalSectionLock lock(m_csCore);
    if (pbSaved == nullptr) return E_POINTER;
    EnsureUtility();
    Log("GPSCore::RouteSave entered");
    *pbSaved = Flag(m_routeBuilder.Save(gpslib::View(bstrFileName)));
    Log("GPSCore::RouteSave exited");
    return S_OK;
}

HRESULT CGPSCore::RouteLoad(BSTR bstrFileName, VARIANT_BOOL* pbLoaded) {
    CriticalSectionLock lock(m_csCore);
    if (pbLoaded == nullptr) return E_POINTER;
    EnsureUtility();
    Log("GPSCore::RouteLoad entered");
    *pbLoaded = Flag(m_routeBuilder.Load(gpslib::View(bstrFileName)));
    Log("GPSCore::RouteLoad exited");
    return S_OK;
}

HRESULT CGPSCore::RouteSaveDirections(WaypointMode eWaypointMode,
                                      VARIANT_BOOL bIncludeWaypointNumbers, BSTR* pbstrFileName,
                                      VARIANT_BOOL* pbSaved) {
    CriticalSectionLock lock(m_csCore);
    if (pbstrFileName == nullptr || pbSaved == nullptr) return E_POINTER;
    EnsureUtility();
    Log("GPSCore::RouteSaveDirections entered");
    std::u16string name(gpslib::View(*pbstrFileName));
    const bool saved =
        m_routeBuilder.SaveDirections(eWaypointMode, bIncludeWaypointNumbers != 0, &name);
    Log("GPSCore::RouteSaveDirections exited");
    if (saved || name != gpslib::View(*pbstrFileName)) {
        BSTR used = gpslib::AllocBstr(name);
        if (used == nullptr) return E_OUTOFMEMORY;
        SysFreeString(*pbstrFileName);
        *pbstrFileName = used;
    }
    *pbSaved = Flag(saved);
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Virtual route exploration.

HRESULT CGPSCore::RouteVirtualExploreForward(WaypointMode eWaypointMode,
                                             IWaypointObject** ppWaypoint, BSTR* pbstrDescription) {
    CriticalSectionLock lock(m_csCore);
    if (ppWaypoint == nullptr || pbstrDescription == nullptr) return E_POINTER;
    *ppWaypoint = nullptr;
    *pbstrDescription = nullptr;
    EnsureUtility();
    std::u16string text;
    m_routeBuilder.ExploreStep(true, eWaypointMode, ppWaypoint, &text);
    return ReturnText(text, pbstrDescription);
}

HRESULT CGPSCore::RouteVirtualExploreBackward(WaypointMode eWaypointMode,
                                              IWaypointObject** ppWaypoint,
                                              BSTR* pbstrDescription) {
    CriticalSectionLock lock(m_csCore);
    if (ppWaypoint == nullptr || pbstrDescription == nullptr) return E_POINTER;
    *ppWaypoint = nullptr;
    *pbstrDescription = nullptr;
    EnsureUtility();
    std::u16string text;
    m_routeBuilder.ExploreStep(false, eWaypointMode, ppWaypoint, &text);
    return ReturnText(text, pbstrDescription);
}

HRESULT CGPSCore::RouteVirtualExploreSet(SHORT nIndex, IWaypointObject** ppWaypoint,
                                         BSTR* pbstrDescription) {
    CriticalSectionLock lock(m_csCore);
    if (ppWaypoint == nullptr || pbstrDescription == nullptr) {
        Log("GPSCore::RouteVirtualExploreSet E_POINTER (!outWaypoint || !outDescription ))");
        return E_POINTER;
    }
    *ppWaypoint = nullptr;
    *pbstrDescription = nullptr;
    EnsureUtility();
    std::u16string text;
    if (!m_routeBuilder.ExploreSet(nIndex, ppWaypoint, &text))
        m_routeBuilder.ExploreStep(true, WaypointModeAll, ppWaypoint, &text);
    return ReturnText(text, pbstrDescription);
}

HRESULT CGPSCore::RouteVirtualExploreSetEnd(IWaypointObject** ppWaypoint, BSTR* pbstrDescription) {
    CriticalSectionLock lock(m_csCore);
    if (ppWaypoint == nullptr || pbstrDescription == nullptr) return E_POINTER;
    *ppWaypoint = nullptr;
    *pbstrDescription = nullptr;
    EnsureUtility();
    std::u16string text;
    if (!m_routeBuilder.ExploreSet(m_routeBuilder.EndIndex(), ppWaypoint, &text))
        m_routeBuilder.ExploreStep(true, WaypointModeAll, ppWaypoint, &text);
    return ReturnText(text, pbstrDescription);
}

HRESULT CGPSCore::RouteVirtualExploreSetStart(IWaypointObject** ppWaypoint,
                                              BSTR* pbstrDescription) {
    return RouteVirtualExploreSet(-1, ppWaypoint, pbstrDescription);
}
