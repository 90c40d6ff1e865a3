// The two list conventions: what a returned list looks like, and which client lists are read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/automation/test_util.h"

namespace gpslib::test {
namespace {

constexpr VARTYPE kList = VT_ARRAY | VT_VARIANT;

// The elements of a returned list, after checking its shape.
const VARIANT* Items(const VARIANT& list, LONG count) {
    LONG lb = 1, ub = 0;
    EXPECT_EQ(list.vt, 0x200C);
    EXPECT_EQ(SafeArrayGetDim(list.parray), 1u);
    EXPECT_EQ(SafeArrayGetLBound(list.parray, 1, &lb), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(list.parray, 1, &ub), S_OK);
    EXPECT_TRUE(lb == 0 && ub == count - 1) << lb << ".." << ub;
    return static_cast<const VARIANT*>(list.parray->pvData);
}

TEST(RuntimeList, ReturnedListsAreZeroBasedArraysOfVariants) {
    Variant list;
    SetText(&list, u"cleared first");
    ASSERT_EQ(ReturnStringList(&list, {u"a", u"", u"c"}), S_OK);
    EXPECT_EQ(View(Items(list, 3)[2].bstrVal), u"c");
    ASSERT_EQ(ReturnLongList(&list, {}), S_OK);
    Items(list, 0); // An empty list is an array, not VT_EMPTY.
    ASSERT_EQ(ReturnLongList(&list, {-1, 70000}), S_OK);
    EXPECT_TRUE(Items(list, 2)[1].vt == VT_I4 && Items(list, 2)[1].lVal == 70000);

    TestObject a, b, other(TestObject::kDispatchOnly);
    ASSERT_EQ(ReturnObjectList(&list, {&a, &b, &a}, IID_ITestItem), S_OK);
    EXPECT_EQ(Items(list, 3)[0].vt, VT_DISPATCH);
    EXPECT_EQ(a.refs(), 3u) << "one reference per element";
    EXPECT_EQ(ReturnObjectList(&list, {&b, &other}, IID_ITestItem), E_NOINTERFACE);
    EXPECT_EQ(list.vt, VT_EMPTY);
    EXPECT_EQ(ReturnObjectList(&list, {&b, nullptr}, IID_ITestItem), E_POINTER);
    EXPECT_EQ(a.refs() + b.refs() + other.refs(), 3u);
}

TestObject gA, gB, gPlain(TestObject::kDispatchOnly);
IDispatch* const kNull = nullptr;

// One element of a client's list: a string, a number (VT_I4 unless said) or an object.
struct Element {
    Element(const char16_t* t) : vt(VT_BSTR), text(t) {}
    Element(LONG n, VARTYPE type = VT_I4) : vt(type), number(n) {}
    Element(IDispatch* o) : vt(VT_DISPATCH), object(o) {}
    VARTYPE vt;
    LONG number = 0;
    const char16_t* text = nullptr;
    IDispatch* object = nullptr;
};

// A list variant of type `vt` with lower bound `lb`; VT_VARIANT elements carry their own types.
void MakeList(VARIANT* list, VARTYPE vt, LONG lb, const std::vector<Element>& elements) {
    list->vt = vt;
    list->parray = SafeArrayCreateVector(vt & VT_TYPEMASK, lb, ULONG(elements.size()));
    for (LONG i = 0; i < LONG(elements.size()); ++i) {
        Variant v;
        v.vt = elements[i].vt;
        v.lVal = elements[i].number;
        if (v.vt == VT_BSTR) v.bstrVal = SysAllocString(elements[i].text);
        if (v.vt == VT_DISPATCH) SetObject(&v, elements[i].object);
        LONG index = lb + i;
        void* put = vt == kList ? &v : v.vt == VT_I4 ? &v.lVal : v.byref;
        EXPECT_EQ(SafeArrayPutElement(list->parray, &index, put), S_OK);
    }
}

constexpr VARTYPE kByRefArray = VT_BYREF | VT_ARRAY, kByRefVariant = VT_BYREF | VT_VARIANT;

struct ReadCase {
    const char* name;
    char kind; // 's' strings, 'l' longs, 'o' objects
    VARTYPE vt;
    LONG lb;
    std::vector<Element> elements;
    HRESULT hr;
    std::size_t appended; // At a capacity of 3, which counts the entry the result already holds.
    VARTYPE how = 0;      // Passed by value, or by one of the two references.
};

const ReadCase kReads[] = {
    {"strings from -1", 's', kList, -1, {u"a", u"b", u"c"}, S_OK, 3, kByRefVariant},
    {"string array", 's', VT_ARRAY | VT_BSTR, 0, {u"a", u"b"}, S_OK, 2},
    {"a number among strings", 's', kList, 0, {u"a", 1}, E_INVALIDARG, 0},
    {"empty", 's', kList, 0, {}, S_OK, 0, kByRefArray},
    {"at LONG's last index", 's', kList, 0x7FFFFFFF, {u"a"}, S_OK, 1},
    {"longs from 1 past capacity", 'l', kList, 1, {1, 2, 3}, S_OK, 2},
    {"longs from -1", 'l', kList, -1, {1}, E_INVALIDARG, 0, kByRefArray},
    {"a short among longs", 'l', kList, 0, {1, {2, VT_I2}}, E_INVALIDARG, 0},
    {"no 0x4 or 0x8 bit", 'l', VT_ARRAY | VT_I4, 0, {1}, E_INVALIDARG, 0},
    {"objects past capacity", 'o', kList, 0, {&gA, &gB, &gA}, S_OK, 2, kByRefVariant},
    {"objects from -1", 'o', kList, -1, {&gA}, E_INVALIDARG, 0},
    {"no interface", 'o', kList, 0, {&gA, &gPlain}, E_INVALIDARG, 0},
    {"a null object", 'o', kList, 0, {&gA, kNull}, E_INVALIDARG, 0},
    {"text among objects", 'o', kList, 0, {&gA, u"x"}, E_INVALIDARG, 0},
};

TEST(RuntimeList, ReadingFollowsTheTypeBoundAndCapacityRules) {
    for (const ReadCase& c : kReads) {
        SCOPED_TRACE(c.name);
        Variant list, ref;
        MakeList(&list, c.vt, c.lb, c.elements);
        ref.vt = c.how == kByRefArray ? VT_BYREF | c.vt : c.how;
        ref.byref = c.how == kByRefVariant ? static_cast<void*>(&list) : &list.parray;
        VARIANT* read = c.how == 0 ? &list : &ref;
        std::vector<std::u16string> strings{u"old"};
        std::vector<LONG> longs{99};
        std::vector<IUnknown*> objects{&gA};
        HRESULT hr = c.kind == 's'   ? ReadStringList(read, &strings)
                     : c.kind == 'l' ? ReadLongList(read, 3, &longs)
                                     : ReadObjectList(read, IID_ITestItem, 3, &objects);
        EXPECT_EQ(hr, c.hr);
        EXPECT_EQ(strings.size() + longs.size() + objects.size() - 3, c.appended);
        EXPECT_EQ(list.parray, nullptr) << "the array is consumed";
        EXPECT_TRUE(list.vt == VT_EMPTY || c.how == kByRefArray);
        for (std::size_t i = 1; i < objects.size(); ++i)
            objects[i]->Release();
        EXPECT_EQ(gA.refs() + gB.refs() + gPlain.refs(), 3u);
    }
}

TEST(RuntimeList, RefusedShapes) {
    std::vector<std::u16string> strings;
    std::vector<LONG> longs;
    SAFEARRAYBOUND bounds[2] = {{1, 0}, {1, 0}};
    Variant list;
    list.vt = kList;
    list.parray = SafeArrayCreate(VT_VARIANT, 2, bounds);
    EXPECT_EQ(ReadStringList(&list, &strings), E_INVALIDARG) << "two dimensions";
    EXPECT_EQ(list.vt, VT_EMPTY);
    VARIANT dangling = {};
    for (VARTYPE vt : {VT_BYREF | VT_VARIANT, VT_BYREF | kList, int(kList)}) {
        dangling.vt = static_cast<VARTYPE>(vt);
        EXPECT_EQ(ReadStringList(&dangling, &strings), E_INVALIDARG) << vt;
    }
    // A reference, but not to an array, is refused untouched, even if it points at an array.
    SAFEARRAY* lookalike = SafeArrayCreateVector(VT_VARIANT, 0, 0);
    dangling.vt = VT_BYREF | VT_BSTR;
    dangling.byref = &lookalike;
    EXPECT_EQ(ReadStringList(&dangling, &strings), E_INVALIDARG);
    EXPECT_EQ(SafeArrayDestroy(lookalike), S_OK) << "still there";
    MakeList(&list, kList, 0, {7});
    ASSERT_EQ(SafeArrayLock(list.parray), S_OK); // A locked array stays with the client.
    EXPECT_EQ(ReadLongList(&list, 10, &longs), S_OK);
    ASSERT_EQ(list.vt, kList);
    ASSERT_EQ(SafeArrayUnlock(list.parray), S_OK);
    EXPECT_TRUE(longs == std::vector<LONG>{7} && strings.empty());
}

} // namespace
} // namespace gpslib::test
