#include "platform/speech/replacing_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "platform/speech/errno_result.h"
#include "platform/text/durable_file.h"

namespace sonoleaf::speech_service {
ReplacingFile::ReplacingFile(std::string destination, std::string temporary, int descriptor)
    : destination_(std::move(destination)),
      temporary_(std::move(temporary)),
      descriptor_(descriptor) {}

ReplacingFile::~ReplacingFile() {
    Discard();
}

HResult ReplacingFile::Create(const std::string& destination,
                              std::unique_ptr<ReplacingFile>& file) {
    file.reset();
    const std::filesystem::path path(destination);
    if (destination.empty() || !path.has_filename()) return kInvalidArg;
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return kAccessDenied;
    // Named as every temporary of the program is, so that one a crash left behind is
    // known for what it is (a list run clears those of its stem).
    errno = 0;
    std::string temporary = text::CreateTemporaryBeside(destination);
    if (temporary.empty()) return errno != 0 ? ResultFromErrno(errno) : kFail;
    const int descriptor = ::open(temporary.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (descriptor < 0) {
        const int failure = errno;
        ::unlink(temporary.c_str());
        return ResultFromErrno(failure);
    }
    file.reset(new ReplacingFile(destination, std::move(temporary), descriptor));
    return kOk;
}

void ReplacingFile::Discard() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
        descriptor_ = -1;
        ::unlink(temporary_.c_str());
    }
}

HResult ReplacingFile::Commit() {
    if (descriptor_ < 0) return kUnbound;
    // On the disk before it bears the name, so that a crash leaves the old file or
    // the whole new one, never an empty one.
    // (A file system that cannot sync says EINVAL; the rename is then all there is.)
    if (::fdatasync(descriptor_) != 0 && errno != EINVAL) {
        const int failure = errno;
        Discard();
        return ResultFromErrno(failure);
    }
    const int closed = ::close(descriptor_);
    descriptor_ = -1;
    if (closed != 0 || std::rename(temporary_.c_str(), destination_.c_str()) != 0) {
        const int failure = errno;
        ::unlink(temporary_.c_str());
        return ResultFromErrno(failure);
    }
    return kOk;
}

}  // namespace sonoleaf::speech_service
