// Where Am I and the intersections over the sample town, as a client asks them: exact texts at
// known places in both modes and every description style, the log lines the support staff read,
// the small queries lookaround and the first fix use, and bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "base/LocationObject.h"
#include "orientation/IntersectionObject.h"
#include "parts_fixture.h"
#include "streets_fixture.h"
#include "value.h"

namespace gpslib::test {
namespace {

class WhereAmI : public StreetsFixture {
protected:
    struct Answer {
        std::string description, street, house, city, postcode, map, mapName;
        SHORT speed = 0;
        double x = 0, y = 0;
    };
    Answer Read(IWhereAmIObject* w) {
        using W = IWhereAmIObject;
        return {Text(w, &W::GetDescription),
                Text(w, &W::GetStreetName),
                Text(w, &W::GetHouseNumber),
                Text(w, &W::GetCity),
                Text(w, &W::GetZipPostalcode),
                Text(w, &W::GetMap),
                Text(w, &W::GetMapNameOnly),
                Value(w, &W::GetRoadSpeedLimit),
                (Value(w, &W::GetLongitude) - 10.0) * 1000.0,
                (Value(w, &W::GetLatitude) - 45.0) * 1000.0};
    }
    Answer Ask(Mode mode) {
        ComPtr<IWhereAmIObject> w;
        EXPECT_EQ(core->WhereAmI(mode, w.Put()), S_OK);
        return w ? Read(w.Get()) : Answer{};
    }
};

struct IntersectionTexts {
    std::string shortText, detailed, current, cross;
    double x = 0, y = 0;
    bool valid = false;
};

IntersectionTexts ReadTexts(IIntersectionObject* at) {
    using I = IIntersectionObject;
    return {Text(at, &I::GetIntersectionDescription),
            Text(at, &I::GetIntersectionDescriptionDetailed),
            Text(at, &I::GetCurrentStreetName),
            Text(at, &I::GetCrossStreets),
            (Value(at, &I::GetLongitude) - 10.0) * 1000.0,
            (Value(at, &I::GetLatitude) - 45.0) * 1000.0,
            Value(at, &I::IsValid) != 0};
}

// ---------------------------------------------------------------------------------------------
// Where Am I.

TEST_F(WhereAmI, KnownPlacesInBothModes) {
    struct Case {
        double x, y;
        SHORT heading;
        Mode mode;
        bool sideTracking;
        const char* description;
        const char* street;
        const char* house;
        SHORT mph;
    } cases[] = {
        // Close by a number of Main Street (which number, on which side: the engine's test).
        {1.0, 2.0, 90, GPSMode, false, "Close by 4 Main Street", "Main Street", "4", 31},
        // The building numbered 12 on Elm Street; Elm Street has no speed limit.
        {6.1, 1.1, 0, GPSMode, false, "Close by 12 Elm Street", "Elm Street", "12", 0},
        // Either half of the dual carriageway is Oak Avenue, 30 mph.
        {3.0, 2.5, 180, GPSMode, false, "Close by Oak Avenue", "Oak Avenue", "", 30},
        // Beyond the arrival distance: the way to the street follows it.
        {4.5, 1.0, 90, GPSMode, false, "Service road, 145 feet, left", "Service road", "", 0},
        // The walker is never "close by"; its side is told only while tracking is on.
        {1.0, 2.0, 90, VirtualMode, false, "4 Main Street", "Main Street", "4", 31},
        {1.0, 2.0, 90, VirtualMode, true, "4 Main Street, on the right side", "Main Street", "4",
         31},
        {4.5, 1.0, 90, VirtualMode, true, "Service road, 145 feet, left, on the right side",
         "Service road", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y) + " mode " +
                     std::to_string(c.mode));
        Settings([&](ISystemSettingsObject* s) {
            s->SetVirtualSideOfStreetTracking(c.sideTracking ? VARIANT_TRUE : VARIANT_FALSE);
        });
        if (c.mode == GPSMode)
            PlaceReceiver(c.x, c.y, c.heading);
        else
            ASSERT_EQ(core->VirtualSet(At(c.x, c.y).Get(), c.heading), S_OK);
        const Answer a = Ask(c.mode);
        EXPECT_EQ(a.description, c.description);
        EXPECT_EQ(a.street, c.street);
        EXPECT_EQ(a.house, c.house);
        EXPECT_EQ(a.city + "|" + a.postcode + "|" + a.map + "|" + a.mapName,
                  "Sampleton|12345|Sampleton|Sampleton");
        EXPECT_EQ(a.speed, c.mph);
    }
}

TEST_F(WhereAmI, SpeedLimitAndDistancesFollowTheUnits) {
    struct Case {
        Units units;
        SHORT mainStreet, oakAvenue;
        const char* farDescription;
    } cases[] = {
        {Metric, 50, 48, "Service road, 44 metres, left"},
        {Nautical, 31, 30, "Service road, 145 feet, left"},
        {BritishNautical, 31, 30, "Service road, 145 feet, left"},
    };
    // (Imperial, the default: the known places above.)
    for (const Case& c : cases) {
        SCOPED_TRACE(c.units);
        UseUnits(c.units);
        PlaceReceiver(1.0, 2.0, 90);
        EXPECT_EQ(Ask(GPSMode).speed, c.mainStreet);
        PlaceReceiver(3.0, 2.5, 180);
        EXPECT_EQ(Ask(GPSMode).speed, c.oakAvenue);
        PlaceReceiver(4.5, 1.0, 90);
        EXPECT_EQ(Ask(GPSMode).description, c.farDescription);
    }
}

TEST_F(WhereAmI, AtALocationUsesTheCurrentModeAndTheGivenHeading) {
    ComPtr<IWhereAmIObject> w;
    ASSERT_EQ(core->WhereAmIAtLocation(At(4.5, 1.0).Get(), 270, w.Put()), S_OK);
    EXPECT_EQ(Read(w.Get()).description, "Service road, 145 feet, right");
    // The matched point on the street is the answer's position.
    EXPECT_NEAR(Read(w.Get()).x, 4.5, 0.01);
    EXPECT_NEAR(Read(w.Get()).y, 1.4, 0.01);
    ASSERT_EQ(core->SystemSetCurrentMode(VirtualMode), S_OK);
    ASSERT_EQ(core->WhereAmIAtLocation(At(1.0, 2.0).Get(), 90, w.Put()), S_OK);
    EXPECT_EQ(Read(w.Get()).description, "4 Main Street") << "no close-by word for the walker";
}

TEST_F(WhereAmI, DetailedNamesAndSpellDecorators) {
    Settings([](ISystemSettingsObject* s) {
        s->SetIncludeSpellDecorators(VARIANT_TRUE);
        s->SetStreetNamesDetailed(VARIANT_TRUE);
    });
    PlaceReceiver(1.0, 2.0, 90);
    const Answer a = Ask(GPSMode);
    EXPECT_EQ(a.street, "<<Main Street>>");
    EXPECT_EQ(a.city, "<<Sampleton>>");
    EXPECT_EQ(a.description, "Close by 4 <<Main Street>>");
}

TEST_F(WhereAmI, CurrentMapCityAndPostalCode) {
    PlaceReceiver(1.0, 2.0, 90);
    ComPtr<IWhereAmIObject> w;
    ASSERT_EQ(core->AddressGetCurrentMapCityPostal(GPSMode, w.Put()), S_OK);
    const Answer a = Read(w.Get());
    EXPECT_EQ(a.city + "|" + a.postcode + "|" + a.map, "Sampleton|12345|Sampleton");
    EXPECT_EQ(a.street, "") << "only the areas and the map";
    EXPECT_EQ(Text(w.Get(), &IWhereAmIObject::GetStateProvince), "Example State");
    EXPECT_EQ(Text(w.Get(), &IWhereAmIObject::GetCountry), "Exampleland");
}

// ---------------------------------------------------------------------------------------------
// Intersections.

TEST_F(WhereAmI, NearestAndNextIntersectionAhead) {
    struct Case {
        double x, y;
        SHORT heading;
        bool ahead;
        IntersectionTexts want;
    } cases[] = {
        // Between First Avenue and the dual carriageway, facing east: the nearest corner is
        // behind, the next one ahead is Oak Avenue, both halves one intersection.
        {1.0,
         2.0,
         90,
         false,
         {"The intersection is 257 feet, behind. First Avenue, left and right",
          "3-way intersection. Facing east on Main Street. The intersection is 257 feet, behind. "
          "Main Street, ahead and First Avenue, left and right",
          "Main Street", "First Avenue", 0.0, 2.0, true}},
        {1.0,
         2.0,
         90,
         true,
         {"The intersection is 515 feet, ahead. Oak Avenue, left and right",
          "4-way intersection. Facing east on Main Street. The intersection is 515 feet, ahead. "
          "Main Street, ahead and behind and Oak Avenue, left and right",
          "Main Street", "Oak Avenue", 3.0, 2.0, true}},
        // Park Path ends in the park: nothing ahead, the position is no place.
        {1.5,
         3.5,
         0,
         true,
         {"No intersection found ahead.", "No intersection found ahead.", "Park Path",
          "No intersection found ahead.", -10000.0, -45000.0, false}},
        // Far outside the town: nothing near, no street either.
        {20.0,
         20.0,
         0,
         false,
         {"No intersection found nearby.", "No intersection found nearby.", "",
          "No intersection found nearby.", -10000.0, -45000.0, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y) + " heading " +
                     std::to_string(c.heading) + (c.ahead ? " ahead" : " nearest"));
        PlaceReceiver(c.x, c.y, c.heading);
        ComPtr<IIntersectionObject> at;
        ASSERT_EQ(c.ahead ? core->GetNextIntersectionAhead(GPSMode, at.Put())
                          : core->GetNearestIntersection(GPSMode, at.Put()),
                  S_OK);
        const IntersectionTexts t = ReadTexts(at.Get());
        EXPECT_EQ(t.shortText, c.want.shortText);
        EXPECT_EQ(t.detailed, c.want.detailed);
        EXPECT_EQ(t.current, c.want.current);
        EXPECT_EQ(t.cross, c.want.cross);
        EXPECT_EQ(t.valid, c.want.valid);
        EXPECT_NEAR(t.x, c.want.x, 0.02);
        EXPECT_NEAR(t.y, c.want.y, 0.02);
    }
}

// The corner of Elm Street and North Street, where an unnamed footway leaves to the north-east,
// asked by each of the three questions and for the receiver and the walker alike: the footway
// counts in the number of ways and is named like any street.
TEST_F(WhereAmI, EveryBranchOfAnIntersectionIsTold) {
    enum class Ask { AtLocation, Nearest, Ahead };
    const char* kAtTheFootway = "3-way intersection. On Footway. Footway, north-east and "
                                "North Street, west and Elm Street, south";
    const char* kFromMainStreet =
        "3-way intersection. Facing north on Elm Street. The intersection is 364 feet, ahead. Elm "
        "Street, behind and Footway, ahead right and North Street, left";
    struct Case {
        Ask ask;
        Mode mode;
        double x, y;
        SHORT heading;
        const char* detailed;
        const char* cross;
    } cases[] = {
        {Ask::AtLocation, GPSMode, 6.05, 3.02, -1, kAtTheFootway, "Elm Street and North Street"},
        {Ask::Nearest, GPSMode, 6.05, 3.02, -1, kAtTheFootway, "Elm Street and North Street"},
        {Ask::Nearest, VirtualMode, 6.05, 3.02, -1, kAtTheFootway, "Elm Street and North Street"},
        {Ask::Ahead, GPSMode, 6.0, 2.0, 0, kFromMainStreet, "Footway and North Street"},
        {Ask::Ahead, VirtualMode, 6.0, 2.0, 0, kFromMainStreet, "Footway and North Street"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.ask)) + " mode " + std::to_string(c.mode));
        if (c.mode == GPSMode)
            PlaceReceiver(c.x, c.y, c.heading);
        else
            ASSERT_EQ(core->VirtualSet(At(c.x, c.y).Get(), c.heading), S_OK);
        ComPtr<IIntersectionObject> at;
        HRESULT hr = E_FAIL;
        switch (c.ask) {
        case Ask::AtLocation:
            hr = core->GetNearestIntersectionLocation(At(c.x, c.y).Get(), at.Put());
            break;
        case Ask::Nearest:
            hr = core->GetNearestIntersection(c.mode, at.Put());
            break;
        case Ask::Ahead:
            hr = core->GetNextIntersectionAhead(c.mode, at.Put());
            break;
        }
        ASSERT_EQ(hr, S_OK);
        const IntersectionTexts t = ReadTexts(at.Get());
        EXPECT_EQ(t.detailed, c.detailed);
        EXPECT_EQ(t.cross, c.cross);
        EXPECT_NEAR(t.x, 6.0, 0.02);
        EXPECT_NEAR(t.y, 3.0, 0.02);
    }
}

// The style reaches the intersection's texts (each style's words: the descriptions test; the
// default style: the intersections above).
TEST_F(WhereAmI, DirectionsInTheChosenDescriptionStyle) {
    struct Case {
        RelativeHeadingType style;
        const char* shortText;
    } cases[] = {
        {ClockFace,
         "The intersection is 515 feet, 12 o'clock. Oak Avenue, 9 o'clock and 3 o'clock"},
        {LeftRightDegreesCompass,
         "The intersection is 515 feet, east, 1 degrees left. Oak Avenue, north, 90 degrees left "
         "and south, 90 degrees right"},
    };
    PlaceReceiver(1.0, 2.0, 90);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        Settings([&](ISystemSettingsObject* s) { s->SetHeadingMode(c.style); });
        ComPtr<IIntersectionObject> at;
        ASSERT_EQ(core->GetNextIntersectionAhead(GPSMode, at.Put()), S_OK);
        EXPECT_EQ(ReadTexts(at.Get()).shortText, c.shortText);
    }
    // Without a heading the nearest intersection is told by compass points.
    ComPtr<IIntersectionObject> at;
    ASSERT_EQ(core->GetNearestIntersectionLocation(At(1.0, 2.0).Get(), at.Put()), S_OK);
    EXPECT_EQ(ReadTexts(at.Get()).detailed,
              "3-way intersection. On Main Street. The intersection is 257 feet, west. Main "
              "Street, east and First Avenue, north and south");
}

TEST_F(WhereAmI, TheWalkersImpliedHeadingIsNoHeading) {
    ASSERT_EQ(core->VirtualSet(At(1.0, 2.0).Get(), 90), S_OK);
    ASSERT_EQ(core->VirtualSetImpliedHeading(90), S_OK);
    const std::size_t logged = Log().size();
    ComPtr<IIntersectionObject> at;
    ASSERT_EQ(core->GetNextIntersectionAhead(VirtualMode, at.Put()), S_OK);
    EXPECT_EQ(ReadTexts(at.Get()).shortText, "No intersection found ahead.");
    EXPECT_EQ(Log().find("UpdateNearestIntersectionDescriptions", logged), std::string::npos)
        << "the maps are not asked";
    ASSERT_EQ(core->VirtualSetHeading(90), S_OK);
    ASSERT_EQ(core->GetNextIntersectionAhead(VirtualMode, at.Put()), S_OK);
    EXPECT_EQ(ReadTexts(at.Get()).cross, "Oak Avenue");
}

TEST_F(WhereAmI, LogLinesOfTheIntersectionSearch) {
    auto linesSince = [&](std::size_t from) {
        std::string lines;
        std::istringstream in(Log().substr(from));
        for (std::string line; std::getline(in, line);)
            if (line.size() > 22) lines += line.substr(22) + "\n"; // Without the time stamp.
        return lines;
    };
    PlaceReceiver(1.0, 2.0, 90);
    std::size_t from = Log().size();
    ComPtr<IIntersectionObject> at;
    ASSERT_EQ(core->GetNearestIntersection(GPSMode, at.Put()), S_OK);
    EXPECT_EQ(
        linesSince(from),
        "GPSCore::GetNearestIntersection enter\n"
        "  GPSCore::UpdateNearestIntersectionDescriptions enter\n"
        "  GPSCore::UpdateNearestIntersectionDescriptions result == _bstr_t(OK) && "
        "currentGPSStreet)\n"
        "  GPSCore::UpdateNearestIntersectionDescriptions about to call FindNextCrossStreets\n"
        "  GPSCore::UpdateNearestIntersectionDescriptions returned from FindNextCrossStreets\n"
        "    GPSCore::UpdateNearestIntersectionDescriptions: "
        "GetDetailedIntersectionDescription starting\n"
        "    GPSCore::UpdateNearestIntersectionDescriptions: "
        "GetDetailedIntersectionDescription finished\n"
        "    GPSCore::UpdateNearestIntersectionDescriptions: Finished reached.\n"
        "  GPSCore::UpdateNearestIntersectionDescriptions exit: streetsFound\n"
        "GPSCore::GetNearestIntersection exit\n");

    from = Log().size();
    ASSERT_EQ(core->GetNearestIntersectionLocation(At(20.0, 20.0).Get(), at.Put()), S_OK);
    EXPECT_EQ(linesSince(from),
              "GPSCore::GetNearestIntersectionLocation enter\n"
              "  GPSCore::UpdateNearestIntersectionDescriptions enter\n"
              "  GPSCore::UpdateNearestIntersectionDescriptions didn't pass result == "
              "_bstr_t(OK) && currentGPSStreet)\n"
              "    GPSCore::UpdateNearestIntersectionDescriptions: Finished reached.\n"
              "    GPSCore::UpdateNearestIntersectionDescriptions: no streetsFound\n"
              "    GPSCore::UpdateNearestIntersectionDescriptions: no Heading\n"
              "    GPSCore::UpdateNearestIntersectionDescriptions exiting : "
              "UpdateNoIntersectionFoundDescriptions\n"
              "  GPSCore::UpdateNearestIntersectionDescriptions exit\n"
              "GPSCore::GetNearestIntersectionLocation Exit\n");

    // Without maps the texts stay as they were and the position is dropped.
    ASSERT_EQ(core->SystemMapsPOIsUnLoad(), S_OK);
    from = Log().size();
    ASSERT_EQ(core->GetNearestIntersection(GPSMode, at.Put()), S_OK);
    EXPECT_EQ(linesSince(from), "GPSCore::GetNearestIntersection enter\n"
                                "  GPSCore::UpdateNearestIntersectionDescriptions enter\n"
                                "  GPSCore::UpdateNearestIntersectionDescriptions exit: NoMaps\n"
                                "GPSCore::GetNearestIntersection exit\n");
    const IntersectionTexts t = ReadTexts(at.Get());
    EXPECT_FALSE(t.valid);
    EXPECT_EQ(t.shortText, "");
}

// ---------------------------------------------------------------------------------------------
// The internal operations lookaround and the first fix use, on the part alone.

class WhereAmIPart : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(RegisterModules({GPSMAP_MODULE, GPSDB_MODULE})); }
    void SetUp() override {
        ASSERT_EQ(parts.Start(PrepareSettingsFolder(dir), CopySampleTown(dir)), "");
    }
    TempDir dir;
    ServiceParts parts;
    gpscore::WhereAmI& part = parts.whereAmI;
};

TEST_F(WhereAmIPart, StreetCityStateAndPlaceNames) {
    struct Case {
        double x, y;
        SHORT heading;
        bool found;
        const char* street;
        const char* house;
    } cases[] = {
        {0.3, 2.01, 90, true, "Main Street", "1"},
        {20.0, 20.0, 0, false, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.street);
        std::u16string street, city, state, house;
        const bool found = part.GetStreetCityState(45.0 + c.y / 1000, 10.0 + c.x / 1000, c.heading,
                                                   &street, &city, &state, &house);
        // Outside every map the engine answers an empty list: no record to read.
        EXPECT_EQ(found, c.found);
        EXPECT_EQ(gpslib::ToUtf8(street), c.street);
        EXPECT_EQ(gpslib::ToUtf8(house), c.house);
        EXPECT_EQ(gpslib::ToUtf8(city), c.found ? "Sampleton" : "");
        EXPECT_EQ(gpslib::ToUtf8(state), c.found ? "Example State" : "");
        std::u16string map;
        EXPECT_EQ(
            part.NearestPlaceNames(gpscore::PlaceAt(At(c.x, c.y).Get()), &street, &city, &map),
            c.found);
        EXPECT_EQ(gpslib::ToUtf8(street), c.street);
        EXPECT_EQ(gpslib::ToUtf8(map), c.found ? "Sampleton" : "");
    }
    const std::string log = ReadWholeFile(dir.File("Debug/gpsDebug.txt"));
    EXPECT_NE(log.find("    GetStreetCityState\n"), std::string::npos);
    EXPECT_NE(log.find("    GetLocationsDetailsVector\n"), std::string::npos);
    EXPECT_NE(log.find(" GPSCore::GetStreetCityState - Exit2 error\n"), std::string::npos);
    // Coordinates no place has: never passed on to the maps.
    for (double latitude : {std::nan(""), 95.0, -1e300}) {
        std::u16string street, city, state, house;
        EXPECT_FALSE(part.GetStreetCityState(latitude, 10.001, 90, &street, &city, &state, &house));
    }
}

TEST_F(WhereAmIPart, IntersectionAnswersInPlainWords) {
    const gpscore::Place onMain = gpscore::PlaceAt(At(1.0, 2.0).Get());
    struct Case {
        const char* what;
        gpscore::IntersectionAnswer answer;
        bool found;
        const char* current;
        const char* text;
    } cases[] = {
        // The heading it is spoken from and the direction it searches are separate: searching
        // east while facing west.
        {"east, facing west", part.NearestIntersection(onMain, 270, 90), true, "Main Street",
         "The intersection is 515 feet, behind. Oak Avenue, right and left"},
        // Ahead without a heading: nothing to search along, and no street asked for.
        {"ahead, no heading", part.Intersection(onMain, -1, true), false, "",
         "No intersection found ahead."},
        {"off every map", part.Intersection(gpscore::Place{}, 90, false), false, "",
         "No intersection found nearby."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.answer.Found(), c.found);
        EXPECT_EQ(gpslib::ToUtf8(c.answer.currentStreet), c.current);
        EXPECT_EQ(gpslib::ToUtf8(c.answer.description), c.text);
        // Without an intersection every text says so.
        if (!c.found) {
            EXPECT_EQ(c.answer.crossStreets, c.answer.descriptionDetailed);
        }
    }
}

// The destination part reads the place it holds at each use: one that can no longer be read is
// no destination. (A held place changed by its owner, and what each mode lacks: the lifecycle
// test.)
TEST_F(WhereAmIPart, TheDestinationReadsItsHeldPlaceAtEachUse) {
    struct Moving : gpscore::HeldPlace {
        std::optional<gpscore::Place> now;
        std::optional<gpscore::Place> Read() const override { return now; }
    };
    auto held = std::make_shared<Moving>();
    held->now = gpscore::Place{45.002, 10.001, u"Casino", u""};
    gpscore::Destination& destination = parts.destination;
    destination.Set(held, LeftSide);
    EXPECT_EQ(destination.Side(), LeftSide);
    const gpscore::Place here{45.001, 10.001, u"", u""};
    EXPECT_FALSE(destination.Missing(GPSMode, here));
    const std::u16string noFix = destination.Missing(GPSMode, std::nullopt).value_or(u"");
    held->now.reset();
    const std::u16string none = destination.Missing(GPSMode, here).value_or(u"");
    EXPECT_NE(none, noFix);
    destination.Clear();
    EXPECT_EQ(destination.Missing(GPSMode, here), none);
    EXPECT_EQ(destination.Side(), SideUnknown);
}

// ---------------------------------------------------------------------------------------------
// Bad input.

TEST_F(WhereAmI, BadInputGetsAClearAnswer) {
    ComPtr<IWhereAmIObject> w;
    ComPtr<IIntersectionObject> at;
    // One null of two (every null at once: the classes test).
    EXPECT_EQ(core->WhereAmIAtLocation(nullptr, 0, w.Put()), E_POINTER);
    EXPECT_EQ(core->WhereAmIAtLocation(At(1, 2).Get(), 0, nullptr), E_POINTER);
    EXPECT_EQ(core->GetNearestIntersectionLocation(nullptr, at.Put()), E_POINTER);
    // Modes outside the enumeration.
    for (int mode : {-1, 2, 1000}) {
        EXPECT_EQ(core->WhereAmI(static_cast<Mode>(mode), w.Put()), E_INVALIDARG);
        EXPECT_EQ(w.Get(), nullptr);
        EXPECT_EQ(core->GetNearestIntersection(static_cast<Mode>(mode), at.Put()), E_INVALIDARG);
        EXPECT_EQ(core->GetNextIntersectionAhead(static_cast<Mode>(mode), at.Put()), E_INVALIDARG);
        EXPECT_EQ(core->AddressGetCurrentMapCityPostal(static_cast<Mode>(mode), w.Put()),
                  E_INVALIDARG);
    }

    // Places without a street: never the answer of an earlier place. Only a missing position
    // is an unknown one; a known position the maps say nothing about gets an empty answer.
    struct Case {
        const char* what;
        double latitude, longitude;
        SHORT heading;
        const char* description;
    } cases[] = {
        {"no position", 0.0, 0.0, 90, "Position unknown."},
        {"north pole", 90.0, 0.0, 90, ""},
        {"south pole", -90.0, 180.0, -1, ""},
        {"outside every map", 45.5, 10.5, 720, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ComPtr<ILocationObject> place = Location(c.latitude, c.longitude);
        PlaceReceiver(1.0, 2.0, 90); // A good answer first.
        ASSERT_EQ(core->WhereAmI(GPSMode, w.Put()), S_OK);
        ASSERT_EQ(core->GPSForceLocation(place.Get(), c.heading), S_OK);
        ASSERT_EQ(core->WhereAmI(GPSMode, w.Put()), S_OK);
        EXPECT_EQ(Read(w.Get()).description, c.description);
        EXPECT_EQ(Read(w.Get()).street, "");
        EXPECT_EQ(Read(w.Get()).city, "");
        ASSERT_EQ(core->WhereAmIAtLocation(place.Get(), c.heading, w.Put()), S_OK);
        EXPECT_EQ(Read(w.Get()).description, c.description);
        ASSERT_EQ(core->GetNearestIntersection(GPSMode, at.Put()), S_OK);
        EXPECT_FALSE(ReadTexts(at.Get()).valid);
        EXPECT_EQ(ReadTexts(at.Get()).cross, "No intersection found nearby.");
        ASSERT_EQ(core->GetNextIntersectionAhead(GPSMode, at.Put()), S_OK);
        EXPECT_FALSE(ReadTexts(at.Get()).valid);
        ASSERT_EQ(core->AddressGetCurrentMapCityPostal(GPSMode, w.Put()), S_OK);
        EXPECT_EQ(Read(w.Get()).city, "");
    }

    // Coordinates no place has: asked about directly, never passed on to the maps.
    for (double latitude : {std::nan(""), 95.0, -1e300}) {
        ComPtr<ILocationObject> place = Location(latitude, 10.001);
        ASSERT_EQ(core->WhereAmIAtLocation(place.Get(), 90, w.Put()), S_OK);
        EXPECT_EQ(Read(w.Get()).description, "Position unknown.");
        ASSERT_EQ(core->GetNearestIntersectionLocation(place.Get(), at.Put()), S_OK);
        EXPECT_EQ(ReadTexts(at.Get()).cross, "No intersection found nearby.");
    }

    // Before Start and after Stop there is nothing to answer for.
    core->Stop();
    EXPECT_EQ(core->WhereAmI(GPSMode, w.Put()), E_FAIL);
    EXPECT_EQ(core->WhereAmI(VirtualMode, w.Put()), E_FAIL);
    EXPECT_EQ(core->WhereAmIAtLocation(At(1, 2).Get(), 90, w.Put()), E_FAIL);
    EXPECT_EQ(core->GetNearestIntersection(GPSMode, at.Put()), E_FAIL);
    EXPECT_EQ(core->GetNearestIntersectionLocation(At(1, 2).Get(), at.Put()), E_FAIL);
    EXPECT_EQ(core->GetNextIntersectionAhead(VirtualMode, at.Put()), E_FAIL);
    EXPECT_EQ(core->AddressGetCurrentMapCityPostal(GPSMode, w.Put()), E_FAIL);
    EXPECT_EQ(at.Get(), nullptr);
}

} // namespace
} // namespace gpslib::test
