// A store on a full disk refuses the write that does not fit and keeps the rest, and two
// processes creating one store both open it. (Writers killed in the middle of their writes:
// store_kill_test.cpp.)
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
