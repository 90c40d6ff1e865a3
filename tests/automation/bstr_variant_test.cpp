// Automation strings and variants: lengths, ownership and the coercions late binding relies on.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/automation/test_util.h"

namespace gpslib::test {
namespace {

TEST(RuntimeBstr, LengthsCountEmbeddedNuls) {
    Bstr b = Bstr::Adopt(SysAllocStringLen(u"ab\0cd", 5));
    EXPECT_EQ(SysStringByteLen(b.Get()), 10u);
    EXPECT_EQ(b.View(), std::u16string_view(u"ab\0cd", 5));
    EXPECT_EQ(b.Get()[5], 0) << "terminated after its length";
    EXPECT_EQ(Bstr::Adopt(SysAllocString(u"ab\0cd")).Length(), 2u);
    Bstr odd = Bstr::Adopt(SysAllocStringByteLen("abc", 3));
    EXPECT_EQ(odd.Length(), 1u);
    EXPECT_EQ(odd.Get()[2], 0) << "a whole NUL character follows an odd byte count";
    EXPECT_EQ(SysAllocStringLen(nullptr, 0xFFFFFFFFu), nullptr);
    EXPECT_EQ(Bstr(std::string("a\0\xF0\x9D\x84\x9E", 6)).View(),
              std::u16string_view(u"a\0\U0001D11E", 4));
}

TEST(RuntimeBstr, ReAllocMayTakeItsOwnText) { // ASan reports a read of the freed old string.
    BSTR b = SysAllocString(u"hello world");
    ASSERT_EQ(SysReAllocStringLen(&b, b + 6, 5), 1);
    EXPECT_EQ(View(b), u"world");
    ASSERT_EQ(SysReAllocString(&b, b + 1), 1);
    EXPECT_EQ(View(b), u"orld");
    ASSERT_EQ(SysReAllocString(&b, nullptr), 1);
    EXPECT_EQ(b, nullptr);
}

TEST(RuntimeVariant, ClearAndCopyOwnWhatTheyHold) {
    TestObject object;
    Variant v, copy;
    SetObject(&v, &object);
    ASSERT_EQ(VariantCopy(&copy, &v), S_OK);
    EXPECT_EQ(object.refs(), 3u);
    ASSERT_EQ(VariantClear(&v), S_OK);
    SetText(&v, u"text");
    ASSERT_EQ(VariantCopy(&copy, &v), S_OK); // Clears the object it replaces.
    EXPECT_EQ(object.refs(), 1u);
    EXPECT_NE(copy.bstrVal, v.bstrVal);

    VariantClear(&v);
    v.vt = VT_ARRAY | VT_BSTR;
    v.parray = SafeArrayCreateVector(VT_BSTR, 0, 1);
    ASSERT_EQ(VariantCopy(&copy, &v), S_OK);
    EXPECT_NE(copy.parray, v.parray);
    ASSERT_EQ(SafeArrayLock(v.parray), S_OK);
    EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(v.vt, VT_ARRAY | VT_BSTR) << "untouched when the array cannot go";
    ASSERT_EQ(SafeArrayUnlock(v.parray), S_OK);
}

struct ChangeCase {
    VARTYPE from;
    double number;        // The source for numeric and boolean sources.
    const char16_t* text; // The source for VT_BSTR, or the expected text for a VT_BSTR result.
    VARTYPE to;
    HRESULT hr;
    double want = 0;
};

const ChangeCase kChanges[] = {
    {VT_I4, -32768, nullptr, VT_I2, S_OK, -32768},
    {VT_I4, 40000, nullptr, VT_I2, DISP_E_OVERFLOW},
    {VT_R8, 2.5, nullptr, VT_I2, S_OK, 2}, // Halves round to even.
    {VT_R8, 3.5, nullptr, VT_I4, S_OK, 4},
    {VT_R8, 2147483647.5, nullptr, VT_I4, DISP_E_OVERFLOW},
    {VT_R8, 0.5, nullptr, VT_BOOL, S_OK, -1},
    {VT_BSTR, 0, u" 42\t", VT_I4, S_OK, 42},
    {VT_BSTR, 0, u"-1.5e2", VT_R8, S_OK, -150},
    {VT_BSTR, 0, u"1e-400", VT_I4, S_OK, 0}, // Underflow is zero, not an overflow.
    {VT_BSTR, 0, u"1e999", VT_R8, DISP_E_OVERFLOW},
    {VT_BSTR, 0, u"false", VT_BOOL, S_OK, 0},
    {VT_BSTR, 0, u"TRUE", VT_I4, S_OK, -1},
    {VT_BSTR, 0, u" ", VT_I4, DISP_E_TYPEMISMATCH},
    {VT_BSTR, 0, u"0x10", VT_I4, DISP_E_TYPEMISMATCH},
    {VT_BSTR, 0, u"1e", VT_I4, DISP_E_TYPEMISMATCH},
    {VT_BSTR, 0, u"\u0131\u0132", VT_I4, DISP_E_TYPEMISMATCH}, // Low bytes are "12".
    {VT_EMPTY, 0, nullptr, VT_I4, S_OK, 0},
    {VT_NULL, 0, nullptr, VT_I4, DISP_E_TYPEMISMATCH},
    {VT_I4, 5, nullptr, VT_I1, DISP_E_BADVARTYPE},
    {VT_R8, 2.5, u"2.5", VT_BSTR, S_OK},
    {VT_BOOL, -1, u"True", VT_BSTR, S_OK},
    // Decimals are carried, not converted, in either direction.
    {VT_DECIMAL, 0, nullptr, VT_I4, DISP_E_TYPEMISMATCH},
    {VT_DECIMAL, 0, nullptr, VT_BSTR, DISP_E_TYPEMISMATCH},
    {VT_I4, 5, nullptr, VT_DECIMAL, DISP_E_TYPEMISMATCH},
    {VT_BSTR, 0, u"5", VT_DECIMAL, DISP_E_TYPEMISMATCH},
    {VT_I4, 5, nullptr, VT_RECORD, DISP_E_TYPEMISMATCH},
};

TEST(RuntimeVariant, ChangeTypeTable) {
    for (const ChangeCase& c : kChanges) {
        SCOPED_TRACE(testing::Message() << c.from << " " << c.number << " "
                                        << (c.text ? ToUtf8(c.text) : "") << " to " << c.to);
        Variant src, dst;
        src.vt = c.from;
        if (c.from == VT_BOOL) src.boolVal = static_cast<VARIANT_BOOL>(c.number);
        if (c.from == VT_I4) src.lVal = static_cast<LONG>(c.number);
        if (c.from == VT_R8) src.dblVal = c.number;
        if (c.from == VT_BSTR) src.bstrVal = SysAllocString(c.text);
        SetText(&dst, u"kept"); // Replaced (and freed) only when the change succeeds.
        ASSERT_EQ(VariantChangeType(&dst, &src, 0, c.to), c.hr);
        EXPECT_EQ(src.vt, c.from) << "the source is left alone";
        if (FAILED(c.hr)) {
            EXPECT_EQ(View(dst.bstrVal), u"kept");
        } else if (c.to == VT_BSTR) {
            EXPECT_EQ(View(dst.bstrVal), c.text);
        } else {
            ASSERT_EQ(dst.vt, c.to);
            EXPECT_EQ(c.to == VT_I4 ? dst.lVal : c.to == VT_R8 ? dst.dblVal : dst.iVal, c.want);
        }
    }
}

TEST(RuntimeVariant, ReferencesAreFollowedAndNotOwned) {
    Bstr seven(u"7");
    BSTR sevenRef = seven.Get();
    Variant byRef, out, inner, viaVariant;
    byRef.vt = VT_BYREF | VT_BSTR;
    byRef.pbstrVal = &sevenRef;
    ASSERT_EQ(VariantChangeType(&out, &byRef, 0, VT_I2), S_OK);
    EXPECT_EQ(out.iVal, 7);
    SetText(&inner, u"8");
    viaVariant.vt = VT_BYREF | VT_VARIANT;
    viaVariant.pvarVal = &inner;
    ASSERT_EQ(VariantChangeType(&out, &viaVariant, 0, VT_I4), S_OK);
    EXPECT_TRUE(out.vt == VT_I4 && out.lVal == 8);
    ASSERT_EQ(VariantCopyInd(&out, &viaVariant), S_OK);
    EXPECT_TRUE(out.bstrVal != inner.bstrVal && View(out.bstrVal) == u"8") << "a deep copy";
    ASSERT_EQ(VariantCopyInd(&viaVariant, &viaVariant), S_OK) << "in place";
    EXPECT_TRUE(viaVariant.vt == VT_BSTR && viaVariant.bstrVal != inner.bstrVal);
    // In place: the source is the destination (ASan reports it freed before it is read).
    ASSERT_EQ(VariantChangeType(&inner, &inner, 0, VT_I4), S_OK);
    EXPECT_EQ(inner.lVal, 8);
    ASSERT_EQ(VariantChangeType(&byRef, &byRef, 0, VT_BSTR), S_OK) << "in place from a reference";
    EXPECT_NE(byRef.bstrVal, seven.Get()) << "an owned copy; the referenced string is untouched";
    EXPECT_EQ(VariantChangeType(&out, &out, 0, VT_BYREF | VT_I4), DISP_E_BADVARTYPE);
}

// A decimal fills all 24 bytes (its first word is the tag), so every copy must move them all.
TEST(RuntimeVariant, DecimalsAreCopiedWhole) {
    Variant dec;
    dec.decVal.scale = 4;
    dec.decVal.sign = 0x80;
    dec.decVal.Hi32 = 0x01234567;
    dec.decVal.Lo64 = 0x89ABCDEF01234567ull;
    dec.vt = VT_DECIMAL;
    auto same = [&](const VARIANT& v) { return std::memcmp(&v, &dec, sizeof dec) == 0; };

    Variant copy, viaRef, viaChange, element;
    ASSERT_EQ(VariantCopy(&copy, &dec), S_OK);
    EXPECT_TRUE(same(copy));
    Variant ref;
    ref.vt = VT_BYREF | VT_DECIMAL;
    ref.pdecVal = &dec.decVal;
    ASSERT_EQ(VariantCopyInd(&viaRef, &ref), S_OK);
    EXPECT_TRUE(same(viaRef));
    ASSERT_EQ(VariantChangeType(&viaChange, &ref, 0, VT_DECIMAL), S_OK);
    EXPECT_TRUE(same(viaChange));

    SAFEARRAY* list = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    LONG second = 1;
    ASSERT_EQ(SafeArrayPutElement(list, &second, &dec), S_OK);
    ASSERT_EQ(SafeArrayGetElement(list, &second, &element), S_OK);
    EXPECT_TRUE(same(element));
    VARIANT* items = nullptr;
    ASSERT_EQ(SafeArrayAccessData(list, reinterpret_cast<void**>(&items)), S_OK);
    EXPECT_EQ(items[0].vt, VT_EMPTY);
    EXPECT_TRUE(same(items[1])) << "elements sit 24 bytes apart";
    SafeArrayUnaccessData(list);
    SafeArrayDestroy(list);
}

TEST(RuntimeVariant, RecordsAreRefusedNotShared) {
    int payload = 0;
    Variant record, dst;
    record.vt = VT_RECORD;
    record.pvRecord = &payload;
    SetText(&dst, u"kept");
    EXPECT_EQ(VariantCopy(&dst, &record), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantChangeType(&dst, &record, 0, VT_VARIANT), DISP_E_BADVARTYPE);
    EXPECT_EQ(View(dst.bstrVal), u"kept");
    ASSERT_EQ(VariantClear(&record), S_OK) << "the record's owner frees it";
    EXPECT_TRUE(record.vt == VT_EMPTY && record.pvRecord == nullptr);
}

TEST(RuntimeVariant, ObjectsChangeBetweenTheirTwoForms) {
    TestObject object, plain(TestObject::kUnknownOnly);
    {
        Variant v, res;
        SetObject(&v, &object);
        ASSERT_EQ(VariantChangeType(&res, &v, 0, VT_UNKNOWN), S_OK);
        EXPECT_TRUE(res.vt == VT_UNKNOWN && res.punkVal == static_cast<IUnknown*>(&object));
        EXPECT_EQ(object.refs(), 3u);
        EXPECT_EQ(VariantChangeType(&res, &v, 0, VT_I4), DISP_E_TYPEMISMATCH);
        v.vt = VT_UNKNOWN; // Still holds its reference.
        ASSERT_EQ(VariantChangeType(&res, &v, 0, VT_DISPATCH), S_OK);
        EXPECT_EQ(res.vt, VT_DISPATCH);
        VariantClear(&v);
        v.vt = VT_UNKNOWN;
        (v.punkVal = &plain)->AddRef();
        EXPECT_EQ(VariantChangeType(&res, &v, 0, VT_DISPATCH), DISP_E_TYPEMISMATCH);
        VariantClear(&v);
        v.vt = VT_DISPATCH; // A null object stays null in either form.
        ASSERT_EQ(VariantChangeType(&res, &v, 0, VT_UNKNOWN), S_OK);
        EXPECT_EQ(res.punkVal, nullptr);
    }
    EXPECT_EQ(object.refs() + plain.refs(), 2u);
}

} // namespace
} // namespace gpslib::test
