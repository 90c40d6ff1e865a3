#include "os/env.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/fake_env.h"

namespace gpslib::os {
namespace {

using WaitResult = Event::WaitResult;

// The same semantics table runs against the system Env and the fake, so that tests written on
// the fake's clock hold on the real one.
class EventTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        if (std::string(GetParam()) == "fake") {
            m_fake = std::make_unique<test::FakeEnv>();
            env = m_fake.get();
        } else {
            env = Env::Default();
        }
    }

    Env* env = nullptr;

private:
    std::unique_ptr<test::FakeEnv> m_fake;
};

struct EventScript {
    const char* name;
    bool manualReset;
    bool initiallySignalled;
    // 'S' Set, 'R' Reset, '+' a zero wait that must be signalled, '-' one that must time out.
    const char* steps;
};

TEST_P(EventTest, Semantics) {
    const EventScript scripts[] = {
        {"auto starts clear", false, false, "-"},
        {"auto initially signalled releases one wait", false, true, "+-"},
        {"auto set before wait", false, false, "S+-"},
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
        int step = 0;
        for (const char* p = script.steps; *p != '\0'; ++p, ++step) {
            switch (*p) {
            case 'S':
                event->Set();
                break;
            case 'R':
                event->Reset();
                break;
            default:
                const WaitResult expected =
                    *p == '+' ? WaitResult::kSignalled : WaitResult::kTimedOut;
                EXPECT_EQ(event->Wait(0), expected) << script.name << ", step " << step;
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
        std::atomic<bool> released{false};
        auto waiter = env->StartThread([&] {
            EXPECT_EQ(event->Wait(Event::kInfinite), WaitResult::kSignalled);
            released = true;
        });
        ASSERT_NE(waiter, nullptr);
        event->Set();
        ASSERT_TRUE(waiter->Join().ok());
        EXPECT_TRUE(released);
        // Auto-reset: the release consumed the signal. Manual: it is still there.
        EXPECT_EQ(event->Wait(0), manual ? WaitResult::kSignalled : WaitResult::kTimedOut);
    }
}

INSTANTIATE_TEST_SUITE_P(Envs, EventTest, ::testing::Values("posix", "fake"),
                         [](const auto& info) { return std::string(info.param); });

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
        for (auto& t : waiters) {
            ASSERT_TRUE(t->Join().ok());
        }
        EXPECT_EQ(signalled, manual ? 2 : 1) << (manual ? "manual" : "auto");
    }
}

} // namespace
} // namespace gpslib::os
