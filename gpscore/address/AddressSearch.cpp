#include "address/AddressSearch.h"

#include <gpslib/GPSDatabaseLib.h>

#include <algorithm>
#include <tuple>
#include <unordered_set>

#include "address/AddressSearchConfigurationObject.h"
#include "base/LocationObject.h"
#include "base/ServiceContext.h"
#include "formats/WordFold.h"

namespace gpscore {

using gpslib::Bstr;
using gpslib::ComPtr;
using gpslib::formats::FoldText;

namespace {

// Map names are file names: compared ignoring the case of ASCII and Latin-1 letters.

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

AddressList Failed(HRESULT hr) {
    AddressList failed;
    failed.outcome = AddressOutcome::kFailed;
    failed.failure = hr;
    return failed;
}

AddressList Nothing() {
    AddressList nothing;
    nothing.outcome = AddressOutcome::kNothing;
    return nothing;
}

// A search of the address database with the client's configuration: the database reads the
// query from a configuration object and writes the kind of its list into it, which `query`
// takes back. `search` calls the database with that object and a list to fill; the answer is
// the list it filled, or its failure.
template <class Search> AddressList WithConfiguration(AddressQuery& query, Search search) {
    ComPtr<IAddressSearchConfigurationObject> config = NewAddressSearchConfiguration(query);
    gpslib::Variant list;
    SHORT count = 0;
    HRESULT hr = search(config.Get(), &list, &count);
    if (config) query = ReadAddressQuery(config.Get());
    AddressList answer = hr == S_FALSE ? Nothing() : AddressList{};
    if (SUCCEEDED(hr)) hr = gpslib::ReadStringList(&list, &answer.entries);
    return FAILED(hr) ? Failed(hr) : answer;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Plain helpers.

std::u16string AddressPlace::SpokenName(const std::u16string& locationName) const {
    std::u16string spoken = !locationName.empty() ? locationName
                            : !address.empty()    ? address
                                                  : name;
    if (city.empty() || spoken.empty()) return spoken.empty() ? city : spoken;
    const std::u16string lowered = FoldText(spoken), lowCity = FoldText(city);
    const bool saysCity =
        lowered.size() >= lowCity.size() &&
        lowered.compare(lowered.size() - lowCity.size(), lowCity.size(), lowCity) == 0;
    return saysCity ? spoken : spoken + u", " + city;
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
    std::u16string number = Trim(houseNumber);
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
    m_tablesFrom = nullptr;
    m_matchIndex.clear();
}

const std::vector<AddressSearch::MapEntry>& AddressSearch::Maps(bool postal) const {
    static const std::vector<MapEntry> kNone;
    if (m_tablesFrom == nullptr || m_tablesFrom != m_context.m_pAddressDatabase.Get()) return kNone;
    return postal ? m_postalMaps : m_cityMaps;
}

AddressList AddressSearch::FindMaps(bool postal, std::u16string_view search) {
    IAddressDatabase* db = m_context.m_pAddressDatabase.Get();
    if (m_tablesFrom != db) Forget();
    std::vector<MapEntry>& table = postal ? m_postalMaps : m_cityMaps;
    table.clear();
    m_tablesFrom = db;
    if (db == nullptr) return {};
    gpslib::Variant names, ids;
    SHORT n = 0;
    HRESULT hr = db->DbAddressGetDatabaseList(gpslib::VariantBool(postal), &names, &ids, &n);
    if (FAILED(hr)) return Failed(hr);
    std::vector<std::u16string> nameList, idList;
    gpslib::ReadStringList(&names, &nameList);
    gpslib::ReadStringList(&ids, &idList);
    for (std::size_t i = 0; i < nameList.size() && i < idList.size(); ++i)
        table.push_back(MapEntry{nameList[i], idList[i]});
    const MapQueries map = m_context.Map();
    if (table.empty() || !map.HasEngine()) return {};

    std::unordered_set<std::u16string> wanted;
    for (const std::u16string& name : map.MapsMatching(search))
        wanted.insert(FoldText(name));
    AddressList answer;
    for (const MapEntry& entry : table)
        if (wanted.count(FoldText(entry.name)) != 0 && answer.entries.size() < 32767)
            answer.entries.push_back(entry.name);
    return answer;
}

bool AddressSearch::StillOpen(bool postal, const std::u16string& id) const {
    gpslib::Variant names, ids;
    SHORT n = 0;
    std::vector<std::u16string> open;
    if (FAILED(m_context.m_pAddressDatabase->DbAddressGetDatabaseList(gpslib::VariantBool(postal),
                                                                      &names, &ids, &n)) ||
        FAILED(gpslib::ReadStringList(&ids, &open)))
        return false;
    return std::find(open.begin(), open.end(), id) != open.end();
}

AddressList AddressSearch::FindPlaces(bool postal, std::u16string_view mapName,
                                      AddressQuery& query) {
    m_matchIndex.clear();
    const std::u16string wanted = FoldText(std::u16string(mapName));
    const std::u16string* id = nullptr;
    if (!wanted.empty())
        for (const MapEntry& entry : Maps(postal))
            if (FoldText(entry.name) == wanted) {
                id = &entry.id;
                break;
            }
    // Maps loaded again since the map search may have taken the database away.
    if (id != nullptr && !StillOpen(postal, *id)) id = nullptr;
    if (id == nullptr) return Nothing();
    const Bstr mapId{std::u16string_view(*id)};
    IAddressDatabase* db = m_context.m_pAddressDatabase.Get();
    return WithConfiguration(
        query, [&](IAddressSearchConfigurationObject* config, VARIANT* list, SHORT* count) {
            return db->AddressDbFindCityOrPostal(mapId.Get(), gpslib::VariantBool(postal), config,
                                                 list, count);
        });
}

AddressList AddressSearch::FindStreet(AddressQuery& query) {
    m_matchIndex.clear();
    IAddressDatabase* db = m_context.m_pAddressDatabase.Get();
    if (db == nullptr) return Nothing();
    AddressList streets = WithConfiguration(
        query, [db](IAddressSearchConfigurationObject* config, VARIANT* list, SHORT* count) {
            return db->AddressDbFindStreet(config, list, count);
        });
    if (streets.outcome != AddressOutcome::kListed || streets.entries.size() != 1) return streets;
    // One street: straight on to its house numbers, the configuration naming it.
    query.searchName = streets.entries.front();
    query.lastSearchIndex = 0;
    return FindStreetAddress(query);
}

AddressList AddressSearch::SearchAddresses(AddressQuery& query) {
    m_matchIndex.clear();
    IAddressDatabase* db = m_context.m_pAddressDatabase.Get();
    if (db == nullptr) return Nothing();
    return WithConfiguration(
        query, [db](IAddressSearchConfigurationObject* config, VARIANT* list, SHORT* count) {
            return db->AddressDbFindAddress(config, list, count);
        });
}

AddressList AddressSearch::FindStreetAddress(AddressQuery& query) {
    AddressList addresses = SearchAddresses(query);
    if (addresses.outcome == AddressOutcome::kListed &&
        query.resultsType == AddressResultsMultipleAddressMatches)
        MergeMatches(addresses);
    return addresses;
}

void AddressSearch::MergeMatches(AddressList& list) {
    // Each record that exists, labelled with its place when the entry's text alone is ambiguous.
    std::vector<std::u16string> labels;
    std::vector<long> records;
    for (std::size_t i = 0; i < list.entries.size(); ++i) {
        ComPtr<IAddressRecord> record;
        VARIANT_BOOL exists = VARIANT_FALSE;
        if (FAILED(m_context.m_pAddressDatabase->AddressDbGetRecord(static_cast<LONG>(i),
                                                                    record.Put(), &exists)) ||
            exists == VARIANT_FALSE || !record)
            continue;
        std::u16string label = list.entries[i];
        double lat = 0.0, lon = 0.0;
        record->GetLatitude(&lat);
        record->GetLongitude(&lon);
        const std::u16string description = m_context.Map().DescribePosition(lat, lon);
        if (!description.empty()) label += u": " + description;
        labels.push_back(std::move(label));
        records.push_back(static_cast<long>(i));
    }
    list.entries.clear();
    for (long k : FirstOfEachLabel(labels, kMaxMatches)) {
        list.entries.push_back(labels[static_cast<std::size_t>(k)]);
        m_matchIndex.push_back(records[static_cast<std::size_t>(k)]);
    }
}

std::optional<AddressPlace> AddressSearch::Get(const AddressQuery& query) {
    IAddressDatabase* db = m_context.m_pAddressDatabase.Get();
    if (db == nullptr) return std::nullopt;
    LONG index = query.lastSearchIndex;
    if (!m_matchIndex.empty()) {
        if (index < 0 || static_cast<std::size_t>(index) >= m_matchIndex.size())
            return std::nullopt;
        index = static_cast<LONG>(m_matchIndex[static_cast<std::size_t>(index)]);
    }
    ComPtr<IAddressRecord> record;
    VARIANT_BOOL exists = VARIANT_FALSE;
    HRESULT hr = db->AddressDbGetRecord(index, record.Put(), &exists);
    if (FAILED(hr) || exists == VARIANT_FALSE || !record) return std::nullopt;

    const std::u16string number =
        NumberToPlace(Read(record.Get(), &IAddressRecord::GetHouseNumber), query.rangeIndicator);
    AddressPlace place;
    place.street = Read(record.Get(), &IAddressRecord::GetStreet);
    place.city = Read(record.Get(), &IAddressRecord::GetCity);
    place.postalCode = Read(record.Get(), &IAddressRecord::GetPostalCode);
    place.map = Read(record.Get(), &IAddressRecord::GetMap);
    LONG key = 0;
    record->GetStreetKey(&key);
    const auto position = m_context.Map().AddressPosition(
        {place.map, place.street, place.city, place.postalCode, number, key});
    if (!position) return std::nullopt;
    std::tie(place.latitude, place.longitude) = *position;
    // "12 Main Street", or the street alone.
    place.address = number.empty() ? place.street : number + u" " + place.street;
    place.name = place.address;
    return place;
}

CrossStreetSearch AddressSearch::CrossStreets(AddressQuery& query) {
    const AddressList addresses = SearchAddresses(query);
    CrossStreetSearch answer;
    if (addresses.outcome == AddressOutcome::kFailed) {
        answer.outcome = AddressOutcome::kFailed;
        answer.failure = addresses.failure;
        return answer;
    }
    ComPtr<IAddressRecord> record;
    VARIANT_BOOL exists = VARIANT_FALSE;
    if (addresses.outcome == AddressOutcome::kNothing || addresses.entries.empty() ||
        !m_context.Map().HasEngine() ||
        FAILED(m_context.m_pAddressDatabase->AddressDbGetRecord(0, record.Put(), &exists)) ||
        exists == VARIANT_FALSE || !record)
        return answer;
    MapQueries::Address& street = answer.street.emplace();
    street.map = Read(record.Get(), &IAddressRecord::GetMap);
    street.street = Read(record.Get(), &IAddressRecord::GetStreet);
    street.city = Read(record.Get(), &IAddressRecord::GetCity);
    street.postalCode = Read(record.Get(), &IAddressRecord::GetPostalCode);
    record->GetStreetKey(&street.streetKey);
    answer.outcome = AddressOutcome::kListed;
    return answer;
}

} // namespace gpscore
