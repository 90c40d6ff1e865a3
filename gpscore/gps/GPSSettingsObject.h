// The receiver settings: link type, port, baud rate, heading averaging.
#ifndef GPSCORE_GPS_GPSSETTINGSOBJECT_H_
#define GPSCORE_GPS_GPSSETTINGSOBJECT_H_

#include "GPSLib_classes.h"

// Setters store without checks; the core validates the averaging seconds when the settings are
// applied.
class CGPSSettingsObject : public CGPSSettingsObjectBase {
public:
    HRESULT SetUpBluetoothReceiver(IBluetoothDeviceObject* pBluetoothDevice) override;

    // Bluetooth serial ports run at this speed whatever the device.
    static constexpr LONG kBluetoothBaudRate = 4800;
};

#endif // GPSCORE_GPS_GPSSETTINGSOBJECT_H_
