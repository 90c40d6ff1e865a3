// GPX 1.1 files, the exchange format of tracks and routes recorded or planned with other tools:
// the reader and the writer. Tracks (<trk>, <trkseg>, <trkpt>), routes (<rte>, <rtept>) and
// waypoints (<wpt>) with the fields the service uses: position, elevation, time, name and
// description. Anything else in a file (metadata, extensions, other namespaces) is skipped.
//
// Errors are values: a file that is not XML, not GPX, too large, or holds a point without a
// usable position is refused whole with a message naming the line, never half-read.
#ifndef FORMATS_GPX_H_
#define FORMATS_GPX_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gpslib::gpx {

// One point of a track, route or the waypoint list. Texts are UTF-8.
struct Point {
    double latitude = 0.0;            // Degrees, -90..90.
    double longitude = 0.0;           // Degrees, -180..180.
    std::optional<double> elevation;  // Metres.
    std::optional<std::int64_t> time; // Microseconds since 1970-01-01 00:00 UTC.
    std::string name;
    std::string description;
};

struct Track {
    std::string name;
    std::string description;
    std::vector<std::vector<Point>> segments;
};

struct Route {
    std::string name;
    std::string description;
    std::vector<Point> points;
};

struct Document {
    std::string creator; // Written as the root's creator attribute; read back as found.
    std::string name;    // <metadata><name>.
    std::vector<Point> waypoints;
    std::vector<Route> routes;
    std::vector<Track> tracks;
};

// Files above this size are refused before they are parsed.
inline constexpr std::size_t kMaxFileBytes = 64u << 20;

// Parses a whole document. On failure returns false, leaves `doc` empty and sets `error` to a
// message such as "line 12: <trkpt> without lat".
bool Read(std::string_view xml, Document* doc, std::string* error);
// Reads the file at `path` (UTF-8) and parses it; the messages name the file.
bool ReadFile(const std::string& path, Document* doc, std::string* error);

// The document as GPX 1.1 text, UTF-8 with an XML declaration; coordinates with 7 decimals,
// times in UTC to the millisecond. Read(Write(d)) gives back d, times rounded to milliseconds.
std::string Write(const Document& doc);

// ISO 8601 date and time as GPX writes it ("2024-05-01T10:20:30Z", fractions of seconds and a
// "+hh:mm"/"-hh:mm" offset allowed; no zone means UTC); nullopt for anything else.
std::optional<std::int64_t> ParseTime(std::string_view text);
// "2024-05-01T10:20:30.250Z".
std::string FormatTime(std::int64_t micros);

} // namespace gpslib::gpx

#endif // FORMATS_GPX_H_
