// Fuzz target: arbitrary bytes opened as each store of the database component: as a POI file
// (read-only, as the map engine and the folder scan open it), as a personal store (read-write:
// then written to, compacted and reopened), and as an address database searched step by step.
// Every input must be refused or answered, never crash or hang. (The folder scan's Inspect is
// the read-only open followed by Categories, both done here; calling it too would only repeat
// the costliest step, SQLite reading the schema.)
#include <gpslib/registry.h>
#include <gpslib/support.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "AddressDatabase.h"
#include "PoiFile.h"
#include "PoiSearch.h"

namespace {

// One scratch folder per process, removed at exit, in the temporary folder ($TMPDIR: `make fuzz`
// points it at a memory file system, where SQLite's writes and syncs cost nothing).
struct Scratch {
    Scratch() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "gpsdb-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path = pattern;
    }
    ~Scratch() {
        for (const char* name : {"input.pdb", "Input.cpd"})
            for (const char* suffix : {"", "-wal", "-shm", "-journal"})
                std::remove((path + "/" + name + suffix).c_str());
        rmdir(path.c_str());
    }
    std::string path = "/tmp";
};

const std::string& Folder() {
    static Scratch scratch;
    return scratch.path;
}

void Write(const std::string& path, const std::uint8_t* data, std::size_t size) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        std::remove((path + suffix).c_str());
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
}

void ReadAll(gpsdb::PoiFile* file) {
    file->Categories();
    file->Count();
    for (const auto& [name, key] : file->NamesAndKeys()) {
        file->Get(key);
        file->Media(key, "");
    }
    file->AtPosition(1);
    file->Tags(1);
    std::vector<gpsdb::PoiSummary> found;
    file->Within(-90, 90, -180, 180, &found);
    file->IndexedMatches(gpsdb::kFieldName, "a", 1);
    file->IndexedMatches(gpsdb::kFieldStreet, "main st", 2);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string poi = Folder() + "/input.pdb";
    std::string error;

    Write(poi, data, size);
    if (auto file = gpsdb::PoiFile::Open(poi, gpsdb::PoiFile::Access::ReadOnly, {}, &error))
        ReadAll(file.get());
    gpsdb::PoiSearch search;
    if (search.AddFile(poi, {1}, true)) {
        gpsdb::PoiQuery q;
        double distance = 0.0;
        std::vector<gpsdb::PoiHit> hits;
        for (int i = 0; i < 3; ++i)
            search.FindPOIs(q, &distance, &hits);
    }

    if (auto file = gpsdb::PoiFile::Open(poi, gpsdb::PoiFile::Access::Create, {}, &error)) {
        ReadAll(file.get());
        gpsdb::PoiRecord r;
        r.name = "fuzz";
        gpsdb::PoiKey key = 0, blocking = 0;
        const std::string media = "m";
        file->Add(r, &media, &key, &blocking);
        file->AddTag(1, "t");
        file->Delete(1);
        file->Compact();
    }
    if (auto file = gpsdb::PoiFile::Open(poi, gpsdb::PoiFile::Access::ReadWrite, {}, &error))
        ReadAll(file.get());

    const std::string address = Folder() + "/Input.cpd";
    std::remove(poi.c_str());
    Write(address, data, size);
    gpslib::ComPtr<IAddressDatabase> db;
    if (gpslib::CreateInstance<gpsdb::CAddressDatabase>(IID_IAddressDatabase, db.PutVoid()) ==
        S_OK) {
        gpslib::Bstr folder(Folder());
        SHORT n = 0;
        db->OpenDatabases(folder.Get(), &n);
        for (VARIANT_BOOL postal : {VARIANT_FALSE, VARIANT_TRUE}) {
            gpslib::Variant names, ids, places, streets, numbers;
            db->DbAddressGetDatabaseList(postal, &names, &ids, &n);
            gpslib::Bstr id(address);
            db->AddressDbFindCityOrPostal(id.Get(), postal, nullptr, &places, &n);
            db->AddressDbFindStreet(nullptr, &streets, &n);
            db->AddressDbFindAddress(nullptr, &numbers, &n);
        }
        db->Close();
    }
    std::remove(address.c_str());
    return 0;
}
