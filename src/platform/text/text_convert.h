#pragma once
// Conversions between narrow text (UTF-8) and wide text (UTF-16).

#include <string>
#include <string_view>

namespace sonoleaf::text {

// UTF-8 to UTF-16, stopping at the first zero byte. Invalid sequences become U+FFFD.
std::u16string ToWide(std::string_view narrow);

// UTF-16 to UTF-8, for messages and for every path handed to the file system or to
// a child process. Unpaired surrogates become U+FFFD.
std::string ToNarrow(std::u16string_view wide);

}  // namespace sonoleaf::text
