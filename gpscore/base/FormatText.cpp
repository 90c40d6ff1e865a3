#include "base/FormatText.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <variant>

#include "base/Plurals.h"

namespace gpscore {

namespace {

constexpr std::size_t kMaxFormatted = 1999;

std::u16string Ascii(const char* text) {
    std::u16string out;
    for (; *text != 0; ++text)
        out.push_back(static_cast<char16_t>(*text));
    return out;
}

// The number a plural choice goes with, as text: the digits (with one decimal separator) that
// end `out`, spaces aside, or else the next argument.
std::u16string PluralOperand(const std::u16string& out, const FormatArg* next,
                             const FormatArg* end) {
    std::size_t stop = out.size();
    while (stop > 0 && (out[stop - 1] == u' ' || out[stop - 1] == u'\u00a0'))
        --stop;
    auto digit = [&](std::size_t k) { return out[k] >= u'0' && out[k] <= u'9'; };
    std::size_t start = stop;
    while (start > 0 && digit(start - 1))
        --start;
    if (start < stop) {
        if (start >= 2 && (out[start - 1] == u',' || out[start - 1] == u'.') && digit(start - 2)) {
            start -= 1;
            while (start > 0 && digit(start - 1))
                --start;
        }
        return out.substr(start, stop - start);
    }
    if (next == end) return {};
    if (std::holds_alternative<std::int64_t>(*next)) {
        const std::int64_t value = std::get<std::int64_t>(*next);
        return Ascii(std::to_string(value < 0 ? -value : value).c_str());
    }
    if (std::holds_alternative<double>(*next)) {
        const double value = std::get<double>(*next);
        return Ascii(std::to_string(static_cast<long long>(value < 0 ? -value : value)).c_str());
    }
    return {};
}

// The form of the choice `body` ("one:Stunde|other:Stunden") for `category`, else its "other".
std::u16string_view PluralForm(std::u16string_view body, std::string_view category) {
    std::u16string_view other;
    while (true) {
        const std::size_t bar = body.find(u'|');
        std::u16string_view part = body.substr(0, bar);
        const std::size_t colon = part.find(u':');
        if (colon != std::u16string_view::npos) {
            std::u16string_view name = part.substr(0, colon);
            auto is = [&](std::string_view wanted) {
                return name.size() == wanted.size() &&
                       std::equal(name.begin(), name.end(), wanted.begin());
            };
            if (is(category)) return part.substr(colon + 1);
            if (is("other")) other = part.substr(colon + 1);
        }
        if (bar == std::u16string_view::npos) return other;
        body.remove_prefix(bar + 1);
    }
}

} // namespace

std::u16string FormatText(std::u16string_view format, const FormatArg* args, std::size_t count) {
    return FormatText(format, args, count, nullptr);
}

std::u16string FormatText(std::u16string_view format, const FormatArg* args, std::size_t count,
                          const PluralRules* rules) {
    std::u16string out;
    const FormatArg* next = args;
    const FormatArg* end = args + count;
    for (std::size_t i = 0; i < format.size() && out.size() < kMaxFormatted; ++i) {
        char16_t c = format[i];
        if (c == u'{' && rules != nullptr) {
            const std::size_t close = format.find(u'}', i);
            if (close != std::u16string_view::npos) {
                const std::string category = rules->Select(PluralOperand(out, next, end));
                out.append(PluralForm(format.substr(i + 1, close - i - 1), category));
                i = close;
                continue;
            }
        }
        if (c != u'%' || i + 1 >= format.size()) {
            out.push_back(c);
            continue;
        }
        if (format[i + 1] == u'%') {
            out.push_back(u'%');
            ++i;
            continue;
        }
        // %[flags][width][.precision][length]conversion
        std::size_t j = i + 1;
        std::string conversion = "%";
        while (j < format.size() &&
               std::u16string_view(u"-+ #0").find(format[j]) != std::u16string_view::npos)
            conversion.push_back(static_cast<char>(format[j++]));
        int width = 0;
        while (j < format.size() && format[j] >= u'0' && format[j] <= u'9') {
            width = width * 10 + (format[j] - u'0');
            conversion.push_back(static_cast<char>(format[j++]));
        }
        int precision = -1;
        if (j < format.size() && format[j] == u'.') {
            conversion.push_back('.');
            precision = 0;
            ++j;
            while (j < format.size() && format[j] >= u'0' && format[j] <= u'9') {
                precision = precision * 10 + (format[j] - u'0');
                conversion.push_back(static_cast<char>(format[j++]));
            }
        }
        while (j < format.size() &&
               std::u16string_view(u"hlLqjzt").find(format[j]) != std::u16string_view::npos)
            ++j;
        if (j >= format.size()) { // A dangling conversion is printed as it stands.
            out.append(format.substr(i));
            break;
        }
        char16_t conv = format[j];
        bool leftAlign = conversion.find('-') != std::string::npos;
        const FormatArg* arg = next != end ? next++ : nullptr;
        if (conv == u's' || conv == u'S') {
            std::u16string text;
            if (arg != nullptr && std::holds_alternative<std::u16string_view>(*arg)) {
                text = std::u16string(std::get<std::u16string_view>(*arg));
            } else if (arg != nullptr && std::holds_alternative<std::int64_t>(*arg)) {
                text = Ascii(std::to_string(std::get<std::int64_t>(*arg)).c_str());
            }
            if (precision >= 0 && text.size() > static_cast<std::size_t>(precision))
                text.resize(static_cast<std::size_t>(precision));
            std::u16string pad(text.size() < static_cast<std::size_t>(width)
                                   ? static_cast<std::size_t>(width) - text.size()
                                   : 0,
                               u' ');
            out += leftAlign ? text + pad : pad + text;
        } else if (std::u16string_view(u"diuxXoc").find(conv) != std::u16string_view::npos) {
            std::int64_t value = 0;
            if (arg != nullptr && std::holds_alternative<std::int64_t>(*arg))
                value = std::get<std::int64_t>(*arg);
            else if (arg != nullptr && std::holds_alternative<double>(*arg))
                value = static_cast<std::int64_t>(std::get<double>(*arg));
            if (conv == u'c') {
                out.push_back(static_cast<char16_t>(value));
            } else {
                conversion += "ll";
                conversion.push_back(static_cast<char>(conv));
                char buf[96];
                std::snprintf(buf, sizeof buf, conversion.c_str(), static_cast<long long>(value));
                out += Ascii(buf);
            }
        } else if (std::u16string_view(u"feEgG").find(conv) != std::u16string_view::npos) {
            double value = 0;
            if (arg != nullptr && std::holds_alternative<double>(*arg))
                value = std::get<double>(*arg);
            else if (arg != nullptr && std::holds_alternative<std::int64_t>(*arg))
                value = static_cast<double>(std::get<std::int64_t>(*arg));
            conversion.push_back(static_cast<char>(conv));
            char buf[512];
            std::snprintf(buf, sizeof buf, conversion.c_str(), value);
            out += Ascii(buf);
        } else { // Not a conversion this formatter knows: printed as it stands.
            out.append(format.substr(i, j - i + 1));
        }
        i = j;
    }
    if (out.size() > kMaxFormatted) out.resize(kMaxFormatted);
    return out;
}

} // namespace gpscore
