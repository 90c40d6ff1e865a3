// gpsmap-build: compiles an OpenStreetMap extract into a map region (NAME.rmf, NAME.pdb,
// NAME.cpd). A thin front: it reads the command line, runs the compiler and sets the exit code.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "Compiler.h"

namespace {

constexpr const char* kUsage =
    "usage: gpsmap-build [--name NAME] [--level country|provincial|state|regional]\n"
    "                    [--output FOLDER] [--node-index memory|disk|auto] [--quiet]\n"
    "                    EXTRACT.osm[.gz|.bz2]|EXTRACT.osm.pbf\n"
    "Writes NAME.rmf (the map), NAME.pdb (its points of interest) and NAME.cpd (its cities,\n"
    "postal codes and streets) into FOLDER (default: the current folder). NAME defaults to the\n"
    "extract's file name; blanks become underscores. The node index (default auto) keeps the\n"
    "nodes' locations in memory, or in a file beside the output for large extracts.\n";

} // namespace

int main(int argc, char** argv) {
    gpsmap::build::Options options;
    options.outputDirectory = ".";
    bool quiet = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= argc) return false;
            *out = argv[++i];
            return true;
        };
        bool ok = true;
        if (arg == "--name")
            ok = value(&options.name);
        else if (arg == "--level")
            ok = value(&options.level);
        else if (arg == "--output" || arg == "-o")
            ok = value(&options.outputDirectory);
        else if (arg == "--node-index" || arg.rfind("--node-index=", 0) == 0) {
            std::string choice = arg.size() > 12 ? arg.substr(13) : std::string();
            ok = arg.size() > 12 || value(&choice);
            if (choice == "memory")
                options.nodeIndex = gpsmap::build::NodeIndex::Memory;
            else if (choice == "disk")
                options.nodeIndex = gpsmap::build::NodeIndex::Disk;
            else if (choice == "auto")
                options.nodeIndex = gpsmap::build::NodeIndex::Auto;
            else
                ok = false;
        } else if (arg == "--quiet" || arg == "-q")
            quiet = true;
        else if (arg == "--help" || arg == "-h")
            return std::fputs(kUsage, stdout), 0;
        else if ((!arg.empty() && arg[0] == '-') || !options.input.empty())
            ok = false; // An unknown option, or a second input.
        else
            options.input = arg;
        if (!ok) return std::fputs(kUsage, stderr), 2;
    }
    if (options.input.empty()) return std::fputs(kUsage, stderr), 2;

    auto start = std::chrono::steady_clock::now();
    gpsmap::build::Progress progress;
    if (!quiet)
        progress = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    gpsmap::build::Counts counts;
    std::string error;
    if (!gpsmap::build::Compile(options, progress, &counts, &error)) {
        std::fprintf(stderr, "gpsmap-build: %s\n", error.c_str());
        return 1;
    }
    if (!quiet) {
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::fprintf(stderr,
                     "%zu streets, %zu ways, %zu edges, %zu intersections, %zu house numbers, "
                     "%zu areas, %zu POIs in %.2f s\n",
                     counts.streets, counts.ways, counts.edges, counts.intersections,
                     counts.addresses, counts.areas, counts.pois, seconds);
    }
    return 0;
}
