// Where Am I and intersections: the place under a position from the maps (street, city, map,
// address ranges), the nearest intersection and the next one ahead, and the spoken texts of
// both. Also the small street/city/state query of lookaround and the place names of the first
// fix. The map engine answers through the map queries; the virtual walker asks them with the
// same words.
#ifndef GPSCORE_ORIENTATION_WHEREAMI_H_
#define GPSCORE_ORIENTATION_WHEREAMI_H_

#include <gpslib/GPSLib_enums.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/MapQueries.h"
#include "base/Place.h"

namespace gpscore {

struct ServiceContext;
class PersonalPlaces;

// An intersection as the intersection questions answer it.
struct IntersectionAnswer {
    // Where it is; 0/0 (no position) when none was found or no map is loaded.
    double latitude = 0.0;
    double longitude = 0.0;
    // The street at the place asked about, once the maps name one.
    std::u16string currentStreet;
    // Empty when no map is loaded.
    std::u16string crossStreets;
    std::u16string description;
    std::u16string descriptionDetailed;
    bool Found() const { return latitude != 0.0 || longitude != 0.0; }
};

// A Where Am I answer.
struct WhereAmIAnswer {
    // What the maps say of the place (names decorated), at the point of the street matched; none
    // when the place is unknown or off every map.
    std::optional<LocationDetail> detail;
    // None when the maps say nothing of a known place.
    std::optional<std::u16string> description;
};

// REQUIRES for every method: the service's core lock held.
class WhereAmI {
public:
    WhereAmI(ServiceContext& context, PersonalPlaces& places)
        : m_context(context), m_places(places) {}

    // The street, city and plain map name at a place, undecorated; false when no map answers
    // there or no street lies near.
    bool NearestPlaceNames(const Place& place, std::u16string* street, std::u16string* city,
                           std::u16string* map) const;

    // The intersection nearest `place` (aheadHeading -1) or the next one ahead along
    // aheadHeading; `heading` is the user's heading that the directions are spoken from (-1
    // none). When nothing is found, the no-intersection texts.
    IntersectionAnswer NearestIntersection(const Place& place, std::int16_t heading,
                                           std::int16_t aheadHeading) const;
    // The street (short name as stored), city, state and house number at a position,
    // undecorated; false when the map engine does not answer.
    bool GetStreetCityState(double latitude, double longitude, std::int16_t heading,
                            std::u16string* street, std::u16string* city, std::u16string* state,
                            std::u16string* houseNumber) const;

    // The intersection questions at `place`: `ahead` searches along `heading`, and without a
    // heading answers "no intersection ahead" without asking the maps.
    IntersectionAnswer Intersection(const Place& place, std::int16_t heading, bool ahead) const;
    // Where Am I at `place` seen with `heading` (-1 none) in `mode`; `side` is the walker's side
    // of the street (VirtualMode only).
    WhereAmIAnswer Describe(const Place& place, std::int16_t heading, Mode mode,
                            SideOfStreet side) const;
    // Only the areas and the map at `place` (names decorated); none off every map.
    std::optional<LocationDetail> CurrentMapCityPostal(const Place& place) const;

    // The texts of an intersection (see docs/orientation.md): `street` is the current street,
    // `here` the position the user asks from, `heading` the user's heading (-1 none).
    std::u16string IntersectionDescription(std::u16string_view street, const Place& here,
                                           std::int16_t heading,
                                           const std::vector<CrossStreet>& records,
                                           bool detailed) const;
    // The other streets meeting there, each once.
    std::u16string CrossStreetList(std::u16string_view street,
                                   const std::vector<CrossStreet>& records) const;
    // Each street with the directions it leaves in; the current street first when `withCurrent`.
    std::u16string CrossingText(std::u16string_view street, std::int16_t heading,
                                const std::vector<CrossStreet>& records, bool withCurrent) const;

    // The words of the street and intersection queries, with the detailed names when those are
    // on.
    MapWords StreetWords() const;
    MapWords IntersectionWords(bool connectors) const;
    bool DetailedNames() const;

private:
    bool HasMaps() const;
    std::u16string Decorate(std::u16string_view text) const;
    LocationDetail DecoratedAreas(const LocationDetail& detail) const;
    // The no-intersection answer: no position, and `text` for every text.
    static IntersectionAnswer NoIntersection(std::u16string_view street, std::u16string_view text);

    ServiceContext& m_context;
    // Annotations near an intersection replace its description.
    PersonalPlaces& m_places;
};

} // namespace gpscore

#endif // GPSCORE_ORIENTATION_WHEREAMI_H_
