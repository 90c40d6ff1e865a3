// A service's settings folder for tests that start one: the string module Start loads from it
// copied in, and a Debug folder, so that the log is written there once the system settings file
// names it (after a first Start and Stop). And a map folder of a test's own.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

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

// Makes `folder` hold the files of the named maps of folder `from` that exist (.rmf, .pdb,
// .cpd): links, or copies where the test writes beside them (the personal stores are kept beside
// the maps). Answers `folder`.
inline std::string MapFolder(const std::string& folder, const std::string& from,
                             const std::vector<std::string>& maps, bool copy = false) {
    namespace fs = std::filesystem;
    fs::create_directories(folder);
    for (const std::string& map : maps)
        for (const char* ext : {".rmf", ".pdb", ".cpd"})
            if (const std::string source = from + "/" + map + ext; !fs::exists(source))
                continue;
            else if (copy)
                fs::copy_file(source, folder + "/" + map + ext);
            else
                fs::create_symlink(source, folder + "/" + map + ext);
    return folder;
}

} // namespace gpslib::test
