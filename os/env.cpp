#include "os/env.h"

#include <unistd.h>

namespace gpslib::os {

namespace {

// Big enough that most files are read in one call, small enough to cost nothing on the stack
// of a worker thread's caller.
constexpr std::size_t kReadChunk = std::size_t{64} * 1024;

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

} // namespace

SequentialFile::~SequentialFile() = default;
WritableFile::~WritableFile() = default;
SerialPort::~SerialPort() = default;
Connection::~Connection() = default;

Status Env::NewConnection(std::string_view host, int port, int,
                          std::unique_ptr<Connection>* result) {
    result->reset();
    return Status::NotSupported(std::string(host) + ":" + std::to_string(port) +
                                ": this platform has no network");
}
Event::~Event() = default;
Thread::~Thread() = default;
Env::~Env() = default;
EnvWrapper::~EnvWrapper() = default;

Status Env::ReadFile(std::string_view path, std::string* data) {
    data->clear();
    std::unique_ptr<SequentialFile> file;
    Status s = NewSequentialFile(path, &file);
    if (!s.ok()) return s;
    std::string chunk;
    for (;;) {
        s = file->Read(kReadChunk, &chunk);
        if (!s.ok()) {
            data->clear();
            return s;
        }
        data->append(chunk);
        if (chunk.size() < kReadChunk) return Status::OK();
    }
}

Status Env::WriteFileAtomic(std::string_view path, std::string_view data) {
    // Beside the target, so that the rename stays within one file system and is atomic. The
    // process id and counter keep writers in other processes and threads apart.
    std::string temp(path);
    temp += ".tmp";
    temp += std::to_string(::getpid());
    temp += '-';
    temp += std::to_string(m_tempCounter.fetch_add(1, std::memory_order_relaxed));

    std::unique_ptr<WritableFile> file;
    Status s = NewWritableFile(temp, &file);
    if (!s.ok()) return s;
    s = file->Append(data);
    if (s.ok()) s = file->Sync();
    Status closed = file->Close();
    if (s.ok()) s = closed;
    file.reset();
    if (s.ok()) s = RenameFile(temp, path);
    if (!s.ok()) (void)RemoveFile(temp);
    return s;
}

Status Env::CreateDirs(std::string_view path) {
    if (path.empty()) return Status::InvalidArgument("empty path");
    // Each prefix that ends just before a separator names a parent; a leading separator (the
    // root) and doubled separators give nothing to create.
    for (std::size_t i = 1; i < path.size(); ++i) {
        if (IsSeparator(path[i]) && !IsSeparator(path[i - 1])) {
            Status s = CreateDir(path.substr(0, i));
            if (!s.ok()) return s;
        }
    }
    if (IsSeparator(path.back())) return Status::OK();
    return CreateDir(path);
}

} // namespace gpslib::os
