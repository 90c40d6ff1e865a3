#include "Text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace gpsnav {

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view StripLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    return line;
}

std::optional<std::vector<std::string>> SplitWords(std::string_view line) {
    line = StripLineEnd(line);
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word.push_back(c);
            inWord = true;
        }
    }
    if (quoted) return std::nullopt;
    if (inWord) words.push_back(std::move(word));
    return words;
}

int EditDistance(std::string_view a, std::string_view b) {
    const std::string x = Lower(a);
    const std::string y = Lower(b);
    std::vector<int> row(y.size() + 1);
    for (std::size_t j = 0; j <= y.size(); ++j)
        row[j] = static_cast<int>(j);
    for (std::size_t i = 1; i <= x.size(); ++i) {
        int diagonal = row[0];
        row[0] = static_cast<int>(i);
        for (std::size_t j = 1; j <= y.size(); ++j) {
            const int above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (x[i - 1] != y[j - 1])});
            diagonal = above;
        }
    }
    return row[y.size()];
}

std::string Nearest(std::string_view word, const std::vector<std::string>& candidates) {
    if (word.empty()) return "";
    const std::string w = Lower(word);
    std::string best;
    int bestDistance = 1 << 20;
    std::vector<std::string> prefixed;
    for (const std::string& c : candidates) {
        const int d = EditDistance(w, c);
        if (d < bestDistance) {
            bestDistance = d;
            best = c;
        }
        if (Lower(c).starts_with(w)) prefixed.push_back(c);
    }
    const int allowed = w.size() <= 4 ? 1 : 2;
    if (bestDistance <= allowed) return best;
    if (prefixed.size() == 1) return prefixed.front();
    return "";
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out.push_back(static_cast<char>(c));
                }
            }
            ++i;
            continue;
        }
        // A well-formed UTF-8 sequence is copied; anything else becomes U+FFFD.
        const int length = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        bool ok = length > 0 && i + length <= text.size();
        for (int k = 1; ok && k < length; ++k)
            ok = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (ok) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out + "\"";
}

std::string WalkTime(long seconds) {
    if (seconds < 0) seconds = 0;
    char text[32];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60,
                      seconds % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", seconds / 60, seconds % 60);
    return text;
}

namespace {

std::optional<double> ParseDouble(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<LatLon> ParseLatLon(std::string_view text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    auto latitude = ParseDouble(text.substr(0, comma));
    auto longitude = ParseDouble(text.substr(comma + 1));
    if (!latitude || !longitude || std::fabs(*latitude) > 90 || std::fabs(*longitude) > 180 ||
        (*latitude == 0 && *longitude == 0))
        return std::nullopt;
    return LatLon{*latitude, *longitude};
}

std::optional<bool> ParseSwitch(std::string_view text) {
    const std::string t = Lower(text);
    if (t == "on" || t == "yes" || t == "true" || t == "1") return true;
    if (t == "off" || t == "no" || t == "false" || t == "0") return false;
    return std::nullopt;
}

std::optional<long> ParseNumber(std::string_view text, long low, long high) {
    long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
        value > high)
        return std::nullopt;
    return value;
}

} // namespace gpsnav
