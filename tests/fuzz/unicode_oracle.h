#pragma once
// Plain reference readings of UTF-8, UTF-16 and Windows-1252 for the fuzz targets,
// written from the encodings' tables rather than from the program's own helpers.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace sonoleaf::fuzz {

// One UTF-8 sequence as the Unicode standard's table of well-formed byte sequences
// defines it: whole, malformed, or well formed so far but cut off by the end of the
// bytes. `length` is the sequence's bytes, or for a bad one its longest well-formed
// start (at least one byte), which counts as one bad character.
enum class Sequence { Whole, Malformed, Cut };

inline Sequence SequenceAt(std::string_view bytes, std::size_t at, std::size_t& length) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (lead <= 0x7F) {
        length = 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        length = 1;
        return Sequence::Malformed;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const bool cut = at + k >= bytes.size();
        if (cut || static_cast<unsigned char>(bytes[at + k]) < (k == 1 ? low : 0x80) ||
            static_cast<unsigned char>(bytes[at + k]) > (k == 1 ? high : 0xBF)) {
            length = k;
            return cut ? Sequence::Cut : Sequence::Malformed;
        }
    }
    return Sequence::Whole;
}

// UTF-8 to UTF-16, each bad character as one U+FFFD.
inline std::u16string DecodeUtf8(std::string_view bytes) {
    std::u16string out;
    std::size_t length = 0;
    for (std::size_t i = 0; i < bytes.size(); i += length) {
        if (SequenceAt(bytes, i, length) != Sequence::Whole) {
            out += u'\uFFFD';
            continue;
        }
        const auto lead = static_cast<unsigned char>(bytes[i]);
        char32_t cp = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (std::size_t k = 1; k < length; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

inline bool IsValidUtf8(std::string_view bytes) {
    std::size_t length = 0;
    for (std::size_t i = 0; i < bytes.size(); i += length)
        if (SequenceAt(bytes, i, length) != Sequence::Whole) return false;
    return true;
}

inline void EncodeUtf8(std::string& out, char32_t cp) {
    if (cp <= 0x7F) {
        out += static_cast<char>(cp);
    } else if (cp <= 0x7FF) {
        out += static_cast<char>(0xC0 + (cp >> 6));
        out += static_cast<char>(0x80 + (cp & 0x3F));
    } else if (cp <= 0xFFFF) {
        out += static_cast<char>(0xE0 + (cp >> 12));
        out += static_cast<char>(0x80 + ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 + (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 + (cp >> 18));
        out += static_cast<char>(0x80 + ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 + ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 + (cp & 0x3F));
    }
}

inline bool IsHigh(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
inline bool IsLow(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// True when some surrogate is not half of a high-low pair.
inline bool HasUnpairedSurrogate(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) {
            ++i;
        } else if (IsHigh(text[i]) || IsLow(text[i])) {
            return true;
        }
    }
    return false;
}

// UTF-8 of UTF-16 text that holds no unpaired surrogate, NUL characters left out.
inline std::string Utf8WithoutNul(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (cp != 0) EncodeUtf8(out, cp);
    }
    return out;
}

inline std::string WithoutNul(std::string_view bytes) {
    std::string out;
    for (const char c : bytes)
        if (c != '\0') out += c;
    return out;
}

// Windows-1252: bytes 0x80-0x9F from its table (the five it leaves open become
// U+FFFD), every other byte is the code point of the same value.
inline char32_t FromWindows1252(unsigned char byte) {
    static constexpr std::array<char32_t, 32> kTable = {
        U'\u20AC', U'\uFFFD', U'\u201A', U'\u0192', U'\u201E', U'\u2026', U'\u2020', U'\u2021',
        U'\u02C6', U'\u2030', U'\u0160', U'\u2039', U'\u0152', U'\uFFFD', U'\u017D', U'\uFFFD',
        U'\uFFFD', U'\u2018', U'\u2019', U'\u201C', U'\u201D', U'\u2022', U'\u2013', U'\u2014',
        U'\u02DC', U'\u2122', U'\u0161', U'\u203A', U'\u0153', U'\uFFFD', U'\u017E', U'\u0178'};
    return byte >= 0x80 && byte <= 0x9F ? kTable[byte - 0x80] : byte;
}

}  // namespace sonoleaf::fuzz
