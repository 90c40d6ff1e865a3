// Points of interest as a client asks for them: the searches and their descriptions, the
// categories, the user's own POIs and the POI the lookaround announced last. Each method takes
// the core lock, checks its pointers and hands the work to the POI search or the POI watch.
#include "base/LocationObject.h"
#include "core/GPSCore.h"
#include "poi/POICategoryObject.h"
#include "poi/POISearchConfigurationObject.h"
#include "poi/POISubCategoryObject.h"

using gpslib::ComPtr;
using gpslib::os::CriticalSectionLock;

using gpscore::ReturnPOI;
using gpscore::ReturnText;

namespace {

// A list argument is cleared before it is answered.
HRESULT ClearList(VARIANT* list) {
    if (list == nullptr) return E_POINTER;
    VariantClear(list);
    return S_OK;
}

// Where a search stands: the mode's own place, or no position when the mode has none.
gpscore::Place SearchPlace(const gpscore::Standpoint& here) {
    return here.place.value_or(gpscore::Place{});
}

// The category and subcategory objects of a list, each with the name its entry gives.
HRESULT ReturnCategories(const std::vector<gpscore::POICategoryEntry>& entries, bool sub,
                         VARIANT* list) {
    std::vector<IUnknown*> objects;
    for (const gpscore::POICategoryEntry& e : entries) {
        if (sub) {
            ComPtr<IPOISubCategoryObject> object;
            if (FAILED(gpslib::CreateObject(CLSID_POISubCategoryObject, IID_IPOISubCategoryObject,
                                            &object)))
                continue;
            object->SetMainCategoryNumber(e.category);
            object->SetSubCategoryNumber(e.subCategory);
            if (auto* impl = gpslib::ImplOf<CPOISubCategoryObject>(object.Get()))
                impl->SetNameStringId(e.nameId);
            objects.push_back(object.Detach());
        } else {
            ComPtr<IPOICategoryObject> object;
            if (FAILED(
                    gpslib::CreateObject(CLSID_POICategoryObject, IID_IPOICategoryObject, &object)))
                continue;
            object->SetCategoryNumber(e.category);
            if (auto* impl = gpslib::ImplOf<CPOICategoryObject>(object.Get()))
                impl->SetNameStringId(e.nameId);
            objects.push_back(object.Detach());
        }
    }
    HRESULT hr = gpslib::ReturnObjectList(list, objects,
                                          sub ? IID_IPOISubCategoryObject : IID_IPOICategoryObject);
    for (IUnknown* object : objects)
        object->Release();
    return hr;
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
    const gpscore::Standpoint here = Places().At(eMode);
    return FindPOIs(SearchPlace(here), pConfig, here, ppPOI, plFound);
}

HRESULT CGPSCore::POIsFindByLocation(ILocationObject* pLocation,
                                     IPOISearchConfigurationObject* pConfig, IPOIObject** ppPOI,
                                     LONG* plFound) {
    CriticalSectionLock lock(m_csCore);
    if (pLocation == nullptr || pConfig == nullptr || ppPOI == nullptr || plFound == nullptr)
        return E_POINTER;
    *ppPOI = nullptr;
    *plFound = 0;
    return FindPOIs(gpscore::PlaceAt(pLocation), pConfig, Places().At(m_context.m_eCurrentMode),
                    ppPOI, plFound);
}

HRESULT CGPSCore::FindPOIs(const gpscore::Place& location, IPOISearchConfigurationObject* pConfig,
                           const gpscore::Standpoint& here, IPOIObject** ppPOI, LONG* plFound) {
    // The search's changes to the client's configuration are the client's to see.
    gpscore::POIQuery query = gpscore::ReadPOIQuery(pConfig);
    std::int32_t found = 0;
    const std::optional<gpscore::POIData> poi =
        m_poiSearch.FindByLocation(location, query, here, &found);
    gpscore::WritePOIQueryBack(pConfig, query);
    *plFound = found;
    return ReturnPOI(poi, ppPOI);
}

HRESULT CGPSCore::POIsFindNearest(Mode eMode, IPOIObject** ppPOI, LONG* plFound) {
    CriticalSectionLock lock(m_csCore);
    if (ppPOI == nullptr || plFound == nullptr) return E_POINTER;
    *ppPOI = nullptr;
    *plFound = 0;
    const gpscore::Standpoint here = Places().At(eMode);
    return ReturnPOI(m_poiSearch.FindNearestByLocation(
                         SearchPlace(here), Places().At(m_context.m_eCurrentMode), plFound),
                     ppPOI);
}

HRESULT CGPSCore::POIsFindNearestByLocation(ILocationObject* pLocation, IPOIObject** ppPOI,
                                            LONG* plFound) {
    CriticalSectionLock lock(m_csCore);
    if (pLocation == nullptr || ppPOI == nullptr || plFound == nullptr) return E_POINTER;
    *ppPOI = nullptr;
    *plFound = 0;
    return ReturnPOI(m_poiSearch.FindNearestByLocation(gpscore::PlaceAt(pLocation),
                                                       Places().At(m_context.m_eCurrentMode),
                                                       plFound),
                     ppPOI);
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
    return ReturnPOI(m_poiSearch.Get(lIndex, Places().At(m_context.m_eCurrentMode)), ppPOI);
}

HRESULT CGPSCore::POIGetLastSearchDistanceDescription(BSTR* pbstrDistance) {
    CriticalSectionLock lock(m_csCore);
    if (pbstrDistance == nullptr) return E_POINTER;
    return ReturnText(m_poiSearch.LastSearchDistanceDescription(), pbstrDistance);
}

HRESULT CGPSCore::POIGetLastSearchExceededMaxDistance(VARIANT_BOOL* pbExceeded) {
    CriticalSectionLock lock(m_csCore);
    if (pbExceeded == nullptr) return E_POINTER;
    *pbExceeded = gpslib::VariantBool(m_poiSearch.LastSearchExceededMaxDistance());
    return S_OK;
}

HRESULT CGPSCore::POIGetLastSearchDescriptions(Mode eMode,
                                               IPOIDescriptionConfigurationObject* pConfig,
                                               VARIANT* pvarDescriptions, LONG* plCount) {
    CriticalSectionLock lock(m_csCore);
    if (pConfig == nullptr || pvarDescriptions == nullptr || plCount == nullptr) return E_POINTER;
    *plCount = 0;
    ClearList(pvarDescriptions);
    gpscore::POIDescriptionQuery what;
    VARIANT_BOOL dynamic = 0, address = 0, category = 0, distance = 0, tags = 0;
    pConfig->GetDescriptionDynamic(&dynamic);
    pConfig->GetNonDynamicIncludeAddress(&address);
    pConfig->GetNonDynamicIncludeCategoryAndSubCategory(&category);
    pConfig->GetNonDynamicIncludeDistance(&distance);
    pConfig->GetIncludeTags(&tags);
    what.dynamic = dynamic != 0;
    what.address = address != 0;
    what.category = category != 0;
    what.distance = distance != 0;
    what.tags = tags != 0;
    const std::vector<std::u16string> texts =
        m_poiSearch.LastSearchDescriptions(Places().At(eMode), what);
    *plCount = static_cast<LONG>(texts.size());
    return gpslib::ReturnStringList(pvarDescriptions, texts);
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
    return ReturnCategories(m_poiSearch.Categories(false, true), false, pvarCategories);
}

HRESULT CGPSCore::POIGetSubCategories(SHORT nCategory, VARIANT* pvarSubCategories) {
    CriticalSectionLock lock(m_csCore);
    if (FAILED(ClearList(pvarSubCategories))) return E_POINTER;
    return ReturnCategories(m_poiSearch.SubCategories(nCategory, false, true), true,
                            pvarSubCategories);
}

HRESULT CGPSCore::POIGetAllCategories(VARIANT* pvarCategories,
                                      VARIANT_BOOL bIncludeUserPrivateOnly) {
    CriticalSectionLock lock(m_csCore);
    if (FAILED(ClearList(pvarCategories))) return E_POINTER;
    return ReturnCategories(m_poiSearch.Categories(true, bIncludeUserPrivateOnly != 0), false,
                            pvarCategories);
}

HRESULT CGPSCore::POIGetAllSubCategories(SHORT nCategory, VARIANT_BOOL bIncludeUserPrivateOnly,
                                         VARIANT* pvarSubCategories) {
    CriticalSectionLock lock(m_csCore);
    if (FAILED(ClearList(pvarSubCategories))) return E_POINTER;
    return ReturnCategories(
        m_poiSearch.SubCategories(nCategory, true, bIncludeUserPrivateOnly != 0), true,
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
    return ReturnPOI(m_poiSearch.Create(eCreationType, Places().At(eMode)), ppPOI);
}

HRESULT CGPSCore::POICreateUser(ILocationObject* pLocation, IPOIObject** ppPOI) {
    CriticalSectionLock lock(m_csCore);
    if (pLocation == nullptr || ppPOI == nullptr) return E_POINTER;
    *ppPOI = nullptr;
    return ReturnPOI(m_poiSearch.CreateUser(gpscore::PlaceAt(pLocation)), ppPOI);
}

HRESULT CGPSCore::POIAdd(IPOIObject** ppPOI) {
    CriticalSectionLock lock(m_csCore);
    if (ppPOI == nullptr || *ppPOI == nullptr) return E_POINTER;
    // The client's own object gets what the add completed, its key among it.
    gpscore::POIData poi = gpscore::ReadPOIObject(*ppPOI);
    m_poiSearch.Add(poi);
    gpscore::WritePOIObject(*ppPOI, poi);
    return S_OK;
}

HRESULT CGPSCore::POIUpdate(IPOIObject* pPOI, VARIANT_BOOL* pbUpdated) {
    CriticalSectionLock lock(m_csCore);
    if (pPOI == nullptr || pbUpdated == nullptr) return E_POINTER;
    *pbUpdated = gpslib::VariantBool(m_poiSearch.Update(gpscore::ReadPOIObject(pPOI)));
    return S_OK;
}

HRESULT CGPSCore::POIDelete(IPOIObject* pPOI, VARIANT_BOOL* pbDeleted) {
    CriticalSectionLock lock(m_csCore);
    if (pPOI == nullptr || pbDeleted == nullptr) return E_POINTER;
    *pbDeleted = gpslib::VariantBool(m_poiSearch.Delete(gpscore::ReadPOIObject(pPOI)));
    return S_OK;
}

HRESULT CGPSCore::POIGetUser(LONG lIndex, IPOIObject** ppPOI) {
    CriticalSectionLock lock(m_csCore);
    if (ppPOI == nullptr) return E_POINTER;
    *ppPOI = nullptr;
    return ReturnPOI(m_poiSearch.GetUser(lIndex, Places().At(m_context.m_eCurrentMode)), ppPOI);
}

HRESULT CGPSCore::POIGetUserNext(LONG lPreviousIndex, IPOIObject** ppPOI) {
    CriticalSectionLock lock(m_csCore);
    if (ppPOI == nullptr) return E_POINTER;
    *ppPOI = nullptr;
    const LONG next = lPreviousIndex < 0x7fffffff ? lPreviousIndex + 1 : -1;
    return ReturnPOI(m_poiSearch.GetUser(next, Places().At(m_context.m_eCurrentMode)), ppPOI);
}

HRESULT CGPSCore::POIGetAllUserNamesAndKeys(VARIANT* pvarNames, VARIANT* pvarKeys, SHORT* pnCount) {
    CriticalSectionLock lock(m_csCore);
    if (pvarNames == nullptr || pvarKeys == nullptr || pnCount == nullptr) return E_POINTER;
    ClearList(pvarNames);
    ClearList(pvarKeys);
    std::vector<std::u16string> names;
    std::vector<std::int32_t> keys;
    m_poiSearch.AllUserNamesAndKeys(&names, &keys);
    *pnCount = static_cast<SHORT>(names.size());
    HRESULT hr = gpslib::ReturnStringList(pvarNames, names);
    return FAILED(hr) ? hr : gpslib::ReturnLongList(pvarKeys, keys);
}

HRESULT CGPSCore::POIGetUserNextFreeKey(LONG* plKey) {
    CriticalSectionLock lock(m_csCore);
    if (plKey == nullptr) return E_POINTER;
    *plKey = m_poiSearch.UserNextFreeKey();
    return S_OK;
}

HRESULT CGPSCore::POIAddTag(SHORT nSubCategory, BSTR bstrTag) {
    CriticalSectionLock lock(m_csCore);
    m_poiSearch.AddTag(nSubCategory, gpslib::View(bstrTag));
    return S_OK;
}

HRESULT CGPSCore::POIGetTags(SHORT nSubCategory, VARIANT* pvarTags) {
    CriticalSectionLock lock(m_csCore);
    if (FAILED(ClearList(pvarTags))) return E_POINTER;
    return gpslib::ReturnStringList(pvarTags, m_poiSearch.Tags(nSubCategory));
}

HRESULT CGPSCore::POIGetMediaFile(IPOIObject* pPOI, BSTR bstrMediaFileName, BSTR bstrNewFilePath,
                                  VARIANT_BOOL* pbExtracted) {
    CriticalSectionLock lock(m_csCore);
    if (pPOI == nullptr || pbExtracted == nullptr) return E_POINTER;
    *pbExtracted = gpslib::VariantBool(m_poiSearch.ExtractMediaFile(gpscore::ReadPOIObject(pPOI),
                                                                    gpslib::View(bstrMediaFileName),
                                                                    gpslib::View(bstrNewFilePath)));
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
