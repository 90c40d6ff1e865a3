// The process-wide services every part of the core uses: the settings records, the spoken
// texts of the string resources (looked up by number), and the diagnostic log.
#ifndef GPSCORE_BASE_UTILITY_H_
#define GPSCORE_BASE_UTILITY_H_

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>

#include "base/FormatText.h"
#include "base/SettingsRecords.h"
#include "os/sync.h"
#include "resources/StringTable.h"

namespace gpslib::os {
class Env;
}

namespace gpscore {

class PluralRules;

// The process-wide log writer: one line per call, appended to <directory>/gpsDebug.txt.
// Whether the directory exists is checked once for the life of the process (the check is
// cleared by ResetLogChecks, which a new settings directory triggers, and made again for a line
// to another directory). Nothing is buffered. A log grown past 8 MiB is moved aside to
// gpsDebug.old.txt before the line is written.
void LogWrite(gpslib::os::Env& env, std::u16string_view directory, std::string_view text,
              bool withTime, bool withDate);
void ResetLogChecks();

// One instance per process, shared by its services. Each service that uses it holds a counted
// service reference (AcquireForService, ReleaseForService); when the last one lets go the
// process slot is emptied, so that one service's Stop ends the instance as it always did, while
// a second service never loses what it still uses. A caller outside the services (a value
// object) holds a plain reference for the length of its call, so the object outlives a Stop
// that happens meanwhile.
class Utility {
public:
    // The instance for a service, created in `env` when the process has none.
    static std::shared_ptr<Utility> AcquireForService(gpslib::os::Env* env);
    // Gives up a service reference and empties `utility`.
    static void ReleaseForService(std::shared_ptr<Utility>& utility);
    // The instance, created on first use in the services' platform; null only when it cannot
    // be created. For value objects, which belong to no service.
    static std::shared_ptr<Utility> Instance();
    // The instance if there is one.
    static std::shared_ptr<Utility> Current();
    // Empties the process slot unless a service holds the instance (the last core's goodbye).
    static void DestroyInstance();

    ~Utility();
    Utility(const Utility&) = delete;
    Utility& operator=(const Utility&) = delete;

    // The settings records. Services on other threads read and change them, so each is read
    // as a copy and replaced or changed under the settings lock. The system settings start with
    // the default map and settings folders; the others with a new record's defaults.
    settings::System SystemSettings() const;
    settings::Receiver ReceiverSettings() const;
    settings::Lookaround LookaroundSettings() const;
    settings::Route RouteSettings(Mode mode) const;
    // A new system record may name another debug directory: the log checks it again.
    void SetSystemSettings(settings::System record);
    void SetReceiverSettings(settings::Receiver record);
    void SetLookaroundSettings(settings::Lookaround record);
    void SetRouteSettings(Mode mode, settings::Route record);
    // Changes a record in place under the settings lock; `change` calls nothing outside it.
    void ChangeSystemSettings(const std::function<void(settings::System&)>& change);
    void ChangeReceiverSettings(const std::function<void(settings::Receiver&)>& change);
    void ChangeRouteSettings(Mode mode, const std::function<void(settings::Route&)>& change);
    gpslib::os::Env& Env() const { return *m_pEnv; }
    // The settings directory and the debug directory of the system settings.
    std::u16string SettingsDirectory() const;
    std::u16string DebugDirectory() const;
    Units CurrentUnits() const;

    // --- String resources
    // Unloads the current table and loads the module at `path` (a plain name is searched next
    // to the core module, then in the installed data folder).
    bool LoadResources(std::string_view path);
    bool ResourcesLoaded() const;
    // The path of the module the last LoadResources read (the plain name resolved), for the
    // map engine, which reads the same module.
    std::string ResourcesPath() const;
    // The text of resource `id`; empty without resources or for an unknown id.
    std::u16string GetString(int id) const;
    // The text of resource `id` used as a format (see FormatText), its plural choices by the
    // rules of the table's language.
    std::u16string FormatString(int id, std::initializer_list<FormatArg> args) const;
    // The language tag the loaded table names ("en" when it names none or none is loaded).
    std::string Language() const;
    // "st", "nd", "rd" or "th" for n, from the resources.
    std::u16string GetOrdinalSuffix(int n) const;

    // --- Spelled names, governed by the IncludeSpellDecorators setting
    std::u16string AddSpellDecorators(std::u16string_view text) const;
    static std::u16string RemoveSpellDecorators(std::u16string_view text);
    // Texts handed to the client, and texts about to be stored.
    std::u16string ForDisplay(std::u16string_view text) const;
    std::u16string ForStorage(std::u16string_view text) const;

    // --- Log
    // A line with date and time in the debug directory's log.
    void Log(std::string_view text) const;
    // The text and a line feed to the debugger output, then Log.
    void TraceAndLog(std::string_view text) const;

private:
    explicit Utility(gpslib::os::Env* env);
    bool SpellDecoratorsOn() const;

    gpslib::os::Env* const m_pEnv;
    mutable gpslib::os::Mutex m_csSettings;
    settings::System m_system GUARDED_BY(m_csSettings);
    settings::Receiver m_receiver GUARDED_BY(m_csSettings);
    settings::Lookaround m_lookaround GUARDED_BY(m_csSettings);
    settings::Route m_routeGPS GUARDED_BY(m_csSettings);
    settings::Route m_routeVirtual GUARDED_BY(m_csSettings);
    // Loaded by a service under its core lock and read by every service and value object, so
    // a load excludes the readers.
    mutable std::shared_mutex m_csStrings;
    StringTable m_strings;
    std::string m_resourcesPath;
    std::string m_language;
    std::unique_ptr<PluralRules> m_plurals;
};

} // namespace gpscore

#endif // GPSCORE_BASE_UTILITY_H_
