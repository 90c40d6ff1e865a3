// The heartbeat: once a second (or on GPSForcePoll, or after GPSForceLocation without reading)
// the receiver is read, the receiver state brought up to date, and the service looks for what
// it must announce: the receiver's connection and fix, arrival near the destination and near
// the virtual position, the followed route's turns, and what lookaround watches.
#include <algorithm>
#include <cmath>

#include "core/Answers.h"
#include "core/GPSCore.h"
#include "core/Utility.h"

using gpscore::IsValidPlace;
using gpslib::ComPtr;

namespace {

bool Enabled(ILookaroundSettingsObject* settings,
             HRESULT (ILookaroundSettingsObject::*get)(VARIANT_BOOL*)) {
    VARIANT_BOOL on = 0;
    return settings != nullptr && SUCCEEDED((settings->*get)(&on)) && on != 0;
}

} // namespace

bool CGPSCore::ReceiverConfigured() const {
    GPSType type = GPSTypeNone;
    if (m_pUtility != nullptr && m_pUtility->ReceiverSettings())
        m_pUtility->ReceiverSettings()->GetGPSReceiverType(&type);
    return type != GPSTypeNone;
}

bool CGPSCore::PollCycle(bool readReceiver) {
    gpslib::os::CriticalSectionLock poll(m_csAux);
    const bool receiver = ReceiverConfigured();
    bool read = false;
    if (receiver) {
        if (readReceiver) read = ReadReceiver();
        m_receiver.UpdatePedometer(false);
    }
    if (m_bSuspended || m_pUtility == nullptr) return read;
    if (!m_bEventsEngaged) {
        if (m_nStartDelay > 0) --m_nStartDelay;
        return read;
    }
    if (receiver) CheckConnectionAndFix();
    if (m_nStartDelay > 0) {
        --m_nStartDelay;
        return read;
    }
    SHORT heading = -1;
    ComPtr<ILocationObject> here = CurrentLocation(&heading);
    if (!IsValidPlace(here.Get())) return read;
    if (m_eCurrentMode == GPSMode && !m_receiver.HasUsableFix()) return read;

    CheckDestinationArrival();
    RouteFollowingStep();
    if (m_eUrgencyLevelLookaround >= UrgencyHigh) return read;
    if (m_eCurrentMode == GPSMode) CheckVirtualArrival();

    ILookaroundSettingsObject* lookaround = m_pUtility->LookaroundSettings().Get();
    if (!Enabled(lookaround, &ILookaroundSettingsObject::IsLookaroundEnabled)) return read;
    LookaroundRouteOptions option = LookaroundCustom;
    if (m_bFollowingRoute) lookaround->GetRouteOptions(&option);
    const bool gpsReceiver = m_eCurrentMode == GPSMode && receiver;
    if (option == LookaroundCustom && gpsReceiver) LookaroundCheckChanges();
    if ((option == LookaroundCustom || option == LookaroundRouteAndIntersectionsOnly) &&
        Enabled(lookaround, &ILookaroundSettingsObject::IsIntersectionsEnabled) && gpsReceiver) {
        if (--m_nIntersectionCountdown <= 0) {
            m_nIntersectionCountdown = 1;
            LookaroundCheckIntersection();
        }
    }
    if (option == LookaroundCustom || option == LookaroundRouteAndPOIsOnly) {
        if (!Enabled(lookaround, &ILookaroundSettingsObject::IsCommercialPOIsEnabled) &&
            !Enabled(lookaround, &ILookaroundSettingsObject::IsUserPrivatePOIsEnabled))
            return read;
        if (--m_nPOICountdown <= 0) {
            lookaround->GetLookaroundReportingInterval(&m_nPOICountdown);
            LookaroundCheckPOIs();
        }
    }
    return read;
}

// The receiver's connection and fix as the user hears them: connected at once, lost only after
// four silent polls (on top of the seven that reset the record), a lost fix only after seven
// polls without one, so that a fix lost for a moment under a bridge says nothing.
void CGPSCore::CheckConnectionAndFix() {
    GPSQuality q = GPSQualityNoGPS;
    if (m_pGPSObject) m_pGPSObject->GetFixQuality(&q);
    const GPSQuality p = m_ePreviousQuality;
    const bool allowed = m_eUrgencyLevelLookaround <= UrgencyNormal;
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

ComPtr<ILocationObject> CGPSCore::CurrentLocation(SHORT* heading) {
    ComPtr<ILocationObject> location;
    *heading = -1;
    if (m_eCurrentMode == VirtualMode) {
        if (m_pVirtualObject) {
            m_pVirtualObject->GetLocation(location.Put());
            m_pVirtualObject->GetHeadingDegrees(heading);
        }
    } else if (m_pGPSObject) {
        m_pGPSObject->GetLocation(location.Put());
        m_pGPSObject->GetHeadingDegrees(heading);
    }
    return location;
}

// ---------------------------------------------------------------------------------------------
// Arrival.

LONG CGPSCore::ArrivalDistance(int divisor, bool* fast) {
    if (fast != nullptr) *fast = false;
    SHORT base = 0;
    if (m_pUtility != nullptr && m_pUtility->SystemSettings())
        m_pUtility->SystemSettings()->GetArrivalDistance(m_pUtility->CurrentUnits(), &base);
    const LONG b = divisor != 0 ? base / divisor : base;
    if (m_eCurrentMode == VirtualMode) return b;
    // Faster travel needs warning from further away. A speed no integer holds counts as fast.
    const double mph = m_receiver.SpeedMph();
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
    if (m_receiver.m_bTestMode || gpscore::ReceiverState::InertialNoSatellites()) return scaled / 5;
    return std::max<LONG>(scaled, base);
}

bool CGPSCore::IsWithinArrivalDistance(ILocationObject* from, ILocationObject* to, LONG* distance) {
    *distance = -1;
    if (!IsValidPlace(from) || !IsValidPlace(to)) return false;
    from->GetDistance(to, distance);
    return *distance <= ArrivalDistance(3);
}

// One announcement per arrival: the latch is re-armed only once the user is three arrival
// distances away again.
void CGPSCore::CheckDestinationArrival() {
    if (!m_pDestination || m_bFollowingRoute) return;
    VARIANT_BOOL valid = 0;
    if (FAILED(m_pDestination->IsValid(&valid)) || valid == 0) return;
    SHORT heading = -1;
    ComPtr<ILocationObject> here = CurrentLocation(&heading);
    ComPtr<ILocationObject> destination;
    m_pDestination->GetLocation(destination.Put());
    LONG distance = -1;
    const bool near = IsWithinArrivalDistance(here.Get(), destination.Get(), &distance);
    if (m_bArrivedNearDestination && distance > 3 * ArrivalDistance(3))
        m_bArrivedNearDestination = false;
    if (near && !m_bArrivedNearDestination) ArrivedNearDestinationEvent(here.Get(), heading);
}

void CGPSCore::CheckVirtualArrival() {
    ComPtr<ILocationObject> virtualPlace;
    if (m_pVirtualObject) m_pVirtualObject->GetLocation(virtualPlace.Put());
    ComPtr<ILocationObject> gps = GPSLocation();
    LONG distance = -1;
    const bool near = IsWithinArrivalDistance(gps.Get(), virtualPlace.Get(), &distance);
    if (m_bArrivedNearVirtual && distance > 3 * ArrivalDistance(3)) m_bArrivedNearVirtual = false;
    if (near && !m_bArrivedNearVirtual) ArrivedNearVirtualEvent();
}
