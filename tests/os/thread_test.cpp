// These tests enter the recursive lock again and leave it by hand on purpose, which the lock
// analysis rightly reports everywhere else.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wthread-safety-analysis"
#endif
#include "os/env.h"
#include "os/sync.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/fake_env.h"

namespace gpslib::os {
namespace {

// A file that collects what an Env writes to its debug descriptor.
struct Capture {
    std::FILE* file = std::tmpfile();
    ~Capture() { std::fclose(file); }
    int fd() const { return ::fileno(file); }
    std::string Text() const {
        std::string text(static_cast<std::size_t>(::lseek(fd(), 0, SEEK_END)), '\0');
        EXPECT_EQ(::pread(fd(), text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
        return text;
    }
};

TEST(ThreadTest, StartJoinDestroyAndMisuse) {
    Env* env = Env::Default();
    std::atomic<int> ran{0};
    auto thread = env->StartThread([&] { ++ran; });
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(thread->Joinable());
    ASSERT_TRUE(thread->Join().ok());
    EXPECT_EQ(ran, 1);
    EXPECT_FALSE(thread->Joinable());
    EXPECT_TRUE(thread->Join().IsInvalidArgument()) << "joined twice";
    // Destroying the handle of a thread not joined waits for the thread.
    thread = env->StartThread([&] {
        env->SleepForMicroseconds(20000);
        ++ran;
    });
    thread.reset();
    EXPECT_EQ(ran, 2);

    // A thread asked to join itself gets an error instead of a deadlock or an abort.
    auto go = env->NewEvent(true, false);
    std::unique_ptr<Thread> self;
    Status selfJoin;
    self = env->StartThread([&] {
        (void)go->Wait(Event::kInfinite);
        selfJoin = self->Join();
    });
    go->Set();
    ASSERT_TRUE(self->Join().ok());
    EXPECT_TRUE(selfJoin.IsInvalidArgument()) << selfJoin.ToString();
}

TEST(CriticalSectionTest, ReentryByOwnerExclusionOfOthers) {
    Env* env = Env::Default();
    CriticalSection cs;
    cs.Enter();
    {
        CriticalSectionLock again(cs); // a method calling another method of the same object
        EXPECT_TRUE(cs.TryEnter());
        cs.Leave();
    }
    auto tryFromOther = [&] {
        bool got = false;
        auto t = env->StartThread([&] {
            got = cs.TryEnter();
            if (got) cs.Leave();
        });
        EXPECT_TRUE(t->Join().ok());
        return got;
    };
    EXPECT_FALSE(tryFromOther()) << "held once more by this thread";
    cs.Leave();
    EXPECT_TRUE(tryFromOther()) << "released by every Leave";
}

TEST(CriticalSectionTest, SerialisesTwoThreads) {
    Env* env = Env::Default();
    CriticalSection cs;
    long counter = 0; // deliberately not atomic: the lock alone must protect it
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            CriticalSectionLock outer(cs);
            CriticalSectionLock inner(cs);
            ++counter;
        }
    };
    auto a = env->StartThread(work);
    auto b = env->StartThread(work);
    ASSERT_TRUE(a->Join().ok());
    ASSERT_TRUE(b->Join().ok());
    EXPECT_EQ(counter, 40000);
}

TEST(DebugOutputTest, WrittenOnlyWhenEnabledWithExceptionsThatEndAThread) {
    Capture capture;
    PosixEnvOptions on;
    on.debugFd = capture.fd();
    auto env = NewPosixEnv(on);
    env->DebugOutput("**m_pAutoEvent is NULL no callbacks**\n");
    NewPosixEnv(PosixEnvOptions{})->DebugOutput("dropped\n");
    // An exception escaping a thread ends only that thread and is reported.
    ASSERT_TRUE(env->StartThread([] { throw std::runtime_error("port vanished"); })->Join().ok());
    const std::string text = capture.Text();
    EXPECT_EQ(text.rfind("**m_pAutoEvent is NULL no callbacks**\n", 0), 0u) << text;
    EXPECT_NE(text.find("port vanished"), std::string::npos) << text;
    EXPECT_EQ(text.find("dropped"), std::string::npos) << text;
}

TEST(DebugOutputTest, GpslibDebugVariableDecides) {
    const char* old = std::getenv("GPSLIB_DEBUG");
    const std::string saved = old ? old : "";
    const std::pair<const char*, bool> cases[] = {
        {"", false}, {"0", false}, {"1", true}, {"yes", true}};
    for (const auto& [value, enabled] : cases) {
        ::setenv("GPSLIB_DEBUG", value, 1);
        EXPECT_EQ(PosixEnvOptions::FromEnvironment().debugFd, enabled ? STDERR_FILENO : -1)
            << value;
    }
    ::unsetenv("GPSLIB_DEBUG");
    EXPECT_EQ(PosixEnvOptions::FromEnvironment().debugFd, -1) << "unset";
    if (old) ::setenv("GPSLIB_DEBUG", saved.c_str(), 1);
}

TEST(GetEnvTest, ReadsVariablesAndRefusesBadNames) {
    Env* env = Env::Default();
    ::setenv("GPSLIB_TEST_VALUE", "/tmp/registry.reg", 1);
    EXPECT_EQ(env->GetEnv("GPSLIB_TEST_VALUE"), "/tmp/registry.reg");
    ::unsetenv("GPSLIB_TEST_VALUE");
    EXPECT_EQ(env->GetEnv("GPSLIB_TEST_VALUE"), std::nullopt);
    EXPECT_EQ(env->GetEnv(""), std::nullopt);
    EXPECT_EQ(env->GetEnv("A=B"), std::nullopt);
    EXPECT_EQ(env->GetEnv(std::string_view("PATH\0X", 6)), std::nullopt);
}

using WaitResult = Event::WaitResult;

// The same tests run against the system Env and the fake, so that tests written on the fake's
// clock hold on the real one.
class EventTest : public ::testing::TestWithParam<bool> {
protected:
    test::FakeEnv fake;
    Env* env = GetParam() ? &fake : Env::Default();
};

TEST_P(EventTest, Semantics) {
    const struct {
        const char* name;
        bool manualReset, initiallySignalled;
        // 'S' Set, 'R' Reset, '+' a zero wait that must be signalled, '-' one that must time out.
        const char* steps;
    } scripts[] = {
        {"auto starts clear", false, false, "-"},
        {"auto initially signalled releases one wait", false, true, "+-"},
        {"auto set twice is one release", false, false, "SS+-"},
        {"auto reset clears", false, false, "SR-"},
        {"auto set again after release", false, false, "S+S+-"},
        {"manual stays signalled", true, false, "S+++"},
        {"manual initially signalled", true, true, "++R-"},
        {"manual reset then set", true, false, "SR-S+"},
    };
    for (const auto& script : scripts) {
        auto event = env->NewEvent(script.manualReset, script.initiallySignalled);
        ASSERT_NE(event, nullptr);
        for (const char* p = script.steps; *p != '\0'; ++p) {
            if (*p == 'S') event->Set();
            if (*p == 'R') event->Reset();
            if (*p == '+' || *p == '-') {
                EXPECT_EQ(event->Wait(0),
                          *p == '+' ? WaitResult::kSignalled : WaitResult::kTimedOut)
                    << script.name << ", step " << p - script.steps;
            }
        }
    }
}

TEST_P(EventTest, TimedWaitLastsAtLeastTheTimeout) {
    auto event = env->NewEvent(false, false);
    const std::uint64_t start = env->NowMicros();
    EXPECT_EQ(event->Wait(30), WaitResult::kTimedOut);
    EXPECT_GE(env->NowMicros() - start, 30000u);
}

TEST_P(EventTest, SetFromAnotherThreadEndsAnInfiniteWait) {
    for (bool manual : {false, true}) {
        auto event = env->NewEvent(manual, false);
        auto waiter = env->StartThread(
            [&] { EXPECT_EQ(event->Wait(Event::kInfinite), WaitResult::kSignalled); });
        ASSERT_NE(waiter, nullptr);
        event->Set();
        ASSERT_TRUE(waiter->Join().ok());
        // Auto-reset: the release consumed the signal. Manual: it is still there.
        EXPECT_EQ(event->Wait(0), manual ? WaitResult::kSignalled : WaitResult::kTimedOut);
    }
}

INSTANTIATE_TEST_SUITE_P(Envs, EventTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "fake" : "posix"; });

// One Set of an auto-reset event releases exactly one of two waiters; one Set of a manual-reset
// event releases both. Whichever order the threads run in, the counts are the same.
TEST(SystemEventTest, AutoResetReleasesOneWaiterManualReleasesAll) {
    Env* env = Env::Default();
    for (bool manual : {false, true}) {
        auto event = env->NewEvent(manual, false);
        std::atomic<int> signalled{0};
        std::vector<std::unique_ptr<Thread>> waiters;
        for (int i = 0; i < 2; ++i) {
            waiters.push_back(env->StartThread([&] {
                if (event->Wait(300) == WaitResult::kSignalled) ++signalled;
            }));
        }
        event->Set();
        for (auto& t : waiters)
            ASSERT_TRUE(t->Join().ok());
        EXPECT_EQ(signalled, manual ? 2 : 1) << (manual ? "manual" : "auto");
    }
}

} // namespace
} // namespace gpslib::os
