// Automatic events: made by the detectors through one builder, filtered by the client's reporting
// level, kept in a history of ten and handed to the client's sink on the detecting thread.
#include <string>

#include "core/GPSCore.h"
#include "core/Utility.h"
#include "events/AutomaticEventObject.h"
#include "orientation/Descriptions.h"
#include "os/env.h"

using gpslib::Bstr;
using gpslib::ComPtr;
using gpslib::os::CriticalSectionLock;

namespace {

constexpr std::size_t kEventHistory = 10;

constexpr int kReceiverConnected = 20014;
constexpr int kNamedReceiverConnected = 20015;
constexpr int kNamedReceiverLost = 20016;
constexpr int kReceiverLost = 20009;
constexpr int kPositionFound = 20737;
constexpr int kArrivedAtDestination = 20109;
constexpr int kDestinationAhead = 20735;
constexpr int kReachedVirtual = 20705;
constexpr int kVirtualAhead = 20736;
constexpr int kFirstFixPlace = 21056;

// Spoken parts joined into sentences: each part ends with a full stop, one space between.
void AppendSentence(std::u16string& text, std::u16string_view part) {
    if (part.empty()) return;
    if (!text.empty()) text += u' ';
    text += part;
    if (text.back() != u'.') text += u'.';
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The client's side.

HRESULT CGPSCore::RegisterUIAutoEventCallback(IDispatch* pAutoEventSink) {
    CriticalSectionLock lock(m_csCore);
    if (pAutoEventSink == nullptr) return E_POINTER;
    ComPtr<IGPSAutoEventSink> sink;
    pAutoEventSink->QueryInterface(IID_IGPSAutoEventSink, reinterpret_cast<void**>(sink.Put()));
    m_pAutoEvent = sink; // None when the object is no sink: the old one is released either way.
    return S_OK;
}

HRESULT CGPSCore::EngageUIAutoLookaroundEvents(VARIANT_BOOL bEngaged) {
    CriticalSectionLock lock(m_csCore);
    m_bEventsEngaged = bEngaged != 0;
    return S_OK;
}

HRESULT CGPSCore::LookaroundGetUrgencyReportingLevel(UrgencyLevel* peUrgencyLevel) {
    CriticalSectionLock lock(m_csCore);
    if (peUrgencyLevel == nullptr) return E_POINTER;
    *peUrgencyLevel = m_eUrgencyLevelLookaround;
    return S_OK;
}

HRESULT CGPSCore::LookaroundSetUrgencyReportingLevel(UrgencyLevel eUrgencyLevel) {
    CriticalSectionLock lock(m_csCore);
    m_eUrgencyLevelLookaround = eUrgencyLevel;
    return S_OK;
}

HRESULT CGPSCore::EnableHistoryOfAutomaticEvents(VARIANT_BOOL bEnable) {
    CriticalSectionLock lock(m_csCore);
    m_bHistoryOfEvents = bEnable != 0; // Turning it off keeps what is stored.
    return S_OK;
}

HRESULT CGPSCore::GetLastAutomaticEvent(IAutomaticEventObject** ppEvent) {
    CriticalSectionLock lock(m_csCore);
    if (ppEvent == nullptr) return E_POINTER;
    *ppEvent = nullptr;
    if (m_lastTenEvents.empty()) return S_OK;
    return m_lastTenEvents.front()->QueryInterface(IID_IAutomaticEventObject,
                                                   reinterpret_cast<void**>(ppEvent));
}

HRESULT CGPSCore::GetLastTenAutomaticEvents(VARIANT* pvarEvents) {
    CriticalSectionLock lock(m_csCore);
    if (pvarEvents == nullptr) return E_POINTER;
    VariantClear(pvarEvents);
    std::vector<IUnknown*> events;
    for (const auto& event : m_lastTenEvents)
        events.push_back(event.Get());
    return gpslib::ReturnObjectList(pvarEvents, events, IID_IAutomaticEventObject);
}

// ---------------------------------------------------------------------------------------------
// Making and delivering events.

void CGPSCore::AddEvent(IAutomaticEventObject* event) {
    Log("  **AddEvent**  Event Added");
    if (m_bHistoryOfEvents) {
        m_lastTenEvents.emplace_front(event);
        if (m_lastTenEvents.size() > kEventHistory) m_lastTenEvents.pop_back();
    }
    if (!m_pAutoEvent) {
        gpslib::os::Env::Default()->DebugOutput("**m_pAutoEvent is NULL no callbacks**\n");
        return;
    }
    // The sink is handed its own reference, which it releases. It is called on this thread with
    // the core lock held; a sink that calls back into the core from this thread re-enters it.
    ComPtr<IGPSAutoEventSink> sink = m_pAutoEvent; // Kept alive should the sink replace itself.
    event->AddRef();
    sink->OnAutomaticEvent(event);
}

bool CGPSCore::RaiseEvent(gpscore::EventKind kind, std::u16string_view description,
                          ILocationObject* location, UrgencyLevel urgency) {
    const gpscore::EventKindInfo& info = gpscore::InfoOf(kind);
    Log("  **AddEvent**  " + std::string(info.logWord));
    if (kind == gpscore::EventKind::kSimulationAnnotation && m_bAnnotationCapture) {
        m_bstrAnnotationCapture = description;
        return false;
    }
    const UrgencyLevel eventUrgency =
        kind == gpscore::EventKind::kRouteStartFollowing ? urgency : info.urgency;
    if (!gpscore::Delivered(kind, m_eUrgencyLevelLookaround, urgency)) {
        Log("  **AddEvent**  Not Added m_eUrgencyLevelLookaround");
        return false;
    }
    ComPtr<IAutomaticEventObject> event;
    if (FAILED(gpslib::CreateObject(CLSID_AutomaticEventObject, IID_IAutomaticEventObject, &event)))
        return false;
    auto* impl = gpslib::ImplOf<CAutomaticEventObject>(event.Get());
    if (impl == nullptr) return false;
    impl->SetEventType(info.type);
    impl->SetUrgencyLevel(eventUrgency);
    impl->SetDescription(description);
    impl->SetLocationCopy(location);
    if (kind == gpscore::EventKind::kArrivedNearDestination ||
        kind == gpscore::EventKind::kRouteArrivedNearDestination)
        m_bArrivedNearDestination = true;
    if (kind == gpscore::EventKind::kArrivedNearVirtual) m_bArrivedNearVirtual = true;
    if (kind == gpscore::EventKind::kRouteArrivedNearDestination) {
        m_bFollowingRoute = false; // The route is done.
        m_bRouteStartPending = false;
    }
    AddEvent(event.Get());
    return true;
}

ComPtr<ILocationObject> CGPSCore::GPSLocation() {
    ComPtr<ILocationObject> location;
    if (m_pGPSObject) m_pGPSObject->GetLocation(location.Put());
    return location;
}

std::u16string CGPSCore::ReceiverName() {
    Bstr name;
    if (m_pUtility != nullptr && m_pUtility->ReceiverSettings())
        m_pUtility->ReceiverSettings()->GetGPSReceiverName(name.Put());
    return std::u16string(name.View());
}

// The distance-and-heading phrase from `from` to the target; the "arrived" template when the
// target is within the arrived-near threshold.
namespace {

std::u16string ArrivalPhrase(ILocationObject* from, SHORT heading, ILocationObject* target,
                             int nearTemplate, int farTemplate, SHORT threshold) {
    gpscore::DistanceHeadingRecord record;
    LONG distance = -1;
    Bstr direction;
    from->GetBearingDegrees(target, &record.bearing);
    from->GetRelativeHeading(heading, target, direction.Put());
    from->GetDistance(target, &distance);
    record.direction = std::u16string(direction.View());
    record.distance = distance;
    const int id = distance <= threshold ? nearTemplate : farTemplate;
    return gpscore::ExpandDescriptionTemplate(id, target, &record, nullptr, 0, nullptr, u"");
}

} // namespace

bool CGPSCore::ArrivedNearDestinationEvent(ILocationObject* from, SHORT heading) {
    ComPtr<ILocationObject> destination;
    if (m_pDestination) m_pDestination->GetLocation(destination.Put());
    if (!destination || from == nullptr) return false;
    SHORT threshold = 0;
    m_pUtility->SystemSettings()->GetArrivedNearThreshold(m_pUtility->CurrentUnits(), &threshold);
    return RaiseEvent(gpscore::EventKind::kArrivedNearDestination,
                      ArrivalPhrase(from, heading, destination.Get(), kArrivedAtDestination,
                                    kDestinationAhead, threshold),
                      destination.Get());
}

bool CGPSCore::ArrivedNearVirtualEvent() {
    ComPtr<ILocationObject> gps = GPSLocation();
    ComPtr<ILocationObject> virtualPlace;
    if (m_pVirtualObject) m_pVirtualObject->GetLocation(virtualPlace.Put());
    if (!gps || !virtualPlace) return false;
    // The phrase names no place: the virtual position is where the user left the walker.
    ComPtr<ILocationObject> unnamed;
    if (FAILED(gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &unnamed)))
        return false;
    unnamed->SetLocation(virtualPlace.Get());
    unnamed->SetName(Bstr(u"").Get());
    SHORT heading = -1, threshold = 0;
    m_pGPSObject->GetHeadingDegrees(&heading);
    m_pUtility->SystemSettings()->GetArrivedNearThreshold(m_pUtility->CurrentUnits(), &threshold);
    return RaiseEvent(
        gpscore::EventKind::kArrivedNearVirtual,
        ArrivalPhrase(gps.Get(), heading, unnamed.Get(), kReachedVirtual, kVirtualAhead, threshold),
        virtualPlace.Get());
}

bool CGPSCore::GPSConnectionGainedEvent() {
    const std::u16string name = ReceiverName();
    const std::u16string text = name.empty()
                                    ? String(kReceiverConnected)
                                    : m_pUtility->FormatString(kNamedReceiverConnected, {name});
    return RaiseEvent(gpscore::EventKind::kConnectionGained, text, GPSLocation().Get());
}

bool CGPSCore::GPSConnectionLostEvent() {
    const std::u16string name = ReceiverName();
    const std::u16string text =
        name.empty() ? String(kReceiverLost) : m_pUtility->FormatString(kNamedReceiverLost, {name});
    return RaiseEvent(gpscore::EventKind::kConnectionLost, text, GPSLocation().Get());
}

bool CGPSCore::GPSGainedFixEvent() {
    ComPtr<ILocationObject> here = GPSLocation();
    Bstr accuracy;
    m_pGPSObject->GetEstimatedAccuracyDescription(accuracy.Put());
    std::u16string text;
    AppendSentence(text, String(kPositionFound));
    AppendSentence(text, accuracy.View());
    std::u16string street, city, map;
    if (NearestPlaceNames(here.Get(), &street, &city, &map)) {
        AppendSentence(text, street);
        AppendSentence(text, city);
        AppendSentence(text, map);
        m_bstrLastStreet = street;
        m_bstrLastCity = city;
        m_bstrLastMap = map;
    }
    const bool made = RaiseEvent(gpscore::EventKind::kGainedFix, text, here.Get());
    if (made && !m_bFirstFix) {
        m_bFirstFix = true;
        AddPlaceToHistory(here.Get(), String(kFirstFixPlace));
    }
    return made;
}

bool CGPSCore::GPSLostFixEvent() {
    Bstr accuracy;
    m_pGPSObject->GetEstimatedAccuracyDescription(accuracy.Put());
    return RaiseEvent(gpscore::EventKind::kLostFix, accuracy.View(), GPSLocation().Get());
}

void CGPSCore::SimulationAnnotationReached(std::u16string_view text) {
    RaiseEvent(gpscore::EventKind::kSimulationAnnotation, text, GPSLocation().Get());
}
