// Choosing the service's language by the string module put into its settings folder
// (include/gpslib/language.h, docs/languages.md).
#include <gpslib/language.h>
#include <gpslib/registry.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

namespace gpslib {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kServiceModuleName = "GPSResources_EN.dll";
// The module's layout is docs/formats.md's "String-table module"; only its header is checked
// here, which finds a file that is no module or was cut short. The service checks the whole file
// when it loads it.
constexpr char kMagic[] = "GPSLSTRT";
constexpr std::size_t kHeaderSize = 32;
constexpr std::uintmax_t kMaxModuleSize = 4u << 20;

std::uint32_t Read32(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return v;
}

std::optional<std::string> ReadFile(const fs::path& path) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec || size > kMaxModuleSize) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) return std::nullopt;
    return bytes;
}

// The bytes of the module at `path`; nullopt for a missing file or one whose header is not a
// module's or gives another size.
std::optional<std::string> ReadModule(const fs::path& path) {
    std::optional<std::string> bytes = ReadFile(path);
    if (!bytes || bytes->size() < kHeaderSize || bytes->compare(0, 8, kMagic) != 0 ||
        Read32(*bytes, 28) != bytes->size())
        return std::nullopt;
    return bytes;
}

// The data folders of the installation this runtime belongs to: share/gpslib beside the lib
// folder it lies in, then the configured prefix's.
std::vector<fs::path> InstalledDataDirs() {
    std::vector<fs::path> dirs;
    const fs::path self = ModulePathOf(reinterpret_cast<const void*>(&UseLanguage));
    if (!self.empty()) dirs.push_back(self.parent_path() / GPSLIB_DATA_DIR_FROM_RUNTIME);
    dirs.push_back(GPSLIB_DATA_DIR);
    return dirs;
}

std::string Joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : ", ") + item;
    return out;
}

// Writes through a temporary file and a rename, so that a service starting meanwhile reads
// either the old module or the new one, never half of one.
bool WriteAtomically(const std::string& bytes, const fs::path& to) {
    const fs::path temporary = to.string() + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.good()) return false;
    }
    std::error_code ec;
    fs::rename(temporary, to, ec);
    if (ec) fs::remove(temporary, ec);
    return !ec;
}

} // namespace

std::vector<std::string> KnownLanguages() {
    return {"en", "de", "fr", "es", "it", "pt-BR"};
}

std::string LanguageOfLocale(std::string_view locale) {
    // "ll_CC.codeset@modifier": the language is before '_', '-', '.' or '@'.
    std::string language(locale.substr(0, locale.find_first_of("_-.@")));
    if (language.empty() || language == "C" || language == "POSIX") return "en";
    std::transform(language.begin(), language.end(), language.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (language == "pt") return "pt-BR";
    return language;
}

std::string EnvironmentLanguage() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value == nullptr || *value == '\0') continue;
        const std::string language = LanguageOfLocale(value);
        const std::vector<std::string> known = KnownLanguages();
        return std::find(known.begin(), known.end(), language) != known.end() ? language : "en";
    }
    return "en";
}

std::string LanguageModuleName(std::string_view language) {
    std::string suffix;
    for (char c : language)
        suffix.push_back(c == '-' ? '_'
                                  : static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    return "GPSResources_" + suffix + ".dll";
}

bool UseLanguage(const std::string& settingsDir, std::string_view requested,
                 const std::vector<std::string>& moduleDirs, LanguageChoice* choice,
                 std::string* error) {
    const std::vector<std::string> known = KnownLanguages();
    std::string language = LanguageOfLocale(requested);
    if (std::find(known.begin(), known.end(), language) == known.end()) {
        if (error != nullptr)
            *error =
                "no language '" + std::string(requested) + "'; the languages are " + Joined(known);
        return false;
    }
    std::vector<fs::path> dirs(moduleDirs.begin(), moduleDirs.end());
    for (const fs::path& dir : InstalledDataDirs())
        dirs.push_back(dir);
    // The first sound module of `wanted` in the folders, in order.
    auto find = [&](const std::string& wanted) -> std::optional<std::string> {
        for (const fs::path& dir : dirs)
            if (auto bytes = ReadModule(dir / LanguageModuleName(wanted))) return bytes;
        return std::nullopt;
    };
    LanguageChoice result;
    result.language = language;
    std::optional<std::string> module = find(language);
    if (!module && language != "en") {
        result.fellBack = true;
        result.note = "The " + language + " string module is missing or damaged; speaking English.";
        result.language = "en";
        module = find("en");
    }
    std::error_code ec;
    fs::create_directories(settingsDir, ec);
    const fs::path target = fs::path(settingsDir) / kServiceModuleName;
    if (module && ReadFile(target) != module) WriteAtomically(*module, target);
    if (choice != nullptr) *choice = result;
    return true;
}

} // namespace gpslib
