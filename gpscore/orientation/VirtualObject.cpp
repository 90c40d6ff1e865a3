#include "orientation/VirtualObject.h"

#include "base/Descriptions.h"
#include "base/Utility.h"

// -1 means no heading; any other value is taken without its sign, modulo a full turn (so -90
// becomes 90, not 270).
HRESULT CVirtualObject::SetHeading(SHORT nHeading) {
    int magnitude = nHeading < 0 ? -static_cast<int>(nHeading) : nHeading;
    m_nHeading = nHeading == -1 ? SHORT{-1} : static_cast<SHORT>(magnitude % 360);
    return S_OK;
}

HRESULT CVirtualObject::IsHeadingValid(VARIANT_BOOL* pbValid) {
    if (pbValid == nullptr) return E_POINTER;
    *pbValid = m_nHeading != -1 ? 1 : 0;
    return S_OK;
}

HRESULT CVirtualObject::GetRelativeHeading(ILocationObject* pTo, BSTR* pbstrRelativeHeading) {
    if (pbstrRelativeHeading == nullptr) return E_POINTER;
    return m_pLocation ? m_pLocation->GetRelativeHeading(m_nHeading, pTo, pbstrRelativeHeading)
                       : E_FAIL;
}
HRESULT CVirtualObject::GetDistanceAndHeading(ILocationObject* pTo, BSTR* pbstrDescription) {
    if (pbstrDescription == nullptr) return E_POINTER;
    return m_pLocation ? m_pLocation->GetDistanceAndHeading(m_nHeading, pTo, pbstrDescription)
                       : E_FAIL;
}
HRESULT CVirtualObject::GetDistanceAndHeadingAndName(ILocationObject* pTo,
                                                     IDescriptionConfigurationObject* pConfig,
                                                     BSTR* pbstrDescription) {
    if (pbstrDescription == nullptr) return E_POINTER;
    return m_pLocation ? m_pLocation->GetDistanceAndHeadingAndName(m_nHeading, pTo, pConfig,
                                                                   pbstrDescription)
                       : E_FAIL;
}

GPSLIB_CLASS_FACTORY(VirtualObject, CVirtualObject)

HRESULT CVirtualObject::GetHeading(HeadingType eHeadingType, BSTR* pbstrHeading) {
    if (pbstrHeading == nullptr) return E_POINTER;
    *pbstrHeading = gpslib::AllocBstr(std::u16string_view(
        gpscore::Wording(gpscore::Utility::Instance()).HeadingText(m_nHeading, eHeadingType)));
    return *pbstrHeading == nullptr ? E_OUTOFMEMORY : S_OK;
}
