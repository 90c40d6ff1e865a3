#include "os/env.h"
#include "os/sync.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

namespace gpslib::os {
namespace {

// A pipe whose read end collects what an Env writes to its debug descriptor.
class Pipe {
public:
    Pipe() {
        EXPECT_EQ(::pipe2(m_fds, O_CLOEXEC), 0);
        ::fcntl(m_fds[0], F_SETFL, O_NONBLOCK);
    }
    ~Pipe() {
        ::close(m_fds[0]);
        ::close(m_fds[1]);
    }
    int writeFd() const { return m_fds[1]; }
    std::string Drain() {
        std::string text;
        char buf[256];
        ssize_t n;
        while ((n = ::read(m_fds[0], buf, sizeof buf)) > 0) {
            text.append(buf, n);
        }
        return text;
    }

private:
    int m_fds[2] = {-1, -1};
};

TEST(ThreadTest, StartJoinAndMisuse) {
    Env* env = Env::Default();
    std::atomic<int> ran{0};
    auto thread = env->StartThread([&] { ++ran; });
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(thread->Joinable());
    ASSERT_TRUE(thread->Join().ok());
    EXPECT_EQ(ran, 1);
    EXPECT_FALSE(thread->Joinable());
    EXPECT_TRUE(thread->Join().IsInvalidArgument()) << "joined twice";

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

TEST(ThreadTest, DestroyingTheHandleWaitsForTheThread) {
    Env* env = Env::Default();
    std::atomic<bool> finished{false};
    auto thread = env->StartThread([&] {
        env->SleepForMicroseconds(20000);
        finished = true;
    });
    thread.reset();
    EXPECT_TRUE(finished);
}

TEST(ThreadTest, ExceptionEndsOnlyTheThreadAndIsReported) {
    Pipe pipe;
    PosixEnvOptions options;
    options.debugFd = pipe.writeFd();
    auto env = NewPosixEnv(options);
    auto thread = env->StartThread([] { throw std::runtime_error("port vanished"); });
    ASSERT_TRUE(thread->Join().ok());
    EXPECT_NE(pipe.Drain().find("port vanished"), std::string::npos);
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

TEST(DebugOutputTest, WrittenOnlyWhenEnabled) {
    Pipe pipe;
    PosixEnvOptions on;
    on.debugFd = pipe.writeFd();
    NewPosixEnv(on)->DebugOutput("**m_pAutoEvent is NULL no callbacks**\n");
    NewPosixEnv(PosixEnvOptions{})->DebugOutput("dropped\n");
    EXPECT_EQ(pipe.Drain(), "**m_pAutoEvent is NULL no callbacks**\n");
}

TEST(DebugOutputTest, GpslibDebugVariableDecides) {
    struct Case {
        const char* value; // nullptr: not set
        bool enabled;
    };
    const Case cases[] = {{nullptr, false}, {"", false}, {"0", false}, {"1", true}, {"yes", true}};
    const char* old = std::getenv("GPSLIB_DEBUG");
    const std::string saved = old ? old : "";
    for (const auto& c : cases) {
        if (c.value) {
            ::setenv("GPSLIB_DEBUG", c.value, 1);
        } else {
            ::unsetenv("GPSLIB_DEBUG");
        }
        const PosixEnvOptions options = PosixEnvOptions::FromEnvironment();
        EXPECT_EQ(options.debugFd, c.enabled ? STDERR_FILENO : -1)
            << (c.value ? c.value : "(unset)");
    }
    if (old) {
        ::setenv("GPSLIB_DEBUG", saved.c_str(), 1);
    } else {
        ::unsetenv("GPSLIB_DEBUG");
    }
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

} // namespace
} // namespace gpslib::os
