// The platform the registry store is read and written through: the process's default Env, or
// one a test puts in its place to fail the store's writes on demand. Not part of the public
// headers: only the runtime and its tests include it.
#pragma once

#include <gpslib/automation.h>

namespace gpslib::os {
class Env;
}

namespace gpslib {

// Null restores the default Env. REQUIRES: `env` outlives its use; no update is under way.
GPSLIB_API void SetRegistryEnvForTesting(os::Env* env);

} // namespace gpslib
