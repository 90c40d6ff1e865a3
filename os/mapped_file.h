#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "os/status.h"

namespace gpslib::os {

// A whole file mapped read-only into memory. The pages are read from the file when first touched
// and may be dropped again by the system under memory pressure; the mapping stays valid when the
// file is renamed or removed. Read-only, so several threads may read it at once.
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

private:
    MappedFile(const unsigned char* data, std::size_t size) : m_data(data), m_size(size) {}
    const unsigned char* m_data;
    std::size_t m_size;
};

} // namespace gpslib::os
