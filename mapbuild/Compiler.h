// The map compiler: one OSM extract in, one map region out (NAME.rmf, NAME.pdb, NAME.cpd).
#ifndef MAPBUILD_COMPILER_H_
#define MAPBUILD_COMPILER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace gpslib::os {
class Env;
}

namespace gpsmap::build {

// Where the compiler keeps the location of every node while it reads the ways: in memory (fast,
// about 16 bytes a node), in a file in the output's staging folder (the system's page cache holds
// what fits and the rest stays on disk), or chosen by the extract's size.
enum class NodeIndex { Memory, Disk, Auto };

// Auto keeps the index in memory up to this many nodes, guessed from the extract's size.
constexpr std::uint64_t kDiskNodeIndexAbove = 4'000'000;

struct Options {
    std::string input;           // .osm, .osm.gz, .osm.bz2 or .osm.pbf
    std::string outputDirectory; // must exist
    std::string name;            // the map name; empty: from the input file's name
    std::string level = "regional";
    NodeIndex nodeIndex = NodeIndex::Auto;
    // Every step that creates, moves or removes an output goes through it; null: the system's.
    gpslib::os::Env* env = nullptr;
};

struct Counts {
    std::size_t streets = 0, ways = 0, edges = 0, intersections = 0, addresses = 0, areas = 0,
                pois = 0;
};

// A progress line ("reading ways", counts); may be empty.
using Progress = std::function<void(const std::string&)>;

// Compiles the extract. On failure answers false with *error saying why (the input named); no
// output file is left behind, and files of an earlier run stay as they were. The three files are
// replaced together; what a killed run left is undone first. The same input always gives
// byte-identical files.
bool Compile(const Options& options, const Progress& progress, Counts* counts, std::string* error);

// The map name for an input file: its name up to the first dot, blanks as underscores, the first
// letter of each word in capitals ("new york.osm.pbf" -> "New_York").
std::string MapNameFor(const std::string& inputPath);

// How many nodes an extract of `bytes` in the format its path names holds, roughly (for Auto).
std::uint64_t GuessNodeCount(const std::string& inputPath, std::uint64_t bytes);

} // namespace gpsmap::build

#endif // MAPBUILD_COMPILER_H_
