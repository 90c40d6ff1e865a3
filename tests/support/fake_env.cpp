#include "tests/support/fake_env.h"

#include <algorithm>
#include <condition_variable>
#include <thread>
#include <utility>

namespace gpslib::test {

namespace {

class FaultySequentialFile final : public os::SequentialFile {
public:
    FaultySequentialFile(FakeEnv* env, std::unique_ptr<os::SequentialFile> file)
        : m_env(env), m_file(std::move(file)) {}

    os::Status Read(std::size_t n, std::string* result) override {
        os::Status s = m_env->NextOp(FakeEnv::Op::kRead);
        if (!s.ok()) {
            result->clear();
            return s;
        }
        return m_file->Read(n, result);
    }
    os::Status Skip(std::uint64_t n) override { return m_file->Skip(n); }

private:
    FakeEnv* m_env;
    std::unique_ptr<os::SequentialFile> m_file;
};

class FaultyWritableFile final : public os::WritableFile {
public:
    FaultyWritableFile(FakeEnv* env, std::unique_ptr<os::WritableFile> file)
        : m_env(env), m_file(std::move(file)) {}

    os::Status Append(std::string_view data) override {
        os::Status s = m_env->NextOp(FakeEnv::Op::kWrite);
        return s.ok() ? m_file->Append(data) : s;
    }
    os::Status Flush() override { return m_file->Flush(); }
    os::Status Sync() override {
        os::Status s = m_env->NextOp(FakeEnv::Op::kSync);
        return s.ok() ? m_file->Sync() : s;
    }
    os::Status Close() override { return m_file->Close(); }

private:
    FakeEnv* m_env;
    std::unique_ptr<os::WritableFile> m_file;
};

class FakeEvent final : public os::Event {
public:
    FakeEvent(FakeEnv* env, bool manualReset, bool initiallySignalled)
        : m_env(env), m_manualReset(manualReset), m_signalled(initiallySignalled) {}

    void Set() override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_signalled = true;
        }
        m_cv.notify_all();
    }

    void Reset() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_signalled = false;
    }

    WaitResult Wait(int timeoutMs) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (timeoutMs < 0) m_cv.wait(lock, [this] { return m_signalled; });
        if (m_signalled) {
            if (!m_manualReset) m_signalled = false;
            return WaitResult::kSignalled;
        }
        lock.unlock();
        m_env->AdvanceMicros(static_cast<std::uint64_t>(timeoutMs) * 1000);
        // A loop of timed waits must still let the thread that will signal it run.
        std::this_thread::yield();
        return WaitResult::kTimedOut;
    }

private:
    FakeEnv* m_env;
    const bool m_manualReset;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_signalled;
};

// The file the real Env opened, its reads and writes counted (and failed) as `env`'s.
template <class Faulty, class File>
os::Status Wrap(FakeEnv* env, os::Status opened, std::unique_ptr<File>* file) {
    if (opened.ok())
        *file = std::make_unique<Faulty>(env, std::move(*file));
    else
        file->reset();
    return opened;
}

} // namespace

FakeEnv::FakeEnv(os::Env* target) : EnvWrapper(target) {}

FakeEnv::~FakeEnv() = default;

void FakeEnv::AdvanceMicros(std::uint64_t micros) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nowMicros += micros;
    m_wallMicros += static_cast<std::int64_t>(micros);
}

void FakeEnv::FailNth(Op op, int nth, os::Status status, bool repeat) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.push_back(Fault{op, m_counts[op] + std::max(nth, 1), std::move(status), repeat});
}

void FakeEnv::ClearFaults() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.clear();
}

int FakeEnv::Count(Op op) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_counts.find(op);
    return it == m_counts.end() ? 0 : it->second;
}

os::Status FakeEnv::NextOp(Op op) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const int count = ++m_counts[op];
    for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
        if (it->op != op) continue;
        if (it->at == count) {
            os::Status s = it->status;
            if (!it->repeat) m_faults.erase(it);
            return s;
        }
        if (it->repeat && count > it->at) return it->status;
    }
    return os::Status::OK();
}

std::uint64_t FakeEnv::NowMicros() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nowMicros;
}

void FakeEnv::SleepForMicroseconds(std::int64_t micros) {
    if (micros > 0) AdvanceMicros(static_cast<std::uint64_t>(micros));
    std::this_thread::yield();
}

os::SystemTime FakeEnv::LocalTime() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return os::SystemTimeFromUnixMicros(m_wallMicros);
}

os::SystemTime FakeEnv::UtcTime() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return os::SystemTimeFromUnixMicros(m_wallMicros);
}

os::Status FakeEnv::NewSequentialFile(std::string_view path,
                                      std::unique_ptr<os::SequentialFile>* result) {
    return Wrap<FaultySequentialFile>(this, target()->NewSequentialFile(path, result), result);
}

os::Status FakeEnv::NewWritableFile(std::string_view path,
                                    std::unique_ptr<os::WritableFile>* result) {
    return Wrap<FaultyWritableFile>(this, target()->NewWritableFile(path, result), result);
}

os::Status FakeEnv::NewAppendableFile(std::string_view path,
                                      std::unique_ptr<os::WritableFile>* result) {
    return Wrap<FaultyWritableFile>(this, target()->NewAppendableFile(path, result), result);
}

os::Status FakeEnv::RenameFile(std::string_view from, std::string_view to) {
    os::Status s = NextOp(Op::kRename);
    return s.ok() ? target()->RenameFile(from, to) : s;
}

os::Status FakeEnv::RemoveFile(std::string_view path) {
    os::Status s = NextOp(Op::kRemove);
    return s.ok() ? target()->RemoveFile(path) : s;
}

os::Status FakeEnv::RemoveDir(std::string_view path) {
    os::Status s = NextOp(Op::kRemove);
    return s.ok() ? target()->RemoveDir(path) : s;
}

os::Status FakeEnv::CreateDir(std::string_view path) {
    os::Status s = NextOp(Op::kCreateDir);
    return s.ok() ? target()->CreateDir(path) : s;
}

std::unique_ptr<os::Event> FakeEnv::NewEvent(bool manualReset, bool initiallySignalled) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_realTimedWaits) return target()->NewEvent(manualReset, initiallySignalled);
    }
    return std::make_unique<FakeEvent>(this, manualReset, initiallySignalled);
}

void FakeEnv::UseRealTimedWaits(bool on) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_realTimedWaits = on;
}

void FakeEnv::DebugOutput(std::string_view) {}

} // namespace gpslib::test
