// The three files of a region are replaced together: a step that fails, or a process that dies
// at any step, leaves the files of one whole run (the earlier one unless the new one was
// committed) and, once the next run has looked, no staging folder.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "Compiler.h"
#include "Outputs.h"
#include "fake_env.h"
#include "map_fixture.h"
#include "temp_dir.h"

namespace gpsmap::test {
namespace {

namespace fs = std::filesystem;
using gpslib::test::FakeEnv;

const std::string kSample = std::string(GPSLIB_SOURCE_DIR) + "/data/sample/sampleton.osm";
const char* const kFiles[] = {"Town.rmf", "Town.pdb", "Town.cpd"};

// One street, one café and one house number: every file differs from the sample town's.
constexpr const char* kOldTown = R"(<?xml version='1.0'?><osm version='0.6'>
<node id='1' lat='10.0' lon='10.0'/><node id='2' lat='10.001' lon='10.0'/>
<node id='3' lat='10.0005' lon='10.0001'><tag k='amenity' v='cafe'/><tag k='name' v='Old'/></node>
<node id='4' lat='10.0005' lon='9.9999'><tag k='addr:housenumber' v='1'/>
  <tag k='addr:street' v='Old Street'/></node>
<way id='1'><nd ref='1'/><nd ref='2'/><tag k='highway' v='residential'/>
  <tag k='name' v='Old Street'/></way></osm>
)";

using Files = std::vector<std::optional<std::string>>; // per kFiles entry; nullopt: missing

Files Read(const fs::path& dir) {
    Files f;
    for (const char* name : kFiles)
        f.push_back(fs::exists(dir / name) ? std::optional(ReadWholeFile(dir / name))
                                           : std::nullopt);
    return f;
}

// What is in the folder besides the region's files (staging folders, temporaries).
std::vector<std::string> Leftovers(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        std::string n = entry.path().filename().string();
        if (n != "Town.rmf" && n != "Town.pdb" && n != "Town.cpd") names.push_back(n);
    }
    return names;
}

void RunTool(const fs::path& dir, const std::string& input) {
    std::string cmd =
        std::string(GPSMAP_BUILD_TOOL) + " -q --name Town -o " + dir.string() + " " + input;
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

// The old region and the new one, compiled once by the real program.
struct Regions {
    gpslib::test::TempDir old, fresh;
    Files oldFiles, newFiles;
    Regions() {
        std::ofstream(fs::path(old.path()) / "old.osm") << kOldTown;
        RunTool(old.path(), (fs::path(old.path()) / "old.osm").string());
        RunTool(fresh.path(), kSample);
        oldFiles = Read(old.path()), newFiles = Read(fresh.path());
    }
};

const Regions& TheRegions() {
    static const Regions regions;
    return regions;
}

// A folder holding the old region (or nothing), and what it should hold after a run.
struct Fixture {
    gpslib::test::TempDir dir;
    Files before, after = TheRegions().newFiles;
    explicit Fixture(bool withOld) {
        if (withOld)
            for (const char* name : kFiles)
                fs::copy_file(fs::path(TheRegions().old.path()) / name,
                              fs::path(dir.path()) / name);
        before = Read(dir.path());
    }
    // "before", "after" or "mixed": what the folder holds now.
    std::string Holds() const {
        Files now = Read(dir.path());
        return now == before ? "before" : now == after ? "after" : "mixed";
    }
    build::Options Options(gpslib::os::Env* env) const {
        build::Options o;
        o.input = kSample;
        o.outputDirectory = dir.path();
        o.name = "Town";
        o.env = env;
        return o;
    }
    void Recover() const {
        std::string error;
        build::OutputSet set(gpslib::os::Env::Default(), dir.path(), "Town",
                             {".rmf", ".pdb", ".cpd"});
        ASSERT_TRUE(set.Recover(&error)) << error;
    }
};

TEST(MapOutputs, AFailedStepLeavesTheEarlierFilesAndNothingElse) {
    // The node index on disk is one more file in the staging folder, which must go too.
    for (build::NodeIndex index : {build::NodeIndex::Memory, build::NodeIndex::Disk})
        for (bool withOld : {true, false})
            for (FakeEnv::Op op :
                 {FakeEnv::Op::kRename, FakeEnv::Op::kCreateDir, FakeEnv::Op::kRemove})
                for (int nth = 1;; ++nth) {
                    Fixture f(withOld);
                    FakeEnv env;
                    env.FailNth(op, nth, gpslib::os::Status::IOError("injected"));
                    std::string error;
                    build::Options options = f.Options(&env);
                    options.nodeIndex = index;
                    bool ok = build::Compile(options, nullptr, nullptr, &error);
                    std::string where = std::string(withOld ? "over old files, " : "first run, ") +
                                        (index == build::NodeIndex::Disk ? "index on disk, " : "") +
                                        "op " + std::to_string(static_cast<int>(op)) + " #" +
                                        std::to_string(nth) + ": " + error;
                    EXPECT_EQ(f.Holds(), ok ? "after" : "before") << where;
                    // A failed rename or folder creation cleans up at once; a failed removal may
                    // leave a folder that the next run drops.
                    if (op == FakeEnv::Op::kRemove) f.Recover();
                    EXPECT_EQ(Leftovers(f.dir.path()), std::vector<std::string>{}) << where;
                    EXPECT_EQ(f.Holds(), ok ? "after" : "before") << where;
                    if (env.Count(op) < nth)
                        break; // the run got through without reaching the fault
                }
}

// Renames and removals pass through; the nth rename ends the process before or after it runs.
class DyingEnv : public gpslib::os::EnvWrapper {
public:
    DyingEnv(int nth, bool after)
        : EnvWrapper(gpslib::os::Env::Default()), m_nth(nth), m_after(after) {}
    gpslib::os::Status RenameFile(std::string_view from, std::string_view to) override {
        bool dies = ++m_count == m_nth;
        if (dies && !m_after) _exit(3);
        gpslib::os::Status s = target()->RenameFile(from, to);
        if (dies) _exit(3);
        return s;
    }

private:
    int m_nth, m_count = 0;
    bool m_after;
};

TEST(MapOutputs, AKilledRunIsUndoneOrFinishedByTheNextRun) {
    // The renames of a run over old files: staging folder, three old files aside, three new
    // ones in, the commit. A first run has no old files to move.
    for (bool withOld : {true, false}) {
        const int renames = withOld ? 8 : 5;
        for (int nth = 1; nth <= renames; ++nth)
            for (bool after : {false, true}) {
                Fixture f(withOld);
                pid_t child = fork();
                ASSERT_GE(child, 0);
                if (child == 0) {
                    DyingEnv env(nth, after);
                    std::string error;
                    build::Compile(f.Options(&env), nullptr, nullptr, &error);
                    _exit(0);
                }
                int status = 0;
                ASSERT_EQ(waitpid(child, &status, 0), child);
                std::string where = std::string(withOld ? "over old files" : "first run") +
                                    ", killed " + (after ? "after" : "before") + " rename #" +
                                    std::to_string(nth);
                ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << where;
                f.Recover();
                bool committed = after && nth == renames;
                EXPECT_EQ(f.Holds(), committed ? "after" : "before") << where;
                EXPECT_EQ(Leftovers(f.dir.path()), std::vector<std::string>{}) << where;
            }
    }
}

} // namespace
} // namespace gpsmap::test
