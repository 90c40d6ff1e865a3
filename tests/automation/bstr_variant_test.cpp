// Automation strings and variants: lengths, ownership and the coercions late binding relies on.
#include <gpslib/support.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tests/automation/test_object.h"

namespace gpslib::test {
namespace {

TEST(RuntimeBstr, LengthsCountEmbeddedNulsAndNullIsEmpty) {
    const char16_t text[] = u"ab\0cd";
    Bstr b = Bstr::Adopt(SysAllocStringLen(text, 5));
    ASSERT_NE(b.Get(), nullptr);
    EXPECT_EQ(SysStringLen(b.Get()), 5u);
    EXPECT_EQ(SysStringByteLen(b.Get()), 10u);
    EXPECT_EQ(b.Get()[5], 0) << "terminated after its length";
    EXPECT_EQ(std::u16string(b.View()), std::u16string(text, 5));
    EXPECT_EQ(SysStringLen(Bstr::Adopt(SysAllocString(text)).Get()), 2u) << "stops at the NUL";

    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    SysFreeString(nullptr);
    Bstr empty = Bstr::Adopt(SysAllocString(u""));
    ASSERT_NE(empty.Get(), nullptr) << "an empty string is not a null one";
    EXPECT_EQ(empty.Length(), 0u);

    Bstr zeros = Bstr::Adopt(SysAllocStringLen(nullptr, 3));
    ASSERT_EQ(zeros.Length(), 3u);
    EXPECT_EQ(std::u16string(zeros.View()), std::u16string(3, u'\0'));
    Bstr odd = Bstr::Adopt(SysAllocStringByteLen("abc", 3));
    EXPECT_EQ(SysStringByteLen(odd.Get()), 3u);
    EXPECT_EQ(odd.Length(), 1u);
    EXPECT_EQ(reinterpret_cast<const char*>(odd.Get())[3], 0);
    EXPECT_EQ(odd.Get()[2], 0) << "a whole NUL character follows an odd byte count";
    EXPECT_EQ(SysAllocStringLen(nullptr, 0xFFFFFFFFu), nullptr);
    EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFF0u), nullptr);
}

TEST(RuntimeBstr, ReAllocReplacesEvenFromItsOwnText) {
    struct Case {
        const char16_t* start;
        int from;    // Offset of the source in the old string; -1 for a null source.
        UINT length; // Characters to take.
        std::u16string want;
    };
    const Case cases[] = {{u"hello world", 6, 5, u"world"},
                          {u"hello", 0, 5, u"hello"},
                          {u"hello", 0, 2, u"he"},
                          {u"hello", 3, 2, u"lo"},
                          {u"abc", -1, 2, std::u16string(2, u'\0')}};
    for (const Case& c : cases) {
        BSTR b = SysAllocString(c.start);
        ASSERT_EQ(SysReAllocStringLen(&b, c.from < 0 ? nullptr : b + c.from, c.length), 1);
        EXPECT_EQ(std::u16string(View(b)), c.want) << ToUtf8(std::u16string_view(c.start)) << " from " << c.from;
        SysFreeString(b);
    }
    BSTR b = SysAllocString(u"text");
    ASSERT_EQ(SysReAllocString(&b, b + 2), 1);
    EXPECT_EQ(std::u16string(View(b)), u"xt");
    ASSERT_EQ(SysReAllocString(&b, nullptr), 1);
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(SysReAllocString(nullptr, u"x"), 0);
    EXPECT_EQ(SysReAllocStringLen(nullptr, u"x", 1), 0);
}

TEST(RuntimeBstr, Utf8RoundTrip) {
    const std::string cases[] = {"", "plain", "Caf\xC3\xA9", "\xE6\x97\xA5\xE6\x9C\xAC",
                                 "clef \xF0\x9D\x84\x9E!", std::string("a\0b", 3)};
    for (const std::string& utf8 : cases) {
        Bstr b(utf8);
        ASSERT_NE(b.Get(), nullptr) << utf8;
        EXPECT_EQ(b.Utf8(), utf8);
        EXPECT_EQ(ToUtf16(utf8), std::u16string(b.View()));
    }
    EXPECT_EQ(Bstr("\xF0\x9D\x84\x9E").Length(), 2u) << "a surrogate pair";
    EXPECT_EQ(ToUtf8(static_cast<BSTR>(nullptr)), "");
    EXPECT_EQ(ToUtf8(std::u16string_view(u"\xD834x", 2)), "\xEF\xBF\xBDx") << "lone surrogate";
}

// A variant holding a fresh copy of `text`.
void SetText(VARIANT* v, std::u16string_view text) {
    v->vt = VT_BSTR;
    v->bstrVal = AllocBstr(text);
}

SAFEARRAY* StringArray(std::initializer_list<std::u16string_view> items) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(items.size()));
    LONG i = 0;
    for (auto item : items) {
        Bstr b(item);
        EXPECT_EQ(SafeArrayPutElement(psa, &i, b.Get()), S_OK);
        ++i;
    }
    return psa;
}

TEST(RuntimeVariant, ClearReleasesWhatTheVariantOwns) {
    TestObject object;
    Variant v;
    v.vt = VT_DISPATCH;
    v.pdispVal = &object;
    object.AddRef();
    ASSERT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(object.refs(), 1u);

    SetText(&v, u"freed by Clear"); // ASan reports it if not.
    ASSERT_EQ(VariantClear(&v), S_OK);
    v.vt = VT_ARRAY | VT_BSTR;
    v.parray = StringArray({u"a", u"b"});
    ASSERT_EQ(VariantClear(&v), S_OK);

    Bstr kept(u"kept");
    BSTR ref = kept.Get();
    v.vt = VT_BYREF | VT_BSTR;
    v.pbstrVal = &ref;
    ASSERT_EQ(VariantClear(&v), S_OK) << "a reference owns nothing";
    EXPECT_EQ(kept.View(), u"kept");

    v.vt = VT_ARRAY | VT_BSTR;
    v.parray = StringArray({u"locked"});
    ASSERT_EQ(SafeArrayLock(v.parray), S_OK);
    EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(v.vt, VT_ARRAY | VT_BSTR) << "untouched when the array cannot go";
    ASSERT_EQ(SafeArrayUnlock(v.parray), S_OK);
    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
}

TEST(RuntimeVariant, CopyIsDeepAndCopyIndFollowsReferences) {
    TestObject object;
    Variant src, dst;
    SetText(&dst, u"old"); // Replaced and freed by the copy.
    SetText(&src, u"text");
    ASSERT_EQ(VariantCopy(&dst, &src), S_OK);
    EXPECT_NE(dst.bstrVal, src.bstrVal);
    EXPECT_EQ(View(dst.bstrVal), u"text");
    EXPECT_EQ(VariantCopy(&dst, &dst), S_OK);
    EXPECT_EQ(View(dst.bstrVal), u"text");

    VariantClear(&src);
    src.vt = VT_ARRAY | VT_BSTR;
    src.parray = StringArray({u"x", u"y"});
    ASSERT_EQ(VariantCopy(&dst, &src), S_OK);
    ASSERT_NE(dst.parray, src.parray);
    LONG one = 1;
    Bstr a, b;
    ASSERT_EQ(SafeArrayGetElement(src.parray, &one, a.Put()), S_OK);
    ASSERT_EQ(SafeArrayGetElement(dst.parray, &one, b.Put()), S_OK);
    EXPECT_EQ(b.View(), u"y");
    EXPECT_NE(static_cast<BSTR*>(src.parray->pvData)[1], static_cast<BSTR*>(dst.parray->pvData)[1]);

    VariantClear(&src);
    src.vt = VT_DISPATCH;
    src.pdispVal = &object;
    object.AddRef();
    ASSERT_EQ(VariantCopy(&dst, &src), S_OK);
    EXPECT_EQ(object.refs(), 3u);
    VariantClear(&dst);
    VariantClear(&src);
    EXPECT_EQ(object.refs(), 1u);

    // VariantCopyInd: the value a reference points at, as an owned copy.
    Bstr text(u"by ref");
    BSTR ref = text.Get();
    LONG number = 7;
    Variant inner;
    inner.vt = VT_R8;
    inner.dblVal = 2.5;
    VARIANT refs[3] = {};
    refs[0].vt = VT_BYREF | VT_BSTR, refs[0].pbstrVal = &ref;
    refs[1].vt = VT_BYREF | VT_I4, refs[1].plVal = &number;
    refs[2].vt = VT_BYREF | VT_VARIANT, refs[2].pvarVal = &inner;
    ASSERT_EQ(VariantCopyInd(&dst, &refs[0]), S_OK);
    EXPECT_EQ(dst.vt, VT_BSTR);
    EXPECT_NE(dst.bstrVal, ref);
    EXPECT_EQ(View(dst.bstrVal), u"by ref");
    ASSERT_EQ(VariantCopyInd(&dst, &refs[1]), S_OK);
    EXPECT_EQ(dst.vt, VT_I4);
    EXPECT_EQ(dst.lVal, 7);
    ASSERT_EQ(VariantCopyInd(&dst, &refs[2]), S_OK);
    EXPECT_EQ(dst.vt, VT_R8);
    EXPECT_EQ(dst.dblVal, 2.5);
    ASSERT_EQ(VariantCopyInd(&refs[0], &refs[0]), S_OK) << "in place";
    EXPECT_EQ(refs[0].vt, VT_BSTR);
    EXPECT_NE(refs[0].bstrVal, ref);
    VariantClear(&refs[0]);

    VARIANT dangling = {};
    dangling.vt = VT_BYREF | VT_I4;
    EXPECT_TRUE(FAILED(VariantCopyInd(&dst, &dangling)));
    EXPECT_EQ(VariantCopy(nullptr, &dst), E_INVALIDARG);
    EXPECT_EQ(VariantCopyInd(&dst, nullptr), E_INVALIDARG);
}

struct ChangeCase {
    const char* name;
    VARTYPE from;
    double number;          // The source value for numeric and boolean sources.
    const char16_t* text;   // The source value for VT_BSTR.
    VARTYPE to;
    HRESULT hr;
    double want;            // Numeric and boolean results.
    const char16_t* wantText = nullptr;
};

const ChangeCase kChangeCases[] = {
    {"I4 fits I2", VT_I4, -32768, nullptr, VT_I2, S_OK, -32768},
    {"I4 above I2", VT_I4, 40000, nullptr, VT_I2, DISP_E_OVERFLOW, 0},
    {"I4 below I2", VT_I4, -32769, nullptr, VT_I2, DISP_E_OVERFLOW, 0},
    {"half to even down", VT_R8, 2.5, nullptr, VT_I2, S_OK, 2},
    {"half to even up", VT_R8, 3.5, nullptr, VT_I4, S_OK, 4},
    {"negative half", VT_R8, -2.5, nullptr, VT_I4, S_OK, -2},
    {"below half", VT_R8, 2.4999, nullptr, VT_I4, S_OK, 2},
    {"R8 rounds past I4", VT_R8, 2147483647.5, nullptr, VT_I4, DISP_E_OVERFLOW, 0},
    {"R8 just fits I4", VT_R8, -2147483648.4, nullptr, VT_I4, S_OK, -2147483648.0},
    {"R8 to BOOL", VT_R8, 0.5, nullptr, VT_BOOL, S_OK, -1},
    {"zero to BOOL", VT_I4, 0, nullptr, VT_BOOL, S_OK, 0},
    {"BOOL to I4", VT_BOOL, -1, nullptr, VT_I4, S_OK, -1},
    {"I2 to R8", VT_I2, -7, nullptr, VT_R8, S_OK, -7},
    {"string to I2", VT_BSTR, 0, u"12", VT_I2, S_OK, 12},
    {"padded string", VT_BSTR, 0, u" 42\t", VT_I4, S_OK, 42},
    {"decimal string", VT_BSTR, 0, u"2.5", VT_I4, S_OK, 2},
    {"exponent string", VT_BSTR, 0, u"-1.5e2", VT_R8, S_OK, -150},
    {"tiny string", VT_BSTR, 0, u"1e-400", VT_I4, S_OK, 0},
    {"string above I2", VT_BSTR, 0, u"70000", VT_I2, DISP_E_OVERFLOW, 0},
    {"string above R8", VT_BSTR, 0, u"1e999", VT_R8, DISP_E_OVERFLOW, 0},
    {"True", VT_BSTR, 0, u"True", VT_BOOL, S_OK, -1},
    {"false", VT_BSTR, 0, u"false", VT_BOOL, S_OK, 0},
    {"TRUE as number", VT_BSTR, 0, u"TRUE", VT_I4, S_OK, -1},
    {"letters", VT_BSTR, 0, u"abc", VT_I2, DISP_E_TYPEMISMATCH, 0},
    {"empty string", VT_BSTR, 0, u"", VT_I4, DISP_E_TYPEMISMATCH, 0},
    {"blank string", VT_BSTR, 0, u"  ", VT_I4, DISP_E_TYPEMISMATCH, 0},
    {"hex string", VT_BSTR, 0, u"0x10", VT_I4, DISP_E_TYPEMISMATCH, 0},
    {"inf", VT_BSTR, 0, u"inf", VT_R8, DISP_E_TYPEMISMATCH, 0},
    {"nan", VT_BSTR, 0, u"nan", VT_R8, DISP_E_TYPEMISMATCH, 0},
    {"trailing text", VT_BSTR, 0, u"12abc", VT_I4, DISP_E_TYPEMISMATCH, 0},
    {"two numbers", VT_BSTR, 0, u"1 2", VT_I4, DISP_E_TYPEMISMATCH, 0},
    {"fullwidth digits", VT_BSTR, 0, u"\uFF11\uFF12", VT_I4, DISP_E_TYPEMISMATCH, 0},
    {"EMPTY to I4", VT_EMPTY, 0, nullptr, VT_I4, S_OK, 0},
    {"NULL to I4", VT_NULL, 0, nullptr, VT_I4, DISP_E_TYPEMISMATCH, 0},
    {"NULL to BSTR", VT_NULL, 0, nullptr, VT_BSTR, DISP_E_TYPEMISMATCH, 0},
    {"NULL to EMPTY", VT_NULL, 0, nullptr, VT_EMPTY, S_OK, 0},
    {"I4 to EMPTY", VT_I4, 5, nullptr, VT_EMPTY, S_OK, 0},
    {"unsupported target", VT_I4, 5, nullptr, VT_I1, DISP_E_BADVARTYPE, 0},
    {"I4 to BSTR", VT_I4, -17, nullptr, VT_BSTR, S_OK, 0, u"-17"},
    {"R8 to BSTR", VT_R8, 2.5, nullptr, VT_BSTR, S_OK, 0, u"2.5"},
    {"BOOL to BSTR", VT_BOOL, -1, nullptr, VT_BSTR, S_OK, 0, u"True"},
    {"EMPTY to BSTR", VT_EMPTY, 0, nullptr, VT_BSTR, S_OK, 0, u""},
    {"BSTR to BSTR", VT_BSTR, 0, u"same", VT_BSTR, S_OK, 0, u"same"},
};

void MakeSource(const ChangeCase& c, VARIANT* v) {
    VariantInit(v);
    v->vt = c.from;
    switch (c.from) {
    case VT_I2: v->iVal = static_cast<SHORT>(c.number); break;
    case VT_I4: v->lVal = static_cast<LONG>(c.number); break;
    case VT_R8: v->dblVal = c.number; break;
    case VT_BOOL: v->boolVal = static_cast<VARIANT_BOOL>(c.number); break;
    case VT_BSTR: v->bstrVal = SysAllocString(c.text); break;
    default: break;
    }
}

double NumberOf(const VARIANT& v) {
    switch (v.vt) {
    case VT_I2: return v.iVal;
    case VT_I4: return v.lVal;
    case VT_R8: return v.dblVal;
    case VT_BOOL: return v.boolVal;
    default: return 0;
    }
}

TEST(RuntimeVariant, ChangeTypeTable) {
    for (const ChangeCase& c : kChangeCases) {
        SCOPED_TRACE(c.name);
        Variant src, dst;
        MakeSource(c, &src);
        SetText(&dst, u"replaced"); // Freed when the change succeeds, kept when it fails.
        ASSERT_EQ(VariantChangeType(&dst, &src, 0, c.to), c.hr);
        if (FAILED(c.hr)) {
            EXPECT_EQ(View(dst.bstrVal), u"replaced");
            continue;
        }
        ASSERT_EQ(dst.vt, c.to);
        if (c.wantText != nullptr) EXPECT_EQ(View(dst.bstrVal), c.wantText);
        else EXPECT_EQ(NumberOf(dst), c.want);
        EXPECT_EQ(src.vt, c.from) << "the source is left alone";

        // The same change in place, through a reference and through a variant reference.
        Variant inPlace, through;
        MakeSource(c, &inPlace);
        ASSERT_EQ(VariantChangeType(&inPlace, &inPlace, 0, c.to), S_OK);
        EXPECT_EQ(inPlace.vt, c.to);
        VARIANT ref = {};
        ref.vt = VT_BYREF | VT_VARIANT;
        ref.pvarVal = &src;
        ASSERT_EQ(VariantChangeType(&through, &ref, 0, c.to), S_OK);
        if (c.wantText != nullptr) EXPECT_EQ(View(through.bstrVal), c.wantText);
        else EXPECT_EQ(NumberOf(through), c.want);
    }
}

TEST(RuntimeVariant, ChangeTypeOfReferencesAndObjects) {
    SHORT s = 300;
    Bstr seven(u"7");
    BSTR sevenRef = seven.Get();
    VARIANT byRef = {};
    byRef.vt = VT_BYREF | VT_I2;
    byRef.piVal = &s;
    Variant out;
    ASSERT_EQ(VariantChangeType(&out, &byRef, 0, VT_I4), S_OK);
    EXPECT_EQ(out.lVal, 300);
    byRef.vt = VT_BYREF | VT_BSTR;
    byRef.pbstrVal = &sevenRef;
    ASSERT_EQ(VariantChangeType(&out, &byRef, 0, VT_I2), S_OK);
    EXPECT_EQ(out.iVal, 7);
    ASSERT_EQ(VariantChangeType(&byRef, &byRef, 0, VT_BSTR), S_OK) << "in place from a reference";
    EXPECT_EQ(byRef.vt, VT_BSTR);
    EXPECT_NE(byRef.bstrVal, seven.Get()) << "an owned copy, the referenced string untouched";
    VariantClear(&byRef);
    EXPECT_EQ(VariantChangeType(&out, &out, 0, VT_BYREF | VT_I4), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantChangeType(nullptr, &out, 0, VT_I4), E_INVALIDARG);
    EXPECT_EQ(VariantChangeType(&out, nullptr, 0, VT_I4), E_INVALIDARG);

    TestObject object, plain(TestObject::kUnknownOnly);
    {
        Variant v, res;
        v.vt = VT_DISPATCH;
        v.pdispVal = &object;
        object.AddRef();
        ASSERT_EQ(VariantChangeType(&res, &v, 0, VT_UNKNOWN), S_OK);
        EXPECT_EQ(res.vt, VT_UNKNOWN);
        EXPECT_EQ(res.punkVal, static_cast<IUnknown*>(&object));
        EXPECT_EQ(object.refs(), 3u);
        EXPECT_EQ(VariantChangeType(&res, &v, 0, VT_I4), DISP_E_TYPEMISMATCH);
        EXPECT_EQ(VariantChangeType(&res, &v, 0, VT_BSTR), DISP_E_TYPEMISMATCH);

        v.vt = VT_UNKNOWN; // Still owns its reference to `object`.
        ASSERT_EQ(VariantChangeType(&res, &v, 0, VT_DISPATCH), S_OK);
        EXPECT_EQ(res.vt, VT_DISPATCH);
        VariantClear(&v);
        v.vt = VT_UNKNOWN;
        v.punkVal = &plain;
        plain.AddRef();
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
