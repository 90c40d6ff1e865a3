// The route and waypoint value objects through the registered module: construction defaults,
// the configuration's reset and copies, user waypoint conversion, and the route's list
// bookkeeping (indices, current waypoint, next and previous moves, reversal, next turn).
#include <gpslib/GPSLib.h>
#include <gpslib/support.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

#include "registered_module.h"

using gpslib::Bstr;
using gpslib::ComPtr;

namespace {

template <class I> ComPtr<I> New(REFCLSID clsid, REFIID iid) {
    ComPtr<I> object;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, iid, object.PutVoid()), S_OK);
    return object;
}

ComPtr<IRouteObject> NewRoute() {
    return New<IRouteObject>(CLSID_RouteObject, IID_IRouteObject);
}
ComPtr<IWaypointObject> NewWaypoint() {
    return New<IWaypointObject>(CLSID_WaypointObject, IID_IWaypointObject);
}
ComPtr<IWaypointUserObject> NewUserWaypoint() {
    return New<IWaypointUserObject>(CLSID_WaypointUserObject, IID_IWaypointUserObject);
}
ComPtr<ILocationObject> NewLocation(double lat, double lon, const char* name = "",
                                    const char* description = "") {
    auto location = New<ILocationObject>(CLSID_LocationObject, IID_ILocationObject);
    location->SetLatitude(lat);
    location->SetLongitude(lon);
    location->SetName(Bstr(name).Get());
    location->SetDescription(Bstr(description).Get());
    return location;
}

// Reads a getter by name through IDispatch and renders the value as text (booleans as their
// raw number, so that 1 and -1 differ).
std::string ReadByName(IDispatch* object, const char* getter) {
    std::u16string wide = gpslib::ToUtf16(getter);
    LPOLESTR names[] = {wide.data()};
    DISPID id = DISPID_UNKNOWN;
    if (object->GetIDsOfNames(IID_NULL, names, 1, 0, &id) != S_OK) return "<no such method>";
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    gpslib::Variant value;
    UINT argErr = 0;
    HRESULT hr = object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, &value, nullptr, &argErr);
    if (hr != S_OK) return "<status " + std::to_string(hr) + ">";
    char text[64];
    switch (value.vt) {
    case VT_BOOL:
        return std::to_string(value.boolVal);
    case VT_I2:
        return std::to_string(value.iVal);
    case VT_I4:
        return std::to_string(value.lVal);
    case VT_R8:
        std::snprintf(text, sizeof text, "%g", value.dblVal);
        return text;
    case VT_BSTR:
        return "\"" + gpslib::ToUtf8(value.bstrVal) + "\"";
    default:
        return "<type " + std::to_string(value.vt) + ">";
    }
}

class RouteObjects : public ::testing::Test {
protected:
    void SetUp() override { gpslib::test::RegisteredCoreStore(); }
};

// ---------------------------------------------------------------------------------------------
// Construction defaults.

struct DefaultCase {
    const CLSID* clsid;
    const char* getter;
    const char* expected;
};

const DefaultCase kDefaults[] = {
    {&CLSID_RouteConfigurationObject, "GetRouteType", "0"},
    {&CLSID_RouteConfigurationObject, "GetSimulationFileToUse", "\"\""},
    {&CLSID_RouteConfigurationObject, "GetWaypointMode", "1"},
    {&CLSID_RouteConfigurationObject, "GetInitialHeading", "-1"},
    {&CLSID_RouteConfigurationObject, "GetRouteFreewayPreference", "0"},
    {&CLSID_RouteConfigurationObject, "GetRouteTurnPreferencePedestrian", "0"},
    {&CLSID_RouteConfigurationObject, "GetRouteTurnPreferenceVehicle", "2"},
    {&CLSID_RouteConfigurationObject, "GetRouteRoundaboutPreference", "0"},
    {&CLSID_RouteConfigurationObject, "GetRouteTollRoadPreference", "0"},
    {&CLSID_RouteConfigurationObject, "GetRouteVehicleMode", "0"},
    {&CLSID_RouteSettingsObject, "GetWaypointMode", "1"},
    {&CLSID_RouteSettingsObject, "IsAutoIncrementWaypointsWhenReachedOn", "1"},
    {&CLSID_RouteSettingsObject, "IsForceSequentialRouteFollowingOn", "0"},
    {&CLSID_RouteSettingsObject, "IsWaypointNumberingOn", "1"},
    {&CLSID_RouteSettingsObject, "GetNumberingDescriptions", "1"},
    {&CLSID_WaypointConfigurationObject, "IncludeDistance", "0"},
    {&CLSID_WaypointConfigurationObject, "GetHeading", "-1"},
    {&CLSID_WaypointConfigurationObject, "GetSpeed", "0"},
    {&CLSID_WaypointConfigurationObject, "GetMode", "0"},
    {&CLSID_WaypointConfigurationObject, "GetDistanceNextWP", "-1"},
    {&CLSID_WaypointObject, "GetIndex", "-1"},
    {&CLSID_WaypointObject, "GetTurnCompleteHeadingDegrees", "-1"},
    {&CLSID_WaypointObject, "IsTurningPoint", "0"},
    {&CLSID_WaypointObject, "IsRouteBeginningPoint", "0"},
    {&CLSID_WaypointObject, "GetSideOfStreet", "0"},
    {&CLSID_WaypointObject, "GetWaypointName", "\"\""},
    {&CLSID_WaypointObject, "IsValid", "0"},
    {&CLSID_WaypointUserObject, "GetTurnType", "0"},
    {&CLSID_WaypointUserObject, "GetHeadingWhenCreated", "-1"},
    {&CLSID_WaypointUserObject, "GetName", "\"\""},
    {&CLSID_WaypointUserObject, "GetStreetNameForward", "\"\""},
    {&CLSID_RouteObject, "GetWaypointCount", "0"},
    {&CLSID_RouteObject, "GetCurrentWaypointIndex", "-1"},
    {&CLSID_RouteObject, "IsRouteReversed", "0"},
    {&CLSID_RouteObject, "NeedsToBeSaved", "0"},
};

TEST_F(RouteObjects, NewObjectsStartWithTheirDefaults) {
    for (const DefaultCase& d : kDefaults) {
        auto object = New<IDispatch>(*d.clsid, IID_IDispatch);
        ASSERT_TRUE(object);
        EXPECT_EQ(ReadByName(object.Get(), d.getter), d.expected) << d.getter;
    }
}

// ---------------------------------------------------------------------------------------------
// Route configuration.

// Gives every field a value other than its default.
void ChangeEveryField(IRouteConfigurationObject* c) {
    c->SetSimulationFileToUse(Bstr("trace.trc").Get());
    c->SetRouteType(RouteTypeVehicleFromSimulation);
    c->SetWaypointMode(WaypointModeAll);
    c->SetInitialHeading(135);
    c->SetRouteFreewayPreference(RouteFreewayAvoidIfPossible);
    c->SetRouteTurnPreferencePedestrian(RouteTurnPedestrianFewest);
    c->SetRouteTurnPreferenceVehicle(RouteTurnVehicleFavorsLeft);
    c->SetRouteRoundaboutPreference(RouteRoundaboutNone);
    c->SetRouteTollRoadPreference(RouteTollRoadAvoidIfPossible);
    c->SetRouteVehicleMode(RouteVehicleModeMixedPedestrian);
}

const char* const kConfigurationGetters[] = {
    "GetRouteType",
    "GetSimulationFileToUse",
    "GetWaypointMode",
    "GetInitialHeading",
    "GetRouteFreewayPreference",
    "GetRouteTurnPreferencePedestrian",
    "GetRouteTurnPreferenceVehicle",
    "GetRouteRoundaboutPreference",
    "GetRouteTollRoadPreference",
    "GetRouteVehicleMode",
};

TEST_F(RouteObjects, ResetToDefaultsGivesTheValuesOfANewConfiguration) {
    auto fresh = New<IRouteConfigurationObject>(CLSID_RouteConfigurationObject,
                                                IID_IRouteConfigurationObject);
    auto changed = New<IRouteConfigurationObject>(CLSID_RouteConfigurationObject,
                                                  IID_IRouteConfigurationObject);
    ChangeEveryField(changed.Get());
    for (const char* getter : kConfigurationGetters) {
        EXPECT_NE(ReadByName(changed.Get(), getter), ReadByName(fresh.Get(), getter)) << getter;
    }
    ASSERT_EQ(changed->ResetToDefaults(), S_OK);
    for (const char* getter : kConfigurationGetters) {
        EXPECT_EQ(ReadByName(changed.Get(), getter), ReadByName(fresh.Get(), getter)) << getter;
    }
}

TEST_F(RouteObjects, ConfigurationIsHandedOutAsAFullCopy) {
    auto route = NewRoute();
    ComPtr<IRouteConfigurationObject> first, second;
    ASSERT_EQ(route->GetRouteConfiguration(first.Put()), S_OK);
    ChangeEveryField(first.Get());
    ASSERT_EQ(route->GetRouteConfiguration(second.Put()), S_OK);
    EXPECT_NE(first.Get(), second.Get());
    EXPECT_EQ(ReadByName(second.Get(), "GetInitialHeading"), "-1"); // The copy did not leak back.

    // SetType changes the route's own configuration, and every field comes out in a copy.
    ASSERT_EQ(route->SetType(RouteTypePedestrian), S_OK);
    ASSERT_EQ(route->GetRouteConfiguration(second.Put()), S_OK);
    EXPECT_EQ(ReadByName(second.Get(), "GetRouteType"), "1");
    VARIANT_BOOL needsSaving = 0;
    ASSERT_EQ(route->NeedsToBeSaved(&needsSaving), S_OK);
    EXPECT_NE(needsSaving, 0);
}

// ---------------------------------------------------------------------------------------------
// User waypoints.

struct ConversionCase {
    WaypointTurnType turn;
    SHORT heading;
    VARIANT_BOOL turning;
    SHORT forward;
    SHORT reverse;
};

const ConversionCase kConversions[] = {
    {WaypointTurnTypeNoTurn, 90, 0, 90, 270},          {WaypointTurnTypeNoTurn, 200, 0, 200, 20},
    {WaypointTurnTypeNoTurn, -1, 0, -1, 179}, // No heading: forward keeps -1 as given.
    {WaypointTurnTypeStraightThrough, 90, 1, 90, 270}, {WaypointTurnTypeLeftTurn, 10, 1, 280, 190},
    {WaypointTurnTypeLeftTurn, 200, 1, 110, 20},       {WaypointTurnTypeRightTurn, 10, 1, 100, 190},
    {WaypointTurnTypeRightTurn, 300, 1, 30, 120},      {WaypointTurnTypeLeftTurn, -1, 1, 269, 179},
};

TEST_F(RouteObjects, UserWaypointsBecomeRecordsWithStreetOrientations) {
    for (const ConversionCase& c : kConversions) {
        SCOPED_TRACE("turn " + std::to_string(c.turn) + " heading " + std::to_string(c.heading));
        auto user = NewUserWaypoint();
        ASSERT_EQ(user->CreateUserWaypoint(
                      NewLocation(43.7, 7.4, "Corner", "By the fountain").Get(), c.turn, c.heading),
                  S_OK);
        user->SetStreetNameForward(Bstr("Rue Grimaldi").Get());
        auto route = NewRoute();
        ComPtr<IWaypointObject> w;
        ASSERT_EQ(route->AddUserWaypointToEndOfRoute(user.Get(), w.Put()), S_OK);
        ASSERT_TRUE(w);

        EXPECT_EQ(ReadByName(w.Get(), "GetIndex"), "1");
        EXPECT_EQ(ReadByName(w.Get(), "IsTurningPoint"), std::to_string(c.turning));
        EXPECT_EQ(ReadByName(w.Get(), "GetStreetOrientationForward"), std::to_string(c.forward));
        EXPECT_EQ(ReadByName(w.Get(), "GetStreetOrientationReverse"), std::to_string(c.reverse));
        // The fixed parts of a converted record, then what the user gave.
        const std::pair<const char*, const char*> kFields[] = {
            {"IsUserPoint", "1"},
            {"GetFeatureIndex", "-1"},
            {"GetNumberOfLanes", "0"},
            {"GetDistanceFromLastWaypoint", "0"},
            {"GetSideOfStreet", "0"},
            {"GetCrossStreet", "\"\""},
            {"GetTurnCompleteHeadingDegrees", "-1"},
            {"GetLatitude", "43.7"},
            {"GetWaypointName", "\"Corner\""},
            {"GetDescription", "\"By the fountain\""},
            {"GetStreetNameForward", "\"Rue Grimaldi\""},
        };
        for (const auto& [getter, expected] : kFields) {
            EXPECT_EQ(ReadByName(w.Get(), getter), expected) << getter;
        }
    }
}

struct CreateCase {
    const char* what;
    WaypointTurnType firstTurn; // Given in a first call (NoTurn and -1: no first call).
    SHORT firstHeading;
    WaypointTurnType turn;
    SHORT heading;
    HRESULT status;
    WaypointTurnType storedTurn;
    SHORT storedHeading;
};

const CreateCase kCreates[] = {
    {"first call", WaypointTurnTypeNoTurn, -1, WaypointTurnTypeLeftTurn, 45, S_OK,
     WaypointTurnTypeLeftTurn, 45},
    {"first call without heading", WaypointTurnTypeNoTurn, -1, WaypointTurnTypeRightTurn, -1, S_OK,
     WaypointTurnTypeRightTurn, -1},
    {"a turn is kept against a call without heading", WaypointTurnTypeLeftTurn, 45,
     WaypointTurnTypeNoTurn, -1, S_FALSE, WaypointTurnTypeLeftTurn, 45},
    {"a turn is replaced by a call with a heading", WaypointTurnTypeLeftTurn, 45,
     WaypointTurnTypeRightTurn, 90, S_OK, WaypointTurnTypeRightTurn, 90},
    {"no turn yet: a call without heading is taken", WaypointTurnTypeNoTurn, 10,
     WaypointTurnTypeStraightThrough, -1, S_OK, WaypointTurnTypeStraightThrough, -1},
};

TEST_F(RouteObjects, CreateUserWaypointKeepsAnEarlierTurnAgainstAMissingHeading) {
    for (const CreateCase& c : kCreates) {
        SCOPED_TRACE(c.what);
        auto user = NewUserWaypoint();
        if (c.firstTurn != WaypointTurnTypeNoTurn || c.firstHeading != -1) {
            ASSERT_EQ(user->CreateUserWaypoint(NewLocation(1, 1, "first").Get(), c.firstTurn,
                                               c.firstHeading),
                      S_OK);
        }
        EXPECT_EQ(user->CreateUserWaypoint(NewLocation(2, 2, "second").Get(), c.turn, c.heading),
                  c.status);
        WaypointTurnType turn = WaypointTurnTypeNoTurn;
        SHORT heading = 0;
        Bstr name;
        user->GetTurnType(&turn);
        user->GetHeadingWhenCreated(&heading);
        user->GetName(name.Put());
        EXPECT_EQ(turn, c.storedTurn);
        EXPECT_EQ(heading, c.storedHeading);
        EXPECT_EQ(name.Utf8(), c.status == S_OK ? "second" : "first");
    }
    auto user = NewUserWaypoint();
    EXPECT_EQ(user->CreateUserWaypoint(nullptr, WaypointTurnTypeLeftTurn, 10), E_POINTER);
}

// ---------------------------------------------------------------------------------------------
// The route's list.

// A route of waypoints drawn as text, one letter each: 't' a turning point, 'x' a waypoint with
// a cross street, 'X' both, '-' neither. Names are "W1", "W2", ...; routes are pedestrian.
ComPtr<IRouteObject> DrawnRoute(const std::string& drawing, bool reversed = false) {
    auto route = NewRoute();
    route->SetType(RouteTypePedestrian);
    for (std::size_t i = 0; i < drawing.size(); ++i) {
        auto w = NewWaypoint();
        w->SetLatitude(43.0 + static_cast<double>(i) / 100);
        w->SetLongitude(7.0);
        w->SetWaypointName(Bstr("W" + std::to_string(i + 1)).Get());
        w->SetIsTurningPoint(drawing[i] == 't' || drawing[i] == 'X');
        if (drawing[i] == 'x' || drawing[i] == 'X') w->SetCrossStreet(Bstr("Cross").Get());
        EXPECT_EQ(route->AddWaypointToEndOfRoute(w.Get()), S_OK);
    }
    if (reversed) {
        VARIANT_BOOL done = 0;
        EXPECT_EQ(route->ReverseRoute(&done), S_OK);
        EXPECT_EQ(done, 1);
    }
    return route;
}

SHORT IndexOf(IWaypointObject* w) {
    SHORT index = -99;
    if (w != nullptr) w->GetIndex(&index);
    return index;
}

void SetCurrent(IRouteObject* route, SHORT index) {
    auto w = NewWaypoint();
    w->SetIndex(index);
    ASSERT_EQ(route->SetCurrentWaypoint(w.Get()), S_OK) << index;
}

SHORT CurrentIndex(IRouteObject* route) {
    SHORT index = -99;
    route->GetCurrentWaypointIndex(&index);
    return index;
}

TEST_F(RouteObjects, EmptyRouteRefersToNoWaypoint) {
    auto route = NewRoute();
    ComPtr<IWaypointObject> w;
    using Getter = HRESULT (IRouteObject::*)(IWaypointObject**);
    for (Getter get : {&IRouteObject::GetRouteBeginning, &IRouteObject::GetRouteEnd,
                       &IRouteObject::GetCurrentWaypoint, &IRouteObject::GetNextTurn}) {
        EXPECT_EQ((route.Get()->*get)(w.Put()), S_FALSE);
        EXPECT_FALSE(w);
    }
    for (SHORT index : {-1, 0, 1}) {
        EXPECT_EQ(route->GetWaypoint(index, w.Put()), S_FALSE) << index;
        EXPECT_FALSE(w);
    }
    EXPECT_EQ(route->GetNextWaypoint(WaypointModeAll, w.Put()), S_FALSE);
    // From no current waypoint the next one is 1: the move lands there, and once the route has
    // a waypoint it is the current one.
    EXPECT_EQ(route->SetNextWaypointAlongRoute(WaypointModeAll, w.Put()), S_FALSE);
    EXPECT_FALSE(w);
    EXPECT_EQ(CurrentIndex(route.Get()), -1);
    ASSERT_EQ(route->AddWaypointToEndOfRoute(NewWaypoint().Get()), S_OK);
    EXPECT_EQ(CurrentIndex(route.Get()), 1);
}

struct MoveCase {
    const char* drawing;
    bool reversed;
    SHORT from;    // -1: no current waypoint.
    bool previous; // SetPreviousWaypointAlongRoute instead of SetNextWaypointAlongRoute.
    WaypointMode mode;
    SHORT expected;
};

const MoveCase kMoves[] = {
    {"--t--", false, -1, false, WaypointModeAll, 1},
    {"--t--", true, -1, false, WaypointModeAll, 5},
    {"--t--", false, 2, false, WaypointModeAll, 3},
    {"--t--", false, 5, false, WaypointModeAll, 5}, // Runs out: the last index.
    {"--t--", true, 1, false, WaypointModeAll, 1},  // Runs out reversed: index 1.
    {"--t--", true, 4, false, WaypointModeAll, 3},
    {"--t--", false, 1, false, WaypointModeTurnsOnly, 3},
    {"--t--", false, 3, false, WaypointModeTurnsOnly, 5}, // No turn ahead: the route end.
    {"--t--", true, 5, false, WaypointModeTurnsOnly, 3},
    {"--t--", true, 2, false, WaypointModeTurnsOnly, 1}, // No turn ahead reversed: index 1.
    {"--t--", false, 1, false, WaypointModeSystem, 3},   // The system mode stops at turns too.
    {"t-t-t", false, 1, false, WaypointModeTurnsOnly, 3},
    {"--t--", false, 3, true, WaypointModeAll, 2},
    {"--t--", true, 3, true, WaypointModeAll, 4},
    {"--t--", false, 5, true, WaypointModeTurnsOnly, 3},
    {"--t--", false, 2, true, WaypointModeTurnsOnly, 1},
    {"--t--", false, -1, true, WaypointModeAll, 5}, // Backwards from nowhere: the far end.
};

TEST_F(RouteObjects, StepsAlongTheRouteFollowModeAndDirection) {
    for (const MoveCase& m : kMoves) {
        SCOPED_TRACE(std::string(m.drawing) + (m.reversed ? " reversed" : "") + " from " +
                     std::to_string(m.from) + (m.previous ? " back" : " on") + " mode " +
                     std::to_string(m.mode));
        auto route = DrawnRoute(m.drawing, m.reversed);
        if (m.from != -1) SetCurrent(route.Get(), m.from);
        ComPtr<IWaypointObject> peek, moved;
        if (!m.previous) {
            EXPECT_EQ(route->GetNextWaypoint(m.mode, peek.Put()), S_OK);
            EXPECT_EQ(IndexOf(peek.Get()), m.expected);
            EXPECT_EQ(CurrentIndex(route.Get()), m.from); // Looking ahead moves nothing.
        }
        auto move = m.previous ? &IRouteObject::SetPreviousWaypointAlongRoute
                               : &IRouteObject::SetNextWaypointAlongRoute;
        EXPECT_EQ((route.Get()->*move)(m.mode, moved.Put()), S_OK);
        EXPECT_EQ(IndexOf(moved.Get()), m.expected);
        EXPECT_EQ(CurrentIndex(route.Get()), m.expected);
    }
}

struct NextTurnCase {
    const char* drawing;
    bool reversed;
    SHORT current;
    SHORT expected;
};

const NextTurnCase kNextTurns[] = {
    {"-x---", false, 3, 2}, // The waypoint just passed has a cross street: it is the turn.
    {"--x--", true, 3, 4},  // Reversed, the current one has it: the turn is the one after.
    {"----x", true, 5, 1},  // ... unless there is none after: then the usual rule.
    {"--t--", false, 3, 3}, // The current waypoint turns.
    {"----t", false, 3, 5}, // The next turning point ahead.
    {"t----", true, 3, 1},  // ... reversed.
    {"-----", false, 2, 5}, // No turn ahead: the route end.
    {"x-t--", false, 1, 3}, // Nothing was passed before waypoint 1.
};

TEST_F(RouteObjects, NextTurnLooksAtCrossStreetsThenTurningPoints) {
    for (const NextTurnCase& c : kNextTurns) {
        SCOPED_TRACE(std::string(c.drawing) + (c.reversed ? " reversed" : "") + " at " +
                     std::to_string(c.current));
        auto route = DrawnRoute(c.drawing, c.reversed);
        SetCurrent(route.Get(), c.current);
        ComPtr<IWaypointObject> turn;
        EXPECT_EQ(route->GetNextTurn(turn.Put()), S_OK);
        EXPECT_EQ(IndexOf(turn.Get()), c.expected);
    }
}

TEST_F(RouteObjects, BeginningAndEndFollowTheDirectionOfTravel) {
    for (bool reversed : {false, true}) {
        SCOPED_TRACE(reversed ? "reversed" : "forward");
        auto route = DrawnRoute("----", reversed);
        ComPtr<IWaypointObject> beginning, end, middle;
        ASSERT_EQ(route->GetRouteBeginning(beginning.Put()), S_OK);
        ASSERT_EQ(route->GetRouteEnd(end.Put()), S_OK);
        ASSERT_EQ(route->GetWaypoint(2, middle.Put()), S_OK);
        EXPECT_EQ(IndexOf(beginning.Get()), reversed ? 4 : 1);
        EXPECT_EQ(IndexOf(end.Get()), reversed ? 1 : 4);
        VARIANT_BOOL flag = 0;
        beginning->IsRouteBeginningPoint(&flag);
        EXPECT_EQ(flag, 1);
        end->IsRouteEndPoint(&flag);
        EXPECT_EQ(flag, 1);
        middle->IsRouteBeginningPoint(&flag);
        EXPECT_EQ(flag, 0);
        middle->IsRouteEndPoint(&flag);
        EXPECT_EQ(flag, 0);
    }
}

TEST_F(RouteObjects, ReversalDependsOnRouteType) {
    const struct {
        RouteType type;
        bool allowed;
    } kTypes[] = {
        {RouteTypeUnknown, false},
        {RouteTypePedestrian, true},
        {RouteTypeVehicle, false},
        {RouteTypeManual, true},
        {RouteTypeCreateFromSimulation, true},
        {RouteTypePedestrianFromSimulation, true},
        {RouteTypeVehicleFromSimulation, false},
        {RouteTypeFromVirtualExploration, true},
    };
    for (const auto& t : kTypes) {
        SCOPED_TRACE(t.type);
        auto route = NewRoute();
        ASSERT_EQ(route->SetType(t.type), S_OK);
        for (VARIANT_BOOL expectedFlag : {VARIANT_BOOL{1}, VARIANT_BOOL{0}}) { // Each call toggles.
            VARIANT_BOOL answer = 7;
            ASSERT_EQ(route->ReverseRoute(&answer), S_OK);
            EXPECT_EQ(answer, t.allowed ? 1 : 0);
            VARIANT_BOOL reversed = 7;
            route->IsRouteReversed(&reversed);
            EXPECT_EQ(reversed, t.allowed ? expectedFlag : 0);
        }
    }
}

TEST_F(RouteObjects, AddingAUserWaypointMakesTheRouteManual) {
    const struct {
        RouteType before;
        RouteType after;
    } kTypes[] = {
        {RouteTypeUnknown, RouteTypeManual},
        {RouteTypePedestrian, RouteTypeManual},
        {RouteTypeVehicle, RouteTypeManual},
        {RouteTypeFromVirtualExploration, RouteTypeFromVirtualExploration},
    };
    for (const auto& t : kTypes) {
        for (bool insert : {false, true}) {
            SCOPED_TRACE(std::to_string(t.before) + (insert ? " insert" : " add"));
            auto route = NewRoute();
            route->AddWaypointToEndOfRoute(NewWaypoint().Get()); // Keeps the type.
            route->SetType(t.before);
            ComPtr<IWaypointObject> w;
            ASSERT_EQ(insert ? route->InsertUserWaypointBefore(NewUserWaypoint().Get(), 1, w.Put())
                             : route->AddUserWaypointToEndOfRoute(NewUserWaypoint().Get(), w.Put()),
                      S_OK);
            ComPtr<IRouteConfigurationObject> configuration;
            route->GetRouteConfiguration(configuration.Put());
            RouteType type = RouteTypeUnknown;
            configuration->GetRouteType(&type);
            EXPECT_EQ(type, t.after);
        }
    }
}

// Names of the route's waypoints in index order.
std::string Names(IRouteObject* route) {
    SHORT count = 0;
    route->GetWaypointCount(&count);
    std::string names;
    for (SHORT i = 1; i <= count; ++i) {
        ComPtr<IWaypointObject> w;
        route->GetWaypoint(i, w.Put());
        Bstr name;
        w->GetWaypointName(name.Put());
        names += (names.empty() ? "" : " ") + name.Utf8();
    }
    return names;
}

ComPtr<IWaypointUserObject> UserWaypoint(const char* name) {
    auto user = NewUserWaypoint();
    user->CreateUserWaypoint(NewLocation(43.0, 7.0, name).Get(), WaypointTurnTypeNoTurn, 0);
    return user;
}

// The list operations, each with an index argument where it takes one (a waypoint object
// carrying that index, or the index itself). Returns the status and the index of the waypoint
// handed back (-99 for none).
enum class Op { Delete, Insert, AddUser, Add, Update, SetCurrent, SetType, Reverse, Next };

HRESULT Apply(IRouteObject* r, Op op, SHORT index, SHORT* returned) {
    auto w = NewWaypoint();
    w->SetIndex(index);
    w->SetWaypointName(Bstr("New").Get());
    ComPtr<IWaypointObject> out;
    VARIANT_BOOL done = 0;
    HRESULT hr = E_UNEXPECTED;
    switch (op) {
    case Op::Delete:
        hr = r->DeleteWaypoint(w.Get());
        break;
    case Op::Insert:
        hr = r->InsertUserWaypointBefore(UserWaypoint("U").Get(), index, out.Put());
        break;
    case Op::AddUser:
        hr = r->AddUserWaypointToEndOfRoute(UserWaypoint("U").Get(), out.Put());
        break;
    case Op::Add:
        hr = r->AddWaypointToEndOfRoute(w.Get());
        break;
    case Op::Update:
        hr = r->UpdateWaypointInRoute(w.Get());
        break;
    case Op::SetCurrent:
        hr = r->SetCurrentWaypoint(w.Get());
        break;
    case Op::SetType:
        hr = r->SetType(RouteTypeManual);
        break;
    case Op::Reverse:
        hr = r->ReverseRoute(&done);
        break;
    case Op::Next:
        hr = r->SetNextWaypointAlongRoute(WaypointModeAll, out.Put());
        break;
    }
    *returned = out ? IndexOf(out.Get()) : -99;
    return hr;
}

struct ListCase {
    Op op;
    SHORT index;
    HRESULT status;
    SHORT returned;
    const char* names; // After the change.
    SHORT current;     // After the change; it was 3 before.
};

const ListCase kListChanges[] = {
    {Op::Delete, 2, S_OK, -99, "W1 W3 W4", -1},
    {Op::Delete, 0, S_FALSE, -99, "W1 W2 W3 W4", 3},
    {Op::Delete, 5, S_FALSE, -99, "W1 W2 W3 W4", 3},
    {Op::Insert, 2, S_OK, 2, "W1 U W2 W3 W4", 2},
    {Op::Insert, 4, S_OK, 4, "W1 W2 W3 U W4", 4},
    {Op::Insert, 0, S_FALSE, -99, "W1 W2 W3 W4", 3},
    {Op::Insert, 5, S_FALSE, -99, "W1 W2 W3 W4", 3},
    {Op::AddUser, 0, S_OK, 5, "W1 W2 W3 W4 U", 3},
    {Op::Add, -1, S_OK, -99, "W1 W2 W3 W4 New", 3},
    {Op::Update, 1, S_OK, -99, "New W2 W3 W4", 3}, // The current waypoint stays.
    {Op::Update, -1, S_FALSE, -99, "W1 W2 W3 W4", 3},
    {Op::SetCurrent, 0, S_FALSE, -99, "W1 W2 W3 W4", 3},
    {Op::SetCurrent, 4, S_OK, -99, "W1 W2 W3 W4", 4},
};

TEST_F(RouteObjects, ListChangesMoveIndicesAndTheCurrentWaypoint) {
    for (const ListCase& c : kListChanges) {
        SCOPED_TRACE("operation " + std::to_string(static_cast<int>(c.op)) + " at " +
                     std::to_string(c.index));
        auto route = DrawnRoute("----");
        SetCurrent(route.Get(), 3);
        SHORT returned = 0;
        EXPECT_EQ(Apply(route.Get(), c.op, c.index, &returned), c.status);
        EXPECT_EQ(returned, c.returned);
        EXPECT_EQ(Names(route.Get()), c.names);
        EXPECT_EQ(CurrentIndex(route.Get()), c.current);
    }
}

TEST_F(RouteObjects, NeedsSavingIsSetByListChangesAndTheTypeOnly) {
    const struct {
        Op op;
        SHORT index;
        bool marks;
    } kChanges[] = {
        {Op::Add, -1, true},     {Op::AddUser, 0, true}, {Op::SetType, 0, true},
        {Op::Insert, 1, false},  {Op::Delete, 1, false}, {Op::Update, 1, false}, // No index 1.
        {Op::Reverse, 0, false}, {Op::Next, 0, false},
    };
    for (const auto& c : kChanges) {
        auto route = NewRoute();
        SHORT returned = 0;
        Apply(route.Get(), c.op, c.index, &returned);
        VARIANT_BOOL needsSaving = 7;
        ASSERT_EQ(route->NeedsToBeSaved(&needsSaving), S_OK);
        EXPECT_EQ(needsSaving != 0, c.marks) << static_cast<int>(c.op);
    }
}

TEST_F(RouteObjects, MissingWaypointsAreRefused) {
    auto route = DrawnRoute("--");
    ComPtr<IWaypointObject> w;
    EXPECT_EQ(route->DeleteWaypoint(nullptr), E_POINTER);
    EXPECT_EQ(route->UpdateWaypointInRoute(nullptr), E_POINTER);
    EXPECT_EQ(route->SetCurrentWaypoint(nullptr), E_POINTER);
    EXPECT_EQ(route->AddWaypointToEndOfRoute(nullptr), E_POINTER);
    EXPECT_EQ(route->AddUserWaypointToEndOfRoute(nullptr, w.Put()), E_POINTER);
    EXPECT_EQ(route->InsertUserWaypointBefore(nullptr, 1, w.Put()), E_POINTER);
    EXPECT_EQ(Names(route.Get()), "W1 W2");
}

TEST_F(RouteObjects, WaypointsAreCopiedInAndOut) {
    auto route = NewRoute();
    auto w = NewWaypoint();
    w->SetLatitude(45.5);
    w->SetLongitude(-73.25);
    w->SetWaypointName(Bstr("Main & 1st").Get());
    w->SetDescription(Bstr("library").Get());
    w->SetIsTurningPoint(1);
    w->SetIsUserPoint(1);
    w->SetStreetNameForward(Bstr("1st Avenue").Get());
    w->SetNumberOfLanes(3);
    w->SetStreetOrientationForward(90);
    w->SetStreetOrientationReverse(0);
    w->SetDistanceFromLastWaypoint(120.5);
    w->SetFeatureIndex(17);
    w->SetCrossStreet(Bstr("Main Street").Get());
    w->SetSideOfStreet(RightSide);
    w->SetTurnCompleteHeadingDegrees(95);
    w->SetStreetSpeed(50);
    ASSERT_EQ(route->AddWaypointToEndOfRoute(w.Get()), S_OK);
    w->SetWaypointName(Bstr("changed after adding").Get());

    ComPtr<IWaypointObject> out;
    ASSERT_EQ(route->GetWaypoint(1, out.Put()), S_OK);
    ASSERT_NE(out.Get(), w.Get());
    const char* const kGetters[] = {
        "GetLatitude",
        "GetLongitude",
        "GetDescription",
        "IsTurningPoint",
        "IsUserPoint",
        "GetStreetNameForward",
        "GetNumberOfLanes",
        "GetStreetOrientationForward",
        "GetStreetOrientationReverse",
        "GetDistanceFromLastWaypoint",
        "GetFeatureIndex",
        "GetCrossStreet",
        "GetSideOfStreet",
        "GetTurnCompleteHeadingDegrees",
        "GetStreetSpeed",
    };
    for (const char* getter : kGetters) {
        EXPECT_EQ(ReadByName(out.Get(), getter), ReadByName(w.Get(), getter)) << getter;
    }
    EXPECT_EQ(ReadByName(out.Get(), "GetWaypointName"), "\"Main & 1st\"");
    EXPECT_EQ(ReadByName(out.Get(), "GetIndex"), "1");

    // A change to the copy reaches the route only through UpdateWaypointInRoute.
    out->SetStreetSpeed(30);
    ComPtr<IWaypointObject> again;
    route->GetWaypoint(1, again.Put());
    EXPECT_EQ(ReadByName(again.Get(), "GetStreetSpeed"), "50");
    ASSERT_EQ(route->UpdateWaypointInRoute(out.Get()), S_OK);
    route->GetWaypoint(1, again.Put());
    EXPECT_EQ(ReadByName(again.Get(), "GetStreetSpeed"), "30");
}

TEST_F(RouteObjects, TheCountStaysWithinSixteenBits) {
    auto route = NewRoute();
    auto w = NewWaypoint();
    for (int i = 0; i < 32767; ++i)
        ASSERT_EQ(route->AddWaypointToEndOfRoute(w.Get()), S_OK) << i;
    EXPECT_EQ(route->AddWaypointToEndOfRoute(w.Get()), E_FAIL);
    ComPtr<IWaypointObject> added;
    EXPECT_EQ(route->AddUserWaypointToEndOfRoute(UserWaypoint("U").Get(), added.Put()), E_FAIL);
    SHORT count = 0;
    route->GetWaypointCount(&count);
    EXPECT_EQ(count, 32767);
}

// ---------------------------------------------------------------------------------------------
// A waypoint's location.

TEST_F(RouteObjects, WaypointNameAndDescriptionAreItsLocations) {
    auto w = NewWaypoint();
    ASSERT_EQ(w->SetLocation(NewLocation(48.5, 2.25, "Gare", "hall").Get()), S_OK);
    EXPECT_EQ(ReadByName(w.Get(), "GetWaypointName"), "\"Gare\"");
    EXPECT_EQ(ReadByName(w.Get(), "GetName"), "\"Gare\"");
    EXPECT_EQ(ReadByName(w.Get(), "GetDescription"), "\"hall\"");
    EXPECT_EQ(ReadByName(w.Get(), "IsValid"), "1");
    w->SetName(Bstr("Quai").Get());
    EXPECT_EQ(ReadByName(w.Get(), "GetWaypointName"), "\"Quai\"");
    ComPtr<ILocationObject> location;
    ASSERT_EQ(w->GetLocation(location.Put()), S_OK);
    EXPECT_EQ(ReadByName(location.Get(), "GetName"), "\"Quai\"");
    EXPECT_EQ(ReadByName(location.Get(), "GetLongitude"), "2.25");
    location->SetLatitude(0.0); // A copy: the waypoint keeps its position.
    EXPECT_EQ(ReadByName(w.Get(), "GetLatitude"), "48.5");
    EXPECT_EQ(w->SetLocation(nullptr), E_POINTER);
}

} // namespace
