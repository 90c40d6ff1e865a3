// A compiled file is written as a bulk load: the schema's tables first, its indexes and triggers
// set aside, then the rows, then the indexes built once over all rows (a sort instead of a
// b-tree insert per row) and the triggers put back, so that the finished file has its whole
// schema and later writers (the database component adding POIs) keep it current as before. The
// writers fill what the triggers would have filled (the POI file's spatial and word indexes) in
// bulk before Finish. The set-aside statements live in a temporary table of the connection, never
// in the file.
#include <vector>

#include "Writers.h"

namespace gpsmap::build {
namespace {

// Pages of the connection's cache (negative: KiB): 64 MiB, so that building an index over a
// country's rows sorts in memory rather than in temporary files.
constexpr const char* kBulkPragmas = "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; "
                                     "PRAGMA cache_size=-65536; PRAGMA temp_store=MEMORY;";

} // namespace

bool OutputDb::Create(const std::string& path, std::int32_t applicationId, int version,
                      std::string_view schema, std::string* error) {
    m_db = gpslib::sqlite::Database::Open(path, gpslib::sqlite::Database::Mode::Create, error);
    if (m_db == nullptr) return false;
    std::string identity = "PRAGMA application_id=" + std::to_string(applicationId) +
                           "; PRAGMA user_version=" + std::to_string(version) + ";";
    if (!m_db->Exec(kBulkPragmas) || !m_db->Exec("BEGIN;") || !m_db->Exec(identity) ||
        !m_db->Exec(schema) ||
        !m_db->Exec("CREATE TEMP TABLE set_aside AS SELECT type, name, sql FROM sqlite_master "
                    "WHERE type IN ('index', 'trigger') AND sql IS NOT NULL ORDER BY rowid;"))
        return Fail(error);
    std::vector<std::string> drops;
    gpslib::sqlite::Statement* s = m_db->Prepare("SELECT type, name FROM temp.set_aside");
    if (s == nullptr) return Fail(error);
    while (s->Step())
        drops.push_back("DROP " + s->Text(0) + " \"" + s->Text(1) + "\";");
    if (!s->ok()) return Fail(error);
    for (const std::string& drop : drops)
        if (!m_db->Exec(drop)) return Fail(error);
    return true;
}

bool OutputDb::Finish(std::string* error) {
    std::vector<std::string> creates;
    gpslib::sqlite::Statement* s = m_db->Prepare("SELECT sql FROM temp.set_aside ORDER BY rowid");
    if (s == nullptr) return Fail(error);
    while (s->Step())
        creates.push_back(s->Text(0) + ";");
    if (!s->ok()) return Fail(error);
    for (const std::string& create : creates)
        if (!m_db->Exec(create)) return Fail(error);
    if (!m_db->Exec("DROP TABLE temp.set_aside; COMMIT;")) return Fail(error);
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
