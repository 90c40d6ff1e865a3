#include "db_fixture.h"

#include <gpslib/GPSLib.h>

#include <cstdlib>
#include <fstream>

#include "registered_modules.h"

namespace gpsdb::test {

void RegisterModules() {
    ASSERT_TRUE(gpslib::test::RegisterModules({GPSCORE_MODULE, GPSDB_MODULE}));
}

ComPtr<IPOIRecord> NewRecord(const Poi& poi) {
    auto r = New<IPOIRecord>(CLSID_POIRecord, IID_IPOIRecord);
    r->SetKey(poi.key);
    r->SetName(Bstr(poi.name).Get());
    r->SetDescription(Bstr(poi.description).Get());
    r->SetCategoryNumber(static_cast<SHORT>(poi.category));
    r->SetSubCategoryNumber(static_cast<SHORT>(poi.subcategory));
    r->SetIsPrivate(poi.isPrivate ? VARIANT_TRUE : VARIANT_FALSE);
    r->SetIsUserPOI(poi.category == 18 ? VARIANT_TRUE : VARIANT_FALSE);
    r->SetLatitude(poi.latitude);
    r->SetLongitude(poi.longitude);
    return r;
}

ComPtr<IPOISearchConfigurationObject> NewSearch(const std::string& text) {
    auto config = New<IPOISearchConfigurationObject>(CLSID_POISearchConfigurationObject,
                                                     IID_IPOISearchConfigurationObject);
    auto poi = New<IPOIObject>(CLSID_POIObject, IID_IPOIObject);
    poi->SetName(Bstr(text).Get());
    config->SetPOISearchObject(poi.Get());
    config->SetMaxSearchResults(1000);
    return config;
}

void Open(IPOIDatabase* db, const std::string& file) {
    SHORT count = 0;
    ASSERT_EQ(db->OpenDatabase(Bstr(file).Get(), &count), S_OK);
    ASSERT_EQ(count, 1) << file;
}

long Add(IPOIDatabase* db, const std::string& file, const Poi& poi, const std::string& media) {
    LONG key = 0;
    VARIANT_BOOL added = 0;
    EXPECT_EQ(db->DbPOIAdd(Bstr(file).Get(), NewRecord(poi).Get(), Bstr(media).Get(), &key, &added),
              S_OK);
    return added ? key : 0;
}

ComPtr<IPOIResults> AllCandidates(IPOIDatabase* db, const std::string& file) {
    auto list = New<IPOIResults>(CLSID_POIResults, IID_IPOIResults);
    gpslib::Variant names, keys;
    SHORT count = 0;
    EXPECT_EQ(db->DbPOIGetNamesAndKeys(Bstr(file).Get(), &names, &keys, &count), S_OK);
    std::vector<std::u16string> n;
    std::vector<LONG> k;
    EXPECT_EQ(gpslib::ReadStringList(&names, &n), S_OK);
    EXPECT_EQ(gpslib::ReadLongList(&keys, 100000, &k), S_OK);
    for (std::size_t i = 0; i < n.size() && i < k.size(); ++i)
        list->Add(Bstr(n[i]).Get(), k[i]);
    return list;
}

std::vector<std::string> Names(IPOIResults* list) {
    std::vector<std::string> out;
    LONG count = 0;
    list->GetCount(&count);
    for (LONG i = 0; i < count; ++i) {
        Bstr name;
        LONG key = 0;
        list->GetItem(i, name.Put(), &key);
        out.push_back(name.Utf8());
    }
    return out;
}

std::string CompiledMapCopy(const std::string& name, const gpslib::test::TempDir& dir) {
    const std::string bytes = ReadWholeFile(std::string(GPSLIB_OSM_MAP_DIR) + "/" + name);
    if (bytes.empty()) return {};
    WriteFile(dir.File(name), bytes);
    return dir.File(name);
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

} // namespace gpsdb::test
