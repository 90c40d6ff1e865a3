#include "route/RouteObject.h"
#include "route/WaypointObject.h"

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

template <class I> bool Flag(I* object, HRESULT (I::*get)(VARIANT_BOOL*)) {
    VARIANT_BOOL on = 0;
    return SUCCEEDED((object->*get)(&on)) && on != 0;
}

} // namespace

CRouteObject::CRouteObject() : m_route(std::make_shared<gpscore::RouteModel>()) {}

namespace gpscore {

HRESULT NewRouteWaypoint(const RouteModel& route, int index, IWaypointObject** ppWaypoint) {
    *ppWaypoint = nullptr;
    if (!route.IsValidIndex(index)) return S_FALSE;
    return NewWaypointObject(route.At(index), static_cast<SHORT>(index),
                             index == route.BeginningIndex(), index == route.EndIndex(),
                             ppWaypoint);
}

std::u16string ExploredDescription(const RouteModel& route, int index, bool forward, int mode,
                                   const std::u16string* label) {
    auto utility = Utility::Instance();
    if (utility == nullptr || !route.IsValidIndex(index)) return {};
    // Travelling down the list: a step forward on a reversed route, or back on one that is not.
    const bool down = forward == route.reversed;
    const WaypointRecord met = down ? AsMetGoingDown(route.waypoints, index) : route.At(index);
    gpslib::ComPtr<IWaypointObject> waypoint;
    if (NewWaypointObject(met, static_cast<SHORT>(index), false, false, waypoint.Put()) != S_OK)
        return {};
    if (label != nullptr) return WaypointTurnDescription(utility, waypoint.Get(), -1, *label);
    return WaypointTurnDescription(utility, waypoint.Get(), -1, mode);
}

HRESULT ReadRoute(IRouteObject* route, std::vector<WaypointRecord>* records, RouteType* type) {
    SHORT count = 0;
    HRESULT hr = route->GetWaypointCount(&count);
    if (FAILED(hr)) return hr;
    for (SHORT i = 1; i <= count; ++i) {
        gpslib::ComPtr<IWaypointObject> w;
        if (route->GetWaypoint(i, w.Put()) != S_OK) continue;
        WaypointRecord record;
        if (SUCCEEDED(ReadWaypoint(w.Get(), &record))) records->push_back(std::move(record));
    }
    *type = RouteTypeUnknown;
    if (auto* own = gpslib::ImplOf<CRouteObject>(route)) {
        *type = own->Model()->Type();
    } else {
        gpslib::ComPtr<IRouteConfigurationObject> configuration;
        if (SUCCEEDED(route->GetRouteConfiguration(configuration.Put())) && configuration)
            configuration->GetRouteType(type);
    }
    return S_OK;
}

} // namespace gpscore

HRESULT CRouteObject::IndexInRoute(IWaypointObject* pWaypoint, SHORT* index) const {
    if (pWaypoint == nullptr) return E_POINTER;
    HRESULT hr = pWaypoint->GetIndex(index);
    if (FAILED(hr)) return hr;
    return m_route->IsValidIndex(*index) ? S_OK : S_FALSE;
}

void CRouteObject::BecomeManual() {
    if (m_route->Type() != RouteTypeFromVirtualExploration)
        m_route->configuration.type = RouteTypeManual;
}

HRESULT CRouteObject::IsRouteReversed(VARIANT_BOOL* pbReversed) {
    if (pbReversed == nullptr) return E_POINTER;
    *pbReversed = m_route->reversed ? 1 : 0;
    return S_OK;
}

HRESULT CRouteObject::NeedsToBeSaved(VARIANT_BOOL* pbNeedsSaving) {
    if (pbNeedsSaving == nullptr) return E_POINTER;
    *pbNeedsSaving = m_route->needsSaving ? 1 : 0;
    return S_OK;
}

HRESULT CRouteObject::GetRouteConfiguration(IRouteConfigurationObject** ppConfiguration) {
    if (ppConfiguration == nullptr) return E_POINTER;
    *ppConfiguration = nullptr;
    gpslib::ComPtr<IRouteConfigurationObject> copy;
    HRESULT hr =
        gpslib::CreateObject(CLSID_RouteConfigurationObject, IID_IRouteConfigurationObject, &copy);
    if (SUCCEEDED(hr)) hr = gpscore::WriteRouteConfiguration(m_route->configuration, copy.Get());
    if (FAILED(hr)) return hr;
    *ppConfiguration = copy.Detach();
    return S_OK;
}

HRESULT CRouteObject::AddUserWaypointToEndOfRoute(IWaypointUserObject* pUserWaypoint,
                                                  IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    *ppWaypoint = nullptr;
    if (pUserWaypoint == nullptr) return E_POINTER;
    if (m_route->Full()) return E_FAIL;
    WaypointRecord record;
    HRESULT hr = gpscore::ReadUserWaypoint(pUserWaypoint, &record);
    if (FAILED(hr)) return hr;
    BecomeManual();
    m_route->waypoints.push_back(std::move(record));
    m_route->needsSaving = true;
    return WaypointAt(static_cast<int>(m_route->waypoints.size()), ppWaypoint);
}

HRESULT CRouteObject::GetRouteBeginning(IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    return WaypointAt(m_route->reversed ? static_cast<int>(m_route->waypoints.size()) : 1,
                      ppWaypoint);
}

HRESULT CRouteObject::GetRouteEnd(IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    return WaypointAt(m_route->reversed ? 1 : static_cast<int>(m_route->waypoints.size()),
                      ppWaypoint);
}

HRESULT CRouteObject::GetWaypoint(SHORT nIndex, IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    return WaypointAt(nIndex, ppWaypoint);
}

HRESULT CRouteObject::GetWaypointCount(SHORT* pnCount) {
    if (pnCount == nullptr) return E_POINTER;
    *pnCount = static_cast<SHORT>(m_route->waypoints.size());
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
    m_route->waypoints[index - 1] = std::move(record);
    m_route->needsSaving = true;
    return S_OK;
}

HRESULT CRouteObject::ReverseRoute(VARIANT_BOOL* pbReversed) {
    if (pbReversed == nullptr) return E_POINTER;
    *pbReversed = m_route->Reverse() ? 1 : 0;
    return S_OK;
}

HRESULT CRouteObject::DeleteWaypoint(IWaypointObject* pWaypoint) {
    SHORT index = -1;
    HRESULT hr = IndexInRoute(pWaypoint, &index);
    if (hr != S_OK) return hr;
    m_route->waypoints.erase(m_route->waypoints.begin() + (index - 1));
    m_route->currentIndex = -1;
    m_route->needsSaving = true;
    return S_OK;
}

HRESULT CRouteObject::InsertUserWaypointBefore(IWaypointUserObject* pUserWaypoint, SHORT nIndex,
                                               IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    *ppWaypoint = nullptr;
    if (pUserWaypoint == nullptr) return E_POINTER;
    if (!m_route->IsValidIndex(nIndex)) return S_FALSE;
    if (m_route->Full()) return E_FAIL;
    WaypointRecord record;
    HRESULT hr = gpscore::ReadUserWaypoint(pUserWaypoint, &record);
    if (FAILED(hr)) return hr;
    BecomeManual();
    m_route->waypoints.insert(m_route->waypoints.begin() + (nIndex - 1), std::move(record));
    m_route->currentIndex = nIndex;
    m_route->needsSaving = true;
    return WaypointAt(nIndex, ppWaypoint);
}

HRESULT CRouteObject::SetCurrentWaypoint(IWaypointObject* pWaypoint) {
    SHORT index = -1;
    HRESULT hr = IndexInRoute(pWaypoint, &index);
    if (hr != S_OK) return hr;
    m_route->currentIndex = index;
    return S_OK;
}

HRESULT CRouteObject::GetCurrentWaypoint(IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    return WaypointAt(m_route->currentIndex, ppWaypoint);
}

HRESULT CRouteObject::GetNextWaypoint(WaypointMode eWaypointMode, IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    return WaypointAt(m_route->Next(eWaypointMode, m_route->currentIndex, m_route->reversed),
                      ppWaypoint);
}

// The current index moves even where it lands on no waypoint (on an empty route, 1).
HRESULT CRouteObject::SetNextWaypointAlongRoute(WaypointMode eWaypointMode,
                                                IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    m_route->currentIndex =
        static_cast<SHORT>(m_route->Next(eWaypointMode, m_route->currentIndex, m_route->reversed));
    return WaypointAt(m_route->currentIndex, ppWaypoint);
}

HRESULT CRouteObject::SetPreviousWaypointAlongRoute(WaypointMode eWaypointMode,
                                                    IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    m_route->currentIndex =
        static_cast<SHORT>(m_route->Next(eWaypointMode, m_route->currentIndex, !m_route->reversed));
    return WaypointAt(m_route->currentIndex, ppWaypoint);
}

HRESULT CRouteObject::GetNextTurn(IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    return WaypointAt(m_route->NextTurn(), ppWaypoint);
}

HRESULT CRouteObject::GetCurrentWaypointIndex(SHORT* pnIndex) {
    if (pnIndex == nullptr) return E_POINTER;
    *pnIndex = m_route->IsValidIndex(m_route->currentIndex) ? m_route->currentIndex : SHORT{-1};
    return S_OK;
}

HRESULT CRouteObject::AddWaypointToEndOfRoute(IWaypointObject* pWaypoint) {
    if (pWaypoint == nullptr) return E_POINTER;
    WaypointRecord record;
    HRESULT hr = gpscore::ReadWaypoint(pWaypoint, &record);
    if (FAILED(hr)) return hr;
    return m_route->Append(std::move(record)) ? S_OK : E_FAIL;
}

HRESULT CRouteObject::SetType(RouteType eRouteType) {
    m_route->SetType(eRouteType);
    return S_OK;
}

HRESULT CRouteObject::TotalRouteDistance(LONG* pnDistance) {
    if (pnDistance == nullptr) return E_POINTER;
    *pnDistance =
        WholeUnits(gpscore::TotalDistance(m_route->waypoints, -1, -1, -1.0, MetricUnits()));
    return S_OK;
}

namespace {

HRESULT ExploreStep(const gpscore::RouteModel& route, Mode mode, WaypointMode waypointMode,
                    SHORT from, bool forward, IWaypointObject** ppWaypoint,
                    BSTR* pbstrDescription) {
    if (ppWaypoint == nullptr || pbstrDescription == nullptr) return E_POINTER;
    *ppWaypoint = nullptr;
    *pbstrDescription = nullptr;
    const int index = route.ExploreIndex(waypointMode, from, forward);
    if (index == -1)
        return gpslib::ReturnString(pbstrDescription, u"") == S_OK ? S_FALSE : E_OUTOFMEMORY;
    HRESULT hr = gpscore::NewRouteWaypoint(route, index, ppWaypoint);
    if (hr != S_OK) return hr;
    return gpslib::ReturnString(
        pbstrDescription,
        gpscore::ExploredDescription(route, index, forward, mode == GPSMode ? 1 : 2, nullptr));
}

} // namespace

HRESULT CRouteObject::ExploreRouteForward(Mode eMode, WaypointMode eWaypointMode, SHORT nFromIndex,
                                          IWaypointObject** ppWaypoint, BSTR* pbstrDescription) {
    return ExploreStep(*m_route, eMode, eWaypointMode, nFromIndex, true, ppWaypoint,
                       pbstrDescription);
}

HRESULT CRouteObject::ExploreRouteBackward(Mode eMode, WaypointMode eWaypointMode, SHORT nFromIndex,
                                           IWaypointObject** ppWaypoint, BSTR* pbstrDescription) {
    return ExploreStep(*m_route, eMode, eWaypointMode, nFromIndex, false, ppWaypoint,
                       pbstrDescription);
}

std::u16string gpscore::TotalDistanceDescription(const RouteModel& route) {
    const double total = TotalDistance(route.waypoints, -1, -1, -1.0, MetricUnits());
    return DistanceSentence(ids::kTotalRouteDistance, total);
}

HRESULT CRouteObject::TotalRouteDistanceDescription(BSTR* pbstrDescription) {
    if (pbstrDescription == nullptr) return E_POINTER;
    return gpslib::ReturnString(pbstrDescription, gpscore::TotalDistanceDescription(*m_route));
}

HRESULT CRouteObject::SetCurrentWaypointToNearest(ILocationObject* pLocation,
                                                  IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    *ppWaypoint = nullptr;
    if (pLocation == nullptr) return E_POINTER;
    m_route->currentIndex =
        static_cast<SHORT>(gpscore::NearestIndex(m_route->waypoints, PositionOf(pLocation)));
    return WaypointAt(m_route->currentIndex, ppWaypoint);
}

// Straight to the beginning: that is the way to reach a route not yet started.
HRESULT CRouteObject::DistanceToBeginningOfRouteDescription(ILocationObject* pLocation,
                                                            BSTR* pbstrDescription) {
    if (pbstrDescription == nullptr || pLocation == nullptr) return E_POINTER;
    const gpscore::geo::Position here = PositionOf(pLocation);
    double distance = -1.0;
    if (gpscore::geo::IsValid(here) && !m_route->waypoints.empty()) {
        const WaypointRecord& begin =
            m_route->waypoints[m_route->reversed ? m_route->waypoints.size() - 1 : 0];
        const double metres = gpscore::geo::Distance({here.latitude, here.longitude},
                                                     {begin.latitude, begin.longitude});
        distance = MetricUnits() ? metres : metres * gpscore::geo::kFeetPerMetre;
    }
    return gpslib::ReturnString(pbstrDescription,
                                DistanceSentence(ids::kDistanceToBeginning, distance));
}

HRESULT CRouteObject::SetCurrentToNextWaypointNearestLocation(WaypointMode eWaypointMode,
                                                              ILocationObject* pLocation,
                                                              IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    *ppWaypoint = nullptr;
    if (pLocation == nullptr) return E_POINTER;
    const gpscore::geo::Position p = PositionOf(pLocation);
    m_route->currentIndex = static_cast<SHORT>(m_route->NextIndexNearest(eWaypointMode, p));
    return WaypointAt(m_route->currentIndex, ppWaypoint);
}

HRESULT CRouteObject::DistanceToEndOfRouteDescription(ILocationObject* pLocation,
                                                      BSTR* pbstrDescription) {
    if (pbstrDescription == nullptr || pLocation == nullptr) return E_POINTER;
    const double remaining = gpscore::RemainingDistance(m_route->waypoints, PositionOf(pLocation),
                                                        m_route->reversed, -1.0, MetricUnits());
    return gpslib::ReturnString(pbstrDescription, DistanceSentence(ids::kDistanceToEnd, remaining));
}

HRESULT CRouteObject::PercentComplete(ILocationObject* pLocation, SHORT* pnPercent) {
    return PercentCompleteAccurate(pLocation, -1.0, pnPercent);
}

HRESULT CRouteObject::PercentCompleteAccurate(ILocationObject* pLocation, DOUBLE dDistanceToNext,
                                              SHORT* pnPercent) {
    if (pnPercent == nullptr || pLocation == nullptr) return E_POINTER;
    *pnPercent = static_cast<SHORT>(
        gpscore::PercentComplete(m_route->waypoints, PositionOf(pLocation), m_route->reversed,
                                 dDistanceToNext, MetricUnits()));
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
    if (utility == nullptr) return gpslib::ReturnString(pbstrETA, u"");
    const bool metric = utility->CurrentUnits() == Metric;
    const gpscore::geo::Position here = PositionOf(pLocation);
    SHORT index = -1;
    pWaypoint->GetIndex(&index);
    double distance = -1.0;
    if (m_route->IsValidIndex(index)) {
        distance = gpscore::DistanceAlongRouteTo(m_route->waypoints, here, m_route->reversed, index,
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
    if (!(distance >= 0.0))
        return gpslib::ReturnString(pbstrETA, utility->GetString(ids::kPositionUnknown));
    const RouteType type = m_route->Type();
    const bool vehicle = type == RouteTypeVehicle || type == RouteTypeVehicleFromSimulation;
    return gpslib::ReturnString(
        pbstrETA, gpscore::TravelTimeText(*utility, distance, metric, dSpeed, vehicle));
}

HRESULT CRouteObject::GetNearestWaypoint(ILocationObject* pLocation, IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    *ppWaypoint = nullptr;
    if (pLocation == nullptr) return E_POINTER;
    return WaypointAt(gpscore::NearestIndex(m_route->waypoints, PositionOf(pLocation)), ppWaypoint);
}

HRESULT CRouteObject::GetNextWaypointNearestLocation(WaypointMode eWaypointMode,
                                                     ILocationObject* pLocation,
                                                     IWaypointObject** ppWaypoint) {
    if (ppWaypoint == nullptr) return E_POINTER;
    *ppWaypoint = nullptr;
    if (pLocation == nullptr) return E_POINTER;
    const gpscore::geo::Position p = PositionOf(pLocation);
    return WaypointAt(m_route->NextIndexNearest(eWaypointMode, p), ppWaypoint);
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
    if (utility == nullptr) return gpslib::ReturnString(pbstrDescription, u"");
    VARIANT_BOOL valid = 0;
    const bool locationValid =
        pLocation != nullptr && SUCCEEDED(pLocation->IsValid(&valid)) && valid;
    valid = 0;
    if (!locationValid || pWaypoint == nullptr || FAILED(pWaypoint->IsValid(&valid)) || !valid)
        return gpslib::ReturnString(pbstrDescription, utility->GetString(ids::kWaypointNotKnown));

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
        Flag(pConfiguration, &C::IncludeETA) && m_route->Type() != RouteTypeFromVirtualExploration;
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
        m_route->IsValidIndex(index)
            ? gpscore::DistanceAlongRouteTo(m_route->waypoints, PositionOf(pLocation),
                                            m_route->reversed, index, distanceToNext, metric)
            : static_cast<double>(straight);
    if (!(along >= 0.0) || (distanceToNext > 0.0 && along < 200.0)) along = straight;
    const SHORT threshold = utility->SystemSettings().ArrivedNearThreshold(utility->CurrentUnits());
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
        const RouteType type = m_route->Type();
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
    return gpslib::ReturnString(
        pbstrDescription,
        gpscore::ExpandWaypointDescription(utility->GetString(ids::kWaypointDescription), pieces));
}
