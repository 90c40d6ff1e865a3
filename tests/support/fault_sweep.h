// Fault sweeps: an operation is run once to count the platform calls it makes, then once more
// for every one of them, that call failing, with a check after each run. A fault the counting
// run never reached is not a case, so a new write in the code is swept without a new test.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <map>
#include <string>

#include "fake_env.h"

namespace gpslib::test {

// The fault of one run; none (nth 0) in the counting run.
struct Fault {
    FakeEnv::Op op = FakeEnv::Op::kWrite;
    int nth = 0;

    explicit operator bool() const { return nth > 0; }
    std::string Name() const {
        static const char* const kNames[] = {"read", "write", "sync", "rename"};
        return *this ? std::string(kNames[static_cast<int>(op)]) + " " + std::to_string(nth)
                     : "no fault";
    }
};

struct FaultSweep {
    // Puts back the state every run starts from. Its calls are neither counted nor failed.
    std::function<void()> prepare = [] {};
    // The operation swept; its calls through the FakeEnv are counted and failed.
    std::function<void()> run;
    // Called after every run, the counting one included, with the run's fault.
    std::function<void(const Fault&)> check;
};

// The calls a durable write makes.
inline constexpr std::initializer_list<FakeEnv::Op> kWriteCalls = {
    FakeEnv::Op::kWrite, FakeEnv::Op::kSync, FakeEnv::Op::kRename};

// Runs the sweep over the calls of the kinds in `ops`; returns the number of faulted runs (a
// sweep that faults nothing fails the calling test).
inline int SweepFaults(FakeEnv& env, const FaultSweep& sweep,
                       std::initializer_list<FakeEnv::Op> ops = kWriteCalls) {
    env.ClearFaults();
    sweep.prepare();
    std::map<FakeEnv::Op, int> calls;
    for (FakeEnv::Op op : ops)
        calls[op] = -env.Count(op);
    sweep.run();
    for (FakeEnv::Op op : ops)
        calls[op] += env.Count(op);
    {
        SCOPED_TRACE("no fault");
        sweep.check(Fault{});
    }
    int runs = 0;
    for (FakeEnv::Op op : ops) {
        for (int nth = 1; nth <= calls[op]; ++nth) {
            const Fault fault{op, nth};
            SCOPED_TRACE(fault.Name());
            sweep.prepare();
            env.FailNth(op, nth, os::Status::IOError("injected fault"));
            sweep.run();
            env.ClearFaults();
            sweep.check(fault);
            ++runs;
        }
    }
    EXPECT_GT(runs, 0) << "the operation made none of the calls swept";
    return runs;
}

} // namespace gpslib::test
