// The address search as a client drives it: the service, the map engine and the database
// component registered (by the real gpsreg) in a temporary store, maps loaded from a folder of
// this test. The sample town gives exact answers; Baltimore and Liechtenstein, compiled at build
// time, are checked against the extracts themselves, read here with libosmium.
#include <gpslib/GPSLib.h>
#include <gpslib/support.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "formats/Geodesy.h"
#include "osm_read.h"
#include "registered_modules.h"
#include "settings_folder.h"
#include "value.h"

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;
using Strings = std::vector<std::string>;
using Line = std::vector<gpslib::geo::Point>;

const std::string kSample = GPSLIB_SAMPLE_MAP_DIR, kCompiled = GPSLIB_OSM_MAP_DIR;

double Metres(double lat1, double lon1, double lat2, double lon2) {
    return gpslib::geo::Distance({lat1, lon1}, {lat2, lon2});
}

// What an address object answers.
struct Address {
    std::string text, name, street, city, postal, map;
    double lat = 0, lon = 0;
};

Address ReadAddress(IAddressObject* a) {
    using A = IAddressObject;
    using gpslib::test::Text, gpslib::test::Value;
    return {Text(a, &A::GetAddress),   Text(a, &A::GetName),          Text(a, &A::GetStreet),
            Text(a, &A::GetCity),      Text(a, &A::GetZipPostalcode), Text(a, &A::GetMap),
            Value(a, &A::GetLatitude), Value(a, &A::GetLongitude)};
}

// The service with the maps of one folder, and the steps of a search as a client calls them.
class AddressSearchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(gpslib::test::RegisterModules({GPSCORE_MODULE, GPSMAP_MODULE, GPSDB_MODULE}));
    }
    void SetUp() override {
        gpslib::test::PrepareSettingsFolder(dir);
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
    // Starts the service on a folder holding the named maps' files (links); `maps` empty: none.
    void StartWith(const Strings& maps, const std::string& from = kSample) {
        setenv("GPSLIB_MAP_PATH", gpslib::test::MapFolder(dir.File("maps"), from, maps).c_str(), 1);
        Bstr settings(dir.path() + "/"), result;
        ASSERT_EQ(core->Start(settings.Get(), nullptr, result.Put()), S_OK);
    }
    static bool HaveExtracts() { return std::filesystem::exists(kCompiled + "/Baltimore.cpd"); }

    // One step answering a list of strings: the list (its length is the count), the status.
    Strings List(const std::function<HRESULT(VARIANT*, SHORT*)>& step, HRESULT* status = nullptr) {
        gpslib::Variant list;
        SHORT n = -1;
        HRESULT hr = step(&list, &n);
        if (status) *status = hr;
        Strings out = gpslib::test::Strings(&list);
        EXPECT_EQ(static_cast<std::size_t>(n), out.size());
        return out;
    }
    Strings Maps(bool postal, const std::string& search) {
        Bstr text(search);
        return List([&](VARIANT* l, SHORT* n) {
            return postal ? core->AddressFindMapsForPostalSearch(text.Get(), l, n)
                          : core->AddressFindMapsForCitySearch(text.Get(), l, n);
        });
    }
    Strings Places(bool postal, const std::string& map, const std::string& name,
                   HRESULT* hr = nullptr) {
        config->SetSearchName(Bstr(name).Get());
        Bstr mapName(map);
        return List(
            [&](VARIANT* l, SHORT* n) {
                return postal ? core->AddressFindPostal(mapName.Get(), config.Get(), l, n)
                              : core->AddressFindCity(mapName.Get(), config.Get(), l, n);
            },
            hr);
    }
    Strings Streets(const std::string& name, long index, HRESULT* hr = nullptr) {
        config->SetSearchName(Bstr(name).Get());
        config->SetLastSearchIndex(index);
        config->SetStreetAddressNumber(Bstr("").Get());
        return List(
            [&](VARIANT* l, SHORT* n) { return core->AddressFindStreet(config.Get(), l, n); }, hr);
    }
    Strings Numbers(const std::string& number, HRESULT* hr = nullptr) {
        config->SetStreetAddressNumber(Bstr(number).Get());
        return List([&](VARIANT* l,
                        SHORT* n) { return core->AddressFindStreetAddress(config.Get(), l, n); },
                    hr);
    }
    // Chooses `name` from a city or postal list; false when the list does not hold it.
    bool ChoosePlace(bool postal, const std::string& map, const std::string& name) {
        Strings found = Places(postal, map, name);
        place = static_cast<LONG>(std::find(found.begin(), found.end(), name) - found.begin());
        return place < static_cast<LONG>(found.size());
    }
    // Types `typed` in the chosen place and picks `listed` from the street list (which a single
    // match skips); false when the list does not hold it once.
    bool ChooseStreet(const std::string& typed, std::string listed = "") {
        if (listed.empty()) listed = typed;
        Strings found = Streets(typed, place);
        if (Kind() != AddressResultsStreetNames) return SearchName() == listed;
        auto at = std::find(found.begin(), found.end(), listed);
        config->SetLastSearchIndex(static_cast<LONG>(at - found.begin()));
        return std::count(found.begin(), found.end(), listed) == 1;
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
        *status = core->AddressGetCrossStreets(config.Get(), samePostal ? -1 : 0, &list, &n);
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
        return gpslib::test::Text(config.Get(), &IAddressSearchConfigurationObject::GetSearchName);
    }
    LONG Index() {
        LONG index = -2;
        config->GetLastSearchIndex(&index);
        return index;
    }
    AddressResults Kind() {
        return gpslib::test::Value(config.Get(),
                                   &IAddressSearchConfigurationObject::GetResultsType);
    }

    gpslib::test::TempDir dir;
    ComPtr<IGPSCore> core;
    ComPtr<IAddressSearchConfigurationObject> config;
    LONG place = -1; // the entry chosen from the last city or postal list
};

// ---------------------------------------------------------------------------------------------
// The sample town, exactly.

TEST_F(AddressSearchTest, SampleTownCityStreetNumberAddress) {
    StartWith({"Sampleton"});
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
    EXPECT_EQ(Streets("Street", place),
              (Strings{"Elm Street", "Main Street", "North Street", "South Street"}));

    // One street: straight on to its numbers, the configuration naming it; the range is placed
    // at its first number, on the street in front of number 1.
    EXPECT_EQ(Streets("mai", place), Strings{"1 - 10 Main Street"});
    EXPECT_EQ(SearchName() + "@" + std::to_string(Index()), "Main Street@0");
    EXPECT_EQ(Kind(), AddressResultsAddressRanges);
    struct NumberCase {
        const char* number;
        Strings labels;
        const char* text; // of AddressGet(0); null: none
        double lat, lon;  // on the street line in front of the house
    } numbers[] = {
        {"", {"1 - 10 Main Street"}, "1 Main Street", 45.002, 10.0003},
        {"7", {"7 Main Street"}, "7 Main Street", 45.002, 10.00195},
        {"6", {"6 Main Street"}, "6 Main Street", 45.002, 10.0014}, // on the interpolation line
        {"11", {}, nullptr, 0, 0},
        {"0", {}, nullptr, 0, 0},
    };
    for (const NumberCase& c : numbers) {
        config->SetLastSearchIndex(0);
        EXPECT_EQ(Numbers(c.number), c.labels) << c.number;
        HRESULT hr = E_FAIL;
        auto got = Get(0, &hr);
        EXPECT_EQ(hr, c.text ? S_OK : S_FALSE) << c.number;
        if (!got || !c.text) continue;
        EXPECT_EQ(got->text + "|" + got->name, std::string(c.text) + "|" + c.text);
        EXPECT_EQ(got->street + "|" + got->city + "|" + got->postal + "|" + got->map,
                  "Main Street|Sampleton|12345|Sampleton");
        EXPECT_LT(Metres(got->lat, got->lon, c.lat, c.lon), 12.0) << c.number;
    }

    // Several buildings of one number, told apart by their place; AddressGet takes the entry's
    // own record, and a part names one building.
    ASSERT_TRUE(ChooseStreet("Elm Street"));
    Strings several = Numbers("14");
    EXPECT_EQ(Kind(), AddressResultsMultipleAddressMatches);
    ASSERT_EQ(several.size(), 2u);
    EXPECT_EQ(several[0].rfind("14 к1 Elm Street: ", 0), 0u) << several[0];
    EXPECT_EQ(several[1].rfind("14 к2 Elm Street: ", 0), 0u) << several[1];
    EXPECT_NE(several[0].find("Sampleton"), std::string::npos) << several[0];
    for (auto [number, index] : {std::pair{"14", 1L}, std::pair{"14К2", 0L}}) {
        config->SetLastSearchIndex(0);
        Numbers(number);
        auto got = Get(index);
        ASSERT_TRUE(got) << number;
        EXPECT_EQ(got->text, "14 к2 Elm Street");
        EXPECT_LT(Metres(got->lat, got->lon, 45.00245, 10.006), 3.0);
    }
    // A street without house numbers is the street itself, placed at its middle.
    ASSERT_TRUE(ChooseStreet("Oak Avenue"));
    EXPECT_EQ(Numbers(""), Strings{"Oak Avenue"});
    auto oak = Get(0);
    ASSERT_TRUE(oak);
    EXPECT_EQ(oak->text, "Oak Avenue");
    EXPECT_NEAR(oak->lon, 10.003, 0.0003);

    // By postal code.
    EXPECT_EQ(Maps(true, "s"), Strings{"Sampleton"});
    ASSERT_TRUE(ChoosePlace(true, "Sampleton", "12345"));
    ASSERT_TRUE(ChooseStreet("Elm Street"));
    EXPECT_EQ(Numbers("12"), Strings{"12 Elm Street"});
    auto twelve = Get(0);
    ASSERT_TRUE(twelve);
    EXPECT_EQ(twelve->postal + " " + twelve->city, "12345 Sampleton");
    // The building east of Elm Street (x 6.15–6.3, y 1.0–1.2), in front of it on the street.
    EXPECT_LT(Metres(twelve->lat, twelve->lon, 45.0011, 10.006), 12.0);
}

TEST_F(AddressSearchTest, SampleTownCrossStreetsAndTheDestination) {
    StartWith({"Sampleton"});
    Maps(false, "");
    ASSERT_TRUE(ChoosePlace(false, "Sampleton", "Sampleton"));
    ASSERT_TRUE(ChooseStreet("Main Street"));
    HRESULT hr = E_FAIL;
    std::vector<Address> cross = Cross(false, &hr);
    EXPECT_EQ(hr, S_OK);
    Strings names;
    for (const Address& a : cross)
        names.push_back(a.street);
    // West to east; the service road and the crossing footway are no corners, and the
    // roundabout's two streets meet Main Street at its centre.
    ASSERT_EQ(names.size(), 5u) << ::testing::PrintToString(names);
    EXPECT_EQ(Strings(names.begin(), names.begin() + 3),
              (Strings{"First Avenue", "Oak Avenue", "Elm Street"}));
    EXPECT_EQ(std::set<std::string>(names.begin() + 3, names.end()),
              (std::set<std::string>{"Harbour Road", "Station Road"}));
    EXPECT_EQ(cross[1].text, "Main Street and Oak Avenue");
    EXPECT_LT(Metres(cross[1].lat, cross[1].lon, 45.002, 10.003), 15.0);
    EXPECT_EQ(cross[1].city, "Sampleton");
    EXPECT_EQ(Cross(true, &hr).size(), 5u); // all of the postal code asked for

    // The destination at a found address, then at one a client emptied, which keeps it. (The
    // spoken name's rules: address_rules_test.cpp; a client's address: the lifecycle test.)
    ASSERT_TRUE(ChooseStreet("Main Street"));
    Numbers("7");
    config->SetLastSearchIndex(0);
    ComPtr<IAddressObject> seven, emptied;
    VARIANT_BOOL ok = 0;
    ASSERT_EQ(core->AddressGet(config.Get(), seven.Put(), &ok), S_OK);
    ASSERT_EQ(core->AddressGet(config.Get(), emptied.Put(), &ok), S_OK);
    struct Case {
        IAddressObject* address;
        const char* city; // set first, when not null
        double lat;       // set first, when not 0
        HRESULT status;
        const char* name; // of the destination afterwards
    } cases[] = {
        {seven.Get(), nullptr, 0, S_OK, "7 Main Street, Sampleton"},
        {emptied.Get(), "", -0.0, S_FALSE, "7 Main Street, Sampleton"}, // kept
        {nullptr, nullptr, 0, E_POINTER, "7 Main Street, Sampleton"},
    };
    for (const Case& c : cases) {
        if (c.city) c.address->SetCity(Bstr(c.city).Get());
        if (std::signbit(c.lat)) c.address->SetLatitude(0), c.address->SetLongitude(0);
        EXPECT_EQ(core->DestinationSetByAddress(c.address), c.status) << c.name;
        ComPtr<IDestinationObject> destination;
        ASSERT_EQ(core->DestinationGet(destination.Put()), S_OK);
        Bstr name;
        destination->GetName(name.Put());
        EXPECT_EQ(name.Utf8(), c.name);
        double lat = 0;
        destination->GetLatitude(&lat);
        EXPECT_NEAR(lat, 45.002, 0.0001);
    }
}

// ---------------------------------------------------------------------------------------------
// Bad input, no maps, no service.

TEST_F(AddressSearchTest, HostileTextNumbersAndIndices) {
    StartWith({"Sampleton"});
    Maps(false, "");
    ASSERT_TRUE(ChoosePlace(false, "Sampleton", "Sampleton"));
    const LONG city = place;
    config->SetStartsWith(VARIANT_FALSE);
    // Wildcards and quotes of a query language, long text and broken UTF-8 find nothing.
    Strings texts = {"12345", "%", "_",         "*",           "?",     "[",    "]",
                     "\"",    "'", "%_*?[]\"'", "' OR 1=1 --", "Main%", "M_in", "\xC3"};
    texts.insert(texts.end(), {std::string(1000, 'a'), std::string(1000, '%')});
    EXPECT_EQ(Streets("", city).size(), 12u); // every named street
    for (const std::string& text : texts) {
        HRESULT hr = E_FAIL;
        EXPECT_EQ(Streets(text, city, &hr), Strings{}) << text.substr(0, 20);
        EXPECT_EQ(hr, S_OK);
        EXPECT_EQ(Places(false, "Sampleton", text), Strings{}) << text.substr(0, 20);
        EXPECT_EQ(Maps(false, text).size(), text == "*" ? 1u : 0u) << text.substr(0, 20);
    }
    // House numbers that are not there, however written; a part that is not there is the
    // number alone.
    Maps(false, "");
    ASSERT_TRUE(ChoosePlace(false, "Sampleton", "Sampleton"));
    ASSERT_TRUE(ChooseStreet("Main Street"));
    const LONG main = Index();
    struct Number {
        std::string typed;
        Strings found;
    } numbers[] = {{"11", {}},
                   {"99999999999999999999", {}},
                   {"-5", {}},
                   {"abc", {}},
                   {"%", {}},
                   {"_", {}},
                   {std::string(1000, '7'), {}},
                   {"7%", {"7 Main Street"}},
                   {"7 7 7", {"7 Main Street"}}};
    for (const Number& n : numbers) {
        config->SetLastSearchIndex(main);
        EXPECT_EQ(Numbers(n.typed), n.found) << n.typed.substr(0, 20);
        HRESULT hr = S_OK;
        EXPECT_EQ(Get(0, &hr).has_value(), !n.found.empty()) << n.typed.substr(0, 20);
        EXPECT_EQ(hr, n.found.empty() ? S_FALSE : S_OK);
    }
    // Indices beyond the last list.
    config->SetLastSearchIndex(main);
    ASSERT_EQ(Numbers("7").size(), 1u);
    for (long index : {-1L, 1L, 32767L, 2147483647L, -2147483647L - 1}) {
        HRESULT hr = S_OK;
        EXPECT_FALSE(Get(index, &hr)) << index;
        EXPECT_EQ(hr, S_FALSE) << index;
    }
}

TEST_F(AddressSearchTest, WithoutMapsOrStartEverySearchIsEmpty) {
    auto everyStep = [&](const char* when, HRESULT steps) {
        SCOPED_TRACE(when);
        EXPECT_EQ(Maps(false, ""), Strings{});
        EXPECT_EQ(Maps(true, "*"), Strings{});
        HRESULT hr = S_OK;
        EXPECT_EQ(Places(false, "Sampleton", "", &hr), Strings{});
        EXPECT_EQ(hr, S_FALSE);
        EXPECT_EQ(Places(true, "", "", &hr), Strings{});
        EXPECT_EQ(hr, S_FALSE);
        EXPECT_EQ(Streets("", -1, &hr), Strings{});
        EXPECT_EQ(hr, steps);
        EXPECT_EQ(Numbers("7", &hr), Strings{});
        EXPECT_EQ(hr, steps);
        EXPECT_FALSE(Get(0, &hr));
        EXPECT_EQ(hr, S_FALSE);
        EXPECT_TRUE(Cross(false, &hr).empty());
        EXPECT_EQ(hr, S_FALSE);
    };
    everyStep("before Start", S_FALSE);
    StartWith({}); // a folder without maps: the database is there, with nothing in it
    everyStep("no maps", S_OK);

    SHORT n = 0;
    gpslib::Variant list;
    ComPtr<IAddressObject> address;
    VARIANT_BOOL ok = 0;
    const HRESULT nulls[] = {
        core->AddressFindMapsForCitySearch(nullptr, nullptr, &n),
        core->AddressFindMapsForPostalSearch(nullptr, &list, nullptr),
        core->AddressFindCity(nullptr, nullptr, &list, &n),
        core->AddressFindPostal(nullptr, config.Get(), nullptr, &n),
        core->AddressFindStreet(config.Get(), &list, nullptr),
        core->AddressFindStreetAddress(nullptr, &list, &n),
        core->AddressGet(config.Get(), nullptr, &ok),
        core->AddressGet(config.Get(), address.Put(), nullptr),
        core->AddressGetCrossStreets(config.Get(), 0, nullptr, &n),
    };
    for (HRESULT hr : nulls)
        EXPECT_EQ(hr, E_POINTER);
}

TEST_F(AddressSearchTest, ACitySearchNeedsAMapSearchOfTheSameServiceRun) {
    StartWith({"Sampleton"});
    auto city = [&] {
        HRESULT hr = E_FAIL;
        Places(false, "Sampleton", "", &hr);
        return hr;
    };
    EXPECT_EQ(city(), S_FALSE) << "no map search yet";
    Maps(true, "");
    EXPECT_EQ(city(), S_FALSE) << "a postal search's maps are not a city search's";
    Maps(false, "");
    EXPECT_EQ(city(), S_OK);
    core->Stop();
    Bstr settings(dir.path() + "/"), result;
    ASSERT_EQ(core->Start(settings.Get(), nullptr, result.Put()), S_OK);
    EXPECT_EQ(city(), S_FALSE) << "a new run";
    Maps(false, "");
    std::filesystem::create_directories(dir.path() + "/empty");
    ComPtr<ISystemSettingsObject> s;
    ASSERT_EQ(core->SystemGetSettings(s.Put()), S_OK);
    s->SetMapPOIDirectory(Bstr(dir.path() + "/empty").Get());
    s->SetSearchOtherMapDirectories(VARIANT_FALSE);
    ASSERT_EQ(core->SystemSetSettings(s.Get()), S_OK);
    EXPECT_EQ(city(), S_FALSE) << "maps loaded again without it";
}

// ---------------------------------------------------------------------------------------------
// Real extracts, checked against the extract itself.

struct OsmAddress {
    std::string number, street, city, postcode;
    double lat = 0, lon = 0;
};
struct OsmTruth {
    std::vector<OsmAddress> addresses;                    // numbered nodes with street and city
    std::map<std::string, std::vector<Line>> streetLines; // the named highways' ways
    std::map<std::string, Line> addressPoints; // "number|street": every node and building
};

// Metres from a point to the nearest segment of the lines.
double ToLines(double lat, double lon, const std::vector<Line>& lines) {
    double best = 1e9;
    for (const Line& line : lines)
        for (std::size_t i = 0; i + 1 < line.size(); ++i)
            best = std::min(best, gpslib::geo::Project({lat, lon}, line[i], line[i + 1]).distance);
    return best;
}

class TruthReader : public osmium::handler::Handler {
public:
    void node(const osmium::Node& n) {
        const char *number = n.tags()["addr:housenumber"], *street = n.tags()["addr:street"];
        if (!number || !street) return;
        truth.addressPoints[std::string(number) + "|" + street].push_back(
            {n.location().lat(), n.location().lon()});
        if (const char* city = n.tags()["addr:city"])
            truth.addresses.push_back({number, street, city,
                                       n.tags().get_value_by_key("addr:postcode", ""),
                                       n.location().lat(), n.location().lon()});
    }
    void way(const osmium::Way& w) {
        const char *number = w.tags()["addr:housenumber"], *street = w.tags()["addr:street"];
        Line line;
        for (const osmium::NodeRef& r : w.nodes())
            if (r.location().valid()) line.push_back({r.location().lat(), r.location().lon()});
        if (number && street && w.is_closed() && line.size() > 3) {
            double lat = 0, lon = 0;
            for (std::size_t i = 0; i + 1 < line.size(); ++i)
                lat += line[i].lat, lon += line[i].lon;
            const double n = static_cast<double>(line.size() - 1);
            truth.addressPoints[std::string(number) + "|" + street].push_back({lat / n, lon / n});
        }
        if (const char* name = w.tags()["name"]; name && w.tags()["highway"])
            truth.streetLines[name].push_back(std::move(line));
    }
    OsmTruth truth;
};

const OsmTruth& Truth(const std::string& extract) {
    static std::map<std::string, OsmTruth> read;
    if (auto at = read.find(extract); at != read.end()) return at->second;
    TruthReader reader;
    gpslib::testing::ReadNodesAndWays(std::string(GPSLIB_OSM_DATA_DIR) + "/" + extract, reader);
    return read[extract] = std::move(reader.truth);
}

// Lower case without the accents of the Latin letters these extracts use, as a user types.
std::string Plain(const std::string& text) {
    static const std::map<std::string, char> kLetters = {
        {"ä", 'a'}, {"Ä", 'a'}, {"ö", 'o'}, {"Ö", 'o'}, {"ü", 'u'}, {"Ü", 'u'},
        {"é", 'e'}, {"è", 'e'}, {"ê", 'e'}, {"à", 'a'}, {"â", 'a'}, {"ô", 'o'}};
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        auto letter = std::find_if(kLetters.begin(), kLetters.end(), [&](const auto& l) {
            return text.compare(i, l.first.size(), l.first) == 0;
        });
        if (letter != kLetters.end()) {
            out += letter->second, i += letter->first.size();
            continue;
        }
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(text[i++])));
    }
    return out;
}

struct Extract {
    const char *file, *map;
};
void PrintTo(const Extract& e, std::ostream* os) {
    *os << e.map;
}

class RealAddresses : public AddressSearchTest, public ::testing::WithParamInterface<Extract> {};

// City (or postal code) → street → number → position, for a hundred addresses spread over the
// extract, the city and street typed in lower case without accents. Every one is placed in front
// of its house: within 30 m of an OSM point of that address, or as far as its street is from a
// house set farther back. Both sides of the street (odd and even numbers) come up.
TEST_P(RealAddresses, CityOrPostalCodeStreetNumberLeadsToTheHouse) {
    if (!HaveExtracts()) GTEST_SKIP() << "no compiled extracts";
    StartWith({GetParam().map}, kCompiled);
    const OsmTruth& truth = Truth(GetParam().file);
    // "" when the steps lead to the house, else what went wrong.
    auto walk = [&](const OsmAddress& a, bool postal) -> std::string {
        NewConfig();
        if (Maps(postal, Plain(GetParam().map)) != Strings{GetParam().map}) return "no map";
        Strings places = Places(postal, GetParam().map, postal ? a.postcode : Plain(a.city));
        place = static_cast<LONG>(
            std::find(places.begin(), places.end(), postal ? a.postcode : a.city) - places.begin());
        if (place == static_cast<LONG>(places.size())) return "place not listed";
        if (!ChooseStreet(Plain(a.street), a.street)) return "street not listed once";
        const LONG chosen = Index();
        Strings numbers = Numbers(a.number);
        if (numbers.empty()) return "number not listed";
        double best = 1e9;
        for (std::size_t k = 0; k < numbers.size(); ++k) {
            auto got = Get(static_cast<long>(k));
            if (!got) return "no position for " + numbers[k];
            EXPECT_EQ(got->street + "|" + got->map, a.street + "|" + GetParam().map);
            for (const auto& [lat, lon] : truth.addressPoints.at(a.number + "|" + a.street))
                best = std::min(best, Metres(got->lat, got->lon, lat, lon));
        }
        config->SetLastSearchIndex(chosen); // the street's ranges are listed too
        if (Numbers("").empty() || Kind() != AddressResultsAddressRanges) return "no ranges";
        const double setback = ToLines(a.lat, a.lon, truth.streetLines.at(a.street));
        return best <= std::max(30.0, setback + 15.0)
                   ? ""
                   : std::to_string(int(best)) + " m away, " + std::to_string(int(setback)) +
                         " m from the street";
    };
    // Addresses of streets the extract has, near a way of that name (an address naming a street
    // the map does not have, or one of that name in another town, cannot be found).
    std::vector<const OsmAddress*> usable;
    for (const OsmAddress& a : truth.addresses)
        if (auto lines = truth.streetLines.find(a.street);
            lines != truth.streetLines.end() && ToLines(a.lat, a.lon, lines->second) < 100.0)
            usable.push_back(&a);
    ASSERT_GE(usable.size(), 30u);
    std::size_t tried = 0, found = 0, postal = 0, odd = 0, even = 0;
    std::ostringstream misses;
    for (std::size_t i = 0; i < usable.size(); i += std::max<std::size_t>(1, usable.size() / 100)) {
        const OsmAddress& a = *usable[i];
        for (bool byPostal : {false, true}) {
            if (byPostal && a.postcode.empty()) continue;
            ++tried;
            const std::string miss = walk(a, byPostal);
            if (!miss.empty()) {
                misses << a.number << " " << a.street << ", " << (byPostal ? a.postcode : a.city)
                       << ": " << miss << "\n";
                continue;
            }
            ++found, postal += byPostal;
            (std::atol(a.number.c_str()) % 2 ? odd : even) += 1;
        }
    }
    EXPECT_EQ(found, tried) << misses.str();
    EXPECT_GT(odd * even * postal, 0u);
}

// A street drawn as many ways is one entry of the street list, and its cross streets are streets
// that really come to it in the extract.
TEST_P(RealAddresses, StreetsOfManyWaysAreListedOnceWithTheirRealCrossStreets) {
    if (!HaveExtracts()) GTEST_SKIP() << "no compiled extracts";
    StartWith({GetParam().map}, kCompiled);
    const OsmTruth& truth = Truth(GetParam().file);
    std::vector<std::pair<std::size_t, std::string>> split;
    for (const auto& [name, ways] : truth.streetLines)
        split.push_back({ways.size(), name});
    std::sort(split.rbegin(), split.rend());
    split.resize(5);
    ASSERT_GE(split.back().first, 4u);
    for (const auto& [ways, name] : split) {
        SCOPED_TRACE(name + " (" + std::to_string(ways) + " ways)");
        Maps(false, "");
        Places(false, GetParam().map, "");
        place = -1; // every street of the map
        ASSERT_TRUE(ChooseStreet(name)) << ::testing::PrintToString(Streets(name, -1));
        HRESULT hr = E_FAIL;
        std::vector<Address> cross = Cross(false, &hr);
        EXPECT_EQ(hr, S_OK);
        EXPECT_FALSE(cross.empty());
        for (const Address& c : cross) {
            auto other = truth.streetLines.find(c.street);
            if (other == truth.streetLines.end()) continue; // an unnamed road's words
            // The corner lies on both streets (a junction is at most 40 m wide).
            EXPECT_LT(ToLines(c.lat, c.lon, truth.streetLines.at(name)), 40.0) << c.text;
            EXPECT_LT(ToLines(c.lat, c.lon, other->second), 40.0) << c.text;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Extracts, RealAddresses,
                         ::testing::Values(Extract{"baltimore.osm.pbf", "Baltimore"},
                                           Extract{"liechtenstein.osm.pbf", "Liechtenstein"}));

// Accents and the letters written as two, typed plainly; one number drawn three times on one
// street (a node and buildings), listed once per place that the map engine tells apart.
TEST_F(AddressSearchTest, LiechtensteinAccentsSharpSAndOneNumberDrawnThrice) {
    if (!HaveExtracts()) GTEST_SKIP() << "no compiled extracts";
    StartWith({"Liechtenstein"}, kCompiled);
    Maps(false, "liech");
    ASSERT_TRUE(ChoosePlace(false, "Liechtenstein", "Vaduz"));
    for (auto [typed, startsWith] : {std::pair{"aulestrasse", true},
                                     {"AULESTRASSE", true},
                                     {"\xC3\xA4ulestra\xC3\x9F"
                                      "e",
                                      true},
                                     {"lestrass", false}}) {
        config->SetStartsWith(startsWith ? VARIANT_TRUE : VARIANT_FALSE);
        EXPECT_TRUE(ChooseStreet(typed, "\xC3\x84ulestrasse")) << typed;
    }
    config->SetStartsWith(VARIANT_TRUE);
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

} // namespace
