#include "route/RouteObject.h"
#include "route/WaypointObject.h"

#include <limits>
#include <utility>

#include "base/Descriptions.h"
#include "base/Utility.h"
#include "resources/StringIds.h"
#include "route/RouteConfigurationObject.h"
#include "route/RouteGeometry.h"
#include "route/RouteTexts.h"

GPSLIB_CLASS_FACTORY(RouteObject, CRouteObject)

using gpscore::WaypointRecord;
namespace ids = gpslib::ids;

namespace {

// The count crosses the interface as a 16-bit number.
constexpr std::size_t kMaxWaypoints = std::numeric_limits<SHORT>::max();

// A place's position, 0/0 when it has none or says it is not valid.
gpscore::geo::Position PositionOf(ILocationObject* location) {
    gpscore::geo::Position p;
    VARIANT_BOOL valid = 0;
    if (location == nullptr || FAILED(location->IsValid(&valid)) || valid == 0) return p;
    location->GetLatitude(&p.latitude);
    location->GetLongitude(&p.longitude);
    return p;
}

bool MetricUnits() {
    auto utility = gpscore::Utility::Instance();
    return utility == nullptr || utility->CurrentUnits() == Metric;
}

// Whole metres or feet as a 32-bit number; beyond that (or not a number) the largest.
LONG WholeUnits(double distance) {
    if (!(distance >= 0.0)) return -1;
    return distance < 2147483647.0 ? static_cast<LONG>(distance) : 2147483647;
}

// `distance` spoken precisely and placed into format `id`; PositionUnknown when it is unknown.
std::u16string DistanceSentence(int id, double distance) {
    auto utility = gpscore::Utility::Instance();
    if (utility == nullptr) return {};
    if (!(distance >= 0.0)) return utility->GetString(ids::kPositionUnknown);
    const std::u16string words =
        gpscore::Wording(utility).DistanceText(WholeUnits(distance), false);
    return utility->FormatString(id, {std::u16string_view(words)});
}

HRESULT Answer(std::u16string_view text, BSTR* out) {
    *out = gpslib::AllocBstr(text);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

template <class I> bool Flag(I* object, HRESULT (I::*get)(VARIANT_BOOL*)) {
    VARIANT_BOOL on = 0;
    return SUCCEEDED((object->*get)(&on)) && on != 0;
}

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

RouteType CRouteObject::Type() const {
    RouteType type = RouteTypeUnknown;
    if (m_pConfiguration) m_pConfiguration->GetRouteType(&type);
    return type;
}

int CRouteObject::NearestIndexTo(double latitude, double longitude) const {
    return gpscore::NearestIndex(m_waypoints, {latitude, longitude});
}

int CRouteObject::NextIndexNearest(WaypointMode mode, double latitude, double longitude) const {
    const bool reversed = m_bReversed != 0;
    const int next = gpscore::NextIndexAhead(m_waypoints, {latitude, longitude}, reversed);
    if (next == -1 || mode == WaypointModeAll || m_waypoints[next - 1].turningPoint) return next;
    return NextIndex(mode, next, reversed);
}

HRESULT CRouteObject::TotalRouteDistance(LONG* pnDistance) {
    if (pnDistance == nullptr) return E_POINTER;
    *pnDistance = WholeUnits(gpscore::TotalDistance(m_waypoints, -1, -1, -1.0, MetricUnits()));
    return S_OK;
}

int CRouteObject::ExploreIndex(WaypointMode mode, int from, bool forward) const {
    const bool reversed = m_bReversed != 0;
    const int index = NextIndex(mode, from, forward ? reversed : !reversed);
    return IsValidIndex(index) ? index : -1;
}

std::u16string CRouteObject::ExploredDescription(int index, bool forward, int mode,
                                                 const std::u16string* label) const {
    auto utility = gpscore::Utility::Instance();
    if (utility == nullptr || !IsValidIndex(index)) return {};
    // Travelling down the list: a step forward on a reversed route, or back on one that is not.
    const bool down = forward == (m_bReversed != 0);
    const WaypointRecord met =
        down ? gpscore::AsMetGoingDown(m_waypoints, index) : m_waypoints[index - 1];
    gpslib::ComPtr<IWaypointObject> waypoint;
    if (gpscore::NewWaypointObject(met, static_cast<SHORT>(index), false, false, waypoint.Put()) !=
        S_OK)
        return {};
    if (label != nullptr)
        return gpscore::WaypointTurnDescription(utility, waypoint.Get(), -1, *label);
    return gpscore::WaypointTurnDescription(utility, waypoint.Get(), -1, mode);
}

namespace {

HRESULT ExploreStep(const CRouteObject& route, Mode mode, WaypointMode waypointMode, SHORT from,
                    bool forward, IWaypointObject** ppWaypoint, BSTR* pbstrDescription) {
    if (ppWaypoint == nullptr || pbstrDescription == nullptr) return E_POINTER;
    *ppWaypoint = nullptr;
    *pbstrDescription = nullptr;
    const int index = route.ExploreIndex(waypointMode, from, forward);
    if (index == -1) return Answer(u"", pbstrDescription) == S_OK ? S_FALSE : E_OUTOFMEMORY;
    HRESULT hr = route.Waypoint(index, ppWaypoint);
    if (hr != S_OK) return hr;
    return Answer(route.ExploredDescription(index, forward, mode == GPSMode ? 1 : 2, nullptr),
                  pbstrDescription);
}

} // namespace

HRESULT CRouteObject::ExploreRouteForward(Mode eMode, WaypointMode eWaypointMode, SHORT nFromIndex,
                                          IWaypointObject** ppWaypoint, BSTR* pbstrDescription) {
    return ExploreStep(*this, eMode, eWaypointMode, nFromIndex, true, ppWaypoint, pbstrDescription);
}

HRESULT CRouteObject::ExploreRouteBackward(Mode eMode, WaypointMode eWaypointMode, SHORT nFromIndex,
                                           IWaypointObject** ppWaypoint, BSTR* pbstrDescription) {
    return ExploreStep(*this, eMode, eWaypointMode, nFromIndex, false, ppWaypoint,
                       pbstrDescription);
}

HRESULT CRouteObject::TotalRouteDistanceDescription(BSTR* pbstrDescription) {
    if (pbstrDescription == nullptr) return E_POINTER;
    const double total = gpscore::TotalDistance(m_waypoints, -1, -1, -1.0, MetricUnits());
    return Answer(DistanceSentence(ids::kTotalRouteDistance, total), pbstrDescription);
}

HRESULT CRouteObject::SetCurrentWaypointToNearest(ILocationObject* pLocation,
                                                  IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    *ppWaypoint = nullptr;
    if (pLocation == nullptr) return E_POINTER;
    m_nCurrentIndex = static_cast<SHORT>(gpscore::NearestIndex(m_waypoints, PositionOf(pLocation)));
    return WaypointAt(m_nCurrentIndex, ppWaypoint);
}

// Straight to the beginning: that is the way to reach a route not yet started.
HRESULT CRouteObject::DistanceToBeginningOfRouteDescription(ILocationObject* pLocation,
                                                            BSTR* pbstrDescription) {
    if (pbstrDescription == nullptr || pLocation == nullptr) return E_POINTER;
    const gpscore::geo::Position here = PositionOf(pLocation);
    double distance = -1.0;
    if (gpscore::geo::IsValid(here) && !m_waypoints.empty()) {
        const WaypointRecord& begin = m_waypoints[m_bReversed ? m_waypoints.size() - 1 : 0];
        const double metres = gpscore::geo::Distance({here.latitude, here.longitude},
                                                     {begin.latitude, begin.longitude});
        distance = MetricUnits() ? metres : metres * 3.2808399;
    }
    return Answer(DistanceSentence(ids::kDistanceToBeginning, distance), pbstrDescription);
}

HRESULT CRouteObject::SetCurrentToNextWaypointNearestLocation(WaypointMode eWaypointMode,
                                                              ILocationObject* pLocation,
                                                              IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    *ppWaypoint = nullptr;
    if (pLocation == nullptr) return E_POINTER;
    const gpscore::geo::Position p = PositionOf(pLocation);
    m_nCurrentIndex = static_cast<SHORT>(NextIndexNearest(eWaypointMode, p.latitude, p.longitude));
    return WaypointAt(m_nCurrentIndex, ppWaypoint);
}

HRESULT CRouteObject::DistanceToEndOfRouteDescription(ILocationObject* pLocation,
                                                      BSTR* pbstrDescription) {
    if (pbstrDescription == nullptr || pLocation == nullptr) return E_POINTER;
    const double remaining = gpscore::RemainingDistance(m_waypoints, PositionOf(pLocation),
                                                        m_bReversed != 0, -1.0, MetricUnits());
    return Answer(DistanceSentence(ids::kDistanceToEnd, remaining), pbstrDescription);
}

HRESULT CRouteObject::PercentComplete(ILocationObject* pLocation, SHORT* pnPercent) {
    return PercentCompleteAccurate(pLocation, -1.0, pnPercent);
}

HRESULT CRouteObject::PercentCompleteAccurate(ILocationObject* pLocation, DOUBLE dDistanceToNext,
                                              SHORT* pnPercent) {
    if (pnPercent == nullptr || pLocation == nullptr) return E_POINTER;
    *pnPercent = static_cast<SHORT>(gpscore::PercentComplete(
        m_waypoints, PositionOf(pLocation), m_bReversed != 0, dDistanceToNext, MetricUnits()));
    return S_OK;
}

HRESULT CRouteObject::GetETA(ILocationObject* pLocation, IWaypointObject* pWaypoint, DOUBLE dSpeed,
                             BSTR* pbstrETA) {
    return GetETAAccurate(pLocation, pWaypoint, -1.0, dSpeed, pbstrETA);
}

// A waypoint of another route (or none of this one) is timed straight from the position.
HRESULT CRouteObject::GetETAAccurate(ILocationObject* pLocation, IWaypointObject* pWaypoint,
                                     DOUBLE dDistanceToNext, DOUBLE dSpeed, BSTR* pbstrETA) {
    if (pbstrETA == nullptr || pLocation == nullptr || pWaypoint == nullptr) return E_POINTER;
    auto utility = gpscore::Utility::Instance();
    if (utility == nullptr) return Answer(u"", pbstrETA);
    const bool metric = utility->CurrentUnits() == Metric;
    const gpscore::geo::Position here = PositionOf(pLocation);
    SHORT index = -1;
    pWaypoint->GetIndex(&index);
    double distance = -1.0;
    if (IsValidIndex(index)) {
        distance = gpscore::DistanceAlongRouteTo(m_waypoints, here, m_bReversed != 0, index,
                                                 dDistanceToNext, metric);
    } else {
        gpscore::geo::Position there;
        VARIANT_BOOL valid = 0;
        pWaypoint->IsValid(&valid);
        pWaypoint->GetLatitude(&there.latitude);
        pWaypoint->GetLongitude(&there.longitude);
        if (valid != 0 && gpscore::geo::IsValid(here))
            distance = gpscore::geo::DistanceInUnits(here, there, metric ? 0 : 1);
    }
    if (!(distance >= 0.0)) return Answer(utility->GetString(ids::kPositionUnknown), pbstrETA);
    const RouteType type = Type();
    const bool vehicle = type == RouteTypeVehicle || type == RouteTypeVehicleFromSimulation;
    return Answer(gpscore::TravelTimeText(*utility, distance, metric, dSpeed, vehicle), pbstrETA);
}

HRESULT CRouteObject::GetNearestWaypoint(ILocationObject* pLocation, IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    *ppWaypoint = nullptr;
    if (pLocation == nullptr) return E_POINTER;
    return WaypointAt(gpscore::NearestIndex(m_waypoints, PositionOf(pLocation)), ppWaypoint);
}

HRESULT CRouteObject::GetNextWaypointNearestLocation(WaypointMode eWaypointMode,
                                                     ILocationObject* pLocation,
                                                     IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    *ppWaypoint = nullptr;
    if (pLocation == nullptr) return E_POINTER;
    const gpscore::geo::Position p = PositionOf(pLocation);
    return WaypointAt(NextIndexNearest(eWaypointMode, p.latitude, p.longitude), ppWaypoint);
}

HRESULT CRouteObject::GetDirectNextWaypointNearestLocation(ILocationObject* pLocation,
                                                           IWaypointObject** ppWaypoint) {
    return GetNextWaypointNearestLocation(WaypointModeAll, pLocation, ppWaypoint);
}

HRESULT CRouteObject::GetWaypointDescription(ILocationObject* pLocation, IWaypointObject* pWaypoint,
                                             IWaypointConfigurationObject* pConfiguration,
                                             BSTR* pbstrDescription) {
    if (pbstrDescription == nullptr || pConfiguration == nullptr) return E_POINTER;
    auto utility = gpscore::Utility::Instance();
    if (utility == nullptr) return Answer(u"", pbstrDescription);
    VARIANT_BOOL valid = 0;
    const bool locationValid =
        pLocation != nullptr && SUCCEEDED(pLocation->IsValid(&valid)) && valid;
    valid = 0;
    if (!locationValid || pWaypoint == nullptr || FAILED(pWaypoint->IsValid(&valid)) || !valid)
        return Answer(utility->GetString(ids::kWaypointNotKnown), pbstrDescription);

    using C = IWaypointConfigurationObject;
    Mode mode = GPSMode;
    SHORT heading = -1;
    double speed = 0.0, distanceToNext = -1.0;
    pConfiguration->GetMode(&mode);
    pConfiguration->GetHeading(&heading);
    pConfiguration->GetSpeed(&speed);
    pConfiguration->GetDistanceNextWP(&distanceToNext);
    const bool withDistance = Flag(pConfiguration, &C::IncludeDistance);
    const bool withHeading = Flag(pConfiguration, &C::IncludeHeading);
    const bool withTurn = Flag(pConfiguration, &C::IncludeTurningInstructions);
    const bool withEta =
        Flag(pConfiguration, &C::IncludeETA) && Type() != RouteTypeFromVirtualExploration;
    const bool withUser = Flag(pConfiguration, &C::IncludeUserWaypointDescriptions);
    const bool turning = Flag(pWaypoint, &IWaypointObject::IsTurningPoint);
    const bool user = Flag(pWaypoint, &IWaypointObject::IsUserPoint);

    // The facts from the position to the waypoint, then the distance along the route.
    gpslib::ComPtr<ILocationObject> target;
    pWaypoint->GetLocation(target.Put());
    gpscore::DistanceHeadingRecord record;
    LONG straight = -1;
    gpslib::Bstr direction;
    pLocation->GetBearingDegrees(target.Get(), &record.bearing);
    pLocation->GetRelativeHeading(heading, target.Get(), direction.Put());
    pLocation->GetDistance(target.Get(), &straight);
    record.direction = std::u16string(direction.View());
    record.distance = straight;
    const bool metric = utility->CurrentUnits() == Metric;
    SHORT index = -1;
    pWaypoint->GetIndex(&index);
    double along =
        IsValidIndex(index)
            ? gpscore::DistanceAlongRouteTo(m_waypoints, PositionOf(pLocation), m_bReversed != 0,
                                            index, distanceToNext, metric)
            : static_cast<double>(straight);
    if (!(along >= 0.0) || (distanceToNext > 0.0 && along < 200.0)) along = straight;
    SHORT threshold = 0;
    if (auto settings = utility->SystemSettings())
        settings->GetArrivedNearThreshold(utility->CurrentUnits(), &threshold);
    const bool near = WholeUnits(along) <= threshold;

    const gpscore::Wording words(utility);
    gpscore::WaypointDescriptionPieces pieces;
    if (withDistance)
        pieces.distance =
            near ? utility->GetString(ids::kCloseBy) : words.DistanceText(WholeUnits(along), false);
    if (withHeading && !near) pieces.heading = record.direction;
    if (withTurn && turning) {
        gpslib::Bstr turn;
        pWaypoint->GetTurningInfo(-1, turn.Put());
        pieces.turn = std::u16string(turn.View());
    }
    if (withEta) {
        const RouteType type = Type();
        pieces.eta = gpscore::TravelTimeText(*utility, along, metric, speed,
                                             type == RouteTypeVehicle ||
                                                 type == RouteTypeVehicleFromSimulation);
    }
    if (withUser && user) {
        gpslib::Bstr note;
        pWaypoint->GetDescription(note.Put());
        pieces.user = std::u16string(note.View());
    }
    pieces.label = words.WaypointLabel(pWaypoint, mode);
    return Answer(
        gpscore::ExpandWaypointDescription(utility->GetString(ids::kWaypointDescription), pieces),
        pbstrDescription);
}
