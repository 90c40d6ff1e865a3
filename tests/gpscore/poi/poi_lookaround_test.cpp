// The POI watch on a replayed walk along the sample town's Main Street: each POI announced once,
// within the radius and in the direction configured, in the order an oracle computed from the
// town's OSM file finds them.
#include <set>

#include "poi_fixture.h"

namespace gpslib::test {
namespace {

void WriteLookaroundSettings(const std::string& path, int direction, int interval) {
    // Version 9: enabled, commercial and user POIs on, no intersections, no start delay, no
    // street, city or map changes, the direction, the interval, tags on, no distance.
    const std::string fields = "9|1|1|1|0||0||0|0|0|0|0|0|0|" + std::to_string(direction) + "|50|" +
                               std::to_string(interval) + "|1|0|2|";
    std::ofstream out(path, std::ios::binary);
    for (char c : fields)
        out.put(c).put('\0');
}

TEST_F(POIService, ThePOIWatchOnAWalkAlongMainStreet) {
    constexpr int kInterval = 5;
    constexpr double kRadius = 40; // metres ahead: the arrival distance
    core->Stop();
    WriteLookaroundSettings(settings + "GPSLookaroundSettings.inf", DirectionAhead, kInterval);
    Start();
    Apply([](ISystemSettingsObject* s) {
        s->SetUnits(Metric);
        s->SetArrivalDistance(Metric, static_cast<SHORT>(kRadius));
    });
    ASSERT_EQ(core->EnableHistoryOfAutomaticEvents(VARIANT_TRUE), S_OK);
    ASSERT_EQ(core->EngageUIAutoLookaroundEvents(VARIANT_TRUE), S_OK);

    const std::vector<TownPOI> town = ReadTownPOIs();
    ASSERT_GE(town.size(), 30u);
    std::vector<std::string> expected, announced;
    std::string lastExpected = "\x01";
    ComPtr<IAutomaticEventObject> previous;
    // The POI events of one interval of polls.
    auto poiEvents = [&] {
        std::vector<ComPtr<IAutomaticEventObject>> events;
        for (int poll = 0; poll < kInterval; ++poll) {
            VARIANT_BOOL read = 0;
            EXPECT_EQ(core->GPSForcePoll(&read), S_OK);
            ComPtr<IAutomaticEventObject> event;
            if (FAILED(core->GetLastAutomaticEvent(event.Put())) || !event ||
                event.Get() == previous.Get())
                continue;
            previous = event;
            EventType type = EventUnknown;
            event->GetEventType(&type);
            if (type == EventLookaroundPOIs || type == EventLookaroundMediaPOIs)
                events.push_back(event);
        }
        return events;
    };
    const double lat = 45.00200;
    double lastLon = 0;
    for (double lon = 10.0000; lon < 10.0078; lon += 0.00005) {
        StandAt(lat, lon, 90);
        // The oracle: the nearest POI ahead (within 45 degrees of east) inside the radius.
        const TownPOI* nearest = nullptr;
        double best = kRadius + 1e-9;
        for (const TownPOI& p : town) {
            const double d = Metres(lat, lon, p.lat, p.lon);
            const double b = Bearing(lat, lon, p.lat, p.lon);
            if (d <= best && b >= 45 && b <= 135) {
                best = d;
                nearest = &p;
            }
        }
        if (nearest != nullptr && nearest->name != lastExpected) {
            expected.push_back(nearest->name);
            lastExpected = nearest->name;
        }
        for (const ComPtr<IAutomaticEventObject>& event : poiEvents()) {
            ComPtr<IPOIObject> poi;
            ASSERT_EQ(core->POIGetLastLookaroundFound(poi.Put()), S_OK);
            const std::string name = Name(poi.Get());
            Bstr description;
            event->GetDescription(description.Put());
            EXPECT_EQ(description.Utf8().rfind(name, 0), 0u) << description.Utf8();
            const double plat = Value(poi.Get(), &IPOIObject::GetLatitude);
            const double plon = Value(poi.Get(), &IPOIObject::GetLongitude);
            EXPECT_LE(Metres(lat, lon, plat, plon), kRadius + 0.5) << name;
            const double b = Bearing(lat, lon, plat, plon);
            EXPECT_TRUE(b >= 44.5 && b <= 135.5) << name << " at " << b;
            announced.push_back(name);
            lastLon = lon;
        }
    }
    EXPECT_EQ(announced, expected);
    const std::set<std::string> once(announced.begin(), announced.end());
    EXPECT_EQ(once.size(), announced.size()) << "each POI once";
    EXPECT_GE(announced.size(), 5u);

    // The POI handed out is the very one the next find is compared with: the same object each
    // time, and a client's change to it makes the same POI news again.
    ComPtr<IPOIObject> last, again;
    ASSERT_EQ(core->POIGetLastLookaroundFound(last.Put()), S_OK);
    ASSERT_EQ(core->POIGetLastLookaroundFound(again.Put()), S_OK);
    EXPECT_EQ(last.Get(), again.Get());
    StandAt(lat, lastLon, 90);
    EXPECT_TRUE(poiEvents().empty());
    last->SetKey(Value(last.Get(), &IPOIObject::GetKey) + 1);
    EXPECT_EQ(poiEvents().size(), 1u);
}

} // namespace
} // namespace gpslib::test
