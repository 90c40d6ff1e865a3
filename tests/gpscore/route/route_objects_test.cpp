// The route and waypoint value objects through the registered module: the configuration's
// reset and copies, user waypoint conversion, and the route's list bookkeeping (indices, the
// current waypoint, moves along the route, reversal, the 16-bit count).
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "registered_module.h"
#include "value.h"

using gpslib::Bstr;
using gpslib::ComPtr;
using gpslib::test::ChangeFields;
using gpslib::test::Fields;
using gpslib::test::NewLocation;
using gpslib::test::ReadByName;
using gpslib::test::ReadFields;

namespace {

SHORT IndexOf(IWaypointObject* w) {
    SHORT index = -99;
    if (w != nullptr) w->GetIndex(&index);
    return index;
}

void SetCurrent(IRouteObject* route, SHORT index) {
    auto w = GPS_NEW(WaypointObject);
    w->SetIndex(index);
    ASSERT_EQ(route->SetCurrentWaypoint(w.Get()), S_OK) << index;
}

SHORT CurrentIndex(IRouteObject* route) {
    SHORT index = -99;
    route->GetCurrentWaypointIndex(&index);
    return index;
}

// Names of the route's waypoints in index order.
std::string Names(IRouteObject* route) {
    const SHORT count = gpslib::test::Value(route, &IRouteObject::GetWaypointCount);
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
    auto user = GPS_NEW(WaypointUserObject);
    user->CreateUserWaypoint(NewLocation(43.0, 7.0, name).Get(), WaypointTurnTypeNoTurn, 0);
    return user;
}

// A pedestrian route of waypoints drawn as text, one letter each: 't' a turning point, 'x' a
// waypoint with a cross street, '-' neither. Names are "W1", "W2", ...
ComPtr<IRouteObject> DrawnRoute(const std::string& drawing, bool reversed = false) {
    auto route = GPS_NEW(RouteObject);
    route->SetType(RouteTypePedestrian);
    for (std::size_t i = 0; i < drawing.size(); ++i) {
        auto w = GPS_NEW(WaypointObject);
        w->SetWaypointName(Bstr("W" + std::to_string(i + 1)).Get());
        w->SetIsTurningPoint(drawing[i] == 't');
        if (drawing[i] == 'x') w->SetCrossStreet(Bstr("Cross").Get());
        EXPECT_EQ(route->AddWaypointToEndOfRoute(w.Get()), S_OK);
    }
    VARIANT_BOOL done = 0;
    if (reversed) {
        EXPECT_EQ(route->ReverseRoute(&done), S_OK);
    }
    return route;
}

TEST(RouteObject, ResetToDefaultsGivesTheValuesOfANewConfiguration) {
    auto fresh = GPS_NEW(RouteConfigurationObject);
    auto changed = GPS_NEW(RouteConfigurationObject);
    ChangeFields(changed.Get(), CLSID_RouteConfigurationObject);
    ASSERT_EQ(changed->ResetToDefaults(), S_OK);
    EXPECT_EQ(Fields(changed.Get(), CLSID_RouteConfigurationObject),
              Fields(fresh.Get(), CLSID_RouteConfigurationObject));
}

TEST(RouteObject, ConfigurationIsHandedOutAsACopy) {
    auto route = GPS_NEW(RouteObject);
    ASSERT_EQ(route->SetType(RouteTypePedestrian), S_OK);
    ComPtr<IRouteConfigurationObject> first, second;
    ASSERT_EQ(route->GetRouteConfiguration(first.Put()), S_OK);
    const auto handedOut = Fields(first.Get(), CLSID_RouteConfigurationObject);
    EXPECT_EQ(handedOut.at("GetRouteType"), "1");
    ChangeFields(first.Get(), CLSID_RouteConfigurationObject);
    ASSERT_EQ(route->GetRouteConfiguration(second.Put()), S_OK);
    EXPECT_NE(first.Get(), second.Get());
    EXPECT_EQ(Fields(second.Get(), CLSID_RouteConfigurationObject), handedOut);
}

TEST(RouteObject, UserWaypointsBecomeRecordsWithStreetOrientations) {
    const struct {
        WaypointTurnType turn;
        SHORT heading;
        const char *turning, *forward, *reverse;
    } kConversions[] = {
        {WaypointTurnTypeNoTurn, 90, "0", "90", "270"},
        {WaypointTurnTypeNoTurn, 200, "0", "200", "20"},
        {WaypointTurnTypeNoTurn, -1, "0", "-1", "179"}, // No heading: forward keeps -1 as given.
        {WaypointTurnTypeStraightThrough, 90, "1", "90", "270"},
        {WaypointTurnTypeLeftTurn, 10, "1", "280", "190"},
        {WaypointTurnTypeLeftTurn, 200, "1", "110", "20"},
        {WaypointTurnTypeRightTurn, 10, "1", "100", "190"},
        {WaypointTurnTypeRightTurn, 300, "1", "30", "120"},
        {WaypointTurnTypeLeftTurn, -1, "1", "269", "179"},
    };
    // The fixed parts of a converted record, then what the user gave.
    const std::string kRest = " GetIndex=1 IsUserPoint=1 GetFeatureIndex=-1 GetCrossStreet=\"\" "
                              "GetTurnCompleteHeadingDegrees=-1 GetLatitude=43.7 "
                              "GetWaypointName=\"Corner\" GetDescription=\"By the fountain\" "
                              "GetStreetNameForward=\"Rue Grimaldi\"";
    for (const auto& c : kConversions) {
        SCOPED_TRACE("turn " + std::to_string(c.turn) + " heading " + std::to_string(c.heading));
        auto user = GPS_NEW(WaypointUserObject);
        ASSERT_EQ(user->CreateUserWaypoint(
                      NewLocation(43.7, 7.4, "Corner", "By the fountain").Get(), c.turn, c.heading),
                  S_OK);
        user->SetStreetNameForward(Bstr("Rue Grimaldi").Get());
        ComPtr<IWaypointObject> w;
        ASSERT_EQ(GPS_NEW(RouteObject)->AddUserWaypointToEndOfRoute(user.Get(), w.Put()), S_OK);
        const std::string expected = std::string("IsTurningPoint=") + c.turning +
                                     " GetStreetOrientationForward=" + c.forward +
                                     " GetStreetOrientationReverse=" + c.reverse + kRest;
        EXPECT_EQ(ReadFields(w.Get(), expected), expected);
    }
}

TEST(RouteObject, CreateUserWaypointKeepsAnEarlierTurnAgainstAMissingHeading) {
    // Each row: a first call with a turn and heading, then a second call.
    const struct {
        WaypointTurnType firstTurn;
        SHORT firstHeading;
        WaypointTurnType turn;
        SHORT heading;
        HRESULT status;
    } kCreates[] = {
        {WaypointTurnTypeLeftTurn, 45, WaypointTurnTypeNoTurn, -1, S_FALSE}, // Kept.
        {WaypointTurnTypeLeftTurn, 45, WaypointTurnTypeRightTurn, 90, S_OK},
        {WaypointTurnTypeNoTurn, 10, WaypointTurnTypeStraightThrough, -1, S_OK}, // No turn yet.
    };
    for (const auto& c : kCreates) {
        SCOPED_TRACE(std::to_string(c.firstTurn) + " then " + std::to_string(c.turn));
        auto user = GPS_NEW(WaypointUserObject);
        ASSERT_EQ(
            user->CreateUserWaypoint(NewLocation(1, 1, "first").Get(), c.firstTurn, c.firstHeading),
            S_OK);
        EXPECT_EQ(user->CreateUserWaypoint(NewLocation(2, 2, "second").Get(), c.turn, c.heading),
                  c.status);
        const bool taken = c.status == S_OK;
        EXPECT_EQ(ReadByName(user.Get(), "GetTurnType"),
                  std::to_string(taken ? c.turn : c.firstTurn));
        EXPECT_EQ(ReadByName(user.Get(), "GetHeadingWhenCreated"),
                  std::to_string(taken ? c.heading : c.firstHeading));
        EXPECT_EQ(ReadByName(user.Get(), "GetName"), taken ? "\"second\"" : "\"first\"");
    }
    EXPECT_EQ(
        GPS_NEW(WaypointUserObject)->CreateUserWaypoint(nullptr, WaypointTurnTypeLeftTurn, 10),
        E_POINTER);
}

// ---------------------------------------------------------------------------------------------
// The route's list.

TEST(RouteObject, EmptyRouteRefersToNoWaypoint) {
    auto route = GPS_NEW(RouteObject);
    ComPtr<IWaypointObject> w;
    using Getter = HRESULT (IRouteObject::*)(IWaypointObject**);
    for (Getter get : {&IRouteObject::GetRouteBeginning, &IRouteObject::GetRouteEnd,
                       &IRouteObject::GetCurrentWaypoint, &IRouteObject::GetNextTurn}) {
        EXPECT_EQ((route.Get()->*get)(w.Put()), S_FALSE);
        EXPECT_FALSE(w);
    }
    for (SHORT index : {-1, 0, 1})
        EXPECT_EQ(route->GetWaypoint(index, w.Put()), S_FALSE) << index;
    EXPECT_EQ(route->GetNextWaypoint(WaypointModeAll, w.Put()), S_FALSE);
    // From no current waypoint the next one is 1: the move lands there, and once the route has
    // a waypoint it is the current one.
    EXPECT_EQ(route->SetNextWaypointAlongRoute(WaypointModeAll, w.Put()), S_FALSE);
    EXPECT_FALSE(w);
    EXPECT_EQ(CurrentIndex(route.Get()), -1);
    ASSERT_EQ(route->AddWaypointToEndOfRoute(GPS_NEW(WaypointObject).Get()), S_OK);
    EXPECT_EQ(CurrentIndex(route.Get()), 1);
}

// The steps are the model's (route_model_test.cpp): the object looks ahead and moves.
TEST(RouteObject, StepsLookAheadOrMoveTheCurrentWaypoint) {
    auto route = DrawnRoute("--t--");
    SetCurrent(route.Get(), 2);
    ComPtr<IWaypointObject> w;
    EXPECT_EQ(route->GetNextWaypoint(WaypointModeTurnsOnly, w.Put()), S_OK);
    EXPECT_EQ(IndexOf(w.Get()), 3);
    EXPECT_EQ(CurrentIndex(route.Get()), 2);
    EXPECT_EQ(route->SetPreviousWaypointAlongRoute(WaypointModeAll, w.Put()), S_OK);
    EXPECT_EQ(CurrentIndex(route.Get()), 1);
    EXPECT_EQ(route->SetNextWaypointAlongRoute(WaypointModeAll, w.Put()), S_OK);
    EXPECT_EQ(IndexOf(w.Get()), 2);
}

TEST(RouteObject, BeginningAndEndFollowTheDirectionOfTravel) {
    for (bool reversed : {false, true}) {
        SCOPED_TRACE(reversed ? "reversed" : "forward");
        auto route = DrawnRoute("---", reversed); // A walking route turns round.
        EXPECT_EQ(ReadByName(route.Get(), "IsRouteReversed"), reversed ? "1" : "0");
        ComPtr<IWaypointObject> beginning, end, first, middle;
        ASSERT_EQ(route->GetRouteBeginning(beginning.Put()), S_OK);
        ASSERT_EQ(route->GetRouteEnd(end.Put()), S_OK);
        EXPECT_EQ(IndexOf(beginning.Get()), reversed ? 3 : 1);
        EXPECT_EQ(IndexOf(end.Get()), reversed ? 1 : 3);
        // Every waypoint handed out says whether it is the beginning or the end.
        ASSERT_EQ(route->GetWaypoint(1, first.Put()), S_OK);
        ASSERT_EQ(route->GetWaypoint(2, middle.Put()), S_OK);
        EXPECT_EQ(ReadByName(first.Get(), "IsRouteBeginningPoint"), reversed ? "0" : "1");
        EXPECT_EQ(ReadByName(first.Get(), "IsRouteEndPoint"), reversed ? "1" : "0");
        EXPECT_EQ(ReadByName(middle.Get(), "IsRouteBeginningPoint"), "0");
        EXPECT_EQ(ReadByName(middle.Get(), "IsRouteEndPoint"), "0");
    }
}

TEST(RouteObject, AddingAUserWaypointMakesTheRouteManual) {
    for (RouteType before : {RouteTypeUnknown, RouteTypePedestrian, RouteTypeVehicle,
                             RouteTypeFromVirtualExploration}) {
        for (bool insert : {false, true}) {
            SCOPED_TRACE(std::to_string(before) + (insert ? " insert" : " add"));
            auto route = GPS_NEW(RouteObject);
            route->AddWaypointToEndOfRoute(GPS_NEW(WaypointObject).Get()); // Keeps the type.
            route->SetType(before);
            ComPtr<IWaypointObject> w;
            ASSERT_EQ(insert ? route->InsertUserWaypointBefore(UserWaypoint("U").Get(), 1, w.Put())
                             : route->AddUserWaypointToEndOfRoute(UserWaypoint("U").Get(), w.Put()),
                      S_OK);
            const RouteType after =
                before == RouteTypeFromVirtualExploration ? before : RouteTypeManual;
            ComPtr<IRouteConfigurationObject> configuration;
            route->GetRouteConfiguration(configuration.Put());
            EXPECT_EQ(ReadByName(configuration.Get(), "GetRouteType"), std::to_string(after));
        }
    }
}

// The list operations, each with an index argument where it takes one (a waypoint object
// carrying that index, or the index itself). Returns the status and the index of the waypoint
// handed back (-99 for none).
enum class Op { Delete, Insert, AddUser, Add, Update, SetCurrent, SetType, Reverse, Next };

HRESULT Apply(IRouteObject* r, Op op, SHORT index, SHORT* returned) {
    auto w = GPS_NEW(WaypointObject);
    w->SetIndex(index);
    w->SetWaypointName(Bstr("New").Get());
    ComPtr<IWaypointObject> out;
    VARIANT_BOOL done = 0;
    const HRESULT hr =
        op == Op::Delete    ? r->DeleteWaypoint(w.Get())
        : op == Op::Insert  ? r->InsertUserWaypointBefore(UserWaypoint("U").Get(), index, out.Put())
        : op == Op::AddUser ? r->AddUserWaypointToEndOfRoute(UserWaypoint("U").Get(), out.Put())
        : op == Op::Add     ? r->AddWaypointToEndOfRoute(w.Get())
        : op == Op::Update  ? r->UpdateWaypointInRoute(w.Get())
        : op == Op::SetCurrent ? r->SetCurrentWaypoint(w.Get())
        : op == Op::SetType    ? r->SetType(RouteTypeManual)
        : op == Op::Reverse    ? r->ReverseRoute(&done)
                               : r->SetNextWaypointAlongRoute(WaypointModeAll, out.Put());
    *returned = out ? IndexOf(out.Get()) : -99;
    return hr;
}

TEST(RouteObject, ListChangesMoveIndicesAndTheCurrentWaypoint) {
    const struct {
        Op op;
        SHORT index;
        HRESULT status;
        SHORT returned;
        const char* names; // After the change.
        SHORT current;     // After the change; it was 3 before.
    } kListChanges[] = {
        {Op::Delete, 2, S_OK, -99, "W1 W3 W4", -1},
        {Op::Delete, 0, S_FALSE, -99, "W1 W2 W3 W4", 3},
        {Op::Delete, 5, S_FALSE, -99, "W1 W2 W3 W4", 3},
        {Op::Insert, 2, S_OK, 2, "W1 U W2 W3 W4", 2},
        {Op::Insert, 4, S_OK, 4, "W1 W2 W3 U W4", 4},
        {Op::Insert, 0, S_FALSE, -99, "W1 W2 W3 W4", 3},
        {Op::Insert, 5, S_FALSE, -99, "W1 W2 W3 W4", 3},
        {Op::AddUser, 0, S_OK, 5, "W1 W2 W3 W4 U", 3},
        {Op::Add, -1, S_OK, -99, "W1 W2 W3 W4 New", 3},
        {Op::Update, 1, S_OK, -99, "New W2 W3 W4", 3}, // The current stays.
        {Op::Update, -1, S_FALSE, -99, "W1 W2 W3 W4", 3},
        {Op::SetCurrent, 0, S_FALSE, -99, "W1 W2 W3 W4", 3},
        {Op::SetCurrent, 4, S_OK, -99, "W1 W2 W3 W4", 4},
    };
    for (const auto& c : kListChanges) {
        SCOPED_TRACE(::testing::Message()
                     << "operation " << static_cast<int>(c.op) << " at " << c.index);
        auto route = DrawnRoute("----");
        SetCurrent(route.Get(), 3);
        SHORT returned = 0;
        EXPECT_EQ(Apply(route.Get(), c.op, c.index, &returned), c.status);
        EXPECT_EQ(returned, c.returned);
        EXPECT_EQ(Names(route.Get()), c.names);
        EXPECT_EQ(CurrentIndex(route.Get()), c.current);
    }
}

TEST(RouteObject, NeedsSavingIsSetByListChangesAndTheTypeOnly) {
    const struct {
        Op op;
        SHORT index;
        const char* marks;
    } kChanges[] = {
        {Op::Add, -1, "1"},    {Op::AddUser, 0, "1"}, {Op::SetType, 0, "1"},
        {Op::Insert, 1, "0"},  {Op::Delete, 1, "0"},  {Op::Update, 1, "0"}, // No index 1.
        {Op::Reverse, 0, "0"}, {Op::Next, 0, "0"},
    };
    for (const auto& c : kChanges) {
        auto route = GPS_NEW(RouteObject);
        SHORT returned = 0;
        Apply(route.Get(), c.op, c.index, &returned);
        EXPECT_EQ(ReadByName(route.Get(), "NeedsToBeSaved"), c.marks) << static_cast<int>(c.op);
    }
}

TEST(RouteObject, MissingWaypointsAreRefused) {
    auto route = DrawnRoute("--");
    ComPtr<IWaypointObject> w;
    EXPECT_EQ(route->DeleteWaypoint(nullptr), E_POINTER);
    EXPECT_EQ(route->AddWaypointToEndOfRoute(nullptr), E_POINTER);
    EXPECT_EQ(route->AddUserWaypointToEndOfRoute(nullptr, w.Put()), E_POINTER);
    EXPECT_EQ(route->InsertUserWaypointBefore(nullptr, 1, w.Put()), E_POINTER);
    EXPECT_EQ(Names(route.Get()), "W1 W2");
}

TEST(RouteObject, WaypointsAreCopiedInAndOut) {
    auto route = GPS_NEW(RouteObject);
    auto w = GPS_NEW(WaypointObject);
    ChangeFields(w.Get(), CLSID_WaypointObject);
    w->SetLocation(NewLocation(45.5, -73.25, "Main & 1st", "library").Get());
    ASSERT_EQ(route->AddWaypointToEndOfRoute(w.Get()), S_OK);
    auto expected = Fields(w.Get(), CLSID_WaypointObject);
    expected["GetIndex"] = "1";
    w->SetStreetSpeed(1); // Copied in: later changes stay out.

    ComPtr<IWaypointObject> out, again;
    ASSERT_EQ(route->GetWaypoint(1, out.Put()), S_OK);
    EXPECT_EQ(Fields(out.Get(), CLSID_WaypointObject), expected);
    for (const char* getter : {"GetLatitude", "GetLongitude", "GetWaypointName", "GetDescription"})
        EXPECT_EQ(ReadByName(out.Get(), getter), ReadByName(w.Get(), getter)) << getter;

    // A change to the copy reaches the route only through UpdateWaypointInRoute.
    out->SetStreetSpeed(30);
    route->GetWaypoint(1, again.Put());
    EXPECT_EQ(ReadByName(again.Get(), "GetStreetSpeed"), expected["GetStreetSpeed"]);
    ASSERT_EQ(route->UpdateWaypointInRoute(out.Get()), S_OK);
    route->GetWaypoint(1, again.Put());
    EXPECT_EQ(ReadByName(again.Get(), "GetStreetSpeed"), "30");
}

TEST(RouteObject, TheCountStaysWithinSixteenBits) {
    auto route = GPS_NEW(RouteObject);
    auto w = GPS_NEW(WaypointObject);
    for (int i = 0; i < 32767; ++i)
        ASSERT_EQ(route->AddWaypointToEndOfRoute(w.Get()), S_OK) << i;
    EXPECT_EQ(route->AddWaypointToEndOfRoute(w.Get()), E_FAIL);
    ComPtr<IWaypointObject> added;
    EXPECT_EQ(route->AddUserWaypointToEndOfRoute(UserWaypoint("U").Get(), added.Put()), E_FAIL);
    EXPECT_EQ(ReadByName(route.Get(), "GetWaypointCount"), "32767");
}

} // namespace
