// Fuzz target: the registry store parser. Any input must parse or be refused with a line
// number, and whatever parses must serialise to text that parses back to the same store.
#include <gpslib/registry.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    gpslib::RegistryStore store;
    std::string error;
    if (!store.Parse(text, &error)) {
        if (error.rfind("line ", 0) != 0) std::abort(); // Every refusal names its line.
        if (!store.Empty()) std::abort();               // A refused file changes nothing.
        return 0;
    }
    std::string once = store.Serialize();
    gpslib::RegistryStore again;
    if (!again.Parse(once, &error)) std::abort();
    if (again.Serialize() != once) std::abort();
    return 0;
}
