// A writer killed in the middle of a stream of writes loses nothing it committed, and the store
// it leaves opens as a valid database.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "PoiFile.h"
#include "temp_dir.h"

namespace gpsdb {
namespace {

TEST(DbDurability, AKilledWriterLosesNothingCommitted) {
    gpslib::test::TempDir dir;
    const std::string path = dir.File("History.hdb");
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The writer: adds records without end and reports each key once its add committed.
        close(pipeFds[0]);
        std::string error;
        auto file = PoiFile::Open(path, PoiFile::Access::Create, {}, &error);
        if (file == nullptr) _exit(1);
        const std::string media(3000, 'm');
        for (int i = 0;; ++i) {
            PoiRecord r;
            r.name = "Entry " + std::to_string(i);
            r.description = std::string(static_cast<std::size_t>(i % 500), 'd');
            PoiKey key = 0, blocking = 0;
            if (!file->Add(r, i % 3 == 0 ? &media : nullptr, &key, &blocking)) _exit(2);
            if (i % 7 == 6 && !file->Delete(key - 3)) _exit(3);
            PoiKey report[2] = {key, i % 7 == 6 ? key - 3 : 0};
            if (write(pipeFds[1], report, sizeof report) != static_cast<ssize_t>(sizeof report))
                _exit(4);
        }
    }
    close(pipeFds[1]);
    std::vector<PoiKey> added, deleted;
    PoiKey report[2];
    while (added.size() < 300 &&
           read(pipeFds[0], report, sizeof report) == static_cast<ssize_t>(sizeof report)) {
        added.push_back(report[0]);
        if (report[1] != 0) deleted.push_back(report[1]);
    }
    ASSERT_EQ(kill(child, SIGKILL), 0);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped on its own: " << WEXITSTATUS(status);
    // Reports written before the kill but not read yet are commits too.
    while (read(pipeFds[0], report, sizeof report) == static_cast<ssize_t>(sizeof report)) {
        added.push_back(report[0]);
        if (report[1] != 0) deleted.push_back(report[1]);
    }
    close(pipeFds[0]);
    ASSERT_GE(added.size(), 300u);

    std::string error;
    auto file = PoiFile::Open(path, PoiFile::Access::ReadWrite, {}, &error); // runs the quick check
    ASSERT_NE(file, nullptr) << error;
    for (PoiKey key : added) {
        bool wasDeleted = std::find(deleted.begin(), deleted.end(), key) != deleted.end();
        EXPECT_EQ(file->Get(key).has_value(), !wasDeleted) << key;
    }
    EXPECT_GE(file->Count(), static_cast<std::int64_t>(added.size() - deleted.size()));
    EXPECT_LE(file->Count(), static_cast<std::int64_t>(added.size() - deleted.size()) + 1);
    // The store takes writes again where the writer stopped.
    PoiKey key = 0, blocking = 0;
    EXPECT_TRUE(file->Add(PoiRecord{}, nullptr, &key, &blocking));
}

TEST(DbDurability, AFullDiskRefusesTheWriteAndKeepsTheRest) {
    gpslib::test::TempDir dir;
    const std::string path = dir.File("Favorites.fdb");
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The disk fills: no file of this process may grow beyond 256 KiB.
        close(pipeFds[0]);
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {256 * 1024, 256 * 1024};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(1);
        std::string error;
        auto file = PoiFile::Open(path, PoiFile::Access::Create, {}, &error);
        if (file == nullptr) _exit(2);
        const std::string media(20000, 'm');
        std::int64_t committed = 0;
        for (int i = 0; i < 1000; ++i) {
            PoiRecord r;
            r.name = "Favorite " + std::to_string(i);
            PoiKey key = 0, blocking = 0;
            if (!file->Add(r, &media, &key, &blocking)) break;
            ++committed;
        }
        // The refused write left every earlier one readable.
        bool intact = file->Count() == committed && committed > 0 && committed < 1000;
        if (write(pipeFds[1], &committed, sizeof committed) != sizeof committed) _exit(3);
        _exit(intact ? 0 : 4);
    }
    close(pipeFds[1]);
    std::int64_t committed = -1;
    ASSERT_EQ(read(pipeFds[0], &committed, sizeof committed),
              static_cast<ssize_t>(sizeof committed));
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "committed " << committed;
    std::string error;
    auto file = PoiFile::Open(path, PoiFile::Access::ReadWrite, {}, &error);
    ASSERT_NE(file, nullptr) << error;
    EXPECT_EQ(file->Count(), committed);
}

// Two services starting together on a fresh install create the same store at once: both must
// open it, every time.
TEST(DbDurability, TwoProcessesCreatingOneStoreBothOpenIt) {
    gpslib::test::TempDir dir;
    for (int round = 0; round < 100; ++round) {
        const std::string path = dir.File("History" + std::to_string(round) + ".hdb");
        int go[2];
        ASSERT_EQ(pipe(go), 0);
        pid_t children[2];
        for (pid_t& child : children) {
            child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                close(go[1]);
                char c;
                if (read(go[0], &c, 1) != 0) _exit(3); // both start when the pipe closes
                std::string error;
                auto file = PoiFile::Open(path, PoiFile::Access::Create, {16}, &error);
                if (file == nullptr) {
                    fprintf(stderr, "%s\n", error.c_str());
                    _exit(1);
                }
                PoiKey key = 0, blocking = 0;
                _exit(file->Add(PoiRecord{}, nullptr, &key, &blocking) ? 0 : 2);
            }
        }
        close(go[0]);
        close(go[1]);
        for (pid_t child : children) {
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
                << "round " << round << ": exit " << WEXITSTATUS(status);
        }
        std::string error;
        auto file = PoiFile::Open(path, PoiFile::Access::ReadWrite, {}, &error);
        ASSERT_NE(file, nullptr) << error;
        EXPECT_EQ(file->Count(), 2);
    }
}

} // namespace
} // namespace gpsdb
