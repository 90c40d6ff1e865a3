// Trace files: the annotation scanner over chunk sequences and over a recorded stream split at
// every point of its block, the block format and the file name rule.
#include "gps/Trace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using gpscore::AnnotationScanner;
using gpscore::kTraceChunkBytes;

// Every annotation reported, as "<chunk index>:<text>;".
std::string ScanAll(const std::vector<std::string>& chunks) {
    AnnotationScanner scanner;
    std::string log;
    for (std::size_t i = 0; i < chunks.size(); ++i)
        if (auto text = scanner.Scan(chunks[i])) log += std::to_string(i) + ":" + *text + ";";
    return log;
}

// The stream cut as playback reads it.
std::vector<std::string> Chunked(const std::string& stream) {
    std::vector<std::string> chunks;
    for (std::size_t at = 0; at < stream.size(); at += kTraceChunkBytes)
        chunks.push_back(stream.substr(at, kTraceChunkBytes));
    return chunks;
}

const std::string kNmea = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n"
                          "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
                          "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r\n";

TEST(AnnotationScanner, ChunkSequences) {
    const std::string a194(194, 'a');
    const struct {
        const char* name;
        std::vector<std::string> chunks;
        std::string expected;
    } rows[] = {
        {"whole block", {kNmea + "\n\n<Ann>Bus stop</Ann>\n\n" + kNmea}, "0:Bus stop;"},
        {"split after '<A'", {kNmea + "\n\n<A", "nn>Bus stop</Ann>\n\n" + kNmea}, "1:Bus stop;"},
        {"split after '<'", {"\r\n\n\n<", "Ann>x</Ann>"}, "1:x;"},
        {"split right before '</Ann>'", {"\n\n<Ann>x", "</Ann>\n\n"}, "1:x;"},
        {"empty text", {"\n\n<Ann></Ann>\n\n"}, ""},
        {"empty text split", {"\n\n<Ann>", "</Ann>\n\n"}, ""},
        {"only the first of two", {"<Ann>one</Ann>\n\n\n\n<Ann>two</Ann>"}, "0:one;"},
        {"pending emptied after a report",
         {"<A", "nn>one</Ann>", "<Ann>two</Ann>"},
         "1:one;2:two;"},
        {"stray '<' then a chunk without tags", {"$GPTXT,a<b", "c*00\r\n", "<Ann>x</Ann>"}, "2:x;"},
        {"'<' too far from the end", {"ab<Ann", ">x</Ann>"}, ""},
        // Lost by design.
        {"stray '<' then a whole block", {"$GPTXT,a<b", "\n\n<Ann>x</Ann>\n\n"}, ""},
        {"split inside '</Ann>'", {"<Ann>x</A", "nn>\n\n"}, ""},
        {"text over three chunks", {"<Ann>ab", "cd", "ef</Ann>"}, ""},
        {"starts where the last ended", {"a</Ann>\n\n<Ann>b", "c</Ann>"}, ""},
        // The joined text must stay under 200 bytes.
        {"joined 199 bytes", {"<Ann>" + a194, "</Ann>"}, "1:" + a194 + ";"},
        {"joined 200 bytes", {"<Ann>" + a194, "b</Ann>"}, ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ScanAll(row.chunks), row.expected) << row.name;
}

TEST(AnnotationScanner, ClearForgetsTheStartedBlock) {
    AnnotationScanner scanner;
    EXPECT_FALSE(scanner.Scan("<Ann>Bus"));
    scanner.Clear();
    EXPECT_FALSE(scanner.Scan(" stop</Ann>"));
    EXPECT_EQ(scanner.Scan("<Ann>Bus stop</Ann>"), "Bus stop");
}

// NMEA, a block, NMEA, replayed in 199-byte chunks with a chunk boundary after each number of
// the block's bytes in turn (a block longer than a chunk is cut twice). The block is reported
// exactly once, by the chunk that holds the end of "</Ann>", unless a boundary falls right after
// "<Ann" or inside "</Ann>".
TEST(AnnotationScanner, RecordedStreamSplitAtEveryPoint) {
    std::string nmea;
    while (nmea.size() < 3 * kTraceChunkBytes)
        nmea += kNmea;
    for (const std::string& text :
         {std::string("Bus stop"), std::string(gpscore::kMaxAnnotationCharacters, 'e')}) {
        const std::string block = gpscore::AnnotationBlock(text);
        const std::size_t close = block.find("</Ann>");
        for (std::size_t split = 0; split <= block.size(); ++split) {
            // The capture starts mid-sentence, as a real one may.
            const std::size_t start = 2 * kTraceChunkBytes - split;
            const std::vector<std::string> chunks =
                Chunked(nmea.substr(nmea.size() - start) + block + nmea);
            bool lost = false;
            for (std::size_t cut = kTraceChunkBytes; cut < start + block.size();
                 cut += kTraceChunkBytes) {
                const std::size_t at = cut - start; // block bytes before this boundary
                if (cut > start) lost = lost || at == 6 || (at > close && at < close + 6);
            }
            const std::size_t reportedIn = (start + close + 5) / kTraceChunkBytes;
            EXPECT_EQ(ScanAll(chunks), lost ? "" : std::to_string(reportedIn) + ":" + text + ";")
                << "split after " << split << " of " << block.size() << " bytes";
        }
    }
}

TEST(TraceFiles, BlockFormatAndNameRule) {
    EXPECT_EQ(gpscore::AnnotationBlock("Caf\xE9"), "\n\n<Ann>Caf\xE9</Ann>\n\n");
    const struct {
        std::u16string name;
        std::u16string file;
        bool fits;
    } rows[] = {
        {u"walk", u"walk.trc", true},
        {u"walk.txt", u"walk.txt", true},
        {std::u16string(255, u'w'), std::u16string(255, u'w') + u".trc", true}, // 259
        {std::u16string(256, u'w'), std::u16string(256, u'w') + u".trc", false},
        {std::u16string(259, u'w') + u".", std::u16string(259, u'w') + u".", false},
    };
    for (const auto& row : rows) {
        const std::u16string file = gpscore::TraceFileName(row.name);
        EXPECT_TRUE(file == row.file) << row.name.size();
        EXPECT_EQ(gpscore::TraceFileNameFits(file), row.fits) << row.name.size();
    }
}

} // namespace
