// The POI value objects through the registered module: construction defaults, the search
// configuration's limits, its held search POI and the main search field, and a POI's category
// objects and inner location.
#include <gpslib/GPSLib.h>
#include <gpslib/support.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "registered_module.h"

using gpslib::Bstr;
using gpslib::ComPtr;

namespace {

template <class I> ComPtr<I> New(REFCLSID clsid, REFIID iid) {
    ComPtr<I> object;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, iid, object.PutVoid()), S_OK);
    return object;
}

ComPtr<IPOIObject> NewPOI() {
    return New<IPOIObject>(CLSID_POIObject, IID_IPOIObject);
}
ComPtr<IPOISearchConfigurationObject> NewSearch() {
    return New<IPOISearchConfigurationObject>(CLSID_POISearchConfigurationObject,
                                              IID_IPOISearchConfigurationObject);
}

// Reads a getter by name through IDispatch and renders the value as text (booleans as their
// raw number, so that 1 and -1 differ).
std::string ReadByName(IDispatch* object, const char* getter) {
    std::u16string wide = gpslib::ToUtf16(getter);
    LPOLESTR names[] = {wide.data()};
    DISPID id = DISPID_UNKNOWN;
    if (object->GetIDsOfNames(IID_NULL, names, 1, 0, &id) != S_OK) return "<no such method>";
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    gpslib::Variant value;
    UINT argErr = 0;
    HRESULT hr = object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, &value, nullptr, &argErr);
    if (hr != S_OK) return "<status " + std::to_string(hr) + ">";
    char text[64];
    switch (value.vt) {
    case VT_BOOL:
        return std::to_string(value.boolVal);
    case VT_I2:
        return std::to_string(value.iVal);
    case VT_I4:
        return std::to_string(value.lVal);
    case VT_R8:
        std::snprintf(text, sizeof text, "%g", value.dblVal);
        return text;
    case VT_BSTR:
        return "\"" + gpslib::ToUtf8(value.bstrVal) + "\"";
    default:
        return "<type " + std::to_string(value.vt) + ">";
    }
}

class POIObjects : public ::testing::Test {
protected:
    void SetUp() override { gpslib::test::RegisteredCoreStore(); }
};

struct DefaultCase {
    const CLSID* clsid;
    const char* getter;
    const char* expected;
};

const DefaultCase kDefaults[] = {
    {&CLSID_POISearchConfigurationObject, "GetMaxSearchResults", "25"},
    {&CLSID_POISearchConfigurationObject, "GetMaxSearchTime", "10"},
    {&CLSID_POISearchConfigurationObject, "IsNewSearch", "1"},
    {&CLSID_POISearchConfigurationObject, "GetUserPrivateOnly", "0"},
    {&CLSID_POISearchConfigurationObject, "GetUserPublicOnly", "0"},
    {&CLSID_POISearchConfigurationObject, "GetStartsWithSearch", "0"},
    {&CLSID_POISearchConfigurationObject, "GetWholeWord", "0"},
    {&CLSID_POISearchConfigurationObject, "GetDistanceStarting", "-1"},
    {&CLSID_POISearchConfigurationObject, "GetSearchDirection", "0"},
    {&CLSID_POISearchConfigurationObject, "GetCurrentHeadingDegrees", "-1"},
    {&CLSID_POISearchConfigurationObject, "IncludeUserPrivateAsWell", "0"},
    {&CLSID_POISearchConfigurationObject, "GetCategoryNumber", "0"},
    {&CLSID_POISearchConfigurationObject, "GetSubCategoryNumber", "0"},
    {&CLSID_POISearchConfigurationObject, "GetMainSearchString", "\"\""},
    {&CLSID_POISearchConfigurationObject, "GetMainSearchField", "0"},
    {&CLSID_POIDescriptionConfigurationObject, "GetDescriptionDynamic", "0"},
    {&CLSID_POIDescriptionConfigurationObject, "GetNonDynamicIncludeAddress", "0"},
    {&CLSID_POIDescriptionConfigurationObject, "GetNonDynamicIncludeCategoryAndSubCategory", "0"},
    {&CLSID_POIDescriptionConfigurationObject, "GetNonDynamicIncludeDistance", "0"},
    {&CLSID_POIDescriptionConfigurationObject, "GetIncludeTags", "0"},
    {&CLSID_POIObject, "GetKey", "0"},
    {&CLSID_POIObject, "GetName", "\"\""},
    {&CLSID_POIObject, "GetFoundIndex", "-1"},
    {&CLSID_POIObject, "GetSideOfStreet", "0"},
    {&CLSID_POIObject, "GetCategoryNumber", "0"},
    {&CLSID_POIObject, "GetSubCategoryNumber", "0"},
    {&CLSID_POIObject, "IsUserPOI", "0"},
    {&CLSID_POIObject, "IsPrivate", "0"},
    {&CLSID_POIObject, "CanModifyRMFFields", "0"},
    {&CLSID_POIObject, "GetLatitudeOffset", "0"},
    {&CLSID_POIObject, "GetPDBFile", "\"\""},
    {&CLSID_POIObject, "HasMediaFile", "0"},
    {&CLSID_POIObject, "GetLatitude", "0"},
    {&CLSID_POIObject, "GetLongitude", "0"},
    {&CLSID_POIObject, "IsValid", "0"},
    {&CLSID_POICategoryObject, "GetCategoryNumber", "0"},
    {&CLSID_POISubCategoryObject, "GetSubCategoryNumber", "0"},
    {&CLSID_POISubCategoryObject, "GetMainCategoryNumber", "0"},
};

TEST_F(POIObjects, NewObjectsStartWithTheirDefaults) {
    for (const DefaultCase& d : kDefaults) {
        auto object = New<IDispatch>(*d.clsid, IID_IDispatch);
        ASSERT_TRUE(object);
        EXPECT_EQ(ReadByName(object.Get(), d.getter), d.expected) << d.getter;
    }
}

TEST_F(POIObjects, SearchLimitsReplaceOutOfRangeValues) {
    const struct {
        LONG given;
        LONG stored;
    } kResults[] = {{0, 25}, {-1, 25}, {-2147483647 - 1, 25}, {1, 1}, {5, 5}, {1000, 1000}};
    for (const auto& c : kResults) {
        auto search = NewSearch();
        ASSERT_EQ(search->SetMaxSearchResults(c.given), S_OK);
        LONG stored = 0;
        search->GetMaxSearchResults(&stored);
        EXPECT_EQ(stored, c.stored) << c.given;
    }
    // 0 seconds stays: it means a single map search without widening.
    const struct {
        SHORT given;
        SHORT stored;
    } kTimes[] = {{-1, 10}, {-32768, 10}, {0, 0}, {1, 1}, {32767, 32767}};
    for (const auto& c : kTimes) {
        auto search = NewSearch();
        search->SetMaxSearchTime(3); // Not the default, so a missed store shows.
        ASSERT_EQ(search->SetMaxSearchTime(c.given), S_OK);
        SHORT stored = 0;
        search->GetMaxSearchTime(&stored);
        EXPECT_EQ(stored, c.stored) << c.given;
    }
}

using POISetter = HRESULT (IPOIObject::*)(BSTR);

struct MainFieldCase {
    const char* what;
    POISetter first;  // Filled with "first"; null for none.
    POISetter second; // Filled with "second"; null for none.
    const char* text;
    POIFields field;
};

const MainFieldCase kMainFields[] = {
    {"nothing", nullptr, nullptr, "", POI_FIELD_NAME},
    {"name", &IPOIObject::SetName, nullptr, "first", POI_FIELD_NAME},
    {"description", &IPOIObject::SetDescription, nullptr, "first", POI_FIELD_DESCRIPTION},
    {"author", &IPOIObject::SetAuthor, nullptr, "first", POI_FIELD_AUTHOR},
    {"tags", &IPOIObject::SetTags, nullptr, "first", POI_FIELD_TAGS},
    {"address number", &IPOIObject::SetAddressNumber, nullptr, "first", POI_FIELD_ADDRESS},
    {"street", &IPOIObject::SetStreet, nullptr, "first", POI_FIELD_STREET},
    {"city", &IPOIObject::SetCity, nullptr, "first", POI_FIELD_CITY},
    {"state", &IPOIObject::SetState, nullptr, "first", POI_FIELD_STATE},
    {"country", &IPOIObject::SetCountry, nullptr, "first", POI_FIELD_COUNTRY},
    {"zip", &IPOIObject::SetZipCode, nullptr, "first", POI_FIELD_ZIP},
    {"hours", &IPOIObject::SetHoursOfOperation, nullptr, "first", POI_FIELD_HOURS},
    {"phone", &IPOIObject::SetPhoneNumber, nullptr, "first", POI_FIELD_PHONE},
    {"fax", &IPOIObject::SetFaxNumber, nullptr, "first", POI_FIELD_FAX},
    {"web", &IPOIObject::SetWebAddress, nullptr, "first", POI_FIELD_WEB},
    {"e-mail", &IPOIObject::SetEmail, nullptr, "first", POI_FIELD_EMAIL},
    {"media", &IPOIObject::SetMediaFile, nullptr, "first", POI_FIELD_MEDIA},
    // The order of preference, not the order of the fields on the POI, decides.
    {"name before e-mail", &IPOIObject::SetEmail, &IPOIObject::SetName, "second", POI_FIELD_NAME},
    {"tags before the address", &IPOIObject::SetTags, &IPOIObject::SetAddressNumber, "first",
     POI_FIELD_TAGS},
    {"hours before the phone", &IPOIObject::SetPhoneNumber, &IPOIObject::SetHoursOfOperation,
     "second", POI_FIELD_HOURS},
    {"author before tags", &IPOIObject::SetTags, &IPOIObject::SetAuthor, "second",
     POI_FIELD_AUTHOR},
};

TEST_F(POIObjects, MainSearchFieldIsTheFirstFilledFieldInOrderOfPreference) {
    for (const MainFieldCase& c : kMainFields) {
        SCOPED_TRACE(c.what);
        auto search = NewSearch();
        ComPtr<IPOIObject> poi;
        ASSERT_EQ(search->GetPOISearchObject(poi.Put()), S_OK);
        if (c.first != nullptr) (poi.Get()->*c.first)(Bstr("first").Get());
        if (c.second != nullptr) (poi.Get()->*c.second)(Bstr("second").Get());
        Bstr text;
        POIFields field = POI_FIELD_MEDIA;
        ASSERT_EQ(search->GetMainSearchString(text.Put()), S_OK);
        ASSERT_EQ(search->GetMainSearchField(&field), S_OK);
        EXPECT_EQ(text.Utf8(), c.text);
        EXPECT_EQ(field, c.field);
    }
}

TEST_F(POIObjects, SearchHoldsItsPOIByReference) {
    auto search = NewSearch();
    ComPtr<IPOIObject> held, again;
    ASSERT_EQ(search->GetPOISearchObject(held.Put()), S_OK);
    ASSERT_EQ(search->GetPOISearchObject(again.Put()), S_OK);
    EXPECT_EQ(held.Get(), again.Get());

    auto mine = NewPOI();
    mine->SetCity(Bstr("Vaduz").Get());
    mine->SetCategoryNumber(7);
    ASSERT_EQ(search->SetPOISearchObject(mine.Get()), S_OK);
    ASSERT_EQ(search->GetPOISearchObject(again.Put()), S_OK);
    EXPECT_EQ(again.Get(), mine.Get());
    EXPECT_EQ(ReadByName(search.Get(), "GetMainSearchField"), std::to_string(POI_FIELD_CITY));
    EXPECT_EQ(ReadByName(search.Get(), "GetCategoryNumber"), "7");
    // Later changes to the held POI are the search's.
    mine->SetName(Bstr("Post").Get());
    EXPECT_EQ(ReadByName(search.Get(), "GetMainSearchString"), "\"Post\"");

    EXPECT_EQ(search->SetPOISearchObject(nullptr), E_POINTER);
    ASSERT_EQ(search->GetPOISearchObject(again.Put()), S_OK);
    EXPECT_EQ(again.Get(), mine.Get()); // A refused call keeps the held POI.
}

TEST_F(POIObjects, SearchCategoryOperationsAreThoseOfItsPOI) {
    auto search = NewSearch();
    ComPtr<IPOIObject> poi;
    ASSERT_EQ(search->GetPOISearchObject(poi.Put()), S_OK);

    ASSERT_EQ(search->SetCategoryNumber(18), S_OK);
    ASSERT_EQ(search->SetSubCategoryNumber(2), S_OK);
    EXPECT_EQ(ReadByName(poi.Get(), "GetCategoryNumber"), "18");
    EXPECT_EQ(ReadByName(poi.Get(), "GetSubCategoryNumber"), "2");

    auto category = New<IPOICategoryObject>(CLSID_POICategoryObject, IID_IPOICategoryObject);
    category->SetCategoryNumber(12);
    ASSERT_EQ(search->SetPOICategory(category.Get()), S_OK);
    EXPECT_EQ(ReadByName(search.Get(), "GetCategoryNumber"), "12");
    ComPtr<IPOISubCategoryObject> sub;
    ASSERT_EQ(search->GetPOISubCategory(sub.Put()), S_OK);
    EXPECT_EQ(ReadByName(sub.Get(), "GetMainCategoryNumber"), "12");
    EXPECT_EQ(ReadByName(sub.Get(), "GetSubCategoryNumber"), "2");
    EXPECT_EQ(search->SetPOICategory(nullptr), E_POINTER);
    EXPECT_EQ(search->SetPOISubCategory(nullptr), E_POINTER);
}

TEST_F(POIObjects, CategoryObjectsCarryThePOIsNumbers) {
    auto poi = NewPOI();
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

TEST_F(POIObjects, MediaFileAndValidity) {
    const struct {
        const char* media;
        double lat, lon;
        const char* hasMedia;
        const char* valid;
    } kCases[] = {
        {"", 0.0, 0.0, "0", "0"},
        {"note.wav", 0.0, 0.5, "1", "1"},
        {" ", -33.5, 0.0, "1", "1"},
    };
    for (const auto& c : kCases) {
        auto poi = NewPOI();
        poi->SetMediaFile(Bstr(c.media).Get());
        poi->SetLatitude(c.lat);
        poi->SetLongitude(c.lon);
        EXPECT_EQ(ReadByName(poi.Get(), "HasMediaFile"), c.hasMedia) << c.media;
        EXPECT_EQ(ReadByName(poi.Get(), "IsValid"), c.valid) << c.lat << "," << c.lon;
    }
}

TEST_F(POIObjects, LocationIsCopiedInAndOutAndKeepsItsOwnName) {
    auto poi = NewPOI();
    poi->SetName(Bstr("Café de Paris").Get());
    auto place = New<ILocationObject>(CLSID_LocationObject, IID_ILocationObject);
    place->SetLatitude(43.7393);
    place->SetLongitude(7.4277);
    place->SetName(Bstr("Place du Casino").Get());
    place->SetDescription(Bstr("square").Get());
    ASSERT_EQ(poi->SetLocation(place.Get()), S_OK);
    place->SetLatitude(0.0); // Given objects are copied from, not kept.

    EXPECT_EQ(ReadByName(poi.Get(), "GetLatitude"), "43.7393");
    EXPECT_EQ(ReadByName(poi.Get(), "GetName"), "\"Café de Paris\"");
    ComPtr<ILocationObject> location, location2;
    ASSERT_EQ(poi->GetLocation(location.Put()), S_OK);
    ASSERT_EQ(poi->GetLocation(location2.Put()), S_OK);
    EXPECT_NE(location.Get(), location2.Get());
    EXPECT_EQ(ReadByName(location.Get(), "GetName"), "\"Place du Casino\"");
    EXPECT_EQ(ReadByName(location.Get(), "GetDescription"), "\"square\"");
    EXPECT_EQ(ReadByName(location.Get(), "GetLongitude"), "7.4277");
    location->SetLongitude(1.0);
    EXPECT_EQ(ReadByName(poi.Get(), "GetLongitude"), "7.4277");
    EXPECT_EQ(poi->SetLocation(nullptr), E_POINTER);
}

} // namespace
