#include "platform/text/regular_file.h"

#include <sys/stat.h>
#include <unistd.h>

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

}  // namespace sonoleaf::text
