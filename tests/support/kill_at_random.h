// Kills at random moments: a writer runs in a child process and is killed (SIGKILL) after a
// random delay, wherever it is; after each kill the test looks at what the files hold. The
// writer reports each write it finished through a pipe, so the test knows what was committed
// before the kill (and that the write in progress may or may not have landed).
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <random>
#include <vector>

namespace gpslib::test {

// Sends one finished write's number to the test. Returns false when the test stopped reading.
inline bool Report(int fd, std::int64_t n) {
    return ::write(fd, &n, sizeof n) == static_cast<ssize_t>(sizeof n);
}

class KillAtRandom {
public:
    // A fixed seed per test keeps the delays' sequence the same from run to run (the moments
    // still vary with the machine's load); the seed is in every failure message.
    explicit KillAtRandom(std::uint32_t seed, int maxDelayMicros = 20000)
        : m_rng(seed), m_delay(0, maxDelayMicros), m_seed(seed) {}

    // Runs `writer(reportFd)` in a child killed after a random delay (the child must not end on
    // its own first: a writer that does fails the test), and returns the numbers it reported.
    std::vector<std::int64_t> Run(const std::function<void(int reportFd)>& writer) {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        const int delay = m_delay(m_rng);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(fds[0]);
            writer(fds[1]);
            ::_exit(99);
        }
        ::close(fds[1]);
        EXPECT_GT(child, 0);
        ::usleep(static_cast<useconds_t>(delay));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status))
            << "the writer ended on its own (" << WEXITSTATUS(status) << "), seed " << m_seed;
        std::vector<std::int64_t> reported;
        std::int64_t n = 0;
        while (::read(fds[0], &n, sizeof n) == static_cast<ssize_t>(sizeof n))
            reported.push_back(n);
        ::close(fds[0]);
        return reported;
    }

    std::uint32_t seed() const { return m_seed; }

private:
    std::mt19937 m_rng;
    std::uniform_int_distribution<int> m_delay;
    std::uint32_t m_seed;
};

} // namespace gpslib::test
