// Which device file a receiver's device name opens. The service forms a device name from the
// port name and number in its settings, with a colon after them ("COM5:", "/dev/ttyUSB0:",
// "/dev/pts/3:", "BSP1:").
#ifndef GPSCORE_GPS_SERIALDEVICE_H_
#define GPSCORE_GPS_SERIALDEVICE_H_

#include <string>
#include <string_view>

namespace gpslib {
class RegistryStore;
}

namespace gpscore {

// The registry key whose string values map device names (the value names, compared without
// regard to ASCII case) to device paths.
inline constexpr char kSerialPortAliasKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\gpslib\\Ports";

// The device path of `deviceName`, or "" when it names no device. In order:
//   - an alias under kSerialPortAliasKey, whatever the name ("COM5:" gives "/dev/rfcomm0");
//   - a name that starts with '/' is the path itself, without its colon ("/dev/ttyUSB0:");
//   - "COMn:" with n >= 1, in any case, is "/dev/ttyS<n-1>";
//   - anything else ("BSP1:", "COM0:", "") is no device.
// The trailing colon may be left out.
std::string SerialDevicePath(std::string_view deviceName, const gpslib::RegistryStore& registry);

} // namespace gpscore

#endif // GPSCORE_GPS_SERIALDEVICE_H_
