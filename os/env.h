#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "os/status.h"
#include "os/time.h"

namespace gpslib::os {

// A file read from front to back. Not thread-safe: one reader at a time.
class SequentialFile {
public:
    SequentialFile() = default;
    SequentialFile(const SequentialFile&) = delete;
    SequentialFile& operator=(const SequentialFile&) = delete;
    virtual ~SequentialFile();

    // Replaces *result with the next `n` bytes; fewer only at the end of the file, none there.
    virtual Status Read(std::size_t n, std::string* result) = 0;
    // Moves `n` bytes ahead; skipping past the end leaves the file at its end.
    virtual Status Skip(std::uint64_t n) = 0;
};

// A file written at its end. Appends are buffered: Flush hands them to the system (other
// readers see them), Sync also puts them on stable storage. Not thread-safe.
class WritableFile {
public:
    WritableFile() = default;
    WritableFile(const WritableFile&) = delete;
    WritableFile& operator=(const WritableFile&) = delete;
    // Closes a file still open and drops any error; call Close to learn it.
    virtual ~WritableFile();

    virtual Status Append(std::string_view data) = 0;
    virtual Status Flush() = 0;
    virtual Status Sync() = 0;
    // Flushes and closes. Every call after the first fails.
    virtual Status Close() = 0;
};

// A serial device opened for reading a receiver: raw input that never blocks. Not thread-safe:
// one owner. The destructor closes the device and gives up exclusive use of it.
class SerialPort {
public:
    SerialPort() = default;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;
    virtual ~SerialPort();

    // Replaces *result with at most `n` of the bytes that are waiting, without waiting for more:
    // OK with an empty result when nothing is waiting. IOError when the device failed (a USB
    // receiver unplugged, the line hung up); *result is then empty.
    virtual Status Read(std::size_t n, std::string* result) = 0;
    // Discards the input and output waiting in the driver.
    virtual Status Purge() = 0;
};

// A TCP connection to a server on the network (a receiver shared by gpsd), read without waiting
// as a serial port is read.
class Connection {
public:
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    virtual ~Connection();

    // Replaces *result with at most `n` of the bytes that are waiting, without waiting for more:
    // OK with an empty result when nothing is waiting. IOError when the server closed the
    // connection or it failed; *result is then empty.
    virtual Status Read(std::size_t n, std::string* result) = 0;
    // Sends all of `data`, waiting at most a second for room. IOError when it cannot.
    virtual Status Write(std::string_view data) = 0;
};

// A waitable flag shared between threads. A manual-reset event stays signalled until Reset; an
// auto-reset event is reset by the wait that it releases, so each Set releases one waiter. Set
// on an event already signalled changes nothing. Thread-safe.
class Event {
public:
    enum class WaitResult { kSignalled, kTimedOut };
    static constexpr int kInfinite = -1;

    Event() = default;
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    virtual ~Event();

    virtual void Set() = 0;
    virtual void Reset() = 0;
    // Waits until the event is signalled or `timeoutMs` has passed on the monotonic clock.
    // 0 only tests the event; any negative value (kInfinite) waits without limit.
    virtual WaitResult Wait(int timeoutMs) = 0;
};

// A started thread. The handle belongs to one owner (its methods are not thread-safe).
class Thread {
public:
    Thread() = default;
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    // Joins a thread not yet joined, so the thread never outlives its handle.
    virtual ~Thread();

    // Waits for the thread to end. InvalidArgument when it was already joined or when the
    // thread tries to join itself.
    virtual Status Join() = 0;
    virtual bool Joinable() const = 0;
};

// What tells one version of a file from another without reading it: the file's device and
// number, its size and its modification time. A file replaced by WriteFileAtomic (a new file
// renamed over the old) always has a new identity; one rewritten in place has a new size or
// modification time.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNanos = 0; // Since the Unix epoch.

    bool operator==(const FileIdentity&) const = default;
};

// The operating system as the rest of gpslib sees it: clock, files, serial ports, events,
// threads, debugger output and the process environment. Nothing outside os/ calls the system
// directly, so tests substitute a fake clock or a file system that fails on demand (see
// EnvWrapper).
//
// Paths are UTF-8 and written the service's way, with "\\" or "/" between names; each one passes
// through NativePath before it reaches the system. A path that is empty or holds a NUL character
// is refused with InvalidArgument.
//
// All methods are thread-safe.
class Env {
public:
    Env() = default;
    Env(const Env&) = delete;
    Env& operator=(const Env&) = delete;
    virtual ~Env();

    // The process's system Env, created on first use and never destroyed (threads may still use
    // it while static objects are torn down). Each shared module that links gpsos has its own.
    static Env* Default();

    // --- Time
    // Microseconds on a monotonic clock with an arbitrary origin: for measuring intervals only.
    virtual std::uint64_t NowMicros() = 0;
    // Sleeps at least `micros`; zero or negative returns at once.
    virtual void SleepForMicroseconds(std::int64_t micros) = 0;
    // Wall-clock time in the local time zone and in UTC.
    virtual SystemTime LocalTime() = 0;
    virtual SystemTime UtcTime() = 0;

    // --- Files
    virtual Status NewSequentialFile(std::string_view path,
                                     std::unique_ptr<SequentialFile>* result) = 0;
    // Creates the file, or empties an existing one.
    virtual Status NewWritableFile(std::string_view path,
                                   std::unique_ptr<WritableFile>* result) = 0;
    // Creates the file, or opens an existing one to write at its end.
    virtual Status NewAppendableFile(std::string_view path,
                                     std::unique_ptr<WritableFile>* result) = 0;
    // True when anything (file or directory) exists at `path`.
    virtual bool FileExists(std::string_view path) = 0;
    virtual bool IsDirectory(std::string_view path) = 0;
    virtual Status GetFileSize(std::string_view path, std::uint64_t* size) = 0;
    // On failure *identity is all zero.
    virtual Status GetFileIdentity(std::string_view path, FileIdentity* identity) = 0;
    // Creates one directory. OK when a directory is already there; AlreadyExists when something
    // else is.
    virtual Status CreateDir(std::string_view path) = 0;
    // Removes an empty directory.
    virtual Status RemoveDir(std::string_view path) = 0;
    // Replaces *names with the entries of `dir`, without "." and "..", sorted bytewise so that
    // every listing of the same directory comes in the same order.
    virtual Status GetChildren(std::string_view dir, std::vector<std::string>* names) = 0;
    virtual Status RemoveFile(std::string_view path) = 0;
    // Renames `from` to `to`, replacing a file at `to` in one step, then asks the system to
    // make the rename durable (best effort: not every file system can sync a directory).
    virtual Status RenameFile(std::string_view from, std::string_view to) = 0;
    // Gives the file at `from` a second name, `to` (a hard link: no data is copied). Fails on a
    // file system without hard links; callers then copy.
    virtual Status LinkFile(std::string_view from, std::string_view to) = 0;

    // Built on the calls above, so a wrapper that overrides those also changes these.
    //
    // Replaces *data with the whole file; on failure *data is empty.
    Status ReadFile(std::string_view path, std::string* data);
    // Replaces the file's content with `data` so that a reader, or a crash, sees either the old
    // content or the new, never a mix: writes a temporary file beside it, syncs it and renames
    // it over the file. On any failure the old file is left as it was and the temporary file
    // is removed.
    Status WriteFileAtomic(std::string_view path, std::string_view data);
    // CreateDir for `path` and each missing parent.
    Status CreateDirs(std::string_view path);

    // --- Serial ports
    // Opens the terminal device at `path` for this process alone (another open fails while it
    // is held), with raw input (bytes arrive as sent, no line editing, no echo) at `baudRate`
    // for input and output. A rate the system does not offer leaves the device's current speed.
    // A path that is not a terminal (a file, a directory, /dev/null) is refused with
    // InvalidArgument.
    virtual Status NewSerialPort(std::string_view path, int baudRate,
                                 std::unique_ptr<SerialPort>* result) = 0;

    // --- Network
    // Connects to `port` on `host` (a name or an address), waiting at most `timeoutMs` for the
    // server to answer. NotFound for a host that does not resolve, IOError when no server
    // answers (refused, unreachable, timed out). The base Env has no network: NotSupported.
    virtual Status NewConnection(std::string_view host, int port, int timeoutMs,
                                 std::unique_ptr<Connection>* result);

    // --- Events and threads
    virtual std::unique_ptr<Event> NewEvent(bool manualReset, bool initiallySignalled) = 0;
    // Runs `fn` on a new thread. Null when the system cannot create one. An exception escaping
    // `fn` ends the thread and is reported to the debugger output.
    virtual std::unique_ptr<Thread> StartThread(std::function<void()> fn) = 0;

    // --- Process
    // Diagnostic text for a developer, written as given (no newline added). The system Env
    // writes it to standard error when GPSLIB_DEBUG is set (see PosixEnvOptions).
    virtual void DebugOutput(std::string_view text) = 0;
    // The value of an environment variable; empty when it is not set.
    virtual std::optional<std::string> GetEnv(std::string_view name) = 0;

private:
    // Makes the temporary names of concurrent WriteFileAtomic calls distinct.
    std::atomic<std::uint64_t> m_tempCounter{0};
};

// Forwards every call to another Env, so that a test Env overrides only what it changes.
class EnvWrapper : public Env {
public:
    // REQUIRES: `target` outlives this wrapper.
    explicit EnvWrapper(Env* target) : m_target(target) {}
    ~EnvWrapper() override;

    Env* target() const { return m_target; }

    std::uint64_t NowMicros() override { return m_target->NowMicros(); }
    void SleepForMicroseconds(std::int64_t micros) override {
        m_target->SleepForMicroseconds(micros);
    }
    SystemTime LocalTime() override { return m_target->LocalTime(); }
    SystemTime UtcTime() override { return m_target->UtcTime(); }

    Status NewSequentialFile(std::string_view path,
                             std::unique_ptr<SequentialFile>* result) override {
        return m_target->NewSequentialFile(path, result);
    }
    Status NewWritableFile(std::string_view path, std::unique_ptr<WritableFile>* result) override {
        return m_target->NewWritableFile(path, result);
    }
    Status NewAppendableFile(std::string_view path,
                             std::unique_ptr<WritableFile>* result) override {
        return m_target->NewAppendableFile(path, result);
    }
    bool FileExists(std::string_view path) override { return m_target->FileExists(path); }
    bool IsDirectory(std::string_view path) override { return m_target->IsDirectory(path); }
    Status GetFileSize(std::string_view path, std::uint64_t* size) override {
        return m_target->GetFileSize(path, size);
    }
    Status GetFileIdentity(std::string_view path, FileIdentity* identity) override {
        return m_target->GetFileIdentity(path, identity);
    }
    Status CreateDir(std::string_view path) override { return m_target->CreateDir(path); }
    Status RemoveDir(std::string_view path) override { return m_target->RemoveDir(path); }
    Status GetChildren(std::string_view dir, std::vector<std::string>* names) override {
        return m_target->GetChildren(dir, names);
    }
    Status RemoveFile(std::string_view path) override { return m_target->RemoveFile(path); }
    Status RenameFile(std::string_view from, std::string_view to) override {
        return m_target->RenameFile(from, to);
    }
    Status LinkFile(std::string_view from, std::string_view to) override {
        return m_target->LinkFile(from, to);
    }

    Status NewSerialPort(std::string_view path, int baudRate,
                         std::unique_ptr<SerialPort>* result) override {
        return m_target->NewSerialPort(path, baudRate, result);
    }
    Status NewConnection(std::string_view host, int port, int timeoutMs,
                         std::unique_ptr<Connection>* result) override {
        return m_target->NewConnection(host, port, timeoutMs, result);
    }

    std::unique_ptr<Event> NewEvent(bool manualReset, bool initiallySignalled) override {
        return m_target->NewEvent(manualReset, initiallySignalled);
    }
    std::unique_ptr<Thread> StartThread(std::function<void()> fn) override {
        return m_target->StartThread(std::move(fn));
    }

    void DebugOutput(std::string_view text) override { m_target->DebugOutput(text); }
    std::optional<std::string> GetEnv(std::string_view name) override {
        return m_target->GetEnv(name);
    }

private:
    Env* m_target;
};

// How a system Env is set up. Env::Default() uses FromEnvironment(); tests build their own.
struct PosixEnvOptions {
    // Where DebugOutput writes; -1 discards it. The descriptor stays the caller's.
    int debugFd = -1;

    // Reads GPSLIB_DEBUG once: set to anything but "" or "0" sends debugger output to standard
    // error.
    static PosixEnvOptions FromEnvironment();
};

// A new system Env. REQUIRES: threads it started are joined before it is destroyed.
std::unique_ptr<Env> NewPosixEnv(const PosixEnvOptions& options);

} // namespace gpslib::os
