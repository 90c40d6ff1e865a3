// The service's orientation and event questions as a client asks them: heading and position for
// either mode, the destination, and the automatic events. Each method takes the core lock,
// checks its pointers and asks the part that owns the answer.
#include "core/GPSCore.h"

using gpslib::os::CriticalSectionLock;

// ---------------------------------------------------------------------------------------------
// Mode dispatchers. VirtualMode asks the walker, GPSMode the live fix; any other value asks the
// live fix, except the two distance descriptions, which ask the walker.

HRESULT CGPSCore::GetHeading(Mode eMode, HeadingType eHeadingType, BSTR* pbstrHeading) {
    CriticalSectionLock lock(m_csCore);
    if (pbstrHeading == nullptr) return E_POINTER;
    if (eMode == VirtualMode)
        return Walker() != nullptr ? Walker()->GetHeading(eHeadingType, pbstrHeading) : E_FAIL;
    return GPS() != nullptr ? GPS()->GetHeading(eHeadingType, pbstrHeading) : E_FAIL;
}

HRESULT CGPSCore::GetHeadingDegrees(Mode eMode, SHORT* pnHeadingDegrees) {
    CriticalSectionLock lock(m_csCore);
    if (pnHeadingDegrees == nullptr) return E_POINTER;
    if (eMode == VirtualMode)
        return Walker() != nullptr ? Walker()->GetHeadingDegrees(pnHeadingDegrees) : E_FAIL;
    return GPS() != nullptr ? GPS()->GetHeadingDegrees(pnHeadingDegrees) : E_FAIL;
}

HRESULT CGPSCore::IsHeadingValid(Mode eMode, VARIANT_BOOL* pbValid) {
    CriticalSectionLock lock(m_csCore);
    if (pbValid == nullptr) return E_POINTER;
    if (eMode == VirtualMode)
        return Walker() != nullptr ? Walker()->IsHeadingValid(pbValid) : E_FAIL;
    return GPS() != nullptr ? GPS()->IsHeadingValid(pbValid) : E_FAIL;
}

HRESULT CGPSCore::GetLocation(Mode eMode, ILocationObject** ppLocation) {
    CriticalSectionLock lock(m_csCore);
    if (ppLocation == nullptr) return E_POINTER;
    *ppLocation = nullptr;
    if (eMode == VirtualMode)
        return Walker() != nullptr ? Walker()->GetLocation(ppLocation) : E_FAIL;
    return GPS() != nullptr ? GPS()->GetLocation(ppLocation) : E_FAIL;
}

HRESULT CGPSCore::GetDistanceAndHeading(Mode eMode, ILocationObject* pTo, BSTR* pbstrDescription) {
    CriticalSectionLock lock(m_csCore);
    if (pTo == nullptr || pbstrDescription == nullptr) return E_POINTER;
    if (eMode != GPSMode)
        return Walker() != nullptr ? Walker()->GetDistanceAndHeading(pTo, pbstrDescription)
                                   : E_FAIL;
    IGPSObject* gps = GPS();
    if (gps == nullptr) return E_FAIL;
    SHORT heading = -1;
    gps->GetHeadingDegrees(&heading);
    return gps->GetDistanceAndHeading(heading, pTo, pbstrDescription);
}

HRESULT CGPSCore::GetDistanceAndHeadingAndName(Mode eMode, ILocationObject* pTo,
                                               IDescriptionConfigurationObject* pConfig,
                                               BSTR* pbstrDescription) {
    CriticalSectionLock lock(m_csCore);
    if (pTo == nullptr || pConfig == nullptr || pbstrDescription == nullptr) return E_POINTER;
    if (eMode != GPSMode)
        return Walker() != nullptr
                   ? Walker()->GetDistanceAndHeadingAndName(pTo, pConfig, pbstrDescription)
                   : E_FAIL;
    IGPSObject* gps = GPS();
    if (gps == nullptr) return E_FAIL;
    SHORT heading = -1;
    gps->GetHeadingDegrees(&heading);
    return gps->GetDistanceAndHeadingAndName(heading, pTo, pConfig, pbstrDescription);
}

// ---------------------------------------------------------------------------------------------
// The destination.

HRESULT CGPSCore::DestinationGet(IDestinationObject** ppDestination) {
    CriticalSectionLock lock(m_csCore);
    if (ppDestination == nullptr) return E_POINTER;
    *ppDestination = nullptr;
    return m_destination.Get(ppDestination);
}

HRESULT CGPSCore::DestinationSetByLocation(ILocationObject* pLocation) {
    CriticalSectionLock lock(m_csCore);
    if (pLocation == nullptr) return E_POINTER;
    return m_destination.Set(pLocation, SideUnknown);
}

HRESULT CGPSCore::DestinationSetByAddress(IAddressObject* pAddress) {
    CriticalSectionLock lock(m_csCore);
    if (pAddress == nullptr) return E_POINTER;
    return m_destination.SetByAddress(pAddress);
}

HRESULT CGPSCore::DestinationSetByPOI(IPOIObject* pPOI) {
    CriticalSectionLock lock(m_csCore);
    if (pPOI == nullptr) return E_POINTER;
    return m_destination.SetByPOI(pPOI);
}

HRESULT CGPSCore::DestinationClear() {
    CriticalSectionLock lock(m_csCore);
    return m_destination.Clear();
}

HRESULT CGPSCore::DestinationWhereIs(Mode eMode, IDescriptionConfigurationObject* pConfig,
                                     BSTR* pbstrDescription) {
    CriticalSectionLock lock(m_csCore);
    if (pbstrDescription == nullptr) return E_POINTER;
    return m_destination.WhereIs(eMode, pConfig, Walker(), GPS(), pbstrDescription);
}

// ---------------------------------------------------------------------------------------------
// Automatic events.

HRESULT CGPSCore::RegisterUIAutoEventCallback(IDispatch* pAutoEventSink) {
    CriticalSectionLock lock(m_csCore);
    if (pAutoEventSink == nullptr) return E_POINTER;
    m_eventDelivery.RegisterSink(pAutoEventSink);
    return S_OK;
}

HRESULT CGPSCore::EngageUIAutoLookaroundEvents(VARIANT_BOOL bEngaged) {
    CriticalSectionLock lock(m_csCore);
    m_events.Engage(bEngaged != 0);
    return S_OK;
}

HRESULT CGPSCore::LookaroundGetUrgencyReportingLevel(UrgencyLevel* peUrgencyLevel) {
    CriticalSectionLock lock(m_csCore);
    if (peUrgencyLevel == nullptr) return E_POINTER;
    *peUrgencyLevel = m_events.ReportingLevel();
    return S_OK;
}

HRESULT CGPSCore::LookaroundSetUrgencyReportingLevel(UrgencyLevel eUrgencyLevel) {
    CriticalSectionLock lock(m_csCore);
    m_events.SetReportingLevel(eUrgencyLevel);
    return S_OK;
}

HRESULT CGPSCore::EnableHistoryOfAutomaticEvents(VARIANT_BOOL bEnable) {
    CriticalSectionLock lock(m_csCore);
    m_eventDelivery.EnableHistory(bEnable != 0);
    return S_OK;
}

HRESULT CGPSCore::GetLastAutomaticEvent(IAutomaticEventObject** ppEvent) {
    CriticalSectionLock lock(m_csCore);
    if (ppEvent == nullptr) return E_POINTER;
    *ppEvent = nullptr;
    return m_eventDelivery.LastEvent(ppEvent);
}

HRESULT CGPSCore::GetLastTenAutomaticEvents(VARIANT* pvarEvents) {
    CriticalSectionLock lock(m_csCore);
    if (pvarEvents == nullptr) return E_POINTER;
    VariantClear(pvarEvents);
    return m_eventDelivery.LastTenEvents(pvarEvents);
}
