#include "Outputs.h"

#include "os/path.h"

namespace gpsmap::build {

using gpslib::os::Status;

namespace {

constexpr const char* kWriting = "writing";
constexpr const char* kReplacing = "replacing";
constexpr const char* kReplaced = "replaced";
constexpr const char* kOldSuffix = ".old";

bool Failed(const Status& s, const std::string& what, std::string* error) {
    if (s.ok()) return false;
    *error = what + ": " + s.ToString();
    return true;
}

} // namespace

OutputSet::OutputSet(gpslib::os::Env* env, std::string dir, std::string name,
                     std::vector<std::string> extensions)
    : m_env(env), m_dir(std::move(dir)), m_name(std::move(name)),
      m_extensions(std::move(extensions)) {}

std::string OutputSet::Folder(const char* state) const {
    return In(m_dir, "." + m_name + "." + state);
}

std::string OutputSet::In(const std::string& folder, const std::string& file) const {
    return gpslib::os::NativePath(gpslib::os::JoinPath(folder, file));
}

std::string OutputSet::StagedPath(const std::string& extension) const {
    return In(Folder(kWriting), m_name + extension);
}

std::string OutputSet::FinalPath(const std::string& extension) const {
    return In(m_dir, m_name + extension);
}

Status OutputSet::RemoveTree(const std::string& folder) {
    if (!m_env->FileExists(folder)) return Status::OK();
    std::vector<std::string> names;
    Status s = m_env->GetChildren(folder, &names);
    for (const std::string& n : names)
        if (s.ok()) s = m_env->RemoveFile(In(folder, n));
    return s.ok() ? m_env->RemoveDir(folder) : s;
}

bool OutputSet::Recover(std::string* error) {
    if (m_env->FileExists(Folder(kReplacing)) && !RollBack(error)) return false;
    for (const char* state : {kReplaced, kWriting})
        if (Failed(RemoveTree(Folder(state)), Folder(state), error)) return false;
    return true;
}

bool OutputSet::Begin(std::string* error) {
    std::string folder = Folder(kWriting);
    Status s = m_env->CreateDir(folder);
    // A leftover of the same name that is no folder would be written into by nobody.
    if (s.ok() && !m_env->IsDirectory(folder)) s = Status::IOError("not a folder");
    return !Failed(s, folder, error);
}

void OutputSet::Abandon() {
    (void)RemoveTree(Folder(kWriting));
}

// Every step is one rename, so a kill between two of them leaves a state RollBack understands:
// per file, the new one is either still staged or in place, and the old one either still in
// place or staged with ".old".
bool OutputSet::Commit(std::string* error) {
    std::string writing = Folder(kWriting), replacing = Folder(kReplacing);
    if (Failed(m_env->RenameFile(writing, replacing), writing, error)) {
        Abandon();
        return false;
    }
    bool ok = true;
    for (const std::string& ext : m_extensions) {
        std::string final = FinalPath(ext);
        if (m_env->FileExists(final) &&
            Failed(m_env->RenameFile(final, In(replacing, m_name + ext + kOldSuffix)), final,
                   error)) {
            ok = false;
            break;
        }
    }
    for (std::size_t i = 0; ok && i < m_extensions.size(); ++i) {
        std::string final = FinalPath(m_extensions[i]);
        ok = !Failed(m_env->RenameFile(In(replacing, m_name + m_extensions[i]), final), final,
                     error);
    }
    if (ok) ok = !Failed(m_env->RenameFile(replacing, Folder(kReplaced)), replacing, error);
    if (!ok) {
        std::string rollback;
        if (!RollBack(&rollback)) *error += "; " + rollback + " (undone on the next run)";
        return false;
    }
    // Committed: what remains are the old files, which the next run drops if this cannot.
    (void)RemoveTree(Folder(kReplaced));
    return true;
}

bool OutputSet::RollBack(std::string* error) {
    std::string replacing = Folder(kReplacing);
    for (const std::string& ext : m_extensions) {
        std::string final = FinalPath(ext), staged = In(replacing, m_name + ext),
                    old = In(replacing, m_name + ext + kOldSuffix);
        // The new file goes back into the folder first, so that a kill here still reads as
        // "not yet published" on the next attempt.
        if (!m_env->FileExists(staged) && m_env->FileExists(final) &&
            Failed(m_env->RenameFile(final, staged), final, error))
            return false;
        if (m_env->FileExists(old) && Failed(m_env->RenameFile(old, final), old, error))
            return false;
    }
    return !Failed(RemoveTree(replacing), replacing, error);
}

} // namespace gpsmap::build
