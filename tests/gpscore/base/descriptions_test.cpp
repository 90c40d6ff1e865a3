// The spoken words for numbers: compass points, headings, every relative-direction style over
// all relative angles, distances in every unit, spelled names and the template codes.
#include "base/Descriptions.h"
#include "description_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Utility.h"

namespace {

using gpscore::Utility;
using gpslib::Bstr;
using gpslib::ComPtr;
using gpslib::test::Place;

std::string U8(const std::u16string& text) {
    return std::string(text.begin(), text.end()); // the module's texts are ASCII
}

using Descriptions = DescriptionFixture;

const char* const kPoints[] = {"north", "north-east", "east", "south-east",
                               "south", "south-west", "west", "north-west"};

// Eight 45-degree sectors, the first centred on north.
std::string Point(int degrees) {
    return kPoints[(degrees + 22) / 45 % 8];
}

TEST_F(Descriptions, CompassPointsEveryDegreeAndLengthAndHeadings) {
    for (int d = 0; d <= 360; ++d)
        ASSERT_EQ(U8(words().CompassPointText(d)), Point(d)) << d;
    EXPECT_EQ(U8(words().CompassPointText(-5)), "north");
    EXPECT_EQ(U8(words().CompassPointText(361)), "direction unknown");
    EXPECT_EQ(U8(words().HeadingText(-1, Compass)), "direction unknown");
    EXPECT_EQ(U8(words().HeadingText(-1, Degrees)), "direction unknown");
    EXPECT_EQ(U8(words().HeadingText(359, Degrees)), "359");
    Change([&](System& s) { s.compassDescriptions = Short; });
    EXPECT_EQ(U8(words().CompassPointText(225)), "SW");
    Change([&](System& s) { s.compassDescriptions = Both; });
    EXPECT_EQ(U8(words().HeadingText(90, Compass)), "east (E)");
}

// ---- Relative directions: each style over every relative angle, against sector tables

struct Sector {
    int from; // first relative angle of the sector; it runs up to the next one's start
    int id;   // word id, or -hour for the clock format
};

std::string Expected(const std::vector<Sector>& sectors, int r, Utility* utility) {
    int id = 0;
    for (const Sector& s : sectors)
        if (r >= s.from) id = s.id;
    if (id < 0) return U8(utility->FormatString(20580, {std::int64_t{-id}}));
    return U8(utility->GetString(id));
}

constexpr int kA = 20186, kAL = 20187, kAR = 20188, kL = 20189, kR = 20190, kB = 20191, kBL = 20192,
              kBR = 20193, kBack = 20194;

TEST_F(Descriptions, SectorStylesEveryAngleWithCoarseAndSideBiased) {
    const std::vector<Sector> fine = {{0, kA},    {23, kAR}, {68, kR},   {113, kBR}, {135, kB},
                                      {203, kBL}, {248, kL}, {293, kAL}, {338, kA}};
    const std::vector<Sector> coarse = {{0, kA}, {68, kR}, {113, kB}, {248, kL}, {293, kA}};
    const std::vector<Sector> fineBiased = {{0, kA},      {23, kAR}, {68, kR},   {135, kB},
                                            {158, kBack}, {203, kL}, {225, kBL}, {248, kL},
                                            {293, kAL},   {338, kA}};
    const std::vector<Sector> coarseBiased = {{0, kA},   {68, kR},  {135, kB}, {158, kBack},
                                              {203, kL}, {225, kB}, {248, kL}, {293, kA}};
    const std::vector<Sector> combo = {{0, kA},    {23, -1},   {45, -2},  {68, kR},  {113, -4},
                                       {135, -5},  {158, kB},  {203, -7}, {225, -8}, {248, kL},
                                       {293, -10}, {315, -11}, {338, kA}};
    std::vector<Sector> comboBiased = combo;
    comboBiased[6].id = kBack;
    std::vector<Sector> hours = {{0, -12}, {346, -12}};
    for (int hour = 1; hour <= 11; ++hour)
        hours.insert(hours.end() - 1, {16 + 30 * (hour - 1), -hour});
    const struct {
        RelativeHeadingType mode;
        bool coarse, sideBiased;
        const std::vector<Sector>& sectors;
    } styles[] = {
        {AheadLeft, false, false, fine},   {AheadLeft, false, true, fineBiased},
        {AheadLeft, true, false, coarse},  {AheadLeft, true, true, coarseBiased},
        {Combo, false, false, combo},      {Combo, true, false, combo}, // coarse is ignored
        {Combo, false, true, comboBiased}, {Combo, true, true, comboBiased},
        {ClockFace, false, false, hours},  {ClockFace, true, true, hours},
    };
    for (const auto& style : styles) {
        Change([&](System& s) { s.headingMode = style.mode; });
        for (int heading : {0, 90, 200, 359}) {
            for (int r = 0; r < 360; ++r) {
                ASSERT_EQ(U8(words().RelativeDirectionText(heading, (heading + r) % 360,
                                                           style.sideBiased, style.coarse)),
                          Expected(style.sectors, r, utility.get()))
                    << style.mode << " coarse " << style.coarse << " sideBiased "
                    << style.sideBiased << " heading " << heading << " r " << r;
            }
        }
    }
}

TEST_F(Descriptions, LeftRightDegreesCompassEveryAngle) {
    Change([&](System& s) { s.headingMode = LeftRightDegreesCompass; });
    for (int heading : {0, 135, 350}) {
        for (int r = 0; r < 360; ++r) {
            int bearing = (heading + r) % 360;
            const char* side = r == 0 ? "ahead" : r <= 180 ? "right" : "left";
            std::string expected =
                Point(bearing) + ", " + std::to_string(r <= 180 ? r : 360 - r) + " degrees " + side;
            ASSERT_EQ(U8(words().RelativeDirectionText(heading, bearing, r % 2 == 0, false)),
                      expected)
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
        {AheadLeft, 0, 360, "ahead"},
        {AheadLeft, -1.0, 90, "direction unknown"},
        {AheadLeft, -0.5, 90, "right"}, // truncated to 0, not "no heading"
        {AheadLeft, 90.9, 180, "right"},
        {AheadLeft, 800, 10, "direction unknown"}, // a negative relative angle
        {ClockFace, 800, 10, "direction unknown"},
    };
    for (const auto& c : cases) {
        Change([&](System& s) { s.headingMode = c.mode; });
        EXPECT_EQ(U8(words().RelativeDirectionText(c.heading, c.bearing, false, false)), c.text)
            << c.mode << " " << c.heading << " " << c.bearing;
    }
}

TEST_F(Descriptions, DistanceTextInEveryUnitAtItsBoundaries) {
    const struct {
        Units units;
        int n;
        bool approximate;
        const char* text;
    } cases[] = {
        {Metric, 199, false, "199 metres"},
        {Metric, 200, false, "0.20 kilometres"},
        {Metric, 1099, false, "1.09 kilometres"},
        {Metric, 1100, false, "1.10 kilometres"},
        {Metric, 199, true, "199 metres"},
        {Metric, 299, true, "less than 300 metres"},
        {Metric, 300, true, "about half a kilometre"},
        {Metric, 599, true, "about half a kilometre"},
        {Metric, 600, true, "less than a kilometre"},
        {Metric, 1999, true, "about 1 kilometre"},
        {Metric, 2000, true, "about 2 kilometres"},
        {Imperial, 999, false, "999 feet"},
        {Imperial, 1000, false, "0.18 miles"},
        {Imperial, 5809, false, "1.09 miles"},
        {Imperial, 5810, false, "1.10 miles"},
        {Imperial, 1519, true, "about a quarter mile"},
        {Imperial, 1520, true, "about half a mile"},
        {Imperial, 3039, true, "about half a mile"},
        {Imperial, 3040, true, "about three quarters of a mile"},
        {Imperial, 5279, true, "about three quarters of a mile"},
        {Imperial, 5280, true, "about 1 mile"},
        {Imperial, 10560, true, "about 2 miles"},
        {Nautical, 6076, false, "1.00 nautical miles"},
        {Nautical, 6606, false, "1.10 nautical miles"},
        {Nautical, 1519, true, "about a quarter of a nautical mile"},
        {Nautical, 1520, true, "about half a nautical mile"},
        {Nautical, 6075, true, "about three quarters of a nautical mile"},
        {Nautical, 6076, true, "about 1 nautical mile"},
        {Nautical, 12152, true, "about 2 nautical miles"},
        {BritishNautical, 6079, false, "0.114 miles"}, // below one unit of 6080 ft
        {BritishNautical, 6080, false, "1.00 miles"},
        {BritishNautical, 6079, true, "about three quarters of a mile"},
        {BritishNautical, 12160, true, "about 2 miles"},
    };
    for (const auto& c : cases) {
        Change([&](System& s) { s.units = c.units; });
        EXPECT_EQ(U8(words().DistanceText(c.n, c.approximate)), c.text)
            << c.units << " " << c.n << " approximate " << c.approximate;
    }
}

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
        Change([&](System& s) { s.includeSpellDecorators = c.on ? VARIANT_TRUE : 0; });
        EXPECT_EQ(words().Decorate(c.text), c.result);
    }
}

// ---- Templates

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
        utility->ChangeRouteSettings(mode, [&](gpscore::settings::Route& route) {
            route.numbering = on ? VARIANT_TRUE : 0;
            route.numberingDescriptions = length;
        });
    }
    std::string Expand(const char16_t* text, ILocationObject* subject, IWaypointObject* at,
                       const char16_t* extra = u"") {
        return U8(words().ExpandDescriptionText(text, subject, &record, at, 1, other.Get(), extra));
    }
    std::string Expand(const char16_t* text, ILocationObject* subject) {
        return Expand(text, subject, step.Get());
    }

    gpscore::DistanceHeadingRecord record;
    ComPtr<ILocationObject> park = Place(0, 0, "Elm Park", "City park");
    ComPtr<ILocationObject> unnamed = Place(0, 0, "Elm Park");
    ComPtr<IWaypointObject> step = Step(3, u"Main St", u"Oak Ave", true, u"Bench");
    ComPtr<IWaypointObject> other = Step(-1, u"Cafe", u"", false, u"Corner");
};

TEST_F(Templates, EveryCodeAndClockFaceDropsTheCompass) {
    const std::pair<const char16_t*, const char*> cases[] = {
        {u"$$5 a$xb end$", "$5 ab end"}, // "$$", an unknown code and a lone "$"
        {u"at $C|$c|$D|$Z|$d", "at east|east|right|right|40 feet"},
        {u"$N|$p|$F|$P|[$S]", "Elm Park|Elm Park|City park|Elm Park, City park|[extra]"},
        {u"$W|$O|$n|$q|$w|$f", "Waypoint 3, Main St|Cafe|Main St|Oak Ave|Waypoint 3|Bench"},
    };
    for (const auto& [text, result] : cases)
        EXPECT_EQ(Expand(text, park.Get(), step.Get(), u"extra"), result) << U8(text);
    Change([&](System& s) { s.headingMode = ClockFace; });
    EXPECT_EQ(Expand(u"$d at $c", park.Get()), "40 feet at");
    EXPECT_EQ(Expand(u"$d at $C", park.Get()), "40 feet at east");
}

TEST_F(Templates, EmptyValuesTrimOneSpaceThenOneCommaOrStop) {
    const struct {
        const char16_t* text;
        const char* result;
    } cases[] = {
        {u"$N, $F, close by", "Elm Park, close by"},
        {u"$N. $F", "Elm Park"},
        {u"$N,$F", "Elm Park"},
        {u"$N,, $F", "Elm Park,"},
        {u"$N  $F", "Elm Park "},
        {u"$F at start", " at start"},
        {u"$N, $S.", "Elm Park."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Expand(c.text, unnamed.Get()), c.result) << U8(c.text);
    // A resource template ending in ", $F": an empty description leaves no comma behind.
    EXPECT_EQ(U8(words().ExpandDescriptionTemplate(22005, unnamed.Get(), &record, nullptr, 0,
                                                   nullptr, u"")),
              "40 feet, right, Elm Park");
    EXPECT_EQ(words().ExpandDescriptionTemplate(1, park.Get(), &record, nullptr, 0, nullptr, u""),
              u"")
        << "an id the module does not hold";
    record.direction.clear();
    EXPECT_EQ(Expand(u"$N, $D", unnamed.Get()), "Elm Park, ") << "direction is never trimmed";
    // The step codes trim too: no street, a non-user point, no number.
    ComPtr<IWaypointObject> plain = Step(-1, u"", u"", false, u"Bench");
    EXPECT_EQ(Expand(u"$N, $q, $f, $w", park.Get(), plain.Get()), "Elm Park");
}

TEST_F(Templates, DecoratorsOnDecorateNamesOnly) {
    Change([&](System& s) { s.includeSpellDecorators = VARIANT_TRUE; });
    EXPECT_EQ(Expand(u"$P, $d, $D, $S", park.Get(), step.Get(), u"plain"),
              "<<Elm Park>>, <<City park>>, 40 feet, right, plain");
    EXPECT_EQ(Expand(u"$n; $q; $f; $W; $O", park.Get()),
              "<<Main St>>; <<Oak Ave>>; <<Bench>>; Waypoint 3, <<Main St>>; Cafe");
    EXPECT_EQ(Expand(u"$N, $F.", Place(0, 0, "<<Elm>> Park").Get()), "<<Elm>> Park.");
}

TEST_F(Templates, WaypointNumberFollowsTheSettingsSetOfTheMode) {
    const struct {
        int mode;
        SystemDescriptions length;
        const char* number;
    } cases[] = {{1, Full, "Waypoint 3"},
                 {1, Both, "Waypoint number 3"},
                 {1, Short, "Point 3"},
                 {0, Full, ""}, // the other set, whose numbering is off
                 {2, Full, ""}};
    for (const auto& c : cases) {
        Numbering(GPSMode, true, c.length);
        std::string number = c.number;
        EXPECT_EQ(U8(words().WaypointNumberText(step.Get(), c.mode)), number) << c.mode;
        EXPECT_EQ(U8(words().WaypointLabel(step.Get(), c.mode)),
                  number.empty() ? "Main St" : number + ", Main St")
            << c.mode;
    }
    EXPECT_EQ(U8(words().WaypointLabel(Step(7, u"", u"", false, u"").Get(), 1)), "Waypoint 7");
    EXPECT_EQ(words().WaypointLabel(nullptr, 1), u"");
    EXPECT_EQ(words().WaypointNumberText(nullptr, 1), u"");
}

} // namespace
