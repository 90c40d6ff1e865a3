// A service's settings folder for tests that start one: the string module Start loads from it
// copied in, and a Debug folder, so that the log is written there once the system settings file
// names it (after a first Start and Stop).
#pragma once

#include <filesystem>
#include <string>

#include "temp_dir.h"

namespace gpslib::test {

// Returns the folder as Start takes it, with its trailing "/".
inline std::string PrepareSettingsFolder(const TempDir& dir,
                                         const char* resourceModule = GPSLIB_RESOURCE_MODULE) {
    std::filesystem::copy_file(resourceModule, dir.File("GPSResources_EN.dll"),
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::create_directory(dir.File("Debug"));
    return dir.path() + "/";
}

} // namespace gpslib::test
