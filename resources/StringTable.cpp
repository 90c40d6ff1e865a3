#include "resources/StringTable.h"

#include <algorithm>
#include <cstring>

#include "os/env.h"
#include "os/path.h"

namespace gpslib::resources {

namespace {

constexpr char kMagic[8] = {'G', 'P', 'S', 'L', 'S', 'T', 'R', 'T'};
constexpr std::uint16_t kFormatVersion = 1;
constexpr std::size_t kHeaderSize = 32;
constexpr std::size_t kIndexEntrySize = 12;
constexpr std::size_t kEntriesPerBlock = 16;
// Block n holds ids (n - 1) * 16 to (n - 1) * 16 + 15, so ids 0..65535 need blocks 1..4096.
constexpr std::uint32_t kMaxBlockNumber = 4096;

// REQUIRES: the bytes at `p` lie inside the buffer.
std::uint16_t ReadU16(const char* p) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(p[0]) |
                                      static_cast<unsigned char>(p[1]) << 8);
}
std::uint32_t ReadU32(const char* p) {
    return static_cast<std::uint32_t>(ReadU16(p)) | static_cast<std::uint32_t>(ReadU16(p + 2))
                                                        << 16;
}

bool Fail(std::string* error, std::string message) {
    if (error != nullptr) *error = std::move(message);
    return false;
}

} // namespace

bool StringTable::Load(gpslib::os::Env& platform, const std::string& path, std::string* error) {
    Unload();
    gpslib::os::Env* env = &platform;
    std::uint64_t size = 0;
    gpslib::os::Status s = env->GetFileSize(path, &size);
    if (!s.ok()) return Fail(error, "cannot read the string table: " + s.ToString());
    if (size > kMaxFileSize) {
        return Fail(error, path + ": too large for a string table (" + std::to_string(size) +
                               " bytes, at most " + std::to_string(kMaxFileSize) + ")");
    }
    s = env->ReadFile(path, &m_data);
    if (!s.ok()) {
        Unload();
        return Fail(error, "cannot read the string table: " + s.ToString());
    }
    std::string why;
    if (!Parse(&why)) {
        Unload();
        return Fail(error, path + ": " + why);
    }
    return true;
}

bool StringTable::LoadFromMemory(std::string_view bytes, std::string* error) {
    Unload();
    if (bytes.size() > kMaxFileSize) {
        return Fail(error, "too large for a string table (" + std::to_string(bytes.size()) +
                               " bytes, at most " + std::to_string(kMaxFileSize) + ")");
    }
    m_data.assign(bytes);
    if (!Parse(error)) {
        Unload();
        return false;
    }
    return true;
}

void StringTable::Unload() {
    std::string().swap(m_data);
    m_blocks.clear();
    m_count = 0;
    m_loaded = false;
}

// Checks every field against the buffer before anything is read from where it points, so that
// Get can trust the offsets. Sizes are compared in 64 bits: no sum here can wrap.
bool StringTable::Parse(std::string* error) {
    const std::uint64_t size = m_data.size();
    const char* data = m_data.data();
    if (size > kMaxFileSize) return Fail(error, "too large for a string table");
    if (size < kHeaderSize) {
        return Fail(error, "truncated: " + std::to_string(size) + " bytes, shorter than the " +
                               std::to_string(kHeaderSize) + "-byte header");
    }
    if (std::memcmp(data, kMagic, sizeof kMagic) != 0) {
        return Fail(error, "not a string-table module (bad magic)");
    }
    const std::uint16_t version = ReadU16(data + 8);
    if (version != kFormatVersion) {
        return Fail(error, "unsupported string-table format version " + std::to_string(version) +
                               " (this build reads " + std::to_string(kFormatVersion) + ")");
    }
    const std::uint16_t headerSize = ReadU16(data + 10);
    const std::uint32_t blockCount = ReadU32(data + 12);
    const std::uint32_t stringCount = ReadU32(data + 16);
    const std::uint32_t indexOffset = ReadU32(data + 20);
    const std::uint32_t dataOffset = ReadU32(data + 24);
    const std::uint32_t fileSize = ReadU32(data + 28);
    if (headerSize != kHeaderSize || indexOffset != kHeaderSize) {
        return Fail(error, "damaged header (header size " + std::to_string(headerSize) +
                               ", index offset " + std::to_string(indexOffset) + ")");
    }
    if (fileSize > size) {
        return Fail(error, "truncated: the header says " + std::to_string(fileSize) +
                               " bytes, the file has " + std::to_string(size));
    }
    if (fileSize < size) {
        return Fail(error, std::to_string(size - fileSize) +
                               " bytes after the end (the header says " + std::to_string(fileSize) +
                               " bytes)");
    }
    if (blockCount == 0 || blockCount > kMaxBlockNumber) {
        return Fail(error, "bad block count " + std::to_string(blockCount));
    }
    if (dataOffset != kHeaderSize + std::uint64_t{blockCount} * kIndexEntrySize ||
        dataOffset > size) {
        return Fail(error, "bad data offset " + std::to_string(dataOffset));
    }

    std::vector<Block> blocks(blockCount);
    std::uint64_t expectedOffset = dataOffset;
    std::uint64_t strings = 0;
    for (std::uint32_t i = 0; i < blockCount; ++i) {
        const char* entry = data + kHeaderSize + std::size_t{i} * kIndexEntrySize;
        Block& block = blocks[i];
        block.number = ReadU32(entry);
        const std::uint32_t offset = ReadU32(entry + 4);
        const std::uint32_t blockSize = ReadU32(entry + 8);
        const std::string where = "block " + std::to_string(block.number);
        if (block.number == 0 || block.number > kMaxBlockNumber ||
            (i > 0 && block.number <= blocks[i - 1].number)) {
            return Fail(error, "bad block number " + std::to_string(block.number) +
                                   " in index entry " + std::to_string(i));
        }
        if (offset != expectedOffset) {
            return Fail(error, where + " starts at " + std::to_string(offset) + ", expected " +
                                   std::to_string(expectedOffset));
        }
        const std::uint64_t end = std::uint64_t{offset} + blockSize;
        if (end > size) return Fail(error, where + " runs past the end of the file");
        std::uint64_t pos = offset;
        std::size_t held = 0;
        for (std::size_t k = 0; k < kEntriesPerBlock; ++k) {
            if (pos + 2 > end) {
                return Fail(error, where + ": entry " + std::to_string(k) +
                                       " runs past the end of its block");
            }
            const std::uint16_t length = ReadU16(data + pos);
            pos += 2;
            if (pos + 2 * std::uint64_t{length} > end) {
                return Fail(error, where + ": entry " + std::to_string(k) + " (" +
                                       std::to_string(length) +
                                       " code units) runs past the end of its block");
            }
            block.offset[k] = static_cast<std::uint32_t>(pos);
            block.length[k] = length;
            pos += 2 * std::uint64_t{length};
            if (length != 0) ++held;
        }
        if (pos != end) {
            return Fail(error,
                        where + ": " + std::to_string(end - pos) + " bytes after its 16 entries");
        }
        if (held == 0) return Fail(error, where + " holds no strings");
        strings += held;
        expectedOffset = end;
    }
    if (expectedOffset != size) {
        return Fail(error, std::to_string(size - expectedOffset) + " bytes after the last block");
    }
    if (strings != stringCount) {
        return Fail(error, "the header counts " + std::to_string(stringCount) +
                               " strings, the blocks hold " + std::to_string(strings));
    }
    m_blocks = std::move(blocks);
    m_count = static_cast<std::size_t>(strings);
    m_loaded = true;
    return true;
}

std::u16string StringTable::Get(int id) const {
    if (!m_loaded || id < 0 || id >= static_cast<int>(kMaxBlockNumber * kEntriesPerBlock)) {
        return {};
    }
    const std::uint32_t number = static_cast<std::uint32_t>(id) / kEntriesPerBlock + 1;
    auto it = std::lower_bound(m_blocks.begin(), m_blocks.end(), number,
                               [](const Block& b, std::uint32_t n) { return b.number < n; });
    if (it == m_blocks.end() || it->number != number) return {};
    const std::size_t k = static_cast<std::size_t>(id) % kEntriesPerBlock;
    std::u16string text(it->length[k], u'\0');
    const char* p = m_data.data() + it->offset[k];
    for (char16_t& unit : text) {
        unit = static_cast<char16_t>(ReadU16(p));
        p += 2;
    }
    return text;
}

std::string StringTable::Resolve(gpslib::os::Env& platform, std::string_view name,
                                 const std::string& coreModuleDir, const std::string& dataDir) {
    if (name.find_first_of("/\\") != std::string_view::npos) {
        return gpslib::os::NativePath(name);
    }
    gpslib::os::Env* env = &platform;
    for (const std::string* dir : {&coreModuleDir, &dataDir}) {
        if (dir->empty() || name.empty()) continue;
        std::string candidate = gpslib::os::NativePath(gpslib::os::JoinPath(*dir, name));
        if (env->FileExists(candidate) && !env->IsDirectory(candidate)) return candidate;
    }
    return std::string(name);
}

} // namespace gpslib::resources
