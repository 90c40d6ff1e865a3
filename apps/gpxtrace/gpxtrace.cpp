// gpxtrace: turns a GPX track (recorded with another tool) into a trace file that the service
// plays back as a simulated receiver: one fix a second along the track, as a receiver's
// $GPRMC and $GPGGA sentences.
//
//   gpxtrace [--speed M/S] [--interval SECONDS] INPUT.gpx OUTPUT.trc
//   gpxtrace [options] INPUT.gpx -        the trace on standard output
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "formats/Gpx.h"
#include "formats/TrackTrace.h"

namespace {

void Usage(std::FILE* out) {
    std::fprintf(out,
                 "usage: gpxtrace [--speed M/S] [--interval SECONDS] INPUT.gpx OUTPUT.trc\n"
                 "\n"
                 "Turns the tracks of a GPX file (else its first route, else its waypoints)\n"
                 "into a trace of NMEA sentences ($GPRMC and $GPGGA), one fix per interval\n"
                 "along the way, that the service plays back as a simulated receiver.\n"
                 "OUTPUT \"-\" writes the trace to standard output.\n"
                 "\n"
                 "  --speed M/S         pace along a track without times (default 1.4, walking)\n"
                 "  --interval SECONDS  time between two fixes (default 1)\n"
                 "  --help              this text\n");
}

bool PositiveNumber(const char* text, double* value) {
    char* end = nullptr;
    errno = 0;
    *value = std::strtod(text, &end);
    return end != text && *end == '\0' && errno == 0 && std::isfinite(*value) && *value > 0;
}

} // namespace

int main(int argc, char** argv) {
    gpslib::tracktrace::Options options;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        }
        if (arg == "--speed" || arg == "--interval") {
            double value = 0;
            if (i + 1 >= argc || !PositiveNumber(argv[i + 1], &value)) {
                std::fprintf(stderr, "gpxtrace: %s needs a positive number\n", arg.c_str());
                return 2;
            }
            (arg == "--speed" ? options.speedMetresPerSecond : options.intervalSeconds) = value;
            ++i;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            std::fprintf(stderr, "gpxtrace: unknown option %s\n", arg.c_str());
            Usage(stderr);
            return 2;
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2) {
        Usage(stderr);
        return 2;
    }
    gpslib::gpx::Document doc;
    std::string error;
    if (!gpslib::gpx::ReadFile(files[0], &doc, &error)) {
        std::fprintf(stderr, "gpxtrace: %s\n", error.c_str());
        return 1;
    }
    const std::vector<gpslib::gpx::Point> points = gpslib::tracktrace::TravelledPoints(doc);
    if (points.empty()) {
        std::fprintf(stderr, "gpxtrace: %s: no track, route or waypoint to follow\n",
                     files[0].c_str());
        return 1;
    }
    std::vector<gpslib::tracktrace::Fix> fixes;
    if (!gpslib::tracktrace::Resample(points, options, &fixes, &error)) {
        std::fprintf(stderr, "gpxtrace: %s\n", error.c_str());
        return 2;
    }
    const std::string trace = gpslib::tracktrace::TraceText(fixes);
    if (files[1] == "-") {
        std::fwrite(trace.data(), 1, trace.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    std::ofstream out(files[1], std::ios::binary | std::ios::trunc);
    out.write(trace.data(), static_cast<std::streamsize>(trace.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "gpxtrace: %s: cannot be written\n", files[1].c_str());
        return 1;
    }
    std::fprintf(stderr, "gpxtrace: %zu fixes written to %s\n", fixes.size(), files[1].c_str());
    return 0;
}
