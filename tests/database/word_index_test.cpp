// POI files written before the word index folded as the comparison does: opened for writing,
// their index is rebuilt in place and finds every spelling; opened only to be read, they still
// answer every search (by comparing), and files of an unknown version are refused.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "PoiFile.h"
#include "Text.h"
#include "temp_dir.h"

namespace gpsdb {
namespace {

const char* const kNames[] = {"Tromsø Museum", "Łódź Apotheke", "Αθήνα Café"};

// A store as the previous version wrote it: the same tables, the words indexed by SQLite's own
// tokenizer, which keeps "ø" and "ł" apart from "o" and "l".
void WriteStore(const std::string& path, int version) {
    std::string schema(gpslib::formats::kPoiSchema);
    const std::string ours = "tokenize='" + std::string(gpslib::sqlite::kWordTokenizer) + "'";
    schema.replace(schema.find(ours), ours.size(), "tokenize='unicode61 remove_diacritics 2'");
    std::string error;
    auto db = Database::Open(path, Database::Mode::Create, &error);
    ASSERT_NE(db, nullptr) << error;
    ASSERT_TRUE(db->Exec(schema));
    ASSERT_TRUE(
        db->Exec("PRAGMA application_id = " + std::to_string(gpslib::formats::kPoiApplicationId) +
                 "; PRAGMA user_version = " + std::to_string(version) +
                 "; INSERT INTO meta VALUES('format', 'gpslib-poi'), ('version', '" +
                 std::to_string(version) + "')"));
    std::int64_t key = 0;
    for (const char* name : kNames) {
        Statement* s = db->Prepare(
            "INSERT INTO pois VALUES(?1, ?2, 18, 1, 47.1, 9.5, '', '', '', '', '', '', '', '', '', "
            "'', '', '', 0, NULL, '', '', '', '', '', '', 1, 0, 0, 0)");
        ASSERT_NE(s, nullptr) << db->LastError();
        ASSERT_TRUE(s->Bind(1, ++key).BindText(2, name).Run()) << db->LastError();
    }
}

std::int64_t VersionOf(const std::string& path) {
    std::string error;
    auto db = Database::Open(path, Database::Mode::ReadOnly, &error);
    return db ? db->QueryInt("PRAGMA user_version", -1) : -1;
}

TEST(DbWordIndex, OlderFilesAreRebuiltWhenWrittenAndStillSearchedWhenRead) {
    const struct Row {
        PoiFile::Access access;
        bool rebuilt;
    } rows[] = {
        {PoiFile::Access::ReadOnly, false},
        {PoiFile::Access::ReadWrite, true},
        {PoiFile::Access::Create, true},
    };
    const int kStartsWith = static_cast<int>(MatchMode::StartsWith);
    for (const Row& r : rows) {
        gpslib::test::TempDir dir;
        const std::string path = dir.File("user.pdb");
        WriteStore(path, gpslib::formats::kPoiFormatVersionOldWordIndex);
        std::string error;
        auto file = PoiFile::Open(path, r.access, {}, &error);
        ASSERT_NE(file, nullptr) << error;
        EXPECT_EQ(file->Count(), 3);
        EXPECT_EQ(VersionOf(path), r.rebuilt ? gpslib::formats::kPoiFormatVersion
                                             : gpslib::formats::kPoiFormatVersionOldWordIndex);
        const std::set<PoiKey>* found = file->IndexedMatches(kFieldName, "TROMSO", kStartsWith);
        if (!r.rebuilt) {
            EXPECT_EQ(found, nullptr) << "the older index is not asked";
            continue;
        }
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(*found, std::set<PoiKey>{1});
        EXPECT_EQ(*file->IndexedMatches(kFieldName, "lodz apo", kStartsWith), std::set<PoiKey>{2});
        EXPECT_EQ(*file->IndexedMatches(kFieldName, "αθηνα cafe", kStartsWith),
                  std::set<PoiKey>{3});
        // The triggers keep the rebuilt index current.
        PoiRecord added;
        added.name = "Øresund Café";
        added.category = kUserCategory;
        PoiKey key = 0, blocking = 0;
        ASSERT_TRUE(file->Add(added, nullptr, &key, &blocking));
        EXPECT_EQ(*file->IndexedMatches(kFieldName, "oresund", kStartsWith), std::set<PoiKey>{key});
        ASSERT_TRUE(file->Delete(2));
        EXPECT_TRUE(file->IndexedMatches(kFieldName, "lodz", kStartsWith)->empty());
        file.reset();
        // Opened again, it is a file of this version.
        file = PoiFile::Open(path, PoiFile::Access::ReadWrite, {}, &error);
        ASSERT_NE(file, nullptr) << error;
        EXPECT_EQ(*file->IndexedMatches(kFieldName, "tromso", kStartsWith), std::set<PoiKey>{1});
    }
}

TEST(DbWordIndex, FilesOfAnUnknownVersionAreRefused) {
    for (int version : {0, gpslib::formats::kPoiFormatVersion + 1}) {
        gpslib::test::TempDir dir;
        const std::string path = dir.File("user.pdb");
        WriteStore(path, version);
        std::string error;
        EXPECT_EQ(PoiFile::Open(path, PoiFile::Access::ReadWrite, {}, &error), nullptr);
        EXPECT_NE(error.find("format version " + std::to_string(version)), std::string::npos)
            << error;
        EXPECT_EQ(VersionOf(path), version) << "left as it was";
    }
}

} // namespace
} // namespace gpsdb
