#pragma once

#include <string>
#include <string_view>

namespace gpslib::os {

// The failure codes, each once (the enumerator k<Name>, the factory, the test Is<Name>() and the
// name ToString writes follow from this list); they keep this order.
#define GPSLIB_OS_STATUS_CODES(X)                                                                  \
    X(NotFound)                                                                                    \
    X(IOError)                                                                                     \
    X(InvalidArgument)                                                                             \
    X(PermissionDenied)                                                                            \
    X(AlreadyExists)                                                                               \
    X(NotSupported)                                                                                \
    X(Corruption)

#define GPSLIB_OS_STATUS_ENUMERATOR(name) k##name,
#define GPSLIB_OS_STATUS_FACTORY(name)                                                             \
    static Status name(std::string_view message, int errnum = 0) {                                 \
        return Status(Code::k##name, message, errnum);                                             \
    }                                                                                              \
    bool Is##name() const {                                                                        \
        return m_code == Code::k##name;                                                            \
    }

// The outcome of an operation that can fail. Errors travel as values: an operating-system
// failure is turned into a Status once, where the system is called (StatusFromErrno), and is
// passed up unchanged from there.
//
// Marked [[nodiscard]] because a dropped Status is a lost error; write `(void)` where ignoring
// one is the documented intent.
class [[nodiscard]] Status {
public:
    enum class Code : unsigned char {
        kOk = 0,
        GPSLIB_OS_STATUS_CODES(GPSLIB_OS_STATUS_ENUMERATOR)
    };

    Status() noexcept = default;

    static Status OK() { return Status(); }
    bool ok() const { return m_code == Code::kOk; }
    // Status::NotFound(message, errnum) and IsNotFound(), and so for every code.
    GPSLIB_OS_STATUS_CODES(GPSLIB_OS_STATUS_FACTORY)

    Code code() const { return m_code; }
    // The errno behind the failure, or 0 when it did not come from the operating system.
    int errnum() const { return m_errnum; }
    const std::string& message() const { return m_message; }

    // "OK", or the code's name, ": " and the message ("NotFound: /a/b: No such file...").
    std::string ToString() const;

private:
    Status(Code code, std::string_view message, int errnum)
        : m_code(code), m_errnum(errnum), m_message(message) {}

    Code m_code = Code::kOk;
    int m_errnum = 0;
    std::string m_message;
};

#undef GPSLIB_OS_STATUS_ENUMERATOR
#undef GPSLIB_OS_STATUS_FACTORY

// The one translation of errno into a Status. `context` names what failed, usually the path;
// the message becomes "<context>: <system text>".
Status StatusFromErrno(std::string_view context, int errnum);

} // namespace gpslib::os
