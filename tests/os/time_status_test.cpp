#include "os/status.h"
#include "os/time.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace gpslib::os {
namespace {

TEST(TimeTest, CalendarFieldsBothWays) {
    const struct {
        const char* name;
        std::int64_t unixMicros;
        SystemTime fields; // year, month, dayOfWeek, day, hour, minute, second, milliseconds
    } cases[] = {
        {"epoch, a Thursday", 0, {1970, 1, 4, 1, 0, 0, 0, 0}},
        {"last millisecond of 1999", 946684799999999, {1999, 12, 5, 31, 23, 59, 59, 999}},
        {"leap day 2000", 951782400000000, {2000, 2, 2, 29, 0, 0, 0, 0}},
        {"leap day 2024 afternoon", 1709222706123000, {2024, 2, 4, 29, 16, 5, 6, 123}},
        {"past 2038", 2147483648000000, {2038, 1, 2, 19, 3, 14, 8, 0}},
        {"before 1970", -1000, {1969, 12, 3, 31, 23, 59, 59, 999}},
        {"saturday before 1970", -388800000000, {1969, 12, 6, 27, 12, 0, 0, 0}},
        {"first SYSTEMTIME day", -11644473600000000, {1601, 1, 1, 1, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SystemTimeFromUnixMicros(c.unixMicros), c.fields) << c.name;
        // Sub-millisecond digits are dropped on the way out, so compare to the millisecond.
        const std::int64_t floorMs = c.unixMicros - ((c.unixMicros % 1000) + 1000) % 1000;
        EXPECT_EQ(UnixMicrosFromSystemTime(c.fields), floorMs) << c.name;
    }
}

TEST(TimeTest, OutOfRangeInstantsAreClamped) {
    EXPECT_EQ(SystemTimeFromUnixMicros(INT64_MIN).year, 1601);
    const SystemTime last = SystemTimeFromUnixMicros(INT64_MAX);
    EXPECT_EQ(last.year, 30827);
    EXPECT_EQ(last.month, 12);
    EXPECT_EQ(last.day, 31);
    EXPECT_EQ(last.milliseconds, 999);
}

TEST(TimeTest, InvalidFieldsHaveNoInstant) {
    const SystemTime invalid[] = {
        {2023, 0, 0, 1, 0, 0, 0, 0},    {2023, 13, 0, 1, 0, 0, 0, 0}, {2023, 4, 0, 31, 0, 0, 0, 0},
        {2023, 2, 0, 29, 0, 0, 0, 0},   {1900, 2, 0, 29, 0, 0, 0, 0}, {2023, 1, 0, 0, 0, 0, 0, 0},
        {2023, 1, 0, 1, 24, 0, 0, 0},   {2023, 1, 0, 1, 0, 60, 0, 0}, {2023, 1, 0, 1, 0, 0, 60, 0},
        {2023, 1, 0, 1, 0, 0, 0, 1000},
    };
    for (const auto& t : invalid) {
        EXPECT_FALSE(UnixMicrosFromSystemTime(t).has_value())
            << t.year << "-" << t.month << "-" << t.day << " " << t.hour << ":" << t.minute << ":"
            << t.second << "." << t.milliseconds;
    }
}

// The errors the file tests do not meet on every system; the others they reach through the
// system itself.
TEST(StatusTest, ErrnoTranslation) {
    using Code = Status::Code;
    const struct {
        int errnum;
        Code code;
    } cases[] = {{EACCES, Code::kPermissionDenied},
                 {EROFS, Code::kPermissionDenied},
                 {ENAMETOOLONG, Code::kInvalidArgument},
                 {ENOSPC, Code::kIOError},
                 {ENOSYS, Code::kNotSupported}};
    for (const auto& c : cases) {
        const Status s = StatusFromErrno("/some/file", c.errnum);
        EXPECT_EQ(s.code(), c.code) << c.errnum;
        EXPECT_EQ(s.errnum(), c.errnum);
        EXPECT_EQ(s.message().rfind("/some/file: ", 0), 0u) << s.message();
    }
    EXPECT_EQ(StatusFromErrno("/x", ENOENT).ToString(), "NotFound: /x: No such file or directory");
    EXPECT_EQ(Status::OK().ToString(), "OK");
    EXPECT_EQ(Status::Corruption("bad header").ToString(), "Corruption: bad header");
}

} // namespace
} // namespace gpslib::os
