// Fuzz targets that make the service's objects by class id register its classes in the process
// once, on the first input; a failed registration stops the target at once.
#ifndef GPSLIB_FUZZ_SERVICE_CLASSES_H_
#define GPSLIB_FUZZ_SERVICE_CLASSES_H_

#include <gpslib/registry.h>

#include <cstdlib>
#include <mutex>
#include <vector>

#include "GPSLib_classes.h"

namespace fuzz {

inline void RegisterServiceClassesOnce() {
    static std::once_flag registered;
    std::call_once(registered, [] {
        std::vector<DWORD> cookies; // Kept for the life of the process.
        if (FAILED(gpslib::RegisterModuleInProcess(kGPSLibModule, &gpslib::module::g_lockCount,
                                                   &cookies)))
            std::abort();
    });
}

} // namespace fuzz

#endif // GPSLIB_FUZZ_SERVICE_CLASSES_H_
