// Plural forms by language: which of a translated text's forms ("{one:metro|other:metros}")
// goes with a number, by the plural rules of the string table's language (docs/languages.md).
#ifndef GPSCORE_BASE_PLURALS_H_
#define GPSCORE_BASE_PLURALS_H_

#include <memory>
#include <string>
#include <string_view>

namespace gpscore {

// The cardinal plural rules of one language, from ICU's copy of the Unicode CLDR rules, so that
// no language's rule is written by hand here.
//
// Thread safety: Select may run on any number of threads at once.
class PluralRules {
public:
    // The rules of `languageTag` ("de", "pt-BR"); a tag ICU does not know gets the rules of its
    // root locale, where every number is "other".
    explicit PluralRules(std::string_view languageTag);
    ~PluralRules();
    PluralRules(const PluralRules&) = delete;
    PluralRules& operator=(const PluralRules&) = delete;

    // The CLDR category ("zero", "one", "two", "few", "many" or "other") of a number written as
    // digits with at most one decimal separator ('.' or ','): "1", "0,37", "1.50". The digits
    // after the separator count as written ("1,00" is not "1" in the languages where that
    // matters). A text that is not such a number is "other".
    std::string Select(std::u16string_view number) const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace gpscore

#endif // GPSCORE_BASE_PLURALS_H_
