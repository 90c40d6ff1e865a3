#include "map_fixture.h"

#include <gpslib/registry.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "GPSMapLib_classes.h"
#include "classes_offered.h"

namespace gpsmap::test {
namespace {

// The engine's classes offered by class id for the whole run.
[[maybe_unused]] const ::testing::Environment* const kOffered =
    gpslib::test::OfferForTheRun(kGPSMapLibModule);

std::string Text(const gpslib::Bstr& b) {
    return b.Utf8();
}

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
    return Text(result) + ":" + Text(name);
}

std::vector<CrossStreet> ReadCrossStreets(VARIANT* list) {
    std::vector<IUnknown*> items;
    EXPECT_EQ(gpslib::ReadObjectList(list, IID_ICrossStreetRecord, 1000, &items), S_OK);
    std::vector<CrossStreet> out;
    for (IUnknown* item : items) {
        auto* r = static_cast<ICrossStreetRecord*>(item);
        CrossStreet c;
        gpslib::Bstr name;
        r->GetStreetName(name.Put());
        c.name = name.Utf8();
        SHORT s = 0;
        r->GetBearing(&s), c.bearing = s;
        r->GetKind(&s), c.kind = s;
        VARIANT_BOOL b = 0;
        r->IsSkipped(&b), c.skipped = b != 0;
        r->MustCrossStreet(&b), c.mustCross = b != 0;
        SideOfStreet side = SideUnknown;
        r->GetSideOfStreet(&side), c.side = side;
        r->GetLatitude(&c.lat);
        r->GetLongitude(&c.lon);
        out.push_back(c);
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
        Detail d;
        auto text = [](auto getter) {
            gpslib::Bstr b;
            getter(b.Put());
            return b.Utf8();
        };
        d.street = text([&](BSTR* b) { r->GetStreetNameShort(b); });
        d.detailed = text([&](BSTR* b) { r->GetStreetNameDetailed(b); });
        d.classification = text([&](BSTR* b) { r->GetRoadClassification(b); });
        d.houseNumber = text([&](BSTR* b) { r->GetHouseNumber(b); });
        d.city = text([&](BSTR* b) { r->GetCity(b); });
        d.postcode = text([&](BSTR* b) { r->GetZipPostalcode(b); });
        d.state = text([&](BSTR* b) { r->GetStateProvince(b); });
        d.country = text([&](BSTR* b) { r->GetCountry(b); });
        d.map = text([&](BSTR* b) { r->GetMap(b); });
        d.rightFromText = text([&](BSTR* b) { r->GetAddressRightFromAlphaNum(b); });
        d.rightToText = text([&](BSTR* b) { r->GetAddressRightToAlphaNum(b); });
        d.leftFromText = text([&](BSTR* b) { r->GetAddressLeftFromAlphaNum(b); });
        d.leftToText = text([&](BSTR* b) { r->GetAddressLeftToAlphaNum(b); });
        LONG n = 0;
        r->GetHouseNumberRight(&n), d.houseRight = n;
        r->GetHouseNumberLeft(&n), d.houseLeft = n;
        r->GetAddressRightFrom(&n), d.rightFrom = n;
        r->GetAddressRightTo(&n), d.rightTo = n;
        r->GetAddressLeftFrom(&n), d.leftFrom = n;
        r->GetAddressLeftTo(&n), d.leftTo = n;
        r->GetLatitude(&d.lat);
        r->GetLongitude(&d.lon);
        r->GetSpeedLimitMetric(&d.speedKmh);
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
