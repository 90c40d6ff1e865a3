// Construction defaults of the value objects that are not plain zeros, and the "nothing yet"
// answers clients test for, read by name through IDispatch as a late-bound client reads them.
#include <gpslib/GPSLib.h>
#include <gpslib/support.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registered_module.h"

namespace {

using gpslib::ComPtr;

struct DefaultCase {
    const char* className;
    const char* getter;
    int unitsArgument; // -1: the getter takes no argument.
    const char* expected;
};

const DefaultCase kDefaults[] = {
    {"SystemSettingsObject", "GetDebugDirectory", -1, ""},
    {"SystemSettingsObject", "GetArrivalDistance", Imperial, "50"},
    {"SystemSettingsObject", "GetArrivedNearThreshold", Imperial, "12"},
    {"SystemSettingsObject", "ShouldCheckForNewMaps", -1, "False"},
    {"GPSObject", "GetHeadingDegrees", -1, "-1"},
    {"GPSObject", "GetInstantaneousHeadingDegrees", -1, "-1"},
    {"GPSObject", "GetFixQuality", -1, "0"},
    {"GPSObject", "GetHDOP", -1, "50"},
    {"GPSObject", "GetVDOP", -1, "50"},
    {"GPSStatusObject", "GetFixQuality", -1, "0"},
    {"GPSStatusObject", "HasGPSFix", -1, "False"},
    {"GPSStatusObject", "GetHDOP", -1, "50"},
    {"GPSStatusObject", "GetVDOP", -1, "50"},
    {"GPSTimeObject", "IsValid", -1, "False"},
    {"BluetoothDeviceObject", "GetPortNumber", -1, "-1"},
    {"BluetoothDeviceObject", "IsActive", -1, "False"},
    {"AutomaticEventObject", "GetEventType", -1, "0"},
    {"AutomaticEventObject", "GetUrgencyLevel", -1, "0"},
    {"DescriptionConfigurationObject", "GetIncludeDescriptionDetails", -1, "False"},
    {"DescriptionConfigurationObject", "GetIncludeCompassDirection", -1, "False"},
    {"DescriptionConfigurationObject", "GetDirectionInformationFirst", -1, "False"},
    {"LocationObject", "IsValid", -1, "False"},
    {"LocationObject", "GetLatitudeHemisphere", -1, "1"},  // South: 0.0 is not north.
    {"LocationObject", "GetLongitudeHemisphere", -1, "1"}, // West.
    {"DestinationObject", "GetSideOfStreet", -1, "0"},
    {"DestinationObject", "IsValid", -1, "False"},
    {"IntersectionObject", "GetIntersectionDescription", -1, ""},
    {"IntersectionObject", "IsValid", -1, "False"},
    {"WhereAmIObject", "GetNumberLanes", -1, "0"},
    {"WhereAmIObject", "GetMapNameOnly", -1, ""},
    {"WhereAmIObject", "IsValid", -1, "False"},
    {"VirtualObject", "GetHeadingDegrees", -1, "-1"},
    {"VirtualObject", "IsHeadingValid", -1, "False"},
    {"VirtualObject", "GetSideOfStreet", -1, "0"},
    {"VirtualObject", "MustCrossStreet", -1, "False"},
    {"VirtualObject", "IsValid", -1, "False"},
    {"LookaroundSettingsObject", "IsLookaroundEnabled", -1, "True"},
    {"LookaroundSettingsObject", "IsCommercialPOIsEnabled", -1, "True"},
    {"LookaroundSettingsObject", "IsUserPrivatePOIsEnabled", -1, "True"},
    {"LookaroundSettingsObject", "IsIntersectionsEnabled", -1, "True"},
    {"LookaroundSettingsObject", "GetStartDelayForLookaroundEvents", -1, "10"},
    {"LookaroundSettingsObject", "IsTalkingLightsEnabled", -1, "False"},
    {"LookaroundSettingsObject", "IsStreetChangesEnabled", -1, "True"},
    {"LookaroundSettingsObject", "IsCityChangesEnabled", -1, "True"},
    {"LookaroundSettingsObject", "IsMapChangesEnabled", -1, "True"},
    {"LookaroundSettingsObject", "GetPOISearchDirection", -1, "0"},
    {"LookaroundSettingsObject", "GetIntersectionMaxSpeedForReporting", -1, "50"},
    {"LookaroundSettingsObject", "GetLookaroundReportingInterval", -1, "12"},
    {"LookaroundSettingsObject", "GetPOIIncludeTags", -1, "True"},
    {"LookaroundSettingsObject", "GetPOIIncludeDistanceDirection", -1, "False"},
    {"LookaroundSettingsObject", "GetRouteOptions", -1, "2"},
    {"TalkingLightObject", "InternalGetRawData", -1, "<TL><id></id><am>0</am></TL>"},
};

class ValueObjectDefaults : public ::testing::TestWithParam<DefaultCase> {};

TEST_P(ValueObjectDefaults, NewObjectAnswersItsDefault) {
    gpslib::test::RegisteredCoreStore();
    const DefaultCase& d = GetParam();
    CLSID clsid{};
    std::string progId = std::string("GPS.") + d.className;
    ASSERT_EQ(CLSIDFromProgID(gpslib::ToUtf16(progId).c_str(), &clsid), S_OK);
    ComPtr<IDispatch> object;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch, object.PutVoid()), S_OK);

    std::u16string name = gpslib::ToUtf16(d.getter);
    LPOLESTR names[] = {name.data()};
    DISPID id = DISPID_UNKNOWN;
    ASSERT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_I4;
    argument.lVal = d.unitsArgument;
    DISPPARAMS params{&argument, nullptr, d.unitsArgument < 0 ? 0u : 1u, 0};
    gpslib::Variant value;
    UINT argErr = 0;
    ASSERT_EQ(object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &value, nullptr, &argErr),
              S_OK);
    ASSERT_EQ(VariantChangeType(&value, &value, 0, VT_BSTR), S_OK);
    EXPECT_EQ(gpslib::ToUtf8(value.bstrVal), d.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, ValueObjectDefaults, ::testing::ValuesIn(kDefaults),
                         [](const ::testing::TestParamInfo<DefaultCase>& info) {
                             return std::string(info.param.className) + "_" + info.param.getter;
                         });

} // namespace
