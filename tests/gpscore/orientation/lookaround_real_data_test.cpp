// The real ride through Andorra, turned into a trace by the track converter and played back as a
// simulated receiver on the compiled Andorra map. What lookaround says is checked against the
// OpenStreetMap extract itself, read here with libosmium, not through the map engine: every
// street announced is a street within reach of the rider at that moment, no street is announced
// twice in a row, and every corner announced is a real junction ahead of the rider.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "GPSLib_classes.h"
#include "base/SettingsFiles.h"
#include "formats/Geodesy.h"
#include "formats/Gpx.h"
#include "formats/TrackTrace.h"
#include "orientation/Lookaround.h"
#include "osm_read.h"
#include "recording_sink.h"
#include "service_fixture.h"

namespace {

namespace fs = std::filesystem;
namespace geo = gpslib::geo;
using gpslib::Bstr;
using gpslib::ComPtr;

// What the extract says: the named ways (name and ref) with their points, and the nodes where
// two or more highway ways meet.
struct Extract {
    struct Way {
        std::set<std::string> names;
        std::vector<geo::Point> points;
    };
    std::vector<Way> ways;
    std::vector<geo::Point> junctions;

    // The names of the ways that pass within `metres` of p.
    std::set<std::string> NamesNear(geo::Point p, double metres) const {
        std::set<std::string> names;
        for (const Way& w : ways)
            for (std::size_t k = 0; k + 1 < w.points.size(); ++k)
                if (geo::Project(p, w.points[k], w.points[k + 1]).distance <= metres) {
                    names.insert(w.names.begin(), w.names.end());
                    break;
                }
        return names;
    }
    double NearestJunction(geo::Point p) const {
        double best = 1e18;
        for (const geo::Point& j : junctions)
            best = std::min(best, geo::Distance(p, j));
        return best;
    }
};

class ExtractReader : public osmium::handler::Handler {
public:
    void way(const osmium::Way& w) {
        const char* highway = w.tags()["highway"];
        if (highway == nullptr) return;
        Extract::Way way;
        for (const char* key : {"name", "ref"})
            if (const char* value = w.tags()[key]) way.names.insert(value);
        for (const osmium::NodeRef& r : w.nodes()) {
            if (!r.location().valid()) return;
            way.points.push_back({r.location().lat(), r.location().lon()});
            ++m_uses[r.ref()].count;
            m_uses[r.ref()].at = way.points.back();
        }
        if (!way.names.empty()) extract.ways.push_back(std::move(way));
    }
    void Finish() {
        for (const auto& [id, use] : m_uses)
            if (use.count >= 2) extract.junctions.push_back(use.at);
    }
    Extract extract;

private:
    struct Use {
        int count = 0;
        geo::Point at;
    };
    std::map<osmium::object_id_type, Use> m_uses;
};

Extract ReadExtract(const std::string& file) {
    ExtractReader handler;
    gpslib::testing::ReadNodesAndWays(file, handler);
    handler.Finish();
    return std::move(handler.extract);
}

class AndorraRide : public gpslib::test::ServiceFixture {
protected:
    void SetUp() override {}

    struct Moment {
        geo::Point at;
        SHORT heading = -1;
    };
    struct Played {
        std::vector<gpslib::test::RecordingSink::Seen> heard;
        std::vector<Moment> moments; // Where the rider is and faces after each poll (from 1).
    };

    // A new service on the Andorra map alone (metric, lookaround from the first fix) plays the
    // points as a trace made by the track converter, at a walking pace, until it has played.
    void Play(const std::vector<gpslib::gpx::Point>& points, Played* played) {
        if (core) {
            core->Stop();
            core.Reset();
            gps.Reset();
            gpscore::SetServiceEnvForTesting(nullptr);
        }
        gpslib::tracktrace::Options pace;
        pace.speedMetresPerSecond = 1.4;
        std::vector<gpslib::tracktrace::Fix> fixes;
        std::string error;
        ASSERT_TRUE(gpslib::tracktrace::Resample(points, pace, &fixes, &error)) << error;
        ASSERT_GT(fixes.size(), 60u);
        const std::string trace = dir.File("ride.trc");
        std::ofstream(trace, std::ios::binary | std::ios::trunc)
            << gpslib::tracktrace::TraceText(fixes);

        const std::string maps = dir.File("maps");
        if (!fs::exists(maps)) gpslib::test::MapFolder(maps, GPSLIB_OSM_MAP_DIR, {"Andorra"});
        WriteSettings(maps, 0);
        ServiceFixture::SetUp();
        auto* sink = new gpslib::test::RecordingSink;
        ASSERT_EQ(core->RegisterUIAutoEventCallback(sink), S_OK);
        sink->Release(); // The service's reference keeps it until Stop.
        ASSERT_TRUE(Configure(GPSTypeSimulated, "", 0, trace, InstantaneousHeadings));
        played->moments.assign(1, Moment{});
        for (int poll = 1, quiet = 0; poll < 10000 && quiet < 3; ++poll) {
            sink->poll = poll;
            quiet = Poll() ? 0 : quiet + 1;
            Moment m;
            gps->GetLatitude(&m.at.lat);
            gps->GetLongitude(&m.at.lon);
            gps->GetHeadingDegrees(&m.heading);
            played->moments.push_back(m);
        }
        played->heard = sink->Seen_();
    }
};

// Forward, the ride follows Carretera General (named by the position found at its start, so
// not announced again), then leaves it on an unnamed road, which is never announced. Backward,
// it starts on the unnamed road and comes onto Carretera General, which is announced.
TEST_F(AndorraRide, LookaroundNamesRealStreetsAndCornersAhead) {
    const std::string map = std::string(GPSLIB_OSM_MAP_DIR) + "/Andorra.rmf";
    const std::string osm = std::string(GPSLIB_OSM_DATA_DIR) + "/andorra.osm.pbf";
    if (!fs::exists(map) || !fs::exists(osm)) GTEST_SKIP() << "no Andorra extract";
    gpslib::gpx::Document ride;
    std::string error;
    ASSERT_TRUE(gpslib::gpx::ReadFile(GPSLIB_GPX_DATA_DIR "/andorra_ride.gpx", &ride, &error))
        << error;
    const Extract extract = ReadExtract(osm);
    ASSERT_FALSE(extract.ways.empty());

    struct Direction {
        const char* what;
        bool backward;
        int streetsAnnounced;
        int cornersAtLeast;
    };
    // Backward the unnamed road meets Carretera General at a T; the walker comes out of the
    // side road, where no corner lies ahead along it.
    const Direction directions[] = {{"forward", false, 0, 1}, {"backward", true, 1, 0}};
    for (const Direction& d : directions) {
        SCOPED_TRACE(d.what);
        std::vector<gpslib::gpx::Point> points = gpslib::tracktrace::TravelledPoints(ride);
        if (d.backward) std::reverse(points.begin(), points.end());
        Played played;
        Play(points, &played);
        int streets = 0, corners = 0;
        std::string lastStreet;
        for (const auto& seen : played.heard) {
            const std::string text = gpslib::ToUtf8(std::u16string_view(seen.text));
            const geo::Point where{seen.latitude, seen.longitude};
            if (seen.type == EventLookaroundStreetChanges) {
                ++streets;
                // The street named is one the rider is on: a way within 25 m carries that name.
                std::string named;
                for (const std::string& name : extract.NamesNear(where, 25.0))
                    if (text.find(name) != std::string::npos && name.size() > named.size())
                        named = name;
                EXPECT_FALSE(named.empty())
                    << "poll " << seen.poll << ": \"" << text << "\" names no street near "
                    << where.lat << "," << where.lon;
                EXPECT_FALSE(
                    gpscore::SameIgnoringCase(gpslib::ToUtf16(named), gpslib::ToUtf16(lastStreet)))
                    << "poll " << seen.poll << ": " << named << " announced twice in a row";
                lastStreet = named;
            } else if (seen.type == EventLookaroundIntersections) {
                ++corners;
                const Moment& m = played.moments[static_cast<std::size_t>(seen.poll)];
                // A real junction of the extract, ahead of the rider and within the distance at
                // which a walker is told of it.
                EXPECT_LT(extract.NearestJunction(where), 30.0)
                    << "poll " << seen.poll << ": \"" << text << "\" is no junction";
                const double distance = geo::Distance(m.at, where);
                EXPECT_LE(distance, 70.0) << "poll " << seen.poll << ": " << text;
                ASSERT_NE(m.heading, -1);
                const double off = geo::AngleBetween(geo::Bearing(m.at, where), m.heading);
                EXPECT_LT(off, 90.0) << "poll " << seen.poll << ": \"" << text << "\" lies " << off
                                     << " degrees off the heading, " << distance << " m away";
            }
        }
        EXPECT_EQ(streets, d.streetsAnnounced);
        EXPECT_GE(corners, d.cornersAtLeast) << "the corner where the unnamed road leaves";
    }
}

} // namespace
