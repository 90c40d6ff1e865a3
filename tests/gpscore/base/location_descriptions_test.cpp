// The distance and direction questions of a location: missing positions, the same point, no
// heading, a missing configuration, and every template choice of the named description; the
// virtual walker asks them with its own heading.
#include <gtest/gtest.h>

#include <string>

#include "base/Descriptions.h"
#include "base/Utility.h"
#include "description_fixture.h"

namespace {

using gpscore::Utility;
using gpslib::Bstr;
using gpslib::ComPtr;
using gpslib::test::Place;

// One arc minute of longitude on the equator: 6076 feet (1852 m) due east.
constexpr double kFromLat = 0.0, kFromLon = 10.0;
constexpr double kEastLon = 10.0 + 1.0 / 60.0;
// 0.00001 degree east: about 3.6 feet, inside the default close-by distance of 12 feet.
constexpr double kNearLon = 10.00001;

enum Parts { kNone = 0, kDetails = 1, kCompass = 2, kFirst = 4 };

ComPtr<IDescriptionConfigurationObject> Config(int parts) {
    ComPtr<IDescriptionConfigurationObject> config;
    EXPECT_EQ(gpslib::CreateObject(CLSID_DescriptionConfigurationObject,
                                   IID_IDescriptionConfigurationObject, &config),
              S_OK);
    config->SetIncludeDescriptionDetails(parts & kDetails ? VARIANT_TRUE : 0);
    config->SetIncludeCompassDirection(parts & kCompass ? VARIANT_TRUE : 0);
    config->SetDirectionInformationFirst(parts & kFirst ? VARIANT_TRUE : 0);
    return config;
}

// Takes ownership of a returned string (read after the call) and checks the call succeeded.
std::string Read(HRESULT hr, BSTR* text) {
    Bstr owned = Bstr::Adopt(*text);
    *text = nullptr;
    EXPECT_EQ(hr, S_OK);
    return owned.Utf8();
}

class LocationDescriptions : public DescriptionFixture {
protected:
    std::string Named(ILocationObject* from, SHORT heading, ILocationObject* to,
                      IDescriptionConfigurationObject* config) {
        BSTR text = nullptr;
        return Read(from->GetDistanceAndHeadingAndName(heading, to, config, &text), &text);
    }

    BSTR text = nullptr;
    ComPtr<ILocationObject> here = Place(kFromLat, kFromLon);
    ComPtr<ILocationObject> nowhere = Place(0.0, 0.0, "Bus stop", "Route 5");
    ComPtr<ILocationObject> east = Place(kFromLat, kEastLon, "Bus stop", "Route 5");
    ComPtr<ILocationObject> north = Place(1.0 / 60.0, kFromLon);
    ComPtr<ILocationObject> same = Place(kFromLat, kFromLon + 1e-11);
};

TEST_F(LocationDescriptions, NumbersAndShortTexts) {
    const char* kUnknown = "Position unknown.";
    const char* kNoDir = "direction unknown";
    const struct {
        ILocationObject* from;
        ILocationObject* to;
        SHORT heading;
        LONG distance;
        SHORT bearing;
        const char *degrees, *compass, *relative, *distanceText;
    } cases[] = {
        {here.Get(), east.Get(), 0, 6076, 90, "90", "east", "right", "1.15 miles"},
        {here.Get(), east.Get(), -1, 6076, 90, "90", "east", "east", "1.15 miles"},
        {here.Get(), north.Get(), 270, 6076, 0, "0", "north", "right", "1.15 miles"},
        {here.Get(), same.Get(), 0, 0, -1, kNoDir, kNoDir, kNoDir, "0 feet"},
        {here.Get(), same.Get(), -1, 0, -1, kNoDir, kNoDir, kNoDir, "0 feet"},
        {here.Get(), nowhere.Get(), 0, -1, -1, kUnknown, kUnknown, kUnknown, kUnknown},
        {here.Get(), nullptr, 0, -1, -1, kUnknown, kUnknown, kUnknown, kUnknown},
        {nowhere.Get(), east.Get(), -1, -1, -1, kUnknown, kUnknown, kUnknown, kUnknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.relative) + " " + std::to_string(c.heading));
        LONG distance = 0;
        SHORT bearing = 0;
        ASSERT_EQ(c.from->GetDistance(c.to, &distance), S_OK);
        EXPECT_EQ(distance, c.distance);
        ASSERT_EQ(c.from->GetBearingDegrees(c.to, &bearing), S_OK);
        EXPECT_EQ(bearing, c.bearing);
        EXPECT_EQ(Read(c.from->GetBearing(Degrees, c.to, &text), &text), c.degrees);
        EXPECT_EQ(Read(c.from->GetBearing(Compass, c.to, &text), &text), c.compass);
        EXPECT_EQ(Read(c.from->GetRelativeHeading(c.heading, c.to, &text), &text), c.relative);
        EXPECT_EQ(Read(c.from->GetDistanceDescription(c.to, &text), &text), c.distanceText);
    }
}

TEST_F(LocationDescriptions, DistanceAndHeadingAndNameChoosesItsTemplate) {
    ComPtr<ILocationObject> near = Place(kFromLat, kNearLon, "Bus stop", "Route 5");
    ComPtr<ILocationObject> unnamed = Place(kFromLat, kEastLon, "", "Route 5");
    ComPtr<ILocationObject> nearUnnamed = Place(kFromLat, kNearLon);
    ComPtr<ILocationObject> repeats = Place(kFromLat, kEastLon, "Route 5 stop", "Route 5");
    ComPtr<ILocationObject> nameless = Place(0.0, 0.0);
    const struct {
        ILocationObject* to;
        SHORT heading;
        int parts;
        const char* text;
    } cases[] = {
        {east.Get(), 0, kNone, "Bus stop, 1.15 miles, right"},
        {east.Get(), 0, kDetails, "Bus stop, Route 5, 1.15 miles, right"},
        {east.Get(), 0, kDetails | kFirst, "1.15 miles, right, Bus stop, Route 5"},
        {east.Get(), 0, kFirst, "1.15 miles, right, Bus stop"},
        {east.Get(), 0, kCompass, "Bus stop, 1.15 miles, right, east"},
        {east.Get(), -1, kCompass, "Bus stop, 1.15 miles, east"},
        {repeats.Get(), 0, kDetails, "Route 5 stop, 1.15 miles, right"},
        {unnamed.Get(), 0, kDetails, "1.15 miles, right"},
        {unnamed.Get(), 0, kFirst, "1.15 miles, right"},
        {near.Get(), 0, kCompass | kFirst, "Bus stop, close by"},
        {near.Get(), 0, kDetails | kCompass | kFirst, "Bus stop, Route 5, close by"},
        {nearUnnamed.Get(), 0, kDetails | kCompass, "Close by"},
        {nowhere.Get(), 0, kDetails | kCompass, "Bus stop: position unknown."},
        {nameless.Get(), 0, kDetails, "Location unknown."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Named(here.Get(), c.heading, c.to, Config(c.parts).Get()), c.text);
    // That style already names the compass point.
    Change([&](System& s) { s.headingMode = LeftRightDegreesCompass; });
    EXPECT_EQ(Named(here.Get(), 0, east.Get(), Config(kCompass).Get()),
              "Bus stop, 1.15 miles, east, 90 degrees right");
    // Without a position of its own, only the name (and details) can be given.
    EXPECT_EQ(Named(nowhere.Get(), 0, east.Get(), Config(kNone).Get()),
              "Your position is unknown, so Bus stop cannot be located.");
    EXPECT_EQ(Named(nowhere.Get(), 0, east.Get(), Config(kDetails).Get()),
              "Your position is unknown, so Bus stop, Route 5 cannot be located.");
}

TEST_F(LocationDescriptions, WithoutConfigurationOrName) {
    EXPECT_EQ(Named(here.Get(), 0, east.Get(), nullptr), "Bus stop, 1.15 miles, right");
    const struct {
        ILocationObject* from;
        ILocationObject* to;
        const char* text;
    } cases[] = {{here.Get(), east.Get(), "1.15 miles, right"},
                 {here.Get(), same.Get(), "Close by"},
                 {nowhere.Get(), east.Get(), "Location unknown."}};
    for (const auto& c : cases)
        EXPECT_EQ(Read(c.from->GetDistanceAndHeading(0, c.to, &text), &text), c.text);
}

TEST_F(LocationDescriptions, UnitsAndDecoratorsAreReadOnEachCall) {
    Change([&](System& s) { s.includeSpellDecorators = VARIANT_TRUE; });
    EXPECT_EQ(Named(here.Get(), 0, east.Get(), Config(kDetails).Get()),
              "<<Bus stop>>, <<Route 5>>, 1.15 miles, right");
    Change([&](System& s) { s.includeSpellDecorators = 0; });
    Change([&](System& s) { s.units = Metric; });
    LONG distance = 0;
    ASSERT_EQ(here->GetDistance(east.Get(), &distance), S_OK);
    EXPECT_EQ(distance, 1852);
    // 4 metres close by: 3 m away is near, 1852 m is not.
    EXPECT_EQ(Named(here.Get(), 0, Place(kFromLat, kFromLon + 0.000027, "Gate").Get(), nullptr),
              "Gate, close by");
    EXPECT_EQ(Named(here.Get(), 0, east.Get(), nullptr), "Bus stop, 1.85 kilometres, right");
}

// The walker answers with its own heading; the other place-like objects through their location.
TEST_F(LocationDescriptions, VirtualWalkerUsesItsHeading) {
    ComPtr<IVirtualObject> walker;
    ASSERT_EQ(gpslib::CreateObject(CLSID_VirtualObject, IID_IVirtualObject, &walker), S_OK);
    ASSERT_EQ(walker->SetLocation(here.Get()), S_OK);
    const struct {
        SHORT heading;
        const char* relative;
        const char* compass;
    } cases[] = {{90, "ahead", "east"}, {180, "left", "south"}, {-1, "east", "direction unknown"}};
    for (const auto& c : cases) {
        ASSERT_EQ(walker->SetHeading(c.heading), S_OK);
        EXPECT_EQ(Read(walker->GetRelativeHeading(east.Get(), &text), &text), c.relative);
        EXPECT_EQ(Read(walker->GetDistanceAndHeadingAndName(east.Get(), nullptr, &text), &text),
                  std::string("Bus stop, 1.15 miles, ") + c.relative);
        EXPECT_EQ(Read(walker->GetDistanceAndHeading(east.Get(), &text), &text),
                  std::string("1.15 miles, ") + c.relative);
        EXPECT_EQ(Read(walker->GetHeading(Compass, &text), &text), c.compass);
    }
    EXPECT_EQ(Read(walker->GetHeading(Degrees, &text), &text), "direction unknown");
    ASSERT_EQ(walker->SetHeading(135), S_OK);
    EXPECT_EQ(Read(walker->GetHeading(Degrees, &text), &text), "135");
    ComPtr<IDestinationObject> destination;
    ASSERT_EQ(gpslib::CreateObject(CLSID_DestinationObject, IID_IDestinationObject, &destination),
              S_OK);
    ASSERT_EQ(destination->SetLocation(east.Get()), S_OK);
    EXPECT_EQ(Read(destination->GetBearing(Compass, here.Get(), &text), &text), "west");
}

} // namespace
