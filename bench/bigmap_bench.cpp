// A map of five million edges used in place: a synthetic street grid of 1600 by 1600 nodes with
// named streets, house numbers, areas and places, written once by the compiler's writer into the
// bench build folder. Measures `Initalize` on it (the engine opening the map), the resident memory
// after opening and after a few hundred street and intersection queries around one point, and
// the speed of those queries.
//
// Targets: Initalize under 10 ms, resident memory under 50 MiB. Figures in docs/performance.md.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "Engine.h"
#include "Writers.h"

namespace {

namespace fs = std::filesystem;
namespace build = gpsmap::build;

constexpr int kSide = 1600;      // nodes per row and per column
constexpr double kStep = 0.0005; // degrees between neighbouring nodes (about 40-55 m)
constexpr double kLat0 = 46.0, kLon0 = 8.0;

gpsmap::Point At(int row, int col) {
    return {kLat0 + row * kStep, kLon0 + col * kStep};
}
int NodeOf(int row, int col) {
    return row * kSide + col;
}

// Streets 0..kSide-1 run east (one per row), kSide..2*kSide-1 run north (one per column).
build::Map Synthetic() {
    build::Map map;
    for (int s = 0; s < 2 * kSide; ++s) {
        build::WayRec w;
        w.id = s + 1;
        w.name = s < kSide ? std::to_string(s + 1) + "th Street"
                           : std::to_string(s - kSide + 1) + "th Avenue";
        w.cls = s % 10 == 0 ? "primary" : "residential";
        map.ways.push_back(std::move(w));
        map.wayStreet.push_back(s);
        build::Street street;
        street.name = map.ways.back().name;
        street.city = "Gridton";
        street.postcode = std::to_string(1000 + s / 100);
        map.streets.push_back(std::move(street));
    }
    map.nodes.reserve(std::size_t{kSide} * kSide);
    for (int r = 0; r < kSide; ++r)
        for (int c = 0; c < kSide; ++c) {
            map.nodes.push_back(At(r, c));
            map.nodeIds.push_back(NodeOf(r, c) + 1);
            bool inner = r > 0 && c > 0 && r + 1 < kSide && c + 1 < kSide;
            map.nodeIntersection.push_back(inner ? static_cast<int>(map.intersections.size()) : -1);
            if (inner) map.intersections.push_back({At(r, c), 0});
        }
    map.edges.reserve(std::size_t{2} * kSide * (kSide - 1));
    auto edge = [&](int way, int from, int to) {
        build::Edge e;
        e.way = way, e.from = from, e.to = to;
        gpsmap::Point a = map.nodes[static_cast<std::size_t>(from)],
                      b = map.nodes[static_cast<std::size_t>(to)];
        e.points = {a, b};
        e.length = gpslib::geo::Distance(a, b);
        map.edges.push_back(std::move(e));
    };
    for (int r = 0; r < kSide; ++r)
        for (int c = 0; c + 1 < kSide; ++c)
            edge(r, NodeOf(r, c), NodeOf(r, c + 1));
    for (int c = 0; c < kSide; ++c)
        for (int r = 0; r + 1 < kSide; ++r)
            edge(kSide + c, NodeOf(r, c), NodeOf(r + 1, c));
    // House numbers on the first 200 edges of every tenth street, both sides.
    for (int r = 0; r < kSide; r += 10)
        for (int c = 0; c < 200; ++c)
            for (int side = 1; side <= 2; ++side) {
                build::Address a;
                a.street = r;
                a.edge = r * (kSide - 1) + c;
                a.side = side;
                a.offset = 20.0;
                a.number = std::to_string(2 * c + side);
                a.city = "Gridton";
                a.at = {At(r, c).lat + (side == 1 ? 1e-4 : -1e-4), At(r, c).lon + 2e-4};
                map.addresses.push_back(std::move(a));
            }
    // A country, a city and four suburbs; a place per suburb.
    auto box = [&](int kind, int level, const std::string& name, double lat0, double lon0,
                   double lat1, double lon1) {
        build::AreaRec a;
        a.kind = kind, a.adminLevel = level, a.name = name;
        a.rings.push_back({true, {{lat0, lon0}, {lat0, lon1}, {lat1, lon1}, {lat1, lon0}}});
        a.minLat = lat0, a.maxLat = lat1, a.minLon = lon0, a.maxLon = lon1;
        a.size = (lat1 - lat0) * (lon1 - lon0);
        map.areas.push_back(std::move(a));
    };
    double span = kStep * (kSide - 1);
    box(1, 2, "Gridland", kLat0 - 0.01, kLon0 - 0.01, kLat0 + span + 0.01, kLon0 + span + 0.01);
    box(4, 8, "Gridton", kLat0, kLon0, kLat0 + span, kLon0 + span);
    for (int q = 0; q < 4; ++q) {
        const int row = q / 2, column = q % 2; // the quarter's place in the square
        double lat = kLat0 + row * span / 2, lon = kLon0 + column * span / 2;
        box(6, 10, "Quarter " + std::to_string(q + 1), lat, lon, lat + span / 2, lon + span / 2);
        map.places.push_back({q + 1,
                              "village",
                              "Village " + std::to_string(q + 1),
                              {lat + span / 4, lon + span / 4}});
    }
    map.minLat = kLat0, map.minLon = kLon0, map.maxLat = kLat0 + span, map.maxLon = kLon0 + span;
    return map;
}

// The folder holding the map, written by a child process the first time, so that the writer's
// memory never counts in this process's resident memory.
const std::string& Folder() {
    static const std::string folder = [] {
        fs::path dir = fs::path(GPSLIB_BENCH_DIR) / "grid-map";
        fs::path file = dir / "Gridton.rmf";
        if (fs::exists(file)) return dir.string();
        fs::create_directories(dir);
        pid_t child = fork();
        if (child == 0) {
            std::string error;
            std::string staged = (dir / "Gridton.rmf.part").string();
            bool ok = build::WriteMapFile(
                Synthetic(), {"Gridton", "regional", "synthetic", "", "en"}, staged, &error);
            if (!ok) std::fprintf(stderr, "writing the grid map: %s\n", error.c_str());
            _exit(ok && std::rename(staged.c_str(), file.string().c_str()) == 0 ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return dir.string();
    }();
    return folder;
}

// Resident memory of this process in MiB (VmRSS).
double ResidentMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0.0;
}

// Resident pages of the map file's mapping in MiB (its Rss in /proc/self/smaps).
double MappedMiB() {
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inMap = false;
    double kib = 0.0;
    while (std::getline(smaps, line)) {
        if (!line.empty() && std::isxdigit(static_cast<unsigned char>(line[0])) &&
            line.find('-') != std::string::npos && line.find(' ') > line.find('-'))
            inMap = line.find("Gridton.rmf") != std::string::npos;
        else if (inMap && line.rfind("Rss:", 0) == 0)
            kib += std::stod(line.substr(4));
    }
    return kib / 1024.0;
}

void BM_InitalizeFiveMillionEdges(benchmark::State& state) {
    const std::string& folder = Folder();
    gpsmap::Engine engine;
    for (auto _ : state) {
        std::string answer = engine.Initialize(folder, "", false);
        if (answer != "OK") state.SkipWithError(answer.c_str());
    }
    state.counters["RSS_MiB"] = ResidentMiB();
    state.counters["map_MiB"] = MappedMiB();
}
BENCHMARK(BM_InitalizeFiveMillionEdges)->Unit(benchmark::kMillisecond);

// Street and intersection questions at positions within about 1 km of one point.
void BM_QueriesOnFiveMillionEdges(benchmark::State& state) {
    gpsmap::Engine engine;
    if (engine.Initialize(Folder(), "", false) != "OK") {
        state.SkipWithError("the grid map did not load");
        return;
    }
    gpsmap::Naming naming;
    const gpsmap::Point centre = At(kSide / 2, kSide / 2);
    std::size_t i = 0;
    for (auto _ : state) {
        ++i;
        gpsmap::Point p{centre.lat + static_cast<double>(i * 7919 % 400) * 2.5e-5 - 0.005,
                        centre.lon + static_cast<double>(i * 104729 % 400) * 2.5e-5 - 0.005};
        auto m = engine.MatchStreet(p, static_cast<int>(i * 37 % 360), naming);
        benchmark::DoNotOptimize(m);
        auto branches = engine.CrossStreets(p, m ? engine.StreetName(*m, naming) : "",
                                            static_cast<int>(i * 37 % 360), naming, false);
        benchmark::DoNotOptimize(branches);
    }
    state.counters["RSS_MiB"] = ResidentMiB();
    state.counters["map_MiB"] = MappedMiB();
}
BENCHMARK(BM_QueriesOnFiveMillionEdges)->Unit(benchmark::kMicrosecond)->Iterations(400);

} // namespace
