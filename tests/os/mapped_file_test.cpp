#include "os/mapped_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "tests/support/temp_dir.h"

namespace gpslib::os {
namespace {

TEST(MappedFile, MapsWhatTheFileHoldsAndRefusesWhatIsNoFile) {
    test::TempDir dir;
    const std::string bytes = std::string("GPMF") + std::string(5000, '\x7f') + "end";
    std::ofstream(dir.File("full"), std::ios::binary) << bytes;
    std::ofstream(dir.File("empty"), std::ios::binary) << "";
    struct Case {
        std::string path;
        Status::Code code; // kOk: maps, with `expected` as its bytes
        std::string expected;
    } cases[] = {
        {dir.File("full"), Status::Code::kOk, bytes},
        {dir.File("empty"), Status::Code::kOk, ""},
        {dir.path(), Status::Code::kInvalidArgument, ""},
        {dir.File("missing"), Status::Code::kNotFound, ""},
        {"/dev/null", Status::Code::kInvalidArgument, ""},
    };
    for (const Case& c : cases) {
        std::unique_ptr<MappedFile> file;
        Status s = MappedFile::Open(c.path, &file);
        EXPECT_EQ(s.code(), c.code) << c.path << ": " << s.ToString();
        if (c.code != Status::Code::kOk) {
            EXPECT_EQ(file, nullptr) << c.path;
            continue;
        }
        ASSERT_NE(file, nullptr) << c.path;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(file->data()), file->size()),
                  c.expected)
            << c.path;
    }
}

TEST(MappedFile, StaysReadableAfterTheFileIsRemovedOrReplaced) {
    test::TempDir dir;
    const std::string path = dir.File("map"), next = dir.File("map.new");
    std::ofstream(path, std::ios::binary) << std::string(10000, 'a');
    std::unique_ptr<MappedFile> removed, replaced;
    ASSERT_TRUE(MappedFile::Open(path, &removed).ok());
    ASSERT_EQ(unlink(path.c_str()), 0);
    std::ofstream(path, std::ios::binary) << std::string(10000, 'b');
    ASSERT_TRUE(MappedFile::Open(path, &replaced).ok());
    // A new file renamed over the mapped one, as the compiler publishes maps.
    std::ofstream(next, std::ios::binary) << std::string(20, 'c');
    ASSERT_EQ(std::rename(next.c_str(), path.c_str()), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(removed->data()), removed->size()),
              std::string(10000, 'a'));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(replaced->data()), replaced->size()),
              std::string(10000, 'b'));
}

TEST(MappedFile, AFileCutShortUnderItReadsAsZerosAndOnlyItIsLost) {
    test::TempDir dir;
    const std::size_t pageSize = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::string path = dir.File("map"), other = dir.File("other");
    std::ofstream(path, std::ios::binary) << std::string(3 * pageSize, 'a');
    std::ofstream(other, std::ios::binary) << std::string(3 * pageSize, 'b');
    std::unique_ptr<MappedFile> cut, kept;
    ASSERT_TRUE(MappedFile::Open(path, &cut).ok());
    ASSERT_TRUE(MappedFile::Open(other, &kept).ok());
    EXPECT_EQ(cut->data()[0], 'a');
    EXPECT_FALSE(cut->Lost());

    // Copied over in place: the same file, cut short, then partly written again.
    ASSERT_EQ(truncate(path.c_str(), 100), 0);
    const volatile unsigned char* bytes = cut->data();
    EXPECT_EQ(bytes[2 * pageSize + 5], 0); // past the new end: the fault is caught
    EXPECT_TRUE(cut->Lost());
    EXPECT_EQ(bytes[0], 0); // the whole mapping reads as zeros from then on
    EXPECT_EQ(cut->size(), 3 * pageSize);
    EXPECT_FALSE(kept->Lost());
    EXPECT_EQ(kept->data()[2 * pageSize], 'b');
}

TEST(MappedFileDeathTest, ABusErrorOutsideAnyMappingStillEndsTheProcess) {
    test::TempDir dir;
    std::ofstream(dir.File("map"), std::ios::binary) << "GPMF";
    std::unique_ptr<MappedFile> file;
    ASSERT_TRUE(MappedFile::Open(dir.File("map"), &file).ok()); // the guard is installed
    // Ended by the signal, or by the handler installed before the guard (a sanitizer's report).
    EXPECT_DEATH(raise(SIGBUS), "");
}

} // namespace
} // namespace gpslib::os
