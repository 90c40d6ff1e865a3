#include "formats/WordFold.h"

namespace gpslib::formats {

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

char32_t FoldLetter(char32_t c) {
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
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32; // Greek capitals
    if (c >= 0x3AC && c <= 0x3CE) {                            // Greek with tonos
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

} // namespace

char32_t FoldCodePoint(char32_t c) {
    auto in = [c](char32_t from, char32_t to) { return c >= from && c <= to; };
    // The accents that mark a letter's variant are removed; the other combining marks break
    // words, so that a stray mark never glues two words together.
    if (in(0x300, 0x304) || in(0x306, 0x30C) || c == 0x30F || c == 0x311 || c == 0x31B ||
        in(0x323, 0x328) || in(0x32D, 0x32E) || in(0x330, 0x331))
        return kDroppedMark;
    if (in(0x300, 0x36F) || in(0x1DC0, 0x1DE6) || in(0x1DFC, 0x1DFF) || in(0x20D0, 0x20F0))
        return U' ';
    return FoldLetter(c);
}

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
    return c != 0xFFFD && c != kDroppedMark;
}

std::u16string FoldText(std::u16string_view text) {
    std::u16string folded;
    folded.reserve(text.size());
    for (char16_t c : text) {
        const char32_t f = FoldCodePoint(c);
        if (f != kDroppedMark) folded.push_back(static_cast<char16_t>(f));
    }
    return folded;
}

} // namespace gpslib::formats
