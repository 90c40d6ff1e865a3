// The four settings files of the service: the system, receiver, lookaround and route settings,
// each the serialised form of one settings record (two for the route settings), read at start
// and rewritten whole when the settings change. The formats and their field tables are in
// docs/settings-files.md; this is their only reader and writer. The same field tables copy the
// records to and from the settings objects a client sees (base/SettingsObject.h).
//
// Every file is UTF-16LE text without a byte-order mark: fields, each followed by "|", the
// first being the format version.
#ifndef GPSCORE_BASE_SETTINGSFILES_H_
#define GPSCORE_BASE_SETTINGSFILES_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "base/SettingsRecords.h"
#include "os/env.h"

namespace gpscore::settings {

inline constexpr std::u16string_view kSystemFileName = u"GPSSystemSettings.inf";
inline constexpr std::u16string_view kReceiverFileName = u"GPSReceiverSettings.inf";
inline constexpr std::u16string_view kLookaroundFileName = u"GPSLookaroundSettings.inf";
inline constexpr std::u16string_view kRouteFileName = u"GPSRouteSettings.inf";

// The versions the writers write. The route file is read only when its version is exactly 1.
inline constexpr int kSystemVersion = 8;
inline constexpr int kReceiverVersion = 3;
inline constexpr int kLookaroundVersion = 9;
inline constexpr int kRouteVersion = 1;

// A file is read with one read of at most this many bytes; a file that fills it is ignored.
// The writers keep every file below it (see docs/settings-files.md).
inline constexpr std::size_t kMaxFileBytes = 1000;

// A string field's "|" is written as this character (U+00A6 BROKEN BAR), since the format has no
// escaping and a "|" would shift every later field on the next read.
inline constexpr char16_t kSeparatorStandIn = u'\u00A6';

// The file's path (UTF-8): `directory`, then "/" unless it already ends in "/" or "\\", then the
// file name. The platform layer treats "\\" as a separator too.
std::string SettingsFilePath(std::u16string_view directory, std::u16string_view fileName);

// --- Reading (at start). Each reads its file from `directory` into the held record(s). A file
// that is read replaces the record whole: fields its version lacks take a new record's defaults.
// A missing, unreadable or oversized file (or one whose content is empty) keeps the held record.
// Nothing is reported.

// A file that is read gives the record `directory` through SetSettingsDirectory, which derives
// the debug directory; otherwise only the settings directory becomes `directory` and the debug
// directory stays as it was.
void ReadSystemSettings(gpslib::os::Env& env, std::u16string_view directory, System& held);
void ReadReceiverSettings(gpslib::os::Env& env, std::u16string_view directory, Receiver& held);
// The two names are the texts the category and subcategory names take when the file lacks them
// (strings AllCategories and AllSubcategories, looked up by the caller).
void ReadLookaroundSettings(gpslib::os::Env& env, std::u16string_view directory, Lookaround& held,
                            std::u16string_view defaultCategoryName,
                            std::u16string_view defaultSubCategoryName);
// One file holds both modes' settings.
void ReadRouteSettings(gpslib::os::Env& env, std::u16string_view directory, Route& gpsMode,
                       Route& virtualMode);

// --- Writing. Each rewrites its file from the record(s) atomically (a temporary file renamed
// over it), so a failure or a crash part-way leaves the previous file whole. Returns whether the
// file was written; false, with nothing written, without a settings directory. The caller
// reports nothing.
bool WriteSystemSettings(gpslib::os::Env& env, std::u16string_view directory,
                         const System& settings);
bool WriteReceiverSettings(gpslib::os::Env& env, std::u16string_view directory,
                           const Receiver& settings);
bool WriteLookaroundSettings(gpslib::os::Env& env, std::u16string_view directory,
                             const Lookaround& settings);
bool WriteRouteSettings(gpslib::os::Env& env, std::u16string_view directory, const Route& gpsMode,
                        const Route& virtualMode);

} // namespace gpscore::settings

#endif // GPSCORE_BASE_SETTINGSFILES_H_
