// Nothing lost on a kill: a writer process is killed at random moments, a hundred times per
// kind of file, while it updates the registry store or records a trace. Afterwards the store
// holds one whole update (the last one the writer finished, or the one it was writing) and the
// next update clears the killed writers' temporary files away and is not held up by their lock;
// an appended file holds everything the writer finished appending and nothing that it did not
// append. The settings files' atomic rewrite is swept instead: every write, sync and rename of
// it fails in turn in settings_files_test.cpp, and temporaries_test.cpp clears what a killed
// writer leaves.
#include <gtest/gtest.h>

#include <gpslib/GPSDatabaseLib.h>
#include <gpslib/GPSMapLib.h>
#include <gpslib/registry.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "GPSLib_classes.h"
#include "base/ServiceContext.h"
#include "gps/ReceiverLink.h"
#include "kill_at_random.h"
#include "os/codepage.h"
#include "os/env.h"
#include "temp_dir.h"

namespace {

using gpslib::test::KillAtRandom;
using gpslib::test::Report;
using gpslib::test::TempDir;

constexpr int kKillsPerKind = 100;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Names in `dir` other than `keep`: temporary files the killed writers left behind that the
// next successful write did not clear away.
std::vector<std::string> Strangers(const std::string& dir, const std::set<std::string>& keep) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (!keep.count(name)) names.push_back(name);
    }
    return names;
}

// The writer updates one value of the registry store without pause, beside entries written
// before; after every kill the store loads, the earlier entries are there and the value is the
// last one the writer finished or the next.
TEST(KilledWriters, TheRegistryStoreHoldsOneWholeUpdate) {
    TempDir dir;
    const std::string path = dir.File("registry.reg");
    ::setenv("GPSLIB_REGISTRY", path.c_str(), 1);
    const char* const kKey = "HKLM\\SOFTWARE\\gpslib\\Test";
    ASSERT_EQ(gpslib::UpdateRegistry([&](gpslib::RegistryStore& s) {
                  s.SetString("HKLM\\SOFTWARE\\gpslib\\Ports", "COM5:", "/dev/rfcomm0");
                  s.SetDword(kKey, "n", 0);
                  return S_OK;
              }),
              S_OK);
    KillAtRandom killer(1002, 8000);
    std::uint32_t last = 0;
    for (int kill = 0; kill < kKillsPerKind; ++kill) {
        const std::uint32_t first = last + 1;
        const auto reported = killer.Run([&](int fd) {
            for (std::uint32_t n = first;; ++n)
                if (FAILED(gpslib::UpdateRegistry([&](gpslib::RegistryStore& s) {
                        return s.SetDword(kKey, "n", n), S_OK;
                    })) ||
                    !Report(fd, n))
                    return;
        });
        const std::uint32_t done =
            reported.empty() ? last : static_cast<std::uint32_t>(reported.back());
        gpslib::RegistryStore store;
        std::string error;
        ASSERT_EQ(gpslib::LoadRegistry(&store, &error), S_OK)
            << error << ", kill " << kill << ", seed " << killer.seed();
        std::string port;
        EXPECT_TRUE(store.GetString("HKLM\\SOFTWARE\\gpslib\\Ports", "COM5:", &port));
        std::uint32_t n = 0;
        ASSERT_TRUE(store.GetDword(kKey, "n", &n));
        ASSERT_TRUE(n == done || n == done + 1)
            << n << " after " << done << ", kill " << kill << ", seed " << killer.seed();
        last = n;
        ASSERT_EQ(gpslib::UpdateRegistry(
                      [&](gpslib::RegistryStore& s) { return s.SetDword(kKey, "n", n), S_OK; }),
                  S_OK);
        EXPECT_EQ(Strangers(dir.path(), {"registry.reg", "registry.reg.lock"}),
                  std::vector<std::string>{});
    }
    ::unsetenv("GPSLIB_REGISTRY");
}

// Sentence number n, as a receiver sends it.
std::string Sentence(std::int64_t n) {
    return "$GPTXT,01,01,02,sentence " + std::to_string(n) + "*00\r\n";
}

// A client pushes sentences without pause while recording a trace, and inserts an annotation
// now and then; after every kill the trace holds, from its start, exactly what was pushed and
// annotated: everything finished before the kill, then at most a part of the next.
TEST(KilledWriters, ATraceKeepsEverythingRecordedBeforeTheKill) {
    TempDir dir;
    const std::string trace = dir.File("walk.trc");
    KillAtRandom killer(1003, 4000);
    std::string expected; // the trace as the writers recorded it, sentence by sentence
    std::int64_t next = 0;
    auto piece = [](std::int64_t n) {
        return n % 10 == 9 ? gpscore::AnnotationBlock("note " + std::to_string(n)) : Sentence(n);
    };
    for (int kill = 0; kill < kKillsPerKind; ++kill) {
        const std::int64_t first = next;
        const auto reported = killer.Run([&](int fd) {
            gpscore::ServiceContext context;
            context.m_pEnv = gpslib::os::Env::Default();
            gpscore::ReceiverLink link(context);
            if (link.StartRecording(gpslib::os::Utf8ToUtf16(trace), true) !=
                gpscore::ReceiverLink::Recording::kAccepted)
                return;
            for (std::int64_t n = first;; ++n) {
                if (n % 10 == 9)
                    link.InsertAnnotation(u"note " + gpslib::os::Utf8ToUtf16(std::to_string(n)));
                else
                    link.PushNmea(gpslib::os::Utf8ToUtf16(Sentence(n)));
                if (!Report(fd, n)) return;
            }
        });
        for (std::int64_t n : reported)
            expected += piece(n);
        next = reported.empty() ? first : reported.back() + 1;
        const std::string now = Slurp(trace);
        ASSERT_GE(now.size(), expected.size())
            << "lost what was recorded, kill " << kill << ", seed " << killer.seed();
        ASSERT_EQ(now.substr(0, expected.size()), expected) << "kill " << kill;
        const std::string partial = now.substr(expected.size());
        ASSERT_EQ(partial, piece(next).substr(0, partial.size())) << "kill " << kill;
        // A piece cut short stays in the file and the next recording appends after it: the
        // file so far is what the next run must keep.
        if (!partial.empty()) {
            expected = now;
            ++next;
        }
    }
}

} // namespace
