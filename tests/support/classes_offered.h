// A module's classes offered by class id in this process, for the life of an object or for the
// whole test run: creation by class id then finds them before the registry store, and ImplOf
// reaches their internals.
#pragma once

#include <gpslib/registry.h>
#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace gpslib::test {

class ClassesOffered {
public:
    // REQUIRES: `module` outlives this object.
    explicit ClassesOffered(const ModuleInfo& module) {
        EXPECT_EQ(RegisterModuleInProcess(module, &module::g_lockCount, &m_cookies), S_OK);
    }
    ~ClassesOffered() {
        for (DWORD cookie : m_cookies)
            EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
    }
    ClassesOffered(const ClassesOffered&) = delete;
    ClassesOffered& operator=(const ClassesOffered&) = delete;

private:
    std::vector<DWORD> m_cookies;
};

// Offers the classes from the first test to the last; call it in a namespace-scope initializer.
// REQUIRES: `module` has static storage.
inline ::testing::Environment* OfferForTheRun(const ModuleInfo& module) {
    class Offered final : public ::testing::Environment {
    public:
        explicit Offered(const ModuleInfo& m) : m_module(m) {}
        void SetUp() override { m_offered.emplace(m_module); }
        void TearDown() override { m_offered.reset(); }

    private:
        const ModuleInfo& m_module;
        std::optional<ClassesOffered> m_offered;
    };
    return ::testing::AddGlobalTestEnvironment(new Offered(module));
}

} // namespace gpslib::test
