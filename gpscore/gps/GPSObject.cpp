#include "gps/GPSObject.h"

#include "orientation/Descriptions.h"

GPSLIB_CLASS_FACTORY(GPSObject, CGPSObject)

HRESULT CGPSObject::GetHeading(HeadingType eHeadingType, BSTR* pbstrHeading) {
    if (pbstrHeading == nullptr) return E_POINTER;
    *pbstrHeading = gpslib::AllocBstr(
        std::u16string_view(gpscore::HeadingText(m_nHeadingDegrees, eHeadingType)));
    return *pbstrHeading == nullptr ? E_OUTOFMEMORY : S_OK;
}
