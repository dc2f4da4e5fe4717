#pragma once
// The naming rules for output files.

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace sonoleaf::text {

// The one separator of every naming rule.
inline constexpr char16_t kPathSeparator = u'/';

// Local time as "%H%M%S_%A_%B_%d_%Y" in the C locale; empty if formatting fails.
std::u16string MakeTimeStamp();
std::u16string MakeTimeStamp(std::time_t when);

// Characters after the last separator and before the last full stop of the whole
// path; empty when that range is empty. No fallback.
std::u16string FileStem(std::u16string_view path);

// "_" followed by the decimal digits of `number`.
std::u16string NumberSuffix(std::int32_t number);

// The base name of an output file: the same range as FileStem, used only when it
// holds at least two characters; otherwise the time stamp that `stamp` returns.
std::u16string OutputBaseName(std::u16string_view sourcePath,
                              const std::function<std::u16string()>& stamp);
std::u16string OutputBaseName(std::u16string_view sourcePath);

}  // namespace sonoleaf::text
