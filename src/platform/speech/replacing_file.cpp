#include "platform/speech/replacing_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

#include "platform/speech/errno_result.h"

namespace sonoleaf::speech_service {
namespace {

// A short name of its own, whatever the length of the destination's name, and
// hidden, as a file no one should open.
std::string TemporaryName(const std::filesystem::path& folder) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::random_device random;
    std::string name = ".sonoleaf-";
    for (int i = 0; i < 12; ++i) name += kDigits[random() % 16];
    return (folder / (name + ".part")).string();
}

}  // namespace

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
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string temporary = TemporaryName(folder);
        const int descriptor =
            ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0) {
            file.reset(new ReplacingFile(destination, std::move(temporary), descriptor));
            return kOk;
        }
        if (errno != EEXIST) return ResultFromErrno(errno);
    }
    return kFail;
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
