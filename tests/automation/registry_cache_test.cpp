// The parsed registry store is shared: the file is read again only when it changed (another
// identity, size or modification time, another path or Env), never on each activation or look-up.
#include <gpslib/GPSLib.h>
#include <gpslib/registry.h>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "automation/registry_env.h"
#include "tests/automation/test_util.h"
#include "tests/support/fake_env.h"

namespace gpslib::test {
namespace {

constexpr const char* kKey = "HKLM\\SOFTWARE\\gpslib\\Test";

HRESULT SetVersion(int version) {
    return UpdateRegistry([&](RegistryStore& s) {
        s.SetString(kKey, "Version", std::to_string(version));
        return S_OK;
    });
}

int Version() {
    std::string text;
    return RegistryGetString(kKey, "Version", &text) ? std::stoi(text) : -1;
}

// Rewrites the file in place (same file, no rename), as an editor that saves over it would,
// and moves its modification time on so that even a same-size rewrite is seen.
void RewriteInPlace(const std::string& path, const std::string& text) {
    namespace fs = std::filesystem;
    const auto before = fs::last_write_time(path);
    std::ofstream(path, std::ios::trunc) << text;
    fs::last_write_time(path, before + std::chrono::seconds(1));
}

std::string StoreText(int version) {
    return "REGEDIT4\n[" + std::string(kKey) + "]\n\"Version\"=\"" + std::to_string(version) +
           "\"\n";
}

// Uses the fake Env for the store while it lives, counting the reads of files.
class CountingRegistry {
public:
    CountingRegistry() { SetRegistryEnvForTesting(&m_env); }
    ~CountingRegistry() { SetRegistryEnvForTesting(nullptr); }
    int Reads() const { return m_env.Count(FakeEnv::Op::kRead); }
    FakeEnv& env() { return m_env; }

private:
    FakeEnv m_env;
};

TEST(RuntimeRegistryCache, ReadsTheFileAgainOnlyWhenItChanged) {
    ScopedRegistry registry;
    ASSERT_EQ(SetVersion(1), S_OK);
    CountingRegistry counting;
    const std::string other = registry.File("other.reg");
    std::ofstream(other) << StoreText(7);
    struct Step {
        const char* what;
        std::function<void()> change;
        bool reread;
        int version; // What a look-up answers afterwards.
    };
    const Step steps[] = {
        {"first look-up", [] {}, true, 1},
        {"nothing changed", [] {}, false, 1},
        {"whole copy for a caller",
         [] {
             RegistryStore store;
             EXPECT_EQ(LoadRegistry(&store), S_OK);
         },
         false, 1},
        {"replaced by an update", [] { EXPECT_EQ(SetVersion(2), S_OK); }, true, 2},
        {"after the update", [] {}, false, 2},
        {"rewritten in place, same size", [&] { RewriteInPlace(registry.path(), StoreText(3)); },
         true, 3},
        {"rewritten in place, longer", [&] { RewriteInPlace(registry.path(), StoreText(345)); },
         true, 345},
        {"removed", [&] { std::filesystem::remove(registry.path()); }, false, -1},
        {"still missing", [] {}, false, -1},
        {"created again", [&] { std::ofstream(registry.path()) << StoreText(4); }, true, 4},
        {"another store", [&] { ScopedRegistry::Use(other); }, true, 7},
        {"back to the first", [&] { ScopedRegistry::Use(registry.path()); }, true, 4},
        {"malformed", [&] { RewriteInPlace(registry.path(), "REGEDIT4\n[HKCR\\A\n"); }, true, -1},
        {"malformed is not kept", [] {}, true, -1},
        {"repaired", [&] { RewriteInPlace(registry.path(), StoreText(5)); }, true, 5},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        const int before = counting.Reads();
        EXPECT_EQ(Version(), step.version);
        EXPECT_EQ(Version(), step.version) << "a second look-up answers the same";
        EXPECT_EQ(counting.Reads() > before, step.reread);
    }

    // A different Env (a test's, or the default again) never gets the other's store.
    const int before = counting.Reads();
    {
        FakeEnv fresh;
        SetRegistryEnvForTesting(&fresh);
        EXPECT_EQ(Version(), 5);
        EXPECT_GT(fresh.Count(FakeEnv::Op::kRead), 0);
        SetRegistryEnvForTesting(&counting.env());
    }
    EXPECT_EQ(Version(), 5);
    EXPECT_GT(counting.Reads(), before);
}

// A failing read is reported and not remembered: the next look-up tries the file again.
TEST(RuntimeRegistryCache, AFailedReadIsRetried) {
    ScopedRegistry registry;
    ASSERT_EQ(SetVersion(8), S_OK);
    CountingRegistry counting;
    counting.env().FailNth(FakeEnv::Op::kRead, 1, os::Status::IOError("disk"));
    RegistryStore store;
    std::string error;
    EXPECT_EQ(LoadRegistry(&store, &error), REGDB_E_READREGDB);
    EXPECT_NE(error.find("disk"), std::string::npos) << error;
    EXPECT_EQ(Version(), 8);
}

// The first activation of each class used to parse the whole store; now only the first after a
// change does.
TEST(RuntimeRegistryCache, ActivatingManyClassesReadsTheStoreOnce) {
    ScopedRegistry registry;
    ASSERT_EQ(CallCore("DllRegisterServer"), S_OK);
    CountingRegistry counting;
    const CLSID classes[] = {CLSID_LocationObject, CLSID_GPSTimeObject, CLSID_GPSStatusObject,
                             CLSID_WhereAmIObject, CLSID_IntersectionObject};
    int reads = -1;
    for (const CLSID& clsid : classes) {
        ComPtr<IUnknown> object;
        ASSERT_EQ(
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.PutVoid()),
            S_OK);
        if (reads < 0) reads = counting.Reads();
        CLSID byName = GUID_NULL;
        EXPECT_EQ(CLSIDFromProgID(u"GPS.LocationObject", &byName), S_OK);
    }
    EXPECT_GT(reads, 0);
    EXPECT_EQ(counting.Reads(), reads) << "later classes and ProgIDs use the parsed store";
}

// Another process replaces the store again and again while threads of this one look values up:
// each look-up sees one whole version, never an older one than it saw before, and the last
// version once the writer is done.
TEST(RuntimeRegistryCache, ReadersFollowAWriterInAnotherProcess) {
    ScopedRegistry registry;
    ASSERT_EQ(SetVersion(0), S_OK);
    constexpr int kVersions = 150;
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        bool ok = true;
        for (int v = 1; v <= kVersions; ++v)
            ok &= SUCCEEDED(SetVersion(v));
        ::_exit(ok ? 0 : 1);
    }
    std::atomic<bool> done{false};
    std::atomic<int> failures{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t) {
        readers.emplace_back([&] {
            int last = 0;
            while (!done.load()) {
                const int v = Version();
                if (v < last || v > kVersions) ++failures;
                last = v;
            }
        });
    }
    int status = 0;
    EXPECT_EQ(::waitpid(writer, &status, 0), writer);
    done = true;
    for (auto& reader : readers)
        reader.join();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(Version(), kVersions);
}

} // namespace
} // namespace gpslib::test
