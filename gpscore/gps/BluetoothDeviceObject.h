// A paired Bluetooth receiver found in the registry store.
#ifndef GPSCORE_GPS_BLUETOOTHDEVICEOBJECT_H_
#define GPSCORE_GPS_BLUETOOTHDEVICEOBJECT_H_

#include <string_view>

#include "GPSLib_classes.h"

// Plain storage filled by the Bluetooth search. The active flag keeps the value of the pairing
// record's layout (1 or 0xFFFF for true) and IsActive answers it unchanged.
class CBluetoothDeviceObject : public CBluetoothDeviceObjectBase {
public:
    // Internal setters of the search.
    void SetName(std::u16string_view name) { m_bstrName = gpslib::Bstr(name); }
    void SetPortName(std::u16string_view portName) { m_bstrPortName = gpslib::Bstr(portName); }
    void SetPortNumber(SHORT portNumber) { m_nPortNumber = portNumber; }
    void SetActive(VARIANT_BOOL active) { m_bActive = active; }
};

#endif // GPSCORE_GPS_BLUETOOTHDEVICEOBJECT_H_
