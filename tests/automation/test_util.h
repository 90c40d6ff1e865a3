// Helpers of the object runtime tests: a countable object and a private registry store.
#pragma once

#include <gpslib/support.h>

#include <dlfcn.h>
#include <stdlib.h>

#include <atomic>
#include <string>

#include "tests/support/temp_dir.h"

namespace gpslib::test {

// An interface only TestObject knows, asked for as "the element class's interface".
constexpr IID IID_ITestItem = {
    0x5B0F2C11, 0x7E3A, 0x4C2D, {0x9A, 0x61, 0x3D, 0x2E, 0x8F, 0x10, 0x44, 0xB7}};

// Lives on the stack and is never deleted by Release, so a test sees every reference the runtime
// takes and gives back: a count above 1 at the end is a leaked reference, 0 a double release.
class TestObject final : public IDispatch {
public:
    enum Kind { kItem, kDispatchOnly, kUnknownOnly };
    explicit TestObject(Kind kind = kItem) : m_kind(kind) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        bool ok = riid == IID_IUnknown || (riid == IID_IDispatch && m_kind != kUnknownOnly) ||
                  (riid == IID_ITestItem && m_kind == kItem);
        *ppv = ok ? this : nullptr;
        if (ok) AddRef();
        return ok ? S_OK : E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override { return --m_refs; }
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    ULONG refs() const { return m_refs; }

private:
    Kind m_kind;
    std::atomic<ULONG> m_refs{1}; // The test's own reference.
};

inline void SetText(VARIANT* v, std::u16string_view text) {
    v->vt = VT_BSTR;
    v->bstrVal = AllocBstr(text);
}
inline void SetLong(VARIANT* v, LONG n) {
    v->vt = VT_I4;
    v->lVal = n;
}
inline void SetObject(VARIANT* v, IDispatch* object) {
    v->vt = VT_DISPATCH;
    if ((v->pdispVal = object) != nullptr) object->AddRef();
}

// Calls an entry point of the service module (DllRegisterServer, DllUnregisterServer), as the
// registration tool does. The module stays loaded, as the runtime keeps every module it loads.
inline HRESULT CallCore(const char* entry) {
    void* module = dlopen(GPSLIB_CORE_MODULE, RTLD_NOW | RTLD_LOCAL);
    auto fn = module ? reinterpret_cast<PFN_DllRegisterServer>(dlsym(module, entry)) : nullptr;
    return fn == nullptr ? E_FAIL : fn();
}

// Points GPSLIB_REGISTRY at a file in a new temporary directory while it lives. A new store also
// drops the runtime's cached class factories, so each test starts from its own registrations.
class ScopedRegistry {
public:
    ScopedRegistry() { Use(path()); }
    ~ScopedRegistry() { ::unsetenv("GPSLIB_REGISTRY"); }
    static void Use(const std::string& path) { ::setenv("GPSLIB_REGISTRY", path.c_str(), 1); }
    std::string path() const { return m_dir.File("registry.reg"); }
    std::string File(std::string_view name) const { return m_dir.File(name); }

private:
    TempDir m_dir;
};

} // namespace gpslib::test
