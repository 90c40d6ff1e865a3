#include "poi/POICategoryObject.h"

#include "base/Utility.h"
#include "poi/POIBuilder.h"

GPSLIB_CLASS_FACTORY(POICategoryObject, CPOICategoryObject)

HRESULT CPOICategoryObject::GetCategoryName(BSTR* pbstrCategoryName) {
    if (pbstrCategoryName == nullptr) return E_POINTER;
    const int id =
        m_nNameStringId != 0 ? m_nNameStringId : gpscore::CategoryNameId(m_nCategoryNumber);
    auto utility = gpscore::Utility::Instance();
    return gpslib::ReturnString(pbstrCategoryName,
                                utility ? utility->GetString(id) : std::u16string());
}
