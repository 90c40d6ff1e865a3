// Late binding over an interface table written here, so that every parameter kind and direction
// is covered independently of the type library.
#include <gpslib/dispatch.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tests/automation/test_util.h"

namespace gpslib::test {
namespace {

// The object behind the table: counts calls and answers with `status`.
struct Probe {
    int calls = 0;
    HRESULT status = S_OK;
};

template <class T> T& At(void* const* a, int i) {
    return *static_cast<T*>(a[i]);
}
HRESULT Done(void* self) {
    ++static_cast<Probe*>(self)->calls;
    return static_cast<Probe*>(self)->status;
}

// Add(SHORT nA, LONG nB, [retval] LONG* plSum)
HRESULT Add(void* self, void* const* a) {
    At<LONG>(a, 2) = At<SHORT>(a, 0) + At<LONG>(a, 1);
    return Done(self);
}
// Describe(BSTR bstrName, DOUBLE dValue, [out] BSTR* pbstrText, [in, out] VARIANT_BOOL* pbFlag)
HRESULT Describe(void* self, void* const* a) {
    At<BSTR>(a, 2) = AllocBstr(ToUtf8(At<BSTR>(a, 0)) + "=" + std::to_string(At<DOUBLE>(a, 1)));
    At<VARIANT_BOOL>(a, 3) = At<VARIANT_BOOL>(a, 3) ? VARIANT_FALSE : VARIANT_TRUE;
    return Done(self);
}
// Echo(ITestItem* pItem, [retval] ITestItem** ppItem)
HRESULT Echo(void* self, void* const* a) {
    if ((At<IUnknown*>(a, 1) = At<IUnknown*>(a, 0)) != nullptr) At<IUnknown*>(a, 0)->AddRef();
    return Done(self);
}
// Lengths([in, out] VARIANT* pvarList): a list of strings in, their lengths out.
HRESULT Lengths(void* self, void* const* a) {
    std::vector<std::u16string> items;
    std::vector<LONG> lengths;
    HRESULT hr = ReadStringList(static_cast<VARIANT*>(a[0]), &items);
    for (const auto& item : items)
        lengths.push_back(static_cast<LONG>(item.size()));
    if (SUCCEEDED(hr)) hr = ReturnLongList(static_cast<VARIANT*>(a[0]), lengths);
    return FAILED(hr) ? hr : Done(self);
}
// TypeOf(VARIANT varValue, [retval] LONG* plType)
HRESULT TypeOf(void* self, void* const* a) {
    At<LONG>(a, 1) = At<VARIANT>(a, 0).vt;
    return Done(self);
}

using PT = ParamType;
using PD = ParamDir;
const ParamInfo kAdd[] = {{"nA", PT::Short, PD::In, nullptr},
                          {"nB", PT::Long, PD::In, nullptr},
                          {"plSum", PT::Long, PD::RetVal, nullptr}};
const ParamInfo kDescribe[] = {{"bstrName", PT::String, PD::In, nullptr},
                               {"dValue", PT::Double, PD::In, nullptr},
                               {"pbstrText", PT::String, PD::Out, nullptr},
                               {"pbFlag", PT::Bool, PD::InOut, nullptr}};
const ParamInfo kEcho[] = {{"pItem", PT::Object, PD::In, &IID_ITestItem},
                           {"ppItem", PT::Object, PD::RetVal, &IID_ITestItem}};
const ParamInfo kLengths[] = {{"pvarList", PT::List, PD::InOut, nullptr}};
const ParamInfo kTypeOf[] = {{"varValue", PT::Variant, PD::In, nullptr},
                             {"plType", PT::Long, PD::RetVal, nullptr}};
const MethodInfo kMethods[] = {{"Add", 1, nullptr, 3, kAdd, Add},
                               {"Describe", 2, nullptr, 4, kDescribe, Describe},
                               {"Echo", 4, nullptr, 2, kEcho, Echo},
                               {"Lengths", 5, nullptr, 1, kLengths, Lengths},
                               {"TypeOf", 7, nullptr, 2, kTypeOf, TypeOf}};
const InterfaceInfo kProbe = {"IProbe", &IID_ITestItem, kMethods, 5};

HRESULT Call(Probe* probe, DISPID id, VARIANT* args, UINT count, VARIANT* result = nullptr,
             EXCEPINFO* excep = nullptr) {
    DISPPARAMS params{args, nullptr, count, 0};
    return DispatchInvoke(kProbe, probe, id, DISPATCH_METHOD, &params, result, excep, nullptr);
}

TEST(RuntimeDispatch, NamesResolveWithoutRegardToCase) {
    const std::pair<std::vector<std::u16string>, std::vector<DISPID>> cases[] = {
        {{u"add"}, {1}},
        {{u"DESCRIBE", u"pbflag", u"BSTRNAME"}, {2, 3, 0}},
        {{u"Add", u"nC", u"nb"}, {1, DISPID_UNKNOWN, 1}},
        {{u"Subtract", u"nA"}, {DISPID_UNKNOWN, DISPID_UNKNOWN}},
        {{u"Ad"}, {DISPID_UNKNOWN}},
        {{u"Addd"}, {DISPID_UNKNOWN}},
        {{u"\u0100dd"}, {DISPID_UNKNOWN}},
    };
    for (auto [names, want] : cases) {
        std::vector<LPOLESTR> pointers;
        for (auto& n : names)
            pointers.push_back(n.data());
        std::vector<DISPID> ids(names.size(), 12345);
        bool known = std::count(want.begin(), want.end(), DISPID_UNKNOWN) == 0;
        EXPECT_EQ(DispatchGetIDsOfNames(kProbe, pointers.data(), static_cast<UINT>(names.size()),
                                        ids.data()),
                  known ? S_OK : DISP_E_UNKNOWNNAME);
        EXPECT_EQ(ids, want) << ToUtf8(names[0]);
    }
    LPOLESTR none[] = {nullptr};
    DISPID id = 0;
    EXPECT_EQ(DispatchGetIDsOfNames(kProbe, none, 1, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
    EXPECT_EQ(DispatchGetIDsOfNames(kProbe, none, 0, &id), E_INVALIDARG);
    EXPECT_EQ(DispatchGetIDsOfNames(kProbe, nullptr, 1, &id), E_POINTER);
}

TestObject gItem, gPlain(TestObject::kDispatchOnly);
// What by-reference arguments of the table below point at.
Variant gInner;
LONG gLong;
BSTR gText;

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

// Describe's first two arguments, valid.
void NameValue(VARIANT* v) {
    SetText(&v[3], u"n"), SetLong(&v[2], 1);
}

const ErrorCase kErrors[] = {
    {"too few", 1, 1, [](VARIANT* v) { SetLong(v, 1); }, DISP_E_BADPARAMCOUNT},
    {"text for a short", 1, 2, [](VARIANT* v) { SetLong(&v[0], 1), SetText(&v[1], u"x"); },
     DISP_E_TYPEMISMATCH, 1},
    {"short overflows", 1, 2, [](VARIANT* v) { SetLong(&v[0], 1), SetLong(&v[1], 40000); },
     DISP_E_OVERFLOW, 1},
    {"bad last argument", 1, 2, [](VARIANT* v) { SetText(&v[0], u"1e"), SetLong(&v[1], 1); },
     DISP_E_TYPEMISMATCH, 0},
    {"named arguments", 1, 2, [](VARIANT* v) { SetLong(&v[0], 1), SetLong(&v[1], 1); },
     DISP_E_NONAMEDARGS, 99, DISPATCH_METHOD, 1},
    {"property put", 1, 2, [](VARIANT* v) { SetLong(&v[0], 1), SetLong(&v[1], 1); },
     DISP_E_MEMBERNOTFOUND, 99, DISPATCH_PROPERTYPUT},
    {"unknown dispid", 3, 0, [](VARIANT*) {}, DISP_E_MEMBERNOTFOUND},
    {"out by value", 2, 4, [](VARIANT* v) { NameValue(v), SetText(&v[1], u"x"); },
     DISP_E_TYPEMISMATCH, 1},
    {"out of another type", 2, 4,
     [](VARIANT* v) { NameValue(v), v[1].vt = VT_BYREF | VT_I4, v[1].plVal = &gLong; },
     DISP_E_TYPEMISMATCH, 1},
    {"null out reference", 2, 4, [](VARIANT* v) { NameValue(v), v[1].vt = VT_BYREF | VT_BSTR; },
     E_POINTER, 1},
    {"in-out from a bad value", 2, 4,
     [](VARIANT* v) {
         NameValue(v), v[1].vt = VT_BYREF | VT_BSTR, v[1].pbstrVal = &gText;
         SetText(&gInner, u"maybe"), v[0].vt = VT_BYREF | VT_VARIANT, v[0].pvarVal = &gInner;
     },
     DISP_E_TYPEMISMATCH, 0},
    {"object without the interface", 4, 1, [](VARIANT* v) { SetObject(v, &gPlain); },
     DISP_E_TYPEMISMATCH, 0},
    {"null list reference", 5, 1, [](VARIANT* v) { v->vt = VT_BYREF | VT_VARIANT; }, E_POINTER, 0},
    {"list of another type", 5, 1, // Refused by the method; the string it points at is kept.
     [](VARIANT* v) { v->vt = VT_BYREF | VT_BSTR, v->pbstrVal = &(gText = AllocBstr(u"s")); },
     E_INVALIDARG},
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
        EXPECT_EQ(probe.calls, 0);
        EXPECT_EQ(result.vt, VT_EMPTY);
        for (auto& arg : args)
            VariantClear(&arg);
        VariantClear(&gInner);
        EXPECT_TRUE(gText == nullptr || View(gText) == u"s");
        SysFreeString(std::exchange(gText, nullptr));
        EXPECT_EQ(gPlain.refs(), 1u);
    }
    DISPPARAMS missing{nullptr, nullptr, 2, 0};
    EXPECT_EQ(
        DispatchInvoke(kProbe, nullptr, 1, DISPATCH_METHOD, &missing, nullptr, nullptr, nullptr),
        E_INVALIDARG);
}

TEST(RuntimeDispatch, ArgumentsAreCoercedAndResultsReturned) {
    Probe probe;
    SHORT thirty = 30;
    Variant args[2], result;
    SetText(&args[1], u" 12 "); // nA, the first argument, comes last.
    args[0].vt = VT_BYREF | VT_I2;
    args[0].piVal = &thirty;
    ASSERT_EQ(Call(&probe, 1, args, 2, &result), S_OK);
    EXPECT_TRUE(result.vt == VT_I4 && result.lVal == 42);
    ASSERT_EQ(Call(&probe, 1, args, 2), S_OK) << "no result wanted";
    probe.status = E_FAIL; // The method's failure comes back, in EXCEPINFO too, with no result.
    EXCEPINFO excep{};
    VariantClear(&result);
    EXPECT_EQ(Call(&probe, 1, args, 2, &result, &excep), E_FAIL);
    EXPECT_EQ(excep.scode, E_FAIL);
    EXPECT_EQ(result.vt, VT_EMPTY);
    EXPECT_EQ(probe.calls, 3);

    // An [in] VARIANT sees the value a reference points at.
    probe.status = S_OK;
    Bstr text(u"v");
    BSTR ref = text.Get();
    VARIANT any{};
    any.vt = VT_BYREF | VT_BSTR;
    any.pbstrVal = &ref;
    ASSERT_EQ(Call(&probe, 7, &any, 1, &result), S_OK);
    EXPECT_EQ(result.lVal, VT_BSTR);
}

TEST(RuntimeDispatch, OutParametersByTypedOrVariantReference) {
    for (bool asVariant : {false, true}) {
        for (HRESULT status : {S_OK, E_FAIL}) {
            SCOPED_TRACE(testing::Message() << asVariant << " " << status);
            Probe probe{0, status};
            BSTR out = SysAllocString(u"stale"); // Replaced and freed on success only.
            VARIANT_BOOL flag = VARIANT_FALSE;
            Variant outVar, flagVar, args[4];
            SetText(&outVar, u"stale");
            SetLong(&flagVar, 0); // Coerced to VARIANT_BOOL, written back as one.
            SetText(&args[3], u"pos");
            SetText(&args[2], u"2.5");
            args[1].vt = VT_BYREF | (asVariant ? VT_VARIANT : VT_BSTR);
            args[0].vt = VT_BYREF | (asVariant ? VT_VARIANT : VT_BOOL);
            args[1].byref = asVariant ? static_cast<void*>(&outVar) : &out;
            args[0].byref = asVariant ? static_cast<void*>(&flagVar) : &flag;
            ASSERT_EQ(Call(&probe, 2, args, 4), status);
            EXPECT_EQ(View(asVariant ? outVar.bstrVal : out),
                      status == S_OK ? u"pos=2.500000" : u"stale");
            EXPECT_TRUE(!asVariant || flagVar.vt == (status == S_OK ? VT_BOOL : VT_I4));
            EXPECT_EQ(asVariant ? flagVar.boolVal : flag,
                      status == S_OK ? VARIANT_TRUE : VARIANT_FALSE);
            SysFreeString(out);
        }
    }
}

TEST(RuntimeDispatch, ObjectsAndListsKeepTheirCounts) {
    Probe probe;
    for (bool wantResult : {true, false}) {
        Variant arg, result;
        SetObject(&arg, &gItem);
        ASSERT_EQ(Call(&probe, 4, &arg, 1, wantResult ? &result : nullptr), S_OK);
        EXPECT_TRUE(!wantResult || result.pdispVal == static_cast<IDispatch*>(&gItem));
        EXPECT_EQ(gItem.refs(), wantResult ? 3u : 2u) << "nothing kept without a result";
    }
    EXPECT_EQ(gItem.refs(), 1u);
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
