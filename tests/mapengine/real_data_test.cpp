// The shared OpenStreetMap extracts compiled at build time, checked against the extract itself:
// queries over a grid, streets, intersections where streets meet, Baltimore's house numbers.
// Skipped when the extracts are not there.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <osmium/handler.hpp>
#include <osmium/handler/node_locations_for_ways.hpp>
#include <osmium/index/map/flex_mem.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/visitor.hpp>
#include <random>
#include <set>

#include "formats/Geodesy.h"
#include "map_fixture.h"

namespace gpsmap::test {
namespace {

namespace geo = gpslib::geo;

struct Extract {
    const char* file;
    const char* map;
};
void PrintTo(const Extract& e, std::ostream* os) {
    *os << e.map;
}
const Extract kExtracts[] = {{"monaco.osm.gz", "Monaco"},
                             {"andorra.osm.pbf", "Andorra"},
                             {"liechtenstein.osm.pbf", "Liechtenstein"},
                             {"baltimore.osm.pbf", "Baltimore"}};

// What the tests take from the extract itself.
struct Truth {
    struct Street {
        std::string name;
        geo::Point a, b; // a middle segment
    };
    std::vector<Street> streets;
    std::vector<geo::Point> junctions; // nodes where two streets meet or a way forks
    struct House {
        std::string number, street;
        geo::Point at;
    };
    std::vector<House> houses;
};

class TruthReader : public osmium::handler::Handler {
public:
    void node(const osmium::Node& n) {
        const char* number = n.tags()["addr:housenumber"];
        const char* street = n.tags()["addr:street"];
        if (number && street && n.location().valid())
            truth.houses.push_back({number, street, {n.location().lat(), n.location().lon()}});
    }
    void way(const osmium::Way& w) {
        const char* highway = w.tags()["highway"];
        if (!highway) return;
        std::string h = highway, footway = w.tags().get_value_by_key("footway", "");
        if (footway == "sidewalk" || footway == "crossing" || h == "crossing" || h == "proposed" ||
            h == "construction" || h == "platform")
            return;
        std::string name = w.tags().get_value_by_key("name", "");
        std::vector<geo::Point> points;
        for (const osmium::NodeRef& r : w.nodes()) {
            if (!r.location().valid()) return;
            points.push_back({r.location().lat(), r.location().lon()});
            auto& use = uses[r.ref()];
            use.at = points.back();
            use.names.insert(name.empty() ? "#" + std::to_string(w.id()) : name);
            use.ends += (&r == &w.nodes().front() || &r == &w.nodes().back()) ? 1 : 2;
        }
        bool street = h != "footway" && h != "path" && h != "cycleway" && h != "steps" &&
                      h != "service" && h != "track" && h.find("_link") == std::string::npos;
        if (street && !name.empty() && points.size() >= 2) {
            std::size_t k = points.size() / 2 - (points.size() % 2 == 0 ? 1 : 0);
            if (geo::Distance(points[k], points[k + 1]) > 15.0)
                truth.streets.push_back({name, points[k], points[k + 1]});
        }
    }
    void Finish() {
        for (const auto& [id, use] : uses)
            if (use.names.size() >= 2 || use.ends >= 3) truth.junctions.push_back(use.at);
        std::sort(truth.junctions.begin(), truth.junctions.end(),
                  [](const geo::Point& a, const geo::Point& b) { return a.lat < b.lat; });
    }
    Truth truth;

private:
    struct Use {
        geo::Point at;
        std::set<std::string> names;
        int ends = 0;
    };
    std::map<osmium::object_id_type, Use> uses;
};

Truth ReadTruth(const std::string& path) {
    using Index = osmium::index::map::FlexMem<osmium::unsigned_object_id_type, osmium::Location>;
    Index index;
    osmium::handler::NodeLocationsForWays<Index> locations{index};
    locations.ignore_errors();
    TruthReader reader;
    osmium::io::Reader input{path, osmium::osm_entity_bits::node | osmium::osm_entity_bits::way};
    osmium::apply(input, locations, reader);
    input.close();
    reader.Finish();
    return reader.truth;
}

class RealData : public ::testing::TestWithParam<Extract> {
protected:
    void SetUp() override {
        std::string rmf = std::string(GPSLIB_OSM_MAP_DIR) + "/" + GetParam().map + ".rmf";
        if (!std::filesystem::exists(rmf)) GTEST_SKIP() << "no compiled extract " << rmf;
        // Each extract in a folder of its own, so that exactly one map answers.
        folder = std::filesystem::temp_directory_path() /
                 ("gpsmap-real-" + std::to_string(::getpid()) + "-" + GetParam().map);
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(rmf, folder / (std::string(GetParam().map) + ".rmf"),
                                   std::filesystem::copy_options::overwrite_existing);
        std::string answer;
        map = NewEngine(folder.string(), &answer);
        ASSERT_EQ(answer, "OK");
    }
    void TearDown() override {
        map.Reset();
        std::error_code ec;
        if (!folder.empty()) std::filesystem::remove_all(folder, ec);
    }
    const Truth& TheTruth() {
        static std::map<std::string, Truth> cache;
        auto it = cache.find(GetParam().file);
        if (it == cache.end())
            it = cache
                     .emplace(GetParam().file,
                              ReadTruth(std::string(GPSLIB_OSM_DATA_DIR) + "/" + GetParam().file))
                     .first;
        return it->second;
    }
    // The street network's bounds, from the map file.
    void Bounds(double* minLat, double* minLon, double* maxLat, double* maxLon) {
        sqlite3* db = nullptr;
        std::string path = (folder / (std::string(GetParam().map) + ".rmf")).string();
        ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        auto value = [&](const char* key) {
            sqlite3_stmt* s = nullptr;
            sqlite3_prepare_v2(db, "SELECT value FROM meta WHERE key = ?", -1, &s, nullptr);
            sqlite3_bind_text(s, 1, key, -1, SQLITE_STATIC);
            double v = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_double(s, 0) : 0.0;
            sqlite3_finalize(s);
            return v;
        };
        *minLat = value("min_lat"), *minLon = value("min_lon");
        *maxLat = value("max_lat"), *maxLon = value("max_lon");
        sqlite3_close(db);
    }
    std::filesystem::path folder;
    gpslib::ComPtr<IGPSMap> map;
};

TEST_P(RealData, EveryQueryAnswersOverAGridOfPositions) {
    double minLat = 0, minLon = 0, maxLat = 0, maxLon = 0;
    Bounds(&minLat, &minLon, &maxLat, &maxLon);
    const Truth& truth = TheTruth();
    std::mt19937 random(7);
    int onStreet = 0, intersections = 0, misplaced = 0;
    gpslib::Bstr k1("STREET EXPANDED"), k2("INTERSECTION EXPANDEDINCLUDE CONNECTORS"), all("ALL");
    for (int i = 0; i < 1000; ++i) {
        double lat = minLat + (maxLat - minLat) * ((i / 40) + 0.5) / 25.0;
        double lon = minLon + (maxLon - minLon) * ((i % 40) + 0.5) / 40.0;
        auto heading = static_cast<SHORT>(static_cast<int>(random() % 361) - 1);
        gpslib::Bstr name, result;
        ASSERT_EQ(map->GetStreetAtLocation(lat, lon, heading, k1.Get(), name.Put(), result.Put()),
                  S_OK);
        if (result.Utf8() == "OK") ++onStreet;
        for (SHORT ahead : {SHORT(-1), heading}) {
            gpslib::Variant list;
            ASSERT_EQ(map->FindNextCrossStreets(lat, lon, name.Get(), ahead, k2.Get(), &list),
                      S_OK);
            for (const CrossStreet& c : ReadCrossStreets(&list)) {
                ++intersections;
                // Where streets meet in the data: a shared node within 40 m (clusters and
                // roundabouts put the intersection between their nodes).
                bool near = false;
                auto from =
                    std::lower_bound(truth.junctions.begin(), truth.junctions.end(), c.lat - 0.0005,
                                     [](const geo::Point& j, double lat) { return j.lat < lat; });
                for (auto j = from; j != truth.junctions.end() && j->lat < c.lat + 0.0005; ++j)
                    if (geo::Distance(*j, {c.lat, c.lon}) < 40.0) {
                        near = true;
                        break;
                    }
                misplaced += near ? 0 : 1;
                EXPECT_GE(c.bearing, 0);
                EXPECT_LT(c.bearing, 360);
            }
        }
        gpslib::Variant details, moved, across;
        ASSERT_EQ(map->GetLocationsDetailsVector(lat, lon, all.Get(), heading, &details), S_OK);
        ASSERT_EQ(
            map->MoveToNextIntersection(lat, lon, name.Get(), heading, RightSide, k2.Get(), &moved),
            S_OK);
        ASSERT_EQ(map->MoveAcrossStreet(lat, lon, name.Get(), heading, LeftSide, k2.Get(), &across),
                  S_OK);
        SHORT bearing = 0;
        ASSERT_EQ(map->GetStreetBearingAtLocation(lat, lon, heading, &bearing), S_OK);
        gpslib::Bstr description;
        ASSERT_EQ(map->DescribePosition(lat, lon, description.Put()), S_OK);
    }
    EXPECT_GT(onStreet, 50) << GetParam().map;
    EXPECT_GT(intersections, 100) << GetParam().map;
    EXPECT_EQ(misplaced, 0) << GetParam().map << ": of " << intersections;
}

TEST_P(RealData, KnownStreetsAreFoundOnThem) {
    const Truth& truth = TheTruth();
    ASSERT_GT(truth.streets.size(), 50u);
    int found = 0, tried = 0;
    gpslib::Bstr none;
    for (std::size_t i = 0; i < truth.streets.size() && tried < 400;
         i += 1 + truth.streets.size() / 400) {
        const Truth::Street& s = truth.streets[i];
        geo::Point mid{(s.a.lat + s.b.lat) / 2, (s.a.lon + s.b.lon) / 2};
        auto heading = static_cast<SHORT>(geo::WholeDegrees(geo::Bearing(s.a, s.b)));
        gpslib::Bstr name, result;
        ASSERT_EQ(map->GetStreetAtLocation(mid.lat, mid.lon, heading, none.Get(), name.Put(),
                                           result.Put()),
                  S_OK);
        ++tried;
        if (name.Utf8() == s.name) ++found;
    }
    // Where two named ways share their line (a bridge over a street, a route on a street) the
    // other name may win; nearly every point must name its own street.
    EXPECT_GE(found, tried * 97 / 100) << GetParam().map << ": " << found << " of " << tried;
}

TEST_P(RealData, HouseNumbersComeBackOnTheirSide) {
    if (std::string(GetParam().map) != "Baltimore")
        GTEST_SKIP() << "few house-number points in this extract";
    const Truth& truth = TheTruth();
    int asked = 0, right = 0, zipAndState = 0;
    for (const Truth::House& h : truth.houses) {
        auto details = Details(map.Get(), h.at.lat, h.at.lon, -1, "ALL");
        for (const Detail& d : details) {
            if (d.street != h.street) continue;
            ++asked;
            right += d.houseNumber == h.number ? 1 : 0;
            // A five-digit ZIP code and the state, from the houses' own tags (the extract has
            // no boundaries).
            zipAndState += d.postcode.size() == 5 && d.state == "MD" ? 1 : 0;
            break;
        }
    }
    EXPECT_GE(zipAndState, asked * 90 / 100) << zipAndState << " of " << asked;
    ASSERT_GT(asked, 300) << GetParam().map;
    // Standing at the house, the engine answers the house's own number on its own side.
    EXPECT_GE(right, asked * 90 / 100) << GetParam().map << ": " << right << " of " << asked;
    std::printf("%s: %d of %d house numbers answered at their house\n", GetParam().map, right,
                asked);
}

INSTANTIATE_TEST_SUITE_P(Extracts, RealData, ::testing::ValuesIn(kExtracts),
                         [](const auto& info) { return std::string(info.param.map); });

} // namespace
} // namespace gpsmap::test
