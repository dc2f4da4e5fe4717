#pragma once
// The file checks that every subsystem makes the same way: whether a path or an open
// descriptor is a regular file (a folder, pipe or device holds no text and may never
// end), the one bounded reading of a whole file, and a C stream and a descriptor that
// close themselves.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

namespace sonoleaf::text {

// A regular file (links followed) at `path`.
bool IsRegularFile(const std::string& path);
// The same, for an open descriptor.
bool IsRegularDescriptor(int descriptor);
// A regular file that this process may execute.
bool IsExecutableFile(const std::string& path);

// Reads the whole regular file at `path` into `bytes`, if it holds at most `maxBytes`
// (one that grows past them while read is refused too); with `followLinks` false a
// link is refused. 0, or the errno of what failed: EINVAL for no regular file (a pipe
// or a device may never end), EFBIG for one too large.
int ReadWholeFile(const std::string& path, std::uintmax_t maxBytes, std::string& bytes,
                  bool followLinks = true);

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// An open descriptor (or -1), closed when it goes.
class UniqueDescriptor {
  public:
    explicit UniqueDescriptor(int descriptor = -1) : descriptor_(descriptor) {}
    ~UniqueDescriptor();
    UniqueDescriptor(UniqueDescriptor&& other) noexcept : descriptor_(other.Release()) {}
    UniqueDescriptor& operator=(UniqueDescriptor&& other) noexcept;
    UniqueDescriptor(const UniqueDescriptor&) = delete;
    UniqueDescriptor& operator=(const UniqueDescriptor&) = delete;

    int Get() const { return descriptor_; }
    int Release() { return std::exchange(descriptor_, -1); }
    explicit operator bool() const { return descriptor_ >= 0; }

  private:
    int descriptor_;
};

}  // namespace sonoleaf::text
