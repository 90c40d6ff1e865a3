// The engine's answers for a drawing (IGPSMapDrawing) on real maps: the ways in a box with their
// true shapes, the cap, boxes that are no box, and the bounds of the sample town and Liechtenstein
// loaded together.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "map_fixture.h"
#include "value.h"

namespace gpsmap::test {
namespace {

namespace fs = std::filesystem;
using gpslib::test::Text;
using gpslib::test::Value;

struct Shape {
    std::string name;
    bool walkable = false, drivable = false;
    LONG points = 0;
    bool operator==(const Shape&) const = default;
};

struct Answer {
    HRESULT hr = E_FAIL;
    bool complete = false;
    std::vector<Shape> shapes;
    const Shape* Named(const std::string& name) const {
        for (const Shape& s : shapes)
            if (s.name == name) return &s;
        return nullptr;
    }
};

gpslib::ComPtr<IGPSMapDrawing> Drawing(IGPSMap* map) {
    gpslib::ComPtr<IGPSMapDrawing> drawing;
    EXPECT_EQ(map->QueryInterface(IID_IGPSMapDrawing, drawing.PutVoid()), S_OK);
    return drawing;
}

// The ways in the box; each record's stretch of the list of points checked to lie within it.
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
    LONG last = -1;
    SafeArrayGetUBound(points.parray, 1, &last);
    std::vector<IUnknown*> items;
    EXPECT_EQ(gpslib::ReadObjectList(&streets, IID_IStreetShapeRecord, 100000, &items), S_OK);
    for (IUnknown* item : items) {
        auto* r = static_cast<IStreetShapeRecord*>(item);
        using R = IStreetShapeRecord;
        const Shape s{Text(r, &R::GetName), Value(r, &R::IsWalkable) != 0,
                      Value(r, &R::IsDrivable) != 0, Value(r, &R::GetPointCount)};
        const LONG first = Value(r, &R::GetFirstPoint);
        EXPECT_TRUE(first >= 0 && s.points >= 2 && 2 * (first + s.points) - 1 <= last) << s.name;
        a.shapes.push_back(s);
        item->Release();
    }
    return a;
}

// The sample town, boxes in its grid units (x east, y north: data/sample/README.md).
TEST_F(SampleTown, TheWaysInABoxWithTheirShapesNearestTheMiddleFirst) {
    auto drawing = Drawing(map.Get());
    struct Case {
        double x0, y0, x1, y1;
        std::vector<std::string> in, out;
    } const cases[] = {
        // The roundabout and its three streets; the town's other streets are farther.
        {7.7, 1.8, 8.3, 2.2, {"Main Street", "Station Road", "Harbour Road"}, {"Elm Street"}},
        // The corner where Cedar Road turns into Pine Road.
        {4.3, -1.7, 4.7, -1.3, {"Cedar Road", "Pine Road"}, {"Main Street"}},
        {1.3, 3.4, 1.7, 3.8, {"Park Path"}, {"North Street"}},
    };
    for (const Case& c : cases) {
        const Answer a = StreetsIn(drawing.Get(), Lat(c.y0), Lon(c.x0), Lat(c.y1), Lon(c.x1));
        ASSERT_EQ(a.hr, S_OK);
        EXPECT_TRUE(a.complete);
        for (const std::string& n : c.in)
            EXPECT_TRUE(a.Named(n)) << n << " near " << c.x0;
        for (const std::string& n : c.out)
            EXPECT_FALSE(a.Named(n)) << n << " near " << c.x0;
    }
    // A street is drawn as it runs, not from corner to corner: the roundabout's ring, joined from
    // its pieces, keeps the points of its curve.
    const Answer ring = StreetsIn(drawing.Get(), Lat(1.8), Lon(7.7), Lat(2.2), Lon(8.3));
    EXPECT_TRUE(std::any_of(ring.shapes.begin(), ring.shapes.end(),
                            [](const Shape& s) { return s.points > 8; }));

    const double town[] = {Lat(-2), Lon(-0.5), Lat(4.5), Lon(10)};
    const Answer all = StreetsIn(drawing.Get(), town[0], town[1], town[2], town[3]);
    const Shape *main = all.Named("Main Street"), *path = all.Named("Park Path");
    ASSERT_TRUE(main && path);
    EXPECT_TRUE(main->walkable && main->drivable);
    EXPECT_TRUE(path->walkable && !path->drivable);
    // At most as many as asked: the first of the whole answer, which are nearest the middle.
    const Answer three = StreetsIn(drawing.Get(), town[0], town[1], town[2], town[3], 3);
    ASSERT_GT(all.shapes.size(), 10u);
    EXPECT_FALSE(three.complete);
    EXPECT_EQ(three.shapes, std::vector<Shape>(all.shapes.begin(), all.shapes.begin() + 3));
}

TEST_F(SampleTown, ABoxThatIsNoBoxIsRefused) {
    auto drawing = Drawing(map.Get());
    const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
    const double s = Lat(0), w = Lon(0), n = Lat(3), e = Lon(6);
    struct Case {
        double south, west, north, east;
        LONG most;
    } const cases[] = {
        {nan, w, n, e, 10},      {s, w, n, inf, 10},       {-91, w, n, e, 10}, {s, -181, n, e, 10},
        {s, w, 91, e, 10},       {n, w, s, e, 10},         {s, e, n, w, 10}, // inverted
        {s, w, s + 0.06, e, 10}, {s, w, n, w + 0.051, 10}, // larger than 0.05 degrees
        {s, w, n, e, 0},         {s, w, n, e, -5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StreetsIn(drawing.Get(), c.south, c.west, c.north, c.east, c.most).hr,
                  E_INVALIDARG)
            << c.south << " " << c.west << " " << c.north << " " << c.east << " " << c.most;
    gpslib::Variant list;
    VARIANT_BOOL complete = 0;
    EXPECT_EQ(drawing->GetStreetsInBox(s, w, n, e, 10, nullptr, &list, nullptr, &complete),
              E_POINTER);
}

// Two maps: each one's bounds by its index, and the box of both. Without maps, S_FALSE; a city
// box holding more ways than the engine answers is cut at 2000, whatever is asked.
TEST(Drawing, TheBoundsOfTheLoadedMapsAndTheCap) {
    const fs::path country = fs::path(GPSLIB_OSM_MAP_DIR) / "Liechtenstein.rmf";
    const fs::path city = fs::path(GPSLIB_OSM_MAP_DIR) / "Baltimore.rmf";
    if (!fs::exists(country) || !fs::exists(city)) GTEST_SKIP() << "no compiled extracts";
    gpslib::test::TempDir two, one, none;
    fs::create_symlink(fs::path(GPSLIB_SAMPLE_MAP_DIR) / "Sampleton.rmf",
                       fs::path(two.path()) / "Sampleton.rmf");
    fs::create_symlink(country, fs::path(two.path()) / "Liechtenstein.rmf");
    fs::create_symlink(city, fs::path(one.path()) / "Baltimore.rmf");
    auto drawing = Drawing(NewEngine(two.path()).Get());

    double all[4] = {}, box[4] = {};
    SHORT count = 0;
    ASSERT_EQ(drawing->GetLoadedMapsBounds(&all[0], &all[1], &all[2], &all[3], &count), S_OK);
    EXPECT_EQ(count, 2);
    gpslib::Bstr name;
    for (SHORT i = 0; i < 2; ++i) {
        ASSERT_EQ(drawing->GetMapBounds(i, &box[0], &box[1], &box[2], &box[3], name.Put()), S_OK);
        // A place inside each: the town's middle, Vaduz.
        const bool town = name.Utf8() == "Sampleton";
        EXPECT_TRUE(town || name.Utf8() == "Liechtenstein") << name.Utf8();
        const double lat = town ? Lat(1) : 47.14, lon = town ? Lon(5) : 9.52;
        EXPECT_TRUE(box[0] < lat && lat < box[2] && box[1] < lon && lon < box[3]);
        EXPECT_TRUE(all[0] <= box[0] && box[2] <= all[2] && all[1] <= box[1] && box[3] <= all[3]);
    }
    EXPECT_EQ(drawing->GetMapBounds(2, &box[0], &box[1], &box[2], &box[3], name.Put()),
              E_INVALIDARG);

    const Answer wide = StreetsIn(Drawing(NewEngine(one.path()).Get()).Get(), 39.256, -76.591,
                                  39.305, -76.542, 1000000);
    EXPECT_EQ(wide.shapes.size(), 2000u);
    EXPECT_FALSE(wide.complete);

    auto nothing = Drawing(NewEngine(none.path()).Get());
    EXPECT_EQ(nothing->GetLoadedMapsBounds(&all[0], &all[1], &all[2], &all[3], &count), S_FALSE);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(nothing->GetMapBounds(0, &box[0], &box[1], &box[2], &box[3], name.Put()),
              E_INVALIDARG);
    const Answer blank = StreetsIn(nothing.Get(), Lat(0), Lon(0), Lat(3), Lon(6));
    EXPECT_EQ(blank.hr, S_FALSE);
    EXPECT_TRUE(blank.shapes.empty());
}

} // namespace
} // namespace gpsmap::test
