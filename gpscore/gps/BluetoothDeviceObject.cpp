#include "gps/BluetoothDeviceObject.h"

GPSLIB_CLASS_FACTORY(BluetoothDeviceObject, CBluetoothDeviceObject)
