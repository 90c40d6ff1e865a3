// Fuzz target: the four settings file readers. Any bytes, read as each of the four files, must
// give objects (never a crash); what they write must stay below the read limit, and rewriting
// must settle: the file written from a file that was read back once is written unchanged again.
// (The first rewrite may move a large real by a rounding step, so stability is checked from the
// second.)
#include <gpslib/registry.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "GPSLib_classes.h"
#include "base/SettingsFiles.h"
#include "os/path.h"
#include "service_classes.h"

namespace {

namespace gs = gpscore::settings;
using gpslib::os::Status;

// Files kept in memory: just what the settings readers and writers use.
class MemEnv final : public gpslib::os::EnvWrapper {
public:
    MemEnv() : EnvWrapper(gpslib::os::Env::Default()) {}

    std::map<std::string, std::string, std::less<>> files;

    Status NewSequentialFile(std::string_view path,
                             std::unique_ptr<gpslib::os::SequentialFile>* result) override {
        auto it = files.find(gpslib::os::NativePath(path));
        if (it == files.end()) return Status::NotFound("no file");
        *result = std::make_unique<Reader>(it->second);
        return Status::OK();
    }
    Status NewWritableFile(std::string_view path,
                           std::unique_ptr<gpslib::os::WritableFile>* result) override {
        std::string& file = files[gpslib::os::NativePath(path)];
        file.clear();
        *result = std::make_unique<Writer>(&file);
        return Status::OK();
    }
    Status RenameFile(std::string_view from, std::string_view to) override {
        auto it = files.find(gpslib::os::NativePath(from));
        if (it == files.end()) return Status::NotFound("no file");
        files[gpslib::os::NativePath(to)] = std::move(it->second);
        files.erase(gpslib::os::NativePath(from));
        return Status::OK();
    }
    Status GetChildren(std::string_view dir, std::vector<std::string>* result) override {
        result->clear();
        const std::string prefix = gpslib::os::NativePath(dir) + "/";
        for (const auto& [path, content] : files)
            if (path.starts_with(prefix)) result->push_back(path.substr(prefix.size()));
        return Status::OK();
    }
    Status RemoveFile(std::string_view path) override {
        return files.erase(gpslib::os::NativePath(path)) ? Status::OK()
                                                         : Status::NotFound("no file");
    }

private:
    class Reader final : public gpslib::os::SequentialFile {
    public:
        explicit Reader(std::string data) : m_data(std::move(data)) {}
        Status Read(std::size_t n, std::string* result) override {
            *result = m_data.substr(m_pos, n);
            m_pos += result->size();
            return Status::OK();
        }
        Status Skip(std::uint64_t n) override {
            m_pos = std::min<std::uint64_t>(m_data.size(), m_pos + n);
            return Status::OK();
        }

    private:
        std::string m_data;
        std::size_t m_pos = 0;
    };
    class Writer final : public gpslib::os::WritableFile {
    public:
        explicit Writer(std::string* file) : m_file(file) {}
        Status Append(std::string_view data) override {
            m_file->append(data);
            return Status::OK();
        }
        Status Flush() override { return Status::OK(); }
        Status Sync() override { return Status::OK(); }
        Status Close() override { return Status::OK(); }

    private:
        std::string* m_file;
    };
};

constexpr std::u16string_view kDir = u"/mem";

const std::u16string_view kNames[] = {gs::kSystemFileName, gs::kReceiverFileName,
                                      gs::kLookaroundFileName, gs::kRouteFileName};

// Reads the file from `env` into fresh objects and writes them back; returns the bytes written.
std::string Rewrite(MemEnv& env, int which) {
    bool written = false;
    switch (which) {
    case 0: {
        gs::System record;
        gs::ReadSystemSettings(env, kDir, record);
        written = gs::WriteSystemSettings(env, kDir, record);
        break;
    }
    case 1: {
        gs::Receiver record;
        gs::ReadReceiverSettings(env, kDir, record);
        written = gs::WriteReceiverSettings(env, kDir, record);
        break;
    }
    case 2: {
        gs::Lookaround record;
        gs::ReadLookaroundSettings(env, kDir, record, u"All", u"Any");
        written = gs::WriteLookaroundSettings(env, kDir, record);
        break;
    }
    default: {
        gs::Route gps, virt;
        gs::ReadRouteSettings(env, kDir, gps, virt);
        written = gs::WriteRouteSettings(env, kDir, gps, virt);
        break;
    }
    }
    if (!written) std::abort();              // Memory never fills.
    if (env.files.size() != 1) std::abort(); // No temporary file left behind.
    return env.files[gs::SettingsFilePath(kDir, kNames[which])];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::RegisterServiceClassesOnce();
    const std::string input(reinterpret_cast<const char*>(data), size);
    for (int which = 0; which < 4; ++which) {
        MemEnv env;
        env.files[gs::SettingsFilePath(kDir, kNames[which])] = input;
        std::string once = Rewrite(env, which);
        if (once.empty() || once.size() >= gs::kMaxFileBytes || once.size() % 2 != 0) std::abort();
        std::string twice = Rewrite(env, which);
        // When the first rewrite settled already, a third would read what the second read.
        if (twice != once && Rewrite(env, which) != twice) std::abort();
    }
    return 0;
}
