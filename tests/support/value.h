// What one getter of an object answers, for checks that read a field or two.
#pragma once

#include <gpslib/automation.h>

namespace gpslib::test {

template <class O, class T> T Value(O* object, HRESULT (STDMETHODCALLTYPE O::*get)(T*)) {
    T value{};
    (object->*get)(&value);
    return value;
}

} // namespace gpslib::test
