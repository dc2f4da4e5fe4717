// Any bytes and any wide text: the one-character-per-byte mapping is the documented
// table and turns back into the same bytes; the inverse encodes every other character
// as UTF-8; and a text made of bytes reaches the synthesizer as its UTF-8 (a character
// cut at either edge dropped) or, when it is none, as Windows-1252.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "platform/text/byte_text.h"
#include "unicode_oracle.h"

namespace {

namespace fz = sonoleaf::fuzz;
namespace text = sonoleaf::text;
using fz::Require;

// The inverse, unit by unit: a pair is one character, a lone U+DC80-U+DCFF is the byte
// it stands for, any other lone surrogate is U+FFFD.
std::string ExpectedBytes(std::u16string_view wide) {
    std::string out;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const char16_t unit = wide[i];
        if (fz::IsHigh(unit) && i + 1 < wide.size() && fz::IsLow(wide[i + 1])) {
            fz::EncodeUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (wide[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xDC80 && unit <= 0xDCFF) {
            out += static_cast<char>(unit - 0xDC00);
        } else if (fz::IsHigh(unit) || fz::IsLow(unit)) {
            fz::EncodeUtf8(out, 0xFFFD);
        } else {
            fz::EncodeUtf8(out, unit);
        }
    }
    return out;
}

// The bytes read as UTF-8 allowing for cuts: up to three continuation bytes at the
// start (the rest of a character cut there) and a character cut off at the end. The
// whole characters in between; none when the bytes are not UTF-8 even so.
std::optional<std::string_view> WholeCharacters(std::string_view bytes) {
    std::size_t begin = 0;
    while (begin < bytes.size() && begin < 3 &&
           (static_cast<unsigned char>(bytes[begin]) & 0xC0) == 0x80)
        ++begin;
    std::size_t length = 0;
    for (std::size_t i = begin; i < bytes.size(); i += length) {
        switch (fz::SequenceAt(bytes, i, length)) {
            case fz::Sequence::Whole:
                break;
            case fz::Sequence::Cut:
                return bytes.substr(begin, i - begin);
            case fz::Sequence::Malformed:
                return std::nullopt;
        }
    }
    return bytes.substr(begin);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const std::u16string wide = text::BytesToText(bytes);
    Require(wide.size() == bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        const char16_t expected = byte < 0x80 ? byte : static_cast<char16_t>(0xDC00 + byte);
        Require(wide[i] == expected && text::ByteToChar(byte) == expected);
    }
    Require(text::TextToBytes(wide) == bytes);

    const std::string spoken = text::TextForSynthesis(wide);
    Require(fz::IsValidUtf8(spoken) && spoken.find('\0') == std::string::npos);
    if (const std::optional<std::string_view> whole = WholeCharacters(bytes)) {
        Require(spoken == fz::WithoutNul(*whole));
    } else {
        std::u16string windows1252;
        for (const char c : bytes)
            windows1252.push_back(
                static_cast<char16_t>(fz::FromWindows1252(static_cast<unsigned char>(c))));
        Require(spoken == fz::Utf8WithoutNul(windows1252));
    }

    // The same input as any wide text.
    fz::Input input(data, size);
    const std::u16string any = fz::WideText(input);
    Require(text::TextToBytes(any) == ExpectedBytes(any));
    const std::string anySpoken = text::TextForSynthesis(any);
    Require(fz::IsValidUtf8(anySpoken) && anySpoken.find('\0') == std::string::npos);
    // Text of whole characters only is spoken as it stands.
    if (!fz::HasUnpairedSurrogate(any)) Require(anySpoken == fz::Utf8WithoutNul(any));
    return 0;
}
