// The route file format on its own: what is written for each field, what is read back, and every
// way a file is refused (with the line it names).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/RouteFile.h"

namespace {

namespace rf = gpslib::routefile;

TEST(RouteFileFormat, TextIsEscapedForXml) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"Tom & Jerry", "Tom &amp; Jerry"},
        {"<b>", "&lt;b&gt;"},
        {"&lt;", "&amp;lt;"}, // "&" first, so an entity stays the text it was
        {"\"quoted\" 'names'", "\"quoted\" 'names'"},
        {"tab\tand\nline", "tab\tand\nline"},
        {std::string("bell\x07"
                     "end",
                     8),
         "bell end"},
        {"\xd0\x94\xd0\xbe\xd0\xbc", "\xd0\x94\xd0\xbe\xd0\xbc"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rf::Escape(c.in), c.out) << c.in;
}

TEST(RouteFileFormat, ExtremeValuesSurviveAWriteAndARead) {
    rf::Route route;
    route.configuration = {7, 2, 359, 3, 3, 1, 2, 2, 2};
    rf::Waypoint w;
    w.name = " spaced  name ";
    w.latitude = -90.0;
    w.longitude = 180.0;
    w.turningPoint = true;
    w.description = "a -- b";
    w.lanes = 32767;
    w.pointType = 1;
    w.orientationForward = -1;
    w.orientationReverse = 359;
    w.speed = 130;
    w.distance = 123456.123456789;
    w.featureIndex = -1;
    w.sideOfStreet = 2;
    route.waypoints = {w, rf::Waypoint{}};
    const std::string text = rf::Write(route, "owner -- notice", "version-");
    EXPECT_NE(text.find("<!-- owner - - notice -->\n<!-- version-  -->\n\n<ROUTE>"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\n\t\t<X>-90.000000000</X>\n\t\t<Y>180.000000000</Y>"), std::string::npos);
    EXPECT_NE(text.find("\n\t\t<Dst>123456.123456789</Dst>"), std::string::npos);

    rf::Route back;
    std::string error;
    ASSERT_TRUE(rf::Read(text, &back, &error)) << error;
    const rf::Configuration& c = back.configuration;
    EXPECT_EQ((std::vector<int>{c.routeType, c.waypointMode, c.initialHeading, c.freewayPreference,
                                c.vehicleTurnPreference, c.pedestrianTurnPreference,
                                c.roundaboutPreference, c.tollRoadPreference, c.vehicleMode}),
              (std::vector<int>{7, 2, 359, 3, 3, 1, 2, 2, 2}));
    ASSERT_EQ(back.waypoints.size(), 2u);
    const rf::Waypoint& r = back.waypoints[0];
    EXPECT_EQ(r.name, " spaced  name ");
    EXPECT_EQ(r.description, "a -- b");
    EXPECT_EQ((std::vector<int>{r.turningPoint, r.lanes, r.pointType, r.orientationForward,
                                r.orientationReverse, r.speed, r.featureIndex, r.sideOfStreet}),
              (std::vector<int>{1, 32767, 1, -1, 359, 130, -1, 2}));
    EXPECT_DOUBLE_EQ(r.latitude, -90.0);
    EXPECT_DOUBLE_EQ(r.longitude, 180.0);
    EXPECT_NEAR(r.distance, 123456.123456789, 1e-9);
    EXPECT_EQ(rf::Write(back, "owner -- notice", "version-"), text);
}

TEST(RouteFileFormat, ReadingTakesDefaultsAndSkipsWhatItDoesNotKnow) {
    struct Case {
        const char* what;
        const char* xml;
        int routeType, waypointMode, vehicleTurn;
        bool turning;
        std::string name;
    } cases[] = {
        {"nothing but the root", "<ROUTE/>", 0, 0, 2, false, ""},
        {"an older version", "<ROUTE><Version>3</Version><WP><Tn>1</Tn></WP></ROUTE>", 0, 0, 2,
         true, ""},
        {"blanks around numbers", "<ROUTE><RouteType> 2\n</RouteType><WP><Tn> 1 </Tn></WP></ROUTE>",
         2, 0, 2, true, ""},
        {"a turning flag other than 1", "<ROUTE><WP><Tn>yes</Tn></WP></ROUTE>", 0, 0, 2, false, ""},
        {"unknown elements and attributes",
         "<ROUTE a='1'><Note>x</Note><WP><Colour/><Nm>Caf\xc3\xa9</Nm></WP></ROUTE>", 0, 0, 2,
         false, "Caf\xc3\xa9"},
        {"entities and CDATA", "<ROUTE><WP><Nm>&lt;A&amp;B&gt;<![CDATA[&]]></Nm></WP></ROUTE>", 0,
         0, 2, false, "<A&B>&"},
        {"a WP inside another element is not a waypoint",
         "<ROUTE><Group><WP><Nm>no</Nm></WP></Group><WP><Nm>yes</Nm></WP></ROUTE>", 0, 0, 2, false,
         "yes"},
    };
    for (const Case& c : cases) {
        rf::Route route;
        std::string error;
        ASSERT_TRUE(rf::Read(c.xml, &route, &error)) << c.what << ": " << error;
        EXPECT_EQ(route.configuration.routeType, c.routeType) << c.what;
        EXPECT_EQ(route.configuration.waypointMode, c.waypointMode) << c.what;
        EXPECT_EQ(route.configuration.vehicleTurnPreference, c.vehicleTurn) << c.what;
        EXPECT_EQ(route.configuration.initialHeading, -1) << c.what;
        if (route.waypoints.empty()) continue;
        EXPECT_EQ(route.waypoints.size(), 1u) << c.what;
        EXPECT_EQ(route.waypoints[0].turningPoint, c.turning) << c.what;
        EXPECT_EQ(route.waypoints[0].name, c.name) << c.what;
        EXPECT_EQ(route.waypoints[0].featureIndex, -1) << c.what;
    }
}

TEST(RouteFileFormat, FilesThatAreRefusedWhole) {
    struct Case {
        const char* what;
        std::string xml;
        std::string error;
    } cases[] = {
        {"empty", "", "not XML"},
        {"not XML", "just text", "not XML"},
        {"truncated", "<ROUTE><WP><X>45", "not XML"},
        {"another root", "<GPX/>", "not a route file: the root element is not <ROUTE>"},
        {"the root in another case", "<route/>", "the root element is not <ROUTE>"},
        {"a newer version", "<ROUTE>\n<Version>5</Version></ROUTE>",
         "line 2: <Version> is not a whole number from 1 to 4"},
        {"a heading of 360", "<ROUTE><InitialHeading>360</InitialHeading></ROUTE>",
         "<InitialHeading> is not a whole number from -1 to 359"},
        {"a vehicle turn of 0", "<ROUTE><VehicleTurnPreference>0</VehicleTurnPreference></ROUTE>",
         "<VehicleTurnPreference>"},
        {"a fraction where a whole number goes", "<ROUTE><WP><Lns>1.5</Lns></WP></ROUTE>",
         "<Lns> is not a whole number from 0 to 32767"},
        {"an empty number", "<ROUTE><WP><Spd></Spd></WP></ROUTE>", "<Spd>"},
        {"a number beyond 64 bits", "<ROUTE><WP><Idx>123456789012345678901</Idx></WP></ROUTE>",
         "<Idx>"},
        {"a longitude past the date line", "<ROUTE><WP><Y>180.5</Y></WP></ROUTE>",
         "<Y> is not a number from -180 to 180"},
        {"infinity", "<ROUTE><WP><X>inf</X></WP></ROUTE>", "<X>"},
        {"a negative distance", "<ROUTE><WP><Dst>-1</Dst></WP></ROUTE>", "<Dst>"},
        {"a side of 3", "<ROUTE><WP><Ss>3</Ss></WP></ROUTE>", "<Ss>"},
        {"numbers with trailing text", "<ROUTE><WP><Fwd>90deg</Fwd></WP></ROUTE>", "<Fwd>"},
        {"a route padded past the size limit",
         "<ROUTE>" + std::string(rf::kMaxFileBytes, ' ') + "</ROUTE>", "larger than 64 MiB"},
    };
    for (const Case& c : cases) {
        rf::Route route;
        route.waypoints.resize(3);
        std::string error;
        EXPECT_FALSE(rf::Read(c.xml, &route, &error)) << c.what;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
        EXPECT_TRUE(route.waypoints.empty()) << c.what;
    }
    // One waypoint more than a route can count.
    std::string many = "<ROUTE>";
    for (std::size_t i = 0; i <= rf::kMaxWaypoints; ++i)
        many += "<WP/>";
    many += "</ROUTE>";
    rf::Route route;
    std::string error;
    EXPECT_FALSE(rf::Read(many, &route, &error));
    EXPECT_EQ(error, "line 1: more than 32767 waypoints");
}

} // namespace
