// Safe arrays: bounds, element ownership, locking, and refusal of arrays not made here.
#include <gpslib/support.h>

#include <gtest/gtest.h>

#include <memory>

#include "tests/automation/test_object.h"

namespace gpslib::test {
namespace {

struct ArrayDeleter {
    void operator()(SAFEARRAY* psa) const { EXPECT_EQ(SafeArrayDestroy(psa), S_OK); }
};
using Array = std::unique_ptr<SAFEARRAY, ArrayDeleter>;

TEST(RuntimeSafeArray, BoundsOfVectorsAndMatrices) {
    Array v(SafeArrayCreateVector(VT_I4, -1, 3));
    ASSERT_TRUE(v);
    LONG lb = 0, ub = 0;
    EXPECT_EQ(SafeArrayGetDim(v.get()), 1u);
    EXPECT_EQ(SafeArrayGetElemsize(v.get()), 4u);
    ASSERT_EQ(SafeArrayGetLBound(v.get(), 1, &lb), S_OK);
    ASSERT_EQ(SafeArrayGetUBound(v.get(), 1, &ub), S_OK);
    EXPECT_EQ(lb, -1);
    EXPECT_EQ(ub, 1);
    for (UINT bad : {0u, 2u}) {
        EXPECT_EQ(SafeArrayGetLBound(v.get(), bad, &lb), DISP_E_BADINDEX) << bad;
        EXPECT_EQ(SafeArrayGetUBound(v.get(), bad, &ub), DISP_E_BADINDEX) << bad;
    }
    EXPECT_EQ(SafeArrayGetLBound(v.get(), 1, nullptr), E_POINTER);
    Array empty(SafeArrayCreateVector(VT_VARIANT, 0, 0));
    ASSERT_TRUE(empty);
    ASSERT_EQ(SafeArrayGetUBound(empty.get(), 1, &ub), S_OK);
    EXPECT_EQ(ub, -1);

    // Dimension 1 is the first bound given; rgIndices[0] indexes the last dimension.
    SAFEARRAYBOUND bounds[2] = {{3, 1}, {2, -5}};
    Array m(SafeArrayCreate(VT_I2, 2, bounds));
    ASSERT_TRUE(m);
    const LONG want[4] = {1, 3, -5, -4};
    for (UINT dim = 1; dim <= 2; ++dim) {
        ASSERT_EQ(SafeArrayGetLBound(m.get(), dim, &lb), S_OK);
        ASSERT_EQ(SafeArrayGetUBound(m.get(), dim, &ub), S_OK);
        EXPECT_EQ(lb, want[2 * (dim - 1)]);
        EXPECT_EQ(ub, want[2 * (dim - 1) + 1]);
    }
    for (LONG i = 1; i <= 3; ++i) {
        for (LONG j = -5; j <= -4; ++j) {
            LONG at[2] = {j, i};
            SHORT value = static_cast<SHORT>(i * 10 - j);
            ASSERT_EQ(SafeArrayPutElement(m.get(), at, &value), S_OK);
        }
    }
    for (LONG i = 1; i <= 3; ++i) {
        for (LONG j = -5; j <= -4; ++j) {
            LONG at[2] = {j, i};
            SHORT value = 0;
            ASSERT_EQ(SafeArrayGetElement(m.get(), at, &value), S_OK);
            EXPECT_EQ(value, i * 10 - j) << "every cell is its own";
        }
    }
    const LONG badIndex[][2] = {{1, -5}, {-4, 0}, {-6, 1}, {-5, 4}};
    for (const auto& at : badIndex) {
        SHORT value = 1;
        EXPECT_EQ(SafeArrayPutElement(m.get(), const_cast<LONG*>(at), &value), DISP_E_BADINDEX);
        EXPECT_EQ(SafeArrayGetElement(m.get(), const_cast<LONG*>(at), &value), DISP_E_BADINDEX);
    }

    SAFEARRAYBOUND huge[2] = {{0x10000, 0}, {0x10000, 0}};
    EXPECT_EQ(SafeArrayCreate(VT_VARIANT, 2, huge), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_EMPTY, 1, bounds), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_I4, 0, bounds), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_I4, 1, nullptr), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_I4, 0x7FFFFFFF, 2), nullptr) << "upper bound past LONG";
}

TEST(RuntimeSafeArray, ElementsAreOwnedByTheArray) {
    LONG i0 = 0, i1 = 1, i2 = 2;
    {
        Array strings(SafeArrayCreateVector(VT_BSTR, 0, 2));
        Bstr text(u"first");
        ASSERT_EQ(SafeArrayPutElement(strings.get(), &i0, text.Get()), S_OK);
        text = Bstr(u"changed"); // The array kept its own copy.
        ASSERT_EQ(SafeArrayPutElement(strings.get(), &i1, text.Get()), S_OK);
        ASSERT_EQ(SafeArrayPutElement(strings.get(), &i1, nullptr), S_OK) << "frees the old one";
        Bstr got;
        ASSERT_EQ(SafeArrayGetElement(strings.get(), &i0, got.Put()), S_OK);
        EXPECT_EQ(got.View(), u"first");
        EXPECT_NE(got.Get(), static_cast<BSTR*>(strings->pvData)[0]) << "a copy for the caller";
        ASSERT_EQ(SafeArrayGetElement(strings.get(), &i1, got.Put()), S_OK);
        EXPECT_EQ(got.Get(), nullptr);
        EXPECT_EQ(SafeArrayGetElement(strings.get(), &i2, got.Put()), DISP_E_BADINDEX);
        EXPECT_EQ(SafeArrayGetElement(strings.get(), nullptr, got.Put()), E_INVALIDARG);
        EXPECT_EQ(SafeArrayGetElement(strings.get(), &i0, nullptr), E_INVALIDARG);
    }
    TestObject a, b;
    {
        Array objects(SafeArrayCreateVector(VT_DISPATCH, 0, 2));
        ASSERT_EQ(SafeArrayPutElement(objects.get(), &i0, &a), S_OK);
        ASSERT_EQ(SafeArrayPutElement(objects.get(), &i1, &a), S_OK);
        EXPECT_EQ(a.refs(), 3u);
        ASSERT_EQ(SafeArrayPutElement(objects.get(), &i1, &b), S_OK);
        EXPECT_EQ(a.refs(), 2u) << "the replaced element is released";
        IDispatch* got = nullptr;
        ASSERT_EQ(SafeArrayGetElement(objects.get(), &i1, &got), S_OK);
        EXPECT_EQ(got, &b);
        EXPECT_EQ(b.refs(), 3u);
        got->Release();

        Array copy;
        SAFEARRAY* raw = nullptr;
        ASSERT_EQ(SafeArrayCopy(objects.get(), &raw), S_OK);
        copy.reset(raw);
        EXPECT_EQ(a.refs(), 3u);
        EXPECT_EQ(b.refs(), 3u);
    }
    EXPECT_EQ(a.refs(), 1u);
    EXPECT_EQ(b.refs(), 1u);
    {
        Array variants(SafeArrayCreateVector(VT_VARIANT, 0, 1));
        Variant v;
        v.vt = VT_BSTR;
        v.bstrVal = AllocBstr(u"in a variant");
        ASSERT_EQ(SafeArrayPutElement(variants.get(), &i0, &v), S_OK);
        VariantClear(&v);
        ASSERT_EQ(SafeArrayGetElement(variants.get(), &i0, static_cast<VARIANT*>(&v)), S_OK);
        EXPECT_EQ(View(v.bstrVal), u"in a variant");
        EXPECT_NE(v.bstrVal, static_cast<VARIANT*>(variants->pvData)[0].bstrVal);
        EXPECT_EQ(SafeArrayPutElement(variants.get(), &i0, nullptr), E_INVALIDARG);
    }
}

TEST(RuntimeSafeArray, LocksAndCopies) {
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 10}};
    SAFEARRAY* psa = SafeArrayCreate(VT_BSTR, 2, bounds);
    ASSERT_NE(psa, nullptr);
    LONG at[2] = {11, 1};
    Bstr text(u"cell");
    ASSERT_EQ(SafeArrayPutElement(psa, at, text.Get()), S_OK);

    void* data = nullptr;
    ASSERT_EQ(SafeArrayLock(psa), S_OK);
    ASSERT_EQ(SafeArrayAccessData(psa, &data), S_OK);
    EXPECT_EQ(data, psa->pvData);
    EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
    ASSERT_EQ(SafeArrayUnaccessData(psa), S_OK);
    EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayAccessData(psa, nullptr), E_INVALIDARG);

    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK) << "a locked array can still be copied";
    ASSERT_EQ(SafeArrayUnlock(psa), S_OK);
    EXPECT_EQ(SafeArrayUnlock(psa), E_UNEXPECTED);
    VARTYPE vt = VT_EMPTY;
    ASSERT_EQ(SafeArrayGetVartype(copy, &vt), S_OK);
    EXPECT_EQ(vt, VT_BSTR);
    EXPECT_EQ(SafeArrayGetVartype(copy, nullptr), E_INVALIDARG);
    LONG lb = 0;
    ASSERT_EQ(SafeArrayGetLBound(copy, 2, &lb), S_OK);
    EXPECT_EQ(lb, 10);
    Bstr got;
    ASSERT_EQ(SafeArrayGetElement(copy, at, got.Put()), S_OK);
    EXPECT_EQ(got.View(), u"cell");
    EXPECT_NE(static_cast<BSTR*>(copy->pvData)[3], static_cast<BSTR*>(psa->pvData)[3]);
    EXPECT_EQ(copy->cLocks, 0u);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
    EXPECT_EQ(SafeArrayDestroy(copy), E_INVALIDARG) << "destroyed once only";
    EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
    EXPECT_EQ(SafeArrayCopy(nullptr, &copy), S_OK);
    EXPECT_EQ(copy, nullptr);
    EXPECT_EQ(SafeArrayCopy(nullptr, nullptr), E_INVALIDARG);
}

// A structure that looks like an array but was not made by the runtime: every call refuses it
// without reading around it (ASan checks the "around").
TEST(RuntimeSafeArray, ForeignArraysAreRefused) {
    auto fake = std::make_unique<SAFEARRAY>();
    auto storage = std::make_unique<LONG[]>(4);
    fake->cDims = 1;
    fake->cbElements = sizeof(LONG);
    fake->pvData = storage.get();
    fake->rgsabound[0] = {4, 0};
    SAFEARRAY* psa = fake.get();
    LONG index = 0, value = 0, bound = 0;
    void* data = nullptr;
    VARTYPE vt = VT_EMPTY;
    SAFEARRAY* copy = nullptr;
    EXPECT_EQ(SafeArrayGetDim(psa), 0u);
    EXPECT_EQ(SafeArrayGetElemsize(psa), 0u);
    EXPECT_EQ(SafeArrayGetLBound(psa, 1, &bound), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetUBound(psa, 1, &bound), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetElement(psa, &index, &value), E_INVALIDARG);
    EXPECT_EQ(SafeArrayPutElement(psa, &index, &value), E_INVALIDARG);
    EXPECT_EQ(SafeArrayLock(psa), E_INVALIDARG);
    EXPECT_EQ(SafeArrayUnlock(psa), E_INVALIDARG);
    EXPECT_EQ(SafeArrayAccessData(psa, &data), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetVartype(psa, &vt), E_INVALIDARG);
    EXPECT_EQ(SafeArrayCopy(psa, &copy), E_INVALIDARG);
    EXPECT_EQ(SafeArrayDestroy(psa), E_INVALIDARG);
    Variant v;
    v.vt = VT_ARRAY | VT_I4;
    v.parray = psa;
    EXPECT_EQ(VariantClear(&v), E_INVALIDARG);
    v.vt = VT_EMPTY; // Not ours to free.
}

} // namespace
} // namespace gpslib::test
