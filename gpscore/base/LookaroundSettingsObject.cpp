#include "base/LookaroundSettingsObject.h"

#include "base/SettingsRecords.h"

CLookaroundSettingsObject::CLookaroundSettingsObject() {
    gpslib::CreateObject(CLSID_POICategoryObject, IID_IPOICategoryObject, &m_pCategoryToScanFor);
    gpslib::CreateObject(CLSID_POISubCategoryObject, IID_IPOISubCategoryObject,
                         &m_pSubCategoryToScanFor);
}

HRESULT CLookaroundSettingsObject::GetCommercialCategoryToScanFor(IPOICategoryObject** ppCategory) {
    if (ppCategory == nullptr) return E_POINTER;
    *ppCategory = nullptr;
    if (!m_pCategoryToScanFor) return E_FAIL;
    *ppCategory = gpslib::ComPtr<IPOICategoryObject>(m_pCategoryToScanFor).Detach();
    return S_OK;
}

HRESULT CLookaroundSettingsObject::SetCommercialCategoryToScanFor(IPOICategoryObject* pCategory) {
    if (pCategory == nullptr) return E_POINTER;
    if (!m_pCategoryToScanFor) return E_FAIL;
    SHORT number = 0;
    HRESULT hr = pCategory->GetCategoryNumber(&number);
    if (FAILED(hr)) return hr;
    return m_pCategoryToScanFor->SetCategoryNumber(number);
}

HRESULT CLookaroundSettingsObject::GetCommercialSubCategoryToScanFor(
    IPOISubCategoryObject** ppSubCategory) {
    if (ppSubCategory == nullptr) return E_POINTER;
    *ppSubCategory = nullptr;
    if (!m_pSubCategoryToScanFor) return E_FAIL;
    *ppSubCategory = gpslib::ComPtr<IPOISubCategoryObject>(m_pSubCategoryToScanFor).Detach();
    return S_OK;
}

// Both numbers are read before either is stored, so a failing source changes nothing.
HRESULT
CLookaroundSettingsObject::SetCommercialSubCategoryToScanFor(IPOISubCategoryObject* pSubCategory) {
    if (pSubCategory == nullptr) return E_POINTER;
    if (!m_pSubCategoryToScanFor) return E_FAIL;
    SHORT subCategory = 0, mainCategory = 0;
    HRESULT hr = pSubCategory->GetSubCategoryNumber(&subCategory);
    if (SUCCEEDED(hr)) hr = pSubCategory->GetMainCategoryNumber(&mainCategory);
    if (FAILED(hr)) return hr;
    hr = m_pSubCategoryToScanFor->SetSubCategoryNumber(subCategory);
    if (SUCCEEDED(hr)) hr = m_pSubCategoryToScanFor->SetMainCategoryNumber(mainCategory);
    return hr;
}

HRESULT CLookaroundSettingsObject::SetIntersectionMaxSpeedForReporting(SHORT nMaxSpeed) {
    m_nIntersectionMaxSpeedForReporting = gpscore::settings::Lookaround::MaxSpeedRule(nMaxSpeed);
    return S_OK;
}

HRESULT CLookaroundSettingsObject::SetLookaroundReportingInterval(SHORT nPolls) {
    m_nLookaroundReportingInterval = gpscore::settings::Lookaround::IntervalRule(nPolls);
    return S_OK;
}

GPSLIB_CLASS_FACTORY(LookaroundSettingsObject, CLookaroundSettingsObject)
