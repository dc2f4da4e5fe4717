#pragma once
// Code-point level helpers shared by the text conversions.

#include <cstddef>
#include <string>
#include <string_view>

namespace sonoleaf::text {

inline constexpr char32_t kReplacementChar = 0xFFFD;

// Result of reading one UTF-8 sequence: the code point and the bytes it took.
// `valid` is false for a malformed sequence; `length` then covers the bytes of its
// longest well-formed prefix (at least 1), which count as one bad character.
struct Utf8Step {
    char32_t codePoint = 0;
    std::size_t length = 1;
    bool valid = false;
    // True when the sequence is well formed so far but the input ends inside it.
    bool truncated = false;
};

// Reads the sequence that starts at `bytes[pos]` (strict: no overlong forms, no
// surrogates, nothing above U+10FFFF).
Utf8Step ReadUtf8(std::string_view bytes, std::size_t pos);

bool IsContinuationByte(unsigned char byte);

void AppendUtf8(std::string& out, char32_t codePoint);
// The bytes AppendUtf8 writes for `codePoint`.
inline std::size_t Utf8Length(char32_t codePoint) {
    return codePoint < 0x80 ? 1 : codePoint < 0x800 ? 2 : codePoint < 0x10000 ? 3 : 4;
}
void AppendUtf16(std::u16string& out, char32_t codePoint);

inline bool IsHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
inline bool IsLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The Windows-1252 character of a byte; U+FFFD for the five bytes it leaves undefined.
char32_t Windows1252ToCodePoint(unsigned char byte);

}  // namespace sonoleaf::text
