// Small maps drawn in metres east and north of an origin (45 N 10 E unless given), compiled by
// the test into a folder of its own and loaded into an engine.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "Compiler.h"
#include "Engine.h"
#include "MapData.h"
#include "temp_dir.h"

namespace gpsmap::test {

namespace geo = gpslib::geo;

inline constexpr geo::Point kOrigin{45.0, 10.0};

inline geo::Point At(double x, double y, geo::Point origin = kOrigin) {
    return {origin.lat + y / geo::kMetresPerDegree,
            origin.lon + x / (geo::kMetresPerDegree * std::cos(geo::Radians(origin.lat)))};
}

// Metres east and north of the origin for x and y in 1/1000 degree, for maps drawn on a degree
// grid.
inline std::pair<double, double> Grid(double x, double y, geo::Point origin = kOrigin) {
    return {x * geo::kMetresPerDegree * std::cos(geo::Radians(origin.lat)) / 1000.0,
            y * geo::kMetresPerDegree / 1000.0};
}

struct DrawnWay {
    const char* tags; // extra tags, as OSM XML
    std::vector<std::pair<double, double>> nodes;
};

// Compiles the ways into a map of their own; nodes at the same spot are one node.
class DrawnMap {
public:
    // `nodeTags`: tags (OSM XML) of the nodes at some spots; a spot on no way is a node of its
    // own.
    explicit DrawnMap(
        const std::vector<DrawnWay>& ways, geo::Point origin = kOrigin,
        const std::vector<std::pair<std::pair<double, double>, const char*>>& nodeTags = {})
        : origin(origin) {
        std::ostringstream nodes, body;
        std::vector<std::pair<double, double>> seen;
        auto id = [&](std::pair<double, double> xy) {
            for (std::size_t i = 0; i < seen.size(); ++i)
                if (seen[i] == xy) return i + 1;
            seen.push_back(xy);
            geo::Point p = At(xy.first, xy.second, origin);
            nodes.precision(10);
            nodes << "<node id='" << seen.size() << "' version='1' lat='" << p.lat << "' lon='"
                  << p.lon << "'>";
            for (const auto& [at, tags] : nodeTags)
                if (at == xy) nodes << tags;
            nodes << "</node>\n";
            return seen.size();
        };
        int wayId = 1;
        for (const DrawnWay& w : ways) {
            body << "<way id='" << wayId++ << "' version='1'>";
            for (const auto& xy : w.nodes)
                body << "<nd ref='" << id(xy) << "'/>";
            body << w.tags << "</way>\n";
        }
        for (const auto& spot : nodeTags)
            id(spot.first);
        std::ofstream(dir.File("drawn.osm")) << "<?xml version='1.0'?><osm version='0.6'>\n"
                                             << nodes.str() << body.str() << "</osm>\n";
        build::Options o;
        o.input = dir.File("drawn.osm");
        o.outputDirectory = dir.path();
        o.name = "Drawn";
        std::string error;
        compiled = build::Compile(o, nullptr, nullptr, &error);
        EXPECT_TRUE(compiled) << error;
        compiled = compiled && engine.Initialize(dir.path(), "", false) == "OK";
    }

    // The position of the next intersection ahead ("none" when there is none), in metres.
    std::string Ahead(double x, double y, const std::string& street, int heading) const {
        auto branches = engine.CrossStreets(At(x, y, origin), street, heading, Naming{}, false);
        if (branches.empty()) return "none";
        geo::Point p = branches.front().at;
        double east =
            (p.lon - origin.lon) * geo::kMetresPerDegree * std::cos(geo::Radians(origin.lat));
        double north = (p.lat - origin.lat) * geo::kMetresPerDegree;
        std::ostringstream out;
        out << std::lround(east) << "," << std::lround(north);
        return out.str();
    }

    // The street matched at a spot, heading east ("none" when none is near).
    std::string StreetAt(double x, double y) const {
        auto m = engine.MatchStreet(At(x, y, origin), 90, Naming{});
        return m ? engine.StreetName(*m, Naming{}) : "none";
    }

    geo::Point origin;
    gpslib::test::TempDir dir;
    Engine engine;
    bool compiled = false;
};

// The shared Paris extract, compiled once by the first test that asks into a folder of its own
// and loaded in an engine and as map data; nullptr when the extract is not there (the test is
// then skipped).
struct CompiledExtract {
    std::string osm = std::string(GPSLIB_OSM_DATA_DIR) + "/paris-west.osm.pbf";
    gpslib::test::TempDir dir;
    Engine engine;
    MapData map;
    bool loaded = false;
};
inline const CompiledExtract* Paris() {
    static const std::unique_ptr<CompiledExtract> paris = [] {
        auto c = std::make_unique<CompiledExtract>();
        if (!std::ifstream(c->osm).good()) return std::unique_ptr<CompiledExtract>();
        build::Options o;
        o.input = c->osm;
        o.outputDirectory = c->dir.path();
        o.name = "Paris";
        std::string error;
        c->loaded = build::Compile(o, nullptr, nullptr, &error) &&
                    c->engine.Initialize(c->dir.path(), "", false) == "OK" &&
                    c->map.Open(c->dir.File("Paris.rmf"), &error);
        EXPECT_TRUE(c->loaded) << error;
        return c;
    }();
    return paris.get();
}

} // namespace gpsmap::test
