// Street names written out as they are spoken: the abbreviations a map's names hold, expanded by
// the rules of the language the map's region writes them in (docs/maps.md, "Names as each country
// writes them"). A rule of one language is never applied to another's names.
#ifndef MAPENGINE_ABBREVIATIONS_H_
#define MAPENGINE_ABBREVIATIONS_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace gpsmap {

// The languages whose street abbreviations the engine knows.
enum class NameLanguage : std::uint8_t {
    kEnglish,
    kGerman,
    kFrench,
    kSpanish,
    kItalian,
    kPortuguese,
    kCatalan,
};

// The language of a code ("de", "fr", "pt-BR"…, as the map file's "language" entry holds it);
// English for an empty or unknown code, as maps compiled before the entry existed are read.
NameLanguage LanguageFromCode(std::string_view code);
// The two-letter code of the language.
std::string_view LanguageCode(NameLanguage language);

// `name` with its abbreviations written out, word by word, by the rules of `language`.
// English: "N Main St" -> "North Main Street", a leading "St" of several words is "Saint".
// German: "Dr. Josef Hoop-Str." -> "Doktor Josef Hoop-Straße"; French "Av. Foch" -> "Avenue
// Foch"; Spanish "C/ Mayor" -> "Calle Mayor"; and so on. A word no rule names stays as written.
std::string ExpandAbbreviations(const std::string& name,
                                NameLanguage language = NameLanguage::kEnglish);

} // namespace gpsmap

#endif // MAPENGINE_ABBREVIATIONS_H_
