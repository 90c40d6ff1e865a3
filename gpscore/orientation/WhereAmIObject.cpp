#include "orientation/WhereAmIObject.h"

#include "orientation/MapName.h"

HRESULT CWhereAmIObject::GetMapNameOnly(BSTR* pbstrMapName) {
    if (pbstrMapName == nullptr) return E_POINTER;
    *pbstrMapName = gpslib::AllocBstr(std::u16string_view(gpscore::PlainMapName(m_bstrMap.View())));
    return *pbstrMapName == nullptr ? E_OUTOFMEMORY : S_OK;
}

GPSLIB_CLASS_FACTORY(WhereAmIObject, CWhereAmIObject)
