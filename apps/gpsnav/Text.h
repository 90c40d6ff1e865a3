// Plain text helpers of gpsnav: splitting a command line, the nearest command name, JSON
// strings, walk times and positions typed by the user. Free of the service and the terminal.
#ifndef GPSNAV_TEXT_H_
#define GPSNAV_TEXT_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gpsnav {

// The words of a command line. Blanks separate words; double quotes keep blanks inside one word
// ("find \"town hall\""); a trailing carriage return (a script written on Windows) is dropped.
// nullopt when a quote is left open.
std::optional<std::vector<std::string>> SplitWords(std::string_view line);

// The line without its trailing "\r" and "\n" characters.
std::string_view StripLineEnd(std::string_view line);

// Levenshtein distance between two ASCII words, compared without regard to case.
int EditDistance(std::string_view a, std::string_view b);

// The candidate nearest to `word` when it is close enough to be a likely typo (at most one edit
// for short words, two for longer ones, or `word` a prefix of exactly one candidate); "" when
// none is.
std::string Nearest(std::string_view word, const std::vector<std::string>& candidates);

// `text` as a JSON string literal, quotes included. Invalid UTF-8 bytes become U+FFFD.
std::string JsonString(std::string_view text);

// Seconds into the walk as "m:ss" (or "h:mm:ss" from an hour on).
std::string WalkTime(long seconds);

struct LatLon {
    double latitude = 0;
    double longitude = 0;
};
// "LAT,LON" in decimal degrees, north and east positive ("45.002,10.0015"); nullopt when it is
// not two numbers in range or is 0,0 (which the service reads as no position).
std::optional<LatLon> ParseLatLon(std::string_view text);

// "on"/"off" and their usual synonyms; nullopt for anything else.
std::optional<bool> ParseSwitch(std::string_view text);

// A whole number within [low, high]; nullopt otherwise.
std::optional<long> ParseNumber(std::string_view text, long low, long high);

// Lower case ASCII.
std::string Lower(std::string_view text);

// The words joined by single blanks.
std::string Join(const std::vector<std::string>& words, std::size_t from = 0,
                 std::size_t to = std::string::npos);

// Which entries of a list `wanted` names: its number (1 to the count) when it is a number;
// else the entries whose name (the text before the first comma) is `wanted`, ignoring case;
// else those whose name or one of its words begins with `wanted`. `number` tells that `wanted`
// was a number (out of range when `entries` is empty).
struct EntryMatch {
    bool number = false;
    std::vector<std::size_t> entries;
};
EntryMatch MatchEntries(const std::vector<std::string>& entries, std::string_view wanted);

// A distance typed by the user: a number with an optional unit ("200", "200m", "0.5 km",
// "300 ft", "1 mile"), in metres; a number alone is in `plainUnitMetres` (1 for metres,
// 0.3048 for feet). nullopt when it is not a positive distance up to 1000 km.
std::optional<double> ParseDistance(std::string_view text, double plainUnitMetres);

} // namespace gpsnav

#endif // GPSNAV_TEXT_H_
