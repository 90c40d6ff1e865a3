// User POIs and the personal stores through the registered component, over real files in a
// temporary folder: every write operation, media files, tags, compaction, and files that are
// refused while the others keep working.
#include <gpslib/GPSLib.h>

#include "db_fixture.h"
#include "formats/Sqlite.h"
#include "value.h"

namespace gpsdb::test {
namespace {

using gpslib::test::Text;
using gpslib::test::Value;

class DbPersonalStore : public ::testing::Test {
protected:
    void SetUp() override {
        db = NewPoiDatabase();
        ASSERT_TRUE(db);
        SetDebug();
    }
    void SetDebug() { db->SetDebugDirectory(Bstr(dir.path()).Get()); }
    std::string Log() { return ReadWholeFile(dir.File("gpsDatabaseDebug.txt")); }
    SHORT Count(const std::string& file) {
        SHORT n = -1;
        EXPECT_EQ(db->DbPOIGetCount(Bstr(file).Get(), &n), S_OK);
        return n;
    }
    ComPtr<IPOIRecord> Get(const std::string& name, long key) {
        ComPtr<IPOIRecord> r;
        VARIANT_BOOL found = 0;
        EXPECT_EQ(db->DbPOIGet(Bstr(name).Get(), key, r.Put(), &found), S_OK);
        EXPECT_EQ(found != 0, static_cast<bool>(r));
        return r;
    }
    static std::string Description(IPOIRecord* r) { return Text(r, &IPOIRecord::GetDescription); }

    gpslib::test::TempDir dir;
    ComPtr<IPOIDatabase> db;
};

TEST_F(DbPersonalStore, UserPoisThroughAddUpdateTagMediaDeleteAndCompaction) {
    SHORT opened = 0;
    ASSERT_EQ(db->OpenDatabases(Bstr(dir.path()).Get(), &opened), S_OK);
    ASSERT_EQ(opened, 1); // user.pdb, created
    const std::string user = dir.File("user.pdb");
    VARIANT_BOOL active = 0;
    ASSERT_EQ(db->SetActiveDatabase(Bstr(user).Get(), &active), S_OK);
    ASSERT_EQ(active, VARIANT_TRUE);

    const std::string media(70000, '\x01');
    WriteFile(dir.File("note.wav"), media + "end");
    EXPECT_EQ(
        Add(db.Get(), "", {"Bench", 18, 1, 47.1, 9.5, true, "by the river"}, dir.File("note.wav")),
        1);
    EXPECT_EQ(Add(db.Get(), user, {"Gate", 18, 2, 47.2, 9.6}), 2);
    // A key in use refuses the add and names the record in the way.
    LONG key = 0;
    VARIANT_BOOL added = 0;
    Poi clash{"Clash", 18, 1};
    clash.key = 2;
    ASSERT_EQ(db->DbPOIAdd(Bstr(user).Get(), NewRecord(clash).Get(), nullptr, &key, &added), S_OK);
    EXPECT_EQ(added, VARIANT_FALSE);
    EXPECT_EQ(key, 2);
    // An unreadable media file refuses the add, with no record in the way.
    ASSERT_EQ(db->DbPOIAdd(Bstr(user).Get(), NewRecord({"X", 18, 1}).Get(),
                           Bstr(dir.File("missing.wav")).Get(), &key, &added),
              S_OK);
    EXPECT_EQ(added, VARIANT_FALSE);
    EXPECT_EQ(key, 0);
    EXPECT_EQ(Count(user), 2);

    // Every field comes back; the media file keeps the source's name and its bytes.
    auto bench = Get("Bench", 1);
    ASSERT_TRUE(bench);
    EXPECT_EQ(Text(bench.Get(), &IPOIRecord::GetMediaFile), "note.wav");
    EXPECT_EQ(Text(bench.Get(), &IPOIRecord::GetPDBFile), user);
    EXPECT_EQ(Value(bench.Get(), &IPOIRecord::IsPrivate), VARIANT_TRUE);
    EXPECT_EQ(Description(bench.Get()), "by the river");
    VARIANT_BOOL ok = 0;
    ASSERT_EQ(db->DbPOIExtractMediaFile(Bstr(user).Get(), 1, Bstr("NOTE.WAV").Get(),
                                        Bstr(dir.File("out.wav")).Get(), &ok),
              S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(ReadWholeFile(dir.File("out.wav")), media + "end");
    db->DbPOIExtractMediaFile(Bstr(user).Get(), 1, Bstr("other.wav").Get(),
                              Bstr(dir.File("o2")).Get(), &ok);
    EXPECT_EQ(ok, VARIANT_FALSE);
    db->DbPOIExtractMediaFile(Bstr(user).Get(), 2, Bstr("").Get(), Bstr(dir.File("o3")).Get(), &ok);
    EXPECT_EQ(ok, VARIANT_FALSE); // no media stored

    // Update: the fields change, an empty media name keeps the stored file, a new one replaces it.
    bench->SetDescription(Bstr("moved").Get());
    ASSERT_EQ(db->DbPOIUpdate(Bstr(user).Get(), bench.Get(), nullptr, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(Description(Get("Bench", 1).Get()), "moved");
    db->DbPOIExtractMediaFile(Bstr(user).Get(), 1, Bstr("note.wav").Get(),
                              Bstr(dir.File("out.wav")).Get(), &ok);
    EXPECT_EQ(ReadWholeFile(dir.File("out.wav")).size(), media.size() + 3);
    WriteFile(dir.File("new.wav"), "new");
    bench->SetMediaFile(Bstr("").Get());
    db->DbPOIUpdate(Bstr(user).Get(), bench.Get(), Bstr(dir.File("new.wav")).Get(), &ok);
    db->DbPOIExtractMediaFile(Bstr(user).Get(), 1, Bstr("new.wav").Get(),
                              Bstr(dir.File("out.wav")).Get(), &ok);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(ReadWholeFile(dir.File("out.wav")), "new");
    auto missing = NewRecord({"Nobody", 18, 1});
    missing->SetKey(99);
    db->DbPOIUpdate(Bstr(user).Get(), missing.Get(), nullptr, &ok);
    EXPECT_EQ(ok, VARIANT_FALSE);

    // Tags per subcategory, in the order added, a second copy ignoring case is not kept.
    for (const char* tag : {"Quiet", "shade", "QUIET"}) {
        db->DbPOIAddTag(Bstr(user).Get(), 1, Bstr(tag).Get(), &ok);
        EXPECT_EQ(ok, VARIANT_TRUE) << tag;
    }
    db->DbPOIAddTag(Bstr(user).Get(), 2, Bstr("gate").Get(), &ok);
    gpslib::Variant tags;
    SHORT n = 0;
    ASSERT_EQ(db->DbPOIGetTags(Bstr(user).Get(), 1, &tags, &n), S_OK);
    std::vector<std::u16string> read;
    ASSERT_EQ(gpslib::ReadStringList(&tags, &read), S_OK);
    EXPECT_EQ(read, (std::vector<std::u16string>{u"Quiet", u"shade"}));

    // Positions, keys, the next free key; delete.
    Bstr name;
    LONG at = 0;
    VARIANT_BOOL found = 0;
    db->DbPOIGetByPosition(Bstr(user).Get(), 1, name.Put(), &at, &found);
    EXPECT_EQ(name.Utf8() + "/" + std::to_string(at) + "/" + std::to_string(found), "Gate/2/-1");
    db->DbPOIGetByPosition(Bstr(user).Get(), 2, name.Put(), &at, &found);
    EXPECT_EQ(name.Utf8() + "/" + std::to_string(at) + "/" + std::to_string(found), "/0/0");
    LONG next = 0;
    db->DbPOIGetNextFreeKey(Bstr(user).Get(), &next);
    EXPECT_EQ(next, 3);
    db->DbPOIDelete(Bstr(user).Get(), 2, &ok);
    EXPECT_EQ(ok, VARIANT_TRUE);
    db->DbPOIDelete(Bstr(user).Get(), 2, &ok);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_FALSE(Get("Gate", 2));
    db->DbPOIIsAccepted(Bstr("Bench").Get(), 1, &ok);
    EXPECT_EQ(ok, VARIANT_TRUE);
    db->DbPOIIsAccepted(Bstr("Gate").Get(), 2, &ok);
    EXPECT_EQ(ok, VARIANT_FALSE);

    // Compaction gives back the room of deleted records; the file itself holds every write, so
    // its size is what the core reports as saved.
    std::vector<long> fillers;
    for (int i = 0; i < 200; ++i)
        fillers.push_back(
            Add(db.Get(), user,
                {"Filler " + std::to_string(i), 18, 1, 47.0, 9.0, false, std::string(2000, 'x')}));
    for (long k : fillers)
        db->DbPOIDelete(Bstr(user).Get(), k, &ok);
    const auto before = ReadWholeFile(user).size();
    EXPECT_GT(before, 400000u);
    ASSERT_EQ(db->DbPOICompressDatabase(Bstr(user).Get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_LT(ReadWholeFile(user).size(), before / 4);
    EXPECT_EQ(Count(user), 1);
    db->DbPOICompressDatabase(Bstr(dir.File("none.pdb")).Get(), &ok);
    EXPECT_EQ(ok, VARIANT_FALSE);
}

TEST_F(DbPersonalStore, OneObjectHoldsHistoryFavoritesAndAnnotations) {
    const std::string files[] = {dir.File("History.hdb"), dir.File("Favorites.fdb"),
                                 dir.File("Annotations.adb")};
    for (const std::string& f : files)
        Open(db.Get(), f);
    Open(db.Get(), files[1]); // open already: still 1
    // The same key and name in two stores: lookups by name and key try the active file first.
    Add(db.Get(), files[0], {"Home", 16, 1, 1.0, 1.0, false, "in history"});
    Add(db.Get(), files[1], {"Home", 16, 1, 1.0, 1.0, false, "a favorite"});
    Add(db.Get(), files[2], {"Corner", 16, 2, 1.0, 1.0, false, "spoken"});
    VARIANT_BOOL active = 0;
    struct Row {
        int active;
        const char* name;
        long key;
        const char* description;
    } rows[] = {
        {1, "Home", 1, "a favorite"},
        {0, "Home", 1, "in history"},
        {0, "Corner", 1, "spoken"}, // not in the active file: the others in opening order
    };
    for (const Row& r : rows) {
        db->SetActiveDatabase(Bstr(files[r.active]).Get(), &active);
        ASSERT_EQ(active, VARIANT_TRUE);
        auto record = Get(r.name, r.key);
        ASSERT_TRUE(record) << r.name;
        EXPECT_EQ(Description(record.Get()), r.description);
    }
    // A path with backslashes names the same file; an unknown one leaves the active file.
    std::string backslashed = files[2];
    backslashed.replace(backslashed.rfind('/'), 1, "\\");
    db->SetActiveDatabase(Bstr(backslashed).Get(), &active);
    EXPECT_EQ(active, VARIANT_TRUE);
    EXPECT_EQ(Count(""), 1);
    db->SetActiveDatabase(Bstr(dir.File("other.fdb")).Get(), &active);
    EXPECT_EQ(active, VARIANT_FALSE);
    EXPECT_EQ(Count(""), 1);
    // Reopened by a new object, everything is still there; closing forgets every file.
    db->CloseDatabase();
    EXPECT_EQ(Count(files[0]), 0);
    auto again = NewPoiDatabase();
    SHORT n = 0;
    again->OpenDatabase(Bstr(files[1]).Get(), &n);
    SHORT count = 0;
    again->DbPOIGetCount(Bstr(files[1]).Get(), &count);
    EXPECT_EQ(count, 1);
}

TEST_F(DbPersonalStore, RefusedFilesAreLoggedWhileTheOthersWork) {
    const std::string good = dir.File("Favorites.fdb");
    Open(db.Get(), good);
    Add(db.Get(), good, {"Kept", 16, 1});
    db->CloseDatabase();
    const std::string valid = ReadWholeFile(good);
    struct Row {
        const char* name;
        std::string content;
    } rows[] = {
        {"garbage.hdb", std::string(5000, 'g')},
        {"text.hdb", "SQLite format 3"},
        {"truncated.hdb", valid.substr(0, 5000)},
        {"scrambled.hdb", valid.substr(0, 100) + std::string(valid.size() - 100, '\x5A')},
        {"foreign.hdb", ""}, // an SQLite file of another program, made below
    };
    {
        auto other = gpslib::sqlite::Database::Open(
            dir.File("foreign.hdb"), gpslib::sqlite::Database::Mode::Create, nullptr);
        ASSERT_TRUE(other && other->Exec("CREATE TABLE t(x); INSERT INTO t VALUES(1)"));
    }
    for (const Row& r : rows) {
        if (!r.content.empty()) WriteFile(dir.File(r.name), r.content);
        SHORT n = 7;
        ASSERT_EQ(db->OpenDatabase(Bstr(dir.File(r.name)).Get(), &n), S_OK);
        EXPECT_EQ(n, 0) << r.name;
        EXPECT_NE(Log().find(std::string("refused ") + dir.File(r.name)), std::string::npos)
            << r.name;
        gpslib::Variant categories;
        VARIANT_BOOL isPoiFile = -1;
        ASSERT_EQ(db->GetPOIFileInfo(Bstr(dir.File(r.name)).Get(), &categories, &isPoiFile), S_OK);
        EXPECT_EQ(isPoiFile, VARIANT_FALSE) << r.name;
        EXPECT_EQ(categories.vt, VT_ARRAY | VT_VARIANT) << r.name;
    }
    // The good store opens and answers beside them, and the refused files are left as they were.
    Open(db.Get(), good);
    EXPECT_EQ(Count(good), 1);
    EXPECT_EQ(ReadWholeFile(dir.File("garbage.hdb")), std::string(5000, 'g'));
}

// A store whose header says a later SQLite wrote it can be read but not written: it is refused
// as a personal store with the reason (at once: only a lock held elsewhere is waited for), and
// still reads as a POI file.
TEST_F(DbPersonalStore, StoreThatCannotBeWrittenIsRefusedWithTheReason) {
    const std::string store = dir.File("Later.hdb");
    Open(db.Get(), store);
    Add(db.Get(), store, {"Kept", 16, 1});
    db->CloseDatabase();
    std::string bytes = ReadWholeFile(store);
    ASSERT_GT(bytes.size(), 19u);
    bytes[18] = 3; // write version: only a later SQLite may write it
    bytes[19] = 1; // read version: any SQLite may read it (in rollback-journal mode)
    WriteFile(store, bytes);

    SHORT n = 7;
    ASSERT_EQ(db->OpenDatabase(Bstr(store).Get(), &n), S_OK);
    EXPECT_EQ(n, 0);
    EXPECT_NE(Log().find("refused " + store), std::string::npos) << Log();
    EXPECT_NE(Log().find("readonly"), std::string::npos) << Log();
    gpslib::Variant categories;
    VARIANT_BOOL isPoiFile = 0;
    ASSERT_EQ(db->GetPOIFileInfo(Bstr(store).Get(), &categories, &isPoiFile), S_OK);
    EXPECT_EQ(isPoiFile, VARIANT_TRUE);
    EXPECT_EQ(ReadWholeFile(store), bytes);
}

TEST_F(DbPersonalStore, PoiFileInfoDeclaresCategories) {
    struct Row {
        std::string file;
        std::vector<LONG> categories;
    } rows[] = {
        {std::string(GPSLIB_SAMPLE_MAP_DIR) + "/Sampleton.pdb",
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
        {dir.File("user.pdb"), {18}},
    };
    SHORT n = 0;
    db->OpenDatabases(Bstr(dir.path()).Get(), &n); // creates user.pdb
    for (Row& r : rows) {
        gpslib::Variant list;
        VARIANT_BOOL isPoiFile = 0;
        ASSERT_EQ(db->GetPOIFileInfo(Bstr(r.file).Get(), &list, &isPoiFile), S_OK);
        EXPECT_EQ(isPoiFile, VARIANT_TRUE) << r.file;
        std::vector<LONG> read;
        ASSERT_EQ(gpslib::ReadLongList(&list, 100, &read), S_OK);
        EXPECT_EQ(read, r.categories) << r.file;
    }
}

} // namespace
} // namespace gpsdb::test
