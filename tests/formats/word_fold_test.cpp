// The folding that searches and the POI files' word index share: letters by table, what belongs
// to a word, and the words the index tokenizer cuts from a text, bad bytes included.
#include "formats/WordFold.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/Sqlite.h"

namespace {

namespace fold = gpslib::formats;

TEST(WordFold, LettersLoseCaseAndAccentsButStayOneLetter) {
    const struct {
        char32_t in, out;
    } rows[] = {
        {U'A', U'a'},
        {U'z', U'z'},
        {U'7', U'7'},
        {0xC9, U'e'},   // É
        {0x104, U'a'},  // Ą
        {0x141, U'l'},  // Ł
        {0x17D, U'z'},  // Ž
        {0xDF, 0xDF},   // ß is kept: names spell it "ss" on their own (database/Text.h)
        {0xC6, 0xE6},   // Æ only lower-cased
        {0xDE, 0xFE},   // Þ
        {0xD7, 0xD7},   // × is no letter
        {0x386, 0x3B1}, // Ά
        {0x3A3, 0x3C3}, // Σ
        {0x3C2, 0x3C3}, // final ς
        {0x3CE, 0x3C9}, // ώ
        {0x401, 0x435}, // Ё as е
        {0x451, 0x435}, // ё as е
        {0x403, 0x453}, // Ѓ
        {0x416, 0x436}, // Ж
        {0x301, fold::kDroppedMark}, // combining acute: removed
        {0x327, fold::kDroppedMark}, // combining cedilla: removed
        {0x332, U' '},               // combining low line: breaks the word
        {0x20D7, U' '},              // combining arrow: breaks the word
        {0xFFFD, 0xFFFD},            // what the decoder answers for bad bytes, kept
        {0x4E2D, 0x4E2D},            // 中
    };
    for (const auto& r : rows) {
        EXPECT_EQ(fold::FoldCodePoint(r.in), r.out) << std::hex << static_cast<long>(r.in);
        // The index folds the search's already folded words again.
        if (r.out != fold::kDroppedMark) {
            EXPECT_EQ(fold::FoldCodePoint(r.out), r.out) << std::hex << static_cast<long>(r.in);
        }
    }
}

// Names compared as folded UTF-16 (a destination's name, a city said with the address).
TEST(WordFold, TextFoldsUnitByUnit) {
    const struct {
        std::u16string in, out;
    } rows[] = {
        {u"S\u00E3o Paulo", u"sao paulo"},
        {u"Se\u0301te", u"sete"}, // the combining accent is left out
        {u"\u041C\u043E\u0441\u043A\u0432\u0430",
         u"\u043C\u043E\u0441\u043A\u0432\u0430"}, // Москва
        {u"\u00C6RO", u"\u00E6ro"},
        {u"a\U0001F600b", u"a\U0001F600b"}, // a surrogate pair is kept whole
        {u"", u""},
    };
    for (const auto& r : rows)
        EXPECT_EQ(fold::FoldText(r.in), r.out);
}

TEST(WordFold, WhatBelongsToAWord) {
    const struct {
        char32_t c;
        bool word;
    } rows[] = {
        {U'a', true},
        {U'0', true},
        {U'-', false},
        {U'\'', false},
        {U' ', false},
        {0xB2, true},    // ²
        {0xBD, true},    // ½
        {0xB0, false},   // °
        {0xF7, false},   // ÷
        {0xE9, true},    // é
        {0x2014, false}, // em dash
        {0x3000, false}, // ideographic space
        {0x3005, true},  // 々
        {0x4E2D, true},  // 中
        {0xFFFD, false}, // a bad byte separates words
        {fold::kDroppedMark, false},
    };
    for (const auto& r : rows)
        EXPECT_EQ(fold::IsWordChar(r.c), r.word) << std::hex << static_cast<long>(r.c);
}

// The words the index stores for a text, read back through SQLite's own view of the index.
std::vector<std::string> IndexedWords(const std::string& text) {
    std::string error;
    auto db =
        gpslib::sqlite::Database::Open(":memory:", gpslib::sqlite::Database::Mode::Create, &error);
    EXPECT_NE(db, nullptr) << error;
    if (db == nullptr) return {};
    EXPECT_TRUE(db->Exec("CREATE VIRTUAL TABLE t USING fts5(x, tokenize='gpslib_words');"
                         "CREATE VIRTUAL TABLE v USING fts5vocab(t, 'instance');"));
    EXPECT_TRUE(db->Prepare("INSERT INTO t(x) VALUES (?1)")->BindText(1, text).Run());
    std::vector<std::string> words;
    gpslib::sqlite::Statement* s = db->Prepare("SELECT term FROM v ORDER BY offset");
    while (s->Step())
        words.push_back(s->Text(0));
    return words;
}

TEST(WordFold, TheIndexCutsFoldedWords) {
    using Words = std::vector<std::string>;
    const struct {
        const char* text;
        Words words;
    } rows[] = {
        {"Café du Nord", {"cafe", "du", "nord"}},
        {"Cafe\xCC\x81-Bar", {"cafe", "bar"}}, // the dropped accent does not split the word
        {"ŁÓDŹ Apotheke", {"lodz", "apotheke"}},
        {"Straße", {"straße"}},
        {"Ærø", {"æro"}},
        {"Αθήνα", {"αθηνα"}},
        {"Ёлка", {"елка"}},
        // Bad bytes (overlong, encoded surrogate, stray continuation, truncated) are U+FFFD,
        // which splits words and is never one.
        {"ab\xE0\x80\xAF"
         "cd",
         {"ab", "cd"}},
        {"x\xED\xA0\x80y", {"x", "y"}},
        {"\x80ok\xBF", {"ok"}},
        {"end\xF0\x9F\x98", {"end"}},
        {"\xE2\x82"
         "A",
         {"a"}},
    };
    for (const auto& r : rows)
        EXPECT_EQ(IndexedWords(r.text), r.words) << r.text;
}

} // namespace
