#include "formats/TrackTrace.h"

#include <cmath>
#include <cstdio>

#include "formats/Geodesy.h"
#include "formats/NmeaSentence.h"

namespace gpslib::tracktrace {
namespace {

constexpr double kKnotsPerMetrePerSecond = 3600.0 / 1852.0;
// A trace longer than this many fixes (a week at one a second) is cut: the track is not a walk.
constexpr std::size_t kMaxFixes = std::size_t{7} * 24 * 3600;

geo::Point At(const gpx::Point& p) {
    return {p.latitude, p.longitude};
}

// The point a fraction t of the way from a to b (straight in degrees: the points of a track
// are close together).
Fix Between(const gpx::Point& a, const gpx::Point& b, double t) {
    Fix f;
    f.latitude = a.latitude + (b.latitude - a.latitude) * t;
    f.longitude = a.longitude + (b.longitude - a.longitude) * t;
    const double ea = a.elevation.value_or(0.0), eb = b.elevation.value_or(ea);
    f.elevation = ea + (eb - ea) * t;
    return f;
}

// Degrees and minutes, as NMEA writes a coordinate: "ddmm.mmmm" (latitude) or "dddmm.mmmm".
std::string Coordinate(double degrees, int width, char positive, char negative) {
    const char hemisphere = degrees < 0 ? negative : positive;
    degrees = std::fabs(degrees);
    int whole = static_cast<int>(degrees);
    double minutes = (degrees - whole) * 60.0;
    if (minutes >= 59.99995) minutes = 0.0, ++whole; // Rounding would print 60.0000.
    char text[32];
    std::snprintf(text, sizeof text, "%0*d%07.4f,%c", width, whole, minutes, hemisphere);
    return text;
}

struct Clock {
    int hour, minute, second, centiseconds, day, month, year;
};

Clock ClockOf(std::int64_t micros) {
    const std::string iso = gpx::FormatTime(micros); // "YYYY-MM-DDThh:mm:ss.mmmZ"
    Clock c{};
    std::sscanf(iso.c_str(), "%d-%d-%dT%d:%d:%d.%d", &c.year, &c.month, &c.day, &c.hour, &c.minute,
                &c.second, &c.centiseconds);
    c.centiseconds /= 10;
    return c;
}

// The time of day and the position as every sentence that carries a fix writes them: "hhmmss.cc",
// and "ddmm.mmmm,N,dddmm.mmmm,E".
std::string TimeOfDay(const Clock& c) {
    char text[48];
    std::snprintf(text, sizeof text, "%02d%02d%02d.%02d", c.hour, c.minute, c.second,
                  c.centiseconds);
    return text;
}

std::string Position(const Fix& fix) {
    return Coordinate(fix.latitude, 2, 'N', 'S') + "," + Coordinate(fix.longitude, 3, 'E', 'W');
}

// Speed and course of each fix toward the next; the last fix keeps those of the one before.
void Movement(std::vector<Fix>& fixes) {
    for (std::size_t i = 0; i + 1 < fixes.size(); ++i) {
        const geo::Point a{fixes[i].latitude, fixes[i].longitude};
        const geo::Point b{fixes[i + 1].latitude, fixes[i + 1].longitude};
        const double metres = geo::Distance(a, b);
        const double seconds = static_cast<double>(fixes[i + 1].time - fixes[i].time) / 1e6;
        fixes[i].speedKnots = seconds > 0 ? metres / seconds * kKnotsPerMetrePerSecond : 0.0;
        fixes[i].course = metres > 0 ? geo::Bearing(a, b) : (i > 0 ? fixes[i - 1].course : 0.0);
    }
    if (fixes.size() >= 2) {
        fixes.back().speedKnots = fixes[fixes.size() - 2].speedKnots;
        fixes.back().course = fixes[fixes.size() - 2].course;
    }
}

} // namespace

bool Resample(const std::vector<gpx::Point>& points, const Options& options,
              std::vector<Fix>* fixes, std::string* error) {
    fixes->clear();
    if (!std::isfinite(options.speedMetresPerSecond) || options.speedMetresPerSecond <= 0 ||
        !std::isfinite(options.intervalSeconds) || options.intervalSeconds <= 0) {
        if (error != nullptr) *error = "the speed and the interval must be positive numbers";
        return false;
    }
    if (error != nullptr) error->clear();
    if (points.empty()) return true;
    bool timed = true;
    for (std::size_t i = 0; i < points.size() && timed; ++i)
        timed = points[i].time && (i == 0 || *points[i].time >= *points[i - 1].time);
    // Each point's time along the way: its own, or the distance so far at the constant speed.
    std::vector<double> seconds(points.size(), 0.0);
    for (std::size_t i = 1; i < points.size(); ++i)
        seconds[i] = timed ? static_cast<double>(*points[i].time - *points[0].time) / 1e6
                           : seconds[i - 1] + geo::Distance(At(points[i - 1]), At(points[i])) /
                                                  options.speedMetresPerSecond;
    const std::int64_t start = timed ? *points[0].time : options.startMicros;
    std::size_t segment = 0;
    for (std::size_t k = 0; k < kMaxFixes; ++k) {
        const double t = static_cast<double>(k) * options.intervalSeconds;
        if (t > seconds.back()) break;
        while (segment + 1 < points.size() - 1 && seconds[segment + 1] < t)
            ++segment;
        Fix f;
        if (points.size() == 1) {
            f = Between(points[0], points[0], 0.0);
        } else {
            const double span = seconds[segment + 1] - seconds[segment];
            const double along = span > 0 ? (t - seconds[segment]) / span : 1.0;
            f = Between(points[segment], points[segment + 1], std::min(1.0, std::max(0.0, along)));
        }
        f.time = start + static_cast<std::int64_t>(std::llround(t * 1e6));
        fixes->push_back(f);
    }
    Movement(*fixes);
    return true;
}

std::string RmcSentence(const Fix& fix) {
    const Clock c = ClockOf(fix.time);
    char body[160];
    std::snprintf(body, sizeof body, "GPRMC,%s,A,%s,%.2f,%.1f,%02d%02d%02d,,,A",
                  TimeOfDay(c).c_str(), Position(fix).c_str(), fix.speedKnots, fix.course, c.day,
                  c.month, ((c.year % 100) + 100) % 100);
    return nmea::Sentence(body);
}

std::string GgaSentence(const Fix& fix) {
    const Clock c = ClockOf(fix.time);
    char body[160];
    std::snprintf(body, sizeof body, "GPGGA,%s,%s,1,08,0.9,%.1f,M,0.0,M,,", TimeOfDay(c).c_str(),
                  Position(fix).c_str(), fix.elevation);
    return nmea::Sentence(body);
}

std::string TraceText(const std::vector<Fix>& fixes) {
    std::string text;
    text.reserve(fixes.size() * 150);
    for (const Fix& f : fixes) {
        text += RmcSentence(f);
        text += GgaSentence(f);
    }
    return text;
}

std::vector<gpx::Point> TravelledPoints(const gpx::Document& doc) {
    std::vector<gpx::Point> points;
    for (const gpx::Track& track : doc.tracks)
        for (const auto& segment : track.segments)
            points.insert(points.end(), segment.begin(), segment.end());
    if (points.empty() && !doc.routes.empty()) points = doc.routes.front().points;
    if (points.empty()) points = doc.waypoints;
    return points;
}

} // namespace gpslib::tracktrace
