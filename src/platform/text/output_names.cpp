#include "platform/text/output_names.h"

#include <locale.h>
#include <time.h>

#include <array>

namespace sonoleaf::text {
namespace {

// The "C" locale, so that weekday and month names are English whatever locale the
// program runs in. Made once; never freed (it lives as long as the process).
locale_t CLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return locale;
}

// Start and end (inclusive) of the stem: after the last separator, before the last
// full stop anywhere in the path. End < start means no stem.
struct StemRange {
    std::ptrdiff_t start;
    std::ptrdiff_t end;
};

StemRange FindStem(std::u16string_view path) {
    const auto separator = path.rfind(kPathSeparator);
    const auto dot = path.rfind(u'.');
    const std::ptrdiff_t start =
        separator == std::u16string_view::npos ? 0 : static_cast<std::ptrdiff_t>(separator) + 1;
    const std::ptrdiff_t end =
        dot == std::u16string_view::npos ? 0 : static_cast<std::ptrdiff_t>(dot) - 1;
    return {start, end};
}

}  // namespace

std::u16string MakeTimeStamp() {
    return MakeTimeStamp(std::time(nullptr));
}

std::u16string MakeTimeStamp(std::time_t when) {
    const locale_t locale = CLocale();
    std::tm local{};
    if (locale == static_cast<locale_t>(0) || localtime_r(&when, &local) == nullptr) return {};
    std::array<char, 128> buffer{};
    const std::size_t length =
        strftime_l(buffer.data(), buffer.size(), "%H%M%S_%A_%B_%d_%Y", &local, locale);
    if (length == 0) return {};
    // The C locale's names are ASCII.
    return std::u16string(buffer.data(), buffer.data() + length);
}

std::u16string FileStem(std::u16string_view path) {
    const StemRange range = FindStem(path);
    if (range.end < range.start) return {};
    return std::u16string(path.substr(static_cast<std::size_t>(range.start),
                                      static_cast<std::size_t>(range.end - range.start + 1)));
}

std::u16string NumberSuffix(std::int32_t number) {
    const std::string digits = std::to_string(number);
    return u"_" + std::u16string(digits.begin(), digits.end());
}

std::u16string OutputBaseName(std::u16string_view sourcePath,
                              const std::function<std::u16string()>& stamp) {
    const StemRange range = FindStem(sourcePath);
    if (range.end > range.start) return FileStem(sourcePath);
    return stamp ? stamp() : std::u16string{};
}

std::u16string OutputBaseName(std::u16string_view sourcePath) {
    return OutputBaseName(sourcePath, [] { return MakeTimeStamp(); });
}

}  // namespace sonoleaf::text
