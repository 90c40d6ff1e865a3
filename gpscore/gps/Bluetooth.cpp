#include "gps/Bluetooth.h"

#include <gpslib/registry.h>
#include <gpslib/support.h>

#include <cstdint>
#include <string_view>

namespace gpscore {

namespace {

constexpr std::string_view kDeviceKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Bluetooth\\device";
constexpr std::string_view kActiveSyncName = "activesync";
constexpr std::string_view kModemName = "modem";

using Log = std::function<void(const std::string&)>;

// The search reports each step; a caller that wants no log passes an empty function.
void Write(const Log& log, const std::string& line) {
    if (log) log(line);
}

std::string Join(std::string_view key, std::string_view sub) {
    std::string out(key);
    out += '\\';
    out += sub;
    return out;
}

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y) return false;
    }
    return true;
}

// The first kMaxBluetoothDevices subkey names of `key`, in store order. Each layout reads one
// key and runs only while the list is empty, so this cap also bounds the list.
std::vector<std::string> SubKeyNames(const gpslib::RegistryStore& registry, std::string_view key,
                                     const Log& log) {
    std::vector<std::string> names = registry.SubKeys(key);
    if (names.size() > kMaxBluetoothDevices) {
        Write(log, "\t\tOnly the first " + std::to_string(kMaxBluetoothDevices) + " of " +
                       std::to_string(names.size()) + " subkeys read");
        names.resize(kMaxBluetoothDevices);
    }
    return names;
}

// A string value as UTF-16; empty when missing or not a string.
std::u16string ReadString(const gpslib::RegistryStore& registry, std::string_view key,
                          std::string_view name) {
    std::string text;
    if (!registry.GetString(key, name, &text)) return {};
    return gpslib::ToUtf16(text);
}

// True only for a DWORD value that reads as 1.
bool ReadActive(const gpslib::RegistryStore& registry, std::string_view key) {
    std::uint32_t value = 0;
    return registry.GetDword(key, "active", &value) && value == 1;
}

std::uint32_t ReadDwordOrZero(const gpslib::RegistryStore& registry, std::string_view key,
                              std::string_view name) {
    std::uint32_t value = 0;
    return registry.GetDword(key, name, &value) ? value : 0;
}

// "COM5:" is the port name "COM" and the number 5: the link writes the port back as name,
// number, ':'. Only the one character before the last ':' is the number, so "COM12:" is "COM1"
// and 2, which the link joins back into "COM12:". When that character is not a digit (or there
// is none) the number is -1 and the name is everything before the ':'. Text after the ':' is
// not part of the port. Without a ':' the whole text is the name and `hasColon` is false.
struct Port {
    std::u16string name;
    SHORT number = -1;
    bool hasColon = false;
};

Port SplitPort(std::u16string_view text) {
    std::size_t colon = text.rfind(u':');
    if (colon == std::u16string_view::npos) return {std::u16string(text), -1, false};
    std::u16string_view prefix = text.substr(0, colon);
    if (!prefix.empty() && prefix.back() >= u'0' && prefix.back() <= u'9') {
        SHORT number = static_cast<SHORT>(prefix.back() - u'0');
        prefix.remove_suffix(1);
        return {std::u16string(prefix), number, true};
    }
    return {std::u16string(prefix), -1, true};
}

// Pairing names carry the profile in parentheses ("My GPS (SPP)"); the receiver is known by the
// part before it.
std::u16string CutProfile(std::u16string name) {
    std::size_t cut = name.find(u" (");
    if (cut != std::u16string::npos) name.resize(cut);
    return name;
}

// Layout 1: device\activesync\<any> with "name", "port_name" and "active".
void ReadActiveSync(const gpslib::RegistryStore& registry, const Log& log,
                    std::vector<BluetoothDevice>* devices) {
    const std::string key = Join(kDeviceKey, kActiveSyncName);
    if (!registry.KeyExists(key)) {
        Write(log, "\tactivesync key not found");
        return;
    }
    Write(log, "\tactivesync key found");
    for (const std::string& sub : SubKeyNames(registry, key, log)) {
        const std::string deviceKey = Join(key, sub);
        Write(log, "\t\tdeviceKey Valid");
        // A name that is all profile (" (SPP)") is as unusable as a missing one.
        std::u16string name = CutProfile(ReadString(registry, deviceKey, "name"));
        if (name.empty()) {
            Write(log, "\t\t\tName empty, skipping");
            continue;
        }
        Port port = SplitPort(ReadString(registry, deviceKey, "port_name"));
        SHORT active = ReadActive(registry, deviceKey) ? 1 : 0;
        Write(log, "\t\t\tAdding to Bluetooth Devices");
        devices->push_back({std::move(name), std::move(port.name), port.number, active});
    }
}

// Layout 2: device\<any> with "name", and Services\<service> with "enabled" and "channel". A
// device is used only when it offers exactly one service, the serial port it is reached by.
// The subkeys "activesync" and "modem" hold layouts 1 and 3, not devices, and are passed over.
void ReadDeviceServices(const gpslib::RegistryStore& registry, const Log& log,
                        std::vector<BluetoothDevice>* devices) {
    const std::string key(kDeviceKey);
    if (!registry.KeyExists(key)) {
        Write(log, "\tdevice key not found");
        return;
    }
    Write(log, "\tdevice key found");
    for (const std::string& sub : SubKeyNames(registry, key, log)) {
        if (EqualsAsciiNoCase(sub, kActiveSyncName) || EqualsAsciiNoCase(sub, kModemName)) {
            Write(log, "\t\t" + sub + " key skipped");
            continue;
        }
        const std::string deviceKey = Join(key, sub);
        Write(log, "\t\tdeviceKey Valid");
        std::u16string name = ReadString(registry, deviceKey, "name");
        if (name.empty()) {
            Write(log, "\t\t\tName empty, skipping");
            continue;
        }
        const std::string servicesKey = Join(deviceKey, "Services");
        std::vector<std::string> services = SubKeyNames(registry, servicesKey, log);
        Write(log, "\t\tservicesize =" + std::to_string(services.size()));
        if (services.size() != 1) {
            Write(log, "\t\t\tNot exactly one service, skipping");
            continue;
        }
        const std::string serviceKey = Join(servicesKey, services.front());
        std::uint32_t enabled = ReadDwordOrZero(registry, serviceKey, "enabled");
        std::uint32_t channel = ReadDwordOrZero(registry, serviceKey, "channel");
        // RFCOMM channels are 1 to 30; a value a SHORT cannot hold names no port.
        SHORT portNumber = channel <= 0x7FFF ? static_cast<SHORT>(channel) : SHORT{-1};
        SHORT active = enabled != 0 ? SHORT{-1} : SHORT{0};
        Write(log, "\t\t\tAdding to Bluetooth Devices");
        devices->push_back({std::move(name), u"COM", portNumber, active});
    }
}

// Layout 3: device\modem\<any> with "devicename", "port_name" and "active". A record whose
// port_name has no ':' names no port and is dropped.
void ReadModem(const gpslib::RegistryStore& registry, const Log& log,
               std::vector<BluetoothDevice>* devices) {
    const std::string key = Join(kDeviceKey, kModemName);
    if (!registry.KeyExists(key)) {
        Write(log, "\tmodem key not found");
        return;
    }
    Write(log, "\tmodem key found");
    for (const std::string& sub : SubKeyNames(registry, key, log)) {
        const std::string deviceKey = Join(key, sub);
        Write(log, "\t\tWM6 deviceKey Valid");
        std::u16string name = ReadString(registry, deviceKey, "devicename");
        if (name.empty()) {
            Write(log, "\t\t\tName empty, skipping");
            continue;
        }
        Port port = SplitPort(ReadString(registry, deviceKey, "port_name"));
        if (!port.hasColon) {
            Write(log, "\t\t\tNo ':' in port_name, skipping");
            continue;
        }
        SHORT active = ReadActive(registry, deviceKey) ? SHORT{-1} : SHORT{0};
        Write(log, "\t\t\tAdding to Bluetooth Devices");
        devices->push_back({std::move(name), std::move(port.name), port.number, active});
    }
}

} // namespace

std::vector<BluetoothDevice> FindBluetoothDevices(const gpslib::RegistryStore& registry,
                                                  const Log& log) {
    Write(log, "GPSCore::FindAvailableBluetoothDevicesInternal entered");
    std::vector<BluetoothDevice> devices;
    ReadActiveSync(registry, log, &devices);
    if (devices.empty()) ReadDeviceServices(registry, log, &devices);
    if (devices.empty()) ReadModem(registry, log, &devices);
    Write(log, "\tdevices found =" + std::to_string(devices.size()));
    Write(log, "GPSCore::FindAvailableBluetoothDevicesInternal exited");
    return devices;
}

} // namespace gpscore
