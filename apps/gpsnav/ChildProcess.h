// Other programs gpsnav runs: gpxtrace to turn a GPX track into a trace, espeak-ng to speak.
#ifndef GPSNAV_CHILDPROCESS_H_
#define GPSNAV_CHILDPROCESS_H_

#include <string>
#include <vector>

namespace gpsnav {

// Runs a program with its arguments (no shell, looked up on the PATH when its name has no
// slash) and waits for it; true when it exited with status 0. Its output stays off gpsnav's
// answers; with `quiet` its error messages too.
bool RunProgram(std::vector<std::string> args, bool quiet = false);

} // namespace gpsnav

#endif // GPSNAV_CHILDPROCESS_H_
