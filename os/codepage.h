#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace gpslib::os {

// Text conversions between the service's UTF-16 strings, UTF-8 (file names, the terminal) and
// the 8-bit code page that trace files, annotations and direction files are written in.
// The 8-bit code page is Windows-1252. None of these functions fails: bad input is replaced.

// The code point of `utf8` that starts at *at; *at moves past it. The only UTF-8 decoder of
// gpslib, so every reader of UTF-8 treats bad input alike: invalid UTF-8 (stray or missing
// continuation bytes, overlong forms, encoded surrogates, values above U+10FFFF, bytes C0, C1
// and F5-FF) answers U+FFFD, one per maximal ill-formed subpart as Unicode recommends. The
// byte that breaks a sequence is not taken: it starts the next one, so "\xE2\x82" + "A" gives
// U+FFFD then "A" and the "A" survives. REQUIRES: *at < utf8.size().
char32_t DecodeUtf8(std::string_view utf8, std::size_t* at);

// The whole text through DecodeUtf8; each U+FFFD it answers stays U+FFFD (and becomes '?' in
// the code page).
std::u16string Utf8ToUtf16(std::string_view utf8);

// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// One byte per UTF-16 code unit, so the result is exactly as long as the input (the service
// sizes its buffers that way). Characters outside Windows-1252 become '?'; so does each half of
// a surrogate pair. U+0081, U+008D, U+008F, U+0090 and U+009D map to the five bytes that
// Windows-1252 leaves undefined (see Cp1252ToUtf16).
std::string Utf16ToCp1252(std::u16string_view utf16);
// The same into *out (replacing its content), so that a caller converting often reuses one
// buffer.
void AssignUtf16AsCp1252(std::u16string_view utf16, std::string* out);

// The five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the C1
// control characters of the same value, so every byte string survives a round trip through
// UTF-16 unchanged.
std::u16string Cp1252ToUtf16(std::string_view cp1252);

// Appends one code point as UTF-8. REQUIRES: `codePoint` <= 0x10FFFF. The only UTF-8 encoder
// of gpslib.
void AppendUtf8(std::string* out, char32_t codePoint);

// Compositions of the above through UTF-16: a character outside the Basic Multilingual Plane
// becomes "??", one '?' per code unit.
std::string Utf8ToCp1252(std::string_view utf8);
std::string Cp1252ToUtf8(std::string_view cp1252);

// Case folding of ASCII letters only, for the texts the system defines (registry keys, keywords,
// file extensions, place keys); other bytes compare as they are.
std::string AsciiLower(std::string_view text);
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

} // namespace gpslib::os
