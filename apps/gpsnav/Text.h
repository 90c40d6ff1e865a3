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

} // namespace gpsnav

#endif // GPSNAV_TEXT_H_
