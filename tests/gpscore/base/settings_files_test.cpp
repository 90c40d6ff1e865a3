// The four settings files: exact text written from the records, the reading rules (versions,
// defaults, malformed fields, limits), the path rule, files that must be ignored, writes that
// fail part-way, and the writer's decisions ("|" in texts, texts too long for the read limit,
// reals the reader could not take back).
#include <gpslib/registry.h>
#include <gpslib/support.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "base/SettingsFiles.h"
#include "base/SettingsObject.h"
#include "fake_env.h"
#include "fault_sweep.h"
#include "os/codepage.h"
#include "temp_dir.h"
#include "value.h"

namespace {

namespace gs = gpscore::settings;
using gpslib::Bstr;
using gpslib::ComPtr;
using gpslib::os::Status;
using gpslib::test::FakeEnv;
using gpslib::test::Fault;
using gpslib::test::ReadWholeFile;
using gpslib::test::TempDir;
using gpslib::test::Value;

enum class File { kSystem, kReceiver, kLookaround, kRoute };
constexpr File kFiles[] = {File::kSystem, File::kReceiver, File::kLookaround, File::kRoute};

std::string FileName(File file) {
    const std::u16string_view names[] = {gs::kSystemFileName, gs::kReceiverFileName,
                                         gs::kLookaroundFileName, gs::kRouteFileName};
    return gpslib::os::Utf16ToUtf8(names[static_cast<int>(file)]);
}

// The records of all four files, as the service holds them.
struct Held {
    gs::System system;
    gs::Receiver receiver;
    gs::Lookaround lookaround;
    gs::Route gpsMode, virtualMode;

    void Read(File file, gpslib::os::Env& env, std::u16string_view dir) {
        switch (file) {
        case File::kSystem:
            return gs::ReadSystemSettings(env, dir, system);
        case File::kReceiver:
            return gs::ReadReceiverSettings(env, dir, receiver);
        case File::kLookaround:
            return gs::ReadLookaroundSettings(env, dir, lookaround, u"All", u"Any");
        case File::kRoute:
            return gs::ReadRouteSettings(env, dir, gpsMode, virtualMode);
        }
    }
    bool Write(File file, gpslib::os::Env& env, std::u16string_view dir) const {
        switch (file) {
        case File::kSystem:
            return gs::WriteSystemSettings(env, dir, system);
        case File::kReceiver:
            return gs::WriteReceiverSettings(env, dir, receiver);
        case File::kLookaround:
            return gs::WriteLookaroundSettings(env, dir, lookaround);
        case File::kRoute:
            break;
        }
        return gs::WriteRouteSettings(env, dir, gpsMode, virtualMode);
    }
    bool operator==(const Held&) const = default;
};

std::string Utf16Le(std::u16string_view text) {
    std::string bytes;
    for (char16_t c : text)
        bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return bytes;
}

// A file's UTF-16LE text as UTF-8, for readable comparisons.
std::string FileText(const std::string& path) {
    const std::string bytes = ReadWholeFile(path);
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      static_cast<unsigned char>(bytes[i + 1]) << 8);
    return gpslib::os::Utf16ToUtf8(text);
}

std::string Show(std::u16string_view text) {
    return gpslib::os::Utf16ToUtf8(text);
}

// The text up to field `n` (fields counted from 0, the version), and the text with field `n`
// replaced.
std::u16string Prefix(const std::u16string& text, int n) {
    std::size_t at = 0;
    for (int i = 0; i < n; ++i)
        at = text.find(u'|', at) + 1;
    return text.substr(0, at);
}
std::u16string With(const std::u16string& text, int n, const std::u16string& value) {
    const std::u16string head = Prefix(text, n);
    return head + value + text.substr(text.find(u'|', head.size()));
}

void PutFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class SettingsFiles : public ::testing::Test {
protected:
    std::string PathOf(File file) const { return m_dir.File(FileName(file)); }
    // The file written from what was read from `bytes`.
    std::string Reread(File file, const std::string& bytes) {
        PutFile(PathOf(file), bytes);
        Held held;
        held.Read(file, m_env, m_dir16);
        EXPECT_TRUE(held.Write(file, m_env, m_dir16));
        return FileText(PathOf(file));
    }

    TempDir m_dir;
    FakeEnv m_env;
    std::u16string m_dir16 = gpslib::os::Utf8ToUtf16(m_dir.path());
};

// Fields 12 to 24 of the system file at their defaults.
const std::u16string kSavedDefaults = u"||-1|0.0000000000000|0.0000000000000|||0.0000000000000|"
                                      u"0.0000000000000|0|0|0|1|";
// Every field differs from its default.
const std::u16string kSystemFull = u"8|80|1|1|2|0|/maps/town|0|20|0|Ann|Home|Main St|90|"
                                   u"48.8566000000000|2.3522000000000|Dest|Desc|1.5000000000000|"
                                   u"-2.2500000000000|1|1|2|0|";
const std::u16string kReceiverFull =
    u"3|Rx|9600|COM|3|2|/t.trc|1.5000000000000|-2.5000000000000|9|2|1.2000000000000|";
const std::u16string kLookaroundFull = u"9|0|0|0|0|Food|3|Cafe|3|7|20|1|0|0|0|5|30|60|0|1|0|";
const std::u16string kRouteFull = u"1|0|0|1|0|2|2|1|0|1|0|";
const std::u16string* const kFullTexts[] = {&kSystemFull, &kReceiverFull, &kLookaroundFull,
                                            &kRouteFull};
// What a file holding only its version reads as.
const std::u16string kSystemDefaults =
    u"8|50|0|0|1|1|\\CompactFlash\\maps|1|12|1||" + kSavedDefaults;
const std::u16string kReceiverDefaults =
    u"3||4800|BSP|1|0||0.0000000000000|0.0000000000000|5|1|1.8030000000000|";

// Held records read from files in which every field differs from its default.
Held Full(gpslib::os::Env& env) {
    TempDir dir;
    Held held;
    for (File file : kFiles) {
        PutFile(dir.File(FileName(file)), Utf16Le(*kFullTexts[static_cast<int>(file)]));
        held.Read(file, env, gpslib::os::Utf8ToUtf16(dir.path()));
    }
    return held;
}

// Every field of every file is read into its place and written back in table order.
TEST_F(SettingsFiles, EveryFieldRoundTrips) {
    const Held held = Full(m_env);
    for (File file : kFiles) {
        ASSERT_TRUE(held.Write(file, m_env, m_dir16));
        const std::u16string& text = *kFullTexts[static_cast<int>(file)];
        EXPECT_EQ(FileText(PathOf(file)), Show(text));
        EXPECT_EQ(ReadWholeFile(PathOf(file)), Utf16Le(text)); // No byte-order mark.
    }
    // A few fields of the records, so that a reader and writer wrong the same way show.
    EXPECT_EQ(held.system.poiAuthor, u"Ann");
    EXPECT_EQ(held.receiver.portNumber, 3);
    EXPECT_NE(held.gpsMode.forceSequential, 0);
    EXPECT_EQ(held.virtualMode.forceSequential, 0);
}

// A file read and written again shows which fields were taken from it and which took a
// default, and how malformed fields read.
TEST_F(SettingsFiles, ReadingRules) {
    const std::u16string sys = kSystemFull.substr(1); // Without the version.
    const std::u16string look = kLookaroundFull.substr(1, kLookaroundFull.size() - 5);
    const std::u16string noSeparator = kSystemFull.substr(0, kSystemFull.size() - 1);
    const struct {
        const char* what;
        File file;
        std::u16string input, expected;
        const char* oddByte = nullptr;
    } rows[] = {
        {"system v3: fields up to 11", File::kSystem, u"3" + sys,
         Prefix(kSystemFull, 11) + kSavedDefaults},
        {"system v99: all", File::kSystem, u"99" + sys, kSystemFull},
        {"system: malformed version reads 0, not even the map folder's file default", File::kSystem,
         u"v8" + sys, With(kSystemDefaults, 6, u"")},
        {"system: version without separator", File::kSystem, u"8", kSystemDefaults},
        {"route v2 ignored", File::kRoute, u"2" + kRouteFull.substr(1), u"1|1|1|0|1|1|1|1|0|1|1|"},
        {"route: GPS part only", File::kRoute, u"1|0|0|1|0|2|", u"1|0|0|1|0|2|1|1|0|1|1|"},
        {"lookaround v8: field 20 missing reads true", File::kLookaround, u"8" + look,
         u"9" + look + u"1|2|"},
        {"lookaround v7: field 20 keeps false", File::kLookaround, u"7" + look,
         u"9" + look + u"0|2|"},
        {"lookaround: names from the caller", File::kLookaround, u"9|",
         u"9|1|1|1|1|All|0|Any|0|0|10|0|1|1|1|0|50|12|1|1|2|"},
        {"lookaround: setter rules and no enum range check", File::kLookaround,
         u"9|1|1|1|1|A|0|B|0|0|10|0|1|1|1|99|-4|1|",
         u"9|1|1|1|1|A|0|B|0|0|10|0|1|1|1|99|0|5|1|1|2|"},
        {"receiver v1: later fields keep their defaults", File::kReceiver,
         u"1|Rx|9600|COM|3|2|/t.trc|1.5|-2.5|9|2|1.2|",
         Prefix(kReceiverFull, 9) + u"5|1|1.8030000000000|"},
        {"last separator missing", File::kSystem, noSeparator, With(kSystemFull, 23, u"1")},
        {"odd byte ignored", File::kSystem, kSystemFull, kSystemFull, "Z"},
        {"odd byte is half a separator", File::kSystem, u"8|50|1|1|0",
         With(With(kSystemDefaults, 2, u"1"), 3, u"1"), "|"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(Reread(row.file, Utf16Le(row.input) + (row.oddByte ? row.oddByte : "")),
                  Show(row.expected));
    }
}

// One field of a file otherwise holding defaults: booleans take their first character; integers
// their leading digits and minus sign, at most 19 characters, saturating; reals their leading
// digits, sign and point, at most 29 characters.
TEST_F(SettingsFiles, MalformedFields) {
    const std::u16string zeros18(18, u'0'), zeros27(27, u'0');
    const struct {
        File file;
        int field;
        std::u16string input, read;
    } rows[] = {
        {File::kSystem, 2, u"10", u"1"},
        {File::kSystem, 3, u"2", u"0"},
        {File::kSystem, 3, u"1x", u"1"},
        {File::kReceiver, 2, u"12abc", u"12"},
        {File::kReceiver, 2, u"--4", u"0"},
        {File::kReceiver, 2, zeros18 + u"12345", u"1"},
        {File::kReceiver, 2, u"9999999999999999999", u"2147483647"},
        {File::kReceiver, 2, u"-99999999999", u"-2147483648"},
        {File::kReceiver, 4, u"70000", u"32767"}, // A 16-bit field.
        {File::kReceiver, 7, u"-0.25x", u"-0.2500000000000"},
        {File::kReceiver, 7, u"1.2.3", u"1.2000000000000"},
        {File::kReceiver, 7, u"1e5", u"1.0000000000000"},
        {File::kReceiver, 7, u"nan", u"0.0000000000000"},
        {File::kReceiver, 7, zeros27 + u"1.5", u"1.0000000000000"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Show(row.input));
        const std::u16string& defaults =
            row.file == File::kSystem ? kSystemDefaults : kReceiverDefaults;
        EXPECT_EQ(Reread(row.file, Utf16Le(Prefix(defaults, row.field) + row.input + u"|")),
                  Show(With(defaults, row.field, row.read)));
    }
}

// Route booleans missing from a version 1 file read as -1; a new record and object hold 1.
TEST_F(SettingsFiles, RouteTrueDefaultsDifferOnReading) {
    PutFile(PathOf(File::kRoute), Utf16Le(u"1|0|0|1|0|2|"));
    Held held;
    held.Read(File::kRoute, m_env, m_dir16);
    EXPECT_EQ(held.virtualMode.autoIncrement, VARIANT_TRUE);
    EXPECT_EQ(held.virtualMode.numbering, VARIANT_TRUE);
    EXPECT_EQ(gs::Route().numbering, 1);
    ComPtr<IRouteSettingsObject> fresh;
    ASSERT_EQ(gpslib::CreateObject(CLSID_RouteSettingsObject, IID_IRouteSettingsObject, &fresh),
              S_OK);
    EXPECT_EQ(Value(fresh.Get(), &IRouteSettingsObject::IsWaypointNumberingOn), 1);
}

// Missing, empty, oversized or unreadable files keep the held records; the system file then
// only moves the settings directory, keeping the debug directory.
TEST_F(SettingsFiles, FilesThatAreIgnoredKeepTheHeldRecords) {
    std::u16string fits = u"8|50|0|0|1|1|";
    fits += std::u16string(gs::kMaxFileBytes / 2 - 1 - fits.size() - 1, u'm') + u"|";
    ASSERT_EQ(fits.size() * 2, gs::kMaxFileBytes - 2);
    const std::u16string fills = fits.substr(0, fits.size() - 1) + u"m|";
    const struct {
        const char* what;
        std::string bytes; // Written unless `missing`.
        bool missing, readFault, directory, read;
    } rows[] = {
        {"missing", "", true, false, false, false},
        {"empty", "", false, false, false, false},
        {"one byte", "8", false, false, false, false},
        {"500 characters", Utf16Le(fills), false, false, false, false},
        {"read fails", Utf16Le(kSystemFull), false, true, false, false},
        {"a directory", "", false, false, true, false},
        {"499 characters are read", Utf16Le(fits), false, false, false, true},
    };
    for (File file : kFiles) {
        for (const auto& row : rows) {
            SCOPED_TRACE(FileName(file) + ": " + row.what);
            TempDir dir;
            const std::string path = dir.File(FileName(file));
            if (row.directory)
                ASSERT_TRUE(m_env.CreateDir(path).ok());
            else if (!row.missing)
                PutFile(path, row.bytes);
            Held held = Full(m_env);
            held.system.SetSettingsDirectory(u"\\CompactFlash\\settings");
            Held before = held;
            if (row.readFault) m_env.FailNth(FakeEnv::Op::kRead, 1, Status::IOError("fault"));
            held.Read(file, m_env, gpslib::os::Utf8ToUtf16(dir.path()));
            m_env.ClearFaults();
            if (file == File::kSystem && !row.read) {
                EXPECT_EQ(Show(held.system.settingsDirectory), dir.path());
                EXPECT_EQ(Show(held.system.debugDirectory), "\\CompactFlash\\settings/Debug");
                before.system.settingsDirectory = held.system.settingsDirectory;
            }
            EXPECT_EQ(held == before, !row.read);
        }
    }
    // A file that is read gives the record the directory through the setter, which derives
    // the debug directory.
    Held none;
    PutFile(PathOf(File::kSystem), Utf16Le(kSystemFull));
    none.Read(File::kSystem, m_env, m_dir16 + u"/");
    EXPECT_EQ(Show(none.system.debugDirectory), m_dir.path() + "/Debug");
}

TEST_F(SettingsFiles, PathRule) {
    const struct {
        std::u16string directory;
        std::string path;
    } rows[] = {
        {u"/a/b", "/a/b/GPSSystemSettings.inf"},
        {u"/a/b/", "/a/b/GPSSystemSettings.inf"},
        {u"\\a\\b\\", "\\a\\b\\GPSSystemSettings.inf"},
        {u"\\a\\b", "\\a\\b/GPSSystemSettings.inf"},
        {u"", "/GPSSystemSettings.inf"},
        {u"/caf\u00E9", "/caf\xC3\xA9/GPSSystemSettings.inf"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(gs::SettingsFilePath(row.directory, gs::kSystemFileName), row.path);
}

// Every write, sync and rename a settings write makes fails in turn (a crash at that point
// leaves the same state): the write answers false, the previous file stays whole and no
// temporary file is left behind.
TEST_F(SettingsFiles, AFaultAnywhereInAWriteKeepsThePreviousFile) {
    const Held changed = Full(m_env);
    for (File file : kFiles) {
        SCOPED_TRACE(FileName(file));
        TempDir dir;
        const std::u16string dir16 = gpslib::os::Utf8ToUtf16(dir.path());
        Held defaults;
        defaults.Read(file, m_env, dir16); // No file: objects with their defaults.
        ASSERT_TRUE(defaults.Write(file, m_env, dir16));
        const std::string previous = ReadWholeFile(dir.File(FileName(file)));
        bool written = false;
        const int runs = gpslib::test::SweepFaults(
            m_env,
            {.prepare = [&] { PutFile(dir.File(FileName(file)), previous); },
             .run = [&] { written = changed.Write(file, m_env, dir16); },
             .check =
                 [&](const Fault& fault) {
                     EXPECT_EQ(written, !fault);
                     EXPECT_EQ(ReadWholeFile(dir.File(FileName(file))),
                               fault ? previous : Utf16Le(*kFullTexts[static_cast<int>(file)]));
                     std::vector<std::string> names;
                     ASSERT_TRUE(m_env.GetChildren(dir.path(), &names).ok());
                     EXPECT_EQ(names, std::vector<std::string>{FileName(file)});
                 }});
        EXPECT_GE(runs, 3) << "a write, a sync and a rename at least";
    }
}

// Without a settings directory there are no settings files.
TEST_F(SettingsFiles, NoDirectoryWritesNothing) {
    const Held changed = Full(m_env);
    for (File file : kFiles)
        EXPECT_FALSE(changed.Write(file, m_env, u""));
    std::vector<std::string> names;
    ASSERT_TRUE(m_env.GetChildren(m_dir.path(), &names).ok());
    EXPECT_TRUE(names.empty());
}

// A "|" in a text would shift every later field: it is written as a broken bar. "%.13f" of a real
// the reader cannot take back would read as something else: it is written as 0.
TEST_F(SettingsFiles, BarsInTextsAndRealsTheReaderCannotTakeBack) {
    Held held = Full(m_env);
    held.system.poiAuthor = u"A|B";
    held.receiver.portName = u"|";
    held.receiver.lastLatitude = std::numeric_limits<double>::quiet_NaN();
    held.receiver.lastLongitude = 1e20;
    held.receiver.inertialUserHeight = -999999999999999.0; // Fits: 1e15 does not.
    ASSERT_TRUE(held.Write(File::kSystem, m_env, m_dir16));
    ASSERT_TRUE(held.Write(File::kReceiver, m_env, m_dir16));
    EXPECT_EQ(FileText(PathOf(File::kSystem)), Show(With(kSystemFull, 10, u"A\u00A6B")));
    EXPECT_EQ(FileText(PathOf(File::kReceiver)),
              "3|Rx|9600|\xC2\xA6|3|2|/t.trc|0.0000000000000|0.0000000000000|9|2|"
              "-999999999999999.0000000000000|");
}

// Texts too long for the read limit are cut to one common length, so the file stays readable
// and every number and every shorter text survives.
TEST_F(SettingsFiles, LongTextsAreShortenedToKeepTheFileReadable) {
    Held held = Full(m_env);
    std::u16string author;
    for (int i = 0; i < 350; ++i)
        author += u"\U0001F600"; // 700 code units.
    held.system.poiAuthor = author;
    held.system.saved.destinationDescription = std::u16string(300, u'd');
    ASSERT_TRUE(held.Write(File::kSystem, m_env, m_dir16));
    const std::size_t size = ReadWholeFile(PathOf(File::kSystem)).size();
    EXPECT_LT(size, gs::kMaxFileBytes);
    EXPECT_GT(size, gs::kMaxFileBytes - 8);

    Held read;
    read.Read(File::kSystem, m_env, m_dir16);
    const std::u16string& readAuthor = read.system.poiAuthor;
    const auto& saved = read.system.saved;
    EXPECT_EQ(readAuthor.size() % 2, 0u); // No surrogate pair cut in half.
    EXPECT_EQ(author.compare(0, readAuthor.size(), readAuthor), 0);
    EXPECT_GE(saved.destinationDescription.size(), readAuthor.size());
    EXPECT_LE(saved.destinationDescription.size(), readAuthor.size() + 1);
    EXPECT_EQ(saved.destinationName, u"Dest");
    EXPECT_FALSE(saved.virtualMarker);
}

// The object a client gets takes every field and the settings directory, but leaves the saved
// virtual walker and destination behind; read back, it gives the same record.
TEST_F(SettingsFiles, TheClientsObjectLeavesTheSavedWalkerAndDestinationBehind) {
    Held full = Full(m_env);
    full.system.SetSettingsDirectory(u"/home/s");
    ComPtr<ISystemSettingsObject> object;
    ASSERT_TRUE(SUCCEEDED(
        gpslib::CreateObject(CLSID_SystemSettingsObject, IID_ISystemSettingsObject, &object)));
    gs::ToObject(full.system, object.Get());
    Held copy;
    gs::FromObject(object.Get(), copy.system);
    ASSERT_TRUE(copy.Write(File::kSystem, m_env, m_dir16));
    EXPECT_EQ(FileText(PathOf(File::kSystem)),
              Show(Prefix(kSystemFull, 11) + u"||-1|0.0000000000000|0.0000000000000|||"
                                             u"0.0000000000000|0.0000000000000|0|1|2|0|"));
    EXPECT_EQ(copy.system.settingsDirectory, u"/home/s");
    EXPECT_EQ(copy.system.debugDirectory, u"/home/s/Debug");
    // Every other kind comes back whole.
    ComPtr<IGPSSettingsObject> receiver;
    ComPtr<ILookaroundSettingsObject> lookaround;
    ComPtr<IRouteSettingsObject> route;
    ASSERT_EQ(gpslib::CreateObject(CLSID_GPSSettingsObject, IID_IGPSSettingsObject, &receiver),
              S_OK);
    ASSERT_EQ(gpslib::CreateObject(CLSID_LookaroundSettingsObject, IID_ILookaroundSettingsObject,
                                   &lookaround),
              S_OK);
    ASSERT_EQ(gpslib::CreateObject(CLSID_RouteSettingsObject, IID_IRouteSettingsObject, &route),
              S_OK);
    gs::ToObject(full.receiver, receiver.Get());
    gs::ToObject(full.lookaround, lookaround.Get());
    gs::ToObject(full.gpsMode, route.Get());
    gs::FromObject(receiver.Get(), copy.receiver);
    gs::FromObject(lookaround.Get(), copy.lookaround);
    EXPECT_EQ(gs::FromObject(route.Get(), copy.gpsMode), S_OK);
    EXPECT_EQ(copy.receiver, full.receiver);
    EXPECT_EQ(copy.lookaround, full.lookaround);
    EXPECT_EQ(copy.gpsMode, full.gpsMode);
}

} // namespace
