#include "route/RouteObject.h"

#include <limits>
#include <utility>

#include "route/RouteConfigurationObject.h"

GPSLIB_CLASS_FACTORY(RouteObject, CRouteObject)

using gpscore::WaypointRecord;

namespace {

// The count crosses the interface as a 16-bit number.
constexpr std::size_t kMaxWaypoints = std::numeric_limits<SHORT>::max();

} // namespace

CRouteObject::CRouteObject() {
    gpslib::CreateObject(CLSID_RouteConfigurationObject, IID_IRouteConfigurationObject,
                         &m_pConfiguration);
}

HRESULT CRouteObject::IndexInRoute(IWaypointObject* pWaypoint, SHORT* index) const {
    if (pWaypoint == nullptr) return E_POINTER;
    HRESULT hr = pWaypoint->GetIndex(index);
    if (FAILED(hr)) return hr;
    return IsValidIndex(*index) ? S_OK : S_FALSE;
}

bool CRouteObject::IsValidIndex(int index) const {
    return index >= 1 && static_cast<std::size_t>(index) <= m_waypoints.size();
}

int CRouteObject::NextIndex(WaypointMode mode, int from, bool reversed) const {
    const int count = static_cast<int>(m_waypoints.size());
    if (from == -1) return reversed ? count : 1;
    if (!IsValidIndex(from)) return -1;
    const int step = reversed ? -1 : 1;
    for (int i = from + step; IsValidIndex(i); i += step) {
        // Any mode other than "all" (turns only, the system's mode) stops at turns only.
        if (mode == WaypointModeAll || m_waypoints[i - 1].turningPoint) return i;
    }
    return reversed ? 1 : count;
}

HRESULT CRouteObject::WaypointAt(int index, IWaypointObject** ppWaypoint) const {
    *ppWaypoint = nullptr;
    if (!IsValidIndex(index)) return S_FALSE;
    // Beginning and end in the direction of travel.
    const int count = static_cast<int>(m_waypoints.size());
    const bool reversed = m_bReversed != 0;
    return gpscore::NewWaypointObject(m_waypoints[index - 1], static_cast<SHORT>(index),
                                      index == (reversed ? count : 1),
                                      index == (reversed ? 1 : count), ppWaypoint);
}

HRESULT CRouteObject::BecomeManual() {
    if (!m_pConfiguration) return E_FAIL;
    RouteType type = RouteTypeUnknown;
    HRESULT hr = m_pConfiguration->GetRouteType(&type);
    if (FAILED(hr)) return hr;
    return type == RouteTypeFromVirtualExploration
               ? S_OK
               : m_pConfiguration->SetRouteType(RouteTypeManual);
}

HRESULT CRouteObject::GetRouteConfiguration(IRouteConfigurationObject** ppConfiguration) {
    if (ppConfiguration == nullptr) return E_POINTER;
    *ppConfiguration = nullptr;
    if (!m_pConfiguration) return E_FAIL;
    gpslib::ComPtr<IRouteConfigurationObject> copy;
    HRESULT hr =
        gpslib::CreateObject(CLSID_RouteConfigurationObject, IID_IRouteConfigurationObject, &copy);
    if (SUCCEEDED(hr)) hr = gpscore::CopyRouteConfiguration(m_pConfiguration.Get(), copy.Get());
    if (FAILED(hr)) return hr;
    *ppConfiguration = copy.Detach();
    return S_OK;
}

HRESULT CRouteObject::AddUserWaypointToEndOfRoute(IWaypointUserObject* pUserWaypoint,
                                                  IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    *ppWaypoint = nullptr;
    if (pUserWaypoint == nullptr) return E_POINTER;
    if (!m_pConfiguration) return E_FAIL;
    if (m_waypoints.size() >= kMaxWaypoints) return E_FAIL;
    WaypointRecord record;
    HRESULT hr = gpscore::ReadUserWaypoint(pUserWaypoint, &record);
    if (SUCCEEDED(hr)) hr = BecomeManual();
    if (FAILED(hr)) return hr;
    m_waypoints.push_back(std::move(record));
    Changed();
    return WaypointAt(static_cast<int>(m_waypoints.size()), ppWaypoint);
}

HRESULT CRouteObject::GetRouteBeginning(IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    return WaypointAt(m_bReversed ? static_cast<int>(m_waypoints.size()) : 1, ppWaypoint);
}

HRESULT CRouteObject::GetRouteEnd(IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    return WaypointAt(m_bReversed ? 1 : static_cast<int>(m_waypoints.size()), ppWaypoint);
}

HRESULT CRouteObject::GetWaypoint(SHORT nIndex, IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    return WaypointAt(nIndex, ppWaypoint);
}

HRESULT CRouteObject::GetWaypointCount(SHORT* pnCount) {
    if (pnCount == nullptr) return E_POINTER;
    *pnCount = static_cast<SHORT>(m_waypoints.size());
    return S_OK;
}

// Replaces the record only; the current waypoint stays where it is.
HRESULT CRouteObject::UpdateWaypointInRoute(IWaypointObject* pWaypoint) {
    SHORT index = -1;
    HRESULT hr = IndexInRoute(pWaypoint, &index);
    if (hr != S_OK) return hr;
    WaypointRecord record;
    hr = gpscore::ReadWaypoint(pWaypoint, &record);
    if (FAILED(hr)) return hr;
    m_waypoints[index - 1] = std::move(record);
    Changed();
    return S_OK;
}

// A driving route cannot simply be travelled backwards (one-way streets, turn restrictions), and
// a route of unknown type is not known to be walkable either way.
HRESULT CRouteObject::ReverseRoute(VARIANT_BOOL* pbReversed) {
    if (pbReversed == nullptr) return E_POINTER;
    if (!m_pConfiguration) return E_FAIL;
    RouteType type = RouteTypeUnknown;
    HRESULT hr = m_pConfiguration->GetRouteType(&type);
    if (FAILED(hr)) return hr;
    const bool allowed = type != RouteTypeUnknown && type != RouteTypeVehicle &&
                         type != RouteTypeVehicleFromSimulation;
    if (allowed) m_bReversed = m_bReversed ? 0 : 1;
    *pbReversed = allowed ? 1 : 0;
    return S_OK;
}

HRESULT CRouteObject::DeleteWaypoint(IWaypointObject* pWaypoint) {
    SHORT index = -1;
    HRESULT hr = IndexInRoute(pWaypoint, &index);
    if (hr != S_OK) return hr;
    m_waypoints.erase(m_waypoints.begin() + (index - 1));
    m_nCurrentIndex = -1;
    Changed();
    return S_OK;
}

HRESULT CRouteObject::InsertUserWaypointBefore(IWaypointUserObject* pUserWaypoint, SHORT nIndex,
                                               IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    *ppWaypoint = nullptr;
    if (pUserWaypoint == nullptr) return E_POINTER;
    if (!IsValidIndex(nIndex)) return S_FALSE;
    if (!m_pConfiguration) return E_FAIL;
    if (m_waypoints.size() >= kMaxWaypoints) return E_FAIL;
    WaypointRecord record;
    HRESULT hr = gpscore::ReadUserWaypoint(pUserWaypoint, &record);
    if (SUCCEEDED(hr)) hr = BecomeManual();
    if (FAILED(hr)) return hr;
    m_waypoints.insert(m_waypoints.begin() + (nIndex - 1), std::move(record));
    m_nCurrentIndex = nIndex;
    Changed();
    return WaypointAt(nIndex, ppWaypoint);
}

HRESULT CRouteObject::SetCurrentWaypoint(IWaypointObject* pWaypoint) {
    SHORT index = -1;
    HRESULT hr = IndexInRoute(pWaypoint, &index);
    if (hr != S_OK) return hr;
    m_nCurrentIndex = index;
    return S_OK;
}

HRESULT CRouteObject::GetCurrentWaypoint(IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    return WaypointAt(m_nCurrentIndex, ppWaypoint);
}

HRESULT CRouteObject::GetNextWaypoint(WaypointMode eWaypointMode, IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    return WaypointAt(NextIndex(eWaypointMode, m_nCurrentIndex, m_bReversed != 0), ppWaypoint);
}

// The current index moves even where it lands on no waypoint (on an empty route, 1).
HRESULT CRouteObject::SetNextWaypointAlongRoute(WaypointMode eWaypointMode,
                                                IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    m_nCurrentIndex =
        static_cast<SHORT>(NextIndex(eWaypointMode, m_nCurrentIndex, m_bReversed != 0));
    return WaypointAt(m_nCurrentIndex, ppWaypoint);
}

HRESULT CRouteObject::SetPreviousWaypointAlongRoute(WaypointMode eWaypointMode,
                                                    IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    m_nCurrentIndex =
        static_cast<SHORT>(NextIndex(eWaypointMode, m_nCurrentIndex, m_bReversed == 0));
    return WaypointAt(m_nCurrentIndex, ppWaypoint);
}

// A cross street stored on the waypoint passed last marks a turn announced there; otherwise the
// next turn is the current waypoint when it turns, else the next turning point ahead.
HRESULT CRouteObject::GetNextTurn(IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    *ppWaypoint = nullptr;
    const int current = m_nCurrentIndex;
    if (!IsValidIndex(current)) return S_FALSE;
    const bool reversed = m_bReversed != 0;
    const int passed = reversed ? current : current - 1;
    if (IsValidIndex(passed) && !m_waypoints[passed - 1].crossStreet.empty()) {
        if (!reversed) return WaypointAt(passed, ppWaypoint);
        if (IsValidIndex(current + 1)) return WaypointAt(current + 1, ppWaypoint);
    }
    if (m_waypoints[current - 1].turningPoint) return WaypointAt(current, ppWaypoint);
    return WaypointAt(NextIndex(WaypointModeTurnsOnly, current, reversed), ppWaypoint);
}

HRESULT CRouteObject::GetCurrentWaypointIndex(SHORT* pnIndex) {
    if (pnIndex == nullptr) return E_POINTER;
    *pnIndex = IsValidIndex(m_nCurrentIndex) ? m_nCurrentIndex : SHORT{-1};
    return S_OK;
}

HRESULT CRouteObject::AddWaypointToEndOfRoute(IWaypointObject* pWaypoint) {
    if (pWaypoint == nullptr) return E_POINTER;
    WaypointRecord record;
    HRESULT hr = gpscore::ReadWaypoint(pWaypoint, &record);
    if (FAILED(hr)) return hr;
    return AppendWaypoint(std::move(record));
}

HRESULT CRouteObject::SetType(RouteType eRouteType) {
    if (!m_pConfiguration) return E_FAIL;
    HRESULT hr = m_pConfiguration->SetRouteType(eRouteType);
    if (FAILED(hr)) return hr;
    m_bNeedsSaving = 1;
    return S_OK;
}

HRESULT CRouteObject::AppendWaypoint(WaypointRecord record) {
    if (m_waypoints.size() >= kMaxWaypoints) return E_FAIL;
    m_waypoints.push_back(std::move(record));
    Changed();
    return S_OK;
}

void CRouteObject::ClearWaypoints() {
    m_waypoints.clear();
    m_nCurrentIndex = -1;
    Changed();
}

void CRouteObject::SetFileName(std::u16string_view fileName) {
    m_bstrFileName = gpslib::Bstr(fileName);
}
