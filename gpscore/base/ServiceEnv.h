// The platform the service runs on: the system Env, or one a test puts in its place so that the
// receiver's pauses and silences run on a fake clock.
#ifndef GPSCORE_BASE_SERVICEENV_H_
#define GPSCORE_BASE_SERVICEENV_H_

namespace gpslib::os {
class Env;
}

namespace gpscore {

gpslib::os::Env* ServiceEnv();
// Null restores the system Env. REQUIRES: no core is running; `env` outlives its use.
void SetServiceEnvForTesting(gpslib::os::Env* env);

} // namespace gpscore

#endif // GPSCORE_BASE_SERVICEENV_H_
