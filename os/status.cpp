#include "os/status.h"

#include <cerrno>
#include <system_error>

namespace gpslib::os {

namespace {

#define GPSLIB_OS_STATUS_NAME(name)                                                                \
    case Status::Code::k##name:                                                                    \
        return #name;

const char* CodeName(Status::Code code) {
    switch (code) {
    case Status::Code::kOk:
        return "OK";
        GPSLIB_OS_STATUS_CODES(GPSLIB_OS_STATUS_NAME)
    }
    return "Unknown";
}

#undef GPSLIB_OS_STATUS_NAME

} // namespace

std::string Status::ToString() const {
    if (ok()) return "OK";
    std::string text = CodeName(m_code);
    text += ": ";
    text += m_message;
    return text;
}

Status StatusFromErrno(std::string_view context, int errnum) {
    // std::generic_category's text is thread-safe, unlike strerror.
    std::string message(context);
    message += ": ";
    message += std::error_code(errnum, std::generic_category()).message();
    switch (errnum) {
    case ENOENT:
    case ENOTDIR:
        return Status::NotFound(message, errnum);
    case EACCES:
    case EPERM:
    case EROFS:
        return Status::PermissionDenied(message, errnum);
    case EEXIST:
        return Status::AlreadyExists(message, errnum);
    case EINVAL:
    case ENAMETOOLONG:
    case EISDIR:
    case ELOOP:
        return Status::InvalidArgument(message, errnum);
    case ENOSYS:
    case EOPNOTSUPP:
        return Status::NotSupported(message, errnum);
    default:
        return Status::IOError(message, errnum);
    }
}

} // namespace gpslib::os
