// Any source path, file number and clock: `FileStem`, the output base name and the
// list file names follow their rules character for character, and the time stamp that
// stands in for a short name spells the given local time.
#include <time.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

#include "fuzz_input.h"
#include "lists/list_file_path.h"
#include "platform/text/output_names.h"

namespace {

using sonoleaf::fuzz::Require;
namespace text = sonoleaf::text;

// The rule, index by index: start just after the last separator (or 0), end just
// before the last full stop anywhere (or 0 without one); the characters from start to
// end inclusive.
struct Range {
    std::int64_t start = 0;
    std::int64_t end = 0;
};

Range ExpectedRange(const std::u16string& path) {
    Range range;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == u'/') range.start = static_cast<std::int64_t>(i) + 1;
    }
    bool dot = false;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == u'.') {
            range.end = static_cast<std::int64_t>(i) - 1;
            dot = true;
        }
    }
    if (!dot) range.end = 0;
    return range;
}

std::u16string Digits(std::int64_t number) {
    const std::string digits = std::to_string(number);
    return std::u16string(digits.begin(), digits.end());
}

std::u16string Ascii(const char* text) {
    std::u16string wide;
    for (; *text != '\0'; ++text) wide.push_back(static_cast<char16_t>(*text));
    return wide;
}

std::u16string TwoDigits(int value) {
    return std::u16string{static_cast<char16_t>(u'0' + value / 10),
                          static_cast<char16_t>(u'0' + value % 10)};
}

// "%H%M%S_%A_%B_%d_%Y" in the C locale, built from the broken-down time by hand; the
// year is compared by value, as the C library may pad it.
void CheckTimeStamp(std::time_t when) {
    static constexpr std::array<const char*, 7> kDays = {
        "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    static constexpr std::array<const char*, 12> kMonths = {
        "January", "February", "March",     "April",   "May",      "June",
        "July",    "August",   "September", "October", "November", "December"};
    const std::u16string stamp = text::MakeTimeStamp(when);
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr) {
        Require(stamp.empty());
        return;
    }
    const std::u16string head = TwoDigits(local.tm_hour) + TwoDigits(local.tm_min) +
                                TwoDigits(local.tm_sec) + u"_" + Ascii(kDays.at(local.tm_wday)) +
                                u"_" + Ascii(kMonths.at(local.tm_mon)) + u"_" +
                                TwoDigits(local.tm_mday) + u"_";
    Require(stamp.size() > head.size() && stamp.compare(0, head.size(), head) == 0);
    const std::u16string year = stamp.substr(head.size());
    std::int64_t value = 0;
    std::size_t i = year[0] == u'-' ? 1 : 0;
    Require(i < year.size());
    for (; i < year.size(); ++i) {
        Require(year[i] >= u'0' && year[i] <= u'9');
        value = value * 10 + (year[i] - u'0');
    }
    if (year[0] == u'-') value = -value;
    Require(value == static_cast<std::int64_t>(local.tm_year) + 1900);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sonoleaf::fuzz::Input input(data, size);
    const auto number = input.Value<std::int64_t>();
    const auto when = input.Value<std::int64_t>();
    const std::u16string path = sonoleaf::fuzz::WideText(input);

    const Range range = ExpectedRange(path);
    const std::u16string stem = text::FileStem(path);
    if (range.end < range.start) {
        Require(stem.empty());
    } else {
        Require(stem == path.substr(static_cast<std::size_t>(range.start),
                                    static_cast<std::size_t>(range.end - range.start + 1)));
        Require(stem.find(u'/') == std::u16string::npos);
    }

    // The base name is the stem only when it holds two characters or more; otherwise
    // the stamp, asked for only then.
    int stamps = 0;
    const std::u16string base = text::OutputBaseName(path, [&stamps] {
        ++stamps;
        return std::u16string(u"STAMP");
    });
    if (stem.size() >= 2) {
        Require(base == stem && stamps == 0);
    } else {
        Require(base == u"STAMP" && stamps == 1);
    }
    Require(text::OutputBaseName(path, nullptr) == (stem.size() >= 2 ? stem : u""));

    // File number k of a list: folder, two separators, stem, "_" and k, extension.
    Require(sonoleaf::ListFilePath(path, stem, number, u".wav") ==
            path + u"//" + stem + u"_" + Digits(number) + u".wav");
    const auto small = static_cast<std::int32_t>(number);
    Require(text::NumberSuffix(small) == u"_" + Digits(small));

    CheckTimeStamp(static_cast<std::time_t>(when));
    return 0;
}
