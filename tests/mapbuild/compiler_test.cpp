// gpsmap-build: what it refuses (with a message and a non-zero exit, leaving nothing behind), its
// options, and that the same input gives the same files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Compiler.h"
#include "formats/Sqlite.h"
#include "map_fixture.h"
#include "temp_dir.h"

namespace gpsmap::test {
namespace {

const std::string kSample = std::string(GPSLIB_SOURCE_DIR) + "/data/sample/sampleton.osm";

TEST(MapCompiler, RefusesBadInputAndLeavesNothingBehind) {
    gpslib::test::TempDir dir;
    std::filesystem::path out = dir.path();
    std::string osm = Slurp(kSample);
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
    EXPECT_EQ(WEXITSTATUS(std::system((tool + " --bogus 2>/dev/null").c_str())), 2);
}

TEST(MapCompiler, OptionsAndTheSameOutputForTheSameInput) {
    gpslib::test::TempDir a, b;
    std::string tool = GPSMAP_BUILD_TOOL;
    for (const auto* dir : {&a, &b})
        ASSERT_EQ(std::system((tool + " -q --name 'Sample Town' --level state -o " + dir->path() +
                               " " + kSample)
                                  .c_str()),
                  0);
    for (const char* file : {"Sample_Town.rmf", "Sample_Town.pdb", "Sample_Town.cpd"}) {
        std::string first = Slurp(std::filesystem::path(a.path()) / file);
        EXPECT_FALSE(first.empty()) << file;
        EXPECT_EQ(first, Slurp(std::filesystem::path(b.path()) / file)) << file;
    }
    std::string answer;
    auto map = NewEngine(a.path(), &answer);
    ASSERT_EQ(answer, "OK");
    SHORT count = 0;
    map->GetLoadedStateMaps(&count);
    EXPECT_EQ(count, 1);
    map->GetLoadedRegionalMaps(&count);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(build::MapNameFor("/x/new york city.osm.pbf"), "New_York_City");
    EXPECT_EQ(build::MapNameFor("liechtenstein.osm.pbf"), "Liechtenstein");
}

// Blanks a mapper typed around a value are not part of it: one postal code, one street, and the
// house numbers of both ways under it.
TEST(MapCompiler, ValuesWithoutTheBlanksAroundThem) {
    gpslib::test::TempDir dir;
    std::ofstream(std::filesystem::path(dir.path()) / "blanks.osm") << R"(<?xml version='1.0'?>
<osm version='0.6'>
  <node id='1' lat='47.0' lon='9.0'/>
  <node id='2' lat='47.0' lon='9.001'/>
  <node id='3' lat='47.0' lon='9.002'/>
  <node id='4' lat='47.0001' lon='9.0005'>
    <tag k='addr:housenumber' v=' 1'/><tag k='addr:street' v='Elm Street '/>
    <tag k='addr:postcode' v='9493 '/><tag k='addr:city' v=' Vaduz'/>
  </node>
  <node id='5' lat='47.0001' lon='9.0015'>
    <tag k='addr:housenumber' v='3'/><tag k='addr:street' v='Elm Street'/>
    <tag k='addr:postcode' v='9493'/><tag k='addr:city' v='Vaduz'/>
  </node>
  <way id='10'><nd ref='1'/><nd ref='2'/>
    <tag k='highway' v='residential'/><tag k='name' v='Elm Street '/></way>
  <way id='11'><nd ref='2'/><nd ref='3'/>
    <tag k='highway' v='residential'/><tag k='name' v=' Elm Street'/></way>
</osm>
)";
    build::Options o;
    o.input = dir.File("blanks.osm");
    o.outputDirectory = dir.path();
    o.name = "Blanks";
    o.level = "regional";
    std::string error;
    ASSERT_TRUE(build::Compile(o, nullptr, nullptr, &error)) << error;
    auto db = gpslib::sqlite::Database::Open(dir.File("Blanks.cpd"),
                                             gpslib::sqlite::Database::Mode::ReadOnly, &error);
    ASSERT_TRUE(db) << error;
    struct Query {
        const char* sql;
        const char* answer;
    } queries[] = {
        {"SELECT group_concat(code, '|') FROM postcodes", "9493"},
        {"SELECT group_concat(name, '|') FROM cities", "Vaduz"},
        {"SELECT group_concat(name, '|') FROM streets", "Elm Street"},
        {"SELECT group_concat(number, '|') FROM (SELECT number FROM addresses ORDER BY value)",
         "1|3"},
    };
    for (const Query& q : queries) {
        gpslib::sqlite::Statement* s = db->Prepare(q.sql);
        ASSERT_TRUE(s != nullptr && s->Step()) << q.sql;
        EXPECT_EQ(s->Text(0), q.answer) << q.sql;
    }
}

// House numbers whose street is written otherwise than the way's name still belong to it; a
// street named exactly as written wins over one written otherwise, and a street of another name
// takes nothing.
TEST(MapCompiler, HouseNumbersOfAStreetWrittenOtherwise) {
    gpslib::test::TempDir dir;
    std::ostringstream osm;
    osm << "<?xml version='1.0'?>\n<osm version='0.6'>\n";
    // Four parallel streets 300 m apart, west to east; the last two 60 m apart.
    const char* names[] = {"Zollstrasse", "Benderer Strasse", "\xC3\x84ulestrasse", "Aeulestrasse",
                           "Elm Street"};
    const double lats[] = {47.0, 47.003, 47.006, 47.0065, 47.009};
    int id = 1;
    for (int i = 0; i < 5; ++i) {
        osm << "<node id='" << id << "' lat='" << lats[i] << "' lon='9.0'/>"
            << "<node id='" << id + 1 << "' lat='" << lats[i] << "' lon='9.002'/>"
            << "<way id='" << 100 + i << "'><nd ref='" << id << "'/><nd ref='" << id + 1
            << "'/><tag k='highway' v='residential'/><tag k='name' v='" << names[i]
            << "'/></way>\n";
        id += 2;
    }
    struct House {
        const char* street; // as written on the house
        double lat;
        const char* tiedTo; // the street it belongs to; "" none
    } houses[] = {
        {"Zollstr.", 47.0002, "Zollstrasse"},
        {"Bendererstrasse", 47.0032, "Benderer Strasse"},
        {"BENDERER-STRASSE", 47.0028, "Benderer Strasse"},
        {"Aeulestrasse", 47.0061, "Aeulestrasse"}, // nearer the other spelling
        {"\xC3\x84ulestrasse", 47.0064, "\xC3\x84ulestrasse"},
        {"Elm St", 47.0092, ""}, // an abbreviation not known here
        {"Oak Street", 47.0092, ""},
    };
    int number = 0;
    for (const House& h : houses) {
        ++number;
        osm << "<node id='" << 1000 + number << "' lat='" << h.lat << "' lon='9.001'>"
            << "<tag k='addr:housenumber' v='" << number << "'/><tag k='addr:street' v='"
            << h.street << "'/></node>\n";
    }
    osm << "</osm>\n";
    std::ofstream(dir.File("written.osm")) << osm.str();
    build::Options o;
    o.input = dir.File("written.osm");
    o.outputDirectory = dir.path();
    o.name = "Written";
    o.level = "regional";
    std::string error;
    ASSERT_TRUE(build::Compile(o, nullptr, nullptr, &error)) << error;
    auto db = gpslib::sqlite::Database::Open(dir.File("Written.cpd"),
                                             gpslib::sqlite::Database::Mode::ReadOnly, &error);
    ASSERT_TRUE(db) << error;
    number = 1;
    for (const House& h : houses) {
        gpslib::sqlite::Statement* s =
            db->Prepare("SELECT s.name FROM addresses a JOIN streets s ON s.key = a.street_key "
                        "WHERE a.number = ?1");
        ASSERT_NE(s, nullptr);
        s->BindText(1, std::to_string(number++));
        EXPECT_EQ(s->Step() ? s->Text(0) : std::string(), h.tiedTo) << h.street;
    }
}

// An extract without city boundaries, postal areas or places: a street without house numbers is
// listed under the city and postal code its neighbours' house numbers name, when they are near.
TEST(MapCompiler, StreetsWithoutACityAreSearchedUnderTheirNeighbours) {
    gpslib::test::TempDir dir;
    std::ofstream(dir.File("town.osm")) << R"(<?xml version='1.0'?>
<osm version='0.6'>
  <node id='1' lat='39.0' lon='-76.0'/><node id='2' lat='39.0' lon='-75.998'/>
  <node id='3' lat='39.003' lon='-76.0'/><node id='4' lat='39.003' lon='-75.998'/>
  <node id='5' lat='39.05' lon='-76.0'/><node id='6' lat='39.05' lon='-75.998'/>
  <node id='7' lat='39.0001' lon='-75.999'>
    <tag k='addr:housenumber' v='1'/><tag k='addr:street' v='Fleet Street'/>
    <tag k='addr:city' v='Baltimore'/><tag k='addr:postcode' v='21231'/></node>
  <way id='10'><nd ref='1'/><nd ref='2'/>
    <tag k='highway' v='residential'/><tag k='name' v='Fleet Street'/></way>
  <way id='11'><nd ref='3'/><nd ref='4'/>
    <tag k='highway' v='residential'/><tag k='name' v='Aliceanna Street'/></way>
  <way id='12'><nd ref='5'/><nd ref='6'/>
    <tag k='highway' v='residential'/><tag k='name' v='Far Road'/></way>
</osm>
)";
    build::Options o;
    o.input = dir.File("town.osm");
    o.outputDirectory = dir.path();
    o.name = "Town";
    o.level = "regional";
    std::string error;
    ASSERT_TRUE(build::Compile(o, nullptr, nullptr, &error)) << error;
    auto db = gpslib::sqlite::Database::Open(dir.File("Town.cpd"),
                                             gpslib::sqlite::Database::Mode::ReadOnly, &error);
    ASSERT_TRUE(db) << error;
    struct Case {
        const char* street;
        const char* city;
    } cases[] = {{"Fleet Street", "Baltimore 21231"},
                 {"Aliceanna Street", "Baltimore 21231"},
                 {"Far Road", " "}};
    for (const Case& c : cases) {
        gpslib::sqlite::Statement* s = db->Prepare(
            "SELECT group_concat(p.city || ' ' || p.postcode, '|') FROM street_places p "
            "JOIN streets s "
            "ON s.key = p.street_key WHERE s.name = ?1");
        ASSERT_NE(s, nullptr);
        s->BindText(1, c.street);
        ASSERT_TRUE(s->Step());
        EXPECT_EQ(s->Text(0), c.city) << c.street;
    }
}

} // namespace
} // namespace gpsmap::test
