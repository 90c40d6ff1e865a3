// Trace files: the bytes a receiver sent (NMEA sentences with CR LF), recorded for playback as a
// simulated receiver, with annotation blocks between the sentences. A block is "\n\n<Ann>", the
// text in the 8-bit code page (Windows-1252, one byte per character) and "</Ann>\n\n". Playback
// reads the file in chunks of at most kTraceChunkBytes and hands each chunk both to the NMEA
// cutter and to an AnnotationScanner.
#ifndef GPSCORE_GPS_TRACE_H_
#define GPSCORE_GPS_TRACE_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace gpscore {

// The largest chunk playback reads from a trace file at once.
constexpr std::size_t kTraceChunkBytes = 199;

// An annotation is written only when it has at most this many characters.
constexpr std::size_t kMaxAnnotationCharacters = 190;

// Finds annotation blocks in the chunks of a trace file as playback reads them. A block may be
// split between two chunks, so the scanner keeps the start of a block seen at the end of one
// chunk (the pending text, never more than one chunk) and completes it with the next.
// Recognised: a whole block in one chunk; a block split anywhere between its first byte and
// the closing "</Ann>", except right after "<Ann" (the opening tag less its '>').
// Lost, by design: a block split after "<Ann" or inside "</Ann>"; a block whose text spans three
// chunks; the second block of a chunk; a block that starts in the chunk where the previous block
// ended and is split; a block in the chunk after one that ended with a stray '<' in its last
// three bytes. Not thread-safe: one scanner per playback source.
class AnnotationScanner {
public:
    // REQUIRES: chunk.size() <= kTraceChunkBytes, chunks in file order.
    // Returns the text of the annotation completed in this chunk (the first one only), still in
    // the 8-bit code page; never empty and never longer than the chunk.
    std::optional<std::string> Scan(std::string_view chunk);

    // Forgets a block started in an earlier chunk (playback rewound or restarted).
    void Clear() { m_pending.clear(); }

private:
    std::string m_pending;
};

// "\n\n<Ann>" + text + "</Ann>\n\n", the block written into a trace file.
std::string AnnotationBlock(std::string_view cp1252Text);

// A trace file name as the user gave it: ".trc" is appended when the name holds no '.'.
std::u16string TraceFileName(std::u16string_view name);

// Whether the name, extension included, fits with its terminator in 260 characters.
bool TraceFileNameFits(std::u16string_view nameWithExtension);

} // namespace gpscore

#endif // GPSCORE_GPS_TRACE_H_
