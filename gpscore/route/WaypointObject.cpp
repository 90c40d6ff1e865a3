#include "route/WaypointObject.h"

#include "base/Descriptions.h"
#include "base/Utility.h"
#include "resources/StringIds.h"
#include "route/RouteTexts.h"

#include <string>

GPSLIB_CLASS_FACTORY(WaypointObject, CWaypointObject)

HRESULT CWaypointObject::GetTurningInfo(SHORT nCurrentHeading, BSTR* pbstrTurningInfo) {
    if (pbstrTurningInfo == nullptr) return E_POINTER;
    const std::u16string text = gpscore::TurningInfoText(
        gpscore::Utility::Instance(), m_bTurningPoint != 0, m_nTurnCompleteHeadingDegrees,
        m_nStreetOrientationReverse, nCurrentHeading);
    return gpslib::ReturnString(pbstrTurningInfo, text);
}

namespace gpscore {

namespace {

// The label without its closing spaces and full stops, so that the sentence after it adds its own.
std::u16string Trimmed(std::u16string text) {
    while (!text.empty() && (text.back() == u' ' || text.back() == u'.'))
        text.pop_back();
    return text;
}

} // namespace

std::u16string WaypointTurnDescription(const std::shared_ptr<const Utility>& utility,
                                       IWaypointObject* waypoint, SHORT heading, int mode) {
    if (utility == nullptr || waypoint == nullptr) return {};
    return WaypointTurnDescription(utility, waypoint, heading,
                                   Wording(utility).WaypointLabel(waypoint, mode));
}

std::u16string WaypointTurnDescription(const std::shared_ptr<const Utility>& utility,
                                       IWaypointObject* waypoint, SHORT heading,
                                       std::u16string label) {
    if (utility == nullptr || waypoint == nullptr) return {};
    const Wording words(utility);
    std::u16string text = Trimmed(std::move(label));
    gpslib::Bstr turn, street;
    waypoint->GetTurningInfo(heading, turn.Put());
    waypoint->GetStreetNameForward(street.Put());
    std::u16string sentence;
    if (!turn.View().empty() && !street.View().empty())
        sentence = utility->FormatString(
            ids::kTurnOnto, {turn.View(), std::u16string_view(words.Decorate(street.View()))});
    else if (!turn.View().empty())
        sentence = std::u16string(turn.View()) + u".";
    if (!sentence.empty()) {
        if (!text.empty()) text += u". ";
        text += sentence;
    } else if (!text.empty()) {
        text += u'.';
    }
    return text;
}

namespace {

// Fetches a string through a getter into `out`.
template <class I> HRESULT ReadText(I* object, HRESULT (I::*get)(BSTR*), std::u16string* out) {
    gpslib::Bstr text;
    HRESULT hr = (object->*get)(text.Put());
    if (SUCCEEDED(hr)) *out = std::u16string(text.View());
    return hr;
}

template <class I> HRESULT ReadFlag(I* object, HRESULT (I::*get)(VARIANT_BOOL*), bool* out) {
    VARIANT_BOOL flag = 0;
    HRESULT hr = (object->*get)(&flag);
    if (SUCCEEDED(hr)) *out = flag != 0;
    return hr;
}

SHORT Degrees(int angle) {
    return static_cast<SHORT>(((angle % 360) + 360) % 360);
}

} // namespace

HRESULT ReadWaypoint(IWaypointObject* waypoint, WaypointRecord* record) {
    if (waypoint == nullptr) return E_POINTER;
    using I = IWaypointObject;
    WaypointRecord r;
    HRESULT hr = waypoint->GetLatitude(&r.latitude);
    if (SUCCEEDED(hr)) hr = waypoint->GetLongitude(&r.longitude);
    if (SUCCEEDED(hr)) hr = ReadText(waypoint, &I::GetWaypointName, &r.name);
    if (SUCCEEDED(hr)) hr = ReadText(waypoint, &I::GetDescription, &r.description);
    if (SUCCEEDED(hr)) hr = ReadFlag(waypoint, &I::IsTurningPoint, &r.turningPoint);
    if (SUCCEEDED(hr)) hr = ReadFlag(waypoint, &I::IsUserPoint, &r.userPoint);
    if (SUCCEEDED(hr)) hr = ReadText(waypoint, &I::GetStreetNameForward, &r.streetNameForward);
    if (SUCCEEDED(hr)) hr = waypoint->GetNumberOfLanes(&r.numberOfLanes);
    if (SUCCEEDED(hr)) hr = waypoint->GetStreetOrientationForward(&r.streetOrientationForward);
    if (SUCCEEDED(hr)) hr = waypoint->GetStreetOrientationReverse(&r.streetOrientationReverse);
    if (SUCCEEDED(hr)) hr = waypoint->GetDistanceFromLastWaypoint(&r.distanceFromLastWaypoint);
    if (SUCCEEDED(hr)) hr = waypoint->GetFeatureIndex(&r.featureIndex);
    if (SUCCEEDED(hr)) hr = ReadText(waypoint, &I::GetCrossStreet, &r.crossStreet);
    if (SUCCEEDED(hr)) hr = waypoint->GetSideOfStreet(&r.sideOfStreet);
    if (SUCCEEDED(hr)) hr = waypoint->GetTurnCompleteHeadingDegrees(&r.turnCompleteHeading);
    if (SUCCEEDED(hr)) hr = waypoint->GetStreetSpeed(&r.streetSpeed);
    if (FAILED(hr)) return hr;
    *record = std::move(r);
    return S_OK;
}

HRESULT ReadUserWaypoint(IWaypointUserObject* userWaypoint, WaypointRecord* record) {
    if (userWaypoint == nullptr) return E_POINTER;
    using L = ILocationObject;
    WaypointRecord r;
    gpslib::ComPtr<ILocationObject> location;
    WaypointTurnType turn = WaypointTurnTypeNoTurn;
    SHORT heading = -1;
    HRESULT hr = userWaypoint->GetLocation(location.Put());
    if (SUCCEEDED(hr) && !location) hr = E_FAIL;
    if (SUCCEEDED(hr)) hr = location->GetLatitude(&r.latitude);
    if (SUCCEEDED(hr)) hr = location->GetLongitude(&r.longitude);
    if (SUCCEEDED(hr)) hr = ReadText(location.Get(), &L::GetName, &r.name);
    if (SUCCEEDED(hr)) hr = ReadText(location.Get(), &L::GetDescription, &r.description);
    if (SUCCEEDED(hr))
        hr = ReadText(userWaypoint, &IWaypointUserObject::GetStreetNameForward,
                      &r.streetNameForward);
    if (SUCCEEDED(hr)) hr = userWaypoint->GetTurnType(&turn);
    if (SUCCEEDED(hr)) hr = userWaypoint->GetHeadingWhenCreated(&heading);
    if (FAILED(hr)) return hr;

    // A turn of d degrees (left -90, right +90) at heading h leaves along h + d; the street
    // arrived on lies a further d round from there. Without a turn the street runs straight
    // on, and the forward orientation is the heading as given (-1 when there was none).
    int turnDegrees = 0;
    switch (turn) {
    case WaypointTurnTypeLeftTurn:
        turnDegrees = -90;
        break;
    case WaypointTurnTypeRightTurn:
        turnDegrees = 90;
        break;
    default:
        break;
    }
    r.userPoint = true;
    r.turningPoint = turn == WaypointTurnTypeLeftTurn || turn == WaypointTurnTypeRightTurn ||
                     turn == WaypointTurnTypeStraightThrough;
    if (turnDegrees == 0) {
        r.streetOrientationForward = heading;
        r.streetOrientationReverse = Degrees(heading + 180);
    } else {
        r.streetOrientationForward = Degrees(heading + turnDegrees);
        r.streetOrientationReverse = Degrees(r.streetOrientationForward + turnDegrees);
    }
    *record = std::move(r);
    return S_OK;
}

HRESULT NewWaypointObject(const WaypointRecord& record, SHORT index, bool beginning, bool end,
                          IWaypointObject** waypoint) {
    *waypoint = nullptr;
    gpslib::ComPtr<IWaypointObject> w;
    HRESULT hr = gpslib::CreateObject(CLSID_WaypointObject, IID_IWaypointObject, &w);
    if (FAILED(hr)) return hr;
    gpslib::Bstr name(record.name), description(record.description);
    gpslib::Bstr street(record.streetNameForward), cross(record.crossStreet);
    hr = w->SetIndex(index);
    if (SUCCEEDED(hr)) hr = w->SetLatitude(record.latitude);
    if (SUCCEEDED(hr)) hr = w->SetLongitude(record.longitude);
    if (SUCCEEDED(hr)) hr = w->SetWaypointName(name.Get());
    if (SUCCEEDED(hr)) hr = w->SetDescription(description.Get());
    if (SUCCEEDED(hr)) hr = w->SetIsTurningPoint(record.turningPoint ? 1 : 0);
    if (SUCCEEDED(hr)) hr = w->SetIsUserPoint(record.userPoint ? 1 : 0);
    if (SUCCEEDED(hr)) hr = w->SetStreetNameForward(street.Get());
    if (SUCCEEDED(hr)) hr = w->SetNumberOfLanes(record.numberOfLanes);
    if (SUCCEEDED(hr)) hr = w->SetStreetOrientationForward(record.streetOrientationForward);
    if (SUCCEEDED(hr)) hr = w->SetStreetOrientationReverse(record.streetOrientationReverse);
    if (SUCCEEDED(hr)) hr = w->SetDistanceFromLastWaypoint(record.distanceFromLastWaypoint);
    if (SUCCEEDED(hr)) hr = w->SetFeatureIndex(record.featureIndex);
    if (SUCCEEDED(hr)) hr = w->SetCrossStreet(cross.Get());
    if (SUCCEEDED(hr)) hr = w->SetSideOfStreet(record.sideOfStreet);
    if (SUCCEEDED(hr)) hr = w->SetTurnCompleteHeadingDegrees(record.turnCompleteHeading);
    if (SUCCEEDED(hr)) hr = w->SetStreetSpeed(record.streetSpeed);
    if (SUCCEEDED(hr)) hr = w->SetIsRouteBeginningPoint(beginning ? 1 : 0);
    if (SUCCEEDED(hr)) hr = w->SetIsRouteEndPoint(end ? 1 : 0);
    if (FAILED(hr)) return hr;
    *waypoint = w.Detach();
    return S_OK;
}

} // namespace gpscore
