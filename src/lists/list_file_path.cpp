#include "lists/list_file_path.h"

#include <limits>

#include "platform/text/output_names.h"

namespace sonoleaf {
namespace {

// "_" and the digits; numbers past the 32-bit range (a length list of a file of more
// than 2^31 chunks) keep counting instead of wrapping.
std::u16string Digits(std::int64_t number) {
    const std::string digits = std::to_string(number);
    return {digits.begin(), digits.end()};
}

std::u16string Suffix(std::int64_t number) {
    if (number >= std::numeric_limits<std::int32_t>::min() &&
        number <= std::numeric_limits<std::int32_t>::max()) {
        return text::NumberSuffix(static_cast<std::int32_t>(number));
    }
    return u"_" + Digits(number);
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

speech_service::FileTags ListFileTags(std::u16string_view stem, std::int64_t number,
                                      std::int64_t total, const SourceBook& book) {
    speech_service::FileTags tags;
    tags.title = std::u16string(stem) + (stem.empty() ? u"" : u" ") + Digits(number);
    tags.album = stem;
    tags.track = Digits(number);
    if (total >= number) tags.track += u"/" + Digits(total);
    TagWithBook(tags, book);
    return tags;
}

}  // namespace sonoleaf
