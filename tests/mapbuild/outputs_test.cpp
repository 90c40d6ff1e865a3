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

// The program's exit code, its standard error in *errors when asked.
int Tool(const fs::path& dir, const std::string& input, const std::string& name = "Town",
         std::string* errors = nullptr) {
    const fs::path errorFile = dir.parent_path() / (dir.filename().string() + ".stderr");
    std::string cmd = std::string(GPSMAP_BUILD_TOOL) + " -q --name " + name + " -o " +
                      dir.string() + " " + input + " 2>" + errorFile.string();
    int status = std::system(cmd.c_str());
    if (errors != nullptr) *errors = ReadWholeFile(errorFile);
    fs::remove(errorFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void RunTool(const fs::path& dir, const std::string& input) {
    ASSERT_EQ(Tool(dir, input), 0) << input;
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

// A whole compile, run in a child process like the killed ones: the compiler's worker threads
// must never start in this process, which forks again (the thread sanitizer cannot follow the
// fork of a process that has threads).
bool CompileInChild(const build::Options& options) {
    pid_t child = fork();
    if (child == 0) {
        std::string error;
        _exit(build::Compile(options, nullptr, nullptr, &error) ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// What a killed run left, rolled back by a recovery killed before each of its renames in turn
// (on copies of the folder): every output stays in place, and the next recovery still brings
// back the earlier files and leaves nothing else.
void KillEachRollBackStep(const Fixture& f, const std::string& where) {
    for (int nth = 1;; ++nth) {
        gpslib::test::TempDir copy;
        fs::copy(f.dir.path(), copy.path(), fs::copy_options::recursive);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            DyingEnv env(nth, false);
            build::OutputSet set(&env, copy.path(), "Town", {".rmf", ".pdb", ".cpd"});
            std::string error;
            (void)set.Recover(&error);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == 0) return; // no rename number nth
        const std::string at = where + ", recovery killed before rename #" + std::to_string(nth);
        Files now = Read(copy.path());
        for (std::size_t i = 0; i < now.size(); ++i)
            EXPECT_TRUE(now[i] == f.before[i] || (now[i] && now[i] == f.after[i]))
                << kFiles[i] << ", " << at;
        std::string error;
        build::OutputSet set(gpslib::os::Env::Default(), copy.path(), "Town",
                             {".rmf", ".pdb", ".cpd"});
        ASSERT_TRUE(set.Recover(&error)) << error;
        EXPECT_TRUE(Read(copy.path()) == f.before) << at;
        EXPECT_EQ(Leftovers(copy.path()), std::vector<std::string>{}) << at;
    }
}

// Killed before or after any rename, a run leaves every output in place (whole, old or new: a
// loaded map folder never loses a map), the next run's recovery brings back one whole run, and
// the next run succeeds.
TEST(MapOutputs, AKilledRunIsUndoneOrFinishedByTheNextRun) {
    for (bool withOld : {true, false}) {
        std::vector<std::string> recovered; // what Recover brought back, per kill
        for (int nth = 1;; ++nth) {
            bool reached = true;
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
                ASSERT_TRUE(WIFEXITED(status));
                if (WEXITSTATUS(status) == 0) { // no rename number nth
                    reached = false;
                    break;
                }
                std::string where = std::string(withOld ? "over old files" : "first run") +
                                    ", killed " + (after ? "after" : "before") + " rename #" +
                                    std::to_string(nth);
                ASSERT_EQ(WEXITSTATUS(status), 3) << where;
                Files now = Read(f.dir.path());
                for (std::size_t i = 0; i < now.size(); ++i) {
                    if (!withOld && !now[i]) continue; // nothing there yet
                    EXPECT_TRUE(now[i] == f.before[i] || now[i] == f.after[i])
                        << kFiles[i] << (now[i] ? " neither old nor new, " : " missing, ") << where;
                }
                // (Killed after a rename leaves what killed before the next one does.)
                if (!after && fs::exists(fs::path(f.dir.path()) / ".Town.replacing"))
                    KillEachRollBackStep(f, where);
                f.Recover();
                recovered.push_back(f.Holds());
                EXPECT_EQ(Leftovers(f.dir.path()), std::vector<std::string>{}) << where;
                EXPECT_TRUE(CompileInChild(f.Options(nullptr))) << where;
                EXPECT_EQ(f.Holds(), "after") << where;
                EXPECT_EQ(Leftovers(f.dir.path()), std::vector<std::string>{}) << where;
            }
            if (!reached) break;
        }
        // The last rename is the commit: killed after it the new files stand, else the old.
        ASSERT_GE(recovered.size(), 2u);
        std::vector<std::string> expected(recovered.size(), "before");
        expected.back() = "after";
        EXPECT_EQ(recovered, expected) << (withOld ? "over old files" : "first run");
    }
}

// A folder where an output belongs is refused before anything is published: exit code 1, the
// path named, the folder and the earlier files as they were, nothing left behind. Once it is
// gone, or under another name, the next run works. Nor does a leftover staging folder holding a
// folder, or a file in a staging folder's place, stop a run.
TEST(MapOutputs, AFolderWhereAnOutputBelongsIsRefused) {
    for (const char* taken : kFiles) {
        Fixture f(true);
        const fs::path dir = f.dir.path(), folder = dir / taken;
        fs::remove(folder);
        fs::create_directory(folder);
        std::ofstream(folder / "notes.txt") << "mine";
        const Files before = Read(dir);
        for (int run = 0; run < 2; ++run) { // the first refusal leaves nothing that changes that
            std::string errors;
            EXPECT_EQ(Tool(dir, kSample, "Town", &errors), 1) << taken;
            EXPECT_NE(errors.find(folder.string()), std::string::npos) << errors;
            EXPECT_TRUE(Read(dir) == before) << taken;
            EXPECT_EQ(ReadWholeFile(folder / "notes.txt"), "mine") << taken;
            EXPECT_EQ(Leftovers(dir), std::vector<std::string>{}) << taken;
        }
        EXPECT_EQ(Tool(dir, kSample, "Other"), 0) << taken;
        for (const char* ext : {".rmf", ".pdb", ".cpd"})
            EXPECT_TRUE(fs::remove(dir / (std::string("Other") + ext))) << taken << ext;
        fs::remove_all(folder);
        EXPECT_EQ(Tool(dir, kSample), 0) << taken;
        EXPECT_EQ(f.Holds(), "after") << taken;
        EXPECT_EQ(Leftovers(dir), std::vector<std::string>{}) << taken;
    }
    const std::vector<const char*> leftovers[] = {
        {".Town.replaced/Town.rmf.old/notes.txt"}, // moved aside by an earlier version
        {".Town.writing/Town.nodes", ".Town.writing/more/deeper/x"},
        {".Town.writing"}, // a file, not a folder
        {".Town.replacing"},
    };
    for (const auto& paths : leftovers) {
        Fixture f(true);
        const fs::path dir = f.dir.path();
        for (const char* path : paths) {
            fs::create_directories((dir / path).parent_path());
            std::ofstream(dir / path) << "left";
        }
        EXPECT_EQ(Tool(dir, kSample), 0) << paths[0];
        EXPECT_EQ(f.Holds(), "after") << paths[0];
        EXPECT_EQ(Leftovers(dir), std::vector<std::string>{}) << paths[0];
    }
}

} // namespace
} // namespace gpsmap::test
