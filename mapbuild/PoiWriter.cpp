#include <set>

#include "Stages.h"
#include "Writers.h"
#include "formats/PoiSchema.h"

namespace gpsmap::build {

// The fields the extract has no source for (date, third-party id, tags, fax, e-mail, the flags
// and offsets) stay empty; the schema's triggers fill the spatial and word indexes.
bool WritePoiFile(const Map& map, const MapInfo& info, const std::string& path,
                  std::string* error) {
    const std::string& name = info.name;
    OutputDb db;
    if (!db.Create(path, format::kPoiApplicationId, format::kPoiFormatVersion, format::kPoiSchema,
                   error))
        return false;
    std::set<int> categories;
    for (const PoiRec& p : map.pois)
        categories.insert(p.category);
    std::string list;
    for (int c : categories) {
        list += (list.empty() ? "" : ",") + std::to_string(c);
        if (!db.Insert("INSERT INTO categories VALUES(?)", error, c)) return false;
    }
    const std::pair<const char*, std::string> meta[] = {
        {"format", std::string(format::kPoiFormatName)},
        {"version", std::to_string(format::kPoiFormatVersion)},
        {"map", name},
        {"categories", list},
        {"attribution", format::kOsmAttribution}};
    for (const auto& [key, value] : meta)
        if (!db.Insert("INSERT INTO meta VALUES(?,?)", error, key, value)) return false;
    for (std::size_t i = 0; i < map.pois.size(); ++i) {
        const PoiRec& p = map.pois[i];
        std::string city = p.city.empty() ? CityAt(map, p.at) : p.city;
        std::string postcode = p.postcode;
        if (postcode.empty())
            if (const AreaRec* a = AreaAt(map, p.at, format::kAreaPostal)) postcode = a->name;
        const AreaRec* state = AreaAt(map, p.at, format::kAreaState);
        const AreaRec* country = AreaAt(map, p.at, format::kAreaCountry);
        std::size_t key = i + 1;
        if (!db.Insert("INSERT INTO pois VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,NULL,?,"
                       "'','','','','',0,0,0,0)",
                       error, key, p.name, p.category, p.subcategory, p.at.lat, p.at.lon, p.street,
                       p.houseNumber, city, postcode, state ? state->name : std::string(),
                       country ? country->name : std::string(), p.phone, p.website, p.openingHours,
                       p.wheelchair, "", "", 0, ""))
            return false;
    }
    return db.Finish(error);
}

} // namespace gpsmap::build
