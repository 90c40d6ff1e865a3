#include "formats/Sqlite.h"

#include <sqlite3.h>

#include <chrono>
#include <string>
#include <thread>

#include "formats/WordFold.h"
#include "os/codepage.h"

namespace gpslib::sqlite {

namespace {

// The word index tokenizer: a token is a run of word characters after folding, given to the
// index folded, with its byte range in the original text. Combining accents that folding removes
// join the letters around them, as they do in the comparison. It has no options and no state, so
// one object serves every table.
int CreateWordTokenizer(void*, const char**, int, Fts5Tokenizer** out) {
    static int instance;
    *out = reinterpret_cast<Fts5Tokenizer*>(&instance);
    return SQLITE_OK;
}

void DeleteWordTokenizer(Fts5Tokenizer*) {}

int TokenizeWords(Fts5Tokenizer*, void* context, int, const char* text, int size,
                  int (*emit)(void*, int, const char*, int, int, int)) {
    if (text == nullptr || size <= 0) return SQLITE_OK;
    const std::string_view utf8(text, static_cast<std::size_t>(size));
    std::string token;
    std::size_t start = 0, end = 0;
    auto flush = [&]() {
        if (token.empty()) return SQLITE_OK;
        int rc = emit(context, 0, token.data(), static_cast<int>(token.size()),
                      static_cast<int>(start), static_cast<int>(end));
        token.clear();
        return rc;
    };
    for (std::size_t at = 0; at < utf8.size();) {
        const std::size_t from = at;
        const char32_t folded = formats::FoldCodePoint(os::DecodeUtf8(utf8, &at));
        if (folded == formats::kDroppedMark) continue;
        if (formats::IsWordChar(folded)) {
            if (token.empty()) start = from;
            os::AppendUtf8(&token, folded);
            end = at;
        } else if (int rc = flush(); rc != SQLITE_OK) {
            return rc;
        }
    }
    return flush();
}

// Registers the tokenizer through the FTS5 interface of the connection; false when SQLite has no
// FTS5 or refuses it.
bool RegisterWordTokenizer(sqlite3* db) {
    fts5_api* api = nullptr;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &stmt, nullptr) != SQLITE_OK) return false;
    sqlite3_bind_pointer(stmt, 1, &api, "fts5_api_ptr", nullptr);
    sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    if (api == nullptr || api->iVersion < 2) return false;
    fts5_tokenizer tokenizer = {CreateWordTokenizer, DeleteWordTokenizer, TokenizeWords};
    return api->xCreateTokenizer(api, std::string(kWordTokenizer).c_str(), nullptr, &tokenizer,
                                 nullptr) == SQLITE_OK;
}

} // namespace

Statement::~Statement() {
    sqlite3_finalize(m_stmt);
}

Statement& Statement::Bind(int index, std::int64_t value) {
    sqlite3_bind_int64(m_stmt, index, value);
    return *this;
}

Statement& Statement::Bind(int index, double value) {
    sqlite3_bind_double(m_stmt, index, value);
    return *this;
}

Statement& Statement::BindText(int index, std::string_view text) {
    sqlite3_bind_text64(m_stmt, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    return *this;
}

Statement& Statement::BindBlob(int index, std::string_view bytes) {
    sqlite3_bind_blob64(m_stmt, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
    return *this;
}

Statement& Statement::BindNull(int index) {
    sqlite3_bind_null(m_stmt, index);
    return *this;
}

bool Statement::Step() {
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) return true;
    m_ok = rc == SQLITE_DONE;
    return false;
}

bool Statement::Run() {
    while (Step()) {
    }
    return m_ok;
}

void Statement::Reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
    m_ok = true;
}

std::int64_t Statement::Int(int column) const {
    return sqlite3_column_int64(m_stmt, column);
}

double Statement::Double(int column) const {
    return sqlite3_column_double(m_stmt, column);
}

std::string Statement::Text(int column) const {
    const unsigned char* text = sqlite3_column_text(m_stmt, column);
    if (text == nullptr) return {};
    return {reinterpret_cast<const char*>(text),
            static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column))};
}

std::string_view Statement::Blob(int column) const {
    const void* data = sqlite3_column_blob(m_stmt, column);
    if (data == nullptr) return {};
    return {static_cast<const char*>(data),
            static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column))};
}

bool Statement::IsNull(int column) const {
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

std::unique_ptr<Database> Database::Open(const std::string& path, Mode mode, std::string* error) {
    int flags = SQLITE_OPEN_NOMUTEX;
    flags |= mode == Mode::ReadOnly    ? SQLITE_OPEN_READONLY
             : mode == Mode::ReadWrite ? SQLITE_OPEN_READWRITE
                                       : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        if (error) *error = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_extended_result_codes(db, 1);
    if (!RegisterWordTokenizer(db)) {
        if (error)
            *error = "cannot register the word index tokenizer: " + std::string(sqlite3_errmsg(db));
        sqlite3_close(db);
        return nullptr;
    }
    // Two cores of one process, or the map engine's reader, may hold the same file.
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    return std::unique_ptr<Database>(new Database(db, path));
}

Database::~Database() {
    m_statements.clear();
    if (m_db != nullptr) sqlite3_close(m_db);
}

bool Database::Close() {
    m_statements.clear();
    int rc = sqlite3_close(m_db);
    m_db = nullptr;
    return rc == SQLITE_OK;
}

bool Database::UseWriteAheadLog() {
    // Switching needs the file to itself, and SQLite answers "locked" at once rather than wait
    // for a reader (another process opening the same new store): retried within the time-out.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
    for (;;) {
        Statement* s = Prepare("PRAGMA journal_mode = WAL");
        bool wal = s != nullptr && s->Step() && s->Text(0) == "wal";
        // Only a lock held elsewhere is worth waiting for; a damaged file is refused at once.
        const int code = sqlite3_errcode(m_db) & 0xff;
        const bool locked = code == SQLITE_BUSY || code == SQLITE_LOCKED;
        if (s != nullptr) s->Reset();
        if (wal) return true;
        if (!locked || std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool Database::Exec(std::string_view sql) {
    return sqlite3_exec(m_db, std::string(sql).c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

Statement* Database::Prepare(std::string_view sql) {
    auto it = m_statements.find(sql);
    if (it == m_statements.end()) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v3(m_db, sql.data(), static_cast<int>(sql.size()),
                               SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK ||
            stmt == nullptr) {
            sqlite3_finalize(stmt);
            return nullptr;
        }
        it = m_statements.emplace(std::string(sql), std::make_unique<Statement>(stmt)).first;
    }
    it->second->Reset();
    return it->second.get();
}

std::string Database::LastError() const {
    return sqlite3_errmsg(m_db);
}

std::int64_t Database::QueryInt(std::string_view sql, std::int64_t fallback) {
    Statement* s = Prepare(sql);
    if (s == nullptr || !s->Step()) return fallback;
    std::int64_t value = s->Int(0);
    s->Reset();
    return value;
}

bool Database::HasSchemaObject(std::string_view name) {
    Statement* s = Prepare("SELECT 1 FROM sqlite_schema WHERE name = ?1");
    if (s == nullptr) return false;
    bool found = s->BindText(1, name).Step();
    s->Reset();
    return found;
}

std::map<std::string, int> Database::Columns(std::string_view table) {
    std::map<std::string, int> columns;
    Statement* s = Prepare("SELECT name FROM pragma_table_info(?1)");
    if (s == nullptr) return columns;
    s->BindText(1, table);
    for (int i = 0; s->Step(); ++i)
        columns.emplace(s->Text(0), i);
    s->Reset();
    return columns;
}

std::int64_t Database::TotalChanges() const {
    return sqlite3_total_changes64(m_db);
}

std::int64_t Database::Changes() const {
    return sqlite3_changes64(m_db);
}

} // namespace gpslib::sqlite
