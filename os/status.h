#pragma once

#include <string>
#include <string_view>

namespace gpslib::os {

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
        kNotFound,
        kIOError,
        kInvalidArgument,
        kPermissionDenied,
        kAlreadyExists,
        kNotSupported,
        kCorruption,
    };

    Status() noexcept = default;

    static Status OK() { return Status(); }
    static Status NotFound(std::string_view message, int errnum = 0) {
        return Status(Code::kNotFound, message, errnum);
    }
    static Status IOError(std::string_view message, int errnum = 0) {
        return Status(Code::kIOError, message, errnum);
    }
    static Status InvalidArgument(std::string_view message, int errnum = 0) {
        return Status(Code::kInvalidArgument, message, errnum);
    }
    static Status PermissionDenied(std::string_view message, int errnum = 0) {
        return Status(Code::kPermissionDenied, message, errnum);
    }
    static Status AlreadyExists(std::string_view message, int errnum = 0) {
        return Status(Code::kAlreadyExists, message, errnum);
    }
    static Status NotSupported(std::string_view message, int errnum = 0) {
        return Status(Code::kNotSupported, message, errnum);
    }
    static Status Corruption(std::string_view message, int errnum = 0) {
        return Status(Code::kCorruption, message, errnum);
    }

    bool ok() const { return m_code == Code::kOk; }
    bool IsNotFound() const { return m_code == Code::kNotFound; }
    bool IsIOError() const { return m_code == Code::kIOError; }
    bool IsInvalidArgument() const { return m_code == Code::kInvalidArgument; }
    bool IsPermissionDenied() const { return m_code == Code::kPermissionDenied; }
    bool IsAlreadyExists() const { return m_code == Code::kAlreadyExists; }
    bool IsNotSupported() const { return m_code == Code::kNotSupported; }
    bool IsCorruption() const { return m_code == Code::kCorruption; }

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

// The one translation of errno into a Status. `context` names what failed, usually the path;
// the message becomes "<context>: <system text>".
Status StatusFromErrno(std::string_view context, int errnum);

} // namespace gpslib::os
