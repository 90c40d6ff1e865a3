// Lookaround: what the service watches around a walking user between their questions. The poll
// cycle decides when each watch runs; each raises its events through the event queue. To come
// here: the street, city and map changes, the intersection ahead and the lookaround settings
// methods. The points-of-interest watch lives with the POI search (poi/POILookaround.h).
#ifndef GPSCORE_ORIENTATION_LOOKAROUND_H_
#define GPSCORE_ORIENTATION_LOOKAROUND_H_

#include <string>

#include "GPSLib_classes.h"

namespace gpscore {

struct ServiceContext;
class EventQueue;

// REQUIRES for every method: the service's core lock held.
class Lookaround {
public:
    Lookaround(ServiceContext& context, EventQueue& events)
        : m_context(context), m_events(events) {}

    void Start() {}
    void Stop() {}

    // The street, city and map under the user, compared with the last ones announced.
    void CheckChanges();
    // The intersection the user is approaching.
    void CheckIntersection();
    // The place last announced (by a gained fix or a change), which CheckChanges compares with.
    void Remember(const std::u16string& street, const std::u16string& city,
                  const std::u16string& map);

private:
    [[maybe_unused]] ServiceContext& m_context;
    [[maybe_unused]] EventQueue& m_events;
    std::u16string m_bstrLastStreet;
    std::u16string m_bstrLastCity;
    std::u16string m_bstrLastMap;
};

} // namespace gpscore

#endif // GPSCORE_ORIENTATION_LOOKAROUND_H_
