#include "os/mapped_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace gpslib::os {

MappedFile::~MappedFile() {
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
    return Status::OK();
}

} // namespace gpslib::os
