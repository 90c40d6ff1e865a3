// gpsmap-build: what it refuses (with a message and a non-zero exit, leaving nothing behind), its
// options, and that the same input gives the same files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

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

} // namespace
} // namespace gpsmap::test
