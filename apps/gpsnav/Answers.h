// What gpsnav's commands answer with: the small builders every command file shares.
#ifndef GPSNAV_ANSWERS_H_
#define GPSNAV_ANSWERS_H_

#include <gpslib/GPSLib.h>
#include <gpslib/support.h>

#include <string>
#include <string_view>
#include <vector>

#include "Session.h"

namespace gpsnav {

constexpr std::size_t kMaxListed = 5; // Lines of a list said at once.

std::string Utf8(const gpslib::Bstr& text);
// The texts that are not empty.
Answer Texts(std::vector<std::string> texts);
// The command's usage line.
Answer Usage(std::string_view name);
// The answer to a call that did not succeed: E_NOTIMPL means the service does not do it yet.
Answer Failure(std::string_view what, HRESULT hr);
Answer Fact(std::string text, Answer::Status status = Answer::Status::kOk);
// Strings (or objects naming themselves through GetName-like calls) of a returned list.
std::vector<std::string> StringsOf(VARIANT* list);

// A new object of the service's type library by class id; null when it cannot be created.
template <class T> gpslib::ComPtr<T> Create(const CLSID& clsid, const IID& iid) {
    gpslib::ComPtr<T> object;
    gpslib::CreateObject(clsid, iid, &object);
    return object;
}

} // namespace gpsnav

#endif // GPSNAV_ANSWERS_H_
