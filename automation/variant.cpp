// Variants: the tagged values of late-bound calls, and the coercions Invoke needs between them.
#include <gpslib/automation.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool IsByRef(VARTYPE vt) {
    return (vt & VT_BYREF) != 0;
}

HRESULT CopyBstr(BSTR src, BSTR* dst) {
    *dst = nullptr;
    if (src == nullptr) return S_OK;
    *dst = SysAllocStringLen(src, SysStringLen(src));
    return *dst == nullptr ? E_OUTOFMEMORY : S_OK;
}

// Reads the value a by-reference variant points at into a by-value variant (a shallow view:
// strings and objects are not copied).
bool Deref(const VARIANT* src, VARIANT* out) {
    VariantInit(out);
    VARTYPE base = src->vt & ~VT_BYREF;
    if (src->byref == nullptr) return false;
    if (base & VT_ARRAY) {
        out->vt = base;
        out->parray = *src->pparray;
        return true;
    }
    switch (base) {
    case VT_I2:
        out->iVal = *src->piVal;
        break;
    case VT_I4:
        out->lVal = *src->plVal;
        break;
    case VT_R8:
        out->dblVal = *src->pdblVal;
        break;
    case VT_BOOL:
        out->boolVal = *src->pboolVal;
        break;
    case VT_BSTR:
        out->bstrVal = *src->pbstrVal;
        break;
    case VT_DISPATCH:
        out->pdispVal = *src->ppdispVal;
        break;
    case VT_UNKNOWN:
        out->punkVal = *src->ppunkVal;
        break;
    case VT_UI1:
        out->bVal = *static_cast<BYTE*>(src->byref);
        break;
    case VT_R4:
        out->fltVal = *static_cast<float*>(src->byref);
        break;
    case VT_ERROR:
        out->scode = *static_cast<HRESULT*>(src->byref);
        break;
    case VT_DECIMAL:
        out->decVal = *src->pdecVal;
        break; // Overwrites the tag; set again below.
    case VT_VARIANT:
        *out = *src->pvarVal;
        return !IsByRef(out->vt);
    default:
        return false;
    }
    out->vt = base;
    return true;
}

// Numeric value of a by-value variant, for the numeric and boolean targets.
HRESULT ToDouble(const VARIANT& v, double* d) {
    switch (v.vt) {
    case VT_EMPTY:
        *d = 0;
        return S_OK;
    case VT_I2:
        *d = v.iVal;
        return S_OK;
    case VT_I4:
        *d = v.lVal;
        return S_OK;
    case VT_UI1:
        *d = v.bVal;
        return S_OK;
    case VT_R4:
        *d = v.fltVal;
        return S_OK;
    case VT_R8:
        *d = v.dblVal;
        return S_OK;
    case VT_BOOL:
        *d = v.boolVal != 0 ? -1 : 0;
        return S_OK;
    case VT_BSTR: {
        std::string text;
        for (UINT i = 0, n = SysStringLen(v.bstrVal); i < n; ++i) {
            char16_t c = v.bstrVal[i];
            if (c > 0x7F) return DISP_E_TYPEMISMATCH;
            text.push_back(static_cast<char>(c));
        }
        std::size_t b = text.find_first_not_of(" \t");
        std::size_t e = text.find_last_not_of(" \t");
        if (b == std::string::npos) return DISP_E_TYPEMISMATCH;
        text = text.substr(b, e - b + 1);
        if (strcasecmp(text.c_str(), "true") == 0) return *d = -1, S_OK;
        if (strcasecmp(text.c_str(), "false") == 0) return *d = 0, S_OK;
        // Only plain decimal numbers: no hex, no inf/nan spellings.
        for (char c : text)
            if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.' ||
                  c == 'e' || c == 'E'))
                return DISP_E_TYPEMISMATCH;
        char* end = nullptr;
        double value = std::strtod(text.c_str(), &end);
        if (end != text.c_str() + text.size()) return DISP_E_TYPEMISMATCH;
        // ERANGE also reports underflow ("1e-400"), whose value (zero or denormal) is fine;
        // only an infinite result is an overflow.
        if (!std::isfinite(value)) return DISP_E_OVERFLOW;
        *d = value;
        return S_OK;
    }
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

HRESULT ToText(const VARIANT& v, BSTR* out) {
    char buf[64] = {};
    switch (v.vt) {
    case VT_EMPTY:
        buf[0] = 0;
        break;
    case VT_I2:
        std::snprintf(buf, sizeof buf, "%d", v.iVal);
        break;
    case VT_I4:
        std::snprintf(buf, sizeof buf, "%d", v.lVal);
        break;
    case VT_UI1:
        std::snprintf(buf, sizeof buf, "%u", v.bVal);
        break;
    case VT_R4:
        std::snprintf(buf, sizeof buf, "%.7g", static_cast<double>(v.fltVal));
        break;
    case VT_R8:
        std::snprintf(buf, sizeof buf, "%.15g", v.dblVal);
        break;
    case VT_BOOL:
        std::snprintf(buf, sizeof buf, "%s", v.boolVal != 0 ? "True" : "False");
        break;
    case VT_BSTR:
        return CopyBstr(v.bstrVal, out);
    default:
        return DISP_E_TYPEMISMATCH;
    }
    OLECHAR wide[64];
    std::size_t n = std::strlen(buf);
    for (std::size_t i = 0; i <= n; ++i)
        wide[i] = static_cast<OLECHAR>(buf[i]);
    *out = SysAllocStringLen(wide, static_cast<UINT>(n));
    return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT ToObject(const VARIANT& v, VARTYPE target, IUnknown** out) {
    *out = nullptr;
    if (v.vt != VT_DISPATCH && v.vt != VT_UNKNOWN) return DISP_E_TYPEMISMATCH;
    IUnknown* unk = v.punkVal;
    if (unk == nullptr) return S_OK; // A null object stays null in either form.
    if (target == VT_UNKNOWN) {
        return unk->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(out));
    }
    HRESULT hr = unk->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(out));
    return FAILED(hr) ? DISP_E_TYPEMISMATCH : hr;
}

// Coerces a by-value source into a fresh by-value result.
HRESULT Coerce(const VARIANT& src, VARTYPE vt, VARIANT* res) {
    VariantInit(res);
    if (src.vt == vt) return VariantCopy(res, &src);
    if (src.vt == VT_NULL && vt != VT_EMPTY) return DISP_E_TYPEMISMATCH;
    if ((src.vt | vt) & VT_ARRAY) return DISP_E_TYPEMISMATCH;
    HRESULT hr = S_OK;
    double d = 0;
    switch (vt) {
    case VT_EMPTY:
        return S_OK;
    case VT_NULL:
        res->vt = VT_NULL;
        return S_OK;
    case VT_BOOL:
        if (FAILED(hr = ToDouble(src, &d))) return hr;
        res->boolVal = d != 0 ? VARIANT_TRUE : VARIANT_FALSE;
        break;
    case VT_R8:
        if (FAILED(hr = ToDouble(src, &d))) return hr;
        res->dblVal = d;
        break;
    case VT_R4:
        if (FAILED(hr = ToDouble(src, &d))) return hr;
        if (std::fabs(d) > 3.402823466e38) return DISP_E_OVERFLOW;
        res->fltVal = static_cast<float>(d);
        break;
    case VT_I2:
    case VT_I4:
    case VT_UI1: {
        if (FAILED(hr = ToDouble(src, &d))) return hr;
        double r = std::nearbyint(d); // Halves round to even, as automation coercion does.
        double lo = vt == VT_I2 ? -32768.0 : vt == VT_I4 ? -2147483648.0 : 0.0;
        double hi = vt == VT_I2 ? 32767.0 : vt == VT_I4 ? 2147483647.0 : 255.0;
        if (!(r >= lo && r <= hi)) return DISP_E_OVERFLOW;
        if (vt == VT_I2)
            res->iVal = static_cast<SHORT>(r);
        else if (vt == VT_I4)
            res->lVal = static_cast<LONG>(r);
        else
            res->bVal = static_cast<BYTE>(r);
        break;
    }
    case VT_BSTR:
        if (FAILED(hr = ToText(src, &res->bstrVal))) return hr;
        break;
    case VT_DISPATCH:
    case VT_UNKNOWN:
        if (FAILED(hr = ToObject(src, vt, &res->punkVal))) return hr;
        break;
    // Decimals and records are carried, never computed with: no conversion reaches them.
    case VT_DECIMAL:
    case VT_RECORD:
        return DISP_E_TYPEMISMATCH;
    default:
        return DISP_E_BADVARTYPE;
    }
    res->vt = vt;
    return S_OK;
}

} // namespace

extern "C" {

void VariantInit(VARIANTARG* pvarg) {
    if (pvarg == nullptr) return;
    std::memset(pvarg, 0, sizeof(VARIANT));
    pvarg->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANTARG* pvarg) {
    if (pvarg == nullptr) return E_INVALIDARG;
    VARTYPE vt = pvarg->vt;
    if (!IsByRef(vt)) {
        if (vt & VT_ARRAY) {
            HRESULT hr = SafeArrayDestroy(pvarg->parray);
            if (FAILED(hr)) return hr;
        } else {
            switch (vt) {
            case VT_BSTR:
                SysFreeString(pvarg->bstrVal);
                break;
            case VT_DISPATCH:
            case VT_UNKNOWN:
                if (pvarg->punkVal != nullptr) pvarg->punkVal->Release();
                break;
            // A record's owner frees it: IRecordInfo is opaque here.
            default:
                break;
            }
        }
    }
    VariantInit(pvarg);
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
    if (pvargDest == nullptr || pvargSrc == nullptr) return E_INVALIDARG;
    if (pvargDest == pvargSrc) return S_OK;
    VARIANT tmp;
    VariantInit(&tmp);
    tmp = *pvargSrc;
    VARTYPE vt = pvargSrc->vt;
    // A record is copied only by its own IRecordInfo, which this runtime does not call.
    if (vt == VT_RECORD) return DISP_E_BADVARTYPE;
    HRESULT hr = S_OK;
    if (!IsByRef(vt)) {
        if (vt & VT_ARRAY) {
            hr = SafeArrayCopy(pvargSrc->parray, &tmp.parray);
        } else if (vt == VT_BSTR) {
            hr = CopyBstr(pvargSrc->bstrVal, &tmp.bstrVal);
        } else if ((vt == VT_DISPATCH || vt == VT_UNKNOWN) && tmp.punkVal != nullptr) {
            tmp.punkVal->AddRef();
        }
    }
    if (FAILED(hr)) return hr;
    hr = VariantClear(pvargDest);
    if (FAILED(hr)) {
        VariantClear(&tmp);
        return hr;
    }
    *pvargDest = tmp;
    return S_OK;
}

HRESULT VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc) {
    if (pvarDest == nullptr || pvargSrc == nullptr) return E_INVALIDARG;
    if (!IsByRef(pvargSrc->vt)) return VariantCopy(pvarDest, pvargSrc);
    VARIANT view;
    if (!Deref(pvargSrc, &view)) return DISP_E_BADVARTYPE;
    return VariantCopy(pvarDest, &view);
}

HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT /*wFlags*/,
                          VARTYPE vt) {
    if (pvargDest == nullptr || pvarSrc == nullptr) return E_INVALIDARG;
    if (IsByRef(vt)) return DISP_E_BADVARTYPE;
    VARIANT view = *pvarSrc;
    if (IsByRef(pvarSrc->vt) && !Deref(pvarSrc, &view)) return DISP_E_BADVARTYPE;
    VARIANT result;
    HRESULT hr = vt == VT_VARIANT ? VariantCopy((VariantInit(&result), &result), &view)
                                  : Coerce(view, vt, &result);
    if (FAILED(hr)) return hr;
    // The source may be the destination itself, so it is cleared only after the result exists.
    hr = VariantClear(pvargDest);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    *pvargDest = result;
    return S_OK;
}

} // extern "C"
