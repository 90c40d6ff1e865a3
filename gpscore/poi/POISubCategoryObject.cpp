#include "poi/POISubCategoryObject.h"

#include "base/Utility.h"
#include "poi/POIBuilder.h"

GPSLIB_CLASS_FACTORY(POISubCategoryObject, CPOISubCategoryObject)

HRESULT CPOISubCategoryObject::GetSubCategoryName(BSTR* pbstrSubCategoryName) {
    if (pbstrSubCategoryName == nullptr) return E_POINTER;
    const int id = m_nNameStringId != 0
                       ? m_nNameStringId
                       : gpscore::SubCategoryNameId(m_nMainCategoryNumber, m_nSubCategoryNumber);
    auto utility = gpscore::Utility::Instance();
    return gpslib::ReturnString(pbstrSubCategoryName,
                                utility ? utility->GetString(id) : std::u16string());
}
