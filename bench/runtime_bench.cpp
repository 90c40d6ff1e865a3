// Object runtime benchmarks: creating a value object by class id, and one late-bound call.
//
// Targets on the reference machine: creation under 1 us, an Invoke round trip under 0.5 us
// (median). Figures are kept in docs/performance.md.
#include <benchmark/benchmark.h>
#include <gpslib/GPSLib.h>
#include <gpslib/support.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_util.h"

namespace {

// Registers the service module into a private registry store once per process.
void RegisterOnce() {
    gpslib::bench::RegisterModulesOnce(
        GPSREG_TOOL, std::string(GPSLIB_BENCH_DIR) + "/bench_registry.reg", {GPSCORE_MODULE});
}

void BM_CreateValueObject(benchmark::State& state) {
    RegisterOnce();
    for (auto _ : state) {
        ILocationObject* location = nullptr;
        HRESULT hr = CoCreateInstance(CLSID_LocationObject, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_ILocationObject, reinterpret_cast<void**>(&location));
        if (FAILED(hr))
            state.SkipWithError("CoCreateInstance failed");
        else
            location->Release();
    }
}
BENCHMARK(BM_CreateValueObject)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_InvokeRoundTrip(benchmark::State& state) {
    RegisterOnce();
    gpslib::ComPtr<IDispatch> location;
    if (FAILED(CoCreateInstance(CLSID_LocationObject, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                location.PutVoid()))) {
        state.SkipWithError("CoCreateInstance failed");
        return;
    }
    OLECHAR name[] = u"SetLatitude";
    LPOLESTR names[] = {name};
    DISPID id = DISPID_UNKNOWN;
    location->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_R8;
    arg.dblVal = 43.7384;
    DISPPARAMS params{&arg, nullptr, 1, 0};
    for (auto _ : state) {
        HRESULT hr =
            location->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        benchmark::DoNotOptimize(hr);
    }
}
BENCHMARK(BM_InvokeRoundTrip)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
