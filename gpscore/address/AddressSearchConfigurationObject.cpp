#include "address/AddressSearchConfigurationObject.h"

#include "base/LocationObject.h"

GPSLIB_CLASS_FACTORY(AddressSearchConfigurationObject, CAddressSearchConfigurationObject)

namespace gpscore {

AddressQuery ReadAddressQuery(IAddressSearchConfigurationObject* config) {
    AddressQuery query;
    gpslib::Bstr name, number, indicator;
    config->GetSearchName(name.Put());
    config->GetLastSearchIndex(&query.lastSearchIndex);
    VARIANT_BOOL startsWith = VARIANT_TRUE;
    config->IsStartsWithEnabled(&startsWith);
    config->GetStreetAddressNumber(number.Put());
    config->GetResultsType(&query.resultsType);
    config->GetAddressRangeIndicator(indicator.Put());
    config->GetMaxItemsToReturn(&query.maxItems);
    query.searchName = Text(name.Get());
    query.startsWith = startsWith != VARIANT_FALSE;
    query.houseNumber = Text(number.Get());
    query.rangeIndicator = Text(indicator.Get());
    return query;
}

void WriteAddressQuery(const AddressQuery& query, IAddressSearchConfigurationObject* config,
                       const AddressQuery* was) {
    const auto changed = [&](auto AddressQuery::*field) {
        return was == nullptr || was->*field != query.*field;
    };
    if (changed(&AddressQuery::searchName))
        config->SetSearchName(gpslib::Bstr(query.searchName).Get());
    if (changed(&AddressQuery::lastSearchIndex)) config->SetLastSearchIndex(query.lastSearchIndex);
    if (changed(&AddressQuery::startsWith))
        config->SetStartsWith(gpslib::VariantBool(query.startsWith));
    if (changed(&AddressQuery::houseNumber))
        config->SetStreetAddressNumber(gpslib::Bstr(query.houseNumber).Get());
    if (changed(&AddressQuery::resultsType)) config->SetResultsType(query.resultsType);
    if (changed(&AddressQuery::rangeIndicator))
        config->SetAddressRangeIndicator(gpslib::Bstr(query.rangeIndicator).Get());
    if (changed(&AddressQuery::maxItems)) config->SetMaxItemsToReturn(query.maxItems);
}

gpslib::ComPtr<IAddressSearchConfigurationObject>
NewAddressSearchConfiguration(const AddressQuery& query) {
    gpslib::ComPtr<IAddressSearchConfigurationObject> config;
    if (FAILED(gpslib::CreateObject(CLSID_AddressSearchConfigurationObject,
                                    IID_IAddressSearchConfigurationObject, &config)))
        return {};
    WriteAddressQuery(query, config.Get());
    return config;
}

} // namespace gpscore
