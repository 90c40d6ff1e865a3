// Text matching: case and accents ignored, the three match modes, and search texts that are
// matched literally whatever they hold.
#include <gtest/gtest.h>

#include <map>
#include <tuple>
#include <vector>

#include "Text.h"
#include "formats/Sqlite.h"
#include "os/codepage.h"

namespace gpsdb {
namespace {

using M = MatchMode;

// Whole texts; the letters one by one, Greek and Cyrillic among them, are
// tests/formats/word_fold_test.cpp's.
TEST(DbText, FoldsCaseAndAccents) {
    struct Row {
        const char* in;
        const char* out;
    } rows[] = {
        {"Sant Romà d'Auvinyà", "sant roma d'auvinya"},
        {"PYRÉNÉES", "pyrenees"},
        {"Ærøskøbing", "\xC3\xA6roskobing"}, // æ has no base letter
        {"Straße", "stra\xC3\x9F"
                   "e"},
        {"Cafe\xCC\x81", "cafe"}, // a combining accent is dropped
    };
    for (const Row& r : rows)
        EXPECT_EQ(Fold(r.in), r.out) << r.in;
}

// One decoder reads every UTF-8 text: the folding puts a U+FFFD exactly where the code-page
// conversion does, one per broken piece.
TEST(DbText, BadBytesFoldAsTheCodePageReadsThem) {
    const char* const rows[] = {
        "ab\xE0\x80\xAF"
        "cd",            // overlong
        "\xED\xA0\x80x", // encoded surrogate
        "x\xF0\x9F\x98", // truncated
        "\xC0\xAFz\x80", // overlong lead, stray continuation
        "\xE2\xC3"
        "a",                // a lead interrupted by a lead, itself cut short
        "\xF4\x90\x80\x80", // above U+10FFFF
        "a\xFF"
        "b\xC3", // stray bytes
    };
    for (const char* bad : rows)
        EXPECT_EQ(Fold(bad), gpslib::os::Utf16ToUtf8(gpslib::os::Utf8ToUtf16(bad))) << bad;
}

// Street and place names: letters people also write as two match either spelling, both ways;
// the POI search's Fold keeps them, as its word index does.
TEST(DbText, NamesMatchLettersWrittenAsTwo) {
    const std::tuple<const char*, const char*, M, bool> rows[] = {
        {"Stra\xC3\x9F"
         "e des 17. Juni",
         "strasse", M::StartsWith, true},
        {"Hauptstrasse",
         "hauptstra\xC3\x9F"
         "e",
         M::StartsWith, true},
        {"\xE1\xBA\x9E"
         "ERSTRASSE",
         "sse", M::StartsWith, true}, // capital sharp s
        {"\xC3\x84ulestrasse", "aulestra\xC3\x9F", M::StartsWith, true},
        {"\xC3\x86r\xC3\xB8sk\xC3\xB8"
         "bing",
         "aeroskobing", M::StartsWith, true},
        {"Rue de l'\xC5\x92uvre", "oeuvre", M::StartsWith, true},
        {"Rue de l'\xC5\x92uvre", "ouvre", M::StartsWith, false},
        {"Strasse",
         "stra\xC3\x9F"
         "en",
         M::Anywhere, false},
        {"Stra\xC3\x9F"
         "e",
         "s", M::WholeWord, false},
        {"%_*", "%", M::Anywhere, true},
    };
    for (const auto& [field, search, mode, match] : rows)
        EXPECT_EQ(NameMatches(field, search, mode), match) << field << " / " << search;
    EXPECT_EQ(FoldName("Gro\xC3\x9F"
                       "e \xC5\x92uvre"),
              "grosse oeuvre");
    EXPECT_NE(Fold("Stra\xC3\x9F"
                   "e"),
              Fold("STRASSE")); // the POI search's folding is unchanged
}

TEST(DbText, MatchModes) {
    struct Row {
        const char* field;
        const char* search;
        M mode;
        bool match;
    } rows[] = {
        {"Sant Romà d'Auvinyà", "roma", M::Anywhere, true},
        {"Sant Romà d'Auvinyà", "ROMÀ D", M::StartsWith, true},
        {"Sant Romà d'Auvinyà", "oma", M::StartsWith, false},
        {"Sant Romà d'Auvinyà", "oma", M::Anywhere, true},
        {"Sant Romà d'Auvinyà", "auviny", M::StartsWith, true}, // after the apostrophe
        {"Sant Romà d'Auvinyà", "sant roma", M::WholeWord, true},
        {"Sant Romà d'Auvinyà", "sant rom", M::WholeWord, false},
        {"Madison Square", "m", M::StartsWith, true},
        {"Madison Square", "sq", M::StartsWith, true},
        {"Madison Square", "ad", M::StartsWith, false},
        {"Madison Square", "square", M::WholeWord, true},
        {"Madison Squares", "square", M::WholeWord, false},
        {"Anything", "", M::WholeWord, true},
        {"", "a", M::Anywhere, false},
        // Literal: quotes, LIKE wildcards, FTS operators and syntax are ordinary characters.
        {"100% Bio", "100%", M::WholeWord, true},
        {"100% Bio", "%", M::Anywhere, true},
        {"Bio Markt", "%", M::Anywhere, false},
        {"a_b", "_", M::Anywhere, true},
        {"ab", "a_b", M::Anywhere, false},
        {"O\"Brien", "o\"b", M::StartsWith, true},
        {"Obrien", "o\"b", M::Anywhere, false},
        {"Cats AND Dogs", "cats AND", M::StartsWith, true},
        {"Cats and Dogs", "NEAR(cats dogs)", M::Anywhere, false},
        {"Star", "st*", M::StartsWith, false},
        {"{name}: x", "{name}:", M::StartsWith, true},
    };
    for (const Row& r : rows)
        EXPECT_EQ(TextMatches(r.field, r.search, r.mode), r.match)
            << r.field << " / " << r.search << " / " << static_cast<int>(r.mode);
}

TEST(DbText, FtsQueriesQuoteTheWordsOnly) {
    struct Row {
        const char* search;
        M mode;
        const char* query;
    } rows[] = {
        {"Cafe Aqua", M::StartsWith, "{name} : \"cafe aqua\" *"},
        {"ca\"fe", M::WholeWord, "{name} : \"ca fe\""},
        {"MAP(a b) + c*", M::WholeWord, "{name} : \"map a b c\""},
        {"NEAR(x y) OR -z", M::WholeWord, "{name} : \"near x y or z\""},
        {"Sant Romà", M::StartsWith, "{name} : \"sant roma\" *"}, // folded as the index folds
        {"ŁÓDŹ", M::StartsWith, "{name} : \"lodz\" *"},
        {"%_*\"", M::StartsWith, ""}, // no word: the index is not asked
        {"abc", M::Anywhere, ""},     // substrings are not in the word index
        {"☕ Cafe", M::StartsWith, "{name} : \"☕ cafe\" *"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(FtsQuery("name", r.search, r.mode), r.query) << r.search;
}

// The word index folds the query's words, already folded, once more: folding a folded text must
// change nothing, for every character.
TEST(DbText, FoldingAFoldedTextChangesNothing) {
    int wrong = 0;
    for (char32_t c = 1; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        std::string text = "a";
        gpslib::os::AppendUtf8(&text, c);
        const std::string once = Fold(text);
        if (Fold(once) != once && ++wrong < 20)
            ADD_FAILURE() << "U+" << std::hex << static_cast<long>(c);
    }
    EXPECT_EQ(wrong, 0);
}

// The index narrows a search before the literal comparison, so it must never drop what the
// comparison accepts. For every character up to the pictographs, a word holding it between two
// letters is indexed with the word tokenizer; every search the comparison accepts for it (the
// word as the comparison folds it, its beginning up to the character, the character alone, what
// follows it) is found by the index query, which only searches of signs alone leave unasked.
TEST(DbText, TheIndexNeverDropsWhatTheComparisonAccepts) {
    std::string error;
    auto db =
        gpslib::sqlite::Database::Open(":memory:", gpslib::sqlite::Database::Mode::Create, &error);
    ASSERT_NE(db, nullptr) << error;
    ASSERT_TRUE(db->Exec("CREATE VIRTUAL TABLE t USING fts5(x, tokenize='" +
                         std::string(gpslib::sqlite::kWordTokenizer) + "'); BEGIN"));
    // Every character of the alphabets the folding knows, the combining marks, the sign and
    // punctuation blocks, the pictographs, and a sample of everything else.
    std::vector<char32_t> chars;
    for (char32_t c = 1; c < 0x1FB00; ++c) {
        auto in = [c](char32_t from, char32_t to) { return c >= from && c <= to; };
        if (in(0xD800, 0xDFFF)) continue;
        if (in(1, 0x52F) || in(0x1AB0, 0x1AFF) || in(0x1DC0, 0x1DFF) || in(0x2000, 0x2BFF) ||
            in(0x3000, 0x303F) || in(0xFE00, 0xFE0F) || in(0xFFF0, 0xFFFF) ||
            in(0x1F300, 0x1F6FF) || c % 97 == 0)
            chars.push_back(c);
    }
    auto text = [](std::string_view before, char32_t c, std::string_view after) {
        std::string s(before);
        gpslib::os::AppendUtf8(&s, c);
        return s += after;
    };
    for (char32_t c : chars) {
        auto* insert = db->Prepare("INSERT INTO t(rowid, x) VALUES(?1, ?2)");
        ASSERT_TRUE(
            insert->Bind(1, static_cast<std::int64_t>(c)).BindText(2, text("b", c, "X")).Run());
    }
    int checked = 0, unasked = 0, wrong = 0;
    for (char32_t c : chars) {
        const std::string word = text("b", c, "X");
        const std::tuple<std::string, M> searches[] = {
            {Fold(word), M::StartsWith},       {Fold(word), M::WholeWord},
            {text("B", c, ""), M::StartsWith}, {text("", c, ""), M::StartsWith},
            {text("", c, "x"), M::WholeWord},  {"x", M::WholeWord},
        };
        for (const auto& [search, mode] : searches) {
            if (!TextMatches(word, search, mode)) continue;
            const std::string query = FtsQuery("x", search, mode);
            if (query.empty()) { // a search of signs alone
                ++unasked;
                continue;
            }
            ++checked;
            auto* match = db->Prepare("SELECT count(*) FROM t WHERE t MATCH ?1 AND rowid = ?2");
            ASSERT_NE(match, nullptr) << db->LastError();
            match->BindText(1, query).Bind(2, static_cast<std::int64_t>(c));
            if ((!match->Step() || match->Int(0) != 1) && ++wrong < 20)
                ADD_FAILURE() << "U+" << std::hex << static_cast<long>(c) << " " << query;
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(checked, 20000) << "the index narrows the searches";
    EXPECT_LT(unasked, 1500);
}

// The folding and the index agree beyond single characters too: letters of one class in other
// spellings (capitals, accents, ligature-free variants the comparison folds together), combining
// accents, and words glued by a dropped accent.
TEST(DbText, TheIndexFindsEveryLetterClassInOtherSpellings) {
    std::string error;
    auto db =
        gpslib::sqlite::Database::Open(":memory:", gpslib::sqlite::Database::Mode::Create, &error);
    ASSERT_NE(db, nullptr) << error;
    ASSERT_TRUE(db->Exec("CREATE VIRTUAL TABLE t USING fts5(x, tokenize='" +
                         std::string(gpslib::sqlite::kWordTokenizer) + "')"));
    const std::string longWord = std::string(40000, 'a') + "ø"; // 40 KB, then "ø"
    const std::tuple<std::string, std::string, M> rows[] = {
        {"Tromsø Museum", "TROMSO mus", M::StartsWith},
        {longWord + " x", std::string(40000, 'A') + "o", M::WholeWord},
        {"x " + longWord, std::string(39000, 'a'), M::StartsWith},
        {"Ðakovo Đurđevac", "dakovo durdevac", M::WholeWord},
        {"Ħamrun Ŧest", "hamrun t", M::StartsWith},
        {"Łódź Kaliska", "lodz", M::WholeWord},
        {"Ŋaŉ ĸiosk", "na", M::StartsWith},
        {"Ёлка Ещё", "елка еще", M::WholeWord},
        {"Αθήνα Ίος", "ΑΘΗΝΑ ιος", M::WholeWord},
        {"Ἀθῆναι", "Ἀθῆναι", M::WholeWord}, // polytonic letters kept as they are, both sides
        {"Σπίτι Νίκος", "νικοσ", M::WholeWord},
        {"Cafe\xCC\x81 Noir", "café noir", M::WholeWord},
        {"Apotheke am Markt", "apotheke", M::WholeWord},
        {"Bahnhof\xE2\x80\x8B"
         "strasse",
         "bahnhof", M::WholeWord}, // zero width space
    };
    for (const auto& [field, search, mode] : rows) {
        ASSERT_TRUE(TextMatches(field, search, mode)) << field;
        auto* insert = db->Prepare("INSERT INTO t(rowid, x) VALUES(1, ?1)");
        ASSERT_TRUE(insert->BindText(1, field).Run());
        auto* match = db->Prepare("SELECT count(*) FROM t WHERE t MATCH ?1");
        ASSERT_TRUE(match->BindText(1, FtsQuery("x", search, mode)).Step());
        EXPECT_EQ(match->Int(0), 1) << field << " / " << search;
        ASSERT_TRUE(db->Exec("DELETE FROM t"));
    }
}

} // namespace
} // namespace gpsdb
