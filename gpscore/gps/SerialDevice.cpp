#include "gps/SerialDevice.h"

#include <gpslib/registry.h>

#include <charconv>
#include <cstdint>

namespace gpscore {

namespace {

bool StartsWithComIgnoringCase(std::string_view name) {
    return name.size() >= 3 && (name[0] | 0x20) == 'c' && (name[1] | 0x20) == 'o' &&
           (name[2] | 0x20) == 'm';
}

} // namespace

std::string SerialDevicePath(std::string_view deviceName, const gpslib::RegistryStore& registry) {
    // An empty value name is the key's default value, which is no alias.
    if (deviceName.empty()) return {};
    std::string alias;
    if (registry.GetString(kSerialPortAliasKey, deviceName, &alias)) return alias;

    std::string_view name = deviceName;
    if (name.back() == ':') name.remove_suffix(1);
    if (!name.empty() && name.front() == '/') return std::string(name);

    if (!StartsWithComIgnoringCase(name)) return {};
    const std::string_view digits = name.substr(3);
    std::uint32_t number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
        number == 0) {
        return {};
    }
    return "/dev/ttyS" + std::to_string(number - 1);
}

} // namespace gpscore
