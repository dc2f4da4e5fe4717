// Any text in the window's number field: the data exchange takes exactly a 32-bit whole
// number, with blanks around it and one sign allowed, and yields the value it spells;
// what the load direction writes back into the field reads as the same number.
#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz_input.h"
#include "platform/dialogs/data_exchange.h"

namespace {

using sonoleaf::fuzz::Require;

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// Digits compared with the 32-bit bounds as text, so the check needs no arithmetic
// that could overflow.
std::optional<std::int32_t> Expected(const std::u16string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    bool negative = false;
    if (begin < end && (text[begin] == u'+' || text[begin] == u'-')) {
        negative = text[begin] == u'-';
        ++begin;
    }
    if (begin == end) return std::nullopt;
    for (std::size_t i = begin; i < end; ++i)
        if (text[i] < u'0' || text[i] > u'9') return std::nullopt;
    std::u16string digits = text.substr(begin, end - begin);
    const std::size_t first = digits.find_first_not_of(u'0');
    digits = first == std::u16string::npos ? u"0" : digits.substr(first);
    const std::u16string bound = negative ? u"2147483648" : u"2147483647";
    if (digits.size() > bound.size()) return std::nullopt;
    if (digits.size() == bound.size() && digits > bound) return std::nullopt;
    std::int64_t magnitude = 0;
    for (const char16_t c : digits) magnitude = magnitude * 10 + (c - u'0');
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

QString ToQString(const std::u16string& text) {
    return QString(reinterpret_cast<const QChar*>(text.data()),
                   static_cast<qsizetype>(text.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sonoleaf::fuzz::Input input(data, size);
    const std::u16string text = sonoleaf::fuzz::WideText(input);

    const std::optional<std::int32_t> parsed =
        sonoleaf::dialogs::ParseDialogInteger(ToQString(text));
    Require(parsed == Expected(text));
    if (parsed) {
        // The load direction writes the value as decimal text.
        Require(sonoleaf::dialogs::ParseDialogInteger(QString::number(*parsed)) == parsed);
    }
    return 0;
}
