// GUID text and the registry store: the .reg parser and writer, and atomic updates of the file.
#include <gpslib/registry.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "automation/registry_env.h"
#include "tests/automation/test_util.h"
#include "tests/support/fault_sweep.h"

namespace gpslib::test {
namespace {

constexpr GUID kGuid = {
    0x01234567, 0x89AB, 0xCDEF, {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10}};

TEST(RuntimeGuid, TextRoundTripAndMalformedText) {
    EXPECT_EQ(GuidToString(kGuid), "{01234567-89AB-CDEF-FEDC-BA9876543210}");
    GUID g = GUID_NULL;
    EXPECT_TRUE(ParseGuid("01234567-89ab-cdef-fedc-ba9876543210", &g) && g == kGuid);
    OLECHAR wide[40] = u"!";
    EXPECT_EQ(StringFromGUID2(kGuid, wide, 38), 0) << "no room for the NUL";
    EXPECT_EQ(wide[0], u'!');
    ASSERT_EQ(StringFromGUID2(kGuid, wide, 39), 39);
    GUID clsid = GUID_NULL, iid = GUID_NULL;
    EXPECT_EQ(CLSIDFromString(wide, &clsid), S_OK);
    EXPECT_EQ(IIDFromString(u"{01234567-89ab-cdef-fedc-ba9876543210}", &iid), S_OK);
    EXPECT_TRUE(clsid == kGuid && iid == kGuid);

    for (std::u16string text : {u"", u"{01234567-89AB-CDEF-FEDC-BA9876543210", // No closing brace.
                                u"(01234567-89AB-CDEF-FEDC-BA9876543210)",
                                u"{0123456G-89AB-CDEF-FEDC-BA9876543210}", // Not hex.
                                u"{0123456-789AB-CDEF-FEDC-BA9876543210}", // Dash one early.
                                u"{01234567089AB-CDEF-FEDC-BA9876543210}", // A digit for a dash.
                                u"{01234567-89AB-CDEF-FEDC-BA987654321\u0130}", // Low byte '0'.
                                u"01234567-89AB-CDEF-FEDC-BA9876543210",        // Needs its braces.
                                u"{01234567-89AB-CDEF-FEDC-BA9876543210}x"}) {
        SCOPED_TRACE(ToUtf8(text));
        GUID clsid = kGuid, iid = kGuid, g;
        EXPECT_EQ(CLSIDFromString(text.c_str(), &clsid), CO_E_CLASSSTRING);
        EXPECT_EQ(IIDFromString(text.c_str(), &iid), E_INVALIDARG);
        EXPECT_EQ(clsid, GUID_NULL);
        EXPECT_TRUE(text.size() == 36 || !ParseGuid(ToUtf8(text), &g));
    }
}

// A store file exercising every value form.
constexpr char kStoreText[] = R"(Windows Registry Editor Version 5.00

; A comment line.
[HKEY_LOCAL_MACHINE\SOFTWARE\gpslib\Ports]
@="default \"quoted\" C:\\dir\\"
"Count"=dword:0000000a
"Blob"=hex:00,01,fe,\
  ff,10
)";

TEST(RuntimeRegistry, ParseSerializeRoundTrip) {
    RegistryStore store;
    std::string error, text;
    ASSERT_TRUE(store.Parse(kStoreText, &error)) << error;
    const std::string key = "HKLM\\SOFTWARE\\gpslib\\Ports";
    std::uint32_t dword = 0;
    ASSERT_TRUE(store.GetString(key, "", &text));
    EXPECT_EQ(text, "default \"quoted\" C:\\dir\\");
    ASSERT_TRUE(store.GetDword(key, "count", &dword));
    EXPECT_EQ(dword, 10u);
    EXPECT_FALSE(store.GetString(key, "Count", &text)) << "a dword is not a string";
    ASSERT_NE(store.GetValue(key, "Blob"), nullptr);
    EXPECT_EQ(store.GetValue(key, "Blob")->bytes,
              (std::vector<std::uint8_t>{0, 1, 0xFE, 0xFF, 0x10}));

    // Values holding the syntax around them, line breaks and NULs survive too.
    const std::string tricky[] = {"\"]=\\", "first\nsecond\r\n", std::string("a\0b", 3)};
    for (const std::string& value : tricky)
        store.SetString("HKCU\\Tricky", value, value);
    store.SetDword("HKCU\\Tricky", "max", 0xFFFFFFFFu);
    const std::string once = store.Serialize();
    RegistryStore again;
    ASSERT_TRUE(again.Parse(once, &error)) << error << "\n" << once;
    EXPECT_EQ(again.Serialize(), once);
    for (const std::string& value : tricky)
        EXPECT_TRUE(again.GetString("HKCU\\Tricky", value, &text) && text == value) << value;
}

TEST(RuntimeRegistry, NamesIgnoreCaseAndDeletionsMerge) {
    RegistryStore store;
    std::string text, error;
    store.SetString("HKCR\\CLSID\\{X}\\InprocServer32", "ThreadingModel", "Apartment");
    store.SetString("hkey_classes_root\\clsid\\{x}\\inprocserver32", "THREADINGMODEL", "Free");
    ASSERT_TRUE(store.GetString("HKCR\\Clsid\\{x}\\InProcServer32", "threadingmodel", &text));
    EXPECT_EQ(text, "Free");
    store.SetString("HKCR\\CLSID\\{Y}", "", "other");
    store.SetString("HKLM\\SOFTWARE\\gpslib\\Ports", "COM1:", "/dev/ttyUSB0");
    store.SetString("HKLM\\SOFTWARE\\gpslib\\Ports", "COM2:", "/dev/ttyUSB1");
    ASSERT_TRUE(
        store.Parse("REGEDIT4\n[-HKEY_CLASSES_ROOT\\clsid\\{x}]\n\"ignored\"=\"x\"\n"
                    "[HKLM\\SOFTWARE\\gpslib\\Ports]\n\"com1:\"=-\n\"COM3:\"=\"/dev/pts/3\"\n",
                    &error))
        << error;
    EXPECT_EQ(store.SubKeys("HKCR\\CLSID"), std::vector<std::string>{"{Y}"}) << "a whole tree goes";
    EXPECT_FALSE(store.KeyExists("HKCR\\CLSID\\{X}\\InprocServer32"));
    EXPECT_EQ(store.ValueNames("HKLM\\SOFTWARE\\gpslib\\Ports"),
              (std::vector<std::string>{"COM2:", "COM3:"}));

    // Keys no file line could hold are not created.
    for (const char* bad : {"HKEY_NOWHERE\\x", "HKCR\\a\\\\b", "HKCR\\a\\", "HKCR\\line\nbreak"})
        store.SetString(bad, "a", "b");
    EXPECT_FALSE(store.KeyExists("HKCR\\a"));
    EXPECT_TRUE(RegistryStore().Parse(store.Serialize(), &error)) << error;
}

TEST(RuntimeRegistry, MalformedInputNamesTheLineAndChangesNothing) {
    const std::pair<const char*, int> cases[] = {
        {"\n; comment\n\"a\"=\"b\"\n", 3}, // No header.
        {"REGEDIT4\n\n[HKEY_NOWHERE\\A]\n", 3},
        {"REGEDIT4\n[HKCR\\A\n", 2},
        {"REGEDIT4\n\"a\"=\"b\"\n", 2}, // Outside a key.
        {"REGEDIT4\r\n[HKCR\\A]\r\n\"a\"=\"b\r\n", 3},
        {"REGEDIT4\n[HKCR\\A]\n\"a\"=\"b\" x\n", 3},
        {"REGEDIT4\n[HKCR\\A]\n\"a\"=dword:123456789\n", 3},
        {"REGEDIT4\n[HKCR\\A]\n\"a\"=dword:xyz\n", 3},
        {"REGEDIT4\n[HKCR\\A]\n\"a\"=hex:123\n", 3},
        {"REGEDIT4\n[HKCR\\A]\n\"b\"=hex:01,\\\n02,\\\nqq\n\"c\"=\"d\"\n", 3},
        {"REGEDIT4\n[HKCR\\A]\n\"a\"=42\n", 3},
        {"REGEDIT4\n[HKCR\\A]\na=\"b\"\n", 3},
    };
    RegistryStore store;
    store.SetString("HKCR\\Existing", "v", "1");
    const std::string before = store.Serialize();
    for (const auto& [text, line] : cases) {
        SCOPED_TRACE(text);
        std::string error;
        EXPECT_FALSE(store.Parse(text, &error));
        EXPECT_EQ(error.rfind("line " + std::to_string(line) + ": ", 0), 0u) << error;
        EXPECT_EQ(store.Serialize(), before);
    }
}

TEST(RuntimeRegistry, UpdatesAreAtomicAndFailuresLeaveTheFile) {
    ScopedRegistry registry;
    RegistryStore store;
    auto set = [](RegistryStore& s) {
        s.SetString("HKLM\\SOFTWARE\\gpslib\\Ports", "COM5:", "/dev/rfcomm0");
        return S_OK;
    };
    ASSERT_EQ(UpdateRegistry(set), S_OK);
    const std::string written = ReadWholeFile(registry.path());
    std::string value, error;
    ASSERT_TRUE(RegistryGetString("hklm\\software\\gpslib\\ports", "com5:", &value));
    EXPECT_EQ(value, "/dev/rfcomm0");
    EXPECT_EQ(UpdateRegistry([](RegistryStore& s) { return s.DeleteTree("HKLM"), E_FAIL; }),
              E_FAIL);
    EXPECT_THROW(UpdateRegistry([](RegistryStore&) -> HRESULT { throw std::runtime_error("x"); }),
                 std::runtime_error);
    EXPECT_EQ(ReadWholeFile(registry.path()), written);
    int lock = ::open((registry.path() + ".lock").c_str(), O_RDWR); // Fails, where a wait hangs.
    ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0) << "a throwing change leaves no lock behind";
    ::close(lock);
    EXPECT_EQ(UpdateRegistry(set), S_OK);

    std::ofstream(registry.path()) << "REGEDIT4\n[HKCR\\A\n"; // Never overwritten.
    EXPECT_EQ(LoadRegistry(&store, &error), REGDB_E_READREGDB);
    EXPECT_NE(error.find("line 2: "), std::string::npos) << error;
    EXPECT_EQ(UpdateRegistry(set), REGDB_E_READREGDB);
    EXPECT_EQ(ReadWholeFile(registry.path()), "REGEDIT4\n[HKCR\\A\n");

    ScopedRegistry::Use(registry.File("new/folder/registry.reg"));
    EXPECT_EQ(UpdateRegistry(set), S_OK) << "a first store in a folder yet to be made";
}

// A fault at any write, sync or rename of an update keeps the previous store whole and
// loadable, answers REGDB_E_WRITEREGDB, and leaves no temporary file.
TEST(RuntimeRegistry, AFaultAnywhereInAnUpdateKeepsThePreviousStore) {
    ScopedRegistry registry;
    ASSERT_EQ(UpdateRegistry([](RegistryStore& s) {
                  s.SetString("HKLM\\SOFTWARE\\gpslib\\Ports", "COM5:", "/dev/rfcomm0");
                  return S_OK;
              }),
              S_OK);
    const std::string previous = ReadWholeFile(registry.path());
    FakeEnv env;
    SetRegistryEnvForTesting(&env);
    HRESULT updated = S_OK;
    SweepFaults(
        env,
        {.prepare = [&] { std::ofstream(registry.path(), std::ios::trunc) << previous; },
         .run =
             [&] {
                 updated = UpdateRegistry([](RegistryStore& s) {
                     s.SetString("HKLM\\SOFTWARE\\gpslib\\Ports", "COM6:", "/dev/rfcomm1");
                     return S_OK;
                 });
             },
         .check =
             [&](const Fault& fault) {
                 EXPECT_EQ(updated, fault ? REGDB_E_WRITEREGDB : S_OK);
                 if (fault) {
                     EXPECT_EQ(ReadWholeFile(registry.path()), previous);
                 }
                 std::string value;
                 EXPECT_TRUE(RegistryGetString("HKLM\\SOFTWARE\\gpslib\\Ports", "COM5:", &value));
                 EXPECT_EQ(RegistryGetString("HKLM\\SOFTWARE\\gpslib\\Ports", "COM6:", &value),
                           !fault);
                 for (const auto& entry : std::filesystem::directory_iterator(registry.File("")))
                     EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos)
                         << entry.path();
             }});
    SetRegistryEnvForTesting(nullptr);
}

// Writers in several processes each add their own values; none is lost.
TEST(RuntimeRegistry, ConcurrentUpdatesLoseNothing) {
    ScopedRegistry registry;
    std::vector<pid_t> children;
    for (int c = 0; c < 4; ++c) {
        if ((children.emplace_back(::fork())) != 0) continue;
        bool ok = true;
        for (int i = 0; i < 15; ++i)
            ok &= SUCCEEDED(UpdateRegistry([&](RegistryStore& s) {
                return s.SetDword("HKLM\\SOFTWARE\\Test\\" + std::to_string(c), std::to_string(i),
                                  i),
                       S_OK;
            }));
        ::_exit(ok ? 0 : 1);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    RegistryStore store;
    ASSERT_EQ(LoadRegistry(&store), S_OK);
    EXPECT_EQ(store.SubKeys("HKLM\\SOFTWARE\\Test").size(), 4u);
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(store.ValueNames("HKLM\\SOFTWARE\\Test\\" + std::to_string(c)).size(), 15u) << c;
}

} // namespace
} // namespace gpslib::test
