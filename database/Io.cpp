#include "Io.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

#include "os/env.h"
#include "os/path.h"

namespace gpsdb {

using gpslib::os::Env;

void Log::Write(const std::string& text) const {
    if (m_directory.empty()) return;
    Env* env = Env::Default();
    const std::string dir = gpslib::os::NativePath(m_directory);
    if (!env->IsDirectory(dir)) return;
    gpslib::os::SystemTime t = env->LocalTime();
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "<%02u %02u %4u %02u:%02u:%02u> ", t.month, t.day, t.year,
                  t.hour, t.minute, t.second);
    std::unique_ptr<gpslib::os::WritableFile> file;
    if (!env->NewAppendableFile(dir + "/gpsDatabaseDebug.txt", &file).ok()) return;
    // A line that cannot be written is lost alone; the next one tries again.
    (void)file->Append(std::string(prefix) + text + "\n");
    (void)file->Close();
}

bool ReadWholeFile(const std::string& path, std::string* content) {
    Env* env = Env::Default();
    std::unique_ptr<gpslib::os::SequentialFile> file;
    if (env->IsDirectory(path) || !env->NewSequentialFile(path, &file).ok()) return false;
    content->clear();
    for (;;) {
        std::string chunk;
        if (!file->Read(1 << 16, &chunk).ok()) return false;
        if (chunk.empty()) return true;
        content->append(chunk);
    }
}

bool ReplaceFile(const std::string& path, const std::string& content) {
    Env* env = Env::Default();
    const std::string temporary = path + ".partial";
    std::unique_ptr<gpslib::os::WritableFile> file;
    if (!env->NewWritableFile(temporary, &file).ok()) return false;
    bool ok = file->Append(content).ok() && file->Sync().ok();
    ok = file->Close().ok() && ok;
    if (ok && env->RenameFile(temporary, path).ok()) return true;
    (void)env->RemoveFile(temporary);
    return false;
}

std::uint64_t FileSize(const std::string& path) {
    std::uint64_t size = 0;
    if (!Env::Default()->GetFileSize(path, &size).ok()) return 0;
    return size;
}

std::vector<std::string> FolderFiles(const std::string& directory, std::string_view extension) {
    std::vector<std::string> entries, names;
    if (!Env::Default()->GetChildren(directory, &entries).ok()) return names;
    for (std::string& name : entries)
        if (gpslib::os::Extension(name) == extension) names.push_back(std::move(name));
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace gpsdb
