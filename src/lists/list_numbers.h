#pragma once
// The numbers typed for the audio lists: the character length and the starting number.

#include <cstdint>
#include <optional>
#include <string_view>

namespace sonoleaf {

inline constexpr std::int32_t kMaxListNumber = 33554432;  // 2^25

// ASCII digits only, at least one, value from 1 to 2^25; leading zeros are allowed.
// Signs, blanks and any other character fail; so does any value past the limit, however
// many digits it has.
std::optional<std::int32_t> ParseListNumber(std::u16string_view text);

// The title list's starting number: an empty field means 1, anything else must pass
// ParseListNumber.
std::optional<std::int32_t> ParseStartNumber(std::u16string_view text);

}  // namespace sonoleaf
