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

std::string Join(const std::vector<std::string>& words, std::size_t from, std::size_t to) {
    std::string out;
    for (std::size_t i = from; i < std::min(to, words.size()); ++i)
        out += (out.empty() ? "" : " ") + words[i];
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

// The name of a list entry: its text before the first comma, lower case.
std::string EntryName(const std::string& entry) {
    return Lower(entry.substr(0, entry.find(',')));
}

} // namespace

EntryMatch MatchEntries(const std::vector<std::string>& entries, std::string_view wanted) {
    EntryMatch match;
    const std::string w = Lower(wanted);
    if (!w.empty() &&
        std::all_of(w.begin(), w.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        match.number = true;
        if (auto n = ParseNumber(w, 1, static_cast<long>(entries.size())))
            match.entries.push_back(static_cast<std::size_t>(*n - 1));
        return match;
    }
    if (w.empty()) return match;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (EntryName(entries[i]) == w) match.entries.push_back(i);
    if (!match.entries.empty()) return match;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string name = EntryName(entries[i]);
        bool begins = name.starts_with(w);
        for (std::size_t at = name.find(' '); !begins && at != std::string::npos;
             at = name.find(' ', at + 1))
            begins = name.compare(at + 1, w.size(), w) == 0;
        if (begins) match.entries.push_back(i);
    }
    return match;
}

std::optional<double> ParseDistance(std::string_view text, double plainUnitMetres) {
    const std::string t = Lower(text);
    std::size_t unitAt = t.find_first_not_of("0123456789.+- ");
    const std::string unit = unitAt == std::string::npos ? "" : t.substr(unitAt);
    struct Unit {
        const char* name;
        double metres;
    };
    constexpr Unit kUnits[] = {
        {"m", 1},           {"metre", 1},       {"metres", 1},       {"meter", 1},
        {"meters", 1},      {"km", 1000},       {"kilometre", 1000}, {"kilometres", 1000},
        {"ft", 0.3048},     {"feet", 0.3048},   {"foot", 0.3048},    {"mi", 1609.344},
        {"mile", 1609.344}, {"miles", 1609.344}};
    double metres = unit.empty() ? plainUnitMetres : 0;
    for (const Unit& u : kUnits)
        if (unit == u.name) metres = u.metres;
    auto value = ParseDouble(std::string_view(t).substr(0, unitAt));
    if (!value || metres == 0 || *value <= 0 || *value * metres > 1e6) return std::nullopt;
    return *value * metres;
}

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
