#include "tests/support/fake_env.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace gpslib::test {
namespace {

using os::Event;
using os::Status;

TEST(FakeEnvTest, ClockMovesOnlyWhenTold) {
    FakeEnv env;
    EXPECT_EQ(env.NowMicros(), FakeEnv::kStartMicros);
    env.SleepForMicroseconds(2000000);
    env.SleepForMicroseconds(-5);
    env.AdvanceMicros(1500);
    EXPECT_EQ(env.NowMicros(), FakeEnv::kStartMicros + 2001500);

    const os::SystemTime utc = env.UtcTime();
    EXPECT_EQ(utc, (os::SystemTime{2024, 1, 1, 1, 0, 0, 2, 1}));
    env.SetUtcOffsetMinutes(-90);
    EXPECT_EQ(env.LocalTime(), (os::SystemTime{2023, 12, 0, 31, 22, 30, 2, 1}));
}

TEST(FakeEnvTest, TimedWaitAdvancesTheClockUnlessSignalled) {
    FakeEnv env;
    auto event = env.NewEvent(false, false);
    EXPECT_EQ(event->Wait(1000), Event::WaitResult::kTimedOut);
    EXPECT_EQ(env.NowMicros(), FakeEnv::kStartMicros + 1000000);
    event->Set();
    EXPECT_EQ(event->Wait(1000), Event::WaitResult::kSignalled);
    EXPECT_EQ(env.NowMicros(), FakeEnv::kStartMicros + 1000000) << "a signalled wait takes no time";
}

// The shape of the service's polling thread: wait on the stop event with a 1000 ms time-out,
// poll on each time-out. On the fake clock an hour of polling takes no real time.
TEST(FakeEnvTest, PollingLoopRunsOnTheFakeClock) {
    FakeEnv env;
    auto stop = env.NewEvent(true, false);
    std::atomic<int> polls{0};
    auto poller = env.StartThread([&] {
        while (stop->Wait(1000) == Event::WaitResult::kTimedOut) {
            if (++polls == 3600) stop->Set();
        }
    });
    ASSERT_TRUE(poller->Join().ok());
    EXPECT_EQ(polls, 3600);
    EXPECT_EQ(env.NowMicros(), FakeEnv::kStartMicros + 3600ull * 1000000);
}

struct FaultCase {
    const char* name;
    FakeEnv::Op op;
    int nth;
};

// An atomic write that fails at any step leaves the old content and no temporary file.
TEST(FakeEnvTest, InjectedFaultsInAtomicWrite) {
    const FaultCase cases[] = {
        {"first write", FakeEnv::Op::kWrite, 1},
        {"second write", FakeEnv::Op::kWrite, 2},
        {"sync", FakeEnv::Op::kSync, 1},
        {"rename", FakeEnv::Op::kRename, 1},
    };
    for (const auto& c : cases) {
        TempDir dir;
        FakeEnv env;
        const std::string path = dir.File("Favorites.fdb");
        ASSERT_TRUE(env.WriteFileAtomic(path, "old").ok());
        env.FailNth(c.op, c.nth, Status::IOError("disk full", 28));
        Status s = Status::OK();
        for (int i = 0; i < 2 && s.ok(); ++i) {
            s = env.WriteFileAtomic(path, "new");
        }
        EXPECT_TRUE(s.IsIOError()) << c.name;
        EXPECT_EQ(s.errnum(), 28) << c.name;

        std::string data;
        ASSERT_TRUE(env.ReadFile(path, &data).ok());
        EXPECT_EQ(data, c.nth == 1 ? "old" : "new") << c.name;
        std::vector<std::string> names;
        ASSERT_TRUE(env.GetChildren(dir.path(), &names).ok());
        EXPECT_EQ(names, std::vector<std::string>{"Favorites.fdb"}) << c.name;
    }
}

TEST(FakeEnvTest, ReadFaultsOnceOrForEver) {
    TempDir dir;
    FakeEnv env;
    const std::string path = dir.File("registry.reg");
    ASSERT_TRUE(env.WriteFileAtomic(path, "[HKEY_LOCAL_MACHINE]").ok());
    std::string data;

    env.FailNth(FakeEnv::Op::kRead, 1, Status::IOError("EIO", 5));
    EXPECT_TRUE(env.ReadFile(path, &data).IsIOError());
    EXPECT_TRUE(data.empty());
    EXPECT_TRUE(env.ReadFile(path, &data).ok()) << "one-shot fault is spent";
    EXPECT_EQ(data, "[HKEY_LOCAL_MACHINE]");

    env.FailNth(FakeEnv::Op::kRead, 2, Status::IOError("EIO", 5), /*repeat=*/true);
    EXPECT_TRUE(env.ReadFile(path, &data).ok());
    EXPECT_FALSE(env.ReadFile(path, &data).ok());
    EXPECT_FALSE(env.ReadFile(path, &data).ok());
    env.ClearFaults();
    EXPECT_TRUE(env.ReadFile(path, &data).ok());
    EXPECT_EQ(env.Count(FakeEnv::Op::kRead), 6);
}

TEST(FakeEnvTest, CapturesDebugOutputAndOverridesVariables) {
    FakeEnv env;
    env.DebugOutput("Calling SetSystemSettings");
    env.DebugOutput("\n");
    EXPECT_EQ(env.DebugText(), "Calling SetSystemSettings\n");

    env.SetEnvVar("GPSLIB_REGISTRY", "/tmp/test.reg");
    env.SetEnvVar("HOME", std::nullopt);
    EXPECT_EQ(env.GetEnv("GPSLIB_REGISTRY"), "/tmp/test.reg");
    EXPECT_EQ(env.GetEnv("HOME"), std::nullopt);
}

} // namespace
} // namespace gpslib::test
