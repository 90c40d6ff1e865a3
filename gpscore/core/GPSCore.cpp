#include "core/GPSCore.h"

GPSLIB_CLASS_FACTORY(GPSCore, CGPSCore)

using gpslib::os::CriticalSectionLock;

HRESULT CGPSCore::TalkingLightsDatabaseLoad(BSTR, VARIANT_BOOL*) {
    return S_OK;
}
HRESULT CGPSCore::TalkingLightsDatabaseClose() {
    return S_OK;
}
HRESULT CGPSCore::TalkingLightsGetNumberOfActiveLights(SHORT*) {
    return S_OK;
}
HRESULT CGPSCore::TalkingLightsGetAllLightIds(VARIANT*) {
    return S_OK;
}
HRESULT CGPSCore::TalkingLightsGet(BSTR, ITalkingLightObject**) {
    return S_OK;
}
HRESULT CGPSCore::TalkingLightsAddOrUpdate(BSTR, ITalkingLightObject*) {
    return S_OK;
}
HRESULT CGPSCore::TalkingLightsDelete(BSTR) {
    return S_OK;
}
HRESULT CGPSCore::TalkingLightsGetNearest(ILocationObject*, ITalkingLightObject**) {
    return S_OK;
}
HRESULT CGPSCore::TalkingLightsGetMinAmplitudePercentage(SHORT*) {
    return S_OK;
}
HRESULT CGPSCore::TalkingLightsSetMinAmplitudePercentage(SHORT) {
    return S_OK;
}
HRESULT CGPSCore::TalkingLightsSyncGPSLocation(VARIANT_BOOL) {
    return S_OK;
}

HRESULT CGPSCore::TalkingLightsIsSyncingGPSLocation(VARIANT_BOOL* pbSyncing) {
    return pbSyncing == nullptr ? E_POINTER : S_OK;
}

HRESULT CGPSCore::GPSCalibrateInertialReceiver(VARIANT_BOOL* pbCalibrationStarted) {
    CriticalSectionLock lock(m_csCore);
    return pbCalibrationStarted == nullptr ? E_POINTER : S_OK;
}
