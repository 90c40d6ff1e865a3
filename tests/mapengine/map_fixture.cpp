#include "map_fixture.h"

#include <gpslib/registry.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "GPSMapLib_classes.h"
#include "classes_offered.h"
#include "value.h"

namespace gpsmap::test {

using gpslib::test::Text;
using gpslib::test::Value;

namespace {

// The engine's classes offered by class id for the whole run.
[[maybe_unused]] const ::testing::Environment* const kOffered =
    gpslib::test::OfferForTheRun(kGPSMapLibModule);

} // namespace

gpslib::ComPtr<IGPSMap> NewEngine(const std::string& folder, std::string* answer) {
    gpslib::ComPtr<IGPSMap> map;
    EXPECT_EQ(gpslib::CreateObject(CLSID_GPSMap, IID_IGPSMap, &map), S_OK);
    if (!map) return map;
    gpslib::Bstr dir(folder), none;
    gpslib::Bstr result;
    EXPECT_EQ(map->Initalize(dir.Get(), none.Get(), VARIANT_FALSE, result.Put()), S_OK);
    if (answer != nullptr) *answer = result.Utf8();
    return map;
}

std::string StreetAt(IGPSMap* map, double lat, double lon, int heading, const char* keywords) {
    gpslib::Bstr k{std::string_view(keywords)}, name, result;
    map->GetStreetAtLocation(lat, lon, static_cast<SHORT>(heading), k.Get(), name.Put(),
                             result.Put());
    return result.Utf8() + ":" + name.Utf8();
}

std::vector<CrossStreet> ReadCrossStreets(VARIANT* list) {
    std::vector<IUnknown*> items;
    EXPECT_EQ(gpslib::ReadObjectList(list, IID_ICrossStreetRecord, 1000, &items), S_OK);
    std::vector<CrossStreet> out;
    for (IUnknown* item : items) {
        auto* r = static_cast<ICrossStreetRecord*>(item);
        using R = ICrossStreetRecord;
        out.push_back({Text(r, &R::GetStreetName), Value(r, &R::GetBearing), Value(r, &R::GetKind),
                       Value(r, &R::GetSideOfStreet), Value(r, &R::IsSkipped) != 0,
                       Value(r, &R::MustCrossStreet) != 0, Value(r, &R::GetLatitude),
                       Value(r, &R::GetLongitude)});
        item->Release();
    }
    return out;
}

std::vector<CrossStreet> CrossStreets(IGPSMap* map, double lat, double lon,
                                      const std::string& street, int ahead, const char* keywords) {
    gpslib::Bstr k{std::string_view(keywords)}, s(street);
    gpslib::Variant list;
    EXPECT_EQ(
        map->FindNextCrossStreets(lat, lon, s.Get(), static_cast<SHORT>(ahead), k.Get(), &list),
        S_OK);
    return ReadCrossStreets(&list);
}

std::vector<Detail> Details(IGPSMap* map, double lat, double lon, int heading,
                            const char* keywords) {
    gpslib::Bstr k{std::string_view(keywords)};
    gpslib::Variant list;
    EXPECT_EQ(map->GetLocationsDetailsVector(lat, lon, k.Get(), static_cast<SHORT>(heading), &list),
              S_OK);
    std::vector<IUnknown*> items;
    EXPECT_EQ(gpslib::ReadObjectList(&list, IID_ILocationDetailRecord, 100, &items), S_OK);
    std::vector<Detail> out;
    for (IUnknown* item : items) {
        auto* r = static_cast<ILocationDetailRecord*>(item);
        using R = ILocationDetailRecord;
        Detail d;
        d.street = Text(r, &R::GetStreetNameShort);
        d.detailed = Text(r, &R::GetStreetNameDetailed);
        d.classification = Text(r, &R::GetRoadClassification);
        d.houseNumber = Text(r, &R::GetHouseNumber);
        d.city = Text(r, &R::GetCity);
        d.postcode = Text(r, &R::GetZipPostalcode);
        d.state = Text(r, &R::GetStateProvince);
        d.country = Text(r, &R::GetCountry);
        d.map = Text(r, &R::GetMap);
        d.rightFromText = Text(r, &R::GetAddressRightFromAlphaNum);
        d.rightToText = Text(r, &R::GetAddressRightToAlphaNum);
        d.leftFromText = Text(r, &R::GetAddressLeftFromAlphaNum);
        d.leftToText = Text(r, &R::GetAddressLeftToAlphaNum);
        d.houseRight = Value(r, &R::GetHouseNumberRight);
        d.houseLeft = Value(r, &R::GetHouseNumberLeft);
        d.rightFrom = Value(r, &R::GetAddressRightFrom);
        d.rightTo = Value(r, &R::GetAddressRightTo);
        d.leftFrom = Value(r, &R::GetAddressLeftFrom);
        d.leftTo = Value(r, &R::GetAddressLeftTo);
        d.lat = Value(r, &R::GetLatitude);
        d.lon = Value(r, &R::GetLongitude);
        d.speedKmh = Value(r, &R::GetSpeedLimitMetric);
        out.push_back(d);
        item->Release();
    }
    return out;
}

std::string Names(const std::vector<CrossStreet>& records) {
    std::string out;
    for (const CrossStreet& c : records)
        out += (out.empty() ? "" : ", ") + c.name + "@" + std::to_string(c.bearing);
    return out;
}

} // namespace gpsmap::test
