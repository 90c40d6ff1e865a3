// The files of one map region (NAME.rmf, NAME.pdb, NAME.cpd) are replaced all together or not at
// all, through the platform layer so that tests can fail or kill any step (docs/maps.md,
// "Replacing the files").
#ifndef MAPBUILD_OUTPUTS_H_
#define MAPBUILD_OUTPUTS_H_

#include <string>
#include <vector>

#include "os/env.h"

namespace gpsmap::build {

// The new files are written into a staging folder beside the destination. Publishing gives
// each old file a second name in the folder (a hard link, else a copy), renames the folder
// (.NAME.writing -> .NAME.replacing), renames each new file over its old one, and renames the
// folder once more (-> .NAME.replaced): that last rename is the commit. Every output is in place
// throughout, old or new, so a loaded map folder never misses a map. A failure before the commit
// puts every old file back. A run killed at any point leaves one of the three folders, and the
// next run's Recover finishes the job: a .writing folder is dropped, a .replacing one rolled
// back, a .replaced one dropped. A folder where an output belongs is refused before anything is
// published.
//
// Not for two runs on the same region and folder at once. Not thread-safe.
class OutputSet {
public:
    // `extensions` in publishing order, dot included.
    // REQUIRES: `env` outlives this object.
    OutputSet(gpslib::os::Env* env, std::string dir, std::string name,
              std::vector<std::string> extensions);

    // Brings back the state of the last completed run from whatever a killed run left. False
    // with *error when a step fails; the destination must then not be touched.
    bool Recover(std::string* error);
    // Creates the staging folder; false with *error when a folder stands where an output belongs.
    // REQUIRES: Recover succeeded.
    bool Begin(std::string* error);
    // Where to write the new file of `extension`, as a path the system can open.
    std::string StagedPath(const std::string& extension) const;
    // The destination of `extension`.
    std::string FinalPath(const std::string& extension) const;
    // Publishes the staged files. On failure the old files are back in place and nothing is left,
    // unless putting them back failed too (then *error says so and Recover finishes later).
    bool Commit(std::string* error);
    // Drops the staging folder after a failed write (best effort; Recover drops what remains).
    void Abandon();

private:
    std::string Folder(const char* state) const;
    std::string In(const std::string& folder, const std::string& file) const;
    // Puts the old files back from a .replacing folder and drops it.
    bool RollBack(std::string* error);
    // Removes a file, or a folder with everything in it; OK when there is nothing of that name.
    gpslib::os::Status RemoveTree(const std::string& path);
    // False with *error naming the first output whose place a folder takes.
    bool CheckDestinations(std::string* error);
    // Gives the published file `final` the second name `old`.
    gpslib::os::Status KeepOld(const std::string& final, const std::string& old);

    gpslib::os::Env* m_env;
    std::string m_dir, m_name;
    std::vector<std::string> m_extensions;
};

} // namespace gpsmap::build

#endif // MAPBUILD_OUTPUTS_H_
