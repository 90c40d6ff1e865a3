#include "orientation/LocationObject.h"

#include <cmath>
#include <cstdint>

namespace {

// Whole part of `value` cut to 16 bits, as a 16-bit field holds it. Values beyond any 64-bit
// integer (and NaN) give 0 rather than undefined behaviour.
SHORT TruncToShort(double value) {
    double whole = std::trunc(value);
    if (!(std::fabs(whole) < 9.2e18)) return 0;
    return static_cast<SHORT>(static_cast<std::uint16_t>(static_cast<std::int64_t>(whole)));
}

// The degree/minute/second view of one coordinate. The sign is dropped: the hemisphere tells it.
SHORT WholeDegrees(double coordinate) {
    return TruncToShort(std::fabs(std::trunc(coordinate)));
}

double MinutesWithFraction(double coordinate) {
    double magnitude = std::fabs(coordinate);
    return (magnitude - std::trunc(magnitude)) * 60.0;
}

SHORT WholeMinutes(double coordinate) {
    return TruncToShort(MinutesWithFraction(coordinate));
}

double SecondsWithFraction(double coordinate) {
    double minutes = MinutesWithFraction(coordinate);
    return (minutes - std::trunc(minutes)) * 60.0;
}

// Degrees plus minutes and seconds, in this order of addition. A negative degree value is not
// applied to the minutes and seconds (-33 30' gives -32.5): callers give magnitudes and set the
// hemisphere afterwards.
double FromDegreesMinutesSeconds(SHORT degrees, SHORT minutes, double seconds) {
    return minutes * 0.016666666666666666 + seconds * 0.0002777777777777778 + degrees;
}

// Moves `coordinate` into the hemisphere whose sign is `negative`; 0.0 stays 0.0.
void ApplyHemisphere(double* coordinate, bool negative) {
    if ((negative && *coordinate > 0.0) || (!negative && *coordinate < 0.0))
        *coordinate = -*coordinate;
}

} // namespace

// 0.0 counts as the southern (western) hemisphere: only a positive value is north (east).
HRESULT CLocationObject::GetLatitudeHemisphere(LatitudeHemisphere* peHemisphere) {
    if (peHemisphere == nullptr) return E_POINTER;
    *peHemisphere = m_dLatitude > 0.0 ? North : South;
    return S_OK;
}

HRESULT CLocationObject::SetLatitudeHemisphere(LatitudeHemisphere eHemisphere) {
    if (eHemisphere == North || eHemisphere == South)
        ApplyHemisphere(&m_dLatitude, eHemisphere == South);
    return S_OK;
}

HRESULT CLocationObject::GetLongitudeHemisphere(LongitudeHemisphere* peHemisphere) {
    if (peHemisphere == nullptr) return E_POINTER;
    *peHemisphere = m_dLongitude > 0.0 ? East : West;
    return S_OK;
}

HRESULT CLocationObject::SetLongitudeHemisphere(LongitudeHemisphere eHemisphere) {
    if (eHemisphere == East || eHemisphere == West)
        ApplyHemisphere(&m_dLongitude, eHemisphere == West);
    return S_OK;
}

HRESULT CLocationObject::GetLatitudeDegrees(SHORT* pnDegrees) {
    if (pnDegrees == nullptr) return E_POINTER;
    *pnDegrees = WholeDegrees(m_dLatitude);
    return S_OK;
}

HRESULT CLocationObject::GetLatitudeMinutes(SHORT* pnMinutes) {
    if (pnMinutes == nullptr) return E_POINTER;
    *pnMinutes = WholeMinutes(m_dLatitude);
    return S_OK;
}

HRESULT CLocationObject::GetLatitudeSeconds(DOUBLE* pdSeconds) {
    if (pdSeconds == nullptr) return E_POINTER;
    *pdSeconds = SecondsWithFraction(m_dLatitude);
    return S_OK;
}

HRESULT CLocationObject::SetLatitudeDegreesMinutesSeconds(SHORT nDegrees, SHORT nMinutes,
                                                          DOUBLE dSeconds) {
    m_dLatitude = FromDegreesMinutesSeconds(nDegrees, nMinutes, dSeconds);
    return S_OK;
}

HRESULT CLocationObject::GetLongitudeDegrees(SHORT* pnDegrees) {
    if (pnDegrees == nullptr) return E_POINTER;
    *pnDegrees = WholeDegrees(m_dLongitude);
    return S_OK;
}

HRESULT CLocationObject::GetLongitudeMinutes(SHORT* pnMinutes) {
    if (pnMinutes == nullptr) return E_POINTER;
    *pnMinutes = WholeMinutes(m_dLongitude);
    return S_OK;
}

HRESULT CLocationObject::GetLongitudeSeconds(DOUBLE* pdSeconds) {
    if (pdSeconds == nullptr) return E_POINTER;
    *pdSeconds = SecondsWithFraction(m_dLongitude);
    return S_OK;
}

HRESULT CLocationObject::SetLongitudeDegreesMinutesSeconds(SHORT nDegrees, SHORT nMinutes,
                                                           DOUBLE dSeconds) {
    m_dLongitude = FromDegreesMinutesSeconds(nDegrees, nMinutes, dSeconds);
    return S_OK;
}

// Reads all four values through the other object's interface before changing anything, so a
// failing source leaves this object as it was (and copying from itself is harmless).
HRESULT CLocationObject::SetLocation(ILocationObject* pLocation) {
    if (pLocation == nullptr) return E_POINTER;
    gpslib::Bstr description, name;
    DOUBLE latitude = 0.0, longitude = 0.0;
    HRESULT hr = pLocation->GetDescription(description.Put());
    if (SUCCEEDED(hr)) hr = pLocation->GetName(name.Put());
    if (SUCCEEDED(hr)) hr = pLocation->GetLatitude(&latitude);
    if (SUCCEEDED(hr)) hr = pLocation->GetLongitude(&longitude);
    if (FAILED(hr)) return hr;
    m_bstrDescription = gpslib::Bstr(description.View());
    m_bstrName = gpslib::Bstr(name.View());
    m_dLatitude = latitude;
    m_dLongitude = longitude;
    return S_OK;
}

HRESULT CLocationObject::IsValid(VARIANT_BOOL* pbValid) {
    if (pbValid == nullptr) return E_POINTER;
    *pbValid = (m_dLatitude != 0.0 || m_dLongitude != 0.0) ? 1 : 0;
    return S_OK;
}

HRESULT CLocationObject::GetLocation(ILocationObject** ppLocation) {
    if (ppLocation == nullptr) return E_POINTER;
    *ppLocation = nullptr;
    gpslib::ComPtr<ILocationObject> copy;
    HRESULT hr = gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &copy);
    if (FAILED(hr)) return hr;
    hr = copy->SetLocation(this);
    if (FAILED(hr)) return hr;
    *ppLocation = copy.Detach();
    return S_OK;
}

GPSLIB_CLASS_FACTORY(LocationObject, CLocationObject)
