// The main of every benchmark program: says how the code was built before measuring it, and
// exits with 1 when a benchmark failed, so that `make bench` fails. A benchmark skipped for want
// of data (see bench_util.h) is listed at the end and does not fail the run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_util.h"

namespace {

// The console output, plus a tally of the runs that stopped with an error.
class TallyReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (!run.error_occurred) continue;
            const std::string line = run.benchmark_name() + ": " + run.error_message;
            if (run.error_message.rfind(gpslib::bench::kMissingDataPrefix, 0) == 0)
                skipped.push_back(line);
            else
                failed.push_back(line);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    std::vector<std::string> skipped;
    std::vector<std::string> failed;
};

} // namespace

int main(int argc, char** argv) {
#ifndef NDEBUG
    std::fprintf(stderr, "WARNING: assertions are on; build with BUILD_TYPE=Release to measure.\n");
#endif
    std::fprintf(stderr, "gpslib build type: %s\n", GPSLIB_BUILD_TYPE);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    TallyReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    for (const std::string& line : reporter.skipped)
        std::fprintf(stderr, "SKIPPED %s\n", line.c_str());
    for (const std::string& line : reporter.failed)
        std::fprintf(stderr, "FAILED %s\n", line.c_str());
    return reporter.failed.empty() ? 0 : 1;
}
