#include "base/ServiceEnv.h"

#include <atomic>

#include "os/env.h"

namespace gpscore {

namespace {
std::atomic<gpslib::os::Env*> g_testEnv{nullptr};
}

gpslib::os::Env* ServiceEnv() {
    gpslib::os::Env* env = g_testEnv.load(std::memory_order_acquire);
    return env != nullptr ? env : gpslib::os::Env::Default();
}

void SetServiceEnvForTesting(gpslib::os::Env* env) {
    g_testEnv.store(env, std::memory_order_release);
}

} // namespace gpscore
