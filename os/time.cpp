#include "os/time.h"

#include <algorithm>

namespace gpslib::os {

namespace {

constexpr std::int64_t kMicrosPerSecond = 1000000;
constexpr std::int64_t kMicrosPerDay = 86400 * kMicrosPerSecond;

bool IsLeap(std::int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned DaysInMonth(std::int64_t y, unsigned m) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Floor division, so that instants before 1970 land in the right day and millisecond.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

constexpr std::int64_t kMinMicros = DaysFromCivil(1601, 1, 1) * kMicrosPerDay;
constexpr std::int64_t kMaxMicros = DaysFromCivil(30828, 1, 1) * kMicrosPerDay - 1;

} // namespace

void CivilFromDays(std::int64_t z, std::int64_t* y, unsigned* m, unsigned* d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = static_cast<std::int64_t>(yoe) + era * 400 + (*m <= 2);
}

SystemTime SystemTimeFromUnixMicros(std::int64_t unixMicros) {
    unixMicros = std::clamp(unixMicros, kMinMicros, kMaxMicros);
    const std::int64_t days = FloorDiv(unixMicros, kMicrosPerDay);
    const std::int64_t inDay = unixMicros - days * kMicrosPerDay;
    std::int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    CivilFromDays(days, &year, &month, &day);

    SystemTime t;
    t.year = static_cast<std::uint16_t>(year);
    t.month = static_cast<std::uint16_t>(month);
    t.day = static_cast<std::uint16_t>(day);
    // 1970-01-01 was a Thursday (4).
    t.dayOfWeek = static_cast<std::uint16_t>((days % 7 + 7 + 4) % 7);
    const std::int64_t seconds = inDay / kMicrosPerSecond;
    t.hour = static_cast<std::uint16_t>(seconds / 3600);
    t.minute = static_cast<std::uint16_t>(seconds / 60 % 60);
    t.second = static_cast<std::uint16_t>(seconds % 60);
    t.milliseconds = static_cast<std::uint16_t>(inDay % kMicrosPerSecond / 1000);
    return t;
}

std::optional<std::int64_t> UnixMicrosFromSystemTime(const SystemTime& t) {
    if (t.month < 1 || t.month > 12) return std::nullopt;
    if (t.day < 1 || t.day > DaysInMonth(t.year, t.month)) return std::nullopt;
    if (t.hour > 23 || t.minute > 59 || t.second > 59 || t.milliseconds > 999) {
        return std::nullopt;
    }
    const std::int64_t days = DaysFromCivil(t.year, t.month, t.day);
    const std::int64_t seconds =
        days * 86400 + std::int64_t{t.hour} * 3600 + std::int64_t{t.minute} * 60 + t.second;
    return seconds * kMicrosPerSecond + t.milliseconds * std::int64_t{1000};
}

} // namespace gpslib::os
