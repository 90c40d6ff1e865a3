#pragma once

#include <cstdint>
#include <optional>

namespace gpslib::os {

// Calendar time split into the classic SYSTEMTIME fields, which the service hands to its clients
// and stamps into its log. month 1-12, dayOfWeek 0 (Sunday) - 6, day 1-31.
struct SystemTime {
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t dayOfWeek = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;

    bool operator==(const SystemTime&) const = default;
};

// The calendar fields (proleptic Gregorian) of an instant given in microseconds since
// 1970-01-01 00:00:00. Sub-millisecond digits are truncated toward the past. Instants outside
// the years 1601-30827, the range the fields were defined for, are clamped to its ends.
SystemTime SystemTimeFromUnixMicros(std::int64_t unixMicros);

// The inverse: microseconds since 1970 for the fields, ignoring dayOfWeek. Empty when a field is
// out of range (month 13, 31 April, 29 February in a common year, hour 24, ...).
std::optional<std::int64_t> UnixMicrosFromSystemTime(const SystemTime& time);

// Days since 1970-01-01 of a civil date (proleptic Gregorian, any year), and back.
// Counting in 400-year eras keeps every step a plain division of non-negative numbers.
constexpr std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}
void CivilFromDays(std::int64_t days, std::int64_t* year, unsigned* month, unsigned* day);

} // namespace gpslib::os
