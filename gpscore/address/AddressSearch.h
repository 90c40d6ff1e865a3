// Address search: the maps for a city or postal search, then city, postal code, street and house
// number step by step, and the cross streets of an address. The home of AddressFindMapsFor…,
// AddressFindCity, AddressFindPostal, AddressFindStreet, AddressFindStreetAddress, AddressGet and
// AddressGetCrossStreets. The address database of the context does the searching and keeps the
// list of each step; this part keeps what lies between the steps (which map name stands for
// which database, which entry of a merged list stands for which database record), merges the
// entries of several matches that name the same place, and answers the address found as plain
// values; the facade reads and writes the client's configuration and makes the objects.
#ifndef GPSCORE_ADDRESS_ADDRESSSEARCH_H_
#define GPSCORE_ADDRESS_ADDRESSSEARCH_H_

#include <gpslib/GPSLib_enums.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/MapQueries.h"

namespace gpscore {

struct ServiceContext;

// What an address says: enough for every user of an address (the destination, the virtual
// walker, favorites) to place it and name it. The address objects read into it and are made from
// it beside them (address/AddressObject.h).
struct AddressPlace {
    std::u16string address; // "12 Main Street"; the street alone when it has no number
    std::u16string name;    // the object's name (the address text for the search's own objects)
    std::u16string street, city, postalCode, map;
    double latitude = 0.0, longitude = 0.0;
    // Whether it holds a position (0.0/0.0 is none).
    bool HasPosition() const { return latitude != 0.0 || longitude != 0.0; }
    // The name to speak and store for the place: the inner location's name, else the address
    // text, else the object's name; then ", " and the city when there is a city and the name
    // does not end with it already ("12 Main Street, Springfield"); the city alone when there is
    // no name at all.
    std::u16string SpokenName(const std::u16string& locationName) const;
};

// The state of a step-by-step search as the client's configuration holds it: read from it before
// a step and written back after it (address/AddressSearchConfigurationObject.h). The steps set
// the kind of the last list and, when a street search finds one street, the street chosen.
struct AddressQuery {
    std::u16string searchName;
    std::int32_t lastSearchIndex = -1;
    bool startsWith = true;
    std::u16string houseNumber;
    AddressResults resultsType = AddressResultsUnknown;
    std::u16string rangeIndicator;
    std::int32_t maxItems = -1;
    bool operator==(const AddressQuery&) const = default;
};

// How a step ended: a list (possibly empty), nothing to search (no address database, a map name
// the map search did not list), or the address database failed.
enum class AddressOutcome { kListed, kNothing, kFailed };

// A step's list and how it ended.
struct AddressList {
    AddressOutcome outcome = AddressOutcome::kListed;
    // The database's own status when it failed, handed on to the client unchanged.
    std::int32_t failure = 0;
    std::vector<std::u16string> entries;
};

// The street whose cross streets the maps are asked for.
struct CrossStreetSearch {
    AddressOutcome outcome = AddressOutcome::kNothing;
    std::int32_t failure = 0;
    // Set when the outcome is kListed.
    std::optional<MapQueries::Address> street;
};

// Which entries of a list of several matches to keep: `labels[i]` is entry i's label already
// completed with its position's description; an entry whose label an earlier entry has is
// dropped. Answers the kept indices in order, at most `capacity` of them.
std::vector<long> FirstOfEachLabel(const std::vector<std::u16string>& labels, std::size_t capacity);

// The house number to place an address record by: the first number of a range written with
// `indicator` ("100" of "100 - 120"), empty for "-1" (a street without numbers), else the text as
// written ("14 к2", whose part names the building).
std::u16string NumberToPlace(const std::u16string& houseNumber, const std::u16string& indicator);

// REQUIRES for every method: the service's core lock held.
class AddressSearch {
public:
    // At most this many entries of a merged list of several matches are kept.
    static constexpr std::size_t kMaxMatches = 1000;

    explicit AddressSearch(ServiceContext& context) : m_context(context) {}
    AddressSearch(const AddressSearch&) = delete;
    AddressSearch& operator=(const AddressSearch&) = delete;

    // The address databases (cities, or postal codes with `postal`) whose map the map engine
    // finds for `search`; remembers which database each name stands for. An empty list without
    // an address database.
    AddressList FindMaps(bool postal, std::u16string_view search);
    // The cities (or postal codes) of the map named as the last map search of that kind listed
    // it; nothing for an empty name, a name that search did not list, or no address database.
    AddressList FindPlaces(bool postal, std::u16string_view mapName, AddressQuery& query);
    // The streets of the chosen city or postal code; a single street goes on to its house
    // numbers at once, and `query` then names it (index 0).
    AddressList FindStreet(AddressQuery& query);
    // The house numbers or ranges of the chosen street; several places of one number are told
    // apart by their position's description, and those that still read alike are one entry.
    AddressList FindStreetAddress(AddressQuery& query);
    // The address of the entry at the query's lastSearchIndex in the last list, with its
    // position (its name is the address text); none when there is no such entry or no position.
    std::optional<AddressPlace> Get(const AddressQuery& query);
    // The street the address search of `query` finds first, to ask the maps for its cross
    // streets; nothing when that search finds nothing or no map engine is loaded.
    CrossStreetSearch CrossStreets(AddressQuery& query);
    // Forgets the map tables and the match table (Stop).
    void Forget();

private:
    struct MapEntry {
        std::u16string name, id;
    };
    // The table of the kind, empty when it was built from another address database than the
    // context's (a database created since the map search).
    const std::vector<MapEntry>& Maps(bool postal) const;
    // Whether the address database still has the database `id` open (the maps may have been
    // loaded again since the map search).
    bool StillOpen(bool postal, const std::u16string& id) const;
    // The address search proper, without the merging; the earlier matches forgotten.
    AddressList SearchAddresses(AddressQuery& query);
    // Replaces a list of several matches by its merged entries; fills the match table.
    void MergeMatches(AddressList& list);

    ServiceContext& m_context;
    std::vector<MapEntry> m_cityMaps, m_postalMaps;
    // The database the tables were built from; compared, never called.
    const void* m_tablesFrom = nullptr;
    // The database record behind each entry of the last merged list; empty when the last list
    // was not merged.
    std::vector<long> m_matchIndex;
};

} // namespace gpscore

#endif // GPSCORE_ADDRESS_ADDRESSSEARCH_H_
