// The address search as a client asks it, step by step: the maps for a city or postal search,
// the city or postal code, the street, the house number, the address itself and the cross
// streets of a street. Each method takes the core lock, checks its pointers (every count is 0
// first), writes its log lines and asks the AddressSearch with the client's configuration read
// into plain values; the part's changes to them go back into the configuration, and its lists and
// address into the client's list and a new address object.
#include <cstdio>
#include <string>

#include "address/AddressObject.h"
#include "address/AddressSearchConfigurationObject.h"
#include "base/LocationObject.h"
#include "core/GPSCore.h"

using gpscore::AddressList;
using gpscore::AddressOutcome;
using gpscore::AddressQuery;
using gpscore::ReadAddressQuery;
using gpscore::WriteAddressQuery;
using gpslib::os::CriticalSectionLock;

namespace {

// "GPSCore::AddressFindCity exit: 3 found, status 0x00000000".
std::string ExitLine(const char* method, SHORT count, HRESULT hr) {
    char status[16];
    std::snprintf(status, sizeof status, "0x%08X", static_cast<unsigned>(hr));
    return std::string("GPSCore::") + method + " exit: " + std::to_string(count) +
           " found, status " + status;
}

// A step's list into the client's list and count: an empty list with the database's status when
// it failed, S_FALSE when there was nothing to search.
HRESULT ReturnList(const AddressList& answer, VARIANT* list, SHORT* count) {
    if (answer.outcome == AddressOutcome::kFailed) {
        gpslib::ReturnStringList(list, {});
        return answer.failure;
    }
    HRESULT hr = gpslib::ReturnStringList(list, answer.entries);
    if (FAILED(hr)) return hr;
    *count = static_cast<SHORT>(answer.entries.size());
    return answer.outcome == AddressOutcome::kNothing ? S_FALSE : S_OK;
}

// The client's configuration as plain values while a step runs; the step's changes go back into
// it when the step is done.
class ClientQuery {
public:
    explicit ClientQuery(IAddressSearchConfigurationObject* config)
        : m_config(config), m_was(ReadAddressQuery(config)), m_query(m_was) {}
    ~ClientQuery() { WriteAddressQuery(m_query, m_config, &m_was); }
    ClientQuery(const ClientQuery&) = delete;
    ClientQuery& operator=(const ClientQuery&) = delete;
    AddressQuery& operator*() { return m_query; }

private:
    IAddressSearchConfigurationObject* m_config;
    const AddressQuery m_was;
    AddressQuery m_query;
};

} // namespace

HRESULT CGPSCore::AddressFindMapsForCitySearch(BSTR bstrMapSearchName, VARIANT* pvarMapNames,
                                               SHORT* pnMapsFound) {
    CriticalSectionLock lock(m_csCore);
    if (pvarMapNames == nullptr || pnMapsFound == nullptr) return E_POINTER;
    *pnMapsFound = 0;
    Log("GPSCore::AddressFindMapsForCitySearch enter");
    HRESULT hr = ReturnList(m_addressSearch.FindMaps(false, gpslib::View(bstrMapSearchName)),
                            pvarMapNames, pnMapsFound);
    Log(ExitLine("AddressFindMapsForCitySearch", *pnMapsFound, hr));
    return hr;
}

HRESULT CGPSCore::AddressFindMapsForPostalSearch(BSTR bstrMapSearchName, VARIANT* pvarMapNames,
                                                 SHORT* pnMapsFound) {
    CriticalSectionLock lock(m_csCore);
    if (pvarMapNames == nullptr || pnMapsFound == nullptr) return E_POINTER;
    *pnMapsFound = 0;
    Log("GPSCore::AddressFindMapsForPostalSearch enter");
    HRESULT hr = ReturnList(m_addressSearch.FindMaps(true, gpslib::View(bstrMapSearchName)),
                            pvarMapNames, pnMapsFound);
    Log(ExitLine("AddressFindMapsForPostalSearch", *pnMapsFound, hr));
    return hr;
}

HRESULT CGPSCore::AddressFindCity(BSTR bstrMapName, IAddressSearchConfigurationObject* pConfig,
                                  VARIANT* pvarCities, SHORT* pnCitiesFound) {
    CriticalSectionLock lock(m_csCore);
    if (pConfig == nullptr || pvarCities == nullptr || pnCitiesFound == nullptr) return E_POINTER;
    *pnCitiesFound = 0;
    Log("GPSCore::AddressFindCity enter");
    ClientQuery query(pConfig);
    HRESULT hr = ReturnList(m_addressSearch.FindPlaces(false, gpslib::View(bstrMapName), *query),
                            pvarCities, pnCitiesFound);
    Log(ExitLine("AddressFindCity", *pnCitiesFound, hr));
    return hr;
}

HRESULT CGPSCore::AddressFindPostal(BSTR bstrMapName, IAddressSearchConfigurationObject* pConfig,
                                    VARIANT* pvarPostalCodes, SHORT* pnPostalCodesFound) {
    CriticalSectionLock lock(m_csCore);
    if (pConfig == nullptr || pvarPostalCodes == nullptr || pnPostalCodesFound == nullptr)
        return E_POINTER;
    *pnPostalCodesFound = 0;
    Log("GPSCore::AddressFindPostal enter");
    ClientQuery query(pConfig);
    HRESULT hr = ReturnList(m_addressSearch.FindPlaces(true, gpslib::View(bstrMapName), *query),
                            pvarPostalCodes, pnPostalCodesFound);
    Log(ExitLine("AddressFindPostal", *pnPostalCodesFound, hr));
    return hr;
}

HRESULT CGPSCore::AddressFindStreet(IAddressSearchConfigurationObject* pConfig,
                                    VARIANT* pvarStreets, SHORT* pnStreetsFound) {
    CriticalSectionLock lock(m_csCore);
    if (pConfig == nullptr || pvarStreets == nullptr || pnStreetsFound == nullptr) return E_POINTER;
    *pnStreetsFound = 0;
    Log("GPSCore::AddressFindStreet enter");
    ClientQuery query(pConfig);
    HRESULT hr = ReturnList(m_addressSearch.FindStreet(*query), pvarStreets, pnStreetsFound);
    Log(ExitLine("AddressFindStreet", *pnStreetsFound, hr));
    return hr;
}

HRESULT CGPSCore::AddressFindStreetAddress(IAddressSearchConfigurationObject* pConfig,
                                           VARIANT* pvarAddresses, SHORT* pnAddressesFound) {
    CriticalSectionLock lock(m_csCore);
    if (pConfig == nullptr || pvarAddresses == nullptr || pnAddressesFound == nullptr)
        return E_POINTER;
    *pnAddressesFound = 0;
    Log("GPSCore::AddressFindStreetAddress enter");
    ClientQuery query(pConfig);
    HRESULT hr =
        ReturnList(m_addressSearch.FindStreetAddress(*query), pvarAddresses, pnAddressesFound);
    Log(ExitLine("AddressFindStreetAddress", *pnAddressesFound, hr));
    return hr;
}

HRESULT CGPSCore::AddressGet(IAddressSearchConfigurationObject* pConfig, IAddressObject** ppAddress,
                             VARIANT_BOOL* pbSuccessful) {
    CriticalSectionLock lock(m_csCore);
    if (pConfig == nullptr || ppAddress == nullptr || pbSuccessful == nullptr) return E_POINTER;
    *ppAddress = nullptr;
    *pbSuccessful = VARIANT_FALSE;
    Log("GPSCore::AddressGet enter");
    HRESULT hr = S_FALSE;
    if (const auto place = m_addressSearch.Get(ReadAddressQuery(pConfig))) {
        hr = gpscore::NewAddressObject(*place, ppAddress);
        if (hr == S_OK) *pbSuccessful = VARIANT_TRUE;
    }
    Log(ExitLine("AddressGet", *pbSuccessful != 0 ? 1 : 0, hr));
    return hr;
}

HRESULT CGPSCore::AddressGetCrossStreets(IAddressSearchConfigurationObject* pConfig,
                                         VARIANT_BOOL bMatchZipPostalOnly,
                                         VARIANT* pvarCrossStreets, SHORT* pnCrossStreetsFound) {
    CriticalSectionLock lock(m_csCore);
    if (pConfig == nullptr || pvarCrossStreets == nullptr || pnCrossStreetsFound == nullptr)
        return E_POINTER;
    *pnCrossStreetsFound = 0;
    Log("GPSCore::AddressGetCrossStreets enter");
    ClientQuery query(pConfig);
    const gpscore::CrossStreetSearch search = m_addressSearch.CrossStreets(*query);
    HRESULT hr = S_FALSE;
    if (search.outcome == AddressOutcome::kFailed)
        hr =
            ReturnList({search.outcome, search.failure, {}}, pvarCrossStreets, pnCrossStreetsFound);
    else if (!search.street)
        gpslib::ReturnObjectList(pvarCrossStreets, {}, IID_IAddressObject);
    else // The map engine makes the address objects of the cross streets itself.
        hr = m_context.Map().AddressCrossStreets(*search.street, gpscore::Flag(bMatchZipPostalOnly),
                                                 pvarCrossStreets, pnCrossStreetsFound);
    Log(ExitLine("AddressGetCrossStreets", *pnCrossStreetsFound, hr));
    return hr;
}
