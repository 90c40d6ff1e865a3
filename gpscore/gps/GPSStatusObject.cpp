#include "gps/GPSStatusObject.h"

#include "gps/FixValues.h"

HRESULT CGPSStatusObject::GetEstimatedAccuracy(SHORT* pnAccuracy) {
    if (pnAccuracy == nullptr) return E_POINTER;
    *pnAccuracy = gpscore::AccuracyInUnits(m_dEstimatedAccuracyMeters, gpscore::DisplayUnits());
    return S_OK;
}

HRESULT CGPSStatusObject::GetEstimatedAccuracyDescription(BSTR* pbstrDescription) {
    if (pbstrDescription == nullptr) return E_POINTER;
    const gpscore::FixAccuracy fix{m_eFixQuality, m_dEstimatedAccuracyMeters, m_bDifferential != 0,
                                   m_nSatellites};
    return gpslib::ReturnString(pbstrDescription,
                                std::u16string_view(gpscore::AccuracyDescription(fix)));
}

GPSLIB_CLASS_FACTORY(GPSStatusObject, CGPSStatusObject)
