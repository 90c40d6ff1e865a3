// The address search as a client asks it, step by step: the maps for a city or postal search,
// the city or postal code, the street, the house number, the address itself and the cross
// streets of a street. Each method takes the core lock, checks its pointers (every count is 0
// first), writes its log lines and asks the AddressSearch.
#include <cstdio>
#include <string>

#include "core/GPSCore.h"

using gpslib::os::CriticalSectionLock;

namespace {

// "GPSCore::AddressFindCity exit: 3 found, status 0x00000000".
std::string ExitLine(const char* method, SHORT count, HRESULT hr) {
    char status[16];
    std::snprintf(status, sizeof status, "0x%08X", static_cast<unsigned>(hr));
    return std::string("GPSCore::") + method + " exit: " + std::to_string(count) +
           " found, status " + status;
}

} // namespace

HRESULT CGPSCore::AddressFindMapsForCitySearch(BSTR bstrMapSearchName, VARIANT* pvarMapNames,
                                               SHORT* pnMapsFound) {
    CriticalSectionLock lock(m_csCore);
    if (pvarMapNames == nullptr || pnMapsFound == nullptr) return E_POINTER;
    *pnMapsFound = 0;
    Log("GPSCore::AddressFindMapsForCitySearch enter");
    HRESULT hr = m_addressSearch.FindMaps(false, bstrMapSearchName, pvarMapNames, pnMapsFound);
    Log(ExitLine("AddressFindMapsForCitySearch", *pnMapsFound, hr));
    return hr;
}

HRESULT CGPSCore::AddressFindMapsForPostalSearch(BSTR bstrMapSearchName, VARIANT* pvarMapNames,
                                                 SHORT* pnMapsFound) {
    CriticalSectionLock lock(m_csCore);
    if (pvarMapNames == nullptr || pnMapsFound == nullptr) return E_POINTER;
    *pnMapsFound = 0;
    Log("GPSCore::AddressFindMapsForPostalSearch enter");
    HRESULT hr = m_addressSearch.FindMaps(true, bstrMapSearchName, pvarMapNames, pnMapsFound);
    Log(ExitLine("AddressFindMapsForPostalSearch", *pnMapsFound, hr));
    return hr;
}

HRESULT CGPSCore::AddressFindCity(BSTR bstrMapName, IAddressSearchConfigurationObject* pConfig,
                                  VARIANT* pvarCities, SHORT* pnCitiesFound) {
    CriticalSectionLock lock(m_csCore);
    if (pConfig == nullptr || pvarCities == nullptr || pnCitiesFound == nullptr) return E_POINTER;
    *pnCitiesFound = 0;
    Log("GPSCore::AddressFindCity enter");
    HRESULT hr = m_addressSearch.FindPlaces(false, bstrMapName, pConfig, pvarCities, pnCitiesFound);
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
    HRESULT hr =
        m_addressSearch.FindPlaces(true, bstrMapName, pConfig, pvarPostalCodes, pnPostalCodesFound);
    Log(ExitLine("AddressFindPostal", *pnPostalCodesFound, hr));
    return hr;
}

HRESULT CGPSCore::AddressFindStreet(IAddressSearchConfigurationObject* pConfig,
                                    VARIANT* pvarStreets, SHORT* pnStreetsFound) {
    CriticalSectionLock lock(m_csCore);
    if (pConfig == nullptr || pvarStreets == nullptr || pnStreetsFound == nullptr) return E_POINTER;
    *pnStreetsFound = 0;
    Log("GPSCore::AddressFindStreet enter");
    HRESULT hr = m_addressSearch.FindStreet(pConfig, pvarStreets, pnStreetsFound);
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
    HRESULT hr = m_addressSearch.FindStreetAddress(pConfig, pvarAddresses, pnAddressesFound);
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
    HRESULT hr = m_addressSearch.Get(pConfig, ppAddress, pbSuccessful);
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
    HRESULT hr = m_addressSearch.CrossStreets(pConfig, bMatchZipPostalOnly, pvarCrossStreets,
                                              pnCrossStreetsFound);
    Log(ExitLine("AddressGetCrossStreets", *pnCrossStreetsFound, hr));
    return hr;
}
