#include <cerrno>

#include "error_cause.h"

ErrorCause CauseOf(long number) {
    switch (number) {
        case ENOENT:
        case ENOTDIR:
            return ErrorCause::kNotFound;
        case EBUSY:
            return ErrorCause::kBusy;
        case EACCES:
        case EPERM:
        case EROFS:
            return ErrorCause::kAccessDenied;
        case ENOSPC:
        case EDQUOT:
            return ErrorCause::kDiskFull;
        default:
            return ErrorCause::kOther;
    }
}
