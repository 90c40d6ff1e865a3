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
    void Stop() {
        m_pLookaroundLocation.Reset();
        m_pLastLookaroundPOI.Reset();
    }

    // Points of interest near the user at `here` facing `heading` (-1 none); the poll cycle
    // calls it when the POI countdown runs out. `searchDistance` is the arrival distance (metres
    // or feet), the radius of a search in one direction.
    void Check(ILocationObject* here, SHORT heading, LONG searchDistance);

    // The POI of the last announcement; an empty POI before the first.
    HRESULT LastFound(IPOIObject** ppPOI) const;

    // The nearest POI the map engine finds with `config` at `location`, built from its record;
    // null when there is none.
    gpslib::ComPtr<IPOIObject> FindDBPOIsLookaround(ILocationObject* location,
                                                    IPOISearchConfigurationObject* config);

private:
    ServiceContext& m_context;
    EventQueue& m_events;
    [[maybe_unused]] POISearch& m_search;
    // The location passed with lookaround POI events.
    gpslib::ComPtr<ILocationObject> m_pLookaroundLocation;
    gpslib::ComPtr<IPOIObject> m_pLastLookaroundPOI;
};

} // namespace gpscore

#endif // GPSCORE_POI_POILOOKAROUND_H_
