// The filters and limits of a POI search.
#ifndef GPSCORE_POI_POISEARCHCONFIGURATIONOBJECT_H_
#define GPSCORE_POI_POISEARCHCONFIGURATIONOBJECT_H_

#include "GPSLib_classes.h"
#include "poi/POISearch.h"

// Holds the POI search object by reference: the client fills the search text and category into
// the POI it gets from GetPOISearchObject, and SetPOISearchObject replaces the held POI. The
// category operations are the held POI's own.
class CPOISearchConfigurationObject : public CPOISearchConfigurationObjectBase {
public:
    CPOISearchConfigurationObject();

    HRESULT SetMaxSearchResults(LONG nMaxSearchResults) override;
    HRESULT GetMaxSearchTime(SHORT* pnSeconds) override;
    HRESULT SetMaxSearchTime(SHORT nSeconds) override;
    HRESULT GetPOISearchObject(IPOIObject** ppPOI) override;
    HRESULT SetPOISearchObject(IPOIObject* pPOI) override;

    HRESULT GetPOICategory(IPOICategoryObject** ppCategory) override;
    HRESULT SetPOICategory(IPOICategoryObject* pCategory) override;
    HRESULT GetPOISubCategory(IPOISubCategoryObject** ppSubCategory) override;
    HRESULT SetPOISubCategory(IPOISubCategoryObject* pSubCategory) override;
    HRESULT GetCategoryNumber(SHORT* pnCategoryNumber) override;
    HRESULT GetSubCategoryNumber(SHORT* pnSubCategoryNumber) override;
    HRESULT SetCategoryNumber(SHORT nCategoryNumber) override;
    HRESULT SetSubCategoryNumber(SHORT nSubCategoryNumber) override;

    HRESULT GetMainSearchString(BSTR* pbstrMainSearchString) override;
    HRESULT GetMainSearchField(POIFields* peMainSearchField) override;

private:
    // The first non-empty text field of the search POI, in the search's order of preference;
    // an empty text and POI_FIELD_NAME when every field is empty.
    HRESULT FindMainSearchField(gpslib::Bstr* text, POIFields* field) const;

    gpslib::ComPtr<IPOIObject> m_pPOISearchObject;
};

namespace gpscore {

// The search a configuration holds, and what a search changed written back into it (the user-POI
// visibility and the search by the text's start).
POIQuery ReadPOIQuery(IPOISearchConfigurationObject* config);
void WritePOIQueryBack(IPOISearchConfigurationObject* config, const POIQuery& query);
// A new configuration holding `query`, its main text in the search POI's field of that name
// (null only when the runtime cannot make one).
gpslib::ComPtr<IPOISearchConfigurationObject> NewPOISearchConfiguration(const POIQuery& query);

} // namespace gpscore

#endif // GPSCORE_POI_POISEARCHCONFIGURATIONOBJECT_H_
