// The heartbeat: once a second (or on GPSForcePoll, or after GPSForceLocation without reading)
// the receiver is read, the receiver state brought up to date, and the service looks for what
// it must announce: the receiver's connection and fix, arrival near the destination and near
// the virtual position, the followed route's turns, and what lookaround watches.
#ifndef GPSCORE_EVENTS_POLLCYCLE_H_
#define GPSCORE_EVENTS_POLLCYCLE_H_

#include <gpslib/GPSLib_enums.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "base/EventQueue.h"
#include "gps/LinkListener.h"
#include "os/sync.h"

namespace gpscore {

struct ServiceContext;
class Destination;
class Lookaround;
class PersonalPlaces;
class POILookaround;
class ReceiverLink;
class RouteFollower;
class VirtualWalker;
class WhereAmI;

// REQUIRES for every method: the service's core lock held. The cycle itself also takes the poll
// lock, inside the core lock.
class PollCycle final : public LinkListener, public EventQueue::Observer {
public:
    // The parts the cycle drives; they outlive it.
    struct Parts {
        ServiceContext& context;
        ReceiverLink& receiver;
        EventQueue& events;
        Destination& destination;
        VirtualWalker& walker;
        WhereAmI& whereAmI;
        Lookaround& lookaround;
        POILookaround& poiLookaround;
        RouteFollower& route;
        PersonalPlaces& places;
    };
    explicit PollCycle(const Parts& parts) : m_parts(parts) {}

    // Start: no first fix yet, and the delay before the first lookaround events.
    void Restart(std::int16_t startDelay);
    // The receiver's quality is unknown again (its link was reset).
    void ForgetQuality() { m_ePreviousQuality = GPSQualityNoGPS; }
    // Route creation and lookaround change detection suspend event detection while they run.
    void Suspend(bool suspended) { m_bSuspended = suspended; }

    // One cycle; true when bytes were read.
    bool Run(bool readReceiver);

    // The distance within which the user has arrived somewhere: the system setting divided by
    // `divisor`, widened with the speed in GPSMode; `fast` is set from 41 mph up.
    std::int32_t ArrivalDistance(int divisor, bool* fast = nullptr) const;

    // LinkListener.
    void OnLinkRestarted() override;
    void OnAnnotation(std::u16string_view text) override;
    // EventQueue::Observer: the latches an announcement settles.
    void OnEventMade(EventKind kind) override;

private:
    void CheckConnectionAndFix();
    void CheckDestinationArrival();
    void CheckVirtualArrival();

    // The events of the cycle; each true when an event was made.
    bool ArrivedNearVirtualEvent();
    bool GPSConnectionGainedEvent();
    bool GPSConnectionLostEvent();
    bool GPSGainedFixEvent();
    bool GPSLostFixEvent();
    std::u16string ReceiverName() const;

    Parts m_parts;
    gpslib::os::CriticalSection m_csAux; // The poll lock, taken inside the core lock.
    // The connection and fix watch, restarted whenever the link is.
    GPSQuality m_ePreviousQuality = GPSQualityNoGPS;
    std::int16_t m_nConnectionCountdown = 4;
    std::int16_t m_nFixCountdown = 0;
    bool m_bFirstFix = false;
    bool m_bSuspended = false;
    std::int16_t m_nStartDelay = 0;
    std::int16_t m_nIntersectionCountdown = 0;
    std::int16_t m_nPOICountdown = 0;
};

} // namespace gpscore

#endif // GPSCORE_EVENTS_POLLCYCLE_H_
