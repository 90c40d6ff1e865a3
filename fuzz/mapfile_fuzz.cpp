// Fuzz target: opening map files. Any bytes, written as a map file, are either refused with a
// reason or loaded; a loaded map answers every street query at its corners and centre without
// reading outside its mapping (the drawing's ways in boxes too), and routes between them.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "Engine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path dir = [] {
        std::filesystem::path d =
            std::filesystem::temp_directory_path() / ("gpsmap-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    {
        std::ofstream out(dir / "Fuzz.rmf", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    gpsmap::Engine engine;
    std::string answer = engine.Initialize(dir.string(), "", false);
    if ((answer == "OK") != (engine.MapCount() == 1)) std::abort();
    if (answer != "OK" && answer.rfind("NO MAPS LOADED: ", 0) != 0) std::abort();
    if (answer == "OK") {
        gpsmap::Naming naming;
        for (double lat : {-90.0, 0.0, 45.0005, 45.002, 47.1})
            for (double lon : {-180.0, 0.0, 10.001, 10.003, 9.52}) {
                gpsmap::Point p{lat, lon};
                if (auto m = engine.MatchStreet(p, 90, naming)) engine.StreetName(*m, naming);
                engine.CrossStreets(p, "Main Street", -1, naming, true);
                engine.CrossStreets(p, "Main Street", 90, naming, false);
                engine.LocationDetails(p, 45, naming);
                engine.MoveToNextIntersection(p, "", 180, 2, naming);
                engine.MoveAcrossStreet(p, "", 0, 1, naming);
                engine.DescribePosition(p, naming);
                bool complete = true;
                engine.StreetsInBox({lat - 0.002, lon - 0.002, lat + 0.002, lon + 0.002}, 50,
                                    naming, &complete);
            }
        // The ways of the map's own box (read through at most the grid's cell limit).
        bool complete = true;
        for (const auto& m : engine.MapBoxes())
            engine.StreetsInBox(m.box, 50, naming, &complete);
        // Routes between the probes, each pair in one profile and waypoint mode, the nine pairs
        // going through all four (a route costs as much as all the street queries above).
        const gpsmap::Point probes[] = {{45.0005, 10.001}, {45.002, 10.003}, {47.1, 9.52}};
        gpsmap::Route route;
        int pair = 0;
        for (const gpsmap::Point& a : probes)
            for (const gpsmap::Point& b : probes) {
                const int kind = pair++ % 4;
                gpsmap::RouteRequest request;
                request.start = a;
                request.end = b;
                request.walking = kind == 0;
                request.preferences.vehicleMode = kind == 3 ? 2 : kind == 2 ? 1 : 0;
                request.turnsOnly = kind != 1;
                request.initialHeading = kind * 90;
                if (engine.FindRoute(request, gpsmap::RouteNaming{}, &route) &&
                    route.points.size() < 2)
                    std::abort();
            }
    }
    return 0;
}
