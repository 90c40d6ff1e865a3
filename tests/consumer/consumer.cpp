// An outside client: includes only the public headers, links only libgpsauto, and reaches the
// service by its ProgID through the registry store, early and late bound.
#include <gpslib/GPSLib.h>
#include <gpslib/automation.h>

#include <cstdio>

namespace {

int Fail(const char* what, HRESULT hr) {
    std::fprintf(stderr, "consumer: %s failed: 0x%08X\n", what, static_cast<unsigned>(hr));
    return 1;
}

} // namespace

int main() {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(u"GPS.GPSCore", &clsid);
    if (FAILED(hr)) return Fail("CLSIDFromProgID(GPS.GPSCore)", hr);

    IGPSCore* core = nullptr;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IGPSCore,
                          reinterpret_cast<void**>(&core));
    if (FAILED(hr) || core == nullptr) return Fail("CoCreateInstance(GPSCore)", hr);

    // Early bound: a required out pointer is checked before anything else.
    hr = core->GPSCalibrateInertialReceiver(nullptr);
    if (hr != E_POINTER) return Fail("GPSCalibrateInertialReceiver(null)", hr);

    // Late bound: by name, as a scripting client calls.
    OLECHAR name[] = u"GPSCalibrateInertialReceiver";
    LPOLESTR names[] = {name};
    DISPID id = DISPID_UNKNOWN;
    hr = core->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    if (FAILED(hr) || id != 110) return Fail("GetIDsOfNames", hr);
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    hr = core->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr);
    if (FAILED(hr) || result.vt != VT_BOOL) return Fail("Invoke(GPSCalibrateInertialReceiver)", hr);
    VariantClear(&result);

    std::printf("GPSCore created by ProgID and called early and late bound.\n");
    core->Release();
    return 0;
}
