#include "PoiFile.h"

#include <algorithm>

#include "Text.h"

namespace gpsdb {

namespace {

// The record's columns in the order the reader selects them, with the value a file without the
// column answers.
struct Column {
    const char* name;
    const char* fallback;
};
constexpr Column kColumns[] = {
    {"name", nullptr},      {"category", nullptr},    {"subcategory", nullptr},
    {"lat", nullptr},       {"lon", nullptr},         {"street", "''"},
    {"house_number", "''"}, {"city", "''"},           {"postcode", "''"},
    {"state", "''"},        {"country", "''"},        {"phone", "''"},
    {"website", "''"},      {"opening_hours", "''"},  {"description", "''"},
    {"author", "''"},       {"private", "0"},         {"media_name", "''"},
    {"date", "''"},         {"third_party_id", "''"}, {"tags", "''"},
    {"fax", "''"},          {"email", "''"},          {"user_poi", "0"},
    {"modify_rmf", "0"},    {"lat_offset", "0.0"},    {"lon_offset", "0.0"},
};

// The column of each searchable field, by POIFields number.
constexpr const char* kFieldColumns[] = {
    "name",    "phone",    "house_number", "street",     "city",  "state",
    "country", "postcode", "description",  "website",    "email", "opening_hours",
    "fax",     "tags",     "author",       "media_name",
};

constexpr const char* kInsert =
    "INSERT INTO pois(key, name, category, subcategory, lat, lon, street, house_number, city, "
    "postcode, state, country, phone, website, opening_hours, description, author, private, "
    "media_name, date, third_party_id, tags, fax, email, user_poi, modify_rmf, lat_offset, "
    "lon_offset, wheelchair, media) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, "
    "?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20, ?21, ?22, ?23, ?24, ?25, ?26, ?27, ?28, '', ?29)";
constexpr const char* kUpdate =
    "UPDATE pois SET name = ?2, category = ?3, subcategory = ?4, lat = ?5, lon = ?6, street = ?7, "
    "house_number = ?8, city = ?9, postcode = ?10, state = ?11, country = ?12, phone = ?13, "
    "website = ?14, opening_hours = ?15, description = ?16, author = ?17, private = ?18, "
    "media_name = ?19, date = ?20, third_party_id = ?21, tags = ?22, fax = ?23, email = ?24, "
    "user_poi = ?25, modify_rmf = ?26, lat_offset = ?27, lon_offset = ?28 WHERE key = ?1";
constexpr const char* kUpdateWithMedia =
    "UPDATE pois SET name = ?2, category = ?3, subcategory = ?4, lat = ?5, lon = ?6, street = ?7, "
    "house_number = ?8, city = ?9, postcode = ?10, state = ?11, country = ?12, phone = ?13, "
    "website = ?14, opening_hours = ?15, description = ?16, author = ?17, private = ?18, "
    "media_name = ?19, date = ?20, third_party_id = ?21, tags = ?22, fax = ?23, email = ?24, "
    "user_poi = ?25, modify_rmf = ?26, lat_offset = ?27, lon_offset = ?28, media = ?29 "
    "WHERE key = ?1";

std::int64_t Flag(bool b) {
    return b ? 1 : 0;
}

} // namespace

const std::string& FieldText(const PoiRecord& r, int field) {
    switch (field) {
    case kFieldPhone:
        return r.phone;
    case kFieldAddress:
        return r.addressNumber;
    case kFieldStreet:
        return r.street;
    case kFieldCity:
        return r.city;
    case kFieldState:
        return r.state;
    case kFieldCountry:
        return r.country;
    case kFieldZip:
        return r.zipCode;
    case kFieldDescription:
        return r.description;
    case kFieldWeb:
        return r.web;
    case kFieldEmail:
        return r.email;
    case kFieldHours:
        return r.hours;
    case kFieldFax:
        return r.fax;
    case kFieldTags:
        return r.tags;
    case kFieldAuthor:
        return r.author;
    case kFieldMedia:
        return r.mediaFile;
    default:
        return r.name;
    }
}

std::unique_ptr<PoiFile> PoiFile::Open(const std::string& path, Access access,
                                       const std::vector<int>& categories, std::string* error) {
    std::string why;
    auto db = Database::Open(path,
                             access == Access::ReadOnly    ? Database::Mode::ReadOnly
                             : access == Access::ReadWrite ? Database::Mode::ReadWrite
                                                           : Database::Mode::Create,
                             &why);
    if (db == nullptr) {
        if (error) *error = "cannot open: " + why;
        return nullptr;
    }
    // The first read of the header tells a database from any other file.
    std::int64_t schemaObjects = db->QueryInt("SELECT count(*) FROM sqlite_schema", -1);
    if (schemaObjects < 0) {
        if (error) *error = "not a database: " + db->LastError();
        return nullptr;
    }
    std::int64_t appId = db->QueryInt("PRAGMA application_id", -1);
    if (access == Access::Create && schemaObjects == 0 && appId == 0) {
        // A new (or empty) file, which another process may be creating at this very moment (two
        // services starting together): the emptiness is checked again inside the write
        // transaction, which waits for the other's, and the schema, identity and declared
        // categories are written in it, so a crash leaves either nothing or a whole store.
        Transaction t(db.get());
        bool ok = t.ok();
        bool empty = ok && db->QueryInt("SELECT count(*) FROM sqlite_schema", -1) == 0 &&
                     db->QueryInt("PRAGMA application_id", -1) == 0;
        if (empty) {
            ok = db->Exec(gpslib::formats::kPoiSchema) &&
                 db->Exec("PRAGMA application_id = " +
                          std::to_string(gpslib::formats::kPoiApplicationId)) &&
                 db->Exec("PRAGMA user_version = " +
                          std::to_string(gpslib::formats::kPoiFormatVersion));
            const std::pair<const char*, std::string> meta[] = {
                {"format", "gpslib-poi"},
                {"version", std::to_string(gpslib::formats::kPoiFormatVersion)}};
            for (const auto& entry : meta) {
                Statement* s = ok ? db->Prepare("INSERT INTO meta VALUES(?1, ?2)") : nullptr;
                ok = s != nullptr && s->BindText(1, entry.first).BindText(2, entry.second).Run();
            }
            for (int c : categories) {
                Statement* s =
                    ok ? db->Prepare("INSERT OR IGNORE INTO categories VALUES(?1)") : nullptr;
                ok = s != nullptr && s->Bind(1, static_cast<std::int64_t>(c)).Run();
            }
            ok = ok && t.Commit();
        }
        if (!ok) {
            if (error) *error = "cannot create the schema: " + db->LastError();
            return nullptr;
        }
        if (!empty) t.Commit(); // created by the other process meanwhile: nothing was written
        appId = db->QueryInt("PRAGMA application_id", -1);
    }
    if (appId != gpslib::formats::kPoiApplicationId) {
        if (error) *error = "not a POI file (application id " + std::to_string(appId) + ")";
        return nullptr;
    }
    std::int64_t version = db->QueryInt("PRAGMA user_version", -1);
    const bool oldWordIndex = version == gpslib::formats::kPoiFormatVersionOldWordIndex;
    if (version != gpslib::formats::kPoiFormatVersion && !oldWordIndex) {
        if (error) *error = "format version " + std::to_string(version) + " is not read here";
        return nullptr;
    }
    // Only files with the triggers that keep the indexes current are ever written to.
    bool writable = access != Access::ReadOnly && db->HasSchemaObject("pois_inserted");
    if (writable) {
        // A killed process loses nothing it committed; FULL also keeps commits across a power
        // loss, which matters more here than the few writes per minute it slows.
        if (!db->UseWriteAheadLog() || !db->Exec("PRAGMA synchronous = FULL")) {
            if (error) *error = "cannot use a write-ahead log: " + db->LastError();
            return nullptr;
        }
        // Personal stores are small: a damaged one is refused at once rather than at the
        // first record that cannot be read.
        Statement* s = db->Prepare("PRAGMA quick_check(1)");
        std::string answer = s != nullptr && s->Step() ? s->Text(0) : db->LastError();
        if (s != nullptr) s->Reset();
        if (answer != "ok") {
            if (error) *error = "damaged: " + answer;
            return nullptr;
        }
        if (oldWordIndex && !RebuildWordIndex(db.get())) {
            if (error) *error = "cannot rebuild the word index: " + db->LastError();
            return nullptr;
        }
    }
    std::unique_ptr<PoiFile> file(new PoiFile(std::move(db), writable));
    if (!file->Prepare(error)) return nullptr;
    // A file only read keeps its older word index, which folds some letters apart: it is left
    // unused, and every candidate is compared.
    if (oldWordIndex && !writable) file->m_indexed.clear();
    return file;
}

bool PoiFile::RebuildWordIndex(Database* db) {
    // One transaction: another process opening the file meanwhile sees the old index or the new
    // one, and the one that comes second finds the work done.
    Transaction t(db);
    if (!t.ok()) return false;
    if (db->QueryInt("PRAGMA user_version", -1) != gpslib::formats::kPoiFormatVersion) {
        const std::string version = std::to_string(gpslib::formats::kPoiFormatVersion);
        if (!db->Exec("DROP TABLE IF EXISTS poi_text") ||
            !db->Exec(gpslib::formats::kPoiWordIndex) ||
            !db->Exec("INSERT INTO poi_text(poi_text) VALUES('rebuild')") ||
            !db->Exec("PRAGMA user_version = " + version) ||
            !db->Exec("UPDATE meta SET value = '" + version + "' WHERE key = 'version'"))
            return false;
    }
    return t.Commit();
}

bool PoiFile::Prepare(std::string* error) {
    auto columns = m_db->Columns("pois");
    std::string select = "SELECT key";
    for (const Column& c : kColumns) {
        bool present = columns.count(c.name) != 0;
        if (!present && c.fallback == nullptr) {
            if (error) *error = std::string("the POI table has no column ") + c.name;
            return false;
        }
        select += ", ";
        select += present ? c.name : std::string(c.fallback) + " AS " + c.name;
    }
    m_selectRecord = select + " FROM pois";
    for (const auto& entry : m_db->Columns("poi_text"))
        m_indexed.insert(entry.first);
    const std::string summary = "SELECT p.key, p.name, p.category, p.subcategory, " +
                                std::string(columns.count("private") ? "p.private" : "0") +
                                ", p.lat, p.lon, " +
                                std::string(columns.count("user_poi") ? "p.user_poi" : "0");
    m_selectSummary = summary + " FROM pois p WHERE p.key = ?1";
    m_selectWithin = summary + " FROM poi_index i JOIN pois p ON p.key = i.key WHERE "
                               "i.max_lat >= ?1 AND i.min_lat <= ?2 AND i.max_lon >= ?3 AND "
                               "i.min_lon <= ?4 AND NOT (i.min_lat >= ?5 AND i.max_lat <= ?6 AND "
                               "i.min_lon >= ?7 AND i.max_lon <= ?8)";
    for (const std::string& probe :
         {m_selectRecord + " WHERE key = ?1", m_selectWithin, m_selectSummary,
          std::string("SELECT number FROM categories")}) {
        if (m_db->Prepare(probe) == nullptr) {
            if (error) *error = "unexpected schema: " + m_db->LastError();
            return false;
        }
    }
    return true;
}

bool PoiFile::Inspect(const std::string& path, std::vector<int>* categories) {
    std::string error;
    auto file = Open(path, Access::ReadOnly, {}, &error);
    if (file == nullptr) return false;
    *categories = file->Categories();
    return true;
}

void PoiFile::SetCacheSize(int value) {
    m_db->Exec("PRAGMA cache_size = " + std::to_string(value));
}

std::vector<int> PoiFile::Categories() {
    std::vector<int> out;
    Statement* s = m_db->Prepare("SELECT number FROM categories ORDER BY number");
    while (s != nullptr && s->Step())
        out.push_back(static_cast<int>(s->Int(0)));
    return out;
}

std::optional<PoiRecord> PoiFile::Get(PoiKey key) {
    Statement* s = m_db->Prepare(m_selectRecord + " WHERE key = ?1");
    if (s == nullptr || !s->Bind(1, key).Step()) return std::nullopt;
    PoiRecord r;
    int i = 0;
    r.key = s->Int(i++);
    r.name = s->Text(i++);
    r.category = static_cast<int>(s->Int(i++));
    r.subcategory = static_cast<int>(s->Int(i++));
    r.latitude = s->Double(i++);
    r.longitude = s->Double(i++);
    r.street = s->Text(i++);
    r.addressNumber = s->Text(i++);
    r.city = s->Text(i++);
    r.zipCode = s->Text(i++);
    r.state = s->Text(i++);
    r.country = s->Text(i++);
    r.phone = s->Text(i++);
    r.web = s->Text(i++);
    r.hours = s->Text(i++);
    r.description = s->Text(i++);
    r.author = s->Text(i++);
    r.isPrivate = s->Int(i++) != 0;
    r.mediaFile = s->Text(i++);
    r.date = s->Text(i++);
    r.thirdPartyId = s->Text(i++);
    r.tags = s->Text(i++);
    r.fax = s->Text(i++);
    r.email = s->Text(i++);
    r.userPoi = s->Int(i++) != 0;
    r.modifyRmfFields = s->Int(i++) != 0;
    r.latitudeOffset = s->Double(i++);
    r.longitudeOffset = s->Double(i++);
    s->Reset();
    return r;
}

namespace {

// The summary columns of the current row (key, name, category, subcategory, private, lat, lon,
// user flag), as both summary queries select them.
PoiSummary SummaryAt(Statement& s) {
    PoiSummary p;
    p.key = s.Int(0);
    p.name = s.Text(1);
    p.category = static_cast<int>(s.Int(2));
    p.subcategory = static_cast<int>(s.Int(3));
    p.isPrivate = s.Int(4) != 0;
    p.latitude = s.Double(5);
    p.longitude = s.Double(6);
    p.isUser = s.Int(7) != 0 || p.category == kUserCategory;
    return p;
}

} // namespace

std::optional<PoiSummary> PoiFile::Summary(PoiKey key) {
    Statement* s = m_db->Prepare(m_selectSummary);
    if (s == nullptr || !s->Bind(1, key).Step()) return std::nullopt;
    PoiSummary p = SummaryAt(*s);
    s->Reset();
    return p;
}

std::int64_t PoiFile::Count() {
    return m_db->QueryInt("SELECT count(*) FROM pois", 0);
}

std::optional<std::pair<std::string, PoiKey>> PoiFile::AtPosition(std::int64_t position) {
    if (position < 0) return std::nullopt;
    Statement* s = m_db->Prepare("SELECT name, key FROM pois ORDER BY key LIMIT 1 OFFSET ?1");
    if (s == nullptr || !s->Bind(1, position).Step()) return std::nullopt;
    std::pair<std::string, PoiKey> out{s->Text(0), s->Int(1)};
    s->Reset();
    return out;
}

std::vector<std::pair<std::string, PoiKey>> PoiFile::NamesAndKeys() {
    std::vector<std::pair<std::string, PoiKey>> out;
    Statement* s = m_db->Prepare("SELECT name, key FROM pois ORDER BY key");
    while (s != nullptr && s->Step())
        out.emplace_back(s->Text(0), s->Int(1));
    return out;
}

PoiKey PoiFile::NextFreeKey() {
    return m_db->QueryInt("SELECT coalesce(max(key), 0) + 1 FROM pois", 1);
}

void PoiFile::DeclareCategory(int category) {
    Statement* s = m_db->Prepare("INSERT OR IGNORE INTO categories VALUES(?1)");
    if (s != nullptr) s->Bind(1, static_cast<std::int64_t>(category)).Run();
}

bool PoiFile::WriteRecord(const char* sql, const PoiRecord& r, const std::string* media) {
    Statement* s = m_db->Prepare(sql);
    if (s == nullptr) return false;
    s->Bind(1, r.key).BindText(2, r.name);
    s->Bind(3, static_cast<std::int64_t>(r.category))
        .Bind(4, static_cast<std::int64_t>(r.subcategory));
    s->Bind(5, r.latitude).Bind(6, r.longitude);
    s->BindText(7, r.street)
        .BindText(8, r.addressNumber)
        .BindText(9, r.city)
        .BindText(10, r.zipCode);
    s->BindText(11, r.state).BindText(12, r.country).BindText(13, r.phone).BindText(14, r.web);
    s->BindText(15, r.hours).BindText(16, r.description).BindText(17, r.author);
    s->Bind(18, Flag(r.isPrivate)).BindText(19, r.mediaFile).BindText(20, r.date);
    s->BindText(21, r.thirdPartyId).BindText(22, r.tags).BindText(23, r.fax).BindText(24, r.email);
    s->Bind(25, Flag(r.userPoi)).Bind(26, Flag(r.modifyRmfFields));
    s->Bind(27, r.latitudeOffset).Bind(28, r.longitudeOffset);
    if (media != nullptr) s->BindBlob(29, *media);
    bool ok = s->Run();
    s->Reset();
    return ok;
}

bool PoiFile::Add(const PoiRecord& record, const std::string* media, PoiKey* newKey,
                  PoiKey* blockingKey) {
    *newKey = 0;
    *blockingKey = 0;
    if (!m_writable) return false;
    Transaction t(m_db.get());
    if (!t.ok()) return false;
    PoiRecord r = record;
    if (r.key <= 0) r.key = NextFreeKey();
    if (Get(r.key)) {
        *blockingKey = r.key;
        return false;
    }
    if (!WriteRecord(kInsert, r, media)) return false;
    DeclareCategory(r.category);
    if (!t.Commit()) return false;
    *newKey = r.key;
    Checkpoint();
    return true;
}

bool PoiFile::Update(const PoiRecord& record, const std::string* media) {
    if (!m_writable) return false;
    Transaction t(m_db.get());
    if (!t.ok() || !Get(record.key)) return false;
    PoiRecord r = record;
    if (media == nullptr) {
        // The stored media file keeps its name along with its content.
        Statement* s = m_db->Prepare("SELECT media_name FROM pois WHERE key = ?1");
        if (s == nullptr || !s->Bind(1, r.key).Step()) return false;
        r.mediaFile = s->Text(0);
        s->Reset();
    }
    if (!WriteRecord(media ? kUpdateWithMedia : kUpdate, r, media)) return false;
    DeclareCategory(r.category);
    if (!t.Commit()) return false;
    Checkpoint();
    return true;
}

bool PoiFile::Delete(PoiKey key) {
    if (!m_writable) return false;
    Statement* s = m_db->Prepare("DELETE FROM pois WHERE key = ?1");
    if (s == nullptr || !s->Bind(1, key).Run()) return false;
    if (m_db->Changes() == 0) return false;
    Checkpoint();
    return true;
}

bool PoiFile::AddTag(int subcategory, const std::string& tag) {
    if (!m_writable) return false;
    const std::string folded = Fold(tag);
    for (const std::string& existing : Tags(subcategory))
        if (Fold(existing) == folded) return true;
    Statement* s = m_db->Prepare("INSERT INTO tags(subcategory, tag) VALUES(?1, ?2)");
    if (s == nullptr || !s->Bind(1, static_cast<std::int64_t>(subcategory)).BindText(2, tag).Run())
        return false;
    Checkpoint();
    return true;
}

std::vector<std::string> PoiFile::Tags(int subcategory) {
    std::vector<std::string> out;
    Statement* s = m_db->Prepare("SELECT tag FROM tags WHERE subcategory = ?1 ORDER BY rowid");
    if (s == nullptr) return out;
    s->Bind(1, static_cast<std::int64_t>(subcategory));
    while (s->Step())
        out.push_back(s->Text(0));
    return out;
}

std::optional<std::string> PoiFile::Media(PoiKey key, const std::string& name) {
    Statement* s = m_db->Prepare("SELECT media_name, media FROM pois WHERE key = ?1");
    if (s == nullptr || !s->Bind(1, key).Step()) return std::nullopt;
    std::optional<std::string> out;
    if (!s->IsNull(1) && (name.empty() || Fold(name) == Fold(s->Text(0))))
        out = std::string(s->Blob(1));
    s->Reset();
    return out;
}

void PoiFile::Checkpoint() {
    // Folding the log back after each write keeps the file itself complete: its size is what the
    // user's compaction reports, and a copy of it alone is a whole store. A reader of the log
    // (another core, the map engine) only postpones the rest to a later write.
    m_db->Exec("PRAGMA wal_checkpoint(PASSIVE)");
}

bool PoiFile::Compact() {
    if (!m_writable) return false;
    m_cachedStamp = -1;
    return m_db->Exec("VACUUM") && m_db->Exec("PRAGMA wal_checkpoint(TRUNCATE)");
}

const std::set<PoiKey>* PoiFile::IndexedMatches(int field, const std::string& search, int mode) {
    if (field < 0 || field >= static_cast<int>(std::size(kFieldColumns))) field = kFieldName;
    const char* column = kFieldColumns[field];
    if (m_indexed.count(column) == 0) return nullptr;
    std::string query = FtsQuery(column, search, static_cast<MatchMode>(mode));
    if (query.empty()) return nullptr;
    // Writes through this connection and commits by others both make the cached answer stale.
    std::int64_t stamp = m_db->TotalChanges() * 1000003 + m_db->QueryInt("PRAGMA data_version", 0);
    if (query == m_cachedQuery && stamp == m_cachedStamp) return &m_cachedKeys;
    m_cachedKeys.clear();
    m_cachedQuery = query;
    m_cachedStamp = -1;
    Statement* s = m_db->Prepare("SELECT rowid FROM poi_text WHERE poi_text MATCH ?1");
    if (s == nullptr) return nullptr;
    s->BindText(1, query);
    while (s->Step())
        m_cachedKeys.insert(s->Int(0));
    if (!s->ok()) return nullptr;
    m_cachedStamp = stamp;
    return &m_cachedKeys;
}

bool PoiFile::Within(double minLat, double maxLat, double minLon, double maxLon,
                     std::vector<PoiSummary>* out, const PoiBox& hole) {
    Statement* s = m_db->Prepare(m_selectWithin);
    if (s == nullptr) return false;
    s->Bind(1, minLat).Bind(2, maxLat).Bind(3, minLon).Bind(4, maxLon);
    s->Bind(5, hole.minLat).Bind(6, hole.maxLat).Bind(7, hole.minLon).Bind(8, hole.maxLon);
    while (s->Step()) {
        out->push_back(SummaryAt(*s));
    }
    return s->ok();
}

bool PoiFile::Extent(double* minLat, double* maxLat, double* minLon, double* maxLon) {
    Statement* s = m_db->Prepare("SELECT count(*), min(min_lat), max(max_lat), min(min_lon), "
                                 "max(max_lon) FROM poi_index");
    if (s == nullptr) return false;
    const bool any = s->Step() && s->Int(0) > 0;
    if (any) {
        *minLat = s->Double(1);
        *maxLat = s->Double(2);
        *minLon = s->Double(3);
        *maxLon = s->Double(4);
    }
    s->Reset(); // ends the read at once
    return any;
}

} // namespace gpsdb
