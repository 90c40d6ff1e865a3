// Activation through a private registry store: registering the service module, creating its
// classes by class id and ProgID, the failures of a bad registration, and unregistration.
#include <gpslib/GPSLib.h>
#include <gpslib/registry.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/automation/test_util.h"

namespace gpslib::test {
namespace {

constexpr CLSID kUnregistered = {0x0BADC1A5, 0x5EED, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x42}};

// Creates an object, and checks that a failure leaves the out-object null.
HRESULT Create(const CLSID& clsid, DWORD context = CLSCTX_ALL, IUnknown* outer = nullptr) {
    void* out = &out;
    HRESULT hr = CoCreateInstance(clsid, outer, context, IID_IUnknown, &out);
    if (SUCCEEDED(hr)) static_cast<IUnknown*>(out)->Release();
    EXPECT_TRUE(SUCCEEDED(hr) || out == nullptr);
    return hr;
}

TEST(RuntimeActivation, CreatesByClassIdAndProgId) {
    ScopedRegistry registry;
    ASSERT_EQ(CallCore("DllRegisterServer"), S_OK);
    for (auto progId : {u"GPS.LocationObject.1", u"gps.locationobject"}) {
        CLSID clsid = GUID_NULL;
        EXPECT_EQ(CLSIDFromProgID(progId, &clsid), S_OK);
        EXPECT_EQ(clsid, CLSID_LocationObject);
    }
    CLSID clsid = CLSID_LocationObject;
    EXPECT_EQ(CLSIDFromProgID(u"GPS.NoSuchObject", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(clsid, GUID_NULL);

    // CreateObject releases what the target held, and leaves it null on failure.
    TestObject previous;
    void* target = static_cast<IUnknown*>(&previous);
    previous.AddRef();
    ASSERT_EQ(CreateObject(CLSID_LocationObject, IID_ILocationObject, &target), S_OK);
    EXPECT_EQ(previous.refs(), 1u);
    double latitude = 1;
    EXPECT_EQ(static_cast<ILocationObject*>(target)->GetLatitude(&latitude), S_OK);
    EXPECT_EQ(CreateObject(CLSID_LocationObject, IID_ITestItem, &target), E_NOINTERFACE);
    EXPECT_EQ(target, nullptr);
}

TEST(RuntimeActivation, BadRegistrationsFailWithANullObject) {
    ScopedRegistry registry;
    const std::string text = registry.File("notamodule.so");
    std::ofstream(text) << "not a shared object\n";
    const std::pair<const char*, HRESULT> cases[] = {
        // InprocServer32 of the class; null: the class is not registered at all.
        {nullptr, REGDB_E_CLASSNOTREG},
        {"", REGDB_E_CLASSNOTREG},
        {"/nonexistent/libgone.so", CO_E_DLLNOTFOUND},
        {text.c_str(), CO_E_DLLNOTFOUND},
        {GPSLIB_AUTO_MODULE, CO_E_ERRORINDLL}, // A shared object without DllGetClassObject.
        {GPSLIB_CORE_MODULE, CLASS_E_CLASSNOTAVAILABLE}, // A module without that class.
    };
    int store = 0;
    for (const auto& row : cases) {
        const char* module = row.first;
        SCOPED_TRACE(module ? module : "(none)");
        ScopedRegistry::Use(registry.File("case" + std::to_string(++store) + ".reg"));
        auto point = [&](RegistryStore& s) {
            s.SetString("HKCR\\CLSID\\" + GuidToString(kUnregistered) + "\\InprocServer32", "",
                        module);
            return S_OK;
        };
        ASSERT_EQ(module == nullptr ? S_OK : UpdateRegistry(point), S_OK);
        EXPECT_EQ(Create(kUnregistered), row.second);
    }
    ScopedRegistry::Use(text); // A store that does not parse registers nothing.
    EXPECT_EQ(Create(CLSID_LocationObject), REGDB_E_CLASSNOTREG);

    // Registered, but asked for a context this runtime does not serve, or for aggregation.
    ScopedRegistry::Use(registry.path());
    ASSERT_EQ(CallCore("DllRegisterServer"), S_OK);
    EXPECT_EQ(Create(CLSID_LocationObject, CLSCTX_LOCAL_SERVER), REGDB_E_CLASSNOTREG);
    TestObject outer;
    EXPECT_EQ(Create(CLSID_LocationObject, CLSCTX_ALL, &outer), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(outer.refs(), 1u);
}

TEST(RuntimeActivation, UnregistrationRemovesEveryEntry) {
    ScopedRegistry registry;
    const std::string other = GuidToString(kUnregistered);
    ASSERT_EQ(UpdateRegistry([&](RegistryStore& s) {
                  s.SetString("HKLM\\SOFTWARE\\gpslib\\Ports", "COM5:", "/dev/rfcomm0");
                  s.SetString("HKCR\\CLSID\\" + other + "\\InprocServer32", "", "/opt/libother.so");
                  return S_OK;
              }),
              S_OK);
    ASSERT_EQ(CallCore("DllRegisterServer"), S_OK);
    ASSERT_EQ(CallCore("DllRegisterServer"), S_OK) << "registering twice changes nothing";
    RegistryStore store;
    ASSERT_EQ(LoadRegistry(&store), S_OK);
    EXPECT_EQ(store.SubKeys("HKCR\\CLSID").size(), 32u);
    EXPECT_EQ(store.SubKeys("HKCR").size(), 3u + 31 * 2) << "CLSID, Interface, TypeLib, ProgIDs";

    ASSERT_EQ(CallCore("DllUnregisterServer"), S_OK);
    ASSERT_EQ(CallCore("DllUnregisterServer"), S_OK) << "unregistering twice is harmless";
    ASSERT_EQ(LoadRegistry(&store), S_OK);
    EXPECT_EQ(store.SubKeys("HKCR\\CLSID"), std::vector<std::string>{other}) << "others stay";
    for (const std::string& key : store.SubKeys("HKCR")) // No ProgIDs, interfaces, type library.
        EXPECT_TRUE(key == "CLSID" || (store.SubKeys("HKCR\\" + key).empty() &&
                                       key.rfind("GPS.", 0) == std::string::npos))
            << key;
    EXPECT_TRUE(store.KeyExists("HKLM\\SOFTWARE\\gpslib\\Ports"));
    EXPECT_EQ(Create(CLSID_LocationObject), REGDB_E_CLASSNOTREG);
}

} // namespace
} // namespace gpslib::test
