// What one getter of an object answers, for checks that read a field or two.
#pragma once

#include <gpslib/automation.h>
#include <gpslib/support.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace gpslib::test {

template <class O, class T> T Value(O* object, HRESULT (STDMETHODCALLTYPE O::*get)(T*)) {
    T value{};
    (object->*get)(&value);
    return value;
}

// What one text getter answers, in UTF-8 ("" for no object).
template <class O> std::string Text(O* object, HRESULT (STDMETHODCALLTYPE O::*get)(BSTR*)) {
    Bstr text;
    if (object != nullptr) (object->*get)(text.Put());
    return text.Utf8();
}

// A returned list of strings, in UTF-8 (a list that is none fails the calling test).
inline std::vector<std::string> Strings(VARIANT* list) {
    std::vector<std::u16string> items;
    EXPECT_EQ(ReadStringList(list, &items), S_OK) << "not a list of strings";
    std::vector<std::string> out;
    for (const std::u16string& item : items)
        out.push_back(ToUtf8(item));
    return out;
}

} // namespace gpslib::test
