// Route following through a started service, on the fake clock: a drawn walking route handed in
// with RouteSet, the traveller placed poll by poll with GPSForceLocation (one poll each), and the
// events read back from the service's history. A walk along the route, and walks that leave it,
// set out the wrong way and pass a waypoint by. Then the active route's own methods. The follower's
// distances and a route recorded from the walker are tested on the parts themselves.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "base/LocationObject.h"
#include "parts_fixture.h"
#include "route/RouteGeometry.h"
#include "route/RouteObject.h"
#include "service_fixture.h"

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;
using gpslib::test::Value;

// The drawn route, on a grid of metres east (x) and north (y) of 45 N 10 E.
constexpr double kLat0 = 45.0, kLon0 = 10.0;
constexpr double kMetresPerDegree = 6367000.0 * 3.14159265358979323846 / 180.0;

double Lat(double y) {
    return kLat0 + y / kMetresPerDegree;
}
double Lon(double x) {
    return kLon0 + x / (kMetresPerDegree * std::cos(kLat0 * 3.14159265358979323846 / 180.0));
}

struct Point {
    double x, y;
    const char* name;
    const char* street;
    bool turn;
    SHORT forward, reverse;
};

struct Seen {
    EventType type;
    int poll;
    std::string text;
};

// The place at (x, y).
ComPtr<ILocationObject> Place(double x, double y) {
    ComPtr<ILocationObject> here;
    gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &here);
    here->SetLatitude(Lat(y));
    here->SetLongitude(Lon(x));
    return here;
}

// A walking route of the points, with the distances between them stored.
ComPtr<IRouteObject> Route(const std::vector<Point>& points) {
    ComPtr<IRouteObject> route;
    gpslib::CreateObject(CLSID_RouteObject, IID_IRouteObject, &route);
    route->SetType(RouteTypePedestrian);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const Point& p = points[i];
        ComPtr<IWaypointObject> w;
        gpslib::CreateObject(CLSID_WaypointObject, IID_IWaypointObject, &w);
        w->SetLatitude(Lat(p.y));
        w->SetLongitude(Lon(p.x));
        w->SetWaypointName(Bstr(std::string_view(p.name)).Get());
        w->SetStreetNameForward(Bstr(std::string_view(p.street)).Get());
        w->SetIsTurningPoint(p.turn);
        w->SetStreetOrientationForward(p.forward);
        w->SetStreetOrientationReverse(p.reverse);
        w->SetTurnCompleteHeadingDegrees(p.turn ? p.forward : SHORT{-1});
        if (i > 0)
            w->SetDistanceFromLastWaypoint(
                std::hypot(p.x - points[i - 1].x, p.y - points[i - 1].y));
        route->AddWaypointToEndOfRoute(w.Get());
    }
    return route;
}

// North 100 m along North Street, a right turn at the corner, 100 m east along East Street.
const std::vector<Point> kCorner = {
    {0, 0, "Start", "North Street", false, 0, 180},
    {0, 100, "Corner", "East Street", true, 90, 180},
    {100, 100, "Home", "East Street", false, 90, 270},
};

class RouteFollowing : public gpslib::test::ServiceFixture {
protected:
    void SetUp() override {
        WriteSettings("", 0); // route events start with the first poll: no lookaround delay
        ServiceFixture::SetUp();
        core->EnableHistoryOfAutomaticEvents(VARIANT_TRUE);
        ComPtr<ISystemSettingsObject> settings;
        core->SystemGetSettings(settings.Put());
        settings->SetUnits(Imperial);
        settings->SetArrivalDistance(Imperial, 30);
        settings->SetArrivedNearThreshold(Imperial, 12);
        core->SystemSetSettings(settings.Get());
    }

    // Sets the route and asks to follow it; whether following was requested.
    bool Follow(const std::vector<Point>& points) {
        EXPECT_EQ(core->RouteSet(Route(points).Get()), S_OK);
        Bstr announcement;
        VARIANT_BOOL requested = 0;
        EXPECT_EQ(core->RouteFollow(announcement.Put(), &requested), S_OK);
        start = announcement.Utf8();
        return requested == VARIANT_TRUE;
    }
    // Follows kCorner from its start, facing north, and walks `y` metres up North Street;
    // whether following was requested.
    bool SetOutAlongTheCorner(double y) {
        const bool requested = Follow(kCorner);
        At(0, 0, 0);
        Walk(0, 0, 0, y);
        return requested;
    }
    // One poll with the traveller at (x, y) facing `heading`.
    void At(double x, double y, SHORT heading) {
        ComPtr<ILocationObject> here = Place(x, y);
        ComPtr<IAutomaticEventObject> before;
        core->GetLastAutomaticEvent(before.Put());
        ++poll;
        ASSERT_EQ(core->GPSForceLocation(here.Get(), heading), S_OK);
        std::vector<Seen> fresh;
        for (const auto& event : History()) {
            if (event.Get() == before.Get()) break;
            EventType type = EventUnknown;
            Bstr text;
            event->GetEventType(&type);
            event->GetDescription(text.Put());
            fresh.insert(fresh.begin(), {type, poll, text.Utf8()});
        }
        seen.insert(seen.end(), fresh.begin(), fresh.end());
    }
    // Walks in steps of `step` metres from (x0, y0) to (x1, y1), facing the way it goes.
    void Walk(double x0, double y0, double x1, double y1, double step = 5.0) {
        const double length = std::hypot(x1 - x0, y1 - y0);
        const int n = static_cast<int>(std::ceil(length / step));
        const double degrees = std::atan2(x1 - x0, y1 - y0) * 180.0 / 3.14159265358979323846;
        const SHORT heading = static_cast<SHORT>(std::lround(degrees + 360.0) % 360);
        for (int i = 1; i <= n; ++i)
            At(x0 + (x1 - x0) * i / n, y0 + (y1 - y0) * i / n, heading);
    }
    // Walks from point to point of `path`, in steps of 5 m.
    void Walk(const std::vector<std::pair<double, double>>& path) {
        for (std::size_t i = 1; i < path.size(); ++i)
            Walk(path[i - 1].first, path[i - 1].second, path[i].first, path[i].second);
    }
    std::vector<EventType> Types() const {
        std::vector<EventType> types;
        for (const Seen& s : seen)
            types.push_back(s.type);
        return types;
    }
    std::string Texts() const {
        std::string all;
        for (const Seen& s : seen)
            all += std::to_string(s.type) + "@" + std::to_string(s.poll) + " " + s.text + "\n";
        return all;
    }

    int poll = 0;
    std::vector<Seen> seen;
    std::string start;
};

// What a walk to the end of kCorner hears: the start, the turn approached, reached and passed,
// the destination.
const std::vector<EventType> kAlongTheCorner = {
    EventRouteStartFollowing, EventRouteApproachingTurn, EventRouteArrivedNearTurn,
    EventRouteContinueStraight, EventArrivedNearDestination};

TEST_F(RouteFollowing, AWalkAlongTheRouteHearsEachStepOnce) {
    ASSERT_TRUE(SetOutAlongTheCorner(100));
    EXPECT_EQ(start, "Following the route from Waypoint 1, Start. Head for the next turn.");
    Walk(0, 100, 100, 100);
    // Approach within 150 ft (45.7 m) of the turn, arrival within 75 ft (22.9 m), straight on
    // once past it heading east, the destination within 37 ft (11.3 m).
    EXPECT_EQ(Types(), kAlongTheCorner) << Texts();
    ASSERT_EQ(seen.size(), kAlongTheCorner.size());
    EXPECT_EQ(seen[1].poll, 1 + 11); // at 55 m: 45 m (148 ft) left
    EXPECT_EQ(seen[2].poll, 1 + 16); // at 80 m: 20 m left
    EXPECT_EQ(seen[2].text, "Waypoint 2, Corner. Turn right onto East Street.");
    EXPECT_EQ(seen[3].text, "Continue straight on.");
    EXPECT_EQ(seen[4].poll, 1 + 20 + 18); // at 90 m east: 10 m left
    EXPECT_EQ(seen[4].text, "You have arrived at your destination.");
    // Following is over: nothing more is said, and the route stays until it is closed.
    Walk(100, 100, 100, 130);
    EXPECT_EQ(seen.size(), kAlongTheCorner.size());
    EXPECT_EQ(Value(core.Get(), &IGPSCore::RouteActive), VARIANT_TRUE);
}

TEST_F(RouteFollowing, TurnsCloseTogetherAreEachAnnounced) {
    // Right into a 20 m side street, then at once left again.
    ASSERT_TRUE(Follow({{0, 0, "Start", "North Street", false, 0, 180},
                        {0, 100, "Jog", "Side Street", true, 90, 180},
                        {20, 100, "Jog end", "Upper Street", true, 0, 270},
                        {20, 200, "Home", "Upper Street", false, 0, 180}}));
    At(0, 0, 0);
    Walk({{0, 0}, {0, 100}, {20, 100}, {20, 200}});
    const std::vector<EventType> expected = {
        EventRouteStartFollowing,  EventRouteApproachingTurn,  EventRouteArrivedNearTurn,
        EventRouteArrivedNearTurn, EventRouteContinueStraight, EventArrivedNearDestination};
    EXPECT_EQ(Types(), expected) << Texts();
    ASSERT_EQ(seen.size(), expected.size());
    EXPECT_EQ(seen[2].text, "Waypoint 2, Jog. Turn right onto Side Street.");
    EXPECT_EQ(seen[3].text, "Waypoint 3, Jog end. Turn left onto Upper Street.");
}

TEST_F(RouteFollowing, AWaypointDeletedOnTheWayLeavesTheRestToFollow) {
    ASSERT_TRUE(SetOutAlongTheCorner(30));
    // The client deletes the corner from the active route: straight on to the end now.
    ComPtr<IRouteObject> route;
    ASSERT_EQ(core->RouteGet(route.Put()), S_OK);
    ComPtr<IWaypointObject> corner;
    route->GetWaypoint(2, corner.Put());
    ASSERT_EQ(route->DeleteWaypoint(corner.Get()), S_OK);
    Walk(0, 30, 100, 100);
    EXPECT_EQ(Types(),
              (std::vector<EventType>{EventRouteStartFollowing, EventArrivedNearDestination}))
        << Texts();
}

TEST_F(RouteFollowing, AWaypointInsertedOnTheWayBecomesTheTarget) {
    ASSERT_TRUE(SetOutAlongTheCorner(20));
    // The client adds a straight-through point halfway up, before the corner: it is the next
    // turn now, a slight one.
    ComPtr<IRouteObject> route;
    ASSERT_EQ(core->RouteGet(route.Put()), S_OK);
    ComPtr<IWaypointUserObject> user;
    gpslib::CreateObject(CLSID_WaypointUserObject, IID_IWaypointUserObject, &user);
    user->CreateUserWaypoint(Place(0, 50).Get(), WaypointTurnTypeStraightThrough, 0);
    ComPtr<IWaypointObject> inserted;
    ASSERT_EQ(route->InsertUserWaypointBefore(user.Get(), 2, inserted.Put()), S_OK);
    Walk({{0, 20}, {0, 100}, {100, 100}});
    const std::vector<EventType> expected = {
        EventRouteStartFollowing,   EventRouteApproachingTurn,  EventRouteArrivedNearTurn,
        EventRouteContinueStraight, EventRouteApproachingTurn,  EventRouteArrivedNearTurn,
        EventRouteContinueStraight, EventArrivedNearDestination};
    EXPECT_EQ(Types(), expected) << Texts();
}

TEST_F(RouteFollowing, LeavingTheRouteIsToldOnceAndTheWalkGoesOnAfterComingBack) {
    SetOutAlongTheCorner(100);
    // North, away from the route, for 70 m, and back.
    Walk({{0, 100}, {30, 100}, {30, 170}, {30, 100}, {100, 100}});
    const std::vector<EventType> expected = {
        EventRouteStartFollowing,   EventRouteApproachingTurn, EventRouteArrivedNearTurn,
        EventRouteContinueStraight, EventRouteOffRoute,        EventArrivedNearDestination};
    EXPECT_EQ(Types(), expected) << Texts();
}

// Turning 100 m early into a side street, for 150 m: the wrong way first, then off the route;
// back on it, the walk is guided on to the end.
TEST_F(RouteFollowing, IntoTheWrongStreetAndBack) {
    ASSERT_TRUE(Follow({{0, 0, "Start", "North Street", false, 0, 180},
                        {0, 300, "Corner", "East Street", true, 90, 180},
                        {300, 300, "Home", "East Street", false, 90, 270}}));
    At(0, 0, 0);
    Walk({{0, 0}, {0, 200}, {150, 200}, {0, 200}, {0, 300}, {300, 300}});
    const std::vector<EventType> expected = {EventRouteStartFollowing,   EventRouteWrongDirection,
                                             EventRouteOffRoute,         EventRouteApproachingTurn,
                                             EventRouteArrivedNearTurn,  EventRouteContinueStraight,
                                             EventArrivedNearDestination};
    EXPECT_EQ(Types(), expected) << Texts();
}

TEST_F(RouteFollowing, SettingOutTheWrongWayIsToldOnce) {
    Follow(kCorner);
    At(0, 0, 180);
    Walk(0, 0, 0, -40); // south, away from the corner
    const std::vector<EventType> expected = {EventRouteStartFollowing, EventRouteWrongDirection};
    EXPECT_EQ(Types(), expected) << Texts();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_NE(seen[1].text.find("You may be going the wrong way."), std::string::npos)
        << seen[1].text;
}

TEST_F(RouteFollowing, PassingAWaypointBySkipsIt) {
    // Every waypoint counts: the second lies 25 m off the path, never reached.
    ComPtr<IRouteSettingsObject> settings;
    core->RouteGetSettings(GPSMode, settings.Put());
    settings->SetWaypointMode(WaypointModeAll);
    core->RouteSetSettings(GPSMode, settings.Get());
    Follow({{0, 0, "Start", "North Street", false, 0, 180},
            {25, 60, "Bench", "North Street", false, 0, 180},
            {0, 120, "Gate", "North Street", false, 0, 180},
            {0, 200, "Home", "North Street", false, 0, 180}});
    At(0, 0, 0);
    Walk(0, 0, 0, 200);
    const std::vector<EventType> expected = {EventRouteStartFollowing, EventRouteArrivedWaypoint,
                                             EventRouteSkippedPoints, EventRouteArrivedWaypoint,
                                             EventArrivedNearDestination};
    EXPECT_EQ(Types(), expected) << Texts();
}

TEST_F(RouteFollowing, ALostFixPausesTheChecksUntilItReturns) {
    SetOutAlongTheCorner(40);
    // The receiver reports no fix: polls go by without a word about the route.
    core->GPSExternalNmeaDataUpdate(
        Bstr(gpslib::test::Sentence("GPRMC,123519,V,4500.000,N,01000.000,E,,,230394,,") +
             gpslib::test::Sentence("GPGGA,123519,4500.000,N,01000.000,E,0,00,,,M,,,,"))
            .Get());
    GPSQuality quality = GPSQualityGood; // not GPSQualityNoGPS, which is 0
    gps->GetFixQuality(&quality);
    EXPECT_LE(quality, GPSQualityNoFix);
    for (int i = 0; i < 10; ++i)
        Poll();
    EXPECT_EQ(Types(), std::vector<EventType>{EventRouteStartFollowing}) << Texts();
    // The fix is back further on: following resumes where the traveller is.
    Walk({{0, 60}, {0, 100}, {100, 100}});
    EXPECT_EQ(Types(), kAlongTheCorner) << Texts();
}

// The route follower and the route builder themselves: a walk shows the distances only at a few
// points, and the service moves the walker only along the streets of a map.
class RouteParts : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(parts.Start(gpslib::test::PrepareSettingsFolder(dir)), "");
        parts.context.m_pUtility->ChangeSystemSettings([](gpscore::settings::System& s) {
            s.units = Imperial;
            s.SetArrivalDistance(Imperial, 30);
            s.SetArrivedNearThreshold(Imperial, 12);
        });
    }
    void PlaceWalker(double x, double y, SHORT heading) {
        parts.walker.Shared()->place = gpscore::PlaceAt(Place(x, y).Get());
        parts.walker.Shared()->Face(heading);
    }
    // The walker moved, as the virtual movements tell a recording route.
    void MoveWalker(double x, double y, SHORT heading) {
        PlaceWalker(x, y, heading);
        parts.builder.RecordVirtualMove(gpscore::PlaceAt(Place(x, y).Get()), heading);
    }

    gpslib::test::TempDir dir;
    gpslib::test::ServiceParts parts;
};

TEST_F(RouteParts, DistancesOfArrivalAndOffRouteBySpeedLanesAndRouteKind) {
    // An arrival distance of 30 ft. T(0) approach, T(1) far approach, T(2) the end, T(3) a
    // waypoint; "off" the off-route distance.
    struct Case {
        const char* what;
        RouteType type;
        double knots;
        bool testMode;
        SHORT lanes;
        std::vector<LONG> expected; // T(0), T(1), T(2), T(3), off
    } cases[] = {
        {"walking", RouteTypePedestrian, 0.0, false, 1, {75, 150, 37, 45, 150}},
        {"a manual route halves the distance",
         RouteTypeManual,
         0.0,
         false,
         1,
         {37, 75, 18, 22, 150}},
        {"three lanes to cross", RouteTypePedestrian, 0.0, false, 3, {125, 200, 87, 95, 150}},
        // 8.69 knots, just over 10 mph: 45 x 0.13 x 10 = 58.
        {"at 10 mph", RouteTypePedestrian, 8.69, false, 1, {97, 234, 48, 58, 150}},
        {"at 20 mph", RouteTypePedestrian, 17.38, false, 1, {195, 468, 96, 117, 500}},
        {"driving", RouteTypeVehicle, 0.0, false, 1, {75, 150, 37, 45, 500}},
        // Close range: a quarter, the manual halving undone, 2 x A for a waypoint.
        {"close range", RouteTypeManual, 0.0, true, 1, {18, 37, 9, 15, 10}},
    };
    for (const Case& c : cases) {
        std::vector<gpscore::WaypointRecord> records;
        RouteType type = RouteTypeUnknown;
        ASSERT_EQ(gpscore::ReadRoute(Route(kCorner).Get(), &records, &type), S_OK);
        parts.builder.Set(records, c.type);
        parts.receiver.State().m_bTestMode = c.testMode;
        char rmc[128];
        std::snprintf(rmc, sizeof rmc, "GPRMC,123519,A,4500.000,N,01000.000,E,%.6f,0.0,230394,,",
                      c.knots);
        parts.receiver.PushNmea(gpslib::ToUtf16(gpslib::test::Sentence(rmc)));
        std::vector<LONG> got;
        for (int k = 0; k < 4; ++k)
            got.push_back(parts.follower.Threshold(k, c.lanes));
        got.push_back(parts.follower.OffRouteFeet());
        EXPECT_EQ(got, c.expected) << c.what;
    }
}

TEST_F(RouteParts, ARouteRecordedFromTheVirtualWalker) {
    PlaceWalker(0, 0, 0);
    gpscore::RouteConfiguration configuration;
    configuration.type = RouteTypeFromVirtualExploration;
    // Recording is for the virtual walker only.
    EXPECT_FALSE(parts.builder.CreateAutomatic(GPSMode, configuration));
    EXPECT_TRUE(parts.builder.CreateAutomatic(VirtualMode, configuration));
    MoveWalker(0, 50, 0);
    MoveWalker(0, 50, 90); // a turn on the spot
    MoveWalker(40, 50, 90);
    MoveWalker(40, 80, 0);
    const auto route = parts.builder.Route();
    ASSERT_NE(route, nullptr);
    std::string turns;
    for (const gpscore::WaypointRecord& w : route->waypoints)
        turns += w.turningPoint ? 'T' : '-';
    EXPECT_EQ(turns, "-TT-"); // turned east at (0, 50), north again at (40, 50)
    // 120 m is 393.7 ft.
    EXPECT_EQ(static_cast<int>(gpscore::TotalDistance(route->waypoints, -1, -1, -1.0, false)), 393);
    // A recorded route turns round; closing it ends the recording.
    EXPECT_TRUE(parts.builder.Reverse());
    parts.builder.Close();
    MoveWalker(0, 0, 0);
    EXPECT_EQ(parts.builder.Route(), nullptr);
}

TEST_F(RouteFollowing, RoutesOfNoOrOneWaypoint) {
    struct Case {
        const char* what;
        std::vector<Point> points;
        bool requested;
        const char* start;
        std::vector<EventType> events;
    } cases[] = {
        {"no waypoint", {}, false, "There are no more waypoints.", {}},
        {"one waypoint, the end itself",
         {{0, 20, "Home", "North Street", false, 0, 180}},
         true,
         "Following the route from Waypoint 1, Home. There are no more waypoints.",
         {EventRouteStartFollowing, EventArrivedNearDestination}},
    };
    for (const Case& c : cases) {
        seen.clear();
        EXPECT_EQ(Follow(c.points), c.requested) << c.what;
        EXPECT_EQ(start, c.start) << c.what;
        Walk(0, 0, 0, 30);
        EXPECT_EQ(Types(), c.events) << c.what << "\n" << Texts();
        core->RouteClose();
    }
}

TEST_F(RouteFollowing, WithoutARouteOrAFix) {
    Bstr text;
    VARIANT_BOOL requested = VARIANT_TRUE;
    EXPECT_EQ(core->RouteFollow(text.Put(), &requested), S_OK);
    EXPECT_EQ(requested, VARIANT_FALSE);
    EXPECT_EQ(text.Utf8(), "No route is open.");
    EXPECT_EQ(core->RouteFollow(nullptr, &requested), E_POINTER);
    // Polls without a route, and a followed route whose receiver has no fix, say nothing.
    At(0, 0, 0);
    Follow(kCorner);
    ComPtr<IRouteObject> route;
    EXPECT_EQ(core->RouteGet(route.Put()), S_OK);
    for (int i = 0; i < 3; ++i)
        Poll();
    EXPECT_EQ(Types(), std::vector<EventType>{}) << Texts();
}

TEST_F(RouteFollowing, TheActiveRouteAndItsAnswers) {
    ComPtr<IRouteObject> none;
    EXPECT_EQ(core->RouteGet(none.Put()), S_FALSE);
    VARIANT_BOOL flag = VARIANT_TRUE;
    core->RouteActive(&flag);
    EXPECT_EQ(flag, VARIANT_FALSE);
    EXPECT_EQ(core->RouteReverse(&flag), S_OK);
    EXPECT_EQ(flag, VARIANT_FALSE);
    EXPECT_EQ(core->RouteClose(), S_OK);

    ASSERT_EQ(core->RouteSet(Route(kCorner).Get()), S_OK);
    ComPtr<IRouteObject> route;
    ASSERT_EQ(core->RouteGet(route.Put()), S_OK);
    EXPECT_EQ(Value(route.Get(), &IRouteObject::GetWaypointCount), 3);
    // Handing the active route back in keeps its waypoints.
    ASSERT_EQ(core->RouteSet(route.Get()), S_OK);
    EXPECT_EQ(Value(route.Get(), &IRouteObject::GetWaypointCount), 3);
    // The route's end became the destination.
    ComPtr<IDestinationObject> destination;
    core->DestinationGet(destination.Put());
    EXPECT_DOUBLE_EQ(Value(destination.Get(), &IDestinationObject::GetLatitude), Lat(100));
    // 45 m along: 155 of 200 m left, 22 % done.
    At(0, 45, 0);
    SHORT percent = -1;
    EXPECT_EQ(core->RoutePercentComplete(GPSMode, &percent), S_OK);
    EXPECT_EQ(percent, 22);
    ComPtr<IWaypointObject> end;
    route->GetRouteEnd(end.Put());
    Bstr eta;
    EXPECT_EQ(core->RouteGetETA(GPSMode, end.Get(), eta.Put()), S_OK);
    EXPECT_EQ(eta.Utf8(), "about 2 minutes"); // 155 m at a walking 3 mph: 1.9 minutes
    // The corner described from there, and made the current waypoint.
    ComPtr<IWaypointObject> corner;
    route->GetWaypoint(2, corner.Put());
    ComPtr<IWaypointConfigurationObject> configuration;
    gpslib::CreateObject(CLSID_WaypointConfigurationObject, IID_IWaypointConfigurationObject,
                         &configuration);
    configuration->SetIncludeDistance(VARIANT_TRUE);
    configuration->SetIncludeTurningInstructions(VARIANT_TRUE);
    Bstr description;
    EXPECT_EQ(
        core->RouteGetWaypointDescription(corner.Get(), configuration.Get(), description.Put()),
        S_OK);
    EXPECT_EQ(description.Utf8(), "Waypoint 2, Corner, 180 feet, Turn right"); // 55 m
    ComPtr<IWaypointObject> next;
    EXPECT_EQ(core->RouteSetCurrentToNextWaypointNearestLocation(Place(10, 102).Get(), next.Put()),
              S_OK);
    EXPECT_EQ(Value(next.Get(), &IWaypointObject::GetIndex), 3); // past the corner: the end
    // A walking route turns round; the next waypoint is then the beginning behind.
    EXPECT_EQ(core->RouteReverse(&flag), S_OK);
    EXPECT_EQ(flag, VARIANT_TRUE);
    EXPECT_EQ(Value(route.Get(), &IRouteObject::GetCurrentWaypointIndex), 1);
    EXPECT_EQ(core->RouteIsOptimized(&flag), S_OK);
    EXPECT_EQ(flag, VARIANT_FALSE);
    EXPECT_EQ(core->RouteClose(), S_OK);
    core->RouteActive(&flag);
    EXPECT_EQ(flag, VARIANT_FALSE);
    EXPECT_EQ(core->RoutePercentComplete(GPSMode, &percent), S_OK);
    EXPECT_EQ(percent, 0);
}

TEST_F(RouteFollowing, RouteSettingsPerModeAreKeptInTheirFile) {
    ComPtr<IRouteSettingsObject> settings, back, defaults;
    core->RouteGetSettings(VirtualMode, settings.Put());
    settings->SetWaypointMode(WaypointModeAll);
    settings->EnableWaypointNumbering(0);
    EXPECT_EQ(core->RouteSetSettings(VirtualMode, settings.Get()), S_OK);
    // The modes read into another mode, so that a getter that writes nothing cannot pass.
    auto mode = [](IRouteSettingsObject* s, WaypointMode other) {
        WaypointMode mode = other;
        s->GetWaypointMode(&mode);
        return mode;
    };
    core->RouteGetSettings(VirtualMode, back.Put());
    EXPECT_EQ(mode(back.Get(), WaypointModeTurnsOnly), WaypointModeAll);
    core->RouteGetSettings(GPSMode, back.Put());
    EXPECT_EQ(mode(back.Get(), WaypointModeAll), WaypointModeTurnsOnly);
    core->RouteGetDefaultSettings(VirtualMode, defaults.Put());
    EXPECT_EQ(mode(defaults.Get(), WaypointModeAll), WaypointModeTurnsOnly);
    // Written through to the file, read again by the next start.
    core->Stop();
    Bstr result;
    ASSERT_EQ(core->Start(Bstr(dir.path()).Get(), nullptr, result.Put()), S_OK);
    core->RouteGetSettings(VirtualMode, back.Put());
    EXPECT_EQ(mode(back.Get(), WaypointModeTurnsOnly), WaypointModeAll);
    EXPECT_EQ(core->RouteSetSettings(GPSMode, nullptr), E_POINTER);
}

} // namespace
