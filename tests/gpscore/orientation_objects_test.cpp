// The position objects of the orientation subsystem through the registered module: the
// location's validity, hemisphere and degree/minute/second views, the objects that carry a
// location inside, the virtual walker's heading, map names and the talking light's raw form.
#include <gpslib/GPSLib.h>
#include <gpslib/support.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "gpscore/orientation/MapName.h"
#include "registered_module.h"

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;

template <class T> ComPtr<T> New(const CLSID& clsid, const IID& iid) {
    gpslib::test::RegisteredCoreStore();
    ComPtr<T> object;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, iid, object.PutVoid()), S_OK);
    return object;
}

ComPtr<ILocationObject> NewLocation() {
    return New<ILocationObject>(CLSID_LocationObject, IID_ILocationObject);
}

ComPtr<ILocationObject> NewLocation(double latitude, double longitude, const char* name,
                                    const char* description) {
    ComPtr<ILocationObject> location = NewLocation();
    location->SetLatitude(latitude);
    location->SetLongitude(longitude);
    location->SetName(Bstr(name).Get());
    location->SetDescription(Bstr(description).Get());
    return location;
}

struct Snapshot {
    double latitude = 0.0, longitude = 0.0;
    std::string name, description;
    bool operator==(const Snapshot&) const = default;
};

Snapshot Read(ILocationObject* location) {
    Snapshot s;
    Bstr name, description;
    EXPECT_EQ(location->GetLatitude(&s.latitude), S_OK);
    EXPECT_EQ(location->GetLongitude(&s.longitude), S_OK);
    EXPECT_EQ(location->GetName(name.Put()), S_OK);
    EXPECT_EQ(location->GetDescription(description.Put()), S_OK);
    s.name = name.Utf8();
    s.description = description.Utf8();
    return s;
}

// One coordinate of a location with its hemisphere and degree/minute/second accessors, so that
// each table runs for latitude and longitude alike. Hemisphere 0 is North or East.
struct Axis {
    const char* name;
    HRESULT (ILocationObject::*set)(DOUBLE);
    HRESULT (ILocationObject::*get)(DOUBLE*);
    std::function<HRESULT(ILocationObject*, int*)> getHemisphere;
    std::function<HRESULT(ILocationObject*, int)> setHemisphere;
    HRESULT (ILocationObject::*degrees)(SHORT*);
    HRESULT (ILocationObject::*minutes)(SHORT*);
    HRESULT (ILocationObject::*seconds)(DOUBLE*);
    HRESULT (ILocationObject::*setDms)(SHORT, SHORT, DOUBLE);
};

const Axis kAxes[] = {
    {"latitude", &ILocationObject::SetLatitude, &ILocationObject::GetLatitude,
     [](ILocationObject* l, int* h) {
         LatitudeHemisphere v{};
         HRESULT hr = l->GetLatitudeHemisphere(&v);
         *h = v;
         return hr;
     },
     [](ILocationObject* l, int h) { return l->SetLatitudeHemisphere(LatitudeHemisphere(h)); },
     &ILocationObject::GetLatitudeDegrees, &ILocationObject::GetLatitudeMinutes,
     &ILocationObject::GetLatitudeSeconds, &ILocationObject::SetLatitudeDegreesMinutesSeconds},
    {"longitude", &ILocationObject::SetLongitude, &ILocationObject::GetLongitude,
     [](ILocationObject* l, int* h) {
         LongitudeHemisphere v{};
         HRESULT hr = l->GetLongitudeHemisphere(&v);
         *h = v;
         return hr;
     },
     [](ILocationObject* l, int h) { return l->SetLongitudeHemisphere(LongitudeHemisphere(h)); },
     &ILocationObject::GetLongitudeDegrees, &ILocationObject::GetLongitudeMinutes,
     &ILocationObject::GetLongitudeSeconds, &ILocationObject::SetLongitudeDegreesMinutesSeconds},
};

TEST(LocationObject, ValidWhenEitherCoordinateIsNotZero) {
    struct Case {
        double latitude, longitude;
        VARIANT_BOOL valid;
    };
    const Case cases[] = {
        {0.0, 0.0, 0}, {0.0, 0.5, 1}, {0.5, 0.0, 1}, {-1e-9, 0.0, 1}, {43.73, 7.42, 1},
    };
    for (const Case& c : cases) {
        ComPtr<ILocationObject> location = NewLocation(c.latitude, c.longitude, "", "");
        VARIANT_BOOL valid = 7;
        ASSERT_EQ(location->IsValid(&valid), S_OK);
        EXPECT_EQ(valid, c.valid) << c.latitude << "," << c.longitude;
    }
}

TEST(LocationObject, HemisphereAndDegreesMinutesSecondsViews) {
    struct Case {
        double value;
        int hemisphere; // 0 North/East, 1 South/West.
        SHORT degrees, minutes;
        double seconds;
    };
    const Case cases[] = {
        {-33.5, 1, 33, 30, 0.0},         {0.0, 1, 0, 0, 0.0},         {-0.25, 1, 0, 15, 0.0},
        {51.477928, 0, 51, 28, 40.5408}, {179.999, 0, 179, 59, 56.4}, {1e-7, 0, 0, 0, 0.00036},
    };
    for (const Axis& axis : kAxes) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(axis.name) + " " + std::to_string(c.value));
            ComPtr<ILocationObject> location = NewLocation();
            ASSERT_EQ((location.Get()->*axis.set)(c.value), S_OK);
            int hemisphere = -1;
            SHORT degrees = -1, minutes = -1;
            double seconds = -1.0;
            ASSERT_EQ(axis.getHemisphere(location.Get(), &hemisphere), S_OK);
            ASSERT_EQ((location.Get()->*axis.degrees)(&degrees), S_OK);
            ASSERT_EQ((location.Get()->*axis.minutes)(&minutes), S_OK);
            ASSERT_EQ((location.Get()->*axis.seconds)(&seconds), S_OK);
            EXPECT_EQ(hemisphere, c.hemisphere);
            EXPECT_EQ(degrees, c.degrees);
            EXPECT_EQ(minutes, c.minutes);
            EXPECT_NEAR(seconds, c.seconds, 1e-6);
        }
    }
}

TEST(LocationObject, HemisphereSetterOnlyMovesAValueIntoTheOtherHemisphere) {
    struct Case {
        double before;
        int hemisphere; // 0 North/East, 1 South/West, anything else unknown.
        double after;
    };
    const Case cases[] = {
        {33.5, 1, -33.5}, {-33.5, 1, -33.5}, {-33.5, 0, 33.5}, {33.5, 0, 33.5},
        {0.0, 1, 0.0},    {0.0, 0, 0.0},     {33.5, 7, 33.5},  {-33.5, -1, -33.5},
    };
    for (const Axis& axis : kAxes) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(axis.name) + " " + std::to_string(c.before) + " to " +
                         std::to_string(c.hemisphere));
            ComPtr<ILocationObject> location = NewLocation();
            (location.Get()->*axis.set)(c.before);
            ASSERT_EQ(axis.setHemisphere(location.Get(), c.hemisphere), S_OK);
            double value = 0.0;
            (location.Get()->*axis.get)(&value);
            EXPECT_EQ(value, c.after);
        }
    }
}

TEST(LocationObject, DegreesMinutesSecondsSetterAddsThePartsWithTheirSigns) {
    struct Case {
        SHORT degrees, minutes;
        double seconds;
        double expected;
    };
    const Case cases[] = {
        {33, 30, 0.0, 33.5},          {-33, 30, 0.0, -32.5},       {0, 0, 36.0, 0.01},
        {10, 15, 30.0, 10.258333333}, {7, 25, 3.6, 7.41766666667}, {0, 0, 0.0, 0.0},
    };
    for (const Axis& axis : kAxes) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(axis.name) + " " + std::to_string(c.degrees) + " " +
                         std::to_string(c.minutes) + " " + std::to_string(c.seconds));
            ComPtr<ILocationObject> location = NewLocation(12.0, 12.0, "", "");
            ASSERT_EQ((location.Get()->*axis.setDms)(c.degrees, c.minutes, c.seconds), S_OK);
            double value = 99.0;
            (location.Get()->*axis.get)(&value);
            EXPECT_NEAR(value, c.expected, 1e-9);
        }
    }
}

TEST(LocationObject, DegreesMinutesSecondsThenSouthGivesTheSouthernLatitudeOnce) {
    ComPtr<ILocationObject> location = NewLocation();
    ASSERT_EQ(location->SetLatitudeDegreesMinutesSeconds(33, 30, 0.0), S_OK);
    double latitude = 0.0;
    for (int repeat = 0; repeat < 2; ++repeat) {
        ASSERT_EQ(location->SetLatitudeHemisphere(South), S_OK);
        location->GetLatitude(&latitude);
        EXPECT_EQ(latitude, -33.5) << "after " << repeat + 1 << " calls";
    }
}

TEST(LocationObject, SetLocationCopiesAllFourValuesAndGetLocationHandsOutACopy) {
    ComPtr<ILocationObject> source = NewLocation(43.7384, 7.4246, "Casino", "Place du Casino");
    ComPtr<ILocationObject> target = NewLocation();
    ASSERT_EQ(target->SetLocation(source.Get()), S_OK);
    const Snapshot expected{43.7384, 7.4246, "Casino", "Place du Casino"};
    EXPECT_EQ(Read(target.Get()), expected);

    // A copy, not a shared object: later changes to the source stay there.
    source->SetName(Bstr("Opera").Get());
    EXPECT_EQ(Read(target.Get()), expected);

    ComPtr<ILocationObject> copy;
    ASSERT_EQ(target->GetLocation(copy.Put()), S_OK);
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.Get(), target.Get());
    EXPECT_EQ(Read(copy.Get()), expected);
    copy->SetLatitude(1.0);
    EXPECT_EQ(Read(target.Get()), expected);

    // Copying from itself and refusing a null source change nothing.
    EXPECT_EQ(target->SetLocation(target.Get()), S_OK);
    EXPECT_EQ(target->SetLocation(nullptr), E_POINTER);
    EXPECT_EQ(Read(target.Get()), expected);
}

// Every object that carries a location inside hands out a new copy of it, which the caller may
// change without changing the object.
struct Holder {
    const char* name;
    const CLSID* clsid;
    std::function<HRESULT(IDispatch*, ILocationObject**)> getLocation;
};

template <class I>
std::function<HRESULT(IDispatch*, ILocationObject**)> GetLocationOf(const IID& iid) {
    return [&iid](IDispatch* object, ILocationObject** out) {
        ComPtr<I> typed;
        HRESULT hr = object->QueryInterface(iid, typed.PutVoid());
        return FAILED(hr) ? hr : typed->GetLocation(out);
    };
}

const Holder kHolders[] = {
    {"DestinationObject", &CLSID_DestinationObject,
     GetLocationOf<IDestinationObject>(IID_IDestinationObject)},
    {"IntersectionObject", &CLSID_IntersectionObject,
     GetLocationOf<IIntersectionObject>(IID_IIntersectionObject)},
    {"WhereAmIObject", &CLSID_WhereAmIObject, GetLocationOf<IWhereAmIObject>(IID_IWhereAmIObject)},
    {"VirtualObject", &CLSID_VirtualObject, GetLocationOf<IVirtualObject>(IID_IVirtualObject)},
    {"AutomaticEventObject", &CLSID_AutomaticEventObject,
     GetLocationOf<IAutomaticEventObject>(IID_IAutomaticEventObject)},
};

TEST(LocationHolders, HandOutAnEmptyLocationCopyThatDoesNotWriteBack) {
    for (const Holder& h : kHolders) {
        SCOPED_TRACE(h.name);
        ComPtr<IDispatch> holder = New<IDispatch>(*h.clsid, IID_IDispatch);
        ComPtr<ILocationObject> first, second;
        ASSERT_EQ(h.getLocation(holder.Get(), first.Put()), S_OK);
        ASSERT_TRUE(first);
        EXPECT_EQ(Read(first.Get()), Snapshot{});
        first->SetLatitude(45.0);
        first->SetName(Bstr("changed").Get());
        ASSERT_EQ(h.getLocation(holder.Get(), second.Put()), S_OK);
        ASSERT_TRUE(second);
        EXPECT_NE(first.Get(), second.Get());
        EXPECT_EQ(Read(second.Get()), Snapshot{});
    }
}

TEST(DestinationObject, LocationMethodsReachTheInnerLocation) {
    auto destination = New<IDestinationObject>(CLSID_DestinationObject, IID_IDestinationObject);
    ASSERT_EQ(destination->SetLatitude(47.1410), S_OK);
    ASSERT_EQ(destination->SetLongitude(9.5209), S_OK);
    ASSERT_EQ(destination->SetName(Bstr("Vaduz").Get()), S_OK);
    ASSERT_EQ(destination->SetDescription(Bstr("Städtle").Get()), S_OK);
    VARIANT_BOOL valid = 0;
    ASSERT_EQ(destination->IsValid(&valid), S_OK);
    EXPECT_EQ(valid, 1);
    ComPtr<ILocationObject> copy;
    ASSERT_EQ(destination->GetLocation(copy.Put()), S_OK);
    EXPECT_EQ(Read(copy.Get()), (Snapshot{47.1410, 9.5209, "Vaduz", "Städtle"}));

    // SetLocation copies: the destination does not follow the location it was set from.
    ComPtr<ILocationObject> other = NewLocation(42.5063, 1.5218, "Andorra la Vella", "");
    ASSERT_EQ(destination->SetLocation(other.Get()), S_OK);
    other->SetLatitude(0.0);
    double latitude = 0.0;
    destination->GetLatitude(&latitude);
    EXPECT_EQ(latitude, 42.5063);
    Bstr name;
    destination->GetName(name.Put());
    EXPECT_EQ(name.Utf8(), "Andorra la Vella");
    EXPECT_EQ(destination->SetLocation(nullptr), E_POINTER);
}

TEST(VirtualObject, SetHeadingDropsTheSignAndWrapsAtAFullTurn) {
    struct Case {
        SHORT in, stored;
        VARIANT_BOOL valid;
    };
    const Case cases[] = {
        {-450, 90, 1}, {-1, -1, 0},  {0, 0, 1},      {359, 359, 1}, {360, 0, 1}, {720, 0, 1},
        {-90, 90, 1},  {450, 90, 1}, {-32768, 8, 1}, {32767, 7, 1}, {-2, 2, 1},  {-360, 0, 1},
    };
    auto walker = New<IVirtualObject>(CLSID_VirtualObject, IID_IVirtualObject);
    for (const Case& c : cases) {
        ASSERT_EQ(walker->SetHeading(c.in), S_OK);
        SHORT stored = 0;
        VARIANT_BOOL valid = 7;
        ASSERT_EQ(walker->GetHeadingDegrees(&stored), S_OK);
        ASSERT_EQ(walker->IsHeadingValid(&valid), S_OK);
        EXPECT_EQ(stored, c.stored) << c.in;
        EXPECT_EQ(valid, c.valid) << c.in;
    }
}

TEST(VirtualObject, PositionNameAndDescriptionLiveInTheInnerLocation) {
    auto walker = New<IVirtualObject>(CLSID_VirtualObject, IID_IVirtualObject);
    ComPtr<ILocationObject> place = NewLocation(39.2904, -76.6122, "Inner Harbor", "Pratt St");
    ASSERT_EQ(walker->SetLocation(place.Get()), S_OK);
    ASSERT_EQ(walker->SetName(Bstr("Harbor").Get()), S_OK);
    Bstr name, description;
    double latitude = 0.0, longitude = 0.0;
    VARIANT_BOOL valid = 0;
    ASSERT_EQ(walker->GetName(name.Put()), S_OK);
    ASSERT_EQ(walker->GetDescription(description.Put()), S_OK);
    ASSERT_EQ(walker->GetLatitude(&latitude), S_OK);
    ASSERT_EQ(walker->GetLongitude(&longitude), S_OK);
    ASSERT_EQ(walker->IsValid(&valid), S_OK);
    EXPECT_EQ(name.Utf8(), "Harbor");
    EXPECT_EQ(description.Utf8(), "Pratt St");
    EXPECT_EQ(latitude, 39.2904);
    EXPECT_EQ(longitude, -76.6122);
    EXPECT_EQ(valid, 1);
    // The name change went to the walker's own copy, not to the place it was set from.
    Bstr placeName;
    place->GetName(placeName.Put());
    EXPECT_EQ(placeName.Utf8(), "Inner Harbor");
}

TEST(WhereAmIObject, PlainMapNameFromTheFileName) {
    struct Case {
        const char16_t* map;
        const char16_t* plain;
    };
    const Case cases[] = {
        {u"Monaco_Ville-2024_03", u"Monaco Ville"},
        {u"New_York_City-r12", u"New York City"},
        {u"Andorra_2", u"Andorra"},
        {u"Baltimore_City_10", u"Baltimore City"},
        {u"Liechtenstein", u"Liechtenstein"},
        {u"Trail_a1", u"Trail a1"},
        {u"Trail_", u"Trail "},
        {u"A-B_1", u"A"},
        {u"_5", u""},
        {u"", u""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(gpscore::PlainMapName(c.map), c.plain) << gpslib::ToUtf8(c.map);
}

TEST(TalkingLightObject, RawTextSetsIdAndAmplitudeOnlyWhenItIsATalkingLight) {
    struct Case {
        const char* raw;
        const char* id;
        LONG amplitude;
    };
    // Each row starts from a light with id "X1" and amplitude 5.
    const Case cases[] = {
        {"<TL><id>AB</id><am>63</am></TL>", "AB", 63},
        {"<tl><id>AB</id><am>63</am></TL>", "X1", 5},
        {" <TL><id>AB</id><am>63</am></TL>", "X1", 5},
        {"", "X1", 5},
        {"<TL><am>12</am></TL>", "", 12},
        {"<TL><id>CD</id></TL>", "CD", 0},
        {"<TL><id>CD</id><am>loud</am></TL>", "CD", 0},
        {"<TL><id>E</id><am>-7</am></TL>", "E", -7},
        {"<TL><id>F<am>3</am></TL>", "", 3},
        {"<TL></id>Z<id>Q</id><am>1</am>", "Q", 1},
        {"<TL><id></id><am>99999999999</am></TL>", "", 2147483647},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raw);
        auto light = New<ITalkingLightObject>(CLSID_TalkingLightObject, IID_ITalkingLightObject);
        ASSERT_EQ(light->InternalSetFromRawData(Bstr("<TL><id>X1</id><am>5</am></TL>").Get()),
                  S_OK);
        ASSERT_EQ(light->InternalSetFromRawData(Bstr(c.raw).Get()), S_OK);
        Bstr id;
        LONG amplitude = -1;
        ASSERT_EQ(light->GetId(id.Put()), S_OK);
        ASSERT_EQ(light->GetAmplitude(&amplitude), S_OK);
        EXPECT_EQ(id.Utf8(), c.id);
        EXPECT_EQ(amplitude, c.amplitude);
    }
}

TEST(TalkingLightObject, RawTextRoundTrips) {
    auto light = New<ITalkingLightObject>(CLSID_TalkingLightObject, IID_ITalkingLightObject);
    const char* raw = "<TL><id>K7</id><am>-42</am></TL>";
    ASSERT_EQ(light->InternalSetFromRawData(Bstr(raw).Get()), S_OK);
    Bstr written;
    ASSERT_EQ(light->InternalGetRawData(written.Put()), S_OK);
    EXPECT_EQ(written.Utf8(), raw);
    EXPECT_EQ(light->InternalSetFromRawData(nullptr), S_OK); // Not a light: unchanged.
    ASSERT_EQ(light->InternalGetRawData(written.Put()), S_OK);
    EXPECT_EQ(written.Utf8(), raw);
}

} // namespace
