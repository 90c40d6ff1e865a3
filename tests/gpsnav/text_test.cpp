// gpsnav's text helpers and line formats: what a user types and what a script or a screen
// reader gets back.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Commands.h"
#include "Printer.h"
#include "Text.h"

namespace gpsnav {
namespace {

TEST(GpsnavText, SplitWordsKeepsQuotedBlanksAndDropsLineEnds) {
    struct Case {
        const char* line;
        std::optional<std::vector<std::string>> words;
    };
    const Case cases[] = {
        {"where", std::vector<std::string>{"where"}},
        {"  find   town hall ", std::vector<std::string>{"find", "town", "hall"}},
        {"find \"town hall\"", std::vector<std::string>{"find", "town hall"}},
        {"dest 45.0031,10.0055 \"Town Library\"\r\n",
         std::vector<std::string>{"dest", "45.0031,10.0055", "Town Library"}},
        {"echo \"\"", std::vector<std::string>{"echo", ""}},
        {"\r", std::vector<std::string>{}},
        {"\tcorner\t", std::vector<std::string>{"corner"}},
        {"find \"open", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitWords(c.line), c.words) << c.line;
}

TEST(GpsnavText, NearestSuggestsOnlyLikelyTypos) {
    const std::vector<std::string> names = CommandNames();
    struct Case {
        const char* typed;
        const char* suggested;
    };
    const Case cases[] = {
        {"wher", "where"},      {"WHERE", "where"},      {"cornr", "corner"},
        {"histroy", "history"}, {"setings", "settings"}, {"folow", "follow"},
        {"expl", "explore"},    {"xyzzy", ""},           {"", ""},
        {"banana", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Nearest(c.typed, names), c.suggested) << c.typed;
}

TEST(GpsnavText, EditDistanceIsSymmetricAndCaseBlind) {
    struct Case {
        const char* a;
        const char* b;
        int distance;
    };
    const Case cases[] = {{"", "", 0},           {"a", "", 1},         {"kitten", "sitting", 3},
                          {"Route", "route", 0}, {"ahead", "head", 1}, {"fav", "fva", 2}};
    for (const Case& c : cases) {
        EXPECT_EQ(EditDistance(c.a, c.b), c.distance) << c.a << " " << c.b;
        EXPECT_EQ(EditDistance(c.b, c.a), c.distance) << c.b << " " << c.a;
    }
}

TEST(GpsnavText, JsonStringsEscapeControlsAndRepairBrokenUtf8) {
    struct Case {
        std::string text;
        std::string json;
    };
    const Case cases[] = {
        {"Main Street", "\"Main Street\""},
        {"say \"hi\"\\", "\"say \\\"hi\\\"\\\\\""},
        {"a\nb\tc\x01", "\"a\\nb\\tc\\u0001\""},
        {"Caf\xC3\xA9 \xF0\x9D\x84\x9E", "\"Caf\xC3\xA9 \xF0\x9D\x84\x9E\""},
        {"bad \xC3 end", "\"bad \xEF\xBF\xBD end\""},
        {"\xFF\xFE", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"cut \xE2\x82", "\"cut \xEF\xBF\xBD\xEF\xBF\xBD\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JsonString(c.text), c.json) << c.text;
}

TEST(GpsnavText, PositionsNumbersAndSwitchesAreCheckedWhole) {
    EXPECT_EQ(ParseLatLon("45.002,10.0015")->latitude, 45.002);
    EXPECT_EQ(ParseLatLon("-33.9, +151.2")->longitude, 151.2);
    for (const char* bad :
         {"", "45", "45,", ",10", "91,0", "0,181", "0,0", "45;10", "4x,10", "nan,10", "45,10,3"})
        EXPECT_FALSE(ParseLatLon(bad)) << bad;
    EXPECT_EQ(ParseNumber("12", 0, 100), 12);
    for (const char* bad : {"", "-1", "101", "1.5", "12abc", "99999999999999999999"})
        EXPECT_FALSE(ParseNumber(bad, 0, 100)) << bad;
    EXPECT_EQ(ParseSwitch("ON"), true);
    EXPECT_EQ(ParseSwitch("no"), false);
    EXPECT_FALSE(ParseSwitch("maybe"));
}

TEST(GpsnavText, AnEntryIsNamedByItsNumberItsNameOrTheBeginningOfAWord) {
    const std::vector<std::string> streets = {"Main Street", "Main Road", "Mainzer Straße",
                                              "Oak Avenue, 53 metres, east"};
    struct Case {
        const char* wanted;
        bool number;
        std::vector<std::size_t> entries;
    };
    const Case cases[] = {
        {"2", true, {1}},
        {"4", true, {3}},
        {"0", true, {}},
        {"5", true, {}},
        {"main road", false, {1}},
        {"MAIN", false, {0, 1, 2}},
        {"main street", false, {0}},
        {"oak avenue", false, {3}},
        {"avenue", false, {3}},
        {"str", false, {0, 2}},
        {"elm", false, {}},
        {"", false, {}},
    };
    for (const Case& c : cases) {
        const EntryMatch match = MatchEntries(streets, c.wanted);
        EXPECT_EQ(match.number, c.number) << c.wanted;
        EXPECT_EQ(match.entries, c.entries) << c.wanted;
    }
}

TEST(GpsnavText, DistancesTakeTheirUnitOrTheOneSet) {
    struct Case {
        const char* text;
        double plain; // Metres in the unit set: a number alone is in it.
        std::optional<double> metres;
    };
    const Case cases[] = {
        {"200", 1, 200},
        {"200m", 1, 200},
        {"0.5 km", 1, 500},
        {"100", 0.3048, 30.48},
        {"300 ft", 1, 91.44},
        {"1 mile", 1, 1609.344},
        {"0", 1, std::nullopt},
        {"-5", 1, std::nullopt},
        {"5 parsecs", 1, std::nullopt},
        {"far", 1, std::nullopt},
        {"2000 km", 1, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto metres = ParseDistance(c.text, c.plain);
        ASSERT_EQ(metres.has_value(), c.metres.has_value()) << c.text;
        if (metres) {
            EXPECT_NEAR(*metres, *c.metres, 1e-9) << c.text;
        }
    }
}

TEST(GpsnavText, WalkTimesCountMinutesThenHours) {
    struct Case {
        long seconds;
        const char* text;
    };
    const Case cases[] = {{0, "0:00"},     {9, "0:09"},       {61, "1:01"},
                          {3599, "59:59"}, {3600, "1:00:00"}, {-5, "0:00"}};
    for (const Case& c : cases)
        EXPECT_EQ(WalkTime(c.seconds), c.text) << c.seconds;
}

TEST(GpsnavCommands, EveryNameAndShortNameIsUniqueAndFound) {
    const std::vector<std::string> names = CommandNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        for (std::size_t j = i + 1; j < names.size(); ++j)
            EXPECT_NE(names[i], names[j]);
        ASSERT_NE(FindCommand(names[i]), nullptr) << names[i];
    }
    EXPECT_EQ(FindCommand("EXIT"), FindCommand("quit"));
    EXPECT_EQ(FindCommand("x")->name, "explore");
    EXPECT_EQ(FindCommand("nowhere"), nullptr);
}

TEST(GpsnavPrinter, PlainAndJsonLinesOfAnswersAndEvents) {
    Answer answer;
    answer.texts = {"Main Street", "Say \"hi\""};
    Event event;
    event.time = 75;
    event.type = 5;
    event.urgency = 1;
    event.text = "Fix gained";
    event.latitude = 45.002;
    event.longitude = 10.001;
    struct Case {
        Printer::Options options;
        std::vector<std::string> answerLines;
        std::string eventLine;
    };
    const Case cases[] = {
        {{false, false}, {"Main Street", "Say \"hi\""}, "Fix gained"},
        {{false, true}, {"1:15 Main Street", "1:15 Say \"hi\""}, "1:15 Fix gained"},
        {{true, false},
         {R"({"command":"where","status":"ok","texts":["Main Street","Say \"hi\""]})"},
         R"({"event":"GPSGainedFix","type":5,"urgency":"normal","time":75,"text":"Fix gained","latitude":45.002000,"longitude":10.001000})"},
        {{true, true},
         {R"({"command":"where","status":"ok","time":75,"texts":["Main Street","Say \"hi\""]})"},
         R"({"event":"GPSGainedFix","type":5,"urgency":"normal","time":75,"text":"Fix gained","latitude":45.002000,"longitude":10.001000})"},
    };
    for (const Case& c : cases) {
        Printer printer(c.options, nullptr);
        EXPECT_EQ(printer.Format("where", answer, 75), c.answerLines);
        EXPECT_EQ(printer.Format(event), c.eventLine);
    }
}

TEST(GpsnavPrinter, AClosedOutputStopsWritingForGood) {
    std::FILE* full = std::fopen("/dev/full", "w");
    if (full == nullptr) GTEST_SKIP() << "no /dev/full";
    Printer printer({}, nullptr, full);
    Answer answer;
    answer.texts = {"Main Street"};
    printer.Answer("where", answer, 0);
    EXPECT_FALSE(printer.Good());
    printer.Answer("where", answer, 0);
    EXPECT_FALSE(printer.Good());
    std::fclose(full);
}

} // namespace
} // namespace gpsnav
