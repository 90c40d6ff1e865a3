// The modules a test drives as a client does: registered by the real gpsreg (GPSREG_TOOL, defined
// by the test's target) in a registry store of the run's own, once per process.
#pragma once

#include <cstdlib>
#include <initializer_list>
#include <string>

#include "temp_dir.h"

namespace gpslib::test {

// True when every module was registered; later calls answer the first call's result.
inline bool RegisterModules(std::initializer_list<const char*> modules) {
    static TempDir store;
    static const bool done = [&] {
        setenv("GPSLIB_REGISTRY", store.File("registry.reg").c_str(), 1);
        for (const char* module : modules)
            if (std::system((std::string(GPSREG_TOOL) + " " + module + " > /dev/null").c_str()) !=
                0)
                return false;
        return true;
    }();
    return done;
}

} // namespace gpslib::test
