#include "Answers.h"

#include <cstdio>

#include "Commands.h"

namespace gpsnav {

using gpslib::Bstr;

std::string Utf8(const Bstr& text) {
    return text.Utf8();
}

Answer Texts(std::vector<std::string> texts) {
    Answer a;
    for (std::string& t : texts)
        if (!t.empty()) a.texts.push_back(std::move(t));
    return a;
}

Answer Usage(std::string_view name) {
    Answer a;
    a.status = Answer::Status::kUsage;
    const Command* c = FindCommand(name);
    a.texts.push_back("usage: " + std::string(name) + " " + std::string(c ? c->usage : ""));
    return a;
}

// The answer to a call that did not succeed: E_NOTIMPL means the service does not do it yet.
Answer Failure(std::string_view what, HRESULT hr) {
    Answer a;
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    if (hr == E_NOTIMPL) {
        a.status = Answer::Status::kNotAvailable;
        a.texts.push_back(std::string(what) +
                          ": not available yet in this version of the service.");
    } else {
        a.status = Answer::Status::kFailed;
        a.texts.push_back(std::string(what) + ": the service answered " + code + ".");
    }
    return a;
}

Answer Fact(std::string text, Answer::Status status) {
    Answer a;
    a.status = status;
    a.texts.push_back(std::move(text));
    return a;
}

// Strings (or objects naming themselves through GetName-like calls) of a returned list.
std::vector<std::string> StringsOf(VARIANT* list) {
    std::vector<std::u16string> items;
    std::vector<std::string> out;
    if (SUCCEEDED(gpslib::ReadStringList(list, &items)))
        for (const auto& item : items)
            out.push_back(gpslib::ToUtf8(item));
    return out;
}

std::string_view StatusName(Answer::Status status) {
    switch (status) {
    case Answer::Status::kOk:
        return "ok";
    case Answer::Status::kNotAvailable:
        return "not-available";
    case Answer::Status::kFailed:
        return "failed";
    case Answer::Status::kUsage:
        return "usage";
    case Answer::Status::kUnknown:
        return "unknown";
    }
    return "failed";
}

} // namespace gpsnav
