#include "events/PollCycle.h"

#include <algorithm>
#include <cmath>

#include "base/Descriptions.h"
#include "base/LocationObject.h"
#include "base/LookaroundSettingsObject.h"
#include "base/ServiceContext.h"
#include "base/Utility.h"
#include "gps/GPSObject.h"
#include "gps/ReceiverLink.h"
#include "orientation/Destination.h"
#include "orientation/Lookaround.h"
#include "orientation/VirtualWalker.h"
#include "orientation/WhereAmI.h"
#include "poi/POILookaround.h"
#include "poi/PersonalPlaces.h"
#include "resources/StringIds.h"
#include "route/RouteFollower.h"

namespace gpscore {

using gpslib::Bstr;
using gpslib::ComPtr;

namespace {

// Spoken parts joined into sentences: each part ends with a full stop, one space between.
void AppendSentence(std::u16string& text, std::u16string_view part) {
    if (part.empty()) return;
    if (!text.empty()) text += u' ';
    text += part;
    if (text.back() != u'.') text += u'.';
}

// The current place and heading of the mode: the walker's in VirtualMode, else the fix's.
ComPtr<ILocationObject> CurrentLocation(const PollCycle::Parts& parts, SHORT* heading) {
    ComPtr<ILocationObject> location;
    *heading = -1;
    if (parts.context.m_eCurrentMode == VirtualMode) {
        if (parts.walker.Active()) {
            location = NewLocation(parts.walker.Where());
            *heading = parts.walker.Heading();
        }
    } else if (IGPSObject* gps = parts.receiver.Record()) {
        gps->GetLocation(location.Put());
        gps->GetHeadingDegrees(heading);
    }
    return location;
}

// Both places valid and `from` within `limit` of `to`; *distance is -1 when not both are valid.
bool IsWithin(ILocationObject* from, ILocationObject* to, LONG limit, LONG* distance) {
    *distance = -1;
    if (!IsValidPlace(from) || !IsValidPlace(to)) return false;
    from->GetDistance(to, distance);
    return *distance <= limit;
}

// The distance-and-heading phrase from `from` to `target` in the receiver's directions; the
// near template when the target is within the arrived-near threshold.
std::u16string ArrivalPhrase(const PollCycle::Parts& parts, ILocationObject* from, SHORT heading,
                             ILocationObject* target, int nearTemplate, int farTemplate) {
    SHORT threshold = 0;
    if (auto settings = parts.context.SystemSettings())
        threshold = settings->ArrivedNearThreshold(parts.context.CurrentUnits());
    // The directions follow this service's receiver (four of them for an inertial one without
    // satellites).
    if (auto* place = gpslib::ImplOf<CLocationObject>(from))
        place->SetCoarseDirections(parts.receiver.State().InertialNoSatellites());
    DistanceHeadingRecord record;
    LONG distance = -1;
    Bstr direction;
    from->GetBearingDegrees(target, &record.bearing);
    from->GetRelativeHeading(heading, target, direction.Put());
    from->GetDistance(target, &distance);
    record.direction = std::u16string(direction.View());
    record.distance = distance;
    const int id = distance <= threshold ? nearTemplate : farTemplate;
    return Wording(parts.context.m_pUtility)
        .ExpandDescriptionTemplate(id, target, &record, nullptr, 0, nullptr, u"");
}

bool ArrivedNearDestinationEvent(const PollCycle::Parts& parts, ILocationObject* from,
                                 SHORT heading) {
    ComPtr<ILocationObject> destination = NewLocation(parts.destination.Where());
    if (!destination || from == nullptr) return false;
    return parts.events.Raise(EventKind::kArrivedNearDestination,
                              ArrivalPhrase(parts, from, heading, destination.Get(),
                                            ids::kDestinationReached, ids::kDestinationAhead),
                              PlaceOf(destination.Get()));
}

} // namespace

void PollCycle::Restart(std::int16_t startDelay) {
    m_bFirstFix = false;
    m_nStartDelay = startDelay;
}

void PollCycle::OnLinkRestarted() {
    m_ePreviousQuality = GPSQualityNoGPS;
    m_nConnectionCountdown = 4;
    m_nFixCountdown = 0;
    m_bFirstFix = false;
}

void PollCycle::OnAnnotation(std::u16string_view text) {
    m_parts.events.Raise(EventKind::kSimulationAnnotation, text,
                         PlaceOf(FixLocation(m_parts.receiver.Record()).Get()));
}

void PollCycle::OnEventMade(EventKind kind) {
    if (kind == EventKind::kArrivedNearDestination ||
        kind == EventKind::kRouteArrivedNearDestination)
        m_parts.destination.SetArrivedNear(true);
    if (kind == EventKind::kArrivedNearVirtual) m_parts.walker.SetArrivedNear(true);
    if (kind == EventKind::kRouteArrivedNearDestination) m_parts.route.Finish();
}

bool PollCycle::Run(bool readReceiver) {
    gpslib::os::CriticalSectionLock poll(m_csAux);
    ServiceContext& context = m_parts.context;
    ReceiverLink& link = m_parts.receiver;
    const bool receiver = link.Configured();
    bool read = false;
    if (receiver) {
        if (readReceiver) read = link.Read();
        link.State().UpdatePedometer(false);
    }
    if (m_bSuspended || context.m_pUtility == nullptr) return read;
    if (!m_parts.events.Engaged()) {
        if (m_nStartDelay > 0) --m_nStartDelay;
        return read;
    }
    if (receiver) CheckConnectionAndFix();
    if (m_nStartDelay > 0) {
        --m_nStartDelay;
        return read;
    }
    SHORT heading = -1;
    ComPtr<ILocationObject> here = CurrentLocation(m_parts, &heading);
    if (!IsValidPlace(here.Get())) return read;
    if (context.m_eCurrentMode == GPSMode && !link.State().HasUsableFix()) return read;

    CheckDestinationArrival();
    m_parts.route.Step();
    if (m_parts.events.ReportingLevel() >= UrgencyHigh) return read;
    if (context.m_eCurrentMode == GPSMode) CheckVirtualArrival();

    const std::optional<settings::Lookaround> lookaround = context.LookaroundSettings();
    if (!lookaround || !settings::On(lookaround->lookaroundEnabled)) return read;
    // A poll from inside a lookaround check (an event sink that polls) does no lookaround work.
    if (m_parts.lookaround.Busy()) return read;
    LookaroundRouteOptions option = LookaroundCustom;
    if (m_parts.route.Following()) option = lookaround->routeOptions;
    const bool gpsReceiver = context.m_eCurrentMode == GPSMode && receiver;
    if (option == LookaroundCustom && gpsReceiver) {
        // Nothing else is detected while the change check runs.
        m_bSuspended = true;
        m_parts.lookaround.CheckChanges();
        m_bSuspended = false;
    }
    if ((option == LookaroundCustom || option == LookaroundRouteAndIntersectionsOnly) &&
        settings::On(lookaround->intersections) && gpsReceiver) {
        if (--m_nIntersectionCountdown <= 0) {
            m_nIntersectionCountdown = 1;
            m_parts.lookaround.CheckIntersection();
        }
    }
    if (option == LookaroundCustom || option == LookaroundRouteAndPOIsOnly) {
        if (!settings::On(lookaround->commercialPOIs) && !settings::On(lookaround->userPrivatePOIs))
            return read;
        if (--m_nPOICountdown <= 0) {
            // A test run, and a receiver that has lost its satellites, look every poll.
            const ReceiverState& state = link.State();
            if (state.m_bTestMode || state.InertialNoSatellites())
                m_nPOICountdown = 1;
            else
                m_nPOICountdown = lookaround->reportingInterval;
            m_parts.poiLookaround.Check(StandpointAt(here.Get(), heading), ArrivalDistance(1));
        }
    }
    return read;
}

// The receiver's connection and fix as the user hears them: connected at once, lost only after
// four silent polls (on top of the seven that reset the record), a lost fix only after seven
// polls without one, so that a fix lost for a moment under a bridge says nothing.
void PollCycle::CheckConnectionAndFix() {
    GPSQuality q = GPSQualityNoGPS;
    if (IGPSObject* gps = m_parts.receiver.Record()) gps->GetFixQuality(&q);
    const GPSQuality p = m_ePreviousQuality;
    const bool allowed = m_parts.events.ReportingLevel() <= UrgencyNormal;
    if (p == GPSQualityNoGPS && q > GPSQualityNoGPS && allowed) {
        GPSConnectionGainedEvent();
        if (q == GPSQualityNoFix) GPSLostFixEvent();
    }
    if (q == GPSQualityNoGPS || q == GPSQualityNoFix || p > GPSQualityNoFix) {
        const bool justLost = p > GPSQualityNoFix && q == GPSQualityNoFix;
        if (!justLost && m_nFixCountdown == 0) {
            if ((p != GPSQualityNoGPS && q == GPSQualityNoGPS) || m_nConnectionCountdown != 0) {
                if (p != GPSQualityNoGPS) {
                    m_nConnectionCountdown = 4;
                } else if (--m_nConnectionCountdown == 0 && allowed) {
                    GPSConnectionLostEvent();
                }
            }
        } else if (q == GPSQualityNoFix) {
            if (p > GPSQualityNoFix) {
                m_nFixCountdown = 7;
            } else if (--m_nFixCountdown == 0 && allowed) {
                GPSLostFixEvent();
            }
        }
    } else if (m_nFixCountdown == 0 && allowed) {
        GPSGainedFixEvent();
    }
    m_ePreviousQuality = q;
    if (q > GPSQualityNoFix) m_nConnectionCountdown = m_nFixCountdown = 0;
}

// ---------------------------------------------------------------------------------------------
// Arrival.

std::int32_t PollCycle::ArrivalDistance(int divisor, bool* fast) const {
    if (fast != nullptr) *fast = false;
    SHORT base = 0;
    if (auto settings = m_parts.context.SystemSettings())
        base = settings->ArrivalDistance(m_parts.context.CurrentUnits());
    const LONG b = divisor != 0 ? base / divisor : base;
    if (m_parts.context.m_eCurrentMode == VirtualMode) return b;
    const ReceiverState& state = m_parts.receiver.State();
    // Faster travel needs warning from further away. A speed no integer holds counts as fast.
    const double mph = state.SpeedMph();
    const LONG s = std::isfinite(mph) && mph < 1e6 ? static_cast<LONG>(mph) : 1000000;
    LONG scaled = b;
    if (s >= 200)
        scaled = 120 * b;
    else if (s >= 41)
        scaled = 24 * b;
    else if (s >= 16)
        scaled = 12 * b;
    else if (s >= 6)
        scaled = 6 * b;
    if (fast != nullptr) *fast = s >= 41;
    if (state.m_bTestMode || state.InertialNoSatellites()) return scaled / 5;
    return std::max<LONG>(scaled, base);
}

// One announcement per arrival: the latch is re-armed only once the user is three arrival
// distances away again.
void PollCycle::CheckDestinationArrival() {
    Destination& target = m_parts.destination;
    if (m_parts.route.Following()) return;
    ComPtr<ILocationObject> destination = NewLocation(target.Where());
    if (!IsValidPlace(destination.Get())) return;
    SHORT heading = -1;
    ComPtr<ILocationObject> here = CurrentLocation(m_parts, &heading);
    LONG distance = -1;
    const bool near = IsWithin(here.Get(), destination.Get(), ArrivalDistance(3), &distance);
    if (target.ArrivedNear() && distance > 3 * ArrivalDistance(3)) target.SetArrivedNear(false);
    if (near && !target.ArrivedNear()) ArrivedNearDestinationEvent(m_parts, here.Get(), heading);
}

void PollCycle::CheckVirtualArrival() {
    VirtualWalker& walker = m_parts.walker;
    ComPtr<ILocationObject> virtualPlace = NewLocation(walker.Where());
    ComPtr<ILocationObject> gps = FixLocation(m_parts.receiver.Record());
    LONG distance = -1;
    const bool near = IsWithin(gps.Get(), virtualPlace.Get(), ArrivalDistance(3), &distance);
    if (walker.ArrivedNear() && distance > 3 * ArrivalDistance(3)) walker.SetArrivedNear(false);
    if (near && !walker.ArrivedNear()) ArrivedNearVirtualEvent();
}

std::u16string PollCycle::ReceiverName() const {
    const auto settings = m_parts.context.ReceiverSettings();
    return settings ? settings->receiverName : std::u16string();
}

bool PollCycle::ArrivedNearVirtualEvent() {
    ComPtr<ILocationObject> gps = FixLocation(m_parts.receiver.Record());
    ComPtr<ILocationObject> virtualPlace = NewLocation(m_parts.walker.Where());
    if (!gps || !virtualPlace) return false;
    // The phrase names no place: the virtual position is where the user left the walker.
    ComPtr<ILocationObject> unnamed;
    if (FAILED(gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &unnamed)))
        return false;
    unnamed->SetLocation(virtualPlace.Get());
    unnamed->SetName(Bstr(u"").Get());
    SHORT heading = -1;
    m_parts.receiver.Record()->GetHeadingDegrees(&heading);
    return m_parts.events.Raise(EventKind::kArrivedNearVirtual,
                                ArrivalPhrase(m_parts, gps.Get(), heading, unnamed.Get(),
                                              ids::kVirtualPositionReached,
                                              ids::kVirtualPositionAhead),
                                PlaceOf(virtualPlace.Get()));
}

bool PollCycle::GPSConnectionGainedEvent() {
    const std::u16string name = ReceiverName();
    const std::u16string text =
        name.empty()
            ? m_parts.context.String(ids::kReceiverConnected)
            : m_parts.context.m_pUtility->FormatString(ids::kNamedReceiverConnected, {name});
    return m_parts.events.Raise(EventKind::kConnectionGained, text,
                                PlaceOf(FixLocation(m_parts.receiver.Record()).Get()));
}

bool PollCycle::GPSConnectionLostEvent() {
    const std::u16string name = ReceiverName();
    const std::u16string text =
        name.empty()
            ? m_parts.context.String(ids::kReceiverNotConnected)
            : m_parts.context.m_pUtility->FormatString(ids::kNamedReceiverNotConnected, {name});
    return m_parts.events.Raise(EventKind::kConnectionLost, text,
                                PlaceOf(FixLocation(m_parts.receiver.Record()).Get()));
}

bool PollCycle::GPSGainedFixEvent() {
    ComPtr<ILocationObject> here = FixLocation(m_parts.receiver.Record());
    Bstr accuracy;
    m_parts.receiver.Record()->GetEstimatedAccuracyDescription(accuracy.Put());
    std::u16string text;
    AppendSentence(text, m_parts.context.String(ids::kPositionFound));
    AppendSentence(text, accuracy.View());
    std::u16string street, city, map;
    if (m_parts.whereAmI.NearestPlaceNames(PlaceAt(here.Get()), &street, &city, &map)) {
        AppendSentence(text, street);
        AppendSentence(text, city);
        AppendSentence(text, map);
        m_parts.lookaround.Remember(street, city, map);
    }
    const bool made = m_parts.events.Raise(EventKind::kGainedFix, text, PlaceOf(here.Get()));
    if (made && !m_bFirstFix) {
        m_bFirstFix = true;
        m_parts.places.AddToHistory(PlaceOf(here.Get()),
                                    m_parts.context.String(ids::kFirstFixPlace));
    }
    return made;
}

bool PollCycle::GPSLostFixEvent() {
    Bstr accuracy;
    m_parts.receiver.Record()->GetEstimatedAccuracyDescription(accuracy.Put());
    return m_parts.events.Raise(EventKind::kLostFix, accuracy.View(),
                                PlaceOf(FixLocation(m_parts.receiver.Record()).Get()));
}

} // namespace gpscore
