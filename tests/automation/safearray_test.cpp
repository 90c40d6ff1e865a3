// Safe arrays: bounds, element ownership, locking, and refusal of arrays not made here.
#include <gtest/gtest.h>

#include <memory>

#include "tests/automation/test_util.h"

namespace gpslib::test {
namespace {

void ExpectBounds(SAFEARRAY* psa, UINT dim, LONG lb, LONG ub) {
    LONG l = 0, u = 0;
    ASSERT_EQ(SafeArrayGetLBound(psa, dim, &l), S_OK);
    ASSERT_EQ(SafeArrayGetUBound(psa, dim, &u), S_OK);
    EXPECT_TRUE(l == lb && u == ub) << "dimension " << dim << ": " << l << ".." << u;
}

TEST(RuntimeSafeArray, BoundsAndLayout) {
    SAFEARRAY* v = SafeArrayCreateVector(VT_VARIANT, -1, 0);
    ExpectBounds(v, 1, -1, -2);
    LONG bound = 0;
    EXPECT_EQ(SafeArrayGetUBound(v, 2, &bound), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayDestroy(v), S_OK);

    // Dimension 1 is the first bound given; rgIndices[0] indexes the last, which varies fastest.
    SAFEARRAYBOUND bounds[2] = {{3, 1}, {2, -5}};
    SAFEARRAY* m = SafeArrayCreate(VT_I2, 2, bounds);
    ExpectBounds(m, 1, 1, 3);
    ExpectBounds(m, 2, -5, -4);
    for (LONG i = 1; i <= 3; ++i) {
        for (LONG j = -5; j <= -4; ++j) {
            LONG at[2] = {j, i};
            SHORT value = static_cast<SHORT>(i * 10 - j), got = 0;
            ASSERT_EQ(SafeArrayPutElement(m, at, &value), S_OK);
            ASSERT_EQ(SafeArrayGetElement(m, at, &got), S_OK);
            EXPECT_EQ(static_cast<SHORT*>(m->pvData)[(i - 1) * 2 + j + 5], got) << i << "," << j;
        }
    }
    LONG swapped[2] = {1, -5}, past[2] = {-5, 4};
    SHORT value = 0;
    EXPECT_EQ(SafeArrayGetElement(m, swapped, &value), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayPutElement(m, past, &value), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayDestroy(m), S_OK);

    SAFEARRAYBOUND huge[2] = {{0x10000, 0}, {0x10000, 0}};
    EXPECT_EQ(SafeArrayCreate(VT_VARIANT, 2, huge), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_EMPTY, 1, bounds), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_I4, 0x7FFFFFFF, 2), nullptr) << "upper bound past LONG";
}

// The array owns its elements: they are copied in and out, and freed or released when replaced
// or destroyed (ASan and LSan report the strings, the counts the objects).
TEST(RuntimeSafeArray, ElementsLocksAndCopies) {
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 10}};
    SAFEARRAY* psa = SafeArrayCreate(VT_BSTR, 2, bounds);
    LONG at[2] = {11, 1};
    ASSERT_EQ(SafeArrayPutElement(psa, at, Bstr(u"old").Get()), S_OK);
    ASSERT_EQ(SafeArrayPutElement(psa, at, Bstr(u"cell").Get()), S_OK);
    ASSERT_EQ(SafeArrayLock(psa), S_OK);
    EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK) << "a locked array can be copied";
    ASSERT_EQ(SafeArrayUnlock(psa), S_OK);
    EXPECT_EQ(SafeArrayUnlock(psa), E_UNEXPECTED);
    ExpectBounds(copy, 2, 10, 11);
    EXPECT_EQ(copy->cLocks, 0u);
    Bstr got;
    ASSERT_EQ(SafeArrayGetElement(copy, at, got.Put()), S_OK);
    EXPECT_EQ(got.View(), u"cell");
    EXPECT_NE(got.Get(), static_cast<BSTR*>(copy->pvData)[3]);
    EXPECT_NE(static_cast<BSTR*>(copy->pvData)[3], static_cast<BSTR*>(psa->pvData)[3]);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
    EXPECT_EQ(SafeArrayDestroy(copy), E_INVALIDARG) << "destroyed once only";

    TestObject a, b;
    LONG i0 = 0, i1 = 1;
    SAFEARRAY* objects = SafeArrayCreateVector(VT_DISPATCH, 0, 2);
    ASSERT_EQ(SafeArrayPutElement(objects, &i0, &a), S_OK);
    ASSERT_EQ(SafeArrayPutElement(objects, &i1, &a), S_OK);
    ASSERT_EQ(SafeArrayPutElement(objects, &i1, &b), S_OK);
    EXPECT_EQ(a.refs(), 2u) << "the replaced element is released";
    ASSERT_EQ(SafeArrayCopy(objects, &copy), S_OK);
    EXPECT_EQ(a.refs() + b.refs(), 6u);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
    EXPECT_EQ(SafeArrayDestroy(objects), S_OK);
    EXPECT_EQ(a.refs() + b.refs(), 2u);
}

// A structure that looks like an array but was not made here: every call refuses it without
// reading the memory around it (ASan watches the "around").
TEST(RuntimeSafeArray, ForeignArraysAreRefused) {
    auto storage = std::make_unique<LONG[]>(4);
    auto fake = std::make_unique<SAFEARRAY>(SAFEARRAY{1, 0, 4u, 0, storage.get(), {{4, 0}}});
    SAFEARRAY *psa = fake.get(), *copy = nullptr;
    LONG index = 0, value = 0;
    VARTYPE vt = VT_EMPTY;
    EXPECT_EQ(SafeArrayGetDim(psa) + SafeArrayGetElemsize(psa), 0u);
    EXPECT_EQ(SafeArrayGetLBound(psa, 1, &value), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetUBound(psa, 1, &value), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetElement(psa, &index, &value), E_INVALIDARG);
    EXPECT_EQ(SafeArrayPutElement(psa, &index, &value), E_INVALIDARG);
    EXPECT_EQ(SafeArrayLock(psa), E_INVALIDARG);
    EXPECT_EQ(SafeArrayUnlock(psa), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetVartype(psa, &vt), E_INVALIDARG);
    EXPECT_EQ(SafeArrayCopy(psa, &copy), E_INVALIDARG);
    EXPECT_EQ(SafeArrayDestroy(psa), E_INVALIDARG);
}

} // namespace
} // namespace gpslib::test
