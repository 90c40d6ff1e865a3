// The defaults that are not plain zeros or empty texts, and the "nothing yet" answers computed
// from them, read by name as a late-bound client reads them (booleans as their raw number: the
// address search's starts-with flag is true as 0xFFFF, the others as 1).
#include <gtest/gtest.h>

#include <string>

#include "registered_module.h"

namespace {

struct DefaultCase {
    const char* className;
    const char* expected; // Getter=value pairs, as ReadFields reads them.
};

const DefaultCase kDefaults[] = {
    {"SystemSettingsObject", "GetDebugDirectory=\"\" GetHeadingMode=1 GetUnits=1 "
                             "GetSearchOtherMapDirectories=1 GetDefaultCompassDescriptions=1"},
    {"GPSSettingsObject", "GetPedestrianHeadingAveragingSeconds=5 GetHeadingAveragingMode=1 "
                          "GetInertialReceiverUserHeight=1.803"},
    {"GPSObject", "GetHeadingDegrees=-1 GetInstantaneousHeadingDegrees=-1 GetHDOP=50 GetVDOP=50 "
                  "GetAltitude=-1 IsHeadingValid=0 GetSpeed=0 GetSpeedDouble=0 "
                  "GetEstimatedAccuracy=-1 HasGPSFix=0 IsDifferentialEnabled=0"},
    {"GPSStatusObject", "GetHDOP=50 GetVDOP=50 GetEstimatedAccuracy=-1"},
    {"GPSTimeObject", "IsValid=0"},
    {"BluetoothDeviceObject", "GetPortNumber=-1"},
    {"VirtualObject", "GetHeadingDegrees=-1 IsHeadingValid=0"},
    {"LookaroundSettingsObject",
     "IsLookaroundEnabled=1 IsCommercialPOIsEnabled=1 IsUserPrivatePOIsEnabled=1 "
     "IsIntersectionsEnabled=1 IsStreetChangesEnabled=1 IsCityChangesEnabled=1 "
     "IsMapChangesEnabled=1 GetStartDelayForLookaroundEvents=10 "
     "GetIntersectionMaxSpeedForReporting=50 GetLookaroundReportingInterval=12 GetPOIIncludeTags=1 "
     "GetRouteOptions=2"},
    {"TalkingLightObject", "InternalGetRawData=\"<TL><id></id><am>0</am></TL>\""},
    {"RouteConfigurationObject",
     "GetWaypointMode=1 GetInitialHeading=-1 GetRouteTurnPreferenceVehicle=2"},
    {"RouteSettingsObject", "GetWaypointMode=1 IsAutoIncrementWaypointsWhenReachedOn=1 "
                            "IsWaypointNumberingOn=1 GetNumberingDescriptions=1"},
    {"WaypointConfigurationObject", "GetHeading=-1 GetDistanceNextWP=-1"},
    {"WaypointObject", "GetIndex=-1 GetTurnCompleteHeadingDegrees=-1"},
    {"WaypointUserObject", "GetHeadingWhenCreated=-1"},
    {"POISearchConfigurationObject", "GetMaxSearchResults=25 GetMaxSearchTime=10 IsNewSearch=1 "
                                     "GetDistanceStarting=-1 GetCurrentHeadingDegrees=-1"},
    {"POIObject", "GetFoundIndex=-1"},
    {"AddressSearchConfigurationObject", "GetLastSearchIndex=-1 IsStartsWithEnabled=-1 "
                                         "GetAddressRangeIndicator=\" - \" GetMaxItemsToReturn=-1"},
};

class Defaults : public ::testing::TestWithParam<DefaultCase> {};

TEST_P(Defaults, NewObjectAnswersItsDefaults) {
    const DefaultCase& d = GetParam();
    gpslib::test::RegisteredCoreStore();
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(gpslib::ToUtf16(std::string("GPS.") + d.className).c_str(), &clsid),
              S_OK);
    auto object = gpslib::test::New<IDispatch>(clsid, IID_IDispatch);
    ASSERT_TRUE(object);
    EXPECT_EQ(gpslib::test::ReadFields(object.Get(), d.expected), d.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, Defaults, ::testing::ValuesIn(kDefaults),
                         [](const ::testing::TestParamInfo<DefaultCase>& info) {
                             return std::string(info.param.className);
                         });

} // namespace
