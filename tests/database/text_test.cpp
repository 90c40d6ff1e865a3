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
        {"\xCE\x86\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1",
         "\xCE\xB1\xCE\xB8\xCE\xB7\xCE\xBD\xCE\xB1"}, // Αθήνα
        {"\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0",
         "\xD0\xBC\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0"},
        {"a\xFF"
         "b\xC3",
         "a\xEF\xBF\xBD"
         "b\xEF\xBF\xBD"}, // invalid bytes become U+FFFD
    };
    for (const Row& r : rows)
        EXPECT_EQ(Fold(r.in), r.out) << r.in;
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
        {"Sant Romà", M::StartsWith, ""}, // letters the index may keep apart: compared
        {"Łódź", M::StartsWith, ""},
        {"%_*\"", M::StartsWith, ""}, // no word: the index is not asked
        {"abc", M::Anywhere, ""},     // substrings are not in the word index
        {"€", M::StartsWith, ""},     // signs the index drops: every candidate is compared
        {"→ 🍕", M::WholeWord, ""},
        {"☕ Cafe", M::StartsWith, "{name} : \"cafe\" *"},
        {"€10", M::WholeWord, "{name} : \"10\""},
        {"ab\u0E3F", M::StartsWith, ""}, // a sign not known here: compared too
    };
    for (const Row& r : rows)
        EXPECT_EQ(FtsQuery("name", r.search, r.mode), r.query) << r.search;
}

// What the query builder takes for a token or a separator is what the word index's tokenizer
// does with that character, for every character it classifies.
TEST(DbText, TheTokenizerAgreesWithTheClassOfEveryCharacter) {
    std::string error;
    auto db =
        gpslib::sqlite::Database::Open(":memory:", gpslib::sqlite::Database::Mode::Create, &error);
    ASSERT_NE(db, nullptr) << error;
    ASSERT_TRUE(db->Exec("CREATE VIRTUAL TABLE t USING fts5(x, tokenize='unicode61 "
                         "remove_diacritics 2'); CREATE VIRTUAL TABLE v USING fts5vocab(t, "
                         "'instance'); BEGIN"));
    std::vector<char32_t> chars;
    for (char32_t c = 0x21; c < 0x20000; ++c)
        if ((c < 0xD800 || c > 0xDFFF) && FtsCharClass(c) != FtsChar::Unknown) chars.push_back(c);
    for (char32_t c : chars) {
        std::string text = "a";
        gpslib::os::AppendUtf8(&text, c);
        text += "b";
        auto* s = db->Prepare("INSERT INTO t(rowid, x) VALUES(?1, ?2)");
        ASSERT_TRUE(s->Bind(1, static_cast<std::int64_t>(c)).BindText(2, text).Run());
    }
    std::map<std::int64_t, int> tokens;
    auto* s = db->Prepare("SELECT doc FROM v");
    while (s->Step())
        ++tokens[s->Int(0)];
    int wrong = 0;
    for (char32_t c : chars) {
        int expected = FtsCharClass(c) == FtsChar::Token ? 1 : 2; // "a?b" or "a", "b"
        if (tokens[static_cast<std::int64_t>(c)] != expected && ++wrong < 20)
            ADD_FAILURE() << "U+" << std::hex << static_cast<long>(c);
    }
    EXPECT_EQ(wrong, 0);
}

// The index narrows a search before the literal comparison, so it must never drop what the
// comparison accepts: a word holding any letter, searched for as the comparison folds it, is
// found by the index query (or the query gives way to comparing every candidate).
TEST(DbText, TheIndexNeverDropsWhatTheComparisonAccepts) {
    std::string error;
    auto db =
        gpslib::sqlite::Database::Open(":memory:", gpslib::sqlite::Database::Mode::Create, &error);
    ASSERT_NE(db, nullptr) << error;
    ASSERT_TRUE(db->Exec("CREATE VIRTUAL TABLE t USING fts5(x, tokenize='unicode61 "
                         "remove_diacritics 2')"));
    const std::pair<char32_t, char32_t> ranges[] = {
        {0x41, 0x5A},   {0xC0, 0x24F},    {0x300, 0x36F},   {0x386, 0x3CE},
        {0x400, 0x45F}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x20D0, 0x20FF}};
    int checked = 0, wrong = 0;
    for (const auto& [from, to] : ranges) {
        for (char32_t c = from; c <= to; ++c) {
            std::string word = "b";
            gpslib::os::AppendUtf8(&word, c);
            word += "x";
            if (!TextMatches(word, Fold(word), M::StartsWith)) continue;
            for (M mode : {M::StartsWith, M::WholeWord}) {
                const std::string query = FtsQuery("x", Fold(word), mode);
                if (query.empty()) continue; // Every candidate is compared.
                ++checked;
                auto* insert = db->Prepare("INSERT INTO t(rowid, x) VALUES(1, ?1)");
                ASSERT_TRUE(insert->BindText(1, word).Run());
                auto* match = db->Prepare("SELECT count(*) FROM t WHERE t MATCH ?1");
                ASSERT_TRUE(match->BindText(1, query).Step());
                if (match->Int(0) != 1 && ++wrong < 20)
                    ADD_FAILURE() << "U+" << std::hex << static_cast<long>(c) << " " << query;
                ASSERT_TRUE(db->Exec("DELETE FROM t"));
            }
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(checked, 200) << "the index still narrows most searches";
}

} // namespace
} // namespace gpsdb
