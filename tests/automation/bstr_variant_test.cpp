// Automation strings and variants: lengths, ownership and the coercions late binding relies on.
#include <gtest/gtest.h>

#include "tests/automation/test_util.h"

namespace gpslib::test {
namespace {

TEST(RuntimeBstr, LengthsCountEmbeddedNulsAndNullIsEmpty) {
    Bstr b = Bstr::Adopt(SysAllocStringLen(u"ab\0cd", 5));
    EXPECT_EQ(SysStringByteLen(b.Get()), 10u);
    EXPECT_EQ(b.View(), std::u16string_view(u"ab\0cd", 5));
    EXPECT_EQ(b.Get()[5], 0) << "terminated after its length";
    EXPECT_EQ(Bstr::Adopt(SysAllocString(u"ab\0cd")).Length(), 2u);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr) + SysStringByteLen(nullptr), 0u);
    SysFreeString(nullptr);
    EXPECT_NE(Bstr::Adopt(SysAllocString(u"")).Get(), nullptr);
    EXPECT_EQ(Bstr::Adopt(SysAllocStringLen(nullptr, 3)).View(), std::u16string_view(u"\0\0\0", 3));
    Bstr odd = Bstr::Adopt(SysAllocStringByteLen("abc", 3));
    EXPECT_EQ(SysStringByteLen(odd.Get()), 3u);
    EXPECT_EQ(odd.Length(), 1u);
    EXPECT_EQ(odd.Get()[2], 0) << "a whole NUL character follows an odd byte count";
    EXPECT_EQ(SysAllocStringLen(nullptr, 0xFFFFFFFFu), nullptr);
}

TEST(RuntimeBstr, ReAllocMayTakeItsOwnText) {
    struct Case {
        int from; // Offset of the source in the old string "hello world"; -1: a null source.
        UINT length;
        std::u16string_view want;
    };
    for (Case c : {Case{6, 5, u"world"}, Case{0, 11, u"hello world"}, Case{0, 2, u"he"},
                   Case{-1, 2, std::u16string_view(u"\0\0", 2)}}) {
        BSTR b = SysAllocString(u"hello world");
        ASSERT_EQ(SysReAllocStringLen(&b, c.from < 0 ? nullptr : b + c.from, c.length), 1);
        EXPECT_EQ(View(b), c.want) << c.from;
        ASSERT_EQ(SysReAllocString(&b, b + 1), 1);
        EXPECT_EQ(View(b), c.want.substr(1, c.want.find(u'\0', 1) - 1)) << "up to its NUL";
        SysFreeString(b);
    }
    BSTR b = SysAllocString(u"x");
    ASSERT_EQ(SysReAllocString(&b, nullptr), 1);
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(SysReAllocString(nullptr, u"x") + SysReAllocStringLen(nullptr, u"x", 1), 0);
}

TEST(RuntimeBstr, Utf8RoundTrip) {
    using namespace std::string_literals;
    for (const std::string& utf8 : {""s, "plain"s, "Caf\xC3\xA9"s, "\xE6\x97\xA5\xE6\x9C\xAC"s,
                                    "clef \xF0\x9D\x84\x9E!"s, "a\0b"s}) {
        Bstr b(utf8);
        ASSERT_NE(b.Get(), nullptr);
        EXPECT_EQ(b.Utf8(), utf8);
        EXPECT_EQ(b.View(), ToUtf16(utf8));
    }
    EXPECT_EQ(Bstr("\xF0\x9D\x84\x9E").Length(), 2u) << "a surrogate pair";
    EXPECT_EQ(ToUtf8(static_cast<BSTR>(nullptr)), "");
    EXPECT_EQ(ToUtf8(std::u16string_view(u"\xD834x", 2)), "\xEF\xBF\xBDx") << "lone surrogate";
}

SAFEARRAY* Strings(std::initializer_list<std::u16string_view> items) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(items.size()));
    LONG i = 0;
    for (auto item : items) {
        EXPECT_EQ(SafeArrayPutElement(psa, &i, Bstr(item).Get()), S_OK);
        ++i;
    }
    return psa;
}

TEST(RuntimeVariant, ClearAndCopyOwnWhatTheyHold) {
    TestObject object;
    Variant v, copy;
    SetObject(&v, &object);
    ASSERT_EQ(VariantCopy(&copy, &v), S_OK);
    EXPECT_EQ(object.refs(), 3u);
    ASSERT_EQ(VariantClear(&v), S_OK);
    ASSERT_EQ(VariantClear(&copy), S_OK);
    EXPECT_EQ(object.refs(), 1u);
    EXPECT_EQ(v.vt, VT_EMPTY);

    SetText(&copy, u"old"); // Freed by the copy over it (ASan reports it otherwise).
    SetText(&v, u"text");
    ASSERT_EQ(VariantCopy(&copy, &v), S_OK);
    EXPECT_NE(copy.bstrVal, v.bstrVal);
    EXPECT_EQ(View(copy.bstrVal), u"text");
    EXPECT_EQ(VariantCopy(&copy, &copy), S_OK);
    EXPECT_EQ(View(copy.bstrVal), u"text");

    VariantClear(&v);
    v.vt = VT_ARRAY | VT_BSTR;
    v.parray = Strings({u"x", u"y"});
    ASSERT_EQ(VariantCopy(&copy, &v), S_OK);
    ASSERT_NE(copy.parray, v.parray);
    EXPECT_NE(static_cast<BSTR*>(copy.parray->pvData)[1], static_cast<BSTR*>(v.parray->pvData)[1]);
    EXPECT_EQ(View(static_cast<BSTR*>(copy.parray->pvData)[1]), u"y");

    ASSERT_EQ(SafeArrayLock(v.parray), S_OK);
    EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(v.vt, VT_ARRAY | VT_BSTR) << "untouched when the array cannot go";
    ASSERT_EQ(SafeArrayUnlock(v.parray), S_OK);

    BSTR ref = copy.bstrVal; // Not owned by a reference: Clear leaves it alone.
    Variant byRef;
    byRef.vt = VT_BYREF | VT_BSTR;
    byRef.pbstrVal = &ref;
    ASSERT_EQ(VariantClear(&byRef), S_OK);
    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
    EXPECT_EQ(VariantCopy(nullptr, &v), E_INVALIDARG);
}

TEST(RuntimeVariant, CopyIndFollowsReferences) {
    Bstr text(u"by ref");
    BSTR ref = text.Get();
    LONG number = 7;
    Variant inner, dst;
    SetText(&inner, u"inner");
    VARIANT refs[3] = {};
    refs[0].vt = VT_BYREF | VT_BSTR, refs[0].pbstrVal = &ref;
    refs[1].vt = VT_BYREF | VT_I4, refs[1].plVal = &number;
    refs[2].vt = VT_BYREF | VT_VARIANT, refs[2].pvarVal = &inner;
    ASSERT_EQ(VariantCopyInd(&dst, &refs[1]), S_OK);
    EXPECT_TRUE(dst.vt == VT_I4 && dst.lVal == 7);
    ASSERT_EQ(VariantCopyInd(&dst, &refs[2]), S_OK);
    EXPECT_NE(dst.bstrVal, inner.bstrVal);
    EXPECT_EQ(View(dst.bstrVal), u"inner");
    ASSERT_EQ(VariantCopyInd(&refs[0], &refs[0]), S_OK) << "in place";
    ASSERT_EQ(refs[0].vt, VT_BSTR);
    EXPECT_NE(refs[0].bstrVal, ref);
    EXPECT_EQ(View(refs[0].bstrVal), u"by ref");
    VariantClear(&refs[0]);
    refs[1].plVal = nullptr;
    EXPECT_TRUE(FAILED(VariantCopyInd(&dst, &refs[1])));
    EXPECT_EQ(VariantCopyInd(&dst, nullptr), E_INVALIDARG);
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
    {VT_R8, -2.5, nullptr, VT_I4, S_OK, -2},
    {VT_R8, 2147483647.5, nullptr, VT_I4, DISP_E_OVERFLOW},
    {VT_R8, -2147483648.4, nullptr, VT_I4, S_OK, -2147483648.0},
    {VT_R8, 0.5, nullptr, VT_BOOL, S_OK, -1},
    {VT_I4, 0, nullptr, VT_BOOL, S_OK, 0},
    {VT_BSTR, 0, u"12", VT_I2, S_OK, 12},
    {VT_BSTR, 0, u" 42\t", VT_I4, S_OK, 42},
    {VT_BSTR, 0, u"2.5", VT_I4, S_OK, 2},
    {VT_BSTR, 0, u"-1.5e2", VT_R8, S_OK, -150},
    {VT_BSTR, 0, u"1e-400", VT_I4, S_OK, 0}, // Underflow is zero, not an overflow.
    {VT_BSTR, 0, u"70000", VT_I2, DISP_E_OVERFLOW},
    {VT_BSTR, 0, u"1e999", VT_R8, DISP_E_OVERFLOW},
    {VT_BSTR, 0, u"True", VT_BOOL, S_OK, -1},
    {VT_BSTR, 0, u"false", VT_BOOL, S_OK, 0},
    {VT_BSTR, 0, u"TRUE", VT_I4, S_OK, -1},
    {VT_BSTR, 0, u"abc", VT_I2, DISP_E_TYPEMISMATCH},
    {VT_BSTR, 0, u"", VT_I4, DISP_E_TYPEMISMATCH},
    {VT_BSTR, 0, u"0x10", VT_I4, DISP_E_TYPEMISMATCH},
    {VT_BSTR, 0, u"inf", VT_R8, DISP_E_TYPEMISMATCH},
    {VT_BSTR, 0, u"1 2", VT_I4, DISP_E_TYPEMISMATCH},
    {VT_BSTR, 0, u"\uFF11\uFF12", VT_I4, DISP_E_TYPEMISMATCH}, // Fullwidth digits.
    {VT_EMPTY, 0, nullptr, VT_I4, S_OK, 0},
    {VT_NULL, 0, nullptr, VT_I4, DISP_E_TYPEMISMATCH},
    {VT_NULL, 0, nullptr, VT_EMPTY, S_OK},
    {VT_I4, 5, nullptr, VT_I1, DISP_E_BADVARTYPE},
    {VT_I4, -17, u"-17", VT_BSTR, S_OK},
    {VT_R8, 2.5, u"2.5", VT_BSTR, S_OK},
    {VT_BOOL, -1, u"True", VT_BSTR, S_OK},
    {VT_EMPTY, 0, u"", VT_BSTR, S_OK},
    {VT_BSTR, 0, u"same", VT_BSTR, S_OK},
};

void MakeSource(const ChangeCase& c, VARIANT* v) {
    VariantInit(v);
    v->vt = c.from;
    if (c.from == VT_I2 || c.from == VT_BOOL) v->iVal = static_cast<SHORT>(c.number);
    if (c.from == VT_I4) v->lVal = static_cast<LONG>(c.number);
    if (c.from == VT_R8) v->dblVal = c.number;
    if (c.from == VT_BSTR) v->bstrVal = SysAllocString(c.text);
}

void ExpectResult(const ChangeCase& c, const VARIANT& v) {
    ASSERT_EQ(v.vt, c.to);
    double number = c.to == VT_I4 ? v.lVal : c.to == VT_R8 ? v.dblVal : v.iVal;
    if (c.to == VT_BSTR) {
        EXPECT_EQ(View(v.bstrVal), c.text);
    } else if (c.to != VT_EMPTY) {
        EXPECT_EQ(number, c.want);
    }
}

TEST(RuntimeVariant, ChangeTypeTable) {
    for (const ChangeCase& c : kChanges) {
        SCOPED_TRACE(testing::Message() << c.from << " " << c.number << " "
                                        << (c.text ? ToUtf8(c.text) : "") << " to " << c.to);
        Variant src, dst, inPlace, through, ref;
        MakeSource(c, &src);
        SetText(&dst, u"kept"); // Replaced (and freed) only when the change succeeds.
        ASSERT_EQ(VariantChangeType(&dst, &src, 0, c.to), c.hr);
        if (FAILED(c.hr)) {
            EXPECT_EQ(View(dst.bstrVal), u"kept");
            continue;
        }
        ExpectResult(c, dst);
        EXPECT_EQ(src.vt, c.from) << "the source is left alone";
        MakeSource(c, &inPlace);
        ASSERT_EQ(VariantChangeType(&inPlace, &inPlace, 0, c.to), S_OK);
        ExpectResult(c, inPlace);
        ref.vt = VT_BYREF | VT_VARIANT;
        ref.pvarVal = &src;
        ASSERT_EQ(VariantChangeType(&through, &ref, 0, c.to), S_OK);
        ExpectResult(c, through);
    }
}

TEST(RuntimeVariant, ChangeTypeOfReferencesAndObjects) {
    Bstr seven(u"7");
    BSTR sevenRef = seven.Get();
    Variant byRef, out;
    byRef.vt = VT_BYREF | VT_BSTR;
    byRef.pbstrVal = &sevenRef;
    ASSERT_EQ(VariantChangeType(&out, &byRef, 0, VT_I2), S_OK);
    EXPECT_EQ(out.iVal, 7);
    ASSERT_EQ(VariantChangeType(&byRef, &byRef, 0, VT_BSTR), S_OK) << "in place from a reference";
    EXPECT_NE(byRef.bstrVal, seven.Get()) << "an owned copy; the referenced string is untouched";
    EXPECT_EQ(VariantChangeType(&out, &out, 0, VT_BYREF | VT_I4), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantChangeType(nullptr, &out, 0, VT_I4), E_INVALIDARG);

    TestObject object, plain(TestObject::kUnknownOnly);
    {
        Variant v, res;
        SetObject(&v, &object);
        ASSERT_EQ(VariantChangeType(&res, &v, 0, VT_UNKNOWN), S_OK);
        EXPECT_EQ(res.vt, VT_UNKNOWN);
        EXPECT_EQ(res.punkVal, static_cast<IUnknown*>(&object));
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
    EXPECT_EQ(object.refs(), 1u);
    EXPECT_EQ(plain.refs(), 1u);
}

} // namespace
} // namespace gpslib::test
