#pragma once
// The file checks that every subsystem makes the same way: whether a path or an open
// descriptor is a regular file (a folder, pipe or device holds no text and may never
// end), and a C stream and a descriptor that close themselves.

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
