// The address value objects through the registered module: the search configuration's
// construction state, and an address's texts, inner location and street object.
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

ComPtr<IAddressObject> NewAddress() {
    return New<IAddressObject>(CLSID_AddressObject, IID_IAddressObject);
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

class AddressObjects : public ::testing::Test {
protected:
    void SetUp() override { gpslib::test::RegisteredCoreStore(); }
};

struct DefaultCase {
    const CLSID* clsid;
    const char* getter;
    const char* expected;
};

const DefaultCase kDefaults[] = {
    {&CLSID_AddressSearchConfigurationObject, "GetSearchName", "\"\""},
    {&CLSID_AddressSearchConfigurationObject, "GetLastSearchIndex", "-1"},
    {&CLSID_AddressSearchConfigurationObject, "IsStartsWithEnabled", "-1"}, // True as 0xFFFF.
    {&CLSID_AddressSearchConfigurationObject, "GetStreetAddressNumber", "\"\""},
    {&CLSID_AddressSearchConfigurationObject, "GetResultsType", "0"},
    {&CLSID_AddressSearchConfigurationObject, "GetAddressRangeIndicator", "\" - \""},
    {&CLSID_AddressSearchConfigurationObject, "GetMaxItemsToReturn", "-1"},
    {&CLSID_AddressObject, "GetAddress", "\"\""},
    {&CLSID_AddressObject, "GetMap", "\"\""},
    {&CLSID_AddressObject, "GetCity", "\"\""},
    {&CLSID_AddressObject, "GetZipPostalcode", "\"\""},
    {&CLSID_AddressObject, "GetStreet", "\"\""},
    {&CLSID_AddressObject, "GetName", "\"\""},
    {&CLSID_AddressObject, "GetLatitude", "0"},
    {&CLSID_AddressObject, "GetLongitude", "0"},
    {&CLSID_AddressObject, "IsValid", "0"},
};

TEST_F(AddressObjects, NewObjectsStartWithTheirDefaults) {
    for (const DefaultCase& d : kDefaults) {
        auto object = New<IDispatch>(*d.clsid, IID_IDispatch);
        ASSERT_TRUE(object);
        EXPECT_EQ(ReadByName(object.Get(), d.getter), d.expected) << d.getter;
    }
}

TEST_F(AddressObjects, PositionLivesInTheInnerLocation) {
    const struct {
        double lat, lon;
        const char* valid;
    } kCases[] = {{0.0, 0.0, "0"}, {0.0, 0.5, "1"}, {-33.5, 0.0, "1"}, {39.29, -76.61, "1"}};
    for (const auto& c : kCases) {
        auto address = NewAddress();
        ASSERT_EQ(address->SetLatitude(c.lat), S_OK);
        ASSERT_EQ(address->SetLongitude(c.lon), S_OK);
        EXPECT_EQ(ReadByName(address.Get(), "IsValid"), c.valid) << c.lat << "," << c.lon;
        ComPtr<ILocationObject> location;
        ASSERT_EQ(address->GetLocation(location.Put()), S_OK);
        double lat = 1, lon = 1;
        location->GetLatitude(&lat);
        location->GetLongitude(&lon);
        EXPECT_EQ(lat, c.lat);
        EXPECT_EQ(lon, c.lon);
    }
}

TEST_F(AddressObjects, LocationIsCopiedAndItsNameIsNotTheAddresss) {
    auto address = NewAddress();
    address->SetName(Bstr("Home").Get());
    auto given = New<ILocationObject>(CLSID_LocationObject, IID_ILocationObject);
    given->SetLatitude(47.1410);
    given->SetLongitude(9.5215);
    given->SetName(Bstr("Städtle 1").Get());
    given->SetDescription(Bstr("Vaduz").Get());
    ASSERT_EQ(address->SetLocation(given.Get()), S_OK);
    given->SetName(Bstr("later").Get());

    EXPECT_EQ(ReadByName(address.Get(), "GetName"), "\"Home\"");
    ComPtr<ILocationObject> location, location2;
    ASSERT_EQ(address->GetLocation(location.Put()), S_OK);
    ASSERT_EQ(address->GetLocation(location2.Put()), S_OK);
    EXPECT_NE(location.Get(), location2.Get());
    EXPECT_EQ(ReadByName(location.Get(), "GetName"), "\"Städtle 1\"");
    EXPECT_EQ(ReadByName(location.Get(), "GetDescription"), "\"Vaduz\"");
    EXPECT_EQ(ReadByName(location.Get(), "GetLatitude"), "47.141");
    location->SetLatitude(0.0);
    EXPECT_EQ(ReadByName(address.Get(), "GetLatitude"), "47.141");
    EXPECT_EQ(address->SetLocation(nullptr), E_POINTER);
}

TEST_F(AddressObjects, StreetObjectCarriesTheAddresssStreetData) {
    const struct {
        const char *map, *city, *zip, *street;
    } kCases[] = {
        {"", "", "", ""},
        {"Liechtenstein", "Vaduz", "9490", "Städtle"},
        {"Baltimore", "Baltimore", "21202", "N Charles St"},
    };
    for (const auto& c : kCases) {
        auto address = NewAddress();
        address->SetMap(Bstr(c.map).Get());
        address->SetCity(Bstr(c.city).Get());
        address->SetZipPostalcode(Bstr(c.zip).Get());
        address->SetStreet(Bstr(c.street).Get());
        address->SetAddress(Bstr("12 Somewhere").Get());
        ComPtr<IStreetObject> street;
        ASSERT_EQ(address->GetStreetObject(street.Put()), S_OK);
        ASSERT_TRUE(street);
        EXPECT_EQ(ReadByName(street.Get(), "GetMap"), "\"" + std::string(c.map) + "\"");
        EXPECT_EQ(ReadByName(street.Get(), "GetCity"), "\"" + std::string(c.city) + "\"");
        EXPECT_EQ(ReadByName(street.Get(), "GetZipPostalcode"), "\"" + std::string(c.zip) + "\"");
        EXPECT_EQ(ReadByName(street.Get(), "GetStreet"), "\"" + std::string(c.street) + "\"");
        // A new object each time: changing it leaves the address as it was.
        street->SetCity(Bstr("Schaan").Get());
        EXPECT_EQ(ReadByName(address.Get(), "GetCity"), "\"" + std::string(c.city) + "\"");
    }
}

} // namespace
