#include "lists/source_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/text/regular_file.h"
#include "platform/text/text_convert.h"

namespace sonoleaf {
namespace {
constexpr std::size_t kBlockSize = 1 << 16;
}

SourceFile::SourceFile(std::u16string_view path) {
    // Opened without blocking: a named pipe would otherwise wait for a writer in the
    // open itself, before the regular-file check below could turn it away.
    const int descriptor =
        ::open(text::ToNarrow(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) return;
    struct stat info {};
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode) ||
        ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(descriptor);
        return;
    }
    text::UniqueFile file(::fdopen(descriptor, "rb"));
    if (!file) {
        ::close(descriptor);
        return;
    }
    sizeHint_ = static_cast<std::uint64_t>(info.st_size);
    file_ = std::move(file);
    buffer_.resize(kBlockSize);
}

std::string_view SourceFile::ReadBlock() {
    if (!file_) return {};
    const std::size_t count = std::fread(buffer_.data(), 1, buffer_.size(), file_.get());
    return {buffer_.data(), count};
}

std::string ReadAllBytes(std::u16string_view path) {
    SourceFile file(path);
    std::string bytes;
    if (!file.IsOpen()) return bytes;
    bytes.reserve(static_cast<std::size_t>(file.SizeHint()));
    for (std::string_view block = file.ReadBlock(); !block.empty(); block = file.ReadBlock()) {
        bytes.append(block);
    }
    return bytes;
}

}  // namespace sonoleaf
