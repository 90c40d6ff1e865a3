// Route files, GPX, directions and virtual route exploration in the sample town, as a client
// does them: a route created by the map engine saved, loaded and compared field by field; files
// that must not load; the directions text; stepping the virtual walker along the route; the
// virtual walker placed at an address.
#include <gpslib/GPSLib.h>
#include <gpslib/support.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "route/sample_town_routes.h"
#include "value.h"

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;
using namespace gpslib::test::routes;
using gpslib::test::Text;
using gpslib::test::Value;

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// What a getter answers, as text; several getters' answers joined by `separator`.
template <class O, class T> std::string Got(O* object, HRESULT (STDMETHODCALLTYPE O::*get)(T*)) {
    std::ostringstream out;
    out << gpslib::test::Value(object, get);
    return out.str();
}
template <class O, class... T>
std::string Joined(const char* separator, O* object, HRESULT (STDMETHODCALLTYPE O::*... get)(T*)) {
    std::string out;
    ((out += (out.empty() ? "" : separator) + Got(object, get)), ...);
    return out;
}

// The route's configuration as "type/mode/heading/freeway/vehicle turn/pedestrian
// turn/roundabout/toll/vehicle mode".
std::string Configuration(IRouteObject* route) {
    ComPtr<IRouteConfigurationObject> c;
    route->GetRouteConfiguration(c.Put());
    using C = IRouteConfigurationObject;
    return Joined("/", c.Get(), &C::GetRouteType, &C::GetWaypointMode, &C::GetInitialHeading,
                  &C::GetRouteFreewayPreference, &C::GetRouteTurnPreferenceVehicle,
                  &C::GetRouteTurnPreferencePedestrian, &C::GetRouteRoundaboutPreference,
                  &C::GetRouteTollRoadPreference, &C::GetRouteVehicleMode);
}

// Every field the grid leaves out: description, user point, lanes, speed, feature, side.
std::vector<std::string> Details(IRouteObject* route) {
    return WaypointLines(route, [](IWaypointObject* w) {
        Bstr description;
        ComPtr<ILocationObject> location;
        w->GetLocation(location.Put());
        location->GetDescription(description.Put());
        VARIANT_BOOL user = 0;
        w->IsUserPoint(&user);
        using W = IWaypointObject;
        return description.Utf8() + (user ? "|1|" : "|0|") +
               Joined("|", w, &W::GetNumberOfLanes, &W::GetStreetSpeed, &W::GetFeatureIndex,
                      &W::GetSideOfStreet);
    });
}

class RouteFiles : public SampleTownRoutes {
protected:
    std::string File(const std::string& name) { return dir.path() + "/" + name; }
    bool Save(const std::string& path) {
        VARIANT_BOOL saved = 0;
        EXPECT_EQ(core->RouteSave(Bstr(std::string_view(path)).Get(), &saved), S_OK);
        return saved == VARIANT_TRUE;
    }
    bool Load(const std::string& path) {
        VARIANT_BOOL loaded = 0;
        EXPECT_EQ(core->RouteLoad(Bstr(std::string_view(path)).Get(), &loaded), S_OK);
        return loaded == VARIANT_TRUE;
    }
    // One exploration move, answering "index: text": "+" a step forward ("+t" to the next
    // turn), "-" a step back, "start", "end", or the number of the waypoint to go to. (In the
    // tables, "current" checks the route's current waypoint instead.)
    std::string Explore(const std::string& move) {
        ComPtr<IWaypointObject> w;
        Bstr text;
        const WaypointMode mode = move == "+t" ? WaypointModeTurnsOnly : WaypointModeAll;
        const HRESULT hr =
            move[0] == '+'    ? core->RouteVirtualExploreForward(mode, w.Put(), text.Put())
            : move == "-"     ? core->RouteVirtualExploreBackward(mode, w.Put(), text.Put())
            : move == "start" ? core->RouteVirtualExploreSetStart(w.Put(), text.Put())
            : move == "end"   ? core->RouteVirtualExploreSetEnd(w.Put(), text.Put())
                              : core->RouteVirtualExploreSet(static_cast<SHORT>(std::stoi(move)),
                                                             w.Put(), text.Put());
        EXPECT_EQ(hr, S_OK) << move;
        SHORT index = -1;
        if (w) w->GetIndex(&index);
        return std::to_string(index) + ": " + text.Utf8();
    }
    // Where the virtual walker stands and faces: "x,y heading".
    std::string Walker() {
        ComPtr<IVirtualObject> walker;
        core->VirtualGet(walker.Put());
        ComPtr<ILocationObject> at;
        walker->GetLocation(at.Put());
        const double lat = Value(at.Get(), &ILocationObject::GetLatitude);
        const double lon = Value(at.Get(), &ILocationObject::GetLongitude);
        SHORT heading = -1;
        walker->GetHeadingDegrees(&heading);
        char text[64];
        std::snprintf(text, sizeof text, "%.2f,%.2f %d", (lon - 10.0) * 1000.0,
                      (lat - 45.0) * 1000.0, heading);
        return text;
    }
};

TEST_F(RouteFiles, ASavedRouteLoadsFieldByField) {
    ASSERT_TRUE(Create(RouteTypeVehicle, 0, 0, 6, 3, 0));
    const std::vector<std::string> grid = Grid(Route().Get());
    const std::vector<std::string> details = Details(Route().Get());
    const std::string configuration = Configuration(Route().Get());
    const std::string path = File("trip.xml");
    ASSERT_TRUE(Save(path));
    VARIANT_BOOL needsSaving = VARIANT_TRUE;
    Route()->NeedsToBeSaved(&needsSaving);
    EXPECT_EQ(needsSaving, VARIANT_FALSE);

    core->RouteClose();
    ASSERT_TRUE(Load(path));
    auto route = Route();
    EXPECT_EQ(Grid(route.Get()), grid);
    EXPECT_EQ(Details(route.Get()), details);
    EXPECT_EQ(Configuration(route.Get()), configuration);
    EXPECT_EQ(Value(route.Get(), &IRouteObject::GetCurrentWaypointIndex), 1);
    // The engine finds the loaded driving route on its network again.
    EXPECT_EQ(Value(core.Get(), &IGPSCore::RouteIsOptimized), VARIANT_TRUE);

    // Saving without a name writes to the file the route came from.
    std::filesystem::remove(path);
    ASSERT_TRUE(Save(""));
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST_F(RouteFiles, TheFileIsWrittenLineByLine) {
    ASSERT_TRUE(Create(RouteTypePedestrian, 0, 0, 6, 3, 0));
    // A name needing escapes, and one in another script, survive the file.
    ComPtr<IWaypointObject> w;
    Route()->GetWaypoint(2, w.Put());
    w->SetWaypointName(Bstr(u"Tom & Jerry's <\"Corner\">").Get());
    Route()->UpdateWaypointInRoute(w.Get());
    Route()->GetWaypoint(3, w.Put());
    w->SetWaypointName(Bstr(u"\u0414\u043e\u043c \u5bb6").Get());
    Route()->UpdateWaypointInRoute(w.Get());
    const std::string path = File("lines.xml");
    ASSERT_TRUE(Save(path));
    const std::vector<std::string> lines = Lines(path);
    const std::vector<std::string> expected = {
        "<?xml version=\"1.0\"?>",
        "<!-- Route saved by the gpslib navigation service. Edit with care: every element is read "
        "back. -->",
        "<!-- gpslib 3.3 -->",
        "",
        "<ROUTE>",
        "\t<Version>4</Version>",
        "\t<RouteType>1</RouteType>",
        "\t<WaypointMode>1</WaypointMode>",
        "\t<InitialHeading>0</InitialHeading>",
        "\t<FreewayPreference>0</FreewayPreference>",
        "\t<VehicleTurnPreference>2</VehicleTurnPreference>",
        "\t<PedestrianTurnPreference>0</PedestrianTurnPreference>",
        "\t<RoundaboutPreference>0</RoundaboutPreference>",
        "\t<TollRoadPreference>0</TollRoadPreference>",
        "\t<VehicleMode>0</VehicleMode>",
        "\t<WP>",
        "\t\t<Nm>First Avenue</Nm>",
        "\t\t<X>45.000000000</X>",
        "\t\t<Y>10.000000000</Y>",
        "\t\t<Tn>0</Tn>",
        "\t\t<Des></Des>",
        "\t\t<St>First Avenue</St>",
        "\t\t<Lns>0</Lns>",
        "\t\t<Tp>0</Tp>",
        "\t\t<Fwd>0</Fwd>",
        "\t\t<Rvs>180</Rvs>",
        "\t\t<Spd>0</Spd>",
        "\t\t<Dst>0.000000000</Dst>",
        "\t\t<Idx>0</Idx>",
        "\t\t<Crs></Crs>",
        "\t\t<Ss>0</Ss>",
        "\t</WP>",
    };
    ASSERT_GE(lines.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
    EXPECT_EQ(lines[expected.size() + 1], "\t\t<Nm>Tom &amp; Jerry's &lt;\"Corner\"&gt;</Nm>");
    EXPECT_EQ(lines.back(), "</ROUTE>");
    EXPECT_EQ(lines.size(), 5u + 10u + 3u * 17u + 1u);

    const std::vector<std::string> grid = Grid(Route().Get());
    core->RouteClose();
    ASSERT_TRUE(Load(path));
    EXPECT_EQ(Grid(Route().Get()), grid);
}

TEST_F(RouteFiles, AFileThatDoesNotLoadLeavesTheRouteAsItWas) {
    ASSERT_TRUE(Create(RouteTypePedestrian, 0, 0, 6, 3, 0));
    const std::string good = File("good.xml");
    ASSERT_TRUE(Save(good));
    const std::string text = gpslib::test::ReadWholeFile(good);
    const std::vector<std::string> grid = Grid(Route().Get());

    std::string huge = "<ROUTE>";
    for (int i = 0; i < 100000; ++i)
        huge += "<WP><X>45.001</X><Y>10.001</Y></WP>";
    huge += "</ROUTE>";
    auto replaced = [&text](const std::string& from, const std::string& to) {
        std::string t = text;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    struct Case {
        const char* what;
        std::string content;
        const char* logged;
    } cases[] = {
        {"truncated", text.substr(0, text.size() / 2), "not XML"},
        {"not XML", "walk north two blocks", "not XML"},
        {"empty", "", "not XML"},
        {"another root", "<?xml version=\"1.0\"?><TRACK><WP/></TRACK>", "root element"},
        {"a newer version", replaced("<Version>4<", "<Version>5<"), "<Version>"},
        {"a lane count that is text", replaced("<Lns>0<", "<Lns>two<"), "<Lns>"},
        {"a latitude beyond the pole", replaced("<X>45.000000000<", "<X>95<"), "<X>"},
        {"a heading of 400", replaced("<Fwd>0<", "<Fwd>400<"), "<Fwd>"},
        {"a point type of 2", replaced("<Tp>0<", "<Tp>2<"), "<Tp>"},
        {"a route type of 9", replaced("<RouteType>1<", "<RouteType>9<"), "<RouteType>"},
        {"a number too large for any field", replaced("<Idx>0<", "<Idx>99999999999999999999<"),
         "<Idx>"},
        {"a distance that is not a number", replaced("<Dst>0.000000000<", "<Dst>nan<"), "<Dst>"},
        {"100,000 waypoints", huge, "more than 32767 waypoints"},
    };
    for (const Case& c : cases) {
        const std::string path = File("bad.xml");
        Write(path, c.content);
        EXPECT_FALSE(Load(path)) << c.what;
        EXPECT_EQ(Grid(Route().Get()), grid) << c.what;
        EXPECT_NE(Log().find(c.logged), std::string::npos) << c.what;
    }
    for (const std::string& path : {File("missing.xml"), dir.path(), std::string()}) {
        EXPECT_FALSE(Load(path)) << path;
        EXPECT_EQ(Grid(Route().Get()), grid) << path;
    }
}

TEST_F(RouteFiles, MissingElementsTakeTheirDefaultsAndUnknownOnesAreSkipped) {
    const std::string path = File("sparse.xml");
    Write(path, "<ROUTE><Colour>red</Colour><RouteType>3</RouteType>"
                "<WP><X>45.002</X><Y>10.0</Y><Nm> Caf\xc3\xa9 &amp; Bar </Nm><Extra/></WP>"
                "<WP><Y>10.006</Y><X>45.003</X><Tn>1</Tn><Tp>1</Tp><Fwd>90</Fwd></WP></ROUTE>");
    ASSERT_TRUE(Load(path));
    EXPECT_EQ(Grid(Route().Get()), (std::vector<std::string>{
                                       "0.00,2.00  Café & Bar  |  | 0/0 | -1 | 0 | ",
                                       "6.00,3.00 T  |  | 90/0 | -1 | 0 | ",
                                   }));
    EXPECT_EQ(Details(Route().Get()), (std::vector<std::string>{"|0|0|0|-1|0", "|1|0|0|-1|0"}));
    // RouteTypeManual, all waypoints, no heading, the default preferences.
    EXPECT_EQ(Configuration(Route().Get()), "3/0/-1/0/2/0/0/0/0");
    EXPECT_EQ(Value(core.Get(), &IGPSCore::RouteIsOptimized), VARIANT_TRUE);
}

TEST_F(RouteFiles, AGpxRouteRoundTrip) {
    ASSERT_TRUE(Create(RouteTypePedestrian, 0, 0, 6, 3, 0));
    const std::string path = File("walk.gpx");
    ASSERT_TRUE(Save(path));
    const std::string gpx = gpslib::test::ReadWholeFile(path);
    EXPECT_NE(gpx.find("<rte>"), std::string::npos) << gpx;
    EXPECT_NE(gpx.find("<name>North Street and First Avenue</name>"), std::string::npos) << gpx;
    EXPECT_NE(gpx.find("<desc>Turn right onto North Street.</desc>"), std::string::npos) << gpx;

    core->RouteClose();
    ASSERT_TRUE(Load(path));
    // The points as drawn, their turns worked out from the way they lie.
    EXPECT_EQ(Grid(Route().Get()),
              (std::vector<std::string>{
                  "0.00,0.00 First Avenue |  | 0/180 | -1 | 0 | ",
                  "0.00,3.00 T North Street and First Avenue |  | 90/180 | 90 | 333 | ",
                  "6.00,3.00 Home |  | 90/270 | -1 | 471 | "}));
    EXPECT_EQ(Details(Route().Get()),
              (std::vector<std::string>{"First Avenue|0|0|0|-1|0",
                                        "Turn right onto North Street.|0|0|0|-1|0",
                                        "North Street|0|0|0|-1|0"}));
    EXPECT_EQ(Configuration(Route().Get()), "3/0/-1/0/2/0/0/0/0");

    // A GPX file without a route, and one that is not GPX.
    Write(File("track.gpx"), "<gpx version=\"1.1\"><trk><trkseg/></trk></gpx>");
    EXPECT_FALSE(Load(File("track.gpx")));
    Write(File("bad.gpx"), "<gpx><rte><rtept lat=\"95\" lon=\"0\"/></rte></gpx>");
    EXPECT_FALSE(Load(File("bad.gpx")));
    EXPECT_EQ(Value(Route().Get(), &IRouteObject::GetWaypointCount), 3);
}

TEST_F(RouteFiles, DirectionsLineByLine) {
    ASSERT_TRUE(Create(RouteTypeVehicle, 0, 0, 6, 3, 0));
    // The name goes in and comes back through the same string: "saved|name".
    auto directions = [&](WaypointMode mode, VARIANT_BOOL numbered, const std::string& path) {
        BSTR name = gpslib::AllocBstr(std::string_view(path));
        VARIANT_BOOL saved = 7;
        EXPECT_EQ(core->RouteSaveDirections(mode, numbered, &name, &saved), S_OK);
        return std::to_string(saved) + "|" + Bstr::Adopt(name).Utf8();
    };
    EXPECT_EQ(directions(WaypointModeTurnsOnly, VARIANT_TRUE, File("trip.xml")),
              "-1|" + File("trip_turns.txt"));
    EXPECT_EQ(gpslib::test::ReadWholeFile(File("trip_turns.txt")),
              "Driving route.\r\n"
              "Fastest route.\r\n"
              "Prefers right turns.\r\n"
              "Motorways allowed.\r\n"
              "Toll roads allowed.\r\n"
              "Roundabouts allowed.\r\n\r\n"
              "Total route distance: 0.49 miles.\r\n\r\n"
              "Waypoint 1, First Avenue.\r\n\r\n"
              "Waypoint 2, Main Street and First Avenue. Turn right onto Main Street.\r\n\r\n"
              "Waypoint 3, Elm Street and Main Street. Turn left onto Elm Street.\r\n\r\n"
              "Waypoint 4, Home. You have arrived at your destination.\r\n\r\n");

    // All waypoints, without numbers.
    EXPECT_EQ(directions(WaypointModeAll, VARIANT_FALSE, File("trip")),
              "-1|" + File("trip_all_waypoints.txt"));
    const std::vector<std::string> lines = Lines(File("trip_all_waypoints.txt"));
    ASSERT_GE(lines.size(), 10u);
    EXPECT_EQ(lines[9], "First Avenue.\r");

    // A folder that does not exist.
    EXPECT_EQ(directions(WaypointModeTurnsOnly, VARIANT_TRUE, File("no/such/folder/trip.xml"))[0],
              '0');
    EXPECT_NE(Log().find(" ERROR:RouteSaveDirectionsInternal, unable to create File"),
              std::string::npos);
    EXPECT_NE(Log().find(" GetLastError = 2"), std::string::npos);
    // No name at all: nothing is written, the name stays empty.
    EXPECT_EQ(directions(WaypointModeTurnsOnly, VARIANT_TRUE, ""), "0|");

    core->RouteClose();
    EXPECT_EQ(directions(WaypointModeTurnsOnly, VARIANT_TRUE, File("trip.xml"))[0], '0');
    EXPECT_FALSE(Save(File("none.xml")));
}

// Each move answers the waypoint reached and moves the walker there, facing on along the route
// in the direction of travel; the ends stay where they are.
TEST_F(RouteFiles, ExploringTheRouteAndTheReversedRoute) {
    constexpr const char* kEnd = "4: Waypoint 4, Home. You have arrived at your destination.";
    constexpr const char* kTurnRight = "2: Waypoint 2, Main Street and First Avenue. Turn right "
                                       "onto Main Street.";
    constexpr const char* kLeftAtElm = "3: Waypoint 3, Elm Street and Main Street. Turn left onto "
                                       "Elm Street.";
    struct Move {
        const char* move;
        const char* answer;
        const char* walker; // null: not checked
    };
    const struct Explored {
        RouteType type;
        bool reversed;
        std::vector<Move> moves;
    } routes[] = {
        {RouteTypeVehicle,
         false,
         {{"+", "1: Waypoint 1, First Avenue.", "0.00,0.00 0"},
          {"+", kTurnRight, "0.00,2.00 90"},
          {"+", kLeftAtElm, "6.00,2.00 0"},
          {"+", kEnd, "6.00,3.00 0"},
          {"+", kEnd, "6.00,3.00 0"},
          {"-", "3: Waypoint 3, Elm Street and Main Street. Turn right onto Main Street.",
           "6.00,2.00 180"},
          {"-", "2: Waypoint 2, Main Street and First Avenue. Turn left onto First Avenue.",
           "0.00,2.00 270"},
          {"-", "1: Waypoint 1, First Avenue.", "0.00,0.00 180"},
          {"-", "1: Waypoint 1, First Avenue.", "0.00,0.00 180"},
          {"current", "1", nullptr}, // the route's own place
          {"3", kLeftAtElm, nullptr},
          {"end", kEnd, nullptr},
          {"start", "1: Waypoint 1, First Avenue.", nullptr},
          {"+t", kTurnRight, nullptr}}}, // the start goes straight on to the first turn
        // Reversed, the start is the last waypoint and the turns are met the other way.
        {RouteTypePedestrian,
         true,
         {{"start", "3: Waypoint 3, Home.", "6.00,3.00 270"},
          {"+", "2: Waypoint 2, North Street and First Avenue. Turn left onto First Avenue.",
           "0.00,3.00 180"},
          {"+", "1: Waypoint 1, First Avenue. You have arrived at your destination.",
           "0.00,0.00 180"},
          {"-", "2: Waypoint 2, North Street and First Avenue. Turn right onto North Street.",
           "0.00,3.00 0"},
          {"2", "2: Waypoint 2, North Street and First Avenue. Turn left onto First Avenue.",
           "0.00,3.00 180"},
          {"end", "1: Waypoint 1, First Avenue. You have arrived at your destination.", nullptr}}},
    };
    for (const Explored& r : routes) {
        ASSERT_TRUE(Create(r.type, 0, 0, 6, 3, 0));
        VARIANT_BOOL reversed = 0;
        if (r.reversed) {
            ASSERT_EQ(core->RouteReverse(&reversed), S_OK);
        }
        EXPECT_EQ(reversed, r.reversed ? VARIANT_TRUE : 0);
        for (const Move& m : r.moves) {
            SCOPED_TRACE(std::string(m.move) + " to " + m.answer);
            if (m.move == std::string("current")) {
                SHORT current = -1;
                Route()->GetCurrentWaypointIndex(&current);
                EXPECT_EQ(std::to_string(current), m.answer);
                continue;
            }
            EXPECT_EQ(Explore(m.move), m.answer);
            if (m.walker) {
                EXPECT_EQ(Walker(), m.walker);
            }
        }
    }

    ComPtr<IWaypointObject> w;
    Bstr text;
    EXPECT_EQ(core->RouteVirtualExploreSet(1, nullptr, text.Put()), E_POINTER);
    EXPECT_NE(Log().find("GPSCore::RouteVirtualExploreSet E_POINTER (!outWaypoint || "
                         "!outDescription ))"),
              std::string::npos);
    // Without a route every exploration answers so.
    core->RouteClose();
    for (const char* move : {"+", "-", "end"})
        EXPECT_EQ(Explore(move), "-1: No route is open.") << move;
}

TEST_F(RouteFiles, TheVirtualWalkerAtAnAddress) {
    ComPtr<IAddressObject> address;
    ASSERT_EQ(gpslib::CreateObject(CLSID_AddressObject, IID_IAddressObject, &address), S_OK);
    EXPECT_EQ(core->VirtualSetByAddress(address.Get()), E_INVALIDARG); // no position
    EXPECT_EQ(core->VirtualSetByAddress(nullptr), E_POINTER);
    address->SetAddress(Bstr(u"14 Main Street").Get());
    address->SetStreet(Bstr(u"Main Street").Get());
    address->SetCity(Bstr(u"Sampleton").Get());
    address->SetLatitude(Lat(2.0));
    address->SetLongitude(Lon(3.0));
    ASSERT_EQ(core->VirtualSetByAddress(address.Get()), S_OK);
    EXPECT_EQ(Walker(), "3.00,2.00 90"); // along the street, as a guess
    ComPtr<IVirtualObject> walker;
    core->VirtualGet(walker.Put());
    ComPtr<ILocationObject> at;
    walker->GetLocation(at.Put());
    EXPECT_EQ(Text(at.Get(), &ILocationObject::GetName), "14 Main Street, Sampleton");
    EXPECT_EQ(Text(walker.Get(), &IVirtualObject::GetCurrentStreetName), "Main Street");

    // The same address as a favourite.
    VARIANT_BOOL added = 0;
    ASSERT_EQ(core->FavoritesAddAddress(address.Get(), &added), S_OK);
    EXPECT_EQ(added, VARIANT_TRUE);
    gpslib::Variant list;
    SHORT count = 0;
    ASSERT_EQ(core->FavoritesGetList(VirtualMode, &list, &count), S_OK);
    EXPECT_EQ(count, 1);
    // Named by the address, said once; the walker stands on it.
    EXPECT_EQ(gpslib::test::Strings(&list),
              std::vector<std::string>{"14 Main Street, Sampleton, Close by"});
    ComPtr<IPOIObject> favorite;
    ASSERT_EQ(core->FavoritesGetItem(0, favorite.Put()), S_OK);
    EXPECT_EQ(Text(favorite.Get(), &IPOIObject::GetAddressNumber), "14");
}

TEST_F(RouteFiles, ARouteRecordedFromTheWalkerIsSavedWithTheWalkersLastPlace) {
    core->VirtualSet(Place(0, 0).Get(), 0);
    ASSERT_TRUE(CreateRoute(core.Get(), RouteTypeFromVirtualExploration, VirtualMode));
    Bstr message;
    core->VirtualForward(message.Put());
    core->VirtualTurnRight(message.Put());
    core->VirtualForward(message.Put());
    const std::string path = File("recorded.xml");
    ASSERT_TRUE(Save(path));
    const std::vector<std::string> grid = Grid(Route().Get());
    ASSERT_GE(grid.size(), 3u);
    core->RouteClose();
    ASSERT_TRUE(Load(path));
    EXPECT_EQ(Grid(Route().Get()), grid);
    EXPECT_EQ(Configuration(Route().Get()).substr(0, 2), "7/");
}

} // namespace
