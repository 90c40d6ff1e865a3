#include "orientation/WhereAmIObject.h"

#include "base/Utility.h"
#include "orientation/MapName.h"

HRESULT CWhereAmIObject::GetMapNameOnly(BSTR* pbstrMapName) {
    if (pbstrMapName == nullptr) return E_POINTER;
    *pbstrMapName = gpslib::AllocBstr(std::u16string_view(gpscore::PlainMapName(m_bstrMap.View())));
    return *pbstrMapName == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT CWhereAmIObject::GetStreetName(BSTR* pbstrStreetName) {
    if (pbstrStreetName == nullptr) return E_POINTER;
    VARIANT_BOOL detailed = VARIANT_FALSE;
    auto utility = gpscore::Utility::Instance();
    if (utility != nullptr && utility->SystemSettings())
        utility->SystemSettings()->GetStreetNamesDetailed(&detailed);
    *pbstrStreetName = gpslib::AllocBstr(detailed != 0 ? m_bstrStreetNameDetailed.View()
                                                       : m_bstrStreetNameShort.View());
    return *pbstrStreetName == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT CWhereAmIObject::GetRoadSpeedLimit(SHORT* pnSpeedLimit) {
    if (pnSpeedLimit == nullptr) return E_POINTER;
    auto utility = gpscore::Utility::Instance();
    const Units units = utility != nullptr ? utility->CurrentUnits() : Imperial;
    *pnSpeedLimit = units == Metric ? m_nSpeedLimitMetric : m_nSpeedLimitNonMetric;
    return S_OK;
}

GPSLIB_CLASS_FACTORY(WhereAmIObject, CWhereAmIObject)
