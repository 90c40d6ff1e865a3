// Late binding over an interface table written here, so that every parameter kind and direction
// is covered independently of the type library.
#include <gpslib/dispatch.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/automation/test_util.h"

namespace gpslib::test {
namespace {

// The object behind the table: counts calls and answers with `status`.
struct Probe {
    int calls = 0;
    HRESULT status = S_OK;
    HRESULT Done() { return ++calls, status; }
};
template <class T> T& At(void* const* a, int i) { return *static_cast<T*>(a[i]); }
Probe& Self(void* self) { return *static_cast<Probe*>(self); }

using PT = ParamType;
using PD = ParamDir;
// Add(SHORT nA, LONG nB, [retval] LONG* plSum)
const ParamInfo kAdd[] = {{"nA", PT::Short, PD::In, nullptr},
                          {"nB", PT::Long, PD::In, nullptr},
                          {"plSum", PT::Long, PD::RetVal, nullptr}};
// Describe(BSTR bstrName, DOUBLE dValue, [out] BSTR* pbstrText, [in, out] VARIANT_BOOL* pbFlag)
const ParamInfo kDescribe[] = {{"bstrName", PT::String, PD::In, nullptr},
                               {"dValue", PT::Double, PD::In, nullptr},
                               {"pbstrText", PT::String, PD::Out, nullptr},
                               {"pbFlag", PT::Bool, PD::InOut, nullptr}};
// Echo(ITestItem* pItem, [retval] ITestItem** ppItem)
const ParamInfo kEcho[] = {{"pItem", PT::Object, PD::In, &IID_ITestItem},
                           {"ppItem", PT::Object, PD::RetVal, &IID_ITestItem}};
// Lengths([in, out] VARIANT* pvarList): a list of strings in, their lengths out.
const ParamInfo kLengths[] = {{"pvarList", PT::List, PD::InOut, nullptr}};
// TypeOf(VARIANT varValue, [retval] LONG* plType)
const ParamInfo kTypeOf[] = {{"varValue", PT::Variant, PD::In, nullptr},
                             {"plType", PT::Long, PD::RetVal, nullptr}};

const MethodInfo kMethods[] = {
    {"Add", 1, nullptr, 3, kAdd,
     [](void* self, void* const* a) {
         At<LONG>(a, 2) = At<SHORT>(a, 0) + At<LONG>(a, 1);
         return Self(self).Done();
     }},
    {"Describe", 2, nullptr, 4, kDescribe,
     [](void* self, void* const* a) {
         At<BSTR>(a, 2) = AllocBstr(ToUtf8(At<BSTR>(a, 0)) + "=" + std::to_string(At<double>(a, 1)));
         At<VARIANT_BOOL>(a, 3) = At<VARIANT_BOOL>(a, 3) ? VARIANT_FALSE : VARIANT_TRUE;
         return Self(self).Done();
     }},
    {"Echo", 4, nullptr, 2, kEcho,
     [](void* self, void* const* a) {
         if ((At<IUnknown*>(a, 1) = At<IUnknown*>(a, 0)) != nullptr) At<IUnknown*>(a, 0)->AddRef();
         return Self(self).Done();
     }},
    {"Lengths", 5, nullptr, 1, kLengths,
     [](void* self, void* const* a) {
         std::vector<std::u16string> items;
         std::vector<LONG> lengths;
         HRESULT hr = ReadStringList(static_cast<VARIANT*>(a[0]), &items);
         for (const auto& item : items)
             lengths.push_back(static_cast<LONG>(item.size()));
         if (SUCCEEDED(hr)) hr = ReturnLongList(static_cast<VARIANT*>(a[0]), lengths);
         return FAILED(hr) ? hr : Self(self).Done();
     }},
    {"TypeOf", 7, nullptr, 2, kTypeOf,
     [](void* self, void* const* a) {
         At<LONG>(a, 1) = At<VARIANT>(a, 0).vt;
         return Self(self).Done();
     }}};
const InterfaceInfo kProbe = {"IProbe", &IID_ITestItem, kMethods, 5};

HRESULT Call(Probe* probe, DISPID id, VARIANT* args, UINT count, VARIANT* result = nullptr,
             EXCEPINFO* excep = nullptr) {
    DISPPARAMS params{args, nullptr, count, 0};
    return DispatchInvoke(kProbe, probe, id, DISPATCH_METHOD, &params, result, excep, nullptr);
}

TEST(RuntimeDispatch, NamesResolveWithoutRegardToCase) {
    const std::pair<std::vector<std::u16string>, std::vector<DISPID>> cases[] = {
        {{u"DESCRIBE", u"pbflag", u"BSTRNAME"}, {2, 3, 0}},
        {{u"Add", u"nC", u"nb"}, {1, DISPID_UNKNOWN, 1}},
        {{u"Subtract", u"nA"}, {DISPID_UNKNOWN, DISPID_UNKNOWN}},
        {{u"Ad"}, {DISPID_UNKNOWN}},
        {{u"Addd"}, {DISPID_UNKNOWN}},
        {{u"\u0141dd"}, {DISPID_UNKNOWN}}, // Its low byte is 'A'.
    };
    for (auto [names, want] : cases) {
        std::vector<LPOLESTR> pointers;
        for (auto& n : names)
            pointers.push_back(n.data());
        std::vector<DISPID> ids(names.size(), 12345);
        bool known = std::count(want.begin(), want.end(), DISPID_UNKNOWN) == 0;
        UINT count = static_cast<UINT>(names.size());
        EXPECT_EQ(DispatchGetIDsOfNames(kProbe, pointers.data(), count, ids.data()),
                  known ? S_OK : DISP_E_UNKNOWNNAME);
        EXPECT_EQ(ids, want) << ToUtf8(names[0]);
    }
    LPOLESTR none[] = {nullptr};
    DISPID id = 0;
    EXPECT_EQ(DispatchGetIDsOfNames(kProbe, none, 1, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
}

TestObject gItem, gPlain(TestObject::kDispatchOnly);
LONG gLong; // What an out argument of the wrong type points at.

struct ErrorCase {
    const char* name;
    DISPID id;
    UINT cArgs;
    void (*fill)(VARIANT* rgvarg); // The last argument comes first, as callers lay them out.
    HRESULT hr;
    UINT argErr = 99; // 99: not set.
    WORD flags = DISPATCH_METHOD;
    UINT named = 0;
};

// Add's two arguments, and Describe's first two, valid.
void Longs(VARIANT* v) { SetLong(&v[0], 1), SetLong(&v[1], 1); }
void NameValue(VARIANT* v) { SetText(&v[3], u"n"), SetLong(&v[2], 1); }

const ErrorCase kErrors[] = {
    {"too few", 1, 1, [](VARIANT* v) { SetLong(v, 1); }, DISP_E_BADPARAMCOUNT},
    {"text for a short", 1, 2, [](VARIANT* v) { SetLong(&v[0], 1), SetText(&v[1], u"x"); },
     DISP_E_TYPEMISMATCH, 1},
    {"short overflows", 1, 2, [](VARIANT* v) { SetLong(&v[0], 1), SetLong(&v[1], 40000); },
     DISP_E_OVERFLOW, 1},
    {"named arguments", 1, 2, Longs, DISP_E_NONAMEDARGS, 99, DISPATCH_METHOD, 1},
    {"property put", 1, 2, Longs, DISP_E_MEMBERNOTFOUND, 99, DISPATCH_PROPERTYPUT},
    {"unknown dispid", 3, 0, [](VARIANT*) {}, DISP_E_MEMBERNOTFOUND},
    {"out by value", 2, 4, [](VARIANT* v) { NameValue(v), SetText(&v[1], u"x"); },
     DISP_E_TYPEMISMATCH, 1},
    {"out of another type", 2, 4,
     [](VARIANT* v) { NameValue(v), v[1].vt = VT_BYREF | VT_I4, v[1].plVal = &gLong; },
     DISP_E_TYPEMISMATCH, 1},
    {"null out reference", 2, 4, [](VARIANT* v) { NameValue(v), v[1].vt = VT_BYREF | VT_BSTR; },
     E_POINTER, 1},
    {"object without the interface", 4, 1, [](VARIANT* v) { SetObject(v, &gPlain); },
     DISP_E_TYPEMISMATCH, 0},
    {"null list reference", 5, 1, [](VARIANT* v) { v->vt = VT_BYREF | VT_VARIANT; }, E_POINTER, 0},
};

TEST(RuntimeDispatch, BadCallsAreRefusedBeforeTheMethodRuns) {
    for (const ErrorCase& c : kErrors) {
        SCOPED_TRACE(c.name);
        Probe probe;
        Variant args[4], result;
        c.fill(args);
        DISPID named = 0;
        DISPPARAMS params{args, c.named ? &named : nullptr, c.cArgs, c.named};
        UINT argErr = 99;
        EXPECT_EQ(DispatchInvoke(kProbe, &probe, c.id, c.flags, &params, &result, nullptr, &argErr),
                  c.hr);
        EXPECT_EQ(argErr, c.argErr);
        EXPECT_EQ(probe.calls + result.vt, 0);
        for (auto& arg : args)
            VariantClear(&arg);
        EXPECT_EQ(gPlain.refs(), 1u);
    }
}

TEST(RuntimeDispatch, ArgumentsAreCoercedAndOutValuesWrittenBack) {
    Probe probe;
    SHORT thirty = 30;
    Variant args[2], result;
    SetText(&args[1], u" 12 "); // nA, the first argument, comes last.
    args[0].vt = VT_BYREF | VT_I2;
    args[0].piVal = &thirty;
    ASSERT_EQ(Call(&probe, 1, args, 2, &result), S_OK);
    EXPECT_TRUE(result.vt == VT_I4 && result.lVal == 42);
    ASSERT_EQ(Call(&probe, 7, args, 1, &result), S_OK) << "a VARIANT sees what a reference holds";
    EXPECT_EQ(result.lVal, VT_I2);

    for (bool asVariant : {false, true}) {
        for (HRESULT status : {S_OK, E_FAIL}) {
            SCOPED_TRACE(testing::Message() << asVariant << " " << status);
            probe.status = status;
            BSTR out = SysAllocString(u"stale"); // Replaced and freed on success only.
            VARIANT_BOOL flag = VARIANT_TRUE;
            Variant outVar, flagVar, call[4];
            SetText(&outVar, u"stale");
            SetLong(&flagVar, 3); // Coerced to VARIANT_BOOL, written back as one.
            SetText(&call[3], u"pos");
            SetText(&call[2], u"2.5");
            call[1].vt = VT_BYREF | (asVariant ? VT_VARIANT : VT_BSTR);
            call[0].vt = VT_BYREF | (asVariant ? VT_VARIANT : VT_BOOL);
            call[1].byref = asVariant ? static_cast<void*>(&outVar) : &out;
            call[0].byref = asVariant ? static_cast<void*>(&flagVar) : &flag;
            EXCEPINFO excep{};
            ASSERT_EQ(Call(&probe, 2, call, 4, nullptr, &excep), status);
            EXPECT_EQ(excep.scode, status) << "the method's failure, in EXCEPINFO too";
            EXPECT_EQ(View(asVariant ? outVar.bstrVal : out),
                      status == S_OK ? u"pos=2.500000" : u"stale");
            EXPECT_TRUE(!asVariant || flagVar.vt == (status == S_OK ? VT_BOOL : VT_I4));
            EXPECT_EQ(asVariant ? flagVar.boolVal : flag, status == S_OK ? 0 : asVariant ? 3 : -1);
            SysFreeString(out);
        }
    }
}

TEST(RuntimeDispatch, ObjectsAndListsKeepTheirCounts) {
    Probe probe;
    for (HRESULT status : {S_OK, E_FAIL}) {
        for (bool wantResult : {true, false}) {
            probe.status = status;
            Variant arg, result;
            SetObject(&arg, &gItem);
            ASSERT_EQ(Call(&probe, 4, &arg, 1, wantResult ? &result : nullptr), status);
            bool kept = wantResult && status == S_OK;
            EXPECT_EQ(result.vt, kept ? VT_DISPATCH : VT_EMPTY);
            EXPECT_EQ(gItem.refs(), kept ? 3u : 2u) << "nothing kept without a result";
        }
    }
    EXPECT_EQ(gItem.refs(), 1u);
    probe.status = S_OK;
    Variant empty, result;
    ASSERT_EQ(Call(&probe, 4, &empty, 1, &result), S_OK) << "an empty argument is no object";
    EXPECT_TRUE(result.vt == VT_DISPATCH && result.pdispVal == nullptr);

    // A list by reference is read and replaced in the caller's variant; a refused one is gone.
    Variant list, slot;
    ASSERT_EQ(ReturnStringList(&list, {u"a", u"", u"bcd"}), S_OK);
    slot.vt = VT_BYREF | VT_VARIANT;
    slot.pvarVal = &list;
    ASSERT_EQ(Call(&probe, 5, &slot, 1), S_OK);
    std::vector<LONG> lengths;
    ASSERT_EQ(ReadLongList(&list, 10, &lengths), S_OK);
    EXPECT_EQ(lengths, (std::vector<LONG>{1, 0, 3}));
    ASSERT_EQ(ReturnLongList(&list, {1}), S_OK);
    EXPECT_EQ(Call(&probe, 5, &slot, 1), E_INVALIDARG);
    EXPECT_EQ(list.vt, VT_EMPTY);
    ASSERT_EQ(ReturnStringList(&slot, {u"xy"}), S_OK); // Now the list is the argument slot itself.
    ASSERT_EQ(Call(&probe, 5, &slot, 1), S_OK);
    ASSERT_EQ(slot.vt, VT_ARRAY | VT_VARIANT);
    EXPECT_EQ(static_cast<VARIANT*>(slot.parray->pvData)[0].lVal, 2);
}

} // namespace
} // namespace gpslib::test
