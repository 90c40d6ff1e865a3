// Runs the built map compiler as a child process and watches its memory: what the country-sized
// benchmarks compile their maps with.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace gpslib::bench {

// The anonymous resident memory of process `pid` (its heap and stacks, which the system cannot
// page out without swap; mapped file pages, such as the disk node index, not included); 0 when
// the process is gone.
inline std::uint64_t AnonymousBytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("RssAnon:", 0) == 0) return std::stoull(line.substr(8)) * 1024;
    return 0;
}

struct Peaks {
    std::uint64_t resident = 0;  // ru_maxrss: every page the process held, mapped files too
    std::uint64_t anonymous = 0; // the most RssAnon seen, sampled every 20 ms
};

// Runs gpsmap-build on `input` into `output`; false when it fails.
inline bool RunCompiler(const std::string& input, const std::string& output, const char* index,
                        Peaks* peaks) {
    std::filesystem::create_directories(output);
    const std::string tool = GPSMAP_BUILD_TOOL, option = std::string("--node-index=") + index;
    pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        execl(tool.c_str(), tool.c_str(), "--quiet", option.c_str(), "-o", output.c_str(),
              input.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    pid_t done = 0;
    while ((done = wait4(child, &status, WNOHANG, &usage)) == 0) {
        peaks->anonymous = std::max(peaks->anonymous, AnonymousBytes(child));
        usleep(20'000);
    }
    if (done != child) return false;
    peaks->resident = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace gpslib::bench
