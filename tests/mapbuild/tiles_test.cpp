// The compiler on a region made of copies of one real extract: each copy must come out whole
// and alike (no lost or merged streets, POIs or house numbers at any size), the spatial and word
// indexes of the POI file must hold every POI and still be kept current by the file's own
// triggers, and the node index on disk must give the very bytes the one in memory gives.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "Compiler.h"
#include "formats/Sqlite.h"
#include "map_fixture.h"
#include "osm_tiles.h"
#include "shared_data.h"
#include "temp_dir.h"

namespace gpsmap::test {
namespace {

const std::string kMonaco = std::string(GPSLIB_OSM_DATA_DIR) + "/monaco.osm.gz";

struct Compiled {
    build::Counts counts;
    std::int64_t pois = 0, poiIndex = 0, poiWords = 0, streets = 0, addresses = 0;
    gpslib::testing::TiledExtract tiles;
};

std::int64_t Number(gpslib::sqlite::Database* db, const std::string& sql) {
    gpslib::sqlite::Statement* s = db->Prepare(sql);
    EXPECT_NE(s, nullptr) << sql << ": " << db->LastError();
    return s != nullptr && s->Step() ? s->Int(0) : -1;
}

std::unique_ptr<gpslib::sqlite::Database> Open(const std::string& path) {
    std::string error;
    auto db =
        gpslib::sqlite::Database::Open(path, gpslib::sqlite::Database::Mode::ReadWrite, &error);
    EXPECT_TRUE(db) << error;
    return db;
}

// Tiles Monaco `tiles` times into dir/extract.osm.pbf (the same name each time, which the files
// record) and compiles it into dir/FOLDER/.
Compiled TileAndCompile(const gpslib::test::TempDir& dir, const std::string& name, int tiles,
                        build::NodeIndex index) {
    Compiled out;
    std::string error, extract = dir.File("extract.osm.pbf"), folder = dir.File(name);
    EXPECT_TRUE(gpslib::testing::WriteTiledExtract(kMonaco, tiles, extract, &out.tiles, &error))
        << error;
    std::filesystem::create_directories(folder);
    build::Options o;
    o.input = extract;
    o.outputDirectory = folder;
    o.name = "Tiles";
    o.nodeIndex = index;
    EXPECT_TRUE(build::Compile(o, nullptr, &out.counts, &error)) << error;
    auto pdb = Open(folder + "/Tiles.pdb"), cpd = Open(folder + "/Tiles.cpd");
    if (pdb == nullptr || cpd == nullptr) return out;
    out.pois = Number(pdb.get(), "SELECT count(*) FROM pois");
    out.poiIndex = Number(pdb.get(), "SELECT count(*) FROM poi_index");
    out.poiWords = Number(pdb.get(), "SELECT count(*) FROM poi_text WHERE poi_text MATCH 'monaco'");
    out.streets = Number(cpd.get(), "SELECT count(*) FROM streets");
    out.addresses = Number(cpd.get(), "SELECT count(*) FROM addresses");
    return out;
}

TEST(TiledExtract, EveryTileCompilesAlikeWithEitherNodeIndex) {
    GPSLIB_SKIP_WITHOUT_SHARED_DATA(kMonaco);
    gpslib::test::TempDir dir;
    const Compiled one = TileAndCompile(dir, "one", 1, build::NodeIndex::Memory);
    ASSERT_GT(one.counts.pois, 0u);
    ASSERT_GT(one.addresses, 0);
    ASSERT_GT(one.poiWords, 0);
    EXPECT_EQ(one.pois, one.poiIndex);
    struct Case {
        const char* name;
        build::NodeIndex index;
    };
    const Case cases[] = {{"memory", build::NodeIndex::Memory}, {"disk", build::NodeIndex::Disk}};
    Compiled three;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        three = TileAndCompile(dir, c.name, 3, c.index);
        EXPECT_EQ(three.tiles.nodes, 3 * one.tiles.nodes);
        const std::pair<std::size_t, std::size_t> counts[] = {
            {three.counts.streets, one.counts.streets},
            {three.counts.ways, one.counts.ways},
            {three.counts.edges, one.counts.edges},
            {three.counts.intersections, one.counts.intersections},
            {three.counts.addresses, one.counts.addresses},
            {three.counts.areas, one.counts.areas},
            {three.counts.pois, one.counts.pois}};
        for (const auto& [all, single] : counts)
            EXPECT_EQ(all, 3 * single);
        const std::pair<std::int64_t, std::int64_t> rows[] = {{three.pois, one.pois},
                                                              {three.poiIndex, one.poiIndex},
                                                              {three.poiWords, one.poiWords},
                                                              {three.streets, one.streets},
                                                              {three.addresses, one.addresses}};
        for (const auto& [all, single] : rows)
            EXPECT_EQ(all, 3 * single);
    }
    for (const char* ext : {".rmf", ".pdb", ".cpd"})
        EXPECT_TRUE(ReadWholeFile(dir.File(std::string("memory/Tiles") + ext)) ==
                    ReadWholeFile(dir.File(std::string("disk/Tiles") + ext)))
            << ext << " differs";

    // Each tile's POIs and streets are where the first tile's are, shifted by its place in the
    // grid.
    auto single = Open(dir.File("one/Tiles.pdb")), pdb = Open(dir.File("disk/Tiles.pdb"));
    ASSERT_TRUE(single && pdb);
    gpslib::sqlite::Statement* box =
        single->Prepare("SELECT min(lat), max(lat), min(lon), max(lon) FROM pois");
    ASSERT_TRUE(box != nullptr && box->Step());
    auto engine = NewEngine(dir.File("disk"));
    const std::pair<double, double> places[] = {
        {43.7384, 7.4246}, {43.7311, 7.4197}, {43.7396, 7.4275}, {43.7280, 7.4150}};
    for (int t = 0; t < 3; ++t) {
        const double north = (t / three.tiles.columns) * three.tiles.northDegrees,
                     east = (t % three.tiles.columns) * three.tiles.eastDegrees;
        const std::string sql = "SELECT count(*) FROM poi_index WHERE min_lat >= " +
                                std::to_string(box->Double(0) + north - 1e-3) +
                                " AND max_lat <= " + std::to_string(box->Double(1) + north + 1e-3) +
                                " AND min_lon >= " + std::to_string(box->Double(2) + east - 1e-3) +
                                " AND max_lon <= " + std::to_string(box->Double(3) + east + 1e-3);
        EXPECT_EQ(Number(pdb.get(), sql), one.pois) << "tile " << t;
        for (const auto& [lat, lon] : places) {
            const std::string first = StreetAt(engine.Get(), lat, lon, 0);
            EXPECT_GT(first.size(), std::string("RESULT:").size()) << lat << "," << lon;
            EXPECT_EQ(first, StreetAt(engine.Get(), lat + north, lon + east, 0))
                << "tile " << t << " at " << lat << "," << lon;
        }
    }
    // The file keeps its triggers: a POI added later is indexed like the compiled ones.
    ASSERT_TRUE(pdb->Exec("INSERT INTO pois SELECT key + 1000000, 'Added Kiosk', category, "
                          "subcategory, lat, lon, street, house_number, city, postcode, state, "
                          "country, phone, website, opening_hours, wheelchair, description, "
                          "author, private, media, media_name, date, third_party_id, tags, fax, "
                          "email, user_poi, modify_rmf, lat_offset, lon_offset FROM pois LIMIT 1"))
        << pdb->LastError();
    EXPECT_EQ(Number(pdb.get(), "SELECT count(*) FROM poi_index"), three.poiIndex + 1);
    EXPECT_EQ(Number(pdb.get(), "SELECT count(*) FROM poi_text WHERE poi_text MATCH 'kiosk'"), 1);
}

} // namespace
} // namespace gpsmap::test
