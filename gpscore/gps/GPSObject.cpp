#include "gps/GPSObject.h"

#include "base/Descriptions.h"
#include "base/LocationObject.h"
#include "base/Utility.h"
#include "gps/FixValues.h"

GPSLIB_CLASS_FACTORY(GPSObject, CGPSObject)

gpslib::ComPtr<ILocationObject> gpscore::FixLocation(IGPSObject* record) {
    gpslib::ComPtr<ILocationObject> location;
    if (record != nullptr) record->GetLocation(location.Put());
    return location;
}

namespace {

VARIANT_BOOL Flag(bool on) {
    return on ? 1 : 0;
}

} // namespace

CGPSObject::Fix CGPSObject::Copy() {
    gpslib::os::CriticalSectionLock lock(m_csData);
    return Fix{m_nAltitudeFeet, m_nHeadingDegrees, m_dSpeedMph,  m_dEstimatedAccuracyMeters,
               m_eFixQuality,   m_nGgaQuality,     m_nSatellites};
}

// The units are read outside the lock: the settings are not part of the record.
HRESULT CGPSObject::GetAltitude(LONG* plAltitude) {
    if (plAltitude == nullptr) return E_POINTER;
    *plAltitude = gpscore::AltitudeInUnits(Copy().altitudeFeet, gpscore::DisplayUnits());
    return S_OK;
}

HRESULT CGPSObject::GetHeading(HeadingType eHeadingType, BSTR* pbstrHeading) {
    if (pbstrHeading == nullptr) return E_POINTER;
    return gpslib::ReturnString(pbstrHeading,
                                gpscore::Wording(gpscore::Utility::Instance())
                                    .HeadingText(Copy().headingDegrees, eHeadingType));
}

HRESULT CGPSObject::IsHeadingValid(VARIANT_BOOL* pbHeadingValid) {
    if (pbHeadingValid == nullptr) return E_POINTER;
    *pbHeadingValid = Flag(Copy().headingDegrees != -1);
    return S_OK;
}

HRESULT CGPSObject::GetSpeed(SHORT* pnSpeed) {
    if (pnSpeed == nullptr) return E_POINTER;
    *pnSpeed = gpscore::WholeSpeed(Copy().speedMph, gpscore::DisplayUnits());
    return S_OK;
}

HRESULT CGPSObject::GetSpeedDouble(DOUBLE* pdSpeed) {
    if (pdSpeed == nullptr) return E_POINTER;
    *pdSpeed = gpscore::SpeedTenths(Copy().speedMph, gpscore::DisplayUnits());
    return S_OK;
}

HRESULT CGPSObject::GetEstimatedAccuracy(SHORT* pnAccuracy) {
    if (pnAccuracy == nullptr) return E_POINTER;
    *pnAccuracy = gpscore::AccuracyInUnits(Copy().estimatedAccuracyMeters, gpscore::DisplayUnits());
    return S_OK;
}

HRESULT CGPSObject::GetEstimatedAccuracyDescription(BSTR* pbstrDescription) {
    if (pbstrDescription == nullptr) return E_POINTER;
    const Fix fix = Copy();
    return gpslib::ReturnString(pbstrDescription,
                                gpscore::AccuracyDescription(gpscore::FixAccuracy{
                                    fix.fixQuality, fix.estimatedAccuracyMeters,
                                    fix.ggaQuality == gpscore::kGgaDifferential, fix.satellites}));
}

HRESULT CGPSObject::HasGPSFix(VARIANT_BOOL* pbHasFix) {
    if (pbHasFix == nullptr) return E_POINTER;
    *pbHasFix = Flag(gpscore::HasFix(Copy().fixQuality));
    return S_OK;
}

HRESULT CGPSObject::IsDifferentialEnabled(VARIANT_BOOL* pbDifferential) {
    if (pbDifferential == nullptr) return E_POINTER;
    *pbDifferential = Flag(Copy().ggaQuality == gpscore::kGgaDifferential);
    return S_OK;
}

void CGPSObject::SetCoarseDirections(bool coarse) {
    if (auto* place = gpslib::ImplOf<CLocationObject>(m_pLocation.Get()))
        place->SetCoarseDirections(coarse);
}
