#include "Writers.h"

namespace gpsmap::build {

bool OutputDb::Create(const std::string& path, std::int32_t applicationId, int version,
                      std::string_view schema, std::string* error) {
    m_db = gpslib::sqlite::Database::Open(path, gpslib::sqlite::Database::Mode::Create, error);
    if (m_db == nullptr) return false;
    std::string identity = "PRAGMA application_id=" + std::to_string(applicationId) +
                           "; PRAGMA user_version=" + std::to_string(version) + ";";
    return (m_db->Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN;") &&
            m_db->Exec(identity) && m_db->Exec(schema)) ||
           Fail(error);
}

bool OutputDb::Finish(std::string* error) {
    if (!m_db->Exec("COMMIT;")) return Fail(error);
    bool closed = m_db->Close();
    m_db.reset();
    if (!closed) *error = "cannot close the output file";
    return closed;
}

bool OutputDb::Fail(std::string* error) {
    *error = m_db ? m_db->LastError() : "cannot open the output file";
    return false;
}

} // namespace gpsmap::build
