#include "poi/POISearchConfigurationObject.h"

GPSLIB_CLASS_FACTORY(POISearchConfigurationObject, CPOISearchConfigurationObject)

namespace {

constexpr LONG kDefaultMaxSearchResults = 25;
constexpr LONG kDefaultMaxSearchTimeSeconds = 10;

struct SearchField {
    HRESULT (IPOIObject::*get)(BSTR*);
    HRESULT (IPOIObject::*set)(BSTR);
    POIFields field;
};

// The order in which the POI's text fields are tried for the main search text.
constexpr SearchField kSearchFields[] = {
    {&IPOIObject::GetName, &IPOIObject::SetName, POI_FIELD_NAME},
    {&IPOIObject::GetDescription, &IPOIObject::SetDescription, POI_FIELD_DESCRIPTION},
    {&IPOIObject::GetAuthor, &IPOIObject::SetAuthor, POI_FIELD_AUTHOR},
    {&IPOIObject::GetTags, &IPOIObject::SetTags, POI_FIELD_TAGS},
    {&IPOIObject::GetAddressNumber, &IPOIObject::SetAddressNumber, POI_FIELD_ADDRESS},
    {&IPOIObject::GetStreet, &IPOIObject::SetStreet, POI_FIELD_STREET},
    {&IPOIObject::GetCity, &IPOIObject::SetCity, POI_FIELD_CITY},
    {&IPOIObject::GetState, &IPOIObject::SetState, POI_FIELD_STATE},
    {&IPOIObject::GetCountry, &IPOIObject::SetCountry, POI_FIELD_COUNTRY},
    {&IPOIObject::GetZipCode, &IPOIObject::SetZipCode, POI_FIELD_ZIP},
    {&IPOIObject::GetHoursOfOperation, &IPOIObject::SetHoursOfOperation, POI_FIELD_HOURS},
    {&IPOIObject::GetPhoneNumber, &IPOIObject::SetPhoneNumber, POI_FIELD_PHONE},
    {&IPOIObject::GetFaxNumber, &IPOIObject::SetFaxNumber, POI_FIELD_FAX},
    {&IPOIObject::GetWebAddress, &IPOIObject::SetWebAddress, POI_FIELD_WEB},
    {&IPOIObject::GetEmail, &IPOIObject::SetEmail, POI_FIELD_EMAIL},
    {&IPOIObject::GetMediaFile, &IPOIObject::SetMediaFile, POI_FIELD_MEDIA},
};

} // namespace

CPOISearchConfigurationObject::CPOISearchConfigurationObject() {
    gpslib::CreateObject(CLSID_POIObject, IID_IPOIObject, &m_pPOISearchObject);
}

HRESULT CPOISearchConfigurationObject::SetMaxSearchResults(LONG nMaxSearchResults) {
    m_nMaxResults = nMaxSearchResults > 0 ? nMaxSearchResults : kDefaultMaxSearchResults;
    return S_OK;
}

HRESULT CPOISearchConfigurationObject::GetMaxSearchTime(SHORT* pnSeconds) {
    if (pnSeconds == nullptr) return E_POINTER;
    // Only SetMaxSearchTime writes the field, so it always fits.
    *pnSeconds = static_cast<SHORT>(m_nMaxSearchTimeSeconds);
    return S_OK;
}

// 0 stays 0: it asks for a single map search without widening.
HRESULT CPOISearchConfigurationObject::SetMaxSearchTime(SHORT nSeconds) {
    m_nMaxSearchTimeSeconds = nSeconds < 0 ? kDefaultMaxSearchTimeSeconds : nSeconds;
    return S_OK;
}

HRESULT CPOISearchConfigurationObject::GetPOISearchObject(IPOIObject** ppPOI) {
    if (ppPOI == nullptr) return E_POINTER;
    *ppPOI = nullptr;
    if (!m_pPOISearchObject) return E_FAIL;
    *ppPOI = m_pPOISearchObject.Get();
    (*ppPOI)->AddRef();
    return S_OK;
}

HRESULT CPOISearchConfigurationObject::SetPOISearchObject(IPOIObject* pPOI) {
    if (pPOI == nullptr) return E_POINTER;
    m_pPOISearchObject = pPOI;
    return S_OK;
}

HRESULT CPOISearchConfigurationObject::GetPOICategory(IPOICategoryObject** ppCategory) {
    if (ppCategory == nullptr) return E_POINTER;
    *ppCategory = nullptr;
    return m_pPOISearchObject ? m_pPOISearchObject->GetCategory(ppCategory) : E_FAIL;
}

HRESULT CPOISearchConfigurationObject::SetPOICategory(IPOICategoryObject* pCategory) {
    return m_pPOISearchObject ? m_pPOISearchObject->SetCategory(pCategory) : E_FAIL;
}

HRESULT CPOISearchConfigurationObject::GetPOISubCategory(IPOISubCategoryObject** ppSubCategory) {
    if (ppSubCategory == nullptr) return E_POINTER;
    *ppSubCategory = nullptr;
    return m_pPOISearchObject ? m_pPOISearchObject->GetSubCategory(ppSubCategory) : E_FAIL;
}

HRESULT CPOISearchConfigurationObject::SetPOISubCategory(IPOISubCategoryObject* pSubCategory) {
    return m_pPOISearchObject ? m_pPOISearchObject->SetSubCategory(pSubCategory) : E_FAIL;
}

HRESULT CPOISearchConfigurationObject::GetCategoryNumber(SHORT* pnCategoryNumber) {
    if (pnCategoryNumber == nullptr) return E_POINTER;
    return m_pPOISearchObject ? m_pPOISearchObject->GetCategoryNumber(pnCategoryNumber) : E_FAIL;
}

HRESULT CPOISearchConfigurationObject::GetSubCategoryNumber(SHORT* pnSubCategoryNumber) {
    if (pnSubCategoryNumber == nullptr) return E_POINTER;
    return m_pPOISearchObject ? m_pPOISearchObject->GetSubCategoryNumber(pnSubCategoryNumber)
                              : E_FAIL;
}

HRESULT CPOISearchConfigurationObject::SetCategoryNumber(SHORT nCategoryNumber) {
    return m_pPOISearchObject ? m_pPOISearchObject->SetCategoryNumber(nCategoryNumber) : E_FAIL;
}

HRESULT CPOISearchConfigurationObject::SetSubCategoryNumber(SHORT nSubCategoryNumber) {
    return m_pPOISearchObject ? m_pPOISearchObject->SetSubCategoryNumber(nSubCategoryNumber)
                              : E_FAIL;
}

HRESULT CPOISearchConfigurationObject::FindMainSearchField(gpslib::Bstr* text,
                                                           POIFields* field) const {
    if (!m_pPOISearchObject) return E_FAIL;
    for (const SearchField& candidate : kSearchFields) {
        HRESULT hr = (m_pPOISearchObject.Get()->*candidate.get)(text->Put());
        if (FAILED(hr)) return hr;
        if (text->Length() > 0) {
            *field = candidate.field;
            return S_OK;
        }
    }
    *text = gpslib::Bstr();
    *field = POI_FIELD_NAME;
    return S_OK;
}

HRESULT CPOISearchConfigurationObject::GetMainSearchString(BSTR* pbstrMainSearchString) {
    if (pbstrMainSearchString == nullptr) return E_POINTER;
    gpslib::Bstr text;
    POIFields field = POI_FIELD_NAME;
    HRESULT hr = FindMainSearchField(&text, &field);
    if (FAILED(hr)) return hr;
    return gpslib::ReturnString(pbstrMainSearchString, text.View());
}

HRESULT CPOISearchConfigurationObject::GetMainSearchField(POIFields* peMainSearchField) {
    if (peMainSearchField == nullptr) return E_POINTER;
    gpslib::Bstr text;
    POIFields field = POI_FIELD_NAME;
    HRESULT hr = FindMainSearchField(&text, &field);
    if (FAILED(hr)) return hr;
    *peMainSearchField = field;
    return S_OK;
}

namespace gpscore {

namespace {

bool Flag(IPOISearchConfigurationObject* config,
          HRESULT (IPOISearchConfigurationObject::*get)(VARIANT_BOOL*)) {
    VARIANT_BOOL on = VARIANT_FALSE;
    (config->*get)(&on);
    return on != VARIANT_FALSE;
}

} // namespace

POIQuery ReadPOIQuery(IPOISearchConfigurationObject* config) {
    POIQuery query;
    if (config == nullptr) return query;
    gpslib::Bstr text;
    LONG maxResults = query.maxResults;
    config->GetMainSearchString(text.Put());
    config->GetMainSearchField(&query.field);
    config->GetCategoryNumber(&query.category);
    config->GetSubCategoryNumber(&query.subCategory);
    config->GetMaxSearchResults(&maxResults);
    config->GetMaxSearchTime(&query.maxSeconds);
    config->GetDistanceStarting(&query.distanceStarting);
    config->GetSearchDirection(&query.direction);
    config->GetCurrentHeadingDegrees(&query.heading);
    query.text = std::u16string(text.View());
    query.maxResults = maxResults;
    query.newSearch = Flag(config, &IPOISearchConfigurationObject::IsNewSearch);
    query.userPrivateOnly = Flag(config, &IPOISearchConfigurationObject::GetUserPrivateOnly);
    query.userPublicOnly = Flag(config, &IPOISearchConfigurationObject::GetUserPublicOnly);
    query.includeUserPrivate =
        Flag(config, &IPOISearchConfigurationObject::IncludeUserPrivateAsWell);
    query.startsWith = Flag(config, &IPOISearchConfigurationObject::GetStartsWithSearch);
    query.wholeWord = Flag(config, &IPOISearchConfigurationObject::GetWholeWord);
    return query;
}

void WritePOIQueryBack(IPOISearchConfigurationObject* config, const POIQuery& query) {
    if (config == nullptr) return;
    const POIQuery before = ReadPOIQuery(config);
    if (query.userPrivateOnly != before.userPrivateOnly)
        config->SetUserPrivateOnly(gpslib::VariantBool(query.userPrivateOnly));
    if (query.userPublicOnly != before.userPublicOnly)
        config->SetUserPublicOnly(gpslib::VariantBool(query.userPublicOnly));
    if (query.startsWith != before.startsWith)
        config->SetStartsWithSearch(gpslib::VariantBool(query.startsWith));
}

gpslib::ComPtr<IPOISearchConfigurationObject> NewPOISearchConfiguration(const POIQuery& query) {
    gpslib::ComPtr<IPOISearchConfigurationObject> config;
    if (FAILED(gpslib::CreateObject(CLSID_POISearchConfigurationObject,
                                    IID_IPOISearchConfigurationObject, &config)))
        return {};
    gpslib::ComPtr<IPOIObject> pattern;
    config->GetPOISearchObject(pattern.Put());
    for (const SearchField& f : kSearchFields)
        if (f.field == query.field && pattern)
            (pattern.Get()->*f.set)(gpslib::Bstr(query.text).Get());
    config->SetCategoryNumber(query.category);
    config->SetSubCategoryNumber(query.subCategory);
    config->SetMaxSearchResults(query.maxResults);
    config->SetMaxSearchTime(query.maxSeconds);
    config->SetDistanceStarting(query.distanceStarting);
    config->SetSearchDirection(query.direction);
    config->SetCurrentHeadingDegrees(query.heading);
    config->SetNewSearch(gpslib::VariantBool(query.newSearch));
    config->SetUserPrivateOnly(gpslib::VariantBool(query.userPrivateOnly));
    config->SetUserPublicOnly(gpslib::VariantBool(query.userPublicOnly));
    config->SetIncludeUserPrivateAsWell(gpslib::VariantBool(query.includeUserPrivate));
    config->SetStartsWithSearch(gpslib::VariantBool(query.startsWith));
    config->SetWholeWord(gpslib::VariantBool(query.wholeWord));
    return config;
}

} // namespace gpscore
