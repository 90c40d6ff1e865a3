// gpsmap-build: what it refuses (with a message and a non-zero exit, leaving nothing behind), its
// options, and that the same input gives the same files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "Compiler.h"
#include "formats/Sqlite.h"
#include "map_fixture.h"
#include "temp_dir.h"
#include "value.h"

namespace gpsmap::test {
namespace {

const std::string kSample = std::string(GPSLIB_SOURCE_DIR) + "/data/sample/sampleton.osm";

TEST(MapCompiler, RefusesBadInputAndLeavesNothingBehind) {
    gpslib::test::TempDir dir;
    std::filesystem::path out = dir.path();
    std::string osm = ReadWholeFile(kSample);
    std::ofstream(out / "truncated.osm") << osm.substr(0, osm.size() / 2);
    std::ofstream(out / "foreign.osm") << "{\"type\": \"FeatureCollection\"}\n";
    std::ofstream(out / "empty.osm.pbf") << "";
    std::ofstream(out / "garbage.osm.pbf") << std::string(4096, '\x7f');
    std::ofstream(out / "nostreets.osm")
        << "<?xml version='1.0'?><osm version='0.6'><node id='1' lat='1' lon='1'/></osm>\n";
    struct Case {
        std::string input;
        std::string level;
        const char* message;
    };
    const Case cases[] = {
        {(out / "missing.osm").string(), "regional", "no such file"},
        {(out / "truncated.osm").string(), "regional", "not a readable OSM file"},
        {(out / "foreign.osm").string(), "regional", "not a readable OSM file"},
        {(out / "empty.osm.pbf").string(), "regional", "not a readable OSM file"},
        {(out / "garbage.osm.pbf").string(), "regional", "not a readable OSM file"},
        {(out / "nostreets.osm").string(), "regional", "no streets"},
        {kSample, "galactic", "unknown level"},
    };
    for (const Case& c : cases) {
        build::Options o;
        o.input = c.input;
        o.outputDirectory = out.string();
        o.name = "Out";
        o.level = c.level;
        std::string error;
        EXPECT_FALSE(build::Compile(o, nullptr, nullptr, &error)) << c.input;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.input << ": " << error;
        EXPECT_FALSE(std::filesystem::exists(out / "Out.rmf")) << c.input;
        EXPECT_FALSE(std::filesystem::exists(out / "Out.rmf.tmp")) << c.input;
    }
    // The program: a message on standard error and exit code 1 (2 for a bad command line).
    std::string tool = GPSMAP_BUILD_TOOL;
    EXPECT_EQ(WEXITSTATUS(std::system((tool + " -q -o " + out.string() + " " +
                                       (out / "truncated.osm").string() + " 2>/dev/null")
                                          .c_str())),
              1);
    for (const std::string bad : {"--bogus", "--node-index=ram", "--node-index"})
        EXPECT_EQ(
            WEXITSTATUS(std::system((tool + " " + bad + " " + kSample + " 2>/dev/null").c_str())),
            2)
            << bad;
}

// Where the node index lives when the command line leaves it to the compiler: on disk from about
// four million nodes, judged by the file's size and format.
TEST(MapCompiler, NodeIndexOnDiskForLargeExtracts) {
    constexpr std::uint64_t kMiB = 1024 * 1024;
    const std::tuple<const char*, std::uint64_t, bool> cases[] = {
        {"country.osm.pbf", 100 * kMiB, true}, {"region.osm.pbf", 20 * kMiB, false},
        {"country.osm.gz", 200 * kMiB, true},  {"region.osm.gz", 50 * kMiB, false},
        {"country.osm.bz2", 150 * kMiB, true}, {"country.osm", 2000 * kMiB, true},
        {"region.osm", 500 * kMiB, false},     {"/data/x.pbf/region.osm", 100 * kMiB, false}};
    for (const auto& [path, bytes, disk] : cases)
        EXPECT_EQ(build::GuessNodeCount(path, bytes) > build::kDiskNodeIndexAbove, disk) << path;
}

TEST(MapCompiler, OptionsAndTheSameOutputForTheSameInput) {
    gpslib::test::TempDir a, b;
    std::string tool = GPSMAP_BUILD_TOOL;
    // Either node index, either way of giving the option: the same files.
    const std::pair<const gpslib::test::TempDir*, const char*> runs[] = {
        {&a, "--node-index disk"}, {&b, "--node-index=memory"}};
    for (const auto& [dir, index] : runs)
        ASSERT_EQ(std::system((tool + " -q --name 'Sample Town' --level state " + index + " -o " +
                               dir->path() + " " + kSample)
                                  .c_str()),
                  0);
    for (const char* file : {"Sample_Town.rmf", "Sample_Town.pdb", "Sample_Town.cpd"}) {
        std::string first = ReadWholeFile(std::filesystem::path(a.path()) / file);
        EXPECT_FALSE(first.empty()) << file;
        EXPECT_EQ(first, ReadWholeFile(std::filesystem::path(b.path()) / file)) << file;
    }
    std::string answer;
    auto map = NewEngine(a.path(), &answer);
    ASSERT_EQ(answer, "OK");
    EXPECT_EQ(gpslib::test::Value(map.Get(), &IGPSMap::GetLoadedStateMaps), 1);
    EXPECT_EQ(gpslib::test::Value(map.Get(), &IGPSMap::GetLoadedRegionalMaps), 0);
    EXPECT_EQ(build::MapNameFor("/x/new york city.osm.pbf"), "New_York_City");
    EXPECT_EQ(build::MapNameFor("liechtenstein.osm.pbf"), "Liechtenstein");
}

// Compiles `osm` in `dir` as map `name`; then each query of its address file answers as given.
void ExpectAddressFile(const gpslib::test::TempDir& dir, const std::string& osm,
                       const std::string& name,
                       const std::vector<std::pair<std::string, std::string>>& queries) {
    std::ofstream(dir.File("in.osm")) << osm;
    build::Options o;
    o.input = dir.File("in.osm");
    o.outputDirectory = dir.path();
    o.name = name;
    std::string error;
    ASSERT_TRUE(build::Compile(o, nullptr, nullptr, &error)) << error;
    auto db = gpslib::sqlite::Database::Open(dir.File(build::MapNameFor(name) + ".cpd"),
                                             gpslib::sqlite::Database::Mode::ReadOnly, &error);
    ASSERT_TRUE(db) << error;
    for (const auto& [sql, answer] : queries) {
        gpslib::sqlite::Statement* s = db->Prepare(sql);
        ASSERT_NE(s, nullptr) << sql;
        EXPECT_EQ(s->Step() ? s->Text(0) : std::string(), answer) << sql;
    }
}

// What the address search gets from messy tags: blanks around values dropped; house numbers whose
// street is written otherwise than the way's name tied to it (a name written exactly as on the
// house wins, an unknown abbreviation or street ties to nothing); a street without a city or
// postal code of its own listed under those of the house numbers within 1 km, and one with no city
// anywhere near under the map's name.
TEST(MapCompiler, AddressesFromMessyTags) {
    gpslib::test::TempDir dir;
    std::ostringstream osm;
    osm << "<?xml version='1.0'?>\n<osm version='0.6'>\n";
    int node = 1;
    auto way = [&](double lat, const char* name) {
        osm << "<node id='" << node << "' lat='" << lat << "' lon='9.0'/><node id='" << node + 1
            << "' lat='" << lat << "' lon='9.002'/><way id='" << node << "'><nd ref='" << node
            << "'/><nd ref='" << node + 1 << "'/><tag k='highway' v='residential'/>"
            << "<tag k='name' v='" << name << "'/></way>\n";
        node += 2;
    };
    auto house = [&](double lat, const char* number, const char* street, const char* more = "") {
        osm << "<node id='" << node++ << "' lat='" << lat << "' lon='9.001'><tag "
            << "k='addr:housenumber' v='" << number << "'/><tag k='addr:street' v='" << street
            << "'/>" << more << "</node>\n";
    };
    way(47.0, "Elm Street "), way(47.0, " Elm Street"), way(47.003, "Zollstrasse");
    way(47.006, "Benderer Strasse"), way(47.009, "\xC3\x84ulestrasse");
    way(47.0095, "Aeulestrasse"), way(47.012, "Quiet Lane"), way(47.06, "Far Road");
    const char* vaduz = "<tag k='addr:postcode' v='9493 '/><tag k='addr:city' v=' Vaduz'/>";
    house(47.0001, " 1", "Elm Street ", vaduz), house(47.0032, "5", "Zollstr.");
    house(47.0062, "7", "Bendererstrasse"), house(47.0058, "9", "BENDERER-STRASSE");
    house(47.0091, "11", "Aeulestrasse"), house(47.0092, "13", "\xC3\x84ulestrasse", vaduz);
    house(47.0001, "15", "Elm St"), house(47.0092, "17", "Oak Street");
    osm << "</osm>\n";
    const std::string streetOf = "SELECT s.name FROM addresses a JOIN streets s ON s.key = "
                                 "a.street_key WHERE a.number = ",
                      placesOf = "SELECT group_concat(p.city || ' ' || p.postcode, '|') FROM "
                                 "street_places p JOIN streets s ON s.key = p.street_key WHERE "
                                 "s.name = ";
    ExpectAddressFile(
        dir, osm.str(), "Messy",
        {
            {"SELECT group_concat(code, '|') FROM postcodes", "9493"},
            {"SELECT group_concat(name, '|') FROM cities", "Messy|Vaduz"},
            {"SELECT count(*) FROM streets WHERE name = 'Elm Street'", "1"},
            {streetOf + "'1'", "Elm Street"},
            {streetOf + "'5'", "Zollstrasse"},
            {streetOf + "'7'", "Benderer Strasse"},
            {streetOf + "'9'", "Benderer Strasse"},
            {streetOf + "'11'", "Aeulestrasse"}, // as written, though the other is nearer
            {streetOf + "'13'", "\xC3\x84ulestrasse"},
            {streetOf + "'15'", ""},
            {streetOf + "'17'", ""},
            {placesOf + "'Quiet Lane'", "Vaduz 9493"},
            {placesOf + "'Far Road'", "Messy "},
        });
}

// An extract cut by a box may hold no place, no boundary and no house naming a city or postal
// code. Its streets are listed under the map's name (as the map list names it), so that the
// city search (city, street, house number) reaches every one of them; there is no postal code
// to list.
TEST(MapCompiler, StreetsWithoutACityAreListedUnderTheMapsName) {
    gpslib::test::TempDir dir;
    const std::string osm = R"(<?xml version='1.0'?><osm version='0.6'>
<node id='1' lat='47.0' lon='9.0'/><node id='2' lat='47.0' lon='9.002'/>
<node id='3' lat='47.002' lon='9.0'/><node id='4' lat='47.002' lon='9.002'/>
<node id='5' lat='47.0001' lon='9.0005'><tag k='addr:housenumber' v='1'/>
  <tag k='addr:street' v='Elm Street'/></node>
<node id='6' lat='47.0001' lon='9.0015'><tag k='addr:housenumber' v='3'/>
  <tag k='addr:street' v='Elm Street'/></node>
<way id='1'><nd ref='1'/><nd ref='2'/><tag k='highway' v='residential'/>
  <tag k='name' v='Elm Street'/></way>
<way id='2'><nd ref='3'/><nd ref='4'/><tag k='highway' v='residential'/>
  <tag k='name' v='Birch Lane'/></way>
<way id='3'><nd ref='2'/><nd ref='4'/><tag k='highway' v='service'/></way></osm>
)";
    // As the address database asks: the map's cities, the streets of one, their house numbers.
    const std::string streetsOfCity =
        "SELECT group_concat(name, '|') FROM (SELECT DISTINCT s.key, s.name FROM street_places p "
        "JOIN streets s ON s.key = p.street_key WHERE p.city = 'Cut_Out' ORDER BY s.name)";
    ExpectAddressFile(
        dir, osm, "Cut Out",
        {
            {"SELECT value FROM meta WHERE key = 'map'", "Cut_Out"},
            {"SELECT group_concat(name, '|') FROM cities", "Cut_Out"},
            {"SELECT count(*) FROM postcodes", "0"},
            {streetsOfCity, "Birch Lane|Elm Street"},
            {"SELECT group_concat(a.number, '|') FROM addresses a JOIN streets s ON s.key = "
             "a.street_key WHERE s.name = 'Elm Street'",
             "1|3"},
        });
}

} // namespace
} // namespace gpsmap::test
