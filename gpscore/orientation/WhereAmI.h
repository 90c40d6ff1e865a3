// Where Am I and intersections: the place under a position from the maps (street, city, map,
// address ranges), the nearest intersection and the next one ahead, and the spoken texts of
// both. Also the small street/city/state query of lookaround and the place names of the first
// fix. The map engine answers through the map queries; the virtual walker asks them with the
// same words.
#ifndef GPSCORE_ORIENTATION_WHEREAMI_H_
#define GPSCORE_ORIENTATION_WHEREAMI_H_

#include <string>
#include <string_view>
#include <vector>

#include "GPSLib_classes.h"
#include "base/MapQueries.h"

class CWhereAmIObject;

namespace gpscore {

struct ServiceContext;
class PersonalPlaces;

// REQUIRES for every method: the service's core lock held.
class WhereAmI {
public:
    WhereAmI(ServiceContext& context, PersonalPlaces& places)
        : m_context(context), m_places(places) {}

    // The street, city and plain map name at a place, undecorated; false when no map answers
    // there or no street lies near.
    bool NearestPlaceNames(ILocationObject* place, std::u16string* street, std::u16string* city,
                           std::u16string* map) const;

    // Fills the intersection's texts and position for the intersection nearest its position
    // (aheadHeading -1) or the next one ahead along aheadHeading; `heading` is the user's
    // heading that the directions are spoken from (-1 none). Without a map, the position becomes
    // invalid and the texts stay; when nothing is found, the no-intersection texts.
    void UpdateNearestIntersectionDescriptions(IIntersectionObject* intersection, SHORT heading,
                                               SHORT aheadHeading);
    // Makes the position invalid and every text but the current street `text`.
    void UpdateNoIntersectionFoundDescriptions(IIntersectionObject* intersection,
                                               std::u16string_view text);
    // The street (short name as stored), city, state and house number at a position,
    // undecorated; false when the map engine does not answer.
    bool GetStreetCityState(double latitude, double longitude, SHORT heading,
                            std::u16string* street, std::u16string* city, std::u16string* state,
                            std::u16string* houseNumber);

    // A new intersection at `place` (copied) filled as above; `ahead` searches along `heading`,
    // and without a heading answers "no intersection ahead" without asking the maps.
    HRESULT Intersection(ILocationObject* place, SHORT heading, bool ahead,
                         IIntersectionObject** result);
    // A new Where Am I answer for `place` seen with `heading` (-1 none) in `mode`; `side` is the
    // walker's side of the street (VirtualMode only).
    HRESULT Describe(ILocationObject* place, SHORT heading, Mode mode, SideOfStreet side,
                     IWhereAmIObject** result);
    // A new answer holding only the areas and the map at `place`.
    HRESULT CurrentMapCityPostal(ILocationObject* place, IWhereAmIObject** result);

    // The texts of an intersection (see docs/orientation.md): `street` is the current street,
    // `here` the position the user asks from, `heading` the user's heading (-1 none).
    std::u16string IntersectionDescription(std::u16string_view street, ILocationObject* here,
                                           SHORT heading, const std::vector<CrossStreet>& records,
                                           bool detailed) const;
    // The other streets meeting there, each once.
    std::u16string CrossStreetList(std::u16string_view street,
                                   const std::vector<CrossStreet>& records) const;
    // Each street with the directions it leaves in; the current street first when `withCurrent`.
    std::u16string CrossingText(std::u16string_view street, SHORT heading,
                                const std::vector<CrossStreet>& records, bool withCurrent) const;

    // The words of the street and intersection queries, with the detailed names when those are
    // on.
    MapWords StreetWords() const;
    MapWords IntersectionWords(bool connectors) const;
    bool DetailedNames() const;

private:
    bool HasMaps() const;
    std::u16string Decorate(std::u16string_view text) const;
    void SetAreas(const LocationDetail& detail, CWhereAmIObject* answer) const;

    ServiceContext& m_context;
    // Annotations near an intersection replace its description.
    PersonalPlaces& m_places;
};

} // namespace gpscore

#endif // GPSCORE_ORIENTATION_WHEREAMI_H_
