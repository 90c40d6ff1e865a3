// Fuzz target: string-table modules. Any bytes either load as a whole or are refused with a
// reason; lookups never read outside the module, and a refused module answers nothing.
#include "resources/StringTable.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    gpslib::resources::StringTable table;
    std::string error;
    const bool loaded = table.LoadFromMemory(bytes, &error);
    if (loaded != table.Loaded() || (!loaded && error.empty())) std::abort();
    std::size_t found = 0;
    for (int id : {0, 1, 15, 16, 17, 31, 20000, 20001, 20708, 23096, 65519, 65520, 65535}) {
        if (!table.Get(id).empty()) ++found;
    }
    if (!loaded && (found != 0 || table.Count() != 0)) std::abort();
    if (loaded) {
        // Every id the blocks can name: each entry of a module that loads is read, and the
        // strings found are the ones the header counts.
        std::size_t held = 0;
        for (int id = 0; id <= 65535; ++id)
            held += table.Get(id).empty() ? 0 : 1;
        if (held != table.Count()) std::abort();
    }
    return 0;
}
