// The names a walker hears at real corners, through the service on the compiled Monaco and
// Andorra maps, checked against the extract itself (read here with libosmium): at junctions of
// named streets hardly any way is "Unnamed", and footways drawn beside a named street are spoken
// as that street's sidewalk.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "GPSLib_classes.h"
#include "base/SettingsFiles.h"
#include "formats/Geodesy.h"
#include "osm_read.h"
#include "service_fixture.h"

namespace {

namespace fs = std::filesystem;
namespace geo = gpslib::geo;
using gpslib::Bstr;
using gpslib::ComPtr;

struct Named {
    std::string name;
    std::vector<geo::Point> points;
};

// What the extract says: the junctions of named streets (nodes where ways of two names meet),
// the named roads, and the unnamed footways and paths tagged as neither sidewalk nor crossing.
struct Truth {
    std::vector<geo::Point> junctions;
    std::vector<Named> roads, footways;

    // The distance from p to the nearest road of each name within `metres`.
    std::map<std::string, double> RoadsNear(geo::Point p, double metres) const {
        std::map<std::string, double> near;
        for (const Named& r : roads)
            for (std::size_t k = 0; k + 1 < r.points.size(); ++k) {
                double d = geo::Project(p, r.points[k], r.points[k + 1]).distance;
                if (d > metres) continue;
                auto [it, added] = near.emplace(r.name, d);
                if (!added) it->second = std::min(it->second, d);
            }
        return near;
    }
};

class TruthReader : public osmium::handler::Handler {
public:
    void way(const osmium::Way& w) {
        const std::string highway = w.tags().get_value_by_key("highway", "");
        const std::string name = w.tags().get_value_by_key("name", "");
        const std::string footway = w.tags().get_value_by_key("footway", "");
        static const std::set<std::string> kRoads = {"primary",      "secondary",   "tertiary",
                                                     "unclassified", "residential", "living_street",
                                                     "trunk",        "pedestrian"};
        const bool road = kRoads.count(highway) > 0;
        const bool foot = (highway == "footway" || highway == "path") && footway.empty() &&
                          name.empty() && w.tags()["ref"] == nullptr;
        if (!road && !foot) return;
        Named n{name, {}};
        for (const osmium::NodeRef& r : w.nodes()) {
            if (!r.location().valid()) return;
            n.points.push_back({r.location().lat(), r.location().lon()});
            if (road && !name.empty()) {
                auto& use = m_uses[r.ref()];
                use.at = n.points.back();
                use.names.insert(name);
            }
        }
        if (foot)
            truth.footways.push_back(std::move(n));
        else if (!name.empty())
            truth.roads.push_back(std::move(n));
    }
    void Finish() {
        for (const auto& [id, use] : m_uses)
            if (use.names.size() >= 2) truth.junctions.push_back(use.at);
    }
    Truth truth;

private:
    struct Use {
        geo::Point at;
        std::set<std::string> names;
    };
    std::map<osmium::object_id_type, Use> m_uses; // by node id: the order is the extract's
};

struct Case {
    const char* file;
    const char* map;
};

class WalkerNames : public gpslib::test::ServiceFixture,
                    public ::testing::WithParamInterface<Case> {
protected:
    void SetUp() override {
        const std::string rmf = std::string(GPSLIB_OSM_MAP_DIR) + "/" + GetParam().map + ".rmf";
        const std::string osm = std::string(GPSLIB_OSM_DATA_DIR) + "/" + GetParam().file;
        if (!fs::exists(rmf) || !fs::exists(osm)) GTEST_SKIP() << "no " << GetParam().map;
        WriteSettings(
            gpslib::test::MapFolder(dir.File("maps"), GPSLIB_OSM_MAP_DIR, {GetParam().map}));
        ServiceFixture::SetUp();
        TruthReader reader;
        gpslib::testing::ReadNodesAndWays(osm, reader);
        reader.Finish();
        truth = std::move(reader.truth);
    }
    ComPtr<ILocationObject> Place(geo::Point p) {
        ComPtr<ILocationObject> place;
        gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &place);
        place->SetLatitude(p.lat);
        place->SetLongitude(p.lon);
        return place;
    }
    Truth truth;
};

// 120 junctions of named streets, evenly through the extract's nodes: the detailed answer names
// the street the walker is on and every branch.
TEST_P(WalkerNames, RealCornersAreHardlyEverUnnamed) {
    ASSERT_GE(truth.junctions.size(), 120u);
    int asked = 0, unnamed = 0;
    for (std::size_t i = 0; i < 120; ++i) {
        const geo::Point at = truth.junctions[i * truth.junctions.size() / 120];
        ComPtr<IIntersectionObject> x;
        ASSERT_EQ(core->GetNearestIntersectionLocation(Place(at).Get(), x.Put()), S_OK);
        Bstr detailed;
        x->GetIntersectionDescriptionDetailed(detailed.Put());
        ++asked;
        if (detailed.Utf8().find("Unnamed") == std::string::npos) continue;
        ++unnamed;
        std::printf("  %.7f,%.7f: %s\n", at.lat, at.lon, detailed.Utf8().c_str());
    }
    std::printf("%s: %d of %d corners with an unnamed way\n", GetParam().map, unnamed, asked);
    EXPECT_LT(unnamed * 50, asked) << GetParam().map;
}

// Untagged footways that lie, point by point, within 10 m of one named road and 20 m of no other
// are that road's sidewalk: standing on one, Where Am I names it so (up to 12 of them).
TEST_P(WalkerNames, FootwaysBesideAStreetAreItsSidewalk) {
    int asked = 0, right = 0;
    for (const Named& f : truth.footways) {
        if (f.points.size() < 2 || geo::Distance(f.points.front(), f.points.back()) < 20.0)
            continue;
        std::string street;
        bool clear = true;
        for (const geo::Point& p : f.points) {
            const std::map<std::string, double> near = truth.RoadsNear(p, 20.0);
            clear = clear && near.size() == 1 && near.begin()->second <= 10.0 &&
                    (street.empty() || street == near.begin()->first);
            if (!clear) break;
            street = near.begin()->first;
        }
        if (!clear || asked >= 12) continue;
        const std::size_t k = (f.points.size() - 1) / 2;
        const geo::Point mid{(f.points[k].lat + f.points[k + 1].lat) / 2,
                             (f.points[k].lon + f.points[k + 1].lon) / 2};
        ComPtr<IWhereAmIObject> where;
        ASSERT_EQ(core->WhereAmIAtLocation(Place(mid).Get(), -1, where.Put()), S_OK);
        Bstr name;
        where->GetStreetNameShort(name.Put());
        ++asked;
        right += name.Utf8() == street + " sidewalk" ? 1 : 0;
        if (name.Utf8() != street + " sidewalk")
            std::printf("  %.7f,%.7f: %s, not %s sidewalk\n", mid.lat, mid.lon, name.Utf8().c_str(),
                        street.c_str());
    }
    std::printf("%s: %d of %d sidewalks named by their street\n", GetParam().map, right, asked);
    // Andorra's footways beside streets are tagged as sidewalks; Monaco draws many untagged. A
    // footway may cross its street's crossing within reach of the spot asked.
    EXPECT_GE(asked, std::string(GetParam().map) == "Monaco" ? 5 : 0);
    EXPECT_GE(right * 5, asked * 4) << GetParam().map;
}

INSTANTIATE_TEST_SUITE_P(Extracts, WalkerNames,
                         ::testing::Values(Case{"monaco.osm.gz", "Monaco"},
                                           Case{"andorra.osm.pbf", "Andorra"}),
                         [](const auto& info) { return std::string(info.param.map); });

} // namespace
