// The string tables of each language through the service's wording: numbers with the
// language's decimal separator, plural forms by the language's rule, and English unchanged.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/Plurals.h"
#include "description_fixture.h"
#include "os/codepage.h"

namespace {

using gpscore::FormatArg;
using gpscore::FormatText;
using gpscore::PluralRules;

std::string Module(const std::string& suffix) {
    return (std::filesystem::path(GPSLIB_RESOURCE_MODULE).parent_path() /
            ("GPSResources_" + suffix + ".dll"))
        .string();
}

class Languages : public DescriptionFixture {
protected:
    void TearDown() override { utility->LoadResources(GPSLIB_RESOURCE_MODULE); }
};

// 0, 1 and 2 metres, 1.5 kilometres, about 1000 kilometres, and a clock face at 1: each table's
// words, chosen by its language's plural rule (French and Portuguese count 0 and 1.5 as one).
TEST_F(Languages, DistancesAndClockFacesInEachLanguage) {
    struct Case {
        const char* module;
        const char* language;
        const char* expected[6];
    };
    const Case cases[] = {
        {"EN",
         "en",
         {"0 metres", "1 metres", "2 metres", "1.50 kilometres", "about 1000 kilometres",
          "1 o'clock"}},
        {"DE",
         "de",
         {"0 Meter", "1 Meter", "2 Meter", "1,50 Kilometer", "etwa 1000 Kilometer", "auf 1 Uhr"}},
        {"FR",
         "fr",
         {"0 mètre", "1 mètre", "2 mètres", "1,50 kilomètre", "environ 1000 kilomètres",
          "à 1 heure"}},
        {"ES",
         "es",
         {"0 metros", "1 metro", "2 metros", "1,50 kilómetros", "unos 1000 kilómetros", "a la 1"}},
        {"IT",
         "it",
         {"0 metri", "1 metro", "2 metri", "1,50 chilometri", "circa 1000 chilometri", "a ore 1"}},
        {"PT_BR",
         "pt-BR",
         {"0 metro", "1 metro", "2 metros", "1,50 quilômetro", "cerca de 1000 quilômetros",
          "à 1 hora"}},
    };
    Change([&](System& s) { s.units = Metric; });
    Change([&](System& s) { s.headingMode = ClockFace; });
    for (const Case& c : cases) {
        ASSERT_TRUE(utility->LoadResources(Module(c.module))) << c.module;
        EXPECT_EQ(utility->Language(), c.language);
        const std::u16string got[6] = {words().DistanceText(0, false),
                                       words().DistanceText(1, false),
                                       words().DistanceText(2, false),
                                       words().DistanceText(1500, false),
                                       words().DistanceText(1000000, true),
                                       words().RelativeDirectionText(0.0, 30, false, false)};
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(gpslib::ToUtf8(got[i]), c.expected[i]) << c.module << " case " << i;
    }
}

// The choice itself: its number read back over the digits just printed (with the visible
// fraction digits) or taken from the next argument, its "other" form as the fallback, and
// braces left alone where there is no choice to make.
TEST(PluralChoices, NumberAndFormByTheLanguagesRule) {
    const PluralRules italian("it");
    const PluralRules french("fr");
    struct Case {
        const PluralRules* rules;
        std::u16string format;
        std::vector<FormatArg> args;
        std::u16string expected;
    };
    const Case cases[] = {
        {&italian, u"%d {one:metro|other:metri}", {std::int64_t{1}}, u"1 metro"},
        {&italian,
         u"%d,%d {one:chilometro|other:chilometri}",
         {std::int64_t{1}, std::int64_t{0}},
         u"1,0 chilometri"},
        {&french,
         u"%d,%d {one:kilomètre|other:kilomètres}",
         {std::int64_t{1}, std::int64_t{50}},
         u"1,50 kilomètre"},
        {&french,
         u"%d,%d {one:kilomètre|other:kilomètres}",
         {std::int64_t{2}, std::int64_t{5}},
         u"2,5 kilomètres"},
        {&italian, u"{one:un'ora|other:ore} %d", {std::int64_t{1}}, u"un'ora 1"},
        {&italian, u"{one:ora|other:ore} %d", {std::int64_t{7}}, u"ore 7"},
        {&italian, u"%d {few:x|other:y}", {std::int64_t{3}}, u"3 y"}, // no such category
        {&italian, u"%d {one:a}", {std::int64_t{5}}, u"5 "},          // no other form
        {&italian, u"%d {one:a|other:b", {std::int64_t{5}}, u"5 {one:a|other:b"}, // unclosed
        {&italian, u"%s {one:a|other:b}", {std::u16string_view(u"x")}, u"x b"},
        {nullptr, u"%d {one:a|other:b}", {std::int64_t{1}}, u"1 {one:a|other:b}"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatText(c.format, c.args.data(), c.args.size(), c.rules), c.expected)
            << gpslib::ToUtf8(c.format);
    EXPECT_EQ(italian.Select(u"not a number"), "other");
    EXPECT_EQ(PluralRules("xx-nonsense").Select(u"1"), "other");
}

} // namespace
