// The search for paired Bluetooth receivers over the three pairing layouts of the registry
// store: what each layout lists, which layout wins, and the records that are passed over.
#include "gps/Bluetooth.h"

#include <gpslib/registry.h>
#include <gpslib/support.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Parses .reg text in which "[D" stands for the device key's full path.
gpslib::RegistryStore Store(std::string body) {
    const std::string device = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Bluetooth\\device";
    for (std::size_t at = body.find("[D"); at != std::string::npos; at = body.find("[D", at + 1))
        body.replace(at, 2, device);
    gpslib::RegistryStore store;
    std::string error;
    EXPECT_TRUE(store.Parse("Windows Registry Editor Version 5.00\n\n" + body, &error)) << error;
    return store;
}

// Each device as "name|portName|portNumber|active".
std::vector<std::string> Find(const gpslib::RegistryStore& store,
                              std::vector<std::string>* log = nullptr) {
    std::vector<std::string> out;
    for (const gpscore::BluetoothDevice& d :
         gpscore::FindBluetoothDevices(store, [log](const std::string& line) {
             if (log) log->push_back(line);
         }))
        out.push_back(gpslib::ToUtf8(d.name) + "|" + gpslib::ToUtf8(d.portName) + "|" +
                      std::to_string(d.portNumber) + "|" + std::to_string(d.active));
    return out;
}

struct Case {
    const char* what;
    const char* reg;
    std::vector<std::string> devices;
};

const Case kCases[] = {
    {"layout 1: profile cut, ports split at the last ':', malformed values tolerated",
     R"reg([D\activesync\a]
"name"="My GPS (SPP)"
"port_name"="COM5:"
"active"=dword:00000001
[D\activesync\b]
"name"="Récepteur(2)"
"port_name"="COM12:"
"active"=dword:00000002
[D\activesync\c]
"name"="No colon"
"port_name"="COM"
"active"="1"
[D\activesync\d]
"name"="Odd ports"
"port_name"="COMX:"
[D\activesync\e]
"name"="Bare colon"
"port_name"=":"
[D\activesync\f]
"name"=dword:00000001
[D\activesync\g]
"name"=" (SPP)"
)reg",
     {"My GPS|COM|5|1", "Récepteur(2)|COM1|2|0", "No colon|COM|-1|0", "Odd ports|COMX|-1|0",
      "Bare colon||-1|0"}},
    {"layout 1 lists a device: layouts 2 and 3 are not read",
     R"reg([D\activesync\a]
"name"="First"
"port_name"="COM5:"
[D\phone]
"name"="Second"
[D\phone\Services\spp]
[D\modem\m]
"devicename"="Third"
"port_name"="COM7:"
)reg",
     {"First|COM|5|0"}},
    {"layout 2: one service only; activesync and modem are not devices",
     R"reg([D\activesync]
"name"="Not a device"
[D\activesync\Services\spp]
[D\activesync\nameless]
[D\one]
"name"="Phone GPS"
[D\one\Services\spp]
"enabled"=dword:00000001
"channel"=dword:00000003
[D\two]
"name"="Two services"
[D\two\Services\a]
[D\two\Services\b]
[D\none]
"name"="No services"
[D\bad]
"name"="Off, no channel"
[D\bad\Services\spp]
"enabled"=dword:00000000
"channel"="3"
[D\big]
"name"="Huge channel"
[D\big\Services\spp]
"channel"=dword:00011170
)reg",
     {"Phone GPS|COM|3|-1", "Off, no channel|COM|0|0", "Huge channel|COM|-1|0"}},
    {"layout 3: a port_name without ':' is dropped",
     R"reg([D\modem\a]
"devicename"="Modem GPS"
"port_name"="COM7:"
"active"=dword:00000001
[D\modem\b]
"devicename"="No colon"
"port_name"="COM8"
[D\modem\c]
"devicename"=""
"port_name"="COM9:"
[D\modem\d]
"devicename"="Inactive"
"port_name"="BT:BSP4:"
)reg",
     {"Modem GPS|COM|7|-1", "Inactive|BT:BSP|4|0"}},
    {"no pairing records", "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n", {}},
};

TEST(Bluetooth, FindsDevicesOfEachLayout) {
    for (const Case& c : kCases)
        EXPECT_EQ(Find(Store(c.reg)), c.devices) << c.what;
}

TEST(Bluetooth, LogsEachStep) {
    std::vector<std::string> log;
    Find(Store("[D\\one]\n\"name\"=\"GPS\"\n[D\\one\\Services\\spp]\n"), &log);
    EXPECT_EQ(log,
              (std::vector<std::string>{"GPSCore::FindAvailableBluetoothDevicesInternal entered",
                                        "\tactivesync key not found", "\tdevice key found",
                                        "\t\tdeviceKey Valid", "\t\tservicesize =1",
                                        "\t\t\tAdding to Bluetooth Devices", "\tdevices found =1",
                                        "GPSCore::FindAvailableBluetoothDevicesInternal exited"}));
}

TEST(Bluetooth, ListsAtMostAHundredDevices) {
    std::string reg;
    for (int i = 0; i < 101; ++i)
        reg += "[D\\activesync\\" + std::to_string(i) + "]\n\"name\"=\"GPS " + std::to_string(i) +
               "\"\n";
    std::vector<std::string> found = Find(Store(reg));
    ASSERT_EQ(found.size(), 100u);
    EXPECT_EQ(found.front(), "GPS 0||-1|0");
    EXPECT_EQ(found.back(), "GPS 99||-1|0");
}

} // namespace
