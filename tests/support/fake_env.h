#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "os/env.h"

namespace gpslib::test {

// An Env for tests: a clock that moves only when told to, sleeps and timed waits that move it
// instead of waiting, files that fail on demand, and debugger output that goes nowhere.
// Everything else goes to the target Env.
// Thread-safe.
class FakeEnv : public os::EnvWrapper {
public:
    // Operations that can be made to fail. kRead is SequentialFile::Read, kWrite is
    // WritableFile::Append, kSync is WritableFile::Sync, kRename is RenameFile, kRemove is
    // RemoveFile and RemoveDir, kCreateDir is CreateDir.
    enum class Op { kRead, kWrite, kSync, kRename, kRemove, kCreateDir };

    // Where the clocks start. Not zero, so that code treating 0 as "never" is not fooled.
    static constexpr std::uint64_t kStartMicros = 1'000'000'000;
    static constexpr std::int64_t kStartWallMicros = 1'704'067'200'000'000; // 2024-01-01 UTC

    // REQUIRES: `target` outlives this Env; files, events and threads from this Env do not.
    explicit FakeEnv(os::Env* target = os::Env::Default());
    ~FakeEnv() override;

    // --- Clock
    // Moves the monotonic and the wall clock forward together.
    void AdvanceMicros(std::uint64_t micros);

    // --- Faults
    // The nth operation of kind `op` from now on (1 = the next; lower values count as 1) fails
    // with `status` and does nothing else; with `repeat`, so does every one after it (a disk
    // that stays full).
    void FailNth(Op op, int nth, os::Status status, bool repeat = false);
    void ClearFaults();
    // Operations of kind `op` seen so far, failed ones included.
    int Count(Op op) const;
    // Counts one operation of kind `op`: OK, or the injected failure when it is this one's turn.
    // The fake files call it; other fakes built on this Env may too.
    os::Status NextOp(Op op);

    std::uint64_t NowMicros() override;
    void SleepForMicroseconds(std::int64_t micros) override;
    os::SystemTime LocalTime() override; // UtcTime's wall clock, in UTC

    os::SystemTime UtcTime() override;

    os::Status NewSequentialFile(std::string_view path,
                                 std::unique_ptr<os::SequentialFile>* result) override;
    os::Status NewWritableFile(std::string_view path,
                               std::unique_ptr<os::WritableFile>* result) override;
    os::Status NewAppendableFile(std::string_view path,
                                 std::unique_ptr<os::WritableFile>* result) override;
    os::Status RenameFile(std::string_view from, std::string_view to) override;
    os::Status RemoveFile(std::string_view path) override;
    os::Status RemoveDir(std::string_view path) override;
    os::Status CreateDir(std::string_view path) override;

    // Events whose timed Wait, unless the event is signalled, advances the clock by the timeout
    // and times out at once. An infinite Wait blocks for real until another thread calls Set.
    std::unique_ptr<os::Event> NewEvent(bool manualReset, bool initiallySignalled) override;
    // Events made from now on wait in real time on the target (a polling thread that a test
    // watches as a client would).
    void UseRealTimedWaits(bool on);

    void DebugOutput(std::string_view text) override;

private:
    struct Fault {
        Op op;
        int at; // the Count(op) value of the failing operation
        os::Status status;
        bool repeat;
    };

    mutable std::mutex m_mutex;
    std::uint64_t m_nowMicros = kStartMicros;
    std::int64_t m_wallMicros = kStartWallMicros;
    std::map<Op, int> m_counts;
    std::vector<Fault> m_faults;
    bool m_realTimedWaits = false;
};

} // namespace gpslib::test
