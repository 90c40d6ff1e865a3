// The POI file format, shared by its writers (the map compiler, the database component) and its
// readers. docs/formats.md describes it.
#ifndef FORMATS_POISCHEMA_H_
#define FORMATS_POISCHEMA_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "formats/Sqlite.h"

namespace gpslib::formats {

constexpr std::int32_t kPoiApplicationId = 0x47505046; // "GPPF"
// Version 2 indexes words with the tokenizer that folds as the text comparison does
// (kWordTokenizer); version 1 files indexed them with SQLite's own, and are still opened
// (PoiFile: rebuilt in place when written to, their index left unused when only read).
constexpr int kPoiFormatVersion = 2;
constexpr int kPoiFormatVersionOldWordIndex = 1;
// The meta table's "format" value.
constexpr std::string_view kPoiFormatName = "gpslib-poi";

// The word index over the searchable text fields, external content of `pois` whose triggers keep
// it current.
#define GPSLIB_POI_WORD_INDEX                                                                      \
    "CREATE VIRTUAL TABLE poi_text USING fts5(name, street, city, description, author, tags, "     \
    "house_number, state, country, postcode, opening_hours, phone, fax, website, email, "          \
    "media_name, content='pois', content_rowid='key', tokenize='gpslib_words');\n"
constexpr std::string_view kPoiWordIndex = GPSLIB_POI_WORD_INDEX;
static_assert(kPoiWordIndex.find(gpslib::sqlite::kWordTokenizer) != std::string_view::npos);

namespace detail {

// Texts joined into one at compile time, so that a statement the schema uses twice is written once.
template <std::size_t N> struct JoinedText {
    char chars[N];
    constexpr std::string_view View() const { return {chars, N - 1}; }
};
template <std::size_t... N>
constexpr JoinedText<(N + ...) - sizeof...(N) + 1> Join(const char (&... parts)[N]) {
    JoinedText<(N + ...) - sizeof...(N) + 1> out{};
    std::size_t at = 0;
    ((std::copy_n(parts, N - 1, out.chars + at), at += N - 1), ...);
    return out;
}

// A row's words into the word index, and out of it before the row changes or goes: the triggers
// keep the index in step with `pois` by these two, the update trigger by both. Each is a line of
// its own, begun by its newline.
inline constexpr char kAddWords[] = R"SQL(
  INSERT INTO poi_text(rowid, name, street, city, description, author, tags, house_number, state,
                       country, postcode, opening_hours, phone, fax, website, email, media_name)
  VALUES(new.key, new.name, new.street, new.city, new.description, new.author, new.tags,
         new.house_number, new.state, new.country, new.postcode, new.opening_hours, new.phone,
         new.fax, new.website, new.email, new.media_name);)SQL";
inline constexpr char kRemoveWords[] = R"SQL(
  INSERT INTO poi_text(poi_text, rowid, name, street, city, description, author, tags,
                       house_number, state, country, postcode, opening_hours, phone, fax, website,
                       email, media_name)
  VALUES('delete', old.key, old.name, old.street, old.city, old.description, old.author, old.tags,
         old.house_number, old.state, old.country, old.postcode, old.opening_hours, old.phone,
         old.fax, old.website, old.email, old.media_name);)SQL";

inline constexpr auto kPoiSchemaText =
    Join(R"SQL(
CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE categories(number INTEGER PRIMARY KEY);
CREATE TABLE pois(key INTEGER PRIMARY KEY, name TEXT NOT NULL, category INTEGER NOT NULL,
                  subcategory INTEGER NOT NULL, lat REAL NOT NULL, lon REAL NOT NULL,
                  street TEXT NOT NULL, house_number TEXT NOT NULL, city TEXT NOT NULL,
                  postcode TEXT NOT NULL, state TEXT NOT NULL, country TEXT NOT NULL,
                  phone TEXT NOT NULL, website TEXT NOT NULL, opening_hours TEXT NOT NULL,
                  wheelchair TEXT NOT NULL, description TEXT NOT NULL, author TEXT NOT NULL,
                  private INTEGER NOT NULL, media BLOB, media_name TEXT NOT NULL,
                  date TEXT NOT NULL, third_party_id TEXT NOT NULL, tags TEXT NOT NULL,
                  fax TEXT NOT NULL, email TEXT NOT NULL, user_poi INTEGER NOT NULL,
                  modify_rmf INTEGER NOT NULL, lat_offset REAL NOT NULL, lon_offset REAL NOT NULL);
CREATE INDEX pois_by_category ON pois(category, subcategory);
CREATE VIRTUAL TABLE poi_index USING rtree(key, min_lat, max_lat, min_lon, max_lon);
)SQL" GPSLIB_POI_WORD_INDEX
         R"SQL(CREATE TABLE tags(subcategory INTEGER NOT NULL, tag TEXT NOT NULL);
CREATE TRIGGER pois_inserted AFTER INSERT ON pois BEGIN
  INSERT INTO poi_index VALUES(new.key, new.lat, new.lat, new.lon, new.lon);)SQL",
         kAddWords, R"SQL(
END;
CREATE TRIGGER pois_deleted AFTER DELETE ON pois BEGIN
  DELETE FROM poi_index WHERE key = old.key;)SQL",
         kRemoveWords, R"SQL(
END;
CREATE TRIGGER pois_updated AFTER UPDATE ON pois BEGIN
  UPDATE poi_index SET min_lat = new.lat, max_lat = new.lat, min_lon = new.lon, max_lon = new.lon
   WHERE key = old.key;)SQL",
         kRemoveWords, kAddWords, R"SQL(
END;
)SQL");

} // namespace detail

// The schema of every POI file: the map compiler's, the user's own and the personal stores. The
// triggers keep the spatial and word indexes in step with every write, so no writer can forget
// them. Readers also take files of this version written without the later columns and fill them
// with their defaults.
constexpr std::string_view kPoiSchema = detail::kPoiSchemaText.View();
#undef GPSLIB_POI_WORD_INDEX

} // namespace gpslib::formats

#endif // FORMATS_POISCHEMA_H_
