// Fuzz target: GUID text. Whatever parses formats back to the same GUID.
#include <gpslib/support.h>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    GUID guid{};
    if (!gpslib::ParseGuid(text, &guid)) return 0;
    GUID back{};
    if (!gpslib::ParseGuid(gpslib::GuidToString(guid), &back) || !(back == guid)) std::abort();
    std::u16string wide = gpslib::ToUtf16(text);
    CLSID clsid{};
    CLSIDFromString(wide.c_str(), &clsid); // Must not crash on any text.
    return 0;
}
