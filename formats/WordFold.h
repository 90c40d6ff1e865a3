// The one folding of text that both the literal comparison of searches and the POI files' word
// index follow: case and accents ignored, and words made of the same characters. Sharing it is
// what lets the word index narrow a search without ever dropping a record the comparison
// accepts. Both decode their UTF-8 with gpslib::os::DecodeUtf8, so bad bytes become U+FFFD
// (one per maximal ill-formed subpart), which is no word character.
#ifndef FORMATS_WORDFOLD_H_
#define FORMATS_WORDFOLD_H_

#include <string>
#include <string_view>

namespace gpslib::formats {

// What FoldCodePoint answers for a combining accent that folding removes.
constexpr char32_t kDroppedMark = 0x110000;

// A code point lower-cased with its accents removed, for Latin, Greek and Cyrillic letters
// ("É" -> "e", "Ά" -> "α", "ё" -> "е", "ς" -> "σ"); kDroppedMark for the combining accents that
// are removed, a blank for the other combining marks (they break words); anything else as it is.
// Folding a folded code point changes nothing: the word index folds the search's words again.
char32_t FoldCodePoint(char32_t c);

// Whether a folded code point belongs to a word: ASCII letters and digits, and every character
// beyond ASCII except the common punctuation, sign and space blocks. Anything else separates
// words.
bool IsWordChar(char32_t folded);

// UTF-16 text folded unit by unit as FoldCodePoint folds, the removed accents left out: names
// compared this way match whatever their case and accents. Surrogates are kept as they are.
std::u16string FoldText(std::u16string_view text);

} // namespace gpslib::formats

#endif // FORMATS_WORDFOLD_H_
