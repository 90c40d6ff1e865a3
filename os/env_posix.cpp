// The system Env: the one place in gpslib that calls POSIX.

#include <dirent.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>

#include "os/env.h"
#include "os/path.h"

namespace gpslib::os {

namespace {

// Appends are collected up to this size before they cost a system call.
constexpr std::size_t kWriteBufferSize = std::size_t{64} * 1024;

// The path as the system should see it, or InvalidArgument for one it must never see.
Status ToNative(std::string_view path, std::string* native) {
    if (path.empty()) return Status::InvalidArgument("empty path");
    if (path.find('\0') != std::string_view::npos) {
        return Status::InvalidArgument("path contains a NUL character");
    }
    *native = NativePath(path);
    return Status::OK();
}

// Both paths of a call that takes two, as the system should see them.
Status ToNative(std::string_view from, std::string_view to, std::string* nativeFrom,
                std::string* nativeTo) {
    Status s = ToNative(from, nativeFrom);
    return s.ok() ? ToNative(to, nativeTo) : s;
}

// Writes all of `data`, resuming after signals and short writes.
Status WriteAll(int fd, std::string_view data, const std::string& name) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return StatusFromErrno(name, errno);
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return Status::OK();
}

class PosixSequentialFile final : public SequentialFile {
public:
    PosixSequentialFile(int fd, std::string name) : m_fd(fd), m_name(std::move(name)) {}
    ~PosixSequentialFile() override { ::close(m_fd); }

    Status Read(std::size_t n, std::string* result) override {
        result->resize(n);
        std::size_t got = 0;
        while (got < n) {
            const ssize_t r = ::read(m_fd, result->data() + got, n - got);
            if (r < 0) {
                if (errno == EINTR) continue;
                const int err = errno;
                result->clear();
                return StatusFromErrno(m_name, err);
            }
            if (r == 0) break;
            got += static_cast<std::size_t>(r);
        }
        result->resize(got);
        return Status::OK();
    }

    Status Skip(std::uint64_t n) override {
        if (n > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
            return Status::InvalidArgument(m_name + ": skip too large");
        }
        // lseek may go past the end; pull back so that the next Read reports the end.
        const off_t here = ::lseek(m_fd, 0, SEEK_CUR);
        if (here < 0) return StatusFromErrno(m_name, errno);
        struct stat st {};
        if (::fstat(m_fd, &st) != 0) return StatusFromErrno(m_name, errno);
        const off_t remaining = std::max<off_t>(st.st_size - here, 0);
        const off_t step = std::min<off_t>(static_cast<off_t>(n), remaining);
        if (::lseek(m_fd, step, SEEK_CUR) < 0) return StatusFromErrno(m_name, errno);
        return Status::OK();
    }

private:
    int m_fd;
    std::string m_name;
};

class PosixWritableFile final : public WritableFile {
public:
    PosixWritableFile(int fd, std::string name) : m_fd(fd), m_name(std::move(name)) {}
    ~PosixWritableFile() override {
        if (m_fd >= 0) (void)Close();
    }

    Status Append(std::string_view data) override {
        if (m_fd < 0) return Closed();
        if (m_buffer.size() + data.size() <= kWriteBufferSize) {
            m_buffer.append(data);
            return Status::OK();
        }
        Status s = FlushBuffer();
        if (!s.ok()) return s;
        if (data.size() <= kWriteBufferSize) {
            m_buffer.append(data);
            return Status::OK();
        }
        return WriteAll(m_fd, data, m_name);
    }

    Status Flush() override {
        if (m_fd < 0) return Closed();
        return FlushBuffer();
    }

    Status Sync() override {
        if (m_fd < 0) return Closed();
        Status s = FlushBuffer();
        if (!s.ok()) return s;
        if (::fdatasync(m_fd) != 0) return StatusFromErrno(m_name, errno);
        return Status::OK();
    }

    Status Close() override {
        if (m_fd < 0) return Closed();
        Status s = FlushBuffer();
        // close() may report a deferred write error (NFS, quota); its EINTR must not be
        // retried on Linux, where the descriptor is already gone.
        if (::close(m_fd) != 0 && s.ok() && errno != EINTR) s = StatusFromErrno(m_name, errno);
        m_fd = -1;
        return s;
    }

private:
    Status Closed() const { return Status::IOError(m_name + ": file is closed"); }

    Status FlushBuffer() {
        Status s = WriteAll(m_fd, m_buffer, m_name);
        // Dropped even on failure, so a later Append does not repeat bytes that partly went out.
        m_buffer.clear();
        return s;
    }

    int m_fd;
    std::string m_name;
    std::string m_buffer;
};

// A read from a serial device is cut to this size, so that a large `n` costs no large buffer.
constexpr std::size_t kSerialReadChunk = std::size_t{64} * 1024;

// A device that failed is an I/O error whatever errno names (EIO, ENXIO, ENODEV, or EINVAL from
// a driver that has gone away).
Status DeviceError(const std::string& name, int err) {
    return Status::IOError(StatusFromErrno(name, err).message(), err);
}

Status NotATerminal(const std::string& name, int err) {
    return Status::InvalidArgument(name + ": not a serial device (not a terminal)", err);
}

// The termios speed of a rate receivers use; false for any other rate.
bool SpeedOf(int baudRate, speed_t* speed) {
    static constexpr struct {
        int rate;
        speed_t speed;
    } kSpeeds[] = {{1200, B1200},   {2400, B2400},     {4800, B4800},
                   {9600, B9600},   {19200, B19200},   {38400, B38400},
                   {57600, B57600}, {115200, B115200}, {230400, B230400}};
    for (const auto& entry : kSpeeds) {
        if (entry.rate == baudRate) {
            *speed = entry.speed;
            return true;
        }
    }
    return false;
}

// Puts the line's input in raw mode: every byte arrives as sent (no CR/LF translation, no case
// folding or stripping of the eighth bit, no flow-control, signal or editing characters), nothing
// is echoed, and a read returns what is waiting at once (VMIN 0, VTIME 0). The receiver is
// enabled and the modem lines are ignored, so a device without carrier detect still delivers.
// Character size, parity and output processing stay as the device has them. Best effort: a
// pseudo-terminal refuses some settings, and a line that keeps a setting still delivers bytes.
void SetRawInput(int fd, int baudRate) {
    struct termios tio {};
    if (::tcgetattr(fd, &tio) != 0) return;
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF | IXANY);
#ifdef IUCLC
    tio.c_iflag &= ~static_cast<tcflag_t>(IUCLC);
#endif
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag |= CREAD | CLOCAL;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    speed_t speed;
    if (SpeedOf(baudRate, &speed)) {
        (void)::cfsetispeed(&tio, speed);
        (void)::cfsetospeed(&tio, speed);
    }
    (void)::tcsetattr(fd, TCSANOW, &tio);
}

class PosixSerialPort final : public SerialPort {
public:
    PosixSerialPort(int fd, std::string name) : m_fd(fd), m_name(std::move(name)) {}
    ~PosixSerialPort() override {
        // A pseudo-terminal keeps its exclusive flag after this close while its other side
        // stays open; without this, reopening the same device would fail.
        (void)::ioctl(m_fd, TIOCNXCL);
        ::close(m_fd);
    }

    Status Read(std::size_t n, std::string* result) override {
        result->resize(std::min(n, kSerialReadChunk));
        if (result->empty()) return Status::OK();
        const ssize_t r = ::read(m_fd, result->data(), result->size());
        if (r > 0) {
            result->resize(static_cast<std::size_t>(r));
            return Status::OK();
        }
        const int err = errno;
        result->clear();
        if (r < 0 && err != EAGAIN && err != EWOULDBLOCK && err != EINTR) {
            return DeviceError(m_name, err);
        }
        // With VMIN 0 an idle line and a hung-up one (a USB receiver unplugged) both read 0
        // bytes; only poll tells them apart.
        struct pollfd p {};
        p.fd = m_fd;
        p.events = POLLIN;
        if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            return Status::IOError(m_name + ": device hung up", EIO);
        }
        return Status::OK();
    }

    Status Purge() override {
        if (::tcflush(m_fd, TCIOFLUSH) != 0) return DeviceError(m_name, errno);
        return Status::OK();
    }

private:
    int m_fd;
    std::string m_name;
};

class PosixConnection final : public Connection {
public:
    PosixConnection(int fd, std::string name) : m_fd(fd), m_name(std::move(name)) {}
    ~PosixConnection() override { ::close(m_fd); }

    Status Read(std::size_t n, std::string* result) override {
        result->resize(std::min(n, kSerialReadChunk));
        if (result->empty()) return Status::OK();
        const ssize_t r = ::recv(m_fd, result->data(), result->size(), MSG_DONTWAIT);
        const int err = errno;
        if (r > 0) {
            result->resize(static_cast<std::size_t>(r));
            return Status::OK();
        }
        result->clear();
        if (r == 0) return Status::IOError(m_name + ": the server closed the connection", EPIPE);
        if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR) return Status::OK();
        return Status::IOError(m_name + ": " + std::generic_category().message(err), err);
    }

    Status Write(std::string_view data) override {
        while (!data.empty()) {
            const ssize_t w = ::send(m_fd, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (w > 0) {
                data.remove_prefix(static_cast<std::size_t>(w));
                continue;
            }
            const int err = errno;
            if (w < 0 && err == EINTR) continue;
            if (w < 0 && (err == EAGAIN || err == EWOULDBLOCK)) {
                struct pollfd p {};
                p.fd = m_fd;
                p.events = POLLOUT;
                if (::poll(&p, 1, 1000) > 0) continue;
                return Status::IOError(m_name + ": the server takes nothing", EAGAIN);
            }
            return Status::IOError(m_name + ": " + std::generic_category().message(err), err);
        }
        return Status::OK();
    }

private:
    int m_fd;
    std::string m_name;
};

// Connects one socket to `address` without waiting longer than `timeoutMs`; -1 and errno set on
// failure.
int ConnectWithin(const addrinfo& address, int timeoutMs) {
    const int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                            address.ai_protocol);
    if (fd < 0) return -1;
    if (::connect(fd, address.ai_addr, address.ai_addrlen) == 0) return fd;
    if (errno == EINPROGRESS) {
        struct pollfd p {};
        p.fd = fd;
        p.events = POLLOUT;
        int ready;
        do {
            ready = ::poll(&p, 1, timeoutMs);
        } while (ready < 0 && errno == EINTR);
        int err = ETIMEDOUT;
        socklen_t length = sizeof err;
        if (ready > 0 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &length) == 0 && err == 0)
            return fd;
        ::close(fd);
        errno = err;
        return -1;
    }
    const int err = errno;
    ::close(fd);
    errno = err;
    return -1;
}

class PosixEvent final : public Event {
public:
    PosixEvent(bool manualReset, bool initiallySignalled)
        : m_manualReset(manualReset), m_signalled(initiallySignalled) {}

    void Set() override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_signalled) return;
            m_signalled = true;
        }
        if (m_manualReset) {
            m_cv.notify_all();
        } else {
            m_cv.notify_one();
        }
    }

    void Reset() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_signalled = false;
    }

    WaitResult Wait(int timeoutMs) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        const auto signalled = [this] { return m_signalled; };
        if (timeoutMs < 0) {
            m_cv.wait(lock, signalled);
        } else if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), signalled)) {
            return WaitResult::kTimedOut;
        }
        if (!m_manualReset) m_signalled = false;
        return WaitResult::kSignalled;
    }

private:
    const bool m_manualReset;
    std::mutex m_mutex;
    std::condition_variable m_cv; // waits on the steady clock in libstdc++
    bool m_signalled;
};

class PosixThread final : public Thread {
public:
    explicit PosixThread(std::thread thread) : m_thread(std::move(thread)) {}
    ~PosixThread() override {
        if (!m_thread.joinable()) return;
        // A thread that drops its own handle cannot join itself; let it finish on its own.
        if (m_thread.get_id() == std::this_thread::get_id()) {
            m_thread.detach();
        } else {
            m_thread.join();
        }
    }

    Status Join() override {
        if (!m_thread.joinable()) return Status::InvalidArgument("thread is not joinable");
        if (m_thread.get_id() == std::this_thread::get_id()) {
            return Status::InvalidArgument("a thread cannot join itself");
        }
        m_thread.join();
        return Status::OK();
    }

    bool Joinable() const override { return m_thread.joinable(); }

private:
    std::thread m_thread;
};

class PosixEnv final : public Env {
public:
    explicit PosixEnv(const PosixEnvOptions& options) : m_debugFd(options.debugFd) {
        // localtime_r reads the time zone only once tzset has run.
        ::tzset();
    }

    std::uint64_t NowMicros() override {
        struct timespec ts;
        ::clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<std::uint64_t>(ts.tv_sec) * 1000000u +
               static_cast<std::uint64_t>(ts.tv_nsec) / 1000u;
    }

    void SleepForMicroseconds(std::int64_t micros) override {
        if (micros <= 0) return;
        struct timespec request;
        request.tv_sec = static_cast<time_t>(micros / 1000000);
        request.tv_nsec = static_cast<long>(micros % 1000000 * 1000);
        struct timespec remaining;
        while (::nanosleep(&request, &remaining) != 0 && errno == EINTR) {
            request = remaining;
        }
    }

    SystemTime LocalTime() override {
        std::int64_t micros = WallMicros();
        const time_t seconds = static_cast<time_t>(micros / 1000000);
        struct tm local;
        if (::localtime_r(&seconds, &local) != nullptr) micros += local.tm_gmtoff * 1000000LL;
        return SystemTimeFromUnixMicros(micros);
    }

    SystemTime UtcTime() override { return SystemTimeFromUnixMicros(WallMicros()); }

    Status NewSequentialFile(std::string_view path,
                             std::unique_ptr<SequentialFile>* result) override {
        result->reset();
        std::string native;
        Status s = ToNative(path, &native);
        if (!s.ok()) return s;
        const int fd = OpenRetrying(native, O_RDONLY);
        if (fd < 0) return StatusFromErrno(native, errno);
        *result = std::make_unique<PosixSequentialFile>(fd, std::move(native));
        return Status::OK();
    }

    Status NewWritableFile(std::string_view path, std::unique_ptr<WritableFile>* result) override {
        return OpenForWriting(path, O_TRUNC, result);
    }

    Status NewAppendableFile(std::string_view path,
                             std::unique_ptr<WritableFile>* result) override {
        return OpenForWriting(path, O_APPEND, result);
    }

    bool FileExists(std::string_view path) override {
        struct stat st {};
        return Stat(path, &st).ok();
    }

    bool IsDirectory(std::string_view path) override {
        struct stat st {};
        return Stat(path, &st).ok() && S_ISDIR(st.st_mode);
    }

    Status GetFileSize(std::string_view path, std::uint64_t* size) override {
        *size = 0;
        struct stat st {};
        Status s = Stat(path, &st);
        if (s.ok()) *size = static_cast<std::uint64_t>(st.st_size);
        return s;
    }

    Status GetFileIdentity(std::string_view path, FileIdentity* identity) override {
        *identity = FileIdentity();
        struct stat st {};
        Status s = Stat(path, &st);
        if (!s.ok()) return s;
        identity->device = static_cast<std::uint64_t>(st.st_dev);
        identity->inode = static_cast<std::uint64_t>(st.st_ino);
        identity->size = static_cast<std::uint64_t>(st.st_size);
        identity->modifiedNanos =
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
        return s;
    }

    Status CreateDir(std::string_view path) override {
        std::string native;
        Status s = ToNative(path, &native);
        if (!s.ok()) return s;
        if (::mkdir(native.c_str(), 0777) == 0) return Status::OK();
        const int err = errno;
        if (err == EEXIST) {
            struct stat st {};
            if (::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return Status::OK();
        }
        return StatusFromErrno(native, err);
    }

    Status RemoveDir(std::string_view path) override {
        std::string native;
        Status s = ToNative(path, &native);
        if (!s.ok()) return s;
        if (::rmdir(native.c_str()) != 0) return StatusFromErrno(native, errno);
        return Status::OK();
    }

    Status GetChildren(std::string_view dir, std::vector<std::string>* names) override {
        names->clear();
        std::string native;
        Status s = ToNative(dir, &native);
        if (!s.ok()) return s;
        DIR* d = ::opendir(native.c_str());
        if (d == nullptr) return StatusFromErrno(native, errno);
        for (;;) {
            errno = 0;
            const struct dirent* entry = ::readdir(d);
            if (entry == nullptr) {
                if (errno != 0) s = StatusFromErrno(native, errno);
                break;
            }
            const std::string_view name(entry->d_name);
            if (name != "." && name != "..") names->emplace_back(name);
        }
        ::closedir(d);
        if (!s.ok()) {
            names->clear();
            return s;
        }
        std::sort(names->begin(), names->end());
        return Status::OK();
    }

    Status RemoveFile(std::string_view path) override {
        std::string native;
        Status s = ToNative(path, &native);
        if (!s.ok()) return s;
        if (::unlink(native.c_str()) != 0) return StatusFromErrno(native, errno);
        return Status::OK();
    }

    Status RenameFile(std::string_view from, std::string_view to) override {
        std::string nativeFrom;
        std::string nativeTo;
        Status s = ToNative(from, to, &nativeFrom, &nativeTo);
        if (!s.ok()) return s;
        if (::rename(nativeFrom.c_str(), nativeTo.c_str()) != 0) {
            return StatusFromErrno(nativeFrom, errno);
        }
        SyncDirectoryOf(nativeTo);
        return Status::OK();
    }

    Status LinkFile(std::string_view from, std::string_view to) override {
        std::string nativeFrom;
        std::string nativeTo;
        Status s = ToNative(from, to, &nativeFrom, &nativeTo);
        if (!s.ok()) return s;
        if (::link(nativeFrom.c_str(), nativeTo.c_str()) != 0)
            return StatusFromErrno(nativeTo, errno);
        return Status::OK();
    }

    Status NewConnection(std::string_view host, int port, int timeoutMs,
                         std::unique_ptr<Connection>* result) override {
        result->reset();
        const std::string name = std::string(host) + ":" + std::to_string(port);
        if (port < 1 || port > 65535 || host.empty() || host.find('\0') != std::string_view::npos)
            return Status::InvalidArgument(name + ": not a host and port");
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const std::string node(host);
        const int lookup =
            ::getaddrinfo(node.c_str(), std::to_string(port).c_str(), &hints, &found);
        if (lookup != 0 || found == nullptr)
            return Status::NotFound(name + ": " + ::gai_strerror(lookup));
        int fd = -1;
        int err = ECONNREFUSED;
        for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
            fd = ConnectWithin(*a, timeoutMs);
            if (fd < 0) err = errno;
        }
        ::freeaddrinfo(found);
        if (fd < 0) return Status::IOError(name + ": " + std::generic_category().message(err), err);
        *result = std::make_unique<PosixConnection>(fd, name);
        return Status::OK();
    }

    Status NewSerialPort(std::string_view path, int baudRate,
                         std::unique_ptr<SerialPort>* result) override {
        result->reset();
        std::string native;
        Status s = ToNative(path, &native);
        if (!s.ok()) return s;
        // Non-blocking, so that neither the open (waiting for carrier) nor a read ever waits; no
        // controlling terminal, so that the device cannot send signals to the client's process.
        const int fd = OpenRetrying(native, O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) {
            const int err = errno;
            return err == EISDIR ? NotATerminal(native, err) : StatusFromErrno(native, err);
        }
        if (::isatty(fd) == 0) {
            ::close(fd);
            return NotATerminal(native, ENOTTY);
        }
        // The receiver's byte stream is not shared: a second open fails with EBUSY (except for
        // a process with CAP_SYS_ADMIN, which the system always lets through).
        (void)::ioctl(fd, TIOCEXCL);
        SetRawInput(fd, baudRate);
        *result = std::make_unique<PosixSerialPort>(fd, std::move(native));
        return Status::OK();
    }

    std::unique_ptr<Event> NewEvent(bool manualReset, bool initiallySignalled) override {
        return std::make_unique<PosixEvent>(manualReset, initiallySignalled);
    }

    std::unique_ptr<Thread> StartThread(std::function<void()> fn) override {
        // The thread reports through the descriptor, not through this Env, so it does not
        // depend on the Env's lifetime.
        const int debugFd = m_debugFd;
        auto body = [fn = std::move(fn), debugFd] {
            try {
                fn();
            } catch (const std::exception& e) {
                if (debugFd >= 0) {
                    const std::string text =
                        std::string("gpslib: thread ended by exception: ") + e.what() + "\n";
                    (void)WriteAll(debugFd, text, "debug output");
                }
            } catch (...) {
                if (debugFd >= 0) {
                    (void)WriteAll(debugFd, "gpslib: thread ended by exception\n", "debug output");
                }
            }
        };
        try {
            return std::make_unique<PosixThread>(std::thread(std::move(body)));
        } catch (const std::system_error&) {
            return nullptr;
        }
    }

    void DebugOutput(std::string_view text) override {
        if (m_debugFd < 0 || text.empty()) return;
        // One writer at a time, so lines from different threads do not interleave.
        std::lock_guard<std::mutex> lock(m_debugMutex);
        (void)WriteAll(m_debugFd, text, "debug output");
    }

    std::optional<std::string> GetEnv(std::string_view name) override {
        if (name.empty() || name.find_first_of(std::string_view("=\0", 2)) != name.npos) {
            return std::nullopt;
        }
        const char* value = std::getenv(std::string(name).c_str());
        if (value == nullptr) return std::nullopt;
        return std::string(value);
    }

private:
    static std::int64_t WallMicros() {
        struct timespec ts;
        ::clock_gettime(CLOCK_REALTIME, &ts);
        return static_cast<std::int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
    }

    static int OpenRetrying(const std::string& native, int flags, mode_t mode = 0) {
        int fd;
        do {
            fd = ::open(native.c_str(), flags | O_CLOEXEC, mode);
        } while (fd < 0 && errno == EINTR);
        return fd;
    }

    static Status OpenForWriting(std::string_view path, int mode,
                                 std::unique_ptr<WritableFile>* result) {
        result->reset();
        std::string native;
        Status s = ToNative(path, &native);
        if (!s.ok()) return s;
        const int fd = OpenRetrying(native, O_WRONLY | O_CREAT | mode, 0666);
        if (fd < 0) return StatusFromErrno(native, errno);
        *result = std::make_unique<PosixWritableFile>(fd, std::move(native));
        return Status::OK();
    }

    static Status Stat(std::string_view path, struct stat* st) {
        std::string native;
        Status s = ToNative(path, &native);
        if (!s.ok()) return s;
        if (::stat(native.c_str(), st) != 0) return StatusFromErrno(native, errno);
        return Status::OK();
    }

    // A rename lives in the directory; without this a power cut could undo it. Best effort: the
    // rename itself has succeeded, and some file systems refuse fsync on directories.
    static void SyncDirectoryOf(const std::string& native) {
        const std::string parent = DirName(native);
        const int fd =
            OpenRetrying(parent.empty() ? std::string(".") : parent, O_RDONLY | O_DIRECTORY);
        if (fd < 0) return;
        (void)::fsync(fd);
        ::close(fd);
    }

    const int m_debugFd;
    std::mutex m_debugMutex;
};

} // namespace

PosixEnvOptions PosixEnvOptions::FromEnvironment() {
    PosixEnvOptions options;
    const char* debug = std::getenv("GPSLIB_DEBUG");
    if (debug != nullptr && *debug != '\0' && std::string_view(debug) != "0") {
        options.debugFd = STDERR_FILENO;
    }
    return options;
}

std::unique_ptr<Env> NewPosixEnv(const PosixEnvOptions& options) {
    return std::make_unique<PosixEnv>(options);
}

Env* Env::Default() {
    // Leaked on purpose: see the declaration.
    static Env* const env = new PosixEnv(PosixEnvOptions::FromEnvironment());
    return env;
}

} // namespace gpslib::os
