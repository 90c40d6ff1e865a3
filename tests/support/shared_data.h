// The real-world data beside the repository (../shared/data) is not part of a clone: a test that
// reads one of its files skips, naming the file, when it is not there, instead of failing.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>

namespace gpslib::test {

// The first of `paths` that does not exist, or "" when all do.
inline std::string MissingSharedFile(std::initializer_list<std::string> paths) {
    std::error_code ec;
    for (const std::string& path : paths)
        if (!std::filesystem::exists(path, ec)) return path;
    return "";
}

} // namespace gpslib::test

// Ends the current test as skipped when any of the given shared data files is missing.
#define GPSLIB_SKIP_WITHOUT_SHARED_DATA(...)                                                       \
    do {                                                                                           \
        const std::string gpslibMissing_ = gpslib::test::MissingSharedFile({__VA_ARGS__});         \
        if (!gpslibMissing_.empty()) GTEST_SKIP() << "shared data missing: " << gpslibMissing_;    \
    } while (false)
