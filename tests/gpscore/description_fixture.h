// The fixture of the description tests: the string module loaded and every setting the
// descriptions read put back to a known state (heading style AheadLeft, Imperial units, full
// compass words, no spelling marks, fine directions).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string_view>

#include "GPSLib_classes.h"
#include "base/Descriptions.h"
#include "base/Utility.h"

namespace gpslib::test {

// A place for the descriptions to name: a location object with a position, a name and a
// description.
inline ComPtr<ILocationObject> Place(double latitude, double longitude, std::string_view name = "",
                                     std::string_view description = "") {
    ComPtr<ILocationObject> place;
    EXPECT_EQ(CreateObject(CLSID_LocationObject, IID_ILocationObject, &place), S_OK);
    place->SetLatitude(latitude);
    place->SetLongitude(longitude);
    place->SetName(Bstr(name).Get());
    place->SetDescription(Bstr(description).Get());
    return place;
}

} // namespace gpslib::test

class DescriptionFixture : public ::testing::Test {
protected:
    void SetUp() override {
        utility = gpscore::Utility::Instance();
        ASSERT_NE(utility, nullptr);
        ASSERT_TRUE(utility->LoadResources(GPSLIB_RESOURCE_MODULE));
        Change([](System& s) {
            s.headingMode = AheadLeft;
            s.units = Imperial;
            s.compassDescriptions = Full;
            s.includeSpellDecorators = 0;
            s.SetArrivedNearThreshold(Imperial, 12);
        });
    }

    using System = gpscore::settings::System;
    // Changes the system settings the descriptions read.
    void Change(const std::function<void(System&)>& change) {
        utility->ChangeSystemSettings(change);
    }
    gpscore::Wording words() const { return gpscore::Wording(utility); }

    std::shared_ptr<gpscore::Utility> utility;
};
