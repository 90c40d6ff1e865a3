// The street questions as a client asks them: Where Am I, the nearest intersection and the next
// one ahead, the current map, city and postal code, and the virtual walker. Each method takes
// the core lock, checks its pointers, writes its log lines and asks the WhereAmI or the
// VirtualWalker part.
#include "core/GPSCore.h"

#include <cmath>

#include "address/AddressObject.h"
#include "base/LocationObject.h"
#include "core/ModePlace.h"
#include "orientation/IntersectionObject.h"
#include "orientation/WhereAmIObject.h"
#include "poi/POIObject.h"

using gpscore::IsMode;
using gpscore::NewAreasObject;
using gpscore::NewIntersectionObject;
using gpscore::NewWhereAmIObject;
using gpscore::PlaceAt;
using gpscore::PlaceOfMode;
using gpscore::ReturnText;
using gpslib::ComPtr;
using gpslib::os::CriticalSectionLock;

HRESULT CGPSCore::WhereAmI(Mode eMode, IWhereAmIObject** ppWhereAmI) {
    CriticalSectionLock lock(m_csCore);
    if (ppWhereAmI == nullptr) return E_POINTER;
    *ppWhereAmI = nullptr;
    Log("GPSCore::WhereAmI enter");
    if (!IsMode(eMode)) return E_INVALIDARG;
    ComPtr<ILocationObject> place;
    SHORT heading = -1;
    if (!PlaceOfMode(eMode, GPS(), m_virtual, &place, &heading)) return E_FAIL;
    HRESULT hr = NewWhereAmIObject(
        m_whereAmI.Describe(PlaceAt(place.Get()), heading, eMode, m_virtual.Side()), ppWhereAmI);
    Log("GPSCore::WhereAmI exit");
    return hr;
}

HRESULT CGPSCore::WhereAmIAtLocation(ILocationObject* pLocation, SHORT nHeading,
                                     IWhereAmIObject** ppWhereAmI) {
    CriticalSectionLock lock(m_csCore);
    if (pLocation == nullptr || ppWhereAmI == nullptr) return E_POINTER;
    *ppWhereAmI = nullptr;
    Log("GPSCore::WhereAmIAtLocation enter");
    if (m_context.m_pUtility == nullptr) return E_FAIL;
    const Mode mode = m_context.m_eCurrentMode;
    HRESULT hr = NewWhereAmIObject(
        m_whereAmI.Describe(PlaceAt(pLocation), nHeading, mode, m_virtual.Side()), ppWhereAmI);
    Log("GPSCore::WhereAmIAtLocation exit");
    return hr;
}

HRESULT CGPSCore::GetNearestIntersectionLocation(ILocationObject* pLocation,
                                                 IIntersectionObject** ppIntersection) {
    CriticalSectionLock lock(m_csCore);
    if (pLocation == nullptr || ppIntersection == nullptr) return E_POINTER;
    *ppIntersection = nullptr;
    Log("GPSCore::GetNearestIntersectionLocation enter");
    if (m_context.m_pUtility == nullptr) return E_FAIL;
    HRESULT hr = NewIntersectionObject(m_whereAmI.Intersection(PlaceAt(pLocation), -1, false),
                                       ppIntersection);
    Log("GPSCore::GetNearestIntersectionLocation Exit");
    return hr;
}

HRESULT CGPSCore::GetNearestIntersection(Mode eMode, IIntersectionObject** ppIntersection) {
    CriticalSectionLock lock(m_csCore);
    if (ppIntersection == nullptr) return E_POINTER;
    *ppIntersection = nullptr;
    Log("GPSCore::GetNearestIntersection enter");
    if (!IsMode(eMode)) return E_INVALIDARG;
    ComPtr<ILocationObject> place;
    SHORT heading = -1;
    if (!PlaceOfMode(eMode, GPS(), m_virtual, &place, &heading)) return E_FAIL;
    HRESULT hr = NewIntersectionObject(
        m_whereAmI.Intersection(PlaceAt(place.Get()), heading, false), ppIntersection);
    Log("GPSCore::GetNearestIntersection exit");
    return hr;
}

HRESULT CGPSCore::GetNextIntersectionAhead(Mode eMode, IIntersectionObject** ppIntersection) {
    CriticalSectionLock lock(m_csCore);
    if (ppIntersection == nullptr) return E_POINTER;
    *ppIntersection = nullptr;
    Log("GPSCore::GetNextIntersectionAhead enter");
    if (!IsMode(eMode)) return E_INVALIDARG;
    ComPtr<ILocationObject> place;
    SHORT heading = -1;
    if (!PlaceOfMode(eMode, GPS(), m_virtual, &place, &heading)) return E_FAIL;
    HRESULT hr = NewIntersectionObject(m_whereAmI.Intersection(PlaceAt(place.Get()), heading, true),
                                       ppIntersection);
    Log("GPSCore::GetNextIntersectionAhead exit");
    return hr;
}

HRESULT CGPSCore::AddressGetCurrentMapCityPostal(Mode eMode, IWhereAmIObject** ppWhereAmI) {
    CriticalSectionLock lock(m_csCore);
    if (ppWhereAmI == nullptr) return E_POINTER;
    *ppWhereAmI = nullptr;
    Log("GPSCore::AddressGetCurrentMapCityPostal enter");
    if (!IsMode(eMode)) return E_INVALIDARG;
    ComPtr<ILocationObject> place;
    SHORT heading = -1;
    if (!PlaceOfMode(eMode, GPS(), m_virtual, &place, &heading)) return E_FAIL;
    HRESULT hr = NewAreasObject(m_whereAmI.CurrentMapCityPostal(PlaceAt(place.Get())), ppWhereAmI);
    Log("GPSCore::AddressGetCurrentMapCityPostal exit");
    return hr;
}

// ---------------------------------------------------------------------------------------------
// The virtual walker. Before Start there is no walker: E_FAIL. Movements never fail once
// started: a refusal is the message.

namespace {

// A place the walker can stand on: a position (not 0/0) within the coordinate ranges.
bool IsPlaceable(ILocationObject* location) {
    if (!gpscore::IsValidPlace(location)) return false;
    DOUBLE latitude = 0.0, longitude = 0.0;
    location->GetLatitude(&latitude);
    location->GetLongitude(&longitude);
    return std::isfinite(latitude) && std::isfinite(longitude) && latitude >= -90.0 &&
           latitude <= 90.0 && longitude >= -180.0 && longitude <= 180.0;
}

} // namespace

HRESULT CGPSCore::VirtualGet(IVirtualObject** ppVirtual) {
    CriticalSectionLock lock(m_csCore);
    if (ppVirtual == nullptr) return E_POINTER;
    *ppVirtual = nullptr;
    IVirtualObject* walker = Walker();
    if (walker == nullptr) return E_FAIL;
    walker->AddRef();
    *ppVirtual = walker;
    return S_OK;
}

HRESULT CGPSCore::VirtualSet(ILocationObject* pLocation, SHORT nInitialHeading) {
    CriticalSectionLock lock(m_csCore);
    if (pLocation == nullptr) return E_POINTER;
    Log("GPSCore::VirtualSet enter");
    if (Walker() == nullptr) return E_FAIL;
    if (!IsPlaceable(pLocation)) return E_INVALIDARG;
    m_virtual.Set(gpscore::LocationOf(pLocation), nInitialHeading);
    Log("GPSCore::VirtualSet exit");
    return S_OK;
}

HRESULT CGPSCore::VirtualSetByPOI(IPOIObject* pPOI) {
    CriticalSectionLock lock(m_csCore);
    if (pPOI == nullptr) return E_POINTER;
    Log("GPSCore::VirtualSetByPOI enter");
    if (Walker() == nullptr) return E_FAIL;
    ComPtr<ILocationObject> place;
    if (FAILED(pPOI->GetLocation(place.Put())) || !IsPlaceable(place.Get())) return E_INVALIDARG;
    m_virtual.SetByPOI(PlaceAt(place.Get()), gpscore::Field(pPOI, &IPOIObject::GetName),
                       gpscore::Field(pPOI, &IPOIObject::GetStreet));
    Log("GPSCore::VirtualSetByPOI exit");
    return S_OK;
}

HRESULT CGPSCore::VirtualSetByAddress(IAddressObject* pAddress) {
    CriticalSectionLock lock(m_csCore);
    if (pAddress == nullptr) return E_POINTER;
    Log("GPSCore::VirtualSetByAddress enter");
    if (Walker() == nullptr) return E_FAIL;
    if (!m_virtual.SetByAddress(gpscore::ReadAddress(pAddress))) {
        Log("GPSCore::VirtualSetByAddress exit: the address has no position");
        return E_INVALIDARG;
    }
    Log("GPSCore::VirtualSetByAddress exit");
    return S_OK;
}

HRESULT CGPSCore::VirtualSetToMap(BSTR bstrMapName) {
    CriticalSectionLock lock(m_csCore);
    Log("GPSCore::VirtualSetToMap enter");
    if (Walker() == nullptr) return E_FAIL;
    if (!m_virtual.SetToMap(gpslib::View(bstrMapName))) {
        Log("GPSCore::VirtualSetToMap exit: no start location for the map");
        return E_INVALIDARG;
    }
    Log("GPSCore::VirtualSetToMap exit");
    return S_OK;
}

HRESULT CGPSCore::VirtualSetHeading(SHORT nHeading) {
    CriticalSectionLock lock(m_csCore);
    if (Walker() == nullptr) return E_FAIL;
    m_virtual.SetHeading(nHeading);
    return S_OK;
}

HRESULT CGPSCore::VirtualSetImpliedHeading(SHORT nHeading) {
    CriticalSectionLock lock(m_csCore);
    if (Walker() == nullptr) return E_FAIL;
    m_virtual.SetImpliedHeading(nHeading);
    return S_OK;
}

HRESULT CGPSCore::VirtualForward(BSTR* pbstrMessage) {
    CriticalSectionLock lock(m_csCore);
    if (pbstrMessage == nullptr) return E_POINTER;
    *pbstrMessage = nullptr;
    Log("GPSCore::VirtualForward enter");
    if (Walker() == nullptr) return E_FAIL;
    const std::u16string message = m_virtual.Forward();
    // A route being recorded from the walker's movements follows it.
    if (m_routeBuilder.Recording())
        m_routeBuilder.RecordVirtualMove(m_virtual.Where(), m_virtual.Heading());
    Log("GPSCore::VirtualForward exit");
    return ReturnText(message, pbstrMessage);
}

HRESULT CGPSCore::VirtualBackup(BSTR* pbstrMessage) {
    CriticalSectionLock lock(m_csCore);
    if (pbstrMessage == nullptr) return E_POINTER;
    *pbstrMessage = nullptr;
    Log("GPSCore::VirtualBackup enter");
    if (Walker() == nullptr) return E_FAIL;
    const std::u16string message = m_virtual.Backup();
    // A route being recorded from the walker's movements follows it.
    if (m_routeBuilder.Recording())
        m_routeBuilder.RecordVirtualMove(m_virtual.Where(), m_virtual.Heading());
    Log("GPSCore::VirtualBackup exit");
    return ReturnText(message, pbstrMessage);
}

HRESULT CGPSCore::VirtualTurnLeft(BSTR* pbstrMessage) {
    CriticalSectionLock lock(m_csCore);
    if (pbstrMessage == nullptr) return E_POINTER;
    *pbstrMessage = nullptr;
    Log("GPSCore::VirtualTurnLeft enter");
    if (Walker() == nullptr) return E_FAIL;
    const std::u16string message = m_virtual.Turn(-1);
    // A route being recorded from the walker's movements follows it.
    if (m_routeBuilder.Recording())
        m_routeBuilder.RecordVirtualMove(m_virtual.Where(), m_virtual.Heading());
    Log("GPSCore::VirtualTurnLeft exit");
    return ReturnText(message, pbstrMessage);
}

HRESULT CGPSCore::VirtualTurnRight(BSTR* pbstrMessage) {
    CriticalSectionLock lock(m_csCore);
    if (pbstrMessage == nullptr) return E_POINTER;
    *pbstrMessage = nullptr;
    Log("GPSCore::VirtualTurnRight enter");
    if (Walker() == nullptr) return E_FAIL;
    const std::u16string message = m_virtual.Turn(+1);
    // A route being recorded from the walker's movements follows it.
    if (m_routeBuilder.Recording())
        m_routeBuilder.RecordVirtualMove(m_virtual.Where(), m_virtual.Heading());
    Log("GPSCore::VirtualTurnRight exit");
    return ReturnText(message, pbstrMessage);
}

HRESULT CGPSCore::VirtualCrossStreet(BSTR* pbstrMessage) {
    CriticalSectionLock lock(m_csCore);
    if (pbstrMessage == nullptr) return E_POINTER;
    *pbstrMessage = nullptr;
    Log("GPSCore::VirtualCrossStreet enter");
    if (Walker() == nullptr) return E_FAIL;
    const std::u16string message = m_virtual.CrossStreet();
    // A route being recorded from the walker's movements follows it.
    if (m_routeBuilder.Recording())
        m_routeBuilder.RecordVirtualMove(m_virtual.Where(), m_virtual.Heading());
    Log("GPSCore::VirtualCrossStreet exit");
    return ReturnText(message, pbstrMessage);
}

HRESULT CGPSCore::VirtualGetOnStreetMessage(BSTR* pbstrMessage) {
    CriticalSectionLock lock(m_csCore);
    if (pbstrMessage == nullptr) return E_POINTER;
    *pbstrMessage = nullptr;
    Log("GPSCore::VirtualGetOnStreetMessage enter");
    if (Walker() == nullptr) return E_FAIL;
    const std::u16string message = m_virtual.OnStreetMessage();
    Log("GPSCore::VirtualGetOnStreetMessage exit");
    return ReturnText(message, pbstrMessage);
}
