// The process-wide services every part of the core uses: the settings objects, the spoken
// texts of the string resources (looked up by number), and the diagnostic log.
#ifndef GPSCORE_CORE_UTILITY_H_
#define GPSCORE_CORE_UTILITY_H_

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

#include "GPSLib_classes.h"
#include "resources/StringTable.h"

namespace gpslib::os {
class Env;
}

namespace gpscore {

// One argument of a resource format: a number or a text.
using FormatArg = std::variant<std::int64_t, double, std::u16string_view>;

// Formats `format` printf-style (%d %i %u %ld %lu %x %c %f %.Nf %e %g %s %ls %S %%, with flags,
// width and precision) with `args` in order. A %s takes a text; the numeric conversions take a
// number (a text given for a number reads as 0, a number given for %s is printed as a number).
// Missing arguments print nothing. The result holds at most 1999 characters.
std::u16string FormatText(std::u16string_view format, const FormatArg* args, std::size_t count);
inline std::u16string FormatText(std::u16string_view format,
                                 std::initializer_list<FormatArg> args) {
    return FormatText(format, args.begin(), args.size());
}

// The process-wide log writer: one line per call, appended to <directory>/gpsDebug.txt.
// Whether the directory exists is checked once for the life of the process (the check is
// cleared by ResetLogChecks, which a new settings directory triggers). Nothing is buffered.
void LogWrite(std::u16string_view directory, std::string_view text, bool withTime, bool withDate);
void ResetLogChecks();

class Utility {
public:
    // The instance, created on first use; null only when it cannot be created.
    // REQUIRES: the caller holds its core lock (cores share the instance).
    static Utility* Instance();
    // The instance if there is one.
    static Utility* Current();
    // Frees the instance, its settings objects and its string resources.
    static void DestroyInstance();

    // The settings objects, each replaced whole by the settings readers.
    gpslib::ComPtr<ISystemSettingsObject>& SystemSettings() { return m_pSystemSettings; }
    gpslib::ComPtr<IGPSSettingsObject>& ReceiverSettings() { return m_pReceiverSettings; }
    gpslib::ComPtr<ILookaroundSettingsObject>& LookaroundSettings() {
        return m_pLookaroundSettings;
    }
    gpslib::ComPtr<IRouteSettingsObject>& RouteSettings(Mode mode) {
        return mode == VirtualMode ? m_pRouteSettingsVirtual : m_pRouteSettingsGPS;
    }
    // The settings directory and the debug directory of the system settings.
    std::u16string SettingsDirectory() const;
    std::u16string DebugDirectory() const;
    Units CurrentUnits() const;

    // --- String resources
    // Unloads the current table and loads the module at `path` (a plain name is searched next
    // to the core module, then in the installed data folder).
    bool LoadResources(std::string_view path);
    bool ResourcesLoaded() const { return m_strings.Loaded(); }
    // The text of resource `id`; empty without resources or for an unknown id.
    std::u16string GetString(int id) const { return m_strings.Get(id); }
    // The text of resource `id` used as a format (see FormatText).
    std::u16string FormatString(int id, std::initializer_list<FormatArg> args) const {
        return FormatText(GetString(id), args);
    }
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
    Utility();
    ~Utility();
    bool SpellDecoratorsOn() const;

    gpslib::ComPtr<ISystemSettingsObject> m_pSystemSettings;
    gpslib::ComPtr<IGPSSettingsObject> m_pReceiverSettings;
    gpslib::ComPtr<ILookaroundSettingsObject> m_pLookaroundSettings;
    gpslib::ComPtr<IRouteSettingsObject> m_pRouteSettingsGPS;
    gpslib::ComPtr<IRouteSettingsObject> m_pRouteSettingsVirtual;
    StringTable m_strings;
};

} // namespace gpscore

#endif // GPSCORE_CORE_UTILITY_H_
