#include "os/env.h"
#include "os/path.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/temp_dir.h"

namespace gpslib::os {
namespace {

class EnvFileTest : public ::testing::Test {
protected:
    Env* env = Env::Default();
    test::TempDir dir;

    std::vector<std::string> Children(const std::string& path) {
        std::vector<std::string> names;
        EXPECT_TRUE(env->GetChildren(path, &names).ok()) << path;
        return names;
    }
    std::string Read(const std::string& path) {
        std::string data;
        const Status s = env->ReadFile(path, &data);
        EXPECT_TRUE(s.ok()) << s.ToString();
        return data;
    }
};

TEST_F(EnvFileTest, AtomicWriteAndReadRoundTrip) {
    const std::string big(200000, 'x'); // larger than the read chunk and the write buffer
    // The service's own join rule: a backslash that the Env turns into "/".
    const std::string path = JoinPath(dir.path(), "settings.dat");
    for (const std::string& data : {std::string(), std::string("bin\0ary\xFF", 8), big}) {
        ASSERT_TRUE(env->WriteFileAtomic(path, data).ok());
        EXPECT_EQ(Read(dir.File("settings.dat")), data);
        std::uint64_t size = 1;
        ASSERT_TRUE(env->GetFileSize(path, &size).ok());
        EXPECT_EQ(size, data.size());
    }
    EXPECT_EQ(Children(dir.path()), std::vector<std::string>{"settings.dat"});
}

// Each case makes WriteFileAtomic fail for a different reason; the old file must survive and no
// temporary file may be left beside it.
TEST_F(EnvFileTest, FailedAtomicWriteLeavesOldFileAndNoTempFile) {
    const std::string target = dir.File("registry.reg");
    ASSERT_TRUE(env->WriteFileAtomic(target, "old").ok());

    // Missing directory: nothing to keep, and nothing may appear.
    Status s = env->WriteFileAtomic(dir.File("missing/registry.reg"), "new");
    EXPECT_TRUE(s.IsNotFound()) << s.ToString();
    EXPECT_FALSE(env->FileExists(dir.File("missing")));

    // The target is a directory: the rename fails after the temporary file was written.
    ASSERT_TRUE(env->CreateDir(dir.File("taken")).ok());
    EXPECT_FALSE(env->WriteFileAtomic(dir.File("taken"), "new").ok());
    EXPECT_TRUE(env->IsDirectory(dir.File("taken")));

    // The file size limit: the write itself fails, as on a full disk.
    struct rlimit old;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = 16;
    void (*oldHandler)(int) = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    s = env->WriteFileAtomic(target, std::string(4096, 'n'));
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(s.IsIOError()) << s.ToString();

    EXPECT_EQ(Read(target), "old");
    EXPECT_EQ(Children(dir.path()), (std::vector<std::string>{"registry.reg", "taken"}));

    // A read-only directory (not enforced for root, who would succeed: probed first).
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    if (::access(dir.path().c_str(), W_OK) != 0) {
        s = env->WriteFileAtomic(target, "new");
        EXPECT_TRUE(s.IsPermissionDenied()) << s.ToString();
    }
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(Read(target), "old");
}

TEST_F(EnvFileTest, BadPathsGiveClearErrors) {
    using Code = Status::Code;
    std::string data = "stale", other;
    std::uint64_t size = 7;
    std::vector<std::string> names{"stale"};
    ASSERT_TRUE(env->WriteFileAtomic(dir.File("plain"), "x").ok());
    ASSERT_TRUE(env->CreateDirs(dir.File("full/inner")).ok());
    const std::pair<Status, Code> cases[] = {
        {env->ReadFile(dir.File("none"), &data), Code::kNotFound},
        {env->ReadFile(dir.path(), &other), Code::kInvalidArgument},
        {env->ReadFile("", &other), Code::kInvalidArgument},
        {env->WriteFileAtomic(dir.File(std::string("a\0b", 3)), "x"), Code::kInvalidArgument},
        {env->WriteFileAtomic(dir.File("plain/child"), "x"), Code::kNotFound},
        {env->GetFileSize(dir.path() + "\\none", &size), Code::kNotFound},
        {env->GetChildren(dir.File("none"), &names), Code::kNotFound},
        {env->CreateDir(dir.File("plain")), Code::kAlreadyExists},
        {env->RemoveDir(dir.File("full")), Code::kIOError},
    };
    for (const auto& [status, code] : cases)
        EXPECT_EQ(status.code(), code) << status.ToString();
    // Failures leave no stale results behind.
    EXPECT_EQ(data, "");
    EXPECT_EQ(size, 0u);
    EXPECT_TRUE(names.empty());
}

TEST_F(EnvFileTest, WritableAppendableAndSequentialFiles) {
    const std::string path = dir.File("trace.nmea");
    std::unique_ptr<WritableFile> file;
    ASSERT_TRUE(env->NewWritableFile(path, &file).ok());
    ASSERT_TRUE(file->Append("$GPRMC").ok());
    ASSERT_TRUE(file->Flush().ok());
    EXPECT_EQ(Read(path), "$GPRMC") << "Flush makes appends visible";
    ASSERT_TRUE(file->Append(",1\r\n").ok());
    ASSERT_TRUE(file->Close().ok());
    EXPECT_FALSE(file->Close().ok());
    EXPECT_FALSE(file->Append("late").ok());
    ASSERT_TRUE(env->NewAppendableFile(path, &file).ok());
    ASSERT_TRUE(file->Append("$GPGGA\r\n").ok());
    file.reset(); // the destructor closes
    EXPECT_EQ(Read(path), "$GPRMC,1\r\n$GPGGA\r\n");

    std::unique_ptr<SequentialFile> in;
    ASSERT_TRUE(env->NewSequentialFile(path, &in).ok());
    std::string got;
    ASSERT_TRUE(in->Read(3, &got).ok());
    EXPECT_EQ(got, "$GP");
    ASSERT_TRUE(in->Skip(4).ok());
    ASSERT_TRUE(in->Read(100, &got).ok());
    EXPECT_EQ(got, "1\r\n$GPGGA\r\n");
    ASSERT_TRUE(in->Skip(1000).ok());
    ASSERT_TRUE(in->Read(5, &got).ok());
    EXPECT_EQ(got, "");

    ASSERT_TRUE(env->NewWritableFile(path, &file).ok());
    ASSERT_TRUE(file->Close().ok());
    EXPECT_EQ(Read(path), "") << "a new writable file starts empty";
}

TEST_F(EnvFileTest, DirectoriesAndChildren) {
    ASSERT_TRUE(env->CreateDirs(dir.path() + "\\maps\\region/").ok());
    ASSERT_TRUE(env->CreateDirs(dir.path() + "/maps/region").ok()) << "existing is fine";
    ASSERT_TRUE(env->CreateDir(dir.File("maps")).ok()) << "existing is fine";
    for (const char* name : {"b.rmf", "A.rmf", "a.pdb", "caf\xC3\xA9.rmf"})
        ASSERT_TRUE(env->WriteFileAtomic(JoinPath(dir.File("maps"), name), "m").ok());
    EXPECT_EQ(Children(dir.File("maps")),
              (std::vector<std::string>{"A.rmf", "a.pdb", "b.rmf", "caf\xC3\xA9.rmf", "region"}));
    EXPECT_TRUE(env->IsDirectory(dir.path() + "\\maps\\region"));
    EXPECT_FALSE(env->IsDirectory(dir.File("maps/b.rmf")));
    EXPECT_FALSE(env->FileExists(std::string("maps\0b.rmf", 10)));

    ASSERT_TRUE(env->RenameFile(dir.File("maps/b.rmf"), dir.File("maps/A.rmf")).ok());
    EXPECT_EQ(Read(dir.File("maps/A.rmf")), "m");
    ASSERT_TRUE(env->RemoveFile(dir.File("maps/A.rmf")).ok());
    ASSERT_TRUE(env->RemoveDir(dir.File("maps/region")).ok());
    EXPECT_EQ(Children(dir.File("maps")), (std::vector<std::string>{"a.pdb", "caf\xC3\xA9.rmf"}));
}

// The wall clock in UTC and in the zone TZ names.
TEST(EnvTimeTest, WallClockMatchesTheSystemAndTimeZone) {
    const auto utc = UnixMicrosFromSystemTime(Env::Default()->UtcTime());
    ASSERT_TRUE(utc.has_value());
    EXPECT_NEAR(static_cast<double>(*utc), static_cast<double>(::time(nullptr)) * 1e6, 2e6);

    // A zone two hours east of UTC, in POSIX's inverted sign.
    const char* oldTz = std::getenv("TZ");
    const std::string saved = oldTz ? oldTz : "";
    ::setenv("TZ", "UTC-2", 1);
    auto zoned = NewPosixEnv(PosixEnvOptions{});
    const auto local = UnixMicrosFromSystemTime(zoned->LocalTime());
    const auto utcAgain = UnixMicrosFromSystemTime(zoned->UtcTime());
    oldTz ? ::setenv("TZ", saved.c_str(), 1) : ::unsetenv("TZ");
    ::tzset();
    ASSERT_TRUE(local.has_value() && utcAgain.has_value());
    EXPECT_NEAR(static_cast<double>(*local - *utcAgain), 7200e6, 2e6);
}

} // namespace
} // namespace gpslib::os
