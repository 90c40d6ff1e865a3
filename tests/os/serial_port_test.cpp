// Serial ports on real pseudo-terminals: bytes arrive as sent, reads never wait, a hung-up line is
// reported, and what is not a terminal is refused.
#include "os/env.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>

#include "tests/support/temp_dir.h"

namespace gpslib::os {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kAtOnce = std::chrono::milliseconds(500);

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        char name[128];
        ASSERT_EQ(::ttyname_r(slave, name, sizeof name), 0);
        path = name;
    }
    void TearDown() override {
        if (master >= 0) ::close(master);
        ::close(slave);
    }

    std::unique_ptr<SerialPort> Open(int baudRate = 4800) {
        std::unique_ptr<SerialPort> port;
        const Status s = env->NewSerialPort(path, baudRate, &port);
        EXPECT_TRUE(s.ok()) << s.ToString();
        return port;
    }
    void Send(std::string_view data) {
        ASSERT_EQ(::write(master, data.data(), data.size()), static_cast<ssize_t>(data.size()));
    }
    // Reads pieces of at most `n` bytes until `want` bytes came or a second passed (the
    // pseudo-terminal hands bytes on asynchronously).
    std::string ReadSome(SerialPort* port, std::size_t want, std::size_t n) {
        std::string all, piece;
        for (const auto end = Clock::now() + std::chrono::seconds(1);
             all.size() < want && Clock::now() < end;) {
            const Status s = port->Read(n, &piece);
            EXPECT_TRUE(s.ok()) << s.ToString();
            EXPECT_LE(piece.size(), n);
            all += piece;
        }
        return all;
    }

    Env* env = Env::Default();
    int master = -1;
    int slave = -1; // kept open to look at the line settings and the waiting input
    std::string path;
};

TEST_F(SerialPortTest, BytesArriveAsSentAndIdleReadsReturnAtOnce) {
    const auto port = Open();
    ASSERT_NE(port, nullptr);
    std::string got = "stale";
    const auto start = Clock::now();
    EXPECT_TRUE(port->Read(64, &got).ok());
    EXPECT_EQ(got, "");
    EXPECT_LT(Clock::now() - start, kAtOnce);

    // Bytes a line in its default mode would translate or swallow: CR and LF, NUL, the
    // interrupt, erase, kill, end-of-file, stop, start and literal-next characters, and the
    // eighth bit.
    constexpr char kBytes[] = "$GPGGA,1*5A\r\n\r\r\n\n\0\x03\x7F\x15\x04\x13\x11\x16\x03\xFF\x80";
    const std::string data(kBytes, sizeof kBytes - 1);
    Send(data);
    EXPECT_EQ(ReadSome(port.get(), data.size(), 5), data);
}

TEST_F(SerialPortTest, SetsKnownRatesAndLeavesTheSpeedForOthers) {
    const struct {
        int rate;
        speed_t speed;
    } kCases[] = {{1200, B1200},     {4800, B4800},   {9600, B9600}, {115200, B115200},
                  {230400, B230400}, {12345, B38400}, {0, B38400},   {-4800, B38400}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.rate);
        struct termios tio {};
        ASSERT_EQ(::tcgetattr(slave, &tio), 0);
        ::cfsetspeed(&tio, B38400); // what a rate the port does not know must leave
        ASSERT_EQ(::tcsetattr(slave, TCSANOW, &tio), 0);
        const auto port = Open(c.rate);
        ASSERT_EQ(::tcgetattr(slave, &tio), 0);
        EXPECT_EQ(::cfgetispeed(&tio), c.speed);
        EXPECT_EQ(::cfgetospeed(&tio), c.speed);
    }
}

int OpenErrno(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
}

// OpenErrno for an unprivileged process: one with CAP_SYS_ADMIN (root here) passes exclusive
// use, so as root the open runs in a child as "nobody". 100 when the child cannot drop to it.
int UnprivilegedOpenErrno(const std::string& path) {
    if (::geteuid() != 0) return OpenErrno(path);
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 ? OpenErrno(path) : 100);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(SerialPortTest, ExclusiveWhileOpenAndFreeAfterClose) {
    ASSERT_EQ(::fchmod(slave, 0666), 0);
    auto port = Open();
    const int whileOpen = UnprivilegedOpenErrno(path);
    if (whileOpen == 100) GTEST_SKIP() << "cannot run as an unprivileged user";
    EXPECT_EQ(whileOpen, EBUSY);
    port.reset();
    EXPECT_EQ(UnprivilegedOpenErrno(path), 0) << "a closed port must not stay exclusive";
}

TEST_F(SerialPortTest, PurgeDropsWaitingInput) {
    const auto port = Open();
    Send("$GPRMC,old");
    int waiting = 0;
    for (const auto end = Clock::now() + std::chrono::seconds(1);
         waiting < 10 && Clock::now() < end;) {
        ASSERT_EQ(::ioctl(slave, FIONREAD, &waiting), 0);
    }
    ASSERT_EQ(waiting, 10);
    ASSERT_TRUE(port->Purge().ok());
    std::string got;
    EXPECT_TRUE(port->Read(64, &got).ok());
    EXPECT_EQ(got, "");
    Send("new");
    EXPECT_EQ(ReadSome(port.get(), 3, 64), "new");
}

TEST_F(SerialPortTest, HungUpLineFailsWithoutWaiting) {
    const auto port = Open();
    Send("$GP");
    ::close(master);
    master = -1;
    Status s;
    for (const auto end = Clock::now() + std::chrono::seconds(1); s.ok() && Clock::now() < end;) {
        std::string got;
        const auto start = Clock::now();
        s = port->Read(64, &got);
        EXPECT_LT(Clock::now() - start, kAtOnce);
        if (!s.ok()) {
            EXPECT_EQ(got, "");
        }
    }
    EXPECT_TRUE(s.IsIOError()) << s.ToString();
    EXPECT_NE(s.message().find(path), std::string::npos) << s.message();
    EXPECT_FALSE(port->Purge().ok());
}

TEST(SerialPortOpen, RefusesWhatIsNotATerminal) {
    Env* env = Env::Default();
    test::TempDir dir;
    ASSERT_TRUE(env->WriteFileAtomic(dir.File("capture.nmea"), "$GPGGA\r\n").ok());
    const struct {
        std::string path;
        Status::Code code;
    } kCases[] = {{dir.File("capture.nmea"), Status::Code::kInvalidArgument},
                  {dir.path(), Status::Code::kInvalidArgument},
                  {"/dev/null", Status::Code::kInvalidArgument},
                  {dir.File("ttyUSB0"), Status::Code::kNotFound}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.path);
        std::unique_ptr<SerialPort> port;
        const Status s = env->NewSerialPort(c.path, 4800, &port);
        EXPECT_EQ(s.code(), c.code) << s.ToString();
        EXPECT_NE(s.message().find(c.path), std::string::npos) << s.message();
        EXPECT_EQ(port, nullptr);
    }
}

} // namespace
} // namespace gpslib::os
