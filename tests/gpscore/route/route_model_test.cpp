// The route's numbers and texts, worked out by hand over drawn routes: four waypoints due north
// of each other along the meridian 10 E, 0.001 degree apart (111.125 m on the service's sphere),
// with and without stored distances; the length, the waypoint ahead, the percent done, the
// arrival time, the turn at a waypoint and the waypoint description.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "description_fixture.h"
#include "route/RouteGeometry.h"
#include "route/RouteModel.h"
#include "route/RouteObject.h"
#include "route/RouteTexts.h"

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;

constexpr double kStep = 0.001; // degrees of latitude between waypoints
constexpr double kStepMetres = 111.12511347447892;

ComPtr<ILocationObject> Place(double latitude, double longitude = 10.0) {
    ComPtr<ILocationObject> place;
    EXPECT_EQ(gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &place), S_OK);
    place->SetLatitude(latitude);
    place->SetLongitude(longitude);
    return place;
}

// Waypoints at 45.000, 45.001, ... named W1, W2, ...; `stored` the distances from the last one
// (empty: none stored); `turns` the indices that are turning points.
ComPtr<IRouteObject> NorthRoute(int count, std::vector<double> stored = {},
                                std::vector<int> turns = {}, RouteType type = RouteTypePedestrian) {
    ComPtr<IRouteObject> route;
    EXPECT_EQ(gpslib::CreateObject(CLSID_RouteObject, IID_IRouteObject, &route), S_OK);
    route->SetType(type);
    auto& model = *gpslib::ImplOf<CRouteObject>(route.Get())->Model();
    for (int i = 1; i <= count; ++i) {
        gpscore::WaypointRecord w;
        w.latitude = 45.0 + kStep * (i - 1);
        w.longitude = 10.0;
        w.name = u"W" + std::u16string(1, static_cast<char16_t>(u'0' + i));
        w.distanceFromLastWaypoint = stored.empty() ? 0.0 : stored[i - 1];
        for (int t : turns)
            w.turningPoint = w.turningPoint || t == i;
        model.Append(w);
    }
    return route;
}

SHORT IndexOf(IWaypointObject* w) {
    SHORT index = -99;
    if (w != nullptr) w->GetIndex(&index);
    return index;
}

class RouteModel : public DescriptionFixture {};

TEST_F(RouteModel, TotalDistanceSumsStoredDistancesOrMeasuresTheWaypoints) {
    struct Case {
        const char* what;
        std::vector<double> stored;
        Units units;
        LONG total;
        const char* text;
    } cases[] = {
        {"stored, metres",
         {0, 100, 250, 50},
         Metric,
         400,
         "Total route distance: 0.40 kilometres."},
        // 400 m is 1312.34 ft.
        {"stored, feet", {0, 100, 250, 50}, Imperial, 1312, "Total route distance: 0.24 miles."},
        // Three steps of 0.0600028 nm: 1093.75 ft, and (1093.75 + 1) x 0.3048 = 333.68 m.
        {"measured, feet", {}, Imperial, 1093, "Total route distance: 0.20 miles."},
        {"measured, metres", {}, Metric, 333, "Total route distance: 0.33 kilometres."},
    };
    for (const Case& c : cases) {
        Change([&](System& s) { s.units = c.units; });
        auto route = NorthRoute(4, c.stored);
        LONG total = -1;
        Bstr text;
        EXPECT_EQ(route->TotalRouteDistance(&total), S_OK);
        EXPECT_EQ(route->TotalRouteDistanceDescription(text.Put()), S_OK);
        EXPECT_EQ(total, c.total) << c.what;
        EXPECT_EQ(text.Utf8(), c.text) << c.what;
    }
}

TEST_F(RouteModel, WaypointAheadAndPercentCompleteAlongTheRoute) {
    Change([&](System& s) { s.units = Metric; });
    struct Case {
        const char* what;
        double latitude;
        bool reversed;
        SHORT ahead;
        SHORT percent;
    } cases[] = {
        // A quarter of the way from W2 to W3: 83.34 m to W3 plus the stored 111 to W4 leave
        // 194.34 of 333: 41 %. Backwards, 27.78 m to W2 plus 111 to W1: 58 %.
        {"forward", 45.00125, false, 3, 41},
        {"reversed", 45.00125, true, 2, 58},
        // Before the beginning everything is still to come; on the end nothing is.
        {"before the beginning", 44.999, false, 1, 0},
        {"on the end", 45.003, false, 4, 100},
        // Standing on the first waypoint the traveller heads for the second.
        {"on the beginning", 45.0, false, 2, 0},
        {"no position", 0.0, false, -1, 0},
    };
    for (const Case& c : cases) {
        auto route = NorthRoute(4, {0, 111, 111, 111});
        VARIANT_BOOL done = 0;
        if (c.reversed) route->ReverseRoute(&done);
        auto here = c.latitude != 0.0 ? Place(c.latitude) : Place(0.0, 0.0);
        ComPtr<IWaypointObject> ahead;
        route->GetDirectNextWaypointNearestLocation(here.Get(), ahead.Put());
        SHORT percent = -1;
        EXPECT_EQ(route->PercentComplete(here.Get(), &percent), S_OK);
        EXPECT_EQ(IndexOf(ahead.Get()), c.ahead == -1 ? -99 : c.ahead) << c.what;
        EXPECT_EQ(percent, c.percent) << c.what;
    }
}

TEST_F(RouteModel, KnownDistanceToTheNextWaypointReplacesTheStraightOne) {
    Change([&](System& s) { s.units = Metric; });
    auto route = NorthRoute(4, {0, 111, 111, 111});
    // 20 m to W3 (as the routing knows it) plus 111: 131 left, 60 % done.
    SHORT percent = -1;
    EXPECT_EQ(route->PercentCompleteAccurate(Place(45.00125).Get(), 20.0, &percent), S_OK);
    EXPECT_EQ(percent, 60);
    Bstr text;
    route->DistanceToEndOfRouteDescription(Place(45.00125).Get(), text.Put());
    EXPECT_EQ(text.Utf8(), "194 metres to the end of the route.");
    route->DistanceToEndOfRouteDescription(Place(0.0, 0.0).Get(), text.Put());
    EXPECT_EQ(text.Utf8(), "Position unknown.");
    route->DistanceToBeginningOfRouteDescription(Place(45.002).Get(), text.Put());
    EXPECT_EQ(text.Utf8(), "0.22 kilometres to the beginning of the route.");
}

TEST_F(RouteModel, NextWaypointForEachModeAndSettingItCurrent) {
    // Turns at W3 only; a traveller between W1 and W2 heads for W2, or for the turn at W3.
    auto route = NorthRoute(5, {}, {3});
    const gpscore::RouteModel& model = *gpslib::ImplOf<CRouteObject>(route.Get())->Model();
    const struct {
        WaypointMode mode;
        double latitude;
        int expected;
    } cases[] = {
        {WaypointModeAll, 45.0005, 2},    {WaypointModeTurnsOnly, 45.0005, 3},
        {WaypointModeSystem, 45.0005, 3}, {WaypointModeTurnsOnly, 45.0025, 5},
        {WaypointModeAll, 45.0025, 4},
    };
    for (const auto& c : cases)
        EXPECT_EQ(model.NextIndexNearest(c.mode, {c.latitude, 10.0}), c.expected)
            << c.mode << " at " << c.latitude;
    // The object makes it the current waypoint; the nearest one likewise, none for no position.
    ComPtr<IWaypointObject> w;
    route->SetCurrentToNextWaypointNearestLocation(WaypointModeAll, Place(45.0005).Get(), w.Put());
    EXPECT_EQ(model.currentIndex, 2);
    route->SetCurrentWaypointToNearest(Place(45.0031).Get(), w.Put());
    EXPECT_EQ(IndexOf(w.Get()), 4);
    EXPECT_EQ(route->SetCurrentWaypointToNearest(Place(0.0, 0.0).Get(), w.Put()), S_FALSE);
}

TEST_F(RouteModel, ArrivalTimeAtTheSpeedGivenOrATypicalPace) {
    Change([&](System& s) { s.units = Imperial; });
    struct Case {
        RouteType type;
        double speed;
        const char* expected;
    } cases[] = {
        // From W1 to W4: 111.125 m to W2 and 222 stored, 333.125 m = 0.207 miles.
        {RouteTypePedestrian, 3.0, "about 4 minutes"},  // 4.14 minutes
        {RouteTypePedestrian, 0.0, "about 4 minutes"},  // standing: walking pace
        {RouteTypePedestrian, 1.0, "about 12 minutes"}, // 12.4
        {RouteTypePedestrian, 30.0, "less than a minute"},
        {RouteTypeVehicle, 0.0, "less than a minute"},   // standing: town driving pace
        {RouteTypePedestrian, 0.55, "about 23 minutes"}, // 22.6
    };
    for (const Case& c : cases) {
        auto route = NorthRoute(4, {0, 111, 111, 111}, {}, c.type);
        ComPtr<IWaypointObject> end;
        route->GetRouteEnd(end.Put());
        Bstr eta;
        EXPECT_EQ(route->GetETA(Place(45.0).Get(), end.Get(), c.speed, eta.Put()), S_OK);
        EXPECT_EQ(eta.Utf8(), c.expected) << c.type << " at " << c.speed;
    }
    auto route = NorthRoute(4);
    ComPtr<IWaypointObject> end;
    route->GetRouteEnd(end.Put());
    Bstr eta;
    route->GetETA(Place(0.0, 0.0).Get(), end.Get(), 3.0, eta.Put());
    EXPECT_EQ(eta.Utf8(), "Position unknown.");
    EXPECT_EQ(gpscore::TravelTimeText(*utility, 5280.0 * 95, false, 30.0, true),
              u"about 3 hours 10 minutes");
}

TEST_F(RouteModel, TurningInfoFromTheStreetArrivedOnOrTheHeadingGiven) {
    struct Case {
        bool turning;
        SHORT turnComplete, reverse, heading;
        const char* expected;
    } cases[] = {
        {true, 90, 180, -1, "Turn right"}, // arriving northbound
        {true, 270, 180, -1, "Turn left"},
        {true, 10, 180, -1, "Continue ahead"}, // within 23 degrees
        {true, 90, 180, 80, "Continue ahead"}, // the heading given already points there
        {true, 90, 180, 270, "Turn back"},     // side-biased: behind is "back"
        {true, -1, 180, -1, ""},
        {false, 90, 180, -1, ""},
    };
    for (const Case& c : cases) {
        ComPtr<IWaypointObject> w;
        gpslib::CreateObject(CLSID_WaypointObject, IID_IWaypointObject, &w);
        w->SetIsTurningPoint(c.turning);
        w->SetTurnCompleteHeadingDegrees(c.turnComplete);
        w->SetStreetOrientationReverse(c.reverse);
        Bstr text;
        EXPECT_EQ(w->GetTurningInfo(c.heading, text.Put()), S_OK);
        EXPECT_EQ(text.Utf8(), c.expected) << c.turnComplete << " from " << c.heading;
    }
}

TEST(RouteTexts, EmptyPiecesTakeTheirPunctuationWithThem) {
    const std::u16string t = u"$W, $d, $D, $T, $E, $U";
    struct Case {
        gpscore::WaypointDescriptionPieces pieces;
        std::u16string expected;
    } cases[] = {
        {{u"10 feet", u"ahead", u"Waypoint 2", u"Turn left", u"about 1 minute", u"Bench"},
         u"Waypoint 2, 10 feet, ahead, Turn left, about 1 minute, Bench"},
        {{u"", u"", u"Waypoint 2", u"", u"", u""}, u"Waypoint 2"},
        {{u"Close by", u"", u"Waypoint 2", u"Turn left", u"", u""},
         u"Waypoint 2, Close by, Turn left"},
        {{u"", u"ahead", u"", u"", u"", u"Bench"}, u"ahead, Bench"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(gpscore::ExpandWaypointDescription(t, c.pieces), c.expected);
    EXPECT_EQ(gpscore::ExpandWaypointDescription(u"$$5 $x$T.", {}), u"$5.");
}

TEST_F(RouteModel, WaypointDescriptionAlongTheRoute) {
    Change([&](System& s) { s.units = Metric; });
    Change([&](System& s) { s.SetArrivedNearThreshold(Metric, 10); });
    auto route = NorthRoute(4, {0, 111, 111, 111}, {3});
    ComPtr<IWaypointObject> w3;
    route->GetWaypoint(3, w3.Put());
    w3->SetTurnCompleteHeadingDegrees(90);
    w3->SetStreetOrientationReverse(180);
    ComPtr<IWaypointConfigurationObject> config;
    gpslib::CreateObject(CLSID_WaypointConfigurationObject, IID_IWaypointConfigurationObject,
                         &config);
    config->SetIncludeDistance(1);
    config->SetIncludeHeading(1);
    config->SetIncludeTurningInstructions(1);
    config->SetHeading(0);
    Bstr text;
    // From W1: 111 m to W2, then 111 stored.
    EXPECT_EQ(route->GetWaypointDescription(Place(45.0).Get(), w3.Get(), config.Get(), text.Put()),
              S_OK);
    EXPECT_EQ(text.Utf8(), "Waypoint 3, W3, 0.22 kilometres, ahead, Turn right");
    // Standing on it: close by, no direction.
    route->GetWaypointDescription(Place(45.002).Get(), w3.Get(), config.Get(), text.Put());
    EXPECT_EQ(text.Utf8(), "Waypoint 3, W3, Close by, Turn right");
    route->GetWaypointDescription(Place(0.0, 0.0).Get(), w3.Get(), config.Get(), text.Put());
    EXPECT_EQ(text.Utf8(), "The waypoint or your position is not known.");
}

TEST(RouteGeometry, EmptyAndSinglePointRoutes) {
    const gpscore::Waypoints none;
    EXPECT_EQ(gpscore::TotalDistance(none, -1, -1, -1.0, true), 0.0);
    EXPECT_EQ(gpscore::NextIndexAhead(none, {45.0, 10.0}, false), -1);
    EXPECT_EQ(gpscore::RemainingDistance(none, {45.0, 10.0}, false, -1.0, true), -1.0);
    EXPECT_EQ(gpscore::PercentComplete(none, {45.0, 10.0}, false, -1.0, true), 0);
    gpscore::Waypoints one(1);
    one[0].latitude = 45.0;
    one[0].longitude = 10.0;
    EXPECT_EQ(gpscore::NextIndexAhead(one, {45.001, 10.0}, false), 1);
    EXPECT_NEAR(gpscore::RemainingDistance(one, {45.001, 10.0}, false, -1.0, true), kStepMetres,
                0.01);
    EXPECT_EQ(gpscore::PercentComplete(one, {45.001, 10.0}, false, -1.0, true), 0);
}

// A route model of waypoints drawn as text, one letter each: 't' a turning point, 'x' a waypoint
// with a cross street, '-' neither.
gpscore::RouteModel Drawn(const std::string& drawing, bool reversed) {
    gpscore::RouteModel route;
    for (char c : drawing) {
        gpscore::WaypointRecord w;
        w.turningPoint = c == 't';
        if (c == 'x') w.crossStreet = u"Cross";
        route.Append(w);
    }
    route.reversed = reversed;
    return route;
}

TEST(RouteSteps, NextFollowsModeAndDirection) {
    const struct {
        const char* drawing;
        bool reversed;
        int from;  // -1: no current waypoint.
        bool back; // against the direction of travel
        WaypointMode mode;
        int expected;
    } cases[] = {
        {"--t--", false, -1, false, WaypointModeAll, 1},
        {"--t--", true, -1, false, WaypointModeAll, 5},
        {"--t--", false, 2, false, WaypointModeAll, 3},
        {"--t--", false, 5, false, WaypointModeAll, 5}, // Runs out: the last index.
        {"--t--", true, 1, false, WaypointModeAll, 1},  // Runs out reversed: index 1.
        {"--t--", true, 4, false, WaypointModeAll, 3},
        {"--t--", false, 1, false, WaypointModeTurnsOnly, 3},
        {"--t--", false, 3, false, WaypointModeTurnsOnly, 5}, // No turn ahead: the route end.
        {"--t--", true, 5, false, WaypointModeTurnsOnly, 3},
        {"--t--", false, 1, false, WaypointModeSystem, 3}, // The system mode stops at turns too.
        {"t-t-t", false, 1, false, WaypointModeTurnsOnly, 3},
        {"--t--", false, 3, true, WaypointModeAll, 2},
        {"--t--", true, 3, true, WaypointModeAll, 4},
        {"--t--", false, 5, true, WaypointModeTurnsOnly, 3},
        {"--t--", false, -1, true, WaypointModeAll, 5},  // Backwards from nowhere: the far end.
        {"--t--", false, 7, false, WaypointModeAll, -1}, // From no waypoint of the route.
    };
    for (const auto& c : cases)
        EXPECT_EQ(Drawn(c.drawing, c.reversed).Next(c.mode, c.from, c.back != c.reversed),
                  c.expected)
            << c.drawing << c.reversed << " from " << c.from << c.back << " mode " << c.mode;
}

TEST(RouteSteps, NextTurnLooksAtCrossStreetsThenTurningPoints) {
    const struct {
        const char* drawing;
        bool reversed;
        int current, expected;
    } cases[] = {
        {"-x---", false, 3, 2},   // The waypoint just passed has a cross street: it is the turn.
        {"--x--", true, 3, 4},    // Reversed, the current one has it: the turn is the one after.
        {"----x", true, 5, 1},    // ... unless there is none after: then the usual rule.
        {"--t--", false, 3, 3},   // The current waypoint turns.
        {"----t", false, 3, 5},   // The next turning point ahead.
        {"t----", true, 3, 1},    // ... reversed.
        {"-----", false, 2, 5},   // No turn ahead: the route end.
        {"x-t--", false, 1, 3},   // Nothing was passed before waypoint 1.
        {"--t--", false, -1, -1}, // No current waypoint.
    };
    for (const auto& c : cases) {
        gpscore::RouteModel route = Drawn(c.drawing, c.reversed);
        route.currentIndex = static_cast<std::int16_t>(c.current);
        EXPECT_EQ(route.NextTurn(), c.expected)
            << c.drawing << (c.reversed ? " reversed" : "") << " at " << c.current;
    }
}

TEST(RouteSteps, ReversalDependsOnRouteType) {
    const struct {
        RouteType type;
        bool allowed;
    } cases[] = {
        {RouteTypeUnknown, false},
        {RouteTypePedestrian, true},
        {RouteTypeVehicle, false},
        {RouteTypeManual, true},
        {RouteTypeCreateFromSimulation, true},
        {RouteTypePedestrianFromSimulation, true},
        {RouteTypeVehicleFromSimulation, false},
        {RouteTypeFromVirtualExploration, true},
    };
    for (const auto& c : cases) {
        gpscore::RouteModel route;
        route.SetType(c.type);
        EXPECT_EQ(route.Reverse(), c.allowed) << c.type;
        EXPECT_EQ(route.reversed, c.allowed) << c.type;
    }
}

} // namespace
