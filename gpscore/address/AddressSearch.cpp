#include "address/AddressSearch.h"

#include <algorithm>
#include <unordered_set>

#include "base/Answers.h"
#include "base/ServiceContext.h"

namespace gpscore {

using gpslib::Bstr;
using gpslib::ComPtr;

namespace {

// Map names are file names: compared ignoring the case of ASCII and Latin-1 letters.
std::u16string Lower(std::u16string text) {
    for (char16_t& c : text)
        if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c += 32;
    return text;
}

HRESULT EmptyList(VARIANT* list) {
    return gpslib::ReturnStringList(list, {});
}

std::u16string Trim(std::u16string text) {
    const auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
    while (!text.empty() && blank(text.back()))
        text.pop_back();
    std::size_t start = 0;
    while (start < text.size() && blank(text[start]))
        ++start;
    return text.substr(start);
}

std::u16string Read(IAddressRecord* record,
                    HRESULT (STDMETHODCALLTYPE IAddressRecord::*getter)(BSTR*)) {
    Bstr text;
    (record->*getter)(text.Put());
    return Text(text.Get());
}

std::u16string Read(IAddressObject* address,
                    HRESULT (STDMETHODCALLTYPE IAddressObject::*getter)(BSTR*)) {
    Bstr text;
    (address->*getter)(text.Put());
    return Text(text.Get());
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Plain helpers.

std::u16string AddressPlace::SpokenName(const std::u16string& locationName) const {
    std::u16string spoken = !locationName.empty() ? locationName
                            : !address.empty()    ? address
                                                  : name;
    if (city.empty() || spoken.empty()) return spoken.empty() ? city : spoken;
    const std::u16string lowered = Lower(spoken), lowCity = Lower(city);
    const bool saysCity =
        lowered.size() >= lowCity.size() &&
        lowered.compare(lowered.size() - lowCity.size(), lowCity.size(), lowCity) == 0;
    return saysCity ? spoken : spoken + u", " + city;
}

AddressPlace ReadAddress(IAddressObject* address) {
    AddressPlace place;
    if (address == nullptr) return place;
    place.address = Read(address, &IAddressObject::GetAddress);
    place.name = Read(address, &IAddressObject::GetName);
    place.street = Read(address, &IAddressObject::GetStreet);
    place.city = Read(address, &IAddressObject::GetCity);
    place.postalCode = Read(address, &IAddressObject::GetZipPostalcode);
    place.map = Read(address, &IAddressObject::GetMap);
    if (FAILED(address->GetLatitude(&place.latitude)) ||
        FAILED(address->GetLongitude(&place.longitude)))
        place.latitude = place.longitude = 0.0;
    return place;
}

std::vector<long> FirstOfEachLabel(const std::vector<std::u16string>& labels,
                                   std::size_t capacity) {
    std::vector<long> kept;
    std::unordered_set<std::u16string> seen;
    for (std::size_t i = 0; i < labels.size() && kept.size() < capacity; ++i)
        if (seen.insert(labels[i]).second) kept.push_back(static_cast<long>(i));
    return kept;
}

std::u16string NumberToPlace(const std::u16string& houseNumber, const std::u16string& indicator) {
    const std::u16string number = Trim(houseNumber);
    if (number == u"-1") return {};
    // A range is "<from><indicator><to>", both numbers; "14 к2" is one building even when the
    // indicator is a blank.
    const auto digit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    if (indicator.empty() || number.empty() || !digit(number[0])) return number;
    for (std::size_t at = number.find(indicator, 1); at != std::u16string::npos;
         at = number.find(indicator, at + 1)) {
        const std::size_t to = at + indicator.size();
        if (to < number.size() && digit(number[to])) return Trim(number.substr(0, at));
    }
    return number;
}

// ---------------------------------------------------------------------------------------------
// The steps.

void AddressSearch::Forget() {
    m_cityMaps.clear();
    m_postalMaps.clear();
    m_pTablesFrom = nullptr;
    m_matchIndex.clear();
}

const std::vector<AddressSearch::MapEntry>& AddressSearch::Maps(bool postal) const {
    static const std::vector<MapEntry> kNone;
    if (m_pTablesFrom == nullptr || m_pTablesFrom != m_context.m_pAddressDatabase.Get())
        return kNone;
    return postal ? m_postalMaps : m_cityMaps;
}

HRESULT AddressSearch::FindMaps(bool postal, BSTR search, VARIANT* list, SHORT* count) {
    *count = 0;
    IAddressDatabase* db = m_context.m_pAddressDatabase.Get();
    if (m_pTablesFrom != db) Forget();
    std::vector<MapEntry>& table = postal ? m_postalMaps : m_cityMaps;
    table.clear();
    m_pTablesFrom = db;
    if (db == nullptr) return EmptyList(list);
    gpslib::Variant names, ids;
    SHORT n = 0;
    HRESULT hr =
        db->DbAddressGetDatabaseList(postal ? VARIANT_TRUE : VARIANT_FALSE, &names, &ids, &n);
    if (FAILED(hr)) {
        EmptyList(list);
        return hr;
    }
    std::vector<std::u16string> nameList, idList;
    gpslib::ReadStringList(&names, &nameList);
    gpslib::ReadStringList(&ids, &idList);
    for (std::size_t i = 0; i < nameList.size() && i < idList.size(); ++i)
        table.push_back(MapEntry{nameList[i], idList[i]});
    const MapQueries map = m_context.Map();
    if (table.empty() || !map.HasEngine()) return EmptyList(list);

    std::unordered_set<std::u16string> wanted;
    for (const std::u16string& name : map.MapsMatching(gpslib::View(search)))
        wanted.insert(Lower(name));
    std::vector<std::u16string> out;
    for (const MapEntry& entry : table)
        if (wanted.count(Lower(entry.name)) != 0 && out.size() < 32767) out.push_back(entry.name);
    hr = gpslib::ReturnStringList(list, out);
    if (SUCCEEDED(hr)) *count = static_cast<SHORT>(out.size());
    return hr;
}

bool AddressSearch::StillOpen(bool postal, const std::u16string& id) const {
    gpslib::Variant names, ids;
    SHORT n = 0;
    std::vector<std::u16string> open;
    if (FAILED(m_context.m_pAddressDatabase->DbAddressGetDatabaseList(
            postal ? VARIANT_TRUE : VARIANT_FALSE, &names, &ids, &n)) ||
        FAILED(gpslib::ReadStringList(&ids, &open)))
        return false;
    return std::find(open.begin(), open.end(), id) != open.end();
}

HRESULT AddressSearch::FindPlaces(bool postal, BSTR mapName,
                                  IAddressSearchConfigurationObject* config, VARIANT* list,
                                  SHORT* count) {
    *count = 0;
    m_matchIndex.clear();
    const std::u16string wanted = Lower(Text(mapName));
    const std::u16string* id = nullptr;
    if (!wanted.empty())
        for (const MapEntry& entry : Maps(postal))
            if (Lower(entry.name) == wanted) {
                id = &entry.id;
                break;
            }
    // Maps loaded again since the map search may have taken the database away.
    if (id != nullptr && !StillOpen(postal, *id)) id = nullptr;
    if (id == nullptr) {
        EmptyList(list);
        return S_FALSE;
    }
    Bstr mapId{std::u16string_view(*id)};
    return m_context.m_pAddressDatabase->AddressDbFindCityOrPostal(
        mapId.Get(), postal ? VARIANT_TRUE : VARIANT_FALSE, config, list, count);
}

IAddressDatabase* AddressSearch::DatabaseForSearch(VARIANT* list, SHORT* count) {
    *count = 0;
    m_matchIndex.clear();
    IAddressDatabase* db = m_context.m_pAddressDatabase.Get();
    if (db == nullptr) EmptyList(list);
    return db;
}

HRESULT AddressSearch::FindStreet(IAddressSearchConfigurationObject* config, VARIANT* list,
                                  SHORT* count) {
    IAddressDatabase* db = DatabaseForSearch(list, count);
    if (db == nullptr) return S_FALSE;
    SHORT n = 0;
    HRESULT hr = db->AddressDbFindStreet(config, list, &n);
    if (FAILED(hr)) return hr;
    *count = n;
    if (n != 1) return hr;
    // One street: straight on to its house numbers, the configuration naming it.
    std::vector<std::u16string> streets;
    if (FAILED(gpslib::ReadStringList(list, &streets)) || streets.empty()) return hr;
    Bstr street{std::u16string_view(streets.front())};
    config->SetSearchName(street.Get());
    config->SetLastSearchIndex(0);
    return FindStreetAddress(config, list, count);
}

HRESULT AddressSearch::SearchAddresses(IAddressSearchConfigurationObject* config, VARIANT* list,
                                       SHORT* count) {
    IAddressDatabase* db = DatabaseForSearch(list, count);
    if (db == nullptr) return S_FALSE;
    return db->AddressDbFindAddress(config, list, count);
}

HRESULT AddressSearch::FindStreetAddress(IAddressSearchConfigurationObject* config, VARIANT* list,
                                         SHORT* count) {
    HRESULT hr = SearchAddresses(config, list, count);
    if (FAILED(hr) || hr == S_FALSE) return hr;
    AddressResults kind = AddressResultsUnknown;
    config->GetResultsType(&kind);
    if (kind != AddressResultsMultipleAddressMatches) return hr;
    return MergeMatches(list, count);
}

HRESULT AddressSearch::MergeMatches(VARIANT* list, SHORT* count) {
    std::vector<std::u16string> entries;
    HRESULT hr = gpslib::ReadStringList(list, &entries);
    if (FAILED(hr)) return hr;
    const std::size_t n = std::min<std::size_t>(entries.size(), static_cast<std::size_t>(*count));
    // Each record that exists, labelled with its place when the entry's text alone is ambiguous.
    std::vector<std::u16string> labels;
    std::vector<long> records;
    for (std::size_t i = 0; i < n; ++i) {
        ComPtr<IAddressRecord> record;
        VARIANT_BOOL exists = VARIANT_FALSE;
        if (FAILED(m_context.m_pAddressDatabase->AddressDbGetRecord(static_cast<LONG>(i),
                                                                    record.Put(), &exists)) ||
            exists == VARIANT_FALSE || !record)
            continue;
        std::u16string label = entries[i];
        double lat = 0.0, lon = 0.0;
        record->GetLatitude(&lat);
        record->GetLongitude(&lon);
        const std::u16string description = m_context.Map().DescribePosition(lat, lon);
        if (!description.empty()) label += u": " + description;
        labels.push_back(std::move(label));
        records.push_back(static_cast<long>(i));
    }
    std::vector<std::u16string> kept;
    for (long k : FirstOfEachLabel(labels, kMaxMatches)) {
        kept.push_back(labels[static_cast<std::size_t>(k)]);
        m_matchIndex.push_back(records[static_cast<std::size_t>(k)]);
    }
    hr = gpslib::ReturnStringList(list, kept);
    *count = SUCCEEDED(hr) ? static_cast<SHORT>(kept.size()) : 0;
    if (FAILED(hr)) m_matchIndex.clear();
    return hr;
}

HRESULT AddressSearch::Get(IAddressSearchConfigurationObject* config, IAddressObject** address,
                           VARIANT_BOOL* found) {
    *address = nullptr;
    *found = VARIANT_FALSE;
    IAddressDatabase* db = m_context.m_pAddressDatabase.Get();
    if (db == nullptr) return S_FALSE;
    LONG index = -1;
    config->GetLastSearchIndex(&index);
    if (!m_matchIndex.empty()) {
        if (index < 0 || static_cast<std::size_t>(index) >= m_matchIndex.size()) return S_FALSE;
        index = static_cast<LONG>(m_matchIndex[static_cast<std::size_t>(index)]);
    }
    ComPtr<IAddressRecord> record;
    VARIANT_BOOL exists = VARIANT_FALSE;
    HRESULT hr = db->AddressDbGetRecord(index, record.Put(), &exists);
    if (FAILED(hr) || exists == VARIANT_FALSE || !record) return S_FALSE;

    Bstr indicator;
    config->GetAddressRangeIndicator(indicator.Put());
    const std::u16string number =
        NumberToPlace(Read(record.Get(), &IAddressRecord::GetHouseNumber), Text(indicator.Get()));
    const std::u16string street = Read(record.Get(), &IAddressRecord::GetStreet);
    const std::u16string city = Read(record.Get(), &IAddressRecord::GetCity);
    const std::u16string postal = Read(record.Get(), &IAddressRecord::GetPostalCode);
    const std::u16string map = Read(record.Get(), &IAddressRecord::GetMap);
    LONG key = 0;
    record->GetStreetKey(&key);
    const auto position = m_context.Map().AddressPosition({map, street, city, postal, number, key});
    if (!position) return S_FALSE;
    const auto [lat, lon] = *position;
    Bstr mapText{std::u16string_view(map)}, streetText{std::u16string_view(street)},
        cityText{std::u16string_view(city)}, postalText{std::u16string_view(postal)};

    // "12 Main Street", or the street alone.
    const std::u16string text = number.empty() ? street : number + u" " + street;
    Bstr textBstr{std::u16string_view(text)};
    ComPtr<ILocationObject> location;
    ComPtr<IAddressObject> result;
    if (FAILED(gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &location)) ||
        FAILED(gpslib::CreateObject(CLSID_AddressObject, IID_IAddressObject, &result)))
        return S_FALSE;
    location->SetName(textBstr.Get());
    location->SetLatitude(lat);
    location->SetLongitude(lon);
    HRESULT built = result->SetLocation(location.Get());
    if (SUCCEEDED(built)) built = result->SetAddress(textBstr.Get());
    if (SUCCEEDED(built)) built = result->SetName(textBstr.Get());
    if (SUCCEEDED(built)) built = result->SetStreet(streetText.Get());
    if (SUCCEEDED(built)) built = result->SetCity(cityText.Get());
    if (SUCCEEDED(built)) built = result->SetZipPostalcode(postalText.Get());
    if (SUCCEEDED(built)) built = result->SetMap(mapText.Get());
    if (FAILED(built)) return S_FALSE;
    *address = result.Detach();
    *found = VARIANT_TRUE;
    return S_OK;
}

HRESULT AddressSearch::CrossStreets(IAddressSearchConfigurationObject* config,
                                    VARIANT_BOOL matchPostalOnly, VARIANT* list, SHORT* count) {
    gpslib::Variant addresses;
    SHORT n = 0;
    HRESULT hr = SearchAddresses(config, &addresses, &n);
    *count = 0;
    if (FAILED(hr)) {
        EmptyList(list);
        return hr;
    }
    ComPtr<IAddressRecord> record;
    VARIANT_BOOL exists = VARIANT_FALSE;
    if (hr == S_FALSE || n <= 0 || !m_context.Map().HasEngine() ||
        FAILED(m_context.m_pAddressDatabase->AddressDbGetRecord(0, record.Put(), &exists)) ||
        exists == VARIANT_FALSE || !record) {
        gpslib::ReturnObjectList(list, {}, IID_IAddressObject);
        return S_FALSE;
    }
    MapQueries::Address address;
    address.map = Read(record.Get(), &IAddressRecord::GetMap);
    address.street = Read(record.Get(), &IAddressRecord::GetStreet);
    address.city = Read(record.Get(), &IAddressRecord::GetCity);
    address.postalCode = Read(record.Get(), &IAddressRecord::GetPostalCode);
    record->GetStreetKey(&address.streetKey);
    return m_context.Map().AddressCrossStreets(address, matchPostalOnly != 0, list, count);
}

} // namespace gpscore
