// Bad maps are refused with a logged reason while the others load; every query answers at the
// poles, at 0/0, on the antimeridian and at non-numbers; several maps answer each for its area.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <utility>

#include "Engine.h"
#include "MapData.h"
#include "map_fixture.h"
#include "temp_dir.h"
#include "value.h"

namespace gpsmap::test {
namespace {

namespace fs = std::filesystem;

const fs::path kSample = fs::path(GPSLIB_SAMPLE_MAP_DIR) / "Sampleton.rmf";

// The place of a section in a map file's bytes.
format::MapSection SectionOf(const std::string& file, format::SectionId id) {
    format::MapFileHeader header;
    std::memcpy(&header, file.data(), sizeof header);
    for (std::uint32_t i = 0; i < header.sectionCount; ++i) {
        format::MapSection s;
        std::memcpy(&s, file.data() + sizeof header + i * sizeof s, sizeof s);
        if (s.id == id) return s;
    }
    ADD_FAILURE() << "no section " << id;
    return {};
}

// Record `row` of a section, changed in place.
template <class T, class F>
void Change(std::string* file, format::SectionId id, std::size_t row, F change) {
    format::MapSection s = SectionOf(*file, id);
    ASSERT_LT(row, s.count);
    T record;
    std::memcpy(&record, file->data() + s.offset + row * sizeof(T), sizeof(T));
    change(record);
    std::memcpy(file->data() + s.offset + row * sizeof(T), &record, sizeof(T));
}

void SetDirectory(std::string* file, std::size_t entry, std::uint64_t offset,
                  std::uint64_t length) {
    format::MapSection s;
    char* at = file->data() + sizeof(format::MapFileHeader) + entry * sizeof s;
    std::memcpy(&s, at, sizeof s);
    s.offset = offset, s.length = length;
    std::memcpy(at, &s, sizeof s);
}

TEST(BadMaps, AreRefusedWithTheirReason) {
    const std::string good = ReadWholeFile(kSample);
    ASSERT_GT(good.size(), 1024u);
    auto with = [&](std::size_t at, std::uint32_t value) {
        std::string f = good;
        std::memcpy(f.data() + at, &value, sizeof value);
        return f;
    };
    std::string sqlite = std::string(format::kSqliteHeader) + std::string(4080, '\0');
    std::string outside = good, ragged = good, misaligned = good;
    SetDirectory(&outside, 6, good.size() - 8, 4000); // the edges run past the end
    SetDirectory(&ragged, 6, SectionOf(good, format::kSectionEdges).offset, 41); // not whole
    SetDirectory(&misaligned, 6, SectionOf(good, format::kSectionEdges).offset + 4, 40);
    struct Case {
        const char* name;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"empty", "", "not a map file"},
        {"foreign", "<osm version='0.6'></osm>\n", "not a map file"},
        {"truncated", good.substr(0, good.size() / 3), "the map file is truncated"},
        {"grown", good + std::string(8, '\0'), "the map file is truncated"},
        {"newer version", with(4, 9), "map format version 9 is not read here"},
        {"older version", with(4, 2),
         "map format version 2 is older than this engine reads (3): compile the map again with "
         "gpsmap-build"},
        {"old SQLite map", sqlite,
         "a map of an older format (SQLite) than this engine reads (3): compile the map again "
         "with gpsmap-build"},
        {"other byte order", with(8, 0x04030201), "a map file written with the other byte order"},
        {"directory cut", good.substr(0, 100), "the map file is truncated"},
        {"section count", with(12, 7), "bad section directory"},
        {"section outside", outside, "bad section 6"},
        {"section ragged", ragged, "bad section 6"},
        {"section misaligned", misaligned, "bad section 6"},
    };
    gpslib::test::TempDir dir;
    for (const Case& c : cases) {
        std::string path = (fs::path(dir.path()) / "Bad.rmf").string();
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.bytes;
        MapData map;
        std::string error;
        EXPECT_FALSE(map.Open(path, &error)) << c.name;
        EXPECT_EQ(error.substr(0, std::strlen(c.reason)), c.reason) << c.name << ": " << error;
    }
    MapData folder;
    std::string error;
    EXPECT_FALSE(folder.Open(dir.path(), &error));
    EXPECT_FALSE(error.empty());
}

// Row numbers out of range inside a map that opens: each is skipped or reads as an empty record
// where it is used, and every query still answers.
TEST(BadMaps, BrokenRowsAreSkippedWhereTheyAreUsed) {
    std::string file = ReadWholeFile(kSample);
    MapData sample;
    std::string error;
    ASSERT_TRUE(sample.Open(kSample.string(), &error)) << error;
    ASSERT_GT(sample.RestrictionCount(), 0u);
    const int edges = static_cast<int>(sample.EdgeCount());
    // A restriction counts only where both its edges touch its node.
    format::RestrictionRecord first;
    std::memcpy(&first, file.data() + SectionOf(file, format::kSectionRestrictions).offset,
                sizeof first);
    ASSERT_FALSE(sample.RestrictionsAt(first.via).empty());
    EXPECT_TRUE(sample.Meets(first));
    for (auto change : {+[](Restriction& r) { r.via += 1; }, +[](Restriction& r) { r.to = -1; },
                        +[](Restriction& r) { r.from = 1 << 30; }}) {
        Restriction r = first;
        change(r);
        EXPECT_FALSE(sample.Meets(r)) << r.from << " " << r.via << " " << r.to;
    }
    // Every edge broken in one way or another, the node lists and grids pointing past the end, a
    // house number on no edge, a way on no street.
    for (int i = 0; i < edges; ++i)
        Change<format::EdgeRecord>(&file, format::kSectionEdges, static_cast<std::size_t>(i),
                                   [&](format::EdgeRecord& e) {
                                       switch (i % 5) {
                                       case 0:
                                           e.way = 1 << 30;
                                           break;
                                       case 1:
                                           e.from = -5;
                                           break;
                                       case 2:
                                           e.pointBegin = ~0ull - 1;
                                           break;
                                       case 3:
                                           e.pointCount = 1;
                                           break;
                                       default:
                                           e.to = edges * 1000;
                                           break;
                                       }
                                   });
    Change<std::int32_t>(&file, format::kSectionNodeEdges, 0, [](std::int32_t& e) { e = 1 << 30; });
    Change<std::int32_t>(&file, format::kSectionStreetCellItems, 0,
                         [](std::int32_t& e) { e = -1; });
    Change<format::NodeRecord>(&file, format::kSectionNodes, 1,
                               [](format::NodeRecord& n) { n.edgeBegin = 1ull << 40; });
    Change<format::NodeRecord>(&file, format::kSectionNodes, 2,
                               [](format::NodeRecord& n) { n.intersection = 1 << 20; });
    Change<format::AddressRecord>(&file, format::kSectionAddresses, 0,
                                  [](format::AddressRecord& a) { a.edge = 1 << 30; });
    Change<format::WayRecord>(&file, format::kSectionWays, 0, [](format::WayRecord& w) {
        w.street = 1 << 30;
        w.name = {~0u - 3, 100};
    });
    Change<format::IntersectionRecord>(&file, format::kSectionIntersections, 0,
                                       [](format::IntersectionRecord& x) { x.nodeCount = ~0u; });
    Change<format::CellRecord>(&file, format::kSectionCrossingCells, 0,
                               [](format::CellRecord& c) { c.itemBegin = ~0u; });

    gpslib::test::TempDir dir;
    std::string path = (fs::path(dir.path()) / "Broken.rmf").string();
    std::ofstream(path, std::ios::binary) << file;
    MapData map;
    ASSERT_TRUE(map.Open(path, &error)) << error;
    for (int i = -1; i <= edges; ++i) {
        Edge e = map.Edge(i);
        EXPECT_GE(e.points.size(), 2u) << i;
        EXPECT_LT(static_cast<std::size_t>(e.from), map.NodeCount()) << i;
        EXPECT_LT(static_cast<std::size_t>(e.way), map.WayCount()) << i;
        EXPECT_EQ(e.length, 0.0) << i; // every edge read as broken
    }
    for (std::size_t n = 0; n < map.NodeCount(); ++n)
        for (int e : map.Node(static_cast<int>(n)).edges)
            EXPECT_LT(e, edges) << "node " << n;
    EXPECT_TRUE(map.Node(1).edges.empty());
    EXPECT_EQ(map.Node(2).intersection, -1);
    EXPECT_TRUE(map.Intersection(0).nodes.empty());
    Way w = map.Way(0);
    EXPECT_EQ(w.street, -1);
    EXPECT_TRUE(w.name.empty());
    EXPECT_TRUE(map.Street(w.street).name.empty());
    EXPECT_EQ(map.Way(-3).street, -1);
    std::vector<int> near;
    map.EdgesNear({45.002, 10.001}, 200.0, &near);
    for (int e : near)
        EXPECT_TRUE(e >= 0 && e < edges);
    map.IntersectionsNear({45.002, 10.001}, 200.0, &near);
    std::vector<int> all(static_cast<std::size_t>(edges));
    for (int i = 0; i < edges; ++i)
        all[static_cast<std::size_t>(i)] = i;
    for (const AddressRow& a : map.AddressesOnEdges(all))
        EXPECT_LT(a.edge, edges);

    // Through the engine: it loads, and every query answers.
    Engine engine;
    ASSERT_EQ(engine.Initialize(dir.path(), "", false), "OK");
    Naming naming;
    for (Point p : {Point{45.002, 10.001}, Point{45.0005, 10.003}, Point{0.0, 0.0}}) {
        engine.MatchStreet(p, 90, naming);
        engine.CrossStreets(p, "Main Street", 90, naming, true);
        engine.LocationDetails(p, 0, naming);
        engine.MoveToNextIntersection(p, "Main Street", 0, 1, naming);
        engine.DescribePosition(p, naming);
        RouteRequest request;
        request.start = p, request.end = {45.003, 10.002}, request.walking = false;
        Route route;
        engine.FindRoute(request, RouteNaming{}, &route);
    }
}

TEST(BadMaps, AreLoggedWhileTheOthersLoad) {
    gpslib::test::TempDir dir;
    fs::path maps = fs::path(dir.path()) / "maps", debug = fs::path(dir.path()) / "Debug";
    fs::create_directories(maps);
    fs::create_directories(debug);
    std::string good = ReadWholeFile(kSample);
    std::ofstream(maps / "A_Truncated.rmf", std::ios::binary) << good.substr(0, good.size() / 3);
    std::ofstream(maps / "B_Foreign.RMF", std::ios::binary) << "<osm version='0.6'></osm>\n";
    std::ofstream(maps / "C_Old.rmf", std::ios::binary)
        << std::string(format::kSqliteHeader) << std::string(4080, '\0');
    std::ofstream(maps / "D_Empty.rmf", std::ios::binary) << "";
    // The sort order puts the bad files first: the good one must still load after them.
    gpslib::ComPtr<IGPSMap> map;
    ASSERT_EQ(gpslib::CreateObject(CLSID_GPSMap, IID_IGPSMap, &map), S_OK);
    gpslib::Bstr debugDir(debug.string()), none, result;
    map->SetDebugDirectory(debugDir.Get());
    gpslib::Bstr folder(maps.string());
    ASSERT_EQ(map->Initalize(folder.Get(), none.Get(), VARIANT_FALSE, result.Put()), S_OK);
    EXPECT_EQ(result.Utf8(), "NO MAPS LOADED: " + (maps / "A_Truncated.rmf").string() +
                                 ": the map file is truncated (" + std::to_string(good.size() / 3) +
                                 " of " + std::to_string(good.size()) + " bytes)");
    SHORT count = -1;
    map->GetNumberOfMapsLoaded(&count);
    EXPECT_EQ(count, 0);

    fs::copy_file(kSample, maps / "E_Good.rmf");
    ASSERT_EQ(map->Initalize(folder.Get(), none.Get(), VARIANT_FALSE, result.Put()), S_OK);
    EXPECT_EQ(result.Utf8(), "OK");
    map->GetNumberOfMapsLoaded(&count);
    EXPECT_EQ(count, 1);
    std::string log = ReadWholeFile(debug / "gpsMapDebug.txt");
    for (const char* name : {"A_Truncated", "B_Foreign", "C_Old", "D_Empty"})
        EXPECT_NE(log.find(std::string("refused ") + (maps / name).string()), std::string::npos)
            << name;
    EXPECT_NE(log.find("compile the map again with gpsmap-build"), std::string::npos);
    // Every name found is offered, loaded or not.
    gpslib::Bstr all("*");
    gpslib::Variant names;
    ASSERT_EQ(map->FindMapsMatching(all.Get(), &names), S_OK);
    std::vector<std::u16string> found;
    ASSERT_EQ(gpslib::ReadStringList(&names, &found), S_OK);
    EXPECT_EQ(found.size(), 5u);

    // A folder without maps, and no other folders to try.
    gpslib::Bstr empty(debug.string());
    ASSERT_EQ(map->Initalize(empty.Get(), none.Get(), VARIANT_FALSE, result.Put()), S_OK);
    EXPECT_EQ(result.Utf8(), "NO MAPS FOUND: " + debug.string());
    gpslib::Bstr k, street;
    EXPECT_EQ(map->GetStreetAtLocation(45.002, 10.001, -1, k.Get(), street.Put(), result.Put()),
              E_FAIL);
    EXPECT_EQ(result.Utf8(), "NO MAP");
}

TEST(BadPositions, EveryQueryAnswers) {
    auto map = NewEngine(GPSLIB_SAMPLE_MAP_DIR);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double lat, lon;
        const char* street;
    };
    const Case cases[] = {
        {0.0, 0.0, "NO MAP:"},      {90.0, 0.0, "NO MAP:"},
        {-90.0, 180.0, "NO MAP:"},  {45.0, 180.0, "NO MAP:"},
        {45.0, -180.0, "NO MAP:"},  {89.9999, 10.0, "NO MAP:"},
        {nan, 10.0, "NO MAP:"},     {45.0, inf, "NO MAP:"},
        {1e300, -1e300, "NO MAP:"}, {45.002, 10.001, "OK:Main Street"},
    };
    gpslib::Bstr k("STREET EXPANDEDSTREET DETAILED"), all("ALL"), street("Main Street");
    for (const Case& c : cases) {
        for (SHORT heading : {SHORT(-1), SHORT(0), SHORT(359), SHORT(720), SHORT(-400)}) {
            EXPECT_EQ(StreetAt(map.Get(), c.lat, c.lon, heading, "STREET EXPANDED"), c.street)
                << c.lat << "," << c.lon;
            gpslib::Variant a, b, d, m, x;
            EXPECT_EQ(map->FindNextCrossStreets(c.lat, c.lon, street.Get(), heading, k.Get(), &a),
                      S_OK);
            EXPECT_EQ(map->GetLocationsDetailsVector(c.lat, c.lon, all.Get(), heading, &d), S_OK);
            EXPECT_EQ(map->MoveToNextIntersection(c.lat, c.lon, street.Get(), heading, LeftSide,
                                                  k.Get(), &m),
                      S_OK);
            EXPECT_EQ(
                map->MoveAcrossStreet(c.lat, c.lon, nullptr, heading, SideUnknown, nullptr, &x),
                S_OK);
            SHORT bearing = 0;
            EXPECT_EQ(map->GetStreetBearingAtLocation(c.lat, c.lon, heading, &bearing), S_OK);
            gpslib::Bstr text;
            EXPECT_EQ(map->DescribePosition(c.lat, c.lon, text.Put()), S_OK);
        }
    }
    // Null out pointers are refused before anything else.
    EXPECT_EQ(map->GetLocationsDetailsVector(45.002, 10.001, all.Get(), -1, nullptr), E_POINTER);
    EXPECT_EQ(map->FindMapsMatching(nullptr, nullptr), E_POINTER);
}

TEST(SeveralMaps, EachPositionIsAnsweredByItsMap) {
    fs::path monaco = fs::path(GPSLIB_OSM_MAP_DIR) / "Monaco.rmf";
    if (!fs::exists(monaco)) GTEST_SKIP() << "no compiled Monaco extract";
    gpslib::test::TempDir dir;
    fs::copy_file(kSample, fs::path(dir.path()) / "Sampleton.rmf");
    fs::copy_file(monaco, fs::path(dir.path()) / "Monaco.rmf");
    std::string answer;
    auto map = NewEngine(dir.path(), &answer);
    ASSERT_EQ(answer, "OK");
    EXPECT_EQ(gpslib::test::Value(map.Get(), &IGPSMap::GetNumberOfMapsLoaded), 2);
    struct Case {
        double lat, lon;
        const char* map;
    };
    for (const Case& c : {Case{45.002, 10.001, "Sampleton"}, Case{43.7384, 7.4246, "Monaco"}}) {
        auto details = Details(map.Get(), c.lat, c.lon, -1, "ADDRESS_CITY_POSTAL_MAP");
        ASSERT_FALSE(details.empty()) << c.map;
        EXPECT_EQ(details[0].map, c.map);
    }
}

} // namespace
} // namespace gpsmap::test

namespace gpsmap::test {
namespace {

// Open descriptors of this process, and mappings of files named `name`.
std::pair<int, int> Held(const std::string& name) {
    int descriptors = 0, mappings = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd"))
        (void)entry, ++descriptors;
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.find(name) != std::string::npos) ++mappings;
    return {descriptors, mappings};
}

TEST(LoadedMaps, AreUnmappedByUnloadAndByTheNextLoad) {
    Engine engine;
    const auto before = Held("Sampleton.rmf");
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(engine.Initialize(GPSLIB_SAMPLE_MAP_DIR, "", false), "OK");
    auto loaded = Held("Sampleton.rmf");
    EXPECT_EQ(loaded.first, before.first);       // the descriptor is closed after mapping
    EXPECT_EQ(loaded.second, before.second + 1); // one mapping, the last load's
    engine.Unload();
    EXPECT_EQ(Held("Sampleton.rmf"), before);
}

// A loaded map follows its file: a new file moved over it, the file copied over in place (cut
// short, then whole again), and a cut that a query runs into before any check sees it.
TEST(LoadedMaps, FollowTheirFilesWhenTheyChange) {
    gpslib::test::TempDir dir;
    const std::string path = dir.File("Sampleton.rmf"), next = dir.File("next.tmp");
    const std::string whole = ReadWholeFile(kSample), cut = whole.substr(0, whole.size() / 3);
    auto writeInPlace = [&](const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes; // same file, as cp does
    };
    writeInPlace(whole);
    Engine engine;
    ASSERT_EQ(engine.Initialize(dir.path(), "", false), "OK");
    auto street = [&] {
        auto m = engine.MatchStreet({Lat(2.9), Lon(8.0)}, 0, Naming{});
        return m ? engine.StreetName(*m, Naming{}) : std::string("none");
    };
    const std::string station = street();
    ASSERT_NE(station, "none");
    const std::string truncated = ": the map file is truncated (" + std::to_string(cut.size()) +
                                  " of " + std::to_string(whole.size()) + " bytes)";
    using Lines = std::vector<std::string>;

    EXPECT_EQ(engine.RefreshChangedMaps(true), Lines{});
    std::ofstream(next, std::ios::binary) << whole;
    ASSERT_EQ(std::rename(next.c_str(), path.c_str()), 0);
    EXPECT_EQ(engine.RefreshChangedMaps(false), Lines{}); // only checks of the files see it
    EXPECT_EQ(engine.RefreshChangedMaps(true),
              Lines{"changed while loaded, loaded again: " + path});
    EXPECT_EQ(street(), station);

    writeInPlace(cut);
    EXPECT_EQ(engine.RefreshChangedMaps(true),
              Lines{"changed while loaded, unloaded until it opens again: " + path + truncated});
    EXPECT_EQ(engine.MapCount(), 0);
    EXPECT_EQ(engine.RefreshChangedMaps(true), Lines{}); // unchanged since: not tried again
    writeInPlace(whole);
    EXPECT_EQ(engine.RefreshChangedMaps(true), Lines{"loaded again: " + path});
    EXPECT_EQ(engine.MapCount(), 1);
    EXPECT_EQ(street(), station);

    // Emptied under a query: the query reads zeros instead of ending the process, and the map
    // is taken out at the next call without waiting for a check of the files.
    writeInPlace("");
    (void)street();
    EXPECT_EQ(
        engine.RefreshChangedMaps(false),
        Lines{"changed while loaded, unloaded until it opens again: " + path + ": not a map file"});
    EXPECT_EQ(engine.MapCount(), 0);
    writeInPlace(whole);
    EXPECT_EQ(engine.RefreshChangedMaps(true), Lines{"loaded again: " + path});
    EXPECT_EQ(street(), station);
}

// Through the engine's object: the call that runs into the emptied file answers, the next one
// finds no map, and the debug log says why.
TEST(LoadedMaps, AnEmptiedFileIsLoggedAndLeavesNoMap) {
    gpslib::test::TempDir dir;
    const std::string path = dir.File("Sampleton.rmf");
    fs::copy_file(kSample, path);
    std::string answer;
    gpslib::ComPtr<IGPSMap> map = NewEngine(dir.path(), &answer);
    ASSERT_EQ(answer, "OK");
    gpslib::Bstr debug(dir.path());
    map->SetDebugDirectory(debug.Get());
    EXPECT_EQ(StreetAt(map.Get(), Lat(2.9), Lon(8.0), -1), "OK:Station Road");
    std::ofstream(path, std::ios::binary | std::ios::trunc).flush();
    (void)StreetAt(map.Get(), Lat(2.9), Lon(8.0), -1);
    EXPECT_EQ(StreetAt(map.Get(), Lat(2.9), Lon(8.0), -1), "NO MAP:");
    EXPECT_NE(ReadWholeFile(dir.File("gpsMapDebug.txt"))
                  .find("changed while loaded, unloaded until it opens again: " + path),
              std::string::npos);
}

} // namespace
} // namespace gpsmap::test
