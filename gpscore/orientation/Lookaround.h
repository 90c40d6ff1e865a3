// Lookaround: what the service says on its own while the user walks or drives between their
// questions. The poll cycle decides when a watch may run; this part decides whether its check is
// due, runs it and raises its events through the event queue. Here: the street, city and map
// changes and the intersection ahead. The points-of-interest watch lives with the POI search
// (poi/POILookaround.h); the settings the watches read are the Utility's.
#ifndef GPSCORE_ORIENTATION_LOOKAROUND_H_
#define GPSCORE_ORIENTATION_LOOKAROUND_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "formats/Geodesy.h"

namespace gpscore {

struct ServiceContext;
class EventQueue;
class Crossings;
class ReceiverLink;
class WhereAmI;

// The street-change template's own small set of `$` codes: "$$" a dollar sign, "$T" `first`,
// "$F" `second`, "$H" `third`; any other code is dropped, as is a lone "$" at the end.
std::u16string ExpandStreetChangeTemplate(std::u16string_view pattern, std::u16string_view first,
                                          std::u16string_view second, std::u16string_view third);

// Whether two names are the same but for letter case and accents, folded as searches fold them
// (Latin, Greek and Cyrillic letters).
bool SameIgnoringCase(std::u16string_view a, std::u16string_view b);

// REQUIRES for every method: the service's core lock held.
class Lookaround {
public:
    Lookaround(ServiceContext& context, EventQueue& events, ReceiverLink& receiver,
               WhereAmI& whereAmI, Crossings& crossings)
        : m_context(context), m_events(events), m_receiver(receiver), m_whereAmI(whereAmI),
          m_crossings(crossings) {}

    // Start: every countdown at 0 (the first due poll checks every kind), nothing seen or
    // announced, no intersection check yet.
    void Start();
    void Stop() {}

    // Set while a check runs; a poll that finds it set (an event sink that polls from inside its
    // callback) does no lookaround work.
    bool Busy() const { return m_bBusy; }

    // The street, city and map under the user, each on its own countdown.
    void CheckChanges();
    // The next intersection ahead, announced once, when the user comes within the announcement
    // distance of it; with its crossings when the crossings part says so.
    void CheckIntersection();
    // The place the gained-fix event just named: the change checks compare with it, so that the
    // same street, city and map are not announced again right after.
    void Remember(const std::u16string& street, const std::u16string& city,
                  const std::u16string& map);

    // The countdowns' reload values for a reporting interval (in polls).
    static std::int16_t StreetCheckPolls(std::int16_t interval);
    static std::int16_t CityCheckPolls(std::int16_t interval);
    static std::int16_t MapCheckPolls(std::int16_t interval);

private:
    class BusyScope;

    void AnnounceStreet(const std::u16string& street, std::int16_t heading);
    void AnnounceCity(const std::u16string& city);
    void AnnounceMap(const std::u16string& map);
    // The announcement distance: farther ahead at speed, in the user's units.
    std::int32_t AnnouncementDistance(double speedMph) const;

    ServiceContext& m_context;
    EventQueue& m_events;
    ReceiverLink& m_receiver;
    WhereAmI& m_whereAmI;
    Crossings& m_crossings;

    bool m_bBusy = false;
    std::int16_t m_nStreetCountdown = 0;
    std::int16_t m_nCityCountdown = 0;
    std::int16_t m_nMapCountdown = 0;
    std::u16string m_bstrLastStreetSeen;
    std::u16string m_bstrLastStreetAnnounced;
    std::u16string m_bstrLastCitySeen;
    std::u16string m_bstrLastCityAnnounced;
    std::u16string m_bstrLastMapSeen;
    std::u16string m_bstrLastMapAnnounced;
    // The last intersection check: odometer, distance still to go before the next, heading.
    std::int32_t m_nLastCheckOdometer = -1;
    std::int32_t m_nLastCheckThreshold = -1;
    std::int16_t m_nLastCheckHeading = -1;
    geo::Position m_lastIntersectionAnnounced;
};

} // namespace gpscore

#endif // GPSCORE_ORIENTATION_LOOKAROUND_H_
