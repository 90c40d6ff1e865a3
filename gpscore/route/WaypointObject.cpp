#include "route/WaypointObject.h"

#include "base/Utility.h"
#include "route/RouteTexts.h"

GPSLIB_CLASS_FACTORY(WaypointObject, CWaypointObject)

HRESULT CWaypointObject::GetTurningInfo(SHORT nCurrentHeading, BSTR* pbstrTurningInfo) {
    if (pbstrTurningInfo == nullptr) return E_POINTER;
    const std::u16string text = gpscore::TurningInfoText(
        gpscore::Utility::Instance(), m_bTurningPoint != 0, m_nTurnCompleteHeadingDegrees,
        m_nStreetOrientationReverse, nCurrentHeading);
    *pbstrTurningInfo = gpslib::AllocBstr(text);
    return *pbstrTurningInfo != nullptr ? S_OK : E_OUTOFMEMORY;
}
