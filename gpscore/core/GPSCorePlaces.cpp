// The user's own places as a client asks for them: the history of places, the favorites and
// the annotations. Each method takes the core lock, checks its pointers and hands the work to
// the personal places.
#include "base/Answers.h"
#include "core/GPSCore.h"

using gpslib::os::CriticalSectionLock;

namespace {

constexpr VARIANT_BOOL Answer(bool yes) {
    return yes ? static_cast<VARIANT_BOOL>(0xFFFF) : static_cast<VARIANT_BOOL>(0);
}

} // namespace

HRESULT CGPSCore::HistoryGetList(Mode eMode, VARIANT* pvarDescriptions, SHORT* pnCount) {
    CriticalSectionLock lock(m_csCore);
    if (pvarDescriptions == nullptr || pnCount == nullptr) return E_POINTER;
    *pnCount = 0;
    VariantClear(pvarDescriptions);
    return m_places.HistoryList(eMode, Places(), pvarDescriptions, pnCount);
}

HRESULT CGPSCore::HistoryGetItem(SHORT nIndex, ILocationObject** ppLocation) {
    CriticalSectionLock lock(m_csCore);
    if (ppLocation == nullptr) return E_POINTER;
    *ppLocation = nullptr;
    return m_places.HistoryItem(nIndex, ppLocation);
}

HRESULT CGPSCore::FavoritesGetList(Mode eMode, VARIANT* pvarDescriptions, SHORT* pnCount) {
    CriticalSectionLock lock(m_csCore);
    if (pvarDescriptions == nullptr || pnCount == nullptr) return E_POINTER;
    *pnCount = 0;
    VariantClear(pvarDescriptions);
    return m_places.FavoritesList(eMode, Places(), pvarDescriptions, pnCount);
}

HRESULT CGPSCore::FavoritesGetItem(SHORT nIndex, IPOIObject** ppPOI) {
    CriticalSectionLock lock(m_csCore);
    if (ppPOI == nullptr) return E_POINTER;
    *ppPOI = nullptr;
    return m_places.FavoritesItem(nIndex, Places(), ppPOI);
}

HRESULT CGPSCore::FavoritesAddLocation(ILocationObject* pLocation, VARIANT_BOOL* pbAdded) {
    CriticalSectionLock lock(m_csCore);
    if (pLocation == nullptr || pbAdded == nullptr) return E_POINTER;
    *pbAdded = Answer(m_places.FavoritesAddLocation(pLocation));
    return S_OK;
}

HRESULT CGPSCore::FavoritesAddAddress(IAddressObject* pAddress, VARIANT_BOOL* pbAdded) {
    CriticalSectionLock lock(m_csCore);
    if (pAddress == nullptr || pbAdded == nullptr) return E_POINTER;
    *pbAdded = Answer(m_places.FavoritesAddAddress(pAddress));
    return S_OK;
}

HRESULT CGPSCore::FavoritesAddPOI(IPOIObject* pPOI, VARIANT_BOOL* pbAdded) {
    CriticalSectionLock lock(m_csCore);
    if (pPOI == nullptr || pbAdded == nullptr) return E_POINTER;
    *pbAdded = Answer(m_places.FavoritesAddPOI(pPOI));
    return S_OK;
}

HRESULT CGPSCore::FavoritesGetCount(SHORT* pnCount) {
    CriticalSectionLock lock(m_csCore);
    if (pnCount == nullptr) return E_POINTER;
    *pnCount = m_places.FavoritesCount();
    return S_OK;
}

HRESULT CGPSCore::AnnotationsGetList(Mode eMode, VARIANT* pvarDescriptions) {
    CriticalSectionLock lock(m_csCore);
    if (pvarDescriptions == nullptr) return E_POINTER;
    VariantClear(pvarDescriptions);
    return m_places.AnnotationsList(eMode, Places(), pvarDescriptions);
}

HRESULT CGPSCore::AnnotationsGetItem(Mode eMode, SHORT nIndex, IPOIObject** ppPOI,
                                     BSTR* pbstrDescription) {
    CriticalSectionLock lock(m_csCore);
    if (ppPOI == nullptr || pbstrDescription == nullptr) return E_POINTER;
    *ppPOI = nullptr;
    *pbstrDescription = nullptr;
    return m_places.AnnotationsItem(eMode, nIndex, Places(), ppPOI, pbstrDescription);
}

HRESULT CGPSCore::AnnotationsAdd(IPOIObject* pPOI, VARIANT_BOOL* pbAdded) {
    CriticalSectionLock lock(m_csCore);
    if (pPOI == nullptr || pbAdded == nullptr) return E_POINTER;
    *pbAdded = Answer(m_places.AnnotationsAdd(pPOI));
    return S_OK;
}

HRESULT CGPSCore::AnnotationsGetCount(SHORT* pnCount) {
    CriticalSectionLock lock(m_csCore);
    if (pnCount == nullptr) return E_POINTER;
    *pnCount = m_places.AnnotationsCount();
    return S_OK;
}

HRESULT CGPSCore::AnnotationsIsNear(Mode eMode, VARIANT_BOOL* pbNear) {
    CriticalSectionLock lock(m_csCore);
    if (pbNear == nullptr) return E_POINTER;
    *pbNear = Answer(m_places.AnnotationsIsNear(eMode, Places()));
    return S_OK;
}
