// The points-of-interest watch of lookaround: each time the poll cycle's POI countdown runs out,
// the nearest POI around the user (in the chosen category and direction) is announced once. The
// home of the POI lookaround and of POIGetLastLookaroundFound.
#ifndef GPSCORE_POI_POILOOKAROUND_H_
#define GPSCORE_POI_POILOOKAROUND_H_

#include "GPSLib_classes.h"

namespace gpscore {

struct ServiceContext;
class EventQueue;
class POISearch;

// REQUIRES for every method: the service's core lock held.
class POILookaround {
public:
    POILookaround(ServiceContext& context, EventQueue& events, POISearch& search)
        : m_context(context), m_events(events), m_search(search) {}

    void Start();
    void Stop() { m_pLookaroundLocation.Reset(); }

    // Points of interest near the user; the poll cycle calls it when the POI countdown runs out.
    void Check();

private:
    [[maybe_unused]] ServiceContext& m_context;
    [[maybe_unused]] EventQueue& m_events;
    [[maybe_unused]] POISearch& m_search;
    // The location passed with lookaround POI events.
    gpslib::ComPtr<ILocationObject> m_pLookaroundLocation;
};

} // namespace gpscore

#endif // GPSCORE_POI_POILOOKAROUND_H_
