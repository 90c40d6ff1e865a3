// The service's routes as a client asks for them: making one (by the map engine's routing, from a
// recorded trace, or handed in), closing, reversing and recalculating it, following it, its
// position answers, and the route settings of each mode. Each method takes the core lock, checks
// its pointers, asks the RouteBuilder or the RouteFollower in plain terms and hands the answers
// out as objects: the active route as a route object that is a view over the builder's model.
#include "base/LocationObject.h"
#include "base/SettingsFiles.h"
#include "base/SettingsObject.h"
#include "base/Utility.h"
#include "core/GPSCore.h"
#include "route/RouteConfigurationObject.h"
#include "route/RouteObject.h"
#include "route/RouteSettingsObject.h"

using gpscore::ReturnText;
using gpslib::ComPtr;
using gpslib::os::CriticalSectionLock;

namespace {

Mode SettingsMode(Mode mode) {
    return mode == VirtualMode ? VirtualMode : GPSMode;
}

// The place a client hands in, as the route reads it: 0/0 unless it holds a position.
gpscore::Place PlaceGiven(ILocationObject* location) {
    return gpscore::IsValidPlace(location) ? gpscore::PlaceAt(location) : gpscore::Place{};
}

} // namespace

void CGPSCore::ExploredWaypoint(int index, IWaypointObject** ppWaypoint) {
    // Nothing stepped onto (no route, or no waypoint to step to): an empty waypoint.
    if (index == -1 || !m_routeBuilder.Route())
        gpslib::CreateObject(CLSID_WaypointObject, IID_IWaypointObject,
                             reinterpret_cast<void**>(ppWaypoint));
    else
        gpscore::NewRouteWaypoint(*m_routeBuilder.Route(), index, ppWaypoint);
}

IRouteObject* CGPSCore::RouteView() {
    const std::shared_ptr<gpscore::RouteModel>& model = m_routeBuilder.Route();
    if (!model) {
        m_routeView.Reset();
        return nullptr;
    }
    auto* view = gpslib::ImplOf<CRouteObject>(m_routeView.Get());
    if (view != nullptr && view->Model() == model) return m_routeView.Get();
    gpslib::ComPtr<IRouteObject> made;
    if (FAILED(gpslib::CreateObject(CLSID_RouteObject, IID_IRouteObject, &made))) return nullptr;
    gpslib::ImplOf<CRouteObject>(made.Get())->Show(model);
    m_routeView = made;
    return m_routeView.Get();
}

// ---------------------------------------------------------------------------------------------
// Route settings.

HRESULT CGPSCore::RouteGetSettings(Mode eMode, IRouteSettingsObject** ppSettings) {
    CriticalSectionLock lock(m_csCore);
    if (ppSettings == nullptr) return E_POINTER;
    *ppSettings = nullptr;
    EnsureUtility();
    ComPtr<IRouteSettingsObject> copy;
    HRESULT hr = gpslib::CreateObject(CLSID_RouteSettingsObject, IID_IRouteSettingsObject, &copy);
    if (FAILED(hr)) return hr;
    if (auto held = m_context.RouteSettings(SettingsMode(eMode)))
        gpscore::settings::ToObject(*held, copy.Get());
    *ppSettings = copy.Detach();
    return S_OK;
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
    gpscore::Utility* utility = m_context.m_pUtility.get();
    if (utility == nullptr) return E_FAIL;
    gpscore::settings::Route record;
    const HRESULT hr = gpscore::settings::FromObject(pSettings, record);
    if (FAILED(hr)) return hr;
    utility->SetRouteSettings(SettingsMode(eMode), record);
    gpscore::settings::WriteRouteSettings(m_context.Env(), utility->SettingsDirectory(),
                                          utility->RouteSettings(GPSMode),
                                          utility->RouteSettings(VirtualMode));
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// The active route.

HRESULT CGPSCore::RouteSet(IRouteObject* pRoute) {
    CriticalSectionLock lock(m_csCore);
    if (pRoute == nullptr) return E_POINTER;
    // Read first: the client may hand back the active route itself.
    std::vector<gpscore::WaypointRecord> records;
    RouteType type = RouteTypeUnknown;
    HRESULT hr = gpscore::ReadRoute(pRoute, &records, &type);
    if (FAILED(hr)) return hr;
    m_routeBuilder.Set(std::move(records), type);
    return S_OK;
}

HRESULT CGPSCore::RouteGet(IRouteObject** ppRoute) {
    CriticalSectionLock lock(m_csCore);
    if (ppRoute == nullptr) return E_POINTER;
    *ppRoute = nullptr;
    IRouteObject* route = RouteView();
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
    *pbActive = gpslib::VariantBool(m_routeBuilder.Route() != nullptr);
    return S_OK;
}

HRESULT CGPSCore::RouteIsOptimized(VARIANT_BOOL* pbOptimized) {
    CriticalSectionLock lock(m_csCore);
    if (pbOptimized == nullptr) return E_POINTER;
    *pbOptimized = gpslib::VariantBool(m_routeBuilder.Optimized());
    return S_OK;
}

HRESULT CGPSCore::RouteReverse(VARIANT_BOOL* pbReversed) {
    CriticalSectionLock lock(m_csCore);
    if (pbReversed == nullptr) return E_POINTER;
    *pbReversed = gpslib::VariantBool(m_routeBuilder.Reverse());
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Making routes.

HRESULT CGPSCore::RouteCreateAutomatic(Mode eMode, IRouteConfigurationObject* pConfig,
                                       VARIANT_BOOL* pbCreated) {
    CriticalSectionLock lock(m_csCore);
    if (pConfig == nullptr || pbCreated == nullptr) return E_POINTER;
    EnsureUtility();
    gpscore::RouteConfiguration configuration;
    gpscore::ReadRouteConfiguration(pConfig, &configuration);
    *pbCreated = gpslib::VariantBool(m_routeBuilder.CreateAutomatic(eMode, configuration));
    return S_OK;
}

HRESULT CGPSCore::RouteRecalculate(Mode eMode, VARIANT_BOOL* pbCreated) {
    CriticalSectionLock lock(m_csCore);
    if (pbCreated == nullptr) return E_POINTER;
    *pbCreated = gpslib::VariantBool(m_routeBuilder.Recalculate(eMode));
    return S_OK;
}

HRESULT CGPSCore::RouteRecalculateOriginal(VARIANT_BOOL* pbCreated) {
    CriticalSectionLock lock(m_csCore);
    if (pbCreated == nullptr) return E_POINTER;
    *pbCreated = gpslib::VariantBool(m_routeBuilder.RecalculateOriginal());
    return S_OK;
}

HRESULT CGPSCore::RouteSetCurrentToNextWaypointNearestLocation(ILocationObject* pLocation,
                                                               IWaypointObject** ppWaypoint) {
    CriticalSectionLock lock(m_csCore);
    if (ppWaypoint == nullptr) return E_POINTER;
    *ppWaypoint = nullptr;
    if (pLocation == nullptr) return E_POINTER;
    const std::optional<int> index =
        m_routeBuilder.SetCurrentToNextWaypointNearestLocation(PlaceGiven(pLocation));
    if (!index) return S_FALSE;
    return gpscore::NewRouteWaypoint(*m_routeBuilder.Route(), *index, ppWaypoint);
}

// ---------------------------------------------------------------------------------------------
// Following and the position answers.

HRESULT CGPSCore::RouteFollow(BSTR* pbstrAnnouncement, VARIANT_BOOL* pbRequested) {
    CriticalSectionLock lock(m_csCore);
    if (pbstrAnnouncement == nullptr || pbRequested == nullptr) return E_POINTER;
    EnsureUtility();
    std::u16string announcement;
    *pbRequested = gpslib::VariantBool(m_routeFollower.Request(&announcement));
    return ReturnText(announcement, pbstrAnnouncement);
}

HRESULT CGPSCore::RoutePercentComplete(Mode eMode, SHORT* pnPercent) {
    CriticalSectionLock lock(m_csCore);
    if (pnPercent == nullptr) return E_POINTER;
    *pnPercent = static_cast<SHORT>(m_routeBuilder.PercentComplete(eMode));
    return S_OK;
}

HRESULT CGPSCore::RouteGetETA(Mode eMode, IWaypointObject* pWaypoint, BSTR* pbstrETA) {
    CriticalSectionLock lock(m_csCore);
    if (pWaypoint == nullptr || pbstrETA == nullptr) return E_POINTER;
    EnsureUtility();
    IRouteObject* route = RouteView();
    if (route == nullptr) return ReturnText(m_context.String(gpslib::ids::kNoRoute), pbstrETA);
    int heading = -1;
    const std::optional<gpscore::Place> here = m_routeBuilder.CurrentLocation(eMode, &heading);
    gpslib::Bstr eta;
    route->GetETA(gpscore::NewLocation(here.value_or(gpscore::Place{})).Get(), pWaypoint,
                  m_routeBuilder.Speed(eMode), eta.Put());
    return ReturnText(std::u16string(eta.View()), pbstrETA);
}

HRESULT CGPSCore::RouteGetWaypointDescription(IWaypointObject* pWaypoint,
                                              IWaypointConfigurationObject* pConfig,
                                              BSTR* pbstrDescription) {
    CriticalSectionLock lock(m_csCore);
    if (pWaypoint == nullptr || pConfig == nullptr || pbstrDescription == nullptr) return E_POINTER;
    EnsureUtility();
    IRouteObject* route = RouteView();
    if (route == nullptr)
        return ReturnText(m_context.String(gpslib::ids::kNoRoute), pbstrDescription);
    Mode mode = GPSMode;
    pConfig->GetMode(&mode);
    // The receiver's own place speaks its directions as coarsely as the receiver can tell them.
    ComPtr<ILocationObject> here;
    if (mode == VirtualMode)
        here = gpscore::NewLocation(m_virtual.Where());
    else if (IGPSObject* gps = m_receiver.Record())
        gps->GetLocation(here.Put());
    gpslib::Bstr text;
    route->GetWaypointDescription(here.Get(), pWaypoint, pConfig, text.Put());
    return ReturnText(std::u16string(text.View()), pbstrDescription);
}

// ---------------------------------------------------------------------------------------------
// Route files and directions.

HRESULT CGPSCore::RouteSave(BSTR bstrFileName, VARIANT_BOOL* pbSaved) {
    CriticalSectionLock lock(m_csCore);
    if (pbSaved == nullptr) return E_POINTER;
    EnsureUtility();
    Log("GPSCore::RouteSave entered");
    *pbSaved = gpslib::VariantBool(m_routeBuilder.Save(gpslib::View(bstrFileName)));
    Log("GPSCore::RouteSave exited");
    return S_OK;
}

HRESULT CGPSCore::RouteLoad(BSTR bstrFileName, VARIANT_BOOL* pbLoaded) {
    CriticalSectionLock lock(m_csCore);
    if (pbLoaded == nullptr) return E_POINTER;
    EnsureUtility();
    Log("GPSCore::RouteLoad entered");
    *pbLoaded = gpslib::VariantBool(m_routeBuilder.Load(gpslib::View(bstrFileName)));
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
    *pbSaved = gpslib::VariantBool(saved);
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
    ExploredWaypoint(m_routeBuilder.ExploreStep(true, eWaypointMode, &text), ppWaypoint);
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
    ExploredWaypoint(m_routeBuilder.ExploreStep(false, eWaypointMode, &text), ppWaypoint);
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
    std::optional<int> index = m_routeBuilder.ExploreSet(nIndex, &text);
    if (!index) index = m_routeBuilder.ExploreStep(true, WaypointModeAll, &text);
    ExploredWaypoint(*index, ppWaypoint);
    return ReturnText(text, pbstrDescription);
}

HRESULT CGPSCore::RouteVirtualExploreSetEnd(IWaypointObject** ppWaypoint, BSTR* pbstrDescription) {
    CriticalSectionLock lock(m_csCore);
    if (ppWaypoint == nullptr || pbstrDescription == nullptr) return E_POINTER;
    *ppWaypoint = nullptr;
    *pbstrDescription = nullptr;
    EnsureUtility();
    std::u16string text;
    std::optional<int> index = m_routeBuilder.ExploreSet(m_routeBuilder.EndIndex(), &text);
    if (!index) index = m_routeBuilder.ExploreStep(true, WaypointModeAll, &text);
    ExploredWaypoint(*index, ppWaypoint);
    return ReturnText(text, pbstrDescription);
}

HRESULT CGPSCore::RouteVirtualExploreSetStart(IWaypointObject** ppWaypoint,
                                              BSTR* pbstrDescription) {
    return RouteVirtualExploreSet(-1, ppWaypoint, pbstrDescription);
}
