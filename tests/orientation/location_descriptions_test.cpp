// The distance and direction questions of a location: missing positions, the same point, no
// heading, a missing configuration, and every template choice of the named description; the
// virtual walker asks them with its own heading.
#include <gtest/gtest.h>

#include <string>

#include "core/Utility.h"
#include "orientation/Descriptions.h"

namespace {

using gpscore::Utility;
using gpslib::Bstr;
using gpslib::ComPtr;

// One arc minute of longitude on the equator: 6076 feet (1852 m) due east.
constexpr double kFromLat = 0.0, kFromLon = 10.0;
constexpr double kEastLon = 10.0 + 1.0 / 60.0;
// 0.00001 degree east: about 3.6 feet, inside the default close-by distance of 12 feet.
constexpr double kNearLon = 10.00001;

ComPtr<ILocationObject> Place(double latitude, double longitude, const char* name = "",
                              const char* description = "") {
    ComPtr<ILocationObject> place;
    EXPECT_EQ(gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &place), S_OK);
    place->SetLatitude(latitude);
    place->SetLongitude(longitude);
    place->SetName(Bstr(std::string_view(name)).Get());
    place->SetDescription(Bstr(std::string_view(description)).Get());
    return place;
}

ComPtr<IDescriptionConfigurationObject> Config(bool details, bool compass, bool first) {
    ComPtr<IDescriptionConfigurationObject> config;
    EXPECT_EQ(gpslib::CreateObject(CLSID_DescriptionConfigurationObject,
                                   IID_IDescriptionConfigurationObject, &config),
              S_OK);
    config->SetIncludeDescriptionDetails(details ? VARIANT_TRUE : 0);
    config->SetIncludeCompassDirection(compass ? VARIANT_TRUE : 0);
    config->SetDirectionInformationFirst(first ? VARIANT_TRUE : 0);
    return config;
}

std::string Read(BSTR text) {
    Bstr owned = Bstr::Adopt(text);
    return owned.Utf8();
}

class LocationDescriptions : public ::testing::Test {
protected:
    void SetUp() override {
        utility = Utility::Instance();
        ASSERT_NE(utility, nullptr);
        ASSERT_TRUE(utility->LoadResources(GPSLIB_RESOURCE_MODULE));
        settings()->SetHeadingMode(AheadLeft);
        settings()->SetUnits(Imperial);
        settings()->SetDefaultCompassDescriptions(Full);
        settings()->SetIncludeSpellDecorators(0);
        settings()->SetArrivedNearThreshold(Imperial, 12);
        gpscore::SetCoarseDirections(false);
    }
    ISystemSettingsObject* settings() { return utility->SystemSettings().Get(); }

    Utility* utility = nullptr;
    ComPtr<ILocationObject> here = Place(kFromLat, kFromLon);
    ComPtr<ILocationObject> nowhere = Place(0.0, 0.0, "Bus stop", "Route 5");
    ComPtr<ILocationObject> east = Place(kFromLat, kEastLon, "Bus stop", "Route 5");
    ComPtr<ILocationObject> north = Place(1.0 / 60.0, kFromLon);
    ComPtr<ILocationObject> same = Place(kFromLat, kFromLon + 1e-11);
};

TEST_F(LocationDescriptions, NumbersAndShortTexts) {
    const char* kUnknown = "Position unknown.";
    const char* kNone = "direction unknown";
    const struct {
        const char* what;
        ILocationObject* from;
        ILocationObject* to;
        SHORT heading;
        LONG distance;
        SHORT bearing;
        const char* degrees;
        const char* compass;
        const char* relative;
        const char* distanceText;
    } cases[] = {
        {"east", here.Get(), east.Get(), 0, 6076, 90, "90", "east", "right", "1.15 miles"},
        {"east, heading 90", here.Get(), east.Get(), 90, 6076, 90, "90", "east", "ahead",
         "1.15 miles"},
        {"east, no heading", here.Get(), east.Get(), -1, 6076, 90, "90", "east", "east",
         "1.15 miles"},
        {"north", here.Get(), north.Get(), 270, 6076, 0, "0", "north", "right", "1.15 miles"},
        {"same point", here.Get(), same.Get(), 0, 0, -1, kNone, kNone, kNone, "0 feet"},
        {"same point, no heading", here.Get(), same.Get(), -1, 0, -1, kNone, kNone, kNone,
         "0 feet"},
        {"target without position", here.Get(), nowhere.Get(), 0, -1, -1, kUnknown, kUnknown,
         kUnknown, kUnknown},
        {"no target", here.Get(), nullptr, 0, -1, -1, kUnknown, kUnknown, kUnknown, kUnknown},
        {"this without position", nowhere.Get(), east.Get(), -1, -1, -1, kUnknown, kUnknown,
         kUnknown, kUnknown},
    };
    for (const auto& c : cases) {
        LONG distance = 0;
        SHORT bearing = 0;
        BSTR text = nullptr;
        ASSERT_EQ(c.from->GetDistance(c.to, &distance), S_OK);
        EXPECT_EQ(distance, c.distance) << c.what;
        ASSERT_EQ(c.from->GetBearingDegrees(c.to, &bearing), S_OK);
        EXPECT_EQ(bearing, c.bearing) << c.what;
        ASSERT_EQ(c.from->GetBearing(Degrees, c.to, &text), S_OK);
        EXPECT_EQ(Read(text), c.degrees) << c.what;
        ASSERT_EQ(c.from->GetBearing(Compass, c.to, &text), S_OK);
        EXPECT_EQ(Read(text), c.compass) << c.what;
        ASSERT_EQ(c.from->GetRelativeHeading(c.heading, c.to, &text), S_OK);
        EXPECT_EQ(Read(text), c.relative) << c.what;
        ASSERT_EQ(c.from->GetDistanceDescription(c.to, &text), S_OK);
        EXPECT_EQ(Read(text), c.distanceText) << c.what;
    }
}

TEST_F(LocationDescriptions, UnitsAndStyleAreReadOnEachCall) {
    settings()->SetUnits(Metric);
    LONG distance = 0;
    BSTR text = nullptr;
    ASSERT_EQ(here->GetDistance(east.Get(), &distance), S_OK);
    EXPECT_EQ(distance, 1852);
    ASSERT_EQ(here->GetDistanceDescription(east.Get(), &text), S_OK);
    EXPECT_EQ(Read(text), "1.85 kilometres");
    settings()->SetHeadingMode(ClockFace);
    ASSERT_EQ(here->GetRelativeHeading(0, east.Get(), &text), S_OK);
    EXPECT_EQ(Read(text), "3 o'clock");
    ASSERT_EQ(here->GetRelativeHeading(-1, east.Get(), &text), S_OK);
    EXPECT_EQ(Read(text), "east") << "no heading gives the compass point in every style";
}

TEST_F(LocationDescriptions, NullOutPointers) {
    EXPECT_EQ(here->GetBearing(Degrees, east.Get(), nullptr), E_POINTER);
    EXPECT_EQ(here->GetRelativeHeading(0, east.Get(), nullptr), E_POINTER);
    EXPECT_EQ(here->GetDistance(east.Get(), nullptr), E_POINTER);
    EXPECT_EQ(here->GetBearingDegrees(east.Get(), nullptr), E_POINTER);
    EXPECT_EQ(here->GetDistanceDescription(east.Get(), nullptr), E_POINTER);
    EXPECT_EQ(here->GetDistanceAndHeading(0, east.Get(), nullptr), E_POINTER);
    EXPECT_EQ(here->GetDistanceAndHeadingAndName(0, east.Get(), nullptr, nullptr), E_POINTER);
}

TEST_F(LocationDescriptions, DistanceAndHeadingAndNameChoosesItsTemplate) {
    ComPtr<ILocationObject> near = Place(kFromLat, kNearLon, "Bus stop", "Route 5");
    ComPtr<ILocationObject> unnamed = Place(kFromLat, kEastLon, "", "Route 5");
    ComPtr<ILocationObject> nearUnnamed = Place(kFromLat, kNearLon);
    ComPtr<ILocationObject> repeats = Place(kFromLat, kEastLon, "Route 5 stop", "Route 5");
    ComPtr<ILocationObject> nameless = Place(0.0, 0.0);
    const struct {
        const char* what;
        ILocationObject* from;
        ILocationObject* to;
        SHORT heading;
        RelativeHeadingType mode;
        bool details, compass, first;
        const char* text;
    } cases[] = {
        {"name", here.Get(), east.Get(), 0, AheadLeft, false, false, false,
         "Bus stop, 1.15 miles, right"},
        {"name, details", here.Get(), east.Get(), 0, AheadLeft, true, false, false,
         "Bus stop, Route 5, 1.15 miles, right"},
        {"direction first, details", here.Get(), east.Get(), 0, AheadLeft, true, false, true,
         "1.15 miles, right, Bus stop, Route 5"},
        {"direction first", here.Get(), east.Get(), 0, AheadLeft, false, false, true,
         "1.15 miles, right, Bus stop"},
        {"compass", here.Get(), east.Get(), 0, AheadLeft, false, true, false,
         "Bus stop, 1.15 miles, right, east"},
        {"compass, clock face", here.Get(), east.Get(), 0, ClockFace, false, true, false,
         "Bus stop, 1.15 miles, 3 o'clock, east"},
        {"compass, no heading", here.Get(), east.Get(), -1, AheadLeft, false, true, false,
         "Bus stop, 1.15 miles, east"},
        {"compass, degrees style", here.Get(), east.Get(), 0, LeftRightDegreesCompass, false, true,
         false, "Bus stop, 1.15 miles, east, 90 degrees right"},
        {"name repeats details", here.Get(), repeats.Get(), 0, AheadLeft, true, false, false,
         "Route 5 stop, 1.15 miles, right"},
        {"unnamed, details", here.Get(), unnamed.Get(), 0, AheadLeft, true, false, false,
         "1.15 miles, right"},
        {"unnamed", here.Get(), unnamed.Get(), 0, AheadLeft, false, false, true,
         "1.15 miles, right"},
        {"near", here.Get(), near.Get(), 0, AheadLeft, false, true, true, "Bus stop, close by"},
        {"near, details", here.Get(), near.Get(), 0, AheadLeft, true, true, true,
         "Bus stop, Route 5, close by"},
        {"near, unnamed", here.Get(), nearUnnamed.Get(), 0, AheadLeft, true, true, false,
         "Close by"},
        {"same point", here.Get(), same.Get(), 0, AheadLeft, false, true, false, "Close by"},
        {"target without position", here.Get(), nowhere.Get(), 0, AheadLeft, true, true, false,
         "Bus stop: position unknown."},
        {"target without position or name", here.Get(), nameless.Get(), 0, AheadLeft, true, false,
         false, "Location unknown."},
        {"no target", here.Get(), nullptr, 0, AheadLeft, false, false, false, "Location unknown."},
        {"this without position", nowhere.Get(), east.Get(), 0, AheadLeft, false, false, false,
         "Your position is unknown, so Bus stop cannot be located."},
        {"this without position, details", nowhere.Get(), east.Get(), 0, AheadLeft, true, false,
         false, "Your position is unknown, so Bus stop, Route 5 cannot be located."},
    };
    for (const auto& c : cases) {
        settings()->SetHeadingMode(c.mode);
        BSTR text = nullptr;
        ASSERT_EQ(c.from->GetDistanceAndHeadingAndName(
                      c.heading, c.to, Config(c.details, c.compass, c.first).Get(), &text),
                  S_OK);
        EXPECT_EQ(Read(text), c.text) << c.what;
    }
}

TEST_F(LocationDescriptions, WithoutConfigurationOrName) {
    BSTR text = nullptr;
    ASSERT_EQ(here->GetDistanceAndHeadingAndName(0, east.Get(), nullptr, &text), S_OK);
    EXPECT_EQ(Read(text), "Bus stop, 1.15 miles, right") << "a missing configuration";
    const struct {
        ILocationObject* from;
        ILocationObject* to;
        const char* text;
    } cases[] = {{here.Get(), east.Get(), "1.15 miles, right"},
                 {here.Get(), same.Get(), "Close by"},
                 {here.Get(), nowhere.Get(), "Location unknown."},
                 {nowhere.Get(), east.Get(), "Location unknown."}};
    for (const auto& c : cases) {
        ASSERT_EQ(c.from->GetDistanceAndHeading(0, c.to, &text), S_OK);
        EXPECT_EQ(Read(text), c.text);
    }
}

TEST_F(LocationDescriptions, NamesAreSpelledAndMetricNearUsesMetres) {
    settings()->SetIncludeSpellDecorators(VARIANT_TRUE);
    BSTR text = nullptr;
    ASSERT_EQ(
        here->GetDistanceAndHeadingAndName(0, east.Get(), Config(true, false, false).Get(), &text),
        S_OK);
    EXPECT_EQ(Read(text), "<<Bus stop>>, <<Route 5>>, 1.15 miles, right");
    settings()->SetIncludeSpellDecorators(0);
    settings()->SetUnits(Metric);
    // 4 metres close by: 3 m away is near, 1852 m is not.
    ComPtr<ILocationObject> threeMetres = Place(kFromLat, kFromLon + 0.000027, "Gate");
    ASSERT_EQ(here->GetDistanceAndHeadingAndName(0, threeMetres.Get(), nullptr, &text), S_OK);
    EXPECT_EQ(Read(text), "Gate, close by");
    ASSERT_EQ(here->GetDistanceAndHeadingAndName(0, east.Get(), nullptr, &text), S_OK);
    EXPECT_EQ(Read(text), "Bus stop, 1.85 kilometres, right");
}

// The walker answers with its own heading; the other place-like objects through their location.
TEST_F(LocationDescriptions, VirtualWalkerUsesItsHeading) {
    ComPtr<IVirtualObject> walker;
    ASSERT_EQ(gpslib::CreateObject(CLSID_VirtualObject, IID_IVirtualObject, &walker), S_OK);
    ASSERT_EQ(walker->SetLocation(here.Get()), S_OK);
    const struct {
        SHORT heading;
        const char* relative;
        const char* named;
    } cases[] = {{90, "ahead", "Bus stop, 1.15 miles, ahead"},
                 {180, "left", "Bus stop, 1.15 miles, left"},
                 {-1, "east", "Bus stop, 1.15 miles, east"}};
    for (const auto& c : cases) {
        ASSERT_EQ(walker->SetHeading(c.heading), S_OK);
        BSTR text = nullptr;
        ASSERT_EQ(walker->GetRelativeHeading(east.Get(), &text), S_OK);
        EXPECT_EQ(Read(text), c.relative) << c.heading;
        ASSERT_EQ(walker->GetDistanceAndHeadingAndName(east.Get(), nullptr, &text), S_OK);
        EXPECT_EQ(Read(text), c.named) << c.heading;
        ASSERT_EQ(walker->GetDistanceAndHeading(east.Get(), &text), S_OK);
        EXPECT_EQ(Read(text), std::string("1.15 miles, ") + c.relative) << c.heading;
    }
    // The walker's own heading, spoken both ways (and unknown once cleared).
    const std::pair<SHORT, HeadingType> headings[] = {{90, Degrees}, {90, Compass}, {-1, Compass}};
    for (auto [heading, type] : headings) {
        ASSERT_EQ(walker->SetHeading(heading), S_OK);
        BSTR text = nullptr;
        ASSERT_EQ(walker->GetHeading(type, &text), S_OK);
        EXPECT_EQ(gpslib::ToUtf16(Read(text)), gpscore::HeadingText(heading, type)) << heading;
    }
    EXPECT_EQ(gpscore::HeadingText(90, Degrees), u"90");
    EXPECT_EQ(walker->GetHeading(Compass, nullptr), E_POINTER);
    ComPtr<IDestinationObject> destination;
    ASSERT_EQ(gpslib::CreateObject(CLSID_DestinationObject, IID_IDestinationObject, &destination),
              S_OK);
    ASSERT_EQ(destination->SetLocation(east.Get()), S_OK);
    BSTR text = nullptr;
    ASSERT_EQ(destination->GetBearing(Compass, here.Get(), &text), S_OK);
    EXPECT_EQ(Read(text), "west");
}

} // namespace
