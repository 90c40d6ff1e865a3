#include "Text.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "formats/WordFold.h"
#include "os/codepage.h"

namespace gpsdb {

namespace {

using gpslib::formats::IsWordChar;

std::u32string FoldToCodePoints(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        const char32_t folded = gpslib::formats::FoldCodePoint(gpslib::os::DecodeUtf8(utf8, &at));
        if (folded != gpslib::formats::kDroppedMark) out.push_back(folded);
    }
    return out;
}

bool WordStartAt(const std::u32string& s, std::size_t i) {
    return i == 0 || (IsWordChar(s[i]) && !IsWordChar(s[i - 1]));
}

bool WordEndAt(const std::u32string& s, std::size_t end) {
    return end == s.size() || !IsWordChar(s[end]) || !IsWordChar(s[end - 1]);
}

} // namespace

std::string Fold(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (char32_t c : FoldToCodePoints(utf8))
        gpslib::os::AppendUtf8(&out, c);
    return out;
}

bool TextMatches(std::string_view field, std::string_view search, MatchMode mode) {
    const std::u32string needle = FoldToCodePoints(search);
    if (needle.empty()) return true;
    const std::u32string hay = FoldToCodePoints(field);
    for (std::size_t at = hay.find(needle); at != hay.npos; at = hay.find(needle, at + 1)) {
        switch (mode) {
        case MatchMode::Anywhere:
            return true;
        case MatchMode::StartsWith:
            if (WordStartAt(hay, at)) return true;
            break;
        case MatchMode::WholeWord:
            if ((at == 0 || !IsWordChar(hay[at - 1]) || !IsWordChar(hay[at])) &&
                WordEndAt(hay, at + needle.size()))
                return true;
            break;
        }
    }
    return false;
}

namespace {

// "ß" and "ẞ" as "ss", "æ" and "Æ" as "ae", "œ" and "Œ" as "oe"; everything else as it is.
std::string SpelledAsTwo(std::string_view utf8) {
    static constexpr Respelling kTwo[] = {
        {"\xC3\x9F", "ss"}, {"\xE1\xBA\x9E", "ss"}, {"\xC3\xA6", "ae"},
        {"\xC3\x86", "ae"}, {"\xC5\x93", "oe"},     {"\xC5\x92", "oe"},
    };
    return Respell(utf8, kTwo);
}

} // namespace

std::string Respell(std::string_view utf8, std::span<const Respelling> respellings) {
    std::string out;
    out.reserve(utf8.size() + 4);
    for (std::size_t at = 0; at < utf8.size();) {
        bool replaced = false;
        if (static_cast<unsigned char>(utf8[at]) >= 0x80) // ASCII is never respelled.
            for (const auto& [letter, instead] : respellings)
                if (utf8.substr(at, letter.size()) == letter) {
                    out += instead;
                    at += letter.size();
                    replaced = true;
                    break;
                }
        if (!replaced) out.push_back(utf8[at++]);
    }
    return out;
}

std::string FoldName(std::string_view utf8) {
    return Fold(SpelledAsTwo(utf8));
}

bool NameMatches(std::string_view field, std::string_view search, MatchMode mode) {
    return TextMatches(SpelledAsTwo(field), SpelledAsTwo(search), mode);
}

std::string FtsQuery(std::string_view column, std::string_view search, MatchMode mode) {
    if (mode == MatchMode::Anywhere) return {};
    // The search's words, separated by blanks, inside one FTS5 string: the index's tokenizer
    // splits and folds them exactly as the comparison does, and a quoted string is never read as
    // an operator (a word never holds a quote). The signs between words are left to the literal
    // comparison. A search without any word is answered by comparing every candidate.
    std::string words;
    bool inWord = false;
    for (char32_t c : FoldToCodePoints(search)) {
        if (!IsWordChar(c)) {
            inWord = false;
            continue;
        }
        if (!inWord && !words.empty()) words.push_back(' ');
        gpslib::os::AppendUtf8(&words, c);
        inWord = true;
    }
    if (words.empty()) return {};
    std::string query = "{" + std::string(column) + "} : \"" + words + "\"";
    if (mode == MatchMode::StartsWith) query += " *";
    return query;
}

} // namespace gpsdb
