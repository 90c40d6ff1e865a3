// Fuzz target: GPX files from other tools. Any bytes are read as a whole document or refused
// with a message; a document read is written as GPX that reads back, and writing settles: the
// text written from what was read back is the text written the first time (the first write
// rounds coordinates and times to what the format keeps).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/Gpx.h"

namespace gpx = gpslib::gpx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view xml(reinterpret_cast<const char*>(data), size);
    gpx::Document doc;
    std::string error;
    if (!gpx::Read(xml, &doc, &error)) {
        if (error.empty()) std::abort(); // Every refusal says why.
        return 0;
    }
    const std::string once = gpx::Write(doc);
    gpx::Document again;
    if (!gpx::Read(once, &again, &error)) std::abort();
    if (gpx::Write(again) != once) std::abort();
    // Times of the points read back as they were written.
    for (const gpx::Point& p : again.waypoints)
        if (p.time && gpx::ParseTime(gpx::FormatTime(*p.time)) != p.time) std::abort();
    return 0;
}
