// The navigation service: the one object through which a client uses the system.
#ifndef GPSCORE_CORE_GPSCORE_H_
#define GPSCORE_CORE_GPSCORE_H_

#include "GPSLib_classes.h"
#include "os/sync.h"

class CGPSCore : public CGPSCoreBase {
public:
    // Kept for clients written against receivers and light databases that this service does not
    // drive: they answer success and write nothing.
    HRESULT TalkingLightsDatabaseLoad(BSTR bstrDatabaseFile, VARIANT_BOOL* pbLoaded) override;
    HRESULT TalkingLightsDatabaseClose() override;
    HRESULT TalkingLightsGetNumberOfActiveLights(SHORT* pnActiveLights) override;
    HRESULT TalkingLightsGetAllLightIds(VARIANT* pvarLightIds) override;
    HRESULT TalkingLightsGet(BSTR bstrLightId, ITalkingLightObject** ppLight) override;
    HRESULT TalkingLightsAddOrUpdate(BSTR bstrLightId, ITalkingLightObject* pLight) override;
    HRESULT TalkingLightsDelete(BSTR bstrLightId) override;
    HRESULT TalkingLightsGetNearest(ILocationObject* pLocation,
                                    ITalkingLightObject** ppLight) override;
    HRESULT TalkingLightsGetMinAmplitudePercentage(SHORT* pnPercentage) override;
    HRESULT TalkingLightsSetMinAmplitudePercentage(SHORT nPercentage) override;
    HRESULT TalkingLightsSyncGPSLocation(VARIANT_BOOL bSync) override;
    HRESULT TalkingLightsIsSyncingGPSLocation(VARIANT_BOOL* pbSyncing) override;
    HRESULT GPSCalibrateInertialReceiver(VARIANT_BOOL* pbCalibrationStarted) override;

private:
    // The core lock: every public method holds it for its whole body.
    gpslib::os::CriticalSection m_csCore;
};

#endif // GPSCORE_CORE_GPSCORE_H_
