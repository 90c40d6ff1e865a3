// A thin owner of SQLite connections and prepared statements, shared by the database component
// and the map compiler. Every statement is a fixed text prepared once per connection; values,
// user text included, only ever reach SQLite through bindings.
#ifndef FORMATS_SQLITE_H_
#define FORMATS_SQLITE_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace gpslib::sqlite {

// The word index tokenizer every connection of this wrapper knows: words and letters exactly as
// the text comparison folds them (formats/WordFold.h), so an index built with it never leaves out
// a record the comparison accepts. Tables name it in their tokenize option.
constexpr std::string_view kWordTokenizer = "gpslib_words";

// One prepared statement. Step() answers true for a row; false at the end or on an error, which
// ok() then tells apart.
class Statement {
public:
    explicit Statement(sqlite3_stmt* stmt) : m_stmt(stmt) {}
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, std::int64_t value);
    Statement& Bind(int index, double value);
    Statement& BindText(int index, std::string_view text);
    Statement& BindBlob(int index, std::string_view bytes);
    Statement& BindNull(int index);

    bool Step();
    // Runs a statement that returns no rows; true when it completed.
    bool Run();
    bool ok() const { return m_ok; }
    void Reset();

    std::int64_t Int(int column) const;
    double Double(int column) const;
    std::string Text(int column) const;
    std::string_view Blob(int column) const;
    bool IsNull(int column) const;

private:
    sqlite3_stmt* m_stmt;
    bool m_ok = true;
};

class Database {
public:
    enum class Mode { ReadOnly, ReadWrite, Create };

    // Opens `path` (a native path), with the word index tokenizer registered. Null with *error set
    // when SQLite cannot open it; a file that is no database at all fails later, at its first read.
    static std::unique_ptr<Database> Open(const std::string& path, Mode mode, std::string* error);
    ~Database();
    Database(const Database&) = delete;
    // Finalizes the statements and closes the connection; false when SQLite could not close it.
    // Every later call is invalid.
    bool Close();
    Database& operator=(const Database&) = delete;

    // How long a statement waits for another connection's lock.
    static constexpr int kBusyTimeoutMs = 2000;

    // Fixed SQL text only (schema, pragmas, transactions).
    bool Exec(std::string_view sql);
    // Switches the file to the WAL journal; false when it is still locked after the time-out.
    bool UseWriteAheadLog();
    // A cached statement for a fixed SQL text, reset and with its bindings cleared; null when it
    // does not prepare (a table of another schema), with LastError() saying why.
    Statement* Prepare(std::string_view sql);
    std::string LastError() const;
    // An integer answered by a pragma or a one-value query; `fallback` on any failure.
    std::int64_t QueryInt(std::string_view sql, std::int64_t fallback);
    // Whether the schema holds a table, index or trigger of that name.
    bool HasSchemaObject(std::string_view name);
    // The columns of a table, in declaration order; empty when it has none or does not exist.
    std::map<std::string, int> Columns(std::string_view table);
    // Rows changed by this connection, for telling whether cached answers are stale.
    std::int64_t TotalChanges() const;
    // Rows changed by the last statement of this connection.
    std::int64_t Changes() const;
    const std::string& path() const { return m_path; }
    sqlite3* handle() const { return m_db; }

private:
    Database(sqlite3* db, std::string path) : m_db(db), m_path(std::move(path)) {}
    sqlite3* m_db;
    std::string m_path;
    std::map<std::string, std::unique_ptr<Statement>, std::less<>> m_statements;
};

// BEGIN IMMEDIATE ... COMMIT; rolled back when not committed.
class Transaction {
public:
    explicit Transaction(Database* db) : m_db(db), m_open(db->Exec("BEGIN IMMEDIATE")) {}
    ~Transaction() {
        if (m_open) m_db->Exec("ROLLBACK");
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool ok() const { return m_open; }
    bool Commit() {
        if (!m_open) return false;
        m_open = false;
        if (m_db->Exec("COMMIT")) return true;
        m_db->Exec("ROLLBACK");
        return false;
    }

private:
    Database* m_db;
    bool m_open;
};

} // namespace gpslib::sqlite

#endif // FORMATS_SQLITE_H_
