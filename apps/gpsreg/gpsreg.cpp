// gpsreg: registers and unregisters modules in the registry store, and imports .reg files.
//
//   gpsreg MODULE...            call each module's DllRegisterServer
//   gpsreg -u MODULE...         call each module's DllUnregisterServer
//   gpsreg --import FILE.reg... merge .reg files into the store (deletions included)
//   gpsreg --print              print the store
#include <gpslib/registry.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: gpsreg MODULE...          register modules\n"
                 "       gpsreg -u MODULE...       unregister modules\n"
                 "       gpsreg --import FILE.reg  merge .reg files into the registry store\n"
                 "       gpsreg --print            print the registry store\n"
                 "The store is %s (set GPSLIB_REGISTRY to use another).\n",
                 gpslib::RegistryPath().c_str());
    return 2;
}

bool CallEntryPoint(const char* module, bool unregister) {
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    // Paths without a slash would be searched on the library path; make them relative to here.
    std::string path = std::strchr(module, '/') ? module : std::string("./") + module;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::fprintf(stderr, "gpsreg: cannot load %s: %s\n", module, dlerror());
        return false;
    }
    auto fn = reinterpret_cast<PFN_DllRegisterServer>(dlsym(handle, entry));
    if (fn == nullptr) {
        std::fprintf(stderr, "gpsreg: %s has no %s; it is not a gpslib module\n", module, entry);
        return false;
    }
    HRESULT hr = fn();
    if (FAILED(hr)) {
        std::fprintf(stderr, "gpsreg: %s of %s failed: 0x%08X\n", entry, module,
                     static_cast<unsigned>(hr));
        return false;
    }
    std::printf("%s %s\n", unregister ? "unregistered" : "registered", module);
    return true;
}

bool Import(const char* file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "gpsreg: cannot read %s\n", file);
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::string parseError;
    std::string error;
    HRESULT hr = gpslib::UpdateRegistry(
        [&](gpslib::RegistryStore& store) {
            return store.Parse(text.str(), &parseError) ? S_OK : E_INVALIDARG;
        },
        &error);
    if (FAILED(hr)) {
        std::fprintf(stderr, "gpsreg: %s: %s\n", file,
                     !parseError.empty() ? parseError.c_str() : error.c_str());
        return false;
    }
    std::printf("imported %s\n", file);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    std::string first = argv[1];
    if (first == "-h" || first == "--help") return Usage();
    if (first == "--print") {
        gpslib::RegistryStore store;
        std::string error;
        if (FAILED(gpslib::LoadRegistry(&store, &error))) {
            std::fprintf(stderr, "gpsreg: %s\n", error.c_str());
            return 1;
        }
        std::fputs(store.Serialize().c_str(), stdout);
        return 0;
    }
    bool ok = true;
    if (first == "--import") {
        if (argc < 3) return Usage();
        for (int i = 2; i < argc; ++i)
            ok = Import(argv[i]) && ok;
    } else {
        bool unregister = first == "-u" || first == "/u";
        int start = unregister ? 2 : 1;
        if (start >= argc) return Usage();
        for (int i = start; i < argc; ++i)
            ok = CallEntryPoint(argv[i], unregister) && ok;
    }
    return ok ? 0 : 1;
}
