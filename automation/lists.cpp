// The two list conventions of the automation surface, and the creation pattern every object of
// the system goes through.
#include <gpslib/support.h>

#include "os/codepage.h"

namespace gpslib {

std::string ToUtf8(std::u16string_view text) {
    return os::Utf16ToUtf8(text);
}
std::string ToUtf8(BSTR text) {
    return os::Utf16ToUtf8(View(text));
}
std::u16string ToUtf16(std::string_view utf8) {
    return os::Utf8ToUtf16(utf8);
}

BSTR AllocBstr(std::u16string_view text) {
    return SysAllocStringLen(text.data() == nullptr ? u"" : text.data(),
                             static_cast<UINT>(text.size()));
}
BSTR AllocBstr(std::string_view utf8) {
    return AllocBstr(std::u16string_view(ToUtf16(utf8)));
}

namespace {

constexpr VARTYPE kVariantList = VT_ARRAY | VT_VARIANT; // 0x200C

// Builds the array of `n` variants that fill(i, &element) produces and hands it to *list.
template <class Fill> HRESULT ReturnList(VARIANT* list, std::size_t n, Fill fill) {
    if (list == nullptr) return E_POINTER;
    HRESULT hr = VariantClear(list);
    if (FAILED(hr)) return hr;
    SAFEARRAY* psa = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(n));
    if (psa == nullptr) return E_OUTOFMEMORY;
    auto* elements = static_cast<VARIANT*>(psa->pvData);
    for (std::size_t i = 0; i < n; ++i) {
        hr = fill(i, &elements[i]);
        if (FAILED(hr)) {
            SafeArrayDestroy(psa);
            return hr;
        }
    }
    list->vt = kVariantList;
    list->parray = psa;
    return S_OK;
}

// Reads every element of the client's list as a variant and hands it to take(element), which
// returns false to refuse the list. The array is destroyed afterwards in every case.
template <class Take> HRESULT ReadList(VARIANT* list, bool refuseMinusOne, Take take) {
    if (list == nullptr) return E_POINTER;
    // A list passed as a reference to a variant is that variant.
    if (list->vt == (VT_BYREF | VT_VARIANT) && list->pvarVal != nullptr) list = list->pvarVal;
    HRESULT result = E_INVALIDARG;
    // Where the array pointer lives: in the variant, or behind an array reference. Any other
    // reference points at something that is not an array and must not be read as one.
    bool byRef = (list->vt & VT_BYREF) != 0;
    SAFEARRAY** slot = (list->vt & VT_ARRAY) == 0 ? nullptr : byRef ? list->pparray : &list->parray;
    SAFEARRAY* psa = slot != nullptr ? *slot : nullptr;
    VARTYPE vt = list->vt & VT_TYPEMASK;
    VARTYPE elementType = VT_EMPTY;
    LONG lb = 0, ub = -1;
    if ((vt & 0xC) != 0 && psa != nullptr && SafeArrayGetDim(psa) == 1 &&
        SUCCEEDED(SafeArrayGetLBound(psa, 1, &lb)) && SUCCEEDED(SafeArrayGetUBound(psa, 1, &ub)) &&
        SUCCEEDED(SafeArrayGetVartype(psa, &elementType)) && !(refuseMinusOne && lb == -1)) {
        result = S_OK;
        // A wide counter, so that an upper bound of LONG's maximum ends the loop.
        for (long long i = lb; i <= ub && result == S_OK; ++i) {
            Variant element;
            LONG index = static_cast<LONG>(i);
            HRESULT hr;
            if (elementType == VT_VARIANT) {
                hr = SafeArrayGetElement(psa, &index, static_cast<VARIANT*>(&element));
            } else {
                // An array of plain strings, objects or integers is read as variants of that type.
                hr = SafeArrayGetElement(psa, &index, &element.lVal);
                if (SUCCEEDED(hr)) element.vt = elementType;
            }
            if (FAILED(hr) || !take(static_cast<VARIANT&>(element))) result = E_INVALIDARG;
        }
    }
    // The list is consumed: the array goes whether accepted or not, and the variant is emptied so
    // that the client holds no dangling array. An array that cannot go (locked, or not made by
    // this runtime) stays with the client.
    if (slot != nullptr && SUCCEEDED(SafeArrayDestroy(*slot))) {
        *slot = nullptr;
        if (!byRef) VariantInit(list);
    }
    return result;
}

} // namespace

HRESULT ReturnStringList(VARIANT* list, const std::vector<std::u16string>& items) {
    return ReturnList(list, items.size(), [&](std::size_t i, VARIANT* v) {
        v->bstrVal = AllocBstr(std::u16string_view(items[i]));
        if (v->bstrVal == nullptr) return E_OUTOFMEMORY;
        v->vt = VT_BSTR;
        return S_OK;
    });
}

HRESULT ReturnLongList(VARIANT* list, const std::vector<LONG>& items) {
    return ReturnList(list, items.size(), [&](std::size_t i, VARIANT* v) {
        v->vt = VT_I4;
        v->lVal = items[i];
        return S_OK;
    });
}

HRESULT ReturnDoubleList(VARIANT* list, const std::vector<DOUBLE>& items) {
    return ReturnList(list, items.size(), [&](std::size_t i, VARIANT* v) {
        v->vt = VT_R8;
        v->dblVal = items[i];
        return S_OK;
    });
}

HRESULT ReturnObjectList(VARIANT* list, const std::vector<IUnknown*>& items, REFIID iid) {
    return ReturnList(list, items.size(), [&](std::size_t i, VARIANT* v) {
        if (items[i] == nullptr) return E_POINTER;
        HRESULT hr = items[i]->QueryInterface(iid, reinterpret_cast<void**>(&v->pdispVal));
        if (SUCCEEDED(hr)) v->vt = VT_DISPATCH;
        return hr;
    });
}

HRESULT ReadStringList(VARIANT* list, std::vector<std::u16string>* out) {
    if (out == nullptr) return E_POINTER;
    std::vector<std::u16string> read;
    HRESULT hr = ReadList(list, false, [&](const VARIANT& v) {
        if (v.vt != VT_BSTR) return false;
        read.emplace_back(View(v.bstrVal));
        return true;
    });
    if (SUCCEEDED(hr)) out->insert(out->end(), read.begin(), read.end());
    return hr;
}

HRESULT ReadLongList(VARIANT* list, std::size_t capacity, std::vector<LONG>* out) {
    if (out == nullptr) return E_POINTER;
    std::vector<LONG> read;
    HRESULT hr = ReadList(list, true, [&](const VARIANT& v) {
        if (v.vt != VT_I4) return false;
        if (out->size() + read.size() < capacity) read.push_back(v.lVal);
        return true;
    });
    if (SUCCEEDED(hr)) out->insert(out->end(), read.begin(), read.end());
    return hr;
}

HRESULT ReadObjectList(VARIANT* list, REFIID iid, std::size_t capacity,
                       std::vector<IUnknown*>* out) {
    if (out == nullptr) return E_POINTER;
    std::vector<ComPtr<IUnknown>> read;
    HRESULT hr = ReadList(list, true, [&](const VARIANT& v) {
        if (v.vt != VT_DISPATCH || v.pdispVal == nullptr) return false;
        ComPtr<IUnknown> object;
        if (FAILED(v.pdispVal->QueryInterface(iid, object.PutVoid()))) return false;
        if (out->size() + read.size() < capacity) read.push_back(std::move(object));
        return true;
    });
    if (SUCCEEDED(hr))
        for (auto& object : read)
            out->push_back(object.Detach());
    return hr;
}

HRESULT CreateObject(REFCLSID clsid, REFIID iid, void** target) {
    if (target == nullptr) return E_POINTER;
    if (*target != nullptr) static_cast<IUnknown*>(*target)->Release();
    *target = nullptr;
    ComPtr<IUnknown> unknown;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, unknown.PutVoid());
    if (FAILED(hr)) return hr;
    hr = OleRun(unknown.Get());
    if (FAILED(hr)) return hr;
    return unknown->QueryInterface(iid, target);
}

} // namespace gpslib
