#include "lists/source_file.h"

#include <sys/stat.h>

#include "platform/text/text_convert.h"

namespace sonoleaf {
namespace {
constexpr std::size_t kBlockSize = 1 << 16;
}

SourceFile::SourceFile(std::u16string_view path) {
    std::unique_ptr<std::FILE, Closer> file(std::fopen(text::ToNarrow(path).c_str(), "rb"));
    if (!file) return;
    struct stat info {};
    if (::fstat(::fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode)) return;
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
