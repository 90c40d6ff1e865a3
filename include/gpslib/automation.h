// gpslib object runtime: the automation types and calls a client of the service uses.
//
// Interfaces are abstract classes whose virtual slots follow the type library's slot order
// after the three IUnknown and four IDispatch slots. Strings are length-prefixed UTF-16 BSTRs,
// lists are VARIANTs holding a one-dimensional SAFEARRAY of VARIANT, statuses are HRESULTs.
// Objects are created by class identifier through the registry store (see CoCreateInstance).
#ifndef GPSLIB_AUTOMATION_H_
#define GPSLIB_AUTOMATION_H_

#include <cstddef>
#include <cstdint>

#define GPSLIB_API __attribute__((visibility("default")))
#define STDMETHODCALLTYPE

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using LONG = std::int32_t;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using INT = int;
using UINT = unsigned int;
using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using BYTE = std::uint8_t;
using BOOL = int;
using DOUBLE = double;
using LCID = DWORD;
using DISPID = LONG;
using MEMBERID = DISPID;
using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;
using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using BSTR = OLECHAR*;

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// ---------------------------------------------------------------------------------------------
// Status codes.
#define GPSLIB_HR(x) static_cast<HRESULT>(static_cast<std::uint32_t>(x))
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = GPSLIB_HR(0x80004001);
constexpr HRESULT E_NOINTERFACE = GPSLIB_HR(0x80004002);
constexpr HRESULT E_POINTER = GPSLIB_HR(0x80004003);
constexpr HRESULT E_ABORT = GPSLIB_HR(0x80004004);
constexpr HRESULT E_FAIL = GPSLIB_HR(0x80004005);
constexpr HRESULT E_UNEXPECTED = GPSLIB_HR(0x8000FFFF);
constexpr HRESULT E_ACCESSDENIED = GPSLIB_HR(0x80070005);
constexpr HRESULT E_OUTOFMEMORY = GPSLIB_HR(0x8007000E);
constexpr HRESULT E_INVALIDARG = GPSLIB_HR(0x80070057);
constexpr HRESULT CLASS_E_NOAGGREGATION = GPSLIB_HR(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = GPSLIB_HR(0x80040111);
constexpr HRESULT REGDB_E_READREGDB = GPSLIB_HR(0x80040150);
constexpr HRESULT REGDB_E_WRITEREGDB = GPSLIB_HR(0x80040151);
constexpr HRESULT REGDB_E_KEYMISSING = GPSLIB_HR(0x80040152);
constexpr HRESULT REGDB_E_INVALIDVALUE = GPSLIB_HR(0x80040153);
constexpr HRESULT REGDB_E_CLASSNOTREG = GPSLIB_HR(0x80040154);
constexpr HRESULT CO_E_CLASSSTRING = GPSLIB_HR(0x800401F3);
constexpr HRESULT CO_E_DLLNOTFOUND = GPSLIB_HR(0x800401F8);
constexpr HRESULT CO_E_ERRORINDLL = GPSLIB_HR(0x800401F9);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = GPSLIB_HR(0x80020001);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = GPSLIB_HR(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = GPSLIB_HR(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = GPSLIB_HR(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = GPSLIB_HR(0x80020006);
constexpr HRESULT DISP_E_NONAMEDARGS = GPSLIB_HR(0x80020007);
constexpr HRESULT DISP_E_BADVARTYPE = GPSLIB_HR(0x80020008);
constexpr HRESULT DISP_E_EXCEPTION = GPSLIB_HR(0x80020009);
constexpr HRESULT DISP_E_OVERFLOW = GPSLIB_HR(0x8002000A);
constexpr HRESULT DISP_E_BADINDEX = GPSLIB_HR(0x8002000B);
constexpr HRESULT DISP_E_BADPARAMCOUNT = GPSLIB_HR(0x8002000E);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = GPSLIB_HR(0x8002000F);
constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = GPSLIB_HR(0x8002802B);
constexpr HRESULT DISP_E_ARRAYISLOCKED = GPSLIB_HR(0x8002000D);

constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}

// ---------------------------------------------------------------------------------------------
// GUIDs.
struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline bool IsEqualGUID(REFGUID a, REFGUID b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}
inline bool operator==(REFGUID a, REFGUID b) {
    return IsEqualGUID(a, b);
}
inline bool IsEqualIID(REFIID a, REFIID b) {
    return IsEqualGUID(a, b);
}
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) {
    return IsEqualGUID(a, b);
}

constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
constexpr IID IID_NULL = GUID_NULL;
constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Class context flags for CoCreateInstance; every server of this runtime is in-process.
enum CLSCTX : DWORD {
    CLSCTX_INPROC_SERVER = 0x1,
    CLSCTX_INPROC_HANDLER = 0x2,
    CLSCTX_LOCAL_SERVER = 0x4,
    CLSCTX_REMOTE_SERVER = 0x10,
    CLSCTX_SERVER = 0x15,
    CLSCTX_ALL = 0x17,
};

// ---------------------------------------------------------------------------------------------
// Base interfaces.
struct ITypeInfo; // Not provided: GetTypeInfo answers E_NOTIMPL; names resolve via GetIDsOfNames.

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default; // Objects die through Release, never through delete on an interface.
};

enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_INT = 22,
    VT_UINT = 23,
    VT_RECORD = 36,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_TYPEMASK = 0x0FFF,
};

struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};

struct SAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1]; // cDims entries, the rightmost dimension first.
};

struct IDispatch;
struct IRecordInfo; // Records are not supported; the pointer only keeps the variant's layout.

// A 96-bit scaled integer. Its first word overlays VARIANT::vt, so a VT_DECIMAL variant keeps its
// tag there.
struct DECIMAL {
    USHORT wReserved;
    union {
        struct {
            BYTE scale;
            BYTE sign;
        };
        USHORT signscale;
    };
    ULONG Hi32;
    union {
        struct {
            ULONG Lo32;
            ULONG Mid32;
        };
        std::uint64_t Lo64;
    };
};

// The layout every late-bound client assumes: the tag, three reserved words, then a value wide
// enough for a record (two pointers); a DECIMAL overlays the whole variant. Clients that define
// the structure themselves (ctypes, other headers) read the arguments at these offsets.
struct VARIANT {
    union {
        struct {
            VARTYPE vt;
            WORD wReserved1;
            WORD wReserved2;
            WORD wReserved3;
            union {
                LONG lVal;
                SHORT iVal;
                BYTE bVal;
                float fltVal;
                DOUBLE dblVal;
                VARIANT_BOOL boolVal;
                HRESULT scode;
                BSTR bstrVal;
                IUnknown* punkVal;
                IDispatch* pdispVal;
                SAFEARRAY* parray;
                LONG* plVal;
                SHORT* piVal;
                DOUBLE* pdblVal;
                VARIANT_BOOL* pboolVal;
                BSTR* pbstrVal;
                IUnknown** ppunkVal;
                IDispatch** ppdispVal;
                SAFEARRAY** pparray;
                VARIANT* pvarVal;
                DECIMAL* pdecVal;
                void* byref;
                struct {
                    void* pvRecord;
                    IRecordInfo* pRecInfo;
                };
            };
        };
        DECIMAL decVal;
    };
};
using VARIANTARG = VARIANT;

struct DISPPARAMS {
    VARIANTARG* rgvarg; // Arguments in reverse order: the last argument comes first.
    DISPID* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
};

struct EXCEPINFO {
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    void* pvReserved;
    HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
    HRESULT scode;
};

// Late-bound clients built against other headers depend on these offsets.
static_assert(sizeof(DECIMAL) == 16 && offsetof(DECIMAL, Lo64) == 8);
static_assert(sizeof(VARIANT) == 8 + 2 * sizeof(void*), "the value holds a record pair");
static_assert(offsetof(VARIANT, vt) == 0 && offsetof(VARIANT, decVal) == 0);
static_assert(offsetof(VARIANT, lVal) == 8 && offsetof(VARIANT, dblVal) == 8);
static_assert(offsetof(VARIANT, pvRecord) == 8 && offsetof(VARIANT, pRecInfo) == 8 + sizeof(void*));
static_assert(sizeof(void*) != 8 || (sizeof(VARIANT) == 24 && sizeof(DISPPARAMS) == 24 &&
                                     sizeof(EXCEPINFO) == 64 && offsetof(EXCEPINFO, scode) == 56));

constexpr WORD DISPATCH_METHOD = 0x1;
constexpr WORD DISPATCH_PROPERTYGET = 0x2;
constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;
constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_VALUE = 0;
constexpr DISPID DISPID_PROPERTYPUT = -3;

struct IDispatch : IUnknown {
    virtual HRESULT GetTypeInfoCount(UINT* pctinfo) = 0;
    virtual HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
    virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                  DISPID* rgDispId) = 0;
    virtual HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                           DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                           UINT* puArgErr) = 0;

protected:
    ~IDispatch() = default;
};

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
    virtual HRESULT LockServer(BOOL fLock) = 0;

protected:
    ~IClassFactory() = default;
};

extern "C" {

// ---------------------------------------------------------------------------------------------
// Strings. A BSTR points at UTF-16 text preceded by its byte length (32 bits) and followed by a
// terminating NUL; it may contain embedded NULs. A null BSTR is a valid empty string.
GPSLIB_API BSTR SysAllocString(const OLECHAR* psz);
GPSLIB_API BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch);
GPSLIB_API BSTR SysAllocStringByteLen(const char* psz, UINT len);
GPSLIB_API INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
GPSLIB_API INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len);
GPSLIB_API void SysFreeString(BSTR bstr);
GPSLIB_API UINT SysStringLen(BSTR bstr);
GPSLIB_API UINT SysStringByteLen(BSTR bstr);

// ---------------------------------------------------------------------------------------------
// Variants.
GPSLIB_API void VariantInit(VARIANTARG* pvarg);
GPSLIB_API HRESULT VariantClear(VARIANTARG* pvarg);
GPSLIB_API HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);
GPSLIB_API HRESULT VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc);
GPSLIB_API HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc,
                                     USHORT wFlags, VARTYPE vt);

// ---------------------------------------------------------------------------------------------
// Safe arrays. Supported element types: VT_I2, VT_I4, VT_R8, VT_BOOL, VT_BSTR, VT_DISPATCH,
// VT_UNKNOWN, VT_VARIANT, VT_UI1. Every bound must keep its indices within LONG. A pointer that
// is not a live array made by these calls (another allocator's, or one already destroyed) is
// refused with E_INVALIDARG (0 from the Get* counts) without being read.
GPSLIB_API SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound);
GPSLIB_API SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);
GPSLIB_API HRESULT SafeArrayDestroy(SAFEARRAY* psa);
GPSLIB_API UINT SafeArrayGetDim(SAFEARRAY* psa);
GPSLIB_API UINT SafeArrayGetElemsize(SAFEARRAY* psa);
GPSLIB_API HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound);
GPSLIB_API HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound);
GPSLIB_API HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
GPSLIB_API HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
GPSLIB_API HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
GPSLIB_API HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);
GPSLIB_API HRESULT SafeArrayLock(SAFEARRAY* psa);
GPSLIB_API HRESULT SafeArrayUnlock(SAFEARRAY* psa);
GPSLIB_API HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt);
GPSLIB_API HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut);

// ---------------------------------------------------------------------------------------------
// GUID text form: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
GPSLIB_API int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
GPSLIB_API HRESULT CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid);
GPSLIB_API HRESULT IIDFromString(LPCOLESTR lpsz, IID* lpiid);

// ---------------------------------------------------------------------------------------------
// Activation. The registry store is the .reg file named by GPSLIB_REGISTRY, or else
// ${XDG_CONFIG_HOME:-~/.config}/gpslib/registry.reg. A class is found under
// HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32; its module is loaded once and asked through
// DllGetClassObject. Initialisation calls exist for client code written against the usual
// sequence; they do nothing.
GPSLIB_API HRESULT CoInitialize(void* pvReserved);
GPSLIB_API HRESULT CoInitializeEx(void* pvReserved, DWORD dwCoInit);
GPSLIB_API void CoUninitialize();
GPSLIB_API HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext,
                                    REFIID riid, void** ppv);
GPSLIB_API HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void* pvReserved,
                                    REFIID riid, void** ppv);
// Process-local class objects: a class registered here is found before the registry store, for
// this process only, until revoked. REGCLS_MULTIPLEUSE is the only supported flag.
constexpr DWORD REGCLS_SINGLEUSE = 0;
constexpr DWORD REGCLS_MULTIPLEUSE = 1;
GPSLIB_API HRESULT CoRegisterClassObject(REFCLSID rclsid, IUnknown* pUnk, DWORD dwClsContext,
                                         DWORD flags, DWORD* lpdwRegister);
GPSLIB_API HRESULT CoRevokeClassObject(DWORD dwRegister);
GPSLIB_API HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid);
GPSLIB_API HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID);
// The interface id a registered module gave an interface name ("IGPSPedestrian"), for late-bound
// clients that reach an interface beside a class's default one; E_NOINTERFACE when no
// registered library names it, E_INVALIDARG for a null or empty argument.
GPSLIB_API HRESULT IIDFromInterfaceName(LPCOLESTR lpszName, IID* lpiid);
GPSLIB_API HRESULT OleRun(IUnknown* pUnknown);
GPSLIB_API void CoFreeUnusedLibraries();
GPSLIB_API void* CoTaskMemAlloc(std::size_t cb);
GPSLIB_API void CoTaskMemFree(void* pv);

} // extern "C"

// Signatures of the four entry points every module exports.
using PFN_DllGetClassObject = HRESULT (*)(REFCLSID, REFIID, void**);
using PFN_DllCanUnloadNow = HRESULT (*)();
using PFN_DllRegisterServer = HRESULT (*)();
using PFN_DllUnregisterServer = HRESULT (*)();

#endif // GPSLIB_AUTOMATION_H_
