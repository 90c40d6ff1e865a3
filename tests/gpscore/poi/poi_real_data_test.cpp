// The compiled Liechtenstein map through the service: the nearest POIs of a few categories
// around Vaduz's centre are the ones the OSM extract holds, computed here from the extract
// itself. Skipped when the extract or the compiled map is missing.
#include <algorithm>

#include "osm_read.h"
#include "poi_fixture.h"

namespace gpslib::test {
namespace {

constexpr double kVaduzLat = 47.1410, kVaduzLon = 9.5215;

struct Tagged {
    std::string name;
    double lat = 0, lon = 0;
};

// The elements tagged amenity=<value> that no other tag claims first: nodes at their position,
// closed ways (not streets) at the mean of their corners.
class AmenityReader : public osmium::handler::Handler {
public:
    explicit AmenityReader(std::string value, std::vector<std::string> excluded)
        : m_value(std::move(value)), m_excluded(std::move(excluded)) {}
    void node(const osmium::Node& n) {
        if (Wanted(n.tags()) && n.location().valid())
            found.push_back({Name(n.tags()), n.location().lat(), n.location().lon()});
    }
    void way(const osmium::Way& w) {
        if (!Wanted(w.tags()) || w.tags()["highway"] != nullptr) return;
        const auto& nodes = w.nodes();
        if (nodes.size() < 4 || nodes.front().ref() != nodes.back().ref()) return;
        double lat = 0, lon = 0;
        std::size_t n = 0;
        osmium::object_id_type previous = 0;
        std::vector<std::pair<double, double>> points;
        for (const auto& ref : nodes) {
            if (!ref.location().valid()) return;
            if (n > 0 && ref.ref() == previous) continue;
            previous = ref.ref();
            points.emplace_back(ref.location().lat(), ref.location().lon());
            ++n;
        }
        for (std::size_t i = 0; i + 1 < points.size(); ++i)
            lat += points[i].first, lon += points[i].second;
        const double k = static_cast<double>(points.size() - 1);
        found.push_back({Name(w.tags()), lat / k, lon / k});
    }
    std::vector<Tagged> found;

private:
    bool Wanted(const osmium::TagList& tags) const {
        const char* v = tags["amenity"];
        if (v == nullptr || m_value != v) return false;
        for (const std::string& key : m_excluded)
            if (tags[key.c_str()] != nullptr) return false;
        return true;
    }
    static std::string Name(const osmium::TagList& tags) {
        const char* name = tags["name"];
        return name ? name : "";
    }
    std::string m_value;
    std::vector<std::string> m_excluded;
};

class RealPOIs : public POIService {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(std::string(GPSLIB_OSM_MAP_DIR) + "/Liechtenstein.rmf") ||
            !std::filesystem::exists(std::string(GPSLIB_OSM_DATA_DIR) + "/liechtenstein.osm.pbf"))
            GTEST_SKIP() << "the Liechtenstein extract is not there";
        StartWith(GPSLIB_OSM_MAP_DIR, "Liechtenstein");
    }
};

TEST_F(RealPOIs, TheNearestOfACategoryAroundVaduzAreTheExtracts) {
    struct Case {
        const char* amenity;
        SHORT category, subCategory;
        std::vector<std::string> excluded; // keys whose rules come first
    };
    const Case cases[] = {
        {"pharmacy", 2, 5, {"shop"}},
        {"bank", 5, 1, {"shop", "healthcare", "leisure", "office"}},
        {"restaurant", 10, 1, {"shop", "healthcare", "leisure", "office", "tourism", "craft"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.amenity);
        AmenityReader reader(c.amenity, c.excluded);
        gpslib::testing::ReadNodesAndWays(
            std::string(GPSLIB_OSM_DATA_DIR) + "/liechtenstein.osm.pbf", reader);
        std::vector<Tagged> truth = reader.found;
        ASSERT_GE(truth.size(), 3u);
        const std::size_t kCount = std::min<std::size_t>(5, truth.size());
        std::stable_sort(truth.begin(), truth.end(), [](const Tagged& a, const Tagged& b) {
            return Metres(kVaduzLat, kVaduzLon, a.lat, a.lon) <
                   Metres(kVaduzLat, kVaduzLon, b.lat, b.lon);
        });

        auto search = NewSearch();
        search->SetCategoryNumber(c.category);
        search->SetSubCategoryNumber(c.subCategory);
        search->SetMaxSearchResults(static_cast<LONG>(kCount));
        auto here = Place(kVaduzLat, kVaduzLon);
        LONG found = Find(search.Get(), nullptr, here.Get());
        search->SetNewSearch(VARIANT_FALSE);
        for (int more = 0; found < static_cast<LONG>(kCount) && more < 20; ++more)
            found = Find(search.Get(), nullptr, here.Get());
        ASSERT_GE(found, static_cast<LONG>(kCount));
        for (std::size_t i = 0; i < kCount; ++i) {
            ComPtr<IPOIObject> got = Found(static_cast<LONG>(i));
            const double lat = Value(got.Get(), &IPOIObject::GetLatitude);
            const double lon = Value(got.Get(), &IPOIObject::GetLongitude);
            EXPECT_EQ(Name(got.Get()), truth[i].name) << i;
            EXPECT_NEAR(Metres(kVaduzLat, kVaduzLon, lat, lon),
                        Metres(kVaduzLat, kVaduzLon, truth[i].lat, truth[i].lon), 0.5)
                << i;
        }
    }
}

} // namespace
} // namespace gpslib::test
