#include "platform/text/unicode.h"

#include <array>

namespace sonoleaf::text {

bool IsContinuationByte(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

Utf8Step ReadUtf8(std::string_view bytes, std::size_t pos) {
    Utf8Step step;
    const auto lead = static_cast<unsigned char>(bytes[pos]);
    if (lead < 0x80) {
        step.codePoint = lead;
        step.valid = true;
        return step;
    }
    std::size_t need = 0;
    char32_t value = 0;
    // The allowed range of the second byte narrows for E0, ED, F0 and F4 so that
    // overlong forms, surrogates and values above U+10FFFF are refused.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        value = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        value = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return step;  // a stray continuation byte or a byte never used by UTF-8
    }
    for (std::size_t i = 1; i <= need; ++i) {
        if (pos + i >= bytes.size()) {
            step.length = i;
            step.truncated = true;
            return step;
        }
        const auto byte = static_cast<unsigned char>(bytes[pos + i]);
        const unsigned char min = i == 1 ? low : 0x80;
        const unsigned char max = i == 1 ? high : 0xBF;
        if (byte < min || byte > max) {
            step.length = i;
            return step;
        }
        value = (value << 6) | (byte & 0x3F);
    }
    step.codePoint = value;
    step.length = need + 1;
    step.valid = true;
    return step;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

char32_t Windows1252ToCodePoint(unsigned char byte) {
    static constexpr std::array<char32_t, 32> kHighControls = {
        0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
    if (byte >= 0x80 && byte < 0xA0) return kHighControls[byte - 0x80];
    return byte;
}

}  // namespace sonoleaf::text
