// The two list conventions: what a returned list looks like, and which client lists are read.
#include <gpslib/support.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/automation/test_object.h"

namespace gpslib::test {
namespace {

constexpr VARTYPE kList = VT_ARRAY | VT_VARIANT;

LONG Count(SAFEARRAY* psa) {
    LONG lb = 1, ub = 0;
    EXPECT_EQ(SafeArrayGetLBound(psa, 1, &lb), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(psa, 1, &ub), S_OK);
    EXPECT_EQ(lb, 0);
    return ub - lb + 1;
}

TEST(RuntimeList, ReturnedListsAreZeroBasedArraysOfVariants) {
    Variant list;
    list.vt = VT_BSTR;
    list.bstrVal = AllocBstr(u"cleared first");
    ASSERT_EQ(ReturnStringList(&list, {u"a", u"", u"c"}), S_OK);
    ASSERT_EQ(list.vt, kList);
    EXPECT_EQ(list.vt, 0x200C);
    EXPECT_EQ(SafeArrayGetDim(list.parray), 1u);
    ASSERT_EQ(Count(list.parray), 3);
    auto* items = static_cast<VARIANT*>(list.parray->pvData);
    EXPECT_EQ(items[1].vt, VT_BSTR);
    EXPECT_EQ(View(items[2].bstrVal), u"c");

    ASSERT_EQ(ReturnLongList(&list, {}), S_OK);
    ASSERT_EQ(list.vt, kList) << "an empty list is an array, not VT_EMPTY";
    EXPECT_EQ(Count(list.parray), 0);
    ASSERT_EQ(ReturnLongList(&list, {-1, 70000}), S_OK);
    items = static_cast<VARIANT*>(list.parray->pvData);
    EXPECT_EQ(items[1].vt, VT_I4);
    EXPECT_EQ(items[1].lVal, 70000);

    TestObject a, b, other(TestObject::kDispatchOnly);
    ASSERT_EQ(ReturnObjectList(&list, {&a, &b, &a}, IID_ITestItem), S_OK);
    items = static_cast<VARIANT*>(list.parray->pvData);
    EXPECT_EQ(items[0].vt, VT_DISPATCH);
    EXPECT_EQ(a.refs(), 3u) << "one reference per element";
    EXPECT_EQ(b.refs(), 2u);
    EXPECT_EQ(ReturnObjectList(&list, {&b, &other}, IID_ITestItem), E_NOINTERFACE);
    EXPECT_EQ(list.vt, VT_EMPTY);
    EXPECT_EQ(ReturnObjectList(&list, {&b, nullptr}, IID_ITestItem), E_POINTER);
    EXPECT_EQ(a.refs(), 1u);
    EXPECT_EQ(b.refs(), 1u);
    EXPECT_EQ(other.refs(), 1u);

    EXPECT_EQ(ReturnStringList(nullptr, {u"x"}), E_POINTER);
    EXPECT_EQ(ReturnLongList(nullptr, {}), E_POINTER);
    EXPECT_EQ(ReturnObjectList(nullptr, {}, IID_ITestItem), E_POINTER);
}

// A client's list: `vt` on the variant, an array of `elementVt` (VT_VARIANT elements carry
// their own types) with lower bound `lb`.
struct Element {
    VARTYPE vt;
    LONG number = 0;
    const char16_t* text = nullptr;
    IDispatch* object = nullptr;
};

SAFEARRAY* MakeArray(VARTYPE elementVt, LONG lb, const std::vector<Element>& elements) {
    SAFEARRAY* psa = SafeArrayCreateVector(elementVt, lb, static_cast<ULONG>(elements.size()));
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const Element& e = elements[i];
        Variant v;
        v.vt = e.vt;
        if (e.vt == VT_I4) v.lVal = e.number;
        if (e.vt == VT_I2) v.iVal = static_cast<SHORT>(e.number);
        if (e.vt == VT_BSTR) v.bstrVal = SysAllocString(e.text);
        if (e.vt == VT_DISPATCH && e.object != nullptr) (v.pdispVal = e.object)->AddRef();
        LONG index = lb + static_cast<LONG>(i);
        void* put = elementVt == VT_VARIANT ? static_cast<void*>(&v)
                    : elementVt == VT_I4    ? static_cast<void*>(&v.lVal)
                                            : v.byref;
        EXPECT_EQ(SafeArrayPutElement(psa, &index, put), S_OK);
    }
    return psa;
}

TestObject gA, gB, gPlain(TestObject::kDispatchOnly);

struct ReadCase {
    const char* name;
    char kind; // 's' strings, 'l' longs, 'o' objects
    VARTYPE vt;
    VARTYPE elementVt;
    LONG lb;
    std::vector<Element> elements;
    std::size_t capacity;
    HRESULT hr;
    std::size_t appended;
};

const Element S(const char16_t* t) { return {VT_BSTR, 0, t}; }
const Element L(LONG n) { return {VT_I4, n}; }
const Element O(IDispatch* o) { return {VT_DISPATCH, 0, nullptr, o}; }

const ReadCase kReadCases[] = {
    {"strings", 's', kList, VT_VARIANT, 0, {S(u"a"), S(u"b")}, 0, S_OK, 2},
    {"strings from -1", 's', kList, VT_VARIANT, -1, {S(u"a")}, 0, S_OK, 1},
    {"plain string array", 's', VT_ARRAY | VT_BSTR, VT_BSTR, 0, {S(u"a"), S(u"b")}, 0, S_OK, 2},
    {"string list with a number", 's', kList, VT_VARIANT, 0, {S(u"a"), L(1)}, 0, E_INVALIDARG, 0},
    {"empty list", 's', kList, VT_VARIANT, 0, {}, 0, S_OK, 0},
    {"longs", 'l', kList, VT_VARIANT, 0, {L(1), L(2), L(3)}, 10, S_OK, 3},
    {"longs from 1", 'l', kList, VT_VARIANT, 1, {L(1), L(2)}, 10, S_OK, 2},
    {"longs from -1", 'l', kList, VT_VARIANT, -1, {L(1), L(2)}, 10, E_INVALIDARG, 0},
    {"longs past capacity", 'l', kList, VT_VARIANT, 0, {L(1), L(2), L(3)}, 3, S_OK, 2},
    {"short is not long", 'l', kList, VT_VARIANT, 0, {L(1), {VT_I2, 2}}, 10, E_INVALIDARG, 0},
    {"no 0x4 or 0x8 bit", 'l', VT_ARRAY | VT_I4, VT_I4, 0, {L(1)}, 10, E_INVALIDARG, 0},
    {"objects", 'o', kList, VT_VARIANT, 0, {O(&gA), O(&gB)}, 10, S_OK, 2},
    {"plain object array", 'o', VT_ARRAY | VT_DISPATCH, VT_DISPATCH, 0, {O(&gA)}, 10, S_OK, 1},
    {"objects from -1", 'o', kList, VT_VARIANT, -1, {O(&gA)}, 10, E_INVALIDARG, 0},
    {"objects past capacity", 'o', kList, VT_VARIANT, 0, {O(&gA), O(&gB), O(&gA)}, 3, S_OK, 2},
    {"foreign object", 'o', kList, VT_VARIANT, 0, {O(&gA), O(&gPlain)}, 10, E_INVALIDARG, 0},
    {"null object", 'o', kList, VT_VARIANT, 0, {O(&gA), O(nullptr)}, 10, E_INVALIDARG, 0},
    {"object list with text", 'o', kList, VT_VARIANT, 0, {O(&gA), S(u"x")}, 10, E_INVALIDARG, 0},
};

// Reads the list into a result that already holds one entry, so capacity counts it.
HRESULT ReadInto(char kind, VARIANT* list, std::size_t capacity, std::size_t* appended) {
    std::vector<std::u16string> strings{u"old"};
    std::vector<LONG> longs{99};
    std::vector<IUnknown*> objects{nullptr};
    HRESULT hr = kind == 's'   ? ReadStringList(list, &strings)
                 : kind == 'l' ? ReadLongList(list, capacity, &longs)
                               : ReadObjectList(list, IID_ITestItem, capacity, &objects);
    *appended = kind == 's' ? strings.size() - 1 : kind == 'l' ? longs.size() - 1 : objects.size() - 1;
    for (std::size_t i = 1; i < objects.size(); ++i) objects[i]->Release();
    return hr;
}

TEST(RuntimeList, ReadingFollowsTheTypeBoundAndCapacityRules) {
    for (const ReadCase& c : kReadCases) {
        for (bool byRef : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (byRef ? " by reference" : ""));
            SAFEARRAY* psa = MakeArray(c.elementVt, c.lb, c.elements);
            Variant list, holder;
            list.vt = c.vt;
            list.parray = psa;
            VARIANT* read = &list;
            if (byRef) { // Half the cases as VT_BYREF|VT_ARRAY, half as VT_BYREF|VT_VARIANT.
                if (c.lb == 0) {
                    holder.vt = VT_BYREF | c.vt;
                    holder.pparray = &list.parray;
                } else {
                    holder.vt = VT_BYREF | VT_VARIANT;
                    holder.pvarVal = &list;
                }
                read = &holder;
            }
            std::size_t appended = 0;
            EXPECT_EQ(ReadInto(c.kind, read, c.capacity, &appended), c.hr);
            EXPECT_EQ(appended, c.appended);
            EXPECT_TRUE(list.vt == VT_EMPTY || list.parray == nullptr) << "the array is consumed";
            list.vt = VT_EMPTY;
            EXPECT_EQ(gA.refs(), 1u);
            EXPECT_EQ(gB.refs(), 1u);
            EXPECT_EQ(gPlain.refs(), 1u);
        }
    }
}

TEST(RuntimeList, RefusedShapesAndBadArguments) {
    std::vector<std::u16string> strings;
    std::vector<LONG> longs;
    SAFEARRAYBOUND bounds[2] = {{1, 0}, {1, 0}};
    Variant list;
    list.vt = kList;
    list.parray = SafeArrayCreate(VT_VARIANT, 2, bounds);
    EXPECT_EQ(ReadStringList(&list, &strings), E_INVALIDARG) << "two dimensions";
    EXPECT_EQ(list.vt, VT_EMPTY);
    list.vt = VT_I4;
    list.lVal = 3;
    EXPECT_EQ(ReadLongList(&list, 10, &longs), E_INVALIDARG) << "not an array";
    list.vt = kList;
    list.parray = nullptr;
    EXPECT_EQ(ReadStringList(&list, &strings), E_INVALIDARG);
    VARIANT dangling = {};
    dangling.vt = VT_BYREF | VT_VARIANT;
    EXPECT_EQ(ReadStringList(&dangling, &strings), E_INVALIDARG);
    dangling.vt = VT_BYREF | kList;
    EXPECT_EQ(ReadStringList(&dangling, &strings), E_INVALIDARG);
    EXPECT_EQ(ReadStringList(nullptr, &strings), E_POINTER);
    EXPECT_EQ(ReadLongList(nullptr, 1, &longs), E_POINTER);
    EXPECT_EQ(ReadObjectList(nullptr, IID_ITestItem, 1, nullptr), E_POINTER);
    list.vt = kList;
    list.parray = MakeArray(VT_VARIANT, 0, {L(1)});
    EXPECT_EQ(ReadLongList(&list, 10, nullptr), E_POINTER);
    EXPECT_TRUE(strings.empty() && longs.empty());
}

TEST(RuntimeList, ReturnedListsReadBackUnlimitedForStrings) {
    std::vector<std::u16string> many;
    for (int i = 0; i < 1000; ++i) many.push_back(u"item " + ToUtf16(std::to_string(i)));
    Variant list;
    ASSERT_EQ(ReturnStringList(&list, many), S_OK);
    std::vector<std::u16string> back;
    ASSERT_EQ(ReadStringList(&list, &back), S_OK);
    EXPECT_EQ(back, many);
    EXPECT_EQ(list.vt, VT_EMPTY);

    TestObject a;
    ASSERT_EQ(ReturnObjectList(&list, {&a, &a}, IID_ITestItem), S_OK);
    std::vector<IUnknown*> objects;
    ASSERT_EQ(ReadObjectList(&list, IID_ITestItem, 5, &objects), S_OK);
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(a.refs(), 3u) << "the array's references went with it; ours remain";
    for (IUnknown* o : objects) o->Release();
    EXPECT_EQ(a.refs(), 1u);
}

} // namespace
} // namespace gpslib::test
