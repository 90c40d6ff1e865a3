// Safe arrays: bounded, typed arrays whose elements the array owns (strings are freed, objects
// released and variants cleared when the array is destroyed).
#include <gpslib/automation.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>

namespace {

constexpr USHORT FADF_HAVEVARTYPE = 0x0080;
constexpr USHORT FADF_BSTR = 0x0100;
constexpr USHORT FADF_UNKNOWN = 0x0200;
constexpr USHORT FADF_DISPATCH = 0x0400;
constexpr USHORT FADF_VARIANT = 0x0800;
constexpr std::uint32_t kMagic =
    0x53414652; // Marks arrays made here; foreign pointers are refused.

// The element type sits in front of the public structure, as the automation ABI has it.
struct Header {
    std::uint32_t magic;
    VARTYPE vt;
};

constexpr std::size_t HeaderSize() {
    return (sizeof(Header) + 15) & ~std::size_t{15};
}

Header* HeaderOf(SAFEARRAY* psa) {
    return reinterpret_cast<Header*>(reinterpret_cast<char*>(psa) - HeaderSize());
}

// The arrays made here and not yet destroyed. A pointer is looked up before anything is read
// through it, so that an array from elsewhere (or one already destroyed) is refused without
// touching the memory around it. Never destroyed: arrays may outlive static destruction.
struct LiveArrays {
    std::mutex mu;
    std::unordered_set<const SAFEARRAY*> arrays;
};

LiveArrays& Live() {
    static LiveArrays* live = new LiveArrays;
    return *live;
}

bool Valid(SAFEARRAY* psa) {
    if (psa == nullptr) return false;
    LiveArrays& live = Live();
    std::lock_guard<std::mutex> lock(live.mu);
    return live.arrays.count(psa) != 0 && HeaderOf(psa)->magic == kMagic;
}

ULONG ElementSize(VARTYPE vt) {
    switch (vt) {
    case VT_UI1:
    case VT_I1:
        return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
        return 4;
    case VT_R8:
        return 8;
    case VT_BSTR:
        return sizeof(BSTR);
    case VT_DISPATCH:
    case VT_UNKNOWN:
        return sizeof(void*);
    case VT_VARIANT:
        return sizeof(VARIANT);
    default:
        return 0;
    }
}

USHORT FeatureOf(VARTYPE vt) {
    switch (vt) {
    case VT_BSTR:
        return FADF_BSTR;
    case VT_UNKNOWN:
        return FADF_UNKNOWN;
    case VT_DISPATCH:
        return FADF_DISPATCH;
    case VT_VARIANT:
        return FADF_VARIANT;
    default:
        return 0;
    }
}

std::size_t TotalElements(const SAFEARRAY* psa) {
    std::size_t n = 1;
    for (USHORT d = 0; d < psa->cDims; ++d)
        n *= psa->rgsabound[d].cElements;
    return n;
}

void ClearElement(VARTYPE vt, void* p) {
    switch (vt) {
    case VT_BSTR: {
        BSTR* b = static_cast<BSTR*>(p);
        SysFreeString(*b);
        *b = nullptr;
        break;
    }
    case VT_DISPATCH:
    case VT_UNKNOWN: {
        IUnknown** u = static_cast<IUnknown**>(p);
        if (*u != nullptr) (*u)->Release();
        *u = nullptr;
        break;
    }
    case VT_VARIANT:
        VariantClear(static_cast<VARIANT*>(p));
        break;
    default:
        break;
    }
}

// Copies one element from src to dst (both of the array's element type); dst holds no value.
HRESULT CopyElement(VARTYPE vt, void* dst, const void* src, ULONG size) {
    switch (vt) {
    case VT_BSTR: {
        BSTR s = *static_cast<const BSTR*>(src);
        BSTR copy = nullptr;
        if (s != nullptr) {
            copy = SysAllocStringLen(s, SysStringLen(s));
            if (copy == nullptr) return E_OUTOFMEMORY;
        }
        *static_cast<BSTR*>(dst) = copy;
        return S_OK;
    }
    case VT_DISPATCH:
    case VT_UNKNOWN: {
        IUnknown* u = *static_cast<IUnknown* const*>(src);
        if (u != nullptr) u->AddRef();
        *static_cast<IUnknown**>(dst) = u;
        return S_OK;
    }
    case VT_VARIANT:
        VariantInit(static_cast<VARIANT*>(dst));
        return VariantCopy(static_cast<VARIANT*>(dst), static_cast<const VARIANT*>(src));
    default:
        std::memcpy(dst, src, size);
        return S_OK;
    }
}

// Index order follows the automation ABI: rgIndices[0] and rgsabound[0] describe the rightmost
// (fastest varying) dimension.
HRESULT ElementPointer(SAFEARRAY* psa, const LONG* rgIndices, void** pp) {
    std::size_t offset = 0;
    std::size_t stride = 1;
    for (USHORT d = 0; d < psa->cDims; ++d) {
        const SAFEARRAYBOUND& b = psa->rgsabound[d];
        long long rel = static_cast<long long>(rgIndices[d]) - b.lLbound;
        if (rel < 0 || rel >= static_cast<long long>(b.cElements)) return DISP_E_BADINDEX;
        offset += static_cast<std::size_t>(rel) * stride;
        stride *= b.cElements;
    }
    *pp = static_cast<char*>(psa->pvData) + offset * psa->cbElements;
    return S_OK;
}

} // namespace

extern "C" {

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
    ULONG size = ElementSize(vt);
    if (size == 0 || cDims == 0 || cDims > 64 || rgsabound == nullptr) return nullptr;
    std::size_t total = 1;
    for (UINT d = 0; d < cDims; ++d) {
        total *= rgsabound[d].cElements;
        if (total > (std::size_t{1} << 31) / size) return nullptr;
        // Every index, the upper bound included, must be a LONG.
        long long upper = static_cast<long long>(rgsabound[d].lLbound) + rgsabound[d].cElements - 1;
        if (upper > INT32_MAX || upper < INT32_MIN) return nullptr;
    }
    std::size_t structSize = sizeof(SAFEARRAY) + (cDims - 1) * sizeof(SAFEARRAYBOUND);
    char* block = static_cast<char*>(std::calloc(1, HeaderSize() + structSize));
    if (block == nullptr) return nullptr;
    auto* header = reinterpret_cast<Header*>(block);
    header->magic = kMagic;
    header->vt = vt;
    auto* psa = reinterpret_cast<SAFEARRAY*>(block + HeaderSize());
    psa->cDims = static_cast<USHORT>(cDims);
    psa->fFeatures = FADF_HAVEVARTYPE | FeatureOf(vt);
    psa->cbElements = size;
    for (UINT d = 0; d < cDims; ++d)
        psa->rgsabound[d] = rgsabound[cDims - 1 - d];
    // Zeroed storage is a valid empty value for every element type (null string, null object,
    // VT_EMPTY variant).
    psa->pvData = std::calloc(total == 0 ? 1 : total, size);
    if (psa->pvData == nullptr) {
        std::free(block);
        return nullptr;
    }
    try {
        LiveArrays& live = Live();
        std::lock_guard<std::mutex> lock(live.mu);
        live.arrays.insert(psa);
    } catch (const std::bad_alloc&) {
        std::free(psa->pvData);
        std::free(block);
        return nullptr;
    }
    return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
    SAFEARRAYBOUND bound{cElements, lLbound};
    return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
    if (psa == nullptr) return S_OK;
    if (!Valid(psa)) return E_INVALIDARG;
    if (psa->cLocks != 0) return DISP_E_ARRAYISLOCKED;
    VARTYPE vt = HeaderOf(psa)->vt;
    std::size_t n = TotalElements(psa);
    for (std::size_t i = 0; i < n; ++i)
        ClearElement(vt, static_cast<char*>(psa->pvData) + i * psa->cbElements);
    std::free(psa->pvData);
    HeaderOf(psa)->magic = 0;
    {
        LiveArrays& live = Live();
        std::lock_guard<std::mutex> lock(live.mu);
        live.arrays.erase(psa);
    }
    std::free(HeaderOf(psa));
    return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* psa) {
    return Valid(psa) ? psa->cDims : 0;
}

UINT SafeArrayGetElemsize(SAFEARRAY* psa) {
    return Valid(psa) ? psa->cbElements : 0;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
    if (plLbound == nullptr) return E_POINTER;
    if (!Valid(psa)) return E_INVALIDARG;
    if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
    *plLbound = psa->rgsabound[psa->cDims - nDim].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
    if (plUbound == nullptr) return E_POINTER;
    if (!Valid(psa)) return E_INVALIDARG;
    if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
    const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - nDim];
    *plUbound = static_cast<LONG>(static_cast<long long>(b.lLbound) + b.cElements - 1);
    return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    if (rgIndices == nullptr || pv == nullptr) return E_INVALIDARG;
    if (!Valid(psa)) return E_INVALIDARG;
    void* p = nullptr;
    HRESULT hr = ElementPointer(psa, rgIndices, &p);
    if (FAILED(hr)) return hr;
    return CopyElement(HeaderOf(psa)->vt, pv, p, psa->cbElements);
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    if (rgIndices == nullptr) return E_INVALIDARG;
    if (!Valid(psa)) return E_INVALIDARG;
    VARTYPE vt = HeaderOf(psa)->vt;
    void* p = nullptr;
    HRESULT hr = ElementPointer(psa, rgIndices, &p);
    if (FAILED(hr)) return hr;
    // Strings and objects are passed by value (the BSTR or interface pointer itself); everything
    // else by address.
    alignas(VARIANT) unsigned char fresh[sizeof(VARIANT)];
    if (vt == VT_BSTR) {
        BSTR s = static_cast<BSTR>(pv);
        hr = CopyElement(vt, fresh, &s, psa->cbElements);
    } else if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
        IUnknown* u = static_cast<IUnknown*>(pv);
        hr = CopyElement(vt, fresh, &u, psa->cbElements);
    } else {
        if (pv == nullptr) return E_INVALIDARG;
        hr = CopyElement(vt, fresh, pv, psa->cbElements);
    }
    if (FAILED(hr)) return hr;
    ClearElement(vt, p);
    std::memcpy(p, fresh, psa->cbElements);
    return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* psa) {
    if (!Valid(psa)) return E_INVALIDARG;
    if (psa->cLocks == 0xFFFF) return E_UNEXPECTED;
    ++psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa) {
    if (!Valid(psa)) return E_INVALIDARG;
    if (psa->cLocks == 0) return E_UNEXPECTED;
    --psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
    if (ppvData == nullptr) return E_INVALIDARG;
    HRESULT hr = SafeArrayLock(psa);
    if (FAILED(hr)) return hr;
    *ppvData = psa->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) {
    return SafeArrayUnlock(psa);
}

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
    if (pvt == nullptr) return E_INVALIDARG;
    if (!Valid(psa)) return E_INVALIDARG;
    *pvt = HeaderOf(psa)->vt;
    return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
    if (ppsaOut == nullptr) return E_INVALIDARG;
    *ppsaOut = nullptr;
    if (psa == nullptr) return S_OK;
    if (!Valid(psa)) return E_INVALIDARG;
    VARTYPE vt = HeaderOf(psa)->vt;
    SAFEARRAYBOUND bounds[64];
    for (USHORT d = 0; d < psa->cDims; ++d)
        bounds[d] = psa->rgsabound[psa->cDims - 1 - d];
    SAFEARRAY* copy = SafeArrayCreate(vt, psa->cDims, bounds);
    if (copy == nullptr) return E_OUTOFMEMORY;
    std::size_t n = TotalElements(psa);
    for (std::size_t i = 0; i < n; ++i) {
        HRESULT hr =
            CopyElement(vt, static_cast<char*>(copy->pvData) + i * psa->cbElements,
                        static_cast<char*>(psa->pvData) + i * psa->cbElements, psa->cbElements);
        if (FAILED(hr)) {
            SafeArrayDestroy(copy);
            return hr;
        }
    }
    *ppsaOut = copy;
    return S_OK;
}

} // extern "C"
