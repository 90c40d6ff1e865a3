// A POI subcategory: number, main category and spoken name.
#ifndef GPSCORE_POI_POISUBCATEGORYOBJECT_H_
#define GPSCORE_POI_POISUBCATEGORYOBJECT_H_

#include "GPSLib_classes.h"

class CPOISubCategoryObject : public CPOISubCategoryObjectBase {
public:
    // For the system's lists: the resource id of a list header name; 0 derives the name from
    // the two numbers.
    void SetNameStringId(LONG id) { m_nNameStringId = id; }
    LONG NameStringId() const { return m_nNameStringId; }

    // The name from the string resources, looked up when asked for.
    HRESULT GetSubCategoryName(BSTR* pbstrSubCategoryName) override;
};

#endif // GPSCORE_POI_POISUBCATEGORYOBJECT_H_
