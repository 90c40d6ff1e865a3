// The address search as a client drives it: the service, the map engine and the database
// component registered (by the real gpsreg) in a temporary store, maps loaded from a folder of
// this test. The sample town gives exact answers; Baltimore and Liechtenstein, compiled at build
// time, are checked against the extracts themselves, read here with libosmium.
#include <gpslib/GPSDatabaseLib.h>
#include <gpslib/GPSLib.h>
#include <gpslib/GPSMapLib.h>
#include <gpslib/support.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <osmium/handler.hpp>
#include <osmium/handler/node_locations_for_ways.hpp>
#include <osmium/index/map/flex_mem.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/visitor.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;
using Strings = std::vector<std::string>;

const std::string kSample = GPSLIB_SAMPLE_MAP_DIR;
const std::string kCompiled = GPSLIB_OSM_MAP_DIR;
const std::string kExtracts = GPSLIB_OSM_DATA_DIR;

double Metres(double lat1, double lon1, double lat2, double lon2) {
    const double r = 6371008.8, rad = M_PI / 180.0;
    const double dlat = (lat2 - lat1) * rad, dlon = (lon2 - lon1) * rad;
    const double a =
        std::sin(dlat / 2) * std::sin(dlat / 2) +
        std::cos(lat1 * rad) * std::cos(lat2 * rad) * std::sin(dlon / 2) * std::sin(dlon / 2);
    return 2 * r * std::asin(std::sqrt(a));
}

Strings Read(VARIANT* list) {
    std::vector<std::u16string> items;
    EXPECT_EQ(gpslib::ReadStringList(list, &items), S_OK) << "not a list of strings";
    Strings out;
    for (const auto& s : items)
        out.push_back(gpslib::ToUtf8(s));
    return out;
}

// What an address object answers.
struct Address {
    std::string text, name, street, city, postal, map;
    double lat = 0, lon = 0;
};

Address ReadAddress(IAddressObject* a) {
    Address out;
    Bstr b;
    a->GetAddress(b.Put()), out.text = b.Utf8();
    a->GetName(b.Put()), out.name = b.Utf8();
    a->GetStreet(b.Put()), out.street = b.Utf8();
    a->GetCity(b.Put()), out.city = b.Utf8();
    a->GetZipPostalcode(b.Put()), out.postal = b.Utf8();
    a->GetMap(b.Put()), out.map = b.Utf8();
    a->GetLatitude(&out.lat);
    a->GetLongitude(&out.lon);
    return out;
}

// The service with the maps of one folder, and the steps of a search as a client calls them.
class AddressSearchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static gpslib::test::TempDir store;
        setenv("GPSLIB_REGISTRY", store.File("registry.reg").c_str(), 1);
        for (const char* module : {GPSCORE_MODULE, GPSMAP_MODULE, GPSDB_MODULE}) {
            std::string command = std::string(GPSREG_TOOL) + " " + module + " > /dev/null";
            ASSERT_EQ(std::system(command.c_str()), 0) << command;
        }
    }
    void SetUp() override {
        std::ifstream in(GPSLIB_RESOURCE_MODULE, std::ios::binary);
        std::ofstream(dir.File("GPSResources_EN.dll"), std::ios::binary) << in.rdbuf();
        ASSERT_EQ(gpslib::CreateObject(CLSID_GPSCore, IID_IGPSCore, &core), S_OK);
        NewConfig();
    }
    void TearDown() override {
        if (core) core->Stop();
        unsetenv("GPSLIB_MAP_PATH");
    }
    void NewConfig() {
        ASSERT_EQ(gpslib::CreateObject(CLSID_AddressSearchConfigurationObject,
                                       IID_IAddressSearchConfigurationObject, &config),
                  S_OK);
    }
    // Starts the service on a folder of its own holding the named maps' files (links).
    void StartWith(const Strings& maps, const std::string& from) {
        const std::string folder = dir.path() + "/maps";
        std::filesystem::create_directories(folder);
        for (const std::string& map : maps)
            for (const char* ext : {".rmf", ".pdb", ".cpd"})
                std::filesystem::create_symlink(from + "/" + map + ext, folder + "/" + map + ext);
        setenv("GPSLIB_MAP_PATH", folder.c_str(), 1);
        Bstr settings(dir.path() + "/"), result;
        ASSERT_EQ(core->Start(settings.Get(), nullptr, result.Put()), S_OK);
    }
    bool HaveExtracts() {
        return std::filesystem::exists(kCompiled + "/Baltimore.cpd") &&
               std::filesystem::exists(kCompiled + "/Liechtenstein.cpd");
    }

    Strings Maps(bool postal, const std::string& search, HRESULT expect = S_OK) {
        gpslib::Variant list;
        SHORT n = -1;
        Bstr text(search);
        EXPECT_EQ(postal ? core->AddressFindMapsForPostalSearch(text.Get(), &list, &n)
                         : core->AddressFindMapsForCitySearch(text.Get(), &list, &n),
                  expect);
        Strings out = Read(&list);
        EXPECT_EQ(static_cast<std::size_t>(n), out.size());
        return out;
    }
    HRESULT Places(bool postal, const std::string& map, const std::string& name, Strings* out) {
        config->SetSearchName(Bstr(name).Get());
        gpslib::Variant list;
        SHORT n = -1;
        Bstr mapName(map);
        HRESULT hr = postal ? core->AddressFindPostal(mapName.Get(), config.Get(), &list, &n)
                            : core->AddressFindCity(mapName.Get(), config.Get(), &list, &n);
        *out = Read(&list);
        EXPECT_EQ(static_cast<std::size_t>(n), out->size());
        return hr;
    }
    // Chooses `name` from a city or postal list; false when the list does not hold it.
    bool ChoosePlace(bool postal, const std::string& map, const std::string& name) {
        Strings found;
        Places(postal, map, name, &found);
        auto at = std::find(found.begin(), found.end(), name);
        if (at == found.end()) return false;
        place = static_cast<LONG>(at - found.begin());
        config->SetLastSearchIndex(place);
        return true;
    }
    HRESULT Streets(const std::string& name, long index, Strings* out) {
        config->SetSearchName(Bstr(name).Get());
        config->SetLastSearchIndex(index);
        config->SetStreetAddressNumber(Bstr("").Get());
        gpslib::Variant list;
        SHORT n = -1;
        HRESULT hr = core->AddressFindStreet(config.Get(), &list, &n);
        *out = Read(&list);
        EXPECT_EQ(static_cast<std::size_t>(n), out->size());
        return hr;
    }
    // Types `typed` in the chosen place and picks `listed` from the street list (which a single
    // match skips); false when the list does not hold it once.
    bool ChooseStreet(const std::string& typed, std::string listed = "") {
        if (listed.empty()) listed = typed;
        Strings found;
        Streets(typed, place, &found);
        if (Kind() != AddressResultsStreetNames) return SearchName() == listed;
        auto at = std::find(found.begin(), found.end(), listed);
        if (at == found.end() || std::count(found.begin(), found.end(), listed) != 1) return false;
        config->SetLastSearchIndex(static_cast<LONG>(at - found.begin()));
        return true;
    }
    Strings Numbers(const std::string& number) {
        config->SetStreetAddressNumber(Bstr(number).Get());
        gpslib::Variant list;
        SHORT n = -1;
        EXPECT_EQ(core->AddressFindStreetAddress(config.Get(), &list, &n), S_OK);
        Strings out = Read(&list);
        EXPECT_EQ(static_cast<std::size_t>(n), out.size());
        return out;
    }
    std::optional<Address> Get(long index, HRESULT* status = nullptr) {
        config->SetLastSearchIndex(index);
        ComPtr<IAddressObject> address;
        VARIANT_BOOL ok = 7;
        HRESULT hr = core->AddressGet(config.Get(), address.Put(), &ok);
        if (status) *status = hr;
        EXPECT_EQ(ok == VARIANT_TRUE, hr == S_OK && address);
        if (hr != S_OK || !address) return std::nullopt;
        return ReadAddress(address.Get());
    }
    std::vector<Address> Cross(bool samePostal, HRESULT* status) {
        gpslib::Variant list;
        SHORT n = -1;
        *status =
            core->AddressGetCrossStreets(config.Get(), samePostal ? VARIANT_TRUE : 0, &list, &n);
        std::vector<IUnknown*> items;
        EXPECT_EQ(gpslib::ReadObjectList(&list, IID_IAddressObject, 10000, &items), S_OK);
        std::vector<Address> out;
        for (IUnknown* item : items) {
            out.push_back(ReadAddress(static_cast<IAddressObject*>(item)));
            item->Release();
        }
        EXPECT_EQ(static_cast<std::size_t>(n), out.size());
        return out;
    }
    std::string SearchName() {
        Bstr name;
        config->GetSearchName(name.Put());
        return name.Utf8();
    }
    LONG Index() {
        LONG index = -2;
        config->GetLastSearchIndex(&index);
        return index;
    }
    AddressResults Kind() {
        AddressResults kind = AddressResultsUnknown;
        config->GetResultsType(&kind);
        return kind;
    }

    gpslib::test::TempDir dir;
    ComPtr<IGPSCore> core;
    ComPtr<IAddressSearchConfigurationObject> config;
    LONG place = -1; // the entry chosen from the last city or postal list
};

// ---------------------------------------------------------------------------------------------
// The sample town, exactly.

TEST_F(AddressSearchTest, SampleTownCityStreetNumberAddress) {
    StartWith({"Sampleton"}, kSample);
    // Maps whose name the engine matches, for either kind of search.
    struct MapCase {
        bool postal;
        const char* search;
        Strings found;
    } maps[] = {{false, "samp", {"Sampleton"}},
                {false, "", {"Sampleton"}},
                {true, "SAMPLETON", {"Sampleton"}},
                {false, "ton", {}},
                {true, "zzz", {}}};
    for (const MapCase& m : maps)
        EXPECT_EQ(Maps(m.postal, m.search), m.found) << m.search;

    Maps(false, "");
    ASSERT_TRUE(ChoosePlace(false, "sampleton", "Sampleton")); // the map name in any case
    Strings streets;
    EXPECT_EQ(Streets("Street", Index(), &streets), S_OK);
    EXPECT_EQ(streets, (Strings{"Elm Street", "Main Street", "North Street", "South Street"}));

    // One street: straight on to its numbers, the configuration naming it.
    Streets("mai", 0, &streets);
    EXPECT_EQ(streets, Strings{"1 - 10 Main Street"});
    EXPECT_EQ(SearchName(), "Main Street");
    EXPECT_EQ(Index(), 0);
    EXPECT_EQ(Kind(), AddressResultsAddressRanges);
    // The range is placed at its first number, on the street in front of number 1.
    auto range = Get(0);
    ASSERT_TRUE(range);
    EXPECT_EQ(range->text, "1 Main Street");
    EXPECT_LT(Metres(range->lat, range->lon, 45.002, 10.0003), 3.0);

    struct NumberCase {
        const char* number;
        Strings labels;
        const char* text; // of AddressGet(0); null: none
        double lat, lon;  // on the street line in front of the house
    } numbers[] = {
        {"7", {"7 Main Street"}, "7 Main Street", 45.002, 10.00195},
        {"6", {"6 Main Street"}, "6 Main Street", 45.002, 10.0014}, // on the interpolation line
        {"11", {}, nullptr, 0, 0},
        {"0", {}, nullptr, 0, 0},
    };
    for (const NumberCase& c : numbers) {
        config->SetLastSearchIndex(0);
        config->SetSearchName(Bstr("Main Street").Get());
        EXPECT_EQ(Numbers(c.number), c.labels) << c.number;
        HRESULT hr = E_FAIL;
        auto got = Get(0, &hr);
        EXPECT_EQ(got.has_value(), c.text != nullptr) << c.number;
        if (!got) {
            EXPECT_EQ(hr, S_FALSE) << c.number;
            continue;
        }
        EXPECT_EQ(got->text, c.text);
        EXPECT_EQ(got->name, c.text);
        EXPECT_EQ(got->street + "|" + got->city + "|" + got->postal + "|" + got->map,
                  "Main Street|Sampleton|12345|Sampleton");
        EXPECT_LT(Metres(got->lat, got->lon, c.lat, c.lon), 12.0) << c.number;
    }
}

// Several buildings of one number are told apart by the place they are at, and AddressGet takes
// the entry's own record; a part names one building.
TEST_F(AddressSearchTest, SampleTownSeveralMatchesAndParts) {
    StartWith({"Sampleton"}, kSample);
    Maps(false, "Sampleton");
    ASSERT_TRUE(ChoosePlace(false, "Sampleton", "Sampleton"));
    ASSERT_TRUE(ChooseStreet("Elm Street"));
    const LONG elm = Index();
    Strings several = Numbers("14");
    EXPECT_EQ(Kind(), AddressResultsMultipleAddressMatches);
    ASSERT_EQ(several.size(), 2u);
    EXPECT_EQ(several[0].rfind("14 к1 Elm Street: ", 0), 0u) << several[0];
    EXPECT_EQ(several[1].rfind("14 к2 Elm Street: ", 0), 0u) << several[1];
    EXPECT_NE(several[0].find("Sampleton"), std::string::npos) << several[0];
    auto second = Get(1);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->text, "14 к2 Elm Street");
    EXPECT_LT(Metres(second->lat, second->lon, 45.00245, 10.006), 3.0);
    HRESULT hr = S_OK;
    EXPECT_FALSE(Get(2, &hr)) << "beyond the merged list";
    EXPECT_EQ(hr, S_FALSE);

    config->SetLastSearchIndex(elm);
    EXPECT_EQ(Numbers("14К2"), Strings{"14 к2 Elm Street"});
    auto one = Get(0);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->text, "14 к2 Elm Street");
    EXPECT_LT(Metres(one->lat, one->lon, 45.00245, 10.006), 3.0);

    // A street without house numbers is the street itself, placed at its middle.
    ASSERT_TRUE(ChooseStreet("Oak Avenue"));
    EXPECT_EQ(Numbers(""), Strings{"Oak Avenue"});
    auto oak = Get(0);
    ASSERT_TRUE(oak);
    EXPECT_EQ(oak->text, "Oak Avenue");
    EXPECT_NEAR(oak->lon, 10.003, 0.0003);
}

TEST_F(AddressSearchTest, SampleTownPostalCodeSearch) {
    StartWith({"Sampleton"}, kSample);
    EXPECT_EQ(Maps(true, "s"), Strings{"Sampleton"});
    Strings codes;
    EXPECT_EQ(Places(true, "Sampleton", "123", &codes), S_OK);
    EXPECT_EQ(codes, Strings{"12345"});
    place = 0;
    ASSERT_TRUE(ChooseStreet("Elm Street"));
    EXPECT_EQ(Numbers("12"), Strings{"12 Elm Street"});
    auto twelve = Get(0);
    ASSERT_TRUE(twelve);
    EXPECT_EQ(twelve->postal, "12345");
    EXPECT_EQ(twelve->city, "Sampleton");
    // The building east of Elm Street (x 6.15–6.3, y 1.0–1.2), in front of it on the street.
    EXPECT_LT(Metres(twelve->lat, twelve->lon, 45.0011, 10.006), 12.0);
}

TEST_F(AddressSearchTest, SampleTownCrossStreetsInOrderAlongTheStreet) {
    StartWith({"Sampleton"}, kSample);
    Maps(false, "");
    ASSERT_TRUE(ChoosePlace(false, "Sampleton", "Sampleton"));
    ASSERT_TRUE(ChooseStreet("Main Street"));
    config->SetStreetAddressNumber(Bstr("").Get());
    HRESULT hr = E_FAIL;
    std::vector<Address> cross = Cross(false, &hr);
    EXPECT_EQ(hr, S_OK);
    Strings names;
    for (const Address& a : cross)
        names.push_back(a.street);
    // West to east; the service road and the crossing footway are no corners, and the
    // roundabout's two streets meet Main Street at its centre.
    ASSERT_EQ(names.size(), 5u) << ::testing::PrintToString(names);
    EXPECT_EQ((Strings{names[0], names[1], names[2]}),
              (Strings{"First Avenue", "Oak Avenue", "Elm Street"}));
    EXPECT_EQ((std::set<std::string>{names[3], names[4]}),
              (std::set<std::string>{"Harbour Road", "Station Road"}));
    EXPECT_EQ(cross[1].text.rfind("Main Street", 0), 0u) << cross[1].text;
    EXPECT_NE(cross[1].text.find("Oak Avenue"), std::string::npos) << cross[1].text;
    EXPECT_LT(Metres(cross[1].lat, cross[1].lon, 45.002, 10.003), 15.0);
    EXPECT_EQ(cross[1].city, "Sampleton");
    // Only those of the postal code asked for.
    EXPECT_EQ(Cross(true, &hr).size(), 5u);

    // The destination at an address, and at a cross street.
    ASSERT_TRUE(ChooseStreet("Main Street"));
    Numbers("7");
    config->SetLastSearchIndex(0);
    ComPtr<IAddressObject> seven;
    VARIANT_BOOL ok = 0;
    ASSERT_EQ(core->AddressGet(config.Get(), seven.Put(), &ok), S_OK);
    ASSERT_EQ(core->DestinationSetByAddress(seven.Get()), S_OK);
    ComPtr<IDestinationObject> destination;
    ASSERT_EQ(core->DestinationGet(destination.Put()), S_OK);
    Bstr name;
    destination->GetName(name.Put());
    EXPECT_EQ(name.Utf8(), "7 Main Street, Sampleton");
    double lat = 0;
    destination->GetLatitude(&lat);
    EXPECT_NEAR(lat, 45.002, 0.0001);
}

TEST_F(AddressSearchTest, DestinationByAddressNamesThePlaceAndRefusesOneWithoutPosition) {
    StartWith({"Sampleton"}, kSample);
    struct Case {
        const char* address;
        const char* city;
        double lat;
        HRESULT status;
        const char* name; // of the destination afterwards
    } cases[] = {
        {"Main Street and Oak Avenue", "Sampleton", 45.002, S_OK,
         "Main Street and Oak Avenue, Sampleton"},
        {"9 Elm Street", "", 45.0025, S_OK, "9 Elm Street"},
        {"1 Nowhere Road", "Sampleton", 0.0, S_FALSE, "9 Elm Street"}, // kept as it was
        {"2 Elm Street, Sampleton", "Sampleton", 45.001, S_OK, "2 Elm Street, Sampleton"},
    };
    for (const Case& c : cases) {
        ComPtr<IAddressObject> address;
        ASSERT_EQ(gpslib::CreateObject(CLSID_AddressObject, IID_IAddressObject, &address), S_OK);
        address->SetAddress(Bstr(c.address).Get());
        address->SetCity(Bstr(c.city).Get());
        address->SetLatitude(c.lat);
        address->SetLongitude(c.lat == 0.0 ? 0.0 : 10.003);
        EXPECT_EQ(core->DestinationSetByAddress(address.Get()), c.status) << c.address;
        ComPtr<IDestinationObject> destination;
        ASSERT_EQ(core->DestinationGet(destination.Put()), S_OK);
        Bstr name;
        destination->GetName(name.Put());
        EXPECT_EQ(name.Utf8(), c.name) << c.address;
    }
    EXPECT_EQ(core->DestinationSetByAddress(nullptr), E_POINTER);
}

// ---------------------------------------------------------------------------------------------
// Bad input, no maps, no service.

TEST_F(AddressSearchTest, HostileTextNeverMatchesAnythingItShouldNot) {
    StartWith({"Sampleton"}, kSample);
    Maps(false, "");
    ASSERT_TRUE(ChoosePlace(false, "Sampleton", "Sampleton"));
    const LONG city = Index();
    struct Case {
        std::string text;
        std::size_t streets; // found when searched anywhere
    } cases[] = {
        {"", 12},
        {std::string(1000, 'a'), 0},
        {std::string(1000, '%'), 0},
        {"12345", 0},
        {"%", 0},
        {"_", 0},
        {"*", 0},
        {"?", 0},
        {"[", 0},
        {"]", 0},
        {"\"", 0},
        {"'", 0},
        {"%_*?[]\"'", 0},
        {"' OR 1=1 --", 0},
        {"Main%", 0},
        {"M_in", 0},
        {"\xC3", 0}, // a broken UTF-8 byte
    };
    config->SetStartsWith(VARIANT_FALSE);
    for (const Case& c : cases) {
        Strings found;
        EXPECT_EQ(Streets(c.text, city, &found), S_OK) << c.text;
        if (c.streets != 1) {
            EXPECT_EQ(found.size(), c.streets) << c.text.substr(0, 20);
        }
        Strings places;
        Places(false, "Sampleton", c.text, &places);
        EXPECT_EQ(places.size(), c.text.empty() ? 1u : 0u) << c.text.substr(0, 20);
        EXPECT_EQ(Maps(false, c.text).size(), c.text.empty() || c.text == "*" ? 1u : 0u)
            << c.text.substr(0, 20);
        config->SetLastSearchIndex(city);
    }
    // House numbers that are not there, however written; a part that is not there is the
    // number alone.
    ASSERT_TRUE(ChooseStreet("Main Street"));
    const LONG main = Index();
    struct Number {
        std::string typed;
        Strings found;
    } numbers[] = {
        {"11", {}},
        {"99999999999999999999", {}},
        {"-5", {}},
        {"abc", {}},
        {"%", {}},
        {std::string(1000, '7'), {}},
        {"_", {}},
        {"7%", {"7 Main Street"}},
        {"7 7 7", {"7 Main Street"}},
    };
    for (const Number& n : numbers) {
        config->SetLastSearchIndex(main);
        config->SetSearchName(Bstr("Main Street").Get());
        EXPECT_EQ(Numbers(n.typed), n.found) << n.typed.substr(0, 20);
        HRESULT hr = S_OK;
        EXPECT_EQ(Get(0, &hr).has_value(), !n.found.empty()) << n.typed.substr(0, 20);
        EXPECT_EQ(hr, n.found.empty() ? S_FALSE : S_OK);
    }
    // Indices beyond the last list.
    config->SetSearchName(Bstr("Main Street").Get());
    config->SetLastSearchIndex(main);
    ASSERT_EQ(Numbers("7").size(), 1u);
    for (long index : {-1L, 1L, 32767L, 2147483647L, -2147483647L - 1}) {
        HRESULT hr = S_OK;
        EXPECT_FALSE(Get(index, &hr)) << index;
        EXPECT_EQ(hr, S_FALSE) << index;
    }
}

TEST_F(AddressSearchTest, WithoutMapsOrStartEverySearchIsEmpty) {
    auto everyStep = [&](const char* when, HRESULT places, HRESULT steps) {
        SCOPED_TRACE(when);
        EXPECT_EQ(Maps(false, ""), Strings{});
        EXPECT_EQ(Maps(true, "*"), Strings{});
        Strings found{"x"};
        EXPECT_EQ(Places(false, "Sampleton", "", &found), places);
        EXPECT_EQ(found, Strings{});
        EXPECT_EQ(Places(true, "", "", &found), S_FALSE);
        EXPECT_EQ(Streets("", -1, &found), steps);
        EXPECT_EQ(found, Strings{});
        gpslib::Variant list;
        SHORT n = -1;
        EXPECT_EQ(core->AddressFindStreetAddress(config.Get(), &list, &n), steps);
        EXPECT_EQ(n, 0);
        HRESULT hr = S_OK;
        EXPECT_FALSE(Get(0, &hr));
        EXPECT_EQ(hr, S_FALSE);
        EXPECT_TRUE(Cross(false, &hr).empty());
        EXPECT_EQ(hr, S_FALSE);
    };
    everyStep("before Start", S_FALSE, S_FALSE);
    // A folder without maps: the database is there, with nothing in it.
    std::filesystem::create_directories(dir.path() + "/empty");
    setenv("GPSLIB_MAP_PATH", (dir.path() + "/empty").c_str(), 1);
    Bstr settings(dir.path() + "/"), result;
    ASSERT_EQ(core->Start(settings.Get(), nullptr, result.Put()), S_OK);
    everyStep("no maps", S_FALSE, S_OK);

    // Null pointers.
    SHORT n = 0;
    gpslib::Variant list;
    ComPtr<IAddressObject> address;
    VARIANT_BOOL ok = 0;
    EXPECT_EQ(core->AddressFindMapsForCitySearch(nullptr, nullptr, &n), E_POINTER);
    EXPECT_EQ(core->AddressFindMapsForPostalSearch(nullptr, &list, nullptr), E_POINTER);
    EXPECT_EQ(core->AddressFindCity(nullptr, nullptr, &list, &n), E_POINTER);
    EXPECT_EQ(core->AddressFindPostal(nullptr, config.Get(), nullptr, &n), E_POINTER);
    EXPECT_EQ(core->AddressFindStreet(config.Get(), &list, nullptr), E_POINTER);
    EXPECT_EQ(core->AddressFindStreetAddress(nullptr, &list, &n), E_POINTER);
    EXPECT_EQ(core->AddressGet(config.Get(), nullptr, &ok), E_POINTER);
    EXPECT_EQ(core->AddressGet(config.Get(), address.Put(), nullptr), E_POINTER);
    EXPECT_EQ(core->AddressGetCrossStreets(config.Get(), 0, nullptr, &n), E_POINTER);
}

TEST_F(AddressSearchTest, ACitySearchNeedsAMapSearchOfTheSameServiceRun) {
    StartWith({"Sampleton"}, kSample);
    Strings found;
    EXPECT_EQ(Places(false, "Sampleton", "", &found), S_FALSE) << "no map search yet";
    Maps(true, ""); // a postal search's maps are not a city search's
    EXPECT_EQ(Places(false, "Sampleton", "", &found), S_FALSE);
    Maps(false, "");
    EXPECT_EQ(Places(false, "Sampleton", "", &found), S_OK);
    EXPECT_EQ(Places(false, "Elsewhere", "", &found), S_FALSE);
    core->Stop();
    Bstr settings(dir.path() + "/"), result;
    ASSERT_EQ(core->Start(settings.Get(), nullptr, result.Put()), S_OK);
    EXPECT_EQ(Places(false, "Sampleton", "", &found), S_FALSE) << "a new run";
    // Maps loaded again from a folder without them.
    Maps(false, "");
    std::filesystem::create_directories(dir.path() + "/empty");
    ComPtr<ISystemSettingsObject> s;
    ASSERT_EQ(core->SystemGetSettings(s.Put()), S_OK);
    s->SetMapPOIDirectory(Bstr(dir.path() + "/empty").Get());
    s->SetSearchOtherMapDirectories(VARIANT_FALSE);
    ASSERT_EQ(core->SystemSetSettings(s.Get()), S_OK);
    EXPECT_EQ(Places(false, "Sampleton", "", &found), S_FALSE) << "its database is closed";
}

// ---------------------------------------------------------------------------------------------
// Real extracts, checked against the extract itself.

struct OsmAddress {
    std::string number, street, city, postcode;
    double lat = 0, lon = 0;
};
using Line = std::vector<std::pair<double, double>>;
struct OsmTruth {
    std::vector<OsmAddress> addresses; // numbered nodes with a street and a city
    std::map<std::string, int> waysOfStreet;
    // Points of the named highways, for cross streets.
    std::map<std::string, Line> pointsOfStreet;
    std::map<std::string, std::vector<Line>> linesOfStreet;
    // Every point of each "number|street": nodes and buildings (an address may be drawn twice).
    std::map<std::string, Line> pointsOfAddress;
};

// Metres from a point to the nearest segment of the lines (flat within a few hundred metres).
double ToLines(double lat, double lon, const std::vector<Line>& lines) {
    const double k = std::cos(lat * M_PI / 180.0);
    double best = 1e9;
    for (const Line& line : lines)
        for (std::size_t i = 0; i + 1 < line.size(); ++i) {
            const double ax = (line[i].second - lon) * k, ay = line[i].first - lat;
            const double bx = (line[i + 1].second - lon) * k, by = line[i + 1].first - lat;
            const double dx = bx - ax, dy = by - ay, len = dx * dx + dy * dy;
            double t = len > 0 ? -(ax * dx + ay * dy) / len : 0.0;
            t = std::clamp(t, 0.0, 1.0);
            const double x = ax + t * dx, y = ay + t * dy;
            best = std::min(best, std::sqrt(x * x + y * y) * 111195.0);
        }
    return best;
}

class TruthReader : public osmium::handler::Handler {
public:
    void node(const osmium::Node& n) {
        const char* number = n.tags()["addr:housenumber"];
        const char* street = n.tags()["addr:street"];
        const char* city = n.tags()["addr:city"];
        if (number && street && n.location().valid())
            truth.pointsOfAddress[std::string(number) + "|" + street].push_back(
                {n.location().lat(), n.location().lon()});
        if (number && street && city && n.location().valid())
            truth.addresses.push_back({number, street, city,
                                       n.tags().get_value_by_key("addr:postcode", ""),
                                       n.location().lat(), n.location().lon()});
    }
    void way(const osmium::Way& w) {
        const char* number = w.tags()["addr:housenumber"];
        const char* street = w.tags()["addr:street"];
        if (number && street && w.is_closed() && w.nodes().size() > 3) {
            double lat = 0, lon = 0;
            for (std::size_t i = 0; i + 1 < w.nodes().size(); ++i)
                lat += w.nodes()[i].location().lat(), lon += w.nodes()[i].location().lon();
            const double n = static_cast<double>(w.nodes().size() - 1);
            truth.pointsOfAddress[std::string(number) + "|" + street].push_back({lat / n, lon / n});
        }
        const char* name = w.tags()["name"];
        if (!w.tags()["highway"] || !name) return;
        ++truth.waysOfStreet[name];
        Line line;
        for (const osmium::NodeRef& r : w.nodes())
            if (r.location().valid()) line.push_back({r.location().lat(), r.location().lon()});
        auto& points = truth.pointsOfStreet[name];
        points.insert(points.end(), line.begin(), line.end());
        truth.linesOfStreet[name].push_back(std::move(line));
    }
    OsmTruth truth;
};

const OsmTruth& Truth(const std::string& extract) {
    static std::map<std::string, OsmTruth> read;
    auto at = read.find(extract);
    if (at != read.end()) return at->second;
    using Index = osmium::index::map::FlexMem<osmium::unsigned_object_id_type, osmium::Location>;
    Index index;
    osmium::handler::NodeLocationsForWays<Index> locations{index};
    locations.ignore_errors();
    TruthReader reader;
    osmium::io::Reader input{kExtracts + "/" + extract,
                             osmium::osm_entity_bits::node | osmium::osm_entity_bits::way};
    osmium::apply(input, locations, reader);
    input.close();
    return read[extract] = std::move(reader.truth);
}

// Lower case without the accents of the Latin letters these extracts use, as a user types.
std::string Plain(const std::string& text) {
    static const std::map<std::string, std::string> kLetters = {
        {"ä", "a"}, {"Ä", "a"}, {"ö", "o"}, {"Ö", "o"}, {"ü", "u"}, {"Ü", "u"},
        {"é", "e"}, {"è", "e"}, {"ê", "e"}, {"à", "a"}, {"â", "a"}, {"ô", "o"}};
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        bool done = false;
        for (const auto& [from, to] : kLetters)
            if (text.compare(i, from.size(), from) == 0) {
                out += to, i += from.size(), done = true;
                break;
            }
        if (!done) out += static_cast<char>(std::tolower(static_cast<unsigned char>(text[i++])));
    }
    return out;
}

struct Extract {
    const char* file;
    const char* map;
    std::size_t sample; // addresses walked through the steps
};
void PrintTo(const Extract& e, std::ostream* os) {
    *os << e.map;
}

class RealAddresses : public AddressSearchTest, public ::testing::WithParamInterface<Extract> {};

// City → street → number → position, for addresses spread over the extract, the city and street
// typed in lower case without accents; both sides of the street come up (odd and even numbers).
TEST_P(RealAddresses, CityStreetNumberLeadsToTheHouse) {
    if (!HaveExtracts()) GTEST_SKIP() << "no compiled extracts";
    StartWith({GetParam().map}, kCompiled);
    const OsmTruth& truth = Truth(GetParam().file);
    // "" when the steps lead to within 30 m of the house, else what went wrong.
    auto walk = [&](const OsmAddress& a) -> std::string {
        NewConfig();
        if (Maps(false, Plain(GetParam().map)) != Strings{GetParam().map}) return "no map";
        Strings cities;
        Places(false, GetParam().map, Plain(a.city), &cities);
        auto city = std::find(cities.begin(), cities.end(), a.city);
        if (city == cities.end()) return "city not listed: " + ::testing::PrintToString(cities);
        place = static_cast<LONG>(city - cities.begin());
        if (!ChooseStreet(Plain(a.street), a.street)) return "street not listed";
        const LONG chosen = Index();
        Strings numbers = Numbers(a.number);
        if (numbers.empty()) return "number not listed";
        double best = 1e9;
        for (std::size_t k = 0; k < numbers.size(); ++k) {
            auto got = Get(static_cast<long>(k));
            if (!got) return "no position for " + numbers[k];
            EXPECT_EQ(got->street, a.street);
            EXPECT_EQ(got->map, GetParam().map);
            for (const auto& [lat, lon] : truth.pointsOfAddress.at(a.number + "|" + a.street))
                best = std::min(best, Metres(got->lat, got->lon, lat, lon));
        }
        // The ranges of the street are listed too.
        config->SetLastSearchIndex(chosen);
        EXPECT_FALSE(Numbers("").empty());
        EXPECT_EQ(Kind(), AddressResultsAddressRanges);
        // In front of the house on its street: within 30 m of the address point, or for a
        // house set back farther, as far as the street is.
        const double setback = ToLines(a.lat, a.lon, truth.linesOfStreet.at(a.street));
        return best <= std::max(30.0, setback + 15.0)
                   ? ""
                   : std::to_string(static_cast<int>(best)) + " m away, " +
                         std::to_string(static_cast<int>(setback)) + " m from the street";
    };
    // The addresses of streets the extract has, near a way of that name (an address naming a
    // street the map does not have, or one of that name in another town, cannot be found).
    std::vector<const OsmAddress*> usable;
    for (const OsmAddress& a : truth.addresses) {
        auto lines = truth.linesOfStreet.find(a.street);
        if (lines != truth.linesOfStreet.end() && ToLines(a.lat, a.lon, lines->second) < 100.0)
            usable.push_back(&a);
    }
    ASSERT_GE(usable.size(), 30u);
    std::size_t tried = 0, near = 0, odd = 0, even = 0;
    std::ostringstream misses;
    const std::size_t step = std::max<std::size_t>(1, usable.size() / GetParam().sample);
    for (std::size_t i = 0; i < usable.size(); i += step) {
        const OsmAddress& a = *usable[i];
        ++tried;
        const std::string miss = walk(a);
        if (miss.empty()) {
            ++near;
            (std::atol(a.number.c_str()) % 2 ? odd : even) += 1;
        } else {
            misses << a.number << " " << a.street << ", " << a.city << ": " << miss << "\n";
        }
    }
    EXPECT_EQ(near, tried) << misses.str();
    EXPECT_GT(odd, 0u);
    EXPECT_GT(even, 0u);
}

// The postal code of an address leads to its street and its house just as well.
TEST_P(RealAddresses, PostalCodeStreetNumber) {
    if (!HaveExtracts()) GTEST_SKIP() << "no compiled extracts";
    StartWith({GetParam().map}, kCompiled);
    const OsmTruth& truth = Truth(GetParam().file);
    std::vector<const OsmAddress*> usable;
    for (const OsmAddress& a : truth.addresses) {
        auto lines = truth.linesOfStreet.find(a.street);
        if (!a.postcode.empty() && lines != truth.linesOfStreet.end() &&
            ToLines(a.lat, a.lon, lines->second) < 30.0)
            usable.push_back(&a);
    }
    std::size_t tried = 0, near = 0;
    for (std::size_t i = 0; i < usable.size() && tried < 10; i += usable.size() / 10 + 1) {
        const OsmAddress& a = *usable[i];
        SCOPED_TRACE(a.number + " " + a.street + ", " + a.postcode);
        ++tried;
        NewConfig();
        ASSERT_EQ(Maps(true, GetParam().map), Strings{GetParam().map});
        ASSERT_TRUE(ChoosePlace(true, GetParam().map, a.postcode));
        ASSERT_TRUE(ChooseStreet(a.street));
        ASSERT_FALSE(Numbers(a.number).empty());
        auto got = Get(0);
        ASSERT_TRUE(got);
        if (Metres(got->lat, got->lon, a.lat, a.lon) <= 30.0) ++near;
    }
    EXPECT_GT(tried, 5u);
    EXPECT_GE(near * 10, tried * 8);
}

// A street drawn as many ways is one entry of the street list, and its cross streets are streets
// that really come to it in the extract.
TEST_P(RealAddresses, StreetsOfManyWaysAreListedOnceWithTheirRealCrossStreets) {
    if (!HaveExtracts()) GTEST_SKIP() << "no compiled extracts";
    StartWith({GetParam().map}, kCompiled);
    const OsmTruth& truth = Truth(GetParam().file);
    std::vector<std::pair<int, std::string>> split;
    for (const auto& [name, ways] : truth.waysOfStreet)
        if (ways >= 4) split.push_back({ways, name});
    std::sort(split.rbegin(), split.rend());
    ASSERT_GE(split.size(), 5u);
    split.resize(5);
    Maps(false, "");
    for (const auto& [ways, name] : split) {
        SCOPED_TRACE(name + " (" + std::to_string(ways) + " ways)");
        NewConfig();
        Maps(false, "");
        Strings all;
        ASSERT_EQ(Places(false, GetParam().map, "", &all), S_OK);
        Strings streets;
        ASSERT_EQ(Streets(name, -1, &streets), S_OK); // every street of the map
        if (SearchName() != name || Kind() == AddressResultsStreetNames) {
            ASSERT_EQ(std::count(streets.begin(), streets.end(), name), 1)
                << ::testing::PrintToString(streets);
            config->SetLastSearchIndex(static_cast<LONG>(
                std::find(streets.begin(), streets.end(), name) - streets.begin()));
        }
        config->SetStreetAddressNumber(Bstr("").Get());
        HRESULT hr = E_FAIL;
        std::vector<Address> cross = Cross(false, &hr);
        EXPECT_EQ(hr, S_OK);
        EXPECT_FALSE(cross.empty());
        const auto& own = truth.pointsOfStreet.at(name);
        for (const Address& c : cross) {
            auto other = truth.pointsOfStreet.find(c.street);
            if (other == truth.pointsOfStreet.end()) continue; // an unnamed road's words
            // The corner lies on both streets (a junction is at most 40 m wide).
            auto nearest = [&](const std::vector<std::pair<double, double>>& points) {
                double d = 1e9;
                for (const auto& [lat, lon] : points)
                    d = std::min(d, Metres(lat, lon, c.lat, c.lon));
                return d;
            };
            EXPECT_LT(nearest(own), 60.0) << c.text;
            EXPECT_LT(nearest(other->second), 60.0) << c.text;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Extracts, RealAddresses,
                         ::testing::Values(Extract{"baltimore.osm.pbf", "Baltimore", 100},
                                           Extract{"liechtenstein.osm.pbf", "Liechtenstein", 100}));

// One number drawn three times on one street (a node and buildings): the places that the map
// engine describes alike are one entry, and the address is there.
TEST_F(AddressSearchTest, LiechtensteinOneNumberDrawnThreeTimesIsListedOncePerPlace) {
    if (!HaveExtracts()) GTEST_SKIP() << "no compiled extracts";
    StartWith({"Liechtenstein"}, kCompiled);
    Maps(false, "");
    ASSERT_TRUE(ChoosePlace(false, "Liechtenstein", "Vaduz"));
    ASSERT_TRUE(ChooseStreet("F\xC3\xBCrst-Franz-Josef-Strasse"));
    Strings found = Numbers("68");
    EXPECT_EQ(Kind(), AddressResultsMultipleAddressMatches);
    // Three records: two at one corner, one nearer another.
    ASSERT_EQ(found.size(), 2u) << ::testing::PrintToString(found);
    EXPECT_NE(found[0], found[1]);
    for (std::size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].rfind("68 F\xC3\xBCrst-Franz-Josef-Strasse: ", 0), 0u) << found[i];
        EXPECT_EQ(found[i].substr(found[i].size() - 7), ", Vaduz") << found[i];
        auto got = Get(static_cast<long>(i));
        ASSERT_TRUE(got) << found[i];
        EXPECT_EQ(got->text, "68 F\xC3\xBCrst-Franz-Josef-Strasse");
        EXPECT_LT(Metres(got->lat, got->lon, 47.1463, 9.5178), 100.0);
    }
}

// Accents and the letters written as two: typed plainly, found as written.
TEST_F(AddressSearchTest, LiechtensteinAccentsAndSharpS) {
    if (!HaveExtracts()) GTEST_SKIP() << "no compiled extracts";
    StartWith({"Liechtenstein"}, kCompiled);
    Maps(false, "liech");
    ASSERT_TRUE(ChoosePlace(false, "Liechtenstein", "Vaduz"));
    const LONG vaduz = Index();
    struct Case {
        const char* typed;
        bool startsWith;
        const char* found;
    } cases[] = {
        {"aulestrasse", true, "\xC3\x84ulestrasse"}, // Ä typed as a
        {"AULESTRASSE", true, "\xC3\x84ulestrasse"}, // in capitals
        {"\xC3\xA4ulestra\xC3\x9F"
         "e",
         true, "\xC3\x84ulestrasse"},              // ß for ss
        {"lestrass", false, "\xC3\x84ulestrasse"}, // anywhere
    };
    for (const Case& c : cases) {
        config->SetStartsWith(c.startsWith ? VARIANT_TRUE : VARIANT_FALSE);
        Strings streets;
        ASSERT_EQ(Streets(c.typed, vaduz, &streets), S_OK);
        if (Kind() == AddressResultsStreetNames)
            EXPECT_NE(std::find(streets.begin(), streets.end(), c.found), streets.end())
                << c.typed << ": " << ::testing::PrintToString(streets);
        else
            EXPECT_EQ(SearchName(), c.found) << c.typed;
        config->SetLastSearchIndex(vaduz);
    }
}

} // namespace
