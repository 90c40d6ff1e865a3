// Clang's thread-safety attributes, so that the compiler checks which lock guards what. Other
// compilers see nothing. The Clang build turns the analysis on with -Wthread-safety.
#pragma once

#if defined(__clang__)
#define GPSLIB_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define GPSLIB_THREAD_ATTRIBUTE(x)
#endif

#define CAPABILITY(x) GPSLIB_THREAD_ATTRIBUTE(capability(x))
#define SCOPED_CAPABILITY GPSLIB_THREAD_ATTRIBUTE(scoped_lockable)
#define GUARDED_BY(x) GPSLIB_THREAD_ATTRIBUTE(guarded_by(x))
#define PT_GUARDED_BY(x) GPSLIB_THREAD_ATTRIBUTE(pt_guarded_by(x))
#define REQUIRES(...) GPSLIB_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) GPSLIB_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define RELEASE(...) GPSLIB_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) GPSLIB_THREAD_ATTRIBUTE(try_acquire_capability(__VA_ARGS__))
#define EXCLUDES(...) GPSLIB_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define ASSERT_CAPABILITY(x) GPSLIB_THREAD_ATTRIBUTE(assert_capability(x))
#define RETURN_CAPABILITY(x) GPSLIB_THREAD_ATTRIBUTE(lock_returned(x))
#define NO_THREAD_SAFETY_ANALYSIS GPSLIB_THREAD_ATTRIBUTE(no_thread_safety_analysis)
