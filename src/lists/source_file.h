#pragma once
// The text file an audio list reads: opened through its UTF-8 path, read in blocks.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text/regular_file.h"

namespace sonoleaf {

class SourceFile {
  public:
    // Only a regular file counts as open: a folder, a pipe or a device (which might
    // never end) is treated like a file that does not open.
    explicit SourceFile(std::u16string_view path);

    bool IsOpen() const { return file_ != nullptr; }
    // Its size when opened; a hint only, the file may change while it is read.
    std::uint64_t SizeHint() const { return sizeHint_; }
    // The next bytes; empty at the end of the file or on a read error.
    std::string_view ReadBlock();

  private:
    text::UniqueFile file_;
    std::uint64_t sizeHint_ = 0;
    std::vector<char> buffer_;
};

// Every byte of the file at `path`; empty when it does not open.
std::string ReadAllBytes(std::u16string_view path);

}  // namespace sonoleaf
