// The fixture of the description tests: the string module loaded and every setting the
// descriptions read put back to a known state (heading style AheadLeft, Imperial units, full
// compass words, no spelling marks, fine directions).
#pragma once

#include <gtest/gtest.h>

#include "base/Descriptions.h"
#include "base/Utility.h"

class DescriptionFixture : public ::testing::Test {
protected:
    void SetUp() override {
        utility = gpscore::Utility::Instance();
        ASSERT_NE(utility, nullptr);
        ASSERT_TRUE(utility->LoadResources(GPSLIB_RESOURCE_MODULE));
        settings()->SetHeadingMode(AheadLeft);
        settings()->SetUnits(Imperial);
        settings()->SetDefaultCompassDescriptions(Full);
        settings()->SetIncludeSpellDecorators(0);
        settings()->SetArrivedNearThreshold(Imperial, 12);
    }

    ISystemSettingsObject* settings() { return utility->SystemSettings().Get(); }
    gpscore::Wording words() const { return gpscore::Wording(utility); }

    std::shared_ptr<gpscore::Utility> utility;
};
