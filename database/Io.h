// The component's few file operations beyond SQLite, through the platform layer: the diagnostic
// log, reading a media file and writing one out.
#ifndef DATABASE_IO_H_
#define DATABASE_IO_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace gpsdb {

// "gpsDatabaseDebug.txt" in the folder given by SetDebugDirectory, in the core's line format
// ("<MM DD YYYY hh:mm:ss> text"); nothing is written while no folder is set or it does not exist.
class Log {
public:
    void SetDirectory(const std::string& directory) { m_directory = directory; }
    void Write(const std::string& text) const;

private:
    std::string m_directory;
};

// The whole content of a file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* content);
// Writes `content` to `path` through a temporary file renamed over it, so a reader never sees a
// half-written file.
bool ReplaceFile(const std::string& path, const std::string& content);
// The size of a file, 0 when it has none.
std::uint64_t FileSize(const std::string& path);
// The names in a folder with the extension `extension` (".pdb"), sorted; empty when it cannot be
// read.
std::vector<std::string> FolderFiles(const std::string& directory, std::string_view extension);

} // namespace gpsdb

#endif // DATABASE_IO_H_
