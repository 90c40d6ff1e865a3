// Fault sweeps over the personal stores: every write, sync and truncation that SQLite makes for
// one change of a store fails in turn (through a file layer put between SQLite and the system),
// and afterwards, reopened as the service reopens it, the store opens, keeps every record the
// change did not touch, holds the change when it was reported done, and takes writes again.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <functional>

#include "PoiFile.h"
#include "temp_dir.h"

namespace gpsdb {
namespace {

// The calls of SQLite's file layer that can be made to fail.
enum class Call { kWrite, kSync, kTruncate };

// A file layer over the system's default one that counts the calls above and fails the nth of
// one kind with an I/O error. Installed as the default for the whole test run; it only passes
// calls through while no fault is armed.
class FaultLayer {
public:
    static FaultLayer& Get() {
        static FaultLayer layer;
        return layer;
    }
    void Arm(Call call, int nth) { m_call = call, m_nth = nth, m_count = 0; }
    void Count(Call call) { m_call = call, m_nth = 0, m_count = 0; }
    void Disarm() { m_nth = -1; }
    int counted() const { return m_count; }

private:
    struct File {
        sqlite3_file base;
        sqlite3_file* real;
    };

    FaultLayer() {
        m_real = sqlite3_vfs_find(nullptr);
        m_vfs = *m_real;
        m_vfs.zName = "gpslib-faults";
        m_vfs.szOsFile = static_cast<int>(sizeof(File)) + m_real->szOsFile;
        m_vfs.xOpen = &Open;
        m_methods.iVersion = 3;
        m_methods.xClose = [](sqlite3_file* f) {
            int rc = Real(f)->pMethods->xClose(Real(f));
            f->pMethods = nullptr;
            return rc;
        };
        m_methods.xRead = [](sqlite3_file* f, void* p, int n, sqlite3_int64 at) {
            return Real(f)->pMethods->xRead(Real(f), p, n, at);
        };
        m_methods.xWrite = [](sqlite3_file* f, const void* p, int n, sqlite3_int64 at) {
            if (Get().Fails(Call::kWrite)) return SQLITE_IOERR_WRITE;
            return Real(f)->pMethods->xWrite(Real(f), p, n, at);
        };
        m_methods.xTruncate = [](sqlite3_file* f, sqlite3_int64 size) {
            if (Get().Fails(Call::kTruncate)) return SQLITE_IOERR_TRUNCATE;
            return Real(f)->pMethods->xTruncate(Real(f), size);
        };
        m_methods.xSync = [](sqlite3_file* f, int flags) {
            if (Get().Fails(Call::kSync)) return SQLITE_IOERR_FSYNC;
            return Real(f)->pMethods->xSync(Real(f), flags);
        };
        m_methods.xFileSize = [](sqlite3_file* f, sqlite3_int64* size) {
            return Real(f)->pMethods->xFileSize(Real(f), size);
        };
        m_methods.xLock = [](sqlite3_file* f, int l) {
            return Real(f)->pMethods->xLock(Real(f), l);
        };
        m_methods.xUnlock = [](sqlite3_file* f, int l) {
            return Real(f)->pMethods->xUnlock(Real(f), l);
        };
        m_methods.xCheckReservedLock = [](sqlite3_file* f, int* out) {
            return Real(f)->pMethods->xCheckReservedLock(Real(f), out);
        };
        m_methods.xFileControl = [](sqlite3_file* f, int op, void* arg) {
            return Real(f)->pMethods->xFileControl(Real(f), op, arg);
        };
        m_methods.xSectorSize = [](sqlite3_file* f) {
            return Real(f)->pMethods->xSectorSize(Real(f));
        };
        m_methods.xDeviceCharacteristics = [](sqlite3_file* f) {
            return Real(f)->pMethods->xDeviceCharacteristics(Real(f));
        };
        m_methods.xShmMap = [](sqlite3_file* f, int page, int size, int extend,
                               void volatile** out) {
            return Real(f)->pMethods->xShmMap(Real(f), page, size, extend, out);
        };
        m_methods.xShmLock = [](sqlite3_file* f, int offset, int n, int flags) {
            return Real(f)->pMethods->xShmLock(Real(f), offset, n, flags);
        };
        m_methods.xShmBarrier = [](sqlite3_file* f) { Real(f)->pMethods->xShmBarrier(Real(f)); };
        m_methods.xShmUnmap = [](sqlite3_file* f, int remove) {
            return Real(f)->pMethods->xShmUnmap(Real(f), remove);
        };
        m_methods.xFetch = [](sqlite3_file* f, sqlite3_int64 at, int n, void** p) {
            return Real(f)->pMethods->xFetch(Real(f), at, n, p);
        };
        m_methods.xUnfetch = [](sqlite3_file* f, sqlite3_int64 at, void* p) {
            return Real(f)->pMethods->xUnfetch(Real(f), at, p);
        };
        EXPECT_EQ(sqlite3_vfs_register(&m_vfs, 1), SQLITE_OK);
    }

    static sqlite3_file* Real(sqlite3_file* f) { return reinterpret_cast<File*>(f)->real; }

    static int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags,
                    int* outFlags) {
        FaultLayer& self = Get();
        File* file = reinterpret_cast<File*>(f);
        file->real = reinterpret_cast<sqlite3_file*>(file + 1);
        int rc = self.m_real->xOpen(self.m_real, name, file->real, flags, outFlags);
        // SQLite closes a file whose open failed only when it has methods.
        f->pMethods = file->real->pMethods != nullptr ? &self.m_methods : nullptr;
        return rc;
    }

    bool Fails(Call call) {
        if (m_nth < 0 || call != m_call) return false;
        return ++m_count == m_nth;
    }

    sqlite3_vfs* m_real = nullptr;
    sqlite3_vfs m_vfs{};
    sqlite3_io_methods m_methods{};
    Call m_call = Call::kWrite;
    int m_nth = -1, m_count = 0;
};

PoiRecord Place(const std::string& name, double latitude) {
    PoiRecord r;
    r.name = name;
    r.category = 16;
    r.latitude = latitude;
    r.longitude = 7.4;
    return r;
}

// One change of a store, and what it must leave when it was reported done.
struct Change {
    const char* name;
    std::function<bool(PoiFile&)> run;
    std::function<void(PoiFile&, bool done)> check;
};

TEST(DbDurability, AFaultAnywhereInAChangeKeepsTheStore) {
    FaultLayer& layer = FaultLayer::Get();
    gpslib::test::TempDir dir;
    const std::string baseline = dir.File("baseline.hdb"), store = dir.File("History.hdb");
    const std::string media(5000, 'm');
    {
        std::string error;
        auto file = PoiFile::Open(baseline, PoiFile::Access::Create, {16}, &error);
        ASSERT_NE(file, nullptr) << error;
        for (int i = 1; i <= 5; ++i) {
            PoiKey key = 0, blocking = 0;
            ASSERT_TRUE(file->Add(Place("Place " + std::to_string(i), 45.0 + i * 1e-4),
                                  i == 3 ? &media : nullptr, &key, &blocking));
            ASSERT_EQ(key, i);
        }
    }
    const Change changes[] = {
        {"add",
         [&](PoiFile& f) {
             PoiKey key = 0, blocking = 0;
             return f.Add(Place("New", 45.1), &media, &key, &blocking);
         },
         [](PoiFile& f, bool done) {
             if (done) {
                 EXPECT_TRUE(f.Get(6).has_value());
             }
         }},
        {"update",
         [](PoiFile& f) {
             PoiRecord r = Place("Renamed", 45.2);
             r.key = 2;
             return f.Update(r, nullptr);
         },
         [](PoiFile& f, bool done) {
             const auto r = f.Get(2);
             ASSERT_TRUE(r.has_value());
             if (done) {
                 EXPECT_EQ(r->name, "Renamed");
             } else {
                 EXPECT_TRUE(r->name == "Renamed" || r->name == "Place 2") << r->name;
             }
         }},
        {"delete", [](PoiFile& f) { return f.Delete(4); },
         [](PoiFile& f, bool done) {
             if (done) {
                 EXPECT_FALSE(f.Get(4).has_value());
             }
         }},
        {"compact", [](PoiFile& f) { return f.Compact(); }, [](PoiFile&, bool) {}},
    };
    int faults = 0;
    for (const Change& change : changes)
        for (Call call : {Call::kWrite, Call::kSync, Call::kTruncate}) {
            int calls = 0;
            for (int nth = 0; nth == 0 || nth <= calls; ++nth) {
                SCOPED_TRACE(std::string(change.name) + ", call kind " +
                             std::to_string(static_cast<int>(call)) + " #" + std::to_string(nth));
                layer.Disarm();
                for (const char* suffix : {"", "-wal", "-shm"})
                    std::filesystem::remove(store + suffix);
                std::filesystem::copy_file(baseline, store);
                bool done = false;
                {
                    std::string error;
                    auto file = PoiFile::Open(store, PoiFile::Access::Create, {16}, &error);
                    ASSERT_NE(file, nullptr) << error;
                    if (nth == 0)
                        layer.Count(call);
                    else
                        layer.Arm(call, nth);
                    done = change.run(*file);
                    if (nth == 0) calls = layer.counted();
                    layer.Disarm(); // The connection closes without faults.
                }
                if (nth == 0) {
                    EXPECT_TRUE(done);
                }
                faults += nth > 0;
                std::string error;
                auto file = PoiFile::Open(store, PoiFile::Access::Create, {16}, &error);
                ASSERT_NE(file, nullptr) << error;
                for (PoiKey key : {1, 3, 5}) {
                    const auto r = file->Get(key);
                    ASSERT_TRUE(r.has_value()) << key;
                    EXPECT_EQ(r->name, "Place " + std::to_string(key));
                }
                EXPECT_EQ(file->Media(3, ""), media);
                change.check(*file, done);
                PoiKey key = 0, blocking = 0;
                EXPECT_TRUE(file->Add(Place("After", 45.3), nullptr, &key, &blocking));
            }
        }
    EXPECT_GT(faults, 10);
}

} // namespace
} // namespace gpsdb
