#include "Text.h"

#include <cstdint>
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

bool IsCombiningMark(char32_t c) {
    return (c >= 0x300 && c <= 0x36F) || (c >= 0x1AB0 && c <= 0x1AFF) ||
           (c >= 0x1DC0 && c <= 0x1DFF) || (c >= 0x20D0 && c <= 0x20FF);
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
        if (!IsCombiningMark(c)) out.push_back(FoldChar(c));
    }
    return out;
}

// Letters and digits make words, as the word index splits them: ASCII letters and digits, and
// every character beyond ASCII except the common punctuation and space blocks.
bool IsWordChar(char32_t c) {
    if (c < 0x80) return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (c >= 0xA0 && c <= 0xBF) return false;
    if (c == 0xD7 || c == 0xF7) return false;
    if (c >= 0x2000 && c <= 0x206F) return false;
    if (c >= 0x3000 && c <= 0x303F) return false;
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

std::string FtsQuery(std::string_view column, std::string_view search, MatchMode mode) {
    if (mode == MatchMode::Anywhere) return {};
    // The words of the search, separated by blanks, inside one FTS5 string: the tokenizer splits
    // it again, and a quoted string is never read as an operator.
    std::string words;
    bool inWord = false;
    for (char32_t c : FoldToCodePoints(search)) {
        if (IsWordChar(c)) {
            if (!inWord && !words.empty()) words.push_back(' ');
            gpslib::os::AppendUtf8(&words, c);
            inWord = true;
        } else {
            inWord = false;
        }
    }
    if (words.empty()) return {};
    std::string query = "{" + std::string(column) + "} : \"" + words + "\"";
    if (mode == MatchMode::StartsWith) query += " *";
    return query;
}

} // namespace gpsdb
