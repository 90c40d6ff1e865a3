// The virtual walker over the sample town, as a client drives it: walks with the exact message
// after each step, the refusals, placements (a point of interest, a map's start), the walker kept
// across Stop and Start, and bad input.
#include <gpslib/GPSDatabaseLib.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "streets_fixture.h"
#include "value.h"

namespace gpslib::test {
namespace {

enum class Do { Forward, Left, Right, Back, Cross, OnStreet };

struct Step {
    Do what;
    const char* message;
    double x, y;
    SHORT heading;
    SideOfStreet side;
    bool mustCross;
};

// The town library on Elm Street as a point of interest; without a position when `placed` is
// false.
ComPtr<IPOIObject> Library(bool placed = true) {
    ComPtr<IPOIObject> poi;
    EXPECT_EQ(gpslib::CreateObject(CLSID_POIObject, IID_IPOIObject, &poi), S_OK);
    if (placed) poi->SetLocation(At(6.2, 1.1).Get());
    poi->SetName(Bstr("Town Library").Get());
    poi->SetStreet(Bstr("Elm Street").Get());
    return poi;
}

class Walker : public StreetsFixture {
protected:
    struct State {
        double x = 0, y = 0;
        SHORT heading = -1;
        SideOfStreet side = SideUnknown;
        bool mustCross = false;
        std::string street;
    };
    State Now() {
        State s;
        ComPtr<IVirtualObject> v;
        EXPECT_EQ(core->VirtualGet(v.Put()), S_OK);
        v->GetHeadingDegrees(&s.heading);
        v->GetSideOfStreet(&s.side);
        s.x = (Value(v.Get(), &IVirtualObject::GetLongitude) - 10.0) * 1000.0;
        s.y = (Value(v.Get(), &IVirtualObject::GetLatitude) - 45.0) * 1000.0;
        s.mustCross = Value(v.Get(), &IVirtualObject::MustCrossStreet) != 0;
        s.street = Text(v.Get(), &IVirtualObject::GetCurrentStreetName);
        return s;
    }
    HRESULT Call(Do what, BSTR* message) {
        switch (what) {
        case Do::Forward:
            return core->VirtualForward(message);
        case Do::Left:
            return core->VirtualTurnLeft(message);
        case Do::Right:
            return core->VirtualTurnRight(message);
        case Do::Back:
            return core->VirtualBackup(message);
        case Do::Cross:
            return core->VirtualCrossStreet(message);
        case Do::OnStreet:
            return core->VirtualGetOnStreetMessage(message);
        }
        return E_FAIL;
    }
    std::string Run(Do what) {
        Bstr message;
        EXPECT_EQ(Call(what, message.Put()), S_OK);
        return Utf8(message.Get());
    }
    void Walk(const std::vector<Step>& steps) {
        int n = 0;
        for (const Step& step : steps) {
            SCOPED_TRACE("step " + std::to_string(++n));
            EXPECT_EQ(Run(step.what), step.message);
            const State s = Now();
            EXPECT_NEAR(s.x, step.x, 0.02);
            EXPECT_NEAR(s.y, step.y, 0.02);
            EXPECT_EQ(s.heading, step.heading);
            EXPECT_EQ(s.side, step.side);
            EXPECT_EQ(s.mustCross, step.mustCross);
        }
    }
    void Tracking(bool on) {
        Settings([&](ISystemSettingsObject* s) {
            s->SetVirtualSideOfStreetTracking(on ? VARIANT_TRUE : VARIANT_FALSE);
        });
    }
};

// Round the block east of First Avenue, on the right-hand side, telling the sides.
TEST_F(Walker, AroundABlockWithTheSidesOfTheStreet) {
    Tracking(true);
    ASSERT_EQ(core->VirtualSet(At(1.0, 2.0).Get(), 90), S_OK);
    Walk({
        {Do::Forward,
         "At the corner, facing east on the right side of Main Street. Streets here: Oak Avenue, "
         "left and right.",
         3.0, 2.0, 90, RightSide, false},
        {Do::Right, "the right side of Oak Avenue, south", 3.0, 2.0, 180, RightSide, false},
        // Down the western half of the dual carriageway to the T junction of Mill Lane.
        {Do::Forward,
         "At the corner, facing south on the right side of Oak Avenue. Streets here: Mill Lane, "
         "right.",
         2.85, 1.0, 180, RightSide, false},
        {Do::Back, "Back on Oak Avenue, facing south. Streets here: Main Street, left and right.",
         3.0, 2.0, 180, RightSide, false},
        {Do::Left, "the right side of Main Street, east", 3.0, 2.0, 90, RightSide, false},
        // Northward from the south-east corner: Oak Avenue is to be crossed first.
        {Do::Left, "the right side of Oak Avenue, north", 3.0, 2.0, 0, RightSide, true},
        {Do::Forward, "Cross the street first.", 3.0, 2.0, 0, RightSide, true},
        {Do::Cross, "Facing north on the left side of Oak Avenue.", 2.85, 2.0, 0, LeftSide, false},
        {Do::Forward,
         "At the corner, facing east on the right side of North Street. Streets here: Oak "
         "Avenue, right.",
         3.0, 3.0, 90, RightSide, false},
        {Do::Back, "Back on Oak Avenue, facing north.", 2.85, 2.0, 0, LeftSide, false},
        {Do::Back, "There is no earlier position to go back to.", 2.85, 2.0, 0, LeftSide, false},
    });
}

TEST_F(Walker, WithoutSideTrackingTheCrossingIsPartOfTheStep) {
    Tracking(false);
    ASSERT_EQ(core->VirtualSet(At(1.0, 2.0).Get(), 90), S_OK);
    ComPtr<IVirtualObject> held; // Held from before the steps, it shows each of them.
    ASSERT_EQ(core->VirtualGet(held.Put()), S_OK);
    Walk({
        {Do::Forward,
         "At an intersection, facing east on Main Street. Streets here: Oak Avenue, left and "
         "right.",
         3.0, 2.0, 90, RightSide, false},
        {Do::Cross, "There is no street to cross here.", 3.0, 2.0, 90, RightSide, false},
        {Do::Left, "Oak Avenue, north", 3.0, 2.0, 0, RightSide, true},
        // Across, then on to North Street in one step.
        {Do::Forward,
         "At an intersection, facing east on North Street. Streets here: Oak Avenue, right.", 3.0,
         3.0, 90, RightSide, false},
        {Do::Back, "Back on Oak Avenue, facing north. Streets here: Main Street, right and left.",
         3.0, 2.0, 0, RightSide, true},
    });
    EXPECT_NE(Value(held.Get(), &IVirtualObject::MustCrossStreet), 0);
    held->SetMustCrossStreet(VARIANT_FALSE); // What the client changes there is the walker's.
    EXPECT_EQ(Run(Do::Cross), "There is no street to cross here.");
}

TEST_F(Walker, RealStreetsOnTheWay) {
    Tracking(false);
    struct Walked {
        const char* what;
        double x, y;
        SHORT heading;
        std::vector<Step> steps;
    } walks[] = {
        // The roundabout is one corner with its three streets.
        {"roundabout",
         7.0,
         2.0,
         90,
         {{Do::Forward,
           "At an intersection, facing east on Harbour Road. Streets here: Station Road, left and "
           "Main Street, behind.",
           8.0, 2.0, 90, RightSide, false}}},
        // A street that changes its name at a bend: the new name is told, the old one behind.
        {"bend",
         4.5,
         -1.0,
         180,
         {{Do::Forward,
           "At an intersection, facing east on Pine Road. Streets here: Cedar Road, left.", 4.5,
           -1.5, 90, RightSide, true}}},
        // The unnamed dead end: nothing ahead going south, South Street going north.
        {"dead end",
         1.5,
         -0.5,
         180,
         {{Do::Forward, "You cannot go forward from here. Turn left or right to choose a street.",
           1.5, -0.5, 180, RightSide, false},
          {Do::Right, "Side street, north", 1.5, -0.5, 0, LeftSide, false},
          // Walking up its left-hand side: South Street eastward is across the unnamed road.
          {Do::Forward,
           "At an intersection, facing east on South Street. Streets here: Side street, right.",
           1.5, 0.0, 90, LeftSide, true}}},
    };
    for (const Walked& w : walks) {
        SCOPED_TRACE(w.what);
        ASSERT_EQ(core->VirtualSet(At(w.x, w.y).Get(), w.heading), S_OK);
        Walk(w.steps);
    }
}

TEST_F(Walker, PlacedWithoutAHeadingTheWalkerTurnsFirst) {
    Tracking(true);
    // At the corner of Main Street and Elm Street, the street found gives a guessed heading.
    ASSERT_EQ(core->VirtualSet(At(6.0, 2.0).Get(), -1), S_OK);
    ComPtr<IIntersectionObject> at;
    ASSERT_EQ(core->GetNextIntersectionAhead(VirtualMode, at.Put()), S_OK);
    EXPECT_EQ(Text(at.Get(), &IIntersectionObject::GetIntersectionDescription),
              "No intersection found ahead.")
        << "a guessed heading is none";
    Walk({
        {Do::Forward, "You cannot go forward from here. Turn left or right to choose a street.",
         6.0, 2.0, 90, RightSide, false},
        {Do::Right, "the right side of Main Street, east", 6.0, 2.0, 90, RightSide, false},
        {Do::Right, "the right side of Elm Street, south", 6.0, 2.0, 180, RightSide, false},
        {Do::Left, "the right side of Main Street, east", 6.0, 2.0, 90, RightSide, false},
    });
    // Between two corners: no direction until a turn picks one of the street's two ways.
    ASSERT_EQ(core->VirtualSet(At(4.0, 2.0).Get(), -1), S_OK);
    Walk({
        {Do::Forward, "No direction is set yet. Turn left or right to choose a street.", 4.0, 2.0,
         90, RightSide, false},
        {Do::Left, "the left side of Main Street, west", 4.0, 2.0, 270, LeftSide, false},
        {Do::Forward,
         "At the corner, facing west on the left side of Main Street. Streets here: Oak Avenue, "
         "left and right.",
         3.0, 2.0, 270, LeftSide, false},
    });
}

TEST_F(Walker, OnStreetMessageLooksToBothSides) {
    // Facing across Main Street between Oak Avenue and Elm Street.
    ASSERT_EQ(core->VirtualSet(At(4.0, 2.0).Get(), 0), S_OK);
    EXPECT_EQ(Run(Do::OnStreet), "On Main Street, facing north. To the left: 257 feet, Oak Avenue. "
                                 "To the right: 515 feet, Elm Street.");
    // The heading is back, but only implied.
    EXPECT_EQ(Now().heading, 0);
    ComPtr<IIntersectionObject> at;
    ASSERT_EQ(core->GetNextIntersectionAhead(VirtualMode, at.Put()), S_OK);
    EXPECT_EQ(Text(at.Get(), &IIntersectionObject::GetCrossStreets),
              "No intersection found ahead.");
    ASSERT_EQ(core->VirtualSetHeading(-1), S_OK);
    EXPECT_EQ(Run(Do::OnStreet), "On Main Street, facing an unknown direction.");
}

TEST_F(Walker, PlacementsAtAPointOfInterestAndAMapsStart) {
    ASSERT_EQ(core->VirtualSetByPOI(Library().Get()), S_OK);
    ComPtr<IVirtualObject> walker;
    ASSERT_EQ(core->VirtualGet(walker.Put()), S_OK);
    EXPECT_EQ(Text(walker.Get(), &IVirtualObject::GetName), "Town Library");
    EXPECT_EQ(Text(walker.Get(), &IVirtualObject::GetDescription), "Elm Street");
    EXPECT_EQ(Now().street, "Elm Street");
    // Facing along Elm Street (the guess from the street found), both sides search the same way.
    EXPECT_EQ(Run(Do::OnStreet), "On Town Library, facing north. To the left: 332 feet, Main "
                                 "Street. To the right: 332 feet, Main Street.");

    struct Case {
        const char* map;
        HRESULT status;
        double latitude, longitude;
    } cases[] = {
        // (How a name is looked up in the table: the map loading test.)
        {"vatican city", S_OK, 41.88333347, 12.50000060},
        {"Sampleton", E_INVALIDARG, 0, 0}, // Not in the table: the walker stays.
        {"", E_INVALIDARG, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.map);
        ASSERT_EQ(core->VirtualSet(At(1, 2).Get(), 90), S_OK);
        EXPECT_EQ(core->VirtualSetToMap(Bstr(c.map).Get()), c.status);
        const DOUBLE latitude = Value(walker.Get(), &IVirtualObject::GetLatitude);
        if (c.status == S_OK) {
            EXPECT_DOUBLE_EQ(latitude, c.latitude);
            EXPECT_DOUBLE_EQ(Value(walker.Get(), &IVirtualObject::GetLongitude), c.longitude);
            EXPECT_EQ(Text(walker.Get(), &IVirtualObject::GetName), c.map);
        } else {
            EXPECT_NEAR(latitude, 45.002, 1e-9);
        }
    }
    EXPECT_EQ(core->VirtualSetToMap(nullptr), E_INVALIDARG);
}

TEST_F(Walker, EveryPlacementGoesToTheHistoryOfPlaces) {
    ComPtr<ILocationObject> named = At(1.0, 2.0);
    named->SetName(Bstr("Corner shop").Get());
    ASSERT_EQ(core->VirtualSet(named.Get(), 90), S_OK);
    ASSERT_EQ(core->VirtualSetByPOI(Library().Get()), S_OK);
    ASSERT_EQ(core->VirtualSetToMap(Bstr("Monaco").Get()), S_OK);
    Run(Do::Forward); // Steps are no placements.
    core->Stop();     // The stores are closed with the service.

    ComPtr<IPOIDatabase> history;
    ASSERT_EQ(gpslib::CreateObject(CLSID_POIDatabase, IID_IPOIDatabase, &history), S_OK);
    Bstr file(maps + "/History.hdb");
    SHORT count = 0;
    ASSERT_EQ(history->OpenDatabase(file.Get(), &count), S_OK);
    ASSERT_EQ(history->DbPOIGetCount(file.Get(), &count), S_OK);
    ASSERT_EQ(count, 3);
    std::vector<std::string> names;
    for (LONG i = 0; i < count; ++i) {
        Bstr name;
        LONG key = 0;
        VARIANT_BOOL found = VARIANT_FALSE;
        ASSERT_EQ(history->DbPOIGetByPosition(file.Get(), i, name.Put(), &key, &found), S_OK);
        names.push_back(name.Utf8());
    }
    // A placement without a name is remembered by its street.
    EXPECT_EQ(names, (std::vector<std::string>{"Main Street", "Town Library", "Monaco"}));
    history->CloseDatabase();
}

TEST_F(Walker, KeptAcrossStopAndStart) {
    Tracking(true);
    ASSERT_EQ(core->VirtualSet(At(1.0, 2.0).Get(), 90), S_OK);
    Run(Do::Forward);
    Run(Do::Right);
    Run(Do::Left);
    Run(Do::Left); // Oak Avenue north, across the street from here.
    core->Stop();
    Restart();
    const State s = Now();
    EXPECT_NEAR(s.x, 3.0, 0.001);
    EXPECT_NEAR(s.y, 2.0, 0.001);
    EXPECT_EQ(s.heading, 0);
    EXPECT_EQ(s.street, "Oak Avenue");
    EXPECT_EQ(s.side, RightSide);
    ComPtr<IVirtualObject> walker;
    ASSERT_EQ(core->VirtualGet(walker.Put()), S_OK);
    EXPECT_EQ(Text(walker.Get(), &IVirtualObject::GetName), "Main Street");
    // It walks on from there; the steps before the stop are gone.
    EXPECT_EQ(Run(Do::Back), "There is no earlier position to go back to.");
    EXPECT_EQ(Run(Do::Forward), "Cross the street first.");
    EXPECT_EQ(Run(Do::Cross), "Facing north on the left side of Oak Avenue.");
}

// A placement keeps the given position, near a corner too, and takes the way nearest its
// heading, turning to either side; the first step leaves from there, or where nothing lies
// ahead, says so and stays.
TEST_F(Walker, PlacedWithAHeadingItStaysAndTakesTheNearestWay) {
    const char* kAtOakAvenue =
        "At an intersection, facing east on Main Street. Streets here: Oak Avenue, left and right.";
    const char* kAtFirstAvenue =
        "At an intersection, facing north on First Avenue. Streets here: Main Street, right.";
    struct Case {
        const char* what;
        double x, y;
        SHORT heading;
        const char* forward;
        double toX, toY;
    } cases[] = {
        {"a little right of east", 1.0, 2.0, 100, kAtOakAvenue, 3.0, 2.0},
        {"a little left of east", 1.0, 2.0, 80, kAtOakAvenue, 3.0, 2.0},
        {"a little right of west", 1.0, 2.0, 280, kAtFirstAvenue, 0.0, 2.0},
        {"a little left of west", 1.0, 2.0, 260, kAtFirstAvenue, 0.0, 2.0},
        {"beside a corner, a little right of south", 6.05, 3.02, 190,
         "At an intersection, facing south on Elm Street. Streets here: Main Street, left and "
         "right.",
         6.0, 2.0},
        {"at the end of a path", 1.5, 3.5, 0,
         "You cannot go forward from here. Turn left or right to choose a street.", 1.5, 3.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(core->VirtualSet(At(c.x, c.y).Get(), c.heading), S_OK);
        ComPtr<IVirtualObject> v;
        ASSERT_EQ(core->VirtualGet(v.Put()), S_OK);
        EXPECT_DOUBLE_EQ(Value(v.Get(), &IVirtualObject::GetLatitude), 45.0 + c.y / 1000.0);
        EXPECT_DOUBLE_EQ(Value(v.Get(), &IVirtualObject::GetLongitude), 10.0 + c.x / 1000.0);
        EXPECT_EQ(Run(Do::Forward), c.forward);
        EXPECT_NEAR(Now().x, c.toX, 0.02);
        EXPECT_NEAR(Now().y, c.toY, 0.02);
    }
}

TEST_F(Walker, BadInputGetsAClearAnswer) {
    // (Null pointers: the classes test.)
    Bstr message;
    ComPtr<IVirtualObject> walker;
    EXPECT_EQ(core->VirtualSetByPOI(Library(false).Get()), E_INVALIDARG)
        << "a POI without a position";

    // Before any placement.
    EXPECT_EQ(Run(Do::Back), "There is no earlier position to go back to.");
    EXPECT_EQ(Run(Do::Left), "No streets found here.");
    EXPECT_EQ(Run(Do::Cross), "There is no street to cross here.");

    // Places that are none, and places without streets.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* what;
        double latitude, longitude;
        SHORT heading;
        HRESULT status;
        SHORT storedHeading;
        const char* forward;
    } cases[] = {
        {"no position", 0.0, 0.0, 90, E_INVALIDARG, 90, ""},
        {"beyond the pole", 91.0, 0.0, 90, E_INVALIDARG, 90, ""},
        {"not a number", nan, 10.0, 90, E_INVALIDARG, 90, ""},
        {"north pole", 90.0, 0.0, 90, S_OK, 90,
         "You cannot go forward from here. Turn left or right to choose a street."},
        {"outside every map, 720 degrees", 45.5, 10.5, 720, S_OK, 0,
         "You cannot go forward from here. Turn left or right to choose a street."},
        {"outside every map, no heading", 45.5, 10.5, -1, S_OK, 90,
         "No direction is set yet. Turn left or right to choose a street."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(core->VirtualSet(At(1.0, 2.0).Get(), 90), S_OK);
        EXPECT_EQ(core->VirtualSet(Location(c.latitude, c.longitude).Get(), c.heading), c.status);
        EXPECT_EQ(Now().heading, c.storedHeading);
        if (c.status != S_OK) {
            EXPECT_NEAR(Now().y, 2.0, 1e-6) << "the walker stays";
            continue;
        }
        EXPECT_EQ(Run(Do::Forward), c.forward);
        EXPECT_EQ(Run(Do::Right), "No streets found here.");
        ComPtr<IWhereAmIObject> w;
        ASSERT_EQ(core->WhereAmI(VirtualMode, w.Put()), S_OK);
        EXPECT_EQ(Text(w.Get(), &IWhereAmIObject::GetDescription), "") << "not the earlier street";
    }

    // Before Start and after Stop there is no walker.
    core->Stop();
    EXPECT_EQ(core->VirtualGet(walker.Put()), E_FAIL);
    EXPECT_EQ(core->VirtualSet(At(1, 2).Get(), 90), E_FAIL);
    EXPECT_EQ(core->VirtualSetToMap(Bstr("Monaco").Get()), E_FAIL);
    EXPECT_EQ(core->VirtualSetHeading(90), E_FAIL);
    EXPECT_EQ(core->VirtualSetImpliedHeading(90), E_FAIL);
    for (auto method : {&IGPSCore::VirtualForward, &IGPSCore::VirtualBackup,
                        &IGPSCore::VirtualTurnLeft, &IGPSCore::VirtualTurnRight,
                        &IGPSCore::VirtualCrossStreet, &IGPSCore::VirtualGetOnStreetMessage}) {
        EXPECT_EQ((core.Get()->*method)(message.Put()), E_FAIL);
        EXPECT_EQ(message.Get(), nullptr);
    }
    EXPECT_EQ(core->VirtualSetByPOI(Library().Get()), E_FAIL);
}

} // namespace
} // namespace gpslib::test
