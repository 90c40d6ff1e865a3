// The address database over the compiled sample town: the map lists, city and postal searches,
// streets, house numbers and ranges, records. (The real extracts are searched through the
// service: tests/gpscore/address/address_search_test.cpp.)
#include <gpslib/GPSLib.h>

#include "db_fixture.h"
#include "value.h"

namespace gpsdb::test {
namespace {

using gpslib::test::Strings;
using gpslib::test::Text;
using gpslib::test::Value;

class DbAddressSearch : public ::testing::Test {
protected:
    void SetUp() override {
        db = New<IAddressDatabase>(CLSID_AddressDatabase, IID_IAddressDatabase);
        config = New<IAddressSearchConfigurationObject>(CLSID_AddressSearchConfigurationObject,
                                                        IID_IAddressSearchConfigurationObject);
        SHORT n = 0;
        ASSERT_EQ(db->OpenDatabases(Bstr(std::string(GPSLIB_SAMPLE_MAP_DIR)).Get(), &n), S_OK);
        ASSERT_EQ(n, 1);
    }
    std::string MapId(bool postal) {
        gpslib::Variant names, ids;
        SHORT n = 0;
        EXPECT_EQ(
            db->DbAddressGetDatabaseList(postal ? VARIANT_TRUE : VARIANT_FALSE, &names, &ids, &n),
            S_OK);
        EXPECT_EQ(Strings(&names), std::vector<std::string>{"Sampleton"});
        auto list = Strings(&ids);
        return list.empty() ? "" : list[0];
    }
    std::vector<std::string>
    Step(HRESULT (STDMETHODCALLTYPE IAddressDatabase::*step)(IAddressSearchConfigurationObject*,
                                                             VARIANT*, SHORT*),
         const char* name, long index, const char* number = "") {
        config->SetSearchName(Bstr(name).Get());
        config->SetLastSearchIndex(index);
        config->SetStreetAddressNumber(Bstr(number).Get());
        gpslib::Variant list;
        SHORT n = -1;
        EXPECT_EQ((db.Get()->*step)(config.Get(), &list, &n), S_OK);
        auto out = Strings(&list);
        EXPECT_EQ(static_cast<std::size_t>(n), out.size());
        return out;
    }
    std::vector<std::string> Places(const std::string& id, bool postal, const char* name) {
        config->SetSearchName(Bstr(name).Get());
        gpslib::Variant list;
        SHORT n = -1;
        EXPECT_EQ(db->AddressDbFindCityOrPostal(Bstr(id).Get(),
                                                postal ? VARIANT_TRUE : VARIANT_FALSE, config.Get(),
                                                &list, &n),
                  S_OK);
        return Strings(&list);
    }
    AddressResults Kind() {
        AddressResults kind = AddressResultsUnknown;
        config->GetResultsType(&kind);
        return kind;
    }

    ComPtr<IAddressDatabase> db;
    ComPtr<IAddressSearchConfigurationObject> config;
};

TEST_F(DbAddressSearch, CityStreetNumber) {
    const std::string id = MapId(false);
    struct Row {
        const char* search;
        bool startsWith;
        std::vector<std::string> found;
    } cities[] = {
        {"", true, {"Sampleton"}}, {"SAMP", true, {"Sampleton"}},
        {"ampl", true, {}},        {"ampl", false, {"Sampleton"}},
        {"%", false, {}},
    };
    for (const Row& r : cities) {
        config->SetStartsWith(r.startsWith ? VARIANT_TRUE : VARIANT_FALSE);
        EXPECT_EQ(Places(id, false, r.search), r.found) << r.search;
        EXPECT_EQ(Kind(), AddressResultsCityNames);
    }
    config->SetStartsWith(VARIANT_TRUE);
    Places(id, false, "Sampleton");
    config->SetMaxItemsToReturn(2);
    EXPECT_EQ(Step(&IAddressDatabase::AddressDbFindStreet, "", 0),
              (std::vector<std::string>{"Cedar Road", "Elm Street"}));
    config->SetMaxItemsToReturn(-1);
    Step(&IAddressDatabase::AddressDbFindStreet, "main", 0);

    struct Address {
        const char* number;
        std::vector<std::string> labels;
        AddressResults kind;
        const char* houseNumber;
    } addresses[] = {
        {"", {"1 - 10 Main Street"}, AddressResultsAddressRanges, "1 - 10"},
        {"7", {"7 Main Street"}, AddressResultsSingleAddress, "7"},
        {"x\"; --", {}, AddressResultsUnknown, nullptr},
    };
    for (const Address& a : addresses) {
        EXPECT_EQ(Step(&IAddressDatabase::AddressDbFindAddress, "Main Street", 0, a.number),
                  a.labels)
            << a.number;
        EXPECT_EQ(Kind(), a.kind) << a.number;
        ComPtr<IAddressRecord> record;
        VARIANT_BOOL found = 0;
        ASSERT_EQ(db->AddressDbGetRecord(0, record.Put(), &found), S_OK);
        EXPECT_EQ(found != 0, a.houseNumber != nullptr);
        if (a.houseNumber == nullptr) continue;
        using R = IAddressRecord;
        IAddressRecord* r = record.Get();
        EXPECT_EQ(Text(r, &R::GetHouseNumber) + "|" + Text(r, &R::GetStreet) + "|" +
                      Text(r, &R::GetMap) + "|" + Text(r, &R::GetCity) + "|" +
                      Text(r, &R::GetPostalCode),
                  std::string(a.houseNumber) + "|Main Street|Sampleton|Sampleton|12345");
        EXPECT_EQ(Value(r, &R::GetStreetKey), 2); // the street's key in the map file
        EXPECT_NEAR(Value(r, &R::GetLatitude), 45.0, 0.01);
    }
}

// House numbers with parts on Elm Street: the number alone lists every building of that
// number, the full text (however spaced or cased) the part; records keep the number as written.
TEST_F(DbAddressSearch, HouseNumbersWithParts) {
    Places(MapId(false), false, "Sampleton");
    Step(&IAddressDatabase::AddressDbFindStreet, "Elm", 0);
    struct Case {
        const char* number;
        std::vector<std::string> labels;
        AddressResults kind;
    } cases[] = {
        {"", {"12 - 18/2 Elm Street"}, AddressResultsAddressRanges},
        {"14", {"14 к1 Elm Street", "14 к2 Elm Street"}, AddressResultsMultipleAddressMatches},
        {"14 к2", {"14 к2 Elm Street"}, AddressResultsSingleAddress},
        {"14К2", {"14 к2 Elm Street"}, AddressResultsSingleAddress},
        {"13", {"13 с2 Elm Street"}, AddressResultsSingleAddress},
        {"16A", {"16a Elm Street"}, AddressResultsSingleAddress},
        {"18", {"18/2 Elm Street"}, AddressResultsSingleAddress},
        {"15 Bis", {"15 bis Elm Street"}, AddressResultsSingleAddress},
        {"17 корп. 1 стр. 1", {"17 к1 с1 Elm Street"}, AddressResultsSingleAddress},
        {"12", {"12 Elm Street"}, AddressResultsSingleAddress},
        {"20", {}, AddressResultsUnknown},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Step(&IAddressDatabase::AddressDbFindAddress, "Elm Street", 0, c.number),
                  c.labels)
            << c.number;
        EXPECT_EQ(Kind(), c.kind) << c.number;
    }
    Step(&IAddressDatabase::AddressDbFindAddress, "Elm Street", 0, "14");
    ComPtr<IAddressRecord> record;
    VARIANT_BOOL found = 0;
    ASSERT_EQ(db->AddressDbGetRecord(1, record.Put(), &found), S_OK);
    ASSERT_TRUE(record);
    EXPECT_EQ(Text(record.Get(), &IAddressRecord::GetHouseNumber), "14 к2");
    EXPECT_NEAR(Value(record.Get(), &IAddressRecord::GetLatitude), 45.00245, 0.000001);
}

TEST_F(DbAddressSearch, PostalCodesAndUnknownMaps) {
    const std::string id = MapId(true);
    EXPECT_EQ(Places(id, true, "123"), std::vector<std::string>{"12345"});
    EXPECT_EQ(Kind(), AddressResultsZipPostal);
    EXPECT_EQ(Step(&IAddressDatabase::AddressDbFindStreet, "elm", 0),
              std::vector<std::string>{"Elm Street"});
    // An unknown map, and a street search before any city search, find nothing.
    EXPECT_EQ(Places("/nowhere.cpd", false, ""), std::vector<std::string>{});
    EXPECT_EQ(Step(&IAddressDatabase::AddressDbFindStreet, "", 0), std::vector<std::string>{});
    db->Close();
    EXPECT_EQ(Places(id, false, ""), std::vector<std::string>{});
}

TEST_F(DbAddressSearch, RefusedFilesLeaveTheOthers) {
    gpslib::test::TempDir dir;
    WriteFile(dir.File("Broken.cpd"), std::string(4096, 'x'));
    WriteFile(dir.File("Sampleton.cpd"),
              ReadWholeFile(std::string(GPSLIB_SAMPLE_MAP_DIR) + "/Sampleton.cpd"));
    WriteFile(dir.File("Poi.cpd"),
              ReadWholeFile(std::string(GPSLIB_SAMPLE_MAP_DIR) + "/Sampleton.pdb"));
    db->SetDebugDirectory(Bstr(dir.path()).Get());
    SHORT n = 0;
    ASSERT_EQ(db->OpenDatabases(Bstr(dir.path()).Get(), &n), S_OK);
    EXPECT_EQ(n, 1);
    const std::string log = ReadWholeFile(dir.File("gpsDatabaseDebug.txt"));
    EXPECT_NE(log.find("refused " + dir.File("Broken.cpd")), std::string::npos) << log;
    EXPECT_NE(log.find("refused " + dir.File("Poi.cpd")), std::string::npos) << log;
}

} // namespace
} // namespace gpsdb::test
