// A point of interest: name, category, address, contact data and position.
#ifndef GPSCORE_POI_POIOBJECT_H_
#define GPSCORE_POI_POIOBJECT_H_

#include "GPSLib_classes.h"

// The POI's own name and description are fields; its position, with a name and description of
// its own, is the inner location. The category and subcategory are the two number fields: the
// category objects handed out are new ones made for those numbers, and the ones handed in are
// read for their numbers, so that the numbers and the objects can never disagree.
class CPOIObject : public CPOIObjectBase {
public:
    HRESULT GetCategory(IPOICategoryObject** ppCategory) override;
    HRESULT SetCategory(IPOICategoryObject* pCategory) override;
    HRESULT GetSubCategory(IPOISubCategoryObject** ppSubCategory) override;
    HRESULT SetSubCategory(IPOISubCategoryObject* pSubCategory) override;

    HRESULT HasMediaFile(VARIANT_BOOL* pbHasMediaFile) override;
};

#endif // GPSCORE_POI_POIOBJECT_H_
