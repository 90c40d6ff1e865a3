#include "Outputs.h"

#include <cerrno>
#include <memory>

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

Status OutputSet::RemoveTree(const std::string& path) {
    // A file (or a link, never followed) goes at once; the system refuses to unlink a folder.
    Status s = m_env->RemoveFile(path);
    if (s.ok() || s.errnum() == ENOENT) return Status::OK();
    if (s.errnum() != EISDIR) return s;
    // A folder an earlier run left, whatever it holds (an earlier version moved a folder found
    // in an output's place into it): the staging folders are the compiler's own.
    std::vector<std::string> names;
    s = m_env->GetChildren(path, &names);
    for (const std::string& n : names)
        if (s.ok()) s = RemoveTree(In(path, n));
    return s.ok() ? m_env->RemoveDir(path) : s;
}

bool OutputSet::CheckDestinations(std::string* error) {
    for (const std::string& ext : m_extensions)
        if (m_env->IsDirectory(FinalPath(ext))) {
            *error = FinalPath(ext) + ": a folder is where this output file belongs (remove it, "
                                      "or choose another name)";
            return false;
        }
    return true;
}

Status OutputSet::KeepOld(const std::string& final, const std::string& old) {
    // A hard link costs nothing whatever the size; a file system without them gets a copy.
    if (m_env->LinkFile(final, old).ok()) return Status::OK();
    std::unique_ptr<gpslib::os::SequentialFile> in;
    std::unique_ptr<gpslib::os::WritableFile> out;
    Status s = m_env->NewSequentialFile(final, &in);
    if (s.ok()) s = m_env->NewWritableFile(old, &out);
    std::string chunk;
    while (s.ok() && (s = in->Read(1 << 20, &chunk)).ok() && !chunk.empty())
        s = out->Append(chunk);
    if (s.ok()) s = out->Sync();
    if (out != nullptr) {
        Status closed = out->Close();
        if (s.ok()) s = closed;
    }
    return s;
}

bool OutputSet::Recover(std::string* error) {
    // The folders that are only dropped go first, so that a rolled-back .replacing folder can
    // become one of them.
    for (const char* state : {kReplaced, kWriting})
        if (Failed(RemoveTree(Folder(state)), Folder(state), error)) return false;
    if (m_env->IsDirectory(Folder(kReplacing)) && !RollBack(error)) return false;
    // Anything else of that name holds nothing of ours.
    return !Failed(RemoveTree(Folder(kReplacing)), Folder(kReplacing), error);
}

bool OutputSet::Begin(std::string* error) {
    // Refused before the extract is read; Commit looks again.
    if (!CheckDestinations(error)) return false;
    std::string folder = Folder(kWriting);
    Status s = m_env->CreateDir(folder);
    // A leftover of the same name that is no folder would be written into by nobody.
    if (s.ok() && !m_env->IsDirectory(folder)) s = Status::IOError("not a folder");
    return !Failed(s, folder, error);
}

void OutputSet::Abandon() {
    (void)RemoveTree(Folder(kWriting));
}

// Every output stays in place throughout: the old file gets a second name in the staging
// folder, and the new one is renamed over it, which replaces it in one step. Every step after
// the backups is one rename, so a kill between two of them leaves a state RollBack
// understands: per file, the new one is either still staged or in place, and the old one is
// staged with ".old".
bool OutputSet::Commit(std::string* error) {
    std::string writing = Folder(kWriting), replacing = Folder(kReplacing);
    bool ok = CheckDestinations(error);
    for (std::size_t i = 0; ok && i < m_extensions.size(); ++i) {
        const std::string& ext = m_extensions[i];
        std::string staged = In(writing, m_name + ext), final = FinalPath(ext);
        // RollBack reads a staged file missing from .replacing as one already in place.
        if (!m_env->FileExists(staged))
            ok = !Failed(Status::NotFound("not written"), staged, error);
        else if (m_env->FileExists(final))
            ok = !Failed(KeepOld(final, In(writing, m_name + ext + kOldSuffix)), final, error);
    }
    if (!ok || Failed(m_env->RenameFile(writing, replacing), writing, error)) {
        Abandon();
        return false;
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

// Repeatable from any point: a kill while rolling back leaves a folder the next attempt rolls
// back the same way. Every output stays in place while it runs.
bool OutputSet::RollBack(std::string* error) {
    std::string replacing = Folder(kReplacing);
    for (const std::string& ext : m_extensions) {
        std::string final = FinalPath(ext), staged = In(replacing, m_name + ext),
                    old = In(replacing, m_name + ext + kOldSuffix);
        if (m_env->FileExists(old)) {
            // The new file is in place when its staged name is gone; an empty file of that name
            // keeps a later attempt from reading the restored old file as the new one.
            std::unique_ptr<gpslib::os::WritableFile> mark;
            Status s = Status::OK();
            if (!m_env->FileExists(staged)) {
                s = m_env->NewWritableFile(staged, &mark);
                if (s.ok()) s = mark->Close();
            }
            // Renaming the old file over its place is harmless when it is there already.
            if (Failed(s, staged, error) || Failed(m_env->RenameFile(old, final), old, error))
                return false;
        } else if (!m_env->FileExists(staged) && m_env->FileExists(final) &&
                   Failed(m_env->RenameFile(final, staged), final, error)) {
            return false; // the new file of a first run goes back into the folder
        }
    }
    // Rolled back: from here the folder is only to be dropped, also by a later run.
    std::string dropped = Folder(kWriting);
    if (Failed(RemoveTree(dropped), dropped, error) ||
        Failed(m_env->RenameFile(replacing, dropped), replacing, error))
        return false;
    return !Failed(RemoveTree(dropped), dropped, error);
}

} // namespace gpsmap::build
