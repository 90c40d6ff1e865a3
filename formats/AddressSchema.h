// The address database (".cpd"): the cities, postal codes, streets and house numbers of one map
// region, written by the map compiler and read by the database component's address search.
// docs/formats.md describes it.
#ifndef FORMATS_ADDRESSSCHEMA_H_
#define FORMATS_ADDRESSSCHEMA_H_

#include <cstdint>
#include <string_view>

namespace gpslib::formats {

// PRAGMA application_id ("GPAD") and PRAGMA user_version; a reader refuses any other.
constexpr std::int32_t kAddressApplicationId = 0x47504144;
constexpr int kAddressFormatVersion = 1;
// The meta table's "format" value.
constexpr std::string_view kAddressFormatName = "gpslib-address";

// No word index: a map's names are few, and the search matches them in memory.
constexpr std::string_view kAddressSchema = R"SQL(
CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE cities(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);
CREATE TABLE postcodes(id INTEGER PRIMARY KEY, code TEXT NOT NULL UNIQUE);
CREATE TABLE streets(key INTEGER PRIMARY KEY, name TEXT NOT NULL, ref TEXT NOT NULL);
CREATE TABLE street_places(street_key INTEGER NOT NULL, city TEXT NOT NULL, postcode TEXT NOT NULL,
                           PRIMARY KEY(street_key, city, postcode)) WITHOUT ROWID;
CREATE TABLE addresses(id INTEGER PRIMARY KEY, street_key INTEGER NOT NULL, number TEXT NOT NULL,
                       value INTEGER NOT NULL, city TEXT NOT NULL, postcode TEXT NOT NULL,
                       lat REAL NOT NULL, lon REAL NOT NULL);
CREATE INDEX cities_by_name ON cities(name COLLATE NOCASE);
CREATE INDEX streets_by_name ON streets(name COLLATE NOCASE);
CREATE INDEX street_places_by_city ON street_places(city, street_key);
CREATE INDEX street_places_by_postcode ON street_places(postcode, street_key);
CREATE INDEX addresses_by_street ON addresses(street_key, value);
)SQL";

} // namespace gpslib::formats

#endif // FORMATS_ADDRESSSCHEMA_H_
