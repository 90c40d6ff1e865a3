#include "poi/POIObject.h"

GPSLIB_CLASS_FACTORY(POIObject, CPOIObject)

HRESULT CPOIObject::GetCategory(IPOICategoryObject** ppCategory) {
    if (ppCategory == nullptr) return E_POINTER;
    gpslib::ComPtr<IPOICategoryObject> category;
    HRESULT hr = gpslib::CreateObject(CLSID_POICategoryObject, IID_IPOICategoryObject, &category);
    if (FAILED(hr)) {
        *ppCategory = nullptr;
        return hr;
    }
    category->SetCategoryNumber(m_nCategoryNumber);
    *ppCategory = category.Detach();
    return S_OK;
}

HRESULT CPOIObject::SetCategory(IPOICategoryObject* pCategory) {
    if (pCategory == nullptr) return E_POINTER;
    SHORT number = 0;
    HRESULT hr = pCategory->GetCategoryNumber(&number);
    if (FAILED(hr)) return hr;
    m_nCategoryNumber = number;
    return S_OK;
}

HRESULT CPOIObject::GetSubCategory(IPOISubCategoryObject** ppSubCategory) {
    if (ppSubCategory == nullptr) return E_POINTER;
    gpslib::ComPtr<IPOISubCategoryObject> subCategory;
    HRESULT hr =
        gpslib::CreateObject(CLSID_POISubCategoryObject, IID_IPOISubCategoryObject, &subCategory);
    if (FAILED(hr)) {
        *ppSubCategory = nullptr;
        return hr;
    }
    subCategory->SetSubCategoryNumber(m_nSubCategoryNumber);
    subCategory->SetMainCategoryNumber(m_nCategoryNumber);
    *ppSubCategory = subCategory.Detach();
    return S_OK;
}

// A subcategory belongs to one main category, so both numbers are taken: handing back what
// GetSubCategory gave changes nothing.
HRESULT CPOIObject::SetSubCategory(IPOISubCategoryObject* pSubCategory) {
    if (pSubCategory == nullptr) return E_POINTER;
    SHORT subNumber = 0;
    SHORT mainNumber = 0;
    HRESULT hr = pSubCategory->GetSubCategoryNumber(&subNumber);
    if (SUCCEEDED(hr)) hr = pSubCategory->GetMainCategoryNumber(&mainNumber);
    if (FAILED(hr)) return hr;
    m_nSubCategoryNumber = subNumber;
    m_nCategoryNumber = mainNumber;
    return S_OK;
}

HRESULT CPOIObject::HasMediaFile(VARIANT_BOOL* pbHasMediaFile) {
    if (pbHasMediaFile == nullptr) return E_POINTER;
    *pbHasMediaFile = m_bstrMediaFile.Length() > 0 ? 1 : 0;
    return S_OK;
}
