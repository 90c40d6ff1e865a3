// A POI category: number and spoken name.
#ifndef GPSCORE_POI_POICATEGORYOBJECT_H_
#define GPSCORE_POI_POICATEGORYOBJECT_H_

#include "GPSLib_classes.h"

class CPOICategoryObject : public CPOICategoryObjectBase {
public:
    // For the system's lists: the resource id of a name that is not the category's own (the
    // list header, or the alternative name of category 17); 0 derives it from the number.
    void SetNameStringId(LONG id) { m_nNameStringId = id; }
    LONG NameStringId() const { return m_nNameStringId; }

    // The name from the string resources, looked up when asked for.
    HRESULT GetCategoryName(BSTR* pbstrCategoryName) override;
};

#endif // GPSCORE_POI_POICATEGORYOBJECT_H_
