#include "base/SettingsText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>

#include "base/SettingsFiles.h"

namespace gpscore::settings::text {

using gpslib::os::Env;

namespace {

// Longer number fields are read from their first characters only (the rest up to the
// separator is skipped), so a runaway field cannot shift the fields after it.
constexpr std::size_t kMaxIntegerChars = 19;
constexpr std::size_t kMaxRealChars = 29;
// Code units a written file may hold: one less than fills the read limit.
constexpr std::size_t kMaxFileUnits = (kMaxFileBytes - 1) / 2;
// "%.13f" of a real at or beyond this magnitude would be cut by the reader's limit.
constexpr double kMaxRealMagnitude = 1e15;

// Leading digits with an optional minus sign, as far as they go; 0 when there are none.
// Saturates rather than overflowing (19 digits may exceed 64 bits).
std::int64_t ParseInteger(std::u16string_view text) {
    text = text.substr(0, kMaxIntegerChars);
    bool negative = !text.empty() && text.front() == u'-';
    std::uint64_t magnitude = 0;
    constexpr std::uint64_t kLimit = std::uint64_t{1} << 63;
    for (std::size_t i = negative ? 1 : 0; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9') break;
        magnitude = std::min(kLimit, magnitude * 10 + static_cast<unsigned>(text[i] - u'0'));
    }
    if (negative)
        return magnitude == kLimit ? std::numeric_limits<std::int64_t>::min()
                                   : -static_cast<std::int64_t>(magnitude);
    return static_cast<std::int64_t>(std::min(magnitude, kLimit - 1));
}

// Leading digits with an optional minus sign and decimal point, as far as they go; 0 when there
// are none. No exponent, no "inf" or "nan": the writer never writes them.
double ParseReal(std::u16string_view text) {
    text = text.substr(0, kMaxRealChars);
    std::string ascii;
    bool digits = false, point = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'-' && i == 0) {
        } else if (c == u'.' && !point) {
            point = true;
        } else if (c >= u'0' && c <= u'9') {
            digits = true;
        } else {
            break;
        }
        ascii += static_cast<char>(c);
    }
    if (!digits) return 0.0;
    double value = 0.0;
    auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    return ec == std::errc() ? value : 0.0;
}

std::u16string Ascii(std::string_view text) {
    return std::u16string(text.begin(), text.end());
}

// A file the reader would ignore as too large would lose every setting in it, so the longest
// texts are shortened until the file fits: all texts are cut to one common length, the largest
// that fits. Numbers are never cut (their texts are short enough that they always fit).
void FitIntoReadLimit(std::vector<Piece>& pieces) {
    std::size_t fixed = 0, longest = 0;
    for (const auto& piece : pieces) {
        fixed += 1 + (piece.isString ? 0 : piece.text.size());
        if (piece.isString) longest = std::max(longest, piece.text.size());
    }
    auto total = [&](std::size_t cap) {
        std::size_t sum = fixed;
        for (const auto& piece : pieces)
            if (piece.isString) sum += std::min(piece.text.size(), cap);
        return sum;
    };
    if (total(longest) <= kMaxFileUnits) return;
    std::size_t fits = 0, tooLong = longest; // total(fits) fits; total(tooLong) does not.
    while (tooLong - fits > 1) {
        std::size_t middle = fits + (tooLong - fits) / 2;
        (total(middle) <= kMaxFileUnits ? fits : tooLong) = middle;
    }
    for (auto& piece : pieces) {
        if (!piece.isString || piece.text.size() <= fits) continue;
        std::size_t keep = fits;
        // Never keep half of a surrogate pair.
        if (keep > 0 && piece.text[keep - 1] >= 0xD800 && piece.text[keep - 1] <= 0xDBFF) --keep;
        piece.text.resize(keep);
    }
}

// UTF-16LE code units, each field followed by the separator.
std::string Encode(const std::vector<Piece>& pieces) {
    std::string bytes;
    auto unit = [&bytes](char16_t c) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    };
    for (const auto& piece : pieces) {
        for (char16_t c : piece.text)
            unit(c);
        unit(u'|');
    }
    return bytes;
}

} // namespace

Value Number(std::int64_t n) {
    return Value{n, 0.0, {}};
}
Value Real(double d) {
    return Value{0, d, {}};
}
Value Text(std::u16string_view s) {
    return Value{0, 0.0, std::u16string(s)};
}

Value Parse(Kind kind, std::u16string_view text) {
    switch (kind) {
    case Kind::kInteger:
        return Number(ParseInteger(text));
    case Kind::kBoolean: // Only the first character counts.
        return Number(!text.empty() && text.front() == u'1' ? 1 : 0);
    case Kind::kReal:
        return Real(ParseReal(text));
    case Kind::kString:
        break;
    }
    return Text(text);
}

std::u16string Format(Kind kind, const Value& v) {
    switch (kind) {
    case Kind::kInteger:
        return Ascii(std::to_string(v.number));
    case Kind::kBoolean:
        return v.number != 0 ? u"1" : u"0";
    case Kind::kReal: {
        // "%.13f" without the locale. A value the reader could not take back (not finite, or
        // too long for the field) is written as 0, which is what its text would read as.
        double x = std::isfinite(v.real) && std::fabs(v.real) < kMaxRealMagnitude ? v.real : 0.0;
        char buffer[64];
        auto [end, ec] =
            std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, 13);
        return ec == std::errc() ? Ascii(std::string_view(buffer, end - buffer))
                                 : u"0.0000000000000";
    }
    case Kind::kString:
        break;
    }
    std::u16string text = v.text;
    std::replace(text.begin(), text.end(), u'|', kSeparatorStandIn);
    return text;
}

std::int64_t ReadVersion(FieldCursor& cursor) {
    auto text = cursor.Next();
    return text ? ParseInteger(*text) : 1;
}

std::u16string ReadContent(Env& env, std::u16string_view directory, std::u16string_view name) {
    // Without a settings directory there are no settings files: the path rule would put them in
    // the file system's root.
    if (directory.empty()) return {};
    std::unique_ptr<gpslib::os::SequentialFile> file;
    if (!env.NewSequentialFile(SettingsFilePath(directory, name), &file).ok()) return {};
    std::string bytes;
    if (!file->Read(kMaxFileBytes, &bytes).ok() || bytes.size() >= kMaxFileBytes) return {};
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    return text;
}

bool WriteContent(Env& env, std::u16string_view directory, std::u16string_view name,
                  std::vector<Piece>& pieces) {
    if (directory.empty()) return false; // See ReadContent.
    FitIntoReadLimit(pieces);
    return env.WriteFileAtomic(SettingsFilePath(directory, name), Encode(pieces)).ok();
}

std::vector<Piece> VersionPiece(int version) {
    return {Piece{Ascii(std::to_string(version)), false}};
}

} // namespace gpscore::settings::text
