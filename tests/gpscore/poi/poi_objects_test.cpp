// The POI value objects through the registered module: the search configuration's limits, its
// held search POI and main search field, and a POI's category objects and media file.
#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "registered_module.h"

using gpslib::Bstr;
using gpslib::ComPtr;
using gpslib::test::ReadByName;

namespace {

ComPtr<IPOISearchConfigurationObject> NewSearch() {
    return GPS_NEW(POISearchConfigurationObject);
}

TEST(POISearchConfigurationObject, LimitsReplaceOutOfRangeValues) {
    const struct {
        LONG given, stored;
    } kResults[] = {{0, 25}, {-1, 25}, {-2147483647 - 1, 25}, {1, 1}, {1000, 1000}};
    for (const auto& c : kResults) {
        auto search = NewSearch();
        ASSERT_EQ(search->SetMaxSearchResults(c.given), S_OK);
        EXPECT_EQ(ReadByName(search.Get(), "GetMaxSearchResults"), std::to_string(c.stored));
    }
    // 0 seconds stays: it means a single map search without widening.
    const struct {
        SHORT given, stored;
    } kTimes[] = {{-1, 10}, {-32768, 10}, {0, 0}, {1, 1}, {32767, 32767}};
    for (const auto& c : kTimes) {
        auto search = NewSearch();
        search->SetMaxSearchTime(3); // Not the default, so a missed store shows.
        ASSERT_EQ(search->SetMaxSearchTime(c.given), S_OK);
        EXPECT_EQ(ReadByName(search.Get(), "GetMaxSearchTime"), std::to_string(c.stored));
    }
}

// The POI's text fields in the order in which the search takes the first one filled.
const struct {
    const char* setter;
    POIFields field;
} kPreference[] = {
    {"SetName", POI_FIELD_NAME},
    {"SetDescription", POI_FIELD_DESCRIPTION},
    {"SetAuthor", POI_FIELD_AUTHOR},
    {"SetTags", POI_FIELD_TAGS},
    {"SetAddressNumber", POI_FIELD_ADDRESS},
    {"SetStreet", POI_FIELD_STREET},
    {"SetCity", POI_FIELD_CITY},
    {"SetState", POI_FIELD_STATE},
    {"SetCountry", POI_FIELD_COUNTRY},
    {"SetZipCode", POI_FIELD_ZIP},
    {"SetHoursOfOperation", POI_FIELD_HOURS},
    {"SetPhoneNumber", POI_FIELD_PHONE},
    {"SetFaxNumber", POI_FIELD_FAX},
    {"SetWebAddress", POI_FIELD_WEB},
    {"SetEmail", POI_FIELD_EMAIL},
    {"SetMediaFile", POI_FIELD_MEDIA},
};

void SetText(IPOIObject* poi, const char* setter, std::string_view text) {
    gpslib::Variant value;
    value.vt = VT_BSTR;
    value.bstrVal = gpslib::AllocBstr(text);
    ASSERT_EQ(gpslib::test::CallByName(poi, setter, {value}, nullptr), S_OK) << setter;
}

TEST(POISearchConfigurationObject, MainSearchFieldIsTheFirstFilledFieldInOrderOfPreference) {
    auto search = NewSearch();
    EXPECT_EQ(ReadByName(search.Get(), "GetMainSearchString"), "\"\"");
    EXPECT_EQ(ReadByName(search.Get(), "GetMainSearchField"), std::to_string(POI_FIELD_NAME));
    // Every pair of fields, filled in both orders of preference.
    const std::size_t n = std::size(kPreference);
    for (std::size_t first = 0; first < n; ++first) {
        for (std::size_t later = first; later < n; ++later) {
            SCOPED_TRACE(std::to_string(first) + " before " + std::to_string(later));
            search = NewSearch();
            ComPtr<IPOIObject> poi;
            ASSERT_EQ(search->GetPOISearchObject(poi.Put()), S_OK);
            SetText(poi.Get(), kPreference[later].setter, "later");
            SetText(poi.Get(), kPreference[first].setter, "first");
            EXPECT_EQ(ReadByName(search.Get(), "GetMainSearchString"), "\"first\"");
            EXPECT_EQ(ReadByName(search.Get(), "GetMainSearchField"),
                      std::to_string(kPreference[first].field));
        }
    }
}

TEST(POISearchConfigurationObject, HoldsItsPOIByReference) {
    auto search = NewSearch();
    ComPtr<IPOIObject> held, again;
    ASSERT_EQ(search->GetPOISearchObject(held.Put()), S_OK);
    ASSERT_EQ(search->GetPOISearchObject(again.Put()), S_OK);
    EXPECT_EQ(held.Get(), again.Get());

    auto mine = GPS_NEW(POIObject);
    mine->SetCity(Bstr("Vaduz").Get());
    mine->SetCategoryNumber(7);
    ASSERT_EQ(search->SetPOISearchObject(mine.Get()), S_OK);
    ASSERT_EQ(search->GetPOISearchObject(again.Put()), S_OK);
    EXPECT_EQ(again.Get(), mine.Get());
    EXPECT_EQ(ReadByName(search.Get(), "GetCategoryNumber"), "7");
    mine->SetName(Bstr("Post").Get()); // Later changes to the held POI are the search's.
    EXPECT_EQ(ReadByName(search.Get(), "GetMainSearchString"), "\"Post\"");

    EXPECT_EQ(search->SetPOISearchObject(nullptr), E_POINTER);
    ASSERT_EQ(search->GetPOISearchObject(again.Put()), S_OK);
    EXPECT_EQ(again.Get(), mine.Get()); // A refused call keeps the held POI.
}

TEST(POIObject, CategoryObjectsCarryThePOIsNumbers) {
    auto poi = GPS_NEW(POIObject);
    poi->SetCategoryNumber(2);
    poi->SetSubCategoryNumber(3);
    ComPtr<IPOICategoryObject> category, category2;
    ComPtr<IPOISubCategoryObject> sub;
    ASSERT_EQ(poi->GetCategory(category.Put()), S_OK);
    ASSERT_EQ(poi->GetSubCategory(sub.Put()), S_OK);
    EXPECT_EQ(ReadByName(category.Get(), "GetCategoryNumber"), "2");
    EXPECT_EQ(ReadByName(sub.Get(), "GetSubCategoryNumber"), "3");
    EXPECT_EQ(ReadByName(sub.Get(), "GetMainCategoryNumber"), "2");

    // Handed out as new objects: changing one does not change the POI.
    category->SetCategoryNumber(9);
    EXPECT_EQ(ReadByName(poi.Get(), "GetCategoryNumber"), "2");
    ASSERT_EQ(poi->GetCategory(category2.Put()), S_OK);
    EXPECT_NE(category.Get(), category2.Get());

    // Handed in, they are read for their numbers; a subcategory brings its main category.
    ASSERT_EQ(poi->SetCategory(category.Get()), S_OK);
    EXPECT_EQ(ReadByName(poi.Get(), "GetCategoryNumber"), "9");
    sub->SetMainCategoryNumber(18);
    sub->SetSubCategoryNumber(1);
    ASSERT_EQ(poi->SetSubCategory(sub.Get()), S_OK);
    EXPECT_EQ(ReadByName(poi.Get(), "GetCategoryNumber"), "18");
    EXPECT_EQ(ReadByName(poi.Get(), "GetSubCategoryNumber"), "1");
    EXPECT_EQ(poi->SetCategory(nullptr), E_POINTER);
    EXPECT_EQ(poi->SetSubCategory(nullptr), E_POINTER);
    EXPECT_EQ(ReadByName(poi.Get(), "GetCategoryNumber"), "18");
}

TEST(POIObject, AnyMediaFileTextCounts) {
    for (const char* media : {"", " ", "note.wav"}) {
        auto poi = GPS_NEW(POIObject);
        poi->SetMediaFile(Bstr(media).Get());
        EXPECT_EQ(ReadByName(poi.Get(), "HasMediaFile"), *media ? "1" : "0") << media;
    }
}

} // namespace
