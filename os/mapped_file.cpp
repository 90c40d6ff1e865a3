#include "os/mapped_file.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <string>

namespace gpslib::os {
namespace {

// The guarded mappings, read by the SIGBUS handler without locks: a slot's range is published
// (begin stored last) only once its size and flag are in place, and withdrawn (begin cleared
// first) before the mapping goes.
struct GuardSlot {
    std::atomic<bool> used{false};
    std::atomic<const unsigned char*> begin{nullptr};
    std::atomic<std::size_t> size{0};
    std::atomic<std::atomic<bool>*> lost{nullptr};
};
constexpr int kGuardSlots = 256; // maps a process holds at once; more stay unguarded
GuardSlot g_guards[kGuardSlots];
struct sigaction g_previousBusHandler;

void OnBusError(int sig, siginfo_t* info, void* context) {
    const auto* at = static_cast<const unsigned char*>(info->si_addr);
    for (GuardSlot& slot : g_guards) {
        const unsigned char* begin = slot.begin.load(std::memory_order_acquire);
        const std::size_t size = slot.size.load(std::memory_order_relaxed);
        if (begin == nullptr || at < begin || at >= begin + size) continue;
        const int savedErrno = errno;
        void* zeros = mmap(const_cast<unsigned char*>(begin), size, PROT_READ,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        errno = savedErrno;
        if (zeros == MAP_FAILED) break;
        slot.lost.load(std::memory_order_relaxed)->store(true, std::memory_order_release);
        return; // the read is made again, from the zero pages
    }
    const struct sigaction& previous = g_previousBusHandler;
    if ((previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction != nullptr) {
        previous.sa_sigaction(sig, info, context);
        return;
    }
    if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        previous.sa_handler(sig);
        return;
    }
    // Nobody else wanted it: end the process as the signal would have without us.
    signal(sig, SIG_DFL);
    raise(sig);
}

int Guard(const unsigned char* begin, std::size_t size, std::atomic<bool>* lost) {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &g_previousBusHandler);
    });
    for (int i = 0; i < kGuardSlots; ++i) {
        GuardSlot& slot = g_guards[i];
        if (slot.used.exchange(true, std::memory_order_acquire)) continue;
        slot.size.store(size, std::memory_order_relaxed);
        slot.lost.store(lost, std::memory_order_relaxed);
        slot.begin.store(begin, std::memory_order_release);
        return i;
    }
    return -1;
}

void Unguard(int i) {
    if (i < 0) return;
    g_guards[i].begin.store(nullptr, std::memory_order_release);
    g_guards[i].used.store(false, std::memory_order_release);
}

FileStamp StampFrom(const struct stat& st) {
    FileStamp stamp;
    stamp.device = static_cast<std::uint64_t>(st.st_dev);
    stamp.inode = static_cast<std::uint64_t>(st.st_ino);
    stamp.size = static_cast<std::uint64_t>(st.st_size);
    stamp.modifiedNs =
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return stamp;
}

} // namespace

Status StampOf(std::string_view path, FileStamp* out) {
    std::string name(path);
    struct stat st {};
    if (stat(name.c_str(), &st) != 0) {
        int e = errno;
        return e == ENOENT ? Status::NotFound(name, e) : Status::IOError(name, e);
    }
    *out = StampFrom(st);
    return Status::OK();
}

MappedFile::~MappedFile() {
    Unguard(m_guard);
    if (m_data != nullptr) munmap(const_cast<unsigned char*>(m_data), m_size);
}

Status MappedFile::Open(std::string_view path, std::unique_ptr<MappedFile>* out) {
    out->reset();
    std::string name(path);
    int fd;
    do {
        fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        int e = errno;
        return e == ENOENT ? Status::NotFound(name, e) : Status::IOError(name, e);
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        int e = errno;
        close(fd);
        return Status::IOError(name, e);
    }
    if (!S_ISREG(st.st_mode)) {
        close(fd);
        return Status::InvalidArgument(name + ": not a regular file");
    }
    auto size = static_cast<std::size_t>(st.st_size);
    void* data = nullptr;
    if (size > 0) {
        data = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
        if (data == MAP_FAILED) {
            int e = errno;
            close(fd);
            return Status::IOError(name, e);
        }
        (void)madvise(data, size, MADV_RANDOM);
    }
    // The mapping keeps the file; the descriptor is no longer needed.
    close(fd);
    out->reset(new MappedFile(static_cast<const unsigned char*>(data), size));
    (*out)->m_stamp = StampFrom(st);
    if (size > 0) (*out)->m_guard = Guard((*out)->m_data, size, &(*out)->m_lost);
    return Status::OK();
}

} // namespace gpslib::os
