#include "AddressDatabase.h"

#include <algorithm>
#include <cstdlib>
#include <map>

#include "Text.h"
#include "formats/HouseNumber.h"
#include "os/path.h"

namespace gpsdb {

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;
using gpslib::formats::HouseNumber;
using gpslib::formats::ParseHouseNumber;
using gpslib::formats::SameHouseNumber;

std::string Text(BSTR text) {
    return gpslib::ToUtf8(text);
}

struct Search {
    std::string name, number, indicator = " - ";
    LONG index = -1, max = -1;
    bool startsWith = true;
};

Search ReadSearch(IAddressSearchConfigurationObject* c) {
    Search s;
    if (c == nullptr) return s;
    Bstr name, number, indicator;
    c->GetSearchName(name.Put());
    c->GetStreetAddressNumber(number.Put());
    c->GetAddressRangeIndicator(indicator.Put());
    VARIANT_BOOL startsWith = VARIANT_TRUE;
    c->IsStartsWithEnabled(&startsWith);
    c->GetLastSearchIndex(&s.index);
    c->GetMaxItemsToReturn(&s.max);
    s.name = name.Utf8();
    s.number = number.Utf8();
    s.indicator = indicator.Utf8();
    s.startsWith = startsWith != 0;
    return s;
}

void SetResults(IAddressSearchConfigurationObject* c, AddressResults kind) {
    if (c != nullptr) c->SetResultsType(kind);
}

// Sorted ignoring case and accents, without duplicates, cut at `max` (below 0: no limit).
void SortNames(std::vector<std::string>* names, LONG max) {
    std::vector<std::pair<std::string, std::string>> keyed;
    for (std::string& n : *names)
        keyed.emplace_back(FoldName(n), std::move(n));
    std::sort(keyed.begin(), keyed.end());
    keyed.erase(std::unique(keyed.begin(), keyed.end(),
                            [](const auto& a, const auto& b) { return a.second == b.second; }),
                keyed.end());
    names->clear();
    for (auto& k : keyed) {
        if (max >= 0 && static_cast<LONG>(names->size()) >= max) break;
        names->push_back(std::move(k.second));
    }
}

HRESULT ReturnNames(VARIANT* list, const std::vector<std::string>& names, SHORT* count) {
    std::vector<std::u16string> items;
    for (const std::string& n : names) {
        if (items.size() >= 32767) break;
        items.push_back(gpslib::ToUtf16(n));
    }
    *count = static_cast<SHORT>(items.size());
    return gpslib::ReturnStringList(list, items);
}

struct Point {
    std::string number, city, postcode;
    std::int64_t value = 0;
    double lat = 0.0, lon = 0.0;
};

} // namespace

HRESULT CAddressDatabase::OpenDatabases(BSTR bstrDirectory, SHORT* pnCount) {
    if (pnCount == nullptr) return E_POINTER;
    *pnCount = 0;
    Close();
    const std::string dir = gpslib::os::NativePath(Text(bstrDirectory));
    if (dir.empty()) return S_OK;
    for (const std::string& name : FolderFiles(dir, ".cpd")) {
        const std::string path = gpslib::os::NativePath(gpslib::os::JoinPath(dir, name));
        std::string error;
        File f;
        f.db = Database::Open(path, Database::Mode::ReadOnly, &error);
        if (f.db != nullptr) {
            std::int64_t appId = f.db->QueryInt("PRAGMA application_id", -1);
            std::int64_t version = f.db->QueryInt("PRAGMA user_version", -1);
            if (appId != gpslib::formats::kAddressApplicationId)
                error = "not an address database";
            else if (version != gpslib::formats::kAddressFormatVersion)
                error = "format version " + std::to_string(version) + " is not read here";
            else if (f.db->Prepare("SELECT key, name FROM streets") == nullptr ||
                     f.db->Prepare("SELECT street_key, city, postcode FROM street_places") ==
                         nullptr ||
                     f.db->Prepare("SELECT street_key, number, value, city, postcode, lat, lon "
                                   "FROM addresses") == nullptr)
                error = "unexpected schema: " + f.db->LastError();
        }
        if (!error.empty() || f.db == nullptr) {
            std::string line = "AddressDatabase: refused ";
            line.append(path).append(": ").append(error);
            m_log.Write(line);
            continue;
        }
        Statement* s = f.db->Prepare("SELECT value FROM meta WHERE key = 'map'");
        f.map = s != nullptr && s->Step() ? s->Text(0) : gpslib::os::StemOf(name);
        if (f.map.empty()) f.map = gpslib::os::StemOf(name);
        f.id = path;
        f.hasCities = f.db->QueryInt("SELECT count(*) > 0 FROM cities", 0) != 0;
        f.hasPostcodes = f.db->QueryInt("SELECT count(*) > 0 FROM postcodes", 0) != 0;
        m_files.push_back(std::move(f));
        ++*pnCount;
    }
    m_log.Write("AddressDatabase: " + std::to_string(*pnCount) + " address databases open in " +
                dir);
    return S_OK;
}

HRESULT CAddressDatabase::Close() {
    ForgetSearches();
    m_files.clear();
    return S_OK;
}

void CAddressDatabase::ForgetSearches() {
    m_file = nullptr;
    m_places.clear();
    m_havePlaces = false;
    m_place.clear();
    m_streets.clear();
    m_haveStreets = false;
    m_addresses.clear();
}

CAddressDatabase::File* CAddressDatabase::FileById(const std::string& id) {
    for (File& f : m_files)
        if (f.id == gpslib::os::NativePath(id)) return &f;
    return nullptr;
}

HRESULT CAddressDatabase::DbAddressGetDatabaseList(VARIANT_BOOL bPostal, VARIANT* pvarMapNames,
                                                   VARIANT* pvarMapIds, SHORT* pnCount) {
    if (pvarMapNames == nullptr || pvarMapIds == nullptr || pnCount == nullptr) return E_POINTER;
    std::vector<std::u16string> names, ids;
    for (const File& f : m_files) {
        if (!(bPostal ? f.hasPostcodes : f.hasCities)) continue;
        names.push_back(gpslib::ToUtf16(f.map));
        ids.push_back(gpslib::ToUtf16(f.id));
    }
    *pnCount = static_cast<SHORT>(names.size());
    HRESULT hr = gpslib::ReturnStringList(pvarMapNames, names);
    return FAILED(hr) ? hr : gpslib::ReturnStringList(pvarMapIds, ids);
}

HRESULT CAddressDatabase::AddressDbFindCityOrPostal(BSTR bstrMapId, VARIANT_BOOL bPostal,
                                                    IAddressSearchConfigurationObject* pConfig,
                                                    VARIANT* pvarMatches, SHORT* pnCount) {
    if (pvarMatches == nullptr || pnCount == nullptr) return E_POINTER;
    ForgetSearches();
    Search search = ReadSearch(pConfig);
    SetResults(pConfig, bPostal ? AddressResultsZipPostal : AddressResultsCityNames);
    m_file = FileById(Text(bstrMapId));
    m_postal = bPostal != 0;
    m_havePlaces = m_file != nullptr;
    if (m_file != nullptr) {
        Statement* s = m_file->db->Prepare(m_postal ? "SELECT code FROM postcodes"
                                                    : "SELECT name FROM cities");
        const MatchMode mode = search.startsWith ? MatchMode::StartsWith : MatchMode::Anywhere;
        while (s != nullptr && s->Step()) {
            std::string name = s->Text(0);
            if (NameMatches(name, search.name, mode)) m_places.push_back(std::move(name));
        }
        SortNames(&m_places, search.max);
    }
    return ReturnNames(pvarMatches, m_places, pnCount);
}

// The streets (key, name) of the chosen city or postal code, or of the whole map when none is
// chosen; null when the statement cannot be prepared.
Statement* CAddressDatabase::StreetsOfPlace() {
    Statement* s = m_place.empty()
                       ? m_file->db->Prepare("SELECT key, name FROM streets")
                       : m_file->db->Prepare(
                             m_postal ? "SELECT DISTINCT s.key, s.name FROM street_places p JOIN "
                                        "streets s ON s.key = p.street_key WHERE p.postcode = ?1"
                                      : "SELECT DISTINCT s.key, s.name FROM street_places p JOIN "
                                        "streets s ON s.key = p.street_key WHERE p.city = ?1");
    if (s != nullptr && !m_place.empty()) s->BindText(1, m_place);
    return s;
}

HRESULT CAddressDatabase::AddressDbFindStreet(IAddressSearchConfigurationObject* pConfig,
                                              VARIANT* pvarStreets, SHORT* pnCount) {
    if (pvarStreets == nullptr || pnCount == nullptr) return E_POINTER;
    Search search = ReadSearch(pConfig);
    m_streets.clear();
    m_addresses.clear();
    m_haveStreets = false;
    std::vector<std::string> names;
    if (m_file != nullptr) {
        SetResults(pConfig, AddressResultsStreetNames);
        m_place = search.index >= 0 && static_cast<std::size_t>(search.index) < m_places.size()
                      ? m_places[static_cast<std::size_t>(search.index)]
                      : std::string();
        // One entry per street name of the place, whatever its case and accents: the pieces of
        // one street the compiler could not join (too far apart, written differently) are
        // listed once, and the address step takes all of them.
        Statement* s = StreetsOfPlace();
        std::map<std::string, Street> byName;
        const MatchMode mode = search.startsWith ? MatchMode::StartsWith : MatchMode::Anywhere;
        while (s != nullptr && s->Step()) {
            std::string name = s->Text(1);
            if (name.empty() || !NameMatches(name, search.name, mode)) continue;
            Street& street = byName[FoldName(name)];
            if (street.name.empty()) street.name = std::move(name);
            street.keys.push_back(s->Int(0));
        }
        std::map<std::string, const Street*> byShown;
        for (const auto& entry : byName) {
            names.push_back(entry.second.name);
            byShown[entry.second.name] = &entry.second;
        }
        SortNames(&names, search.max);
        for (const std::string& n : names)
            m_streets.push_back(*byShown[n]);
        m_haveStreets = true;
    }
    return ReturnNames(pvarStreets, names, pnCount);
}

HRESULT CAddressDatabase::AddressDbFindAddress(IAddressSearchConfigurationObject* pConfig,
                                               VARIANT* pvarAddresses, SHORT* pnCount) {
    if (pvarAddresses == nullptr || pnCount == nullptr) return E_POINTER;
    Search search = ReadSearch(pConfig);
    m_addresses.clear();
    const Street* street = nullptr;
    Street named;
    if (m_haveStreets && search.index >= 0 &&
        static_cast<std::size_t>(search.index) < m_streets.size()) {
        street = &m_streets[static_cast<std::size_t>(search.index)];
    } else if (m_file != nullptr && !search.name.empty()) {
        // No street chosen from a list: the street of that name in the chosen city or code.
        for (const Street& s : m_streets)
            if (FoldName(s.name) == FoldName(search.name)) street = &s;
        if (street == nullptr) {
            Statement* s = StreetsOfPlace();
            while (s != nullptr && s->Step())
                if (FoldName(s->Text(1)) == FoldName(search.name)) {
                    named.name = s->Text(1);
                    named.keys.push_back(s->Int(0));
                }
            if (!named.keys.empty()) street = &named;
        }
    }
    std::vector<std::string> labels;
    if (street != nullptr) {
        const HouseNumber wanted = ParseHouseNumber(search.number);
        for (std::int64_t key : street->keys) {
            std::vector<Point> points;
            Statement* s = m_file->db->Prepare("SELECT number, value, city, postcode, lat, lon "
                                               "FROM addresses WHERE street_key = ?1 "
                                               "ORDER BY value, number, id");
            if (s == nullptr) break;
            s->Bind(1, key);
            while (s->Step())
                points.push_back(Point{s->Text(0), s->Text(2), s->Text(3), s->Int(1), s->Double(4),
                                       s->Double(5)});
            AddressEntry base;
            base.map = m_file->map;
            base.mapId = m_file->id;
            base.street = street->name;
            base.streetKey = key;
            base.city = m_postal ? std::string() : m_place;
            base.postalCode = m_postal ? m_place : std::string();
            if (!points.empty()) {
                if (base.city.empty()) base.city = points.front().city;
                if (base.postalCode.empty()) base.postalCode = points.front().postcode;
            }
            if (search.number.empty()) {
                AddressEntry e = base;
                if (points.empty()) {
                    e.houseNumber = "-1";
                    labels.push_back(street->name);
                } else {
                    const Point& mid = points[points.size() / 2];
                    e.houseNumber = points.size() == 1 ? points.front().number
                                                       : points.front().number + search.indicator +
                                                             points.back().number;
                    e.latitude = mid.lat;
                    e.longitude = mid.lon;
                    labels.push_back(e.houseNumber + " " + street->name);
                }
                m_addresses.push_back(std::move(e));
                continue;
            }
            // The building asked for; else every building of that number; else a number the
            // stretch's range holds, placed between its neighbours.
            std::vector<const Point*> matches;
            for (const Point& p : points)
                if (SameHouseNumber(p.number, search.number)) matches.push_back(&p);
            if (matches.empty() && wanted.value > 0)
                for (const Point& p : points)
                    if (p.value == wanted.value) matches.push_back(&p);
            for (const Point* p : matches) {
                AddressEntry e = base;
                e.houseNumber = p->number;
                e.latitude = p->lat;
                e.longitude = p->lon;
                labels.push_back(p->number + " " + street->name);
                m_addresses.push_back(std::move(e));
            }
            if (!matches.empty() || wanted.value <= 0 || points.empty() ||
                points.front().value > wanted.value || wanted.value > points.back().value)
                continue;
            auto upper = std::find_if(points.begin(), points.end(),
                                      [&](const Point& p) { return p.value >= wanted.value; });
            auto lower = upper == points.begin() ? upper : upper - 1;
            double t = upper->value == lower->value
                           ? 0.0
                           : static_cast<double>(wanted.value - lower->value) /
                                 static_cast<double>(upper->value - lower->value);
            AddressEntry e = base;
            e.houseNumber = search.number;
            e.latitude = lower->lat + t * (upper->lat - lower->lat);
            e.longitude = lower->lon + t * (upper->lon - lower->lon);
            labels.push_back(search.number + " " + street->name);
            m_addresses.push_back(std::move(e));
        }
    }
    if (search.max >= 0 && static_cast<LONG>(labels.size()) > search.max) {
        labels.resize(static_cast<std::size_t>(search.max));
        m_addresses.resize(static_cast<std::size_t>(search.max));
    }
    SetResults(pConfig, labels.empty()          ? AddressResultsUnknown
                        : search.number.empty() ? AddressResultsAddressRanges
                        : labels.size() == 1    ? AddressResultsSingleAddress
                                                : AddressResultsMultipleAddressMatches);
    return ReturnNames(pvarAddresses, labels, pnCount);
}

HRESULT CAddressDatabase::AddressDbGetRecord(LONG nIndex, IAddressRecord** ppRecord,
                                             VARIANT_BOOL* pbFound) {
    if (ppRecord == nullptr || pbFound == nullptr) return E_POINTER;
    *ppRecord = nullptr;
    *pbFound = VARIANT_FALSE;
    if (nIndex < 0 || static_cast<std::size_t>(nIndex) >= m_addresses.size()) return S_OK;
    const AddressEntry& a = m_addresses[static_cast<std::size_t>(nIndex)];
    ComPtr<IAddressRecord> r;
    HRESULT hr = gpslib::CreateObject(CLSID_AddressRecord, IID_IAddressRecord, &r);
    if (FAILED(hr)) return hr;
    r->SetMap(Bstr(a.map).Get());
    r->SetMapId(Bstr(a.mapId).Get());
    r->SetCity(Bstr(a.city).Get());
    r->SetPostalCode(Bstr(a.postalCode).Get());
    r->SetStreet(Bstr(a.street).Get());
    r->SetHouseNumber(Bstr(a.houseNumber).Get());
    r->SetStreetKey(static_cast<LONG>(a.streetKey));
    r->SetLatitude(a.latitude);
    r->SetLongitude(a.longitude);
    *ppRecord = r.Detach();
    *pbFound = VARIANT_TRUE;
    return S_OK;
}

HRESULT CAddressDatabase::SetDebugDirectory(BSTR bstrDebugDirectory) {
    m_log.SetDirectory(Text(bstrDebugDirectory));
    return S_OK;
}

} // namespace gpsdb

GPSLIB_CLASS_FACTORY(AddressDatabase, gpsdb::CAddressDatabase)
