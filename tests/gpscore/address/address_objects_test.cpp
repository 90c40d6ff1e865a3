// The address value object through the registered module: the street object it hands out.
// (Its inner location is tested with the other objects that carry one.)
#include <gtest/gtest.h>

#include <string>

#include "registered_module.h"

using gpslib::test::ReadByName;

namespace {

TEST(AddressObject, StreetObjectIsANewCopyOfTheStreetData) {
    auto address = GPS_NEW(AddressObject);
    gpslib::test::ChangeFields(address.Get(), CLSID_AddressObject);
    gpslib::ComPtr<IStreetObject> street, again;
    ASSERT_EQ(address->GetStreetObject(street.Put()), S_OK);
    for (const char* getter : {"GetMap", "GetCity", "GetZipPostalcode", "GetStreet"})
        EXPECT_EQ(ReadByName(street.Get(), getter), ReadByName(address.Get(), getter)) << getter;
    // A new object each time: changing it leaves the address as it was.
    const std::string city = ReadByName(address.Get(), "GetCity");
    street->SetCity(gpslib::Bstr("Schaan").Get());
    EXPECT_EQ(ReadByName(address.Get(), "GetCity"), city);
    ASSERT_EQ(address->GetStreetObject(again.Put()), S_OK);
    EXPECT_NE(street.Get(), again.Get());
}

} // namespace
