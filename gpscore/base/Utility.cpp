#include "base/Utility.h"

#include <gpslib/registry.h>
#include <gpslib/support.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "base/Plurals.h"
#include "base/ServiceEnv.h"
#include "os/codepage.h"
#include "os/env.h"
#include "os/path.h"
#include "resources/StringIds.h"

namespace gpscore {

namespace {

// The process slot and the number of service references to what it holds. Services on
// different threads reach it under their own locks, so the slot has one of its own.
std::mutex g_instanceMutex;
std::shared_ptr<Utility> g_instance;
int g_serviceReferences = 0;

// Which debug directory was checked, and whether it existed then. A line for another directory
// (a service started in a new settings folder, or the first Utility's default before the settings
// are read) checks again, so a check made for one never silences the other. Services on
// different threads write, so the check (and moving a full log aside) has a lock of its own;
// nothing but the platform layer is called while it is held.
std::mutex g_logCheckMutex;
bool g_logDirectoryChecked = false;
bool g_logDirectoryExists = false;
std::string g_logDirectoryCheckedPath;

constexpr std::size_t kMaxLogPath = 255;
// A service runs all day beside a screen reader: past this size the log is moved aside to
// "gpsDebug.old.txt" (replacing the one before) and starts again, so at most twice this much is
// kept.
constexpr std::uint64_t kLogRotateBytes = 8u << 20;

// Where a plain resource name is looked for: beside the module holding this code, then in the
// installed data folder.
std::string CoreModuleDir() {
    return gpslib::os::DirName(gpslib::ModulePathOf(reinterpret_cast<const void*>(&LogWrite)));
}

// The installed data folders, in the order they are tried: first the one of the installation
// this module belongs to, found from the module's own folder, so that an installation moved to
// another prefix or staged under DESTDIR reads its own data; then the one of the prefix the
// module was configured for, for a module copied away from its installation.
std::vector<std::string> InstalledDataDirs(const std::string& moduleDir) {
    std::vector<std::string> dirs;
    if (!moduleDir.empty()) dirs.push_back(moduleDir + "/" GPSLIB_DATA_DIR_FROM_MODULE);
    dirs.push_back(GPSLIB_DATA_DIR);
    return dirs;
}

} // namespace

void ResetLogChecks() {
    std::lock_guard<std::mutex> guard(g_logCheckMutex);
    g_logDirectoryChecked = false;
    g_logDirectoryExists = false;
}

void LogWrite(gpslib::os::Env& platform, std::u16string_view directory, std::string_view text,
              bool withTime, bool withDate) {
    gpslib::os::Env* env = &platform;
    std::string dir = gpslib::ToUtf8(directory);
    {
        std::lock_guard<std::mutex> guard(g_logCheckMutex);
        if (!g_logDirectoryChecked || dir != g_logDirectoryCheckedPath) {
            if (dir.empty()) return;
            g_logDirectoryExists = env->IsDirectory(gpslib::os::NativePath(dir));
            g_logDirectoryChecked = true;
            g_logDirectoryCheckedPath = dir;
        }
        if (!g_logDirectoryExists) return;
    }
    std::string path = dir + "/gpsDebug.txt";
    if (path.size() > kMaxLogPath) return; // The log's path is limited to 255 characters.
    std::string line;
    char prefix[64] = {};
    if (withDate || withTime) {
        gpslib::os::SystemTime t = env->LocalTime();
        if (withDate)
            std::snprintf(prefix, sizeof prefix, "<%02u %02u %4u %02u:%02u:%02u> ", t.month, t.day,
                          t.year, t.hour, t.minute, t.second);
        else
            std::snprintf(prefix, sizeof prefix, "<%02u:%02u:%02u> ", t.hour, t.minute, t.second);
    }
    line.append(prefix).append(text).append("\n");
    {
        // Under the check's lock, so that two writers never both move the log aside (the
        // second would move the first one's fresh log over the full one).
        std::lock_guard<std::mutex> guard(g_logCheckMutex);
        std::uint64_t size = 0;
        if (env->GetFileSize(gpslib::os::NativePath(path), &size).ok() && size >= kLogRotateBytes)
            (void)env->RenameFile(gpslib::os::NativePath(path),
                                  gpslib::os::NativePath(dir + "/gpsDebug.old.txt"));
    }
    std::unique_ptr<gpslib::os::WritableFile> file;
    if (!env->NewAppendableFile(gpslib::os::NativePath(path), &file).ok()) return;
    // A line that cannot be written is lost alone; the next one tries again.
    (void)file->Append(line);
    (void)file->Close();
}

std::shared_ptr<Utility> Utility::AcquireForService(gpslib::os::Env* env) {
    std::lock_guard<std::mutex> guard(g_instanceMutex);
    if (g_instance == nullptr) g_instance.reset(new (std::nothrow) Utility(env));
    if (g_instance != nullptr) ++g_serviceReferences;
    return g_instance;
}

void Utility::ReleaseForService(std::shared_ptr<Utility>& utility) {
    if (utility == nullptr) return;
    std::shared_ptr<Utility> last;
    {
        std::lock_guard<std::mutex> guard(g_instanceMutex);
        if (utility == g_instance && --g_serviceReferences == 0) last = std::move(g_instance);
    }
    utility.reset();
    // `last` frees the instance here, outside the slot's lock, unless a caller still holds it.
}

std::shared_ptr<Utility> Utility::Instance() {
    std::lock_guard<std::mutex> guard(g_instanceMutex);
    if (g_instance == nullptr) g_instance.reset(new (std::nothrow) Utility(ServiceEnv()));
    return g_instance;
}

std::shared_ptr<Utility> Utility::Current() {
    std::lock_guard<std::mutex> guard(g_instanceMutex);
    return g_instance;
}

void Utility::DestroyInstance() {
    std::shared_ptr<Utility> instance;
    {
        std::lock_guard<std::mutex> guard(g_instanceMutex);
        if (g_serviceReferences == 0) instance = std::move(g_instance);
    }
}

Utility::Utility(gpslib::os::Env* env) : m_pEnv(env) {
    {
        gpslib::os::MutexLock lock(m_csSettings);
        m_system.mapPOIDirectory = u"\\CompactFlash\\maps";
        m_system.SetSettingsDirectory(u"\\CompactFlash\\settings");
    }
    ResetLogChecks();
    // The instance's own first look for resources, by this plain name; whether it is found is
    // not used (Start and the version queries load "GPSResources_EN.dll" themselves).
    LoadResources("GPSResource_EN.dll");
}

Utility::~Utility() = default;

settings::System Utility::SystemSettings() const {
    gpslib::os::MutexLock lock(m_csSettings);
    return m_system;
}
settings::Receiver Utility::ReceiverSettings() const {
    gpslib::os::MutexLock lock(m_csSettings);
    return m_receiver;
}
settings::Lookaround Utility::LookaroundSettings() const {
    gpslib::os::MutexLock lock(m_csSettings);
    return m_lookaround;
}
settings::Route Utility::RouteSettings(Mode mode) const {
    gpslib::os::MutexLock lock(m_csSettings);
    return mode == VirtualMode ? m_routeVirtual : m_routeGPS;
}
void Utility::SetSystemSettings(settings::System record) {
    {
        gpslib::os::MutexLock lock(m_csSettings);
        m_system = std::move(record);
    }
    ResetLogChecks();
}
void Utility::SetReceiverSettings(settings::Receiver record) {
    gpslib::os::MutexLock lock(m_csSettings);
    m_receiver = std::move(record);
}
void Utility::SetLookaroundSettings(settings::Lookaround record) {
    gpslib::os::MutexLock lock(m_csSettings);
    m_lookaround = std::move(record);
}
void Utility::SetRouteSettings(Mode mode, settings::Route record) {
    gpslib::os::MutexLock lock(m_csSettings);
    (mode == VirtualMode ? m_routeVirtual : m_routeGPS) = record;
}
void Utility::ChangeSystemSettings(const std::function<void(settings::System&)>& change) {
    gpslib::os::MutexLock lock(m_csSettings);
    change(m_system);
}
void Utility::ChangeReceiverSettings(const std::function<void(settings::Receiver&)>& change) {
    gpslib::os::MutexLock lock(m_csSettings);
    change(m_receiver);
}
void Utility::ChangeRouteSettings(Mode mode, const std::function<void(settings::Route&)>& change) {
    gpslib::os::MutexLock lock(m_csSettings);
    change(mode == VirtualMode ? m_routeVirtual : m_routeGPS);
}

std::u16string Utility::SettingsDirectory() const {
    gpslib::os::MutexLock lock(m_csSettings);
    return m_system.settingsDirectory;
}

std::u16string Utility::DebugDirectory() const {
    gpslib::os::MutexLock lock(m_csSettings);
    return m_system.debugDirectory;
}

Units Utility::CurrentUnits() const {
    gpslib::os::MutexLock lock(m_csSettings);
    return m_system.units;
}

bool Utility::ResourcesLoaded() const {
    std::shared_lock<std::shared_mutex> lock(m_csStrings);
    return m_strings.Loaded();
}

std::u16string Utility::GetString(int id) const {
    std::shared_lock<std::shared_mutex> lock(m_csStrings);
    return m_strings.Get(id);
}

std::u16string Utility::FormatString(int id, std::initializer_list<FormatArg> args) const {
    std::shared_lock<std::shared_mutex> lock(m_csStrings);
    return FormatText(m_strings.Get(id), args.begin(), args.size(), m_plurals.get());
}

std::string Utility::Language() const {
    std::shared_lock<std::shared_mutex> lock(m_csStrings);
    return m_language;
}

bool Utility::LoadResources(std::string_view path) {
    std::unique_lock<std::shared_mutex> lock(m_csStrings);
    m_strings.Unload();
    const std::string moduleDir = CoreModuleDir();
    std::string resolved(path);
    for (const std::string& dataDir : InstalledDataDirs(moduleDir)) {
        resolved = StringTable::Resolve(*m_pEnv, path, moduleDir, dataDir);
        if (resolved != path) break;
    }
    m_resourcesPath = resolved;
    const bool loaded = m_strings.Load(*m_pEnv, resolved, nullptr);
    // The rules follow the table's language; a table that names none is English, as the
    // tables were before they named their language.
    std::string language = gpslib::ToUtf8(std::u16string_view(m_strings.Get(ids::kLanguage)));
    if (language.empty()) language = "en";
    if (language != m_language || m_plurals == nullptr) {
        m_language = language;
        m_plurals = std::make_unique<PluralRules>(language);
    }
    return loaded;
}

std::string Utility::ResourcesPath() const {
    std::shared_lock<std::shared_mutex> lock(m_csStrings);
    return m_resourcesPath;
}

std::u16string Utility::GetOrdinalSuffix(int n) const {
    long long m = n < 0 ? -static_cast<long long>(n) : n;
    if (m % 100 >= 11 && m % 100 <= 13) return GetString(ids::kOrdinalTh);
    switch (m % 10) {
    case 1:
        return GetString(ids::kOrdinalSt);
    case 2:
        return GetString(ids::kOrdinalNd);
    case 3:
        return GetString(ids::kOrdinalRd);
    default:
        return GetString(ids::kOrdinalTh);
    }
}

bool Utility::SpellDecoratorsOn() const {
    gpslib::os::MutexLock lock(m_csSettings);
    return settings::On(m_system.includeSpellDecorators);
}

std::u16string Utility::AddSpellDecorators(std::u16string_view text) const {
    if (!SpellDecoratorsOn() || text.empty()) return std::u16string(text);
    return u"<<" + std::u16string(text) + u">>";
}

std::u16string Utility::RemoveSpellDecorators(std::u16string_view text) {
    std::size_t n = text.size();
    if (n < 2 || n > 1025) return std::u16string(text);
    std::u16string out;
    std::size_t i = 0;
    while (i + 1 < n) {
        if ((text[i] == u'<' && text[i + 1] == u'<') || (text[i] == u'>' && text[i + 1] == u'>')) {
            i += 2;
            continue;
        }
        out.push_back(text[i++]);
    }
    if (i == n - 1 && text[n - 1] != u'>') out.push_back(text[n - 1]);
    return out;
}

std::u16string Utility::ForDisplay(std::u16string_view text) const {
    return AddSpellDecorators(text);
}

std::u16string Utility::ForStorage(std::u16string_view text) const {
    return SpellDecoratorsOn() ? RemoveSpellDecorators(text) : std::u16string(text);
}

void Utility::Log(std::string_view text) const {
    LogWrite(*m_pEnv, DebugDirectory(), text, true, true);
}

void Utility::TraceAndLog(std::string_view text) const {
    m_pEnv->DebugOutput(std::string(text) + "\n");
    Log(text);
}

} // namespace gpscore
