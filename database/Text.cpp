#include "Text.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "os/codepage.h"

namespace gpsdb {

namespace {

// Base letters of U+00C0..U+017F, lower case; 0 keeps the character as it is.
constexpr char kLatin[] =
    // U+00C0..U+00FF
    "aaaaaa\0ceeeeiiii"
    "dnooooo\0ouuuuy\0\0"
    "aaaaaa\0ceeeeiiii"
    "dnooooo\0ouuuuy\0y"
    // U+0100..U+017F
    "aaaaaaccccccccdd"
    "ddeeeeeeeeeegggg"
    "gggghhhhiiiiiiii"
    "iiiijjkkklllllll"
    "lllnnnnnnnnnoooo"
    "oooorrrrrrssssss"
    "ssttttttuuuuuuuu"
    "uuuuwwyyyzzzzzzs";

static_assert(sizeof(kLatin) == 0x180 - 0xC0 + 1);

char32_t FoldChar(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (c >= 0xC0 && c <= 0x17F) {
        char base = kLatin[c - 0xC0];
        if (base != 0) return static_cast<char32_t>(base);
        return c < 0xDF && c != 0xD7 ? c + 32 : c; // Æ, Þ lower-cased; ß, ×, ÷ kept
    }
    switch (c) { // Greek capitals with tonos
    case 0x386:
        return 0x3B1;
    case 0x388:
        return 0x3B5;
    case 0x389:
        return 0x3B7;
    case 0x38A:
        return 0x3B9;
    case 0x38C:
        return 0x3BF;
    case 0x38E:
        return 0x3C5;
    case 0x38F:
        return 0x3C9;
    default:
        break;
    }
    if (c >= 0x391 && c <= 0x3A9) return c + 32; // Greek capitals
    if (c >= 0x3AC && c <= 0x3CE) {              // Greek with tonos
        switch (c) {
        case 0x3AC:
            return 0x3B1;
        case 0x3AD:
            return 0x3B5;
        case 0x3AE:
            return 0x3B7;
        case 0x3AF:
            return 0x3B9;
        case 0x3CC:
            return 0x3BF;
        case 0x3CD:
            return 0x3C5;
        case 0x3CE:
            return 0x3C9;
        case 0x3C2:
            return 0x3C3; // final sigma
        default:
            return c;
        }
    }
    if (c >= 0x410 && c <= 0x42F) return c + 32;                      // Cyrillic capitals
    if (c >= 0x400 && c <= 0x40F) return c == 0x401 ? 0x435 : c + 80; // Ѐ..Џ, Ё as е
    if (c == 0x451) return 0x435;                                     // ё as е
    return c;
}

// What the word index does with a combining mark, and so what the comparison does with it: the
// accents it removes are dropped, the marks it breaks words at become a blank, and the marks its
// tables do not know are letters to it and stay.
enum class Mark { kNone, kDropped, kBreak };

Mark MarkOf(char32_t c) {
    auto in = [c](char32_t from, char32_t to) { return c >= from && c <= to; };
    if (in(0x300, 0x304) || in(0x306, 0x30C) || c == 0x30F || c == 0x311 || c == 0x31B ||
        in(0x323, 0x328) || in(0x32D, 0x32E) || in(0x330, 0x331))
        return Mark::kDropped;
    if (in(0x300, 0x36F) || in(0x1DC0, 0x1DE6) || in(0x1DFC, 0x1DFF) || in(0x20D0, 0x20F0))
        return Mark::kBreak;
    return Mark::kNone;
}

// Decodes one code point at `at`, advancing it; malformed sequences answer U+FFFD.
char32_t Decode(std::string_view s, std::size_t* at) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    unsigned char b = byte((*at)++);
    if (b < 0x80) return b;
    int extra = b >= 0xF0 && b < 0xF5 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : -1;
    if (extra < 0 || b >= 0xF5) return 0xFFFD;
    char32_t c = b & (0x3F >> extra);
    for (int i = 0; i < extra; ++i) {
        if (*at >= s.size() || (byte(*at) & 0xC0) != 0x80) return 0xFFFD;
        c = (c << 6) | (byte((*at)++) & 0x3F);
    }
    if ((extra == 2 && c < 0x800) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF)) ||
        (c >= 0xD800 && c <= 0xDFFF))
        return 0xFFFD;
    return c;
}

std::u32string FoldToCodePoints(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        char32_t c = Decode(utf8, &at);
        switch (MarkOf(c)) {
        case Mark::kDropped:
            break;
        case Mark::kBreak:
            out.push_back(U' ');
            break;
        case Mark::kNone:
            out.push_back(FoldChar(c));
            break;
        }
    }
    return out;
}

// Letters and digits make words: ASCII letters and digits, and every character beyond ASCII
// except the common punctuation and space blocks. What is not a word character here is never one
// for the word index either (the letters and numbers among Latin-1's signs and the CJK marks are
// word characters), so a word start found here is one of the index's token starts.
bool IsWordChar(char32_t c) {
    if (c < 0x80) return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (c >= 0xA0 && c <= 0xBF)
        return c == 0xAA || c == 0xB2 || c == 0xB3 || c == 0xB5 || c == 0xB9 || c == 0xBA ||
               (c >= 0xBC && c <= 0xBE);
    if (c == 0xD7 || c == 0xF7) return false;
    if ((c >= 0x2000 && c <= 0x2064) || (c >= 0x206A && c <= 0x206F)) return false;
    if (c >= 0x3000 && c <= 0x303F)
        return (c >= 0x3005 && c <= 0x3007) || (c >= 0x3021 && c <= 0x3029) ||
               (c >= 0x3031 && c <= 0x3035) || (c >= 0x3038 && c <= 0x303C);
    return c != 0xFFFD;
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
    static constexpr std::pair<std::string_view, std::string_view> kTwo[] = {
        {"\xC3\x9F", "ss"}, {"\xE1\xBA\x9E", "ss"}, {"\xC3\xA6", "ae"},
        {"\xC3\x86", "ae"}, {"\xC5\x93", "oe"},     {"\xC5\x92", "oe"},
    };
    std::string out;
    out.reserve(utf8.size() + 4);
    for (std::size_t at = 0; at < utf8.size();) {
        bool replaced = false;
        if (static_cast<unsigned char>(utf8[at]) >= 0xC3)
            for (const auto& [letter, two] : kTwo)
                if (utf8.substr(at, letter.size()) == letter) {
                    out += two;
                    at += letter.size();
                    replaced = true;
                    break;
                }
        if (!replaced) out.push_back(utf8[at++]);
    }
    return out;
}

} // namespace

std::string FoldName(std::string_view utf8) {
    return Fold(SpelledAsTwo(utf8));
}

bool NameMatches(std::string_view field, std::string_view search, MatchMode mode) {
    return TextMatches(SpelledAsTwo(field), SpelledAsTwo(search), mode);
}

FtsChar FtsCharClass(char32_t c) {
    if (!IsWordChar(c)) return FtsChar::Separator;
    auto in = [c](char32_t from, char32_t to) { return c >= from && c <= to; };
    if (c < 0x80 || (in(0xC0, 0x24F) && c != 0xD7 && c != 0xF7) || in(0x3B1, 0x3CB) ||
        in(0x430, 0x481) || in(0x48A, 0x52F) || in(0x5D0, 0x5EA) || in(0x621, 0x63A) ||
        in(0x641, 0x64A) || in(0x3041, 0x3096) || in(0x30A1, 0x30FA) || in(0x4E00, 0x9FA5) ||
        in(0xAC00, 0xD7A3))
        return FtsChar::Token;
    // Currency signs, arrows, mathematical and technical signs, shapes, pictographs, dingbats
    // (without their circled digits), variation selectors and emoji: only those the tokenizer's
    // Unicode tables know, for it takes a character it does not know for a letter.
    static constexpr std::pair<char32_t, char32_t> kSigns[] = {
        {0x20A0, 0x20B9},   {0x2190, 0x23F3},   {0x2500, 0x26FF},   {0x2701, 0x2775},
        {0x2794, 0x27BF},   {0x2B00, 0x2B4C},   {0x2B50, 0x2B59},   {0xFE00, 0xFE0F},
        {0x1F300, 0x1F320}, {0x1F330, 0x1F335}, {0x1F337, 0x1F37C}, {0x1F380, 0x1F393},
        {0x1F3A0, 0x1F3C4}, {0x1F3C6, 0x1F3CA}, {0x1F3E0, 0x1F3F0}, {0x1F400, 0x1F43E},
        {0x1F440, 0x1F440}, {0x1F442, 0x1F4F7}, {0x1F4F9, 0x1F4FC}, {0x1F500, 0x1F53D},
        {0x1F540, 0x1F543}, {0x1F550, 0x1F567}, {0x1F5FB, 0x1F640}, {0x1F645, 0x1F64F},
        {0x1F680, 0x1F6C5},
    };
    for (const auto& [from, to] : kSigns)
        if (in(from, to)) return FtsChar::Separator;
    return FtsChar::Unknown;
}

// Letters the comparison folds some others into that the index keeps apart: ð and đ fold to d,
// ħ to h, ı and ĳ to i, ĸ to k, ŀ and ł to l, ŉ and ŋ to n, ø and œ to o, ŧ to t, ё to е, the
// Greek vowels with tonos to the plain ones and ς to σ. A search holding one of them could
// match a word the index holds under the other letter.
bool IndexMayKeepApart(char32_t folded) {
    switch (folded) {
    case U'd':
    case U'h':
    case U'i':
    case U'k':
    case U'l':
    case U'n':
    case U'o':
    case U't':
    case 0x435:
    case 0x3B1: // α
    case 0x3B5: // ε
    case 0x3B7: // η
    case 0x3B9: // ι
    case 0x3BF: // ο
    case 0x3C3: // σ
    case 0x3C5: // υ
    case 0x3C9: // ω
        return true;
    default:
        return false;
    }
}

std::string FtsQuery(std::string_view column, std::string_view search, MatchMode mode) {
    if (mode == MatchMode::Anywhere) return {};
    // The search's tokens, separated by blanks, inside one FTS5 string: the tokenizer splits it
    // again, and a quoted string is never read as an operator. Signs the index drops are only
    // separators (the literal comparison still holds them). A character whose treatment by the
    // tokenizer is not known here, a letter the index may keep apart from what the comparison
    // folds it with, or a search without any token, is answered by comparing every candidate:
    // an empty or mistaken query would remove what the comparison accepts.
    std::string words;
    bool inWord = false;
    for (char32_t c : FoldToCodePoints(search)) {
        switch (FtsCharClass(c)) {
        case FtsChar::Token:
            if (IndexMayKeepApart(c)) return {};
            if (!inWord && !words.empty()) words.push_back(' ');
            gpslib::os::AppendUtf8(&words, c);
            inWord = true;
            break;
        case FtsChar::Separator:
            inWord = false;
            break;
        case FtsChar::Unknown:
            return {};
        }
    }
    if (words.empty()) return {};
    std::string query = "{" + std::string(column) + "} : \"" + words + "\"";
    if (mode == MatchMode::StartsWith) query += " *";
    return query;
}

} // namespace gpsdb
