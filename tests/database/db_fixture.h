// Shared by the database tests: a temporary registry store with libgpscore.so and libgpsdb.so
// registered in it, object creation, and small builders for records and search configurations.
#pragma once

#include <gpslib/GPSDatabaseLib.h>
#include <gpslib/support.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "temp_dir.h"

namespace gpsdb::test {

using gpslib::Bstr;
using gpslib::ComPtr;

// Registers both modules on first use.
void RegisterModules();

template <class I> ComPtr<I> New(REFCLSID clsid, REFIID iid) {
    RegisterModules();
    ComPtr<I> object;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, iid, object.PutVoid()), S_OK);
    return object;
}

inline ComPtr<IPOIDatabase> NewPoiDatabase() {
    return New<IPOIDatabase>(CLSID_POIDatabase, IID_IPOIDatabase);
}

struct Poi {
    Poi(std::string n, int c = 1, int s = 1, double lat = 0.0, double lon = 0.0, bool priv = false,
        std::string d = "")
        : name(std::move(n)), category(c), subcategory(s), latitude(lat), longitude(lon),
          isPrivate(priv), description(std::move(d)) {}
    std::string name;
    int category, subcategory;
    double latitude, longitude;
    bool isPrivate;
    std::string description;
    long key = 0;
};
ComPtr<IPOIRecord> NewRecord(const Poi& poi);

// A search configuration for `text` in the name, with room for every result.
ComPtr<IPOISearchConfigurationObject> NewSearch(const std::string& text);

// Opens `file` (created when missing) in `db`; fails the test when it does not open.
void Open(IPOIDatabase* db, const std::string& file);
// Adds a record; answers its key (0 when refused).
long Add(IPOIDatabase* db, const std::string& file, const Poi& poi, const std::string& media = "");

// Every (name, key) of a file as a candidate list, in key order.
ComPtr<IPOIResults> AllCandidates(IPOIDatabase* db, const std::string& file);
std::vector<std::string> Names(IPOIResults* list);

// A copy in `dir` of a compiled map file of the build ("Andorra.pdb"), or "" when the extract
// was not there. A copy, because opening a store one by one may write to it.
std::string CompiledMapCopy(const std::string& name, const gpslib::test::TempDir& dir);

using gpslib::test::ReadWholeFile;
void WriteFile(const std::string& path, const std::string& content);

} // namespace gpsdb::test
