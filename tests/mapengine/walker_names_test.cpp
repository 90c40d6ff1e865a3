// What ways without a name are spoken as (docs/walker-names.md), on drawn maps that hold the
// hard cases, on a map of the version before, and round Place de la République in the Paris
// extract, where every street leaving a junction is said once.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>

#include "drawn_map.h"
#include "osm_read.h"

namespace gpsmap::test {
namespace {

std::string Tags(const char* highway, const char* more = "") {
    return std::string("<tag k='highway' v='") + highway + "'/>" + more;
}

// The spoken name of every way of a compiled map, in the order drawn (rows follow the ids).
std::vector<std::string> SpokenNames(const std::string& file) {
    MapData map;
    std::string error;
    EXPECT_TRUE(map.Open(file, &error)) << error;
    std::vector<std::string> out;
    const KindWords words;
    for (std::size_t i = 0; i < map.WayCount(); ++i)
        out.push_back(WayDisplayName(map.Way(static_cast<int>(i)), false, false, map.Language(),
                                     "Unnamed road", "Unnamed path", &words));
    return out;
}

// Long Street runs east along y = 0, Side Way along y = 16 (x 0-200); Cross Street runs north
// at x = 200. The footways are drawn beside, between and across them.
TEST(WalkerNames, EachWayIsSpokenAsWhatItIs) {
    const std::string longSt = Tags("residential", "<tag k='name' v='Long Street'/>");
    const std::string sideWay = Tags("residential", "<tag k='name' v='Side Way'/>");
    const std::string crossSt = Tags("tertiary", "<tag k='name' v='Cross Street'/>");
    const std::string footway = Tags("footway");
    const std::string sidewalk = Tags("FOOTWAY", "<tag k='footway' v='Sidewalk;crossing'/>");
    const std::string crossing = Tags("footway", "<tag k='footway' v='crossing'/>");
    struct Case {
        std::string tags;
        std::vector<std::pair<double, double>> nodes;
        const char* spoken;
        const char* before; // on a map of format version 3
    } cases[] = {
        {longSt, {{0, 0}, {100, 0}, {150, 0}, {200, 0}}, "Long Street", "Long Street"},
        {sideWay, {{0, 16}, {100, 16}, {150, 16}, {200, 16}}, "Side Way", "Side Way"},
        {crossSt,
         {{200, -60}, {200, 0}, {200, 16}, {200, 40}, {200, 80}},
         "Cross Street",
         "Cross Street"},
        // Both sides of Long Street; the tagged one in capitals and a list.
        {footway, {{10, -6}, {90, -6}}, "Long Street sidewalk", "Unnamed path"},
        {sidewalk, {{10, -10}, {90, -10}}, "Long Street sidewalk", "Unnamed path"},
        // Midway, as long beside each: the nearer street.
        {footway, {{20, 7}, {80, 7}}, "Long Street sidewalk", "Unnamed path"},
        // Beside Long Street for 90 m, then Cross Street for 40 m: the longer.
        {footway, {{100, -6}, {194, -6}, {194, -46}}, "Long Street sidewalk", "Unnamed path"},
        // Beside Cross Street only a third of its length: a footway of its own.
        {footway, {{206, 30}, {206, 60}, {260, 60}, {260, 120}}, "Footway", "Unnamed path"},
        // Across both streets at x = 150: the one nearest its middle.
        {crossing,
         {{150, -6}, {150, 0}, {150, 16}, {150, 20}},
         "Crossing of Long Street",
         "Unnamed path"},
        // An untagged footway over Cross Street at a crossing node.
        {footway, {{190, 40}, {200, 40}, {210, 40}}, "Crossing of Cross Street", "Unnamed path"},
        {Tags("service", "<tag k='service' v='DRIVEWAY'/>"),
         {{50, 16}, {50, 40}},
         "Driveway",
         "Unnamed road"},
        {Tags("steps"), {{260, 120}, {300, 120}}, "Steps", "Unnamed path"},
        {Tags("service"), {{120, 16}, {120, 50}}, "Service road", "Unnamed road"},
        {Tags("residential"), {{0, 16}, {0, 60}}, "Side street", "Unnamed road"},
        {Tags("road"), {{0, 60}, {0, 90}}, "Unnamed road", "Unnamed road"},
        {Tags("footway", "<tag k='ref' v='GR 5'/>"), {{300, 120}, {340, 120}}, "GR 5", "GR 5"},
        {Tags("crossing"), {{400, 0}, {410, 0}}, "Crossing", "Unnamed road"},
    };
    std::vector<DrawnWay> ways;
    for (const Case& c : cases)
        ways.push_back({c.tags.c_str(), c.nodes});
    DrawnMap map(ways, kOrigin, {{{200, 40}, "<tag k='highway' v='crossing'/>"}});
    ASSERT_TRUE(map.compiled);
    const std::string file = map.dir.File("Drawn.rmf");
    const std::vector<std::string> spoken = SpokenNames(file);
    ASSERT_EQ(spoken.size(), std::size(cases));
    for (std::size_t i = 0; i < spoken.size(); ++i)
        EXPECT_EQ(spoken[i], cases[i].spoken) << "way " << i + 1;

    // The same map as version 3 wrote it (no way names section) still loads and is named as
    // before.
    std::string bytes = gpslib::test::ReadWholeFile(file);
    format::MapFileHeader header;
    std::memcpy(&header, bytes.data(), sizeof header);
    header.version = 3;
    header.sectionCount = format::kSectionCountVersion3;
    std::memcpy(bytes.data(), &header, sizeof header);
    const std::string old = map.dir.File("Old.rmf");
    std::ofstream(old, std::ios::binary) << bytes;
    const std::vector<std::string> before = SpokenNames(old);
    ASSERT_EQ(before.size(), std::size(cases));
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(before[i], cases[i].before) << "way " << i + 1;
}

// Round Place de la République, Boulevard Voltaire leaves with its cycle tracks drawn beside it
// under its name: at every junction of named streets within 200 m of the square, no name is said
// twice for one direction.
TEST(WalkerNames, PlaceDeLaRepubliqueSaysEachStreetOnce) {
    const CompiledExtract* paris = Paris();
    if (paris == nullptr) GTEST_SKIP() << "no Paris extract";
    ASSERT_TRUE(paris->loaded);
    // The extract's names are French (its addresses say so; it holds no whole boundary).
    EXPECT_EQ(paris->map.Language(), NameLanguage::kFrench);

    // Nodes where two named highways meet, from the extract.
    struct Reader : osmium::handler::Handler {
        void way(const osmium::Way& w) {
            const char* name = w.tags()["name"];
            if (w.tags()["highway"] == nullptr || name == nullptr) return;
            for (const osmium::NodeRef& r : w.nodes())
                if (r.location().valid()) {
                    names[r.ref()].insert(name);
                    at[r.ref()] = {r.location().lat(), r.location().lon()};
                }
        }
        std::map<osmium::object_id_type, std::set<std::string>> names;
        std::map<osmium::object_id_type, geo::Point> at;
    } reader;
    gpslib::testing::ReadNodesAndWays(paris->osm, reader);
    const geo::Point square{48.8674, 2.3637};
    int asked = 0, voltaire = 0;
    for (const auto& [id, names] : reader.names) {
        const geo::Point p = reader.at[id];
        if (names.size() < 2 || geo::Distance(p, square) > 200.0) continue;
        ++asked;
        auto branches = paris->engine.CrossStreets(p, *names.begin(), -1, Naming{}, true);
        for (std::size_t i = 0; i < branches.size(); ++i) {
            voltaire += branches[i].name == "Boulevard Voltaire" ? 1 : 0;
            for (std::size_t j = i + 1; j < branches.size(); ++j)
                EXPECT_FALSE(branches[i].name == branches[j].name &&
                             geo::AngleBetween(branches[i].bearing, branches[j].bearing) < 35.0)
                    << branches[i].name << " twice, " << branches[i].bearing << " and "
                    << branches[j].bearing << ", at " << p.lat << "," << p.lon;
        }
    }
    EXPECT_GE(asked, 10);
    EXPECT_GT(voltaire, 0);
}

} // namespace
} // namespace gpsmap::test
