// The service's orientation and event questions as a client asks them: heading and position for
// either mode, the destination, and the automatic events. Each method takes the core lock,
// checks its pointers and asks the part that owns the answer.
#include "core/GPSCore.h"

#include "address/AddressObject.h"
#include "base/LocationObject.h"
#include "orientation/DestinationObject.h"
#include "poi/POIObject.h"

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
    return gpscore::NewDestinationObject(m_destination.Where(), m_destination.Side(),
                                         ppDestination);
}

HRESULT CGPSCore::DestinationSetByLocation(ILocationObject* pLocation) {
    CriticalSectionLock lock(m_csCore);
    if (pLocation == nullptr) return E_POINTER;
    m_destination.Set(gpscore::HoldLocation(pLocation), SideUnknown);
    return S_OK;
}

HRESULT CGPSCore::DestinationSetByAddress(IAddressObject* pAddress) {
    CriticalSectionLock lock(m_csCore);
    if (pAddress == nullptr) return E_POINTER;
    // An address without a position is no place to head for: the destination stays as it was.
    gpscore::AddressPlace address = gpscore::ReadAddress(pAddress);
    if (!address.HasPosition()) return S_FALSE;
    gpslib::ComPtr<ILocationObject> location;
    HRESULT hr = pAddress->GetLocation(location.Put());
    if (FAILED(hr)) return hr;
    if (!location) return E_FAIL;
    // The city of the address's street.
    gpslib::ComPtr<IStreetObject> street;
    address.city.clear();
    if (SUCCEEDED(pAddress->GetStreetObject(street.Put())) && street)
        address.city = gpscore::Field(street.Get(), &IStreetObject::GetCity);
    m_destination.SetByAddress(address, gpscore::PlaceAt(location.Get()));
    return S_OK;
}

HRESULT CGPSCore::DestinationSetByPOI(IPOIObject* pPOI) {
    CriticalSectionLock lock(m_csCore);
    if (pPOI == nullptr) return E_POINTER;
    gpslib::ComPtr<ILocationObject> location;
    HRESULT hr = pPOI->GetLocation(location.Put());
    if (FAILED(hr)) return hr;
    gpscore::POIData poi;
    poi.name = gpscore::Field(pPOI, &IPOIObject::GetName);
    poi.addressNumber = gpscore::Field(pPOI, &IPOIObject::GetAddressNumber);
    poi.street = gpscore::Field(pPOI, &IPOIObject::GetStreet);
    poi.city = gpscore::Field(pPOI, &IPOIObject::GetCity);
    m_destination.SetByPOI(poi, gpscore::PlaceAt(location.Get()));
    return S_OK;
}

HRESULT CGPSCore::DestinationClear() {
    CriticalSectionLock lock(m_csCore);
    m_destination.Clear();
    return S_OK;
}

HRESULT CGPSCore::DestinationWhereIs(Mode eMode, IDescriptionConfigurationObject* pConfig,
                                     BSTR* pbstrDescription) {
    CriticalSectionLock lock(m_csCore);
    if (pbstrDescription == nullptr) return E_POINTER;
    *pbstrDescription = nullptr;
    // The distance, heading and name of the destination from the walker or the live fix.
    IVirtualObject* walker = eMode == VirtualMode ? Walker() : nullptr;
    IGPSObject* gps = eMode == VirtualMode ? nullptr : GPS();
    gpslib::ComPtr<ILocationObject> here;
    if (walker != nullptr) walker->GetLocation(here.Put());
    if (gps != nullptr) gps->GetLocation(here.Put());
    if (auto missing = m_destination.Missing(eMode, gpscore::PlaceOf(here.Get())))
        return gpscore::ReturnText(*missing, pbstrDescription);
    gpslib::ComPtr<ILocationObject> target = gpscore::NewLocation(m_destination.Where());
    if (walker != nullptr)
        return walker->GetDistanceAndHeadingAndName(target.Get(), pConfig, pbstrDescription);
    SHORT heading = -1;
    gps->GetHeadingDegrees(&heading);
    return gps->GetDistanceAndHeadingAndName(heading, target.Get(), pConfig, pbstrDescription);
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
