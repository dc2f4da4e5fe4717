// Any bytes of a text file that the speech service reads itself: a byte-order mark
// chooses UTF-8, UTF-16LE or UTF-16BE; without one the bytes are UTF-8 when they are
// valid UTF-8, else Windows-1252. Whatever the bytes, no unpaired surrogate and no NUL
// reaches the synthesizer, and what it gets is well-formed UTF-8.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "platform/text/byte_text.h"
#include "unicode_oracle.h"

namespace {

namespace fz = sonoleaf::fuzz;
namespace text = sonoleaf::text;
using fz::Require;

// UTF-16 units in the given byte order (an odd last byte is no unit), every surrogate
// that is not half of a pair replaced by U+FFFD.
std::u16string ExpectedUtf16(std::string_view data, bool bigEndian) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        const auto a = static_cast<unsigned char>(data[i]);
        const auto b = static_cast<unsigned char>(data[i + 1]);
        units.push_back(static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a));
    }
    std::u16string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (fz::IsHigh(units[i]) && i + 1 < units.size() && fz::IsLow(units[i + 1])) {
            out += units[i];
            out += units[++i];
        } else if (fz::IsHigh(units[i]) || fz::IsLow(units[i])) {
            out += u'\uFFFD';
        } else {
            out += units[i];
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string decoded = text::DecodeTextFile(bytes);
    Require(!fz::HasUnpairedSurrogate(decoded));

    const std::string spoken = text::TextForSynthesis(decoded);
    Require(fz::IsValidUtf8(spoken) && spoken.find('\0') == std::string::npos);
    // Decoded text holds whole characters only, so it is spoken exactly as decoded.
    Require(spoken == fz::Utf8WithoutNul(decoded));

    if (bytes.starts_with("\xEF\xBB\xBF")) {
        const std::string_view body = bytes.substr(3);
        Require(decoded == fz::DecodeUtf8(body));
        if (fz::IsValidUtf8(body)) Require(spoken == fz::WithoutNul(body));
    } else if (bytes.starts_with("\xFF\xFE")) {
        Require(decoded == ExpectedUtf16(bytes.substr(2), false));
    } else if (bytes.starts_with("\xFE\xFF")) {
        Require(decoded == ExpectedUtf16(bytes.substr(2), true));
    } else if (fz::IsValidUtf8(bytes)) {
        Require(decoded == fz::DecodeUtf8(bytes));
        Require(spoken == fz::WithoutNul(bytes));
    } else {
        Require(decoded.size() == bytes.size());
        for (std::size_t i = 0; i < bytes.size(); ++i)
            Require(decoded[i] == fz::FromWindows1252(static_cast<unsigned char>(bytes[i])));
    }
    return 0;
}
