// C++ conveniences over the object runtime: owning wrappers, text conversion and the two list
// conventions of the automation surface (returning a list, reading a client's list).
#ifndef GPSLIB_SUPPORT_H_
#define GPSLIB_SUPPORT_H_

#include <gpslib/automation.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace gpslib {

// ---------------------------------------------------------------------------------------------
// GUID text.
GPSLIB_API bool ParseGuid(std::string_view text, GUID* out); // With or without braces.
GPSLIB_API std::string GuidToString(const GUID& guid);       // "{XXXXXXXX-...}", upper case.

// ---------------------------------------------------------------------------------------------
// Text. BSTRs are UTF-16; the rest of the program speaks UTF-8.
GPSLIB_API std::string ToUtf8(BSTR text);
GPSLIB_API std::string ToUtf8(std::u16string_view text);
GPSLIB_API std::u16string ToUtf16(std::string_view utf8);
GPSLIB_API BSTR AllocBstr(std::string_view utf8);    // Null only when out of memory.
GPSLIB_API BSTR AllocBstr(std::u16string_view text); // Null only when out of memory.
inline std::u16string_view View(BSTR text) {
    return {text == nullptr ? u"" : text, SysStringLen(text)};
}
// A string answered through an out parameter; E_OUTOFMEMORY when it could not be made.
inline HRESULT ReturnString(BSTR* out, std::u16string_view text) {
    *out = AllocBstr(text);
    return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}
inline HRESULT ReturnString(BSTR* out, std::string_view utf8) {
    *out = AllocBstr(utf8);
    return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}

// The automation's true (-1) or false (0).
constexpr VARIANT_BOOL VariantBool(bool value) {
    return value ? VARIANT_TRUE : VARIANT_FALSE;
}

// ---------------------------------------------------------------------------------------------
// An owned reference to an object; releases it on destruction.
template <class T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(T* p) : p_(p) { // NOLINT(google-explicit-constructor): adopts an added reference.
        if (p_ != nullptr) p_->AddRef();
    }
    ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ~ComPtr() { Reset(); }
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    void Reset() {
        if (p_ != nullptr) std::exchange(p_, nullptr)->Release();
    }
    // Takes over a reference the caller already owns (no AddRef).
    static ComPtr Adopt(T* p) {
        ComPtr r;
        r.p_ = p;
        return r;
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T** Put() { // For out-parameters: releases the current object first.
        Reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    T* Detach() { return std::exchange(p_, nullptr); }

private:
    T* p_ = nullptr;
};

// An owned automation string.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::string_view utf8) : b_(AllocBstr(utf8)) {}
    explicit Bstr(std::u16string_view text) : b_(AllocBstr(text)) {}
    Bstr(const Bstr& o) : b_(o.b_ == nullptr ? nullptr : SysAllocStringLen(o.b_, o.Length())) {}
    Bstr(Bstr&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}
    ~Bstr() { SysFreeString(b_); }
    Bstr& operator=(Bstr o) noexcept {
        std::swap(b_, o.b_);
        return *this;
    }
    static Bstr Adopt(BSTR b) {
        Bstr r;
        r.b_ = b;
        return r;
    }
    BSTR Get() const { return b_; }
    BSTR* Put() {
        SysFreeString(std::exchange(b_, nullptr));
        return &b_;
    }
    BSTR Detach() { return std::exchange(b_, nullptr); }
    UINT Length() const { return SysStringLen(b_); }
    std::string Utf8() const { return ToUtf8(b_); }
    std::u16string_view View() const { return gpslib::View(b_); }

private:
    BSTR b_ = nullptr;
};

// A variant that clears itself.
class Variant : public VARIANT {
public:
    Variant() { VariantInit(this); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(this); }
};

// ---------------------------------------------------------------------------------------------
// Lists cross the boundary as a VARIANT of type VT_ARRAY|VT_VARIANT (0x200C) holding a
// one-dimensional safe array with lower bound 0.

// Returning a list: clears *list, then fills it with one element per entry. Objects are queried
// for `iid` and the array holds one reference to each. E_POINTER for a null list.
GPSLIB_API HRESULT ReturnStringList(VARIANT* list, const std::vector<std::u16string>& items);
GPSLIB_API HRESULT ReturnLongList(VARIANT* list, const std::vector<LONG>& items);
GPSLIB_API HRESULT ReturnDoubleList(VARIANT* list, const std::vector<DOUBLE>& items);
GPSLIB_API HRESULT ReturnObjectList(VARIANT* list, const std::vector<IUnknown*>& items, REFIID iid);

// Reading a client's list. The variant's type must carry the array bit (0x2000) and one of the
// bits 0x4 or 0x8; the bounds must be readable; every element, read as a variant, must be of the
// expected type, else the list is refused (E_INVALIDARG, nothing appended). For objects and
// integers a lower bound of -1 is refused. Objects and integers beyond `capacity` are dropped
// without error; strings are appended without limit. Accepted or not, the client's array is
// destroyed and the variant left empty (an array the client still has locked stays with it).
// The list may also come by reference: VT_BYREF|VT_VARIANT to the list's variant, or VT_BYREF
// with the array bit; any other reference is refused untouched. E_POINTER for a null list.
GPSLIB_API HRESULT ReadStringList(VARIANT* list, std::vector<std::u16string>* out);
GPSLIB_API HRESULT ReadLongList(VARIANT* list, std::size_t capacity, std::vector<LONG>* out);
// Appends counted references to `iid` (the caller releases them).
GPSLIB_API HRESULT ReadObjectList(VARIANT* list, REFIID iid, std::size_t capacity,
                                  std::vector<IUnknown*>* out);

// ---------------------------------------------------------------------------------------------
// Creating objects inside the system: the six steps every creation follows. Releases what
// *target holds, creates the class as IUnknown with the full server context mask, runs it,
// queries it for `iid` into *target. On failure *target is null and the failing status returns.
GPSLIB_API HRESULT CreateObject(REFCLSID clsid, REFIID iid, void** target);

template <class T> HRESULT CreateObject(REFCLSID clsid, REFIID iid, ComPtr<T>* target) {
    return CreateObject(clsid, iid, target->PutVoid());
}

} // namespace gpslib

#endif // GPSLIB_SUPPORT_H_
