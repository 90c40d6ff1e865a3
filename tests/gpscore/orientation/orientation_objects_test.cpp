// The position objects through the registered module: the location's validity, hemisphere and
// degree/minute/second views, every object that carries a location inside, the virtual walker's
// heading, map names and the talking light's raw form.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "gpscore/orientation/MapName.h"
#include "registered_module.h"

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;
using gpslib::test::CallByName;
using gpslib::test::Fields;
using gpslib::test::NewLocation;
using gpslib::test::ReadByName;

// A by-value argument of type `vt` holding `value` (a number, text or object pointer).
template <class T> VARIANT Arg(VARTYPE vt, T value) {
    VARIANT v{};
    v.vt = vt;
    std::memcpy(&v.lVal, &value, sizeof value);
    return v;
}

// One coordinate of a location with its degree/minute/second accessors, so that each table
// runs for latitude and longitude alike. The hemisphere accessors are reached by name.
struct Axis {
    const char* name;
    HRESULT (ILocationObject::*set)(DOUBLE);
    HRESULT (ILocationObject::*get)(DOUBLE*);
    HRESULT (ILocationObject::*degrees)(SHORT*);
    HRESULT (ILocationObject::*minutes)(SHORT*);
    HRESULT (ILocationObject::*seconds)(DOUBLE*);
    HRESULT (ILocationObject::*setDms)(SHORT, SHORT, DOUBLE);
};

const Axis kAxes[] = {
    {"Latitude", &ILocationObject::SetLatitude, &ILocationObject::GetLatitude,
     &ILocationObject::GetLatitudeDegrees, &ILocationObject::GetLatitudeMinutes,
     &ILocationObject::GetLatitudeSeconds, &ILocationObject::SetLatitudeDegreesMinutesSeconds},
    {"Longitude", &ILocationObject::SetLongitude, &ILocationObject::GetLongitude,
     &ILocationObject::GetLongitudeDegrees, &ILocationObject::GetLongitudeMinutes,
     &ILocationObject::GetLongitudeSeconds, &ILocationObject::SetLongitudeDegreesMinutesSeconds},
};

TEST(LocationObject, ValidWhenEitherCoordinateIsNotZero) {
    const struct {
        double latitude, longitude;
        const char* valid;
    } cases[] = {{0.0, 0.0, "0"}, {0.0, 0.5, "1"}, {0.5, 0.0, "1"}, {-1e-9, 0.0, "1"}};
    for (const auto& c : cases) {
        EXPECT_EQ(ReadByName(NewLocation(c.latitude, c.longitude).Get(), "IsValid"), c.valid)
            << c.latitude << "," << c.longitude;
    }
}

TEST(LocationObject, HemisphereAndDegreesMinutesSecondsViews) {
    const struct {
        double value;
        const char* hemisphere; // 0 North/East, 1 South/West.
        SHORT degrees, minutes;
        double seconds;
    } cases[] = {
        {-33.5, "1", 33, 30, 0.0},     {0.0, "1", 0, 0, 0.0},
        {-0.25, "1", 0, 15, 0.0},      {51.477928, "0", 51, 28, 40.5408},
        {179.999, "0", 179, 59, 56.4}, {1e-7, "0", 0, 0, 0.00036},
    };
    for (const Axis& axis : kAxes) {
        const std::string getHemisphere = std::string("Get") + axis.name + "Hemisphere";
        for (const auto& c : cases) {
            SCOPED_TRACE(::testing::Message() << axis.name << " " << c.value);
            auto location = GPS_NEW(LocationObject);
            ASSERT_EQ((location.Get()->*axis.set)(c.value), S_OK);
            SHORT degrees = -1, minutes = -1;
            double seconds = -1.0;
            ASSERT_EQ((location.Get()->*axis.degrees)(&degrees), S_OK);
            ASSERT_EQ((location.Get()->*axis.minutes)(&minutes), S_OK);
            ASSERT_EQ((location.Get()->*axis.seconds)(&seconds), S_OK);
            EXPECT_EQ(ReadByName(location.Get(), getHemisphere.c_str()), c.hemisphere);
            EXPECT_EQ(degrees, c.degrees);
            EXPECT_EQ(minutes, c.minutes);
            EXPECT_NEAR(seconds, c.seconds, 1e-6);
        }
    }
}

TEST(LocationObject, HemisphereSetterOnlyMovesAValueIntoTheOtherHemisphere) {
    const struct {
        double before;
        LONG hemisphere; // 0 North/East, 1 South/West, anything else unknown.
        double after;
    } cases[] = {
        {33.5, 1, -33.5}, {-33.5, 1, -33.5}, {-33.5, 0, 33.5}, {33.5, 0, 33.5},
        {0.0, 1, 0.0},    {0.0, 0, 0.0},     {33.5, 7, 33.5},  {-33.5, -1, -33.5},
    };
    for (const Axis& axis : kAxes) {
        const std::string setHemisphere = std::string("Set") + axis.name + "Hemisphere";
        for (const auto& c : cases) {
            SCOPED_TRACE(::testing::Message()
                         << axis.name << " " << c.before << " to " << c.hemisphere);
            auto location = GPS_NEW(LocationObject);
            (location.Get()->*axis.set)(c.before);
            ASSERT_EQ(CallByName(location.Get(), setHemisphere.c_str(), {Arg(VT_I4, c.hemisphere)},
                                 nullptr),
                      S_OK);
            double value = 0.0;
            (location.Get()->*axis.get)(&value);
            EXPECT_EQ(value, c.after);
        }
    }
}

TEST(LocationObject, DegreesMinutesSecondsSetterAddsThePartsWithTheirSigns) {
    const struct {
        SHORT degrees, minutes;
        double seconds, expected;
    } cases[] = {
        {33, 30, 0.0, 33.5},          {-33, 30, 0.0, -32.5},       {0, 0, 36.0, 0.01},
        {10, 15, 30.0, 10.258333333}, {7, 25, 3.6, 7.41766666667},
    };
    for (const Axis& axis : kAxes) {
        for (const auto& c : cases) {
            SCOPED_TRACE(::testing::Message() << axis.name << " " << c.degrees << " " << c.minutes);
            auto location = NewLocation(12.0, 12.0);
            ASSERT_EQ((location.Get()->*axis.setDms)(c.degrees, c.minutes, c.seconds), S_OK);
            double value = 99.0;
            (location.Get()->*axis.get)(&value);
            EXPECT_NEAR(value, c.expected, 1e-9);
        }
    }
}

// Every object that carries a location inside (the location itself included) hands out a new
// copy of it each time, which the caller may change without changing the object; those that
// take one copy it in. Some keep a name of their own, apart from their location's.
struct Holder {
    const CLSID* clsid;
    const char* name;
    const char* nameGetter; // Null: the object only hands its location out.
    bool ownName;
};

const Holder kHolders[] = {
    {&CLSID_LocationObject, "LocationObject", "GetName", false},
    {&CLSID_DestinationObject, "DestinationObject", "GetName", false},
    {&CLSID_VirtualObject, "VirtualObject", "GetName", false},
    {&CLSID_WaypointObject, "WaypointObject", "GetWaypointName", false},
    {&CLSID_POIObject, "POIObject", "GetName", true},
    {&CLSID_AddressObject, "AddressObject", "GetName", true},
    {&CLSID_IntersectionObject, "IntersectionObject", nullptr, false},
    {&CLSID_WhereAmIObject, "WhereAmIObject", nullptr, false},
    {&CLSID_AutomaticEventObject, "AutomaticEventObject", nullptr, false},
    {&CLSID_WaypointUserObject, "WaypointUserObject", nullptr, false},
};

ComPtr<ILocationObject> LocationOf(IDispatch* holder) {
    gpslib::Variant result;
    EXPECT_EQ(CallByName(holder, "GetLocation", {}, &result), S_OK);
    ComPtr<ILocationObject> location;
    if (result.vt == VT_DISPATCH && result.pdispVal != nullptr)
        result.pdispVal->QueryInterface(IID_ILocationObject, location.PutVoid());
    EXPECT_TRUE(location);
    return location;
}

std::map<std::string, std::string> LocationFields(ILocationObject* location) {
    if (location == nullptr) return {};
    return Fields(location, CLSID_LocationObject);
}

TEST(LocationHolders, CopyTheirLocationInAndOut) {
    const auto empty = LocationFields(GPS_NEW(LocationObject).Get());
    for (const Holder& h : kHolders) {
        SCOPED_TRACE(h.name);
        auto holder = gpslib::test::New<IDispatch>(*h.clsid, IID_IDispatch);
        ComPtr<ILocationObject> first = LocationOf(holder.Get());
        EXPECT_EQ(LocationFields(first.Get()), empty);
        if (first) first->SetName(Bstr("changed").Get());
        ComPtr<ILocationObject> second = LocationOf(holder.Get());
        EXPECT_NE(first.Get(), second.Get());
        EXPECT_EQ(LocationFields(second.Get()), empty);
        if (h.nameGetter == nullptr) continue;

        EXPECT_EQ(ReadByName(holder.Get(), "IsValid"), "0");
        auto place = NewLocation(43.7384, 7.4246, "Casino", "Place du Casino");
        const auto given = LocationFields(place.Get());
        ASSERT_EQ(CallByName(holder.Get(), "SetLocation", {Arg(VT_DISPATCH, place.Get())}, nullptr),
                  S_OK);
        place->SetLatitude(1.0);
        EXPECT_EQ(LocationFields(LocationOf(holder.Get()).Get()), given);
        EXPECT_EQ(ReadByName(holder.Get(), "GetLatitude"), "43.7384");
        EXPECT_EQ(ReadByName(holder.Get(), "IsValid"), "1");
        EXPECT_EQ(ReadByName(holder.Get(), h.nameGetter), h.ownName ? "\"\"" : "\"Casino\"");
        Bstr renamed("Renamed");
        ASSERT_EQ(CallByName(holder.Get(), "SetName", {Arg(VT_BSTR, renamed.Get())}, nullptr),
                  S_OK);
        EXPECT_EQ(ReadByName(holder.Get(), h.nameGetter), "\"Renamed\"");
        EXPECT_EQ(ReadByName(LocationOf(holder.Get()).Get(), "GetName"),
                  h.ownName ? "\"Casino\"" : "\"Renamed\"");
        EXPECT_EQ(CallByName(holder.Get(), "SetLocation", {Arg<IDispatch*>(VT_DISPATCH, nullptr)},
                             nullptr),
                  E_POINTER);
        EXPECT_EQ(ReadByName(holder.Get(), "GetLatitude"), "43.7384");
    }
    // Copying from itself changes nothing.
    auto location = NewLocation(43.7384, 7.4246, "Casino", "Place du Casino");
    const auto before = LocationFields(location.Get());
    EXPECT_EQ(location->SetLocation(location.Get()), S_OK);
    EXPECT_EQ(LocationFields(location.Get()), before);
}

TEST(VirtualObject, SetHeadingDropsTheSignAndWrapsAtAFullTurn) {
    const struct {
        SHORT in, stored;
        VARIANT_BOOL valid;
    } cases[] = {
        {-450, 90, 1}, {-1, -1, 0},  {0, 0, 1},      {359, 359, 1}, {360, 0, 1}, {720, 0, 1},
        {-90, 90, 1},  {450, 90, 1}, {-32768, 8, 1}, {32767, 7, 1}, {-2, 2, 1},  {-360, 0, 1},
    };
    auto walker = GPS_NEW(VirtualObject);
    for (const auto& c : cases) {
        ASSERT_EQ(walker->SetHeading(c.in), S_OK);
        SHORT stored = 0;
        VARIANT_BOOL valid = 7;
        ASSERT_EQ(walker->GetHeadingDegrees(&stored), S_OK);
        ASSERT_EQ(walker->IsHeadingValid(&valid), S_OK);
        EXPECT_EQ(stored, c.stored) << c.in;
        EXPECT_EQ(valid, c.valid) << c.in;
    }
}

TEST(WhereAmIObject, PlainMapNameFromTheFileName) {
    const struct {
        const char16_t* map;
        const char16_t* plain;
    } cases[] = {
        {u"Monaco_Ville-2024_03", u"Monaco Ville"},
        {u"Andorra_2", u"Andorra"},
        {u"Baltimore_City_10", u"Baltimore City"},
        {u"Liechtenstein", u"Liechtenstein"},
        {u"Trail_a1", u"Trail a1"},
        {u"Trail_", u"Trail "},
        {u"A-B_1", u"A"},
        {u"_5", u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(gpscore::PlainMapName(c.map), c.plain) << gpslib::ToUtf8(c.map);
}

TEST(TalkingLightObject, RawTextSetsIdAndAmplitudeOnlyWhenItIsATalkingLight) {
    // Each row starts from a light with id "X1" and amplitude 5.
    const struct {
        const char* raw;
        const char* id;
        LONG amplitude;
    } cases[] = {
        {"<TL><id>AB</id><am>63</am></TL>", "AB", 63},
        {"<tl><id>AB</id><am>63</am></TL>", "X1", 5},
        {" <TL><id>AB</id><am>63</am></TL>", "X1", 5},
        {nullptr, "X1", 5},
        {"<TL><am>12</am></TL>", "", 12},
        {"<TL><id>CD</id><am>loud</am></TL>", "CD", 0},
        {"<TL><id>E</id><am>-7</am></TL>", "E", -7},
        {"<TL><id>F<am>3</am></TL>", "", 3},
        {"<TL></id>Z<id>Q</id><am>1</am>", "Q", 1},
        {"<TL><id></id><am>99999999999</am></TL>", "", 2147483647},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw ? c.raw : "(null)");
        auto light = GPS_NEW(TalkingLightObject);
        ASSERT_EQ(light->InternalSetFromRawData(Bstr("<TL><id>X1</id><am>5</am></TL>").Get()),
                  S_OK);
        ASSERT_EQ(light->InternalSetFromRawData(c.raw ? Bstr(c.raw).Get() : nullptr), S_OK);
        Bstr id, raw;
        LONG amplitude = -1;
        ASSERT_EQ(light->GetId(id.Put()), S_OK);
        ASSERT_EQ(light->GetAmplitude(&amplitude), S_OK);
        EXPECT_EQ(id.Utf8(), c.id);
        EXPECT_EQ(amplitude, c.amplitude);
        // The raw form written back carries the same two values.
        ASSERT_EQ(light->InternalGetRawData(raw.Put()), S_OK);
        EXPECT_EQ(raw.Utf8(), "<TL><id>" + std::string(c.id) + "</id><am>" +
                                  std::to_string(c.amplitude) + "</am></TL>");
    }
}

} // namespace
