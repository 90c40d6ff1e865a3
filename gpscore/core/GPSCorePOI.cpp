// Points of interest as a client asks for them: the searches and their descriptions, the
// categories, the user's own POIs and the POI the lookaround announced last. Each method takes
// the core lock, checks its pointers and hands the work to the POI search or the POI watch.
#include "base/Answers.h"
#include "base/LocationObject.h"
#include "core/GPSCore.h"

using gpslib::ComPtr;
using gpslib::os::CriticalSectionLock;

using gpscore::ReturnText;

namespace {

// A list argument is cleared before it is answered.
HRESULT ClearList(VARIANT* list) {
    if (list == nullptr) return E_POINTER;
    VariantClear(list);
    return S_OK;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Search.

HRESULT CGPSCore::POIsFind(Mode eMode, IPOISearchConfigurationObject* pConfig, IPOIObject** ppPOI,
                           LONG* plFound) {
    CriticalSectionLock lock(m_csCore);
    if (pConfig == nullptr || ppPOI == nullptr || plFound == nullptr) return E_POINTER;
    *ppPOI = nullptr;
    *plFound = 0;
    const gpscore::ModePlaces places = Places();
    ComPtr<ILocationObject> here = places.Location(eMode);
    if (!here) here = gpscore::NewLocation(0.0, 0.0);
    return m_poiSearch.FindByLocation(here.Get(), pConfig, eMode, places, ppPOI, plFound);
}

HRESULT CGPSCore::POIsFindByLocation(ILocationObject* pLocation,
                                     IPOISearchConfigurationObject* pConfig, IPOIObject** ppPOI,
                                     LONG* plFound) {
    CriticalSectionLock lock(m_csCore);
    if (pLocation == nullptr || pConfig == nullptr || ppPOI == nullptr || plFound == nullptr)
        return E_POINTER;
    *ppPOI = nullptr;
    *plFound = 0;
    return m_poiSearch.FindByLocation(pLocation, pConfig, m_context.m_eCurrentMode, Places(), ppPOI,
                                      plFound);
}

HRESULT CGPSCore::POIsFindNearest(Mode eMode, IPOIObject** ppPOI, LONG* plFound) {
    CriticalSectionLock lock(m_csCore);
    if (ppPOI == nullptr || plFound == nullptr) return E_POINTER;
    *ppPOI = nullptr;
    *plFound = 0;
    const gpscore::ModePlaces places = Places();
    ComPtr<ILocationObject> here = places.Location(eMode);
    if (!here) here = gpscore::NewLocation(0.0, 0.0);
    return m_poiSearch.FindNearestByLocation(here.Get(), places, ppPOI, plFound);
}

HRESULT CGPSCore::POIsFindNearestByLocation(ILocationObject* pLocation, IPOIObject** ppPOI,
                                            LONG* plFound) {
    CriticalSectionLock lock(m_csCore);
    if (pLocation == nullptr || ppPOI == nullptr || plFound == nullptr) return E_POINTER;
    *ppPOI = nullptr;
    *plFound = 0;
    return m_poiSearch.FindNearestByLocation(pLocation, Places(), ppPOI, plFound);
}

HRESULT CGPSCore::POIsGetNumberFoundFromPreviousSearch(LONG* plFound) {
    CriticalSectionLock lock(m_csCore);
    if (plFound == nullptr) return E_POINTER;
    *plFound = m_poiSearch.FoundCount();
    return S_OK;
}

HRESULT CGPSCore::POIGet(LONG lIndex, IPOIObject** ppPOI) {
    CriticalSectionLock lock(m_csCore);
    if (ppPOI == nullptr) return E_POINTER;
    *ppPOI = nullptr;
    return m_poiSearch.Get(lIndex, m_context.m_eCurrentMode, Places(), ppPOI);
}

HRESULT CGPSCore::POIGetLastSearchDistanceDescription(BSTR* pbstrDistance) {
    CriticalSectionLock lock(m_csCore);
    if (pbstrDistance == nullptr) return E_POINTER;
    return ReturnText(m_poiSearch.LastSearchDistanceDescription(), pbstrDistance);
}

HRESULT CGPSCore::POIGetLastSearchExceededMaxDistance(VARIANT_BOOL* pbExceeded) {
    CriticalSectionLock lock(m_csCore);
    if (pbExceeded == nullptr) return E_POINTER;
    *pbExceeded = m_poiSearch.LastSearchExceededMaxDistance() ? 0xFFFF : 0;
    return S_OK;
}

HRESULT CGPSCore::POIGetLastSearchDescriptions(Mode eMode,
                                               IPOIDescriptionConfigurationObject* pConfig,
                                               VARIANT* pvarDescriptions, LONG* plCount) {
    CriticalSectionLock lock(m_csCore);
    if (pConfig == nullptr || pvarDescriptions == nullptr || plCount == nullptr) return E_POINTER;
    *plCount = 0;
    ClearList(pvarDescriptions);
    return m_poiSearch.LastSearchDescriptions(eMode, pConfig, Places(), pvarDescriptions, plCount);
}

// ---------------------------------------------------------------------------------------------
// Categories.

HRESULT CGPSCore::POIGetNumberOfCommercialFilesLoaded(SHORT* pnFilesLoaded) {
    CriticalSectionLock lock(m_csCore);
    if (pnFilesLoaded == nullptr) return E_POINTER;
    *pnFilesLoaded = m_poiSearch.CommercialFilesLoaded();
    return S_OK;
}

HRESULT CGPSCore::POIGetCategories(VARIANT* pvarCategories) {
    CriticalSectionLock lock(m_csCore);
    if (FAILED(ClearList(pvarCategories))) return E_POINTER;
    return m_poiSearch.Categories(false, true, pvarCategories);
}

HRESULT CGPSCore::POIGetSubCategories(SHORT nCategory, VARIANT* pvarSubCategories) {
    CriticalSectionLock lock(m_csCore);
    if (FAILED(ClearList(pvarSubCategories))) return E_POINTER;
    return m_poiSearch.SubCategories(nCategory, false, true, pvarSubCategories);
}

HRESULT CGPSCore::POIGetAllCategories(VARIANT* pvarCategories,
                                      VARIANT_BOOL bIncludeUserPrivateOnly) {
    CriticalSectionLock lock(m_csCore);
    if (FAILED(ClearList(pvarCategories))) return E_POINTER;
    return m_poiSearch.Categories(true, bIncludeUserPrivateOnly != 0, pvarCategories);
}

HRESULT CGPSCore::POIGetAllSubCategories(SHORT nCategory, VARIANT_BOOL bIncludeUserPrivateOnly,
                                         VARIANT* pvarSubCategories) {
    CriticalSectionLock lock(m_csCore);
    if (FAILED(ClearList(pvarSubCategories))) return E_POINTER;
    return m_poiSearch.SubCategories(nCategory, true, bIncludeUserPrivateOnly != 0,
                                     pvarSubCategories);
}

// ---------------------------------------------------------------------------------------------
// The user's own POIs.

HRESULT CGPSCore::POIsGetNumberOfUser(SHORT* pnUserPOIs) {
    CriticalSectionLock lock(m_csCore);
    if (pnUserPOIs == nullptr) return E_POINTER;
    *pnUserPOIs = m_poiSearch.UserCount();
    return S_OK;
}

HRESULT CGPSCore::POICreate(Mode eMode, POICreationType eCreationType, IPOIObject** ppPOI) {
    CriticalSectionLock lock(m_csCore);
    if (ppPOI == nullptr) return E_POINTER;
    *ppPOI = nullptr;
    return m_poiSearch.Create(eMode, eCreationType, Places(), ppPOI);
}

HRESULT CGPSCore::POICreateUser(ILocationObject* pLocation, IPOIObject** ppPOI) {
    CriticalSectionLock lock(m_csCore);
    if (pLocation == nullptr || ppPOI == nullptr) return E_POINTER;
    *ppPOI = nullptr;
    return m_poiSearch.CreateUser(pLocation, ppPOI);
}

HRESULT CGPSCore::POIAdd(IPOIObject** ppPOI) {
    CriticalSectionLock lock(m_csCore);
    if (ppPOI == nullptr || *ppPOI == nullptr) return E_POINTER;
    m_poiSearch.Add(*ppPOI);
    return S_OK;
}

HRESULT CGPSCore::POIUpdate(IPOIObject* pPOI, VARIANT_BOOL* pbUpdated) {
    CriticalSectionLock lock(m_csCore);
    if (pPOI == nullptr || pbUpdated == nullptr) return E_POINTER;
    *pbUpdated = m_poiSearch.Update(pPOI) ? 0xFFFF : 0;
    return S_OK;
}

HRESULT CGPSCore::POIDelete(IPOIObject* pPOI, VARIANT_BOOL* pbDeleted) {
    CriticalSectionLock lock(m_csCore);
    if (pPOI == nullptr || pbDeleted == nullptr) return E_POINTER;
    *pbDeleted = m_poiSearch.Delete(pPOI) ? 0xFFFF : 0;
    return S_OK;
}

HRESULT CGPSCore::POIGetUser(LONG lIndex, IPOIObject** ppPOI) {
    CriticalSectionLock lock(m_csCore);
    if (ppPOI == nullptr) return E_POINTER;
    *ppPOI = nullptr;
    return m_poiSearch.GetUser(lIndex, Places(), ppPOI);
}

HRESULT CGPSCore::POIGetUserNext(LONG lPreviousIndex, IPOIObject** ppPOI) {
    CriticalSectionLock lock(m_csCore);
    if (ppPOI == nullptr) return E_POINTER;
    *ppPOI = nullptr;
    const LONG next = lPreviousIndex < 0x7fffffff ? lPreviousIndex + 1 : -1;
    return m_poiSearch.GetUser(next, Places(), ppPOI);
}

HRESULT CGPSCore::POIGetAllUserNamesAndKeys(VARIANT* pvarNames, VARIANT* pvarKeys, SHORT* pnCount) {
    CriticalSectionLock lock(m_csCore);
    if (pvarNames == nullptr || pvarKeys == nullptr || pnCount == nullptr) return E_POINTER;
    ClearList(pvarNames);
    ClearList(pvarKeys);
    return m_poiSearch.AllUserNamesAndKeys(pvarNames, pvarKeys, pnCount);
}

HRESULT CGPSCore::POIGetUserNextFreeKey(LONG* plKey) {
    CriticalSectionLock lock(m_csCore);
    if (plKey == nullptr) return E_POINTER;
    *plKey = m_poiSearch.UserNextFreeKey();
    return S_OK;
}

HRESULT CGPSCore::POIAddTag(SHORT nSubCategory, BSTR bstrTag) {
    CriticalSectionLock lock(m_csCore);
    m_poiSearch.AddTag(nSubCategory, bstrTag);
    return S_OK;
}

HRESULT CGPSCore::POIGetTags(SHORT nSubCategory, VARIANT* pvarTags) {
    CriticalSectionLock lock(m_csCore);
    if (FAILED(ClearList(pvarTags))) return E_POINTER;
    return m_poiSearch.Tags(nSubCategory, pvarTags);
}

HRESULT CGPSCore::POIGetMediaFile(IPOIObject* pPOI, BSTR bstrMediaFileName, BSTR bstrNewFilePath,
                                  VARIANT_BOOL* pbExtracted) {
    CriticalSectionLock lock(m_csCore);
    if (pPOI == nullptr || pbExtracted == nullptr) return E_POINTER;
    *pbExtracted =
        m_poiSearch.ExtractMediaFile(pPOI, bstrMediaFileName, bstrNewFilePath) ? 0xFFFF : 0;
    return S_OK;
}

HRESULT CGPSCore::POIVaccuumUserDatabase(BSTR* pbstrResult) {
    CriticalSectionLock lock(m_csCore);
    if (pbstrResult == nullptr) return E_POINTER;
    return ReturnText(m_poiSearch.VacuumUserDatabase(), pbstrResult);
}

HRESULT CGPSCore::POIGetLastLookaroundFound(IPOIObject** ppPOI) {
    CriticalSectionLock lock(m_csCore);
    if (ppPOI == nullptr) return E_POINTER;
    *ppPOI = nullptr;
    *ppPOI = m_lastLookaroundPOI.Object().Detach();
    return *ppPOI != nullptr ? S_OK : E_OUTOFMEMORY;
}
