#include "gps/GPSObject.h"

#include "core/Utility.h"
#include "gps/FixValues.h"
#include "orientation/Descriptions.h"
#include "orientation/LocationObject.h"

GPSLIB_CLASS_FACTORY(GPSObject, CGPSObject)

namespace {

VARIANT_BOOL Flag(bool on) {
    return on ? 1 : 0;
}

HRESULT Answer(BSTR* out, std::u16string_view text) {
    *out = gpslib::AllocBstr(text);
    return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}

} // namespace

// The units are read before the lock: the settings are not part of the record.
HRESULT CGPSObject::GetAltitude(LONG* plAltitude) {
    const Units units = gpscore::DisplayUnits();
    return ReadLocked(plAltitude, [&] { return gpscore::AltitudeInUnits(m_nAltitudeFeet, units); });
}

HRESULT CGPSObject::GetHeading(HeadingType eHeadingType, BSTR* pbstrHeading) {
    if (pbstrHeading == nullptr) return E_POINTER;
    SHORT degrees = -1;
    ReadLocked(&degrees, [this] { return m_nHeadingDegrees; });
    return Answer(
        pbstrHeading,
        gpscore::Wording(gpscore::Utility::Instance()).HeadingText(degrees, eHeadingType));
}

HRESULT CGPSObject::GetHeadingDegrees(SHORT* pnHeadingDegrees) {
    return ReadLocked(pnHeadingDegrees, [this] { return m_nHeadingDegrees; });
}

HRESULT CGPSObject::IsHeadingValid(VARIANT_BOOL* pbHeadingValid) {
    return ReadLocked(pbHeadingValid, [this] { return Flag(m_nHeadingDegrees != -1); });
}

HRESULT CGPSObject::GetInstantaneousHeadingDegrees(SHORT* pnHeadingDegrees) {
    return ReadLocked(pnHeadingDegrees, [this] { return m_nInstantaneousHeadingDegrees; });
}

HRESULT CGPSObject::GetSpeed(SHORT* pnSpeed) {
    const Units units = gpscore::DisplayUnits();
    return ReadLocked(pnSpeed, [&] { return gpscore::WholeSpeed(m_dSpeedMph, units); });
}

HRESULT CGPSObject::GetSpeedDouble(DOUBLE* pdSpeed) {
    const Units units = gpscore::DisplayUnits();
    return ReadLocked(pdSpeed, [&] { return gpscore::SpeedTenths(m_dSpeedMph, units); });
}

HRESULT CGPSObject::GetEstimatedAccuracy(SHORT* pnAccuracy) {
    const Units units = gpscore::DisplayUnits();
    return ReadLocked(pnAccuracy,
                      [&] { return gpscore::AccuracyInUnits(m_dEstimatedAccuracyMeters, units); });
}

// The sentence is made outside the lock, from a copy of the values it needs.
HRESULT CGPSObject::GetEstimatedAccuracyDescription(BSTR* pbstrDescription) {
    if (pbstrDescription == nullptr) return E_POINTER;
    gpscore::FixAccuracy fix;
    ReadLocked(&fix, [this] {
        return gpscore::FixAccuracy{m_eFixQuality, m_dEstimatedAccuracyMeters,
                                    m_nGgaQuality == gpscore::kGgaDifferential, m_nSatellites};
    });
    return Answer(pbstrDescription, gpscore::AccuracyDescription(fix));
}

HRESULT CGPSObject::GetFixQuality(GPSQuality* peFixQuality) {
    return ReadLocked(peFixQuality, [this] { return m_eFixQuality; });
}

HRESULT CGPSObject::GetHDOP(DOUBLE* pdHDOP) {
    return ReadLocked(pdHDOP, [this] { return m_dHDOP; });
}

HRESULT CGPSObject::GetVDOP(DOUBLE* pdVDOP) {
    return ReadLocked(pdVDOP, [this] { return m_dVDOP; });
}

HRESULT CGPSObject::GetNumberOfSatellites(SHORT* pnSatellites) {
    return ReadLocked(pnSatellites, [this] { return m_nSatellites; });
}

HRESULT CGPSObject::HasGPSFix(VARIANT_BOOL* pbHasFix) {
    return ReadLocked(pbHasFix, [this] { return Flag(gpscore::HasFix(m_eFixQuality)); });
}

HRESULT CGPSObject::IsDifferentialEnabled(VARIANT_BOOL* pbDifferential) {
    return ReadLocked(pbDifferential,
                      [this] { return Flag(m_nGgaQuality == gpscore::kGgaDifferential); });
}

void CGPSObject::SetCoarseDirections(bool coarse) {
    if (auto* place = gpslib::ImplOf<CLocationObject>(m_pLocation.Get()))
        place->SetCoarseDirections(coarse);
}
