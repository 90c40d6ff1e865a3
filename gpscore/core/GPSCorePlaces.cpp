// The user's own places as a client asks for them: the history of places, the favorites and
// the annotations. Each method takes the core lock, checks its pointers and hands the work to
// the personal places.
#include "address/AddressObject.h"
#include "base/LocationObject.h"
#include "core/GPSCore.h"

using gpscore::ReturnPOI;
using gpslib::ComPtr;
using gpslib::os::CriticalSectionLock;

namespace {

// A list of descriptions as the client gets it, with its count.
HRESULT ReturnDescriptions(const std::vector<std::u16string>& texts, VARIANT* list, SHORT* count) {
    if (count != nullptr) *count = static_cast<SHORT>(texts.size());
    return gpslib::ReturnStringList(list, texts);
}

} // namespace

HRESULT CGPSCore::HistoryGetList(Mode eMode, VARIANT* pvarDescriptions, SHORT* pnCount) {
    CriticalSectionLock lock(m_csCore);
    if (pvarDescriptions == nullptr || pnCount == nullptr) return E_POINTER;
    *pnCount = 0;
    VariantClear(pvarDescriptions);
    return ReturnDescriptions(m_places.HistoryList(Places().At(eMode)), pvarDescriptions, pnCount);
}

HRESULT CGPSCore::HistoryGetItem(SHORT nIndex, ILocationObject** ppLocation) {
    CriticalSectionLock lock(m_csCore);
    if (ppLocation == nullptr) return E_POINTER;
    *ppLocation = nullptr;
    const std::optional<gpscore::Place> place = m_places.HistoryItem(nIndex);
    ComPtr<ILocationObject> location =
        place ? gpscore::NewLocation(*place) : gpscore::NewLocation(0.0, 0.0);
    if (!location) return E_OUTOFMEMORY;
    *ppLocation = location.Detach();
    return S_OK;
}

HRESULT CGPSCore::FavoritesGetList(Mode eMode, VARIANT* pvarDescriptions, SHORT* pnCount) {
    CriticalSectionLock lock(m_csCore);
    if (pvarDescriptions == nullptr || pnCount == nullptr) return E_POINTER;
    *pnCount = 0;
    VariantClear(pvarDescriptions);
    return ReturnDescriptions(m_places.FavoritesList(Places().At(eMode)), pvarDescriptions,
                              pnCount);
}

HRESULT CGPSCore::FavoritesGetItem(SHORT nIndex, IPOIObject** ppPOI) {
    CriticalSectionLock lock(m_csCore);
    if (ppPOI == nullptr) return E_POINTER;
    *ppPOI = nullptr;
    return ReturnPOI(m_places.FavoritesItem(nIndex, Places().At(m_context.m_eCurrentMode)), ppPOI);
}

HRESULT CGPSCore::FavoritesAddLocation(ILocationObject* pLocation, VARIANT_BOOL* pbAdded) {
    CriticalSectionLock lock(m_csCore);
    if (pLocation == nullptr || pbAdded == nullptr) return E_POINTER;
    const std::optional<gpscore::Place> place = gpscore::PlaceOf(pLocation);
    *pbAdded = gpslib::VariantBool(place && m_places.FavoritesAddLocation(*place));
    return S_OK;
}

HRESULT CGPSCore::FavoritesAddAddress(IAddressObject* pAddress, VARIANT_BOOL* pbAdded) {
    CriticalSectionLock lock(m_csCore);
    if (pAddress == nullptr || pbAdded == nullptr) return E_POINTER;
    *pbAdded = gpslib::VariantBool(m_places.FavoritesAddAddress(gpscore::ReadAddress(pAddress)));
    return S_OK;
}

HRESULT CGPSCore::FavoritesAddPOI(IPOIObject* pPOI, VARIANT_BOOL* pbAdded) {
    CriticalSectionLock lock(m_csCore);
    if (pPOI == nullptr || pbAdded == nullptr) return E_POINTER;
    *pbAdded = gpslib::VariantBool(m_places.FavoritesAddPOI(gpscore::ReadPOIObject(pPOI)));
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
    return ReturnDescriptions(m_places.AnnotationsList(Places().At(eMode)), pvarDescriptions,
                              nullptr);
}

HRESULT CGPSCore::AnnotationsGetItem(Mode eMode, SHORT nIndex, IPOIObject** ppPOI,
                                     BSTR* pbstrDescription) {
    CriticalSectionLock lock(m_csCore);
    if (ppPOI == nullptr || pbstrDescription == nullptr) return E_POINTER;
    *ppPOI = nullptr;
    *pbstrDescription = nullptr;
    std::u16string description;
    const std::optional<gpscore::POIData> poi =
        m_places.AnnotationsItem(nIndex, Places().At(eMode), &description);
    ComPtr<IPOIObject> object = poi ? gpscore::NewPOIObject(*poi) : gpscore::NewPOI();
    if (!object) return E_OUTOFMEMORY;
    *pbstrDescription = gpslib::AllocBstr(description);
    *ppPOI = object.Detach();
    return S_OK;
}

HRESULT CGPSCore::AnnotationsAdd(IPOIObject* pPOI, VARIANT_BOOL* pbAdded) {
    CriticalSectionLock lock(m_csCore);
    if (pPOI == nullptr || pbAdded == nullptr) return E_POINTER;
    *pbAdded = gpslib::VariantBool(m_places.AnnotationsAdd(gpscore::ReadPOIObject(pPOI)));
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
    *pbNear = gpslib::VariantBool(m_places.AnnotationsIsNear(Places().At(eMode)));
    return S_OK;
}
