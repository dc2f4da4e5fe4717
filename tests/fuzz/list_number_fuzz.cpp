// Any text typed into the character-length or starting-number field: the checks of
// both list jobs accept exactly the ASCII digit strings worth 1 to 2^25, with the value
// those digits spell, and the starting number alone also takes an empty field as 1.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz_input.h"
#include "lists/list_numbers.h"

namespace {

using sonoleaf::fuzz::Require;

// The value of a digit string compared with the limit without any arithmetic that
// could overflow: drop leading zeros, then compare length and digits as text.
std::optional<std::int32_t> Expected(const std::u16string& text) {
    if (text.empty()) return std::nullopt;
    for (const char16_t c : text)
        if (c < u'0' || c > u'9') return std::nullopt;
    const std::size_t first = text.find_first_not_of(u'0');
    if (first == std::u16string::npos) return std::nullopt;  // zero
    const std::u16string digits = text.substr(first);
    const std::u16string limit = u"33554432";
    if (digits.size() > limit.size()) return std::nullopt;
    if (digits.size() == limit.size() && digits > limit) return std::nullopt;
    std::int32_t value = 0;
    for (const char16_t c : digits) value = value * 10 + (c - u'0');
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sonoleaf::fuzz::Input input(data, size);
    const std::u16string text = sonoleaf::fuzz::WideText(input);

    const std::optional<std::int32_t> length = sonoleaf::ParseListNumber(text);
    const std::optional<std::int32_t> expected = Expected(text);
    Require(length == expected);
    if (length) Require(*length >= 1 && *length <= sonoleaf::kMaxListNumber);

    const std::optional<std::int32_t> start = sonoleaf::ParseStartNumber(text);
    Require(text.empty() ? start == 1 : start == length);
    return 0;
}
