#include "base/Plurals.h"

#include <unicode/locid.h>
#include <unicode/numberformatter.h>
#include <unicode/plurrule.h>

#include <array>
#include <string>

namespace gpscore {

namespace {

// Fraction digits beyond these are never printed by the string tables' formats.
constexpr int kMaxFractionDigits = 3;

} // namespace

struct PluralRules::Impl {
    std::unique_ptr<icu::PluralRules> rules;
    // One formatter per count of visible fraction digits (index 0 unused): the plural category
    // of "1,50" depends on the two digits shown, which only a formatted number carries into the
    // rules.
    std::array<icu::number::LocalizedNumberFormatter, kMaxFractionDigits + 1> formatters;
};

PluralRules::PluralRules(std::string_view languageTag) : m_impl(std::make_unique<Impl>()) {
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale locale = icu::Locale::forLanguageTag(
        icu::StringPiece(languageTag.data(), static_cast<int32_t>(languageTag.size())), status);
    if (U_FAILURE(status)) locale = icu::Locale::getRoot();
    status = U_ZERO_ERROR;
    m_impl->rules.reset(icu::PluralRules::forLocale(locale, UPLURAL_TYPE_CARDINAL, status));
    if (U_FAILURE(status)) m_impl->rules.reset();
    for (int digits = 1; digits <= kMaxFractionDigits; ++digits)
        m_impl->formatters[static_cast<std::size_t>(digits)] =
            icu::number::NumberFormatter::withLocale(locale)
                .precision(icu::number::Precision::minMaxFraction(digits, digits))
                .grouping(UNUM_GROUPING_OFF);
}

PluralRules::~PluralRules() = default;

std::string PluralRules::Select(std::u16string_view number) const {
    if (m_impl->rules == nullptr || number.empty() || number.size() > 18) return "other";
    std::string decimal; // "1.50": the number as ICU reads a decimal text
    int fractionDigits = -1;
    for (char16_t c : number) {
        if (c >= u'0' && c <= u'9') {
            decimal.push_back(static_cast<char>(c));
            if (fractionDigits >= 0) ++fractionDigits;
        } else if ((c == u'.' || c == u',') && fractionDigits < 0 && !decimal.empty()) {
            decimal.push_back('.');
            fractionDigits = 0;
        } else {
            return "other";
        }
    }
    if (fractionDigits == 0 || fractionDigits > kMaxFractionDigits) return "other";
    UErrorCode status = U_ZERO_ERROR;
    if (fractionDigits < 0) { // A whole number needs no formatting: its rules are the plain ones.
        std::string out;
        return m_impl->rules->select(std::stod(decimal)).toUTF8String(out);
    }
    const auto& formatter =
        m_impl->formatters[static_cast<std::size_t>(fractionDigits < 0 ? 0 : fractionDigits)];
    icu::number::FormattedNumber formatted = formatter.formatDecimal(
        icu::StringPiece(decimal.data(), static_cast<int32_t>(decimal.size())), status);
    icu::UnicodeString category = m_impl->rules->select(formatted, status);
    if (U_FAILURE(status)) return "other";
    std::string out;
    return category.toUTF8String(out);
}

} // namespace gpscore
