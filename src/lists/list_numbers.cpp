#include "lists/list_numbers.h"

namespace sonoleaf {

std::optional<std::int32_t> ParseListNumber(std::u16string_view text) {
    if (text.empty()) return std::nullopt;
    std::int64_t value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') return std::nullopt;
        value = value * 10 + (c - u'0');
        // Past the limit no further digit can bring it back; stop before it can overflow.
        if (value > kMaxListNumber) return std::nullopt;
    }
    if (value < 1) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> ParseStartNumber(std::u16string_view text) {
    if (text.empty()) return 1;
    return ParseListNumber(text);
}

}  // namespace sonoleaf
