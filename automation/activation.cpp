// Activation: finding a class in the registry store, loading its module once and asking the
// module's class factory for an object. Also the registry file access and module registration.
#include <gpslib/registry.h>
#include <gpslib/support.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "automation/registry_env.h"
#include "os/env.h"
#include "os/path.h"

namespace gpslib {

namespace {

struct GuidHash {
    std::size_t operator()(const GUID& g) const {
        std::uint64_t tail;
        std::memcpy(&tail, g.Data4, sizeof tail);
        return std::hash<std::uint64_t>()((std::uint64_t{g.Data1} << 32 | g.Data2 << 16 | g.Data3) ^
                                          tail);
    }
};

// Class factories already obtained, by class id. A module, once loaded, stays loaded for the
// life of the process; the factories of one registry file are dropped when this process changes
// the file or switches to another file (GPSLIB_REGISTRY changed). Changes that another process
// makes to an already cached class are seen after a restart.
struct ActivationCache {
    std::recursive_mutex mu;
    std::string registryPath;
    std::unordered_map<GUID, ComPtr<IClassFactory>, GuidHash> factories;
    std::unordered_map<std::string, void*> modules;
    // Class objects registered by this process (CoRegisterClassObject), by cookie.
    struct Registered {
        DWORD cookie;
        GUID clsid;
        ComPtr<IClassFactory> factory;
    };
    std::vector<Registered> registered; // Usually empty; searched newest first.
    DWORD nextCookie = 1;
};

ActivationCache& Cache() {
    static ActivationCache* cache = new ActivationCache; // Never destroyed: modules stay loaded.
    return *cache;
}

void Debug(const std::string& text) {
    os::Env::Default()->DebugOutput(text + "\n");
}

constexpr std::string_view kClsidRoot = "HKEY_CLASSES_ROOT\\CLSID\\";

std::shared_ptr<const RegistryStore> CurrentStore(std::string* error);

HRESULT LoadFactory(REFCLSID clsid, ComPtr<IClassFactory>* factory) {
    std::string error;
    std::shared_ptr<const RegistryStore> store = CurrentStore(&error);
    if (!store) {
        Debug("gpslib: registry store unreadable: " + error);
        return REGDB_E_CLASSNOTREG;
    }
    std::string modulePath;
    std::string key = std::string(kClsidRoot) + GuidToString(clsid) + "\\InprocServer32";
    if (!store->GetString(key, "", &modulePath) || modulePath.empty()) return REGDB_E_CLASSNOTREG;

    ActivationCache& cache = Cache();
    void*& handle = cache.modules[modulePath];
    if (handle == nullptr) {
        handle = dlopen(os::NativePath(modulePath).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* why = dlerror();
            Debug("gpslib: cannot load " + modulePath + ": " + (why ? why : "unknown error"));
            cache.modules.erase(modulePath);
            return CO_E_DLLNOTFOUND;
        }
    }
    auto getClassObject =
        reinterpret_cast<PFN_DllGetClassObject>(dlsym(handle, "DllGetClassObject"));
    if (getClassObject == nullptr) {
        Debug("gpslib: " + modulePath + " has no DllGetClassObject");
        return CO_E_ERRORINDLL;
    }
    HRESULT hr = getClassObject(clsid, IID_IClassFactory, factory->PutVoid());
    if (SUCCEEDED(hr) && !*factory) hr = E_UNEXPECTED;
    return hr;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Registry file.

namespace {
std::atomic<os::Env*> g_registryEnv{nullptr};

os::Env* RegistryEnv() {
    os::Env* env = g_registryEnv.load(std::memory_order_acquire);
    return env != nullptr ? env : os::Env::Default();
}
} // namespace

void SetRegistryEnvForTesting(os::Env* env) {
    g_registryEnv.store(env, std::memory_order_release);
}

std::string RegistryPath() {
    os::Env* env = RegistryEnv();
    std::string path = env->GetEnv("GPSLIB_REGISTRY").value_or("");
    if (!path.empty()) return path;
    std::string config = env->GetEnv("XDG_CONFIG_HOME").value_or("");
    if (config.empty()) config = env->GetEnv("HOME").value_or("") + "/.config";
    return config + "/gpslib/registry.reg";
}

namespace {

// The store as last parsed, with the identity of the file it came from: activations, ProgID
// look-ups and the readers of the service share it, and the file is parsed again only when its
// identity (device, file number, size, modification time) or its path or Env changes. A
// missing file is cached as an empty store under the all-zero identity.
struct ParsedStore {
    std::mutex mu;
    os::Env* env = nullptr;
    std::string path;
    os::FileIdentity identity;
    std::shared_ptr<const RegistryStore> store; // Null until the first successful read.
};

ParsedStore& Parsed() {
    static ParsedStore* parsed = new ParsedStore; // Never destroyed, like the activation cache.
    return *parsed;
}

// The current store, read and parsed only when the file changed since the last call. Null
// with *error set when the file is unreadable or malformed; a failure is not cached, so the
// next call tries again.
std::shared_ptr<const RegistryStore> CurrentStore(std::string* error) {
    os::Env* env = RegistryEnv();
    const std::string path = RegistryPath();
    os::FileIdentity before;
    const os::Status statted = env->GetFileIdentity(path, &before);
    const bool missing = statted.IsNotFound();
    ParsedStore& parsed = Parsed();
    if (statted.ok() || missing) {
        std::lock_guard<std::mutex> guard(parsed.mu);
        if (parsed.store && parsed.env == env && parsed.path == path && parsed.identity == before)
            return parsed.store;
    }
    std::string text;
    os::Status s = missing ? statted : env->ReadFile(path, &text);
    std::shared_ptr<const RegistryStore> store;
    std::string message;
    if (s.IsNotFound()) {
        store = std::make_shared<const RegistryStore>();
    } else if (!s.ok()) {
        message = s.ToString();
    } else {
        auto fresh = std::make_shared<RegistryStore>();
        if (fresh->Parse(text, &message))
            store = std::move(fresh);
        else
            message = path + ": " + message;
    }
    if (!store) {
        if (error != nullptr) *error = message;
        return nullptr;
    }
    // Kept only when the file stayed the same across the read: a store replaced meanwhile is
    // used for this call (it is whole, either version) and read again by the next one.
    os::FileIdentity after;
    const os::Status again = env->GetFileIdentity(path, &after);
    if ((statted.ok() || missing) && (again.ok() || again.IsNotFound()) && before == after) {
        std::lock_guard<std::mutex> guard(parsed.mu);
        parsed.env = env;
        parsed.path = path;
        parsed.identity = after;
        parsed.store = store;
    }
    return store;
}

} // namespace

HRESULT LoadRegistry(RegistryStore* store, std::string* error) {
    if (store == nullptr) return E_POINTER;
    std::shared_ptr<const RegistryStore> current = CurrentStore(error);
    if (!current) return REGDB_E_READREGDB;
    *store = current->Clone();
    return S_OK;
}

HRESULT UpdateRegistry(const std::function<HRESULT(RegistryStore&)>& change, std::string* error) {
    std::string path = RegistryPath();
    os::Env* env = RegistryEnv();
    std::string dir = os::DirName(path);
    // A first-time store: create its folder. A failure shows up as the write error below.
    if (!dir.empty() && !env->FileExists(dir)) (void)env->CreateDirs(dir);
    // One writer at a time, across threads and processes: an exclusive lock on a side file.
    std::lock_guard<std::recursive_mutex> guard(Cache().mu);
    // Closed (which releases the lock) however this function is left: `change` may throw, and
    // a lock left behind would block every later update, in this process and in others.
    struct LockFile {
        int fd;
        ~LockFile() {
            if (fd >= 0) ::close(fd);
        }
    } lock{::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)};
    if (lock.fd >= 0) ::flock(lock.fd, LOCK_EX);
    RegistryStore store;
    HRESULT hr = LoadRegistry(&store, error);
    if (SUCCEEDED(hr)) hr = change(store);
    if (SUCCEEDED(hr)) {
        os::Status s = env->WriteFileAtomic(path, store.Serialize());
        if (!s.ok()) {
            if (error != nullptr) *error = s.ToString();
            hr = REGDB_E_WRITEREGDB;
        }
    }
    Cache().factories.clear();
    return hr;
}

bool RegistryGetString(std::string_view key, std::string_view name, std::string* value) {
    std::shared_ptr<const RegistryStore> store = CurrentStore(nullptr);
    return store && store->GetString(key, name, value);
}

// ---------------------------------------------------------------------------------------------
// Module helpers.

namespace {

class ClassFactory final : public IClassFactory {
public:
    ClassFactory(const ClassEntry& entry, std::atomic<long>* lockCount)
        : entry_(entry), lockCount_(lockCount) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        return entry_.create(riid, ppv);
    }
    HRESULT LockServer(BOOL lock) override {
        if (lock)
            ++*lockCount_;
        else
            --*lockCount_;
        return S_OK;
    }

private:
    ~ClassFactory() = default;
    const ClassEntry& entry_;
    std::atomic<long>* lockCount_;
    std::atomic<ULONG> refs_{1};
};

std::string Version(const ModuleInfo& m) {
    return std::to_string(m.versionMajor) + "." + std::to_string(m.versionMinor);
}

// The automation marshaler's class id, which every dual interface names as its proxy.
constexpr std::string_view kDispatchProxy = "{00020424-0000-0000-C000-000000000046}";

} // namespace

HRESULT GetModuleClassObject(const ModuleInfo& module, std::atomic<long>* lockCount, REFCLSID clsid,
                             REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    for (std::size_t i = 0; i < module.classCount; ++i) {
        if (*module.classes[i].clsid == clsid) {
            auto factory = ComPtr<IClassFactory>::Adopt(
                new (std::nothrow) ClassFactory(module.classes[i], lockCount));
            if (!factory) return E_OUTOFMEMORY;
            return factory->QueryInterface(iid, ppv);
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT RegisterModule(const ModuleInfo& m, const std::string& modulePath) {
    if (modulePath.empty()) return E_FAIL;
    std::string libid = GuidToString(*m.libid);
    return UpdateRegistry([&](RegistryStore& store) {
        for (std::size_t i = 0; i < m.classCount; ++i) {
            const ClassEntry& c = m.classes[i];
            std::string clsid = GuidToString(*c.clsid);
            std::string description = std::string(c.name) + " Class";
            std::string progId = std::string(m.progIdPrefix) + "." + c.name;
            std::string versioned = progId + ".1";
            std::string hkcr = "HKEY_CLASSES_ROOT\\";
            store.SetString(hkcr + versioned, "", description);
            store.SetString(hkcr + versioned + "\\CLSID", "", clsid);
            store.SetString(hkcr + progId, "", description);
            store.SetString(hkcr + progId + "\\CLSID", "", clsid);
            store.SetString(hkcr + progId + "\\CurVer", "", versioned);
            std::string key = std::string(kClsidRoot) + clsid;
            store.SetString(key, "", description);
            store.SetString(key + "\\ProgID", "", versioned);
            store.SetString(key + "\\VersionIndependentProgID", "", progId);
            store.CreateKey(key + "\\Programmable");
            store.SetString(key + "\\InprocServer32", "", modulePath);
            store.SetString(key + "\\InprocServer32", "ThreadingModel", "Free");
            store.SetString(key + "\\TypeLib", "", libid);
        }
        std::string lib = "HKEY_CLASSES_ROOT\\TypeLib\\" + libid + "\\" + Version(m);
        store.SetString(lib, "", m.libHelp);
        store.SetString(lib + "\\0\\win32", "", modulePath);
        store.SetString(lib + "\\FLAGS", "", "0");
        store.SetString(lib + "\\HELPDIR", "", os::DirName(modulePath));
        for (std::size_t i = 0; i < m.interfaceCount; ++i) {
            std::string key = "HKEY_CLASSES_ROOT\\Interface\\" + GuidToString(*m.interfaces[i].iid);
            store.SetString(key, "", m.interfaces[i].name);
            store.SetString(key + "\\ProxyStubClsid32", "", kDispatchProxy);
            store.SetString(key + "\\TypeLib", "", libid);
            store.SetString(key + "\\TypeLib", "Version", Version(m));
        }
        return S_OK;
    });
}

HRESULT UnregisterModule(const ModuleInfo& m) {
    std::string libid = GuidToString(*m.libid);
    return UpdateRegistry([&](RegistryStore& store) {
        for (std::size_t i = 0; i < m.classCount; ++i) {
            const ClassEntry& c = m.classes[i];
            std::string progId = std::string("HKEY_CLASSES_ROOT\\") + m.progIdPrefix + "." + c.name;
            store.DeleteTree(progId + ".1");
            store.DeleteTree(progId);
            store.DeleteTree(std::string(kClsidRoot) + GuidToString(*c.clsid));
        }
        std::string lib = "HKEY_CLASSES_ROOT\\TypeLib\\" + libid;
        store.DeleteTree(lib + "\\" + Version(m));
        if (store.SubKeys(lib).empty()) store.DeleteTree(lib);
        for (std::size_t i = 0; i < m.interfaceCount; ++i)
            store.DeleteTree("HKEY_CLASSES_ROOT\\Interface\\" + GuidToString(*m.interfaces[i].iid));
        return S_OK;
    });
}

HRESULT RegisterModuleInProcess(const ModuleInfo& module, std::atomic<long>* lockCount,
                                std::vector<DWORD>* cookies) {
    if (cookies == nullptr) return E_POINTER;
    for (std::size_t i = 0; i < module.classCount; ++i) {
        ComPtr<IUnknown> factory;
        HRESULT hr = GetModuleClassObject(module, lockCount, *module.classes[i].clsid, IID_IUnknown,
                                          factory.PutVoid());
        DWORD cookie = 0;
        if (SUCCEEDED(hr))
            hr = CoRegisterClassObject(*module.classes[i].clsid, factory.Get(),
                                       CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
        if (FAILED(hr)) return hr;
        cookies->push_back(cookie);
    }
    return S_OK;
}

std::string ModulePathOf(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
    char resolved[PATH_MAX];
    if (realpath(info.dli_fname, resolved) == nullptr) return info.dli_fname;
    return resolved;
}

} // namespace gpslib

// ---------------------------------------------------------------------------------------------
// The activation calls.

using gpslib::ComPtr;

extern "C" {

HRESULT CoInitialize(void*) {
    return S_OK;
}
HRESULT CoInitializeEx(void*, DWORD) {
    return S_OK;
}
void CoUninitialize() {}
void CoFreeUnusedLibraries() {} // Modules stay loaded; see ActivationCache.

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void*, REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    // Every server here is in-process.
    if ((dwClsContext & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)) == 0)
        return REGDB_E_CLASSNOTREG;
    auto& cache = gpslib::Cache();
    ComPtr<IClassFactory> factory;
    {
        std::lock_guard<std::recursive_mutex> guard(cache.mu);
        std::string path = gpslib::RegistryPath();
        if (path != cache.registryPath) {
            cache.factories.clear();
            cache.registryPath = path;
        }
        // The most recent registration of this process wins over the store.
        for (auto reg = cache.registered.rbegin(); reg != cache.registered.rend(); ++reg) {
            if (reg->clsid == rclsid) {
                factory = reg->factory;
                break;
            }
        }
        auto it = cache.factories.find(rclsid);
        if (factory) {
            // Found among this process's own class objects.
        } else if (it != cache.factories.end()) {
            factory = it->second;
        } else {
            HRESULT hr = gpslib::LoadFactory(rclsid, &factory);
            if (FAILED(hr)) return hr;
            cache.factories.emplace(rclsid, factory);
        }
    }
    return factory->QueryInterface(riid, ppv);
}

HRESULT CoRegisterClassObject(REFCLSID rclsid, IUnknown* pUnk, DWORD, DWORD flags,
                              DWORD* lpdwRegister) {
    if (pUnk == nullptr || lpdwRegister == nullptr) return E_INVALIDARG;
    *lpdwRegister = 0;
    if (flags != REGCLS_MULTIPLEUSE) return E_INVALIDARG;
    ComPtr<IClassFactory> factory;
    HRESULT hr = pUnk->QueryInterface(IID_IClassFactory, factory.PutVoid());
    if (FAILED(hr)) return hr;
    auto& cache = gpslib::Cache();
    std::lock_guard<std::recursive_mutex> guard(cache.mu);
    DWORD cookie = cache.nextCookie++;
    cache.registered.push_back(gpslib::ActivationCache::Registered{cookie, rclsid, factory});
    *lpdwRegister = cookie;
    return S_OK;
}

HRESULT CoRevokeClassObject(DWORD dwRegister) {
    auto& cache = gpslib::Cache();
    std::lock_guard<std::recursive_mutex> guard(cache.mu);
    auto& list = cache.registered;
    auto it = std::find_if(list.begin(), list.end(),
                           [&](const auto& r) { return r.cookie == dwRegister; });
    if (it == list.end()) return E_INVALIDARG;
    list.erase(it);
    return S_OK;
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                         void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    ComPtr<IClassFactory> factory;
    HRESULT hr =
        CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory, factory.PutVoid());
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(pUnkOuter, riid, ppv);
    if (FAILED(hr)) *ppv = nullptr;
    return hr;
}

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid) {
    if (lpszProgID == nullptr || lpclsid == nullptr) return E_INVALIDARG;
    *lpclsid = GUID_NULL;
    std::u16string_view name(lpszProgID);
    std::string progId = gpslib::ToUtf8(name);
    if (progId.empty() || progId.find('\\') != std::string::npos) return CO_E_CLASSSTRING;
    std::string text;
    if (!gpslib::RegistryGetString("HKEY_CLASSES_ROOT\\" + progId + "\\CLSID", "", &text) ||
        !gpslib::ParseGuid(text, lpclsid)) {
        *lpclsid = GUID_NULL;
        return CO_E_CLASSSTRING;
    }
    return S_OK;
}

HRESULT IIDFromInterfaceName(LPCOLESTR lpszName, IID* lpiid) {
    if (lpszName == nullptr || lpiid == nullptr || *lpszName == 0) return E_INVALIDARG;
    *lpiid = GUID_NULL;
    const std::string wanted = gpslib::ToUtf8(std::u16string_view(lpszName));
    gpslib::RegistryStore store;
    if (FAILED(gpslib::LoadRegistry(&store))) return E_NOINTERFACE;
    const std::string root = "HKEY_CLASSES_ROOT\\Interface";
    for (const std::string& key : store.SubKeys(root)) {
        std::string path = root + "\\";
        path += key;
        std::string name;
        if (store.GetString(path, "", &name) && name == wanted && gpslib::ParseGuid(key, lpiid))
            return S_OK;
    }
    *lpiid = GUID_NULL;
    return E_NOINTERFACE;
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID) {
    if (lplpszProgID == nullptr) return E_INVALIDARG;
    *lplpszProgID = nullptr;
    std::string progId;
    if (!gpslib::RegistryGetString(std::string(gpslib::kClsidRoot) + gpslib::GuidToString(clsid) +
                                       "\\ProgID",
                                   "", &progId))
        return REGDB_E_CLASSNOTREG;
    std::u16string wide = gpslib::ToUtf16(progId);
    auto* out = static_cast<LPOLESTR>(CoTaskMemAlloc((wide.size() + 1) * sizeof(OLECHAR)));
    if (out == nullptr) return E_OUTOFMEMORY;
    std::copy(wide.begin(), wide.end(), out);
    out[wide.size()] = 0;
    *lplpszProgID = out;
    return S_OK;
}

HRESULT OleRun(IUnknown* pUnknown) {
    // In-process objects are running from creation on.
    return pUnknown == nullptr ? E_INVALIDARG : S_OK;
}

} // extern "C"
