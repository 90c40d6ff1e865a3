// Every class of the type library: creatable by class id and ProgID, every method reachable
// through its vtable and through IDispatch by name, null out pointers refused, field storage
// round trips, the list of methods still to come, and the module's unload answer.
#include <dlfcn.h>
#include <gpslib/GPSLib.h>
#include <gpslib/dispatch.h>
#include <gpslib/registry.h>
#include <gpslib/support.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "registered_module.h"

using gpslib::Bstr;
using gpslib::ComPtr;
using gpslib::test::CallByName;

namespace {
using gpslib::test::ClassUnderTest;
using gpslib::test::FieldAccessors;
using gpslib::test::InterfaceCalls;
using gpslib::test::NullOutCall;
#include "GPSLib_calls.inc"
} // namespace

extern const gpslib::InterfaceInfo* const kGPSLibInterfaces[];

namespace {

const gpslib::InterfaceInfo* InfoFor(const IID& iid) {
    for (auto* const* p = kGPSLibInterfaces; *p != nullptr; ++p)
        if (*(*p)->iid == iid) return *p;
    return nullptr;
}

const InterfaceCalls* CallsFor(const IID& iid) {
    for (const auto& c : kAllCalls)
        if (*c.iid == iid) return &c;
    return nullptr;
}

class Classes : public ::testing::TestWithParam<ClassUnderTest> {
protected:
    void SetUp() override { gpslib::test::RegisteredCoreStore(); }

    // A new object, through the interface under test (every interface is a dispatch one).
    ComPtr<IDispatch> Create() { return Through(*GetParam().clsid, *GetParam().iid); }

public:
    static ComPtr<IDispatch> Through(const CLSID& clsid, const IID& iid) {
        ComPtr<IDispatch> object = gpslib::test::New<IDispatch>(clsid, IID_IDispatch);
        ComPtr<IDispatch> part;
        if (object) {
            EXPECT_EQ(object->QueryInterface(iid, part.PutVoid()), S_OK);
        }
        return part;
    }
};

DISPID IdOf(IDispatch* object, const char* name) {
    std::u16string wide = gpslib::ToUtf16(name);
    LPOLESTR names[] = {wide.data()};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << name;
    return id;
}

TEST_P(Classes, CreatedByClassIdAndByBothProgIds) {
    const ClassUnderTest& c = GetParam();
    ComPtr<IUnknown> byId;
    ASSERT_EQ(CoCreateInstance(*c.clsid, nullptr, CLSCTX_ALL, *c.iid, byId.PutVoid()), S_OK);
    for (std::string progId : {std::string("GPS.") + c.name + ".1", std::string("GPS.") + c.name}) {
        CLSID clsid{};
        ASSERT_EQ(CLSIDFromProgID(gpslib::ToUtf16(progId).c_str(), &clsid), S_OK) << progId;
        EXPECT_EQ(clsid, *c.clsid) << progId;
    }
    // The object answers for its own interfaces, IDispatch and IUnknown, and nothing else; every
    // interface leads to the same object (one IUnknown) and back to every other, and IDispatch
    // is the default interface's.
    ComPtr<IUnknown> other;
    EXPECT_EQ(byId->QueryInterface(IID_IClassFactory, other.PutVoid()), E_NOINTERFACE);
    EXPECT_FALSE(other);
    ComPtr<IUnknown> unknown1, unknown2, dispatch;
    ASSERT_EQ(byId->QueryInterface(IID_IUnknown, unknown1.PutVoid()), S_OK);
    ASSERT_EQ(byId->QueryInterface(IID_IDispatch, dispatch.PutVoid()), S_OK);
    for (const ClassUnderTest& sibling : kAllClasses) {
        if (sibling.clsid != c.clsid) continue;
        ComPtr<IUnknown> through, back;
        ASSERT_EQ(byId->QueryInterface(*sibling.iid, through.PutVoid()), S_OK) << sibling.name;
        ASSERT_EQ(through->QueryInterface(IID_IUnknown, back.PutVoid()), S_OK);
        EXPECT_EQ(back.Get(), unknown1.Get()) << c.name;
        if (sibling.primary) {
            EXPECT_EQ(through.Get(), dispatch.Get()) << c.name;
        }
    }
}

TEST_P(Classes, EveryMethodRefusesNullOutPointersThroughTheVtable) {
    const ClassUnderTest& c = GetParam();
    const InterfaceCalls* calls = CallsFor(*c.iid);
    ASSERT_NE(calls, nullptr);
    ComPtr<IDispatch> object = Create();
    ASSERT_TRUE(object);
    // Methods that by design accept anything and write nothing.
    const std::set<std::string> acceptsNull = {
        "TalkingLightsDatabaseLoad",   "TalkingLightsGetNumberOfActiveLights",
        "TalkingLightsGetAllLightIds", "TalkingLightsGet",
        "TalkingLightsGetNearest",     "TalkingLightsGetMinAmplitudePercentage"};
    for (std::size_t i = 0; i < calls->count; ++i) {
        const NullOutCall& m = calls->calls[i];
        HRESULT hr = m.call(object.Get());
        if (m.hasOut && !acceptsNull.count(m.name)) {
            EXPECT_EQ(hr, E_POINTER) << c.name << "::" << m.name;
        }
    }
}

VARTYPE TypeOf(gpslib::ParamType t) {
    using P = gpslib::ParamType;
    static const std::map<P, VARTYPE> kTypes = {
        {P::Short, VT_I2},    {P::Long, VT_I4},         {P::Double, VT_R8},      {P::Bool, VT_BOOL},
        {P::String, VT_BSTR}, {P::Object, VT_DISPATCH}, {P::Unknown, VT_UNKNOWN}};
    const auto found = kTypes.find(t);
    return found == kTypes.end() ? VARTYPE(VT_EMPTY) : found->second;
}

// Builds a default argument of the parameter's type; out values point into `storage`.
VARIANT ArgumentFor(const gpslib::ParamInfo& p, VARIANT* storage) {
    VARIANT v;
    VariantInit(&v);
    VariantInit(storage);
    v.vt = TypeOf(p.type);
    if (p.dir != gpslib::ParamDir::In || p.type == gpslib::ParamType::List) {
        v.vt = VT_BYREF | VT_VARIANT;
        v.pvarVal = storage;
    }
    return v;
}

// Calls a method by name with a default value for every argument (out values into variants);
// returns the method's status. A wrong argument count must never reach the method.
HRESULT InvokeWithDefaults(IDispatch* object, const gpslib::MethodInfo& m) {
    VARIANT storage[16];
    std::vector<VARIANT> args;
    gpslib::ParamType retType = gpslib::ParamType::Variant;
    for (std::uint8_t p = 0; p < m.paramCount; ++p) {
        if (m.params[p].dir == gpslib::ParamDir::RetVal)
            retType = m.params[p].type;
        else
            args.push_back(ArgumentFor(m.params[p], &storage[p]));
    }
    gpslib::Variant result;
    HRESULT hr = CallByName(object, m.name, args, &result);
    if (hr == S_OK && retType != gpslib::ParamType::Variant) {
        EXPECT_EQ(result.vt, TypeOf(retType)) << m.name;
    }
    for (std::uint8_t p = 0; p < m.paramCount; ++p) {
        bool byRef = m.params[p].dir == gpslib::ParamDir::Out ||
                     m.params[p].dir == gpslib::ParamDir::InOut ||
                     m.params[p].type == gpslib::ParamType::List;
        if (byRef) VariantClear(&storage[p]);
    }
    args.push_back(VARIANT{});
    EXPECT_EQ(CallByName(object, m.name, args, nullptr), DISP_E_BADPARAMCOUNT) << m.name;
    return hr;
}

TEST_P(Classes, EveryMethodIsReachableByNameThroughIDispatch) {
    const ClassUnderTest& c = GetParam();
    const gpslib::InterfaceInfo* info = InfoFor(*c.iid);
    const InterfaceCalls* calls = CallsFor(*c.iid);
    ASSERT_NE(info, nullptr);
    ASSERT_NE(calls, nullptr);
    ASSERT_EQ(info->methodCount, calls->count);
    ComPtr<IDispatch> object = Create();
    ASSERT_TRUE(object);
    for (std::size_t i = 0; i < calls->count; ++i) {
        const NullOutCall& expected = calls->calls[i];
        // Names resolve to the dispatch ids of the library, in any letter case.
        std::string lower = expected.name;
        for (char& ch : lower)
            ch = static_cast<char>(std::tolower(ch));
        EXPECT_EQ(IdOf(object.Get(), expected.name), expected.dispid) << expected.name;
        EXPECT_EQ(IdOf(object.Get(), lower.c_str()), expected.dispid) << lower;

        const gpslib::MethodInfo* m = gpslib::FindMethod(*info, expected.dispid);
        ASSERT_NE(m, nullptr);
        HRESULT hr = InvokeWithDefaults(object.Get(), *m);
        // The call reached the method: the status is the method's, never a marshalling error.
        EXPECT_TRUE(hr == S_OK || hr == S_FALSE || hr == E_NOTIMPL || hr == E_POINTER ||
                    hr == E_INVALIDARG || hr == E_FAIL)
            << c.name << "::" << m->name << " 0x" << std::hex << hr;
    }
}

TEST_P(Classes, FieldsKeepWhatIsStored) {
    if (GetParam().primary) gpslib::test::ChangeFields(Create().Get(), *GetParam().clsid);
}

std::string ClassName(const ::testing::TestParamInfo<ClassUnderTest>& info) {
    return std::string(info.param.name) +
           (info.param.primary ? "" : "_" + std::to_string(info.index));
}

INSTANTIATE_TEST_SUITE_P(AllClasses, Classes, ::testing::ValuesIn(kAllClasses), ClassName);

// docs/pending-methods.md lists, class by class, every method whose behaviour is still to come
// (it answers E_NOTIMPL). The list must match the code exactly, so that none is forgotten and
// none stays listed once it works. GPSLIB_WRITE_PENDING=<file> writes the current list instead.
std::map<std::string, std::set<std::string>> PendingInCode() {
    std::map<std::string, std::set<std::string>> pending;
    for (const ClassUnderTest& c : kAllClasses) {
        ComPtr<IDispatch> object = Classes::Through(*c.clsid, *c.iid);
        const gpslib::InterfaceInfo* info = InfoFor(*c.iid);
        for (std::size_t i = 0; object && i < info->methodCount; ++i)
            if (InvokeWithDefaults(object.Get(), info->methods[i]) == E_NOTIMPL)
                pending[c.name].insert(info->methods[i].name);
    }
    return pending;
}

std::map<std::string, std::set<std::string>> PendingInDocs(const std::string& text) {
    std::map<std::string, std::set<std::string>> pending;
    std::string current;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("### ", 0) == 0) {
            current = line.substr(4);
            continue;
        }
        for (std::size_t b = line.find('`'); b != std::string::npos && !current.empty();
             b = line.find('`', b + 1)) {
            std::size_t e = line.find('`', b + 1);
            if (e == std::string::npos) break;
            pending[current].insert(line.substr(b + 1, e - b - 1));
            b = e;
        }
    }
    return pending;
}

TEST(PendingMethods, DocumentedListMatchesTheCode) {
    gpslib::test::RegisteredCoreStore();
    auto inCode = PendingInCode();
    if (const char* out = std::getenv("GPSLIB_WRITE_PENDING")) {
        std::ofstream file(out);
        for (const auto& [cls, methods] : inCode) {
            file << "\n### " << cls << "\n\n";
            std::string line;
            for (const auto& m : methods) {
                std::string item = "`" + m + "`";
                if (line.size() + item.size() + 2 > 98) {
                    file << line << "\n";
                    line.clear();
                }
                line += (line.empty() ? "" : ", ") + item;
            }
            file << line << "\n";
        }
        return;
    }
    std::ifstream file(std::string(GPSLIB_SOURCE_DIR) + "/docs/pending-methods.md");
    ASSERT_TRUE(file) << "docs/pending-methods.md is missing";
    std::stringstream text;
    text << file.rdbuf();
    auto inDocs = PendingInDocs(text.str());
    for (const auto& [cls, methods] : inCode)
        for (const auto& m : methods)
            EXPECT_TRUE(inDocs[cls].count(m))
                << cls << "::" << m << " is not implemented and not listed";
    for (const auto& [cls, methods] : inDocs)
        for (const auto& m : methods)
            EXPECT_TRUE(inCode[cls].count(m))
                << cls << "::" << m << " works now; remove it from the list";
}

TEST(Setters, NotNullStringsAreRefused) {
    auto settings = GPS_NEW(GPSSettingsObject);
    EXPECT_EQ(settings->SetGPSPortName(nullptr), E_POINTER);
    EXPECT_EQ(settings->SetSimulatedGPSFile(nullptr), E_POINTER);
    EXPECT_EQ(gpslib::test::ReadByName(settings.Get(), "GetGPSPortName"), "\"BSP\""); // Kept.
}

// The module's answer with none of its objects alive, then with one. Earlier tests in this
// process leave objects behind on purpose (value objects create the process's Utility, which
// holds its settings objects until the last service goes), so the check runs in a process of
// its own.
TEST(Module, CannotUnloadWhileObjectsLive) {
    GTEST_FLAG_SET(death_test_style, "threadsafe"); // A fresh process, not a fork of this one.
    EXPECT_EXIT(
        {
            gpslib::test::RegisteredCoreStore();
            auto location = GPS_NEW(LocationObject); // Activation loads the module.
            void* handle = dlopen(GPSCORE_MODULE, RTLD_NOW | RTLD_NOLOAD);
            auto canUnload =
                handle == nullptr
                    ? nullptr
                    : reinterpret_cast<PFN_DllCanUnloadNow>(dlsym(handle, "DllCanUnloadNow"));
            if (canUnload == nullptr) std::exit(2);
            if (canUnload() != S_FALSE) std::exit(3);
            location.Reset();
            std::exit(canUnload() == S_OK ? 0 : 4);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
