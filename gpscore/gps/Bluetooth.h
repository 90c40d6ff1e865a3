// Paired Bluetooth receivers as the registry store records them. A pairing is found in one of
// three layouts under HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Bluetooth\device, read in a fixed
// order; a later layout is read only when the earlier ones listed nothing:
//   1. device\activesync\<any>: "name", "port_name" ("COM5:"), DWORD "active" (1 is true).
//   2. device\<any>: "name" and Services\<one service>: DWORDs "enabled" and "channel".
//   3. device\modem\<any>: "devicename", "port_name", DWORD "active" (1 is true).
// The search only reads the store; the caller turns the list into device objects.
#ifndef GPSCORE_GPS_BLUETOOTH_H_
#define GPSCORE_GPS_BLUETOOTH_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace gpslib {
class RegistryStore;
}

namespace gpscore {

// One paired receiver. The port is the virtual serial port the link opens: portName followed by
// portNumber and ':' ("COM" and 5 are "COM5:"); portNumber is -1 when the record names no digit.
// `active` keeps the layout's own true value: 1 from layout 1, -1 (0xFFFF) from layouts 2 and 3.
struct BluetoothDevice {
    std::u16string name;
    std::u16string portName;
    std::int16_t portNumber = -1;
    std::int16_t active = 0;
};

// The most devices listed, and the most subkey names read from any one key.
inline constexpr std::size_t kMaxBluetoothDevices = 100;

// Lists the paired receivers, at most kMaxBluetoothDevices, in the order found. Every step is
// reported to `log` (one line per call, without line end; an empty function logs nothing).
// Malformed records are skipped, never fatal.
std::vector<BluetoothDevice>
FindBluetoothDevices(const gpslib::RegistryStore& registry,
                     const std::function<void(const std::string&)>& log);

} // namespace gpscore

#endif // GPSCORE_GPS_BLUETOOTH_H_
