// The engine's answers for a drawing (IGPSMapDrawing) on real maps: the bounds of the sample town
// and Liechtenstein loaded together, the ways in a box with their true shapes, the cap, and boxes
// that are no box.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <set>

#include "map_fixture.h"

namespace gpsmap::test {
namespace {

namespace fs = std::filesystem;

struct Shape {
    std::string name;
    bool walkable = false, drivable = false;
    std::vector<std::pair<double, double>> points;
};

struct Answer {
    HRESULT hr = E_FAIL;
    bool complete = false;
    std::vector<Shape> shapes;
};

gpslib::ComPtr<IGPSMapDrawing> Drawing(IGPSMap* map) {
    gpslib::ComPtr<IGPSMapDrawing> drawing;
    EXPECT_EQ(map->QueryInterface(IID_IGPSMapDrawing, drawing.PutVoid()), S_OK);
    return drawing;
}

Answer StreetsIn(IGPSMapDrawing* drawing, double south, double west, double north, double east,
                 LONG most = 2000) {
    gpslib::Bstr keywords{std::string_view("STREET EXPANDED")};
    gpslib::Variant streets, points;
    VARIANT_BOOL complete = VARIANT_FALSE;
    Answer a;
    a.hr = drawing->GetStreetsInBox(south, west, north, east, most, keywords.Get(), &streets,
                                    &points, &complete);
    a.complete = complete != VARIANT_FALSE;
    if (FAILED(a.hr)) return a;
    std::vector<double> xy;
    LONG last = -1;
    SafeArrayGetUBound(points.parray, 1, &last);
    for (LONG i = 0; i <= last; ++i) {
        gpslib::Variant v;
        SafeArrayGetElement(points.parray, &i, &v);
        xy.push_back(v.dblVal);
    }
    std::vector<IUnknown*> items;
    EXPECT_EQ(gpslib::ReadObjectList(&streets, IID_IStreetShapeRecord, 100000, &items), S_OK);
    for (IUnknown* item : items) {
        auto* r = static_cast<IStreetShapeRecord*>(item);
        Shape s;
        gpslib::Bstr name;
        r->GetName(name.Put());
        s.name = name.Utf8();
        VARIANT_BOOL b = 0;
        r->IsWalkable(&b), s.walkable = b != 0;
        r->IsDrivable(&b), s.drivable = b != 0;
        LONG first = 0, count = 0;
        r->GetFirstPoint(&first), r->GetPointCount(&count);
        EXPECT_TRUE(first >= 0 && count >= 2 && 2 * std::size_t(first + count) <= xy.size());
        for (LONG i = first; i < first + count && 2 * std::size_t(i) + 1 < xy.size(); ++i)
            s.points.emplace_back(xy[2 * std::size_t(i)], xy[2 * std::size_t(i) + 1]);
        a.shapes.push_back(s);
        item->Release();
    }
    return a;
}

std::set<std::string> Names(const Answer& a) {
    std::set<std::string> names;
    for (const Shape& s : a.shapes)
        names.insert(s.name);
    return names;
}

const Shape* Named(const Answer& a, const std::string& name) {
    for (const Shape& s : a.shapes)
        if (s.name == name) return &s;
    return nullptr;
}

// The sample town, boxes in its grid units (x east, y north: data/sample/README.md).
TEST_F(SampleTown, AWaysShapeAndWhoMayUseItInABox) {
    auto drawing = Drawing(map.Get());
    struct Case {
        double x0, y0, x1, y1;
        std::set<std::string> in, out;
    } const cases[] = {
        // The roundabout and its three streets; the town's other streets are farther.
        {7.7,
         1.8,
         8.3,
         2.2,
         {"Main Street", "Station Road", "Harbour Road"},
         {"Elm Street", "South Street"}},
        // The corner where Cedar Road turns into Pine Road.
        {4.3, -1.7, 4.7, -1.3, {"Cedar Road", "Pine Road"}, {"Main Street"}},
        {1.3, 3.4, 1.7, 3.8, {"Park Path"}, {"North Street", "Main Street"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x0);
        const Answer a = StreetsIn(drawing.Get(), Lat(c.y0), Lon(c.x0), Lat(c.y1), Lon(c.x1));
        ASSERT_EQ(a.hr, S_OK);
        EXPECT_TRUE(a.complete);
        const auto names = Names(a);
        for (const std::string& n : c.in)
            EXPECT_TRUE(names.count(n)) << n;
        for (const std::string& n : c.out)
            EXPECT_FALSE(names.count(n)) << n;
    }
    // A street is drawn as it runs, not from corner to corner: the roundabout's ring, joined from
    // its pieces, has the points of its curve.
    const Answer ring = StreetsIn(drawing.Get(), Lat(1.8), Lon(7.7), Lat(2.2), Lon(8.3));
    std::size_t most = 0;
    for (const Shape& s : ring.shapes)
        most = std::max(most, s.points.size());
    EXPECT_GT(most, 8u);
    const Answer town = StreetsIn(drawing.Get(), Lat(-2), Lon(-0.5), Lat(4.5), Lon(10));
    const Shape* main = Named(town, "Main Street");
    const Shape* path = Named(town, "Park Path");
    ASSERT_TRUE(main && path);
    EXPECT_TRUE(main->walkable && main->drivable);
    EXPECT_TRUE(path->walkable && !path->drivable);
}

// At most as many as asked, nearest the box's middle first: the first of the whole answer.
TEST_F(SampleTown, TheCapKeepsTheWaysNearestTheMiddle) {
    auto drawing = Drawing(map.Get());
    const double box[] = {Lat(-2), Lon(-0.5), Lat(4.5), Lon(10)};
    const Answer all = StreetsIn(drawing.Get(), box[0], box[1], box[2], box[3]);
    const Answer three = StreetsIn(drawing.Get(), box[0], box[1], box[2], box[3], 3);
    ASSERT_GT(all.shapes.size(), 10u);
    EXPECT_TRUE(all.complete);
    ASSERT_EQ(three.shapes.size(), 3u);
    EXPECT_FALSE(three.complete);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(three.shapes[i].points, all.shapes[i].points);
}

TEST_F(SampleTown, ABoxThatIsNoBoxIsRefused) {
    auto drawing = Drawing(map.Get());
    const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
    const double s = Lat(0), w = Lon(0), n = Lat(3), e = Lon(6);
    struct Case {
        double south, west, north, east;
        LONG most;
    } const cases[] = {
        {nan, w, n, e, 10},  {s, w, n, inf, 10},      {-91, w, n, e, 10},
        {s, -181, n, e, 10}, {s, w, 91, e, 10},       {n, w, s, e, 10},         // inverted
        {s, e, n, w, 10},    {s, w, s + 0.06, e, 10}, {s, w, n, w + 0.051, 10}, // huge
        {s, w, n, e, 0},     {s, w, n, e, -5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StreetsIn(drawing.Get(), c.south, c.west, c.north, c.east, c.most).hr,
                  E_INVALIDARG)
            << c.south << " " << c.west << " " << c.north << " " << c.east << " " << c.most;
    gpslib::Variant list;
    VARIANT_BOOL complete = 0;
    EXPECT_EQ(drawing->GetStreetsInBox(s, w, n, e, 10, nullptr, &list, nullptr, &complete),
              E_POINTER);
    double a = 0, b = 0, c = 0;
    SHORT count = 0;
    EXPECT_EQ(drawing->GetLoadedMapsBounds(&a, &b, &c, nullptr, &count), E_POINTER);
}

// Two maps: each one's bounds by its index, and the box of both; without maps, S_FALSE.
TEST(Drawing, TheBoundsOfTheLoadedMaps) {
    const fs::path country = fs::path(GPSLIB_OSM_MAP_DIR) / "Liechtenstein.rmf";
    if (!fs::exists(country)) GTEST_SKIP() << "no compiled Liechtenstein map";
    gpslib::test::TempDir dir, empty;
    fs::create_symlink(fs::path(GPSLIB_SAMPLE_MAP_DIR) / "Sampleton.rmf",
                       fs::path(dir.path()) / "Sampleton.rmf");
    fs::create_symlink(country, fs::path(dir.path()) / "Liechtenstein.rmf");
    std::string answer;
    auto engine = NewEngine(dir.path(), &answer);
    ASSERT_EQ(answer, "OK");
    auto drawing = Drawing(engine.Get());

    double all[4] = {}, one[4] = {};
    SHORT count = 0;
    ASSERT_EQ(drawing->GetLoadedMapsBounds(&all[0], &all[1], &all[2], &all[3], &count), S_OK);
    EXPECT_EQ(count, 2);
    for (SHORT i = 0; i < 2; ++i) {
        gpslib::Bstr name;
        ASSERT_EQ(drawing->GetMapBounds(i, &one[0], &one[1], &one[2], &one[3], name.Put()), S_OK);
        const bool town = name.Utf8() == "Sampleton";
        EXPECT_TRUE(town || name.Utf8() == "Liechtenstein") << name.Utf8();
        // The town's streets lie from x 0 to 9.5 and y -1.5 to 4; the country's round Vaduz.
        const double lat = town ? Lat(1) : 47.14, lon = town ? Lon(5) : 9.52;
        EXPECT_TRUE(one[0] < lat && lat < one[2] && one[1] < lon && lon < one[3]);
        EXPECT_TRUE(all[0] <= one[0] && one[2] <= all[2] && all[1] <= one[1] && one[3] <= all[3]);
    }
    gpslib::Bstr name;
    EXPECT_EQ(drawing->GetMapBounds(2, &one[0], &one[1], &one[2], &one[3], name.Put()),
              E_INVALIDARG);

    // Vaduz: real streets drawn with their curves.
    const Answer vaduz = StreetsIn(drawing.Get(), 47.137, 9.519, 47.142, 9.526);
    ASSERT_EQ(vaduz.hr, S_OK);
    EXPECT_GT(vaduz.shapes.size(), 20u);
    EXPECT_TRUE(std::any_of(vaduz.shapes.begin(), vaduz.shapes.end(),
                            [](const Shape& s) { return s.points.size() > 4; }));
    // A city's widest box holds more ways than the engine answers: cut at 2000, whatever is asked.
    const fs::path city = fs::path(GPSLIB_OSM_MAP_DIR) / "Baltimore.rmf";
    if (fs::exists(city)) {
        fs::create_symlink(city, fs::path(empty.path()) / "Baltimore.rmf");
        auto baltimore = NewEngine(empty.path());
        const Answer wide =
            StreetsIn(Drawing(baltimore.Get()).Get(), 39.256, -76.591, 39.305, -76.542, 1000000);
        EXPECT_EQ(wide.shapes.size(), 2000u);
        EXPECT_FALSE(wide.complete);
        fs::remove(fs::path(empty.path()) / "Baltimore.rmf");
    }

    auto none = NewEngine(empty.path());
    auto nothing = Drawing(none.Get());
    EXPECT_EQ(nothing->GetLoadedMapsBounds(&all[0], &all[1], &all[2], &all[3], &count), S_FALSE);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(nothing->GetMapBounds(0, &one[0], &one[1], &one[2], &one[3], name.Put()),
              E_INVALIDARG);
    const Answer blank = StreetsIn(nothing.Get(), Lat(0), Lon(0), Lat(3), Lon(6));
    EXPECT_EQ(blank.hr, S_FALSE);
    EXPECT_TRUE(blank.shapes.empty());
}

} // namespace
} // namespace gpsmap::test
