// GPX files and the traces made from them: what the reader keeps and refuses, the writer's text
// read back, the fixes a track becomes and their sentences, and the gpxtrace tool as a user
// runs it (good files, bad files, bad options).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "formats/Geodesy.h"
#include "formats/Gpx.h"
#include "formats/TrackTrace.h"
#include "shared_data.h"
#include "temp_dir.h"

namespace {

std::string Gpx(const std::string& body) {
    return "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\" "
           "xmlns=\"http://www.topografix.com/GPX/1/1\">\n" +
           body + "</gpx>\n";
}

TEST(GpxRead, KeepsTracksRoutesAndWaypointsWithTheirFields) {
    const std::string text = Gpx(R"(
  <metadata><name>Walk</name></metadata>
  <wpt lat="45.1" lon="10.2"><name>Gate</name><desc>Blue &amp; white</desc></wpt>
  <rte><name>To the station</name><desc>short</desc>
    <rtept lat="45.001" lon="10.002"><name>Main Street</name><desc>turn left</desc></rtept>
    <rtept lat="45.002" lon="10.003"/>
  </rte>
  <trk><name>Morning</name>
    <trkseg>
      <trkpt lat="45.0" lon="10.0"><ele>120.5</ele><time>2024-05-01T10:20:30Z</time></trkpt>
      <trkpt lat="-45.5" lon="-170.25"><time>2024-05-01T12:20:31.5+02:00</time></trkpt>
    </trkseg>
    <trkseg><trkpt lat="1" lon="2"><extensions><x:speed xmlns:x="u">3</x:speed></extensions></trkpt></trkseg>
  </trk>)");
    gpslib::gpx::Document doc;
    std::string error;
    ASSERT_TRUE(gpslib::gpx::Read(text, &doc, &error)) << error;
    EXPECT_EQ(doc.name, "Walk");
    ASSERT_EQ(doc.waypoints.size(), 1u);
    EXPECT_EQ(doc.waypoints[0].description, "Blue & white");
    ASSERT_EQ(doc.routes.size(), 1u);
    EXPECT_EQ(doc.routes[0].name, "To the station");
    ASSERT_EQ(doc.routes[0].points.size(), 2u);
    EXPECT_EQ(doc.routes[0].points[0].name, "Main Street");
    EXPECT_EQ(doc.routes[0].points[0].description, "turn left");
    ASSERT_EQ(doc.tracks.size(), 1u);
    ASSERT_EQ(doc.tracks[0].segments.size(), 2u);
    const auto& seg = doc.tracks[0].segments[0];
    ASSERT_EQ(seg.size(), 2u);
    EXPECT_DOUBLE_EQ(*seg[0].elevation, 120.5);
    EXPECT_EQ(*seg[0].time, 1714558830LL * 1000000);
    // 12:20:31.5 at +02:00 is 10:20:31.5 UTC: one and a half seconds after the first point.
    EXPECT_EQ(*seg[1].time - *seg[0].time, 1500000);
    EXPECT_DOUBLE_EQ(seg[1].longitude, -170.25);
    EXPECT_FALSE(seg[1].elevation.has_value());
}

TEST(GpxRead, RefusesBadFilesWholeWithTheLine) {
    struct Case {
        const char* what;
        std::string text;
        const char* message; // A part of the error.
    };
    const Case cases[] = {
        {"empty", "", "not well-formed"},
        {"not XML", "lat,lon\n45,10\n", "not well-formed"},
        {"truncated", Gpx("<trk><trkseg><trkpt lat=\"45\" lon=\"10\">").substr(0, 120),
         "not well-formed"},
        {"another root", "<kml><trk/></kml>", "not a GPX file"},
        {"no lat", Gpx("<trk><trkseg>\n<trkpt lon=\"10\"/></trkseg></trk>"),
         "line 4: <trkpt> without lat"},
        {"no lon", Gpx("<rte><rtept lat=\"10\"/></rte>"), "<rtept> without lon"},
        {"lat not a number", Gpx("<wpt lat=\"north\" lon=\"10\"/>"), "not one"},
        {"lat beyond a pole", Gpx("<wpt lat=\"90.5\" lon=\"10\"/>"), "not one"},
        {"lon beyond 180", Gpx("<wpt lat=\"0\" lon=\"-181\"/>"), "not one"},
        {"infinite", Gpx("<wpt lat=\"inf\" lon=\"0\"/>"), "not one"},
        {"bad elevation", Gpx("<wpt lat=\"1\" lon=\"0\"><ele>high</ele></wpt>"), "<ele>"},
        {"bad time", Gpx("<wpt lat=\"1\" lon=\"0\"><time>yesterday</time></wpt>"), "<time>"},
        {"month 13", Gpx("<wpt lat=\"1\" lon=\"0\"><time>2024-13-01T00:00:00Z</time></wpt>"),
         "<time>"},
    };
    for (const Case& c : cases) {
        gpslib::gpx::Document doc;
        doc.name = "stale";
        std::string error;
        EXPECT_FALSE(gpslib::gpx::Read(c.text, &doc, &error)) << c.what;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
        EXPECT_TRUE(doc.name.empty() && doc.tracks.empty() && doc.routes.empty() &&
                    doc.waypoints.empty())
            << c.what << ": nothing half-read is kept";
    }
}

TEST(GpxRead, RefusesAHugeFileBeforeParsingIt) {
    std::string huge = Gpx("");
    huge.insert(huge.size() - 7, gpslib::gpx::kMaxFileBytes, ' ');
    gpslib::gpx::Document doc;
    std::string error;
    EXPECT_FALSE(gpslib::gpx::Read(huge, &doc, &error));
    EXPECT_NE(error.find("larger than"), std::string::npos) << error;
}

TEST(GpxWrite, WhatIsWrittenReadsBackTheSame) {
    gpslib::gpx::Document doc;
    doc.name = "Loop <1>";
    gpslib::gpx::Point a{45.1234567,       -10.7654321,           12.25,
                         1714558830250000, "A \"quoted\" & name", "d"};
    gpslib::gpx::Point b{-0.5, 179.5, std::nullopt, std::nullopt, "", ""};
    doc.waypoints = {a};
    doc.routes = {{"Route", "desc", {a, b}}};
    doc.tracks = {{"Track", "", {{a, b}, {b}}}};
    gpslib::gpx::Document back;
    std::string error;
    ASSERT_TRUE(gpslib::gpx::Read(gpslib::gpx::Write(doc), &back, &error)) << error;
    EXPECT_EQ(back.name, doc.name);
    ASSERT_EQ(back.routes.size(), 1u);
    ASSERT_EQ(back.routes[0].points.size(), 2u);
    const gpslib::gpx::Point& p = back.routes[0].points[0];
    EXPECT_DOUBLE_EQ(p.latitude, a.latitude);
    EXPECT_DOUBLE_EQ(p.longitude, a.longitude);
    EXPECT_DOUBLE_EQ(*p.elevation, 12.25);
    EXPECT_EQ(*p.time, *a.time);
    EXPECT_EQ(p.name, a.name);
    EXPECT_EQ(back.waypoints[0].description, "d");
    ASSERT_EQ(back.tracks[0].segments.size(), 2u);
    EXPECT_FALSE(back.tracks[0].segments[1][0].time.has_value());
}

TEST(GpxTime, ParsesAndFormatsUtc) {
    struct Case {
        const char* text;
        std::optional<std::int64_t> seconds; // nullopt: refused
    };
    const Case cases[] = {
        {"1970-01-01T00:00:00Z", 0},
        {"2000-02-29T23:59:59Z", 951868799},
        {"2024-05-01T10:20:30", 1714558830},
        {"2024-05-01T10:20:30-01:30", 1714558830 + 5400},
        {"1969-12-31T23:59:59Z", -1},
        {"2024-05-01", std::nullopt},
        {"2024-05-01T25:00:00Z", std::nullopt},
        {"2024-05-01T10:20:30.Z", std::nullopt},
        {"2024-05-01T10:20:30Zjunk", std::nullopt},
    };
    for (const Case& c : cases) {
        const auto t = gpslib::gpx::ParseTime(c.text);
        ASSERT_EQ(t.has_value(), c.seconds.has_value()) << c.text;
        if (t) {
            EXPECT_EQ(*t, *c.seconds * 1000000) << c.text;
        }
    }
    EXPECT_EQ(gpslib::gpx::FormatTime(951868799LL * 1000000 + 250000), "2000-02-29T23:59:59.250Z");
    EXPECT_EQ(gpslib::gpx::FormatTime(-1000000), "1969-12-31T23:59:59.000Z");
}

// ---------------------------------------------------------------------------------------------
// Tracks into fixes and sentences.

// The position an NMEA coordinate field pair ("4500.0600,N") stands for.
double Degrees(const std::string& value, const std::string& hemisphere, int degreeDigits) {
    const double d = std::stod(value.substr(0, static_cast<std::size_t>(degreeDigits)));
    const double m = std::stod(value.substr(static_cast<std::size_t>(degreeDigits)));
    const double v = d + m / 60.0;
    return hemisphere == "S" || hemisphere == "W" ? -v : v;
}

std::vector<std::string> Fields(const std::string& sentence) {
    std::vector<std::string> fields;
    std::stringstream in(sentence.substr(1, sentence.find('*') - 1));
    std::string field;
    while (std::getline(in, field, ','))
        fields.push_back(field);
    return fields;
}

TEST(TrackTrace, OneFixASecondAtTheWalkingPaceWhenTheTrackHasNoTimes) {
    // 100 m due east along the equator, then 50 m due north.
    const double east = 100.0 / 111319.49, north = 50.0 / 110574.0;
    std::vector<gpslib::gpx::Point> points(3);
    points[1].longitude = east;
    points[2] = points[1];
    points[2].latitude = north;
    gpslib::tracktrace::Options options;
    options.speedMetresPerSecond = 10.0;
    std::vector<gpslib::tracktrace::Fix> fixes;
    std::string error;
    ASSERT_TRUE(gpslib::tracktrace::Resample(points, options, &fixes, &error)) << error;
    // 150 m at 10 m/s: fixes at 0..15 s.
    ASSERT_EQ(fixes.size(), 16u);
    EXPECT_EQ(fixes[1].time - fixes[0].time, 1000000);
    EXPECT_EQ(fixes[0].time, options.startMicros);
    // Positions along the way as the service measures distances.
    const double first = gpslib::geo::Distance({0, 0}, {0, east});
    const double second = gpslib::geo::Distance({0, east}, {north, east});
    ASSERT_NEAR(first + second, 150.0, 1.0);
    EXPECT_NEAR(fixes[5].longitude, east * 50.0 / first, 1e-9);
    EXPECT_NEAR(fixes[0].speedKnots, 10.0 * 3600 / 1852, 0.05);
    EXPECT_NEAR(fixes[0].course, 90.0, 0.5);
    EXPECT_NEAR(fixes[12].course, 0.0, 0.5);
    EXPECT_NEAR(fixes.back().latitude, north * (150.0 - first) / second, 1e-9);
    EXPECT_DOUBLE_EQ(fixes.back().longitude, east);
}

TEST(TrackTrace, FollowsTheTrackTimesAndRefusesSenselessOptions) {
    std::vector<gpslib::gpx::Point> points(2);
    points[0].time = 1000000000LL * 1000000;
    points[1].time = *points[0].time + 4500000; // 4.5 s later
    points[1].latitude = 40.0 / 110574.0;       // 40 m north
    std::vector<gpslib::tracktrace::Fix> fixes;
    ASSERT_TRUE(gpslib::tracktrace::Resample(points, {}, &fixes, nullptr));
    ASSERT_EQ(fixes.size(), 5u);
    EXPECT_EQ(fixes[0].time, *points[0].time);
    EXPECT_NEAR(fixes[2].latitude, points[1].latitude * 2 / 4.5, 1e-9);
    const double metres = gpslib::geo::Distance({0, 0}, {points[1].latitude, 0});
    EXPECT_NEAR(fixes[0].speedKnots, metres / 4.5 * 3600 / 1852, 1e-6);

    // A point back in time: the times cannot be trusted, the constant pace is used.
    points[1].time = *points[0].time - 1;
    ASSERT_TRUE(gpslib::tracktrace::Resample(points, {}, &fixes, nullptr));
    EXPECT_EQ(fixes.size(), 29u); // 40 m at 1.4 m/s: 0..28 s.

    for (double bad : {0.0, -1.0, std::nan(""), HUGE_VAL}) {
        gpslib::tracktrace::Options options;
        options.speedMetresPerSecond = bad;
        std::string error;
        EXPECT_FALSE(gpslib::tracktrace::Resample(points, options, &fixes, &error)) << bad;
        EXPECT_FALSE(error.empty());
        options = {};
        options.intervalSeconds = bad;
        EXPECT_FALSE(gpslib::tracktrace::Resample(points, options, &fixes, &error)) << bad;
    }
    EXPECT_TRUE(gpslib::tracktrace::Resample({}, {}, &fixes, nullptr));
    EXPECT_TRUE(fixes.empty());
}

TEST(TrackTrace, SentencesCarryTheFixWithCorrectChecksums) {
    struct Case {
        double lat, lon;
    };
    const Case cases[] = {
        {42.623636, 1.532909}, {-33.8568, -151.2153}, {0.0, 0.0}, {45.999999, 179.999999}};
    for (const Case& c : cases) {
        gpslib::tracktrace::Fix fix;
        fix.latitude = c.lat;
        fix.longitude = c.lon;
        fix.time = *gpslib::gpx::ParseTime("2024-05-01T10:20:30.5Z");
        fix.speedKnots = 2.5;
        fix.course = 271.3;
        fix.elevation = 1695.5;
        for (const std::string& s :
             {gpslib::tracktrace::RmcSentence(fix), gpslib::tracktrace::GgaSentence(fix)}) {
            ASSERT_GE(s.size(), 6u);
            EXPECT_EQ(s.substr(s.size() - 2), "\r\n");
            unsigned sum = 0;
            for (char ch : s.substr(1, s.find('*') - 1))
                sum ^= static_cast<unsigned char>(ch);
            EXPECT_EQ(std::stoul(s.substr(s.find('*') + 1, 2), nullptr, 16), sum) << s;
        }
        const auto rmc = Fields(gpslib::tracktrace::RmcSentence(fix));
        ASSERT_GE(rmc.size(), 10u);
        EXPECT_EQ(rmc[0], "GPRMC");
        EXPECT_EQ(rmc[1], "102030.50");
        EXPECT_EQ(rmc[2], "A");
        EXPECT_NEAR(Degrees(rmc[3], rmc[4], 2), c.lat, 1e-6);
        EXPECT_NEAR(Degrees(rmc[5], rmc[6], 3), c.lon, 1e-6);
        EXPECT_EQ(rmc[7], "2.50");
        EXPECT_EQ(rmc[8], "271.3");
        EXPECT_EQ(rmc[9], "010524");
        const auto gga = Fields(gpslib::tracktrace::GgaSentence(fix));
        EXPECT_NEAR(Degrees(gga[2], gga[3], 2), c.lat, 1e-6);
        EXPECT_EQ(gga[6], "1");
        EXPECT_EQ(gga[9], "1695.5");
    }
}

// ---------------------------------------------------------------------------------------------
// The tool.

struct ToolRun {
    int status;
    std::string out, err;
};

ToolRun Tool(const std::string& args, const gpslib::test::TempDir& dir) {
    const std::string out = dir.File("stdout"), err = dir.File("stderr");
    const int status =
        std::system((std::string(GPXTRACE_TOOL) + " " + args + " > " + out + " 2> " + err).c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, gpslib::test::ReadWholeFile(out),
            gpslib::test::ReadWholeFile(err)};
}

// The real ride as read, and as the tool turns it into a trace.
TEST(GpxTraceTool, TurnsTheRealRideIntoATrace) {
    GPSLIB_SKIP_WITHOUT_SHARED_DATA(GPSLIB_GPX_DATA_DIR "/andorra_ride.gpx");
    gpslib::gpx::Document doc;
    ASSERT_TRUE(gpslib::gpx::ReadFile(GPSLIB_GPX_DATA_DIR "/andorra_ride.gpx", &doc, nullptr));
    ASSERT_EQ(doc.tracks.size(), 1u);
    ASSERT_EQ(doc.tracks[0].segments.size(), 1u);
    EXPECT_EQ(doc.tracks[0].segments[0].size(), 21u);
    EXPECT_DOUBLE_EQ(doc.tracks[0].segments[0][0].latitude, 42.623636);
    gpslib::test::TempDir dir;
    const std::string trace = dir.File("ride.trc");
    ToolRun run = Tool("--speed 5 " GPSLIB_GPX_DATA_DIR "/andorra_ride.gpx " + trace, dir);
    ASSERT_EQ(run.status, 0) << run.err;
    std::ifstream in(trace, std::ios::binary);
    std::string line;
    int rmc = 0, gga = 0;
    while (std::getline(in, line)) {
        ASSERT_FALSE(line.empty());
        EXPECT_EQ(line.back(), '\r');
        rmc += line.rfind("$GPRMC", 0) == 0;
        gga += line.rfind("$GPGGA", 0) == 0;
    }
    EXPECT_EQ(rmc, gga);
    EXPECT_GT(rmc, 100) << "one fix a second over the whole ride";
    EXPECT_NE(run.err.find(std::to_string(rmc) + " fixes written"), std::string::npos) << run.err;

    ToolRun toStdout = Tool(GPSLIB_GPX_DATA_DIR "/andorra_ride.gpx -", dir);
    EXPECT_EQ(toStdout.status, 0);
    EXPECT_EQ(toStdout.out.rfind("$GPRMC", 0), 0u);
}

TEST(GpxTraceTool, AnswersBadInputWithAClearError) {
    gpslib::test::TempDir dir;
    std::ofstream(dir.File("notxml.gpx")) << "this is not xml";
    std::ofstream(dir.File("empty.gpx")) << Gpx("");
    std::ofstream(dir.File("nolat.gpx")) << Gpx("<trk><trkseg><trkpt lon=\"1\"/></trkseg></trk>");
    std::ofstream(dir.File("ok.gpx")) << Gpx("<wpt lat=\"1\" lon=\"2\"/>");
    struct Case {
        std::string args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"--help", 0, ""},
        {"", 2, "usage:"},
        {dir.File("ok.gpx"), 2, "usage:"},
        {"--frobnicate a b", 2, "unknown option --frobnicate"},
        {"--speed 0 " + dir.File("ok.gpx") + " -", 2, "--speed needs a positive number"},
        {"--interval x " + dir.File("ok.gpx") + " -", 2, "--interval needs a positive number"},
        {"--speed", 2, "--speed needs"},
        {dir.File("missing.gpx") + " -", 1, "cannot be opened"},
        {dir.File("notxml.gpx") + " -", 1, "not well-formed XML"},
        {dir.File("nolat.gpx") + " -", 1, "without lat"},
        {dir.File("empty.gpx") + " -", 1, "no track, route or waypoint"},
        {dir.File("ok.gpx") + " " + dir.path() + "/no/such/dir/out.trc", 1, "cannot be written"},
    };
    for (const Case& c : cases) {
        ToolRun run = Tool(c.args, dir);
        EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.args << "\n" << run.err;
    }
    EXPECT_NE(Tool("--help", dir).out.find("usage: gpxtrace"), std::string::npos);
}

} // namespace
