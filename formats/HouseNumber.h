// House numbers as people write and say them: a number with an optional part ("12a", "5/2",
// "7 bis", "36 с2", "25 к1 с1"). The compiler stores the text as written with its number; the
// engine and the address search compare the keys below, so "14к2", "14 К2" and "14 корп. 2" all
// name the building "14 к2", and "14" names every building of that number.
#ifndef FORMATS_HOUSENUMBER_H_
#define FORMATS_HOUSENUMBER_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace gpslib::formats {

struct HouseNumber {
    long value = 0;   // the leading number; 0 when the text does not start with one
    std::string part; // the rest, as a comparison key ("к1с1", "a", "/2", "bis"); may be empty
};

namespace detail {

// Lower case for ASCII and the Cyrillic capitals (parts are written in either script).
inline void AppendLower(std::string& out, std::string_view text, std::size_t* at) {
    auto b = static_cast<unsigned char>(text[*at]);
    if (b < 0x80) {
        out.push_back(static_cast<char>(b >= 'A' && b <= 'Z' ? b + 32 : b));
        ++*at;
        return;
    }
    // Two-byte Cyrillic: D0 90..AF are А..Я, whose small letters are D0 B0..BF and D1 80..8F.
    if (b == 0xD0 && *at + 1 < text.size()) {
        auto c = static_cast<unsigned char>(text[*at + 1]);
        if (c >= 0x90 && c <= 0x9F) {
            out.push_back('\xD0');
            out.push_back(static_cast<char>(c + 0x20));
            *at += 2;
            return;
        }
        if (c >= 0xA0 && c <= 0xAF) {
            out.push_back('\xD1');
            out.push_back(static_cast<char>(c - 0x20));
            *at += 2;
            return;
        }
    }
    out.push_back(static_cast<char>(b));
    ++*at;
}

inline bool IsLetterByte(unsigned char b) {
    return (b >= 'a' && b <= 'z') || b >= 0x80;
}

} // namespace detail

// The number and the part of `text`. Blanks, dots, commas and a hyphen between the number and a
// letter are dropped from the part and its letters lower-cased; the spelled-out Russian words
// for building and structure become their usual letters ("корпус 1" and "корп. 1" are "к1",
// "строение 2" and "стр. 2" are "с2").
inline HouseNumber ParseHouseNumber(std::string_view text) {
    HouseNumber out;
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        if (out.value < 100000000) out.value = out.value * 10 + (text[at] - '0');
        ++at;
    }
    std::string lowered;
    while (at < text.size())
        detail::AppendLower(lowered, text, &at);
    // Words of letters, separated from what follows by the dropped characters.
    std::string word;
    auto flush = [&] {
        if (word == "корпус" || word == "корп") word = "к";
        if (word == "строение" || word == "стр") word = "с";
        out.part += word;
        word.clear();
    };
    for (std::size_t i = 0; i < lowered.size(); ++i) {
        auto b = static_cast<unsigned char>(lowered[i]);
        if (b == ' ' || b == '\t' || b == '.' || b == ',') {
            flush();
            continue;
        }
        // "12-a" is "12a"; "12-14" keeps its hyphen.
        if (b == '-' && out.part.empty() && word.empty() && i + 1 < lowered.size() &&
            detail::IsLetterByte(static_cast<unsigned char>(lowered[i + 1])))
            continue;
        if (detail::IsLetterByte(b)) {
            word.push_back(static_cast<char>(b));
        } else {
            flush();
            out.part.push_back(static_cast<char>(b));
        }
    }
    flush();
    return out;
}

// Whether two texts name the same building: the same number and the same part.
inline bool SameHouseNumber(std::string_view a, std::string_view b) {
    HouseNumber x = ParseHouseNumber(a), y = ParseHouseNumber(b);
    return x.value == y.value && x.part == y.part;
}

} // namespace gpslib::formats

#endif // FORMATS_HOUSENUMBER_H_
