// The shared OpenStreetMap extracts compiled at build time, checked against the extract itself:
// queries over a grid, streets, intersections where streets meet, junctions no wider than a
// junction, the next junction ahead of walkers, Baltimore's house numbers. Skipped when the
// extracts are not there.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "Engine.h"
#include "formats/Geodesy.h"
#include "map_fixture.h"
#include "osm_read.h"

namespace gpsmap::test {
namespace {

namespace geo = gpslib::geo;

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
    // Ways that make intersections (the street role of docs/maps.md), and which of them use
    // each node.
    struct Way {
        std::string key, name; // key: the name, else the ref, else the way itself
        bool roundabout = false;
        std::vector<osmium::object_id_type> nodes;
        std::vector<geo::Point> points;
    };
    std::vector<Way> ways;
    std::map<osmium::object_id_type, std::vector<std::size_t>> waysAt;
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
        StreetWay(w, h, name, points);
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
    void StreetWay(const osmium::Way& w, const std::string& h, const std::string& name,
                   const std::vector<geo::Point>& points) {
        static const std::set<std::string> kRoads = {
            "motorway",    "trunk",         "primary",    "secondary", "tertiary", "unclassified",
            "residential", "living_street", "pedestrian", "road",      "busway",   "service",
            "track",       "footway",       "path",       "cycleway",  "steps",    "bridleway"};
        std::string tag = w.tags().get_value_by_key("path", ""),
                    cycle = w.tags().get_value_by_key("cycleway", "");
        bool pathLike =
            h == "footway" || h == "path" || h == "cycleway" || h == "steps" || h == "bridleway";
        if (kRoads.count(h) == 0 || std::string(w.tags().get_value_by_key("area", "")) == "yes" ||
            (pathLike && (tag == "crossing" || tag == "sidewalk" || cycle == "crossing" ||
                          cycle == "sidewalk")) ||
            (name.empty() && (pathLike || h == "service" || h == "track")) || points.size() < 2)
            return;
        Truth::Way way;
        std::string ref = w.tags().get_value_by_key("ref", "");
        way.key = !name.empty() ? name : !ref.empty() ? "ref " + ref : "#" + std::to_string(w.id());
        way.name = name;
        std::string junction = w.tags().get_value_by_key("junction", "");
        way.roundabout = junction == "roundabout" || junction == "circular";
        for (const osmium::NodeRef& r : w.nodes()) {
            way.nodes.push_back(r.ref());
            truth.waysAt[r.ref()].push_back(truth.ways.size());
        }
        way.points = points;
        truth.ways.push_back(std::move(way));
    }

    struct Use {
        geo::Point at;
        std::set<std::string> names;
        int ends = 0;
    };
    std::map<osmium::object_id_type, Use> uses;
};

Truth ReadTruth(const std::string& path) {
    TruthReader reader;
    gpslib::testing::ReadNodesAndWays(path, reader);
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
        std::string answer, error;
        map = NewEngine(folder.string(), &answer);
        ASSERT_EQ(answer, "OK");
        ASSERT_TRUE(data.Open((folder / (std::string(GetParam().map) + ".rmf")).string(), &error))
            << error;
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
    std::filesystem::path folder;
    gpslib::ComPtr<IGPSMap> map;
    MapData data; // the same map file, read directly
};

TEST_P(RealData, EveryQueryAnswersOverAGridOfPositions) {
    // Over the street network's bounds, from the map file.
    auto bound = [&](const char* key) { return std::atof(std::string(data.Meta(key)).c_str()); };
    const double minLat = bound("min_lat"), minLon = bound("min_lon");
    const double maxLat = bound("max_lat"), maxLon = bound("max_lon");
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

// The bounds of docs/maps.md: no two nodes of a junction more than 40 m apart; a roundabout's
// nodes within 30 m of its ring of at most 400 m (64 m from its middle).
TEST_P(RealData, NoJunctionIsWiderThanAJunction) {
    struct Junction {
        int kind = 0;
        geo::Point at;
        std::vector<geo::Point> nodes;
    };
    std::map<int, Junction> junctions;
    for (std::size_t n = 0; n < data.NodeCount(); ++n) {
        gpsmap::Node node = data.Node(static_cast<int>(n));
        if (node.intersection < 0) continue;
        IntersectionRow x = data.Intersection(node.intersection);
        Junction& j = junctions[node.intersection];
        j.nodes.push_back(node.at);
        j.kind = x.kind;
        j.at = x.at;
    }
    int wide = 0;
    for (const auto& [id, j] : junctions) {
        double span = 0, reach = 0;
        for (const geo::Point& a : j.nodes) {
            reach = std::max(reach, geo::Distance(a, j.at));
            for (const geo::Point& b : j.nodes)
                span = std::max(span, geo::Distance(a, b));
        }
        bool fits = j.kind == 2 ? reach <= 64.0 + 30.0 + 1.0 : span <= 40.0 + 0.5;
        if (!fits && ++wide <= 5)
            ADD_FAILURE() << GetParam().map << ": junction " << id << " at " << j.at.lat << ","
                          << j.at.lon << ", " << j.nodes.size() << " nodes over " << span << " m";
    }
    EXPECT_EQ(wide, 0) << GetParam().map << ": of " << junctions.size();
}

// Walkers on a street, heading along it: the engine's next intersection ahead is where the
// extract's way first meets another street ahead (within a junction's bounds of that node).
TEST_P(RealData, TheNextIntersectionAheadIsTheFirstJunctionOfTheStreet) {
    const Truth& truth = TheTruth();
    Engine engine;
    ASSERT_EQ(engine.Initialize(folder.string(), "", false), "OK");
    struct Found {
        int state = 0; // 0 the way ends first, 1 a junction, 2 unclear (the street forks)
        geo::Point at;
        double along = 0;
        bool ring = false;
    };
    // Along way w from its point k, one node at a time in `step` (+1 or -1).
    auto firstJunction = [&](std::size_t w, long k, long step, geo::Point from) {
        const Truth::Way& way = truth.ways[w];
        Found f;
        geo::Point last = from;
        auto size = static_cast<long>(way.nodes.size());
        for (long j = k; j >= 0 && j < size; j += step) {
            auto u = static_cast<std::size_t>(j);
            f.along += geo::Distance(last, way.points[u]);
            last = way.points[u];
            bool end = j == 0 || j == size - 1;
            // Another street meets it, or the street forks (a plain continuation of the way
            // under the same name is no junction).
            int sameName = 0;
            bool plain = end;
            for (std::size_t other : truth.waysAt.at(way.nodes[u])) {
                if (other == w) continue;
                const Truth::Way& o = truth.ways[other];
                f.ring = f.ring || o.roundabout;
                if (o.key != way.key) {
                    f.state = 1;
                    continue;
                }
                ++sameName;
                plain =
                    plain && (o.nodes.front() == way.nodes[u] || o.nodes.back() == way.nodes[u]);
            }
            if (f.state == 0 && sameName > 0 && !(plain && sameName == 1)) f.state = 2;
            if (std::count(way.nodes.begin(), way.nodes.end(), way.nodes[u]) > 1) f.state = 2;
            if (f.state != 0) {
                f.at = way.points[u];
                return f;
            }
        }
        return Found{};
    };
    int asked = 0, wrong = 0;
    std::size_t n = truth.ways.size();
    for (std::size_t i = 0; i < n * 8 && asked < 250; ++i) {
        std::size_t w = (i * 7919) % n;
        const Truth::Way& way = truth.ways[w];
        if (way.name.empty() || way.roundabout) continue;
        auto k = static_cast<long>((i * 31) % (way.points.size() - 1));
        geo::Point a = way.points[static_cast<std::size_t>(k)],
                   b = way.points[static_cast<std::size_t>(k) + 1];
        if (geo::Distance(a, b) < 10.0) continue;
        bool forward = i % 2 == 0;
        geo::Point at{(a.lat + b.lat) / 2, (a.lon + b.lon) / 2};
        Found ahead = forward ? firstJunction(w, k + 1, 1, at) : firstJunction(w, k, -1, at);
        Found behind = forward ? firstJunction(w, k, -1, at) : firstJunction(w, k + 1, 1, at);
        // Only a clear answer, for a walker not standing inside a junction.
        if (ahead.state != 1 || (behind.state == 1 && ahead.along + behind.along <= 45.0)) continue;
        ++asked;
        int heading = geo::WholeDegrees(forward ? geo::Bearing(a, b) : geo::Bearing(b, a));
        auto branches = engine.CrossStreets(at, way.name, heading, Naming{}, false);
        double off = branches.empty() ? 1e9 : geo::Distance(branches.front().at, ahead.at);
        if (off > (ahead.ring ? 100.0 : 40.0) && ++wrong <= 8)
            ADD_FAILURE() << GetParam().map << ": walker at " << at.lat << "," << at.lon
                          << " heading " << heading << " on " << way.name
                          << ": the junction ahead is at " << ahead.at.lat << "," << ahead.at.lon
                          << " (" << ahead.along << " m), the answer " << off << " m from it";
    }
    EXPECT_GE(asked, 200) << GetParam().map;
    EXPECT_EQ(wrong, 0) << GetParam().map << ": of " << asked;
}

// Andorra's streets where a walker heard of the wrong junction: two roundabouts of one name
// 650 m apart were one junction between them, and two T-junctions 24 m apart on the one-way
// Carrer Ciutat de Valls were one.
TEST_P(RealData, AndorrasJunctionsWhereTheirStreetsMeet) {
    if (std::string(GetParam().map) != "Andorra") GTEST_SKIP() << "Andorra's streets";
    Engine engine;
    ASSERT_EQ(engine.Initialize(folder.string(), "", false), "OK");
    struct Case {
        const char* what;
        geo::Point from, toward; // the walker 30 m from `from` toward `toward`, heading there
        const char* street;
        geo::Point expected; // a node of the junction ahead
        double within;
        const char* heard;    // a branch of it
        const char* notHeard; // a branch of another junction
    };
    const Case cases[] = {
        {"west to the roundabout of Baixada del Molí",
         {42.5045751, 1.5221315},
         {42.5036683, 1.5194956},
         "Avinguda de Tarragona",
         {42.5036683, 1.5194956},
         30.0,
         "Baixada del Molí",
         "Carrer Bonaventura Riberaygua"},
        {"east to the roundabout of Carrer Bonaventura Riberaygua",
         {42.5052045, 1.526583},
         {42.5052984, 1.5272963},
         "Avinguda de Tarragona",
         {42.5052984, 1.5272963},
         30.0,
         "Carrer Bonaventura Riberaygua",
         "Baixada del Molí"},
        {"west along Carrer Ciutat de Valls to Carrer Font del Pujal",
         {42.5065385, 1.5170339},
         {42.5063819, 1.5160217},
         "Carrer Ciutat de Valls",
         {42.5063819, 1.5160217},
         5.0,
         "Carrer Font del Pujal",
         "Carrer Roc de l'Aldias"},
    };
    for (const Case& c : cases) {
        double t = std::min(1.0, 30.0 / geo::Distance(c.from, c.toward));
        geo::Point at{c.from.lat + t * (c.toward.lat - c.from.lat),
                      c.from.lon + t * (c.toward.lon - c.from.lon)};
        int heading = geo::WholeDegrees(geo::Bearing(c.from, c.toward));
        auto branches = engine.CrossStreets(at, c.street, heading, Naming{}, false);
        ASSERT_FALSE(branches.empty()) << c.what;
        EXPECT_LE(geo::Distance(branches.front().at, c.expected), c.within) << c.what;
        std::string names;
        for (const Branch& b : branches)
            names += b.name + "; ";
        EXPECT_NE(names.find(c.heard), std::string::npos) << c.what << ": " << names;
        EXPECT_EQ(names.find(c.notHeard), std::string::npos) << c.what << ": " << names;
    }
}

// Each region's names are written out by its own language, decided from the extract by the
// compiler: streets of the extract that hold abbreviations, asked for on themselves.
TEST_P(RealData, NamesAreWrittenOutInTheirRegionsLanguage) {
    struct Expected {
        std::string_view map, language;
        std::vector<std::pair<std::string, std::string>> names; // written, spoken
    } const expected[] = {
        {"Monaco", "fr", {{"Avenue John F. Kennedy", "Avenue John F. Kennedy"}}},
        {"Andorra", "ca", {{"Av. de Joan Martí", "Avinguda de Joan Martí"}}},
        {"Liechtenstein",
         "de",
         {{"Dr. Albert Schädler-Strasse", "Doktor Albert Schädler-Strasse"},
          {"Franz-Josef-Oehri-Str.", "Franz-Josef-Oehri-Straße"},
          {"St. Martins-Ring", "Sankt Martins-Ring"}}},
        {"Baltimore", "en", {}},
    };
    for (const Expected& e : expected) {
        if (e.map != GetParam().map) continue;
        EXPECT_EQ(data.Meta("language"), e.language);
        gpslib::Bstr words("STREET EXPANDED");
        for (const auto& name : e.names) {
            const std::string& written = name.first;
            auto street = std::find_if(TheTruth().streets.begin(), TheTruth().streets.end(),
                                       [&](const Truth::Street& s) { return s.name == written; });
            ASSERT_NE(street, TheTruth().streets.end()) << written << " is not in the extract";
            const geo::Point mid{(street->a.lat + street->b.lat) / 2,
                                 (street->a.lon + street->b.lon) / 2};
            gpslib::Bstr spokenName, result;
            ASSERT_EQ(map->GetStreetAtLocation(mid.lat, mid.lon, -1, words.Get(), spokenName.Put(),
                                               result.Put()),
                      S_OK);
            EXPECT_EQ(spokenName.Utf8(), name.second);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Extracts, RealData, ::testing::ValuesIn(kExtracts), ExtractName);

} // namespace
} // namespace gpsmap::test
