#include "registered_module.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "temp_dir.h"

namespace gpslib::test {

const std::string& RegisteredCoreStore() {
    static std::unique_ptr<TempDir> dir;
    static std::string store;
    if (store.empty()) {
        dir = std::make_unique<TempDir>();
        store = dir->File("registry.reg");
        setenv("GPSLIB_REGISTRY", store.c_str(), 1);
        std::string command = std::string(GPSREG_TOOL) + " " + GPSCORE_MODULE + " > /dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
    }
    return store;
}

} // namespace gpslib::test
