// Late binding over an interface table written here, so that every parameter kind and direction
// is covered independently of the type library.
#include <gpslib/dispatch.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/automation/test_util.h"

namespace gpslib::test {
namespace {

// The object behind the table: counts calls and answers with `status`.
struct Probe {
    int calls = 0;
    HRESULT status = S_OK;
    static HRESULT Done(void* self) {
        return ++static_cast<Probe*>(self)->calls, static_cast<Probe*>(self)->status;
    }
};
template <class T> T& At(void* const* a, int i) {
    return *static_cast<T*>(a[i]);
}

using PT = ParamType;
using PD = ParamDir;
const ParamInfo kAdd[] = {{"nA", PT::Short, PD::In, nullptr},
                          {"nB", PT::Long, PD::In, nullptr},
                          {"plSum", PT::Long, PD::RetVal, nullptr}};
const ParamInfo kDescribe[] = {{"bstrName", PT::String, PD::In, nullptr},
                               {"pbstrText", PT::String, PD::Out, nullptr},
                               {"pbFlag", PT::Bool, PD::InOut, nullptr}};
const ParamInfo kEcho[] = {{"pItem", PT::Object, PD::In, &IID_ITestItem},
                           {"ppItem", PT::Object, PD::RetVal, &IID_ITestItem}};
const ParamInfo kCount[] = {{"pvarList", PT::List, PD::InOut, nullptr}};
const ParamInfo kTypeOf[] = {{"varValue", PT::Variant, PD::In, nullptr},
                             {"plType", PT::Long, PD::RetVal, nullptr}};
const MethodInfo kMethods[] = {
    {"Add", 1, nullptr, 3, kAdd, // Add(nA, nB) = nA + nB
     [](void* self, void* const* a) {
         At<LONG>(a, 2) = At<SHORT>(a, 0) + At<LONG>(a, 1);
         return Probe::Done(self);
     }},
    {"Describe", 2, nullptr, 3, kDescribe, // Describe(name, [out] name + "!", [in, out] !flag)
     [](void* self, void* const* a) {
         At<BSTR>(a, 1) = AllocBstr(ToUtf8(At<BSTR>(a, 0)) + "!");
         At<VARIANT_BOOL>(a, 2) = At<VARIANT_BOOL>(a, 2) ? VARIANT_FALSE : VARIANT_TRUE;
         return Probe::Done(self);
     }},
    {"Echo", 4, nullptr, 2, kEcho, // Echo(item) = item
     [](void* self, void* const* a) {
         if ((At<IUnknown*>(a, 1) = At<IUnknown*>(a, 0)) != nullptr) At<IUnknown*>(a, 0)->AddRef();
         return Probe::Done(self);
     }},
    {"Count", 5, nullptr, 1, kCount, // Count([in, out] list of strings -> a list of its size)
     [](void* self, void* const* a) {
         std::vector<std::u16string> items;
         HRESULT hr = ReadStringList(static_cast<VARIANT*>(a[0]), &items);
         if (SUCCEEDED(hr)) hr = ReturnLongList(static_cast<VARIANT*>(a[0]), {LONG(items.size())});
         return FAILED(hr) ? hr : Probe::Done(self);
     }},
    {"TypeOf", 7, nullptr, 2, kTypeOf, [](void* self, void* const* a) { // TypeOf(value) = its vt
         At<LONG>(a, 1) = At<VARIANT>(a, 0).vt;
         return Probe::Done(self);
     }}};
const InterfaceInfo kProbe = {"IProbe", &IID_ITestItem, kMethods, 5};

HRESULT Call(Probe* probe, DISPID id, VARIANT* args, UINT count, VARIANT* result = nullptr,
             EXCEPINFO* excep = nullptr) {
    DISPPARAMS params{args, nullptr, count, 0};
    return DispatchInvoke(kProbe, probe, id, DISPATCH_METHOD, &params, result, excep, nullptr);
}

TEST(RuntimeDispatch, NamesResolveWithoutRegardToCase) {
    std::u16string names[] = {u"DESCRIBE", u"pbflag", u"BSTRNAMES"};
    LPOLESTR pointers[] = {names[0].data(), names[1].data(), names[2].data()};
    DISPID ids[3];
    EXPECT_EQ(DispatchGetIDsOfNames(kProbe, pointers, 3, ids), DISP_E_UNKNOWNNAME);
    EXPECT_TRUE(ids[0] == 2 && ids[1] == 2 && ids[2] == DISPID_UNKNOWN);
    for (std::u16string name : {u"add", u"Ad", u"Addd", u"\u0141dd"}) { // \u0141: low byte 'A'.
        pointers[0] = name.data();
        EXPECT_EQ(DispatchGetIDsOfNames(kProbe, pointers, 1, ids),
                  name == u"add" ? S_OK : DISP_E_UNKNOWNNAME);
        EXPECT_EQ(ids[0], name == u"add" ? 1 : DISPID_UNKNOWN) << ToUtf8(name);
    }
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

// Describe's valid name and flag, around a bad out argument.
void Around(VARIANT* v) {
    SetText(&v[2], u"n"), SetLong(&v[0], 1);
}

const ErrorCase kErrors[] = {
    {"too few", 1, 1, [](VARIANT* v) { SetLong(v, 1); }, DISP_E_BADPARAMCOUNT},
    {"text for a short", 1, 2, [](VARIANT* v) { SetLong(&v[0], 1), SetText(&v[1], u"x"); },
     DISP_E_TYPEMISMATCH, 1},
    {"short overflows", 1, 2, [](VARIANT* v) { SetLong(&v[0], 1), SetLong(&v[1], 40000); },
     DISP_E_OVERFLOW, 1},
    {"decimal for a long", 1, 2, [](VARIANT* v) { SetLong(&v[1], 1), v[0].vt = VT_DECIMAL; },
     DISP_E_TYPEMISMATCH, 0},
    {"named arguments", 1, 2, [](VARIANT*) {}, DISP_E_NONAMEDARGS, 99, DISPATCH_METHOD, 1},
    {"property put", 1, 2, [](VARIANT*) {}, DISP_E_MEMBERNOTFOUND, 99, DISPATCH_PROPERTYPUT},
    {"unknown dispid", 3, 0, [](VARIANT*) {}, DISP_E_MEMBERNOTFOUND},
    {"out by value", 2, 3, [](VARIANT* v) { Around(v), SetText(&v[1], u"x"); }, DISP_E_TYPEMISMATCH,
     1},
    {"out of another type", 2, 3,
     [](VARIANT* v) { Around(v), v[1].vt = VT_BYREF | VT_I4, v[1].plVal = &gLong; },
     DISP_E_TYPEMISMATCH, 1},
    {"null out reference", 2, 3, [](VARIANT* v) { Around(v), v[1].vt = VT_BYREF | VT_BSTR; },
     E_POINTER, 1},
    {"object without the interface", 4, 1, [](VARIANT* v) { SetObject(v, &gPlain); },
     DISP_E_TYPEMISMATCH, 0},
    {"null list reference", 5, 1, [](VARIANT* v) { v->vt = VT_BYREF | VT_VARIANT; }, E_POINTER, 0},
};

TEST(RuntimeDispatch, BadCallsAreRefusedBeforeTheMethodRuns) {
    for (const ErrorCase& c : kErrors) {
        SCOPED_TRACE(c.name);
        Probe probe;
        Variant args[3], result;
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
    Variant args[3], result;
    SetText(&args[1], u" 12 "); // nA, the first argument, comes last.
    args[0].vt = VT_BYREF | VT_I2;
    args[0].piVal = &thirty;
    ASSERT_EQ(Call(&probe, 1, args, 2, &result), S_OK);
    EXPECT_TRUE(result.vt == VT_I4 && result.lVal == 42);
    ASSERT_EQ(Call(&probe, 7, args, 1, &result), S_OK) << "a VARIANT sees what a reference holds";
    EXPECT_EQ(result.lVal, VT_I2);

    VariantClear(&args[1]);
    SetText(&args[2], u"pos");
    for (bool asVariant : {false, true}) {
        for (HRESULT status : {S_OK, E_FAIL}) {
            SCOPED_TRACE(testing::Message() << asVariant << " " << status);
            probe.status = status;
            BSTR out = SysAllocString(u"stale"); // Replaced and freed on success only.
            VARIANT_BOOL flag = VARIANT_TRUE;
            Variant outVar, flagVar;
            SetText(&outVar, u"stale");
            SetLong(&flagVar, 3); // Coerced to VARIANT_BOOL, written back as one.
            args[1].vt = VT_BYREF | (asVariant ? VT_VARIANT : VT_BSTR);
            args[0].vt = VT_BYREF | (asVariant ? VT_VARIANT : VT_BOOL);
            args[1].byref = asVariant ? static_cast<void*>(&outVar) : &out;
            args[0].byref = asVariant ? static_cast<void*>(&flagVar) : &flag;
            EXCEPINFO excep{};
            ASSERT_EQ(Call(&probe, 2, args, 3, nullptr, &excep), status);
            EXPECT_EQ(excep.scode, status) << "the method's failure, in EXCEPINFO too";
            EXPECT_EQ(View(asVariant ? outVar.bstrVal : out), status ? u"stale" : u"pos!");
            EXPECT_TRUE(!asVariant || flagVar.vt == (status ? VT_I4 : VT_BOOL));
            EXPECT_EQ(asVariant ? flagVar.boolVal : flag, status ? (asVariant ? 3 : -1) : 0);
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
    probe.status = S_OK;
    Variant empty, result;
    ASSERT_EQ(Call(&probe, 4, &empty, 1, &result), S_OK) << "an empty argument is no object";
    EXPECT_TRUE(result.vt == VT_DISPATCH && result.pdispVal == nullptr);

    // A list by reference is read and replaced in the caller's variant, or in the slot itself.
    Variant list, slot;
    ASSERT_EQ(ReturnStringList(&list, {u"a", u"", u"bcd"}), S_OK);
    slot.vt = VT_BYREF | VT_VARIANT;
    slot.pvarVal = &list;
    ASSERT_EQ(Call(&probe, 5, &slot, 1), S_OK);
    std::vector<LONG> counts;
    ASSERT_EQ(ReadLongList(&list, 10, &counts), S_OK);
    EXPECT_EQ(counts, std::vector<LONG>{3});
    ASSERT_EQ(ReturnStringList(&slot, {u"x", u"y"}), S_OK);
    ASSERT_EQ(Call(&probe, 5, &slot, 1), S_OK);
    ASSERT_EQ(slot.vt, VT_ARRAY | VT_VARIANT);
    EXPECT_EQ(static_cast<VARIANT*>(slot.parray->pvData)[0].lVal, 2);
}

} // namespace
} // namespace gpslib::test
