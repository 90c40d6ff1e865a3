#include <set>
#include <tuple>

#include "Writers.h"
#include "formats/AddressSchema.h"

namespace gpsmap::build {

// The streets (named ones only), the cities and postal codes they and their house numbers lie
// in, and the house numbers.
bool WriteAddressFile(const Map& map, const MapInfo& info, const std::string& path,
                      std::string* error) {
    const std::string& name = info.name;
    OutputDb db;
    if (!db.Create(path, format::kAddressApplicationId, format::kAddressFormatVersion,
                   format::kAddressSchema, error))
        return false;
    const std::pair<const char*, std::string> meta[] = {
        {"format", std::string(format::kAddressFormatName)},
        {"version", std::to_string(format::kAddressFormatVersion)},
        {"map", name}};
    for (const auto& [key, value] : meta)
        if (!db.Insert("INSERT INTO meta VALUES(?,?)", error, key, value)) return false;
    std::set<std::string> cities, postcodes;
    std::set<std::tuple<std::size_t, std::string, std::string>> places;
    for (std::size_t i = 0; i < map.streets.size(); ++i) {
        const Street& s = map.streets[i];
        if (s.name.empty()) continue;
        places.insert({i, s.city.empty() ? s.searchCity : s.city,
                       s.postcode.empty() ? s.searchPostcode : s.postcode});
    }
    for (const Address& a : map.addresses)
        places.insert({static_cast<std::size_t>(a.street), a.city, a.postcode});
    for (const auto& [key, city, postcode] : places) {
        if (!city.empty()) cities.insert(city);
        if (!postcode.empty()) postcodes.insert(postcode);
    }
    for (const std::string& c : cities)
        if (!db.Insert("INSERT INTO cities(name) VALUES(?)", error, c)) return false;
    for (const std::string& c : postcodes)
        if (!db.Insert("INSERT INTO postcodes(code) VALUES(?)", error, c)) return false;
    for (std::size_t i = 0; i < map.streets.size(); ++i) {
        const Street& s = map.streets[i];
        if (s.name.empty()) continue;
        if (!db.Insert("INSERT INTO streets VALUES(?,?,?)", error, i, s.name, s.ref)) return false;
    }
    for (const auto& [key, city, postcode] : places)
        if (!map.streets[key].name.empty() &&
            !db.Insert("INSERT INTO street_places VALUES(?,?,?)", error, key, city, postcode))
            return false;
    for (std::size_t i = 0; i < map.addresses.size(); ++i) {
        const Address& a = map.addresses[i];
        if (!db.Insert("INSERT INTO addresses VALUES(?,?,?,?,?,?,?,?)", error, i, a.street,
                       a.number, LeadingNumber(a.number), a.city, a.postcode, a.at.lat, a.at.lon))
            return false;
    }
    return db.Finish(error);
}

} // namespace gpsmap::build
