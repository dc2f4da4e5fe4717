#pragma once
// Where the audio lists put file number k.

#include <cstdint>
#include <string>
#include <string_view>

namespace sonoleaf {

// The folder, the separator twice (read as one), the stem, "_" and the number's
// digits, then the extension: "/out//book_12.wav".
std::u16string ListFilePath(std::u16string_view folder, std::u16string_view stem,
                            std::int64_t number, std::u16string_view extension);

}  // namespace sonoleaf
