// The string-table module: every word the service speaks, looked up by number. Read by the
// service and by the map engine, which puts the same words into its names.
#ifndef RESOURCES_STRINGTABLE_H_
#define RESOURCES_STRINGTABLE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace gpslib::os {
class Env;
}

namespace gpslib::resources {

// A loaded string-table module (the layout is in docs/formats.md, "String-table module"). The
// whole file is checked when it is loaded, so a lookup never reads outside it; a file that fails
// any check is refused as a whole.
//
// Thread safety: Get, Loaded and Count may run concurrently with each other; Load, LoadFromMemory
// and Unload need the caller to exclude every other call (the core lock does).
class StringTable {
public:
    // Larger files are refused before they are read.
    static constexpr std::size_t kMaxFileSize = std::size_t{4} * 1024 * 1024;
    // The module file's name; Resolve finds it.
    static constexpr std::string_view kModuleName = "GPSResources_EN.dll";

    StringTable() = default;
    StringTable(const StringTable&) = delete;
    StringTable& operator=(const StringTable&) = delete;

    // Replaces the table with the module at `path` (read through the platform layer). On failure
    // the table is empty and *error (when not null) says what was wrong, starting with the path.
    bool Load(gpslib::os::Env& env, const std::string& path, std::string* error);
    // As Load, from the module's bytes.
    bool LoadFromMemory(std::string_view bytes, std::string* error);
    void Unload();

    bool Loaded() const { return m_loaded; }
    // The number of strings in the table.
    std::size_t Count() const { return m_count; }
    // The text of string `id`; empty for an id the table does not hold, or with no table.
    std::u16string Get(int id) const;

    // Where the module named `name` is: a name holding "/" or "\\" is a path (backslashes become
    // separators); a plain name is taken from `coreModuleDir` when a file of that name is there,
    // else from `dataDir` (the installed data folder), else returned unchanged.
    static std::string Resolve(gpslib::os::Env& env, std::string_view name,
                               const std::string& coreModuleDir, const std::string& dataDir);

private:
    struct Block {
        std::uint32_t number = 0;
        // Byte offset in m_data of each entry's first code unit, and its length in code units.
        std::array<std::uint32_t, 16> offset{};
        std::array<std::uint16_t, 16> length{};
    };

    bool Parse(std::string* error);

    std::string m_data;
    std::vector<Block> m_blocks; // ascending by number
    std::size_t m_count = 0;
    bool m_loaded = false;
};

} // namespace gpslib::resources

// The service and the engine know the reader as gpscore::StringTable.
namespace gpscore {
using gpslib::resources::StringTable;
}

#endif // RESOURCES_STRINGTABLE_H_
