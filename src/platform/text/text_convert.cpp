#include "platform/text/text_convert.h"

#include "platform/text/unicode.h"

namespace sonoleaf::text {

std::u16string ToWide(std::string_view narrow) {
    // Like a C string, the text ends at its first zero byte.
    const auto zero = narrow.find('\0');
    if (zero != std::string_view::npos) narrow = narrow.substr(0, zero);
    std::u16string wide;
    wide.reserve(narrow.size());
    for (std::size_t pos = 0; pos < narrow.size();) {
        const Utf8Step step = ReadUtf8(narrow, pos);
        AppendUtf16(wide, step.valid ? step.codePoint : kReplacementChar);
        pos += step.length;
    }
    return wide;
}

std::string ToNarrow(std::u16string_view wide) {
    std::string narrow;
    narrow.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const char32_t unit = wide[i];
        if (IsHighSurrogate(unit) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1])) {
            AppendUtf8(narrow, 0x10000 + ((unit - 0xD800) << 10) + (wide[i + 1] - 0xDC00));
            ++i;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(narrow, kReplacementChar);
        } else {
            AppendUtf8(narrow, unit);
        }
    }
    return narrow;
}

}  // namespace sonoleaf::text
