// The points-of-interest watch of lookaround: each time the poll cycle's POI countdown runs out,
// the nearest POI around the user (in the chosen category and direction) is announced once. The
// home of the POI lookaround and of POIGetLastLookaroundFound.
#ifndef GPSCORE_POI_POILOOKAROUND_H_
#define GPSCORE_POI_POILOOKAROUND_H_

#include <cstdint>
#include <optional>

#include "base/MapQueries.h"
#include "base/Place.h"
#include "poi/POIBuilder.h"

namespace gpscore {

struct ServiceContext;
class EventQueue;

// Where the POI of the last announcement is kept. The facade keeps it as the POI object it hands
// out (POIGetLastLookaroundFound), so that a client's change to that object counts when the next
// find is compared with it.
class LastLookaroundPOI {
public:
    virtual ~LastLookaroundPOI() = default;
    // The POI as it is now; none before the first announcement.
    virtual std::optional<POIData> Get() const = 0;
    virtual void Set(const std::optional<POIData>& poi) = 0;
};

// REQUIRES for every method: the service's core lock held.
class POILookaround {
public:
    POILookaround(ServiceContext& context, EventQueue& events, LastLookaroundPOI& last)
        : m_context(context), m_events(events), m_last(last) {}

    void Start() { m_last.Set(std::nullopt); }
    void Stop() { m_last.Set(std::nullopt); }

    // Points of interest near the user at `here`; the poll cycle calls it when the POI countdown
    // runs out. `searchDistance` is the arrival distance (metres or feet), the radius of a
    // search in one direction.
    void Check(const Standpoint& here, std::int32_t searchDistance);

    // The nearest POI the map engine finds with `search` that is still a live record; none
    // when there is none.
    std::optional<POIData> FindDBPOIsLookaround(const MapPOISearch& search);

private:
    ServiceContext& m_context;
    EventQueue& m_events;
    LastLookaroundPOI& m_last;
};

} // namespace gpscore

#endif // GPSCORE_POI_POILOOKAROUND_H_
