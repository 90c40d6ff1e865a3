// The formatter of the resource texts: printf-style conversions over a list of numbers and
// texts, and the plural choices of the translated tables.
#ifndef GPSCORE_BASE_FORMATTEXT_H_
#define GPSCORE_BASE_FORMATTEXT_H_

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace gpscore {

class PluralRules;

// One argument of a resource format: a number or a text.
using FormatArg = std::variant<std::int64_t, double, std::u16string_view>;

// Formats `format` printf-style (%d %i %u %ld %lu %x %c %f %.Nf %e %g %s %ls %S %%, with flags,
// width and precision) with `args` in order. A %s takes a text; the numeric conversions take a
// number (a text given for a number reads as 0, a number given for %s is printed as a number).
// Missing arguments print nothing. The result holds at most 1999 characters.
std::u16string FormatText(std::u16string_view format, const FormatArg* args, std::size_t count);
inline std::u16string FormatText(std::u16string_view format,
                                 std::initializer_list<FormatArg> args) {
    return FormatText(format, args.begin(), args.size());
}
// As above, and with `rules` each plural choice of a translated text ("%d {one:Stunde|other:
// Stunden}", docs/languages.md) becomes the form for its number: the number printed just before
// it, or else the next argument. Without `rules` braces are plain text.
std::u16string FormatText(std::u16string_view format, const FormatArg* args, std::size_t count,
                          const PluralRules* rules);

} // namespace gpscore

#endif // GPSCORE_BASE_FORMATTEXT_H_
