// Which device path a receiver's device name opens: aliases in the registry store first, then
// paths, then COM ports.
#include "gps/SerialDevice.h"

#include <gpslib/registry.h>
#include <gtest/gtest.h>

#include <string>

namespace {

constexpr char kStore[] = R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\gpslib\Ports]
@="/dev/default"
"COM5:"="/dev/rfcomm0"
"/dev/ttyUSB1:"="/dev/gps0"
"BSP1:"="/dev/ttyAMA0"
"COM7:"=""
"COM8:"=dword:00000001

[HKEY_LOCAL_MACHINE\SOFTWARE\gpslib\Other]
"COM9:"="/dev/elsewhere"
)";

TEST(SerialDevicePath, MapsDeviceNames) {
    gpslib::RegistryStore registry;
    std::string error;
    ASSERT_TRUE(registry.Parse(kStore, &error)) << error;
    const struct {
        const char* name;
        const char* path;
    } kCases[] = {
        {"COM5:", "/dev/rfcomm0"},         // an alias
        {"com5:", "/dev/rfcomm0"},         // names compare without regard to case
        {"/dev/ttyUSB1:", "/dev/gps0"},    // an alias wins over the path
        {"BSP1:", "/dev/ttyAMA0"},         // and gives a device to any name
        {"COM7:", ""},                     // an empty alias is no device
        {"COM8:", "/dev/ttyS7"},           // a number is no alias
        {"COM9:", "/dev/ttyS8"},           // nor is a value under another key
        {"", ""},                          // nor is the key's default value
        {"/dev/ttyUSB0:", "/dev/ttyUSB0"}, // a path, without its colon
        {"/dev/pts/3:", "/dev/pts/3"},
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"COM1:", "/dev/ttyS0"},
        {"cOm12:", "/dev/ttyS11"},
        {"COM1", "/dev/ttyS0"},
        {"COM4294967295:", "/dev/ttyS4294967294"},
        {"COM0:", ""},
        {"COM:", ""},
        {"COM-1:", ""},
        {"COM+1:", ""},
        {"COM1x:", ""},
        {"COM4294967296:", ""}, // too large for a port number
        {"BSP2:", ""},
        {":", ""},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(gpscore::SerialDevicePath(c.name, registry), c.path) << c.name;
    }
}

} // namespace
