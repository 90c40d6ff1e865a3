// A paired Bluetooth receiver found in the registry store.
#ifndef GPSCORE_GPS_BLUETOOTHDEVICEOBJECT_H_
#define GPSCORE_GPS_BLUETOOTHDEVICEOBJECT_H_

#include "GPSLib_classes.h"

class CBluetoothDeviceObject : public CBluetoothDeviceObjectBase {};

#endif // GPSCORE_GPS_BLUETOOTHDEVICEOBJECT_H_
