// The address database class: the city/postal databases ("<map>.cpd") of the map folder and the
// step-by-step search over them (docs/components.md, "Address database").
#ifndef DATABASE_ADDRESSDATABASE_H_
#define DATABASE_ADDRESSDATABASE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "GPSDatabaseLib_classes.h"
#include "Io.h"
#include "formats/AddressSchema.h"
#include "formats/Sqlite.h"

namespace gpsdb {

using gpslib::sqlite::Database;
using gpslib::sqlite::Statement;

struct AddressEntry {
    std::string map, mapId, city, postalCode, street, houseNumber;
    std::int64_t streetKey = 0;
    double latitude = 0.0, longitude = 0.0;
};

class CAddressDatabase : public CAddressDatabaseBase {
public:
    HRESULT OpenDatabases(BSTR bstrDirectory, SHORT* pnCount) override;
    HRESULT Close() override;
    HRESULT AddressDbFindCityOrPostal(BSTR bstrMapId, VARIANT_BOOL bPostal,
                                      IAddressSearchConfigurationObject* pSearchConfiguration,
                                      VARIANT* pvarMatches, SHORT* pnCount) override;
    HRESULT DbAddressGetDatabaseList(VARIANT_BOOL bPostal, VARIANT* pvarMapNames,
                                     VARIANT* pvarMapIds, SHORT* pnCount) override;
    HRESULT AddressDbFindStreet(IAddressSearchConfigurationObject* pSearchConfiguration,
                                VARIANT* pvarStreets, SHORT* pnCount) override;
    HRESULT AddressDbFindAddress(IAddressSearchConfigurationObject* pSearchConfiguration,
                                 VARIANT* pvarAddresses, SHORT* pnCount) override;
    HRESULT AddressDbGetRecord(LONG nIndex, IAddressRecord** ppRecord,
                               VARIANT_BOOL* pbFound) override;
    HRESULT SetDebugDirectory(BSTR bstrDebugDirectory) override;

private:
    struct File {
        std::unique_ptr<Database> db;
        std::string map, id;
        bool hasCities = false, hasPostcodes = false;
    };
    struct Street {
        std::string name;
        std::vector<std::int64_t> keys;
    };
    File* FileById(const std::string& id);
    void ForgetSearches();
    Statement* StreetsOfPlace();

    std::vector<File> m_files;
    // The remembered lists of the last steps.
    File* m_file = nullptr;
    bool m_postal = false;
    std::vector<std::string> m_places;
    bool m_havePlaces = false;
    std::string m_place; // the chosen city or postal code; empty: the whole map
    std::vector<Street> m_streets;
    bool m_haveStreets = false;
    std::vector<AddressEntry> m_addresses;
    Log m_log;
};

} // namespace gpsdb

#endif // DATABASE_ADDRESSDATABASE_H_
