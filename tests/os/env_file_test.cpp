#include "os/env.h"
#include "os/path.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
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
    const std::string cases[] = {"", std::string("bin\0ary\xFF", 8), "settings v1\r\n", big};
    // The service's own join rule: a backslash that the Env turns into "/".
    const std::string path = JoinPath(dir.path(), "settings.dat");
    for (const auto& data : cases) {
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
    s = env->WriteFileAtomic(dir.File("taken"), "new");
    EXPECT_FALSE(s.ok());
    EXPECT_TRUE(env->IsDirectory(dir.File("taken")));

    // The file size limit: the write itself fails, as on a full disk.
    {
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
    }

    EXPECT_EQ(Read(target), "old");
    EXPECT_EQ(Children(dir.path()), (std::vector<std::string>{"registry.reg", "taken"}));
}

TEST_F(EnvFileTest, FailedAtomicWriteInReadOnlyDirectory) {
    const std::string sub = dir.File("ro");
    ASSERT_TRUE(env->CreateDir(sub).ok());
    ASSERT_TRUE(env->WriteFileAtomic(sub + "/f", "old").ok());
    ASSERT_EQ(::chmod(sub.c_str(), 0555), 0);
    // Root ignores directory permissions; there the write would succeed, so probe first.
    if (::access(sub.c_str(), W_OK) == 0) {
        ::chmod(sub.c_str(), 0755);
        GTEST_SKIP() << "directory permissions are not enforced for this user";
    }
    const Status s = env->WriteFileAtomic(sub + "/f", "new");
    ::chmod(sub.c_str(), 0755);
    EXPECT_TRUE(s.IsPermissionDenied()) << s.ToString();
    EXPECT_EQ(Read(sub + "/f"), "old");
    EXPECT_EQ(Children(sub), std::vector<std::string>{"f"});
}

struct BadPathCase {
    const char* name;
    std::function<Status(Env*, const std::string& dir)> op;
    Status::Code expected;
};

TEST_F(EnvFileTest, BadPathsGiveClearErrors) {
    const std::string nul("a\0b", 3);
    const BadPathCase cases[] = {
        {"read missing",
         [](Env* e, const std::string& d) {
             std::string data = "stale";
             Status s = e->ReadFile(d + "/none", &data);
             return data.empty() ? s : Status::Corruption("data not cleared");
         },
         Status::Code::kNotFound},
        {"read a directory",
         [](Env* e, const std::string& d) {
             std::string data;
             return e->ReadFile(d, &data);
         },
         Status::Code::kInvalidArgument},
        {"read empty path",
         [](Env* e, const std::string&) {
             std::string data;
             return e->ReadFile("", &data);
         },
         Status::Code::kInvalidArgument},
        {"write path with NUL",
         [nul](Env* e, const std::string& d) { return e->WriteFileAtomic(d + "/" + nul, "x"); },
         Status::Code::kInvalidArgument},
        {"write under a file",
         [](Env* e, const std::string& d) {
             Status s = e->WriteFileAtomic(d + "/plain", "x");
             return s.ok() ? e->WriteFileAtomic(d + "/plain/child", "x") : s;
         },
         Status::Code::kNotFound},
        {"size of missing",
         [](Env* e, const std::string& d) {
             std::uint64_t size = 7;
             Status s = e->GetFileSize(d + "\\none", &size);
             return size == 0 ? s : Status::Corruption("size not cleared");
         },
         Status::Code::kNotFound},
        {"remove missing", [](Env* e, const std::string& d) { return e->RemoveFile(d + "/none"); },
         Status::Code::kNotFound},
        {"rename missing",
         [](Env* e, const std::string& d) { return e->RenameFile(d + "/none", d + "/other"); },
         Status::Code::kNotFound},
        {"children of missing",
         [](Env* e, const std::string& d) {
             std::vector<std::string> names{"stale"};
             Status s = e->GetChildren(d + "/none", &names);
             return names.empty() ? s : Status::Corruption("names not cleared");
         },
         Status::Code::kNotFound},
        {"create dir without parent",
         [](Env* e, const std::string& d) { return e->CreateDir(d + "/a/b"); },
         Status::Code::kNotFound},
        {"create dir over a file",
         [](Env* e, const std::string& d) {
             Status s = e->WriteFileAtomic(d + "/file", "x");
             return s.ok() ? e->CreateDir(d + "/file") : s;
         },
         Status::Code::kAlreadyExists},
        {"remove non-empty dir",
         [](Env* e, const std::string& d) {
             Status s = e->CreateDirs(d + "/full/inner");
             return s.ok() ? e->RemoveDir(d + "/full") : s;
         },
         Status::Code::kIOError},
    };
    for (const auto& c : cases) {
        test::TempDir scratch;
        const Status s = c.op(env, scratch.path());
        EXPECT_EQ(s.code(), c.expected) << c.name << ": " << s.ToString();
    }
}

TEST_F(EnvFileTest, WritableAndAppendableFiles) {
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
    ASSERT_TRUE(file->Sync().ok());
    file.reset(); // the destructor closes
    EXPECT_EQ(Read(path), "$GPRMC,1\r\n$GPGGA\r\n");

    ASSERT_TRUE(env->NewWritableFile(path, &file).ok());
    ASSERT_TRUE(file->Close().ok());
    EXPECT_EQ(Read(path), "") << "a new writable file starts empty";
}

TEST_F(EnvFileTest, SequentialReadAndSkip) {
    const std::string path = dir.File("digits");
    ASSERT_TRUE(env->WriteFileAtomic(path, "0123456789").ok());
    std::unique_ptr<SequentialFile> file;
    ASSERT_TRUE(env->NewSequentialFile(path, &file).ok());
    std::string got;
    ASSERT_TRUE(file->Read(3, &got).ok());
    EXPECT_EQ(got, "012");
    ASSERT_TRUE(file->Skip(2).ok());
    ASSERT_TRUE(file->Read(3, &got).ok());
    EXPECT_EQ(got, "567");
    ASSERT_TRUE(file->Read(100, &got).ok());
    EXPECT_EQ(got, "89");
    ASSERT_TRUE(file->Skip(1000).ok());
    ASSERT_TRUE(file->Read(5, &got).ok());
    EXPECT_EQ(got, "");
}

TEST_F(EnvFileTest, DirectoriesAndChildren) {
    EXPECT_TRUE(Children(dir.path()).empty());
    ASSERT_TRUE(env->CreateDirs(dir.path() + "\\maps\\region/").ok());
    ASSERT_TRUE(env->CreateDirs(dir.path() + "/maps/region").ok()) << "existing is fine";
    ASSERT_TRUE(env->CreateDir(dir.File("maps")).ok()) << "existing is fine";
    for (const char* name : {"b.rmf", "A.rmf", "a.pdb", "caf\xC3\xA9.rmf"}) {
        ASSERT_TRUE(env->WriteFileAtomic(JoinPath(dir.File("maps"), name), "m").ok());
    }
    EXPECT_EQ(Children(dir.File("maps")),
              (std::vector<std::string>{"A.rmf", "a.pdb", "b.rmf", "caf\xC3\xA9.rmf", "region"}));
    EXPECT_TRUE(env->IsDirectory(dir.path() + "\\maps\\region"));
    EXPECT_FALSE(env->IsDirectory(dir.File("maps/b.rmf")));
    EXPECT_TRUE(env->FileExists(dir.File("maps/b.rmf")));
    EXPECT_FALSE(env->FileExists(dir.File("maps/c.rmf")));
    EXPECT_FALSE(env->FileExists(std::string("maps\0b.rmf", 10)));

    ASSERT_TRUE(env->RenameFile(dir.File("maps/b.rmf"), dir.File("maps/A.rmf")).ok());
    EXPECT_EQ(Read(dir.File("maps/A.rmf")), "m");
    ASSERT_TRUE(env->RemoveFile(dir.File("maps/A.rmf")).ok());
    ASSERT_TRUE(env->RemoveDir(dir.File("maps/region")).ok());
    EXPECT_EQ(Children(dir.File("maps")), (std::vector<std::string>{"a.pdb", "caf\xC3\xA9.rmf"}));
}

TEST(EnvTimeTest, WallClockMatchesTheSystemAndTimeZone) {
    Env* env = Env::Default();
    const auto utc = UnixMicrosFromSystemTime(env->UtcTime());
    ASSERT_TRUE(utc.has_value());
    EXPECT_NEAR(static_cast<double>(*utc), static_cast<double>(::time(nullptr)) * 1e6, 2e6);

    // A zone two hours east of UTC, in POSIX's inverted sign.
    const char* oldTz = std::getenv("TZ");
    const std::string saved = oldTz ? oldTz : "";
    ::setenv("TZ", "UTC-2", 1);
    auto zoned = NewPosixEnv(PosixEnvOptions{});
    const auto local = UnixMicrosFromSystemTime(zoned->LocalTime());
    const auto utcAgain = UnixMicrosFromSystemTime(zoned->UtcTime());
    if (oldTz) {
        ::setenv("TZ", saved.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
    ASSERT_TRUE(local.has_value() && utcAgain.has_value());
    EXPECT_NEAR(static_cast<double>(*local - *utcAgain), 7200e6, 2e6);
}

} // namespace
} // namespace gpslib::os
