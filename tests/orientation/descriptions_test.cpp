// The spoken words for numbers: compass points, headings, every relative-direction style over
// all relative angles, distances in every unit, spelled names and the template codes.
#include "orientation/Descriptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Utility.h"

namespace {

using gpscore::Utility;
using gpslib::Bstr;
using gpslib::ComPtr;

std::string U8(const std::u16string& text) {
    return std::string(text.begin(), text.end()); // the module's texts are ASCII
}

// Loads the string module and puts every setting read here back to a known state.
class Descriptions : public ::testing::Test {
protected:
    void SetUp() override {
        utility = Utility::Instance();
        ASSERT_NE(utility, nullptr);
        ASSERT_TRUE(utility->LoadResources(GPSLIB_RESOURCE_MODULE));
        Settings(AheadLeft, Imperial);
        settings()->SetDefaultCompassDescriptions(Full);
        settings()->SetIncludeSpellDecorators(0);
        gpscore::SetCoarseDirections(false);
    }
    void TearDown() override { gpscore::SetCoarseDirections(false); }

    ISystemSettingsObject* settings() { return utility->SystemSettings().Get(); }
    void Settings(RelativeHeadingType mode, Units units) {
        settings()->SetHeadingMode(mode);
        settings()->SetUnits(units);
    }
    std::string Word(int id) { return U8(utility->GetString(id)); }
    std::string Clock(int hour) { return U8(utility->FormatString(20580, {std::int64_t{hour}})); }

    Utility* utility = nullptr;
};

// ---- Compass points and headings

TEST_F(Descriptions, CompassPointsByDegreesAndLength) {
    const struct {
        int degrees;
        SystemDescriptions length;
        const char* text;
    } cases[] = {
        {0, Full, "north"},        {22, Full, "north"},
        {23, Full, "north-east"},  {67, Full, "north-east"},
        {68, Full, "east"},        {112, Full, "east"},
        {113, Full, "south-east"}, {157, Full, "south-east"},
        {158, Full, "south"},      {202, Full, "south"},
        {203, Full, "south-west"}, {247, Full, "south-west"},
        {248, Full, "west"},       {292, Full, "west"},
        {293, Full, "north-west"}, {337, Full, "north-west"},
        {338, Full, "north"},      {360, Full, "north"},
        {-5, Full, "north"},       {361, Full, "direction unknown"},
        {90, Short, "E"},          {90, Both, "east (E)"},
        {225, Short, "SW"},
    };
    for (const auto& c : cases) {
        settings()->SetDefaultCompassDescriptions(c.length);
        EXPECT_EQ(U8(gpscore::CompassPointText(c.degrees)), c.text) << c.degrees;
    }
}

TEST_F(Descriptions, HeadingTextAsDegreesOrCompass) {
    const struct {
        int degrees;
        HeadingType type;
        const char* text;
    } cases[] = {{-1, Degrees, "direction unknown"},
                 {-1, Compass, "direction unknown"},
                 {0, Degrees, "0"},
                 {359, Degrees, "359"},
                 {45, Compass, "north-east"},
                 {360, Compass, "north"}};
    for (const auto& c : cases)
        EXPECT_EQ(U8(gpscore::HeadingText(c.degrees, c.type)), c.text) << c.degrees;
}

// ---- Relative directions: each style over every relative angle, against sector tables

struct Sector {
    int from; // first relative angle of the sector
    int id;   // word id, or -hour for the clock format
};

// The expected text of relative angle r by the sectors (each runs up to the next one's start).
std::string Expected(const std::vector<Sector>& sectors, int r, Utility* utility) {
    int id = 0;
    for (const Sector& s : sectors)
        if (r >= s.from) id = s.id;
    if (id < 0) return U8(utility->FormatString(20580, {std::int64_t{-id}}));
    return U8(utility->GetString(id));
}

constexpr int kA = 20186, kAL = 20187, kAR = 20188, kL = 20189, kR = 20190, kB = 20191, kBL = 20192,
              kBR = 20193, kBack = 20194;

TEST_F(Descriptions, AheadLeftEveryAngleWithCoarseAndSideBiased) {
    const struct {
        bool coarse, sideBiased;
        std::vector<Sector> sectors;
    } styles[] = {
        {false,
         false,
         {{0, kA},
          {23, kAR},
          {68, kR},
          {113, kBR},
          {135, kB},
          {203, kBL},
          {248, kL},
          {293, kAL},
          {338, kA}}},
        {true, false, {{0, kA}, {68, kR}, {113, kB}, {248, kL}, {293, kA}}},
        {false,
         true,
         {{0, kA},
          {23, kAR},
          {68, kR},
          {135, kB},
          {158, kBack},
          {203, kL},
          {225, kBL},
          {248, kL},
          {293, kAL},
          {338, kA}}},
        {true,
         true,
         {{0, kA}, {68, kR}, {135, kB}, {158, kBack}, {203, kL}, {225, kB}, {248, kL}, {293, kA}}},
    };
    Settings(AheadLeft, Imperial);
    for (const auto& style : styles) {
        gpscore::SetCoarseDirections(style.coarse);
        for (int heading : {0, 90, 359}) {
            for (int r = 0; r < 360; ++r) {
                int bearing = (heading + r) % 360;
                ASSERT_EQ(U8(gpscore::RelativeDirectionText(heading, bearing, style.sideBiased)),
                          Expected(style.sectors, r, utility))
                    << "coarse " << style.coarse << " sideBiased " << style.sideBiased
                    << " heading " << heading << " r " << r;
            }
        }
    }
}

TEST_F(Descriptions, ComboEveryAngleIgnoresCoarse) {
    const std::vector<Sector> plain = {{0, kA},    {23, -1},   {45, -2},  {68, kR},  {113, -4},
                                       {135, -5},  {158, kB},  {203, -7}, {225, -8}, {248, kL},
                                       {293, -10}, {315, -11}, {338, kA}};
    std::vector<Sector> sideBiased = plain;
    sideBiased[6].id = kBack;
    Settings(Combo, Imperial);
    for (bool coarse : {false, true}) {
        gpscore::SetCoarseDirections(coarse);
        for (bool biased : {false, true}) {
            for (int r = 0; r < 360; ++r) {
                int heading = 200, bearing = (heading + r) % 360;
                ASSERT_EQ(U8(gpscore::RelativeDirectionText(heading, bearing, biased)),
                          Expected(biased ? sideBiased : plain, r, utility))
                    << "coarse " << coarse << " sideBiased " << biased << " r " << r;
            }
        }
    }
}

TEST_F(Descriptions, ClockFaceEveryAngle) {
    Settings(ClockFace, Imperial);
    for (bool flags : {false, true}) {
        gpscore::SetCoarseDirections(flags);
        for (int r = 0; r < 360; ++r) {
            int hour = r <= 15 || r >= 346 ? 12 : (r - 16) / 30 + 1;
            ASSERT_EQ(U8(gpscore::RelativeDirectionText(10, (10 + r) % 360, flags)), Clock(hour))
                << r;
        }
    }
}

TEST_F(Descriptions, LeftRightDegreesCompassEveryAngle) {
    const char* const kPoints[] = {"north", "north-east", "east", "south-east",
                                   "south", "south-west", "west", "north-west"};
    Settings(LeftRightDegreesCompass, Imperial);
    for (int heading : {0, 135, 350}) {
        for (int r = 0; r < 360; ++r) {
            int bearing = (heading + r) % 360;
            int angle = r <= 180 ? r : 360 - r;
            const char* side = r == 0 ? "ahead" : r <= 180 ? "right" : "left";
            std::string expected = std::string(kPoints[(bearing + 22) / 45 % 8]) + ", " +
                                   std::to_string(angle) + " degrees " + side;
            ASSERT_EQ(U8(gpscore::RelativeDirectionText(heading, bearing, r % 2 == 0)), expected)
                << heading << " " << bearing;
        }
    }
}

TEST_F(Descriptions, RelativeDirectionEdges) {
    const struct {
        RelativeHeadingType mode;
        double heading;
        int bearing;
        const char* text;
    } cases[] = {
        {AheadLeft, 0, 140, "behind"},
        {AheadLeft, 0, 120, "behind right"},
        {AheadLeft, 0, 230, "behind left"},
        {AheadLeft, 0, 360, "ahead"},
        {AheadLeft, -1.0, 90, "direction unknown"},
        {AheadLeft, -0.5, 90, "right"}, // truncated to 0, not "no heading"
        {AheadLeft, 90.9, 180, "right"},
        {AheadLeft, 800, 10, "direction unknown"}, // a negative relative angle
        {Combo, 90, 120, "1 o'clock"},
        {ClockFace, 350, 10, "1 o'clock"},
        {ClockFace, 800, 10, "direction unknown"},
        {ClockFace, -1.0, 10, "direction unknown"},
        {LeftRightDegreesCompass, 350, 10, "north, 20 degrees right"},
        {LeftRightDegreesCompass, 10, 350, "north, 20 degrees left"},
        {LeftRightDegreesCompass, -1.0, 350, "direction unknown"},
    };
    for (const auto& c : cases) {
        Settings(c.mode, Imperial);
        EXPECT_EQ(U8(gpscore::RelativeDirectionText(c.heading, c.bearing, false)), c.text)
            << c.mode << " " << c.heading << " " << c.bearing;
    }
}

// ---- Distances

TEST_F(Descriptions, DistanceTextInEveryUnit) {
    const struct {
        Units units;
        int n;
        bool approximate;
        const char* text;
    } cases[] = {
        {Metric, 199, false, "199 metres"},
        {Metric, 200, false, "0.20 kilometres"},
        {Metric, 1000, false, "1.00 kilometres"},
        {Metric, 1050, false, "1.05 kilometres"},
        {Metric, 1099, false, "1.09 kilometres"},
        {Metric, 1100, false, "1.10 kilometres"},
        {Metric, 1250, false, "1.25 kilometres"},
        {Metric, 12345, false, "12.34 kilometres"},
        {Metric, 199, true, "199 metres"},
        {Metric, 299, true, "less than 300 metres"},
        {Metric, 300, true, "about half a kilometre"},
        {Metric, 599, true, "about half a kilometre"},
        {Metric, 600, true, "less than a kilometre"},
        {Metric, 1000, true, "about 1 kilometre"},
        {Metric, 1999, true, "about 1 kilometre"},
        {Metric, 2000, true, "about 2 kilometres"},
        {Imperial, 40, false, "40 feet"},
        {Imperial, 999, false, "999 feet"},
        {Imperial, 1000, false, "0.18 miles"},
        {Imperial, 5280, false, "1.00 miles"},
        {Imperial, 5809, false, "1.09 miles"},
        {Imperial, 5810, false, "1.10 miles"},
        {Imperial, 10559, false, "1.99 miles"},
        {Imperial, 999, true, "999 feet"},
        {Imperial, 1519, true, "about a quarter mile"},
        {Imperial, 1520, true, "about half a mile"},
        {Imperial, 3039, true, "about half a mile"},
        {Imperial, 3040, true, "about three quarters of a mile"},
        {Imperial, 5279, true, "about three quarters of a mile"},
        {Imperial, 5280, true, "about 1 mile"},
        {Imperial, 10560, true, "about 2 miles"},
        {Nautical, 999, false, "999 feet"},
        {Nautical, 6076, false, "1.00 nautical miles"},
        {Nautical, 6606, false, "1.10 nautical miles"},
        {Nautical, 1519, true, "about a quarter of a nautical mile"},
        {Nautical, 3040, true, "about three quarters of a nautical mile"},
        {Nautical, 6075, true, "about three quarters of a nautical mile"},
        {Nautical, 6076, true, "about 1 nautical mile"},
        {Nautical, 12152, true, "about 2 nautical miles"},
        {BritishNautical, 6079, false, "0.114 miles"}, // below one unit of 6080 ft
        {BritishNautical, 6080, false, "1.00 miles"},
        {BritishNautical, 6610, false, "1.10 miles"},
        {BritishNautical, 6079, true, "about three quarters of a mile"},
        {BritishNautical, 12160, true, "about 2 miles"},
    };
    for (const auto& c : cases) {
        settings()->SetUnits(c.units);
        EXPECT_EQ(U8(gpscore::DistanceText(c.n, c.approximate)), c.text)
            << c.units << " " << c.n << " approximate " << c.approximate;
    }
}

// ---- Spell decorators

TEST_F(Descriptions, DecorateOnlyUndecoratedNonEmptyTextWhenOn) {
    const struct {
        bool on;
        const char16_t* text;
        const char16_t* result;
    } cases[] = {{false, u"Elm", u"Elm"},
                 {true, u"Elm", u"<<Elm>>"},
                 {true, u"", u""},
                 {true, u"<<Elm>> St", u"<<Elm>> St"},
                 {true, u"a << b", u"a << b"},
                 {true, u"Elm>>", u"<<Elm>>>>"}};
    for (const auto& c : cases) {
        settings()->SetIncludeSpellDecorators(c.on ? VARIANT_TRUE : 0);
        EXPECT_EQ(gpscore::Decorate(c.text), c.result);
    }
}

// ---- Templates

ComPtr<ILocationObject> Place(const char16_t* name, const char16_t* description) {
    ComPtr<ILocationObject> place;
    EXPECT_EQ(gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &place), S_OK);
    place->SetName(Bstr(std::u16string_view(name)).Get());
    place->SetDescription(Bstr(std::u16string_view(description)).Get());
    return place;
}

ComPtr<IWaypointObject> Step(SHORT index, const char16_t* name, const char16_t* street,
                             bool userPoint, const char16_t* description) {
    ComPtr<IWaypointObject> step;
    EXPECT_EQ(gpslib::CreateObject(CLSID_WaypointObject, IID_IWaypointObject, &step), S_OK);
    step->SetIndex(index);
    step->SetName(Bstr(std::u16string_view(name)).Get());
    step->SetDescription(Bstr(std::u16string_view(description)).Get());
    step->SetStreetNameForward(Bstr(std::u16string_view(street)).Get());
    step->SetIsUserPoint(userPoint ? VARIANT_TRUE : 0);
    return step;
}

class Templates : public Descriptions {
protected:
    void SetUp() override {
        Descriptions::SetUp();
        // Mode 1 reads GPSMode's set (numbering on), other modes VirtualMode's (off).
        Numbering(GPSMode, true, Full);
        Numbering(VirtualMode, false, Full);
        record.bearing = 90;
        record.direction = u"right";
        record.distance = 40;
    }
    void TearDown() override {
        Numbering(GPSMode, true, Full);
        Numbering(VirtualMode, true, Full);
        Descriptions::TearDown();
    }
    void Numbering(Mode mode, bool on, SystemDescriptions length) {
        utility->RouteSettings(mode)->EnableWaypointNumbering(on ? VARIANT_TRUE : 0);
        utility->RouteSettings(mode)->SetNumberingDescriptions(length);
    }
    std::string Expand(const char16_t* text, ILocationObject* subject, int mode = 1,
                       const char16_t* extra = u"") {
        return U8(gpscore::ExpandDescriptionText(text, subject, &record, step.Get(), mode,
                                                 other.Get(), extra));
    }

    gpscore::DistanceHeadingRecord record;
    ComPtr<ILocationObject> park = Place(u"Elm Park", u"City park");
    ComPtr<ILocationObject> unnamed = Place(u"Elm Park", u"");
    ComPtr<IWaypointObject> step = Step(3, u"Main St", u"Oak Ave", true, u"Bench");
    ComPtr<IWaypointObject> other = Step(-1, u"Cafe", u"", false, u"Corner");
};

TEST_F(Templates, EveryCode) {
    const struct {
        const char16_t* text;
        const char* result;
    } cases[] = {
        {u"$$5", "$5"},        {u"at $C", "at east"},
        {u"at $c", "at east"}, {u"$D/$Z", "right/right"},
        {u"$d", "40 feet"},    {u"$N|$p", "Elm Park|Elm Park"},
        {u"$F", "City park"},  {u"$P", "Elm Park, City park"},
        {u"[$S]", "[extra]"},  {u"$W", "Waypoint 3, Main St"},
        {u"$O", "Cafe"},       {u"$n", "Main St"},
        {u"$q", "Oak Ave"},    {u"$w", "Waypoint 3"},
        {u"$f", "Bench"},      {u"a$xb", "ab"},
        {u"end$", "end"},      {u"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Expand(c.text, park.Get(), 1, u"extra"), c.result) << U8(c.text);
}

TEST_F(Templates, ClockFaceDropsTheCompassAndItsSpace) {
    settings()->SetHeadingMode(ClockFace);
    EXPECT_EQ(Expand(u"$d at $c", park.Get()), "40 feet at");
    EXPECT_EQ(Expand(u"$d at $C", park.Get()), "40 feet at east");
    EXPECT_EQ(Expand(u"$c", park.Get()), "");
}

TEST_F(Templates, EmptyValuesTrimOneSpaceThenOneCommaOrStop) {
    const struct {
        const char16_t* text;
        const char* result;
    } cases[] = {
        {u"$N, $F", "Elm Park"},        {u"$N, $F, close by", "Elm Park, close by"},
        {u"$N. $F", "Elm Park"},        {u"$N,$F", "Elm Park"},
        {u"$N,, $F", "Elm Park,"},      {u"$N  $F", "Elm Park "},
        {u"$F at start", " at start"},  {u"$N, $S.", "Elm Park."},
        {u"$N, $D", "Elm Park, right"}, {u"$N, $O, $f", "Elm Park, Cafe, Bench"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Expand(c.text, unnamed.Get()), c.result) << U8(c.text);
    record.direction.clear();
    EXPECT_EQ(Expand(u"$N, $D", unnamed.Get()), "Elm Park, ") << "direction is never trimmed";
    // The step codes trim too: no street, a non-user point, no number.
    ComPtr<IWaypointObject> plain = Step(-1, u"", u"", false, u"Bench");
    EXPECT_EQ(U8(gpscore::ExpandDescriptionText(u"$N, $q, $f, $w", park.Get(), &record, plain.Get(),
                                                1, nullptr, u"")),
              "Elm Park");
}

TEST_F(Templates, ResourceTemplateEndingInDescription) {
    // 22005 ends with ", $F": an empty description leaves no comma behind.
    EXPECT_EQ(U8(gpscore::ExpandDescriptionTemplate(22005, unnamed.Get(), &record, nullptr, 0,
                                                    nullptr, u"")),
              "40 feet, right, Elm Park");
    EXPECT_EQ(U8(gpscore::ExpandDescriptionTemplate(22005, park.Get(), &record, nullptr, 0, nullptr,
                                                    u"")),
              "40 feet, right, Elm Park, City park");
    EXPECT_EQ(gpscore::ExpandDescriptionTemplate(1, park.Get(), &record, nullptr, 0, nullptr, u""),
              u"")
        << "an id the module does not hold";
}

TEST_F(Templates, DecoratorsOnDecorateNamesOnly) {
    settings()->SetIncludeSpellDecorators(VARIANT_TRUE);
    const struct {
        const char16_t* text;
        const char* result;
    } cases[] = {
        {u"$N, $F, $d, $D", "<<Elm Park>>, <<City park>>, 40 feet, right"},
        {u"$P", "<<Elm Park>>, <<City park>>"},
        {u"$n; $q; $f", "<<Main St>>; <<Oak Ave>>; <<Bench>>"},
        {u"$W; $O", "Waypoint 3, <<Main St>>; Cafe"},
        {u"$S", "plain"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Expand(c.text, park.Get(), 1, u"plain"), c.result) << U8(c.text);
    ComPtr<ILocationObject> spelled = Place(u"<<Elm>> Park", u"");
    EXPECT_EQ(Expand(u"$N, $F.", spelled.Get()), "<<Elm>> Park.");
}

TEST_F(Templates, WaypointNumberFollowsTheSettingsSetOfTheMode) {
    const struct {
        int mode;
        SystemDescriptions length;
        const char* number;
        const char* label;
    } cases[] = {
        {1, Full, "Waypoint 3", "Waypoint 3, Main St"},
        {1, Both, "Waypoint number 3", "Waypoint number 3, Main St"},
        {1, Short, "Point 3", "Point 3, Main St"},
        {0, Full, "", "Main St"}, // the other set, whose numbering is off
        {2, Full, "", "Main St"},
    };
    for (const auto& c : cases) {
        Numbering(GPSMode, true, c.length);
        EXPECT_EQ(U8(gpscore::WaypointNumberText(step.Get(), c.mode)), c.number) << c.mode;
        EXPECT_EQ(U8(gpscore::WaypointLabel(step.Get(), c.mode)), c.label) << c.mode;
    }
    ComPtr<IWaypointObject> nameless = Step(7, u"", u"", false, u"");
    EXPECT_EQ(U8(gpscore::WaypointLabel(nameless.Get(), 1)), "Waypoint 7");
    EXPECT_EQ(gpscore::WaypointLabel(nullptr, 1), u"");
    EXPECT_EQ(gpscore::WaypointNumberText(nullptr, 1), u"");
}

} // namespace
