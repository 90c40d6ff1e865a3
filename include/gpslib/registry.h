// The registry store: a file in the Windows .reg text format that holds class registrations,
// type-library entries, serial-port aliases and Bluetooth pairing records.
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32]
//   @="/usr/lib/gpslib/libgpscore.so"
//   "ThreadingModel"="Free"
//   "Count"=dword:0000000a
//
// Keys and value names compare without regard to ASCII case. The store is found through
// GPSLIB_REGISTRY, or else ${XDG_CONFIG_HOME:-~/.config}/gpslib/registry.reg. Every change is
// written atomically (temporary file, then rename) under an exclusive file lock.
#ifndef GPSLIB_REGISTRY_H_
#define GPSLIB_REGISTRY_H_

#include <gpslib/automation.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace gpslib {

struct RegistryValue {
    enum class Type { String, Dword, Binary };
    Type type = Type::String;
    std::string text;                // String
    std::uint32_t dword = 0;         // Dword
    std::vector<std::uint8_t> bytes; // Binary ("hex:" values)
};

// An in-memory copy of a store file. Not thread-safe; the free functions below serialise
// access to the real file.
class GPSLIB_API RegistryStore {
public:
    RegistryStore();
    ~RegistryStore();
    RegistryStore(RegistryStore&&) noexcept;
    RegistryStore& operator=(RegistryStore&&) noexcept;
    // A deep copy (copies are explicit: a whole store is not cheap to copy).
    RegistryStore Clone() const;

    // Parses .reg text. On a malformed line, returns false and leaves a message naming the line
    // number in *error; the store is then unchanged. Deletions ("[-KEY]", "name"=-) apply to the
    // current contents, so Parse also merges an import file.
    bool Parse(std::string_view text, std::string* error);
    std::string Serialize() const;

    void CreateKey(std::string_view key);
    bool KeyExists(std::string_view key) const;
    void SetString(std::string_view key, std::string_view name, std::string_view value);
    void SetDword(std::string_view key, std::string_view name, std::uint32_t value);
    void SetValue(std::string_view key, std::string_view name, const RegistryValue& value);
    // Name "" is the key's default value ("@" in the file).
    const RegistryValue* GetValue(std::string_view key, std::string_view name) const;
    bool GetString(std::string_view key, std::string_view name, std::string* value) const;
    bool GetDword(std::string_view key, std::string_view name, std::uint32_t* value) const;
    // The value names of a key, and the names of its direct subkeys, in file order.
    std::vector<std::string> ValueNames(std::string_view key) const;
    std::vector<std::string> SubKeys(std::string_view key) const;
    bool DeleteValue(std::string_view key, std::string_view name);
    // Removes the key and everything beneath it.
    bool DeleteTree(std::string_view key);
    bool Empty() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The path of the store this process uses.
GPSLIB_API std::string RegistryPath();

// Loads the store. A missing file is an empty store. Fails with REGDB_E_READREGDB (and the
// parser's message in *error) when the file is unreadable or malformed.
GPSLIB_API HRESULT LoadRegistry(RegistryStore* store, std::string* error = nullptr);

// Loads the store, lets `change` modify it and, when it returns success, writes it back
// atomically. Holds an exclusive lock on the store across the whole read-modify-write so that
// concurrent registrations do not lose each other's entries. A failed write leaves the old file.
GPSLIB_API HRESULT UpdateRegistry(const std::function<HRESULT(RegistryStore&)>& change,
                                  std::string* error = nullptr);

// Convenience reads from the current store.
GPSLIB_API bool RegistryGetString(std::string_view key, std::string_view name, std::string* value);

// ---------------------------------------------------------------------------------------------
// Module registration helpers, used by each module's entry points.

struct ClassEntry {
    const CLSID* clsid;
    const char* name; // Coclass name: "LocationObject".
    HRESULT (*create)(REFIID iid, void** ppv);
};

struct InterfaceEntry {
    const IID* iid;
    const char* name;
};

struct ModuleInfo {
    const char* progIdPrefix; // "GPS": ProgIDs are "GPS.<Class>.1" and "GPS.<Class>".
    const GUID* libid;
    const char* libName;
    const char* libHelp;
    unsigned short versionMajor;
    unsigned short versionMinor;
    const ClassEntry* classes;
    std::size_t classCount;
    const InterfaceEntry* interfaces;
    std::size_t interfaceCount;
};

// Writes every class's ProgID, version-independent ProgID, CLSID entries (InprocServer32 with
// ThreadingModel "Free", Programmable, TypeLib) and the type-library and interface entries.
GPSLIB_API HRESULT RegisterModule(const ModuleInfo& module, const std::string& modulePath);
// Removes every entry RegisterModule writes.
GPSLIB_API HRESULT UnregisterModule(const ModuleInfo& module);
// The class factory of one of the module's classes; CLASS_E_CLASSNOTAVAILABLE for others.
// `lockCount` counts the module's live objects and server locks for DllCanUnloadNow.
GPSLIB_API HRESULT GetModuleClassObject(const ModuleInfo& module, std::atomic<long>* lockCount,
                                        REFCLSID clsid, REFIID iid, void** ppv);
// Registers every class of a module linked into this process as a process-local class object
// (CoRegisterClassObject), so that creation by class id finds them without the registry store:
// how a program, or a test, uses classes it links directly. Appends the cookies to revoke.
GPSLIB_API HRESULT RegisterModuleInProcess(const ModuleInfo& module, std::atomic<long>* lockCount,
                                           std::vector<DWORD>* cookies);
// The file system path of the shared object that contains `address`.
GPSLIB_API std::string ModulePathOf(const void* address);

// Creates a T (reference count 1), queries it for riid and drops the creation reference.
template <class T> HRESULT CreateInstance(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    T* object = new (std::nothrow) T();
    if (object == nullptr) return E_OUTOFMEMORY;
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

// The module's own implementation object behind `object`, or null when `object` is not one of
// this module's objects of class T (T::kImplIid is answered only by them). No reference is
// added: the result lives as long as the caller's reference to `object`.
template <class T> T* ImplOf(IUnknown* object) {
    if (object == nullptr) return nullptr;
    void* impl = nullptr;
    if (FAILED(object->QueryInterface(T::kImplIid, &impl)) || impl == nullptr) return nullptr;
    object->Release();
    return static_cast<T*>(static_cast<typename T::Base*>(impl));
}

namespace module {
// Live objects and server locks of the module this code is linked into. Every module defines
// its own (symbols are module-private), through GPSLIB_MODULE_ENTRY_POINTS.
extern std::atomic<long> g_lockCount;
} // namespace module

} // namespace gpslib

// Defines Create_<Coclass>, the creation function a module's class table names, over Class.
#define GPSLIB_CLASS_FACTORY(Coclass, Class)                                                       \
    HRESULT Create_##Coclass(REFIID riid, void** ppv) {                                            \
        return gpslib::CreateInstance<Class>(riid, ppv);                                           \
    }

// Defines the four exported entry points of a module over its ModuleInfo.
#define GPSLIB_MODULE_ENTRY_POINTS(info)                                                           \
    std::atomic<long> gpslib::module::g_lockCount{0};                                              \
    extern "C" GPSLIB_API HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** ppv) {      \
        return gpslib::GetModuleClassObject(info, &gpslib::module::g_lockCount, clsid, iid, ppv);  \
    }                                                                                              \
    extern "C" GPSLIB_API HRESULT DllCanUnloadNow() {                                              \
        return gpslib::module::g_lockCount.load() == 0 ? S_OK : S_FALSE;                           \
    }                                                                                              \
    extern "C" GPSLIB_API HRESULT DllRegisterServer() {                                            \
        return gpslib::RegisterModule(                                                             \
            info, gpslib::ModulePathOf(reinterpret_cast<const void*>(&DllRegisterServer)));        \
    }                                                                                              \
    extern "C" GPSLIB_API HRESULT DllUnregisterServer() {                                          \
        return gpslib::UnregisterModule(info);                                                     \
    }

#endif // GPSLIB_REGISTRY_H_
