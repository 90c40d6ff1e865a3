// A countable object for the ownership tests of the object runtime. It lives on the stack and
// is never deleted by Release, so a test can see every reference the runtime takes and gives
// back: a count above 1 when the test ends is a leaked reference, a count of 0 a double release.
#pragma once

#include <gpslib/automation.h>

#include <atomic>

namespace gpslib::test {

// An interface id only TestObject knows; lists and dispatch tests ask for it as "the element
// class's interface".
constexpr IID IID_ITestItem = {0x5B0F2C11, 0x7E3A, 0x4C2D, {0x9A, 0x61, 0x3D, 0x2E, 0x8F, 0x10, 0x44, 0xB7}};

class TestObject final : public IDispatch {
public:
    enum Kind { kItem, kDispatchOnly, kUnknownOnly };
    explicit TestObject(Kind kind = kItem) : m_kind(kind) {}
    ~TestObject() = default;

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        bool ok = riid == IID_IUnknown || (riid == IID_IDispatch && m_kind != kUnknownOnly) ||
                  (riid == IID_ITestItem && m_kind == kItem);
        *ppv = ok ? this : nullptr;
        if (!ok) return E_NOINTERFACE;
        AddRef();
        return S_OK;
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

} // namespace gpslib::test
