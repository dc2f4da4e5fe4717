#include "lists/list_file_path.h"

#include <limits>

#include "platform/text/output_names.h"

namespace sonoleaf {
namespace {

// "_" and the digits; numbers past the 32-bit range (a length list of a file of more
// than 2^31 chunks) keep counting instead of wrapping.
std::u16string Suffix(std::int64_t number) {
    if (number >= std::numeric_limits<std::int32_t>::min() &&
        number <= std::numeric_limits<std::int32_t>::max()) {
        return text::NumberSuffix(static_cast<std::int32_t>(number));
    }
    std::u16string suffix = u"_";
    for (char c : std::to_string(number)) suffix += static_cast<char16_t>(c);
    return suffix;
}

}  // namespace

std::u16string ListFilePath(std::u16string_view folder, std::u16string_view stem,
                            std::int64_t number, std::u16string_view extension) {
    std::u16string path(folder);
    path += text::kPathSeparator;
    path += text::kPathSeparator;
    path += stem;
    path += Suffix(number);
    path += extension;
    return path;
}

}  // namespace sonoleaf
