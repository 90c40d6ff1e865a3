// Registers the GPSLib classes linked into this executable as process-local class objects for
// the whole test run: creation by class id then finds them without a registry store, and
// ImplOf reaches their internal setters.
#include <gpslib/registry.h>
#include <gtest/gtest.h>

#include <vector>

#include "GPSLib_classes.h"

namespace {

class InProcessClasses : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_EQ(gpslib::RegisterModuleInProcess(kGPSLibModule, &gpslib::module::g_lockCount,
                                                  &m_cookies),
                  S_OK);
    }
    void TearDown() override {
        for (DWORD cookie : m_cookies)
            EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
        m_cookies.clear();
    }

private:
    std::vector<DWORD> m_cookies;
};

[[maybe_unused]] const ::testing::Environment* const kRegistered =
    ::testing::AddGlobalTestEnvironment(new InProcessClasses);

} // namespace
