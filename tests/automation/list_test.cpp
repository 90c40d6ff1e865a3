// The two list conventions: what a returned list looks like, and which client lists are read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/automation/test_util.h"

namespace gpslib::test {
namespace {

constexpr VARTYPE kList = VT_ARRAY | VT_VARIANT;
constexpr VARTYPE kByRefArray = VT_BYREF | VT_ARRAY, kByRefVariant = VT_BYREF | VT_VARIANT;

// The elements of a returned list, after checking its shape.
const VARIANT* Items(const VARIANT& list, LONG count) {
    LONG lb = 1, ub = 0;
    EXPECT_EQ(list.vt, 0x200C);
    EXPECT_EQ(SafeArrayGetDim(list.parray), 1u);
    EXPECT_EQ(SafeArrayGetLBound(list.parray, 1, &lb), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(list.parray, 1, &ub), S_OK);
    EXPECT_EQ(lb, 0);
    EXPECT_EQ(ub, count - 1);
    return static_cast<const VARIANT*>(list.parray->pvData);
}

TEST(RuntimeList, ReturnedListsAreZeroBasedArraysOfVariants) {
    Variant list;
    SetText(&list, u"cleared first");
    ASSERT_EQ(ReturnStringList(&list, {u"a", u"", u"c"}), S_OK);
    EXPECT_EQ(Items(list, 3)[2].vt, VT_BSTR);
    EXPECT_EQ(View(Items(list, 3)[2].bstrVal), u"c");
    ASSERT_EQ(ReturnLongList(&list, {}), S_OK);
    Items(list, 0); // An empty list is an array, not VT_EMPTY.
    ASSERT_EQ(ReturnLongList(&list, {-1, 70000}), S_OK);
    EXPECT_EQ(Items(list, 2)[1].vt, VT_I4);
    EXPECT_EQ(Items(list, 2)[1].lVal, 70000);

    TestObject a, b, other(TestObject::kDispatchOnly);
    ASSERT_EQ(ReturnObjectList(&list, {&a, &b, &a}, IID_ITestItem), S_OK);
    EXPECT_EQ(Items(list, 3)[0].vt, VT_DISPATCH);
    EXPECT_EQ(a.refs(), 3u) << "one reference per element";
    EXPECT_EQ(b.refs(), 2u);
    EXPECT_EQ(ReturnObjectList(&list, {&b, &other}, IID_ITestItem), E_NOINTERFACE);
    EXPECT_EQ(list.vt, VT_EMPTY);
    EXPECT_EQ(ReturnObjectList(&list, {&b, nullptr}, IID_ITestItem), E_POINTER);
    EXPECT_EQ(a.refs() + b.refs() + other.refs(), 3u);
    EXPECT_EQ(ReturnStringList(nullptr, {u"x"}), E_POINTER);
    EXPECT_EQ(ReturnLongList(nullptr, {}), E_POINTER);
    EXPECT_EQ(ReturnObjectList(nullptr, {}, IID_ITestItem), E_POINTER);
}

TestObject gA, gB, gPlain(TestObject::kDispatchOnly);

// One element of a client's list, as a variant.
struct Element {
    VARTYPE vt;
    LONG number = 0;
    const char16_t* text = nullptr;
    IDispatch* object = nullptr;
};
Element S(const char16_t* t) {
    return {VT_BSTR, 0, t};
}
Element L(LONG n) {
    return {VT_I4, n};
}
Element O(IDispatch* o) {
    return {VT_DISPATCH, 0, nullptr, o};
}

// An array of `elementVt` with lower bound `lb`; VT_VARIANT elements carry their own types.
SAFEARRAY* MakeArray(VARTYPE elementVt, LONG lb, const std::vector<Element>& elements) {
    SAFEARRAY* psa = SafeArrayCreateVector(elementVt, lb, static_cast<ULONG>(elements.size()));
    for (LONG i = 0; i < static_cast<LONG>(elements.size()); ++i) {
        const Element& e = elements[i];
        Variant v;
        v.vt = e.vt;
        if (e.vt == VT_I4 || e.vt == VT_I2) v.lVal = e.number;
        if (e.vt == VT_BSTR) v.bstrVal = SysAllocString(e.text);
        if (e.vt == VT_DISPATCH) SetObject(&v, e.object);
        LONG index = lb + i;
        void* put = elementVt == VT_VARIANT ? &v : elementVt == VT_I4 ? &v.lVal : v.byref;
        EXPECT_EQ(SafeArrayPutElement(psa, &index, put), S_OK);
    }
    return psa;
}

struct ReadCase {
    const char* name;
    char kind; // 's' strings, 'l' longs, 'o' objects
    VARTYPE vt, elementVt;
    LONG lb;
    std::vector<Element> elements;
    std::size_t capacity; // Counts the entry the result already holds.
    HRESULT hr;
    std::size_t appended;
};

const ReadCase kReads[] = {
    {"strings", 's', kList, VT_VARIANT, 0, {S(u"a"), S(u"b")}, 0, S_OK, 2},
    {"strings from -1", 's', kList, VT_VARIANT, -1, {S(u"a")}, 0, S_OK, 1},
    {"string array", 's', VT_ARRAY | VT_BSTR, VT_BSTR, 0, {S(u"a"), S(u"b")}, 0, S_OK, 2},
    {"a number among strings", 's', kList, VT_VARIANT, 0, {S(u"a"), L(1)}, 0, E_INVALIDARG, 0},
    {"empty", 's', kList, VT_VARIANT, 0, {}, 0, S_OK, 0},
    {"at LONG's last index", 's', kList, VT_VARIANT, 0x7FFFFFFF, {S(u"a")}, 0, S_OK, 1},
    {"longs", 'l', kList, VT_VARIANT, 0, {L(1), L(2), L(3)}, 10, S_OK, 3},
    {"longs from 1", 'l', kList, VT_VARIANT, 1, {L(1), L(2)}, 10, S_OK, 2},
    {"longs from -1", 'l', kList, VT_VARIANT, -1, {L(1), L(2)}, 10, E_INVALIDARG, 0},
    {"longs past capacity", 'l', kList, VT_VARIANT, 0, {L(1), L(2), L(3)}, 3, S_OK, 2},
    {"a short among longs", 'l', kList, VT_VARIANT, 0, {L(1), {VT_I2, 2}}, 10, E_INVALIDARG, 0},
    {"no 0x4 or 0x8 bit", 'l', VT_ARRAY | VT_I4, VT_I4, 0, {L(1)}, 10, E_INVALIDARG, 0},
    {"objects", 'o', kList, VT_VARIANT, 0, {O(&gA), O(&gB)}, 10, S_OK, 2},
    {"object array", 'o', VT_ARRAY | VT_DISPATCH, VT_DISPATCH, 0, {O(&gA)}, 10, S_OK, 1},
    {"objects from -1", 'o', kList, VT_VARIANT, -1, {O(&gA)}, 10, E_INVALIDARG, 0},
    {"objects past capacity", 'o', kList, VT_VARIANT, 0, {O(&gA), O(&gB), O(&gA)}, 3, S_OK, 2},
    {"an object without the interface",
     'o',
     kList,
     VT_VARIANT,
     0,
     {O(&gA), O(&gPlain)},
     10,
     E_INVALIDARG,
     0},
    {"a null object", 'o', kList, VT_VARIANT, 0, {O(&gA), O(nullptr)}, 10, E_INVALIDARG, 0},
    {"text among objects", 'o', kList, VT_VARIANT, 0, {O(&gA), S(u"x")}, 10, E_INVALIDARG, 0},
};

TEST(RuntimeList, ReadingFollowsTheTypeBoundAndCapacityRules) {
    for (const ReadCase& c : kReads) {
        for (VARTYPE how : {VARTYPE{0}, kByRefArray, kByRefVariant}) {
            SCOPED_TRACE(testing::Message() << c.name << " passed as " << how);
            Variant list, ref;
            list.vt = c.vt;
            list.parray = MakeArray(c.elementVt, c.lb, c.elements);
            ref.vt = how == kByRefArray ? VT_BYREF | c.vt : how;
            ref.byref = how == kByRefVariant ? static_cast<void*>(&list) : &list.parray;
            VARIANT* read = how == 0 ? &list : &ref;
            std::vector<std::u16string> strings{u"old"};
            std::vector<LONG> longs{99};
            std::vector<IUnknown*> objects{&gA};
            HRESULT hr = c.kind == 's' ? ReadStringList(read, &strings)
                         : c.kind == 'l'
                             ? ReadLongList(read, c.capacity, &longs)
                             : ReadObjectList(read, IID_ITestItem, c.capacity, &objects);
            EXPECT_EQ(hr, c.hr);
            EXPECT_EQ(strings.size() + longs.size() + objects.size() - 3, c.appended);
            EXPECT_EQ(list.parray, nullptr) << "the array is consumed";
            EXPECT_TRUE(list.vt == VT_EMPTY || how == kByRefArray);
            for (std::size_t i = 1; i < objects.size(); ++i)
                objects[i]->Release();
            EXPECT_EQ(gA.refs() + gB.refs() + gPlain.refs(), 3u);
        }
    }
}

TEST(RuntimeList, RefusedShapesAndRoundTrips) {
    std::vector<std::u16string> strings;
    std::vector<LONG> longs;
    SAFEARRAYBOUND bounds[2] = {{1, 0}, {1, 0}};
    Variant list;
    list.vt = kList;
    list.parray = SafeArrayCreate(VT_VARIANT, 2, bounds);
    EXPECT_EQ(ReadStringList(&list, &strings), E_INVALIDARG) << "two dimensions";
    EXPECT_EQ(list.vt, VT_EMPTY);
    SetLong(&list, 3);
    EXPECT_EQ(ReadLongList(&list, 10, &longs), E_INVALIDARG) << "not an array";
    VARIANT dangling = {};
    for (VARTYPE vt : {VT_BYREF | VT_VARIANT, VT_BYREF | kList, int(kList)}) {
        dangling.vt = static_cast<VARTYPE>(vt);
        EXPECT_EQ(ReadStringList(&dangling, &strings), E_INVALIDARG) << vt;
    }
    Bstr text(u"not a list");
    BSTR kept = text.Get();
    dangling.vt = VT_BYREF | VT_BSTR; // A reference, but not to an array: read as nothing.
    dangling.pbstrVal = &kept;
    EXPECT_EQ(ReadStringList(&dangling, &strings), E_INVALIDARG);
    EXPECT_EQ(kept, text.Get());
    EXPECT_EQ(ReadStringList(nullptr, &strings), E_POINTER);
    EXPECT_EQ(ReadObjectList(nullptr, IID_ITestItem, 1, nullptr), E_POINTER);
    list.vt = kList;
    list.parray = MakeArray(VT_VARIANT, 0, {L(1)});
    EXPECT_EQ(ReadLongList(&list, 10, nullptr), E_POINTER);
    EXPECT_TRUE(strings.empty() && longs.empty());

    std::vector<std::u16string> many;
    for (int i = 0; i < 1000; ++i)
        many.push_back(u"item " + ToUtf16(std::to_string(i)));
    ASSERT_EQ(ReturnStringList(&list, many), S_OK);
    ASSERT_EQ(ReadStringList(&list, &strings), S_OK);
    EXPECT_EQ(strings, many) << "strings have no capacity";
    TestObject a;
    ASSERT_EQ(ReturnObjectList(&list, {&a, &a}, IID_ITestItem), S_OK);
    std::vector<IUnknown*> objects;
    ASSERT_EQ(ReadObjectList(&list, IID_ITestItem, 5, &objects), S_OK);
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(a.refs(), 3u) << "the array's references went with it; the reader's remain";
    for (IUnknown* o : objects)
        o->Release();
}

} // namespace
} // namespace gpslib::test
