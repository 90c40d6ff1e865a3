// Where Am I and intersections: the place under a position from the maps (street, city, map,
// address ranges), the nearest intersection and the next one ahead. To come here: WhereAmI,
// WhereAmIAtLocation, GetNearestIntersection(Location), GetNextIntersectionAhead,
// AddressGetCurrentMapCityPostal and the descriptions of the answers.
#ifndef GPSCORE_ORIENTATION_WHEREAMI_H_
#define GPSCORE_ORIENTATION_WHEREAMI_H_

#include <string>

#include "GPSLib_classes.h"

namespace gpscore {

struct ServiceContext;
class PersonalPlaces;

// REQUIRES for every method: the service's core lock held.
class WhereAmI {
public:
    WhereAmI(ServiceContext& context, PersonalPlaces& places)
        : m_context(context), m_places(places) {}

    // The street, city and map at a place; false when no place is known there.
    bool NearestPlaceNames(ILocationObject* place, std::u16string* street, std::u16string* city,
                           std::u16string* map) const;

private:
    [[maybe_unused]] ServiceContext& m_context;
    // Annotations near an intersection replace its description.
    [[maybe_unused]] PersonalPlaces& m_places;
};

} // namespace gpscore

#endif // GPSCORE_ORIENTATION_WHEREAMI_H_
