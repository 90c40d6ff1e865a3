// Small helpers every part of the core uses to read its arguments and hand out its answers.
#ifndef GPSCORE_BASE_ANSWERS_H_
#define GPSCORE_BASE_ANSWERS_H_

#include <string>
#include <string_view>

#include "GPSLib_classes.h"

namespace gpscore {

// A client's string as text (a null string is empty).
inline std::u16string Text(BSTR b) {
    return std::u16string(gpslib::View(b));
}

// `text` as a new string for the client; E_OUTOFMEMORY when it cannot be made.
inline HRESULT ReturnText(std::u16string_view text, BSTR* out) {
    *out = gpslib::AllocBstr(text);
    return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}

// A client's flag: anything but VARIANT_FALSE is true.
inline bool Flag(VARIANT_BOOL b) {
    return b != VARIANT_FALSE;
}

// A place that exists and says it holds a position.
inline bool IsValidPlace(ILocationObject* location) {
    VARIANT_BOOL valid = 0;
    return location != nullptr && SUCCEEDED(location->IsValid(&valid)) && valid != 0;
}

} // namespace gpscore

#endif // GPSCORE_BASE_ANSWERS_H_
