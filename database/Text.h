// Text matching shared by the POI and address searches: case and accents are ignored, and a
// search text is always matched literally (quotes, "%", "_", "*" and FTS operators are ordinary
// characters).
#ifndef DATABASE_TEXT_H_
#define DATABASE_TEXT_H_

#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace gpsdb {

// `utf8` lower-cased with its accents removed ("Éléphant" -> "elephant"), for Latin, Greek and
// Cyrillic letters; combining accents are dropped; invalid bytes become U+FFFD, one per broken
// piece as gpslib::os::DecodeUtf8 reads them. The folding is the one the POI files' word index
// follows (formats/WordFold.h).
std::string Fold(std::string_view utf8);

enum class MatchMode {
    Anywhere,   // the search text occurs anywhere in the field
    StartsWith, // the field, or one of its words, begins with the search text
    WholeWord,  // the search text is a whole word, or a run of whole words, of the field
};

// Whether `field` matches `search` (both UTF-8) under `mode`; an empty search matches anything.
bool TextMatches(std::string_view field, std::string_view search, MatchMode mode);

// Names of places and streets, as Fold and TextMatches, where the letters people also write as
// two match both spellings: "ß" (and "ẞ") and "ss", "æ" and "ae", "œ" and "oe", so that
// "strasse" finds "Straße" and "straße" finds "Strasse". (The POI search keeps Fold, which its
// word index follows.)
std::string FoldName(std::string_view utf8);
bool NameMatches(std::string_view field, std::string_view search, MatchMode mode);

// A letter outside ASCII (its UTF-8 bytes) and what to write instead.
using Respelling = std::pair<std::string_view, std::string_view>;
// `utf8` with every letter of `respellings` written as the table says (the first entry that
// matches at a place wins); everything else as it is.
std::string Respell(std::string_view utf8, std::span<const Respelling> respellings);

// An FTS5 query restricted to `column` that selects every row the search could match under
// `mode` (a superset: TextMatches decides), for a word index built with the tokenizer that folds
// as Fold does: the search's words as one quoted phrase, the last word a prefix for StartsWith.
// Empty when the search holds no word, or for Anywhere, which the word index cannot answer: the
// caller then compares every candidate. `column` is one of the component's own fixed column
// names.
std::string FtsQuery(std::string_view column, std::string_view search, MatchMode mode);

} // namespace gpsdb

#endif // DATABASE_TEXT_H_
