#include "platform/text/markup_scan.h"

#include <algorithm>
#include <cstdint>

#include "platform/text/unicode.h"

namespace sonoleaf::text {
namespace {

constexpr std::size_t kMaxTagBytes = 4096;  // longer is a stray "<"
constexpr std::size_t kMaxReferenceBytes = 40;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

bool LooksLikeMarkup(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\n\r\f\v");
    return first != std::string_view::npos && text[first] == '<';
}

std::size_t MarkupTagLength(std::string_view text, std::size_t pos) {
    const std::string_view rest = text.substr(pos, kMaxTagBytes);
    if (rest.starts_with("<!--")) {
        const std::size_t end = rest.find("-->");
        return end == std::string_view::npos ? 0 : end + 3;
    }
    char quote = 0;
    for (std::size_t i = 1; i < rest.size(); ++i) {
        const char c = rest[i];
        if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '<') {
            return 0;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return 0;
}

std::size_t CharacterReferenceLength(std::string_view text, std::size_t pos) {
    const std::string_view rest = text.substr(pos, kMaxReferenceBytes);
    std::size_t i = 1;
    if (i < rest.size() && rest[i] == '#') {
        ++i;
        const bool hex = i < rest.size() && (rest[i] == 'x' || rest[i] == 'X');
        if (hex) ++i;
        const std::size_t digits = i;
        while (i < rest.size() && (hex ? IsHexDigit(rest[i]) : IsDigit(rest[i]))) ++i;
        if (i == digits) return 0;
    } else {
        if (i >= rest.size() || !IsLetter(rest[i])) return 0;
        while (i < rest.size() && (IsLetter(rest[i]) || IsDigit(rest[i]))) ++i;
    }
    return i < rest.size() && rest[i] == ';' ? i + 1 : 0;
}

std::string MarkupToPlainText(std::string_view markup) {
    std::string plain;
    for (std::size_t pos = 0; pos < markup.size();) {
        if (markup[pos] == '<') {
            if (const std::size_t length = MarkupTagLength(markup, pos)) {
                plain += ' ';  // elements part words ("</s><s>")
                pos += length;
                continue;
            }
        } else if (markup[pos] == '&') {
            if (const std::size_t length = CharacterReferenceLength(markup, pos)) {
                const std::string_view name = markup.substr(pos + 1, length - 2);
                static constexpr std::pair<std::string_view, char> kNamed[] = {
                    {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
                char32_t c = 0;
                for (const auto& [entity, value] : kNamed)
                    if (name == entity) c = static_cast<char32_t>(value);
                if (name.starts_with('#')) {
                    const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
                    std::uint64_t value = 0;
                    for (const char digit : name.substr(hex ? 2 : 1)) {
                        const int d = digit <= '9'   ? digit - '0'
                                      : digit <= 'F' ? digit - 'A' + 10
                                                     : digit - 'a' + 10;
                        value = std::min<std::uint64_t>(value * (hex ? 16 : 10) + d, 0x110000);
                    }
                    const bool valid =
                        value > 0 && value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF);
                    c = valid ? static_cast<char32_t>(value) : kReplacementChar;
                }
                if (c != 0) {
                    AppendUtf8(plain, c);
                    pos += length;
                    continue;
                }
            }
        }
        plain += markup[pos++];
    }
    return plain;
}

}  // namespace sonoleaf::text
