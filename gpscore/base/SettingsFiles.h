// The four settings files of the service: the system, receiver, lookaround and route settings,
// each the serialised form of one settings object (two for the route settings), read at start
// and rewritten whole when the settings change. The formats and their field tables are in
// docs/settings-files.md; this is their only reader and writer.
//
// Every file is UTF-16LE text without a byte-order mark: fields, each followed by "|", the
// first being the format version. Objects are created by class id, as everything the system
// hands out is, so these functions need the GPSLib classes to be creatable (the module itself,
// or a test that registers its classes in-process).
#ifndef GPSCORE_BASE_SETTINGSFILES_H_
#define GPSCORE_BASE_SETTINGSFILES_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "GPSLib_classes.h"
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

// --- Reading (at start). Each reads its file from `directory` and replaces the held object(s)
// with new ones holding the file's fields. A missing, unreadable or oversized file (or one whose
// content is empty) keeps the held object, creating one with its defaults when there is none.
// When a new object cannot be created, the held one stays. Nothing is reported.

// With an empty file the settings directory of the held object becomes `directory` directly and
// its debug directory stays as it was; otherwise the new object gets `directory` through
// SetSettingsDirectory, which derives its debug directory.
void ReadSystemSettings(gpslib::os::Env& env, std::u16string_view directory,
                        gpslib::ComPtr<ISystemSettingsObject>& current);
void ReadReceiverSettings(gpslib::os::Env& env, std::u16string_view directory,
                          gpslib::ComPtr<IGPSSettingsObject>& current);
// The two names are the texts the category and subcategory names take when the file lacks them
// (strings AllCategories and AllSubcategories, looked up by the caller).
void ReadLookaroundSettings(gpslib::os::Env& env, std::u16string_view directory,
                            gpslib::ComPtr<ILookaroundSettingsObject>& current,
                            std::u16string_view defaultCategoryName,
                            std::u16string_view defaultSubCategoryName);
// One file holds both modes' settings.
void ReadRouteSettings(gpslib::os::Env& env, std::u16string_view directory,
                       gpslib::ComPtr<IRouteSettingsObject>& gpsMode,
                       gpslib::ComPtr<IRouteSettingsObject>& virtualMode);

// --- Writing. Each rewrites its file from the object(s) atomically (a temporary file renamed
// over it), so a failure or a crash part-way leaves the previous file whole. Returns whether the
// file was written; false, with nothing written, for a null object. The caller reports nothing.
bool WriteSystemSettings(gpslib::os::Env& env, std::u16string_view directory,
                         ISystemSettingsObject* settings);
bool WriteReceiverSettings(gpslib::os::Env& env, std::u16string_view directory,
                           IGPSSettingsObject* settings);
bool WriteLookaroundSettings(gpslib::os::Env& env, std::u16string_view directory,
                             ILookaroundSettingsObject* settings);
bool WriteRouteSettings(gpslib::os::Env& env, std::u16string_view directory,
                        IRouteSettingsObject* gpsMode, IRouteSettingsObject* virtualMode);

// Every field the system settings file holds but the saved virtual walker and destination, and
// the settings directory, from one object to another; the saved side of the street and marker
// only between two objects of this module's class.
void CopySystemSettings(ISystemSettingsObject* from, ISystemSettingsObject* to);

// Every field the lookaround settings file holds, from one object to another; the category and
// subcategory names only between two objects of this module's class.
void CopyLookaroundSettings(ILookaroundSettingsObject* from, ILookaroundSettingsObject* to);

// Every field the receiver settings file holds, from one object to another.
void CopyReceiverSettings(IGPSSettingsObject* from, IGPSSettingsObject* to);

} // namespace gpscore::settings

#endif // GPSCORE_BASE_SETTINGSFILES_H_
