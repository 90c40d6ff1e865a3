// The walker's answers beside IGPSCore (IGPSPedestrian): the crossings of the nearest
// intersection, near a place and ahead, and the setting that adds them to the intersection
// announcement. Each method takes the core lock, checks its pointers, writes its log lines and
// asks the Crossings part.
#include "core/GPSCore.h"

#include <cmath>

#include "base/LocationObject.h"
#include "core/ModePlace.h"
#include "formats/Geodesy.h"
#include "orientation/CrossingObject.h"

using gpscore::CrossingAnswer;
using gpscore::IsMode;
using gpscore::PlaceAt;
using gpscore::PlaceOfMode;
using gpslib::ComPtr;
using gpslib::os::CriticalSectionLock;

namespace {

// The crossings as the client's list of crossing objects, and their number.
HRESULT ReturnCrossings(const std::vector<CrossingAnswer>& answers, Units units, VARIANT* list,
                        LONG* count) {
    std::vector<ComPtr<ICrossingObject>> objects;
    std::vector<IUnknown*> items;
    for (const CrossingAnswer& answer : answers) {
        ComPtr<ICrossingObject> object;
        HRESULT hr = gpscore::NewCrossingObject(answer, units, object.Put());
        if (FAILED(hr)) return hr;
        items.push_back(object.Get());
        objects.push_back(std::move(object));
    }
    HRESULT hr = gpslib::ReturnObjectList(list, items, IID_ICrossingObject);
    if (SUCCEEDED(hr)) *count = static_cast<LONG>(items.size());
    return hr;
}

} // namespace

HRESULT CGPSCore::GetIntersectionCrossings(Mode eMode, VARIANT* pvarCrossings, LONG* plCount) {
    CriticalSectionLock lock(m_csCore);
    if (pvarCrossings == nullptr || plCount == nullptr) return E_POINTER;
    *plCount = 0;
    Log("GPSCore::GetIntersectionCrossings enter");
    if (!IsMode(eMode)) return E_INVALIDARG;
    ComPtr<ILocationObject> place;
    SHORT heading = -1;
    if (!PlaceOfMode(eMode, GPS(), m_virtual, &place, &heading)) return E_FAIL;
    HRESULT hr = ReturnCrossings(m_crossings.AtIntersection(PlaceAt(place.Get()), heading),
                                 m_context.CurrentUnits(), pvarCrossings, plCount);
    Log("GPSCore::GetIntersectionCrossings exit");
    return hr;
}

HRESULT CGPSCore::GetCrossingsNearLocation(ILocationObject* pLocation, LONG nRadius,
                                           VARIANT* pvarCrossings, LONG* plCount) {
    CriticalSectionLock lock(m_csCore);
    if (pLocation == nullptr || pvarCrossings == nullptr || plCount == nullptr) return E_POINTER;
    *plCount = 0;
    Log("GPSCore::GetCrossingsNearLocation enter");
    if (nRadius <= 0 || !gpscore::IsValidPlace(pLocation)) return E_INVALIDARG;
    const gpscore::Place place = PlaceAt(pLocation);
    // The radius is in the user's units: metres, or feet for every other unit.
    const double metres = gpscore::geo::UnitsInMetres(nRadius, m_context.CurrentUnits());
    HRESULT hr = ReturnCrossings(m_crossings.Near(place.latitude, place.longitude, metres, place),
                                 m_context.CurrentUnits(), pvarCrossings, plCount);
    Log("GPSCore::GetCrossingsNearLocation exit");
    return hr;
}

HRESULT CGPSCore::GetNextCrossingAhead(Mode eMode, ICrossingObject** ppCrossing) {
    CriticalSectionLock lock(m_csCore);
    if (ppCrossing == nullptr) return E_POINTER;
    *ppCrossing = nullptr;
    Log("GPSCore::GetNextCrossingAhead enter");
    if (!IsMode(eMode)) return E_INVALIDARG;
    ComPtr<ILocationObject> place;
    SHORT heading = -1;
    if (!PlaceOfMode(eMode, GPS(), m_virtual, &place, &heading)) return E_FAIL;
    std::optional<CrossingAnswer> ahead = m_crossings.Ahead(PlaceAt(place.Get()), heading);
    HRESULT hr =
        ahead ? gpscore::NewCrossingObject(*ahead, m_context.CurrentUnits(), ppCrossing) : S_FALSE;
    Log("GPSCore::GetNextCrossingAhead exit");
    return hr;
}

HRESULT CGPSCore::GetIntersectionCrossingsDescription(Mode eMode, BSTR* pbstrDescription) {
    CriticalSectionLock lock(m_csCore);
    if (pbstrDescription == nullptr) return E_POINTER;
    *pbstrDescription = nullptr;
    Log("GPSCore::GetIntersectionCrossingsDescription enter");
    if (!IsMode(eMode)) return E_INVALIDARG;
    ComPtr<ILocationObject> place;
    SHORT heading = -1;
    if (!PlaceOfMode(eMode, GPS(), m_virtual, &place, &heading)) return E_FAIL;
    HRESULT hr = gpscore::ReturnText(
        gpscore::Crossings::Sentences(m_crossings.AtIntersection(PlaceAt(place.Get()), heading)),
        pbstrDescription);
    Log("GPSCore::GetIntersectionCrossingsDescription exit");
    return hr;
}

HRESULT CGPSCore::SetAnnounceCrossings(VARIANT_BOOL bAnnounce) {
    CriticalSectionLock lock(m_csCore);
    m_crossings.SetAnnounce(bAnnounce != VARIANT_FALSE);
    return S_OK;
}

HRESULT CGPSCore::GetAnnounceCrossings(VARIANT_BOOL* pbAnnounce) {
    CriticalSectionLock lock(m_csCore);
    if (pbAnnounce == nullptr) return E_POINTER;
    *pbAnnounce = gpslib::VariantBool(m_crossings.Announce());
    return S_OK;
}

HRESULT CGPSCore::GetRouteCrossings(VARIANT* pvarCrossings, LONG* plCount) {
    CriticalSectionLock lock(m_csCore);
    if (pvarCrossings == nullptr || plCount == nullptr) return E_POINTER;
    *plCount = 0;
    Log("GPSCore::GetRouteCrossings enter");
    HRESULT hr =
        ReturnCrossings(m_crossings.OnRoute(), m_context.CurrentUnits(), pvarCrossings, plCount);
    Log("GPSCore::GetRouteCrossings exit");
    return hr;
}
