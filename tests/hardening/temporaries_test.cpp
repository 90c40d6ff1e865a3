// Temporary files of atomic writes whose writers were killed are cleared away by the next
// successful write of the same target; those of running writers, of other targets and names
// that only look alike stay.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "os/env.h"
#include "temp_dir.h"

namespace {

TEST(AtomicWrites, TheNextWriteRemovesOnlyTheTemporariesOfWritersThatAreGone) {
    gpslib::test::TempDir dir;
    const std::string self = std::to_string(::getpid()), parent = std::to_string(::getppid());
    // A process id above any the system hands out belongs to no running process.
    const std::string gone = "2147483000";
    const struct {
        std::string name;
        bool stays;
    } rows[] = {
        {"settings.inf.tmp" + gone + "-0", false},
        {"settings.inf.tmp" + gone + "-17", false},
        {"settings.inf.tmp" + self + "-99", true},  // this process: maybe another thread's
        {"settings.inf.tmp" + parent + "-3", true}, // a running process
        {"other.inf.tmp" + gone + "-0", true},      // another target
        {"settings.inf.tmp" + gone, true},          // not the writers' pattern
        {"settings.inf.tmp" + gone + "-", true},
        {"settings.inf.tmp" + gone + "-1x", true},
        {"settings.inf.tmp0-1", true},
        {"settings.inf.tmp-5-1", true},
        {"settings.inf.tmp99999999999999999999-1", true},
        {"settings.inf.bak", true},
    };
    for (const auto& row : rows)
        std::ofstream(dir.File(row.name)) << "partial";
    ASSERT_TRUE(gpslib::os::Env::Default()->WriteFileAtomic(dir.File("settings.inf"), "new").ok());
    std::set<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        left.insert(entry.path().filename().string());
    EXPECT_TRUE(left.count("settings.inf"));
    for (const auto& row : rows)
        EXPECT_EQ(left.count(row.name) == 1, row.stays) << row.name;
}

} // namespace
