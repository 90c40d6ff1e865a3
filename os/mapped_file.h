#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "os/status.h"

namespace gpslib::os {

// What tells one version of a file from the next: a file renamed over it has another inode, one
// rewritten in place another size or modification time.
struct FileStamp {
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};
// The stamp of the file at `path` now.
Status StampOf(std::string_view path, FileStamp* out);

// A whole file mapped read-only into memory. The pages are read from the file when first touched
// and may be dropped again by the system under memory pressure; the mapping stays valid when the
// file is renamed or removed. Read-only, so several threads may read it at once.
//
// A file cut short while mapped (copied over in place, say) would end the process with SIGBUS at
// the first page past its new end. The mapping is guarded instead: that fault puts zero pages in
// place of the whole mapping and marks it lost, so readers see zeros (which checked readers
// refuse or answer as empty) and the owner can open the file again. The guard is a SIGBUS
// handler installed with the first mapping; faults elsewhere go on to the handler that was there
// before, or end the process as they would have.
class MappedFile {
public:
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    // Maps the regular file at `path`, advising the system that it is read at random (no
    // read-ahead). An empty file maps to no bytes (data() null); a folder or a device is refused.
    static Status Open(std::string_view path, std::unique_ptr<MappedFile>* out);

    const unsigned char* data() const { return m_data; }
    std::size_t size() const { return m_size; }
    // True once the file was cut short under the mapping: the bytes are zeros from then on.
    bool Lost() const { return m_lost.load(std::memory_order_acquire); }
    // The file's stamp when it was mapped.
    const FileStamp& Stamp() const { return m_stamp; }

private:
    MappedFile(const unsigned char* data, std::size_t size) : m_data(data), m_size(size) {}
    const unsigned char* m_data;
    std::size_t m_size;
    FileStamp m_stamp;
    std::atomic<bool> m_lost{false};
    int m_guard = -1; // slot in the guard's table; -1 when unguarded (table full, or no bytes)
};

} // namespace gpslib::os
