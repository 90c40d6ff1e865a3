// The four settings files: exact text written from objects, the reading rules (versions,
// defaults, malformed fields, limits), the path rule, files that must be ignored, writes that
// fail part-way, and the writer's decisions ("|" in texts, texts too long for the read limit,
// reals the reader could not take back).
#include <gpslib/registry.h>
#include <gpslib/support.h>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "core/SettingsFiles.h"
#include "core/SystemSettingsObject.h"
#include "fake_env.h"
#include "orientation/LookaroundSettingsObject.h"
#include "os/codepage.h"
#include "temp_dir.h"

namespace {

namespace gs = gpscore::settings;
using gpslib::Bstr;
using gpslib::ComPtr;
using gpslib::os::Status;
using gpslib::test::FakeEnv;
using gpslib::test::TempDir;

enum class File { kSystem, kReceiver, kLookaround, kRoute };

std::u16string_view FileName(File file) {
    switch (file) {
    case File::kSystem:
        return gs::kSystemFileName;
    case File::kReceiver:
        return gs::kReceiverFileName;
    case File::kLookaround:
        return gs::kLookaroundFileName;
    case File::kRoute:
        break;
    }
    return gs::kRouteFileName;
}

template <class I> ComPtr<I> New(REFCLSID clsid, REFIID iid) {
    ComPtr<I> object;
    EXPECT_EQ(gpslib::CreateObject(clsid, iid, &object), S_OK);
    return object;
}

// The objects of all four files, as the service holds them.
struct Held {
    ComPtr<ISystemSettingsObject> system;
    ComPtr<IGPSSettingsObject> receiver;
    ComPtr<ILookaroundSettingsObject> lookaround;
    ComPtr<IRouteSettingsObject> gpsMode, virtualMode;

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
            return gs::WriteSystemSettings(env, dir, system.Get());
        case File::kReceiver:
            return gs::WriteReceiverSettings(env, dir, receiver.Get());
        case File::kLookaround:
            return gs::WriteLookaroundSettings(env, dir, lookaround.Get());
        case File::kRoute:
            break;
        }
        return gs::WriteRouteSettings(env, dir, gpsMode.Get(), virtualMode.Get());
    }
    bool Has(File file) const {
        switch (file) {
        case File::kSystem:
            return bool(system);
        case File::kReceiver:
            return bool(receiver);
        case File::kLookaround:
            return bool(lookaround);
        case File::kRoute:
            break;
        }
        return gpsMode && virtualMode;
    }
};

std::string Utf16Le(std::u16string_view text) {
    std::string bytes;
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::u16string FileText(const std::string& path) {
    std::string bytes = FileBytes(path);
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      static_cast<unsigned char>(bytes[i + 1]) << 8);
    return text;
}

void PutFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string Show(std::u16string_view text) {
    return gpslib::os::Utf16ToUtf8(text);
}

class SettingsFiles : public ::testing::Test {
protected:
    std::string PathOf(File file) const { return m_dir.File(Show(FileName(file))); }

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
// After the receiver's baud rate, and after its last latitude, all at their defaults.
const std::u16string kAfterBaud = u"|BSP|1|0||0.0000000000000|0.0000000000000|5|1|1.8030000000000|";
const std::u16string kAfterLatitude = u"|0.0000000000000|5|1|1.8030000000000|";
// After the system file's booleans (fields 3 and 4) at the defaults of a file.
const std::u16string kAfterSystemBooleans = u"|1|1|\\CompactFlash\\maps|1|12|1||" + kSavedDefaults;

void SetEveryField(Held& held) {
    auto& s = held.system;
    s = New<ISystemSettingsObject>(CLSID_SystemSettingsObject, IID_ISystemSettingsObject);
    s->SetSettingsDirectory(Bstr(u"/not/stored").Get());
    s->SetArrivalDistance(Imperial, 80);
    s->SetIncludeSpellDecorators(1);
    s->SetStreetNamesDetailed(1);
    s->SetDefaultCompassDescriptions(Both);
    s->SetHeadingMode(ClockFace);
    s->SetMapPOIDirectory(Bstr(u"/maps/town").Get());
    s->SetUnits(Metric);
    s->SetArrivedNearThreshold(Imperial, 20);
    s->SetSearchOtherMapDirectories(0);
    s->SetPOIAuthor(Bstr(u"Ann").Get());
    s->SetVirtualSideOfStreetTracking(1);
    auto* impl = gpslib::ImplOf<CSystemSettingsObject>(s.Get());
    ASSERT_NE(impl, nullptr);
    impl->Saved() = {u"Home", u"Main St", 90,    48.8566, 2.3522, u"Dest",
                     u"Desc", 1.5,        -2.25, true,    2,      false};

    auto& r = held.receiver;
    r = New<IGPSSettingsObject>(CLSID_GPSSettingsObject, IID_IGPSSettingsObject);
    r->SetGPSReceiverName(Bstr(u"Rx").Get());
    r->SetGPSBaudRate(9600);
    r->SetGPSPortName(Bstr(u"COM").Get());
    r->SetGPSPortNumber(3);
    r->SetGPSReceiverType(GPSTypeBlueTooth);
    r->SetSimulatedGPSFile(Bstr(u"/t.trc").Get());
    r->SetGPSLastLatitude(1.5);
    r->SetGPSLastLongitude(-2.5);
    r->SetPedestrianHeadingAveragingSeconds(9);
    r->SetHeadingAveragingMode(BigCityHeadings);
    r->SetInertialReceiverUserHeight(1.2);

    auto& l = held.lookaround;
    l = New<ILookaroundSettingsObject>(CLSID_LookaroundSettingsObject,
                                       IID_ILookaroundSettingsObject);
    for (auto enable : {&ILookaroundSettingsObject::EnableLookaround,
                        &ILookaroundSettingsObject::EnableCommercialPOIs,
                        &ILookaroundSettingsObject::EnableUserPrivatePOIs,
                        &ILookaroundSettingsObject::EnableIntersections,
                        &ILookaroundSettingsObject::EnableStreetChanges,
                        &ILookaroundSettingsObject::EnableCityChanges,
                        &ILookaroundSettingsObject::EnableMapChanges})
        (l.Get()->*enable)(0);
    auto* limpl = gpslib::ImplOf<CLookaroundSettingsObject>(l.Get());
    ASSERT_NE(limpl, nullptr);
    limpl->SetCategoryNameToScanFor(u"Food");
    limpl->SetSubCategoryNameToScanFor(u"Cafe");
    ComPtr<IPOICategoryObject> category;
    ComPtr<IPOISubCategoryObject> subCategory;
    ASSERT_EQ(l->GetCommercialCategoryToScanFor(category.Put()), S_OK);
    ASSERT_EQ(l->GetCommercialSubCategoryToScanFor(subCategory.Put()), S_OK);
    category->SetCategoryNumber(3);
    subCategory->SetMainCategoryNumber(3);
    subCategory->SetSubCategoryNumber(7);
    l->SetStartDelayForLookaroundEvents(20);
    l->EnableTalkingLights(1);
    l->SetPOISearchDirection(DirectionAhead);
    l->SetIntersectionMaxSpeedForReporting(30);
    l->SetLookaroundReportingInterval(60);
    l->SetPOIIncludeTags(0);
    l->SetPOIIncludeDistanceDirection(1);
    l->SetRouteOptions(LookaroundRouteOnly);

    for (auto* route : {&held.gpsMode, &held.virtualMode})
        *route = New<IRouteSettingsObject>(CLSID_RouteSettingsObject, IID_IRouteSettingsObject);
    held.gpsMode->SetWaypointMode(WaypointModeAll);
    held.gpsMode->EnableAutoIncrementWaypointsWhenReached(0);
    held.gpsMode->EnableForceSequentialRouteFollowing(1);
    held.gpsMode->EnableWaypointNumbering(0);
    held.gpsMode->SetNumberingDescriptions(Both);
    held.virtualMode->SetWaypointMode(WaypointModeSystem);
    held.virtualMode->EnableForceSequentialRouteFollowing(0);
    held.virtualMode->SetNumberingDescriptions(Short);
}

// Every field changed from its default is written in table order, and reading the file back
// gives objects that write the same file again.
TEST_F(SettingsFiles, EveryFieldRoundTrips) {
    Held written;
    SetEveryField(written);
    const struct {
        File file;
        const std::u16string& text;
    } files[] = {{File::kSystem, kSystemFull},
                 {File::kReceiver, kReceiverFull},
                 {File::kLookaround, kLookaroundFull},
                 {File::kRoute, kRouteFull}};
    TempDir again;
    for (const auto& f : files) {
        SCOPED_TRACE(Show(FileName(f.file)));
        ASSERT_TRUE(written.Write(f.file, m_env, m_dir16));
        EXPECT_EQ(Show(FileText(PathOf(f.file))), Show(f.text));
        EXPECT_EQ(FileBytes(PathOf(f.file)), Utf16Le(f.text)); // No byte-order mark.

        Held read;
        read.Read(f.file, m_env, m_dir16);
        ASSERT_TRUE(read.Has(f.file));
        ASSERT_TRUE(read.Write(f.file, m_env, gpslib::os::Utf8ToUtf16(again.path())));
        EXPECT_EQ(Show(FileText(again.File(Show(FileName(f.file))))), Show(f.text));
    }
}

// A file read and written again shows which fields were taken from it and which took a
// default, and how malformed fields read.
TEST_F(SettingsFiles, ReadingRules) {
    const std::u16string sys = kSystemFull.substr(1); // Without the version.
    const std::u16string look = kLookaroundFull.substr(1, kLookaroundFull.size() - 5);
    const struct {
        const char* what;
        File file;
        std::u16string input, expected;
        const char* oddByte = nullptr;
    } rows[] = {
        // Versions.
        {"system v3: fields up to 11", File::kSystem, u"3" + sys,
         u"8|80|1|1|2|0|/maps/town|0|20|0|Ann|" + kSavedDefaults},
        {"system v99: all", File::kSystem, u"99" + sys, kSystemFull},
        {"system v0: none, not even the map folder's file default", File::kSystem, u"0" + sys,
         u"8|50|0|0|1|1||1|12|1||" + kSavedDefaults},
        {"system: malformed version reads 0", File::kSystem, u"v8" + sys,
         u"8|50|0|0|1|1||1|12|1||" + kSavedDefaults},
        {"system: version alone", File::kSystem, u"8|", u"8|50|0|0" + kAfterSystemBooleans},
        {"system: version without separator is 1", File::kSystem, u"8",
         u"8|50|0|0" + kAfterSystemBooleans},
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
         u"3|Rx|9600|COM|3|2|/t.trc|1.5000000000000|-2.5000000000000|5|1|1.8030000000000|"},
        // Booleans: only the first character counts.
        {"booleans 10 and 2", File::kSystem, u"8|50|10|2|", u"8|50|1|0" + kAfterSystemBooleans},
        {"booleans empty and 1x", File::kSystem, u"8|50||1x|", u"8|50|0|1" + kAfterSystemBooleans},
        // Integers: leading digits with a minus sign, at most 19 characters, saturating.
        {"integer 12abc", File::kReceiver, u"3||12abc|", u"3||12" + kAfterBaud},
        {"integer abc", File::kReceiver, u"3||abc|", u"3||0" + kAfterBaud},
        {"integer -42x", File::kReceiver, u"3||-42x|", u"3||-42" + kAfterBaud},
        {"integer --4", File::kReceiver, u"3||--4|", u"3||0" + kAfterBaud},
        {"integer 4-2", File::kReceiver, u"3||4-2|", u"3||4" + kAfterBaud},
        {"integer with leading space", File::kReceiver, u"3|| 7|", u"3||0" + kAfterBaud},
        {"integer: first 19 characters", File::kReceiver,
         u"3||" + std::u16string(18, u'0') + u"12345|", u"3||1" + kAfterBaud},
        {"integer: saturates at 32 bits", File::kReceiver, u"3||99999999999|",
         u"3||2147483647" + kAfterBaud},
        {"integer: 19 digits beyond 64 bits", File::kReceiver, u"3||9999999999999999999|",
         u"3||2147483647" + kAfterBaud},
        {"integer: negative saturates", File::kReceiver, u"3||-99999999999|",
         u"3||-2147483648" + kAfterBaud},
        {"integer: 16-bit field saturates", File::kReceiver, u"3||4800|BSP|70000|",
         u"3||4800|BSP|32767|0||0.0000000000000|0.0000000000000|5|1|1.8030000000000|"},
        // Reals: leading digits, sign and point, at most 29 characters.
        {"real -0.25x", File::kReceiver, u"3||4800|BSP|1|0||-0.25x|",
         u"3||4800|BSP|1|0||-0.2500000000000" + kAfterLatitude},
        {"real 1.2.3", File::kReceiver, u"3||4800|BSP|1|0||1.2.3|",
         u"3||4800|BSP|1|0||1.2000000000000" + kAfterLatitude},
        {"real without exponent", File::kReceiver, u"3||4800|BSP|1|0||1e5|",
         u"3||4800|BSP|1|0||1.0000000000000" + kAfterLatitude},
        {"real .5", File::kReceiver, u"3||4800|BSP|1|0||.5|",
         u"3||4800|BSP|1|0||0.5000000000000" + kAfterLatitude},
        {"real nan", File::kReceiver, u"3||4800|BSP|1|0||nan|",
         u"3||4800|BSP|1|0||0.0000000000000" + kAfterLatitude},
        {"real: first 29 characters", File::kReceiver,
         u"3||4800|BSP|1|0||" + std::u16string(27, u'0') + u"1.5|",
         u"3||4800|BSP|1|0||1.0000000000000" + kAfterLatitude},
        // Separators and odd lengths.
        {"last separator missing", File::kSystem, kSystemFull.substr(0, kSystemFull.size() - 1),
         kSystemFull.substr(0, kSystemFull.size() - 2) + u"1|"},
        {"separator missing mid-file", File::kSystem, u"8|80|1|1|2",
         u"8|80|1|1" + kAfterSystemBooleans},
        {"odd byte ignored", File::kSystem, kSystemFull, kSystemFull, "Z"},
        {"odd byte is half a separator", File::kSystem, u"8|50|1|1|0",
         u"8|50|1|1" + kAfterSystemBooleans, "|"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::string bytes = Utf16Le(row.input);
        if (row.oddByte != nullptr) bytes += row.oddByte;
        PutFile(PathOf(row.file), bytes);
        Held held;
        held.Read(row.file, m_env, m_dir16);
        ASSERT_TRUE(held.Has(row.file));
        ASSERT_TRUE(held.Write(row.file, m_env, m_dir16));
        EXPECT_EQ(Show(FileText(PathOf(row.file))), Show(row.expected));
    }
}

// Route booleans missing from a version 1 file read as -1; a new object holds 1.
TEST_F(SettingsFiles, RouteTrueDefaultsDifferOnReading) {
    PutFile(PathOf(File::kRoute), Utf16Le(u"1|0|0|1|0|2|"));
    Held held;
    held.Read(File::kRoute, m_env, m_dir16);
    ASSERT_TRUE(held.Has(File::kRoute));
    VARIANT_BOOL on = 0;
    held.virtualMode->IsAutoIncrementWaypointsWhenReachedOn(&on);
    EXPECT_EQ(on, VARIANT_TRUE);
    held.virtualMode->IsWaypointNumberingOn(&on);
    EXPECT_EQ(on, VARIANT_TRUE);
    held.gpsMode->IsForceSequentialRouteFollowingOn(&on);
    EXPECT_EQ(on, 1); // Read from the file.
    auto fresh = New<IRouteSettingsObject>(CLSID_RouteSettingsObject, IID_IRouteSettingsObject);
    fresh->IsWaypointNumberingOn(&on);
    EXPECT_EQ(on, 1);
}

BSTR Text(ISystemSettingsObject* s, HRESULT (ISystemSettingsObject::*get)(BSTR*), Bstr& keep) {
    (s->*get)(keep.Put());
    return keep.Get();
}

// Missing, empty, oversized or unreadable files keep the held objects; the system file then
// only moves the settings directory, keeping the debug directory.
TEST_F(SettingsFiles, FilesThatAreIgnoredKeepTheHeldObjects) {
    std::u16string fits = u"8|50|0|0|1|1|";
    fits += std::u16string(gs::kMaxFileBytes / 2 - 1 - fits.size() - 1, u'm') + u"|";
    ASSERT_EQ(fits.size() * 2, gs::kMaxFileBytes - 2);
    std::u16string fills = fits.substr(0, fits.size() - 1) + u"m|";
    const struct {
        const char* what;
        std::string bytes; // Written unless `missing`.
        bool missing, readFault, directory, read;
    } rows[] = {
        {"missing", "", true, false, false, false},
        {"empty", "", false, false, false, false},
        {"one byte", "8", false, false, false, false},
        {"500 characters", Utf16Le(fills), false, false, false, false},
        {"longer", Utf16Le(fills + fills), false, false, false, false},
        {"read fails", Utf16Le(kSystemFull), false, true, false, false},
        {"a directory", "", false, false, true, false},
        {"499 characters are read", Utf16Le(fits), false, false, false, true},
    };
    for (File file : {File::kSystem, File::kReceiver, File::kLookaround, File::kRoute}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(Show(FileName(file)) + ": " + row.what);
            TempDir dir;
            std::u16string dir16 = gpslib::os::Utf8ToUtf16(dir.path());
            std::string path = dir.File(Show(FileName(file)));
            if (row.directory)
                ASSERT_TRUE(m_env.CreateDir(path).ok());
            else if (!row.missing)
                PutFile(path, row.bytes);
            if (row.readFault) m_env.FailNth(FakeEnv::Op::kRead, 1, Status::IOError("fault"));
            Held held;
            SetEveryField(held);
            held.system->SetSettingsDirectory(Bstr(u"\\CompactFlash\\settings").Get());
            const Held before = held;
            held.Read(file, m_env, dir16);
            m_env.ClearFaults();
            bool kept = held.system.Get() == before.system.Get() &&
                        held.receiver.Get() == before.receiver.Get() &&
                        held.lookaround.Get() == before.lookaround.Get() &&
                        held.gpsMode.Get() == before.gpsMode.Get() &&
                        held.virtualMode.Get() == before.virtualMode.Get();
            EXPECT_EQ(kept, !row.read);
            if (file != File::kSystem || row.read) continue;
            Bstr keep;
            EXPECT_EQ(Show(gpslib::View(Text(held.system.Get(),
                                             &ISystemSettingsObject::GetSettingsDirectory, keep))),
                      dir.path());
            EXPECT_EQ(Show(gpslib::View(Text(held.system.Get(),
                                             &ISystemSettingsObject::GetDebugDirectory, keep))),
                      "\\CompactFlash\\settings/Debug");
        }
    }
    // With nothing held, objects with their defaults are created.
    Held none;
    for (File file : {File::kSystem, File::kReceiver, File::kLookaround, File::kRoute}) {
        none.Read(file, m_env, m_dir16);
        EXPECT_TRUE(none.Has(file));
    }
    Bstr keep;
    EXPECT_EQ(
        gpslib::View(Text(none.system.Get(), &ISystemSettingsObject::GetSettingsDirectory, keep)),
        m_dir16);
    EXPECT_EQ(
        gpslib::View(Text(none.system.Get(), &ISystemSettingsObject::GetDebugDirectory, keep)),
        u"");
}

// A file that is read gives the new system object the directory through its setter, which
// derives the debug directory.
TEST_F(SettingsFiles, SystemFileReadSetsTheDebugDirectory) {
    PutFile(PathOf(File::kSystem), Utf16Le(kSystemFull));
    Held held;
    held.Read(File::kSystem, m_env, m_dir16 + u"/");
    Bstr keep;
    EXPECT_EQ(Show(gpslib::View(
                  Text(held.system.Get(), &ISystemSettingsObject::GetDebugDirectory, keep))),
              m_dir.path() + "/Debug");
    auto* impl = gpslib::ImplOf<CSystemSettingsObject>(held.system.Get());
    ASSERT_NE(impl, nullptr);
    EXPECT_EQ(Show(impl->Saved().destinationDescription), "Desc");
    EXPECT_EQ(impl->Saved().virtualHeading, 90);
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

    // Written through a directory ending in a backslash, read through the others.
    Held written;
    SetEveryField(written);
    ASSERT_TRUE(written.Write(File::kSystem, m_env, m_dir16 + u"\\"));
    EXPECT_EQ(FileText(PathOf(File::kSystem)), kSystemFull);
    for (const std::u16string& dir : {m_dir16, m_dir16 + u"/", m_dir16 + u"\\"}) {
        Held read;
        read.Read(File::kSystem, m_env, dir);
        Bstr keep;
        EXPECT_EQ(
            Show(gpslib::View(Text(read.system.Get(), &ISystemSettingsObject::GetPOIAuthor, keep))),
            "Ann");
    }
}

// A write that fails part-way (or a crash, which leaves the same state) keeps the previous file
// whole and leaves no temporary file behind.
TEST_F(SettingsFiles, FailedWriteKeepsThePreviousFile) {
    Held changed;
    SetEveryField(changed);
    for (File file : {File::kSystem, File::kReceiver, File::kLookaround, File::kRoute}) {
        for (FakeEnv::Op op : {FakeEnv::Op::kWrite, FakeEnv::Op::kSync, FakeEnv::Op::kRename}) {
            SCOPED_TRACE(Show(FileName(file)) + " op " + std::to_string(int(op)));
            TempDir dir;
            std::u16string dir16 = gpslib::os::Utf8ToUtf16(dir.path());
            Held defaults;
            defaults.Read(file, m_env, dir16); // No file: objects with their defaults.
            ASSERT_TRUE(defaults.Write(file, m_env, dir16));
            std::string path = dir.File(Show(FileName(file)));
            const std::string previous = FileBytes(path);

            m_env.FailNth(op, 1, Status::IOError("disk full"));
            EXPECT_FALSE(changed.Write(file, m_env, dir16));
            m_env.ClearFaults();
            EXPECT_EQ(FileBytes(path), previous);
            std::vector<std::string> names;
            ASSERT_TRUE(m_env.GetChildren(dir.path(), &names).ok());
            EXPECT_EQ(names, std::vector<std::string>{Show(FileName(file))});
        }
    }
    // Nothing to write from.
    Held none;
    for (File file : {File::kSystem, File::kReceiver, File::kLookaround, File::kRoute})
        EXPECT_FALSE(none.Write(file, m_env, m_dir16));
    EXPECT_FALSE(gs::WriteRouteSettings(m_env, m_dir16, changed.gpsMode.Get(), nullptr));
    std::vector<std::string> names;
    ASSERT_TRUE(m_env.GetChildren(m_dir.path(), &names).ok());
    EXPECT_TRUE(names.empty());
}

// A "|" in a text would shift every later field; it is written as a broken bar instead.
TEST_F(SettingsFiles, SeparatorInsideATextIsWrittenAsABrokenBar) {
    Held held;
    SetEveryField(held);
    held.system->SetPOIAuthor(Bstr(u"A|B").Get());
    held.receiver->SetGPSPortName(Bstr(u"|").Get());
    ASSERT_TRUE(held.Write(File::kSystem, m_env, m_dir16));
    ASSERT_TRUE(held.Write(File::kReceiver, m_env, m_dir16));
    std::u16string system = kSystemFull;
    system.replace(system.find(u"Ann"), 3, u"A\u00A6B");
    EXPECT_EQ(FileText(PathOf(File::kSystem)), system);
    Held read;
    read.Read(File::kSystem, m_env, m_dir16);
    read.Read(File::kReceiver, m_env, m_dir16);
    Bstr keep;
    EXPECT_EQ(gpslib::View(Text(read.system.Get(), &ISystemSettingsObject::GetPOIAuthor, keep)),
              u"A\u00A6B");
    auto* impl = gpslib::ImplOf<CSystemSettingsObject>(read.system.Get());
    ASSERT_NE(impl, nullptr);
    EXPECT_FALSE(impl->Saved().virtualMarker); // The last field is still in place.
    read.receiver->GetGPSPortName(keep.Put());
    EXPECT_EQ(keep.View(), u"\u00A6");
    SHORT port = 0;
    read.receiver->GetGPSPortNumber(&port);
    EXPECT_EQ(port, 3);
}

// Texts too long for the read limit are cut to one common length, so the file stays readable
// and every number and every shorter text survives.
TEST_F(SettingsFiles, LongTextsAreShortenedToKeepTheFileReadable) {
    Held held;
    SetEveryField(held);
    std::u16string author;
    for (int i = 0; i < 350; ++i)
        author += u"\U0001F600"; // 700 code units.
    held.system->SetPOIAuthor(Bstr(author).Get());
    auto* impl = gpslib::ImplOf<CSystemSettingsObject>(held.system.Get());
    impl->Saved().destinationDescription = std::u16string(300, u'd');
    ASSERT_TRUE(held.Write(File::kSystem, m_env, m_dir16));
    std::size_t size = FileBytes(PathOf(File::kSystem)).size();
    EXPECT_LT(size, gs::kMaxFileBytes);
    EXPECT_GT(size, gs::kMaxFileBytes - 8);

    Held read;
    read.Read(File::kSystem, m_env, m_dir16);
    ASSERT_NE(read.system.Get(), nullptr);
    Bstr keep;
    EXPECT_EQ(
        gpslib::View(Text(read.system.Get(), &ISystemSettingsObject::GetMapPOIDirectory, keep)),
        u"/maps/town");
    std::u16string readAuthor(
        gpslib::View(Text(read.system.Get(), &ISystemSettingsObject::GetPOIAuthor, keep)));
    const auto& saved = gpslib::ImplOf<CSystemSettingsObject>(read.system.Get())->Saved();
    EXPECT_EQ(readAuthor.size() % 2, 0u); // No surrogate pair cut in half.
    EXPECT_EQ(author.compare(0, readAuthor.size(), readAuthor), 0);
    EXPECT_GE(saved.destinationDescription.size(), readAuthor.size());
    EXPECT_LE(saved.destinationDescription.size(), readAuthor.size() + 1);
    EXPECT_EQ(saved.destinationName, u"Dest");
    EXPECT_DOUBLE_EQ(saved.destinationLongitude, -2.25);
    EXPECT_FALSE(saved.virtualMarker);
}

// "%.13f" of a value the reader cannot take back would read as something else; it is written
// as 0.
TEST_F(SettingsFiles, RealsTheReaderCannotTakeBackAreWrittenAsZero) {
    Held held;
    SetEveryField(held);
    held.receiver->SetGPSLastLatitude(std::numeric_limits<double>::quiet_NaN());
    held.receiver->SetGPSLastLongitude(1e20);
    held.receiver->SetInertialReceiverUserHeight(-999999999999999.0); // Fits: 1e15 does not.
    ASSERT_TRUE(held.Write(File::kReceiver, m_env, m_dir16));
    EXPECT_EQ(Show(FileText(PathOf(File::kReceiver))),
              "3|Rx|9600|COM|3|2|/t.trc|0.0000000000000|0.0000000000000|9|2|"
              "-999999999999999.0000000000000|");
    Held read;
    read.Read(File::kReceiver, m_env, m_dir16);
    double height = 0;
    read.receiver->GetInertialReceiverUserHeight(&height);
    EXPECT_EQ(height, -999999999999999.0); // The 29-character limit drops only a zero.
}

} // namespace
