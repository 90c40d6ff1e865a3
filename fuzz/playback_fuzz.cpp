// Fuzz target: trace playback. The first byte picks a chunk size (1 to 199 bytes); the rest is
// the trace, cut into chunks of that size and fed, chunk by chunk, to the NMEA cutter and the
// annotation scanner, as playback does. Never a crash or a read outside a chunk; an annotation
// is never empty and never longer than a chunk; a block written alone in one chunk gives back
// its text.
#include "gps/Nmea.h"
#include "gps/Trace.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace nm = gpscore::nmea;
using gpscore::kTraceChunkBytes;

class Ignore final : public nm::Target {
public:
    void OnChecksumError(std::string_view) override {}
    void OnValidSentence() override {}
    void OnRmcVoid() override {}
    void OnRmc(const nm::Rmc&) override {}
    void OnGga(const nm::Gga&) override {}
    void OnGsa(const nm::Gsa&) override {}
};

void CheckAnnotation(const std::optional<std::string>& text) {
    if (text && (text->empty() || text->size() > kTraceChunkBytes)) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t step = data[0] % kTraceChunkBytes + 1;
    const std::string_view trace(reinterpret_cast<const char*>(data) + 1, size - 1);

    nm::Assembly assembly;
    Ignore target;
    gpscore::AnnotationScanner scanner;
    for (std::size_t at = 0; at < trace.size(); at += step) {
        const std::string_view chunk = trace.substr(at, step);
        // An exact-size copy, so that a read past the chunk is caught.
        const std::vector<char> bytes(chunk.begin(), chunk.end());
        nm::ProcessNmeaBuffer(bytes.data(), bytes.size(), assembly, target);
        CheckAnnotation(scanner.Scan(std::string_view(bytes.data(), bytes.size())));
    }

    // The trace's start as an annotation's text, written as one block and read by a new scanner.
    // A text holding "</Ann>" ends there, so only texts without it must come back whole.
    const std::string_view text = trace.substr(0, step);
    const std::string block = gpscore::AnnotationBlock(text);
    if (!text.empty() && block.size() <= kTraceChunkBytes &&
        text.find("</Ann>") == std::string_view::npos) {
        const std::vector<char> bytes(block.begin(), block.end());
        const auto read = gpscore::AnnotationScanner().Scan({bytes.data(), bytes.size()});
        if (read != std::string(text)) std::abort();
    }
    return 0;
}
