#pragma once
// The service's result for a failure the system reported as an errno value, so that
// every writer of files tells a full disk or a forbidden folder the same way.

#include <cerrno>

#include "platform/speech/speech_service.h"

namespace sonoleaf::speech_service {

inline HResult ResultFromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return kFileNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return kAccessDenied;
        case ENOSPC:
        case EFBIG:
        case EDQUOT:
            return kWriteFault;
        case ENOMEM:
            return kOutOfMemory;
        default:
            return kFail;
    }
}

}  // namespace sonoleaf::speech_service
