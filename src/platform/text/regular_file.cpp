#include "platform/text/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace sonoleaf::text {

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsRegularDescriptor(int descriptor) {
    struct stat info {};
    return ::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode);
}

bool IsExecutableFile(const std::string& path) {
    return IsRegularFile(path) && ::access(path.c_str(), X_OK) == 0;
}

UniqueDescriptor::~UniqueDescriptor() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

UniqueDescriptor& UniqueDescriptor::operator=(UniqueDescriptor&& other) noexcept {
    if (this != &other) {
        if (descriptor_ >= 0) ::close(descriptor_);
        descriptor_ = other.Release();
    }
    return *this;
}

int ReadWholeFile(const std::string& path, std::uintmax_t maxBytes, std::string& bytes,
                  bool followLinks) {
    bytes.clear();
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (followLinks ? 0 : O_NOFOLLOW);
    const UniqueDescriptor file(::open(path.c_str(), flags));
    struct stat info {};
    if (!file || ::fstat(file.Get(), &info) != 0) return errno;
    if (S_ISDIR(info.st_mode)) return EISDIR;
    if (!S_ISREG(info.st_mode)) return EINVAL;
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) return EFBIG;
    // One byte more than its size, so that the end is seen in one pass.
    bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() > maxBytes) {
                bytes.clear();
                return EFBIG;
            }
            bytes.resize(std::min<std::uintmax_t>(bytes.size() * 2, maxBytes + 1));
        }
        const ssize_t got = ::read(file.Get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int error = errno;
            bytes.clear();
            return error;
        }
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return 0;
}

}  // namespace sonoleaf::text
