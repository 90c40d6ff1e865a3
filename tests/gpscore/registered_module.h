// A temporary registry store with libgpscore.so registered in it, shared by the tests of this
// executable (registration goes through the real gpsreg tool).
#pragma once

#include <string>

namespace gpslib::test {

// The store's path; registers the module on first use. Fails the calling test on error.
const std::string& RegisteredCoreStore();

} // namespace gpslib::test
