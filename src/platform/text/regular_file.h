#pragma once
// The file checks that every subsystem makes the same way: whether a path or an open
// descriptor is a regular file (a folder, pipe or device holds no text and may never
// end), and a C stream that closes itself.

#include <cstdio>
#include <memory>
#include <string>

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

}  // namespace sonoleaf::text
