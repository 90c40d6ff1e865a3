// The map engine object's points of interest: the POI file of every loaded map and the stand-alone
// files that map loading offers (user.pdb among them), searched ring by ring.
#include <fstream>

#include "GPSMap.h"
#include "PoiSearchCom.h"

HRESULT CGPSMap::SetPOIMemoryAllocatedRME(SHORT nKilobytes) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (nKilobytes >= 1) m_pois.SetCacheKilobytes(nKilobytes);
    return S_OK;
}

HRESULT CGPSMap::SetNumberMaxCommercialPOIFiles(SHORT nMaxFiles) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (nMaxFiles >= 1) m_pois.SetMaxFiles(nMaxFiles);
    return S_OK;
}

HRESULT CGPSMap::FindPOIs(ILocationObject* pLocation, IPOISearchConfigurationObject* pConfiguration,
                          LONG nPOIFileIndex, IPOIResults* pCandidates, DOUBLE* pdSearchDistanceKm,
                          VARIANT_BOOL* pbFound) {
    auto lock = Lock();
    return gpsdb::FindPOIs(&m_pois, pLocation, pConfiguration, nPOIFileIndex, pCandidates,
                           pdSearchDistanceKm, pbFound);
}

HRESULT CGPSMap::AddPOIFile(BSTR bstrPOIFile, VARIANT* pvarCategoryNumbers,
                            VARIANT_BOOL bIsPOIFile) {
    std::vector<LONG> numbers;
    if (pvarCategoryNumbers != nullptr &&
        FAILED(gpslib::ReadLongList(pvarCategoryNumbers, 1000, &numbers)))
        numbers.clear();
    std::lock_guard<std::mutex> lock(m_lock);
    const std::string path = gpslib::ToUtf8(bstrPOIFile);
    const bool added =
        m_pois.AddFile(path, std::vector<int>(numbers.begin(), numbers.end()), bIsPOIFile != 0);
    Log("AddPOIFile: " + path + (added ? " added" : " not added"));
    return added ? S_OK : S_FALSE;
}

HRESULT CGPSMap::ClearPOIFiles() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_pois.ClearFiles();
    return S_OK;
}

HRESULT CGPSMap::GetNumberOfCommercialPOIFilesLoaded(SHORT* pnCount) {
    return Count(pnCount, [&] { return m_pois.CommercialFileCount(); });
}

HRESULT CGPSMap::GetLoadedPOICategories(VARIANT* pvarCategoryNumbers, SHORT* pnCount) {
    if (pvarCategoryNumbers == nullptr || pnCount == nullptr) return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    const std::vector<int> categories = m_pois.Categories();
    *pnCount = static_cast<SHORT>(categories.size());
    VariantClear(pvarCategoryNumbers);
    return gpslib::ReturnLongList(pvarCategoryNumbers,
                                  std::vector<LONG>(categories.begin(), categories.end()));
}

void CGPSMap::LoadMapPOIFiles() {
    m_pois.ClearMapFiles();
    for (const std::string& map : m_engine.MapPaths()) {
        std::string pdb = map.substr(0, map.size() - 4) + ".pdb";
        std::string error;
        if (!std::ifstream(pdb).good()) continue;
        if (!m_pois.AddMapFile(pdb, &error)) Log("Initalize: POI file refused: " + error);
    }
}
