// The Utility's text helpers and the log writer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "base/SystemSettingsObject.h"
#include "base/Utility.h"
#include "os/env.h"
#include "prefix_match.h"
#include "temp_dir.h"

using gpscore::FormatText;
using gpscore::Utility;

namespace {

struct FormatCase {
    std::u16string format;
    std::vector<gpscore::FormatArg> args;
    std::u16string expected;
};

TEST(FormatText, PrintfConversionsOverWideText) {
    const std::u16string name = u"Rue Grimaldi";
    const FormatCase cases[] = {
        {u"%d feet", {std::int64_t{40}}, u"40 feet"},
        {u"%s at %d o'clock",
         {std::u16string_view(name), std::int64_t{2}},
         u"Rue Grimaldi at 2 o'clock"},
        {u"%02d:%02d", {std::int64_t{7}, std::int64_t{5}}, u"07:05"},
        {u"%.1f miles", {2.25}, u"2.2 miles"},
        {u"%5.1f|%-4s|%4s",
         {3.14159, std::u16string_view(u"ab"), std::u16string_view(u"c")},
         u"  3.1|ab  |   c"},
        {u"%ld %lu %x %c",
         {std::int64_t{-3}, std::int64_t{4}, std::int64_t{255}, std::int64_t{65}},
         u"-3 4 ff A"},
        {u"100%%", {}, u"100%"},
        {u"%s and %s", {std::u16string_view(u"one")}, u"one and "}, // A missing argument.
        {u"%d", {std::u16string_view(u"x")}, u"0"},                 // A text for a number.
        {u"%s", {std::int64_t{12}}, u"12"},                         // A number for a text.
        {u"%.3s", {std::u16string_view(u"abcdef")}, u"abc"},
        {u"50%", {}, u"50%"}, // A dangling % stays.
        {u"%q", {}, u"%q"},   // An unknown conversion stays.
        {u"\u00e9 %s", {std::u16string_view(u"\u00fc")}, u"\u00e9 \u00fc"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatText(c.format, c.args.data(), c.args.size()), c.expected)
            << std::string(c.format.begin(), c.format.end());
    }
    std::u16string longText(5000, u'a');
    EXPECT_EQ(FormatText(u"%s", {std::u16string_view(longText)}).size(), 1999u);
}

TEST(SpellDecorators, RemovalScansPairsAndKeepsTheLastCharacter) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"<<Main>>", u"Main"},
        {u"a<", u"a<"}, // A single "<" at the end is kept.
        {u"a>", u"a"},  // A final ">" is not.
        {u"<<x>> and <<y>>", u"x and y"},
        {u"<", u"<"}, // Too short to change.
        {u"a<<<b", u"a<b"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(Utility::RemoveSpellDecorators(in), out);
    std::u16string tooLong(1026, u'<');
    EXPECT_EQ(Utility::RemoveSpellDecorators(tooLong), tooLong);
}

TEST(SpellDecorators, FollowTheSetting) {
    auto utility = Utility::Instance();
    ASSERT_NE(utility, nullptr);
    auto decorate = [&](gpscore::settings::Switch on) {
        utility->ChangeSystemSettings(
            [on](gpscore::settings::System& s) { s.includeSpellDecorators = on; });
    };
    // Adding the marks for each setting and text is checked through the descriptions' Decorate.
    decorate(0);
    EXPECT_EQ(utility->ForStorage(u"<<Elm>>"), u"<<Elm>>");
    decorate(VARIANT_TRUE);
    EXPECT_EQ(utility->ForDisplay(u"Elm"), u"<<Elm>>");
    EXPECT_EQ(utility->ForStorage(u"<<Elm>>"), u"Elm");
    decorate(0);
}

TEST(Resources, OrdinalSuffixesAndLookups) {
    auto utility = Utility::Instance();
    ASSERT_TRUE(utility->LoadResources(GPSLIB_RESOURCE_MODULE));
    const std::pair<int, std::u16string> cases[] = {
        {11, u"th"}, {12, u"th"},  {13, u"th"}, {111, u"th"}, {0, u"th"}, {1, u"st"},
        {21, u"st"}, {101, u"st"}, {2, u"nd"},  {22, u"nd"},  {3, u"rd"}, {-3, u"rd"}};
    for (const auto& [n, suffix] : cases)
        EXPECT_EQ(utility->GetOrdinalSuffix(n), suffix) << n;
    EXPECT_TRUE(utility->GetString(1).empty()) << "an id the module does not hold";
    EXPECT_FALSE(utility->LoadResources("/no/such/GPSResources_EN.dll"));
    EXPECT_TRUE(utility->GetString(20001).empty()) << "a failed load leaves no resources";
}

// One line written to the log in `debug` (a folder given in UTF-8), as the service writes it.
void Log(const std::string& debug, std::string_view text, bool dated = false, bool timed = false) {
    gpscore::LogWrite(*gpslib::os::Env::Default(), gpslib::ToUtf16(debug), text, dated, timed);
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(LogWrite, ChecksTheDirectoryOnceUntilReset) {
    gpslib::test::TempDir dir;
    const std::string debug = dir.File("Debug"), log = dir.File("Debug/gpsDebug.txt");
    gpscore::ResetLogChecks();
    Log("", "before any check", true, true);  // Nothing, and no check made.
    Log(debug, "missing folder", true, true); // Checked: it does not exist.
    std::filesystem::create_directory(debug);
    Log(debug, "still off", true, true); // The answer is kept.
    EXPECT_FALSE(std::filesystem::exists(log));
    gpscore::ResetLogChecks(); // A new settings directory does this.
    Log(debug, "dated", true, true);
    Log(debug, "timed", true, false);
    Log(debug, "bare");
    std::vector<std::string> lines = ReadLines(log);
    ASSERT_EQ(lines.size(), 3u);
    std::string rest;
    EXPECT_TRUE(gpslib::test::MatchesPrefix(lines[0], "<99 99 9999 99:99:99> ", &rest) &&
                rest == "dated");
    EXPECT_TRUE(gpslib::test::MatchesPrefix(lines[1], "<99:99:99> ", &rest) && rest == "timed");
    EXPECT_EQ(lines[2], "bare");
    // A debug folder whose log path would pass 255 characters is not written to.
    std::string deep = dir.File(std::string(250, 'd'));
    std::filesystem::create_directory(deep);
    gpscore::ResetLogChecks();
    Log(deep, "lost", true, true);
    EXPECT_FALSE(std::filesystem::exists(deep + "/gpsDebug.txt"));
}

// A restart's first lines once went to the new Utility's default directory, which does not
// exist, and the answer silenced the real log until the next settings object reset the check.
// The check belongs to the directory checked.
TEST(LogWrite, ACheckMadeForOneDirectoryNeverSilencesAnother) {
    gpslib::test::TempDir dir;
    const std::string missing = dir.File("nowhere/Debug"), real = dir.File("Debug");
    std::filesystem::create_directory(real);
    gpscore::ResetLogChecks();
    for (const auto& [directory, text] :
         {std::pair<const std::string*, const char*>{&missing, "lost: missing"},
          {&real, "another directory is checked again"},
          {&real, "the same directory keeps its answer"},
          {&missing, "lost: missing again"},
          {&real, "and back"}})
        Log(*directory, text);
    EXPECT_EQ(ReadLines(real + "/gpsDebug.txt"),
              (std::vector<std::string>{"another directory is checked again",
                                        "the same directory keeps its answer", "and back"}));
    EXPECT_FALSE(std::filesystem::exists(missing + "/gpsDebug.txt"));
    gpscore::ResetLogChecks();
}

TEST(LogWrite, AFullLogIsMovedAsideAndStartsAgain) {
    gpslib::test::TempDir dir;
    std::filesystem::create_directory(dir.File("Debug"));
    const std::string log = dir.File("Debug/gpsDebug.txt"),
                      old = dir.File("Debug/gpsDebug.old.txt");
    std::ofstream(old) << "the log before last\n";
    std::ofstream(log).close();
    std::filesystem::resize_file(log, (8u << 20) - 1);
    gpscore::ResetLogChecks();
    Log(dir.File("Debug"), "one more");
    EXPECT_EQ(std::filesystem::file_size(log), (8u << 20) + 8); // Below the limit: appended.
    Log(dir.File("Debug"), "fresh");
    EXPECT_EQ(ReadLines(log), std::vector<std::string>{"fresh"});
    EXPECT_EQ(std::filesystem::file_size(old), (8u << 20) + 8); // The full one, replacing the last.
}

TEST(LogWrite, ANewSettingsDirectoryClearsTheCheck) {
    gpslib::test::TempDir dir;
    gpscore::ResetLogChecks();
    Log(dir.File("Debug"), "checked: missing", true, true);
    std::filesystem::create_directory(dir.File("Debug"));
    auto utility = Utility::Instance();
    gpscore::settings::System system = utility->SystemSettings();
    system.SetSettingsDirectory(gpslib::ToUtf16(dir.path()));
    utility->SetSystemSettings(system);
    utility->Log("after the new directory");
    EXPECT_EQ(ReadLines(dir.File("Debug/gpsDebug.txt")).size(), 1u);
}

} // namespace
