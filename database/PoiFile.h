// One POI database file: a commercial POI file written by the map compiler, the user's own POI
// file, or a personal store (history, favorites, annotations). All share one schema, this
// component's (docs/formats.md, "POI files and personal stores"); this class is the format's one
// owner: it creates, checks, reads and writes it. The map engine reads POI files through it too.
//
// Thread safety: none. One object is used by one thread at a time (the core calls its database
// objects under its own lock); two objects may open the same file, which SQLite arbitrates.
#ifndef DATABASE_POIFILE_H_
#define DATABASE_POIFILE_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "formats/PoiSchema.h"
#include "formats/Sqlite.h"

namespace gpsdb {

using gpslib::sqlite::Database;
using gpslib::sqlite::Statement;
using gpslib::sqlite::Transaction;

// The user-POI category.
constexpr int kUserCategory = 18;

using PoiKey = std::int64_t;

struct PoiRecord {
    PoiKey key = 0;
    std::string name, description, author, date, thirdPartyId, tags, hours, addressNumber, street,
        city, state, country, zipCode, phone, fax, web, email, mediaFile;
    int category = 0, subcategory = 0;
    bool userPoi = false, isPrivate = false, modifyRmfFields = false;
    double latitudeOffset = 0.0, longitudeOffset = 0.0, latitude = 0.0, longitude = 0.0;

    bool IsUser() const { return userPoi || category == kUserCategory; }
};

// What the searches need of a record without reading all of it.
struct PoiSummary {
    PoiKey key = 0;
    std::string name;
    int category = 0, subcategory = 0;
    bool isUser = false, isPrivate = false;
    double latitude = 0.0, longitude = 0.0;
};

// The searchable fields, numbered as the type library's POIFields.
enum PoiField {
    kFieldName = 0,
    kFieldPhone = 1,
    kFieldAddress = 2,
    kFieldStreet = 3,
    kFieldCity = 4,
    kFieldState = 5,
    kFieldCountry = 6,
    kFieldZip = 7,
    kFieldDescription = 8,
    kFieldWeb = 9,
    kFieldEmail = 10,
    kFieldHours = 11,
    kFieldFax = 12,
    kFieldTags = 13,
    kFieldAuthor = 14,
    kFieldMedia = 15,
};
// The field's text in a record; the name for an unknown field.
const std::string& FieldText(const PoiRecord& record, int field);

// A latitude/longitude box; empty when its minimum latitude is above its maximum.
struct PoiBox {
    double minLat = 1, maxLat = 0, minLon = 0, maxLon = 0;
};

class PoiFile {
public:
    enum class Access {
        ReadOnly,  // an existing file, never written
        ReadWrite, // an existing file
        Create,    // read-write, created with the schema when missing or empty
    };

    // Opens and checks the file: the SQLite header's application id and version, the tables and
    // columns this code reads. A file of the previous version gets its word index rebuilt when
    // it is opened for writing; opened read-only, its word index is left unused. Null with *error
    // saying why when the file cannot be used; a new file declares `categories`.
    static std::unique_ptr<PoiFile> Open(const std::string& path, Access access,
                                         const std::vector<int>& categories, std::string* error);
    // Whether `path` is a POI file this code reads, and its declared categories (ascending),
    // through a short read-only connection.
    static bool Inspect(const std::string& path, std::vector<int>* categories);

    const std::string& path() const { return m_db->path(); }
    bool writable() const { return m_writable; }

    // PRAGMA cache_size; negative values are KiB, as SQLite reads them.
    void SetCacheSize(int value);

    std::vector<int> Categories();
    std::optional<PoiRecord> Get(PoiKey key);
    std::optional<PoiSummary> Summary(PoiKey key);
    std::int64_t Count();
    std::optional<std::pair<std::string, PoiKey>> AtPosition(std::int64_t position);
    std::vector<std::pair<std::string, PoiKey>> NamesAndKeys();
    PoiKey NextFreeKey();

    // Adds the record under its key (above 0) or the next free one. `media`, when given, is
    // stored with it. False when the key is in use (*blockingKey names it) or the write fails
    // (*blockingKey 0).
    bool Add(const PoiRecord& record, const std::string* media, PoiKey* newKey,
             PoiKey* blockingKey);
    // Rewrites the record with its key; `media`, when given, replaces the stored media file and
    // its name, else both stay.
    bool Update(const PoiRecord& record, const std::string* media);
    bool Delete(PoiKey key);
    bool AddTag(int subcategory, const std::string& tag);
    std::vector<std::string> Tags(int subcategory);
    // The stored media file of a record when its name matches `name` (ignoring case; an empty
    // name takes whatever is stored).
    std::optional<std::string> Media(PoiKey key, const std::string& name);
    // Rebuilds the file to its smallest size and folds the write-ahead log back into it.
    bool Compact();

    // Keys of the records whose `field` the word index can match for `search` under `mode`, or
    // null when the index does not hold that field (the caller then reads every candidate).
    // The answer is cached until the file changes.
    const std::set<PoiKey>* IndexedMatches(int field, const std::string& search, int mode);

    // Records whose box meets the given latitude/longitude box, by the spatial index, leaving
    // out those inside the hole (a box inside it; none when its minimum latitude is above its
    // maximum).
    bool Within(double minLat, double maxLat, double minLon, double maxLon,
                std::vector<PoiSummary>* out, const PoiBox& hole = PoiBox());

    // The box that holds every record, by the spatial index; false for a file without records
    // or one that cannot be read.
    bool Extent(double* minLat, double* maxLat, double* minLon, double* maxLon);

    std::string LastError() const { return m_db->LastError(); }

    // Many lookups in one read transaction: one lock and one look at the file for all of them
    // instead of one per statement.
    class ReadBatch {
    public:
        explicit ReadBatch(PoiFile* file) : m_db(file->m_db.get()), m_open(m_db->Exec("BEGIN")) {}
        ~ReadBatch() {
            if (m_open) m_db->Exec("COMMIT");
        }
        ReadBatch(const ReadBatch&) = delete;
        ReadBatch& operator=(const ReadBatch&) = delete;

    private:
        Database* m_db;
        bool m_open;
    };

private:
    PoiFile(std::unique_ptr<Database> db, bool writable)
        : m_db(std::move(db)), m_writable(writable) {}
    bool Prepare(std::string* error);
    // Replaces an older file's word index by one of the current tokenizer, built from the
    // records, and marks the file as of the current version.
    static bool RebuildWordIndex(Database* db);
    bool WriteRecord(const char* sql, const PoiRecord& record, const std::string* media);
    void DeclareCategory(int category);
    void Checkpoint();

    std::unique_ptr<Database> m_db;
    bool m_writable;
    std::string m_selectRecord; // the record columns, with defaults for those a file lacks
    std::string m_selectWithin; // what the spatial search reads
    std::string m_selectSummary;
    std::set<std::string> m_indexed; // the columns of the word index
    // The last word-index answer and the state of the file it was computed on.
    std::string m_cachedQuery;
    std::int64_t m_cachedStamp = -1;
    std::set<PoiKey> m_cachedKeys;
};

} // namespace gpsdb

#endif // DATABASE_POIFILE_H_
