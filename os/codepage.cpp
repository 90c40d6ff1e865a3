#include "os/codepage.h"

#include <cstdint>

namespace gpslib::os {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Windows-1252 bytes 0x80-0x9F; the undefined five map to themselves.
constexpr char16_t kHighTable[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

bool IsHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

void AppendUtf16(std::u16string* out, std::uint32_t cp) {
    if (cp < 0x10000) {
        out->push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

char ToCp1252(char16_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<char>(u);
    for (int i = 0; i < 32; ++i) {
        if (kHighTable[i] == u) return static_cast<char>(0x80 + i);
    }
    return '?';
}

} // namespace

void AppendUtf8(std::string* out, char32_t cp) {
    if (cp < 0x80) {
        out->push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

char32_t DecodeUtf8(std::string_view utf8, std::size_t* at) {
    const std::size_t n = utf8.size();
    const auto lead = static_cast<unsigned char>(utf8[(*at)++]);
    if (lead < 0x80) return lead;
    // Well-formed sequences as Unicode's table 3-7 lists them: the second byte's range depends
    // on the lead byte, which rules out overlongs, surrogates and values past U+10FFFF.
    int trail = 0;
    char32_t cp = 0;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trail = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trail = 2;
        cp = lead & 0x0F;
        if (lead == 0xE0) lo = 0xA0;
        if (lead == 0xED) hi = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trail = 3;
        cp = lead & 0x07;
        if (lead == 0xF0) lo = 0x90;
        if (lead == 0xF4) hi = 0x8F;
    } else {
        return kReplacement;
    }
    for (int taken = 0; taken < trail; ++taken) {
        // The bytes taken so far are one maximal ill-formed subpart; the byte that breaks it
        // is left to start the next sequence.
        if (*at >= n) return kReplacement;
        const auto b = static_cast<unsigned char>(utf8[*at]);
        if (b < lo || b > hi) return kReplacement;
        cp = (cp << 6) | (b & 0x3F);
        lo = 0x80;
        hi = 0xBF;
        ++*at;
    }
    return cp;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();)
        AppendUtf16(&out, DecodeUtf8(utf8, &at));
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size() * 3);
    const std::size_t n = utf16.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t u = utf16[i];
        if (IsHighSurrogate(u) && i + 1 < n && IsLowSurrogate(utf16[i + 1])) {
            const std::uint32_t cp = 0x10000 + ((static_cast<std::uint32_t>(u) - 0xD800) << 10) +
                                     (static_cast<std::uint32_t>(utf16[i + 1]) - 0xDC00);
            AppendUtf8(&out, cp);
            ++i;
        } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
            AppendUtf8(&out, kReplacement);
        } else {
            AppendUtf8(&out, u);
        }
    }
    return out;
}

std::string Utf16ToCp1252(std::u16string_view utf16) {
    std::string out;
    AssignUtf16AsCp1252(utf16, &out);
    return out;
}

void AssignUtf16AsCp1252(std::u16string_view utf16, std::string* out) {
    // Text pushed in and read back is nearly always ASCII: runs of eight code units below 0x80
    // are narrowed in one step (a loop the compiler turns into vector code); only the rest goes
    // through the table.
    constexpr std::size_t kRun = 8;
    const std::size_t n = utf16.size();
    out->resize(n);
    char* dst = out->data();
    const char16_t* src = utf16.data();
    std::size_t i = 0;
    while (i < n) {
        if (n - i >= kRun) {
            char16_t any = 0;
            for (std::size_t k = 0; k < kRun; ++k)
                any |= src[i + k];
            if ((any & 0xFF80) == 0) {
                for (std::size_t k = 0; k < kRun; ++k)
                    dst[i + k] = static_cast<char>(src[i + k]);
                i += kRun;
                continue;
            }
        }
        dst[i] = ToCp1252(src[i]);
        ++i;
    }
}

std::u16string Cp1252ToUtf16(std::string_view cp1252) {
    std::u16string out;
    out.reserve(cp1252.size());
    for (char c : cp1252) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back(b >= 0x80 && b <= 0x9F ? kHighTable[b - 0x80] : char16_t{b});
    }
    return out;
}

std::string Utf8ToCp1252(std::string_view utf8) {
    return Utf16ToCp1252(Utf8ToUtf16(utf8));
}

std::string Cp1252ToUtf8(std::string_view cp1252) {
    return Utf16ToUtf8(Cp1252ToUtf16(cp1252));
}

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

} // namespace gpslib::os
