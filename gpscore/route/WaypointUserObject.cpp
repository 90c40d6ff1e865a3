#include "route/WaypointUserObject.h"

GPSLIB_CLASS_FACTORY(WaypointUserObject, CWaypointUserObject)

HRESULT CWaypointUserObject::CreateUserWaypoint(ILocationObject* pLocation,
                                                WaypointTurnType eTurnType, SHORT nHeading) {
    if (pLocation == nullptr) return E_POINTER;
    if (m_eTurnType != WaypointTurnTypeNoTurn && nHeading == -1) return S_FALSE;
    HRESULT hr = m_pLocation ? m_pLocation->SetLocation(pLocation) : E_FAIL;
    if (FAILED(hr)) return hr;
    m_eTurnType = eTurnType;
    m_nHeadingWhenCreated = nHeading;
    return S_OK;
}
