// The compiler's stages in order: read the extract with the handlers (Extract.cpp), build the
// street graph, the streets and the intersections (Graph.cpp), tie the house numbers to their
// streets (Addresses.cpp), write the three files into a staging folder (the writers) and publish
// them together (Outputs.cpp). docs/maps.md explains the choices; formats/ owns the files'
// layout.
#include "Compiler.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <string_view>

#include "Crossings.h"
#include "Extract.h"
#include "Language.h"
#include "Outputs.h"
#include "Stages.h"
#include "Writers.h"
#include "os/env.h"
#include "os/path.h"

namespace gpsmap::build {

std::string MapNameFor(const std::string& inputPath) {
    std::string base = std::filesystem::path(inputPath).filename().string();
    base = base.substr(0, base.find('.'));
    bool wordStart = true;
    for (char& ch : base) {
        if (ch == ' ' || ch == '_' || ch == '-') {
            if (ch == ' ') ch = '_';
            wordStart = true;
            continue;
        }
        if (wordStart) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        wordStart = false;
    }
    return base.empty() ? std::string("Map") : base;
}

std::uint64_t GuessNodeCount(const std::string& inputPath, std::uint64_t bytes) {
    // Bytes a node takes with its share of the ways and relations, measured on the shared
    // extracts: about 9 in PBF, 24 in gzip'ed XML and 220 in plain XML (bzip2 packs a little
    // tighter than gzip).
    auto endsWith = [&](std::string_view tail) {
        return inputPath.size() >= tail.size() &&
               inputPath.compare(inputPath.size() - tail.size(), tail.size(), tail) == 0;
    };
    std::uint64_t perNode = endsWith(".pbf")   ? 9
                            : endsWith(".gz")  ? 24
                            : endsWith(".bz2") ? 18
                                               : 220;
    return bytes / perNode;
}

bool Compile(const Options& options, const Progress& progress, Counts* counts, std::string* error) {
    auto say = [&](const std::string& text) {
        if (progress) progress(text);
    };
    gpslib::os::Env* env = options.env != nullptr ? options.env : gpslib::os::Env::Default();
    if (!IsOneOf(options.level, {"country", "provincial", "state", "regional"})) {
        *error = "unknown level \"" + options.level + "\" (country, provincial, state, regional)";
        return false;
    }
    // The extract is read by libosmium, which takes the path as it is.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(options.input, ec)) {
        *error = options.input + ": no such file";
        return false;
    }
    if (!env->IsDirectory(options.outputDirectory)) {
        *error = options.outputDirectory + ": no such folder";
        return false;
    }
    std::string name = options.name.empty() ? MapNameFor(options.input) : options.name;
    std::replace(name.begin(), name.end(), ' ', '_');
    if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos) {
        *error = "the map name may not hold a folder separator";
        return false;
    }
    // Before anything else, so that even a run that fails leaves the files of one whole run.
    OutputSet outputs(env, options.outputDirectory, name, {".rmf", ".pdb", ".cpd"});
    if (!outputs.Recover(error)) return false;

    // The staging folder exists from here on, and holds the node index file while the extract is
    // read; every way out drops it (a killed run's is dropped by the next run's Recover).
    if (!outputs.Begin(error)) return false;
    std::uint64_t bytes = 0;
    const bool sized = env->GetFileSize(options.input, &bytes).ok();
    bool onDisk = options.nodeIndex == NodeIndex::Disk;
    if (options.nodeIndex == NodeIndex::Auto && sized)
        onDisk = GuessNodeCount(options.input, bytes) > kDiskNodeIndexAbove;
    std::string indexFile;
    if (onDisk) {
        // The index file is mapped and grows as nodes come: on a full disk the first page written
        // beyond the room would end the process, so the room is checked first (16 bytes a node,
        // and the 16 MiB the file grows by at a time).
        const std::uint64_t need = GuessNodeCount(options.input, bytes) * 16 + (16u << 20);
        struct statvfs room {};
        if (::statvfs(gpslib::os::NativePath(options.outputDirectory).c_str(), &room) == 0 &&
            std::uint64_t{room.f_bavail} * room.f_frsize < need) {
            *error = options.outputDirectory + ": no room for the node index (about " +
                     std::to_string(need >> 20) + " MiB needed)";
            outputs.Abandon();
            return false;
        }
        indexFile = outputs.StagedPath(".nodes");
        std::unique_ptr<gpslib::os::WritableFile> file;
        gpslib::os::Status s = env->NewWritableFile(indexFile, &file);
        if (s.ok()) s = file->Close();
        if (!s.ok()) {
            *error = indexFile + ": " + s.ToString();
            outputs.Abandon();
            return false;
        }
        say("keeping the node locations in " + indexFile);
    }
    Extract extract;
    bool read = ReadExtract(options.input, indexFile, progress, &extract, error);
    if (onDisk) (void)env->RemoveFile(indexFile);
    if (read && extract.ways.empty()) {
        *error = options.input + ": no streets in this extract";
        read = false;
    }
    if (!read) {
        outputs.Abandon();
        return false;
    }
    say("building the street graph");
    Map map;
    map.ways = std::move(extract.ways);
    map.ways.shrink_to_fit(); // grown by doubling while read; kept until the files are written
    map.areas = std::move(extract.areas);
    map.places = std::move(extract.places);
    map.pois = std::move(extract.pois);
    map.crossingNodes = std::move(extract.crossingNodes);
    IndexAreasAndPlaces(map);
    const std::string language = DecideLanguage(map, extract.languageHints);
    say("the names are written in \"" + language + "\"");
    const std::string country = MainCountry(map, extract.languageHints);
    BuildCrossings(map, extract.crossingTags);
    BuildGraph(map);
    TieCrossingsToNodes(map);
    DropWayGeometry(map);
    BuildRestrictions(map, extract.restrictions);
    BuildStreets(map);
    NameWalkways(map);
    ApplyWalkerDefaults(map, country);
    BuildIntersections(map);
    say("tying house numbers to their streets");
    BuildAddresses(map, extract);
    PlaceStreets(map, name);
    say("measuring the route bounds");
    MeasureRouteBounds(map);

    MapInfo info{name, options.level, std::filesystem::path(options.input).filename().string(),
                 extract.timestamp, language};
    // The map file last, and the compiler's records freed before the route hierarchy is built
    // over it: the hierarchy's graph then takes their place at the peak instead of adding to it.
    const std::pair<const char*, decltype(&WriteMapFile)> writers[] = {
        {".pdb", WritePoiFile}, {".cpd", WriteAddressFile}, {".rmf", WriteMapFile}};
    map.routeHierarchy = true;
    auto fail = [&](const std::string& staged) {
        *error = staged + ": " + *error;
        outputs.Abandon();
        return false;
    };
    for (const auto& [ext, write] : writers) {
        std::string staged = outputs.StagedPath(ext);
        say("writing " + outputs.FinalPath(ext));
        if (!write(map, info, staged, error)) return fail(staged);
    }
    if (counts != nullptr) {
        counts->streets = map.streets.size();
        counts->ways = map.ways.size();
        counts->edges = map.edges.size();
        counts->intersections = map.intersections.size();
        counts->addresses = map.addresses.size();
        counts->areas = map.areas.size();
        counts->pois = map.pois.size();
    }
    map = Map{};
    say("building the route hierarchy");
    if (!AddRouteHierarchy(outputs.StagedPath(".rmf"), error))
        return fail(outputs.StagedPath(".rmf"));
    return outputs.Commit(error);
}

} // namespace gpsmap::build
