#include "os/codepage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace gpslib::os {
namespace {

TEST(CodePageTest, Utf8ToUtf16Decodes) {
    const struct {
        const char* name;
        std::string utf8;
        std::u16string utf16;
    } cases[] = {
        {"ascii with NUL", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
        {"two- and three-byte", "Caf\xC3\xA9 \xE2\x80\x94", u"Caf\u00E9 \u2014"},
        {"four-byte to pair", "\xF0\x9F\x98\x80", u"\U0001F600"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.name;
}

// Ill-formed input follows Unicode's "maximal subpart" practice: one U+FFFD per broken piece,
// and the byte that broke a sequence is read again as the start of the next. The decoder is the
// only one: the UTF-16 and code-page conversions and the word folding of searches
// (formats/WordFold.h) all read through it, so they all put a U+FFFD (in the code page a '?')
// in the same places. (Well-formed input of every length is pinned down by the round trip
// below.)
TEST(CodePageTest, BadUtf8GivesOneReplacementPerBrokenPiece) {
    const struct {
        const char* name;
        std::string utf8;
        std::u32string decoded;
        std::vector<std::size_t> stops; // where each DecodeUtf8 call leaves the position
    } cases[] = {
        {"lone continuation", "a\x80z", U"a\uFFFDz", {1, 2, 3}},
        {"two continuations", "\x80\xBF", U"\uFFFD\uFFFD", {1, 2}},
        {"overlong two-byte", "\xC0\xAF", U"\uFFFD\uFFFD", {1, 2}},
        {"overlong three-byte", "\xE0\x80\xAF", U"\uFFFD\uFFFD\uFFFD", {1, 2, 3}},
        {"overlong four-byte", "\xF0\x80\x80\xAF", U"\uFFFD\uFFFD\uFFFD\uFFFD", {1, 2, 3, 4}},
        {"encoded surrogate", "\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD", {1, 2, 3}},
        {"above U+10FFFF", "\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD", {1, 2, 3, 4}},
        {"F5 lead", "\xF5\x80", U"\uFFFD\uFFFD", {1, 2}},
        {"truncated three-byte then ASCII",
         "\xE2\x82"
         "A",
         U"\uFFFD"
         "A",
         {2, 3}},
        {"truncated four-byte at end", "x\xF0\x9F\x98", U"x\uFFFD", {1, 4}},
        {"lead interrupted by lead", "\xE2\xC3\xA9", U"\uFFFD\u00E9", {1, 3}},
    };
    for (const auto& c : cases) {
        std::u32string decoded;
        std::vector<std::size_t> stops;
        for (std::size_t at = 0; at < c.utf8.size();) {
            decoded.push_back(DecodeUtf8(c.utf8, &at));
            stops.push_back(at);
        }
        EXPECT_EQ(decoded, c.decoded) << c.name;
        EXPECT_EQ(stops, c.stops) << c.name;
        // Every answer here lies in the Basic Multilingual Plane: one UTF-16 unit each.
        EXPECT_EQ(Utf8ToUtf16(c.utf8), std::u16string(c.decoded.begin(), c.decoded.end()))
            << c.name;
        std::string cp1252;
        for (char32_t cp : c.decoded)
            cp1252.push_back(cp == 0xFFFD ? '?' : static_cast<char>(cp));
        EXPECT_EQ(Utf8ToCp1252(c.utf8), cp1252) << c.name;
    }
}

TEST(CodePageTest, Utf16ToUtf8ReplacesUnpairedSurrogates) {
    const struct {
        const char* name;
        std::u16string utf16;
        std::string utf8;
    } cases[] = {
        {"lone high at end", u"a\xD83D", "a\xEF\xBF\xBD"},
        {"lone low", u"\xDE00z", "\xEF\xBF\xBDz"},
        {"high then letter", u"\xD83Dz", "\xEF\xBF\xBDz"},
        {"two highs then low", u"\xD83D\xD83D\xDE00", "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8) << c.name;
}

// Every Unicode scalar value, in one string, survives UTF-16 -> UTF-8 -> UTF-16.
TEST(CodePageTest, EveryScalarValueRoundTrips) {
    std::u16string all;
    for (std::uint32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        if (cp < 0x10000) {
            all.push_back(static_cast<char16_t>(cp));
        } else {
            all.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            all.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        }
    }
    const std::string utf8 = Utf16ToUtf8(all);
    EXPECT_EQ(utf8.find("\xEF\xBF\xBD"), utf8.rfind("\xEF\xBF\xBD")) << "only U+FFFD itself";
    EXPECT_EQ(Utf8ToUtf16(utf8), all);
}

// The bytes Windows-1252 gives characters other than Latin-1's, and the five it leaves
// undefined, which map to the C1 controls of the same value; every byte survives a round trip.
TEST(CodePageTest, Cp1252TableAndRoundTrip) {
    const char16_t expected[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    std::string all;
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const std::u16string utf16 = Cp1252ToUtf16(byte);
        ASSERT_EQ(utf16.size(), 1u);
        // Latin-1's halves are the identity.
        const int want = b >= 0x80 && b < 0xA0 ? expected[b - 0x80] : b;
        EXPECT_EQ(static_cast<int>(utf16[0]), want) << "byte 0x" << std::hex << b;
        all += byte;
    }
    EXPECT_EQ(Utf16ToCp1252(Cp1252ToUtf16(all)), all);
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

// One byte per UTF-16 code unit, whatever the input: the service sizes buffers by it.
TEST(CodePageTest, Utf16ToCp1252ReplacesWhatItCannotHold) {
    const struct {
        const char* name;
        std::u16string utf16;
        std::string cp1252;
    } cases[] = {
        {"latin-1", u"Caf\u00E9 \u00FC\u00DF", "Caf\xE9 \xFC\xDF"},
        {"euro and quotes", u"\u20AC\u201C\u201D", "\x80\x93\x94"},
        {"U+0080 is not 0x80", u"\u0080", "?"},
        {"C1 other than the five", u"\u0085\u0099", "??"},
        {"the five undefined", u"\u0081\u008D\u008F\u0090\u009D", "\x81\x8D\x8F\x90\x9D"},
        {"greek and cjk", u"\u03A9\u4E2D", "??"},
        {"pair gives two", u"a\U0001F600b", "a??b"},
    };
    for (const auto& c : cases) {
        const std::string got = Utf16ToCp1252(c.utf16);
        EXPECT_EQ(got, c.cp1252) << c.name;
        EXPECT_EQ(got.size(), c.utf16.size()) << c.name;
    }
    EXPECT_EQ(Utf8ToCp1252("bad \xFF byte"), "bad ? byte");

    // Long ASCII text is narrowed eight units at a time: one other character at any position
    // of a run, or at its edges, is still converted on its own, and a reused buffer is replaced.
    const struct {
        char16_t unit;
        char byte;
    } others[] = {{u'\u00E9', '\xE9'}, {u'\u20AC', '\x80'}, {u'\u4E2D', '?'},
                  {0xD800, '?'},       {0x80, '?'},         {u'\u0100', '?'}};
    std::string reused = "left over from before, longer than anything below";
    for (const auto& other : others) {
        for (std::size_t at = 0; at < 19; ++at) {
            std::u16string utf16(19, u'a');
            std::string want(19, 'a');
            utf16[at] = other.unit;
            want[at] = other.byte;
            EXPECT_EQ(Utf16ToCp1252(utf16), want) << "at " << at;
            AssignUtf16AsCp1252(utf16, &reused);
            EXPECT_EQ(reused, want) << "at " << at;
        }
    }
    EXPECT_EQ(Cp1252ToUtf8("\x93quoted\x94"), "\xE2\x80\x9Cquoted\xE2\x80\x9D");
}

} // namespace
} // namespace gpslib::os
